// SPDX-License-Identifier: MIT
// Raster images: each becomes a picture element of its own, which the host
// writes at 96 pixels per inch, placed in the picture by an "m" record that
// names the element by its two texts.
#include <cstring>

#include "graphics/graphics.h"
#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"

namespace {

int64_t JAVtSmaller(int64_t a, int64_t b) { return a < b ? a : b; }

}  // namespace

int32_t JAVtElementPixels(int64_t length, double unitsPerInch) {
    int32_t pixels = JAVtSaturate(static_cast<double>(length) / unitsPerInch * kElementDpi);
    return pixels > 0 ? pixels : 1;
}

void JAVtImageParameters(TargetInfo* block, const TargetInfo* info, int32_t width, int32_t height) {
    std::memcpy(block, info, sizeof(TargetInfo));
    block->infoExtentX = 0.0;
    block->infoExtentY = 0.0;
    block->pixelWidth = width;
    block->pixelHeight = height;
    block->dpiX = kElementDpi;
    block->dpiY = kElementDpi;
    block->imageWidth = width;
    block->imageHeight = height;
}

int32_t JAVtWriteElementPlacement(DriverContext* context, const int32_t (&box)[4]) {
    // "m,l,t,w,h\n", then each text on a line of its own.
    static_assert(2 + 4 * (kIntFieldMax + 1) + 2 * kElementTextSize <= kLineTextMax, "the m record fits");
    char* p = JAVtPutFields(JAVtPutText(JAVtRecordStart(context), "m,"), box, 4);
    for (const char* text : {context->elementTextA, context->elementTextB}) {
        size_t length = strnlen(text, kElementTextSize - 1);
        std::memcpy(p, text, length);
        p += length;
        *p++ = '\n';
    }
    return JAVtWriteRecord(context, p);
}

// The corners p0 (top left), p1 (top right) and p2 (bottom left) give the
// image's extent as they arrive: |x1 - x2| wide, |y2 - y0| high. The element
// is closed whether or not the export succeeded, so no element is left open;
// a failed export still fails the object, before any record.
extern "C" int32_t JAVtRaster(DriverContext* context, HostObject* object) {
    const TargetParams* params = context->targetParams;
    const TargetInfo* info = params->targetInfo;
    if (info == nullptr || info->createElement == nullptr) return 0;

    ExportRequest request;
    std::memset(&request, 0, sizeof request);
    ElementWriter* writer = info->createElement(info->elementHandle, kElementPng, context->elementTextA,
                                                kElementTextSize, context->elementTextB, kElementTextSize);
    if (writer == nullptr) return 0;
    context->elementTextA[kElementTextSize - 1] = '\0';
    context->elementTextB[kElementTextSize - 1] = '\0';
    request.elementKind = kElementPng;
    request.writer = writer;

    RasterData* r = JAVtBody<RasterData>(object);
    int64_t widthUnits = JAVtAbs64(int64_t{r->x1} - r->x2);
    int64_t heightUnits = JAVtAbs64(int64_t{r->y2} - r->y0);
    TargetInfo parameters;
    JAVtImageParameters(&parameters, info, JAVtElementPixels(widthUnits, context->unitsPerInchX),
                        JAVtElementPixels(heightUnits, context->unitsPerInchY));
    request.parameters = &parameters;

    HostServices* services = context->hostServices;
    int32_t exported = services->exportRaster(services, r, &request);
    writer->close(writer);
    if (exported == 0) return 0;

    // Placed from the left corner and the upper edge; the size is the
    // image's, at most the target's own.
    if (r->x0 > r->x1) {
        int32_t x = r->x0;
        r->x0 = r->x1;
        r->x1 = x;
    }
    if (r->y0 < r->y1) r->y0 = r->y1;
    const int32_t* target = params->targetPixelRect;
    const int32_t box[4] = {
        JAVtMapX(context, r->x0),
        JAVtMapY(context, static_cast<double>(JAVtAbs64(r->y0))),
        JAVtClamp32(JAVtSmaller(JAVtMapLengthX(context, static_cast<double>(widthUnits)),
                                JAVtAbs64(int64_t{target[2]} - target[0]))),
        JAVtClamp32(JAVtSmaller(JAVtMapLengthY(context, static_cast<double>(heightUnits)),
                                JAVtAbs64(int64_t{target[3]} - target[1]))),
    };
    return JAVtWriteElementPlacement(context, box) != 0 ? 1 : 0;
}
