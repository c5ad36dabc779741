// SPDX-License-Identifier: MIT
#include "tools/script_runner.h"

#include <cstring>
#include <vector>

namespace javtool {

namespace {

// The search request of the session, kept alive for the run.
struct SearchHolder {
    SearchRequest request{};
    std::vector<const char*> termPointers;
};

void applySession(const Script& script, refhost::ReferenceHost& host, SearchHolder* search) {
    HostSession* session = host.session();
    session->currentEncoding = script.session.currentEncoding;
    session->fontEncoding = script.session.fontEncoding;
    if (script.session.hasTransform) {
        *host.transform() = script.session.transform;
        host.useTransform(true);
    }
    if (script.session.hasSearch) {
        const ScriptSession& s = script.session;
        for (size_t i = 0; i < s.searchTerms.size(); ++i)
            search->termPointers.push_back(s.searchTermPresent[i] ? s.searchTerms[i].c_str() : nullptr);
        search->request.searchTerms = search->termPointers.empty() ? nullptr : search->termPointers.data();
        search->request.termCount = static_cast<int32_t>(search->termPointers.size());
        search->request.termEncoding = s.termEncoding;
        search->request.searchOptions = s.hasOptions ? s.searchOptions.c_str() : nullptr;
        search->request.caseSensitive = s.caseSensitive;
        search->request.wholeWordRequested = s.wholeWordRequested;
        session->searchRequest = &search->request;
    }
}

void applyTarget(const Script& script, refhost::ReferenceHost& host) {
    TargetParams* p = host.params();
    const TargetParams& s = script.params;
    p->sizeX = s.sizeX;
    p->sizeY = s.sizeY;
    p->altSizeX = s.altSizeX;
    p->altSizeY = s.altSizeY;
    std::memcpy(p->sourceFrame, s.sourceFrame, sizeof p->sourceFrame);
    p->colourMode = s.colourMode;
    p->bigEndianText = s.bigEndianText;
    if (script.hasTargetInfo) {
        TargetInfo* info = host.info();
        info->infoExtentX = script.info.infoExtentX;
        info->infoExtentY = script.info.infoExtentY;
        info->pixelWidth = script.info.pixelWidth;
        info->pixelHeight = script.info.pixelHeight;
        info->dpiX = script.info.dpiX;
        info->dpiY = script.info.dpiY;
        host.useTargetInfo(true);
    }
}

}  // namespace

RunOutcome runScript(const Script& script, refhost::ReferenceHost& host, const DriverApi& api, OutputStream* stream,
                     const RunObserver& observer) {
    RunOutcome outcome;
    SearchHolder search;
    applyTarget(script, host);
    applySession(script, host, &search);
    host.clearLastFailure();
    for (const auto& [key, picture] : script.pictures) host.registerPicture(key, picture);
    DriverContext* context = api.start(stream, host.params(), 0);
    if (observer) observer(-1, 0, context != nullptr ? 1 : 0);
    if (context == nullptr) {
        outcome.hostFailure = host.describeLastFailure();
        return outcome;
    }
    outcome.started = true;
    // The instance is shut down however the run ends, also when building
    // an object throws (out of memory); the host's conversions end with it.
    struct ShutDown {
        const DriverApi& api;
        DriverContext* context;
        refhost::ReferenceHost& host;
        ~ShutDown() {
            api.shutDown(context);
            host.releaseConversions();
        }
    } shutDown{api, context, host};
    for (size_t i = 0; i < script.objects.size(); ++i) {
        HostObject* object = script.objects[i](host);
        int32_t kind = object->kind;
        host.clearLastFailure();
        host.startTopLevelObject();
        int32_t result = api.put(context, object);
        if (observer) observer(static_cast<int64_t>(i), kind, result);
        if (result == 0) {
            outcome.failedObject = static_cast<int64_t>(i);
            outcome.failedKind = kind;
            outcome.hostFailure = host.describeLastFailure();
            outcome.pictureNesting = host.deepestConversion();
            break;
        }
    }
    return outcome;
}

}  // namespace javtool
