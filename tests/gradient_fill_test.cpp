// SPDX-License-Identifier: MIT
// Gradient fills: the band records of elliptical, rectangular and linear
// gradients, how a fill ends early and the point lists it borrows. The
// target maps host units one to one onto pixels (x unchanged, y turned over
// as 1000 - y).
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gradient.h"
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

constexpr uint32_t kWhite = 0xFFFFFF;

struct Box {
    int32_t left, top, right, bottom;
};

struct GradientHarness : DriverHarness {
    // Black to white from 0 to 100 percent, `steps` bands, fillParam 7.
    GradientHarness(int32_t kind, int32_t steps) : DriverHarness(1000, 1000) {
        FillAttributes& fill = context()->currentFillAtt;
        fill.fillStyle = kFillGradient;
        fill.fillParam = 7;
        context()->driverGradient = 1;
        GradientDef& g = fill.gradient;
        g.gradientKind = kind;
        g.stopCount = 2;
        g.stopColours[1] = kWhite;
        g.stopPositions[1] = 100;
        g.centreXPercent = 50;
        g.centreYPercent = 50;
        g.stepCount = steps;
    }
    GradientDef& gradient() { return context()->currentFillAtt.gradient; }
    int32_t fill(Box b) {
        return JAVtGradientFill(context(), PointPair{b.left, b.top}, PointPair{b.right, b.bottom});
    }
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// One band: the fields of its "t" record and of its shape record.
struct Band {
    std::vector<int64_t> fill, values;
};

// The bands of a fill; anything but "t,-1,-1,-1,R,G,B,7" followed by one
// "o", "r" or four-point "p" record fails the test.
std::vector<Band> bandsOf(const std::string& text) {
    std::vector<std::string> lines = split(text, '\n');
    std::vector<Band> bands;
    auto numbers = [](const std::string& fields) {
        std::vector<int64_t> values;
        for (const std::string& f : split(fields, ',')) values.push_back(std::strtoll(f.c_str(), nullptr, 10));
        return values;
    };
    for (size_t i = 0; i < lines.size();) {
        const std::string& fill = lines[i];
        const std::string shape = i + 1 < lines.size() ? lines[i + 1] : "";
        bool linear = shape == "p,4" && i + 2 < lines.size();
        Band band{numbers(fill.substr(2)), numbers(linear ? lines[i + 2] : shape.substr(shape.empty() ? 0 : 2))};
        bool shaped = linear || shape.rfind("o,", 0) == 0 || shape.rfind("r,", 0) == 0;
        if (fill.rfind("t,-1,-1,-1,", 0) != 0 || band.fill.size() != 7 || !shaped ||
            band.values.size() != (linear ? 8u : 4u)) {
            ADD_FAILURE() << "not a band at line " << i << " of\n" << text;
            return bands;
        }
        bands.push_back(band);
        i += linear ? 3 : 2;
    }
    return bands;
}

// The gradients sample pins linear bands of an odd count and at 90 and -90
// degrees.
TEST(GradientFill, BandShapes) {
    struct Case {
        const char* what;
        int32_t kind, steps, angle;
        Box box;
        int32_t aspectX, aspectY;
        const char* shapes;  // the shape record of each band, in order
    } cases[] = {
        {"ellipse centred in a square: r = trunc(sqrt(2) * 50 + 0.5) = 71, then 71 - 47", kGradientElliptical, 2, 0,
         {0, 100, 100, 0}, 0, 0, "o,-21,879,142,142\no,26,926,48,48\n"},
        {"ellipse of aspect 2 : 1 through the farthest corner", kGradientElliptical, 1, 0, {0, 100, 100, 0}, 2, 1,
         "o,-62,894,224,112\n"},
        {"ellipse on a point: the zero size counts as 1", kGradientElliptical, 2, 0, {10, 10, 10, 10}, 0, 0,
         "o,10,988,2,2\no,10,988,2,2\n"},
        {"rectangle of the box's own aspect is the box", kGradientRectangular, 2, 0, {0, 100, 400, 0}, 0, 0,
         "r,0,900,400,100\nr,133,933,134,34\n"},
        {"wide box, aspect 1 : 1: based on the width", kGradientRectangular, 2, 0, {0, 100, 400, 0}, 1, 1,
         "r,0,750,400,400\nr,133,883,134,134\n"},
        {"tall box, aspect 1 : 1: based on the height", kGradientRectangular, 2, 0, {0, 400, 100, 0}, 1, 1,
         "r,-150,600,400,400\nr,-17,733,134,134\n"},
        {"one band covers the whole rectangle", kGradientRectangular, 1, 0, {0, 100, 100, 0}, 0, 0, "r,0,900,100,100\n"},
        {"one band covers the whole strip", kGradientLinear, 1, 0, {0, 100, 100, 0}, 0, 0,
         "p,4\n0,1000,0,900,100,900,100,1000\n"},
    };
    for (const Case& k : cases) {
        GradientHarness h(k.kind, k.steps);
        h.gradient().angle = k.angle;
        h.gradient().aspectX = k.aspectX;
        h.gradient().aspectY = k.aspectY;
        EXPECT_EQ(h.fill(k.box), 1) << k.what;
        std::string shapes;
        for (const std::string& line : split(h.text(), '\n')) {
            if (line.rfind("t,", 0) != 0) shapes += line + "\n";
        }
        EXPECT_EQ(shapes, k.shapes) << k.what;
        EXPECT_EQ(h.text().substr(0, 19), "t,-1,-1,-1,0,0,0,7\n") << k.what << ": the first band has the first colour";
    }
}

// Gradients that draw exactly as another: centre percentages are clamped
// to 0 to 100; on a flat box an angle whose cosine is (all but) zero draws
// the vertical bands of 90 or -90 degrees; any other angle but 0, 90 and
// -90 follows a diagonal of the box by its sign alone, however many turns
// it makes.
TEST(GradientFill, GradientsThatDrawAsAnother) {
    struct Look {
        int32_t angle, centreX, centreY;
    };
    const Box wide{0, 100, 200, 0}, flat{0, 50, 200, 50};
    const struct {
        int32_t kind;
        Box box;
        Look given, drawsAs;
    } cases[] = {
        {kGradientElliptical, wide, {0, 150, -5}, {0, 100, 0}},
        {kGradientRectangular, wide, {0, 150, -5}, {0, 100, 0}},
        {kGradientLinear, flat, {270, 50, 50}, {-90, 50, 50}},
        {kGradientLinear, flat, {-270, 50, 50}, {90, 50, 50}},
        {kGradientLinear, flat, {450, 50, 50}, {90, 50, 50}},
        {kGradientLinear, flat, {-450, 50, 50}, {-90, 50, 50}},
        {kGradientLinear, flat, {900000090, 50, 50}, {90, 50, 50}},
        {kGradientLinear, wide, {135, 50, 50}, {45, 50, 50}},
        {kGradientLinear, wide, {400, 50, 50}, {45, 50, 50}},
        {kGradientLinear, wide, {INT32_MAX, 50, 50}, {45, 50, 50}},
        {kGradientLinear, wide, {-200, 50, 50}, {-45, 50, 50}},
        {kGradientLinear, wide, {INT32_MIN, 50, 50}, {-45, 50, 50}},
    };
    for (const auto& k : cases) {
        std::string drawn[2];
        for (int i = 0; i < 2; ++i) {
            const Look& look = i == 0 ? k.given : k.drawsAs;
            GradientHarness h(k.kind, 3);
            h.gradient().angle = look.angle;
            h.gradient().centreXPercent = look.centreX;
            h.gradient().centreYPercent = look.centreY;
            EXPECT_EQ(h.fill(k.box), 1) << look.angle;
            drawn[i] = h.text();
        }
        EXPECT_EQ(drawn[0], drawn[1]) << "kind " << k.kind << " angle " << k.given.angle;
    }
}

// A position beyond the last stop ends the fill, keeping the bands drawn;
// a polygon under it still closes its clip and counts one record group.
TEST(GradientFill, PositionBeyondTheLastStopEndsTheFillKeepingItsBands) {
    const int32_t triangle[] = {3, 0, 0, 100, 0, 0, 100};
    for (int32_t kind : {kGradientLinear, kGradientElliptical, kGradientRectangular}) {
        GradientHarness h(kind, 6);  // positions 0, 20, 40, 60, 80, 100
        h.gradient().stopPositions[1] = 80;
        EXPECT_EQ(h.fill({0, 100, 100, 0}), 0) << kind;
        std::vector<Band> bands = bandsOf(h.take());
        ASSERT_EQ(bands.size(), 5u) << kind;
        EXPECT_EQ(bands.back().fill[3], 255) << kind;
        HostObject* polygon = h.object(kKindPolygon);
        h.host().attachBlock(polygon, kHostObjectPayloadOffset, triangle, sizeof triangle);
        EXPECT_EQ(h.put(polygon), 1);
        const std::string head = "q,2\np,3\n0,1000,100,1000,0,900\n", text = h.take();
        ASSERT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_EQ(bandsOf(text.substr(head.size(), text.size() - head.size() - 4)).size(), 5u) << text;
        EXPECT_EQ(text.substr(text.size() - 4), "q,0\n");
        EXPECT_EQ(h.context()->recordCount, 1);
    }
}

// A point list the host cannot give ends the fill at that band; the shape
// under it, a rectangle or a polygon, reports the failure after closing its
// clip, so that nothing drawn after it stays clipped to it.
TEST(GradientFill, EveryPointListIsReturnedAndAMissingOneFailsTheShapeWithItsClipClosed) {
    const int32_t square[] = {4, 0, 100, 100, 100, 100, 0, 0, 0};
    for (uint64_t failing : {1u, 3u}) {
        GradientHarness h(kGradientLinear, 4);
        size_t blocks = h.host().liveBlocks();
        h.host().failAt("newPointList", failing);
        EXPECT_EQ(h.fill({0, 100, 100, 0}), 0);
        EXPECT_EQ(bandsOf(h.text()).size(), failing - 1);
        EXPECT_EQ(h.host().liveBlocks(), blocks);
        h.take();
        h.host().failAt("newPointList", failing);
        EXPECT_EQ(h.put(kKindRectangle, RectangleData{0, 100, 100, 0}), 0);
        HostObject* polygon = h.object(kKindPolygon);
        h.host().attachBlock(polygon, kHostObjectPayloadOffset, square, sizeof square);
        h.host().failAt("newPointList", failing);
        EXPECT_EQ(h.put(polygon), 0);
        const std::string text = h.take();
        for (const std::string head : {"q,2\nr,0,900,100,100\n", "q,2\np,4\n0,900,100,900,100,1000,0,1000\n"}) {
            size_t start = text.find(head), end = text.find("q,0\n", start);
            ASSERT_NE(end, std::string::npos) << text;
            EXPECT_EQ(bandsOf(text.substr(start + head.size(), end - start - head.size())).size(), failing - 1) << text;
        }
        EXPECT_EQ(text.substr(text.size() - 4), "q,0\n");
    }
}

// A stepCount far beyond any viewer's need is drawn as 4096 bands, the last
// in the last stop's colour: a bounded object makes bounded output.
TEST(GradientFill, AHugeStepCountDrawsTheBoundOfBands) {
    for (int32_t kind : {kGradientLinear, kGradientElliptical, kGradientRectangular}) {
        GradientHarness h(kind, INT32_MAX);
        EXPECT_EQ(h.fill({0, 100, 100, 0}), 1);
        std::vector<Band> bands = bandsOf(h.text());
        ASSERT_EQ(bands.size(), 4096u) << kind;
        EXPECT_EQ(bands.back().fill, (std::vector<int64_t>{-1, -1, -1, 255, 255, 255, 7})) << kind;
    }
}

}  // namespace
