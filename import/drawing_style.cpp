// SPDX-License-Identifier: MIT
// The pen and the fill of the style in force (setStyle), as the LineAtt and
// FillAtt bodies the driver takes, and the lines of hatch fills.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "import/drawing_state.h"
#include "tools/object_builders.h"

namespace javimport {

namespace {

using librevenge::RVNGPropertyList;

constexpr size_t kMaxStops = 32;
// A hatch draws at most this many lines a family, and cuts lines with
// edges at most this many times over all its families.
constexpr double kMaxHatchLines = 4096;
constexpr double kMaxHatchCuts = 1 << 24;

std::string textOf(const RVNGPropertyList& list, const char* name) {
    const librevenge::RVNGProperty* property = list[name];
    return property != nullptr ? property->getStr().cstr() : std::string();
}

// A fraction property (50% is 0.5), or `fallback`.
double fractionOf(const RVNGPropertyList& list, const char* name, double fallback) {
    const librevenge::RVNGProperty* property = list[name];
    if (property == nullptr) return fallback;
    double value = property->getDouble();
    return std::isfinite(value) ? value : fallback;
}

struct Stop {
    double position;  // 0 to 1
    uint32_t colour;
};

// The stops of the style: its list of stops (offsets from 0 to 1), or the
// start colour at 0 and the end colour at 1.
std::vector<Stop> stopsOf(const RVNGPropertyList& style) {
    std::vector<Stop> stops;
    const librevenge::RVNGPropertyListVector* list = style.child("svg:linearGradient");
    if (list == nullptr) list = style.child("svg:radialGradient");
    if (list != nullptr) {
        for (unsigned long i = 0; i < list->count(); ++i) {
            const RVNGPropertyList& stop = (*list)[i];
            stops.push_back(Stop{std::clamp(fractionOf(stop, "svg:offset", 0.0), 0.0, 1.0), colourOf(stop, "svg:stop-color", 0)});
        }
        std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) { return a.position < b.position; });
    }
    if (stops.empty()) {
        stops.push_back(Stop{0.0, colourOf(style, "draw:start-color", 0)});
        stops.push_back(Stop{1.0, colourOf(style, "draw:end-color", 0xFFFFFF)});
    }
    return stops;
}

// Puts `stops` (positions 0 to 1, ascending) into the gradient in percent,
// from 0 to 100: the first colour is extended to 0 and the last to 100, so
// every band the driver draws has a colour. More than 32 stops keep the
// first 31 and the last.
void putStops(const std::vector<Stop>& stops, GradientDef* g) {
    std::vector<Stop> full;
    if (stops.front().position > 0) full.push_back(Stop{0.0, stops.front().colour});
    full.insert(full.end(), stops.begin(), stops.end());
    if (full.back().position < 1) full.push_back(Stop{1.0, full.back().colour});
    if (full.size() > kMaxStops) {
        Stop last = full.back();
        full.resize(kMaxStops - 1);
        full.push_back(last);
    }
    g->stopCount = static_cast<int32_t>(full.size());
    for (size_t i = 0; i < full.size(); ++i) {
        g->stopColours[i] = full[i].colour;
        g->stopPositions[i] = static_cast<int32_t>(std::floor(full[i].position * 100.0 + 0.5));
    }
}

// The gradient of the style by its draw:style.
//  - linear: along draw:angle (0: the start colour at the top), stops in
//    order; the driver's angles count from the bottom edge, half a turn on;
//  - axial: the stops mirrored about the middle, which for two colours is
//    the symmetric three-stop form;
//  - radial and ellipsoid as elliptical, square and rectangular as
//    rectangular (radial round and square square), about draw:cx,
//    draw:cy: the driver's bands run from the outside (0 percent) to the
//    centre (100), the style's from the centre
//    (offset 0, the end colour) to the border; draw:border keeps that share
//    of the outside in the outermost colour.
GradientDef gradientOf(const RVNGPropertyList& style) {
    GradientDef g{};
    std::string kind = textOf(style, "draw:style");
    std::vector<Stop> stops = stopsOf(style);
    double angle = fractionOf(style, "draw:angle", 0.0);
    if (kind.empty() || kind == "linear" || kind == "axial") {
        g.gradientKind = kGradientLinear;
        g.angle = static_cast<int32_t>(std::lround(std::fmod(std::fmod(angle, 360.0) + 540.0, 360.0)));
        if (kind == "axial") {
            std::vector<Stop> mirrored;
            for (auto it = stops.rbegin(); it != stops.rend(); ++it) mirrored.push_back(Stop{0.5 - 0.5 * it->position, it->colour});
            for (const Stop& stop : stops) {
                if (stop.position > 0 || mirrored.empty()) mirrored.push_back(Stop{0.5 + 0.5 * stop.position, stop.colour});
            }
            stops = std::move(mirrored);
        }
        putStops(stops, &g);
        return g;
    }
    g.gradientKind = kind == "square" || kind == "rectangular" ? kGradientRectangular : kGradientElliptical;
    // A radial gradient is round and a square one square, whatever the
    // shape's aspect: the driver's bands then reach the shape's farthest
    // corner as circles (squares). Ellipsoid and rectangular ones take the
    // shape's aspect.
    if (kind == "radial" || kind == "square") g.aspectX = g.aspectY = 1;
    double border = std::clamp(fractionOf(style, "draw:border", 0.0), 0.0, 1.0);
    if (style.child("svg:radialGradient") == nullptr && style.child("svg:linearGradient") == nullptr) {
        // From the start colour at the border to the end colour at the centre.
        stops = {Stop{0.0, colourOf(style, "draw:end-color", 0xFFFFFF)}, Stop{1.0, colourOf(style, "draw:start-color", 0)}};
    }
    std::vector<Stop> outsideIn;
    for (auto it = stops.rbegin(); it != stops.rend(); ++it) outsideIn.push_back(Stop{1.0 - it->position * (1.0 - border), it->colour});
    putStops(outsideIn, &g);
    g.centreXPercent = static_cast<int32_t>(std::lround(std::clamp(fractionOf(style, "draw:cx", 0.5), 0.0, 1.0) * 100));
    g.centreYPercent = static_cast<int32_t>(std::lround(100 - std::clamp(fractionOf(style, "draw:cy", 0.5), 0.0, 1.0) * 100));
    return g;
}

}  // namespace

// The pen: no outline for draw:stroke "none" (or absent), else the stroke's
// colour and width; a width of 0 is a hairline, drawn one pixel wide.
LineAttributes penOf(const DrawingState& state) {
    const RVNGPropertyList& style = state.style;
    LineAttributes pen{};
    std::string stroke = textOf(style, "draw:stroke");
    pen.lineColour = colourOf(style, "svg:stroke-color", 0);
    if (stroke.empty() || stroke == "none") return pen;
    double width = inchesOf(style, "svg:stroke-width", 1.0 / 72.0);
    pen.lineWidth = std::max(1, state.units(std::fabs(width)));
    return pen;
}

// The fill: none, solid, or a gradient. A bitmap fill that stretches its
// picture over a rectangle is the driver's picture fill; other bitmap fills
// (tiled, or on any other shape) are drawn in their fill colour (or not at
// all without one), with a page warning. A hatch fills with its background
// when it has one (draw:fill-hatch-solid); drawHatch draws its lines.
FillAttributes fillOf(DrawingState& state, bool rectangle) {
    const RVNGPropertyList& style = state.style;
    FillAttributes fill{};
    std::string kind = textOf(style, "draw:fill");
    std::string repeat = textOf(style, "style:repeat");
    if (kind == "solid") {
        fill.fillStyle = kFillSolid;
        fill.fillColour = colourOf(style, "draw:fill-color", 0);
    } else if (kind == "gradient") {
        fill.fillStyle = kFillGradient;
        fill.gradient = gradientOf(style);
    } else if (kind == "bitmap" && rectangle && (repeat.empty() || repeat == "stretch") &&
               (fill.pictureRef = fillPicture(state, style)) != 0) {
        fill.fillStyle = kFillPicture;
    } else if (kind == "hatch") {
        // The lines are drawn by drawHatch; the fill is the hatch's background.
        const librevenge::RVNGProperty* solid = style["draw:fill-hatch-solid"];
        if (solid != nullptr && solid->getInt() != 0) {
            fill.fillStyle = kFillSolid;
            fill.fillColour = colourOf(style, "draw:fill-color", 0xFFFFFF);
        }
    } else if (!kind.empty() && kind != "none") {
        state.warn(kind + " fills are drawn in their fill colour");
        if (style["draw:fill-color"] != nullptr) {
            fill.fillStyle = kFillSolid;
            fill.fillColour = colourOf(style, "draw:fill-color", 0);
        }
    } else {
        fill.fillStyle = kFillNone;
    }
    return fill;
}

namespace {

// The outline of a subpath as a polygon: a curve's cubic pieces flattened.
std::vector<PagePoint> outlineOf(const Subpath& subpath) {
    if (!subpath.curved) return subpath.points;
    constexpr int kPiecesPerCubic = 8;
    std::vector<PagePoint> out{subpath.points.front()};
    for (size_t i = 1; i + 2 < subpath.points.size(); i += 3) {
        PagePoint a = subpath.points[i - 1], b = subpath.points[i], c = subpath.points[i + 1], d = subpath.points[i + 2];
        for (int k = 1; k <= kPiecesPerCubic; ++k) {
            double t = static_cast<double>(k) / kPiecesPerCubic, u = 1 - t;
            out.push_back(PagePoint{u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                                    u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y});
        }
    }
    return out;
}

}  // namespace

void drawHatch(DrawingState& state, const std::vector<Subpath>& shape) {
    const RVNGPropertyList& style = state.style;
    if (state.sink == nullptr || textOf(style, "draw:fill") != "hatch") return;
    // Lines closer than a hundredth of an inch would be a solid fill.
    double distance = std::max(inchesOf(style, "draw:distance", 0.1), 0.01);
    const librevenge::RVNGProperty* rotation = style["draw:rotation"];
    double degrees = rotation != nullptr && std::isfinite(rotation->getDouble()) ? rotation->getDouble() : 0.0;
    std::string kind = textOf(style, "draw:style");
    std::vector<double> angles{degrees};
    if (kind == "double" || kind == "triple") angles.push_back(degrees + 90);
    if (kind == "triple") angles.push_back(degrees + 45);

    std::vector<std::vector<PagePoint>> outlines;
    for (const Subpath& subpath : shape) {
        if (subpath.points.size() > 2) outlines.push_back(outlineOf(subpath));
    }
    if (outlines.empty()) return;
    double edges = 0;
    for (const auto& outline : outlines) edges += static_cast<double>(outline.size());
    double maxLines = std::clamp(kMaxHatchCuts / (edges * static_cast<double>(angles.size())), 1.0, kMaxHatchLines);

    LineAttributes pen{};
    pen.lineColour = colourOf(style, "draw:color", 0);
    pen.lineWidth = 1;
    bool penSent = false;
    // Each family of lines: a line every `distance` across the shape, turned
    // counter-clockwise on the page, inside the shape by the even-odd rule.
    for (double angle : angles) {
        double a = angle * std::numbers::pi / 180.0;
        PagePoint along{std::cos(a), -std::sin(a)};
        PagePoint across{std::sin(a), std::cos(a)};
        auto dot = [](PagePoint p, PagePoint v) { return p.x * v.x + p.y * v.y; };
        double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
        for (const auto& outline : outlines) {
            for (PagePoint p : outline) {
                low = std::min(low, dot(p, across));
                high = std::max(high, dot(p, across));
            }
        }
        // Fewer lines, further apart, for a very large or very detailed shape.
        double step = std::max(distance, (high - low) / maxLines);
        for (double offset = std::ceil(low / step) * step; offset <= high; offset += step) {
            std::vector<double> crossings;
            for (const auto& outline : outlines) {
                for (size_t i = 0; i < outline.size(); ++i) {
                    PagePoint p = outline[i], q = outline[(i + 1) % outline.size()];
                    double sp = dot(p, across) - offset, sq = dot(q, across) - offset;
                    if ((sp < 0) == (sq < 0)) continue;
                    double t = sp / (sp - sq);
                    crossings.push_back(dot(PagePoint{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)}, along));
                }
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                if (!state.countPoints(2)) return;
                if (!penSent) {
                    state.add(javtool::bodyBuilder(kKindLineAtt, pen));
                    state.lastPen = pen;
                    penSent = true;
                }
                auto at = [&](double s) {
                    return state.point(PagePoint{offset * across.x + s * along.x, offset * across.y + s * along.y});
                };
                state.add(javtool::polylineObject(kKindPolyline, {at(crossings[i]), at(crossings[i + 1])}));
            }
        }
    }
}

}  // namespace javimport
