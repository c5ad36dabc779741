// SPDX-License-Identifier: MIT
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
TEST(LineAtt, WidthBecomesPixelsAtLeastOne) {
    struct Case {
        int32_t width, pixels;
    } cases[] = {{4, 1}, {5, 1}, {25, 3}, {0, 0}, {-7, -7}, {INT32_MAX, 214748365}};  // negative: unchanged
    for (const Case& k : cases) {
        DriverHarness h(1000, 100);
        LineAttributes pen{.lineValueA = 9, .lineWidth = k.width, .lineColour = kColourA, .lineValueB = -3};
        pen.rest[27] = 0x5A;
        HostObject* object = h.object(kKindLineAtt, pen);
        EXPECT_EQ(JAVtLineAtt(h.context(), object), 1);
        EXPECT_EQ(h.take(), "a,17,34,51,-3,9," + std::to_string(k.pixels) + "\n") << k.width;
        // The object and the context's copy both hold the pixel width.
        EXPECT_EQ(JAVtBody<LineAttributes>(object)->lineWidth, k.pixels) << k.width;
        EXPECT_EQ(h.context()->currentLineAtt.lineWidth, k.pixels) << k.width;
        EXPECT_EQ(h.context()->currentLineAtt.rest[27], 0x5A) << k.width;
        EXPECT_EQ(h.context()->recordCount, 1) << k.width;
        h.host().releaseObject(object);
    }
}

FillAttributes fill(int32_t fillStyle, int32_t enable = 0, int32_t shown = 0) {
    return FillAttributes{.foreEnable = enable, .foreColour = kColourA, .foreShown = shown, .fillStyle = fillStyle,
                          .fillColour = kColourB, .fillParam = 7};
}

FillAttributes gradient(int32_t kind, std::vector<uint32_t> colours, std::vector<int32_t> positions) {
    FillAttributes f = fill(kFillGradient);
    f.gradient.gradientKind = kind;
    f.gradient.stopCount = static_cast<int32_t>(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        f.gradient.stopColours[i] = colours[i];
        f.gradient.stopPositions[i] = positions[i];
    }
    f.gradient.angle = 45;
    return f;
}

FillAttributes changed(FillAttributes f, void (*change)(FillAttributes&)) {
    change(f);
    return f;
}

// Each case follows a gradient the driver draws, so a fill that draws none
// must clear driverGradient. The bundled examples pin the plain forms.
TEST(FillAtt, EveryRuleOfTheFillRecord) {
    const std::string none = "t,-1,-1,-1,-1,-1,-1,7\n", solid = "t,-1,-1,-1,68,85,102,7\n";
    const std::vector<uint32_t> aca = {kColourA, kColourC, kColourA};
    struct Case {
        const char* behaviour;
        FillAttributes fill;
        std::string record;
        int32_t driverGradient;
    } cases[] = {
        {"no fill, other code", fill(kFillNoneAlt), none, 0},
        {"fore enabled but not shown", fill(kFillNone, 1, 0), none, 0},
        {"fore shown but not enabled", fill(kFillNone, 0, 1), none, 0},
        {"any other style is solid", fill(-9), solid, 0},
        {"gradient without stops is solid", gradient(kGradientElliptical, {}, {}), solid, 0},
        {"rectangular, even in a viewer form", gradient(kGradientRectangular, aca, {0, 50, 100}), none, 1},
        {"form 0 keeps the fore colour", changed(gradient(0, {kColourA, kColourC}, {0, 100}),
                                                  [](FillAttributes& f) { f.foreEnable = f.foreShown = 1; }),
         "t,17,34,51,17,34,51,7,119,136,153,0,45\n", 0},
        {"form 0 only looks at the second position", gradient(kGradientLinear, {kColourA, kColourC}, {30, 100}),
         "t,-1,-1,-1,17,34,51,7,119,136,153,0,45\n", 0},
        {"three stops, middle at 49", gradient(kGradientLinear, aca, {0, 49, 100}), none, 1},
        {"outer colours differ in red", gradient(kGradientLinear, {kColourA, kColourC, kColourA + 1}, {0, 50, 100}), none, 1},
        {"outer colours differ in the unused byte",
         gradient(kGradientLinear, {kColourA, kColourC, kColourA | 0x01000000u}, {0, 50, 100}), none, 1},
        {"four stops", gradient(kGradientLinear, {kColourA, kColourC, kColourA, kColourC}, {0, 50, 100, 100}), none, 1},
        {"negative stop count", changed(gradient(kGradientLinear, {kColourA, kColourC}, {0, 100}),
                                        [](FillAttributes& f) { f.gradient.stopCount = -1; }), none, 1},
        {"a picture fill writes nothing", changed(fill(kFillPicture), [](FillAttributes& f) { f.pictureRef = 0x1234567890ull; }),
         "", 0},
    };
    for (const Case& k : cases) {
        DriverHarness h(1000, 100);
        h.put(kKindFillAtt, gradient(kGradientElliptical, {kColourA, kColourC}, {0, 100}));
        h.take();
        EXPECT_EQ(h.put(kKindFillAtt, k.fill), 1) << k.behaviour;
        EXPECT_EQ(h.writes(), k.record.empty() ? 0u : 1u) << k.behaviour;
        EXPECT_EQ(h.take(), k.record) << k.behaviour;
        EXPECT_EQ(h.context()->driverGradient, k.driverGradient) << k.behaviour;
        EXPECT_EQ(std::memcmp(&h.context()->currentFillAtt, &k.fill, sizeof(FillAttributes)), 0) << k.behaviour;
        EXPECT_EQ(h.context()->recordCount, 0) << k.behaviour;
    }
}

// In palette mode colour entries are indices into the palette copy; the
// stops of the viewer's gradient forms resolve the same way.
TEST(Colours, PaletteIndicesOutsideTheTable) {
    const std::vector<int32_t> three = {3, 0x030201, 0x060504, 0x090807};
    struct Case {
        const char* behaviour;
        std::vector<std::vector<int32_t>> palettes;  // count and colours, sent in order; {}: no table
        uint32_t entry;
        std::string rgb;
    } cases[] = {
        {"index within the table", {three}, 2, "7,8,9"},
        {"index equal to the count selects entry 0", {three}, 3, "1,2,3"},
        {"index far beyond selects entry 0", {three}, 0x7FFFFFFF, "1,2,3"},
        {"negative index is black", {three}, 0xFFFFFFFF, "0,0,0"},
        {"no palette yet is black", {}, 1, "0,0,0"},
        {"a palette object without a table drops the copy", {three, {}}, 1, "0,0,0"},
        {"empty palette is black", {{0}}, 0, "0,0,0"},
        {"palette of negative count is black", {{-2}}, 0, "0,0,0"},
    };
    for (const Case& k : cases) {
        DriverHarness h;
        javtest::squareTarget(h.host(), 1000, 100);
        h.params()->colourMode = kColourModePalette;
        h.start();
        for (const auto& table : k.palettes) h.put(h.objectWithInts(kKindPalette, 32, table));
        h.put(kKindLineAtt, LineAttributes{.lineColour = k.entry});
        EXPECT_EQ(h.take(), "a," + k.rgb + ",0,0,0\n") << k.behaviour;
        h.put(kKindFillAtt, gradient(kGradientLinear, {k.entry, k.entry}, {0, 100}));
        EXPECT_EQ(h.take(), "t,-1,-1,-1," + k.rgb + ",7," + k.rgb + ",0,45\n") << k.behaviour;
    }
}

// A table the host cannot copy fails the object and leaves no palette:
// later colours would be drawn black without a word.
TEST(Colours, APaletteTheHostCannotCopyFailsTheObject) {
    DriverHarness h;
    h.params()->colourMode = kColourModePalette;
    h.start();
    EXPECT_EQ(h.put(h.objectWithInts(kKindPalette, 32, {1, 0x030201})), 1);
    h.host().failAt("copyPalette", 1);
    EXPECT_EQ(h.put(h.objectWithInts(kKindPalette, 32, {1, 0x060504})), 0);
    EXPECT_EQ(h.context()->palette, nullptr);
    EXPECT_EQ(h.context()->recordCount, 1);
}

}  // namespace
