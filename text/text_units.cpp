// SPDX-License-Identifier: MIT
// Text strings and character output as 16-bit code units.
//
// Every text reaches the viewer as a list of decimal code units. Texts in
// any encoding but the unit encoding are converted by the host session into
// a buffer of 2 × length + 2 bytes. A unit record may be far longer than the
// LineBuffer: it is handed to the stream in several writes that together
// form one line, only the last ending with the newline.
#include <cstring>

#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "text/text.h"

namespace {

// A partial line is handed to the stream before a piece would take it beyond
// this; the newline always fits after the last piece.
constexpr uint32_t kUnitLineBound = 10227;
// The longest piece of a unit: ",65535".
constexpr uint32_t kUnitPieceMax = 6;
constexpr int32_t kReplacementCharacter = 63;  // '?'

// The units of a text, ready to list: `bytes` bytes (always even) at
// `units`, and the conversion buffer when the host made one.
struct UnitRun {
    const uint8_t* units;
    int64_t bytes;
    void* buffer;
};

int64_t JAVtMeasureText(const uint8_t* text) {
    return static_cast<int64_t>(std::strlen(reinterpret_cast<const char*>(text)));
}

// Converts `length` (> 0) bytes of text in `encoding` into units. Text in
// the unit encoding is taken as it is; an unpaired last byte is left out.
// currentEncoding of the session holds `encoding` only during the host's
// conversion. Returns false, with nothing held, when the conversion failed.
bool JAVtConvertToUnits(DriverContext* context, const uint8_t* text, int64_t length, int32_t encoding, UnitRun* run) {
    if (encoding == kEncodingUnits) {
        *run = UnitRun{text, length - length % 2, nullptr};
        return true;
    }
    int64_t capacity = 2 * length + 2;
    HostSession* session = context->hostSession;
    if (capacity > INT32_MAX || session == nullptr) return false;
    HostServices* services = context->hostServices;
    int32_t remembered = session->currentEncoding;
    session->currentEncoding = encoding;
    void* buffer = services->allocate(services, static_cast<uint64_t>(capacity));
    int32_t converted = 0;
    TextSpan target{static_cast<const uint8_t*>(buffer), static_cast<uint32_t>(capacity), 0};
    if (buffer != nullptr) {
        TextSpan source{text, static_cast<uint32_t>(length), 0};
        converted = session->convertToUnits(session, &source, &target, kReplacementCharacter, 0);
    }
    session->currentEncoding = remembered;
    if (converted == 0) {
        if (buffer != nullptr) services->freeBlock(services, buffer);
        return false;
    }
    // A count beyond the buffer is not believed.
    int64_t produced = target.count < capacity ? target.count : capacity;
    *run = UnitRun{static_cast<const uint8_t*>(buffer), produced - produced % 2, buffer};
    return true;
}

// The unit of two bytes in the byte order of the target.
uint32_t JAVtUnitAt(const uint8_t* bytes, bool bigEndian) {
    return bigEndian ? bytes[0] * 256u + bytes[1] : bytes[0] + bytes[1] * 256u;
}

// Appends ",value" at `out`, handing the line to the stream first when the
// piece would take it beyond the bound. Where the writes split does not
// change the bytes of the stream.
char* JAVtPutUnitPiece(DriverContext* context, char* out, int32_t value) {
    char piece[1 + kIntFieldMax];
    piece[0] = ',';
    auto pieceLength = static_cast<uint32_t>(JAVtPutInt(piece + 1, value) - piece);
    char* start = JAVtRecordStart(context);
    if (static_cast<uint32_t>(out - start) + pieceLength > kUnitLineBound) {
        JAVtWriteRecord(context, out);
        out = start;
    }
    std::memcpy(out, piece, pieceLength);
    return out + pieceLength;
}

// "<letter>,count,unit,unit,...[,width]\n", flushed as a partial line
// whenever the next unit would pass the bound. Units go in runs that surely
// fit before it, the bound checked once per run; only the unit that may
// cross it is checked on its own. Releases the run's buffer.
void JAVtWriteUnitRecord(DriverContext* context, char letter, const UnitRun& run, const int32_t* runWidth) {
    bool bigEndian = context->targetParams->bigEndianText != 0;
    char* start = JAVtRecordStart(context);
    char* p = start;
    *p++ = letter;
    *p++ = ',';
    p = JAVtPutInt(p, JAVtClamp32(run.bytes / 2));
    const uint8_t* units = run.units;
    int64_t offset = 0;
    while (offset < run.bytes) {
        auto length = static_cast<uint32_t>(p - start);
        int64_t safe = length + kUnitPieceMax <= kUnitLineBound ? (kUnitLineBound - length) / kUnitPieceMax : 0;
        if (safe == 0) {
            uint32_t unit = JAVtUnitAt(units + offset, bigEndian);
            p = JAVtPutUnitPiece(context, p, static_cast<int32_t>(unit));
            offset += 2;
            continue;
        }
        int64_t runEnd = run.bytes - offset > 2 * safe ? offset + 2 * safe : run.bytes;
        for (; offset < runEnd; offset += 2) {
            uint32_t unit = JAVtUnitAt(units + offset, bigEndian);
            *p++ = ',';
            p = JAVtPutUnsigned(p, unit);
        }
    }
    if (runWidth != nullptr && *runWidth > 0) {
        p = JAVtPutUnitPiece(context, p, JAVtMapLengthX(context, static_cast<double>(*runWidth)));
    }
    *p++ = '\n';
    if (run.buffer != nullptr) context->hostServices->freeBlock(context->hostServices, run.buffer);
    JAVtWriteRecord(context, p);
}

}  // namespace

int32_t JAVtPutTextUnits(DriverContext* context, const uint8_t* text, int32_t byteLength, int32_t encoding) {
    int64_t length = byteLength;
    if (text == nullptr) {
        length = 0;
    } else if (length <= 0) {
        length = JAVtMeasureText(text);
    }
    if (encoding == 0) encoding = JAVtCurrentEncoding(context);
    if (length <= 0) return 1;
    UnitRun run{};
    if (!JAVtConvertToUnits(context, text, length, encoding, &run)) return 0;
    JAVtWriteUnitRecord(context, 'u', run, nullptr);
    return 1;
}

extern "C" int32_t JAVtTextString(DriverContext* context, HostObject* object) {
    if (JAVtCollecting(context)) return JAVtCollect(context, object);
    const uint8_t* text = nullptr;
    int64_t* byteLength = nullptr;
    int32_t* encoding = nullptr;
    const int32_t* runWidth = nullptr;
    char letter = 'u';
    switch (object->kind) {
        case kKindTab:
            JAVtCountRecord(context);
            JAVtEmitText(context, "u,4,32,32,32,32\n");
            return 1;
        case kKindTextString: {
            TextStringData* body = JAVtBody<TextStringData>(object);
            text = body->text;
            byteLength = &body->byteLength;
            encoding = &body->encoding;
            break;
        }
        case kKindWidthString: {
            WidthStringData* body = JAVtBody<WidthStringData>(object);
            text = body->text;
            byteLength = &body->byteLength;
            encoding = &body->encoding;
            runWidth = &body->runWidth;
            letter = 'b';
            break;
        }
        default: return 0;
    }
    // The measured length and the resolved encoding stay in the object.
    if (text == nullptr) {
        *byteLength = 0;
    } else if (*byteLength <= 0) {
        *byteLength = JAVtMeasureText(text);
    }
    if (*encoding == 0) *encoding = JAVtCurrentEncoding(context);
    // Narrowed by saturation: a length below the 32-bit range stays
    // negative instead of wrapping to a positive one beyond the text.
    int32_t length = JAVtClamp32(*byteLength);
    if (length <= 0) return 1;
    UnitRun run{};
    if (!JAVtConvertToUnits(context, text, length, *encoding, &run)) return 0;
    JAVtWriteUnitRecord(context, letter, run, runWidth);
    JAVtCountRecord(context);
    return 1;
}

extern "C" int32_t JAVtAppendTxt(DriverContext* context, HostObject* object) {
    const TextPieceData* piece = JAVtBody<TextPieceData>(object);
    if (context->textAttPending == 1) {
        context->textAttPending = 0;
        if (JAVtPutTextAttFont(context, &context->currentTextAtt) == 0) return 0;
    }
    if (JAVtPutTextUnits(context, piece->text, JAVtClamp32(piece->byteLength), piece->encoding) == 0) return 0;
    if (piece->lastPiece == 1) {
        JAVtCountRecord(context);
        JAVtEmitText(context, "e,\n");
    }
    return 1;
}
