// SPDX-License-Identifier: MIT
// Gradient fills: concentric ellipses, concentric rectangles and parallel
// four-sided bands of solid colour laid over a shape's box. The shape
// handlers clip them to the shape with "q,2" ... "q,0".
//
// Host coordinates are untrusted 32-bit values: box sizes, centres, radii and
// band edges are held in 64 bits or doubles, every truncation saturates, and
// record fields are kept within the 32-bit range.
#include <cmath>

#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/record_stream.h"
#include "graphics/gradient.h"
#include "graphics/graphics.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951;
// An angle whose cosine is below this (within about 0.06 degrees of an odd
// multiple of 90) draws as the vertical bands of 90 or -90 degrees: its band
// edges would climb thousands of units per unit across the box.
constexpr double kNearlyVerticalCosine = 1e-3;

// The box of a shape in 64 bits: left, top (the larger y), right, bottom.
struct BandBox {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

BandBox JAVtBandBox(PointPair corner1, PointPair corner2) {
    return BandBox{corner1.x, corner1.y, corner2.x, corner2.y};
}

int32_t JAVtField(int64_t value) { return JAVtClamp32(value); }

// "t,-1,-1,-1,R,G,B,fillParam": the colour of the band that follows.
void JAVtWriteBandFill(DriverContext* context, uint32_t colour) {
    char* p = JAVtPutColour(JAVtPutText(JAVtRecordStart(context), "t,-1,-1,-1,"), colour);
    JAVtWriteRecord(context, JAVtPutFields(p, &context->currentFillAtt.fillParam, 1));
}

// The centre of an elliptical or rectangular gradient, and the aspect its
// shapes keep. The percentages are limited to 0..100 in the current fill.
struct BandCentre {
    int64_t cx;
    int64_t cy;
    double aspectW;
    double aspectH;
};

int32_t JAVtPercent(int32_t value) { return value < 0 ? 0 : (value > 100 ? 100 : value); }

BandCentre JAVtBandCentre(GradientDef* gradient, const BandBox& box) {
    double width = static_cast<double>(box.right - box.left);
    double height = static_cast<double>(box.top - box.bottom);
    if (width == 0.0) width = 1.0;
    if (height == 0.0) height = 1.0;

    gradient->centreXPercent = JAVtPercent(gradient->centreXPercent);
    gradient->centreYPercent = JAVtPercent(gradient->centreYPercent);

    BandCentre centre{};
    centre.cx = box.left + JAVtSaturate(gradient->centreXPercent * width / 100.0 + 0.5);
    centre.cy = box.bottom + JAVtSaturate(gradient->centreYPercent * height / 100.0 + 0.5);
    if (gradient->aspectX > 0 && gradient->aspectY > 0) {
        centre.aspectW = gradient->aspectX;
        centre.aspectH = gradient->aspectY;
    } else {
        centre.aspectW = width;
        centre.aspectH = height;
    }
    return centre;
}

int64_t JAVtLarger(int64_t a, int64_t b) { return a > b ? a : b; }

// Concentric ellipses of the aspect Wa : Ha, the first through the box
// corner farthest from the centre, each next one smaller by the same step.
int32_t JAVtEllipticalFill(DriverContext* context, GradientDef* gradient, const BandBox& box,
                           GradientBands* bands) {
    BandCentre c = JAVtBandCentre(gradient, box);
    int64_t rx0 = JAVtLarger(JAVtAbs64(box.right - c.cx), JAVtAbs64(c.cx - box.left));
    int64_t ry0 = JAVtLarger(JAVtAbs64(box.top - c.cy), JAVtAbs64(c.cy - box.bottom));

    double rx = 1.0;
    double ry = 1.0;
    if (rx0 == 0 && ry0 != 0) {
        ry = static_cast<double>(ry0);
    } else if (rx0 != 0 && ry0 == 0) {
        rx = static_cast<double>(rx0);
    } else if (rx0 != 0) {
        double across = static_cast<double>(ry0) * c.aspectW / c.aspectH;
        double reach = static_cast<double>(rx0);
        rx = JAVtSaturate(std::sqrt(reach * reach + across * across) + 0.5);
        ry = c.aspectH * rx / c.aspectW;
    }

    int32_t n = bands->count;
    if (n < 1) return 1;
    double d = n - 0.5;
    int64_t dx = JAVtSaturate(rx / d);
    int64_t dy = JAVtSaturate(ry / d);
    int64_t ex = JAVtSaturate(rx + 0.5) + c.cx;
    int64_t ey = JAVtSaturate(ry + 0.5) + c.cy;

    for (int32_t band = 0; band < n; ++band) {
        uint32_t colour = 0;
        if (JAVtGradBandColour(gradient, bands, &colour) == 0) return 0;
        JAVtWriteBandFill(context, colour);
        int64_t prx = JAVtMapLengthX(context, static_cast<double>(JAVtAbs64(ex - c.cx)));
        int64_t pry = JAVtMapLengthY(context, static_cast<double>(JAVtAbs64(c.cy - ey)));
        const int32_t values[] = {JAVtField(JAVtMapX(context, static_cast<double>(c.cx)) - prx),
                                  JAVtField(JAVtMapY(context, static_cast<double>(c.cy)) - pry), JAVtField(2 * prx),
                                  JAVtField(2 * pry)};
        JAVtEmitInts(context, "o,", values);
        if (band + 1 == n) break;
        ex -= dx;
        ey -= dy;
        JAVtGradBandsAdvance(bands);
    }
    return 1;
}

// Concentric rectangles of the aspect Wa : Ha reaching the box's farthest
// edges, each next one smaller by the same step on every side.
int32_t JAVtRectangularFill(DriverContext* context, GradientDef* gradient, const BandBox& box,
                            GradientBands* bands) {
    BandCentre c = JAVtBandCentre(gradient, box);
    int64_t hx = JAVtLarger(JAVtAbs64(box.right - c.cx), JAVtAbs64(c.cx - box.left));
    int64_t hy = JAVtSaturate(c.aspectH * static_cast<double>(hx) / c.aspectW + 0.5);
    // The aspect's half-height does not reach the box's edges: the height
    // decides instead, and the half-width follows from it.
    if (box.top > c.cy + hy || box.bottom < c.cy - hy) {
        hy = JAVtLarger(JAVtAbs64(c.cy - box.bottom), JAVtAbs64(box.top - c.cy));
        hx = JAVtSaturate(c.aspectW * static_cast<double>(hy) / c.aspectH + 0.5);
    }

    int64_t left = c.cx - hx;
    int64_t top = c.cy + hy;
    int64_t right = c.cx + hx;
    int64_t bottom = c.cy - hy;
    int32_t n = bands->count;
    if (n < 1) return 1;
    double d = n - 0.5;
    int64_t dx = JAVtSaturate(static_cast<double>(hx) / d);
    int64_t dy = JAVtSaturate(static_cast<double>(hy) / d);

    for (int32_t band = 0; band < n; ++band) {
        uint32_t colour = 0;
        if (JAVtGradBandColour(gradient, bands, &colour) == 0) return 0;
        JAVtWriteBandFill(context, colour);
        if (right < left) {
            int64_t x = left;
            left = right;
            right = x;
        }
        if (top < bottom) {
            int64_t y = top;
            top = bottom;
            bottom = y;
        }
        const int32_t values[] = {JAVtMapX(context, static_cast<double>(left)),
                                  JAVtMapY(context, static_cast<double>(top)),
                                  JAVtMapLengthX(context, static_cast<double>(right - left)),
                                  JAVtMapLengthY(context, static_cast<double>(top - bottom))};
        JAVtEmitInts(context, "r,", values);
        if (band + 1 == n) break;
        left += dx;
        right -= dx;
        top -= dy;
        bottom += dy;
        JAVtGradBandsAdvance(bands);
    }
    return 1;
}

// y of the band edge of offset k at x: trunc(x * tan + k + 0.5).
int32_t JAVtEdgeY(int32_t x, double tangent, double k) { return JAVtSaturate(x * tangent + k + 0.5); }

int32_t JAVtLinearBands(DriverContext* context, PointPair corner1, PointPair corner2);

}  // namespace

// Draws the gradient of the current fill over the box corner 1 (left, top),
// corner 2 (right, bottom). Returns 1 when every band was drawn, 0 when the
// colour search ended early or no point list was available; the bands
// written so far stay. An inverted box (a circle of negative radius) is
// drawn too: the fills work on absolute distances.
extern "C" int32_t JAVtGradientFill(DriverContext* context, PointPair corner1, PointPair corner2) {
    return JAVtDrawGradientBands(context, corner1, corner2) == 1 ? 1 : 0;
}

extern "C" int32_t JAVtLinearGradientFill(DriverContext* context, PointPair corner1, PointPair corner2) {
    return JAVtLinearBands(context, corner1, corner2) == 1 ? 1 : 0;
}

int32_t JAVtDrawGradientBands(DriverContext* context, PointPair corner1, PointPair corner2) {
    GradientDef* gradient = &context->currentFillAtt.gradient;
    if (gradient->gradientKind != kGradientElliptical && gradient->gradientKind != kGradientRectangular)
        return JAVtLinearBands(context, corner1, corner2);

    GradientBands bands;
    JAVtGradBandsBegin(context, gradient, corner1, corner2, &bands);
    BandBox box = JAVtBandBox(corner1, corner2);
    if (gradient->gradientKind == kGradientElliptical) return JAVtEllipticalFill(context, gradient, box, &bands);
    return JAVtRectangularFill(context, gradient, box, &bands);
}

// Parallel four-sided bands across the box. Their edges are lines
// y = x * tan + k; A = 0 stacks horizontal bands from the bottom, 90 and -90
// run vertical bands from the right or the left edge (worked with x and y
// exchanged), and any other angle follows one of the box's diagonals: the
// rising one for a positive angle, starting at the lower right corner, the
// falling one for a negative angle, starting at the lower left corner.
namespace {

int32_t JAVtLinearBands(DriverContext* context, PointPair corner1, PointPair corner2) {
    GradientDef* gradient = &context->currentFillAtt.gradient;
    int32_t angle = gradient->angle;
    int64_t dx = static_cast<int64_t>(corner2.x) - corner1.x;
    int64_t dy = static_cast<int64_t>(corner1.y) - corner2.y;

    PointPair a = corner1;
    PointPair b = corner2;
    bool swapped = false;
    double direction = 0.0;
    if (angle == 0 || angle == 90 || angle == -90 || dx == 0 || dy == 0) {
        // Only a flat box reaches here with another angle; one that is all
        // but vertical draws as 90 or -90 would.
        if (angle != 0 && angle != 90 && angle != -90) {
            double own = angle / kDegreesPerRadian;
            if (std::fabs(std::cos(own)) < kNearlyVerticalCosine) angle = std::sin(own) > 0.0 ? 90 : -90;
        }
        if (angle == 90 || angle == -90) {
            a = corner2;
            b = corner1;
            JAVtSwapXY(&a);
            JAVtSwapXY(&b);
            swapped = true;
            direction = (270 - angle) / kDegreesPerRadian;
        } else {
            direction = angle / kDegreesPerRadian;
        }
    } else {
        direction = std::atan2(static_cast<double>(JAVtAbs64(dy)), static_cast<double>(JAVtAbs64(dx)));
        if (angle < 0) direction = -direction;
    }

    double width = static_cast<double>(JAVtAbs64(static_cast<int64_t>(b.x) - a.x));
    double height = static_cast<double>(JAVtAbs64(static_cast<int64_t>(a.y) - b.y));
    double tangent = std::tan(direction);
    double cosine = std::cos(direction);
    double sine = std::sin(direction);

    GradientBands bands;
    JAVtGradBandsBegin(context, gradient, corner1, corner2, &bands);
    int32_t n = bands.count;
    if (n < 1) return 1;

    // The band height along y; negative when the bands run downwards.
    double h = (std::fabs(sine) * width + std::fabs(cosine) * height) / n / cosine;
    // The edge through the box's centre; the bands lie symmetrically about it.
    double k0 = b.y + 0.5 * height - (a.x + 0.5 * width) * tangent;
    if (n % 2 != 0) k0 -= 0.5 * h;
    double lo = k0 - (n / 2) * h;

    HostServices* services = context->hostServices;
    for (int32_t band = 0; band < n; ++band) {
        uint32_t colour = 0;
        if (JAVtGradBandColour(gradient, &bands, &colour) == 0) return 0;
        PointList* list = services->newPointList(services, 4);
        if (list == nullptr) return kBandsHostFailed;

        double hi = lo + h;
        list->count = 4;
        PointPair* p = list->points;
        p[0] = PointPair{a.x, JAVtEdgeY(a.x, tangent, lo)};
        p[1] = PointPair{a.x, JAVtEdgeY(a.x, tangent, hi)};
        p[2] = PointPair{b.x, JAVtEdgeY(b.x, tangent, hi)};
        p[3] = PointPair{b.x, JAVtEdgeY(b.x, tangent, lo)};
        if (swapped) {
            for (int32_t i = 0; i < 4; ++i) JAVtSwapXY(&p[i]);
        }

        JAVtWriteBandFill(context, colour);
        JAVtPutText(JAVtRecordStart(context), "p,");
        JAVtWritePointList(context, 2, list);
        services->freePointList(services, list);

        if (band + 1 == n) break;
        JAVtGradBandsAdvance(&bands);
        lo = hi;
    }
    return 1;
}

}  // namespace

void JAVtSwapXY(PointPair* point) {
    int32_t x = point->x;
    point->x = point->y;
    point->y = x;
}
