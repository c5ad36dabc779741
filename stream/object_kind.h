// The host's object kinds.
#ifndef JAVTRG_OBJECT_KIND_H
#define JAVTRG_OBJECT_KIND_H

#include <cstdint>

enum ObjectKind : int32_t {
    kKindGroupMarker = 1,
    kKindPolyline = 4,
    kKindOpenCurve = 7,
    kKindPolygon = 8,
    kKindRectangle = 10,
    kKindRoundRect = 11,
    kKindCircle = 12,
    kKindEllipse = 13,
    kKindClosedCurve = 16,
    kKindSimpleText = 18,
    kKindTextPiece = 19,
    kKindJustify = 20,
    kKindRaster = 22,
    kKindClip = 27,
    kKindLineAtt = 28,
    kKindFillAtt = 29,
    kKindTextAtt = 30,
    kKindPalette = 32,
    kKindEndMarker = 34,
    kKindTaggedRect = 37,
    kKindTextBox = 38,
    kKindParaAtt = 39,
    kKindCharAtt = 40,
    kKindTextString = 41,
    kKindWidthString = 42,
    kKindTab = 45,
    kKindParaStart = 46,
    kKindParaStartAtt = 47,
    kKindTextBoxEnd = 48,
};

#endif
