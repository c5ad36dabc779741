// SPDX-License-Identifier: MIT
// Places in a script, and text taken from a script, made fit for a message
// of one line: whatever a script holds (newlines, control bytes, keys of a
// megabyte) is shown escaped and cut short.
#ifndef JAVTRG_SCRIPT_PLACE_H
#define JAVTRG_SCRIPT_PLACE_H

#include <cstddef>
#include <string>

namespace javtool {

// `text` in double quotes, control and non-ASCII bytes escaped as \xNN
// (\n, \t, \", \\ as such), cut after `limit` bytes with "...".
std::string shown(const std::string& text, size_t limit = 40);

// `text` as it may stand in a message of one line: printable UTF-8 as it
// is, every other byte (control bytes, bytes of no valid UTF-8 sequence)
// escaped as \xNN.
std::string printable(const std::string& text);

// The place of member `key` of the object at `parent` ("objects[0].x0"); a
// key that is not a plain name is shown quoted: objects[0]["a b"].
std::string memberPlace(const std::string& parent, const std::string& key);
// The place of element `index` of the array at `parent` ("objects[3]").
std::string elementPlace(const std::string& parent, size_t index);
// A place cut in the middle when it is too long to read ("objects[0].
// rectangle.rectangle ... .rectangle.kind").
std::string shortPlace(const std::string& place);

}  // namespace javtool

#endif
