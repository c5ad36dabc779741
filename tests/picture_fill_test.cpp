// SPDX-License-Identifier: MIT
// Rectangles filled with pictures of the reference host: element pictures
// converted once and placed from the list, vector pictures played at every
// fill, the fill's failures, and fills nested through vector pictures.
#include <functional>

#include "tests/driver_harness.h"

namespace {

using refhost::HostPicture;
using refhost::ReferenceHost;

FillAttributes pictureFill(uint64_t key) { return FillAttributes{.fillStyle = kFillPicture, .pictureRef = key}; }

refhost::ObjectMaker fillWith(FillAttributes fill) {
    return [fill](ReferenceHost& host) {
        HostObject* object = host.newObject(kKindFillAtt);
        std::memcpy(host.payload(object), &fill, sizeof fill);
        return object;
    };
}
refhost::ObjectMaker shape(int32_t kind, RectangleData body) {
    return [kind, body](ReferenceHost& host) {
        HostObject* object = host.newObject(kind);
        std::memcpy(host.payload(object), &body, sizeof body);
        return object;
    };
}

// 1000 units (an inch) onto 100 pixels. Picture 1 is an element picture,
// 2 a vector picture of one rectangle without a fill. A vector picture sets
// a fill of its own before its shapes: under the picture fill they would
// fill themselves with the picture again.
struct FillHarness : javtest::DriverHarness {
    explicit FillHarness(bool withTargetInfo = true) {
        javtest::squareTarget(host(), 1000, 100);
        host().useTargetInfo(withTargetInfo);
        host().registerPicture(1, HostPicture{.requestKind = kPictureRaster, .formatCode = kElementPng, .raster = true, .width = 1,
                                              .height = 1, .pixels = std::string("\xff\x00\x00\xff", 4)});
        HostPicture vector;
        vector.objects = {fillWith(FillAttributes{}), shape(kKindRectangle, RectangleData{0, 100, 100, 0})};
        host().registerPicture(2, vector);
        start();
    }
    int32_t fill(uint64_t key, RectangleData r = {100, 900, 600, 400}) {
        put(kKindFillAtt, pictureFill(key));
        return put(kKindRectangle, r);
    }
};

// The pictures sample pins an element picture converted once and placed
// twice, and a vector picture played at each fill.
// Decided: without a target info the fill fails and the host is not asked;
// an element list that cannot be made fails the fill, and the next fill
// tries again. A conversion that delivers no element still places the
// picture, with empty texts rather than those of an earlier element.
TEST(PictureFill, FailuresAndConversionsWithoutAnElement) {
    const struct {
        const char* behaviour;
        bool targetInfo;
        const char* failing;  // operation failing at call `nth`
        uint64_t nth;
        uint64_t key;
        int32_t result;
        const char* records;
    } cases[] = {
        {"no target info", false, nullptr, 0, 1, 0, ""},
        {"no element list", true, "allocateZeroed", 1, 1, 0, ""},
        {"no entries for the element list", true, "allocateZeroed", 2, 1, 0, ""},
        {"unknown picture", true, nullptr, 0, 9, 1, "m,10,10,50,50\n\n\n"},
        {"failed conversion", true, "convertPicture", 1, 1, 1, "m,10,10,50,50\n\n\n"},
        {"no element opened", true, "createElement", 1, 1, 1, "m,10,10,50,50\n\n\n"},
    };
    for (const auto& k : cases) {
        FillHarness h(k.targetInfo);
        std::strcpy(h.context()->elementTextA, "element-of-before.png");
        if (k.failing != nullptr) h.host().failAt(k.failing, k.nth);
        EXPECT_EQ(h.fill(k.key), k.result) << k.behaviour;
        EXPECT_EQ(h.take(), k.records) << k.behaviour;
        EXPECT_EQ(h.host().calls("convertPicture"), k.targetInfo && k.result == 1 ? 1u : 0u) << k.behaviour;
        h.host().clearFailures();
        EXPECT_EQ(h.fill(1), k.targetInfo ? 1 : 0) << k.behaviour << ", then again";
    }
}

// Picture 5 fills its rectangle with itself: the fills nest until the
// limit, where the innermost fails and every fill around it with it. A group
// left half-way keeps what it did not hand out until the host releases it.
TEST(PictureFill, NestedFillsEndAtTheLimitAndAbandonedGroupsGiveBackTheirObjects) {
    FillHarness h;
    const RectangleData box{100, 900, 600, 400};
    HostPicture itself, nested, stopping;
    itself.objects = {fillWith(pictureFill(5)), shape(kKindRectangle, box)};
    nested.objects = {fillWith(pictureFill(1)), shape(kKindRectangle, box)};
    stopping.objects = {fillWith(FillAttributes{}), shape(kKindRectangle, box), shape(kKindEndMarker, {}), shape(kKindRectangle, box)};
    h.host().registerPicture(5, itself);
    h.host().registerPicture(6, nested);
    h.host().registerPicture(7, stopping);

    EXPECT_EQ(h.fill(5), 0);
    EXPECT_EQ(h.host().calls("convertPicture"), 16u);
    EXPECT_EQ(h.context()->pictureDepth, 0);
    EXPECT_EQ(h.take(), "");

    EXPECT_EQ(h.fill(6), 1);
    EXPECT_EQ(h.take(), "m,10,10,50,50\nelement-0001.png\nimage/png\n");

    EXPECT_EQ(h.fill(7), 0);
    EXPECT_EQ(h.take(), "t,-1,-1,-1,-1,-1,-1,0\nr,10,10,50,50\n");
    EXPECT_EQ(h.host().liveObjects(), 1u);
    EXPECT_EQ(h.host().releaseConversions(), 18u);
    EXPECT_EQ(h.host().liveObjects(), 0u);
}

// A conversion result of a kind other than vector drawing is no group to
// play: the fill places the element the conversion opened (none here).
TEST(PictureFill, AResultOfAnotherKindIsPlacedNotPlayed) {
    FillHarness h;
    h.host().services()->convertPicture = [](HostServices*, uint64_t, uint64_t, DriverContext*, TargetInfo*) {
        static ConversionResult other{.kind = kAnswerElement, .reserved0 = 0, .reserved1 = 0, .group = nullptr};
        return &other;
    };
    EXPECT_EQ(h.fill(2), 1);
    EXPECT_EQ(h.take(), "m,10,10,50,50\n\n\n");
}

// Pictures that fill their rectangles with pictures again multiply: picture
// 8 fills each of its three rectangles with picture 9, which draws three
// rectangles of its own. The host hands out at most the objects it was
// limited to; the fills beyond are placed with two empty texts.
TEST(PictureFill, TheHostBoundsWhatNestedPicturesHandOut) {
    FillHarness h;
    const RectangleData box{100, 900, 600, 400};
    HostPicture wide, leaf;
    wide.objects = {fillWith(pictureFill(9)), shape(kKindRectangle, box), shape(kKindRectangle, box), shape(kKindRectangle, box)};
    leaf.objects = {fillWith(FillAttributes{}), shape(kKindRectangle, box), shape(kKindRectangle, box), shape(kKindRectangle, box)};
    h.host().registerPicture(8, wide);
    h.host().registerPicture(9, leaf);
    h.host().limitConvertedObjects(12);

    EXPECT_EQ(h.fill(8), 1);
    EXPECT_TRUE(h.host().conversionsLimited());
    EXPECT_EQ(h.host().calls("convertPicture"), 4u);  // picture 8, then 9 twice; the third 9 is refused
    const std::string text = h.take(), refused = "m,10,10,50,50\n\n\n";
    EXPECT_EQ(text.substr(text.size() - refused.size()), refused) << text;
}

}  // namespace
