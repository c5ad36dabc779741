// SPDX-License-Identifier: MIT
// Record streams from bytes. The reader, strict and lenient, must read the
// same records and find the same malformed ones whether the stream comes in
// one piece or cut anywhere; the preview must draw whatever a lenient
// reader hands it. The first bytes choose the cuts.
#include <unistd.h>

#include <cstdio>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_targets.h"
#include "fuzz/record_transcript.h"
#include "tools/record_reader.h"
#include "tools/svg_preview.h"

namespace javfuzz {

namespace {

// Reads `stream` cut into pieces of the sizes in `cuts` (repeated; none:
// one piece) and returns what the reader handed on and reported.
std::string read(const std::string& stream, const std::vector<size_t>& cuts, bool lenient) {
    RecordTranscript transcript;
    javtool::RecordReader reader(transcript, lenient);
    std::string malformed;
    reader.onMalformed = [&](const javtool::Malformation& m) {
        malformed += std::to_string(m.line) + ": " + m.message + "\n";
    };
    size_t at = 0;
    for (size_t i = 0; at < stream.size() && !reader.stopped(); ++i) {
        size_t piece = cuts.empty() ? stream.size() : cuts[i % cuts.size()];
        piece = std::min(piece, stream.size() - at);
        reader.feed(stream.data() + at, piece);
        at += piece;
    }
    reader.finish();
    return transcript.text + "--\n" + malformed + std::to_string(reader.malformedCount());
}

// The preview draws into a temporary file, one per thread, emptied for
// every stream: making a file for each would cost more than the drawing.
bool preview(const std::string& stream) {
    struct Body {
        std::FILE* file = std::tmpfile();
        ~Body() {
            if (file != nullptr) std::fclose(file);
        }
    };
    thread_local Body body;
    if (body.file == nullptr || std::fflush(body.file) != 0 || ftruncate(fileno(body.file), 0) != 0) return true;
    std::rewind(body.file);
    javtool::SvgPreview drawing(body.file, javtool::PreviewOptions{});
    javtool::RecordReader reader(drawing, true);
    reader.feed(stream.data(), stream.size());
    reader.finish();
    drawing.finish();
    javtool::previewSize(drawing.extent());
    return true;
}

}  // namespace

bool recordReader(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<size_t> cuts;
    size_t count = in.ConsumeIntegralInRange<size_t>(1, 4);
    for (size_t i = 0; i < count; ++i) cuts.push_back(in.ConsumeIntegralInRange<size_t>(1, 64));
    std::string stream = in.ConsumeRemainingBytesAsString();
    for (bool lenient : {false, true}) {
        if (read(stream, {}, lenient) != read(stream, cuts, lenient)) return false;
    }
    return preview(stream);
}

}  // namespace javfuzz
