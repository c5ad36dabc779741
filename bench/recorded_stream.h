// SPDX-License-Identifier: MIT
// A scene's record stream, taken apart once so that the baselines can make
// the same picture again: the format ceiling writes the same bytes with
// std::to_chars, and cairo draws the same shapes in the same colours.
#ifndef JAVTRG_BENCH_RECORDED_STREAM_H
#define JAVTRG_BENCH_RECORDED_STREAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace benchstream {

// One line of the stream: a literal prefix ("r,", "c,Times New Roman,",
// nothing for a point line), then integers separated by commas, then the
// newline.
struct FormatLine {
    uint32_t prefixOffset;
    uint32_t prefixLength;
    uint32_t firstValue;
    uint32_t valueCount;
};

struct FormatProgram {
    std::string prefixes;
    std::vector<int32_t> values;
    std::vector<FormatLine> lines;
    size_t longestLine = 0;  // characters, at most
};

// Aborts when the lines, formatted again, would not give `stream` exactly.
FormatProgram formatProgram(const std::string& stream);

// Formats the lines `repeats` times into a 10 KB buffer with std::to_chars,
// handing the buffer to `flush` whenever the next line might not fit and at
// the end. Returns the bytes formatted.
using FlushFn = void (*)(void* closure, const char* bytes, size_t length);
int64_t formatLines(const FormatProgram& program, int64_t repeats, FlushFn flush, void* closure);

// What the viewer draws, record by record.
enum class DrawKind : uint8_t { Pen, Fill, Rectangle, RoundRect, Ellipse, Polygon, Polyline, ClipNext, ClipEnd };

struct DrawOp {
    DrawKind kind;
    uint32_t firstValue;
    uint32_t valueCount;
};

struct DrawProgram {
    std::vector<int32_t> values;
    std::vector<DrawOp> ops;
    int64_t shapes = 0;  // shape records outside clips (bands and clip shapes not counted)
};

// Aborts on a record the scenes do not write.
DrawProgram drawProgram(const std::string& stream);

}  // namespace benchstream

#endif
