// Text boxes, paragraph starts, simple texts and text ends.
#include "text/text.h"

extern "C" int32_t JAVtTextStart(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtText(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtTextParaStart(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtTextEnd(DriverContext*, HostObject*) { return 1; }
