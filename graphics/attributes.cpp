// Pen and fill attributes: the "a" and "t" records.
#include "graphics/graphics.h"

extern "C" int32_t JAVtLineAtt(DriverContext* context, HostObject* object) {
    (void)context;
    (void)object;
    return 1;
}

extern "C" int32_t JAVtFillAtt(DriverContext* context, HostObject* object) {
    (void)context;
    (void)object;
    return 1;
}
