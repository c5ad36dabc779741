// SPDX-License-Identifier: MIT
// Shapes the dispatcher writes itself (rectangles, rounded rectangles,
// circles, ellipses, clips, tagged rectangles), the gradient enclosure of
// closed shapes, and curves the host cannot flatten.
#include <functional>
#include <vector>

#include "tests/driver_harness.h"

namespace {

using refhost::ReferenceHost;
using Maker = std::function<HostObject*(ReferenceHost&)>;

HostObject* withInts(ReferenceHost& host, int32_t kind, const std::vector<int32_t>& ints) {
    HostObject* object = host.newObject(kind, ints.size() * sizeof(int32_t));
    std::memcpy(host.payload(object), ints.data(), ints.size() * sizeof(int32_t));
    return object;
}

Maker shape(int32_t kind, std::vector<int32_t> ints) {
    return [=](ReferenceHost& host) { return withInts(host, kind, ints); };
}

// An object of `kind` whose field at offset 32 refers to a block of `ints`
// (none when empty): tagged rectangles, palettes, curves' control points.
Maker referring(int32_t kind, std::vector<int32_t> head, std::vector<int32_t> ints) {
    return [=](ReferenceHost& host) {
        HostObject* object = withInts(host, kind, head);
        if (!ints.empty()) host.attachBlock(object, 32, ints.data(), ints.size() * sizeof(int32_t));
        return object;
    };
}
Maker tagged(int32_t tag, std::vector<int32_t> values) { return referring(kKindTaggedRect, {tag}, values); }
Maker curve(int32_t kind, std::vector<int32_t> xy) {
    return referring(kind, {static_cast<int32_t>(xy.size() / 2)}, xy);
}

// A clip whose reference is an object of `nestedKind` (0: none).
Maker clip(int32_t mode, int32_t nestedKind = 0, std::vector<int32_t> nested = {}) {
    return [=](ReferenceHost& host) {
        HostObject* object = withInts(host, kKindClip, {mode});
        if (nestedKind != 0) host.attachObject(object, 32, withInts(host, nestedKind, nested));
        return object;
    };
}

// A fill whose elliptical gradient the driver draws as bands.
FillAttributes driverGradient() {
    FillAttributes fill{.fillStyle = kFillGradient, .gradient = {.gradientKind = kGradientElliptical, .stopCount = 2}};
    fill.gradient.stopColours[1] = 0xFF0000;
    fill.gradient.stopPositions[1] = 100;
    return fill;
}

// 1000 host units onto 100 pixels: X(x) = x / 10, Y(y) = 100 - y / 10.
struct Target : javtest::DriverHarness {
    explicit Target(int32_t units = 1000, int32_t pixels = 100) : DriverHarness(units, pixels) {}
    int32_t put(const Maker& make) { return DriverHarness::put(make(host())); }
};

struct RecordCase {
    const char* behaviour;
    Maker object;
    const char* records;
    int32_t counted;  // record groups added to recordCount
    int32_t result = 1;
};

TEST(Shapes, ObjectsInRecordsOut) {
    const RecordCase cases[] = {
        {"rectangle reversed on both axes", shape(kKindRectangle, {500, 400, 100, 900}), "r,10,10,40,50\n", 1},
        {"rectangle 0.4 pixels wide", shape(kKindRectangle, {0, 900, 4, 400}), "r,0,10,0,50\n", 1},
        {"round rect starts at x0, extends right", shape(kKindRoundRect, {500, 400, 100, 900, 30, 20}), "d,50,10,40,50,3,2\n", 1},
        {"circle of radius 0 at its centre", shape(kKindCircle, {300, 700, 0}), "o,30,30,0,0\n", 1},
        {"tagged rect keeps signs", tagged(kTagRectangle, {100, 400, 500, 900}), "k,50,60,-40,-50\n", 1},
        {"tagged rect without values", tagged(kTagRectangle, {}), "", 0},
        {"clip open without rectangle", clip(kClipOpen), "", 0},
        {"clip open on a circle", clip(kClipOpen, kKindCircle, {300, 700, 100}), "", 0},
        {"clip end with a rectangle", clip(kClipEnd, kKindRectangle, {100, 900, 500, 400}), "", 0},
        {"clip of another mode", clip(2, kKindRectangle, {100, 900, 500, 400}), "", 0},
        // A curve of no or one point still writes a line; other counts that
        // are no start point and groups of three fail.
        {"empty curve", curve(kKindOpenCurve, {}), "l,0\n", 1},
        {"one-point curve", curve(kKindOpenCurve, {500, 500}), "l,1\n50,50\n", 1},
        {"two points are no poly-Bezier", curve(kKindOpenCurve, {0, 0, 1, 1}), "", 0, 0},
        {"five points are no poly-Bezier", curve(kKindClosedCurve, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4}), "", 0, 0},
    };
    for (const RecordCase& k : cases) {
        Target t;
        EXPECT_EQ(t.put(k.object), k.result) << k.behaviour;
        EXPECT_LE(t.writes(), 1u) << k.behaviour;
        EXPECT_EQ(t.take(), k.records) << k.behaviour;
        EXPECT_EQ(t.context()->recordCount, k.counted) << k.behaviour;
    }
}

// Fields at both ends of the 32-bit range saturate, never wrap (the fuzz
// targets put every field of every shape at the limits under the sanitizers).
TEST(Shapes, ExtremeCoordinatesSaturate) {
    Target t(100, 100);
    t.put(shape(kKindCircle, {INT32_MIN, INT32_MAX, INT32_MAX}));
    t.put(shape(kKindCircle, {INT32_MAX, INT32_MIN, INT32_MIN}));  // a negative radius
    EXPECT_EQ(t.take(),
              "o,-2147483648,-2147483648,2147483647,2147483647\n"
              "o,2147483647,2147483647,-2147483648,-2147483648\n");
}

// A negative radius turns the circle's gradient box over on both axes:
// left 600, top 400, right 400, bottom 600. The concentric fill works on
// absolute distances: centred at 0 percent, (600, 600), radius
// trunc(sqrt(2) * 200 + 0.5) = 283, then 283 - 188. With two stops and a
// box of negative size the planned band count is the stop count.
TEST(Shapes, ACircleOfNegativeRadiusGetsItsGradientBands) {
    Target t;
    t.DriverHarness::put(kKindFillAtt, driverGradient());
    t.take();
    EXPECT_EQ(t.put(shape(kKindCircle, {500, 500, -100})), 1);
    EXPECT_EQ(t.take(),
              "q,2\no,60,60,-20,-20\n"
              "t,-1,-1,-1,0,0,0,0\no,32,12,56,56\n"
              "t,-1,-1,-1,0,0,255,0\no,50,30,20,20\n"
              "q,0\n");
}

}  // namespace
