// The reference host's ledger, failure injection and registration.
#include "host/reference_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace refhost {

namespace {

ReferenceHost* owner(HostServices* services) { return hostOf(services); }

void* opAllocate(HostServices* s, uint64_t size) {
    ReferenceHost* h = owner(s);
    if (h->shouldFail("allocate")) return nullptr;
    return h->allocateBlock(static_cast<size_t>(size), false, "allocate");
}

void* opAllocateZeroed(HostServices* s, uint64_t count, uint64_t size) {
    ReferenceHost* h = owner(s);
    if (h->shouldFail("allocateZeroed")) return nullptr;
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return h->allocateBlock(static_cast<size_t>(count * size), true, "allocateZeroed");
}

void* opReallocate(HostServices* s, void* block, int32_t size) {
    ReferenceHost* h = owner(s);
    if (h->shouldFail("reallocate") || size < 0) return nullptr;
    return h->reallocateBlock(block, static_cast<size_t>(size));
}

void opFreeBlock(HostServices* s, void* block) {
    owner(s)->countCall("freeBlock");
    owner(s)->freeBlock(block);
}

int32_t opRegisterDriver(HostServices* s, TargetParams*, DriverContext* context) {
    ReferenceHost* h = owner(s);
    h->log("registerDriver");
    if (h->shouldFail("registerDriver")) return 0;
    context->hostHandle = h->hostHandle();
    return 1;
}

int32_t opInstallHandler(HostServices* s, uint64_t handle, int32_t code, void* handler) {
    ReferenceHost* h = owner(s);
    h->log("installHandler " + std::to_string(code));
    if (handle != h->hostHandle()) return 0;
    void* expected = code == 33 ? s->defaultHandler33 : code == 14 ? s->defaultHandler14 : nullptr;
    if (handler != expected) return 0;
    return h->shouldFail("installHandler") ? 0 : 1;
}

int32_t opSetRegistrationFlag(HostServices* s, uint64_t handle, int32_t flag, int32_t value) {
    ReferenceHost* h = owner(s);
    h->log("setRegistrationFlag " + std::to_string(flag) + " " + std::to_string(value));
    if (handle != h->hostHandle()) return 0;
    return h->shouldFail("setRegistrationFlag") ? 0 : 1;
}

int32_t opSetTargetPictureHandler(HostServices* s, uint64_t handle, SetTrgPictureFn handler) {
    ReferenceHost* h = owner(s);
    h->log("setTargetPictureHandler");
    if (handle != h->hostHandle() || handler == nullptr) return 0;
    if (h->shouldFail("setTargetPictureHandler")) return 0;
    h->setPictureHandler(handler);
    return 1;
}

int32_t registrationStep(HostServices* s, uint64_t handle, const char* name) {
    ReferenceHost* h = owner(s);
    h->log(name);
    if (handle != h->hostHandle()) return 0;
    return h->shouldFail(name) ? 0 : 1;
}
int32_t opStepA(HostServices* s, uint64_t handle) { return registrationStep(s, handle, "registrationStepA"); }
int32_t opStepB(HostServices* s, uint64_t handle) { return registrationStep(s, handle, "registrationStepB"); }
int32_t opStepC(HostServices* s, uint64_t handle) { return registrationStep(s, handle, "registrationStepC"); }

int32_t opUnregisterDriver(HostServices* s, DriverContext*) {
    ReferenceHost* h = owner(s);
    h->log("unregisterDriver");
    return h->shouldFail("unregisterDriver") ? 0 : 1;
}

// Distinct addresses the host hands on as its default handlers.
char gHandler33Tag;
char gHandler14Tag;

}  // namespace

ReferenceHost::ReferenceHost() {
    hostHandle_ = reinterpret_cast<uint64_t>(this);
    installTables();
    params_.hostServices = &services_.table;
    params_.hostSession = &session_.table;
    params_.colourMode = kColourModeDirect;
    params_.sizeX = 1.0;
    params_.sizeY = 1.0;
    params_.sourceFrame[0] = 0;
    params_.sourceFrame[1] = 0;
    params_.sourceFrame[2] = 96;
    params_.sourceFrame[3] = 96;
    session_.table.currentEncoding = kEncodingWestern;
    transform_.scale1 = 1.0;
    transform_.scale2 = 1.0;
}

ReferenceHost::~ReferenceHost() {
    // The driver may leave an element open (a failed export); the host
    // completes it. Conversions give back what their groups still hold.
    closeOpenElements();
    releaseConversions();
    // Whatever is still live was leaked by its user; the tests report it.
    // The host frees it so that leak checkers point at the test, not here.
    std::vector<HostObject*> liveObjects;
    for (auto& entry : objects_) liveObjects.push_back(const_cast<HostObject*>(entry.first));
    for (HostObject* object : liveObjects) {
        objects_.erase(object);
        std::free(object);
    }
    for (auto& entry : blocks_) std::free(const_cast<void*>(entry.first));
    for (auto& stream : fileStreams_) {
        if (stream->file != nullptr) std::fflush(stream->file);
    }
}

void ReferenceHost::installTables() {
    services_.owner = this;
    session_.owner = this;
    HostServices& t = services_.table;
    t.allocate = opAllocate;
    t.allocateZeroed = opAllocateZeroed;
    t.reallocate = opReallocate;
    t.freeBlock = opFreeBlock;
    t.registerDriver = opRegisterDriver;
    t.installHandler = opInstallHandler;
    t.setRegistrationFlag = opSetRegistrationFlag;
    t.setTargetPictureHandler = opSetTargetPictureHandler;
    t.registrationStepA = opStepA;
    t.registrationStepB = opStepB;
    t.registrationStepC = opStepC;
    t.unregisterDriver = opUnregisterDriver;
    t.defaultHandler33 = &gHandler33Tag;
    t.defaultHandler14 = &gHandler14Tag;
    installObjectOperations(&t);
    installGeometryOperations(&t);
    installTextOperations(&t, &session_.table);
    installFontOperations(&session_.table);
    installElementOperations(&t, &info_, this);
    installPictureOperations(&t);
}

void ReferenceHost::useTargetInfo(bool present) { params_.targetInfo = present ? &info_ : nullptr; }

void ReferenceHost::useSession(bool present) { params_.hostSession = present ? &session_.table : nullptr; }

const std::vector<std::string>& injectableOperations() {
    static const std::vector<std::string> names = {
        // HostServices
        "allocate", "allocateZeroed", "reallocate", "createObject", "insertObject", "splitText",
        "copyPalette", "newPointList", "curveToPointList", "closedCurveToPointList", "currentTransform",
        "queryPictureFormat", "convertPicture", "exportRaster", "registerDriver", "installHandler",
        "setRegistrationFlag", "setTargetPictureHandler", "registrationStepA", "registrationStepB",
        "registrationStepC", "unregisterDriver",
        // HostSession
        "allocSessionBlock", "convertText", "convertToUnits", "mapFontEncoding", "createMeasureContext",
        "selectObject", "deleteObject", "createFont", "getTextFace", "getTextMetrics",
        // the stream, objects, the target info and element writers
        "write", "isReady", "clone", "createElement", "closeElement",
    };
    return names;
}

const std::vector<std::string>& infallibleOperations() {
    static const std::vector<std::string> names = {
        "freeBlock", "releaseObject", "popObject", "freeList", "freePalette", "freePointList",
        "transformPoint", "freeSessionBlock", "isLeadByte", "finish", "groupNext",
    };
    return names;
}

bool isInjectable(const std::string& operation) {
    const std::vector<std::string>& names = injectableOperations();
    return std::find(names.begin(), names.end(), operation) != names.end();
}

namespace {

// A name that is no injectable operation is a mistake of the caller: the
// injection it asks for would never happen.
void requireInjectable(const std::string& operation) {
    if (isInjectable(operation)) return;
    std::fprintf(stderr, "reference host: %s is no injectable operation\n", operation.c_str());
    std::abort();
}

}  // namespace

void ReferenceHost::failAt(const std::string& operation, uint64_t nth, bool persistent) {
    requireInjectable(operation);
    failures_[operation] = FailRule{calls(operation) + nth, persistent};
}

bool ReferenceHost::shouldFail(const char* operation) {
    uint64_t count = ++callCounts_[operation];
    if (count == 1) requireInjectable(operation);
    auto rule = failures_.find(operation);
    if (rule == failures_.end()) return false;
    bool fails = count == rule->second.nth || (rule->second.persistent && count > rule->second.nth);
    if (fails) {
        ++injectedFailures_;
        noteFailure(operation, "failure injected at call " + std::to_string(count));
    }
    return fails;
}

void ReferenceHost::countCall(const char* operation) {
    uint64_t count = ++callCounts_[operation];
    if (count > 1) return;
    const std::vector<std::string>& names = infallibleOperations();
    if (std::find(names.begin(), names.end(), operation) != names.end()) return;
    std::fprintf(stderr, "reference host: %s is no infallible operation\n", operation);
    std::abort();
}

void ReferenceHost::noteFailure(const char* operation, std::string reason) {
    lastFailure_ = HostFailure{.operation = operation, .reason = std::move(reason)};
}

std::string ReferenceHost::describeLastFailure() const {
    if (lastFailure_.operation.empty()) return std::string();
    // Operations that hand back an object, a block or a list fail by
    // returning nothing; the others by their result.
    static const char* const kReturnsSomething[] = {
        "allocate", "allocateZeroed", "reallocate", "createObject", "clone", "popObject",
        "copyPalette", "newPointList", "curveToPointList", "closedCurveToPointList",
        "currentTransform", "convertPicture", "allocSessionBlock", "createMeasureContext",
        "selectObject", "createFont", "createElement",
    };
    const char* verb = " reported failure";
    for (const char* name : kReturnsSomething) {
        if (lastFailure_.operation == name) verb = " returned nothing";
    }
    return "the host's " + lastFailure_.operation + verb + " (" + lastFailure_.reason + ")";
}

uint64_t ReferenceHost::calls(const std::string& operation) const {
    auto it = callCounts_.find(operation);
    return it == callCounts_.end() ? 0 : it->second;
}

std::string ReferenceHost::describeLive() const {
    std::ostringstream out;
    for (const auto& entry : blocks_) out << "block of " << entry.second.size << " bytes from " << entry.second.origin << "\n";
    for (const auto& entry : objects_) out << "object of kind " << entry.second.kind << "\n";
    return out.str();
}

void* ReferenceHost::allocateBlock(size_t size, bool zeroed, const char* origin) {
    if (size > kMaxBlockSize) return nullptr;
    void* block = zeroed ? std::calloc(1, size == 0 ? 1 : size) : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) return nullptr;
    blocks_[block] = BlockInfo{size, origin};
    return block;
}

void* ReferenceHost::reallocateBlock(void* block, size_t size) {
    if (block == nullptr) return allocateBlock(size, false, "reallocate");
    auto it = blocks_.find(block);
    if (it == blocks_.end()) std::abort();  // not a block of this host
    // A new block and a copy, so that the old address is never looked at
    // after it was given back.
    if (size > kMaxBlockSize) return nullptr;
    const char* origin = it->second.origin;
    void* grown = std::malloc(size == 0 ? 1 : size);
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, block, std::min(size, it->second.size));
    blocks_.erase(it);
    std::free(block);
    blocks_[grown] = BlockInfo{size, origin};
    return grown;
}

void ReferenceHost::freeBlock(void* block) {
    if (block == nullptr) return;
    auto it = blocks_.find(block);
    if (it == blocks_.end()) std::abort();  // a double free or a foreign block
    blocks_.erase(it);
    std::free(block);
}

PointList* ReferenceHost::newPointList(uint32_t count) {
    size_t bytes = offsetof(PointList, points) + static_cast<size_t>(count) * sizeof(PointPair);
    auto* list = static_cast<PointList*>(allocateBlock(bytes < sizeof(PointList) ? sizeof(PointList) : bytes, true, "pointList"));
    if (list != nullptr) list->count = count;
    return list;
}

void ReferenceHost::freePointList(PointList* list) { freeBlock(list); }

HostPalette* ReferenceHost::copyPalette(const HostPalette* table) {
    if (table == nullptr) return nullptr;
    size_t count = table->count > 0 ? static_cast<size_t>(table->count) : 0;
    size_t bytes = offsetof(HostPalette, colours) + count * sizeof(uint32_t);
    auto* copy = static_cast<HostPalette*>(allocateBlock(bytes < sizeof(HostPalette) ? sizeof(HostPalette) : bytes, true, "palette"));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, table, bytes);
    return copy;
}

void ReferenceHost::freePalette(HostPalette* palette) { freeBlock(palette); }

}  // namespace refhost
