// SPDX-License-Identifier: MIT
// The first reading of a script's text, before any document is built from
// it: what would make building it unsafe is refused here, and what is
// merely suspicious is noted.
#ifndef JAVTRG_SCRIPT_PRESCAN_H
#define JAVTRG_SCRIPT_PRESCAN_H

#include <cstddef>
#include <string>
#include <vector>

#include "tools/script.h"

namespace javtool {

// Deepest nesting of arrays and objects a script may have, the top-level
// object counting as 1. Nested objects (a Clip's rectangle) are read, built,
// copied and released recursively, so their depth is bounded before any of
// that starts.
inline constexpr size_t kMaxScriptNesting = 64;

// Reads `text` as JSON without building it, in one pass that does not
// recurse. Throws ScriptError, with the place, for a syntax error, for
// nesting deeper than kMaxScriptNesting, for a number no double holds, for
// more objects or points than `limits` allow and for bytes after the
// document (a zero byte included).
// Appends to `warnings` every duplicate key (the last value counts) and
// every integer kind code no handler of the driver knows.
void prescanScript(const std::string& text, const ScriptLimits& limits, std::vector<ScriptWarning>* warnings);

}  // namespace javtool

#endif
