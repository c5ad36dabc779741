// SPDX-License-Identifier: MIT
// Point-list records: how a list is cut into writes.
#include <vector>

#include "tests/driver_harness.h"

namespace {

using Writes = std::vector<std::string>;

// 100 host units onto 100 pixels: X(x) = x, Y(y) = 100 - y.
struct Target : javtest::DriverHarness {
    Target() : DriverHarness(100, 100) {}
    // A Polyline or Polygon owning a list of `n` points (i, i), or
    // the given points; n < 0: no list at all.
    int32_t put(int32_t kind, int32_t n, std::vector<int32_t> xy = {}) {
        for (int32_t i = 0; i < n; ++i) xy.insert(xy.end(), {i, i});
        xy.insert(xy.begin(), static_cast<int32_t>(xy.size() / 2));
        if (n < 0) xy.clear();
        return DriverHarness::put(objectWithInts(kind, kind == kKindPolyline ? 32 : 24, xy));
    }
};

TEST(PointLists, FourPointsALineEachFurtherLineItsOwnWrite) {
    const struct {
        int32_t kind, points;
        Writes writes;
    } cases[] = {
        {kKindPolyline, 0, {"l,0\n"}},
        {kKindPolyline, -1, {"l,0\n"}},  // no list
        {kKindPolyline, 1, {"l,1\n0,100\n"}},
        {kKindPolyline, 4, {"l,4\n0,100,1,99,2,98,3,97\n"}},
        {kKindPolyline, 5, {"l,5\n0,100,1,99,2,98,3,97\n", "4,96\n"}},
        {kKindPolygon, 8, {"p,8\n0,100,1,99,2,98,3,97\n", "4,96,5,95,6,94,7,93\n"}},
        {kKindPolygon, 9, {"p,9\n0,100,1,99,2,98,3,97\n", "4,96,5,95,6,94,7,93\n", "8,92\n"}},
    };
    for (const auto& k : cases) {
        Target t;
        EXPECT_EQ(t.put(k.kind, k.points), 1);
        EXPECT_EQ(t.stream()->writes, k.writes) << k.points << " points";
        EXPECT_EQ(t.context()->recordCount, 1);
    }
    Target t;
    t.put(kKindPolygon, 0, {-5, 200, 0, 100});
    EXPECT_EQ(t.take(), "p,2\n-5,-100,0,0\n");
}

// A caller's prefix that leaves little room: the count line and the first
// point line are cut at the record bound, a comma the cut leaves last
// becomes the newline, and the further lines are written whole.
TEST(PointLists, FirstWriteAfterALongPrefixIsCutAtTheBound) {
    const struct {
        uint32_t room;
        char prefixEnd;
        const char* tail;  // the first write's end, after the prefix
    } cases[] = {
        {23, 'x', "5\n0,100,1,99,2,98,3,97\n"},  // just room for both lines
        {13, 'x', "5\n0,100,1,99\n"},
        {12, 'x', "5\n0,100,1,99"},
        {9, 'x', "5\n0,100,1"},
        {8, 'x', "5\n0,100\n"},
        {2, 'x', "5\n"},
        {1, 'x', "5"},
        {0, 'x', ""},
        {0, ',', "\n"},  // the prefix's own comma is the last one
    };
    for (const auto& k : cases) {
        Target t;
        std::string prefix(kLineBufferSize - 1 - k.room - 1, 'x');
        prefix += k.prefixEnd;
        std::memcpy(t.context()->lineBuffer, prefix.c_str(), prefix.size() + 1);
        std::vector<int32_t> xy = {5, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
        PointList* points = t.host().newPointList(5);
        std::memcpy(points, xy.data(), xy.size() * sizeof(int32_t));
        JAVtPtsList(t.context(), points);
        t.host().freePointList(points);
        const Writes& writes = t.stream()->writes;
        ASSERT_EQ(writes.size(), 2u) << k.room;
        std::string expected = prefix.substr(0, prefix.size() - (k.tail[0] == '\n' ? 1 : 0)) + k.tail;
        EXPECT_EQ(writes[0].substr(writes[0].size() < 30 ? 0 : writes[0].size() - 30),
                  expected.substr(expected.size() - 30)) << k.room;
        EXPECT_EQ(writes[0].size(), expected.size()) << k.room;
        EXPECT_EQ(writes[1], "4,96\n") << k.room;
    }
}

}  // namespace
