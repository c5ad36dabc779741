// SPDX-License-Identifier: MIT
// The preview's texts: text boxes and simple texts laid out line by line,
// fonts, and the runs of "u" and "b" records decoded to characters.
//
// A text ("s") opens one SVG text element that stays open while text records
// follow: "y" starts a paragraph on a new line, "c" changes the font of the
// runs after it, and every "u" or "b" record is a run in the font in force.
// "e" ends the text, but the pieces the driver writes after a simple text
// (a "u", or a "c" and a "u") continue it where it stopped; any other record
// closes the element.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "tools/svg_measure.h"
#include "tools/svg_preview.h"

namespace javtool {

namespace {

// A line's baseline lies this far below its top, and the next line starts
// this far below it, in units of the font size.
constexpr double kAscent = 0.8;
constexpr double kLineSpacing = 1.2;

// Room left in a "b" run's opening tag for its width, written once the
// width has been read after the units.
constexpr size_t kWidthRoom = 96;

// The most characters of a run in one text node.
constexpr uint64_t kRunPiece = 250;

std::string lowerAscii(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// The families the viewer's generic names stand for: fonts the bootstrap
// installs, which fontconfig finds by these names in every renderer, with
// a CJK family for the scripts the first does not cover.
constexpr const char* kSansFamilies = "'DejaVu Sans', 'Noto Sans CJK JP', sans-serif";
constexpr const char* kSerifFamilies = "'DejaVu Serif', 'Noto Serif CJK JP', serif";
constexpr const char* kMonoFamilies = "'DejaVu Sans Mono', 'Noto Sans Mono CJK JP', monospace";

// Metric-compatible fonts the bootstrap installs for the viewer's most
// common faces, named in the list so that every renderer takes them (a
// family list hides fontconfig's own aliases).
struct Substitute {
    const char* prefix;
    const char* family;
};
constexpr Substitute kSubstitutes[] = {
    {"arial", "'Nimbus Sans'"},       {"helvetica", "'Nimbus Sans'"}, {"times", "'Nimbus Roman'"},
    {"courier", "'Nimbus Mono PS'"},     {"liberation sans", "'Nimbus Sans'"}, {"liberation serif", "'Nimbus Roman'"},
    {"liberation mono", "'Nimbus Mono PS'"},
};

// The CSS font family list of a face: the viewer's generic names become
// the families they stand for; any other face is asked for by name, then
// by its metric-compatible substitute when it has one, then by the
// families of its kind.
std::string cssFamily(const std::string& face) {
    std::string lower = lowerAscii(face);
    if (lower == "dialog" || lower == "sansserif") return kSansFamilies;
    if (lower == "serif") return kSerifFamilies;
    if (lower == "monospaced") return kMonoFamilies;
    std::string name;
    for (char c : face) {
        // Quotes and backslashes would end or escape the CSS string.
        if (c != '\'' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) name += c;
    }
    std::string families = "'" + name + "', ";
    for (const Substitute& substitute : kSubstitutes) {
        if (lower.starts_with(substitute.prefix)) families += std::string(substitute.family) + ", ";
    }
    // A face that is not installed is drawn by the families of its kind:
    // the common serif and fixed-pitch faces by those, any other by sans.
    static constexpr const char* kSerifFaces[] = {"times", "georgia", "liberation serif", "garamond", "bookman",
                                                  "book antiqua", "palatino", "century", "cambria", "baskerville"};
    static constexpr const char* kMonoFaces[] = {"courier", "liberation mono", "lucida console", "consolas"};
    auto startsWithAny = [&lower](const auto& prefixes) {
        return std::any_of(std::begin(prefixes), std::end(prefixes), [&lower](const char* p) { return lower.starts_with(p); });
    };
    const char* fallback = kSansFamilies;
    if (startsWithAny(kMonoFaces)) fallback = kMonoFamilies;
    if (startsWithAny(kSerifFaces)) fallback = kSerifFamilies;
    return families + fallback;
}

// The characters of escaped text, as the renderer reads them.
std::string unescaped(const std::string& text) {
    static constexpr std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            if (text.compare(i, std::strlen(entity), entity) == 0) {
                out += character;
                i += std::strlen(entity) - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i];
    }
    return out;
}

size_t characterCount(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void SvgPreview::textRecord(const Record& record) {
    claimClip(record);
    Font& font = state_.font;
    TextLayout& text = state_.text;
    switch (record.letter) {
    case 's':
        closeText();
        openText(&record);
        return;
    case 'y':
        if (!text.open) openText(nullptr);
        if (text.lineStarted || text.paragraphSeen) {
            text.lineTop += text.lineStarted ? text.lineHeight : kLineSpacing * static_cast<double>(font.size);
        }
        text.paragraphSeen = true;
        text.lineStarted = false;
        text.lineHeight = 0;
        return;
    case 'c':
        font.face = record.face;
        font.size = std::max<int64_t>(0, record.fields[0]);
        font.flags = record.fields[1];
        font.colour = Colour{false, record.fields[2], record.fields[3], record.fields[4]};
        return;
    default:
        // "g": the paragraph attributes are drawn without. "e": the text
        // stays open for pieces that continue it.
        return;
    }
}

// A text box "s,left,top,width,height,class,rotation" aligns its lines by
// its class (0 left, 1 centred, 2 right) within its width from (left, top),
// the host's first corner. A rotation in tenths of a degree turns the box
// counter-clockwise about that corner; the record does not say on which
// side of the corner the box's width lies, so a turned box's lines start at
// the corner whatever its class. A simple text
// "s,left,top,width,height,placement,0" has a placement code from 4 up,
// which the preview draws without: its line starts at the left.
void SvgPreview::openText(const Record* box) {
    TextLayout text;
    text.open = true;
    std::string tag = "<text xml:space=\"preserve\" style=\"white-space:pre\"";
    if (box != nullptr) {
        Box area = boxOf(*box);
        double left = static_cast<double>(box->fields[0]);
        double top = static_cast<double>(box->fields[1]);
        int64_t justification = box->fields[4];
        int64_t rotation = justification <= 2 ? box->fields[5] % 3600 : 0;
        text.anchorX = left;
        if (rotation != 0) {
            tag += " transform=\"rotate(" + svgNumber(-static_cast<double>(rotation) / 10.0) + " " +
                   svgNumber(left) + " " + svgNumber(top) + ")\"";
        } else if (justification == 1) {
            text.anchorX = area.x + area.width / 2.0;
            tag += " text-anchor=\"middle\"";
        } else if (justification == 2) {
            text.anchorX = area.x + area.width;
            tag += " text-anchor=\"end\"";
        }
        text.lineTop = top;
    }
    state_.text = text;
    write(tag + ">");
}

void SvgPreview::closeText() {
    if (!state_.text.open) return;
    write("</text>\n");
    state_.text = TextLayout{};
}

void SvgPreview::beginRun(const Record& record) {
    claimClip(record);
    if (!state_.text.open) openText(nullptr);
    TextLayout& text = state_.text;
    double size = static_cast<double>(state_.font.size);
    std::string tag = "<tspan";
    if (!text.lineStarted) {
        tag += " x=\"" + svgNumber(text.anchorX) + "\" y=\"" + svgNumber(text.lineTop + kAscent * size) + "\"";
        text.lineStarted = true;
    }
    text.lineHeight = std::max(text.lineHeight, kLineSpacing * size);
    write(tag + fontAttributes());
    state_.widthRoom = -1;
    if (record.letter == 'b') {
        state_.widthRoom = position();
        write(std::string(kWidthRoom, ' '));
    }
    write(">");
    state_.decoder = UnitDecoder{};
    state_.runNatural = 0;
    state_.runCharacters = 0;
    state_.pieceCharacters = 0;
    state_.pieceOpen = false;
    state_.runPieces = 0;
}

// A "b" run is drawn to its width: the characters keep their size and the
// space between them grows or shrinks (letter-spacing, which every
// renderer honours) by the difference between the width and the run's
// natural width, shared among the gaps the renderer spaces. Pango spaces
// the gaps between the characters of a span (none where a piece of a long
// run starts its own span), browsers the gap after every character: the
// attribute holds Pango's spacing, and the HTML page gives spans of class
// "spaced" the browsers' spacing (--browser-spacing).
void SvgPreview::measureRun(const std::string& piece) {
    if (state_.widthRoom < 0 || piece.empty()) return;
    const Font& font = state_.font;
    std::string characters = unescaped(piece);
    state_.runNatural += measureText(cssFamily(font.face), static_cast<double>(font.size), (font.flags & 2) != 0,
                                     (font.flags & 4) != 0, characters);
    state_.runCharacters += characterCount(characters);
}

// A long run's characters are written in pieces of kRunPiece, each after
// the first in a span of its own inside the run's: renderers lay out a
// span's characters in time that grows faster than their number.
// `text` is escaped: an entity ("&amp;") is one character.
void SvgPreview::writeRunText(const std::string& text) {
    size_t start = 0;
    bool inEntity = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inEntity) {
            inEntity = c != ';';
            continue;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // inside a character
        if (state_.pieceCharacters == kRunPiece) {
            write(text.substr(start, i - start) + (state_.pieceOpen ? "</tspan><tspan>" : "<tspan>"));
            start = i;
            state_.pieceOpen = true;
            state_.pieceCharacters = 0;
            ++state_.runPieces;
        }
        inEntity = c == '&';
        ++state_.pieceCharacters;
        ++state_.characters;
    }
    write(text.substr(start));
}

void SvgPreview::endRun(const Record& record) {
    state_.decoder.flush(piece_);
    measureRun(piece_);
    writeRunText(piece_);
    piece_.clear();
    write(state_.pieceOpen ? "</tspan></tspan>" : "</tspan>");
    if (state_.widthRoom < 0 || !record.hasWidth || record.width <= 0 || state_.runCharacters < 2 || failed_) return;
    long long endOffset = position();
    if (std::fflush(body_) != 0 || fseeko(body_, static_cast<off_t>(state_.widthRoom), SEEK_SET) != 0) {
        failed_ = true;
        return;
    }
    double extra = static_cast<double>(record.width) - state_.runNatural;
    double gaps = static_cast<double>(state_.runCharacters - 1 - state_.runPieces);
    write(" letter-spacing=\"" + svgNumber(extra / gaps) + "\" class=\"spaced\" style=\"--browser-spacing:" +
          svgNumber(extra / static_cast<double>(state_.runCharacters)) + "px\"");
    if (std::fflush(body_) != 0 || fseeko(body_, static_cast<off_t>(endOffset), SEEK_SET) != 0) failed_ = true;
}

// Style flags of "c": 2 bold, 4 italic, 8 underlined, 16 struck out,
// 32 raised, 64 lowered.
std::string SvgPreview::fontAttributes() const {
    const Font& font = state_.font;
    std::string family;
    appendEscaped(family, cssFamily(font.face));
    std::string text = " font-family=\"" + family + "\" font-size=\"" + std::to_string(font.size) + "\"";
    if ((font.flags & 2) != 0) text += " font-weight=\"bold\"";
    if ((font.flags & 4) != 0) text += " font-style=\"italic\"";
    std::string decoration;
    if ((font.flags & 8) != 0) decoration += "underline";
    if ((font.flags & 16) != 0) decoration += decoration.empty() ? "line-through" : " line-through";
    if (!decoration.empty()) text += " text-decoration=\"" + decoration + "\"";
    if ((font.flags & 32) != 0) {
        text += " baseline-shift=\"super\"";
    } else if ((font.flags & 64) != 0) {
        text += " baseline-shift=\"sub\"";
    }
    return text + " fill=\"" + svgColour(font.colour.red, font.colour.green, font.colour.blue) + "\"";
}

}  // namespace javtool
