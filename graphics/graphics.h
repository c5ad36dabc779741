// Vector graphics: point lists, pens and fills, colour resolution.
#ifndef JAVTRG_GRAPHICS_H
#define JAVTRG_GRAPHICS_H

#include <javtrg/host_services.h>

// Writes the polygon record of a Polygon object; for a gradient the driver
// draws, encloses it and the bands in "q,2" ... "q,0". Returns 1.
int32_t JAVtPolygon(DriverContext* context, HostObject* object);

// A colour entry as a Colour: the entry itself with colourMode 4, otherwise
// an index into the palette (see colour.cpp for the out-of-table rules).
uint32_t JAVtResolveColour(const DriverContext* context, uint32_t entry);

inline int32_t JAVtRed(uint32_t colour) { return static_cast<int32_t>(colour & 0xFFu); }
inline int32_t JAVtGreen(uint32_t colour) { return static_cast<int32_t>((colour >> 8) & 0xFFu); }
inline int32_t JAVtBlue(uint32_t colour) { return static_cast<int32_t>((colour >> 16) & 0xFFu); }

// Fill styles of FillAttributes: 0 and 2 no fill colour, 4 a picture, 5 a
// gradient, any other a solid fill.
inline constexpr int32_t kFillNone = 0;
inline constexpr int32_t kFillNoneAlt = 2;
inline constexpr int32_t kFillPicture = 4;
inline constexpr int32_t kFillGradient = 5;
// Gradient kinds: elliptical, rectangular; any other is linear.
inline constexpr int32_t kGradientElliptical = 2;
inline constexpr int32_t kGradientRectangular = 3;

// True when the current fill is a gradient the driver draws as bands.
inline bool JAVtDrawsGradient(const DriverContext* context) {
    return context->currentFillAtt.fillStyle == kFillGradient && context->driverGradient == 1;
}

#endif
