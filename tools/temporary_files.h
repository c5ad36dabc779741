// SPDX-License-Identifier: MIT
// Temporary files that an interrupted run removes. A file the tool writes
// beside its output (NAME.XXXXXX, renamed over NAME when complete) is
// registered while it exists; SIGINT or SIGTERM removes every registered
// file before the process ends as the signal ends it. Only SIGKILL can
// leave one behind, recognisable by its name: the output's name and six
// random characters.
#ifndef JAVTRG_TOOLS_TEMPORARY_FILES_H
#define JAVTRG_TOOLS_TEMPORARY_FILES_H

#include <string>

namespace javtool {

// Creates a new file PREFIX.XXXXXX (six random letters, mode 0600, as
// mkstemp does) registered for removal on an interrupt from before it exists,
// so that no interrupt can leave it behind. Returns its descriptor and sets
// `path` and `slot` (for unregisterTemporary; -1 when the table is full), or
// returns -1 with errno set.
int createTemporary(const std::string& prefix, std::string* path, int* slot);
// The file was renamed or removed: an interrupt leaves it alone.
void unregisterTemporary(int slot);
// Removes every registered file now, for a process about to end without
// unwinding.
void removeRegisteredTemporaries();

}  // namespace javtool

#endif
