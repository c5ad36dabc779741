// SPDX-License-Identifier: MIT
// Vector graphics: point lists, pens and fills, colour resolution.
#ifndef JAVTRG_GRAPHICS_H
#define JAVTRG_GRAPHICS_H

#include <javtrg/host_services.h>
#include "stream/decimal.h"

// Writes the polygon record of a Polygon object; for a gradient the driver
// draws, encloses it and the bands in "q,2" ... "q,0". Returns 1, or 0 when the
// host gave no point list for a band (the clip is closed all the same).
int32_t JAVtPolygon(DriverContext* context, HostObject* object);
// Writes the count line and the point lines of `points` after the record
// prefix ("l," or "p,") of `prefixLength` characters at the start of the
// LineBuffer; JAVtPtsList with the prefix already measured.
void JAVtWritePointList(DriverContext* context, uint32_t prefixLength, const PointList* points);

// Picture elements: raster images and fill pictures written by the host at
// 96 pixels per inch, kElementPng unless the host's own format is kept.
inline constexpr int32_t kElementDpi = 96;
// A host length in element pixels, truncated, at least 1.
int32_t JAVtElementPixels(int64_t length, double unitsPerInch);
// The image parameter block handed to the host: a copy of the target info
// with no extents, `width` × `height` pixels (also as the image size) at 96
// pixels per inch.
void JAVtImageParameters(TargetInfo* block, const TargetInfo* info, int32_t width, int32_t height);
// Writes the "m" record placing a picture element in the box {left, top,
// width, height} (pixels), named by elementTextA and elementTextB. Returns
// the stream's result.
int32_t JAVtWriteElementPlacement(DriverContext* context, const int32_t (&box)[4]);

// A colour entry as a Colour: the entry itself with kColourModeDirect, otherwise
// an index into the palette (see colour.cpp for the out-of-table rules).
uint32_t JAVtPaletteColour(const DriverContext* context, uint32_t entry);
inline uint32_t JAVtResolveColour(const DriverContext* context, uint32_t entry) {
    return context->targetParams->colourMode == kColourModeDirect ? entry : JAVtPaletteColour(context, entry);
}

inline int32_t JAVtRed(uint32_t colour) { return static_cast<int32_t>(colour & 0xFFu); }
inline int32_t JAVtGreen(uint32_t colour) { return static_cast<int32_t>((colour >> 8) & 0xFFu); }
inline int32_t JAVtBlue(uint32_t colour) { return static_cast<int32_t>((colour >> 16) & 0xFFu); }
// "R,G,B," at `out`; returns the end.
inline char* JAVtPutColour(char* out, uint32_t colour) {
    out = JAVtPutByteField(out, static_cast<uint8_t>(colour));
    out = JAVtPutByteField(out, static_cast<uint8_t>(colour >> 8));
    return JAVtPutByteField(out, static_cast<uint8_t>(colour >> 16));
}

// True when the current fill is a gradient the driver draws as bands.
inline bool JAVtDrawsGradient(const DriverContext* context) {
    return context->currentFillAtt.fillStyle == kFillGradient && context->driverGradient == 1;
}

// Draws the bands of the current fill's gradient over the box, as
// JAVtGradientFill does, and tells how that ended: every band drawn (1), the
// colour search ended early (0), or the host gave no point list for a band
// (-1), a failure the shape handler reports after closing the clip.
inline constexpr int32_t kBandsHostFailed = -1;
int32_t JAVtDrawGradientBands(DriverContext* context, PointPair corner1, PointPair corner2);

#endif
