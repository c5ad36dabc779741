// SPDX-License-Identifier: MIT
// Where the tool writes a stream: standard output, or a file that appears
// only whole. A file is written as a fresh temporary file beside the target
// and renamed over it when the run has produced it, so that an existing
// file is never truncated on the way and a failed run leaves nothing. A
// symbolic link is followed (the link stays, its file is replaced, or made
// when the link points at nothing yet); a target that is no regular file
// (a device, a pipe), or that stands for an open file of the process
// (/dev/stdout), is written where it stands.
#ifndef JAVTRG_OUTPUT_FILE_H
#define JAVTRG_OUTPUT_FILE_H

#include <cstdio>
#include <string>

namespace javtool {

// The name that means standard input or output on the command line.
inline constexpr const char* kStandardStream = "-";

class OutputFile {
public:
    // `target` is a path, or "-" (or empty) for standard output.
    explicit OutputFile(std::string target);
    ~OutputFile();  // discards a file not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool toStandardOutput() const { return target_.empty() || target_ == kStandardStream; }
    // The target as messages name it.
    std::string name() const { return toStandardOutput() ? "standard output" : target_; }

    // Refuses, before anything is read or written, a target that is an
    // existing directory or the same file as the input (`input` a path, or
    // "-" for standard input), through whatever path or link. False with
    // a message.
    bool check(const std::string& input, std::string* error) const;
    // Creates the temporary file beside the target, or opens a target that
    // is no regular file (nothing to do for standard output). False with a
    // message.
    bool open(std::string* error);
    std::FILE* stream() const { return stream_; }
    // Flushes, and renames the file over the target with the target's
    // permissions (those of a new file when there was none). False with a
    // message; the temporary file is then removed.
    bool commit(std::string* error);
    // Removes the temporary file; the target stays as it was.
    void discard();

private:
    std::string target_;
    std::string destination_;  // the file renamed over: the target, links followed
    std::string temporary_;
    int temporarySlot_ = -1;   // removed by an interrupt while it is held
    bool direct_ = false;      // written in place: a device or a pipe
    bool standard_ = false;    // the file standard output writes
    std::FILE* stream_ = nullptr;
};

}  // namespace javtool

#endif
