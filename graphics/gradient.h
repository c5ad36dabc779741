// SPDX-License-Identifier: MIT
// Gradients the viewer cannot draw, drawn as bands of solid colour.
#ifndef JAVTRG_GRADIENT_H
#define JAVTRG_GRADIENT_H

#include <javtrg/host_services.h>

inline constexpr int32_t kGradMaxStops = 32;
// Most bands a fill draws. The planned count never exceeds 256; a host's
// stepCount above this bound is held to it, so that a bounded object never
// makes unbounded output.
inline constexpr int32_t kGradMaxBands = 4096;

// The stops a gradient really has: stopCount limited to 0..32, the room of
// its tables.
inline int32_t JAVtGradStopCount(const GradientDef* gradient) {
    int32_t count = gradient->stopCount;
    if (count < 0) return 0;
    return count > kGradMaxStops ? kGradMaxStops : count;
}

// One Colour per stop, in stop order.
void JAVtResolveGradColours(const DriverContext* context, const GradientDef* gradient, uint32_t* colours);
// The colour at `position` percent; 0 when the position lies beyond the last
// stop. `cursor` is the stop the search starts at, advanced as bands go.
int32_t JAVtGradColourAt(const GradientDef* gradient, const uint32_t* colours, int32_t* cursor,
                         int32_t position, uint32_t* colour);
void JAVtSwapXY(PointPair* point);

// What every band loop shares for one fill: the resolved stop colours, the
// band count, the position sequence and the segment cursor.
struct GradientBands {
    uint32_t colours[kGradMaxStops];
    int32_t count;        // n: the host's positive stepCount (at most kGradMaxBands), else planned
    double positionStep;  // 100 / (n - 1), or 100 for a single band
    double position;      // running position in percent, by repeated addition
    int32_t cursor;       // stop where the next colour search starts
};

// Resolves the stop colours and fixes the band count for the box of the
// shape, corner 1 (left, top) and corner 2 (right, bottom).
void JAVtGradBandsBegin(DriverContext* context, const GradientDef* gradient, PointPair corner1,
                        PointPair corner2, GradientBands* bands);
// The colour of the current band; 0 when its position lies beyond the last
// stop, which ends the fill.
int32_t JAVtGradBandColour(const GradientDef* gradient, GradientBands* bands, uint32_t* colour);
// Moves on to the next band's position.
void JAVtGradBandsAdvance(GradientBands* bands);

#endif
