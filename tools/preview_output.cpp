// SPDX-License-Identifier: MIT
#include "tools/preview_output.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <filesystem>
#include <ostream>
#include <string_view>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/output_file.h"
#include "tools/temporary_files.h"

namespace javtool {

namespace {

// A rendering that takes longer or grows the process larger than this ends
// the tool: the renderer cannot be stopped otherwise, and no shape of a
// drawing (a polygon crossing itself millions of times) may hold it longer.
constexpr auto kRenderTimeMax = std::chrono::seconds(20);
constexpr uint64_t kRenderMemoryMax = 1024ULL * 1024 * 1024;

// The process's resident memory in bytes, 0 when unknown.
uint64_t residentBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long long pages = 0;
    unsigned long long resident = 0;
    bool read = std::fscanf(statm, "%llu %llu", &pages, &resident) == 2;
    std::fclose(statm);
    return read ? resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// Watches a rendering from a thread of its own; past its limits it says
// so, removes the temporary files and ends the process with status 1.
class RenderWatch {
public:
    explicit RenderWatch(std::string name) : name_(std::move(name)), thread_([this] { watch(); }) {}
    ~RenderWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

private:
    void watch() {
        auto deadline = std::chrono::steady_clock::now() + kRenderTimeMax;
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            bool late = std::chrono::steady_clock::now() > deadline;
            if (!late && residentBytes() <= kRenderMemoryMax) continue;
            std::fprintf(stderr, "javtrg: %s: rendering the PNG needs more than %s; write the preview as .svg or .html instead\n",
                         name_.c_str(), late ? "20 s" : "1 GB");
            removeRegisteredTemporaries();
            std::_Exit(1);
        }
    }

    std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// Renders the SVG document in `svg` (a file, mapped rather than read, so
// that a large document costs no memory of its own) into `png`.
bool renderDocument(std::FILE* svg, const PreviewDocument& document, std::FILE* png, std::ostream& messages,
                    const std::string& name) {
    struct stat info {};
    if (std::fflush(svg) != 0 || ::fstat(fileno(svg), &info) != 0 || info.st_size <= 0) {
        messages << "javtrg: " << name << ": cannot read the document back: " << std::strerror(errno) << "\n";
        return false;
    }
    size_t length = static_cast<size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fileno(svg), 0);
    if (mapped == MAP_FAILED) {
        messages << "javtrg: " << name << ": cannot read the document back: " << std::strerror(errno) << "\n";
        return false;
    }
    PngRenderResult result;
    {
        RenderWatch watch(name);
        result = renderSvgToPng(std::string_view(static_cast<const char*>(mapped), length), document.size.width,
                                document.size.height, document.pixelBudget, png);
    }
    ::munmap(mapped, length);
    if (!result.warning.empty()) messages << "javtrg: " << name << ": warning: " << result.warning << "\n";
    if (!result.ok) messages << "javtrg: " << name << ": " << result.error << "\n";
    return result.ok;
}

}  // namespace

bool previewFormatOf(const std::string& output, PreviewFormat* format) {
    std::string extension = std::filesystem::path(output).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".svg") *format = PreviewFormat::Svg;
    else if (extension == ".html" || extension == ".htm") *format = PreviewFormat::Html;
    else if (extension == ".png") *format = PreviewFormat::Png;
    else return false;
    return true;
}

bool writePreview(std::FILE* body, const PreviewDocument& document, std::ostream& messages) {
    if (document.format == PreviewFormat::Png &&
        (document.elements > kPngElementsMax || document.characters > kPngCharactersMax)) {
        messages << "javtrg: " << (document.output.empty() ? "standard output" : document.output)
                 << ": the stream draws " << document.elements << " SVG elements and " << document.characters
                 << " characters, more than a PNG is rendered from (" << kPngElementsMax << " and " << kPngCharactersMax
                 << "); write the preview as .svg or .html instead\n";
        return false;
    }
    OutputFile output(document.output);
    std::string error;
    if (!output.open(&error)) {
        messages << "javtrg: " << error << "\n";
        return false;
    }
    const std::string name = output.name();
    bool written = false;
    if (document.format == PreviewFormat::Png) {
        // The SVG document goes to an unnamed temporary file: nothing is
        // left of it however the run ends.
        std::FILE* svg = std::tmpfile();
        if (svg == nullptr) {
            messages << "javtrg: cannot make a temporary file: " << std::strerror(errno) << "\n";
            return false;
        }
        written = writePreviewDocument(svg, document.size, body, nullptr);
        if (!written) messages << "javtrg: " << name << ": cannot write the document into a temporary file\n";
        written = written && renderDocument(svg, document, output.stream(), messages, name);
        std::fclose(svg);
    } else {
        const std::string* title = document.format == PreviewFormat::Html ? &document.title : nullptr;
        written = writePreviewDocument(output.stream(), document.size, body, title);
        if (!written) messages << "javtrg: " << name << ": write failed\n";
    }
    if (!written) {
        output.discard();
        return false;
    }
    if (!output.commit(&error)) {
        messages << "javtrg: " << error << "\n";
        return false;
    }
    return true;
}

PreviewTee::PreviewTee(OutputStream* next, const std::string& elementsDir) : next_(next), body_(std::tmpfile()) {
    stream_.base.write = forwardWrite;
    stream_.base.isReady = next->isReady != nullptr ? forwardIsReady : nullptr;
    stream_.base.finish = next->finish != nullptr ? forwardFinish : nullptr;
    stream_.tee = this;
    if (body_ == nullptr) return;
    preview_ = std::make_unique<SvgPreview>(body_, PreviewOptions{elementsDir});
    reader_ = std::make_unique<RecordReader>(*preview_, true);
    reader_->onMalformed = [this](const Malformation& malformation) {
        if (malformed_++ == 0) firstMalformation_ = "line " + std::to_string(malformation.line) + ": " + malformation.message;
    };
    preview_->onWarning = [this](uint64_t line, const std::string& message) {
        if (warnings_.size() < kWarningsShown) warnings_.push_back("line " + std::to_string(line) + ": " + message);
    };
}

PreviewTee::~PreviewTee() {
    if (body_ != nullptr) std::fclose(body_);
}

int32_t PreviewTee::forwardWrite(OutputStream* stream, const char* bytes, uint32_t length) {
    PreviewTee* tee = reinterpret_cast<Stream*>(stream)->tee;
    if (tee->reader_ != nullptr) tee->reader_->feed(bytes, length);
    return tee->next_->write(tee->next_, bytes, length);
}

int32_t PreviewTee::forwardIsReady(OutputStream* stream) {
    PreviewTee* tee = reinterpret_cast<Stream*>(stream)->tee;
    return tee->next_->isReady(tee->next_);
}

void PreviewTee::forwardFinish(OutputStream* stream) {
    PreviewTee* tee = reinterpret_cast<Stream*>(stream)->tee;
    tee->next_->finish(tee->next_);
}

bool PreviewTee::write(const PreviewDocument& document, std::ostream& messages) {
    if (reader_ == nullptr) {
        messages << "javtrg: cannot make a temporary file for the preview: " << std::strerror(errno) << "\n";
        return false;
    }
    std::string name = document.output.empty() || document.output == kStandardStream ? "standard output" : document.output;
    // The driver's stream is well formed; a record it could not write whole
    // is drawn without, as a lenient reader skips it.
    reader_->finish();
    preview_->finish();
    if (malformed_ != 0) {
        messages << "javtrg: " << name << ": warning: the preview skipped " << malformed_
                 << " malformed record(s) of the stream, the first at " << firstMalformation_ << "\n";
    }
    for (const std::string& warning : warnings_) messages << "javtrg: " << name << ": warning: " << warning << "\n";
    if (preview_->failed()) {
        messages << "javtrg: " << name << ": cannot write the preview into a temporary file\n";
        return false;
    }
    PreviewDocument drawn = document;
    drawn.elements = preview_->elements();
    drawn.characters = preview_->characters();
    return writePreview(body_, drawn, messages);
}

}  // namespace javtool
