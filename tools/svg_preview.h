// SPDX-License-Identifier: MIT
// The preview: draws a record stream as SVG, record by record in stream
// order, with the state the viewer keeps between records (pen, fill, clip,
// font, the open text). It is a RecordSink: a reader feeds it, and it writes
// the document body as the records come, so its memory stays constant.
//
// The body goes to a seekable file: a record abandoned by the reader is
// taken back by truncating the file to where the record began, and the run
// width of a "b" record, which follows its units, is written back into the
// room its opening tag left for it.
#ifndef JAVTRG_TOOLS_SVG_PREVIEW_H
#define JAVTRG_TOOLS_SVG_PREVIEW_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/record_reader.h"
#include "tools/record_summary.h"
#include "tools/svg_markup.h"

namespace javtool {

struct PreviewOptions {
    // Where the picture elements named by "m" records are; empty: elements
    // are drawn as placeholders.
    std::string elementsDir;
    // Elements are embedded at most with the pixels they are drawn with,
    // and never with more than this many.
    int64_t pixelBudget = 64'000'000;
};

struct PreviewSize {
    int64_t width;
    int64_t height;
};

// The largest preview side, the largest surface the SVG renderers take.
inline constexpr int64_t kPreviewSideMax = 32767;

// The size that shows the whole of `extent` from the origin: its right and
// bottom edges, each within 1 to kPreviewSideMax.
PreviewSize previewSize(const RecordExtent& extent);

class SvgPreview : public RecordSink {
public:
    SvgPreview(std::FILE* body, PreviewOptions options);

    void begin(const Record& record) override;
    void points(const RecordPoint* points, size_t count) override;
    void units(const uint16_t* units, size_t count) override;
    void end(const Record& record) override;
    void abandon() override;

    // Ends the open text and clips after the last record.
    void finish();

    const RecordExtent& extent() const { return summary_.extent(); }
    // The elements and the characters of text the document holds.
    uint64_t elements() const { return state_.elements; }
    uint64_t characters() const { return state_.characters; }
    // A write to the body failed.
    bool failed() const { return failed_; }
    // Records the preview drew without something they asked for (a clip
    // without its shape, an element file it could not embed).
    std::function<void(uint64_t line, const std::string& message)> onWarning;

private:
    struct Colour {
        bool none = true;
        int64_t red = 0;
        int64_t green = 0;
        int64_t blue = 0;
    };
    enum class FillKind { None, Solid, Gradient };
    enum class ClipWait { None, Rectangle, Shape };
    struct Box {
        double x;
        double y;
        double width;
        double height;
    };
    struct Font {
        std::string face = "Times New Roman";
        int64_t size = 12;
        int64_t flags = 0;
        Colour colour{false, 0, 0, 0};
    };
    struct TextLayout {
        bool open = false;
        double anchorX = 0;
        double lineTop = 0;
        double lineHeight = 0;
        bool lineStarted = false;
        bool paragraphSeen = false;
    };
    // Everything the drawing of the next record depends on; copied at the
    // start of a record that may be abandoned.
    struct State {
        Colour pen{false, 0, 0, 0};
        int64_t penWidth = 1;
        FillKind fill = FillKind::None;
        Colour fillColour;
        Colour secondColour;
        int64_t gradientForm = 0;
        int64_t gradientAngle = 0;
        ClipWait clipWait = ClipWait::None;
        uint64_t clipLine = 0;
        uint64_t nextId = 1;
        Font font;
        TextLayout text;
        // The shape being drawn.
        uint64_t shapeId = 0;
        uint64_t gradientId = 0;
        bool shapeClips = false;
        // The shape clips the bands of a gradient ("q,2"): it is defined
        // without paint, filled under the bands and outlined over them.
        bool shapeIsBandClip = false;
        std::string shapeFill;
        std::string shapeStroke;
        RecordExtent shapeBox;
        // The text run being written.
        UnitDecoder decoder;
        long long widthRoom = -1;  // where a "b" run's spacing goes; -1: a "u" run
        double runNatural = 0;     // the natural width of the run's characters so far
        uint64_t runCharacters = 0;
        uint64_t pieceCharacters = 0;  // in the run's current text node
        uint64_t runPieces = 0;        // pieces written in spans of their own
        bool pieceOpen = false;        // the node is a span inside the run's
        // What the document holds so far: elements, and characters of text.
        uint64_t elements = 0;
        uint64_t characters = 0;
    };

    // The box of a record whose first four fields are left, top, width and
    // height, turned so that its size is not negative.
    static Box boxOf(const Record& record);
    // ` x=".." y=".." width=".." height=".."`
    static std::string boxAttributes(const Box& box);

    void write(const std::string& text);
    long long position();
    void rewind(long long offset);
    void warn(uint64_t line, const std::string& message);

    // Pen, fill, clip (svg_preview.cpp).
    void setPen(const Record& record);
    void setFill(const Record& record);
    void clipRecord(const Record& record);
    // True when `record` is the shape a clip record waits for; sets
    // shapeIsBandClip for the shape of a "q,2".
    bool claimClip(const Record& record);
    void closeClips();
    std::string shapeStart(const char* tag, bool filled, bool clips);
    void shapeEnd(const Box& box);
    void drawBox(const Record& record);
    void beginPointShape(const Record& record);
    void endPointShape();

    // Text (svg_text.cpp).
    void textRecord(const Record& record);
    void openText(const Record* box);
    void closeText();
    void beginRun(const Record& record);
    void measureRun(const std::string& piece);
    void writeRunText(const std::string& text);
    void endRun(const Record& record);
    std::string fontAttributes() const;

    // Picture elements (svg_elements.cpp).
    void drawElement(const Record& record);
    bool embedElement(const Record& record, const Box& box);

    // An open clip: the group it confines and, for the shape of a "q,2",
    // the outline drawn over its bands when the clip closes.
    struct OpenClip {
        uint64_t shapeId;
        std::string outline;  // stroke attributes; empty: no outline
        bool bands;
    };

    std::FILE* body_;
    PreviewOptions options_;
    // Changed only when a record ends, so an abandoned record leaves it as
    // it was.
    std::vector<OpenClip> clips_;
    uint64_t bandClips_ = 0;
    bool failed_ = false;
    RecordSummary summary_;
    State state_;
    State saved_;
    long long savedOffset_ = 0;
    std::string piece_;  // text decoded from units, written once per batch
};

// Writes the preview document of `size` around `body` (read from its start):
// an SVG file, or with a title an HTML page holding the SVG. Returns false
// when a read or write failed.
bool writePreviewDocument(std::FILE* out, PreviewSize size, std::FILE* body, const std::string* htmlTitle);

}  // namespace javtool

#endif
