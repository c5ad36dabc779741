// SPDX-License-Identifier: MIT
// The object entry: absent arguments, the results of the marker kinds and of
// unlisted kinds, and the release of every object it is handed.
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

TEST(Dispatch, AbsentContextOrObjectReturnsZeroAndTouchesNothing) {
    DriverHarness h;
    DriverContext* c = h.start();
    HostObject* object = h.object(kKindRectangle);
    EXPECT_EQ(putJAVobject(nullptr, object), 0);
    EXPECT_TRUE(h.host().ownsObject(object));  // not released
    EXPECT_EQ(putJAVobject(c, nullptr), 0);
    EXPECT_EQ(c->currentObject, nullptr);
    h.host().releaseObject(object);
}

TEST(Dispatch, ResultsByKindAndEveryObjectReleased) {
    struct Case {
        int32_t kind;
        int32_t result;
    } cases[] = {
        {kKindGroupMarker, kResultMarker}, {kKindEndMarker, kResultMarker},
        // codes no kind has
        {0, 1}, {2, 1}, {3, 1}, {5, 1}, {9, 1}, {14, 1}, {17, 1}, {21, 1}, {23, 1},
        {26, 1}, {31, 1}, {33, 1}, {35, 1}, {36, 1}, {43, 1}, {44, 1}, {49, 1}, {-1, 1}, {INT32_MIN, 1},
    };
    DriverHarness h;
    DriverContext* c = h.start();
    for (const Case& k : cases) {
        HostObject* object = h.object(k.kind);
        EXPECT_EQ(putJAVobject(c, object), k.result) << "kind " << k.kind;
        EXPECT_FALSE(h.host().ownsObject(object)) << "kind " << k.kind;
        EXPECT_EQ(c->currentObject, object);
    }
    EXPECT_EQ(h.take(), "");
    EXPECT_EQ(c->recordCount, 0);
}

}  // namespace
