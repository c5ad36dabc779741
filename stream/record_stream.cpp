#include "stream/record_stream.h"

#include <charconv>
#include <cstring>

#include "stream/numeric.h"

LineText JAVtLineBegin(DriverContext* context) {
    LineText line{context->lineBuffer, 0};
    line.data[0] = '\0';
    return line;
}

LineText JAVtLineResume(DriverContext* context) {
    char* data = context->lineBuffer;
    data[kLineTextMax] = '\0';
    return LineText{data, static_cast<uint32_t>(std::strlen(data))};
}

void JAVtLineAppend(LineText* line, const char* text, size_t length) {
    size_t room = JAVtLineRoom(line);
    if (length > room) length = room;
    std::memcpy(line->data + line->length, text, length);
    line->length += static_cast<uint32_t>(length);
    line->data[line->length] = '\0';
}

void JAVtLineAppendText(LineText* line, const char* text) { JAVtLineAppend(line, text, std::strlen(text)); }

void JAVtLineAppendChar(LineText* line, char c) { JAVtLineAppend(line, &c, 1); }

size_t JAVtFormatInt(char* out, int64_t value) {
    auto result = std::to_chars(out, out + 21, value);
    return static_cast<size_t>(result.ptr - out);
}

void JAVtLineAppendInt(LineText* line, int64_t value) {
    char digits[21];
    JAVtLineAppend(line, digits, JAVtFormatInt(digits, value));
}

int32_t JAVtLineWrite(DriverContext* context, LineText* line) {
    line->data[kLineTextMax] = '\0';
    uint32_t length = line->length;
    line->length = 0;
    OutputStream* stream = context->stream;
    int32_t result = 0;
    if (stream != nullptr && stream->write != nullptr) result = stream->write(stream, line->data, length);
    line->data[0] = '\0';
    return result;
}

int32_t JAVtEmitInts(DriverContext* context, const char* prefix, const int64_t* values, size_t count) {
    LineText line = JAVtLineBegin(context);
    JAVtLineAppendText(&line, prefix);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) JAVtLineAppendChar(&line, ',');
        JAVtLineAppendInt(&line, values[i]);
    }
    JAVtLineAppendChar(&line, '\n');
    return JAVtLineWrite(context, &line);
}

int32_t JAVtEmitText(DriverContext* context, const char* text) {
    LineText line = JAVtLineBegin(context);
    JAVtLineAppendText(&line, text);
    return JAVtLineWrite(context, &line);
}

// The order of operations is fixed: offset, scale, (flip), +0.5, floor.
int32_t JAVtMapX(const DriverContext* context, double x) {
    return JAVtRound((x + context->offsetX) * context->scaleX);
}

int32_t JAVtMapY(const DriverContext* context, double y) {
    return JAVtRound(context->targetHeight - (y + context->offsetY) * context->scaleY);
}

int32_t JAVtMapLengthX(const DriverContext* context, double d) { return JAVtRound(d * context->scaleX); }

int32_t JAVtMapLengthY(const DriverContext* context, double d) { return JAVtRound(d * context->scaleY); }
