// SPDX-License-Identifier: MIT
// Drawing a group of objects in place (a fill picture the host handed back
// as vector drawing) and restoring afterwards the text, fill and line
// attributes that the group changed, by sending attribute objects through
// the driver's own object entry.
#include <cstring>

#include "stream/object_body.h"

namespace {

// What the group may change, as it was before the group. The pen is kept
// twice: as the comparison sees it (width in pixels) and as it was received
// (width in host units), which is what the restoring object carries, so the
// line handler scales it exactly once and writes the "a" record of before.
struct SavedState {
    LineAttributes line;
    LineAttributes receivedLine;
    FillAttributes fill;
    TextAttributes text;
    TextFont font;
};

void JAVtSaveState(const DriverContext* context, SavedState* saved) {
    saved->line = context->currentLineAtt;
    saved->receivedLine = context->receivedLineAtt;
    saved->fill = context->currentFillAtt;
    saved->text = context->currentTextAtt;
    if (saved->text.font != nullptr) {
        saved->font = *saved->text.font;
        saved->text.font = &saved->font;
    }
}

// Sends an attribute object of `kind` whose body is `size` bytes of `body`;
// 1 when it was drawn with 1.
int32_t JAVtRestore(DriverContext* context, int32_t kind, const void* body, size_t size) {
    HostServices* services = context->hostServices;
    HostObject* object = services->createObject(services, kind);
    if (object == nullptr) return 0;
    std::memcpy(JAVtBody<unsigned char>(object), body, size);
    return context->putObject(context, object) == kResultDone ? kResultDone : kResultFailure;
}

// The text attributes travel with a copy of their font in a block of the
// host's, which goes back to the host with the object.
int32_t JAVtRestoreText(DriverContext* context, const SavedState& saved) {
    HostServices* services = context->hostServices;
    HostObject* object = services->createObject(services, kKindTextAtt);
    if (object == nullptr) return 0;
    TextAttributes* body = JAVtBody<TextAttributes>(object);
    *body = saved.text;
    if (saved.text.font != nullptr) {
        auto* font = static_cast<TextFont*>(services->allocate(services, sizeof(TextFont)));
        if (font == nullptr) {
            // The object is given back without passing it on, and without
            // the reference to the driver's own copy of the font.
            body->font = nullptr;
            services->releaseObject(services, object);
            return 0;
        }
        *font = saved.font;
        body->font = font;
    }
    return context->putObject(context, object) == kResultDone ? kResultDone : kResultFailure;
}

}  // namespace

// Objects are drawn while the host leaves `more` at 1 and hands one out; the
// first not drawn with exactly 1 (also the 2 of the marker kinds) ends the
// playback at once, restoring nothing. Restoration runs text, fill, line.
extern "C" int32_t JAVtPlayGroup(DriverContext* context, HostGroup* group) {
    if (context == nullptr || group == nullptr || group->next == nullptr) return 0;
    SavedState saved;
    JAVtSaveState(context, &saved);

    int32_t more = 1;
    while (more == 1) {
        HostObject* object = group->next(group, &more);
        if (object == nullptr) break;
        if (context->putObject(context, object) != kResultDone) return kResultFailure;
    }

    if (JAVtCmpTextAtt(context, &saved.text, &context->currentTextAtt) == 0 && JAVtRestoreText(context, saved) == 0)
        return 0;
    if (std::memcmp(&saved.fill, &context->currentFillAtt, sizeof(FillAttributes)) != 0 &&
        JAVtRestore(context, kKindFillAtt, &saved.fill, sizeof(FillAttributes)) == 0)
        return 0;
    if (std::memcmp(&saved.line, &context->currentLineAtt, sizeof(LineAttributes)) != 0)
        return JAVtRestore(context, kKindLineAtt, &saved.receivedLine, sizeof(LineAttributes));
    return 1;
}
