// SPDX-License-Identifier: MIT
// The preview's shapes, pens, fills and clips, and the document around them.
#include "tools/svg_preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include <sys/types.h>
#include <unistd.h>

namespace javtool {

namespace {

// The most clips open at once, each a group inside the one before.
constexpr size_t kOpenClipsMax = 256;

bool streamed(char letter) { return letter == 'l' || letter == 'p' || letter == 'u' || letter == 'b'; }
bool textLetter(char letter) { return std::strchr("cegsy", letter) != nullptr; }

std::string attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + value + "\"";
}

// "g12" for the twelfth element drawn, and "url(#g12)" to refer to it.
std::string idOf(char kind, uint64_t id) {
    std::string text(1, kind);
    text += std::to_string(id);
    return text;
}

std::string urlOf(char kind, uint64_t id) {
    std::string text = "url(#";
    text += idOf(kind, id);
    text += ')';
    return text;
}

}  // namespace

PreviewSize previewSize(const RecordExtent& extent) {
    auto side = [](int64_t edge) { return std::clamp<int64_t>(edge, 1, kPreviewSideMax); };
    if (extent.empty) return {1, 1};
    return {side(extent.right), side(extent.bottom)};
}

SvgPreview::SvgPreview(std::FILE* body, PreviewOptions options) : body_(body), options_(std::move(options)) {}

SvgPreview::Box SvgPreview::boxOf(const Record& record) {
    double x = static_cast<double>(record.fields[0]);
    double y = static_cast<double>(record.fields[1]);
    double width = static_cast<double>(record.fields[2]);
    double height = static_cast<double>(record.fields[3]);
    if (width < 0) x += width;
    if (height < 0) y += height;
    return {x, y, std::fabs(width), std::fabs(height)};
}

std::string SvgPreview::boxAttributes(const Box& box) {
    return attribute("x", svgNumber(box.x)) + attribute("y", svgNumber(box.y)) +
           attribute("width", svgNumber(box.width)) + attribute("height", svgNumber(box.height));
}

void SvgPreview::write(const std::string& text) {
    if (text.empty() || failed_) return;
    if (std::fwrite(text.data(), 1, text.size(), body_) != text.size()) failed_ = true;
    // Every '<' of the document starts a tag: text is escaped.
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        if (at + 1 >= text.size() || text[at + 1] != '/') ++state_.elements;
    }
}

long long SvgPreview::position() { return static_cast<long long>(ftello(body_)); }

void SvgPreview::rewind(long long offset) {
    if (std::fflush(body_) != 0 || ftruncate(fileno(body_), static_cast<off_t>(offset)) != 0 ||
        fseeko(body_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        failed_ = true;
    }
}

void SvgPreview::warn(uint64_t line, const std::string& message) {
    if (onWarning) onWarning(line, message);
}

void SvgPreview::begin(const Record& record) {
    summary_.begin(record);
    if (!streamed(record.letter)) return;
    // Only records read in pieces can be abandoned after they began.
    saved_ = state_;
    savedOffset_ = position();
    if (record.letter == 'u' || record.letter == 'b') {
        beginRun(record);
        return;
    }
    closeText();
    beginPointShape(record);
}

void SvgPreview::points(const RecordPoint* points, size_t count) {
    summary_.points(points, count);
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += std::to_string(points[i].x) + "," + std::to_string(points[i].y) + " ";
        state_.shapeBox.addPoint(points[i].x, points[i].y);
    }
    write(text);
}

void SvgPreview::units(const uint16_t* units, size_t count) {
    for (size_t i = 0; i < count; ++i) state_.decoder.push(units[i], piece_);
    measureRun(piece_);
    writeRunText(piece_);
    piece_.clear();
}

void SvgPreview::end(const Record& record) {
    summary_.end(record);
    char letter = record.letter;
    if (letter == 'l' || letter == 'p') {
        endPointShape();
        return;
    }
    if (letter == 'u' || letter == 'b') {
        endRun(record);
        return;
    }
    if (textLetter(letter)) {
        textRecord(record);
        return;
    }
    closeText();
    switch (letter) {
    case 'a': setPen(record); return;
    case 't': setFill(record); return;
    case 'q': clipRecord(record); return;
    case 'm':
        claimClip(record);
        drawElement(record);
        return;
    default: drawBox(record); return;
    }
}

void SvgPreview::abandon() {
    summary_.abandon();
    state_ = saved_;
    piece_.clear();
    rewind(savedOffset_);
}

void SvgPreview::finish() {
    closeText();
    closeClips();
    if (state_.clipWait != ClipWait::None) {
        warn(state_.clipLine, "the clip record is not followed by its shape; no clip drawn");
        state_.clipWait = ClipWait::None;
    }
    if (std::fflush(body_) != 0) failed_ = true;
}

void SvgPreview::setPen(const Record& record) {
    state_.pen = Colour{false, record.fields[0], record.fields[1], record.fields[2]};
    state_.penWidth = record.fields[5];
}

void SvgPreview::setFill(const Record& record) {
    state_.fillColour = Colour{record.fields[3] < 0, record.fields[3], record.fields[4], record.fields[5]};
    if (record.fieldCount == 12) {
        state_.fill = FillKind::Gradient;
        state_.secondColour = Colour{false, record.fields[7], record.fields[8], record.fields[9]};
        state_.gradientForm = record.fields[10];
        state_.gradientAngle = record.fields[11];
        return;
    }
    state_.fill = state_.fillColour.none ? FillKind::None : FillKind::Solid;
}

// "q,1" replaces any clip with the rectangle that follows; "q,2" confines
// what follows to the next shape as well; "q,0" ends all clipping, since the
// viewer keeps no stack of clips.
void SvgPreview::clipRecord(const Record& record) {
    if (state_.clipWait != ClipWait::None) {
        warn(state_.clipLine, "the clip record is not followed by its shape; no clip drawn");
    }
    state_.clipWait = ClipWait::None;
    int64_t form = record.fields[0];
    if (form != 2) closeClips();
    if (form == 0) return;
    state_.clipWait = form == 1 ? ClipWait::Rectangle : ClipWait::Shape;
    state_.clipLine = record.line;
}

bool SvgPreview::claimClip(const Record& record) {
    state_.shapeIsBandClip = false;
    if (state_.clipWait == ClipWait::None) return false;
    char letter = record.letter;
    if (letter == 'a' || letter == 't') return false;  // attributes may come between
    bool fits = state_.clipWait == ClipWait::Rectangle ? letter == 'r' : std::strchr("dopr", letter) != nullptr;
    state_.shapeIsBandClip = fits && state_.clipWait == ClipWait::Shape;
    state_.clipWait = ClipWait::None;
    if (!fits) {
        warn(record.line, "the clip record of line " + std::to_string(state_.clipLine) +
                              " is followed by a '" + std::string(1, letter) + "' record, not by its shape; no clip drawn");
    }
    if (fits && clips_.size() >= kOpenClipsMax) {
        // Renderers walk nested groups recursively; deeper nesting would
        // exhaust their stack.
        warn(record.line, "more than " + std::to_string(kOpenClipsMax) +
                              " clips are open; the shape is drawn without clipping what follows");
        state_.shapeIsBandClip = false;
        return false;
    }
    return fits;
}

// Clips close innermost first; the outline of a "q,2" shape is drawn over
// its bands, inside the clips that were open around it.
void SvgPreview::closeClips() {
    std::string text;
    while (!clips_.empty()) {
        const OpenClip& clip = clips_.back();
        text += "</g>\n";
        if (!clip.outline.empty()) {
            std::string shape = "#";
            shape += idOf('s', clip.shapeId);
            text += "<use" + attribute("xlink:href", shape) + attribute("fill", "none") + clip.outline + "/>\n";
        }
        if (clip.bands) --bandClips_;
        clips_.pop_back();
    }
    write(text);
}

std::string SvgPreview::shapeStart(const char* tag, bool filled, bool clips) {
    std::string text = std::string("<") + tag;
    state_.shapeClips = clips;
    state_.gradientId = 0;
    if (clips) {
        state_.shapeId = state_.nextId++;
        text += attribute("id", idOf('s', state_.shapeId));
    }
    std::string fill;
    if (!filled || state_.fill == FillKind::None) {
        fill = attribute("fill", "none");
    } else if (state_.fill == FillKind::Solid) {
        fill = attribute("fill", svgColour(state_.fillColour.red, state_.fillColour.green, state_.fillColour.blue));
    } else {
        // The gradient is defined after the shape, once its box is known.
        state_.gradientId = state_.nextId++;
        fill = attribute("fill", urlOf('g', state_.gradientId));
    }
    std::string stroke;
    // A band of a gradient the driver draws is filled only: its edge is no
    // line of the picture. Polylines and tagged rectangles keep the pen.
    bool band = bandClips_ > 0 && filled && std::strcmp(tag, "polyline") != 0;
    if (state_.penWidth > 0 && !state_.pen.none && !band) {
        stroke = attribute("stroke", svgColour(state_.pen.red, state_.pen.green, state_.pen.blue)) +
                 attribute("stroke-width", std::to_string(state_.penWidth));
    }
    if (clips && state_.shapeIsBandClip) {
        // Defined without paint, so that the fill under the bands and the
        // outline over them can each give their own.
        state_.shapeFill = fill;
        state_.shapeStroke = stroke;
        return "<defs>" + text;
    }
    return text + fill + (stroke.empty() ? attribute("stroke", "none") : stroke);
}

// The viewer's linear gradient runs across the shape's box at its angle:
// 0 degrees from the bottom edge upwards, 90 from the right edge leftwards,
// -90 from the left edge rightwards, as the driver's own bands run. The
// first colour lies on the corner where the gradient starts, the last on
// the opposite one.
void SvgPreview::shapeEnd(const Box& box) {
    if (state_.gradientId != 0) {
        double radians = std::fmod(static_cast<double>(state_.gradientAngle), 360.0) * std::numbers::pi / 180.0;
        double dx = -std::sin(radians);
        double dy = -std::cos(radians);
        double half = (std::fabs(box.width * dx) + std::fabs(box.height * dy)) / 2.0;
        double cx = box.x + box.width / 2.0;
        double cy = box.y + box.height / 2.0;
        const Colour& first = state_.fillColour;
        const Colour& second = state_.secondColour;
        auto stop = [](const char* offset, const Colour& colour) {
            return "<stop" + attribute("offset", offset) +
                   attribute("stop-color", svgColour(colour.red, colour.green, colour.blue)) + "/>";
        };
        std::string text = "<defs><linearGradient" + attribute("id", idOf('g', state_.gradientId)) +
                           attribute("gradientUnits", "userSpaceOnUse") +
                           attribute("x1", svgNumber(cx - dx * half)) + attribute("y1", svgNumber(cy - dy * half)) +
                           attribute("x2", svgNumber(cx + dx * half)) + attribute("y2", svgNumber(cy + dy * half)) + ">";
        if (state_.gradientForm == 1) {
            text += stop("0", first) + stop("0.5", second) + stop("1", first);
        } else {
            text += stop("0", first) + stop("1", second);
        }
        write(text + "</linearGradient></defs>\n");
    }
    if (state_.shapeClips) {
        uint64_t clipId = state_.nextId++;
        std::string shape = "#";
        shape += idOf('s', state_.shapeId);
        std::string text;
        bool bands = state_.shapeIsBandClip;
        if (bands) {
            text = "</defs>\n";
            if (state_.shapeFill != attribute("fill", "none")) {
                text += "<use" + attribute("xlink:href", shape) + state_.shapeFill + attribute("stroke", "none") + "/>\n";
            }
        }
        write(text + "<clipPath" + attribute("id", idOf('c', clipId)) + "><use" + attribute("xlink:href", shape) +
              "/></clipPath>\n<g" + attribute("clip-path", urlOf('c', clipId)) + ">\n");
        clips_.push_back(OpenClip{state_.shapeId, bands ? state_.shapeStroke : std::string(), bands});
        if (bands) ++bandClips_;
    }
}

void SvgPreview::drawBox(const Record& record) {
    bool clips = claimClip(record);
    Box box = boxOf(record);
    std::string text;
    switch (record.letter) {
    case 'r':
        text = shapeStart("rect", true, clips) + boxAttributes(box);
        break;
    case 'd':
        // The corner fields are the width and height of the corner's ellipse.
        text = shapeStart("rect", true, clips) + boxAttributes(box) +
               attribute("rx", svgNumber(std::fabs(static_cast<double>(record.fields[4])) / 2.0)) +
               attribute("ry", svgNumber(std::fabs(static_cast<double>(record.fields[5])) / 2.0));
        break;
    case 'o':
        text = shapeStart("ellipse", true, clips) + attribute("cx", svgNumber(box.x + box.width / 2.0)) +
               attribute("cy", svgNumber(box.y + box.height / 2.0)) + attribute("rx", svgNumber(box.width / 2.0)) +
               attribute("ry", svgNumber(box.height / 2.0));
        break;
    default:
        // A tagged rectangle marks a region: outlined, never filled, so it
        // hides nothing under it.
        text = shapeStart("rect", false, false) + attribute("class", "tagged") + boxAttributes(box);
        break;
    }
    write(text + "/>\n");
    shapeEnd(box);
}

void SvgPreview::beginPointShape(const Record& record) {
    bool polygon = record.letter == 'p';
    bool clips = claimClip(record);
    state_.shapeBox = RecordExtent{};
    write(shapeStart(polygon ? "polygon" : "polyline", polygon, clips) + " points=\"");
}

void SvgPreview::endPointShape() {
    write("\"/>\n");
    const RecordExtent& points = state_.shapeBox;
    Box box = points.empty ? Box{0, 0, 0, 0}
                           : Box{static_cast<double>(points.left), static_cast<double>(points.top),
                                 static_cast<double>(points.right - points.left),
                                 static_cast<double>(points.bottom - points.top)};
    shapeEnd(box);
}

bool writePreviewDocument(std::FILE* out, PreviewSize size, std::FILE* body, const std::string* htmlTitle) {
    std::string width = std::to_string(size.width);
    std::string height = std::to_string(size.height);
    std::string head;
    if (htmlTitle != nullptr) {
        head = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
        appendEscaped(head, *htmlTitle);
        // Browsers space runs given a width their own way (svg_text.cpp).
        head += "</title>\n<style>html, body { margin: 0; padding: 0; } svg { display: block; } "
                ".spaced { letter-spacing: var(--browser-spacing); }</style>\n"
                "</head>\n<body>\n";
    } else {
        head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    head += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"" +
            attribute("width", width) + attribute("height", height) +
            attribute("viewBox", "0 0 " + width + " " + height) + ">\n<rect" + attribute("width", width) +
            attribute("height", height) + attribute("fill", "#ffffff") + "/>\n";
    std::string tail = htmlTitle != nullptr ? "</svg>\n</body>\n</html>\n" : "</svg>\n";
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size()) return false;
    if (std::fflush(body) != 0 || fseeko(body, 0, SEEK_SET) != 0) return false;
    char buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, body)) > 0) {
        if (std::fwrite(buffer, 1, got, out) != got) return false;
    }
    if (std::ferror(body)) return false;
    return std::fwrite(tail.data(), 1, tail.size(), out) == tail.size() && std::fflush(out) == 0;
}

}  // namespace javtool
