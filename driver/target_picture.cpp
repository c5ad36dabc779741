// The driver's answer while the host converts a fill picture.
#include <javtrg/host_services.h>
#include "stream/object_kind.h"
#include "stream/object_body.h"

// Picture fills are not drawn yet: every request gets the vector answer into
// the rectangle being filled.
extern "C" void JAVSetTrgPicture(DriverContext* context, const PictureRequest* request, PictureReply* reply) {
    (void)request;
    if (context == nullptr || reply == nullptr) return;
    reply->kind = 3;
    HostObject* current = context->currentObject;
    if (current != nullptr && current->kind == kKindRectangle) {
        const RectangleData* r = JAVtBody<RectangleData>(current);
        reply->target.rect[0] = r->x1;
        reply->target.rect[1] = r->y0;
        reply->target.rect[2] = r->x0;
        reply->target.rect[3] = r->y1;
    }
}
