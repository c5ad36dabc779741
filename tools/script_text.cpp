// SPDX-License-Identifier: MIT
// Named fields of the text kinds in object scripts.
//
// A text field is a JSON string (UTF-8, encoded into the object's encoding,
// or into the session's currentEncoding when the object's is 0), an object
// {"hex": "..."} with the bytes themselves, or null for an absent text. The
// bytes become a block the object owns, with two zero bytes after them, so a
// copy of the object owns a copy of its text.
#include <cstring>
#include <optional>

#include "tools/object_builders.h"
#include "tools/script.h"

namespace javtool {

namespace {

using Text = std::optional<std::string>;

Text readText(FieldReader& f, int32_t encoding) {
    const json* value = f.raw("text");
    if (value == nullptr || value->is_null()) return std::nullopt;
    if (value->is_string()) {
        int32_t effective = encoding != 0 ? encoding : f.session().currentEncoding;
        return encodeScriptText(value->get<std::string>(), effective, f.session().bigEndianText, f.place("text"));
    }
    if (value->is_object()) {
        FieldReader g(*value, f.place("text"), f.session());
        const json* hex = g.raw("hex");
        g.finish();
        if (hex == nullptr || !hex->is_string()) g.fail("hex", "the text's bytes in hexadecimal");
        return parseHex(hex->get<std::string>(), g.place("hex"));
    }
    f.fail("text", "a string, {\"hex\": \"...\"} or null");
}

// The text's length field: as given, else the length of the text's bytes.
// A length may be shorter than the text (0 or less: the driver measures up
// to the first zero byte, and two follow every text), never longer.
int64_t readByteLength(FieldReader& f, const Text& text) {
    int64_t size = text ? static_cast<int64_t>(text->size()) : 0;
    int64_t length = f.i64("byteLength", size);
    if (length > size)
        f.fail("byteLength", "at most the " + std::to_string(size) + " bytes of the text (0 or less: up to the first zero byte)");
    return length;
}

void readDescriptor(FieldReader& f, FontDescriptor* d) {
    d->height = f.i32("height");
    d->width = f.i32("width");
    d->escapement = f.i32("escapement");
    d->orientation = f.i32("orientation");
    d->weight = f.i32("weight");
    d->italic = f.u8("italic");
    d->underline = f.u8("underline");
    d->strikeOut = f.u8("strikeOut");
    d->charSet = f.u8("charSet");
    d->outPrecision = f.u8("outPrecision");
    d->clipPrecision = f.u8("clipPrecision");
    d->quality = f.u8("quality");
    d->pitchAndFamily = f.u8("pitchAndFamily");
    f.text("faceName", d->faceName, sizeof d->faceName);
    f.finish();
}

TextFont readFont(FieldReader& f) {
    TextFont font{};
    f.text("plainFace", font.plainFace, sizeof font.plainFace);
    font.plainBold = f.i32("plainBold");
    font.plainItalic = f.i32("plainItalic");
    font.plainUnderline = f.i32("plainUnderline");
    font.plainStrikeOut = f.i32("plainStrikeOut");
    std::vector<int64_t> unnamed = f.ints("unnamed48", 5, false, INT32_MIN, INT32_MAX);
    for (size_t i = 0; i < unnamed.size(); ++i) font.unnamed48[i] = static_cast<int32_t>(unnamed[i]);
    font.useDescriptor = f.i32("useDescriptor");
    if (const json* descriptor = f.object("descriptor")) {
        FieldReader g(*descriptor, f.place("descriptor"), f.session());
        readDescriptor(g, &font.descriptor);
    }
    f.finish();
    return font;
}

ObjectBuilder parseTextBox(FieldReader& f) {
    TextBoxData body{};
    body.x1 = f.i32("x1");
    body.y1 = f.i32("y1");
    body.x2 = f.i32("x2");
    body.y2 = f.i32("y2");
    body.rotation = f.i32("rotation");
    body.justification = f.u32("justification");
    return bodyBuilder(kKindTextBox, body);
}

ObjectBuilder parseSimpleText(FieldReader& f) {
    SimpleTextData body{};
    body.x1 = f.i32("x1");
    body.y1 = f.i32("y1");
    body.x2 = f.i32("x2");
    body.y2 = f.i32("y2");
    body.encoding = f.i32("encoding");
    Text text = readText(f, body.encoding);
    body.byteLength = readByteLength(f, text);
    return ownedTextObject(kKindSimpleText, body, text, offsetof(SimpleTextData, text));
}

ObjectBuilder parseTextPiece(FieldReader& f) {
    TextPieceData body{};
    body.lastPiece = f.i32("lastPiece");
    body.encoding = f.i32("encoding");
    Text text = readText(f, body.encoding);
    body.byteLength = readByteLength(f, text);
    return ownedTextObject(kKindTextPiece, body, text, offsetof(TextPieceData, text));
}

ObjectBuilder parseTextString(FieldReader& f) {
    TextStringData body{};
    body.encoding = f.i32("encoding");
    Text text = readText(f, body.encoding);
    body.byteLength = readByteLength(f, text);
    return ownedTextObject(kKindTextString, body, text, offsetof(TextStringData, text));
}

ObjectBuilder parseWidthString(FieldReader& f) {
    WidthStringData body{};
    body.runWidth = f.i32("runWidth");
    body.stringMode = f.i32("stringMode");
    body.encoding = f.i32("encoding");
    Text text = readText(f, body.encoding);
    body.byteLength = readByteLength(f, text);
    return ownedTextObject(kKindWidthString, body, text, offsetof(WidthStringData, text));
}

ParaAttributes readParaAttributes(FieldReader& f) {
    ParaAttributes body{};
    body.modeA = f.i32("modeA");
    body.valueA = f.i32("valueA");
    body.modeB = f.i32("modeB");
    body.valueB = f.i32("valueB");
    body.modeC = f.i32("modeC");
    body.valueC = f.i32("valueC");
    body.distance1 = f.i32("distance1");
    body.distance2 = f.i32("distance2");
    body.distance3 = f.i32("distance3");
    body.codeA = f.i32("codeA");
    body.codeB = f.i32("codeB");
    return body;
}

ObjectBuilder parseParaAtt(FieldReader& f) { return bodyBuilder(kKindParaAtt, readParaAttributes(f)); }

ObjectBuilder parseParaStartAtt(FieldReader& f) { return bodyBuilder(kKindParaStartAtt, readParaAttributes(f)); }

ObjectBuilder parseTextAtt(FieldReader& f) {
    TextAttributes body{};
    body.textColour = f.colour("textColour");
    body.fontHeight = f.i32("fontHeight");
    body.textValueA = f.u32("textValueA");
    body.placementMinor = f.u32("placementMinor");
    body.placementMajor = f.u32("placementMajor");
    body.textValueB = f.u32("textValueB");
    body.textValueC = f.u32("textValueC");
    std::optional<TextFont> font;
    if (const json* value = f.object("font")) {
        FieldReader g(*value, f.place("font"), f.session());
        font = readFont(g);
    }
    return textAttObject(kKindTextAtt, body, font);
}

ObjectBuilder parseCharAtt(FieldReader& f) {
    CharAttributes body{};
    body.charColour = f.colour("charColour");
    if (const json* value = f.object("charFont")) {
        FieldReader g(*value, f.place("charFont"), f.session());
        readDescriptor(g, &body.charFont);
    }
    body.superscript = f.i32("superscript");
    body.subscript = f.i32("subscript");
    return bodyBuilder(kKindCharAtt, body);
}

}  // namespace

const std::vector<KindEntry>& textKinds() {
    // Kinds without a body of their own take no fields (payload only).
    // Texts and fonts are references; the other bodies hold none.
    static const std::vector<KindEntry> kinds = {
        {.name = "SimpleText", .code = kKindSimpleText, .parse = parseSimpleText},
        {.name = "TextPiece", .code = kKindTextPiece, .parse = parseTextPiece},
        {.name = "Justify", .code = kKindJustify, .parse = nullptr, .bodyHasReference = false},
        {.name = "TextAtt", .code = kKindTextAtt, .parse = parseTextAtt},
        {.name = "TextBox", .code = kKindTextBox, .parse = parseTextBox, .bodyHasReference = false},
        {.name = "ParaAtt", .code = kKindParaAtt, .parse = parseParaAtt, .bodyHasReference = false},
        {.name = "CharAtt", .code = kKindCharAtt, .parse = parseCharAtt, .bodyHasReference = false},
        {.name = "TextString", .code = kKindTextString, .parse = parseTextString},
        {.name = "WidthString", .code = kKindWidthString, .parse = parseWidthString},
        {.name = "Tab", .code = kKindTab, .parse = nullptr, .bodyHasReference = false},
        {.name = "ParaStart", .code = kKindParaStart, .parse = nullptr, .bodyHasReference = false},
        {.name = "ParaStartAtt", .code = kKindParaStartAtt, .parse = parseParaStartAtt, .bodyHasReference = false},
        {.name = "TextBoxEnd", .code = kKindTextBoxEnd, .parse = nullptr, .bodyHasReference = false},
    };
    return kinds;
}

}  // namespace javtool
