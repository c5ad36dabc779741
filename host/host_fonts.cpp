// SPDX-License-Identifier: MIT
// The reference host's font system: measuring contexts, and fonts realised
// with fontconfig. A font is matched once, when it is created; the face the
// match chose and the metrics derived from it are kept with the font, and the
// measuring context reports them for whichever font is selected into it.
//
// Contexts and fonts are owned by the host outside the ledger: a driver
// instance keeps its measuring context and its last font to the end, so the
// host releases whatever is left when it is destroyed.
#include <fontconfig/fontconfig.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/reference_host.h"

namespace refhost {

void keepEncodingLoaded(const char* name);  // host_text.cpp

namespace {

constexpr const char* kFallbackFace = "sans-serif";

// Font metrics record: signed 32-bit fields at these byte offsets, the rest
// of the 64 bytes zero. Sizes are in pixels.
enum MetricsField : size_t {
    kMetricHeight = 0,        // ascent + descent: the em size of the match
    kMetricAscent = 4,
    kMetricDescent = 8,
    kMetricInternalLeading = 12,
    kMetricAverageWidth = 16,
    kMetricMaxWidth = 20,
    kMetricWeight = 24,       // 1..1000, 400 normal, 700 bold
    kMetricItalic = 28,       // 1: the match slants
    kMetricUnderline = 32,    // as requested
    kMetricStrikeOut = 36,    // as requested
    kMetricCharSet = 40,      // as requested
    kMetricFixedPitch = 44,   // 1: the match is monospaced
    kMetricFieldEnd = 48,
};
static_assert(kMetricFieldEnd <= sizeof(TextMetrics), "metrics fields fit the record");

int32_t roundedPixels(double value) {
    if (!(value > 0)) return 0;
    return static_cast<int32_t>(std::min(std::lround(value), static_cast<long>(INT32_MAX)));
}

// Strict conversion between two iconv encodings: false when either is
// unknown or any byte cannot be converted.
bool recode(const std::string& input, const char* from, const char* to, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    keepEncodingLoaded(from);
    keepEncodingLoaded(to);
    // Face names grow at most threefold between the host's encodings.
    std::vector<char> buffer(4 * input.size() + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* o = buffer.data();
    size_t oLeft = buffer.size();
    bool ok = iconv(cd, &in, &inLeft, &o, &oLeft) != static_cast<size_t>(-1) &&
              iconv(cd, nullptr, nullptr, &o, &oLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (ok) out->assign(buffer.data(), static_cast<size_t>(o - buffer.data()));
    return ok;
}

// The face name of a descriptor in UTF-8. The bytes are in the session's
// current encoding; under 16-bit units or an encoding the host does not
// know they are taken as UTF-8. Empty when the name is not text.
std::string requestedFace(const FontDescriptor& descriptor, int32_t encoding, bool bigEndian) {
    // The name ends at its NUL or at the end of the field.
    const char* name = descriptor.faceName;
    std::string bytes(name, strnlen(name, sizeof descriptor.faceName));
    std::string utf8 = bytes;
    const char* from = encoding == kEncodingUnits ? nullptr : encodingName(encoding, bigEndian);
    if (from != nullptr && !recode(bytes, from, "UTF-8", &utf8)) return std::string();
    int chars = 0;
    int width = 0;
    if (!FcUtf8Len(reinterpret_cast<const FcChar8*>(utf8.data()), static_cast<int>(utf8.size()), &chars, &width)) {
        return std::string();
    }
    return utf8;
}

// The generic family a descriptor's pitch-and-family byte asks for, or
// nullptr: the high nibble names the kind of design, pitch 1 a fixed pitch.
const char* genericFamily(uint8_t pitchAndFamily) {
    switch (pitchAndFamily >> 4) {
        case 1: return "serif";
        case 2: return "sans-serif";
        case 3: return "monospace";
        case 4: return "cursive";
        case 5: return "fantasy";
        default: return (pitchAndFamily & 3) == 1 ? "monospace" : nullptr;
    }
}

// Family names compare as fontconfig compares them: blanks and the case of
// ASCII letters do not count.
bool sameFamily(const std::string& a, const std::string& b) {
    auto folded = [](const std::string& name) {
        std::string out;
        for (char c : name) {
            if (c == ' ') continue;
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
        return out;
    };
    return folded(a) == folded(b);
}

struct CharsetLanguage {
    uint8_t charset;
    const char* language;
};

// Languages that make fontconfig prefer fonts covering a character set.
constexpr CharsetLanguage kCharsetLanguages[] = {
    {128, "ja"}, {129, "ko"}, {134, "zh-cn"}, {136, "zh-tw"}, {161, "el"}, {162, "tr"}, {163, "vi"},
    {177, "he"}, {178, "ar"}, {186, "lt"},    {204, "ru"},    {222, "th"},  {238, "pl"},
};
static_assert(sizeof kCharsetLanguages / sizeof kCharsetLanguages[0] == 13, "character set languages");

const char* charsetLanguage(uint8_t charset) {
    for (const CharsetLanguage& row : kCharsetLanguages) {
        if (row.charset == charset) return row.language;
    }
    return nullptr;
}

}  // namespace

struct FontSystem {
    struct Font {
        // Families of the match in UTF-8, the one the request named first;
        // getTextFace reports the first the session's encoding can hold.
        std::vector<std::string> faces;
        int32_t metrics[kMetricFieldEnd / 4];
    };
    struct Context {
        Font* selected = nullptr;
    };

    std::vector<std::unique_ptr<Context>> contexts;
    std::vector<std::unique_ptr<Font>> fonts;

    FontSystem() = default;
    FontSystem(const FontSystem&) = delete;
    FontSystem& operator=(const FontSystem&) = delete;

    // The configuration of the reference hosts of this process: loaded from
    // the system's files when a font is first realised and released when the
    // process ends, since loading it for every host costs more than all else
    // a short run does. Absent when fontconfig cannot load one.
    static FcConfig* configuration() {
        struct Shared {
            FcConfig* config = FcInitLoadConfigAndFonts();
            ~Shared() {
                if (config != nullptr) FcConfigDestroy(config);
            }
        };
        static const Shared shared;
        return shared.config;
    }

    Context* findContext(const void* handle) {
        for (auto& context : contexts) {
            if (context.get() == handle) return context.get();
        }
        return nullptr;
    }
    Font* findFont(const void* handle) {
        for (auto& font : fonts) {
            if (font.get() == handle) return font.get();
        }
        return nullptr;
    }

    std::unique_ptr<Font> realise(const FontDescriptor& descriptor, int32_t encoding, bool bigEndian);
};

void TextSystem::FontSystemDeleter::operator()(FontSystem* fonts) const { delete fonts; }

FontSystem& TextSystem::fontSystem() {
    if (!fonts_) fonts_.reset(new FontSystem());
    return *fonts_;
}

size_t TextSystem::liveFonts() const { return fonts_ ? fonts_->fonts.size() : 0; }
size_t TextSystem::liveMeasureContexts() const { return fonts_ ? fonts_->contexts.size() : 0; }

// Matches the descriptor against the installed fonts. Without a match (no
// fonts, no configuration) the font still comes to be: its face is the
// requested one, else the generic family asked for, else "sans-serif", and
// its metrics follow the request.
std::unique_ptr<FontSystem::Font> FontSystem::realise(const FontDescriptor& descriptor, int32_t encoding,
                                                      bool bigEndian) {
    std::string face = requestedFace(descriptor, encoding, bigEndian);
    const char* generic = genericFamily(descriptor.pitchAndFamily);

    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    if (!face.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    if (generic != nullptr) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    // Weight 0 leaves the choice to the font system (normal).
    if (descriptor.weight > 0) {
        FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(std::min(descriptor.weight, 1000)));
    }
    FcPatternAddInteger(pattern, FC_SLANT, descriptor.italic != 0 ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    // Either sign of the height gives the em size: the host's fonts have no
    // internal leading. Height 0 takes the configuration's default size.
    if (descriptor.height != 0) {
        FcPatternAddDouble(pattern, FC_PIXEL_SIZE, std::fabs(static_cast<double>(descriptor.height)));
    }
    if (const char* language = charsetLanguage(descriptor.charSet)) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
    }

    FcConfig* fcConfig = configuration();
    if (fcConfig != nullptr) FcConfigSubstitute(fcConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = fcConfig != nullptr ? FcFontMatch(fcConfig, pattern, &result) : nullptr;

    auto font = std::make_unique<Font>();
    std::memset(font->metrics, 0, sizeof font->metrics);

    // What the match says, else what the completed request says.
    const FcPattern* source = match != nullptr ? match : pattern;
    if (match != nullptr) {
        FcChar8* family = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
            std::string name(reinterpret_cast<const char*>(family));
            bool named = !face.empty() && sameFamily(name, face);
            font->faces.insert(named ? font->faces.begin() : font->faces.end(), name);
        }
    }
    if (font->faces.empty()) font->faces.emplace_back(!face.empty() ? face : generic != nullptr ? generic : kFallbackFace);

    double pixelSize = 0;
    FcPatternGetDouble(source, FC_PIXEL_SIZE, 0, &pixelSize);
    double weight = FC_WEIGHT_REGULAR;
    FcPatternGetDouble(source, FC_WEIGHT, 0, &weight);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(source, FC_SLANT, 0, &slant);
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(source, FC_SPACING, 0, &spacing);
    bool fixedPitch = spacing >= FC_MONO;

    // fontconfig knows no vertical or advance metrics: the ascent is four
    // fifths of the em, the average width half of it (three fifths for a
    // monospaced face) unless the request sets a width.
    int32_t height = std::max(1, roundedPixels(pixelSize));
    int32_t ascent = roundedPixels(height * 0.8);
    int32_t averageWidth = descriptor.width > 0 ? descriptor.width
                                                : std::max(1, roundedPixels(height * (fixedPitch ? 0.6 : 0.5)));
    int32_t* m = font->metrics;
    m[kMetricHeight / 4] = height;
    m[kMetricAscent / 4] = ascent;
    m[kMetricDescent / 4] = height - ascent;
    m[kMetricInternalLeading / 4] = 0;
    m[kMetricAverageWidth / 4] = averageWidth;
    m[kMetricMaxWidth / 4] = fixedPitch ? averageWidth : std::max(averageWidth, height);
    m[kMetricWeight / 4] = std::clamp(roundedPixels(FcWeightToOpenTypeDouble(weight)), 1, 1000);
    m[kMetricItalic / 4] = slant != FC_SLANT_ROMAN ? 1 : 0;
    m[kMetricUnderline / 4] = descriptor.underline != 0 ? 1 : 0;
    m[kMetricStrikeOut / 4] = descriptor.strikeOut != 0 ? 1 : 0;
    m[kMetricCharSet / 4] = descriptor.charSet;
    m[kMetricFixedPitch / 4] = fixedPitch ? 1 : 0;

    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return font;
}

namespace {

void* opCreateMeasureContext(HostSession* s, int32_t) {
    ReferenceHost* h = hostOf(s);
    h->log("createMeasureContext");
    if (h->shouldFail("createMeasureContext")) return nullptr;
    FontSystem& fonts = h->fontSystem();
    fonts.contexts.push_back(std::make_unique<FontSystem::Context>());
    return fonts.contexts.back().get();
}

void* opCreateFont(HostSession* s, const FontDescriptor* descriptor) {
    ReferenceHost* h = hostOf(s);
    // The log names the face asked for.
    std::string face;
    if (descriptor != nullptr) face.assign(descriptor->faceName, strnlen(descriptor->faceName, sizeof descriptor->faceName));
    h->log("createFont " + face);
    if (h->shouldFail("createFont") || descriptor == nullptr) return nullptr;
    FontSystem& fonts = h->fontSystem();
    auto font = fonts.realise(*descriptor, s->currentEncoding, h->params()->bigEndianText != 0);
    if (!font) return nullptr;
    fonts.fonts.push_back(std::move(font));
    return fonts.fonts.back().get();
}

// Selects a font of this host, or nothing when the object is absent, into
// one of its contexts. Anything else is refused (absent) and changes nothing.
void* opSelectObject(HostSession* s, void* context, void* object) {
    ReferenceHost* h = hostOf(s);
    h->log("selectObject");
    if (h->shouldFail("selectObject")) return nullptr;
    FontSystem& fonts = h->fontSystem();
    FontSystem::Context* target = fonts.findContext(context);
    FontSystem::Font* font = fonts.findFont(object);
    if (target == nullptr || (object != nullptr && font == nullptr)) return nullptr;
    FontSystem::Font* previous = target->selected;
    target->selected = font;
    return previous;
}

// Releases a font of this host; contexts it was selected into are left with
// nothing selected. Other objects are refused (0).
int32_t opDeleteObject(HostSession* s, void* object) {
    ReferenceHost* h = hostOf(s);
    h->log("deleteObject");
    if (h->shouldFail("deleteObject")) return 0;
    FontSystem& fonts = h->fontSystem();
    auto found = std::find_if(fonts.fonts.begin(), fonts.fonts.end(), [object](const auto& f) { return f.get() == object; });
    if (found == fonts.fonts.end()) return 0;
    for (auto& context : fonts.contexts) {
        if (context->selected == found->get()) context->selected = nullptr;
    }
    fonts.fonts.erase(found);
    return 1;
}

// The face of the context's font in the session's current encoding: the
// first family of the match the encoding can hold, else the first family's
// UTF-8 bytes. Cut to size - 1 bytes and NUL-terminated; the result is the
// count of bytes written with the NUL.
int32_t opGetTextFace(HostSession* s, void* context, int32_t size, char* buffer) {
    ReferenceHost* h = hostOf(s);
    h->log("getTextFace");
    bool fail = h->shouldFail("getTextFace");
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    if (fail) return 0;
    FontSystem::Context* target = h->fontSystem().findContext(context);
    if (target == nullptr || target->selected == nullptr) return 0;
    const std::vector<std::string>& faces = target->selected->faces;
    std::string face = faces.front();
    int32_t encoding = s->currentEncoding;
    bool bigEndian = h->params()->bigEndianText != 0;
    if (encoding != kEncodingUnits && encodingName(encoding, bigEndian) != nullptr) {
        for (const std::string& candidate : faces) {
            std::string encoded;
            if (encodeText(candidate, encoding, bigEndian, &encoded)) {
                face = encoded;
                break;
            }
        }
    }
    size_t length = std::min(face.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, face.data(), length);
    buffer[length] = '\0';
    return static_cast<int32_t>(length + 1);
}

int32_t opGetTextMetrics(HostSession* s, void* context, TextMetrics* record) {
    ReferenceHost* h = hostOf(s);
    h->log("getTextMetrics");
    if (h->shouldFail("getTextMetrics") || record == nullptr) return 0;
    FontSystem::Context* target = h->fontSystem().findContext(context);
    if (target == nullptr || target->selected == nullptr) return 0;
    std::memset(record->bytes, 0, sizeof record->bytes);
    std::memcpy(record->bytes, target->selected->metrics, sizeof target->selected->metrics);
    return 1;
}

}  // namespace

void installFontOperations(HostSession* session) {
    session->createMeasureContext = opCreateMeasureContext;
    session->selectObject = opSelectObject;
    session->deleteObject = opDeleteObject;
    session->createFont = opCreateFont;
    session->getTextFace = opGetTextFace;
    session->getTextMetrics = opGetTextMetrics;
}

}  // namespace refhost
