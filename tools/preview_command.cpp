// SPDX-License-Identifier: MIT
// `javtrg preview STREAM [-o FILE.svg|FILE.html|FILE.png] [--elements DIR]
// [--size WxH] [--max-pixels N] [--lenient]`: draws a record stream as the
// viewer would.
//
// The records are drawn into an anonymous temporary file first; the
// document is written once the whole stream has been read (its size may
// come from the stream's extent), into a temporary file beside the output
// that is renamed over it at the end. A run that fails or is interrupted
// leaves no output file. PNG is rendered in the process (tools/png_render.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <regex>

#include <CLI/CLI.hpp>

#include "tools/preview_output.h"
#include "tools/stream_commands.h"
#include "tools/stream_input.h"
#include "tools/svg_preview.h"

namespace javtool {

namespace {

namespace fs = std::filesystem;

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

}  // namespace

PreviewCommand::PreviewCommand(CLI::App& app) {
    command_ = app.add_subcommand("preview", "Draw a record stream as the viewer would, as SVG, HTML or PNG");
    command_->add_option("STREAM", stream_, "Record stream, or - for standard input")->required();
    command_->add_option("-o,--output", output_,
                         "Preview file ending in .svg, .html or .png (default: SVG on standard output)");
    command_->add_option("--elements", elements_, "Directory holding the picture elements the stream names");
    command_->add_option("--size", size_,
                         "Canvas of the preview, WxH pixels; what lies outside is cut (default: the stream's extent)");
    command_->add_option("--max-pixels", maxPixels_,
                         "Pixel budget of a PNG preview: a larger canvas is scaled down to fit (default: 64000000)")
        ->check(CLI::Range(int64_t{1}, kRenderSideMax * kRenderSideMax));
    command_->add_flag("--lenient", lenient_, "Skip malformed records with a warning instead of stopping at the first");
    command_->add_option("--max-line-bytes", maxLineBytes_,
                         "Longest line of the stream read, in bytes (default " + std::to_string(kDefaultMaxLineBytes) + ")")
        ->check(CLI::PositiveNumber);
}

bool PreviewCommand::parsed() const { return command_->parsed(); }

int PreviewCommand::run() const {
    StreamDiagnostics diagnostics(stream_);
    if (!output_.empty() && stream_ != "-" && sameFile(stream_, output_)) {
        std::cerr << "javtrg: " << output_ << ": the preview would overwrite its own stream\n";
        return kExitBadInput;
    }
    PreviewDocument document;
    document.output = output_;
    document.pixelBudget = maxPixels_;
    if (!output_.empty() && output_ != "-" && !previewFormatOf(output_, &document.format)) {
        std::cerr << "javtrg: " << output_ << ": expected a preview file ending in .svg, .html or .png\n";
        return kExitBadInput;
    }
    if (!size_.empty() && !parseSize(size_, &document.size)) {
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

    SvgPreview preview(body, PreviewOptions{elements_, maxPixels_});
    preview.onWarning = [&](uint64_t line, const std::string& message) { diagnostics.warning(line, message); };
    uint64_t skipped = 0;
    int status = readStream(stream_, preview, lenient_, maxLineBytes_, diagnostics, &skipped);
    if (status == kExitOk) preview.finish();
    diagnostics.finish();
    if (status != kExitOk) return status;
    if (preview.failed()) {
        diagnostics.error("cannot write the preview into a temporary file");
        return kExitDriverFailed;
    }
    if (size_.empty()) document.size = previewSize(preview.extent());
    document.elements = preview.elements();
    document.characters = preview.characters();
    document.title = fs::path(stream_ == "-" ? "record stream" : stream_).filename().string() + " preview";
    return writePreview(body, document, std::cerr) ? kExitOk : kExitDriverFailed;
}

}  // namespace javtool
