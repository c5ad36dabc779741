// Feeds a driver instance a picture decoded from arbitrary bytes: any kind,
// any payload, with the references an object holds made valid (or absent)
// the way a host guarantees them. Used by the libFuzzer target and by a
// smoke test in the ordinary test run.
#ifndef JAVTRG_OBJECT_STREAM_FUZZER_H
#define JAVTRG_OBJECT_STREAM_FUZZER_H

#include <cstddef>
#include <cstdint>

namespace javfuzz {

// Runs one picture; returns false when the host's ledger shows a leak.
bool runPicture(const uint8_t* data, size_t size);

}  // namespace javfuzz

#endif
