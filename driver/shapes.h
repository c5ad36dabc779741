// SPDX-License-Identifier: MIT
// Records that the object dispatcher writes itself: closed shapes, clips,
// tagged rectangles, palettes and curves handed to the host for flattening.
#ifndef JAVTRG_SHAPES_H
#define JAVTRG_SHAPES_H

#include <javtrg/host_services.h>

int32_t JAVtRectangle(DriverContext* context, HostObject* object);
int32_t JAVtRoundRect(DriverContext* context, HostObject* object);
int32_t JAVtCircle(DriverContext* context, HostObject* object);
int32_t JAVtEllipse(DriverContext* context, HostObject* object);
int32_t JAVtClip(DriverContext* context, HostObject* object);
int32_t JAVtPalette(DriverContext* context, HostObject* object);
int32_t JAVtTaggedRect(DriverContext* context, HostObject* object);
int32_t JAVtOpenCurve(DriverContext* context, HostObject* object);
int32_t JAVtClosedCurve(DriverContext* context, HostObject* object);

#endif
