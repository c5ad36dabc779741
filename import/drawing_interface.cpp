// SPDX-License-Identifier: MIT
// The drawing interface: each callback of the drawing library becomes the
// host objects a conversion engine would hand the driver, in drawing order.
// Pages are separate pictures; layers and groups add no objects of their own,
// their shapes are drawn in order.
#include "import/drawing_interface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>

#include "import/drawing_state.h"
#include <javtrg/host_services.h>
#include "tools/object_builders.h"

namespace javimport {

using librevenge::RVNGPropertyList;
using librevenge::RVNGPropertyListVector;

double inches(const librevenge::RVNGProperty& property) {
    double value = property.getDouble();
    switch (property.getUnit()) {
        case librevenge::RVNG_POINT: return value / 72.0;
        case librevenge::RVNG_TWIP: return value / 1440.0;
        default: return value;
    }
}

double inchesOf(const RVNGPropertyList& list, const char* name, double fallback) {
    const librevenge::RVNGProperty* property = list[name];
    if (property == nullptr) return fallback;
    double value = inches(*property);
    return std::isfinite(value) ? value : fallback;
}

uint32_t colourOf(const RVNGPropertyList& list, const char* name, uint32_t fallback) {
    const librevenge::RVNGProperty* property = list[name];
    if (property == nullptr) return fallback;
    std::string text = property->getStr().cstr();
    if (text.size() != 7 || text[0] != '#') return fallback;
    uint32_t rgb = 0;
    for (size_t i = 1; i < 7; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return fallback;
        rgb = rgb * 16 + static_cast<uint32_t>(digit);
    }
    // The entry holds red in its lowest byte, then green, then blue.
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

PointPair DrawingState::point(PagePoint p) const {
    return PointPair{saturate(p.x * kUnitsPerInch), saturate((pageHeight - p.y) * kUnitsPerInch)};
}

int32_t DrawingState::units(double lengthInches) const { return saturate(lengthInches * kUnitsPerInch); }

bool DrawingState::countObject() {
    if (++objectCount > options.maxObjects && failure.empty())
        failure = "it makes more than " + std::to_string(options.maxObjects) + " objects (--max-objects raises the limit)";
    return failure.empty();
}

void DrawingState::add(javtool::ObjectBuilder builder) {
    if (sink != nullptr && failure.empty() && countObject()) sink->push_back(std::move(builder));
}

bool DrawingState::countPoints(size_t count) {
    pointCount += count;
    if (pointCount > kMaxPoints && failure.empty())
        failure = "its shapes hold more than " + std::to_string(kMaxPoints) + " points";
    return failure.empty();
}

// At most this many warnings a page: the rest say nothing new.
constexpr size_t kMaxPageWarnings = 16;

void DrawingState::warn(const std::string& line) {
    if (page == nullptr || sink == nullptr || page->warnings.size() >= kMaxPageWarnings) return;
    if (std::find(page->warnings.begin(), page->warnings.end(), line) == page->warnings.end())
        page->warnings.push_back(line);
}

void DrawingState::applyStyle(bool rectangle) {
    if (sink == nullptr) return;
    LineAttributes pen = penOf(*this);
    if (!lastPen || std::memcmp(&*lastPen, &pen, sizeof pen) != 0) {
        add(javtool::bodyBuilder(kKindLineAtt, pen));
        lastPen = pen;
    }
    FillAttributes fill = fillOf(*this, rectangle);
    if (!lastFill || std::memcmp(&*lastFill, &fill, sizeof fill) != 0) {
        add(javtool::bodyBuilder(kKindFillAtt, fill));
        lastFill = fill;
    }
}

void DrawingState::forgetStyle() {
    lastPen.reset();
    lastFill.reset();
}

namespace {

// A page's side in inches: as given when usable, else `fallback`.
double pageSide(const RVNGPropertyList& props, const char* name, double fallback) {
    double side = inchesOf(props, name, fallback);
    if (!(side > 0.01)) return fallback;
    return std::min(side, kMaxPageInches);
}

// The target's pixel size for a page of `width` x `height` inches: the
// options' size, a missing side keeping the page's aspect, or the page at 96
// pixels an inch (at most 16384 pixels a side, aspect kept).
void targetPixels(const ImportOptions& options, double width, double height, double* pixelsX, double* pixelsY) {
    double x = options.targetWidth;
    double y = options.targetHeight;
    if (x == 0 && y == 0) {
        x = width * kDefaultPixelsPerInch;
        y = height * kDefaultPixelsPerInch;
        double larger = std::max(x, y);
        if (larger > kMaxDefaultPixels) {
            x *= kMaxDefaultPixels / larger;
            y *= kMaxDefaultPixels / larger;
        }
    } else if (y == 0) {
        y = x * height / width;
    } else if (x == 0) {
        x = y * width / height;
    }
    constexpr double kLargest = 1 << 20;
    *pixelsX = std::clamp(std::floor(x + 0.5), 1.0, kLargest);
    *pixelsY = std::clamp(std::floor(y + 0.5), 1.0, kLargest);
}

std::vector<PagePoint> readPoints(const RVNGPropertyListVector* vertices) {
    std::vector<PagePoint> points;
    if (vertices == nullptr) return points;
    for (unsigned long i = 0; i < vertices->count(); ++i) {
        const RVNGPropertyList& vertex = (*vertices)[i];
        if (vertex["svg:x"] == nullptr || vertex["svg:y"] == nullptr) continue;
        points.push_back(PagePoint{inchesOf(vertex, "svg:x"), inchesOf(vertex, "svg:y")});
    }
    return points;
}

// The angle of `librevenge:rotate` in degrees, 0 when absent.
double rotationOf(const RVNGPropertyList& props) {
    const librevenge::RVNGProperty* rotate = props["librevenge:rotate"];
    double degrees = rotate != nullptr ? rotate->getDouble() : 0.0;
    return std::isfinite(degrees) ? std::fmod(degrees, 360.0) : 0.0;
}

// `p` turned `degrees` counter-clockwise (as seen on the page) about `centre`.
PagePoint turned(PagePoint p, PagePoint centre, double degrees) {
    double a = degrees * std::numbers::pi / 180.0;
    double dx = p.x - centre.x;
    double dy = p.y - centre.y;
    return PagePoint{centre.x + dx * std::cos(a) + dy * std::sin(a), centre.y - dx * std::sin(a) + dy * std::cos(a)};
}

// The arrowhead of a line end: a triangle in the pen's colour, its tip on
// the end `tip`, pointing away from `from`, as wide as
// draw:marker-<end>-width and as long as its viewbox's aspect makes it.
// Every marker shape is drawn as this triangle.
void drawMarker(DrawingState& state, const char* end, PagePoint tip, PagePoint from) {
    const librevenge::RVNGPropertyList& style = state.style;
    std::string prefix = std::string("draw:marker-") + end;
    if (style[(prefix + "-path").c_str()] == nullptr) return;
    double width = inchesOf(style, (prefix + "-width").c_str(), 0.1);
    double dx = tip.x - from.x;
    double dy = tip.y - from.y;
    double distance = std::hypot(dx, dy);
    if (!(width > 0) || !(distance > 0)) return;
    double aspect = 1.0;
    if (const librevenge::RVNGProperty* box = style[(prefix + "-viewbox").c_str()]) {
        double x = 0, y = 0, w = 0, h = 0;
        if (std::sscanf(box->getStr().cstr(), "%lf %lf %lf %lf", &x, &y, &w, &h) == 4 && w > 0 && h > 0) aspect = std::min(h / w, 4.0);
    }
    double ux = dx / distance;
    double uy = dy / distance;
    double length = width * aspect;
    PagePoint base{tip.x - ux * length, tip.y - uy * length};
    Subpath head;
    head.closed = true;
    head.points = {tip, PagePoint{base.x - uy * width / 2, base.y + ux * width / 2},
                   PagePoint{base.x + uy * width / 2, base.y - ux * width / 2}};
    FillAttributes fill{};
    fill.fillStyle = 1;
    fill.fillColour = penOf(state).lineColour;
    if (!state.lastFill || std::memcmp(&*state.lastFill, &fill, sizeof fill) != 0) {
        state.add(javtool::bodyBuilder(kKindFillAtt, fill));
        state.lastFill = fill;
    }
    std::vector<PointPair> points;
    for (const PagePoint& p : head.points) points.push_back(state.point(p));
    if (state.countPoints(points.size())) state.add(javtool::polygonObject(kKindPolygon, points));
}

// The point before `index` (going back) or after it that differs from it.
PagePoint neighbour(const std::vector<PagePoint>& points, size_t index, int step) {
    for (size_t i = index; i < points.size(); i = static_cast<size_t>(static_cast<long>(i) + step)) {
        if (points[i].x != points[index].x || points[i].y != points[index].y) return points[i];
        if (i == 0 && step < 0) break;
    }
    return points[index];
}

// Hands over a subpath as a polygon, polyline or curve.
void drawSubpath(DrawingState& state, const Subpath& subpath) {
    if (subpath.points.size() < 2 || !state.countPoints(subpath.points.size())) return;
    std::vector<PointPair> points;
    points.reserve(subpath.points.size());
    for (const PagePoint& p : subpath.points) points.push_back(state.point(p));
    if (subpath.curved)
        state.add(javtool::curveObject(subpath.closed ? kKindClosedCurve : kKindOpenCurve, std::move(points)));
    else if (subpath.closed)
        state.add(javtool::polygonObject(kKindPolygon, points));
    else
        state.add(javtool::polylineObject(kKindPolyline, points));
    if (!subpath.closed) {
        const std::vector<PagePoint>& p = subpath.points;
        drawMarker(state, "start", p.front(), neighbour(p, 0, 1));
        drawMarker(state, "end", p.back(), neighbour(p, p.size() - 1, -1));
    }
}

}  // namespace

DrawingCollector::DrawingCollector(const ImportOptions& options) : state_(std::make_unique<DrawingState>(options)) {}

DrawingCollector::~DrawingCollector() = default;

std::vector<ImportedPage> DrawingCollector::takePages() { return std::move(state_->pages); }

uint32_t DrawingCollector::pagesSeen() const { return state_->pagesSeen; }

const std::string& DrawingCollector::failure() const { return state_->failure; }

void DrawingCollector::startDocument(const RVNGPropertyList&) {}

void DrawingCollector::endDocument() { endTextObject(); }

void DrawingCollector::setDocumentMetaData(const RVNGPropertyList&) {}

void DrawingCollector::defineEmbeddedFont(const RVNGPropertyList&) {}

void DrawingCollector::startPage(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    endTextObject();
    uint32_t number = ++s.pagesSeen;
    s.pageWidth = pageSide(props, "svg:width", 8.5);
    s.pageHeight = pageSide(props, "svg:height", 11.0);
    s.sink = nullptr;
    s.page = nullptr;
    s.forgetStyle();
    s.fillPictures.clear();
    s.table.reset();
    if (!s.failure.empty() || (s.options.page != 0 && s.options.page != number)) return;
    // A page counts as an object, so that a file of endless empty pages ends too.
    if (!s.countObject()) return;

    double pixelsX = 0;
    double pixelsY = 0;
    targetPixels(s.options, s.pageWidth, s.pageHeight, &pixelsX, &pixelsY);
    s.pixelsPerInchX = pixelsX / s.pageWidth;
    s.pixelsPerInchY = pixelsY / s.pageHeight;

    ImportedPage& page = s.pages.emplace_back();
    page.number = number;
    javtool::Script& script = page.script;
    script.params.sizeX = s.pageWidth;
    script.params.sizeY = s.pageHeight;
    script.params.sourceFrame[2] = s.units(s.pageWidth);
    script.params.sourceFrame[3] = s.units(s.pageHeight);
    script.params.colourMode = 4;
    script.hasTargetInfo = true;
    script.info.pixelWidth = static_cast<int32_t>(pixelsX);
    script.info.pixelHeight = static_cast<int32_t>(pixelsY);
    // Texts are handed over as 16-bit units; the session's own encoding is
    // UTF-8, in which search terms are given and whole words can be asked for.
    script.session.currentEncoding = kEncodingUtf8;
    s.page = &page;
    s.sink = &page.script.objects;

    // A page drawn on a master page starts with the master's objects.
    if (const librevenge::RVNGProperty* master = props["librevenge:master-page-name"]) {
        auto found = s.masters.find(master->getStr().cstr());
        if (found != s.masters.end()) {
            for (const javtool::ObjectBuilder& builder : found->second) s.add(builder);
        }
    }
}

void DrawingCollector::endPage() {
    endTextObject();
    state_->sink = nullptr;
    state_->page = nullptr;
}

void DrawingCollector::startMasterPage(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    const librevenge::RVNGProperty* name = props["librevenge:master-page-name"];
    s.sink = nullptr;
    s.page = nullptr;
    s.forgetStyle();
    if (name == nullptr || !s.failure.empty()) return;
    s.masterName = name->getStr().cstr();
    s.pageWidth = pageSide(props, "svg:width", s.pageWidth);
    s.pageHeight = pageSide(props, "svg:height", s.pageHeight);
    s.masters[s.masterName].clear();
    s.sink = &s.masters[s.masterName];
}

void DrawingCollector::endMasterPage() {
    endTextObject();
    state_->masterName.clear();
    state_->sink = nullptr;
    state_->forgetStyle();
}

void DrawingCollector::setStyle(const RVNGPropertyList& props) { state_->style = props; }

void DrawingCollector::startLayer(const RVNGPropertyList&) {}
void DrawingCollector::endLayer() {}
void DrawingCollector::startEmbeddedGraphics(const RVNGPropertyList&) {}
void DrawingCollector::endEmbeddedGraphics() {}
void DrawingCollector::openGroup(const RVNGPropertyList&) {}
void DrawingCollector::closeGroup() {}

// A rectangle, with rounded corners when it has radii; a turned one as the
// polygon of its corners.
void DrawingCollector::drawRectangle(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    if (s.sink == nullptr) return;
    double x = inchesOf(props, "svg:x");
    double y = inchesOf(props, "svg:y");
    double w = inchesOf(props, "svg:width");
    double h = inchesOf(props, "svg:height");
    double degrees = rotationOf(props);
    double rx = inchesOf(props, "svg:rx");
    double ry = inchesOf(props, "svg:ry");
    s.applyStyle(degrees == 0 && !(rx > 0 && ry > 0));
    PagePoint centre{x + w / 2, y + h / 2};
    Subpath outline;
    outline.closed = true;
    for (PagePoint corner : {PagePoint{x, y}, PagePoint{x + w, y}, PagePoint{x + w, y + h}, PagePoint{x, y + h}})
        outline.points.push_back(turned(corner, centre, degrees));
    if (degrees != 0) {
        drawSubpath(s, outline);
        drawHatch(s, {outline});
        return;
    }
    PointPair topLeft = s.point({x, y});
    PointPair bottomRight = s.point({x + w, y + h});
    if (rx > 0 && ry > 0) {
        RoundRectData body{};
        body.x0 = topLeft.x;
        body.y0 = topLeft.y;
        body.x1 = bottomRight.x;
        body.y1 = bottomRight.y;
        // The corner's ellipse, whole: twice each radius.
        body.cornerX = s.units(2 * rx);
        body.cornerY = s.units(2 * ry);
        s.add(javtool::bodyBuilder(kKindRoundRect, body));
        return;
    }
    RectangleData body{};
    body.x0 = topLeft.x;
    body.y0 = topLeft.y;
    body.x1 = bottomRight.x;
    body.y1 = bottomRight.y;
    s.add(javtool::bodyBuilder(kKindRectangle, body));
    drawHatch(s, {outline});
}

// A circle or an ellipse upright (or turned a quarter), any other turned
// ellipse as a closed curve.
void DrawingCollector::drawEllipse(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    if (s.sink == nullptr) return;
    PagePoint centre{inchesOf(props, "svg:cx"), inchesOf(props, "svg:cy")};
    double rx = std::fabs(inchesOf(props, "svg:rx"));
    double ry = std::fabs(inchesOf(props, "svg:ry"));
    double degrees = rotationOf(props);
    double half = std::fmod(std::fabs(degrees), 180.0);
    s.applyStyle();
    constexpr double kTolerance = 0.01;
    if (std::fabs(half - 90.0) < kTolerance) {
        std::swap(rx, ry);
    } else if (half > kTolerance && 180.0 - half > kTolerance) {
        Subpath curve = ellipseCurve(centre, rx, ry, degrees);
        drawSubpath(s, curve);
        drawHatch(s, {curve});
        return;
    }
    Subpath upright = ellipseCurve(centre, rx, ry, 0);
    PointPair c = s.point(centre);
    int32_t radiusX = s.units(rx);
    int32_t radiusY = s.units(ry);
    // The driver draws a circle with the horizontal scale on both axes, so
    // only a page drawn at one scale gets circles.
    if (radiusX == radiusY && std::fabs(s.pixelsPerInchX - s.pixelsPerInchY) < 1e-9 * s.pixelsPerInchX) {
        CircleData body{};
        body.cx = c.x;
        body.cy = c.y;
        body.radius = radiusX;
        s.add(javtool::bodyBuilder(kKindCircle, body));
        drawHatch(s, {upright});
        return;
    }
    EllipseData body{};
    body.cx = c.x;
    body.cy = c.y;
    body.ax = saturate(static_cast<double>(c.x) + radiusX);
    body.ay = c.y;
    body.bx = c.x;
    body.by = saturate(static_cast<double>(c.y) + radiusY);
    s.add(javtool::bodyBuilder(kKindEllipse, body));
    drawHatch(s, {upright});
}

void DrawingCollector::drawPolygon(const RVNGPropertyList& props) {
    if (state_->sink == nullptr) return;
    state_->applyStyle();
    Subpath polygon{readPoints(props.child("svg:points")), false, true};
    drawSubpath(*state_, polygon);
    drawHatch(*state_, {polygon});
}

void DrawingCollector::drawPolyline(const RVNGPropertyList& props) {
    if (state_->sink == nullptr) return;
    state_->applyStyle();
    drawSubpath(*state_, Subpath{readPoints(props.child("svg:points")), false, false});
}

// A path: one object per subpath, in order.
void DrawingCollector::drawPath(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    const RVNGPropertyListVector* path = props.child("svg:d");
    if (s.sink == nullptr || path == nullptr) return;
    s.applyStyle();
    std::vector<Subpath> subpaths = readPath(*path);
    for (const Subpath& subpath : subpaths) drawSubpath(s, subpath);
    drawHatch(s, subpaths);
}

void DrawingCollector::drawGraphicObject(const RVNGPropertyList& props) {
    if (state_->sink != nullptr) drawImage(*state_, props);
}

// A connector is drawn as the path it gives.
void DrawingCollector::drawConnector(const RVNGPropertyList& props) { drawPath(props); }

void DrawingCollector::startTextObject(const RVNGPropertyList& props) {
    if (state_->sink != nullptr) startText(*state_, props);
}

void DrawingCollector::endTextObject() { endText(*state_); }

// Tables: each cell's text is a text box filling the cell's place in the
// grid of the columns' widths and the rows' heights. Cell borders and
// backgrounds are not drawn.
void DrawingCollector::startTableObject(const RVNGPropertyList& props) {
    endTextObject();
    TableDraft table;
    table.origin = PagePoint{inchesOf(props, "svg:x"), inchesOf(props, "svg:y")};
    table.columnEdges.push_back(0);
    if (const RVNGPropertyListVector* columns = props.child("librevenge:table-columns")) {
        for (unsigned long i = 0; i < columns->count(); ++i)
            table.columnEdges.push_back(table.columnEdges.back() + std::max(0.0, inchesOf((*columns)[i], "style:column-width")));
    }
    state_->table = std::move(table);
}

void DrawingCollector::openTableRow(const RVNGPropertyList& props) {
    if (!state_->table) return;
    TableDraft& table = *state_->table;
    if (table.rowOpen) table.rowTop += table.rowHeight;
    double height = inchesOf(props, "librevenge:row-height", inchesOf(props, "style:row-height", inchesOf(props, "style:min-row-height")));
    table.rowHeight = std::max(0.0, height);
    table.column = 0;
    table.rowOpen = true;
}

void DrawingCollector::closeTableRow() {}

void DrawingCollector::openTableCell(const RVNGPropertyList& props) {
    DrawingState& s = *state_;
    if (!s.table || s.sink == nullptr) return;
    TableDraft& table = *s.table;
    const librevenge::RVNGProperty* column = props["librevenge:column"];
    const librevenge::RVNGProperty* spanned = props["table:number-columns-spanned"];
    size_t last = table.columnEdges.size() - 1;
    size_t first = column != nullptr && column->getInt() >= 0 ? static_cast<size_t>(column->getInt()) : table.column;
    first = std::min(first, last);
    size_t span = spanned != nullptr && spanned->getInt() > 1 ? static_cast<size_t>(spanned->getInt()) : 1;
    size_t end = std::min(last, first + span);
    table.column = end;
    RVNGPropertyList cell;
    cell.insert("svg:x", table.origin.x + table.columnEdges[first]);
    cell.insert("svg:y", table.origin.y + table.rowTop);
    cell.insert("svg:width", table.columnEdges[end] - table.columnEdges[first]);
    cell.insert("svg:height", table.rowHeight);
    startText(s, cell);
}

void DrawingCollector::closeTableCell() { endTextObject(); }
void DrawingCollector::insertCoveredTableCell(const RVNGPropertyList&) {}

void DrawingCollector::endTableObject() {
    endTextObject();
    state_->table.reset();
}

void DrawingCollector::insertTab() { insertTextTab(*state_); }
void DrawingCollector::insertSpace() { insertTextUnits(*state_, librevenge::RVNGString(" ")); }
void DrawingCollector::insertText(const librevenge::RVNGString& text) { insertTextUnits(*state_, text); }
void DrawingCollector::insertLineBreak() { insertTextLineBreak(*state_); }
// Fields (page numbers, dates) whose value the library does not give as text.
void DrawingCollector::insertField(const RVNGPropertyList&) {}

void DrawingCollector::openOrderedListLevel(const RVNGPropertyList&) {}
void DrawingCollector::openUnorderedListLevel(const RVNGPropertyList&) {}
void DrawingCollector::closeOrderedListLevel() {}
void DrawingCollector::closeUnorderedListLevel() {}
void DrawingCollector::openListElement(const RVNGPropertyList& props) { openParagraph(props); }
void DrawingCollector::closeListElement() {}

void DrawingCollector::defineParagraphStyle(const RVNGPropertyList& props) {
    if (const librevenge::RVNGProperty* id = props["librevenge:paragraph-id"]) state_->paragraphStyles[id->getInt()] = props;
}

void DrawingCollector::openParagraph(const RVNGPropertyList& props) {
    const librevenge::RVNGProperty* id = props["librevenge:paragraph-id"];
    auto found = id != nullptr ? state_->paragraphStyles.find(id->getInt()) : state_->paragraphStyles.end();
    openTextParagraph(*state_, found != state_->paragraphStyles.end() ? found->second : props);
}

void DrawingCollector::closeParagraph() {}

void DrawingCollector::defineCharacterStyle(const RVNGPropertyList& props) {
    if (const librevenge::RVNGProperty* id = props["librevenge:span-id"]) state_->spanStyles[id->getInt()] = props;
}

void DrawingCollector::openSpan(const RVNGPropertyList& props) {
    const librevenge::RVNGProperty* id = props["librevenge:span-id"];
    auto found = id != nullptr ? state_->spanStyles.find(id->getInt()) : state_->spanStyles.end();
    openTextSpan(*state_, found != state_->spanStyles.end() ? found->second : props);
}

void DrawingCollector::closeSpan() {
    if (state_->text) state_->text->style = RunStyle{};
}

void DrawingCollector::openLink(const RVNGPropertyList&) {}
void DrawingCollector::closeLink() {}

}  // namespace javimport
