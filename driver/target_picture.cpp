// SPDX-License-Identifier: MIT
// The driver's answer while the host converts a fill picture: draw it as
// vector objects into the rectangle being filled, or deliver it as a picture
// element that the driver opens and remembers in the element list.
#include "driver/pictures.h"
#include "graphics/graphics.h"
#include "stream/object_body.h"

namespace {


bool JAVtWantsVector(DriverContext* context, const PictureRequest* request) {
    if (request->kind == kPictureVector) return true;
    if (request->kind != kPictureRaster || context->currentFillAtt.pictureMode != kPictureModeAskFormat) return false;
    HostServices* services = context->hostServices;
    return services->queryPictureFormat(services, &request->formatCode) != kFormatIsRaster;
}

// The rectangle being filled (corners already in order), as right, top,
// left, bottom; any other current object leaves the host's values.
void JAVtVectorAnswer(DriverContext* context, PictureReply* reply) {
    reply->kind = kAnswerVector;
    const HostObject* current = context->currentObject;
    if (current == nullptr || current->kind != kKindRectangle) return;
    const RectangleData* r = JAVtBody<RectangleData>(current);
    reply->target.rect[0] = r->x1;
    reply->target.rect[1] = r->y0;
    reply->target.rect[2] = r->x0;
    reply->target.rect[3] = r->y1;
}

// Opens the element through the target's createElement, which names it in
// elementTextA and elementTextB. Only an element that was opened is
// recorded: a key mapped to texts that name no element would place nothing
// at every later fill of that picture. Without a target info, or without
// createElement, the reply carries no writer.
void JAVtElementAnswer(DriverContext* context, const PictureRequest* request, PictureReply* reply) {
    // The host's raster and vector picture formats are kept, everything else
    // becomes a PNG image.
    int32_t format = request->formatCode;
    if (format != kElementRaster && format != kElementVector) format = kElementPng;
    reply->kind = kAnswerElement;
    reply->formatCode = format;

    ElementWriter* writer = nullptr;
    const TargetInfo* info = context->targetParams->targetInfo;
    if (info != nullptr && info->createElement != nullptr)
        writer = info->createElement(info->elementHandle, format, context->elementTextA, kElementTextSize,
                                     context->elementTextB, kElementTextSize);
    // The texts are the host's; they end within their buffers whatever it wrote.
    context->elementTextA[kElementTextSize - 1] = '\0';
    context->elementTextB[kElementTextSize - 1] = '\0';
    reply->target.writer = writer;
    context->elementWriter = writer;
    if (writer != nullptr) AddElementToList(context, context->elementTextA, context->elementTextB, context->pendingElementKey);
}

}  // namespace

extern "C" void JAVSetTrgPicture(DriverContext* context, const PictureRequest* request, PictureReply* reply) {
    if (context == nullptr || request == nullptr || reply == nullptr) return;
    if (JAVtWantsVector(context, request)) {
        JAVtVectorAnswer(context, reply);
    } else {
        JAVtElementAnswer(context, request, reply);
    }
}
