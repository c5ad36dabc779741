// SPDX-License-Identifier: MIT
// putJAVobject: the driver's object entry. Routes each host object by kind
// to the handler that writes its records, then gives the object back.
#include <javtrg/host_services.h>
#include "driver/shapes.h"
#include "graphics/graphics.h"
#include "text/text.h"

namespace {

int32_t JAVtDispatch(DriverContext* context, HostObject* object) {
    // Codes outside 0..48 (compared unsigned) are unlisted kinds: nothing.
    switch (static_cast<uint32_t>(object->kind)) {
        case kKindGroupMarker:
        case kKindEndMarker: return kResultMarker;
        case kKindPolyline: return JAVtPolyline(context, object);
        case kKindOpenCurve: return JAVtOpenCurve(context, object);
        case kKindPolygon: return JAVtPolygon(context, object);
        case kKindRectangle: return JAVtRectangle(context, object);
        case kKindRoundRect: return JAVtRoundRect(context, object);
        case kKindCircle: return JAVtCircle(context, object);
        case kKindEllipse: return JAVtEllipse(context, object);
        case kKindClosedCurve: return JAVtClosedCurve(context, object);
        case kKindSimpleText: return JAVtText(context, object);
        case kKindTextPiece: return JAVtAppendTxt(context, object);
        case kKindJustify: JAVtJustifyTxt(context, object); return kResultDone;
        case kKindRaster: return JAVtRaster(context, object);
        case kKindClip: return JAVtClip(context, object);
        case kKindLineAtt: return JAVtLineAtt(context, object);
        case kKindFillAtt: return JAVtFillAtt(context, object);
        case kKindTextAtt: return JAVtTextAtt(context, object);
        case kKindPalette: return JAVtPalette(context, object);
        case kKindTaggedRect: return JAVtTaggedRect(context, object);
        case kKindTextBox: return JAVtTextStart(context, object);
        case kKindParaAtt: return JAVtTextParaAtt(context, object);
        case kKindCharAtt: return JAVtTextCharAtt(context, object);
        case kKindTextString:
        case kKindWidthString:
        case kKindTab: return JAVtTextString(context, object);
        case kKindParaStart:
        case kKindParaStartAtt: return JAVtTextParaStart(context, object);
        case kKindTextBoxEnd: return JAVtTextEnd(context, object);
        default: return kResultDone;
    }
}

}  // namespace

extern "C" int32_t putJAVobject(DriverContext* context, HostObject* object) {
    if (context == nullptr || object == nullptr) return kResultFailure;
    context->currentObject = object;
    int32_t result = JAVtDispatch(context, object);
    context->hostServices->releaseObject(context->hostServices, object);
    return result;
}
