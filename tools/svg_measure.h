// SPDX-License-Identifier: MIT
// The natural width of a run of text as the preview's renderer lays it out
// (Pango on fontconfig's fonts), so that a run the stream gives a width can
// be spaced to exactly that width in every renderer.
#ifndef JAVTRG_TOOLS_SVG_MEASURE_H
#define JAVTRG_TOOLS_SVG_MEASURE_H

#include <string>
#include <string_view>

namespace javtool {

// `families`: a CSS font-family list ("'Courier New', monospace"); `size`
// in pixels; `utf8` the characters. Returns the advance width in pixels.
double measureText(const std::string& families, double size, bool bold, bool italic, std::string_view utf8);

}  // namespace javtool

#endif
