// SPDX-License-Identifier: MIT
// Text services of the reference host: encodings (through iconv), session
// blocks, font encodings and the current transform. The font system is in
// host_fonts.cpp.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/reference_host.h"

namespace refhost {


// Opening a converter loads the modules of its encodings, and closing the
// last that uses one unloads it again, which costs more than most
// conversions do. A thread keeps one converter of each encoding it has used
// open until it ends (and never converts with it), so that hosts made one
// after another, as the tool's batches and the fuzzers make them, do not
// load the modules again every time. Nothing is shared between threads.
void keepEncodingLoaded(const char* name) {
    struct Kept {
        std::vector<std::pair<std::string, iconv_t>> converters;
        ~Kept() {
            for (auto& entry : converters) iconv_close(entry.second);
        }
    };
    thread_local Kept kept;
    for (const auto& entry : kept.converters) {
        if (entry.first == name) return;
    }
    iconv_t cd = iconv_open("UTF-8", name);
    if (cd != reinterpret_cast<iconv_t>(-1)) kept.converters.emplace_back(name, cd);
}

namespace {

struct EncodingRow {
    int32_t code;
    const char* name;
};

// The host's encoding codes; kEncodingUnits depends on the byte order.
constexpr EncodingRow kEncodings[] = {
    {7, "WINDOWS-1252"}, {1, "CP932"},         {2, "CP936"},         {3, "CP950"},         {4, "CP949"},
    {5, "WINDOWS-1250"}, {6, "WINDOWS-1251"},  {8, "WINDOWS-1253"},  {9, "WINDOWS-1254"},  {10, "WINDOWS-1255"},
    {11, "WINDOWS-1256"}, {12, "WINDOWS-1257"}, {13, "WINDOWS-1258"}, {41, "CP874"},       {15, "ISO-8859-2"},
    {18, "ISO-8859-5"},  {20, "ISO-8859-7"},   {22, "ISO-8859-9"},   {21, "ISO-8859-8"},   {19, "ISO-8859-6"},
    {17, "ISO-8859-4"},  {31, "KOI8-R"},       {55, "EUC-JP"},       {53, "UTF-8"},
};
static_assert(sizeof kEncodings / sizeof kEncodings[0] == 24, "encoding table");

const char* unitsName(bool bigEndian) { return bigEndian ? "UTF-16BE" : "UTF-16LE"; }

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (valid()) {
            keepEncodingLoaded(to);
            keepEncodingLoaded(from);
        }
    }
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `input`. Input that cannot be converted (not text in
    // the source encoding, or not representable in the target) is skipped
    // `step` bytes at a time and gives `replacement` in the output; without
    // a replacement it fails the conversion.
    bool run(const std::string& input, size_t step, const std::string* replacement, std::string* out) {
        // A converter may be used again: each run starts in the initial state.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[4096];
        for (;;) {
            char* o = buffer;
            size_t oLeft = sizeof buffer;
            // Calls without input flush what a stateful converter holds,
            // until nothing more comes.
            bool flushing = inLeft == 0;
            size_t r = flushing ? iconv(cd_, nullptr, nullptr, &o, &oLeft) : iconv(cd_, &in, &inLeft, &o, &oLeft);
            out->append(buffer, static_cast<size_t>(o - buffer));
            if (r != static_cast<size_t>(-1)) {
                if (flushing && o == buffer) return true;
                continue;
            }
            if (errno == E2BIG) continue;
            if ((errno != EILSEQ && errno != EINVAL) || replacement == nullptr) return false;
            out->append(*replacement);
            if (inLeft == 0) return true;
            size_t skip = std::min(step, inLeft);
            in += skip;
            inLeft -= skip;
        }
    }

private:
    iconv_t cd_;
};

}  // namespace

// Open converters by target and source name.
struct Converters {
    std::map<std::pair<std::string, std::string>, std::unique_ptr<Converter>> open;

    // Absent when iconv knows either name not.
    Converter* get(const char* to, const char* from) {
        std::unique_ptr<Converter>& slot = open[{to, from}];
        if (!slot) slot = std::make_unique<Converter>(to, from);
        return slot->valid() ? slot.get() : nullptr;
    }
};

void TextSystem::ConvertersDeleter::operator()(Converters* converters) const { delete converters; }

Converters& TextSystem::converters() {
    if (!converters_) converters_.reset(new Converters());
    return *converters_;
}

namespace {

// From `from` into `to` through UTF-32: bytes that are not text in `from`
// become the replacement character one by one, characters that `to` cannot
// hold become it too. replacementChar < 0: either fails the conversion.
bool convertBytes(Converters& converters, const std::string& input, const char* from, size_t fromStep,
                  const char* to, int32_t replacementChar, std::string* out) {
    Converter* decoder = converters.get("UTF-32LE", from);
    Converter* encoder = converters.get(to, "UTF-32LE");
    if (decoder == nullptr || encoder == nullptr) return false;
    std::string wide;
    std::string wideReplacement;
    std::string targetReplacement;
    bool replace = replacementChar >= 0;
    if (replace) {
        auto c = static_cast<uint32_t>(replacementChar);
        for (int i = 0; i < 4; ++i) wideReplacement.push_back(static_cast<char>((c >> (8 * i)) & 0xFFu));
        if (!encoder->run(wideReplacement, 4, nullptr, &targetReplacement)) return false;
    }
    if (!decoder->run(input, fromStep, replace ? &wideReplacement : nullptr, &wide)) return false;
    return encoder->run(wide, 4, replace ? &targetReplacement : nullptr, out);
}

// Hands `converted` to the caller's span: only the count without a buffer,
// else the bytes when they fit in the span's count.
int32_t deliver(const std::string& converted, TextSpan* target) {
    if (converted.size() > UINT32_MAX) return 0;
    if (target->bytes != nullptr) {
        if (converted.size() > target->count) return 0;
        std::memcpy(const_cast<uint8_t*>(target->bytes), converted.data(), converted.size());
    }
    target->count = static_cast<uint32_t>(converted.size());
    return 1;
}

std::string spanBytes(const TextSpan* span) {
    if (span == nullptr || span->bytes == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(span->bytes), span->count);
}

// ---------------------------------------------------------------- session

void* opAllocSessionBlock(HostSession* s, void* allocator, uint64_t size) {
    ReferenceHost* h = hostOf(s);
    if (h->shouldFail("allocSessionBlock") || allocator != s->sessionAllocator) return nullptr;
    return h->allocateBlock(static_cast<size_t>(size), false, "allocSessionBlock");
}

void opFreeSessionBlock(HostSession* s, void*, void* block) {
    hostOf(s)->countCall("freeSessionBlock");
    hostOf(s)->freeBlock(block);
}

int32_t opConvertText(HostSession* s, int32_t fromEncoding, const TextSpan* source, TextSpan* target,
                      int32_t replacement) {
    ReferenceHost* h = hostOf(s);
    h->log("convertText " + std::to_string(fromEncoding) + " " + std::to_string(s->currentEncoding));
    if (h->shouldFail("convertText") || target == nullptr) return 0;
    bool bigEndian = h->params()->bigEndianText != 0;
    if (fromEncoding == 0) fromEncoding = kEncodingWestern;
    const char* from = encodingName(fromEncoding, bigEndian);
    const char* to = encodingName(s->currentEncoding, bigEndian);
    if (from == nullptr || to == nullptr) return 0;
    std::string converted;
    size_t step = fromEncoding == kEncodingUnits ? 2 : 1;
    if (!convertBytes(h->converters(), spanBytes(source), from, step, to, replacement, &converted)) return 0;
    return deliver(converted, target);
}

int32_t opConvertToUnits(HostSession* s, const TextSpan* source, TextSpan* target, int32_t replacement, int32_t) {
    ReferenceHost* h = hostOf(s);
    h->log("convertToUnits " + std::to_string(s->currentEncoding));
    if (h->shouldFail("convertToUnits") || target == nullptr) return 0;
    bool bigEndian = h->params()->bigEndianText != 0;
    const char* from = encodingName(s->currentEncoding, bigEndian);
    if (from == nullptr) {
        h->noteFailure("convertToUnits", "encoding code " + std::to_string(s->currentEncoding) + " is unknown to the host");
        return 0;
    }
    std::string units;
    if (s->currentEncoding == kEncodingUnits) {
        units = spanBytes(source);
    } else if (!convertBytes(h->converters(), spanBytes(source), from, 1, unitsName(bigEndian), replacement, &units)) {
        h->noteFailure("convertToUnits", std::string("the text cannot be converted from ") + from);
        return 0;
    }
    return deliver(units, target);
}

int32_t opIsLeadByte(HostSession* s, uint32_t byte, int32_t encoding) {
    hostOf(s)->countCall("isLeadByte");
    if (byte > 0xFF) return 0;
    switch (encoding) {
        case kEncodingShiftJis: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC) ? 1 : 0;
        case 2:
        case 3:
        case 4: return byte >= 0x81 && byte <= 0xFE ? 1 : 0;
        case 55: return byte == 0x8E || (byte >= 0xA1 && byte <= 0xFE) ? 1 : 0;
        case kEncodingUnits: return 1;
        default: return 0;
    }
}

// Windows character set numbers of the host's encodings, as fonts in the
// host's font system name them. Kept here, apart from the driver's own
// table, so that a mistake in either shows up as a difference.
uint8_t charsetOfEncoding(int32_t encoding) {
    switch (encoding) {
        case 1: case 55: case 66: case 74: case 78: return 128;  // SHIFTJIS_CHARSET
        case 2: return 134;                                      // GB2312_CHARSET
        case 3: return 136;                                      // CHINESEBIG5_CHARSET
        case 4: return 129;                                      // HANGEUL_CHARSET
        case 5: case 15: case 30: case 34: return 238;           // EASTEUROPE_CHARSET
        case 6: case 18: case 31: case 39: return 204;           // RUSSIAN_CHARSET
        case 8: case 20: case 26: case 29: case 40: return 161;  // GREEK_CHARSET
        case 9: case 22: case 32: return 162;                    // TURKISH_CHARSET
        case 10: case 21: case 35: return 177;                   // HEBREW_CHARSET
        case 11: case 19: case 37: return 178;                   // ARABIC_CHARSET
        case 12: case 17: case 27: return 186;                   // BALTIC_CHARSET
        case 13: return 163;                                     // VIETNAMESE_CHARSET
        case 41: return 222;                                     // THAI_CHARSET
        default: return 1;                                       // DEFAULT_CHARSET
    }
}

int32_t opMapFontEncoding(HostSession* s, FontDescriptor* descriptor) {
    ReferenceHost* h = hostOf(s);
    h->log("mapFontEncoding " + std::to_string(s->currentEncoding));
    if (h->shouldFail("mapFontEncoding") || descriptor == nullptr) return 0;
    descriptor->charSet = charsetOfEncoding(s->currentEncoding);
    return 1;
}

// ---------------------------------------------------------------- transform

HostTransform* opCurrentTransform(HostServices* s, uint64_t hostHandle) {
    ReferenceHost* h = hostOf(s);
    h->log("currentTransform");
    if (h->shouldFail("currentTransform") || hostHandle != h->hostHandle()) return nullptr;
    return h->transformAvailable() ? h->transform() : nullptr;
}

// The reference host's transforms translate: the host's own bytes 0 to 3
// and 4 to 7 hold a signed 32-bit x and y offset. Results saturate.
int32_t translate(int32_t value, int32_t offset) {
    int64_t moved = static_cast<int64_t>(value) + offset;
    return static_cast<int32_t>(std::clamp<int64_t>(moved, INT32_MIN, INT32_MAX));
}

void opTransformPoint(HostServices* s, int32_t point[2], const HostTransform* transform) {
    hostOf(s)->log("transformPoint");
    hostOf(s)->countCall("transformPoint");
    if (point == nullptr || transform == nullptr) return;
    int32_t offset[2];
    std::memcpy(offset, transform->hostOwn, sizeof offset);
    point[0] = translate(point[0], offset[0]);
    point[1] = translate(point[1], offset[1]);
}

}  // namespace

void installTextOperations(HostServices* services, HostSession* session) {
    services->currentTransform = opCurrentTransform;
    services->transformPoint = opTransformPoint;

    session->sessionAllocator = session;
    session->allocSessionBlock = opAllocSessionBlock;
    session->freeSessionBlock = opFreeSessionBlock;
    session->convertText = opConvertText;
    session->convertToUnits = opConvertToUnits;
    session->isLeadByte = opIsLeadByte;
    session->mapFontEncoding = opMapFontEncoding;
}

const char* encodingName(int32_t code, bool bigEndianUnits) {
    if (code == kEncodingUnits) return unitsName(bigEndianUnits);
    for (const EncodingRow& row : kEncodings) {
        if (row.code == code) return row.name;
    }
    return nullptr;
}

bool encodeText(const std::string& utf8, int32_t code, bool bigEndianUnits, std::string* out) {
    const char* name = encodingName(code, bigEndianUnits);
    if (name == nullptr) return false;
    out->clear();
    Converters converters;
    return convertBytes(converters, utf8, "UTF-8", 1, name, -1, out);
}

// The host encoding of text in a font of Windows character set `charset`:
// the first of the host's code pages whose fonts carry that set, Windows-1252
// for a set the host has no code page of.
int32_t encodingOfCharset(uint8_t charset) {
    static constexpr int32_t kCodePages[] = {kEncodingWestern, kEncodingShiftJis, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 41};
    for (int32_t code : kCodePages) {
        if (charsetOfEncoding(code) == charset) return code;
    }
    return kEncodingWestern;
}

}  // namespace refhost
