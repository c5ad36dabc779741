// Gradient step planning: band counts and band colours.
#include "graphics/gradient.h"

void JAVtResolveGradColours(const DriverContext* context, const GradientDef* gradient, uint32_t* colours) {
    (void)context;
    (void)gradient;
    (void)colours;
}

extern "C" int32_t JAVtCalcOptimalGradSteps(DriverContext* context, const GradientDef* gradient,
                                            const uint32_t* colours, PointPair corner1, PointPair corner2) {
    (void)context;
    (void)gradient;
    (void)colours;
    (void)corner1;
    (void)corner2;
    return 0;
}

int32_t JAVtGradColourAt(const GradientDef* gradient, const uint32_t* colours, int32_t* cursor,
                         int32_t position, uint32_t* colour) {
    (void)gradient;
    (void)colours;
    (void)cursor;
    (void)position;
    (void)colour;
    return 0;
}
