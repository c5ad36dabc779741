// Gradients the viewer cannot draw, drawn as bands of solid colour.
#ifndef JAVTRG_GRADIENT_H
#define JAVTRG_GRADIENT_H

#include "driver/host_services.h"

// One Colour per stop, in stop order.
void JAVtResolveGradColours(const DriverContext* context, const GradientDef* gradient, uint32_t* colours);
// The colour at `position` percent; 0 when the position lies beyond the last
// stop. `cursor` is the stop the search starts at, advanced as bands go.
int32_t JAVtGradColourAt(const GradientDef* gradient, const uint32_t* colours, int32_t* cursor,
                         int32_t position, uint32_t* colour);
void JAVtSwapXY(PointPair* point);

#endif
