// SPDX-License-Identifier: MIT
// The element list (growth, texts, look-up) and the driver's answers to the
// host's picture conversion.
#include "driver/pictures.h"
#include "tests/driver_harness.h"

namespace {

struct ListHarness : javtest::DriverHarness {
    ListHarness() : DriverHarness(1000, 100) {
        EXPECT_EQ(JAVtCreateElementList(context()), 1);
    }
    ElementList& list() { return *context()->elementList; }
    void add(uint64_t key) {
        std::string n = std::to_string(key);
        AddElementToList(context(), ("a" + n).c_str(), ("b" + n).c_str(), key);
    }
};

TEST(ElementList, TheSixthElementGrowsTheListKeepingEarlierEntries) {
    ListHarness h;
    for (uint64_t key = 1; key <= 6; ++key) h.add(key << 40);
    EXPECT_EQ(h.list().capacity, 10);
    EXPECT_EQ(h.list().count, 6);
    EXPECT_EQ(h.host().calls("reallocate"), 1u);
    for (uint64_t key = 1; key <= 6; ++key) {
        int32_t index = CheckElementInList(h.context(), key << 40);
        ASSERT_EQ(index, static_cast<int32_t>(key - 1));
        EXPECT_EQ(h.list().entries[index].textA, "a" + std::to_string(key << 40));
        EXPECT_EQ(h.list().entries[index].textB, "b" + std::to_string(key << 40));
    }
    EXPECT_EQ(CheckElementInList(h.context(), 7), kElementNotFound);
}

TEST(ElementList, TextsAreCutTo1023CharactersAndTheFirstOfEqualKeysIsFound) {
    ListHarness h;
    std::string longA(1024, 'x'), longB(5000, 'y');
    AddElementToList(h.context(), longA.c_str(), longB.c_str(), 5);
    AddElementToList(h.context(), "second", nullptr, 5);
    EXPECT_EQ(h.list().entries[0].textA, std::string(1023, 'x'));
    EXPECT_EQ(h.list().entries[0].textB, std::string(1023, 'y'));
    EXPECT_STREQ(h.list().entries[1].textB, "");
    EXPECT_EQ(CheckElementInList(h.context(), 5), 0);
}

// A growth that fails, or whose size would not fit in a signed 32-bit value,
// leaves the element out; entries, count and capacity stay as they were.
TEST(ElementList, AGrowthThatCannotBeMadeKeepsTheListUsable) {
    for (bool tooLarge : {false, true}) {
        ListHarness h;
        for (uint64_t key = 1; key <= 5; ++key) h.add(key);
        ElementEntry* entries = h.list().entries;
        if (tooLarge) h.list().count = h.list().capacity = 1044495;  // 1044500 entries: 2147492000 bytes
        else h.host().failAt("reallocate", 1);
        h.add(6);
        EXPECT_EQ(h.host().calls("reallocate"), tooLarge ? 0u : 1u);
        EXPECT_EQ(h.list().entries, entries);
        EXPECT_EQ(h.list().capacity, tooLarge ? 1044495 : 5);
        h.list().count = h.list().capacity = 5;
        EXPECT_EQ(CheckElementInList(h.context(), 6), kElementNotFound);
        EXPECT_EQ(CheckElementInList(h.context(), 5), 4);
    }
}

// The answer by request kind, format code and picture mode. The reference
// host's queryPictureFormat calls PNG and its raster format raster formats.
TEST(TargetPicture, AnswersByRequestKindFormatAndPictureMode) {
    const struct {
        int32_t kind, format, pictureMode;
        int32_t replyKind, replyFormat;
        uint64_t queries;
    } cases[] = {
        {kPictureVector, kElementPng, kPictureModeAskFormat, kAnswerVector, 0, 0},
        {kPictureRaster, kElementVector, 0, kAnswerElement, kElementVector, 0},
        {kPictureRaster, kElementRaster, 0, kAnswerElement, kElementRaster, 0},
        {kPictureRaster, kElementPng, kPictureModeAskFormat, kAnswerElement, kElementPng, 1},
        {kPictureRaster, kElementVector, kPictureModeAskFormat, kAnswerVector, 0, 1},
        {1, 7, kPictureModeAskFormat, kAnswerElement, kElementPng, 0},  // other kinds and formats
        {0, kElementRaster, kPictureModeAskFormat, kAnswerElement, kElementRaster, 0},
        {kPictureRaster, -5, 0, kAnswerElement, kElementPng, 0},
    };
    for (const auto& k : cases) {
        ListHarness h;
        h.context()->currentFillAtt.pictureMode = k.pictureMode;
        h.context()->pendingElementKey = 99;
        HostObject* rectangle = h.object(kKindRectangle, RectangleData{100, 900, 500, 400});
        h.context()->currentObject = rectangle;
        PictureRequest request{.kind = k.kind, .formatCode = k.format};
        PictureReply reply{};
        JAVSetTrgPicture(h.context(), &request, &reply);
        std::string what = std::to_string(k.kind) + "/" + std::to_string(k.format) + "/" + std::to_string(k.pictureMode);
        EXPECT_EQ(reply.kind, k.replyKind) << what;
        EXPECT_EQ(reply.formatCode, k.replyFormat) << what;
        EXPECT_EQ(h.host().calls("queryPictureFormat"), k.queries) << what;
        if (k.replyKind == kAnswerVector) {
            EXPECT_EQ((std::vector<int32_t>(reply.target.rect, reply.target.rect + 4)),
                      (std::vector<int32_t>{500, 900, 100, 400})) << what;
            EXPECT_EQ(h.list().count, 0) << what;
        } else {
            ASSERT_NE(reply.target.writer, nullptr) << what;
            EXPECT_EQ(h.context()->elementWriter, reply.target.writer) << what;
            EXPECT_EQ(CheckElementInList(h.context(), 99), 0) << what;
            EXPECT_STREQ(h.list().entries[0].textA, h.context()->elementTextA) << what;
            reply.target.writer->close(reply.target.writer);
        }
        h.host().releaseObject(rectangle);
    }
}

}  // namespace
