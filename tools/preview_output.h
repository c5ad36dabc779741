// SPDX-License-Identifier: MIT
// Writing a drawn preview out: the document (SVG, an HTML page holding it,
// or a PNG image rendered from it) into a file that appears only whole, or
// onto standard output. `javtrg preview` writes the preview of a stream it
// reads, `javtrg convert --preview` that of the stream it converts, which it
// draws as the driver writes it (PreviewTee).
#ifndef JAVTRG_TOOLS_PREVIEW_OUTPUT_H
#define JAVTRG_TOOLS_PREVIEW_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <javtrg/host_services.h>

#include "tools/png_render.h"
#include "tools/record_reader.h"
#include "tools/svg_preview.h"

namespace javtool {

enum class PreviewFormat { Svg, Html, Png };

// The most a PNG preview is rendered from: the renderer holds every element
// of the document at once (2 to 7 KB each) and lays text out at up to 40 µs
// a character (spaced runs), so these keep a rendering within about 1 GB
// and 20 s.
inline constexpr uint64_t kPngElementsMax = 100'000;
inline constexpr uint64_t kPngCharactersMax = 300'000;

// The format named by the extension of `output` (.svg, .html or .htm,
// .png; letter case ignored). False for any other.
bool previewFormatOf(const std::string& output, PreviewFormat* format);

struct PreviewDocument {
    std::string output;  // a path, or "-" or empty: standard output (SVG unless named)
    PreviewFormat format = PreviewFormat::Svg;
    PreviewSize size{1, 1};
    int64_t pixelBudget = kDefaultPixelBudget;
    std::string title;  // of an HTML page
    // What the drawn records hold (SvgPreview::elements, ::characters).
    uint64_t elements = 0;
    uint64_t characters = 0;
};

// Writes the preview whose drawn records are `body` (read from its start).
// Messages, one line each, go to `messages`: a warning when the image was
// scaled down, and the reason of a failure. False when it failed; no file is
// then left.
bool writePreview(std::FILE* body, const PreviewDocument& document, std::ostream& messages);

// An output stream that hands on every write to `next` and draws the
// records it carries into a preview body as they pass.
class PreviewTee {
public:
    // `elementsDir`: where the elements the stream names are written.
    PreviewTee(OutputStream* next, const std::string& elementsDir);
    ~PreviewTee();
    PreviewTee(const PreviewTee&) = delete;
    PreviewTee& operator=(const PreviewTee&) = delete;

    OutputStream* stream() { return &stream_.base; }
    // Ends the stream and writes the preview; false with a message.
    bool write(const PreviewDocument& document, std::ostream& messages);

private:
    struct Stream {
        OutputStream base;
        PreviewTee* tee;
    };
    static int32_t forwardWrite(OutputStream* stream, const char* bytes, uint32_t length);
    static int32_t forwardIsReady(OutputStream* stream);
    static void forwardFinish(OutputStream* stream);

    Stream stream_;
    OutputStream* next_;
    std::FILE* body_;
    std::unique_ptr<SvgPreview> preview_;
    std::unique_ptr<RecordReader> reader_;
    static constexpr size_t kWarningsShown = 20;
    std::vector<std::string> warnings_;
    uint64_t malformed_ = 0;
    std::string firstMalformation_;
};

}  // namespace javtool

#endif
