// The mapping of host coordinates (y up) onto target pixels (y down). Every
// position and length a record carries goes through it, so it is inline.
// The order of operations is fixed: offset, scale, (flip), +0.5, floor,
// saturated into the signed 32-bit range.
#ifndef JAVTRG_MAPPING_H
#define JAVTRG_MAPPING_H

#include <cstdint>

#include <javtrg/host_services.h>
#include "stream/numeric.h"

inline int32_t JAVtMapX(const DriverContext* context, double x) {
    return JAVtRound((x + context->offsetX) * context->scaleX);
}

inline int32_t JAVtMapY(const DriverContext* context, double y) {
    return JAVtRound(context->targetHeight - (y + context->offsetY) * context->scaleY);
}

inline int32_t JAVtMapLengthX(const DriverContext* context, double d) { return JAVtRound(d * context->scaleX); }

inline int32_t JAVtMapLengthY(const DriverContext* context, double d) { return JAVtRound(d * context->scaleY); }

#endif
