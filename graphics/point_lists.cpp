// Point-list records: polylines, polygons and the four-point bands of linear
// gradients. Lists of any length are streamed four points a line, so the
// LineBuffer never holds more than the count line and one point line.
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "graphics/graphics.h"

namespace {
constexpr uint32_t kPointsPerLine = 4;

// Turns the comma after the last pair of a line into the line's newline.
void JAVtEndPointLine(LineText* line) {
    if (line->length > 0 && line->data[line->length - 1] == ',') {
        line->data[line->length - 1] = '\n';
    } else {
        JAVtLineAppendChar(line, '\n');
    }
}
}  // namespace

// Continues the prefix ("l," or "p,") the caller left in the LineBuffer with
// the count line and the point lines. The first write carries the count line
// and the first point line; every further point line is a write of its own.
extern "C" void JAVtPtsList(DriverContext* context, const PointList* points) {
    LineText line = JAVtLineResume(context);
    if (line.length >= kLineBufferSize) return;
    uint32_t count = points != nullptr ? points->count : 0;
    JAVtLineAppendInt(&line, count);
    JAVtLineAppendChar(&line, '\n');

    uint32_t onLine = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const PointPair& p = points->points[i];
        char pair[48];
        size_t n = JAVtFormatInt(pair, JAVtMapX(context, p.x));
        pair[n++] = ',';
        n += JAVtFormatInt(pair + n, JAVtMapY(context, p.y));
        pair[n++] = ',';
        JAVtLineAppend(&line, pair, n);

        if (i + 1 == count) {
            JAVtEndPointLine(&line);
            break;
        }
        if (++onLine == kPointsPerLine) {
            JAVtEndPointLine(&line);
            JAVtLineWrite(context, &line);
            line = JAVtLineBegin(context);
            onLine = 0;
        }
    }
    JAVtLineWrite(context, &line);
}

extern "C" int32_t JAVtPolyline(DriverContext* context, HostObject* object) {
    LineText line = JAVtLineBegin(context);
    JAVtLineAppendText(&line, "l,");
    JAVtPtsList(context, JAVtBody<PolylineData>(object)->points);
    JAVtCountRecord(context);
    return 1;
}

int32_t JAVtPolygon(DriverContext* context, HostObject* object) {
    const PointList* points = JAVtBody<PolygonData>(object)->points;
    bool gradient = JAVtDrawsGradient(context);
    if (gradient) JAVtEmitText(context, "q,2\n");

    LineText line = JAVtLineBegin(context);
    JAVtLineAppendText(&line, "p,");
    JAVtPtsList(context, points);
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
    if (count > 0 && JAVtDrawGradientBands(context, corner1, corner2) == kBandsHostFailed) return 0;
    JAVtEmitText(context, "q,0\n");
    return 1;
}
