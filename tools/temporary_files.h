// SPDX-License-Identifier: MIT
// Temporary files that an interrupted run removes. A file the tool writes
// beside its output (NAME.XXXXXX, renamed over NAME when complete) is
// registered while it exists; SIGINT or SIGTERM removes every registered
// file before the process ends as the signal ends it. Only SIGKILL can
// leave one behind, recognisable by its name: the output's name and six
// random characters.
#ifndef JAVTRG_TOOLS_TEMPORARY_FILES_H
#define JAVTRG_TOOLS_TEMPORARY_FILES_H

namespace javtool {

// Registers `path` for removal on an interrupt and installs the handlers
// (once). Returns a slot for unregisterTemporary, or -1 when the table is
// full or the path too long (the file is then only removed by the run).
int registerTemporary(const char* path);
// The file was renamed or removed: an interrupt leaves it alone.
void unregisterTemporary(int slot);
// Removes every registered file now, for a process about to end without
// unwinding.
void removeRegisteredTemporaries();

}  // namespace javtool

#endif
