// SPDX-License-Identifier: MIT
// Text, paragraph and character attributes: the "c" and "g" records, face
// names and character sets.
#include <climits>
#include <optional>

#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

const std::string kFirstParagraph = "g,0,0,0,0,0,0,0,0,0,100,2\n";

FontDescriptor descriptor(const char* face, int32_t height, int32_t weight, uint8_t charSet) {
    FontDescriptor d{.height = height, .weight = weight, .charSet = charSet};
    std::strncpy(d.faceName, face, sizeof d.faceName);
    return d;
}

TextFont plainFont(const char* face, int32_t bold = 0, int32_t italic = 0, int32_t underline = 0, int32_t strike = 0) {
    TextFont font{.plainBold = bold, .plainItalic = italic, .plainUnderline = underline, .plainStrikeOut = strike};
    std::strncpy(font.plainFace, face, sizeof font.plainFace);
    return font;
}

TextFont descriptorFont(const char* face, int32_t weight, uint8_t charSet) {
    return TextFont{.useDescriptor = 1, .descriptor = descriptor(face, 0, weight, charSet)};
}

HostObject* textAtt(DriverHarness& h, int32_t height, const std::optional<TextFont>& font) {
    HostObject* o = h.object(kKindTextAtt, TextAttributes{0x302010, height, 0, 0, 0, 0, 0, 0, nullptr});
    if (font) h.host().attachBlock(o, 24 + offsetof(TextAttributes, font), &*font, sizeof(TextFont));
    return o;
}

// The East Asian sample pins the face that a second use of the same text
// attributes sees, rewritten by the first.
TEST(TextAttributes, FontRecordFollowsFormFlagsFaceMappingAndCharacterSet) {
    const struct {
        int32_t encoding;
        int32_t height;
        std::optional<TextFont> font;
        const char* record;
    } cases[] = {
        {kEncodingWestern, -12, std::nullopt, "c,Times New Roman,12,0,16,32,48\n"},
        {kEncodingWestern, 0, std::nullopt, "c,Times New Roman,0,0,16,32,48\n"},  // no minimum size here
        {kEncodingWestern, 12, plainFont("", 1, 1, 1, 1), "c,Times New Roman,12,30,16,32,48\n"},
        {kEncodingShiftJis, 12, plainFont("Arial,Bold"), "c,sansserif,12,0,16,32,48\n"},  // mapped before the cut
        {74, 12, plainFont("COURIER"), "c,monospaced,12,0,16,32,48\n"},
        {78, 12, plainFont("Arial"), "c,Arial,12,0,16,32,48\n"},  // the plain form tests the code itself
        {78, 12, descriptorFont("Arial", 700, 0), "c,dialog,12,2,16,32,48\n"},
        {kEncodingWestern, 12, descriptorFont("Arial", 800, 0), "c,Arial,12,0,16,32,48\n"},
        {kEncodingShiftJis, 12, descriptorFont("Arial", 400, 1), "c,Arial,12,0,16,32,48\n"},
        {kEncodingShiftJis, 12, descriptorFont("Arial", 400, 2), "c,Arial,12,0,16,32,48\n"},
        {kEncodingShiftJis, 12, descriptorFont("Times New Roman", 400, 238), "c,serif,12,0,16,32,48\n"},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.session()->currentEncoding = c.encoding;
        h.start();
        h.put(textAtt(h, c.height, c.font));
        EXPECT_EQ(h.put(kKindTextPiece, TextPieceData{}), 1);  // a piece without text: "c" only
        EXPECT_EQ(h.take(), c.record) << c.encoding << " " << c.record;
    }
}

TEST(CharAttributes, FontRecordFollowsSizeStylesCharacterSetAndMapping) {
    // The bytes after the face are not zero: a face is read within its buffer.
    auto att = [](FontDescriptor font, int32_t super = 0, int32_t sub = 0) {
        return CharAttributes{0x0000FF, font, {'y', 'y'}, super, sub, 0};
    };
    FontDescriptor styled = descriptor("Arial", 12, 400, 0);
    styled.italic = styled.underline = styled.strikeOut = 1;
    const struct {
        int32_t encoding, fontEncoding;
        CharAttributes attributes;
        const char* record;
    } cases[] = {
        {kEncodingWestern, 0, att(descriptor("Arial", 0, 700, 0)), "c,Arial,1,2,255,0,0\n"},  // size 0 is written as 1
        {kEncodingWestern, 0, att(descriptor("Arial", 10, 600, 0), 1), "c,Arial,6,32,255,0,0\n"},
        {kEncodingWestern, 0, att(descriptor("", -10, 400, 0), 0, 1), "c,Times New Roman,6,64,255,0,0\n"},
        {kEncodingWestern, 0, att(styled, 1, 1), "c,Arial,8,124,255,0,0\n"},
        {kEncodingWestern, 0, att(descriptor("Arial", INT32_MAX, 400, 0), 1), "c,Arial,1431655764,32,255,0,0\n"},
        {kEncodingWestern, 0, att(descriptor("Arial,Bold", 12, 400, 0)), "c,Arial,12,0,255,0,0\n"},
        {kEncodingWestern, 0, att(descriptor("0123456789abcdef0123456789ABCDEF!", 12, 400, 0)),
         "c,0123456789abcdef0123456789ABCDEF,12,0,255,0,0\n"},
        {kEncodingShiftJis, 0, att(descriptor("Arial,Bold", 12, 400, 0)), "c,sansserif,12,0,255,0,0\n"},
        {6, 0, att(descriptor("courier new", 12, 400, 0)), "c,courier new,12,0,255,0,0\n"},
        {kEncodingShiftJis, 0, att(descriptor("Arial", 12, 400, 1)), "c,dialog,12,0,255,0,0\n"},
        {kEncodingShiftJis, 0, att(descriptor("Arial", 12, 400, 2)), "c,Arial,12,0,255,0,0\n"},
        {kEncodingShiftJis, 0, att(descriptor("Arial", 12, 400, 238)), "c,Arial,12,0,255,0,0\n"},
        {78, 0, att(descriptor("Times New Roman", 12, 400, 0)), "c,serif,12,0,255,0,0\n"},
        {kEncodingUnits, 2, att(descriptor("Arial", 12, 400, 0)), "c,dialog,12,0,255,0,0\n"},  // character set 134
        {kEncodingUnits, 0, att(descriptor("Arial", 12, 400, 0)), "c,Arial,12,0,255,0,0\n"},   // character set 1
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.session()->currentEncoding = c.encoding;
        h.session()->fontEncoding = c.fontEncoding;
        h.start();
        EXPECT_EQ(h.put(kKindCharAtt, c.attributes), 1);
        EXPECT_EQ(h.take(), kFirstParagraph + c.record) << c.encoding << " " << c.record;
        EXPECT_EQ(h.session()->currentEncoding, c.encoding);
    }
}

TEST(ParaAttributes, PointValuesAndDistancesScaleAndSaturate) {
    // modeB 2: any mode but 1 writes its value unchanged.
    auto para = [](int32_t mode, int32_t value, int32_t distance) {
        return ParaAttributes{mode, value, 2, value, 0, 0, distance, 0, 0, 7, 9, {}};
    };
    const struct {
        ParaAttributes body;
        double scale;  // of an active transform; 0: none
        const char* record;
    } cases[] = {
        {para(1, 12, 10), 2, "g,7,0,0,20,1,32,1,12,0,0,9\n"},
        {para(0, 12, -10), 1.5, "g,7,0,0,-14,0,12,1,12,0,0,9\n"},  // -15 + 0.5 truncates to -14
        {para(1, INT32_MAX, INT32_MAX), 4, "g,7,0,0,2147483647,1,2147483647,1,2147483647,0,0,9\n"},
        {para(1, INT32_MIN, INT32_MIN), 4, "g,7,0,0,-2147483648,1,-2147483648,1,-2147483648,0,0,9\n"},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        HostTransform* t = h.host().transform();
        t->active = 1;
        t->scale1 = t->scale2 = c.scale;
        h.host().useTransform(c.scale != 0);
        h.start();
        EXPECT_EQ(h.put(kKindParaAtt, c.body), 1);
        EXPECT_EQ(h.take(), c.record);
        EXPECT_EQ(h.context()->currentParaAtt.valueA, c.body.valueA);
    }
}

TEST(CompareTextAttributes, ComparesValuesColourAndPlainFontOnly) {
    DriverHarness h;
    h.start();
    TextFont fontA = plainFont("Arial", 1), fontB = fontA;
    TextAttributes a{0x01102030, 12, 0, 0, 0, 0, 0, 0, &fontA}, b = a;
    b.font = &fontB;
    auto same = [&] { return JAVtCmpTextAtt(h.context(), &a, &b); };
    fontB.useDescriptor = 1;  // the descriptor is not compared
    b.textColour = 0x02102030;  // nor the top byte of a direct colour
    EXPECT_EQ(same(), 1);
    h.params()->colourMode = kColourModePalette;  // all 32 bits
    EXPECT_EQ(same(), 0);
    b.textColour = a.textColour;
    fontB.unnamed48[4] = 1;
    EXPECT_EQ(same(), 0);
    fontB = fontA;
    fontB.plainFace[0] = 'a';  // letter case counts
    EXPECT_EQ(same(), 0);
    b.font = nullptr;
    EXPECT_EQ(same(), 0);
    a.font = nullptr;
    EXPECT_EQ(same(), 1);
}

}  // namespace
