// SPDX-License-Identifier: MIT
// Gradient step planning: the band count the driver chooses and the colour
// at a position, with its rounding and segment cursor.
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "graphics/gradient.h"
#include "tests/driver_harness.h"

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

std::vector<uint32_t> alternating(size_t count) {  // 64 colour steps a segment
    std::vector<uint32_t> c;
    for (size_t i = 0; i < count; ++i) c.push_back(i % 2 == 0 ? kBlack : kWhite);
    return c;
}

// One inch of 1000 host units on 1000 pixels: 0.096 size steps a unit.
int32_t plan(DriverContext* c, const std::vector<uint32_t>& colours, int32_t stopCount, int32_t width,
             int32_t height) {
    GradientDef g{};
    g.stopCount = stopCount;
    uint32_t resolved[32] = {};
    for (size_t i = 0; i < colours.size(); ++i) resolved[i] = colours[i];
    return JAVtCalcOptimalGradSteps(c, &g, resolved, PointPair{0, height}, PointPair{width, 0});
}

TEST(GradientSteps, BandCountIsTheSmallerEstimateCappedAndFloored) {
    struct Case {
        const char* what;
        std::vector<uint32_t> colours;
        int32_t stopCount, width, height, expected;
    } cases[] = {
        {"black to white, large shape: colour estimate", {kBlack, kWhite}, 2, 10000, 10000, 64},
        {"zero-size shape: the stop count", {kBlack, kWhite}, 2, 0, 0, 2},
        {"small shape: 100 * 0.096 + 0.5", {kBlack, kWhite}, 2, 100, 10, 10},
        {"the taller side decides", {kBlack, kWhite}, 2, 100, 300, 29},
        {"red to green: distance 360.6", {rgb(255, 0, 0), rgb(0, 255, 0)}, 2, 10000, 10000, 52},
        {"colour 320, size 192: the size", alternating(6), 6, 2000, 2000, 192},
        {"both above 256: 256", alternating(6), 6, 10000, 10000, 256},
        {"equal colours: floored at the stop count", {kWhite, kWhite, kWhite}, 3, 10000, 10000, 3},
        {"box turned over: the stop count", {kBlack, kWhite}, 2, -500, -500, 2},
        {"more than 32 stops count as 32", std::vector<uint32_t>(32, kWhite), 40, 10000, 10000, 32},
        {"a negative stop count counts as 0", {}, -3, 10000, 10000, 0},
        {"32-bit wide box", {kBlack, kWhite}, 2, INT32_MAX, INT32_MAX, 64},
    };
    javtest::DriverHarness h(1000, 1000);
    DriverContext* c = h.context();
    for (const Case& k : cases) EXPECT_EQ(plan(c, k.colours, k.stopCount, k.width, k.height), k.expected) << k.what;

    // A positive stepCount of the host is used as it is, even above 256, up
    // to the bound of 4096 bands.
    for (auto [asked, drawn] : {std::pair{300, 300}, {4096, 4096}, {4097, 4096}, {INT32_MAX, 4096}}) {
        GradientDef g{};
        g.stepCount = asked;
        GradientBands bands;
        JAVtGradBandsBegin(c, &g, PointPair{0, 0}, PointPair{0, 0}, &bands);
        EXPECT_EQ(bands.count, drawn) << asked;
    }
}

TEST(GradientSteps, WithoutAUsableTargetSizeTheColourEstimateDecidesWithin1To256) {
    void (*spoilers[])(TargetParams*) = {
        [](TargetParams* p) { p->targetPixelRect[2] = 0; },
        [](TargetParams* p) { p->targetPixelRect[1] = p->targetPixelRect[3]; },
        [](TargetParams* p) { p->targetExtentY = 0.0; },
        [](TargetParams* p) { p->targetExtentX = std::numeric_limits<double>::infinity(); },
        [](TargetParams* p) { p->targetExtentX = std::nan(""); },
    };
    for (auto spoil : spoilers) {
        javtest::DriverHarness h(1000, 1000);
        DriverContext* c = h.context();
        spoil(h.params());
        EXPECT_EQ(plan(c, {kBlack, kWhite}, 2, 0, 0), 64);  // not the stop count
        EXPECT_EQ(plan(c, {kWhite, kWhite, kWhite}, 3, 10000, 10000), 1);
        EXPECT_EQ(plan(c, alternating(8), 8, 0, 0), 256);
    }
}

TEST(GradientSteps, ColourAtAPosition) {
    const uint32_t kUnset = 0xDEADBEEF;
    struct Case {
        const char* what;
        std::vector<uint32_t> colours;
        std::vector<int32_t> positions;
        int32_t cursor, position, result;
        uint32_t colour;
        int32_t cursorAfter;
    } cases[] = {
        {"before the first stop: its colour", {rgb(1, 2, 3), kWhite}, {20, 100}, 0, 5, 1, rgb(1, 2, 3), 0},
        {"rising reaches the stop exactly", {kBlack, kWhite}, {0, 100}, 0, 100, 1, kWhite, 0},
        {"falling ends one above the stop", {rgb(10, 10, 10), kBlack}, {0, 100}, 0, 100, 1, rgb(1, 1, 1), 0},
        {"at a middle stop: the segment ending there", {kBlack, rgb(100, 0, 200), kBlack}, {0, 40, 100}, 0, 40, 1,
         rgb(100, 0, 200), 0},
        {"past it: the next segment, cursor moved", {kBlack, rgb(100, 0, 200), kBlack}, {0, 40, 100}, 0, 70, 1,
         rgb(51, 0, 101), 1},
        {"beyond the last stop: no colour", {kBlack, kWhite}, {0, 80}, 0, 81, 0, kUnset, 0},
        {"single stop: nothing after it", {rgb(1, 2, 3)}, {0}, 0, 1, 0, kUnset, 0},
        {"two stops at one position: fraction 1", {kBlack, rgb(9, 9, 9), rgb(200, 100, 50)}, {0, 50, 50}, 2, 50, 1,
         rgb(200, 100, 50), 1},
        {"no stops: no colour", {}, {}, 0, 0, 0, kUnset, 0},
        {"stops at the 32-bit limits", {kBlack, kWhite}, {INT32_MIN, INT32_MAX}, 0, 0, 1, rgb(128, 128, 128), 0},
    };
    for (const Case& k : cases) {
        GradientDef g{};
        g.stopCount = static_cast<int32_t>(k.colours.size());
        uint32_t colours[32] = {};
        for (size_t i = 0; i < k.colours.size(); ++i) {
            colours[i] = k.colours[i];
            g.stopPositions[i] = k.positions[i];
        }
        int32_t cursor = k.cursor;
        uint32_t colour = kUnset;
        EXPECT_EQ(JAVtGradColourAt(&g, colours, &cursor, k.position, &colour), k.result) << k.what;
        EXPECT_EQ(colour, k.colour) << k.what;
        EXPECT_EQ(cursor, k.cursorAfter) << k.what;
    }
}

TEST(GradientSteps, StopCountAbove32SearchesOnly32Stops) {
    GradientDef g{};
    g.stopCount = 1000;
    for (int32_t i = 0; i < 32; ++i) g.stopPositions[i] = i;
    g.centreXPercent = 100;  // where a 33rd position would be read
    uint32_t colours[32] = {};
    int32_t cursor = 0;
    uint32_t colour = 0;
    EXPECT_EQ(JAVtGradColourAt(&g, colours, &cursor, 31, &colour), 1);
    EXPECT_EQ(JAVtGradColourAt(&g, colours, &cursor, 32, &colour), 0);
}

}  // namespace
