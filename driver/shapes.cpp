// Closed shapes, clips, tagged rectangles, palettes and curves.
#include "driver/shapes.h"

int32_t JAVtRectangle(DriverContext*, HostObject*) { return 1; }
int32_t JAVtRoundRect(DriverContext*, HostObject*) { return 1; }
int32_t JAVtCircle(DriverContext*, HostObject*) { return 1; }
int32_t JAVtEllipse(DriverContext*, HostObject*) { return 1; }
int32_t JAVtClip(DriverContext*, HostObject*) { return 1; }
int32_t JAVtPalette(DriverContext*, HostObject*) { return 1; }
int32_t JAVtTaggedRect(DriverContext*, HostObject*) { return 1; }
int32_t JAVtOpenCurve(DriverContext*, HostObject*) { return 1; }
int32_t JAVtClosedCurve(DriverContext*, HostObject*) { return 1; }
