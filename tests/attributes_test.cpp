// Pens and fills: the "a" and "t" records, the state they leave in the
// context, and colour resolution in palette mode.
#include <vector>

#include "graphics/graphics.h"
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

constexpr uint32_t kColourA = 0x332211;  // red 17, green 34, blue 51
constexpr uint32_t kColourB = 0x665544;  // red 68, green 85, blue 102
constexpr uint32_t kColourC = 0x998877;  // red 119, green 136, blue 153

// 1000 host units onto 100 pixels: LX(d) = d / 10.
struct Target {
    DriverHarness h;
    DriverContext* c = nullptr;
    explicit Target(int32_t colourMode = 4) {
        javtest::squareTarget(h.host(), 1000, 100);
        h.params()->colourMode = colourMode;
        c = h.start();
    }
};

TEST(LineAtt, WidthBecomesPixelsAtLeastOne) {
    struct Case {
        const char* behaviour;
        int32_t width;
        int32_t pixels;
    } cases[] = {
        {"below half a pixel", 4, 1},
        {"exactly half a pixel rounds up", 5, 1},
        {"two and a half pixels", 25, 3},
        {"zero stays zero", 0, 0},
        {"negative passes unchanged", -7, -7},
        {"largest width", INT32_MAX, 214748365},
    };
    for (const Case& k : cases) {
        Target t;
        LineAttributes pen{};
        pen.lineValueA = 9;
        pen.lineWidth = k.width;
        pen.lineColour = kColourA;
        pen.lineValueB = -3;
        pen.rest[27] = 0x5A;
        HostObject* object = t.h.object(28, pen);
        EXPECT_EQ(JAVtLineAtt(t.c, object), 1);
        EXPECT_EQ(t.h.take(), "a,17,34,51,-3,9," + std::to_string(k.pixels) + "\n") << k.behaviour;
        // The object and the context's copy both hold the pixel width.
        EXPECT_EQ(JAVtBody<LineAttributes>(object)->lineWidth, k.pixels) << k.behaviour;
        EXPECT_EQ(t.c->currentLineAtt.lineWidth, k.pixels) << k.behaviour;
        EXPECT_EQ(t.c->currentLineAtt.rest[27], 0x5A) << k.behaviour;
        EXPECT_EQ(t.c->recordCount, 1) << k.behaviour;
        t.h.host().releaseObject(object);
    }
}

FillAttributes solid(int32_t fillStyle) {
    FillAttributes fill{};
    fill.foreColour = kColourA;
    fill.fillStyle = fillStyle;
    fill.fillColour = kColourB;
    fill.fillParam = 7;
    return fill;
}

FillAttributes gradient(int32_t kind, std::vector<uint32_t> colours, std::vector<int32_t> positions) {
    FillAttributes fill = solid(5);
    fill.gradient.gradientKind = kind;
    fill.gradient.stopCount = static_cast<int32_t>(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        fill.gradient.stopColours[i] = colours[i];
        fill.gradient.stopPositions[i] = positions[i];
    }
    fill.gradient.angle = 45;
    return fill;
}

FillAttributes withFore(FillAttributes fill, int32_t enable, int32_t shown) {
    fill.foreEnable = enable;
    fill.foreShown = shown;
    return fill;
}

FillAttributes withStopCount(FillAttributes fill, int32_t count) {
    fill.gradient.stopCount = count;
    return fill;
}

TEST(FillAtt, EveryRuleOfTheFillRecord) {
    struct Case {
        const char* behaviour;
        FillAttributes fill;
        const char* record;
        int32_t driverGradient;
    } cases[] = {
        {"no fill", solid(0), "t,-1,-1,-1,-1,-1,-1,7\n", 0},
        {"no fill, other code", solid(2), "t,-1,-1,-1,-1,-1,-1,7\n", 0},
        {"fore colour needs enable and shown", withFore(solid(0), 1, 1), "t,17,34,51,-1,-1,-1,7\n", 0},
        {"fore enabled but not shown", withFore(solid(0), 1, 0), "t,-1,-1,-1,-1,-1,-1,7\n", 0},
        {"fore shown but not enabled", withFore(solid(0), 0, 1), "t,-1,-1,-1,-1,-1,-1,7\n", 0},
        {"solid", solid(1), "t,-1,-1,-1,68,85,102,7\n", 0},
        {"any other style is solid", solid(-9), "t,-1,-1,-1,68,85,102,7\n", 0},
        {"gradient without stops is solid", gradient(2, {}, {}), "t,-1,-1,-1,68,85,102,7\n", 0},
        {"elliptical", gradient(2, {kColourA, kColourC}, {0, 100}), "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"rectangular, even in a viewer form", gradient(3, {kColourA, kColourC, kColourA}, {0, 50, 100}),
         "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"two stops to 100: form 0", gradient(1, {kColourA, kColourC}, {0, 100}),
         "t,-1,-1,-1,17,34,51,7,119,136,153,0,45\n", 0},
        {"form 0 keeps the fore colour", withFore(gradient(0, {kColourA, kColourC}, {0, 100}), 1, 1),
         "t,17,34,51,17,34,51,7,119,136,153,0,45\n", 0},
        {"form 0 only looks at the second position", gradient(1, {kColourA, kColourC}, {30, 100}),
         "t,-1,-1,-1,17,34,51,7,119,136,153,0,45\n", 0},
        {"two stops to 99", gradient(1, {kColourA, kColourC}, {0, 99}), "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"symmetric three stops: form 1", gradient(1, {kColourA, kColourC, kColourA}, {0, 50, 100}),
         "t,-1,-1,-1,17,34,51,7,119,136,153,1,45\n", 0},
        {"three stops, middle at 49", gradient(1, {kColourA, kColourC, kColourA}, {0, 49, 100}),
         "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"outer colours differ in red", gradient(1, {kColourA, kColourC, kColourA + 1}, {0, 50, 100}),
         "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"outer colours differ in the unused byte",
         gradient(1, {kColourA, kColourC, kColourA | 0x01000000u}, {0, 50, 100}), "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"four stops", gradient(1, {kColourA, kColourC, kColourA, kColourC}, {0, 50, 100, 100}),
         "t,-1,-1,-1,-1,-1,-1,7\n", 1},
        {"negative stop count", withStopCount(gradient(1, {kColourA, kColourC}, {0, 100}), -1),
         "t,-1,-1,-1,-1,-1,-1,7\n", 1},
    };
    for (const Case& k : cases) {
        Target t;
        EXPECT_EQ(t.h.put(29, k.fill), 1) << k.behaviour;
        EXPECT_EQ(t.h.writes(), 1u) << k.behaviour;
        EXPECT_EQ(t.h.take(), k.record) << k.behaviour;
        EXPECT_EQ(t.c->driverGradient, k.driverGradient) << k.behaviour;
        EXPECT_EQ(std::memcmp(&t.c->currentFillAtt, &k.fill, sizeof(FillAttributes)), 0) << k.behaviour;
        EXPECT_EQ(t.c->recordCount, 0) << k.behaviour;
    }
}

TEST(FillAtt, PictureFillWritesNothingAndClearsTheDriverGradient) {
    Target t;
    t.h.put(29, gradient(2, {kColourA, kColourC}, {0, 100}));
    ASSERT_EQ(t.c->driverGradient, 1);
    t.h.take();
    FillAttributes picture = solid(4);
    picture.pictureRef = 0x1234567890ull;
    picture.pictureMode = 3;
    EXPECT_EQ(t.h.put(29, picture), 1);
    EXPECT_EQ(t.h.take(), "");
    EXPECT_EQ(t.c->driverGradient, 0);
    EXPECT_EQ(t.c->currentFillAtt.fillStyle, 4);
    EXPECT_EQ(t.c->currentFillAtt.pictureRef, 0x1234567890ull);
    EXPECT_EQ(t.c->currentFillAtt.pictureMode, 3);
}

HostObject* paletteObject(DriverHarness& h, std::vector<int32_t> table) {
    HostObject* object = h.object(32);
    h.host().attachBlock(object, 32, table.data(), table.size() * sizeof(int32_t));
    return object;
}

// In palette mode colour entries are indices into the palette copy.
TEST(Colours, PaletteIndicesOutsideTheTable) {
    struct Case {
        const char* behaviour;
        std::vector<int32_t> palette;  // count, colours; empty: no palette sent
        uint32_t entry;
        std::string rgb;
    } cases[] = {
        {"index within the table", {3, 0x030201, 0x060504, 0x090807}, 2, "7,8,9"},
        {"index equal to the count selects entry 0", {3, 0x030201, 0x060504, 0x090807}, 3, "1,2,3"},
        {"index far beyond selects entry 0", {3, 0x030201, 0x060504, 0x090807}, 0x7FFFFFFF, "1,2,3"},
        {"negative index is black", {3, 0x030201, 0x060504, 0x090807}, 0xFFFFFFFF, "0,0,0"},
        {"no palette yet is black", {}, 1, "0,0,0"},
        {"empty palette is black", {0}, 0, "0,0,0"},
        {"palette of negative count is black", {-2}, 0, "0,0,0"},
    };
    for (const Case& k : cases) {
        Target t(0);
        if (!k.palette.empty()) t.h.put(paletteObject(t.h, k.palette));
        LineAttributes pen{};
        pen.lineColour = k.entry;
        t.h.put(28, pen);
        EXPECT_EQ(t.h.take(), "a," + k.rgb + ",0,0,0\n") << k.behaviour;
        // Stops of the viewer's gradient forms resolve the same way.
        t.h.put(29, gradient(1, {k.entry, k.entry}, {0, 100}));
        EXPECT_EQ(t.h.take(), "t,-1,-1,-1," + k.rgb + ",7," + k.rgb + ",0,45\n") << k.behaviour;
    }
}

}  // namespace
