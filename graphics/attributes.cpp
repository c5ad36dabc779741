// SPDX-License-Identifier: MIT
// Pen and fill attributes: the "a" and "t" records, and the copies of the
// current pen and fill that later shapes and group playback read.
#include <cstring>

#include "stream/mapping.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "graphics/graphics.h"

namespace {

// The viewer's own gradient forms: 0 two stops from 0 to 100 percent, 1 a
// symmetric three-stop gradient.
constexpr int32_t kViewerTwoStop = 0;
constexpr int32_t kViewerSymmetric = 1;

// "-1,-1,-1,<fillParam>\n": no fill colour.
char* JAVtPutNoFill(char* out, int32_t fillParam) {
    out = JAVtPutText(out, "-1,-1,-1,");
    out = JAVtPutInt(out, fillParam);
    *out++ = '\n';
    return out;
}

// The viewer's gradient: first stop colour, fillParam, second stop colour,
// the form and the angle.
char* JAVtPutViewerGradient(const DriverContext* context, char* out, const FillAttributes* fill, int32_t form) {
    const GradientDef* g = &fill->gradient;
    out = JAVtPutColour(out, JAVtResolveColour(context, g->stopColours[0]));
    out = JAVtPutInt(out, fill->fillParam);
    *out++ = ',';
    out = JAVtPutColour(out, JAVtResolveColour(context, g->stopColours[1]));
    const int32_t tail[] = {form, g->angle};
    return JAVtPutFields(out, tail, 2);
}

// Which gradients the viewer draws from the "t" record itself; every other
// gradient is drawn by the driver as bands.
int32_t JAVtViewerGradientForm(const GradientDef* g) {
    if (g->stopCount == 2 && g->stopPositions[1] == 100) return kViewerTwoStop;
    if (g->stopCount == 3 && g->stopColours[0] == g->stopColours[2] && g->stopPositions[1] == 50)
        return kViewerSymmetric;
    return -1;
}

}  // namespace

// A positive pen width becomes pixels in the object itself, at least one
// pixel; a width of 0 or less is passed on unchanged. The pen as received
// is kept too: group playback restores it from that copy.
extern "C" int32_t JAVtLineAtt(DriverContext* context, HostObject* object) {
    LineAttributes* pen = JAVtBody<LineAttributes>(object);
    std::memcpy(&context->receivedLineAtt, pen, sizeof(LineAttributes));
    uint32_t colour = JAVtResolveColour(context, pen->lineColour);
    if (pen->lineWidth > 0) {
        int32_t pixels = JAVtMapLengthX(context, pen->lineWidth);
        pen->lineWidth = pixels == 0 ? 1 : pixels;
    }
    const int32_t values[] = {pen->lineValueB, pen->lineValueA, pen->lineWidth};
    JAVtCountRecord(context);
    static_assert(2 + 6 * (kIntFieldMax + 1) <= kLineTextMax, "the a record fits the LineBuffer");
    char* p = JAVtPutColour(JAVtPutText(JAVtRecordStart(context), "a,"), colour);
    JAVtWriteRecord(context, JAVtPutFields(p, values, 3));
    std::memcpy(&context->currentLineAtt, pen, sizeof(LineAttributes));
    return 1;
}

// Every fill replaces the current one whole and clears driverGradient; a
// picture fill writes nothing (the rectangles it fills place the picture).
// The fore colour is written only when both foreEnable and foreShown are set.
extern "C" int32_t JAVtFillAtt(DriverContext* context, HostObject* object) {
    JAVtCopyBody(&context->currentFillAtt, JAVtBody<FillAttributes>(object));
    context->driverGradient = 0;
    const FillAttributes* fill = &context->currentFillAtt;
    if (fill->fillStyle == kFillPicture) return 1;

    uint32_t foreColour = JAVtResolveColour(context, fill->foreColour);
    uint32_t fillColour = JAVtResolveColour(context, fill->fillColour);
    // Twelve fields at most: "t," fore colour, the fill colour or the
    // viewer's gradient, fillParam.
    static_assert(2 + 12 * (kIntFieldMax + 1) <= kLineTextMax, "the t record fits the LineBuffer");
    char* p = JAVtPutText(JAVtRecordStart(context), "t,");
    if (fill->foreEnable != 0 && fill->foreShown != 0) {
        p = JAVtPutColour(p, foreColour);
    } else {
        p = JAVtPutText(p, "-1,-1,-1,");
    }

    const GradientDef* g = &fill->gradient;
    if (fill->fillStyle == kFillNone || fill->fillStyle == kFillNoneAlt) {
        p = JAVtPutNoFill(p, fill->fillParam);
    } else if (fill->fillStyle != kFillGradient || g->stopCount == 0) {
        p = JAVtPutColour(p, fillColour);
        p = JAVtPutFields(p, &fill->fillParam, 1);
    } else if (g->gradientKind == kGradientElliptical || g->gradientKind == kGradientRectangular) {
        p = JAVtPutNoFill(p, fill->fillParam);
        context->driverGradient = 1;
    } else if (int32_t form = JAVtViewerGradientForm(g); form >= 0) {
        p = JAVtPutViewerGradient(context, p, fill, form);
    } else {
        p = JAVtPutNoFill(p, fill->fillParam);
        context->driverGradient = 1;
    }
    JAVtWriteRecord(context, p);
    return 1;
}
