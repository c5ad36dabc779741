// Record streams from bytes. The reader, strict and lenient, must read the
// same records and find the same malformed ones whether the stream comes in
// one piece or cut anywhere; the preview must draw whatever a lenient
// reader hands it. The first bytes choose the cuts.
#include <cstdio>
#include <sstream>
#include <string>

#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"
#include "tools/record_reader.h"
#include "tools/svg_preview.h"

namespace javfuzz {

namespace {

// Everything a reader hands on, written down in order.
class Transcript : public javtool::RecordSink {
public:
    void begin(const javtool::Record& record) override { out_ << "begin " << record.letter << ' ' << record.line << '\n'; }
    void points(const javtool::RecordPoint* points, size_t count) override {
        for (size_t i = 0; i < count; ++i) out_ << points[i].x << ',' << points[i].y << ' ';
    }
    void units(const uint16_t* units, size_t count) override {
        for (size_t i = 0; i < count; ++i) out_ << units[i] << ' ';
    }
    void end(const javtool::Record& record) override {
        out_ << "\nend " << record.letter << ' ' << record.fieldCount;
        for (uint32_t i = 0; i < record.fieldCount && i < record.fields.size(); ++i) out_ << ',' << record.fields[i];
        out_ << ' ' << record.face << '|' << record.elementName << '|' << record.elementType << '|' << record.hasWidth
             << record.width << '\n';
    }
    void abandon() override { out_ << "\nabandon\n"; }
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
};

// Reads `stream` cut into pieces of the sizes in `cuts` (repeated; none:
// one piece) and returns what the reader handed on and reported.
std::string read(const std::string& stream, const std::vector<size_t>& cuts, bool lenient) {
    Transcript transcript;
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
    return transcript.text() + "--\n" + malformed + std::to_string(reader.malformedCount());
}

bool preview(const std::string& stream) {
    std::FILE* body = std::tmpfile();
    if (body == nullptr) return true;  // nothing to draw into
    {
        javtool::SvgPreview drawing(body, javtool::PreviewOptions{});
        javtool::RecordReader reader(drawing, true);
        reader.feed(stream.data(), stream.size());
        reader.finish();
        drawing.finish();
        javtool::previewSize(drawing.extent());
    }
    std::fclose(body);
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
