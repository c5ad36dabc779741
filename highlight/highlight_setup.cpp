// Set-up and teardown of search highlighting for an instance.
#include <javtrg/host_services.h>

// The search request is not read yet: highlighting only routes text boxes
// through collection and playback.
extern "C" int32_t JAVtInitHighlight(DriverContext* context) {
    context->highlightTerms = nullptr;
    context->highlightTermCount = 0;
    return 1;
}

// Releases whatever a text box left collected.
extern "C" void JAVtTermHighlight(DriverContext* context) {
    if (context == nullptr) return;
    if (context->boxObjects != nullptr) {
        HostServices* services = context->hostServices;
        services->freeList(services, context->boxObjects);
        context->boxObjects = nullptr;
    }
}
