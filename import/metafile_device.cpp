// SPDX-License-Identifier: MIT
// The libwmf device of the metafile room. libwmf reads the records, keeps
// the device context (pens, brushes, fonts, window and viewport, clip
// region) and calls one function of the device per drawing operation with
// device coordinates; each function here is a short translation into host
// objects built with the object scripts' builders. The device state lives in
// one struct, `Device`, hung on the library's handle.
//
// The lite library is used: it needs no font files. The device answers the
// library's font questions itself (a font needs no loading; a byte of text
// is taken as half an em wide), since the viewer draws the glyphs from the
// font the records name.
#include "import/metafile_device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include <javtrg/host_services.h>
#include <libwmf/api.h>
#include <libwmf/defs.h>
#include <libwmf/ipa.h>
#include <libwmf/macro.h>

#include "import/metafile_bitmap.h"
#include "import/host_units.h"
#include "host/host_text.h"
#include "tools/object_builders.h"

namespace javimport {

namespace {

using javtool::ObjectBuilder;

// A metafile builds at most this many objects; each record builds a few,
// so only a file of millions of records comes near.
constexpr size_t kMaxObjects = size_t{1} << 22;
// The points and pixels the objects of one picture hold, in bytes: a
// small file of arcs or one-bit bitmaps must not grow without bound.
constexpr uint64_t kMaxPictureBytes = uint64_t{512} << 20;
// The library's own allocations for one metafile.
constexpr size_t kMaxLibraryBytes = size_t{256} << 20;
// Arcs, pies and chords become point lists of this many segments a turn.
constexpr double kArcSegmentsPerTurn = 72;
// The viewer puts a text's baseline this far below the top of its box, in
// font heights; a byte of text is estimated half a font height wide.
constexpr double kBaselineDepth = 0.8;
constexpr double kByteAdvance = 0.5;
// A character drawn on its own continues the run of the one before only
// when it follows it along the baseline within this many font heights (a
// wide letter's advance). A character placed further on is a text of its
// own, such as the next cell of a matrix or a letter of a formula drawn by
// font rather than in reading order; joined, it would lose its place.
constexpr double kJoinAdvanceMax = 1.1;
constexpr double kPi = 3.14159265358979323846;

// ---- Input: the metafile's bytes as the library's stream.

struct Input {
    const unsigned char* data;
    long size;
    long position;
};

int inputRead(void* context) {
    auto* in = static_cast<Input*>(context);
    return in->position < in->size ? in->data[in->position++] : -1;
}

// As with a file, a position past the end may be sought; reading there
// meets the end (libwmf checks a header's largest record so).
int inputSeek(void* context, long position) {
    auto* in = static_cast<Input*>(context);
    if (position < 0) return -1;
    in->position = position;
    return 0;
}

long inputTell(void* context) { return static_cast<Input*>(context)->position; }

// ---- Memory: the library's allocations, counted against a limit so that a
// hostile header cannot make it take unbounded memory.

struct Allocator {
    size_t used = 0;
};

struct alignas(std::max_align_t) BlockHeader {
    size_t size;
};

void* allocate(void* context, size_t size) {
    auto* a = static_cast<Allocator*>(context);
    if (size > kMaxLibraryBytes - a->used) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (header == nullptr) return nullptr;
    header->size = size;
    a->used += size;
    return header + 1;
}

void release(void* context, void* memory) {
    if (memory == nullptr) return;
    auto* header = static_cast<BlockHeader*>(memory) - 1;
    static_cast<Allocator*>(context)->used -= header->size;
    std::free(header);
}

void* reallocate(void* context, void* memory, size_t size) {
    if (memory == nullptr) return allocate(context, size);
    auto* a = static_cast<Allocator*>(context);
    auto* header = static_cast<BlockHeader*>(memory) - 1;
    size_t old = header->size;
    if (size > old && size - old > kMaxLibraryBytes - a->used) return nullptr;
    auto* moved = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
    if (moved == nullptr) return nullptr;
    a->used = a->used - old + size;
    moved->size = size;
    return moved + 1;
}

// ---- The device.

uint32_t colourEntry(const wmfRGB& c) { return uint32_t{c.r} | uint32_t{c.g} << 8 | uint32_t{c.b} << 16; }

// Text drawn character by character (text with character spacing) comes
// one byte a call; the calls of one text are joined into one run again, so
// that two-byte characters and words stay whole.
struct TextRun {
    bool open = false;
    const wmfFont* source = nullptr;  // the context's font when the run began
    wmfFont font{};                   // a copy: the file may delete the font before the run ends
    std::string face;
    wmfRGB colour{};
    wmfD_Coord start{};  // the baseline's start, device coordinates
    wmfD_Coord last{};   // where the last character was placed
    double height = 0;   // font height, device units
    std::string bytes;
};

struct Device {
    wmfAPI* api = nullptr;
    HostFrame frame{};
    wmfD_Coord origin{};  // the picture's top left corner, device coordinates
    double scaleX = 0;    // host units a device unit
    double scaleY = 0;
    std::vector<ObjectBuilder> objects;
    std::vector<std::string> warnings;
    std::set<std::string> warned;
    bool penKnown = false;
    LineAttributes pen{};
    bool fillKnown = false;
    FillAttributes fill{};
    bool clipOpen = false;
    RectangleData clip{};
    TextRun run;
    std::map<const void*, std::unique_ptr<DecodedBitmap>> bitmaps;
    std::string failure;
    uint64_t held = 0;  // bytes of points and pixels in the objects so far

    int32_t x(double dx) const { return saturate(frame[0] + (dx - origin.x) * scaleX); }
    int32_t y(double dy) const { return saturate(frame[3] - (dy - origin.y) * scaleY); }
    PointPair point(const wmfD_Coord& p) const { return PointPair{x(p.x), y(p.y)}; }
    double lengthX(double d) const { return std::fabs(d * scaleX); }
    double lengthY(double d) const { return std::fabs(d * scaleY); }

    void warn(const std::string& line) {
        if (warned.insert(line).second) warnings.push_back(line);
    }

    void fail(const std::string& why) {
        if (failure.empty()) failure = why;
        api->err = wmf_E_DeviceError;
    }

    void add(ObjectBuilder builder) {
        if (!failure.empty()) return;
        if (objects.size() >= kMaxObjects)
            return fail("the picture needs more than " + std::to_string(kMaxObjects) + " objects");
        objects.push_back(std::move(builder));
    }

    // An object holding `bytes` of points or pixels, within the picture's
    // budget.
    void addHolding(uint64_t bytes, ObjectBuilder builder) {
        if (bytes > kMaxPictureBytes - held)
            return fail("the picture needs more than " + std::to_string(kMaxPictureBytes >> 20) + " MiB of points and pixels");
        held += bytes;
        add(std::move(builder));
    }

    void addPoints(int32_t kind, const std::vector<PointPair>& points) {
        addHolding(points.size() * sizeof(PointPair), kind == kKindPolyline ? javtool::polylineObject(kind, points) : javtool::polygonObject(kind, points));
    }

    void setPen(const LineAttributes& want) {
        if (penKnown && std::memcmp(&want, &pen, sizeof want) == 0) return;
        pen = want;
        penKnown = true;
        add(javtool::bodyBuilder(kKindLineAtt, want));
    }

    // The context's pen; a null pen draws no outline (width 0).
    void usePen(const wmfDC* dc) {
        LineAttributes want{};
        const wmfPen* p = dc->pen;
        if (p != nullptr && WMF_PEN_STYLE(p) != PS_NULL) {
            want.lineWidth = std::max(1, saturate(lengthX(p->width) + 0.5));
            want.lineColour = colourEntry(p->lopnColor);
            if (WMF_PEN_STYLE(p) != PS_SOLID && WMF_PEN_STYLE(p) != PS_INSIDEFRAME)
                warn("dashed and dotted pens are drawn solid");
        }
        setPen(want);
    }

    void setFill(bool filled, uint32_t colour) {
        FillAttributes want{};
        want.fillStyle = filled ? 1 : 0;
        want.fillColour = filled ? colour : 0;
        if (fillKnown && std::memcmp(&want, &fill, sizeof want) == 0) return;
        fill = want;
        fillKnown = true;
        add(javtool::bodyBuilder(kKindFillAtt, want));
    }

    // The context's brush: solid and hatched brushes fill with their colour,
    // pattern brushes with their pattern's mean colour, a null brush not.
    void useBrush(const wmfDC* dc) {
        const wmfBrush* b = dc->brush;
        if (b == nullptr || b->lbStyle == BS_NULL) return setFill(false, 0);
        uint32_t colour = colourEntry(b->lbColor);
        if (b->lbStyle == BS_HATCHED) warn("hatched brushes fill with their colour");
        if (b->lbStyle == BS_PATTERN || b->lbStyle == BS_DIBPATTERN || b->lbStyle == BS_DIBPATTERNPT) {
            warn("pattern brushes fill with their pattern's mean colour");
            auto found = bitmaps.find(b->bmp.data);
            if (found != bitmaps.end()) colour = meanColour(*found->second);
        }
        setFill(true, colour);
    }

    void closeClip() {
        if (!clipOpen) return;
        clipOpen = false;
        add(javtool::clipObject(0, nullptr));
    }

    void flushRun();
};

Device& device(wmfAPI* api) { return *static_cast<Device*>(api->device_data); }

// Every callback but text first hands over the text run in progress.
Device& drawing(wmfAPI* api) {
    Device& d = device(api);
    d.flushRun();
    return d;
}

void Device::flushRun() {
    if (!run.open) return;
    run.open = false;
    const wmfFont* f = &run.font;
    // Box and font in host units; the box turns about its top left corner.
    double height = lengthY(run.height);
    double angle = f->lfEscapement / 10.0 * kPi / 180.0;
    double baseX = frame[0] + (run.start.x - origin.x) * scaleX;
    double baseY = frame[3] - (run.start.y - origin.y) * scaleY;
    double left = baseX - kBaselineDepth * height * std::sin(angle);
    double top = baseY + kBaselineDepth * height * std::cos(angle);
    double placed = std::hypot(lengthX(run.last.x - run.start.x), lengthY(run.last.y - run.start.y));
    double width = std::max(static_cast<double>(run.bytes.size()) * kByteAdvance * height, placed + height * kByteAdvance);

    TextBoxData box{};
    box.x1 = saturate(left);
    box.y1 = saturate(top);
    box.x2 = saturate(left + width);
    box.y2 = saturate(top - height);
    box.rotation = ((f->lfEscapement % 3600) + 3600) % 3600;

    CharAttributes att{};
    att.charColour = colourEntry(run.colour);
    FontDescriptor& font = att.charFont;
    font.height = -saturate(height + 0.5);
    font.width = f->lfWidth == f->lfHeight ? 0 : saturate(f->lfWidth * height / std::max<double>(1, f->lfHeight));
    font.escapement = f->lfEscapement;
    font.orientation = f->lfOrientation;
    font.weight = f->lfWeight;
    font.italic = f->lfItalic;
    font.underline = f->lfUnderline;
    font.strikeOut = f->lfStrikeOut;
    font.charSet = f->lfCharSet;
    font.outPrecision = f->lfOutPrecision;
    font.clipPrecision = f->lfClipPrecision;
    font.quality = f->lfQuality;
    font.pitchAndFamily = f->lfPitchAndFamily;
    std::strncpy(font.faceName, run.face.c_str(), sizeof font.faceName - 1);

    TextStringData text{};
    text.encoding = refhost::encodingOfCharset(f->lfCharSet);
    text.byteLength = static_cast<int64_t>(run.bytes.size());

    add(javtool::bodyBuilder(kKindTextBox, box));
    add(javtool::bodyBuilder(kKindCharAtt, att));
    add(javtool::textStringObject(kKindTextString, text.encoding, run.bytes));
    add([](refhost::ReferenceHost& host) { return host.newObject(kKindTextBoxEnd); });
    run.bytes.clear();
}

// ---- Callbacks

void drawText(wmfAPI* api, wmfDrawText_t* t) {
    Device& d = device(api);
    const wmfDC* dc = t->dc;
    size_t length = t->str != nullptr ? std::strlen(t->str) : 0;
    if (length == 0 || dc->font == nullptr) return;
    TextRun& run = d.run;
    // The calls after the first of a text drawn character by character
    // carry no bounding box; they continue the run along its baseline.
    bool noBox = t->bbox.TL.x == 0 && t->bbox.TL.y == 0 && t->bbox.TR.x == 0 && t->bbox.TR.y == 0 &&
                 t->bbox.BL.x == 0 && t->bbox.BL.y == 0 && t->bbox.BR.x == 0 && t->bbox.BR.y == 0;
    if (run.open && noBox && length == 1 && run.source == dc->font &&
        colourEntry(run.colour) == colourEntry(dc->textcolor)) {
        double angle = -run.font.lfEscapement / 10.0 * kPi / 180.0;
        double off = -(t->pt.x - run.start.x) * std::sin(angle) + (t->pt.y - run.start.y) * std::cos(angle);
        double along = (t->pt.x - run.last.x) * std::cos(angle) + (t->pt.y - run.last.y) * std::sin(angle);
        double reach = std::max(1.0, run.height);
        if (std::fabs(off) <= reach && along >= 0 && along <= kJoinAdvanceMax * reach) {
            run.bytes += t->str;
            run.last = t->pt;
            return;
        }
    }
    d.flushRun();
    run.open = true;
    run.source = dc->font;
    run.font = *dc->font;
    run.face = dc->font->lfFaceName != nullptr ? dc->font->lfFaceName : "";
    run.font.lfFaceName = nullptr;
    run.colour = dc->textcolor;
    run.start = t->pt;
    run.last = t->pt;
    run.height = t->font_height;
    run.bytes.assign(t->str, length);
}

void drawRectangle(wmfAPI* api, wmfDrawRectangle_t* r) {
    Device& d = drawing(api);
    d.usePen(r->dc);
    d.useBrush(r->dc);
    if (r->width > 0 && r->height > 0) {
        RoundRectData body{};
        body.x0 = d.x(r->TL.x);
        body.y0 = d.y(r->TL.y);
        body.x1 = d.x(r->BR.x);
        body.y1 = d.y(r->BR.y);
        body.cornerX = saturate(d.lengthX(r->width));
        body.cornerY = saturate(d.lengthY(r->height));
        return d.add(javtool::bodyBuilder(kKindRoundRect, body));
    }
    RectangleData body{d.x(r->TL.x), d.y(r->TL.y), d.x(r->BR.x), d.y(r->BR.y)};
    d.add(javtool::bodyBuilder(kKindRectangle, body));
}

void drawEllipse(wmfAPI* api, wmfDrawArc_t* e) {
    Device& d = drawing(api);
    d.usePen(e->dc);
    d.useBrush(e->dc);
    EllipseData body{};
    body.cx = d.x((e->TL.x + e->BR.x) / 2);
    body.cy = d.y((e->TL.y + e->BR.y) / 2);
    int64_t rx = saturate(d.lengthX((e->BR.x - e->TL.x) / 2));
    int64_t ry = saturate(d.lengthY((e->BR.y - e->TL.y) / 2));
    body.ax = clamp32(body.cx + rx);
    body.ay = body.cy;
    body.bx = body.cx;
    body.by = clamp32(body.cy + ry);
    d.add(javtool::bodyBuilder(kKindEllipse, body));
}

enum class ArcClose { Open, Chord, Pie };

// An arc of the ellipse in TL..BR from `start` to `end` (both relative to
// the centre), counter-clockwise on the page, as a point list.
void drawArcShape(wmfAPI* api, const wmfDrawArc_t* a, ArcClose close) {
    Device& d = drawing(api);
    d.usePen(a->dc);
    if (close != ArcClose::Open) d.useBrush(a->dc);
    double cx = (a->TL.x + a->BR.x) / 2, cy = (a->TL.y + a->BR.y) / 2;
    double rx = (a->BR.x - a->TL.x) / 2, ry = (a->BR.y - a->TL.y) / 2;
    double from = rx != 0 && ry != 0 ? std::atan2(a->start.y / ry, a->start.x / rx) : 0;
    double to = rx != 0 && ry != 0 ? std::atan2(a->end.y / ry, a->end.x / rx) : 0;
    // Device y grows downwards: counter-clockwise is a falling angle.
    double sweep = from - to;
    while (sweep <= 0) sweep += 2 * kPi;
    int steps = std::max(2, static_cast<int>(std::ceil(sweep / (2 * kPi) * kArcSegmentsPerTurn)));
    std::vector<PointPair> points;
    for (int i = 0; i <= steps; ++i) {
        double t = from - sweep * i / steps;
        points.push_back(d.point(wmfD_Coord{static_cast<float>(cx + rx * std::cos(t)), static_cast<float>(cy + ry * std::sin(t))}));
    }
    if (close == ArcClose::Pie) points.push_back(PointPair{d.x(cx), d.y(cy)});
    d.addPoints(close == ArcClose::Open ? kKindPolyline : kKindPolygon, points);
}

void drawArc(wmfAPI* api, wmfDrawArc_t* a) { drawArcShape(api, a, ArcClose::Open); }
void drawChord(wmfAPI* api, wmfDrawArc_t* a) { drawArcShape(api, a, ArcClose::Chord); }
void drawPie(wmfAPI* api, wmfDrawArc_t* a) { drawArcShape(api, a, ArcClose::Pie); }

void drawLine(wmfAPI* api, wmfDrawLine_t* l) {
    Device& d = drawing(api);
    d.usePen(l->dc);
    d.addPoints(kKindPolyline, {d.point(l->from), d.point(l->to)});
}

std::vector<PointPair> pointsOf(const Device& d, const wmfD_Coord* points, size_t count) {
    std::vector<PointPair> out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) out.push_back(d.point(points[i]));
    return out;
}

void polyLine(wmfAPI* api, wmfPolyLine_t* p) {
    Device& d = drawing(api);
    d.usePen(p->dc);
    d.addPoints(kKindPolyline, pointsOf(d, p->pt, p->count));
}

void drawPolygon(wmfAPI* api, wmfPolyLine_t* p) {
    Device& d = drawing(api);
    d.usePen(p->dc);
    d.useBrush(p->dc);
    d.addPoints(kKindPolygon, pointsOf(d, p->pt, p->count));
}

// Polygons of several rings: the driver's polygons have one ring, so the
// fill is one polygon that walks every ring and comes back to the first
// ring's start between them (a viewer filling by winding leaves a ring out
// where it turns the other way), drawn without outline; the outline follows
// ring by ring.
void drawPolyPolygon(wmfAPI* api, wmfPolyPoly_t* p) {
    Device& d = drawing(api);
    std::vector<std::vector<PointPair>> rings;
    for (unsigned i = 0; i < p->npoly; ++i) {
        if (p->pt[i] != nullptr && p->count[i] > 0) rings.push_back(pointsOf(d, p->pt[i], p->count[i]));
    }
    if (rings.empty()) return;
    if (rings.size() == 1) {
        d.usePen(p->dc);
        d.useBrush(p->dc);
        return d.addPoints(kKindPolygon, rings[0]);
    }
    if (p->dc->brush != nullptr && p->dc->brush->lbStyle != BS_NULL) {
        std::vector<PointPair> walk;
        for (const auto& ring : rings) {
            walk.insert(walk.end(), ring.begin(), ring.end());
            walk.push_back(ring.front());
            walk.push_back(rings.front().front());
        }
        d.setPen(LineAttributes{});
        d.useBrush(p->dc);
        d.addPoints(kKindPolygon, walk);
    }
    d.usePen(p->dc);
    if (d.pen.lineWidth == 0) return;
    for (auto& ring : rings) {
        ring.push_back(ring.front());
        d.addPoints(kKindPolyline, ring);
    }
}

// Rectangles filled without an outline, in `colour` or the brush's.
void fillRectangles(Device& d, const wmfDC* dc, const wmfD_Coord* tl, const wmfD_Coord* br, size_t count,
                    const uint32_t* colour) {
    d.setPen(LineAttributes{});
    if (colour != nullptr) d.setFill(true, *colour); else d.useBrush(dc);
    for (size_t i = 0; i < count; ++i) {
        RectangleData body{d.x(tl[i].x), d.y(tl[i].y), d.x(br[i].x), d.y(br[i].y)};
        d.add(javtool::bodyBuilder(kKindRectangle, body));
    }
}

void regionPaint(wmfAPI* api, wmfPolyRectangle_t* r) {
    Device& d = drawing(api);
    fillRectangles(d, r->dc, r->TL, r->BR, r->count, nullptr);
}

void regionFrame(wmfAPI* api, wmfPolyRectangle_t*) { drawing(api).warn("region frames are not drawn"); }

// Pattern blocks: the brush, or black or white.
void ropDraw(wmfAPI* api, wmfROP_Draw_t* r) {
    Device& d = drawing(api);
    uint32_t colour = r->ROP == BLACKNESS ? 0x000000u : 0xFFFFFFu;
    bool plain = r->ROP == BLACKNESS || r->ROP == WHITENESS;
    if (!plain && r->ROP != PATCOPY) d.warn("pattern blocks are drawn as copies of the brush whatever their raster operation");
    fillRectangles(d, r->dc, &r->TL, &r->BR, 1, plain ? &colour : nullptr);
}

void drawPixel(wmfAPI* api, wmfDrawPixel_t* p) {
    Device& d = drawing(api);
    uint32_t colour = colourEntry(p->color);
    wmfD_Coord br{static_cast<float>(p->pt.x + p->pixel_width), static_cast<float>(p->pt.y + p->pixel_height)};
    fillRectangles(d, p->dc, &p->pt, &br, 1, &colour);
}

void floodFill(wmfAPI* api, wmfFlood_t*) { drawing(api).warn("flood fills are not drawn"); }

// The clip region: the driver clips to one rectangle, so a region of
// several rectangles clips to the rectangle around them; an empty region
// ends the clip. The viewer draws a clip's rectangle with the pen in force,
// so the pen is taken away first; opening a clip clears the driver's fill.
void regionClip(wmfAPI* api, wmfPolyRectangle_t* r) {
    Device& d = drawing(api);
    if (r->count == 0) return d.closeClip();
    if (r->count > 1) d.warn("clip regions of several rectangles clip to the rectangle around them");
    double x0 = r->TL[0].x, y0 = r->TL[0].y, x1 = r->BR[0].x, y1 = r->BR[0].y;
    for (unsigned i = 1; i < r->count; ++i) {
        x0 = std::min<double>(x0, r->TL[i].x);
        y0 = std::min<double>(y0, r->TL[i].y);
        x1 = std::max<double>(x1, r->BR[i].x);
        y1 = std::max<double>(y1, r->BR[i].y);
    }
    RectangleData rect{d.x(x0), d.y(y0), d.x(x1), d.y(y1)};
    if (d.clipOpen && std::memcmp(&rect, &d.clip, sizeof rect) == 0) return;
    d.closeClip();
    d.setPen(LineAttributes{});
    d.clip = rect;
    d.clipOpen = true;
    d.fillKnown = false;
    d.add(javtool::clipObject(1, javtool::bodyBuilder(kKindRectangle, rect)));
}

void bmpRead(wmfAPI* api, wmfBMP_Read_t* r) {
    Device& d = device(api);
    r->bmp.data = nullptr;
    auto bitmap = std::make_unique<DecodedBitmap>();
    std::string why;
    if (r->buffer == nullptr || r->length <= 0 ||
        !decodeBitmap(r->buffer, static_cast<size_t>(r->length), bitmap.get(), &why)) {
        d.warn("bitmaps not drawn: " + (why.empty() ? std::string("an empty bitmap") : why));
        return;
    }
    r->bmp.width = static_cast<U16>(bitmap->width);
    r->bmp.height = static_cast<U16>(bitmap->height);
    r->bmp.data = bitmap.get();
    d.bitmaps[bitmap.get()] = std::move(bitmap);
}

void bmpFree(wmfAPI* api, wmfBMP* b) {
    device(api).bitmaps.erase(b->data);
    b->data = nullptr;
}

// A bitmap, cropped as the record says, as a Raster over its place.
void bmpDraw(wmfAPI* api, wmfBMP_Draw_t* b) {
    Device& d = drawing(api);
    auto found = d.bitmaps.find(b->bmp.data);
    if (found == d.bitmaps.end()) return;
    const DecodedBitmap& bitmap = *found->second;
    uint32_t cx = std::min<uint32_t>(b->crop.x, bitmap.width), cy = std::min<uint32_t>(b->crop.y, bitmap.height);
    uint32_t cw = std::min<uint32_t>(b->crop.w, bitmap.width - cx), ch = std::min<uint32_t>(b->crop.h, bitmap.height - cy);
    if (cw == 0 || ch == 0) return;
    if (b->type != SRCCOPY) d.warn("bitmaps are drawn as copies whatever their raster operation");
    std::string pixels;
    pixels.reserve(size_t{cw} * ch * 4);
    for (uint32_t row = 0; row < ch; ++row)
        pixels.append(bitmap.pixels, (size_t{cy + row} * bitmap.width + cx) * 4, size_t{cw} * 4);
    double x0 = b->pt.x, y0 = b->pt.y;
    double x1 = x0 + cw * b->pixel_width, y1 = y0 + ch * b->pixel_height;
    int32_t left = std::min(d.x(x0), d.x(x1)), right = std::max(d.x(x0), d.x(x1));
    int32_t top = std::max(d.y(y0), d.y(y1)), bottom = std::min(d.y(y0), d.y(y1));
    refhost::RasterBody body{};
    body.corners = RasterData{left, top, right, top, left, bottom};
    body.image.width = cw;
    body.image.height = ch;
    uint64_t size = pixels.size();
    d.addHolding(size, javtool::rasterObject(kKindRaster, body.corners, body.image.width, body.image.height,
                                                std::make_shared<const std::string>(std::move(pixels))));
}

void fontMap(wmfAPI*, wmfFont*) {}

float stringWidth(wmfAPI*, wmfFont*, char* text) {
    return static_cast<float>(kByteAdvance * static_cast<double>(std::strlen(text)));
}

// Called by the library while it creates its handle.
void deviceInit(wmfAPI* api) {
    auto* fonts = static_cast<wmfFontData*>(wmf_malloc(api, sizeof(wmfFontData)));
    if (fonts == nullptr) return;
    fonts->map = fontMap;
    fonts->stringwidth = stringWidth;
    fonts->user_data = nullptr;
    api->font_data = fonts;
    auto* f = static_cast<wmfFunctionReference*>(api->function_reference);
    f->flood_interior = floodFill;
    f->flood_exterior = floodFill;
    f->draw_pixel = drawPixel;
    f->draw_pie = drawPie;
    f->draw_chord = drawChord;
    f->draw_arc = drawArc;
    f->draw_ellipse = drawEllipse;
    f->draw_line = drawLine;
    f->poly_line = polyLine;
    f->draw_polygon = drawPolygon;
    f->draw_polypolygon = drawPolyPolygon;
    f->draw_rectangle = drawRectangle;
    f->rop_draw = ropDraw;
    f->bmp_draw = bmpDraw;
    f->bmp_read = bmpRead;
    f->bmp_free = bmpFree;
    f->draw_text = drawText;
    f->region_frame = regionFrame;
    f->region_paint = regionPaint;
    f->region_clip = regionClip;
}

// The library's first error line, without its source place and name.
std::string libraryMessage(const char* text, size_t size, wmf_error_t code) {
    std::string all(text != nullptr ? text : "", size);
    std::string line = all.substr(0, all.find('\n'));
    size_t colon = line.find("): ");
    if (colon != std::string::npos) line = line.substr(colon + 3);
    if (line.starts_with("libwmf: ")) line = line.substr(8);
    size_t bailing = line.find("; bailing");
    if (bailing != std::string::npos) line.erase(bailing);
    while (!line.empty() && (line.back() == '.' || line.back() == ' ' || line.back() == '!')) line.pop_back();
    if (line == "Unexpected EOF") line.clear();
    if (!line.empty()) return line;
    switch (code) {
        case wmf_E_InsMem: return "more memory than a metafile may take";
        case wmf_E_EOF: return "the file ends inside a record";
        case wmf_E_BadFormat: return "a damaged record";
        default: return "error " + std::to_string(static_cast<int>(code));
    }
}

}  // namespace

bool playMetafile(const std::string& bytes, const FrameChooser& choose, std::vector<ObjectBuilder>* objects,
                  std::vector<std::string>* warnings, std::string* error) {
    Input input{reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<long>(bytes.size()), 0};
    Allocator allocator;
    char* errorText = nullptr;
    size_t errorSize = 0;
    FILE* errorStream = open_memstream(&errorText, &errorSize);

    wmfAPI_Options options{};
    options.context = &allocator;
    options.malloc = allocate;
    options.realloc = reallocate;
    options.free = release;
    options.function = deviceInit;
    options.error_out = errorStream;
    unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_ALLOC | WMF_OPT_NO_DEBUG |
                          (errorStream != nullptr ? WMF_OPT_LOG_ERROR : WMF_OPT_NO_ERROR);
    Device d;
    wmfAPI* api = nullptr;
    wmf_error_t code = wmf_lite_create(&api, flags, &options);
    if (code == wmf_E_None) {
        api->device_data = &d;
        d.api = api;
        wmf_bbuf_input(api, inputRead, inputSeek, inputTell, &input);
        wmfD_Rect box{};
        code = wmf_scan(api, 0, &box);
        unsigned int twipsX = 0, twipsY = 0;
        if (code == wmf_E_None) code = wmf_display_size(api, &twipsX, &twipsY, 1440, 1440);
        if (code == wmf_E_None) {
            d.frame = choose(MetafileExtent{twipsX / 1440.0, twipsY / 1440.0});
            d.origin = box.TL;
            double w = static_cast<double>(box.BR.x) - box.TL.x, h = static_cast<double>(box.BR.y) - box.TL.y;
            d.scaleX = w > 0 ? (static_cast<double>(d.frame[2]) - d.frame[0]) / w : 0;
            d.scaleY = h > 0 ? (static_cast<double>(d.frame[3]) - d.frame[1]) / h : 0;
            code = wmf_play(api, 0, &box);
            d.flushRun();
            d.closeClip();
        }
        wmf_lite_destroy(api);
    }
    long stoppedAt = std::min(input.position, input.size);
    if (errorStream != nullptr) std::fclose(errorStream);
    std::string message = libraryMessage(errorText, errorSize, code);
    std::free(errorText);

    if (!d.failure.empty()) {
        *error = d.failure;
        return false;
    }
    if (code != wmf_E_None) {
        *error = "libwmf stopped at byte " + std::to_string(stoppedAt) + ": " + message;
        return false;
    }
    *objects = std::move(d.objects);
    warnings->insert(warnings->end(), d.warnings.begin(), d.warnings.end());
    return true;
}

}  // namespace javimport
