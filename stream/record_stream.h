// SPDX-License-Identifier: MIT
// The record stream: every record is formatted into the instance's one
// LineBuffer and handed to the OutputStream. A record holds at most 10239
// characters; longer text is cut there, without a newline.
//
// Records of fixed form (a letter and a known number of integers, texts of
// bounded length) are formatted straight into the buffer with no bound check
// at all: each writer states its longest record, and a static_assert holds
// it within the buffer. Writers of records without such a bound (point
// lists after a caller's prefix, code units, texts handed in) check the room
// once per line or per run of units.
#ifndef JAVTRG_RECORD_STREAM_H
#define JAVTRG_RECORD_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <javtrg/host_services.h>
#include "stream/decimal.h"

inline constexpr uint32_t kLineTextMax = kLineBufferSize - 1;

// Where a record starts: the LineBuffer's first byte.
inline char* JAVtRecordStart(DriverContext* context) { return context->lineBuffer; }

// Appends `text` (a literal, without its NUL) at `out`.
template <size_t N>
inline char* JAVtPutText(char* out, const char (&text)[N]) {
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

// "value,": a field and the comma after it.
inline char* JAVtPutField(char* out, int32_t value) {
    out = JAVtPutInt(out, value);
    *out++ = ',';
    return out;
}

// The comma after the last field becomes the record's newline.
inline char* JAVtEndRecord(char* out) {
    out[-1] = '\n';
    return out;
}

// "v1,v2,...,vN\n": the fields of a record after its prefix.
inline char* JAVtPutFields(char* out, const int32_t* values, size_t count) {
    for (size_t i = 0; i < count; ++i) out = JAVtPutField(out, values[i]);
    return JAVtEndRecord(out);
}

// Hands the text from the LineBuffer's start to `end` to the stream (skipped
// without a stream) and leaves the buffer empty. Returns the stream's
// result, 0 without a stream.
inline int32_t JAVtWriteRecord(DriverContext* context, const char* end) {
    char* data = context->lineBuffer;
    data[kLineTextMax] = '\0';
    auto length = static_cast<uint32_t>(end - data);
    OutputStream* stream = context->stream;
    int32_t result = 0;
    if (stream != nullptr && stream->write != nullptr) result = stream->write(stream, data, length);
    data[0] = '\0';
    return result;
}

// Writes `prefix` followed by the integers separated by commas and a newline,
// in one write: JAVtEmitInts(ctx, "r,", {1, 2, 3, 4}) writes "r,1,2,3,4\n".
template <size_t P, size_t N>
inline int32_t JAVtEmitInts(DriverContext* context, const char (&prefix)[P], const int32_t (&values)[N]) {
    static_assert(P - 1 + N * (kIntFieldMax + 1) <= kLineTextMax, "the record fits the LineBuffer");
    char* end = JAVtPutFields(JAVtPutText(JAVtRecordStart(context), prefix), values, N);
    return JAVtWriteRecord(context, end);
}

// Writes a text as one record ("q,0\n", "e,\n"), cut at the record bound.
inline int32_t JAVtEmitText(DriverContext* context, std::string_view text) {
    size_t length = text.size() < kLineTextMax ? text.size() : kLineTextMax;
    std::memcpy(JAVtRecordStart(context), text.data(), length);
    return JAVtWriteRecord(context, JAVtRecordStart(context) + length);
}

// Appends up to `length` bytes of `text` at `out` without passing the
// record bound; returns the end.
inline char* JAVtPutBounded(DriverContext* context, char* out, const char* text, size_t length) {
    auto room = static_cast<size_t>(JAVtRecordStart(context) + kLineTextMax - out);
    if (length > room) length = room;
    std::memcpy(out, text, length);
    return out + length;
}

// The length of the text a caller left at the start of the LineBuffer,
// measured up to its NUL (the buffer's last byte is made one first).
inline uint32_t JAVtMeasureLine(DriverContext* context) {
    char* data = context->lineBuffer;
    data[kLineTextMax] = '\0';
    return static_cast<uint32_t>(std::strlen(data));
}

// Adds one record group to the host-visible record counter. The counter
// wraps around after 2^32 groups instead of overflowing.
inline void JAVtCountRecord(DriverContext* context) {
    context->recordCount = static_cast<int32_t>(static_cast<uint32_t>(context->recordCount) + 1u);
}

#endif
