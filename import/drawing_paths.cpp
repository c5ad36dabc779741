// SPDX-License-Identifier: MIT
// Paths into subpaths: straight segments stay vertices; a subpath with any
// curve becomes a poly-Bézier (the host's curve description), quadratic
// segments raised to cubic ones and elliptical arcs split into cubic pieces
// of at most a quarter turn.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "import/drawing_state.h"

namespace javimport {

namespace {

using librevenge::RVNGPropertyList;

PagePoint lerp(PagePoint a, PagePoint b, double t) { return PagePoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// The subpath being read: its vertices, and as a curve the same outline
// with each straight segment as a cubic whose controls lie on it.
struct Builder {
    std::vector<Subpath> done;
    Subpath lines;
    Subpath curve;
    bool open = false;
    PagePoint current;
    PagePoint lastControl;   // second control of the last cubic, for S
    PagePoint lastQuadratic; // control of the last quadratic, for T
    char lastAction = 0;

    void finish(bool closed) {
        if (open && lines.points.size() > 1) {
            Subpath& path = curve.curved ? curve : lines;
            path.closed = closed;
            done.push_back(std::move(path));
        }
        lines = Subpath{};
        curve = Subpath{};
        open = false;
    }
    void move(PagePoint p) {
        finish(false);
        lines.points.push_back(p);
        curve.points.push_back(p);
        open = true;
        current = p;
    }
    void ensureOpen() {
        if (!open) move(current);
    }
    void line(PagePoint p) {
        ensureOpen();
        lines.points.push_back(p);
        curve.points.push_back(lerp(current, p, 1.0 / 3));
        curve.points.push_back(lerp(current, p, 2.0 / 3));
        curve.points.push_back(p);
        current = p;
    }
    void cubic(PagePoint c1, PagePoint c2, PagePoint p) {
        ensureOpen();
        lines.points.push_back(p);
        curve.points.insert(curve.points.end(), {c1, c2, p});
        curve.curved = true;
        current = p;
        lastControl = c2;
    }
    void quadratic(PagePoint c, PagePoint p) {
        lastQuadratic = c;
        cubic(lerp(current, c, 2.0 / 3), lerp(p, c, 2.0 / 3), p);
    }
    void arc(double rx, double ry, double degrees, bool large, bool sweep, PagePoint p);
};

// An elliptical arc from the current point to `p`, by the endpoint rules of
// SVG: radii too small are scaled up until the arc exists, zero radii make a
// straight segment.
void Builder::arc(double rx, double ry, double degrees, bool large, bool sweep, PagePoint p) {
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    PagePoint from = current;
    if (rx == 0 || ry == 0 || (from.x == p.x && from.y == p.y)) {
        line(p);
        return;
    }
    double phi = degrees * std::numbers::pi / 180.0;
    double cosPhi = std::cos(phi);
    double sinPhi = std::sin(phi);
    double dx = (from.x - p.x) / 2;
    double dy = (from.y - p.y) / 2;
    double x1 = cosPhi * dx + sinPhi * dy;
    double y1 = -sinPhi * dx + cosPhi * dy;
    double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    double numerator = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    double denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double factor = denominator > 0 ? std::sqrt(std::max(0.0, numerator / denominator)) : 0.0;
    if (large == sweep) factor = -factor;
    double cxPrime = factor * rx * y1 / ry;
    double cyPrime = -factor * ry * x1 / rx;
    double cx = cosPhi * cxPrime - sinPhi * cyPrime + (from.x + p.x) / 2;
    double cy = sinPhi * cxPrime + cosPhi * cyPrime + (from.y + p.y) / 2;
    double start = std::atan2((y1 - cyPrime) / ry, (x1 - cxPrime) / rx);
    double end = std::atan2((-y1 - cyPrime) / ry, (-x1 - cxPrime) / rx);
    double sweepAngle = end - start;
    if (sweep && sweepAngle < 0) sweepAngle += 2 * std::numbers::pi;
    if (!sweep && sweepAngle > 0) sweepAngle -= 2 * std::numbers::pi;
    if (!std::isfinite(sweepAngle)) {
        line(p);
        return;
    }
    int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweepAngle) / (std::numbers::pi / 2) - 1e-9)));
    double step = sweepAngle / pieces;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    auto at = [&](double t) {
        return PagePoint{cx + rx * std::cos(t) * cosPhi - ry * std::sin(t) * sinPhi,
                         cy + rx * std::cos(t) * sinPhi + ry * std::sin(t) * cosPhi};
    };
    auto slope = [&](double t) {
        return PagePoint{-rx * std::sin(t) * cosPhi - ry * std::cos(t) * sinPhi,
                         -rx * std::sin(t) * sinPhi + ry * std::cos(t) * cosPhi};
    };
    double t = start;
    for (int i = 0; i < pieces; ++i) {
        double next = t + step;
        PagePoint a = at(t);
        PagePoint b = i + 1 == pieces ? p : at(next);
        PagePoint da = slope(t);
        PagePoint db = slope(next);
        cubic(PagePoint{a.x + k * da.x, a.y + k * da.y}, PagePoint{b.x - k * db.x, b.y - k * db.y}, b);
        t = next;
    }
}

double coordinate(const RVNGPropertyList& step, const char* name, double fallback) { return inchesOf(step, name, fallback); }

}  // namespace

std::vector<Subpath> readPath(const librevenge::RVNGPropertyListVector& path) {
    Builder b;
    for (unsigned long i = 0; i < path.count(); ++i) {
        const RVNGPropertyList& step = path[i];
        const librevenge::RVNGProperty* actionProperty = step["librevenge:path-action"];
        if (actionProperty == nullptr) continue;
        std::string action = actionProperty->getStr().cstr();
        if (action.size() != 1) continue;
        char a = action[0];
        PagePoint p{coordinate(step, "svg:x", b.current.x), coordinate(step, "svg:y", b.current.y)};
        PagePoint c1{coordinate(step, "svg:x1", p.x), coordinate(step, "svg:y1", p.y)};
        PagePoint c2{coordinate(step, "svg:x2", p.x), coordinate(step, "svg:y2", p.y)};
        switch (a) {
            case 'M': b.move(p); break;
            case 'L': case 'H': case 'V': b.line(p); break;
            case 'C': b.cubic(c1, c2, p); break;
            case 'S': {
                bool smooth = b.lastAction == 'C' || b.lastAction == 'S';
                PagePoint reflected = smooth ? PagePoint{2 * b.current.x - b.lastControl.x, 2 * b.current.y - b.lastControl.y} : b.current;
                // The one control given is the second.
                b.cubic(reflected, c1, p);
                break;
            }
            case 'Q': b.quadratic(c1, p); break;
            case 'T': {
                bool smooth = b.lastAction == 'Q' || b.lastAction == 'T';
                b.quadratic(smooth ? PagePoint{2 * b.current.x - b.lastQuadratic.x, 2 * b.current.y - b.lastQuadratic.y} : b.current, p);
                break;
            }
            case 'A': {
                const librevenge::RVNGProperty* rotate = step["librevenge:rotate"];
                const librevenge::RVNGProperty* large = step["librevenge:large-arc"];
                const librevenge::RVNGProperty* sweep = step["librevenge:sweep"];
                // An arc that names neither flag is large and sweeps the
                // positive way: the libraries leave out what is 1.
                b.arc(coordinate(step, "svg:rx", 0), coordinate(step, "svg:ry", 0), rotate != nullptr ? rotate->getDouble() : 0.0,
                      large == nullptr || large->getInt() != 0, sweep == nullptr || sweep->getInt() != 0, p);
                break;
            }
            case 'Z': {
                PagePoint start = b.lines.points.empty() ? b.current : b.lines.points.front();
                b.finish(true);
                b.current = start;
                break;
            }
            default: continue;
        }
        b.lastAction = a;
    }
    b.finish(false);
    return std::move(b.done);
}

Subpath ellipseCurve(PagePoint centre, double rx, double ry, double degrees) {
    Builder b;
    double a = degrees * std::numbers::pi / 180.0;
    // The ellipse's axes turned counter-clockwise on a page whose y grows downwards.
    auto at = [&](double t) {
        double x = rx * std::cos(t);
        double y = ry * std::sin(t);
        return PagePoint{centre.x + x * std::cos(a) + y * std::sin(a), centre.y - x * std::sin(a) + y * std::cos(a)};
    };
    b.move(at(0));
    b.arc(rx, ry, -degrees, false, true, at(std::numbers::pi));
    b.arc(rx, ry, -degrees, false, true, at(0));
    b.finish(true);
    return b.done.empty() ? Subpath{} : std::move(b.done.front());
}

}  // namespace javimport
