// `javtrg preview STREAM [-o FILE.svg|FILE.html|FILE.png] [--elements DIR]
// [--size WxH] [--lenient]`: draws a record stream as the viewer would.
//
// The records are drawn into an anonymous temporary file first; the
// document is written once the whole stream has been read (its size may
// come from the stream's extent), into a temporary file beside the output
// that is renamed over it at the end. A run that fails leaves no output
// file. PNG is rendered from the SVG by rsvg-convert.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>

#include <CLI/CLI.hpp>

#include "tools/stream_commands.h"
#include "tools/stream_input.h"
#include "tools/svg_preview.h"

extern char** environ;

namespace javtool {

namespace {

namespace fs = std::filesystem;

enum class Format { Svg, Html, Png };

// A temporary file named after `target` with a random part; removed unless
// it is moved onto its target.
class TemporaryFile {
public:
    TemporaryFile(const std::string& base, const std::string& suffix) {
        std::string name = base + ".XXXXXX" + suffix;
        int fd = mkstemps(name.data(), static_cast<int>(suffix.size()));
        if (fd < 0) return;
        path_ = name;
        // The file becomes the output: it gets the permissions a new file
        // of the user gets, not mkstemp's owner-only ones.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        file_ = fdopen(fd, "w+b");
        if (file_ == nullptr) ::close(fd);
    }
    ~TemporaryFile() {
        if (file_ != nullptr) std::fclose(file_);
        if (!path_.empty()) std::remove(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* file() const { return file_; }
    const std::string& path() const { return path_; }
    bool close() {
        bool closed = file_ != nullptr && std::fclose(file_) == 0;
        file_ = nullptr;
        return closed;
    }
    bool moveTo(const std::string& target) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

bool formatOf(const std::string& output, Format* format) {
    std::string extension = fs::path(output).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".svg") *format = Format::Svg;
    else if (extension == ".html" || extension == ".htm") *format = Format::Html;
    else if (extension == ".png") *format = Format::Png;
    else return false;
    return true;
}

bool parseSize(const std::string& text, PreviewSize* size) {
    static const std::regex kSize("([1-9][0-9]{0,4})x([1-9][0-9]{0,4})");
    std::smatch match;
    if (!std::regex_match(text, match, kSize)) return false;
    size->width = std::stoll(match[1]);
    size->height = std::stoll(match[2]);
    return size->width <= kPreviewSideMax && size->height <= kPreviewSideMax;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code failure;
    if (fs::equivalent(a, b, failure)) return true;
    return fs::weakly_canonical(a, failure) == fs::weakly_canonical(b, failure) && !failure;
}

// Renders `svg` into `png` with rsvg-convert; on failure returns a message.
std::string renderPng(const std::string& svg, const std::string& png) {
    std::string output = "--output=" + png;
    // The document is ours: its embedded elements may make it larger than
    // the renderer takes by default.
    const char* argv[] = {"rsvg-convert", "--format=png", "--unlimited", output.c_str(), svg.c_str(), nullptr};
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ);
    if (spawned != 0) {
        return std::string("cannot run rsvg-convert (") + std::strerror(spawned) +
               "); it comes with Debian's librsvg2-bin, which scripts/bootstrap installs";
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return "waiting for rsvg-convert failed";
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "rsvg-convert could not render the preview";
    return {};
}

}  // namespace

PreviewCommand::PreviewCommand(CLI::App& app) {
    command_ = app.add_subcommand("preview", "Draw a record stream as the viewer would, as SVG, HTML or PNG");
    command_->add_option("STREAM", stream_, "Record stream, or - for standard input")->required();
    command_->add_option("-o,--output", output_,
                         "Preview file ending in .svg, .html or .png (default: SVG on standard output)");
    command_->add_option("--elements", elements_, "Directory holding the picture elements the stream names");
    command_->add_option("--size", size_, "Size of the preview, WxH pixels (default: the stream's extent)");
    command_->add_flag("--lenient", lenient_, "Skip malformed records with a warning instead of stopping at the first");
}

bool PreviewCommand::parsed() const { return command_->parsed(); }

int PreviewCommand::run() const {
    StreamDiagnostics diagnostics(stream_);
    if (!output_.empty() && stream_ != "-" && sameFile(stream_, output_)) {
        std::cerr << "javtrg: " << output_ << ": the preview would overwrite its own stream\n";
        return kExitBadInput;
    }
    Format format = Format::Svg;
    if (!output_.empty() && !formatOf(output_, &format)) {
        std::cerr << "javtrg: " << output_ << ": expected a preview file ending in .svg, .html or .png\n";
        return kExitBadInput;
    }
    PreviewSize size{0, 0};
    if (!size_.empty() && !parseSize(size_, &size)) {
        std::cerr << "javtrg: --size " << size_ << ": expected WxH, each from 1 to " << kPreviewSideMax << "\n";
        return kExitBadInput;
    }
    if (!elements_.empty() && !fs::is_directory(elements_)) {
        std::cerr << "javtrg: " << elements_ << ": the elements directory does not exist\n";
        return kExitBadInput;
    }

    std::FILE* body = std::tmpfile();
    if (body == nullptr) {
        diagnostics.error(std::string("cannot make a temporary file: ") + std::strerror(errno));
        return kExitDriverFailed;
    }
    struct BodyCloser {
        std::FILE* file;
        ~BodyCloser() { std::fclose(file); }
    } closer{body};

    SvgPreview preview(body, PreviewOptions{elements_});
    preview.onWarning = [&](uint64_t line, const std::string& message) { diagnostics.warning(line, message); };
    uint64_t skipped = 0;
    int status = readStream(stream_, preview, lenient_, diagnostics, &skipped);
    if (status == kExitOk) preview.finish();
    diagnostics.finish();
    if (status != kExitOk) return status;
    if (preview.failed()) {
        diagnostics.error("cannot write the preview into a temporary file");
        return kExitDriverFailed;
    }
    if (size_.empty()) size = previewSize(preview.extent());

    std::string title = fs::path(stream_ == "-" ? "record stream" : stream_).filename().string() + " preview";
    const std::string* htmlTitle = format == Format::Html ? &title : nullptr;
    if (output_.empty()) {
        if (!writePreviewDocument(stdout, size, body, nullptr)) {
            std::cerr << "javtrg: standard output: write failed\n";
            return kExitDriverFailed;
        }
        return kExitOk;
    }

    TemporaryFile document(format == Format::Png ? (fs::temp_directory_path() / "javtrg-preview").string() : output_,
                           format == Format::Png ? ".svg" : "");
    if (document.file() == nullptr) {
        std::cerr << "javtrg: " << output_ << ": cannot write: " << std::strerror(errno) << "\n";
        return kExitBadInput;
    }
    if (!writePreviewDocument(document.file(), size, body, htmlTitle) || !document.close()) {
        std::cerr << "javtrg: " << output_ << ": write failed\n";
        return kExitDriverFailed;
    }
    if (format != Format::Png) {
        if (!document.moveTo(output_)) {
            std::cerr << "javtrg: " << output_ << ": cannot write: " << std::strerror(errno) << "\n";
            return kExitDriverFailed;
        }
        return kExitOk;
    }
    TemporaryFile image(output_, "");
    if (image.file() == nullptr || !image.close()) {
        std::cerr << "javtrg: " << output_ << ": cannot write: " << std::strerror(errno) << "\n";
        return kExitBadInput;
    }
    std::string failure = renderPng(document.path(), image.path());
    if (!failure.empty()) {
        std::cerr << "javtrg: " << output_ << ": " << failure << "\n";
        return kExitDriverFailed;
    }
    if (!image.moveTo(output_)) {
        std::cerr << "javtrg: " << output_ << ": cannot write: " << std::strerror(errno) << "\n";
        return kExitDriverFailed;
    }
    return kExitOk;
}

}  // namespace javtool
