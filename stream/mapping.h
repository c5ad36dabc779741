// SPDX-License-Identifier: MIT
// The mapping of host coordinates (y up) onto target pixels (y down). Every
// position and length a record carries goes through it, so it is inline.
// The order of operations is fixed: offset, scale, (flip), +0.5, floor,
// saturated into the signed 32-bit range.
#ifndef JAVTRG_MAPPING_H
#define JAVTRG_MAPPING_H

#include <cstdint>

#include <javtrg/host_services.h>
#include "stream/numeric.h"

// The mapping's parameters. A writer that maps many points takes a copy
// first: the characters it writes might otherwise, for all the compiler
// knows, change the context's fields between two points.
struct JAVtMapping {
    double offsetX;
    double offsetY;
    double scaleX;
    double scaleY;
    double targetHeight;
};

inline JAVtMapping JAVtMappingOf(const DriverContext* context) {
    return JAVtMapping{context->offsetX, context->offsetY, context->scaleX, context->scaleY, context->targetHeight};
}

inline int32_t JAVtMapX(const JAVtMapping& m, double x) { return JAVtRound((x + m.offsetX) * m.scaleX); }

inline int32_t JAVtMapY(const JAVtMapping& m, double y) {
    return JAVtRound(m.targetHeight - (y + m.offsetY) * m.scaleY);
}

inline int32_t JAVtMapX(const DriverContext* context, double x) { return JAVtMapX(JAVtMappingOf(context), x); }

inline int32_t JAVtMapY(const DriverContext* context, double y) { return JAVtMapY(JAVtMappingOf(context), y); }

inline int32_t JAVtMapLengthX(const DriverContext* context, double d) { return JAVtRound(d * context->scaleX); }

inline int32_t JAVtMapLengthY(const DriverContext* context, double d) { return JAVtRound(d * context->scaleY); }

#endif
