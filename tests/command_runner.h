// SPDX-License-Identifier: MIT
// Runs a shell command for the end-to-end tests of the tool and captures
// what it prints.
#ifndef JAVTRG_TESTS_COMMAND_RUNNER_H
#define JAVTRG_TESTS_COMMAND_RUNNER_H

#include <filesystem>
#include <string>

namespace javtest {

struct CommandResult {
    int status;  // exit status, -1 when the command did not exit
    std::string out;
    std::string err;
};

CommandResult runCommand(const std::string& command);
std::string readFile(const std::filesystem::path& path);
// A fresh directory of its own under the temporary directory, removed by
// the destructor.
struct ScratchDir {
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    std::filesystem::path path;
};

}  // namespace javtest

#endif
