// SPDX-License-Identifier: MIT
// Text boxes, paragraph starts, simple texts and text ends.
//
// While search highlighting is active, the objects of a text box are not
// written as they come: copies are collected in boxObjects, and the text end
// hands them to the highlighter and then plays them back through the object
// entry with highlighting suspended, which writes them.
#include <algorithm>

#include "stream/mapping.h"
#include "stream/numeric.h"
#include "stream/object_body.h"
#include "stream/record_stream.h"
#include "text/text.h"

namespace {

constexpr uint32_t kAppendIndex = 0xFFFFFFFFu;
constexpr int64_t kFullTurn = 3600;  // tenths of a degree

// Into 0..3600: negative rotations come up to 0..3599, rotations above 3600
// come down to 1..3600; 3600 itself stays.
int32_t JAVtNormaliseRotation(int32_t rotation) {
    int64_t r = rotation;
    if (r < 0) {
        r %= kFullTurn;
        if (r < 0) r += kFullTurn;
    } else if (r > kFullTurn) {
        r = (r - 1) % kFullTurn + 1;
    }
    return static_cast<int32_t>(r);
}

// The viewer's justification classes: 1 and 4 give 1, 2 and 5 give 2.
int32_t JAVtJustificationClass(uint32_t justification) {
    switch (justification) {
        case 1: case 4: return 1;
        case 2: case 5: return 2;
        default: return 0;
    }
}

// Placement of a simple text from the current text attributes.
int32_t JAVtPlacementCode(const TextAttributes& attributes) {
    int32_t code = 4;
    switch (attributes.placementMajor) {
        case 2: code = 8; break;
        case 3: code = 12; break;
        case 4: code = 16; break;
        case 5: code = 20; break;
        default: break;
    }
    if (attributes.placementMinor == 2) code += 1;
    if (attributes.placementMinor == 3) code += 2;
    return code;
}

int32_t JAVtDistance32(int32_t a, int32_t b) { return JAVtClamp32(JAVtAbs64(static_cast<int64_t>(b) - a)); }

void JAVtWriteTextEnd(DriverContext* context) {
    JAVtCountRecord(context);
    JAVtEmitText(context, "e,\n");
}

}  // namespace

int32_t JAVtCollect(DriverContext* context, HostObject* object) {
    HostServices* services = context->hostServices;
    HostObject* copy = object->clone != nullptr ? object->clone(services, object, 0) : nullptr;
    if (copy == nullptr) return 0;
    if (services->insertObject(services, &context->boxObjects, copy, kAppendIndex) == 0) {
        services->releaseObject(services, copy);
        return 0;
    }
    return 1;
}

extern "C" int32_t JAVtTextStart(DriverContext* context, HostObject* object) {
    context->inTextBox = 1;
    if (context->highlightActive != 0) return JAVtCollect(context, object);
    const TextBoxData* box = JAVtBody<TextBoxData>(object);
    int32_t first[2] = {box->x1, box->y1};
    int32_t second[2] = {box->x2, box->y2};
    const HostTransform* transform = JAVtCurrentTransform(context);
    if (transform != nullptr && transform->active != 0) {
        HostServices* services = context->hostServices;
        services->transformPoint(services, first, transform);
        services->transformPoint(services, second, transform);
    }
    int32_t left = JAVtMapX(context, first[0]);
    int32_t top = JAVtMapY(context, first[1]);
    int32_t right = JAVtMapX(context, second[0]);
    int32_t bottom = JAVtMapY(context, second[1]);
    // Corners as they come: the box is anchored at the first corner.
    const int32_t values[] = {left,
                              top,
                              JAVtDistance32(left, right),
                              JAVtDistance32(top, bottom),
                              JAVtJustificationClass(box->justification),
                              JAVtNormaliseRotation(box->rotation)};
    JAVtCountRecord(context);
    JAVtEmitInts(context, "s,", values);
    return 1;
}

extern "C" int32_t JAVtText(DriverContext* context, HostObject* object) {
    const SimpleTextData* simple = JAVtBody<SimpleTextData>(object);
    int32_t left = JAVtMapX(context, std::min(simple->x1, simple->x2));
    int32_t right = JAVtMapX(context, std::max(simple->x1, simple->x2));
    int32_t top = JAVtMapY(context, std::max(simple->y1, simple->y2));
    int32_t bottom = JAVtMapY(context, std::min(simple->y1, simple->y2));
    const int32_t values[] = {left,   top, JAVtDistance32(left, right), JAVtDistance32(top, bottom),
                              JAVtPlacementCode(context->currentTextAtt), 0};
    JAVtCountRecord(context);
    JAVtEmitInts(context, "s,", values);
    context->paraAttWritten = 1;
    context->textAttPending = 0;
    if (JAVtPutTextAttFont(context, &context->currentTextAtt) == 0) return 0;
    if (JAVtPutTextUnits(context, simple->text, JAVtClamp32(simple->byteLength), simple->encoding) == 0)
        return 0;
    JAVtWriteTextEnd(context);
    return 1;
}

extern "C" int32_t JAVtTextParaStart(DriverContext* context, HostObject* object) {
    if (JAVtCollecting(context)) return JAVtCollect(context, object);
    JAVtCountRecord(context);
    JAVtEmitText(context, "y,\n");
    return 1;
}

extern "C" int32_t JAVtTextEnd(DriverContext* context, HostObject* object) {
    context->inTextBox = 0;
    if (context->highlightActive == 0) {
        JAVtWriteTextEnd(context);
        context->paraAttWritten = 0;
        return 1;
    }
    HostServices* services = context->hostServices;
    HostObject* copy = object->clone != nullptr ? object->clone(services, object, 0) : nullptr;
    if (copy == nullptr) return 0;
    int32_t linked = services->insertObject(services, &context->boxObjects, copy, kAppendIndex);
    if (linked == 0) services->releaseObject(services, copy);
    if (linked != 1) return 0;

    int32_t result = JAVtHighlightTextBox(context, context->boxObjects);
    if (result != 1 || context->boxObjects == nullptr) return result;

    // Playback: every copy goes through its own handler and is written.
    context->highlightActive = 0;
    for (;;) {
        HostObject* next = services->popObject(services, &context->boxObjects, 0);
        if (next == nullptr) break;
        result = context->putObject(context, next);
        if (result != 1) break;
    }
    context->highlightActive = 1;
    return result;
}
