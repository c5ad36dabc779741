// Text, paragraph and character attributes, and the fonts they name.
#include "text/text.h"

extern "C" int32_t JAVtTextAtt(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtCmpTextAtt(DriverContext*, const TextAttributes*, const TextAttributes*) { return 1; }
extern "C" int32_t JAVtTextParaAtt(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtTextCharAtt(DriverContext*, HostObject*) { return 1; }
extern "C" int32_t JAVtJustifyTxt(DriverContext*, HostObject*) { return 1; }
int32_t JAVtPutTextAttFont(DriverContext*, TextAttributes*) { return 1; }
