// SPDX-License-Identifier: MIT
// Pieces of SVG markup: numbers, colours, escaped text. Everything that
// comes from a record stream reaches the document through these, so the
// document is well-formed XML whatever bytes the stream holds.
#ifndef JAVTRG_TOOLS_SVG_MARKUP_H
#define JAVTRG_TOOLS_SVG_MARKUP_H

#include <cstdint>
#include <string>
#include <string_view>

namespace javtool {

// A number with at most two decimals, locale-independent ("12", "-0.5").
std::string svgNumber(double value);
// "#rrggbb"
std::string svgColour(int64_t red, int64_t green, int64_t blue);

// Appends a character as UTF-8, escaped for XML text and attribute values.
// Characters XML cannot hold become U+FFFD; tabs and line breaks become
// spaces.
void appendCharacter(std::string& out, uint32_t codePoint);
// Appends bytes that should be UTF-8; invalid sequences become U+FFFD.
void appendEscaped(std::string& out, std::string_view bytes);

// Turns 16-bit code units into characters, pairing surrogates; a surrogate
// without its partner becomes U+FFFD.
class UnitDecoder {
public:
    void push(uint16_t unit, std::string& out);
    // The end of the units: a high surrogate still waiting becomes U+FFFD.
    void flush(std::string& out);

private:
    uint16_t high_ = 0;
};

}  // namespace javtool

#endif
