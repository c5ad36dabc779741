// SPDX-License-Identifier: MIT
#include "tools/output_file.h"

#include "tools/temporary_files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace javtool {

namespace {

std::string reason() { return std::strerror(errno); }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The process's umask, read where the system shows it. Setting the umask to
// learn it would leave it 0 for a moment, in which a file another thread
// creates would be writable by everyone; that is done only where the
// system does not show it.
mode_t currentUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status != nullptr) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Permission bits a new file gets under the process's umask.
mode_t newFileMode() { return static_cast<mode_t>(0666 & ~currentUmask()); }

// The file `path` names through any chain of symbolic links, also one
// that ends in nothing yet: that is where a link's file is written.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
        std::vector<char> target(PATH_MAX);
        ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
        if (length < 0) return path;
        std::string to(target.data(), static_cast<size_t>(length));
        size_t slash = path.rfind('/');
        path = (!to.empty() && to.front() == '/') || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

// Names such as /dev/stdout and /proc/self/fd/1 stand for an open file of
// the process: it is written where it stands, never replaced.
bool systemName(const std::string& path) { return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0; }

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
    if (toStandardOutput()) stream_ = stdout;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::check(const std::string& input, std::string* error) const {
    if (toStandardOutput()) return true;
    struct stat out {};
    if (::stat(target_.c_str(), &out) != 0) return true;  // nothing there yet
    if (S_ISDIR(out.st_mode)) {
        *error = target_ + ": is a directory; expected the name of the file to write";
        return false;
    }
    struct stat in {};
    bool inputKnown = input == kStandardStream ? ::fstat(STDIN_FILENO, &in) == 0 : ::stat(input.c_str(), &in) == 0;
    if (inputKnown && sameFile(in, out)) {
        *error = target_ + ": is the script itself; expected another file for the record stream";
        return false;
    }
    return true;
}

bool OutputFile::open(std::string* error) {
    if (toStandardOutput()) return true;
    destination_ = target_;
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode) || systemName(target_)) {
            direct_ = true;
            // The file standard output already writes (/dev/stdout) is
            // written through it, at its offset.
            struct stat out {};
            if (::fstat(STDOUT_FILENO, &out) == 0 && sameFile(out, existing)) {
                standard_ = true;
                stream_ = stdout;
                return true;
            }
            stream_ = std::fopen(target_.c_str(), "ab");
            if (stream_ == nullptr) *error = target_ + ": cannot write: " + reason();
            return stream_ != nullptr;
        }
        char resolved[PATH_MAX];
        if (::realpath(target_.c_str(), resolved) != nullptr) destination_ = resolved;
    } else {
        destination_ = followLinks(target_);
    }
    int fd = createTemporary(destination_, &temporary_, &temporarySlot_);
    if (fd < 0) {
        *error = target_ + ": cannot write: " + reason();
        return false;
    }
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        *error = target_ + ": cannot write: " + reason();
        ::close(fd);
        discard();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string* error) {
    if (toStandardOutput() || standard_) {
        if (std::fflush(stdout) == 0) return true;
        *error = "standard output: write failed: " + reason();
        return false;
    }
    if (stream_ == nullptr) {
        *error = target_ + ": nothing was written";
        return false;
    }
    if (direct_) {
        bool written = std::fflush(stream_) == 0;
        written = std::fclose(stream_) == 0 && written;
        stream_ = nullptr;
        if (!written) *error = target_ + ": write failed: " + reason();
        return written;
    }
    struct stat existing {};
    mode_t mode = ::stat(destination_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();
    bool written = std::fflush(stream_) == 0 && ::fchmod(::fileno(stream_), mode) == 0;
    int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (!written || closed != 0) {
        *error = target_ + ": write failed: " + reason();
        discard();
        return false;
    }
    if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        *error = target_ + ": cannot write: " + reason();
        discard();
        return false;
    }
    temporary_.clear();
    unregisterTemporary(temporarySlot_);
    temporarySlot_ = -1;
    return true;
}

void OutputFile::discard() {
    if (toStandardOutput() || standard_) return;
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    unregisterTemporary(temporarySlot_);
    temporarySlot_ = -1;
}

}  // namespace javtool
