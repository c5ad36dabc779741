// SPDX-License-Identifier: MIT
// Records the object dispatcher writes itself: rectangles, rounded
// rectangles, circles and ellipses (each optionally enclosing a gradient the
// driver draws), clips, tagged rectangles, palettes, and curves that the host
// flattens into polylines and polygons.
//
// Host coordinates are untrusted 32-bit values: every difference and every
// sum is taken in 64 bits. A record field that combines mapped values (a
// circle's left edge, X(cx) - R, or its width 2R) saturates to the 32-bit
// range like the mapped values themselves, so every field stays a "%d".
#include "driver/shapes.h"

#include "driver/pictures.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/mapping.h"
#include "stream/record_stream.h"
#include "graphics/graphics.h"

namespace {


double JAVtAsDouble(int64_t value) { return static_cast<double>(value); }

// A corner of a gradient box. Corners such as cx + radius can lie beyond
// the 32-bit range of a PointPair; they are saturated to its limits, which
// keeps the box on the same side of the picture.
PointPair JAVtCorner(int64_t x, int64_t y) { return PointPair{JAVtClamp32(x), JAVtClamp32(y)}; }

// Writes a closed shape's record, "<letter>,v1,...\n". For a gradient the
// driver draws, "q,2\n" goes in front of it in the same write, the bands
// covering `corner1`-`corner2` follow, and "q,0\n" closes the clip. Only the
// shape write counts as a record group. Returns 1, or 0 when the host could
// not give a band its point list: the bands stop there, and the clip is
// closed all the same, so that nothing drawn after this shape is clipped to
// it.
template <size_t N>
inline int32_t JAVtEmitShape(DriverContext* context, char letter, const int32_t (&values)[N], PointPair corner1,
                             PointPair corner2) {
    static_assert(4 + 2 + N * (kIntFieldMax + 1) <= kLineTextMax, "the shape record fits the LineBuffer");
    bool gradient = JAVtDrawsGradient(context);
    char* p = JAVtRecordStart(context);
    if (gradient) p = JAVtPutText(p, "q,2\n");
    *p++ = letter;
    *p++ = ',';
    JAVtWriteRecord(context, JAVtPutFields(p, values, N));
    JAVtCountRecord(context);
    if (!gradient) return 1;
    int32_t bands = JAVtDrawGradientBands(context, corner1, corner2);
    JAVtEmitText(context, "q,0\n");
    return bands == kBandsHostFailed ? kResultFailure : kResultDone;
}

void JAVtSwap(int32_t* a, int32_t* b) {
    int32_t t = *a;
    *a = *b;
    *b = t;
}

// Afterwards (x0, y0) is the top left and (x1, y1) the bottom right corner;
// the host object keeps the new order.
void JAVtOrderCorners(RectangleData* r) {
    if (r->x0 > r->x1) JAVtSwap(&r->x0, &r->x1);
    if (r->y0 < r->y1) JAVtSwap(&r->y0, &r->y1);
}

// Turns a curve object into a Polyline or Polygon object holding the host's
// flattened point list and hands it to `handler`. The point list is given
// back with freePointList once the handler has written it, after it has been
// taken out of the object, so a host that frees what its objects refer to
// finds nothing left to free.
int32_t JAVtDrawCurve(DriverContext* context, HostObject* curve, int32_t kind,
                      PointList* (*convert)(HostServices*, const void*),
                      int32_t (*handler)(DriverContext*, HostObject*)) {
    HostServices* services = context->hostServices;
    HostObject* shape = services->createObject(services, kind);
    if (shape == nullptr) return 0;
    PointList* points = convert(services, JAVtBody<unsigned char>(curve));
    if (points == nullptr) {
        services->releaseObject(services, shape);
        return 0;
    }
    PointList** slot;
    if (kind == kKindPolyline) {
        PolylineData* body = JAVtBody<PolylineData>(shape);
        body->points = points;
        body->value = 0;
        slot = &body->points;
    } else {
        slot = &JAVtBody<PolygonData>(shape)->points;
        *slot = points;
    }
    int32_t result = handler(context, shape);
    *slot = nullptr;
    services->freePointList(services, points);
    services->releaseObject(services, shape);
    return result;
}

}  // namespace

int32_t JAVtRectangle(DriverContext* context, HostObject* object) {
    RectangleData* r = JAVtBody<RectangleData>(object);
    JAVtOrderCorners(r);
    const int32_t box[4] = {
        JAVtMapX(context, r->x0),
        JAVtMapY(context, r->y0),
        JAVtMapLengthX(context, JAVtAsDouble(int64_t{r->x1} - r->x0)),
        JAVtMapLengthY(context, JAVtAsDouble(int64_t{r->y0} - r->y1)),
    };
    // Under a picture fill the rectangle is where the picture goes.
    if (context->currentFillAtt.fillStyle == kFillPicture) return JAVtPictureFill(context, r, box);
    return JAVtEmitShape(context, 'r', box, PointPair{r->x0, r->y0}, PointPair{r->x1, r->y1});
}

// The x corners keep their order: the shape starts at x0 and extends to the
// right by the distance to x1.
int32_t JAVtRoundRect(DriverContext* context, HostObject* object) {
    const RoundRectData* r = JAVtBody<RoundRectData>(object);
    int32_t upper = r->y0 > r->y1 ? r->y0 : r->y1;
    int32_t lower = r->y0 > r->y1 ? r->y1 : r->y0;
    int32_t values[] = {
        JAVtMapX(context, r->x0),
        JAVtMapY(context, upper),
        JAVtMapLengthX(context, JAVtAsDouble(JAVtAbs64(int64_t{r->x1} - r->x0))),
        JAVtMapLengthY(context, JAVtAsDouble(JAVtAbs64(int64_t{r->y1} - r->y0))),
        JAVtMapLengthX(context, r->cornerX),
        JAVtMapLengthY(context, r->cornerY),
    };
    return JAVtEmitShape(context, 'd', values, PointPair{r->x0, upper}, PointPair{r->x1, lower});
}

// The horizontal scale serves both axes of a circle.
int32_t JAVtCircle(DriverContext* context, HostObject* object) {
    const CircleData* c = JAVtBody<CircleData>(object);
    int64_t radius = JAVtMapLengthX(context, c->radius);
    int32_t values[] = {
        JAVtClamp32(JAVtMapX(context, c->cx) - radius),
        JAVtClamp32(JAVtMapY(context, c->cy) - radius),
        JAVtClamp32(2 * radius),
        JAVtClamp32(2 * radius),
    };
    return JAVtEmitShape(context, 'o', values, JAVtCorner(int64_t{c->cx} - c->radius, int64_t{c->cy} + c->radius),
                         JAVtCorner(int64_t{c->cx} + c->radius, int64_t{c->cy} - c->radius));
}

// The radii are the distances between the two given points on each axis.
int32_t JAVtEllipse(DriverContext* context, HostObject* object) {
    const EllipseData* e = JAVtBody<EllipseData>(object);
    int64_t dx = JAVtAbs64(int64_t{e->ax} - e->bx);
    int64_t dy = JAVtAbs64(int64_t{e->ay} - e->by);
    int64_t radiusX = JAVtMapLengthX(context, JAVtAsDouble(dx));
    int64_t radiusY = JAVtMapLengthY(context, JAVtAsDouble(dy));
    int32_t values[] = {
        JAVtClamp32(JAVtMapX(context, e->cx) - radiusX),
        JAVtClamp32(JAVtMapY(context, e->cy) - radiusY),
        JAVtClamp32(2 * radiusX),
        JAVtClamp32(2 * radiusY),
    };
    return JAVtEmitShape(context, 'o', values, JAVtCorner(e->cx - dx, e->cy + dy), JAVtCorner(e->cx + dx, e->cy - dy));
}

// Mode 1 with a rectangle opens a clip: a fill record clearing both colours
// and the rectangle, in one write. Mode 0 without a rectangle ends it. The
// cleared fill is not restored; the next fill record replaces it.
int32_t JAVtClip(DriverContext* context, HostObject* object) {
    const ClipData* clip = JAVtBody<ClipData>(object);
    HostObject* reference = clip->rectangle;
    bool isRectangle = reference != nullptr && reference->kind == kKindRectangle;
    int32_t box[4] = {};
    if (isRectangle) {
        RectangleData* r = JAVtBody<RectangleData>(reference);
        JAVtOrderCorners(r);
        box[0] = JAVtMapX(context, r->x0);
        box[1] = JAVtMapY(context, r->y0);
        box[2] = JAVtMapLengthX(context, JAVtAsDouble(JAVtAbs64(int64_t{r->x0} - r->x1)));
        box[3] = JAVtMapLengthY(context, JAVtAsDouble(JAVtAbs64(int64_t{r->y0} - r->y1)));
    }
    if (clip->mode == kClipEnd && reference == nullptr) {
        JAVtEmitText(context, "q,0\n");
        JAVtCountRecord(context);
    } else if (clip->mode == kClipOpen && isRectangle) {
        JAVtEmitInts(context, "q,1\nt,-1,-1,-1,-1,-1,-1,0\nr,", box);
        JAVtCountRecord(context);
    }
    return 1;
}

// The driver keeps its own copy of the colour table. An object without a
// table leaves the driver without one (the host is not asked to copy
// nothing). A table the host cannot copy fails the object: every later
// colour would be drawn black.
int32_t JAVtPalette(DriverContext* context, HostObject* object) {
    HostServices* services = context->hostServices;
    if (context->palette != nullptr) {
        services->freePalette(services, context->palette);
        context->palette = nullptr;
    }
    const HostPalette* table = JAVtBody<PaletteData>(object)->palette;
    if (table != nullptr) {
        context->palette = services->copyPalette(services, table);
        if (context->palette == nullptr) return 0;
    }
    JAVtCountRecord(context);
    return 1;
}

// Only tag 5 with its four values (right, top, left, bottom) is written; the
// width and height keep their sign.
int32_t JAVtTaggedRect(DriverContext* context, HostObject* object) {
    const TaggedRectData* tagged = JAVtBody<TaggedRectData>(object);
    if (tagged->tag != kTagRectangle || tagged->values == nullptr) return 1;
    int64_t right = tagged->values[0];
    int64_t top = tagged->values[1];
    int64_t left = tagged->values[2];
    int64_t bottom = tagged->values[3];
    int32_t values[] = {
        JAVtMapX(context, JAVtAsDouble(left)),
        JAVtMapY(context, JAVtAsDouble(top)),
        JAVtMapLengthX(context, JAVtAsDouble(right - left)),
        JAVtMapLengthY(context, JAVtAsDouble(top - bottom)),
    };
    JAVtEmitInts(context, "k,", values);
    JAVtCountRecord(context);
    return 1;
}

int32_t JAVtOpenCurve(DriverContext* context, HostObject* object) {
    return JAVtDrawCurve(context, object, kKindPolyline, context->hostServices->curveToPointList, JAVtPolyline);
}

int32_t JAVtClosedCurve(DriverContext* context, HostObject* object) {
    return JAVtDrawCurve(context, object, kKindPolygon, context->hostServices->closedCurveToPointList, JAVtPolygon);
}
