// SPDX-License-Identifier: MIT
// The exit statuses of every javtrg command.
#ifndef JAVTRG_TOOLS_EXIT_STATUS_H
#define JAVTRG_TOOLS_EXIT_STATUS_H

namespace javtool {

inline constexpr int kExitOk = 0;
// The driver reported a failure, or its output could not be kept.
inline constexpr int kExitDriverFailed = 1;
// Bad usage, or an input that cannot be read or is malformed.
inline constexpr int kExitBadInput = 2;

}  // namespace javtool

#endif
