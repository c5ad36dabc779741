// SPDX-License-Identifier: MIT
// The fonts in force while the highlighting pass walks a text box. Each
// character-attribute object of the box, and each text start, makes its
// font current: the font is realised in the session's measuring context and
// the face the font system actually chose is taken back, so that the
// attribute objects made for a hit name a face that exists.
#include <cstring>

#include "highlight/highlight.h"
#include "stream/object_body.h"

namespace {

constexpr size_t kFaceSize = sizeof(FontDescriptor::faceName);
constexpr char kDefaultFace[] = "Times New Roman";
constexpr uint8_t kDefaultCharset = 1;
constexpr uint8_t kSymbolCharset = 2;
constexpr int32_t kNormalWeight = 400;
constexpr uint8_t kRomanFamily = 16;   // variable pitch, serif design
constexpr uint8_t kAntialiased = 2;
// Width strings in this mode keep the default character set.
constexpr int32_t kPlainStringMode = 1;

char JAVtFoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Two face buffers (or a buffer and a name) compared without regard to
// letter case, each up to its NUL or the end of the buffer.
bool JAVtSameFace(const char* a, const char* b) {
    for (size_t i = 0; i < kFaceSize; ++i) {
        if (JAVtFoldAscii(a[i]) != JAVtFoldAscii(b[i])) return false;
        if (a[i] == '\0') return true;
    }
    return true;
}

// The whole buffer: the name, then zero bytes to its end.
void JAVtSetFace(char* face, const char* name) {
    std::memset(face, 0, kFaceSize);
    std::memcpy(face, name, std::strlen(name));
}

FontDescriptor JAVtDefaultHighlightFont() {
    FontDescriptor font{};
    font.weight = kNormalWeight;
    font.charSet = kDefaultCharset;
    font.pitchAndFamily = kRomanFamily;
    JAVtSetFace(font.faceName, kDefaultFace);
    return font;
}

// The font of character attributes as the pass realises it: raised and
// lowered text two thirds high, the width left to the font system, and bold
// Lydian turned upside down in height.
FontDescriptor JAVtAttributeFont(const CharAttributes* attributes) {
    FontDescriptor font = attributes->charFont;
    if (attributes->superscript != 0 || attributes->subscript != 0) {
        font.height = static_cast<int32_t>(static_cast<int64_t>(font.height) * 2 / 3);
    }
    font.width = 0;
    font.quality = kAntialiased;
    if (std::strncmp(font.faceName, "Lydian", kFaceSize) == 0 && font.weight > kNormalWeight && font.height > 0) {
        font.height = -font.height;
    }
    return font;
}

// The character set of the font follows the text encoding, unless the
// string that comes next is a width string that says otherwise.
void JAVtAdaptToEncoding(HostSession* session, FontDescriptor* font, const HostObject* next) {
    if (next != nullptr && next->kind == kKindWidthString) {
        const WidthStringData* string = JAVtBody<WidthStringData>(next);
        if (string->stringMode == kPlainStringMode) {
            font->charSet = kDefaultCharset;
            return;
        }
        if (string->encoding == 0 && (font->charSet == kDefaultCharset || font->charSet == kSymbolCharset)) return;
    }
    int32_t encoding = session->currentEncoding;
    bool unicode = encoding >= kEncodingUnicodeFirst && encoding <= kEncodingUnicodeLast;
    if (session->fontEncoding != 0 && unicode) {
        session->currentEncoding = session->fontEncoding;
        session->mapFontEncoding(session, font);
        session->currentEncoding = encoding;
    } else {
        session->mapFontEncoding(session, font);
    }
}

// Faces known under another name to the font system.
void JAVtSubstituteFace(char* face) {
    if (JAVtSameFace(face, "Courier")) JAVtSetFace(face, "Courier New");
    if (JAVtSameFace(face, "Brush Script MT")) JAVtSetFace(face, "Brush Script");
}

}  // namespace

int32_t JAVtSelectHighlightFont(DriverContext* context, const CharAttributes* attributes, const HostObject* next) {
    HostSession* session = context->hostSession;
    context->inForceCharAtt = attributes;
    if (attributes == nullptr) {
        context->inForceFont = JAVtDefaultHighlightFont();
        context->inForceTextColour = 0;
    } else {
        context->inForceFont = JAVtAttributeFont(attributes);
        context->inForceTextColour = attributes->charColour;
    }
    FontDescriptor* font = &context->inForceFont;
    JAVtAdaptToEncoding(session, font, next);

    if (context->measureContext == nullptr) {
        context->measureContext = session->createMeasureContext(session, 0);
        if (context->measureContext == nullptr) return 0;
    }
    // At most one font made here exists at a time.
    if (context->measureFont != nullptr) {
        session->selectObject(session, context->measureContext, context->measureFontBefore);
        session->deleteObject(session, context->measureFont);
        context->measureFont = nullptr;
    }
    JAVtSubstituteFace(font->faceName);
    context->measureFont = session->createFont(session, font);
    if (context->measureFont == nullptr) return 0;
    context->measureFontBefore = session->selectObject(session, context->measureContext, context->measureFont);

    // The face the font system chose; a failed question leaves it empty.
    char* actual = context->inForceFace;
    std::memset(actual, 0, kFaceSize);
    if (session->getTextFace(session, context->measureContext, static_cast<int32_t>(kFaceSize), actual) == 0) {
        std::memset(actual, 0, kFaceSize);
    }
    actual[kFaceSize - 1] = '\0';
    if (!JAVtSameFace(font->faceName, actual)) std::memcpy(font->faceName, actual, kFaceSize);
    return session->getTextMetrics(session, context->measureContext, &context->measureMetrics) != 0 ? 1 : 0;
}
