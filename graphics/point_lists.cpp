// SPDX-License-Identifier: MIT
// Point-list records: polylines, polygons and the four-point bands of linear
// gradients. Lists of any length are streamed four points a line, so the
// LineBuffer never holds more than the count line and one point line.
#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "graphics/graphics.h"

namespace {

constexpr uint32_t kPointsPerLine = 4;
// The longest point line, "x,y,x,y,x,y,x,y\n", and the longest first write
// after the prefix: the count line and one point line.
constexpr uint32_t kPointLineMax = kPointsPerLine * 2 * (kIntFieldMax + 1);
constexpr uint32_t kFirstWriteMax = 10 + 1 + kPointLineMax;

// "x,y," for each of `count` (at most four) points, the last comma turned
// into the line's newline. The points are all mapped before any is
// written, so that the arithmetic of the mapping overlaps instead of
// waiting behind the branches of the digits.
char* JAVtPutPointLine(const JAVtMapping& mapping, char* out, const PointPair* points, uint32_t count) {
    int32_t mapped[2 * kPointsPerLine];
    for (uint32_t i = 0; i < count; ++i) {
        mapped[2 * i] = JAVtMapX(mapping, points[i].x);
        mapped[2 * i + 1] = JAVtMapY(mapping, points[i].y);
    }
    return JAVtPutFields(out, mapped, 2 * count);
}

// The count line and the first point line, at `out`.
char* JAVtPutFirstLines(const JAVtMapping& mapping, char* out, const PointList* points, uint32_t count) {
    out = JAVtPutUnsigned(out, count);
    *out++ = '\n';
    if (count == 0) return out;
    return JAVtPutPointLine(mapping, out, points->points, count < kPointsPerLine ? count : kPointsPerLine);
}

}  // namespace

// The count line and the point lines after the prefix of `prefixLength`
// characters at the start of the LineBuffer. The first write carries the
// prefix, the count line and the first point line; every further point line
// is a write of its own.
void JAVtWritePointList(DriverContext* context, uint32_t prefixLength, const PointList* points) {
    uint32_t count = points != nullptr ? points->count : 0;
    const JAVtMapping mapping = JAVtMappingOf(context);
    char* start = JAVtRecordStart(context);
    char* end = start + prefixLength;
    if (prefixLength + kFirstWriteMax <= kLineTextMax) {
        end = JAVtPutFirstLines(mapping, end, points, count);
    } else {
        // A caller's prefix that leaves less room than the first lines may
        // take: they are cut at the record bound, and a comma the cut leaves
        // last still becomes the newline that ends the point line.
        char lines[kFirstWriteMax];
        char* linesEnd = JAVtPutFirstLines(mapping, lines, points, count);
        auto length = static_cast<size_t>(linesEnd - lines);
        end = JAVtPutBounded(context, end, lines, length);
        if (static_cast<size_t>(end - start) < prefixLength + length && count > 0 && end > start && end[-1] == ',')
            end[-1] = '\n';
    }
    JAVtWriteRecord(context, end);
    for (uint32_t first = kPointsPerLine; first < count; first += kPointsPerLine) {
        uint32_t onLine = count - first < kPointsPerLine ? count - first : kPointsPerLine;
        JAVtWriteRecord(context, JAVtPutPointLine(mapping, start, points->points + first, onLine));
    }
}

// Continues the prefix ("l," or "p,") the caller left in the LineBuffer,
// measured up to its NUL.
extern "C" void JAVtPtsList(DriverContext* context, const PointList* points) {
    JAVtWritePointList(context, JAVtMeasureLine(context), points);
}

extern "C" int32_t JAVtPolyline(DriverContext* context, HostObject* object) {
    JAVtPutText(JAVtRecordStart(context), "l,");
    JAVtWritePointList(context, 2, JAVtBody<PolylineData>(object)->points);
    JAVtCountRecord(context);
    return 1;
}

int32_t JAVtPolygon(DriverContext* context, HostObject* object) {
    const PointList* points = JAVtBody<PolygonData>(object)->points;
    bool gradient = JAVtDrawsGradient(context);
    if (gradient) JAVtEmitText(context, "q,2\n");

    JAVtPutText(JAVtRecordStart(context), "p,");
    JAVtWritePointList(context, 2, points);
    JAVtCountRecord(context);
    if (!gradient) return 1;

    // The bands cover the bounding box of the points. A polygon without
    // points has no box (it would stay at the extreme start values): its
    // clip holds no bands.
    PointPair corner1{INT32_MAX, INT32_MIN};
    PointPair corner2{INT32_MIN, INT32_MAX};
    uint32_t count = points != nullptr ? points->count : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const PointPair& p = points->points[i];
        if (p.x < corner1.x) corner1.x = p.x;
        if (p.x > corner2.x) corner2.x = p.x;
        if (p.y < corner2.y) corner2.y = p.y;
        if (p.y > corner1.y) corner1.y = p.y;
    }
    int32_t bands = count > 0 ? JAVtDrawGradientBands(context, corner1, corner2) : kResultDone;
    JAVtEmitText(context, "q,0\n");
    return bands == kBandsHostFailed ? kResultFailure : kResultDone;
}
