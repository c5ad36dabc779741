// The record stream: every record is formatted into the instance's one
// LineBuffer and handed to the OutputStream. A record holds at most 10239
// characters; longer text is cut there, without a newline.
#ifndef JAVTRG_RECORD_STREAM_H
#define JAVTRG_RECORD_STREAM_H

#include <cstddef>
#include <cstdint>

#include <javtrg/host_services.h>

inline constexpr uint32_t kLineTextMax = kLineBufferSize - 1;

// The text being built in the LineBuffer. The buffer always holds a NUL right
// after the text, so a writer that continues another's prefix can measure it.
struct LineText {
    char* data;
    uint32_t length;
};

// Starts a record at the first byte of the LineBuffer.
LineText JAVtLineBegin(DriverContext* context);
// Continues the text already in the LineBuffer (measured up to its NUL).
LineText JAVtLineResume(DriverContext* context);
// Room left before the buffer's last byte.
inline uint32_t JAVtLineRoom(const LineText* line) { return kLineTextMax - line->length; }

void JAVtLineAppend(LineText* line, const char* text, size_t length);
void JAVtLineAppendText(LineText* line, const char* text);
void JAVtLineAppendChar(LineText* line, char c);
// Appends a decimal integer, as "%d" would.
void JAVtLineAppendInt(LineText* line, int64_t value);
// Formats a decimal integer into `out` (room for 21 bytes); returns its length.
size_t JAVtFormatInt(char* out, int64_t value);

// Hands the text to the stream (skipped without a stream) and empties the
// line. Returns the stream's result, 0 without a stream.
int32_t JAVtLineWrite(DriverContext* context, LineText* line);

// Writes `prefix` followed by the integers separated by commas and a newline,
// in one write: JAVtEmitInts(ctx, "r,", {1, 2, 3, 4}) writes "r,1,2,3,4\n".
int32_t JAVtEmitInts(DriverContext* context, const char* prefix, const int64_t* values, size_t count);
template <size_t N>
inline int32_t JAVtEmitInts(DriverContext* context, const char* prefix, const int64_t (&values)[N]) {
    return JAVtEmitInts(context, prefix, values, N);
}
// Writes a fixed text as one record ("q,0\n", "e,\n").
int32_t JAVtEmitText(DriverContext* context, const char* text);

// Adds one record group to the host-visible record counter. The counter
// wraps around after 2^32 groups instead of overflowing.
inline void JAVtCountRecord(DriverContext* context) {
    context->recordCount = static_cast<int32_t>(static_cast<uint32_t>(context->recordCount) + 1u);
}

// The mapping of host coordinates (y up) onto target pixels (y down).
int32_t JAVtMapX(const DriverContext* context, double x);
int32_t JAVtMapY(const DriverContext* context, double y);
int32_t JAVtMapLengthX(const DriverContext* context, double d);
int32_t JAVtMapLengthY(const DriverContext* context, double d);

#endif
