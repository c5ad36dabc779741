// SPDX-License-Identifier: MIT
// Curve flattening of the reference host.
//
// A curve description (CurveData) is a poly-Bezier: a start point, then
// groups of three points (two controls and an end point), each group a cubic
// segment continuing from the previous end. Each segment is cut into equal
// parameter steps, as many as keep the polyline within kTolerance host units
// of the curve (bounded by kMaxStepsPerSegment). See docs/curves.md.
#include <algorithm>
#include <cmath>
#include <vector>

#include "host/reference_host.h"

namespace refhost {

namespace {

// Largest distance, in host units, between the curve and its polyline.
constexpr double kTolerance = 0.5;
// Steps of one cubic segment at most; only curves thousands of units across
// with sharp bends reach it, and their polyline is then coarser.
constexpr uint64_t kMaxStepsPerSegment = 1024;
// Points of one flattened curve at most; a larger curve is refused.
constexpr uint64_t kMaxPoints = uint64_t{1} << 24;

struct Vec {
    double x;
    double y;
};

Vec at(const PointPair& p) { return Vec{static_cast<double>(p.x), static_cast<double>(p.y)}; }

// Steps for one segment: the distance between a cubic and its chords over
// steps of length h is at most h^2 / 8 times the largest second derivative,
// which is 6 times the larger of |p0 - 2 p1 + p2| and |p1 - 2 p2 + p3|.
uint64_t stepsFor(const Vec p[4]) {
    double ax = p[0].x - 2 * p[1].x + p[2].x, ay = p[0].y - 2 * p[1].y + p[2].y;
    double bx = p[1].x - 2 * p[2].x + p[3].x, by = p[1].y - 2 * p[2].y + p[3].y;
    double bend = std::max(std::hypot(ax, ay), std::hypot(bx, by));
    double steps = std::ceil(std::sqrt(6.0 * bend / (8.0 * kTolerance)));
    if (!(steps >= 1.0)) return 1;
    if (steps >= static_cast<double>(kMaxStepsPerSegment)) return kMaxStepsPerSegment;
    return static_cast<uint64_t>(steps);
}

int32_t roundCoordinate(double v) {
    // Points of a cubic lie within the hull of its controls, so within the
    // 32-bit range; the clamp only guards the rounding at its edges.
    double r = std::floor(v + 0.5);
    r = std::clamp(r, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX));
    return static_cast<int32_t>(r);
}

void appendPoint(std::vector<PointPair>* out, PointPair p) {
    if (!out->empty() && out->back().x == p.x && out->back().y == p.y) return;
    out->push_back(p);
}

// The flattened outline, or false when the description is malformed or too
// large. An empty description gives an empty outline; a single point gives
// that point.
bool flatten(const CurveData* curve, bool closed, std::vector<PointPair>* out) {
    if (curve == nullptr) return false;
    uint32_t count = curve->pointCount;
    if (count == 0) return true;
    if (curve->points == nullptr || (count - 1) % 3 != 0) return false;
    const PointPair* c = curve->points;

    uint64_t total = 1;
    for (uint32_t i = 0; i + 3 < count; i += 3) {
        Vec p[4] = {at(c[i]), at(c[i + 1]), at(c[i + 2]), at(c[i + 3])};
        total += stepsFor(p);
        if (total > kMaxPoints) return false;
    }
    out->reserve(static_cast<size_t>(total) + (closed ? 1 : 0));

    appendPoint(out, c[0]);
    for (uint32_t i = 0; i + 3 < count; i += 3) {
        Vec p[4] = {at(c[i]), at(c[i + 1]), at(c[i + 2]), at(c[i + 3])};
        uint64_t steps = stepsFor(p);
        for (uint64_t k = 1; k < steps; ++k) {
            double t = static_cast<double>(k) / static_cast<double>(steps);
            double u = 1.0 - t;
            double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
            appendPoint(out, PointPair{roundCoordinate(w0 * p[0].x + w1 * p[1].x + w2 * p[2].x + w3 * p[3].x),
                                       roundCoordinate(w0 * p[0].y + w1 * p[1].y + w2 * p[2].y + w3 * p[3].y)});
        }
        // The end point exactly, so that rounding never moves it.
        appendPoint(out, c[i + 3]);
    }
    // A closed curve ends where it started.
    if (closed && out->size() > 1) {
        const PointPair& first = out->front();
        if (out->back().x != first.x || out->back().y != first.y) out->push_back(first);
    }
    return true;
}

PointList* convert(HostServices* s, const void* body, bool closed, const char* operation) {
    ReferenceHost* h = hostOf(s);
    h->log(operation);
    if (h->shouldFail(operation)) return nullptr;
    std::vector<PointPair> points;
    if (!flatten(static_cast<const CurveData*>(body), closed, &points)) {
        h->noteFailure(operation, "the curve description is malformed or flattens to too many points");
        return nullptr;
    }
    PointList* list = h->newPointList(static_cast<uint32_t>(points.size()));
    if (list == nullptr) return nullptr;
    std::copy(points.begin(), points.end(), list->points);
    return list;
}

PointList* opCurveToPointList(HostServices* s, const void* body) {
    return convert(s, body, false, "curveToPointList");
}

PointList* opClosedCurveToPointList(HostServices* s, const void* body) {
    return convert(s, body, true, "closedCurveToPointList");
}

}  // namespace

void installGeometryOperations(HostServices* services) {
    services->curveToPointList = opCurveToPointList;
    services->closedCurveToPointList = opClosedCurveToPointList;
}

}  // namespace refhost
