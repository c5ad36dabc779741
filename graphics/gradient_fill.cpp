// Gradient fills: elliptical, rectangular and linear bands.
#include "graphics/gradient.h"

// Gradients are not drawn yet: the shape's "q,2" ... "q,0" stays empty.
extern "C" int32_t JAVtGradientFill(DriverContext* context, PointPair corner1, PointPair corner2) {
    (void)context;
    (void)corner1;
    (void)corner2;
    return 1;
}

extern "C" int32_t JAVtLinearGradientFill(DriverContext* context, PointPair corner1, PointPair corner2) {
    (void)context;
    (void)corner1;
    (void)corner2;
    return 1;
}

void JAVtSwapXY(PointPair* point) {
    int32_t x = point->x;
    point->x = point->y;
    point->y = x;
}
