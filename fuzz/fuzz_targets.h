// SPDX-License-Identifier: MIT
// The fuzz targets: each turns arbitrary bytes into one run of a part of the
// system and returns false when the run shows a fault the sanitizers cannot
// see (a leak in the host's ledger, an element left open, a record reader
// whose result depends on how its input was cut). libFuzzer drives them
// through fuzz/libfuzzer_main.cpp; the ordinary test run replays their
// corpora and regressions and a short random pass through the same entries.
#ifndef JAVTRG_FUZZ_TARGETS_H
#define JAVTRG_FUZZ_TARGETS_H

#include <cstddef>
#include <cstdint>

namespace javfuzz {

// Any objects with any field values: 32-bit extremes, absent references,
// counts and lengths at their limits, gradients of every kind and angle,
// fill pictures registered in the host and nested through groups.
bool objectStream(const uint8_t* data, size_t size);
// Text boxes, simple texts and pieces in every encoding and both byte
// orders, odd lengths, with a search request whose terms are in any
// encoding, whole words or not, case sensitive or not.
bool textSearch(const uint8_t* data, size_t size);
// The first bytes name up to three host operations, the call at which each
// fails and whether it keeps failing; the rest is a bundled example or a
// picture as objectStream makes them.
bool hostFailures(const uint8_t* data, size_t size);
// The bytes as an object script, read as `javtrg convert` reads it (with
// its prescan) and, when it is accepted, run through the reference host.
bool scriptReader(const uint8_t* data, size_t size);
// The bytes as a record stream, read strictly and leniently in one piece
// and in pieces cut where the input says, and drawn by the SVG preview.
bool recordReader(const uint8_t* data, size_t size);
// The bytes as a drawing file: imported, every page, by the importer that
// recognises them, and each page run through the reference host.
bool importDrawing(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;  // the folder of its corpus, dictionary and regressions
    bool (*run)(const uint8_t* data, size_t size);
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {.name = "object_stream", .run = objectStream},
    {.name = "text_search", .run = textSearch},
    {.name = "host_failures", .run = hostFailures},
    {.name = "script_reader", .run = scriptReader},
    {.name = "record_reader", .run = recordReader},
    {.name = "import", .run = importDrawing},
};

}  // namespace javfuzz

#endif
