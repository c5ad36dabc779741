// SPDX-License-Identifier: MIT
// Creation and destruction of a driver instance: the context and its
// LineBuffer, registration with the host and the coordinate mapping.
#include <cmath>
#include <cstring>

#include <javtrg/host_services.h>
#include "stream/numeric.h"

namespace {

constexpr int32_t kTypeCode = 42;
constexpr int32_t kTypeFlag = 1;
constexpr double kDefaultUnitsPerInch = 96.0;

// Clean-up A: the LineBuffer (when present), then the context.
DriverContext* JAVtAbandonContext(HostServices* services, DriverContext* context) {
    if (context->lineBuffer != nullptr) services->freeBlock(services, context->lineBuffer);
    services->freeBlock(services, context);
    return nullptr;
}

// The registration steps after registerDriver, in the host's order; the
// first that returns 0 stops the sequence.
bool JAVtRegisterSteps(HostServices* services, uint64_t handle) {
    return services->installHandler(services, handle, 33, services->defaultHandler33) != 0 &&
           services->installHandler(services, handle, 14, services->defaultHandler14) != 0 &&
           services->setRegistrationFlag(services, handle, 1, 0) != 0 &&
           services->setTargetPictureHandler(services, handle, JAVSetTrgPicture) != 0 &&
           services->registrationStepA(services, handle) != 0 &&
           services->registrationStepB(services, handle) != 0 &&
           services->registrationStepC(services, handle) != 0;
}

// A picture size in inches at 96 pixels per inch, rounded, at least 1 pixel.
int32_t JAVtPixelsFromInches(double inches) {
    int32_t pixels = JAVtRound(inches * 96.0);
    return pixels < 1 ? 1 : pixels;
}

void JAVtSetupMapping(DriverContext* context, TargetParams* params) {
    const TargetInfo* info = params->targetInfo;

    if (info != nullptr && info->infoExtentX != 0.0 && info->infoExtentY != 0.0) {
        params->targetExtentX = info->infoExtentX;
        params->targetExtentY = info->infoExtentY;
    } else {
        params->targetExtentX = params->sizeX;
        params->targetExtentY = params->sizeY;
    }

    int32_t width;
    int32_t height;
    if (info != nullptr && info->pixelWidth != 0 && info->pixelHeight != 0) {
        width = info->pixelWidth;
        height = info->pixelHeight;
    } else {
        // Without a pixel size from the host the picture is laid out at 96
        // pixels per inch.
        width = JAVtPixelsFromInches(params->sizeX);
        height = JAVtPixelsFromInches(params->sizeY);
    }
    params->targetPixelRect[0] = 0;
    params->targetPixelRect[1] = 0;
    params->targetPixelRect[2] = width;
    params->targetPixelRect[3] = height;
    context->targetWidth = width;
    context->targetHeight = height;

    const int32_t* frame = params->sourceFrame;
    int64_t dx = static_cast<int64_t>(frame[2]) - frame[0];
    int64_t dy = static_cast<int64_t>(frame[3]) - frame[1];
    context->scaleX = context->targetWidth / static_cast<double>(dx == 0 ? 1 : dx);
    context->scaleY = context->targetHeight / static_cast<double>(dy == 0 ? 1 : dy);
    context->offsetX = -static_cast<double>(frame[0]);
    context->offsetY = -static_cast<double>(frame[1]);

    if (params->sizeX == 0.0 || params->sizeY == 0.0) {
        context->unitsPerInchX = kDefaultUnitsPerInch;
        context->unitsPerInchY = kDefaultUnitsPerInch;
    } else {
        bool alt = params->altSizeX != 0.0 && params->altSizeY != 0.0;
        double sx = alt ? params->altSizeX : params->sizeX;
        double sy = alt ? params->altSizeY : params->sizeY;
        context->unitsPerInchX = static_cast<double>(dx) / sx;
        context->unitsPerInchY = static_cast<double>(dy) / sy;
    }
}

}  // namespace

extern "C" DriverContext* startTrgJAV(OutputStream* stream, TargetParams* targetParams, uint64_t clientData) {
    if (targetParams == nullptr || targetParams->hostServices == nullptr) return nullptr;
    HostServices* services = targetParams->hostServices;

    auto* context = static_cast<DriverContext*>(services->allocateZeroed(services, 1, sizeof(DriverContext)));
    if (context == nullptr) return nullptr;
    context->hostServices = services;
    context->hostSession = targetParams->hostSession;

    context->lineBuffer = static_cast<char*>(services->allocate(services, kLineBufferSize));
    if (context->lineBuffer == nullptr) return JAVtAbandonContext(services, context);
    context->lineBuffer[0] = '\0';

    if (stream != nullptr && stream->isReady != nullptr && stream->isReady(stream) == 0)
        return JAVtAbandonContext(services, context);

    context->typeWord = kDriverTypeWord;
    context->stream = stream;
    context->targetParams = targetParams;
    context->putObject = putJAVobject;
    context->shutDown = shutDownJAVtrg;
    context->setTrgPicture = JAVSetTrgPicture;
    context->clientData = clientData;
    context->recordCount = 0;
    context->palette = nullptr;

    if (services->registerDriver(services, targetParams, context) == 0) return JAVtAbandonContext(services, context);
    if (!JAVtRegisterSteps(services, context->hostHandle)) {
        services->unregisterDriver(services, context);
        return JAVtAbandonContext(services, context);
    }

    targetParams->typeCode = kTypeCode;
    targetParams->typeFlag = kTypeFlag;
    JAVtSetupMapping(context, targetParams);
    targetParams->outColourMode = targetParams->colourMode;

    context->currentParaAtt.valueC = 100;
    context->currentParaAtt.codeB = 2;
    context->boxObjects = nullptr;

    HostSession* session = context->hostSession;
    context->highlightActive = 0;
    if (session != nullptr && session->searchRequest != nullptr && JAVtInitHighlight(context) != 0)
        context->highlightActive = 1;
    return context;
}

extern "C" void shutDownJAVtrg(DriverContext* context) {
    if (context == nullptr) return;
    HostServices* services = context->hostServices;
    context->typeWord = 0;

    OutputStream* stream = context->stream;
    if (stream != nullptr && stream->finish != nullptr) stream->finish(stream);

    if (context->lineBuffer != nullptr) {
        services->freeBlock(services, context->lineBuffer);
        context->lineBuffer = nullptr;
    }
    if (context->palette != nullptr) {
        services->freePalette(services, context->palette);
        context->palette = nullptr;
    }
    if (context->elementList != nullptr) {
        if (context->elementList->entries != nullptr) services->freeBlock(services, context->elementList->entries);
        services->freeBlock(services, context->elementList);
        context->elementList = nullptr;
    }
    JAVtTermHighlight(context);
    services->freeBlock(services, context);
}
