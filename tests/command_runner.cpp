// SPDX-License-Identifier: MIT
#include "tests/command_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace javtest {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ScratchDir::ScratchDir(const std::string& name)
    : path(fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path);
}

ScratchDir::~ScratchDir() { fs::remove_all(path); }

CommandResult runCommand(const std::string& command) {
    ScratchDir capture("javtrg_command");
    fs::path out = capture.path / "out";
    fs::path err = capture.path / "err";
    int raw = std::system(("( " + command + " ) >" + out.string() + " 2>" + err.string()).c_str());
    return CommandResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
}

}  // namespace javtest
