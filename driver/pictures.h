// SPDX-License-Identifier: MIT
// Picture fills: the element list that remembers converted pictures, and the
// fill of a rectangle with a picture.
#ifndef JAVTRG_PICTURES_H
#define JAVTRG_PICTURES_H

#include <javtrg/host_services.h>

// Picture fills nest when a vector picture fills its own rectangles with
// pictures; a fill that would convert a picture this many fills deep fails.
inline constexpr int32_t kMaxPictureDepth = 16;

// Creates the context's element list: five empty entries. 1 done, 0 when
// either block could not be obtained (the context then holds no list).
int32_t JAVtCreateElementList(DriverContext* context);

// Fills the rectangle `r` (corners in order) with the current fill's
// picture, placed at the mapped box {left, top, width, height}.
int32_t JAVtPictureFill(DriverContext* context, const RectangleData* r, const int32_t (&box)[4]);

#endif
