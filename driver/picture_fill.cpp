// SPDX-License-Identifier: MIT
// A rectangle filled with a picture. A picture met before is placed from the
// element list; any other is converted by the host, which either hands it
// back as a group of vector objects drawn in place, or writes it into an
// element that the driver opened while answering the conversion.
#include <cstring>

#include "driver/pictures.h"
#include "graphics/graphics.h"
#include "stream/numeric.h"

namespace {


// A side of the picture in element pixels; a side of no length counts as
// one host unit.
int32_t JAVtPictureSide(int64_t a, int64_t b, double unitsPerInch) {
    int64_t length = JAVtAbs64(b - a);
    return JAVtElementPixels(length == 0 ? 1 : length, unitsPerInch);
}

void JAVtCopyText(char (&to)[kElementTextSize], const char (&from)[kElementTextSize]) {
    size_t length = strnlen(from, kElementTextSize - 1);
    std::memcpy(to, from, length);
    to[length] = '\0';
}

// Has the host convert the picture. Returns 1 or 0 when the picture came back
// as vector drawing and was played (the fill ends there), -1 when the fill
// goes on to place the element.
int32_t JAVtConvertPicture(DriverContext* context, const RectangleData* r, const TargetInfo* info) {
    uint64_t picture = context->currentFillAtt.pictureRef;
    TargetInfo copy;
    JAVtImageParameters(&copy, info, JAVtPictureSide(r->x0, r->x1, context->unitsPerInchX),
                        JAVtPictureSide(r->y0, r->y1, context->unitsPerInchY));

    // A conversion that delivers no element leaves no texts of an earlier
    // element behind for the placement to name.
    context->elementTextA[0] = '\0';
    context->elementTextB[0] = '\0';
    context->pendingElementKey = picture;
    HostServices* services = context->hostServices;
    ConversionResult* result = services->convertPicture(services, context->hostHandle, picture, context, &copy);
    if (result != nullptr && result->kind == kConversionGroup) return JAVtPlayGroup(context, result->group) == kResultDone ? kResultDone : kResultFailure;
    if (ElementWriter* writer = context->elementWriter; writer != nullptr) {
        context->elementWriter = nullptr;
        writer->close(writer);
    }
    return -1;
}

}  // namespace

// Decided here: without a target info there is no template for the picture's
// format, so a picture that needs converting fails the fill (result 0) and
// the host is not asked. Fills nest through vector pictures; converting a
// picture deeper than kMaxPictureDepth fills fails likewise, so a picture
// that contains itself ends.
int32_t JAVtPictureFill(DriverContext* context, const RectangleData* r, const int32_t (&box)[4]) {
    if (context->elementList == nullptr && JAVtCreateElementList(context) == 0) return 0;
    int32_t index = CheckElementInList(context, context->currentFillAtt.pictureRef);
    if (index != kElementNotFound) {
        const ElementEntry& entry = context->elementList->entries[index];
        JAVtCopyText(context->elementTextA, entry.textA);
        JAVtCopyText(context->elementTextB, entry.textB);
    } else {
        const TargetInfo* info = context->targetParams->targetInfo;
        if (info == nullptr || context->pictureDepth >= kMaxPictureDepth) return 0;
        context->pictureDepth += 1;
        int32_t played = JAVtConvertPicture(context, r, info);
        context->pictureDepth -= 1;
        if (played >= 0) return played;
    }
    JAVtWriteElementPlacement(context, box);
    return 1;
}
