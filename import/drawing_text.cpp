// SPDX-License-Identifier: MIT
// Text objects: a text object is assembled from its paragraphs, spans and
// characters until its end, then handed over as one text box: TextBox, for
// each line a ParaStart, a CharAtt whenever the run's font changes, the
// TextStrings (16-bit units) and Tabs, and TextBoxEnd.
//
// The viewer starts a box's lines at its top, each 1.2 font sizes high, and
// breaks lines only at paragraphs; so the box handed over is the text's own
// block, placed in the text object's frame by its vertical alignment and
// padding, and a line break starts a new paragraph line. A turned text
// object turns its box about the frame's centre.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

#include "import/drawing_state.h"
#include <javtrg/host_services.h>
#include "tools/object_builders.h"

namespace javimport {

namespace {

using librevenge::RVNGPropertyList;


constexpr double kLineSpacing = 1.2;    // the viewer's line height, in font sizes

std::string textOf(const RVNGPropertyList& list, const char* name) {
    const librevenge::RVNGProperty* property = list[name];
    return property != nullptr ? property->getStr().cstr() : std::string();
}

void appendUnit(std::string* units, uint32_t unit) {
    units->push_back(static_cast<char>(unit & 0xFF));
    units->push_back(static_cast<char>(unit >> 8));
}

// Appends UTF-8 text as 16-bit units (characters beyond the first plane as
// surrogate pairs); a byte that starts no valid character becomes U+FFFD.
void appendUtf16(std::string* units, const unsigned char* s, size_t n) {
    for (size_t i = 0; i < n;) {
        uint32_t c = s[i];
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length != 0 && i + length <= n;
        if (valid && length > 1) {
            c &= 0x7F >> length;
            for (size_t k = 1; k < length && valid; ++k) {
                valid = (s[i + k] & 0xC0) == 0x80;
                c = (c << 6) | (s[i + k] & 0x3F);
            }
            constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = valid && c >= kSmallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        }
        if (!valid) {
            appendUnit(units, 0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            appendUnit(units, 0xD800 + ((c - 0x10000) >> 10));
            appendUnit(units, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            appendUnit(units, c);
        }
        i += length;
    }
}

std::vector<TextPiece>& currentLine(TextDraft& draft) {
    if (draft.lines.empty()) draft.lines.emplace_back();
    return draft.lines.back();
}

void appendText(TextDraft& draft, const unsigned char* s, size_t n) {
    if (n == 0) return;
    std::vector<TextPiece>& line = currentLine(draft);
    if (line.empty() || line.back().tab || !(line.back().style == draft.style)) line.push_back(TextPiece{draft.style, {}, false});
    appendUtf16(&line.back().units, s, n);
}

// The font of a run as character attributes.
CharAttributes charAttributesOf(const DrawingState& state, const RunStyle& style) {
    CharAttributes c{};
    c.charColour = style.colour;
    c.charFont.height = -std::max(1, state.units(style.sizePoints / 72.0));
    c.charFont.weight = style.bold ? 700 : 400;
    c.charFont.italic = style.italic ? 1 : 0;
    c.charFont.underline = style.underline ? 1 : 0;
    c.charFont.strikeOut = style.strikeOut ? 1 : 0;
    // The face's first 31 bytes, not cutting a character in two.
    size_t length = std::min(style.face.size(), sizeof c.charFont.faceName - 1);
    while (length > 0 && length < style.face.size() && (static_cast<unsigned char>(style.face[length]) & 0xC0) == 0x80) --length;
    std::memcpy(c.charFont.faceName, style.face.data(), length);
    c.superscript = style.position == 1 ? 1 : 0;
    c.subscript = style.position == 2 ? 1 : 0;
    return c;
}

bool hasCharacters(const TextDraft& draft) {
    for (const auto& line : draft.lines) {
        for (const TextPiece& piece : line) {
            if (piece.tab || !piece.units.empty()) return true;
        }
    }
    return false;
}

// The height of a line in inches: 1.2 of its largest font.
double lineHeight(const std::vector<TextPiece>& line, const RunStyle& fallback) {
    double size = line.empty() ? fallback.sizePoints : 0.0;
    for (const TextPiece& piece : line) size = std::max(size, piece.style.sizePoints);
    return kLineSpacing * size / 72.0;
}

}  // namespace

void startText(DrawingState& state, const RVNGPropertyList& props) {
    endText(state);
    TextDraft draft;
    draft.origin = PagePoint{inchesOf(props, "svg:x"), inchesOf(props, "svg:y")};
    draft.width = std::max(0.0, inchesOf(props, "svg:width"));
    draft.height = std::max(0.0, inchesOf(props, "svg:height"));
    const librevenge::RVNGProperty* rotate = props["librevenge:rotate"];
    // The libraries give a text object's turn clockwise, as seen on the page.
    draft.rotation = rotate != nullptr && std::isfinite(rotate->getDouble()) ? -std::fmod(rotate->getDouble(), 360.0) : 0.0;
    draft.verticalAlign = textOf(props, "draw:textarea-vertical-align");
    draft.paddingLeft = inchesOf(props, "fo:padding-left");
    draft.paddingRight = inchesOf(props, "fo:padding-right");
    draft.paddingTop = inchesOf(props, "fo:padding-top");
    draft.paddingBottom = inchesOf(props, "fo:padding-bottom");
    state.text = std::move(draft);
}

// A paragraph starts a line; the first one's alignment is the box's.
void openTextParagraph(DrawingState& state, const RVNGPropertyList& props) {
    if (!state.text) return;
    TextDraft& draft = *state.text;
    draft.lines.emplace_back();
    if (!draft.justificationSet) {
        std::string align = textOf(props, "fo:text-align");
        draft.justification = align == "center" ? 1 : align == "end" || align == "right" ? 2 : 0;
        draft.justificationSet = true;
    }
}

void openTextSpan(DrawingState& state, const RVNGPropertyList& props) {
    if (!state.text) return;
    RunStyle style;
    style.face = textOf(props, "style:font-name");
    double size = inchesOf(props, "fo:font-size", 12.0 / 72.0) * 72.0;
    if (size > 0 && size < 10000) style.sizePoints = size;
    std::string weight = textOf(props, "fo:font-weight");
    style.bold = weight == "bold" || std::atoi(weight.c_str()) >= 600;
    std::string slant = textOf(props, "fo:font-style");
    style.italic = slant == "italic" || slant == "oblique";
    auto marked = [&](const char* type, const char* kind) {
        std::string a = textOf(props, type);
        std::string b = textOf(props, kind);
        return (!a.empty() && a != "none") || (!b.empty() && b != "none");
    };
    style.underline = marked("style:text-underline-type", "style:text-underline-style");
    style.strikeOut = marked("style:text-line-through-type", "style:text-line-through-style");
    std::string position = textOf(props, "style:text-position");
    if (position.rfind("super", 0) == 0) style.position = 1;
    else if (position.rfind("sub", 0) == 0) style.position = 2;
    else if (!position.empty() && std::atof(position.c_str()) != 0) style.position = std::atof(position.c_str()) > 0 ? 1 : 2;
    style.colour = colourOf(props, "fo:color", 0);
    state.text->style = style;
}

// Characters; a line feed inside the text starts a new line, a tab is a tab.
void insertTextUnits(DrawingState& state, const librevenge::RVNGString& text) {
    if (!state.text) return;
    const auto* s = reinterpret_cast<const unsigned char*>(text.cstr());
    size_t n = std::strlen(text.cstr());
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && s[i] != '\n' && s[i] != '\r' && s[i] != '\t') continue;
        appendText(*state.text, s + start, i - start);
        if (i < n && s[i] == '\n') insertTextLineBreak(state);
        if (i < n && s[i] == '\t') insertTextTab(state);
        start = i + 1;
    }
}

void insertTextTab(DrawingState& state) {
    if (state.text) currentLine(*state.text).push_back(TextPiece{state.text->style, {}, true});
}

void insertTextLineBreak(DrawingState& state) {
    if (!state.text) return;
    currentLine(*state.text);
    state.text->lines.emplace_back();
}

void endText(DrawingState& state) {
    if (!state.text) return;
    TextDraft draft = std::move(*state.text);
    state.text.reset();
    if (state.sink == nullptr || !hasCharacters(draft)) return;

    double block = 0;
    for (const auto& line : draft.lines) block += lineHeight(line, draft.style);
    double offset = draft.paddingTop;
    if (draft.verticalAlign == "middle") offset = (draft.height - block) / 2;
    else if (draft.verticalAlign == "bottom") offset = draft.height - draft.paddingBottom - block;
    double width = std::max(0.0, draft.width - draft.paddingLeft - draft.paddingRight);
    PagePoint corner{draft.origin.x + draft.paddingLeft, draft.origin.y + offset};
    if (draft.rotation != 0) {
        PagePoint centre{draft.origin.x + draft.width / 2, draft.origin.y + draft.height / 2};
        double a = draft.rotation * std::numbers::pi / 180.0;
        double dx = corner.x - centre.x;
        double dy = corner.y - centre.y;
        corner = PagePoint{centre.x + dx * std::cos(a) + dy * std::sin(a), centre.y - dx * std::sin(a) + dy * std::cos(a)};
    }
    PointPair first = state.point(corner);
    TextBoxData box{};
    box.x1 = first.x;
    box.y1 = first.y;
    box.x2 = saturate(static_cast<double>(first.x) + state.units(width));
    box.y2 = saturate(static_cast<double>(first.y) - state.units(block));
    box.rotation = static_cast<int32_t>(std::lround(std::fmod(draft.rotation * 10.0 + 3600.0, 3600.0))) % 3600;
    box.justification = draft.justification;
    state.add(javtool::bodyBuilder(kKindTextBox, box));

    std::optional<RunStyle> font;
    for (const auto& line : draft.lines) {
        state.add(javtool::emptyObject(kKindParaStart));
        for (const TextPiece& piece : line) {
            if (!font || !(*font == piece.style)) {
                state.add(javtool::bodyBuilder(kKindCharAtt, charAttributesOf(state, piece.style)));
                font = piece.style;
            }
            if (piece.tab) state.add(javtool::emptyObject(kKindTab));
            else state.add(javtool::textStringObject(kKindTextString, kEncodingUnits, piece.units));
        }
    }
    state.add(javtool::emptyObject(kKindTextBoxEnd));
}

}  // namespace javimport
