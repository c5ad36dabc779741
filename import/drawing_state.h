// SPDX-License-Identifier: MIT
// The drawing interface's state, shared by the files of the room: the pages
// collected so far, the style in force, the text box being assembled, and the
// limits that keep a hostile file from making unbounded output.
#ifndef JAVTRG_IMPORT_DRAWING_STATE_H
#define JAVTRG_IMPORT_DRAWING_STATE_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <librevenge/librevenge.h>

#include "import/import_options.h"
#include "import/host_units.h"
#include "tools/script.h"

namespace javimport {

// Host units of a page: 1440 to the inch (twentieths of a point), y upwards.
inline constexpr double kUnitsPerInch = 1440.0;
// Pixels to the inch of a page drawn at its own size.
inline constexpr double kDefaultPixelsPerInch = 96.0;
// The largest side of a page, in inches; larger pages are drawn at this size.
inline constexpr double kMaxPageInches = 100000.0;
// The largest side of a target chosen from the page's size, in pixels.
inline constexpr double kMaxDefaultPixels = 16384.0;
// What one file may make over all pages: points and image pixels (its
// objects: ImportOptions::maxObjects).
inline constexpr uint64_t kMaxPoints = uint64_t{1} << 25;
inline constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

// A position on the page in inches from its top left corner, y downwards,
// as the drawing libraries give it.
struct PagePoint {
    double x = 0;
    double y = 0;
};

// The length in inches of a property in any unit of length (points, twips,
// inches; a bare number is taken as inches).
double inches(const librevenge::RVNGProperty& property);
// The inches of property `name`, or `fallback` when absent.
double inchesOf(const librevenge::RVNGPropertyList& list, const char* name, double fallback = 0);
// The colour entry (red in the lowest byte) of a "#RRGGBB" property, or
// `fallback` when absent or malformed.
uint32_t colourOf(const librevenge::RVNGPropertyList& list, const char* name, uint32_t fallback);

// The font and colour of a run of text.
struct RunStyle {
    std::string face;
    double sizePoints = 12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int32_t position = 0;  // 1 raised, 2 lowered
    uint32_t colour = 0;
    bool operator==(const RunStyle&) const = default;
};

// A piece of a line: text in 16-bit units (little-endian) or a tab.
struct TextPiece {
    RunStyle style;
    std::string units;
    bool tab = false;
};

// A text object being assembled until its end: the box, its lines (a
// paragraph, or the part of one after a line break) and the run in force.
struct TextDraft {
    PagePoint origin;
    double width = 0;
    double height = 0;
    double rotation = 0;  // degrees, counter-clockwise about the box's centre
    std::string verticalAlign;
    double paddingLeft = 0, paddingRight = 0, paddingTop = 0, paddingBottom = 0;
    uint32_t justification = 0;
    bool justificationSet = false;
    RunStyle style;
    std::vector<std::vector<TextPiece>> lines;
};

// A table being drawn: its cells are text boxes in the grid of its columns
// and rows.
struct TableDraft {
    PagePoint origin;
    std::vector<double> columnEdges;  // from the table's left, one more than the columns
    double rowTop = 0;                // the current row's top, from the table's top
    double rowHeight = 0;
    size_t column = 0;
    bool rowOpen = false;
};

// Everything the callbacks share.
struct DrawingState {
    explicit DrawingState(const ImportOptions& importOptions) : options(importOptions) {}

    ImportOptions options;
    std::vector<ImportedPage> pages;
    uint32_t pagesSeen = 0;

    // Where objects go: the page being drawn, a master page being recorded,
    // or nowhere (a page that was not asked for).
    std::vector<javtool::ObjectBuilder>* sink = nullptr;
    ImportedPage* page = nullptr;
    std::map<std::string, std::vector<javtool::ObjectBuilder>> masters;
    std::string masterName;

    // The page's size in inches and the pixels of an inch on each axis.
    double pageWidth = 8.5;
    double pageHeight = 11;
    double pixelsPerInchX = kDefaultPixelsPerInch;
    double pixelsPerInchY = kDefaultPixelsPerInch;

    librevenge::RVNGPropertyList style;
    // The pen and fill last handed over; absent: the next shape sends both.
    std::optional<LineAttributes> lastPen;
    std::optional<FillAttributes> lastFill;

    std::map<int, librevenge::RVNGPropertyList> spanStyles;
    std::map<int, librevenge::RVNGPropertyList> paragraphStyles;
    std::optional<TextDraft> text;
    std::optional<TableDraft> table;
    // The page's fill pictures by their image data, as the keys fills name.
    std::map<std::string, uint64_t> fillPictures;

    uint64_t objectCount = 0;
    uint64_t pointCount = 0;
    uint64_t pixelCount = 0;
    // Set when the file went beyond a limit; nothing more is collected.
    std::string failure;

    // Host units of a page position and of a length.
    PointPair point(PagePoint p) const;
    int32_t units(double lengthInches) const;

    // Counts an object; false (and the failure set) beyond the limit.
    bool countObject();
    // Hands an object to the page (or master page) being drawn.
    void add(javtool::ObjectBuilder builder);
    // Counts points a shape makes; false (and the failure set) beyond the limit.
    bool countPoints(size_t count);
    // A warning of the page, each text once.
    void warn(const std::string& line);
    // Sends the pen and fill of the style in force when they changed; a
    // rectangle may take a bitmap fill as a picture fill.
    void applyStyle(bool rectangle = false);
    // Forgets what was handed over last, so the next shape sends both.
    void forgetStyle();
};

// The pen and the fill the style describes (drawing_style.cpp).
LineAttributes penOf(const DrawingState& state);
FillAttributes fillOf(DrawingState& state, bool rectangle);

// A path's subpaths in page positions: with `curved` false the vertices of
// a polygon or polyline, with `curved` true a start point followed by groups
// of two controls and an end point (drawing_paths.cpp).
struct Subpath {
    std::vector<PagePoint> points;
    bool curved = false;
    bool closed = false;
};
std::vector<Subpath> readPath(const librevenge::RVNGPropertyListVector& path);
// An ellipse as a closed curve, turned `degrees` counter-clockwise.
Subpath ellipseCurve(PagePoint centre, double rx, double ry, double degrees);
// The lines of the style's hatch fill (draw:fill "hatch") across `shape`,
// as polylines in the hatch's colour, after the shape (drawing_style.cpp);
// nothing for any other fill.
void drawHatch(DrawingState& state, const std::vector<Subpath>& shape);

// The text callbacks (drawing_text.cpp).
void startText(DrawingState& state, const librevenge::RVNGPropertyList& props);
void openTextParagraph(DrawingState& state, const librevenge::RVNGPropertyList& props);
void openTextSpan(DrawingState& state, const librevenge::RVNGPropertyList& props);
void insertTextUnits(DrawingState& state, const librevenge::RVNGString& text);
void insertTextTab(DrawingState& state);
void insertTextLineBreak(DrawingState& state);
void endText(DrawingState& state);

// drawGraphicObject (drawing_images.cpp).
void drawImage(DrawingState& state, const librevenge::RVNGPropertyList& props);
// The key of the page's fill picture for the style's bitmap (draw:fill-image),
// registered with the page on first use; 0 (after a page warning) when the
// image cannot be decoded.
uint64_t fillPicture(DrawingState& state, const librevenge::RVNGPropertyList& style);

}  // namespace javimport

#endif
