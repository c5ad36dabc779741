// SPDX-License-Identifier: MIT
#include "bench/recorded_stream.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace benchstream {

namespace {

constexpr size_t kBufferBytes = 10240;
constexpr size_t kFieldMax = 11;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench stream: %s\n", what.c_str());
    std::abort();
}

// A field as "%d" writes it, or nothing.
bool asInt(std::string_view field, int32_t* value) {
    if (field.empty() || field == "-" || (field.size() > 1 && field[0] == '0') || field.substr(0, 2) == "-0") return false;
    auto result = std::from_chars(field.data(), field.data() + field.size(), *value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

std::vector<std::string_view> lines(const std::string& stream) {
    std::vector<std::string_view> all;
    size_t start = 0;
    while (start < stream.size()) {
        size_t end = stream.find('\n', start);
        if (end == std::string::npos) fail("the stream does not end with a newline");
        all.emplace_back(stream.data() + start, end - start);
        start = end + 1;
    }
    return all;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> all;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        all.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return all;
        start = comma + 1;
    }
}

char* formatLine(const FormatProgram& program, const FormatLine& line, char* out) {
    std::memcpy(out, program.prefixes.data() + line.prefixOffset, line.prefixLength);
    out += line.prefixLength;
    const int32_t* value = program.values.data() + line.firstValue;
    for (uint32_t i = 0; i < line.valueCount; ++i) {
        out = std::to_chars(out, out + kFieldMax, value[i]).ptr;
        *out++ = ',';
    }
    if (line.valueCount > 0) --out;
    *out++ = '\n';
    return out;
}

}  // namespace

FormatProgram formatProgram(const std::string& stream) {
    FormatProgram program;
    for (std::string_view text : lines(stream)) {
        std::vector<std::string_view> parts = fields(text);
        // The integers are the longest run of fields at the end.
        size_t first = parts.size();
        int32_t value = 0;
        while (first > 0 && asInt(parts[first - 1], &value)) --first;
        size_t prefixLength = first == parts.size() ? text.size() : static_cast<size_t>(parts[first].data() - text.data());
        FormatLine line{static_cast<uint32_t>(program.prefixes.size()), static_cast<uint32_t>(prefixLength),
                        static_cast<uint32_t>(program.values.size()), static_cast<uint32_t>(parts.size() - first)};
        program.prefixes.append(text.substr(0, prefixLength));
        for (size_t i = first; i < parts.size(); ++i) {
            asInt(parts[i], &value);
            program.values.push_back(value);
        }
        program.lines.push_back(line);
        size_t bound = line.prefixLength + line.valueCount * (kFieldMax + 1) + 1;
        if (bound > program.longestLine) program.longestLine = bound;
    }
    if (program.longestLine > kBufferBytes) fail("a line longer than the format buffer");
    std::string again;
    char buffer[kBufferBytes];
    for (const FormatLine& line : program.lines) again.append(buffer, static_cast<size_t>(formatLine(program, line, buffer) - buffer));
    if (again != stream) fail("the lines formatted again differ from the stream");
    return program;
}

int64_t formatLines(const FormatProgram& program, int64_t repeats, FlushFn flush, void* closure) {
    char buffer[kBufferBytes];
    char* out = buffer;
    int64_t bytes = 0;
    for (int64_t r = 0; r < repeats; ++r) {
        for (const FormatLine& line : program.lines) {
            if (static_cast<size_t>(buffer + kBufferBytes - out) < program.longestLine) {
                flush(closure, buffer, static_cast<size_t>(out - buffer));
                bytes += out - buffer;
                out = buffer;
            }
            out = formatLine(program, line, out);
        }
    }
    flush(closure, buffer, static_cast<size_t>(out - buffer));
    return bytes + (out - buffer);
}

DrawProgram drawProgram(const std::string& stream) {
    DrawProgram program;
    std::vector<std::string_view> all = lines(stream);
    auto addOp = [&](DrawKind kind, const std::vector<int32_t>& values) {
        program.ops.push_back(DrawOp{kind, static_cast<uint32_t>(program.values.size()), static_cast<uint32_t>(values.size())});
        program.values.insert(program.values.end(), values.begin(), values.end());
    };
    bool clipped = false;
    for (size_t i = 0; i < all.size(); ++i) {
        std::vector<std::string_view> parts = fields(all[i]);
        char letter = parts[0].size() == 1 ? parts[0][0] : '\0';
        std::vector<int32_t> values;
        for (size_t f = 1; f < parts.size(); ++f) {
            int32_t value = 0;
            if (!asInt(parts[f], &value)) fail("a field that is no integer: " + std::string(all[i]));
            values.push_back(value);
        }
        auto expect = [&](size_t count) {
            if (values.size() != count) fail("a record with other fields: " + std::string(all[i]));
        };
        switch (letter) {
            case 'a': expect(6); addOp(DrawKind::Pen, values); break;
            case 't':
                if (values.size() != 7 && values.size() != 12) expect(7);
                addOp(DrawKind::Fill, {values[3], values[4], values[5]});
                break;
            case 'r': expect(4); addOp(DrawKind::Rectangle, values); program.shapes += clipped ? 0 : 1; break;
            case 'd': expect(6); addOp(DrawKind::RoundRect, values); program.shapes += clipped ? 0 : 1; break;
            case 'o': expect(4); addOp(DrawKind::Ellipse, values); program.shapes += clipped ? 0 : 1; break;
            case 'q':
                expect(1);
                if (values[0] == 2) addOp(DrawKind::ClipNext, {});
                if (values[0] == 0) addOp(DrawKind::ClipEnd, {});
                if (values[0] == 2) program.shapes += 1;
                clipped = values[0] == 2;
                break;
            case 'p':
            case 'l': {
                expect(1);
                std::vector<int32_t> points;
                while (points.size() < 2 * static_cast<size_t>(values[0])) {
                    if (++i == all.size()) fail("a point list that ends early");
                    for (std::string_view field : fields(all[i])) {
                        int32_t value = 0;
                        if (!asInt(field, &value)) fail("a point that is no integer");
                        points.push_back(value);
                    }
                }
                addOp(letter == 'p' ? DrawKind::Polygon : DrawKind::Polyline, points);
                program.shapes += clipped ? 0 : 1;
                break;
            }
            default: fail("a record the shape scenes do not write: " + std::string(all[i]));
        }
    }
    return program;
}

}  // namespace benchstream
