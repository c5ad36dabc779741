// SPDX-License-Identifier: MIT
// Text, paragraph and character attributes, and the fonts they name.
//
// Text attributes are kept and written lazily, as a "c" record in front of
// the next simple text or text piece. Paragraph attributes are written at
// once as a "g" record; character attributes as a "c" record, preceded by
// the stored paragraph attributes when the text box has no "g" yet.
#include <cmath>
#include <cstring>

#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "graphics/graphics.h"
#include "text/charset.h"
#include "text/text.h"

namespace {

// Style flags of the "c" record.
enum : int32_t {
    kStyleBold = 2,
    kStyleItalic = 4,
    kStyleUnderline = 8,
    kStyleStrikeOut = 16,
    kStyleSuperscript = 32,
    kStyleSubscript = 64,
};

constexpr int32_t kBoldWeight = 700;
constexpr double kPointsPerInch = 72.0;

// "c,face,size,flags,red,green,blue\n"
void JAVtWriteFontRecord(DriverContext* context, const char* face, int32_t size, int32_t flags, uint32_t colour) {
    static_assert(2 + kFaceSize + 5 * (kIntFieldMax + 1) <= kLineTextMax, "the c record fits the LineBuffer");
    char* p = JAVtPutText(JAVtRecordStart(context), "c,");
    size_t faceLength = JAVtFaceLength(face);
    std::memcpy(p, face, faceLength);
    p += faceLength;
    *p++ = ',';
    p = JAVtPutColour(JAVtPutField(JAVtPutField(p, size), flags), colour);
    p = JAVtEndRecord(p);
    JAVtCountRecord(context);
    JAVtWriteRecord(context, p);
}

int32_t JAVtDescriptorFlags(const FontDescriptor& font) {
    int32_t flags = 0;
    if (font.italic != 0) flags += kStyleItalic;
    if (font.weight == kBoldWeight) flags += kStyleBold;
    if (font.underline != 0) flags += kStyleUnderline;
    if (font.strikeOut != 0) flags += kStyleStrikeOut;
    return flags;
}

// The plain form maps its face by the encoding code itself, not through a
// character set.
bool JAVtMapsPlainFaces(int32_t encoding) {
    switch (encoding) {
        case 1: case 2: case 3: case 4: case 55: case 66: case 74: return true;
        default: return false;
    }
}

// A spacing value given in points, in pixels: value × scaleY × unitsPerInchY
// ÷ 72 truncated, then scaled by the transform. Saturates at every step.
int32_t JAVtPointsToPixels(const DriverContext* context, int32_t value, const HostTransform* transform) {
    double pixels = static_cast<double>(value) * context->scaleY * context->unitsPerInchY / kPointsPerInch;
    return JAVtScaleLength(JAVtSaturate(pixels), transform);
}

int32_t JAVtSpacing(const DriverContext* context, int32_t mode, int32_t value, const HostTransform* transform) {
    return mode == 1 ? JAVtPointsToPixels(context, value, transform) : value;
}

int32_t JAVtDistance(const DriverContext* context, int32_t distance, const HostTransform* transform) {
    return JAVtMapLengthX(context, static_cast<double>(JAVtScaleLength(distance, transform)));
}

}  // namespace

int32_t JAVtScaleLength(int32_t length, const HostTransform* transform) {
    if (transform == nullptr || transform->active == 0) return length;
    return JAVtSaturate((transform->scale1 + transform->scale2) * 0.5 * static_cast<double>(length) + 0.5);
}

const HostTransform* JAVtCurrentTransform(DriverContext* context) {
    if (context->hostHandle == 0) return nullptr;
    HostServices* services = context->hostServices;
    return services->currentTransform(services, context->hostHandle);
}

extern "C" int32_t JAVtTextAtt(DriverContext* context, HostObject* object) {
    if (JAVtCollecting(context)) return JAVtCollect(context, object);
    std::memcpy(&context->currentTextAtt, JAVtBody<TextAttributes>(object), sizeof(TextAttributes));
    if (context->currentTextAtt.font != nullptr) {
        // Attributes sent again may refer to the current font itself.
        std::memmove(&context->currentTextFont, context->currentTextAtt.font, sizeof(TextFont));
        context->currentTextAtt.font = &context->currentTextFont;
    }
    context->textAttPending = 1;
    return 1;
}

int32_t JAVtPutTextAttFont(DriverContext* context, TextAttributes* attributes) {
    int32_t size = JAVtMapLengthY(context, std::fabs(static_cast<double>(attributes->fontHeight)));
    const char* face = "Times New Roman";
    int32_t flags = 0;
    TextFont* font = attributes->font;
    if (font != nullptr && font->useDescriptor == 0) {
        if (font->plainBold != 0) flags += kStyleBold;
        if (font->plainItalic != 0) flags += kStyleItalic;
        if (font->plainUnderline != 0) flags += kStyleUnderline;
        if (font->plainStrikeOut != 0) flags += kStyleStrikeOut;
        JAVtDefaultFace(font->plainFace);
        if (JAVtMapsPlainFaces(JAVtCurrentEncoding(context))) JAVtMapFontName(font->plainFace);
        font->plainFace[kFaceSize - 1] = '\0';
        face = font->plainFace;
    } else if (font != nullptr) {
        FontDescriptor& descriptor = font->descriptor;
        flags = JAVtDescriptorFlags(descriptor);
        JAVtDefaultFace(descriptor.faceName);
        if (descriptor.charSet != 1 && descriptor.charSet != 2) JAVtResolveCharset(context->hostSession, &descriptor.charSet);
        if (JAVtIsEastAsianCharset(descriptor.charSet)) JAVtMapFontName(descriptor.faceName);
        descriptor.faceName[kFaceSize - 1] = '\0';
        face = descriptor.faceName;
    }
    if (font != nullptr) JAVtCutAtComma(font->useDescriptor == 0 ? font->plainFace : font->descriptor.faceName);
    uint32_t colour = JAVtResolveColour(context, attributes->textColour);
    JAVtWriteFontRecord(context, face, size, flags, colour);
    return 1;
}

extern "C" int32_t JAVtTextParaAtt(DriverContext* context, HostObject* object) {
    if (JAVtCollecting(context)) return JAVtCollect(context, object);
    JAVtCopyBody(&context->currentParaAtt, JAVtBody<ParaAttributes>(object));
    const ParaAttributes& para = context->currentParaAtt;
    const HostTransform* transform = JAVtCurrentTransform(context);
    const int32_t values[] = {
        para.codeA,
        JAVtDistance(context, para.distance2, transform),
        JAVtDistance(context, para.distance3, transform),
        JAVtDistance(context, para.distance1, transform),
        para.modeA != 0 ? 1 : 0,
        JAVtSpacing(context, para.modeA, para.valueA, transform),
        para.modeB != 0 ? 1 : 0,
        JAVtSpacing(context, para.modeB, para.valueB, transform),
        para.modeC != 0 ? 1 : 0,
        JAVtSpacing(context, para.modeC, para.valueC, transform),
        para.codeB,
    };
    JAVtCountRecord(context);
    JAVtEmitInts(context, "g,", values);
    context->paraAttWritten = 1;
    return 1;
}

extern "C" int32_t JAVtTextCharAtt(DriverContext* context, HostObject* object) {
    if (JAVtCollecting(context)) return JAVtCollect(context, object);
    HostServices* services = context->hostServices;
    int32_t result = 1;
    // The first character attributes of a text box bring the paragraph
    // attributes in force with them.
    if (context->paraAttWritten == 0) {
        context->paraAttWritten = 1;
        HostObject* para = services->createObject(services, kKindParaStartAtt);
        if (para == nullptr) return 0;
        std::memcpy(JAVtBody<ParaAttributes>(para), &context->currentParaAtt, sizeof(ParaAttributes));
        result = JAVtTextParaAtt(context, para);
        services->releaseObject(services, para);
    }
    CharAttributes* attributes = JAVtBody<CharAttributes>(object);
    FontDescriptor& font = attributes->charFont;
    int64_t height = JAVtScaleLength(font.height, JAVtCurrentTransform(context));
    bool raised = attributes->superscript != 0;
    bool lowered = attributes->subscript != 0;
    if (raised || lowered) height = (2 * height) / 3;
    int32_t size = JAVtMapLengthY(context, std::fabs(static_cast<double>(height)));
    if (size == 0) size = 1;
    JAVtDefaultFace(font.faceName);
    if (font.charSet == 0 || font.charSet == 1) JAVtResolveCharset(context->hostSession, &font.charSet);
    if (JAVtIsEastAsianCharset(font.charSet)) JAVtMapFontName(font.faceName);
    int32_t flags = JAVtDescriptorFlags(font);
    if (raised) flags += kStyleSuperscript;
    if (lowered) flags += kStyleSubscript;
    uint32_t colour = JAVtResolveColour(context, attributes->charColour);
    JAVtCutAtComma(font.faceName);
    JAVtWriteFontRecord(context, font.faceName, size, flags, colour);
    return result;
}

extern "C" int32_t JAVtCmpTextAtt(DriverContext* context, const TextAttributes* a, const TextAttributes* b) {
    if (a->fontHeight != b->fontHeight || a->textValueA != b->textValueA || a->placementMinor != b->placementMinor ||
        a->placementMajor != b->placementMajor || a->textValueB != b->textValueB || a->textValueC != b->textValueC)
        return 0;
    // Direct colours are compared in their red, green and blue bytes only.
    uint32_t colourMask = context->targetParams->colourMode == kColourModeDirect ? 0x00FFFFFFu : 0xFFFFFFFFu;
    if ((a->textColour & colourMask) != (b->textColour & colourMask)) return 0;
    if (a->font == nullptr || b->font == nullptr) return a->font == b->font ? 1 : 0;
    size_t lengthA = JAVtFaceLength(a->font->plainFace);
    if (lengthA != JAVtFaceLength(b->font->plainFace) ||
        std::memcmp(a->font->plainFace, b->font->plainFace, lengthA) != 0)
        return 0;
    // plainBold to the last unnamed field: nine 32-bit fields.
    constexpr size_t kComparedBytes = offsetof(TextFont, useDescriptor) - offsetof(TextFont, plainBold);
    static_assert(kComparedBytes == 9 * 4, "nine compared font fields");
    return std::memcmp(&a->font->plainBold, &b->font->plainBold, kComparedBytes) == 0 ? 1 : 0;
}

extern "C" int32_t JAVtJustifyTxt(DriverContext*, HostObject*) { return 1; }
