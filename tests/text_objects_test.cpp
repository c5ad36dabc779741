// Text boxes, simple texts, text ends and the collection of text boxes
// while search highlighting is active.
#include <climits>

#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

// The default target maps host units 1:1 onto 96 pixels: X(x) = x, Y(y) = 96 - y.
HostObject* withText(DriverHarness& h, HostObject* o, size_t field, const char* text) {
    if (text != nullptr) h.host().attachBlock(o, static_cast<int32_t>(24 + field), text, std::strlen(text), 2);
    return o;
}

HostObject* simpleText(DriverHarness& h, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const char* text) {
    return withText(h, h.object(kKindSimpleText, SimpleTextData{0, x1, y1, x2, y2, 0, nullptr, 0, 0, 0}),
                    offsetof(SimpleTextData, text), text);
}

// The text sample pins boxes anchored at their first corner, justifications
// 0, 1, 2, 4 and 5, and rotations of -900, 3601 and 7200.
TEST(TextBox, CornersAsTheyComeJustificationClassAndRotationInZeroToAFullTurn) {
    const struct {
        TextBoxData box;
        const char* record;
    } cases[] = {
        {{10, 90, 50, 60, -1, 3}, "s,10,6,40,30,0,3599\n"},
        {{10, 90, 50, 60, 3600, 4}, "s,10,6,40,30,1,3600\n"},
        {{10, 90, 50, 60, -3600, 6}, "s,10,6,40,30,0,0\n"},
        {{10, 90, 50, 60, INT32_MAX, 0}, "s,10,6,40,30,0,847\n"},
        {{10, 90, 50, 60, INT32_MIN, 0}, "s,10,6,40,30,0,2752\n"},  // -2^31 + 596524 × 3600
        {{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0, 0},
         "s,-2147483648,-2147483551,2147483647,2147483647,0,0\n"},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.start();
        EXPECT_EQ(h.put(kKindTextBox, c.box), 1);
        EXPECT_EQ(h.take(), c.record);
    }
}

TEST(TextBox, AnActiveTransformMapsBothCornersFirst) {
    for (int32_t active : {1, 0}) {
        DriverHarness h;
        h.host().transform()->active = active;
        const int32_t offset[2] = {5, -10};  // the reference host translates
        std::memcpy(h.host().transform()->hostOwn, offset, sizeof offset);
        h.host().useTransform(true);
        h.start();
        h.put(kKindTextBox, TextBoxData{10, 90, 50, 60, 0, 0});
        EXPECT_EQ(h.take(), active ? "s,15,16,40,30,0,0\n" : "s,10,6,40,30,0,0\n");
    }
}

TEST(SimpleText, CornersSortedPlacementCodedThenFontUnitsAndEnd) {
    const struct {
        uint32_t major, minor;
        const char* text;
        const char* records;
    } cases[] = {
        {3, 3, "AB", "s,10,6,40,30,14,0\nc,Times New Roman,12,0,0,0,0\nu,2,65,66\ne,\n"},
        {5, 2, "", "s,10,6,40,30,21,0\nc,Times New Roman,12,0,0,0,0\ne,\n"},
        {2, 1, nullptr, "s,10,6,40,30,8,0\nc,Times New Roman,12,0,0,0,0\ne,\n"},
    };
    for (const auto& c : cases) {
        for (bool swapped : {false, true}) {
            DriverHarness h;
            h.start();
            h.put(kKindTextAtt, TextAttributes{0, 12, 0, c.minor, c.major, 0, 0, 0, nullptr});
            ASSERT_EQ(h.put(swapped ? simpleText(h, 50, 60, 10, 90, c.text) : simpleText(h, 10, 90, 50, 60, c.text)), 1);
            EXPECT_EQ(h.take(), c.records);
            EXPECT_EQ(h.context()->textAttPending, 0);
        }
    }
}

// A text box with every collected kind, and a simple text in the middle.
void sendBox(DriverHarness& h) {
    TextAttributes textAtt{};
    textAtt.fontHeight = 10;
    CharAttributes charAtt{};
    charAtt.charFont.height = 14;
    ASSERT_EQ(h.put(kKindTextAtt, textAtt), 1);
    ASSERT_EQ(h.put(kKindTextBox, TextBoxData{10, 90, 50, 60, 0, 1}), 1);
    ASSERT_EQ(h.put(kKindParaAtt, ParaAttributes{}), 1);
    ASSERT_EQ(h.put(h.object(kKindParaStart)), 1);
    ASSERT_EQ(h.put(kKindCharAtt, charAtt), 1);
    ASSERT_EQ(h.put(withText(h, h.object(kKindTextString, TextStringData{}), offsetof(TextStringData, text), "Hi")), 1);
    ASSERT_EQ(h.put(h.object(kKindTab)), 1);
    ASSERT_EQ(h.put(simpleText(h, 0, 10, 10, 0, "S")), 1);
    textAtt.fontHeight = 20;
    ASSERT_EQ(h.put(kKindTextAtt, textAtt), 1);
    ASSERT_EQ(h.put(kKindParaStartAtt, ParaAttributes{}), 1);
    ASSERT_EQ(h.put(h.object(kKindTextBoxEnd)), 1);
}

TEST(Collection, PlaysTheBoxBackAtItsEndAsIfNothingHadBeenCollected) {
    DriverHarness plain;
    plain.start();
    sendBox(plain);
    std::string box = plain.take();
    // A simple text is never collected: it comes out at once, ahead of the box.
    const std::string simple = "s,0,86,10,10,4,0\nc,Times New Roman,10,0,0,0,0\nu,1,83\ne,\n";
    ASSERT_NE(box.find(simple), std::string::npos);
    box.erase(box.find(simple), simple.size());

    DriverHarness h;
    SearchRequest search{};
    h.session()->searchRequest = &search;
    h.start();
    for (int round = 0; round < 2; ++round) {  // the playback empties the list
        sendBox(h);
        EXPECT_EQ(h.take(), simple + box);
        EXPECT_EQ(h.context()->highlightActive, 1);
        EXPECT_EQ(h.context()->textAttPending, 1);
    }
}

// An object without a copy operation cannot be collected either.
TEST(Collection, AFailedCopyOrLinkFailsTheObjectWithNothingWrittenOrLeaked) {
    for (const char* operation : {"clone", "insertObject", "no clone operation"}) {
        for (int32_t kind : {kKindTextBox, kKindCharAtt, kKindTab, kKindTextBoxEnd}) {
            DriverHarness h;
            SearchRequest search{};
            h.session()->searchRequest = &search;
            h.start();
            if (kind != kKindTextBox) h.put(kKindTextBox, TextBoxData{});
            HostObject* object = h.object(kind);
            if (refhost::isInjectable(operation)) h.host().failAt(operation, 1);
            else object->clone = nullptr;
            EXPECT_EQ(h.put(object), 0) << operation << " " << kind;
            EXPECT_EQ(h.take(), "");
        }
    }
}

}  // namespace
