// Group playback: a group's objects drawn in place, then the text, fill and
// line attributes it changed restored, in that order, by objects of the
// driver's own.
#include <functional>
#include <vector>

#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;
using Maker = std::function<HostObject*(DriverHarness&)>;

// A group of the test's own: hands out its objects one by one, sets `more`
// to 0 together with the last one when asked to, and gives back what it did
// not hand out.
struct TestGroup {
    HostGroup base;
    std::vector<HostObject*> objects;
    size_t handedOut = 0;
    bool endWithLast = false;
    refhost::ReferenceHost* host = nullptr;
    ~TestGroup() {
        for (size_t i = handedOut; i < objects.size(); ++i) host->releaseObject(objects[i]);
    }
};

HostObject* nextObject(HostGroup* group, int32_t* more) {
    auto* g = reinterpret_cast<TestGroup*>(group);
    if (g->handedOut == g->objects.size()) return nullptr;
    if (g->endWithLast && g->handedOut + 1 == g->objects.size()) *more = 0;
    return g->objects[g->handedOut++];
}

LineAttributes pen(int32_t width, uint32_t colour) { return LineAttributes{.lineWidth = width, .lineColour = colour}; }
FillAttributes solid(uint32_t colour) { return FillAttributes{.fillStyle = kFillSolid, .fillColour = colour}; }

// Text attributes of `height` whose font block is named `face`.
HostObject* textAtt(DriverHarness& h, int32_t height, const char* face) {
    HostObject* object = h.object(kKindTextAtt, TextAttributes{.fontHeight = height});
    TextFont font{};
    std::strncpy(font.plainFace, face, sizeof font.plainFace - 1);
    h.host().attachBlock(object, kHostObjectPayloadOffset + offsetof(TextAttributes, font), &font, sizeof font);
    return object;
}

Maker line(int32_t width, uint32_t colour) { return [=](DriverHarness& h) { return h.object(kKindLineAtt, pen(width, colour)); }; }
Maker fill(uint32_t colour) { return [=](DriverHarness& h) { return h.object(kKindFillAtt, solid(colour)); }; }
Maker text(int32_t height, const char* face) { return [=](DriverHarness& h) { return textAtt(h, height, face); }; }
Maker rectangle() { return [](DriverHarness& h) { return h.object(kKindRectangle, RectangleData{100, 900, 500, 400}); }; }
Maker marker() { return [](DriverHarness& h) { return h.object(kKindEndMarker); }; }

// 1000 units onto 100 pixels: a horizontal scale of 0.1, so a pen width
// rescaled a second time would show. Before the group: a pen 25 units (3
// pixels) wide, a solid fill and text attributes with a font.
struct PlaybackHarness : DriverHarness {
    PlaybackHarness() : DriverHarness(1000, 100) {
        put(kKindLineAtt, pen(25, 0x102030));
        put(kKindFillAtt, solid(0x0000FF));
        put(textAtt(*this, 120, "Serif"));
        take();
    }
    int32_t play(const std::vector<Maker>& makers, bool endWithLast = false) {
        TestGroup group;
        group.base.next = nextObject;
        group.endWithLast = endWithLast;
        group.host = &host();
        for (const Maker& make : makers) group.objects.push_back(make(*this));
        return JAVtPlayGroup(context(), &group.base);
    }
    // The kinds of the objects the driver created, in order.
    std::string created() {
        std::string kinds;
        for (const std::string& entry : host().callLog())
            if (entry.rfind("createObject ", 0) == 0) kinds += entry.substr(13) + " ";
        return kinds;
    }
};

TEST(GroupPlayback, ObjectsDrawnThenChangedAttributesRestored) {
    const struct {
        const char* behaviour;
        std::vector<Maker> objects;
        bool endWithLast;
        int32_t result;
        const char* records;
        const char* created;  // restoring objects, by kind, in order
    } cases[] = {
        {"empty group: nothing drawn, nothing restored", {}, false, 1, "", ""},
        {"more set to 0 with the last object: it is drawn", {rectangle()}, true, 1, "r,10,10,40,50\n", ""},
        // Restored from the pen as received: scaled once, the "a" of before.
        {"only the line width changes: one restoring pen", {line(50, 0x102030)}, false, 1,
         "a,48,32,16,0,0,5\na,48,32,16,0,0,3\n", "28 "},
        {"text, fill and line change: restored in that order", {line(50, 0), fill(0xFF0000), text(240, "Sans")}, false,
         1, "a,0,0,0,0,0,5\nt,-1,-1,-1,0,0,255,0\nt,-1,-1,-1,255,0,0,0\na,48,32,16,0,0,3\n", "30 29 28 "},
        {"a failing object stops playback, restoring nothing", {line(50, 0), marker(), rectangle()}, false, 0,
         "a,0,0,0,0,0,5\n", ""},
    };
    for (const auto& k : cases) {
        PlaybackHarness h;
        DriverContext before = *h.context();
        TextAttributes text = before.currentTextAtt;
        text.font = &before.currentTextFont;
        EXPECT_EQ(h.play(k.objects, k.endWithLast), k.result) << k.behaviour;
        EXPECT_EQ(h.take(), k.records) << k.behaviour;
        EXPECT_EQ(h.created(), k.created) << k.behaviour;
        if (k.result != 1) continue;
        // Everything as before, the text attributes with a copy of their font.
        DriverContext* c = h.context();
        EXPECT_EQ(JAVtCmpTextAtt(c, &text, &c->currentTextAtt), 1) << k.behaviour;
        EXPECT_STREQ(c->currentTextFont.plainFace, "Serif") << k.behaviour;
        EXPECT_EQ(std::memcmp(&before.currentFillAtt, &c->currentFillAtt, sizeof(FillAttributes)), 0) << k.behaviour;
        EXPECT_EQ(std::memcmp(&before.currentLineAtt, &c->currentLineAtt, sizeof(LineAttributes)), 0) << k.behaviour;
    }
}

// Decided: an absent group is a failure, like any absent argument.
TEST(GroupPlayback, ARestoringObjectThatCannotBeMadeOrAnAbsentGroupFails) {
    for (const char* failing : {"createObject", "allocate"}) {
        PlaybackHarness h;
        h.host().failAt(failing, 1);
        EXPECT_EQ(h.play({text(240, "Sans")}), 0) << failing;
    }
    PlaybackHarness h;
    HostGroup noNext{};
    EXPECT_EQ(JAVtPlayGroup(h.context(), nullptr), 0);
    EXPECT_EQ(JAVtPlayGroup(h.context(), &noNext), 0);
}

}  // namespace
