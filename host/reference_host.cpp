// SPDX-License-Identifier: MIT
// The reference host put together: its tables, the allocation and
// registration operations, and its target description and session.
#include "host/reference_host.h"

#include <cstdint>
#include <string>

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
    // What is still live after them the parts free as they go.
    closeOpenElements();
    releaseConversions();
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
    installListOperations(&t);
    installGeometryOperations(&t);
    installTextOperations(&t, &session_.table);
    installFontOperations(&session_.table);
    installElementOperations(&t, &info_, this);
    installPictureOperations(&t);
}

void ReferenceHost::useTargetInfo(bool present) { params_.targetInfo = present ? &info_ : nullptr; }

void ReferenceHost::useSession(bool present) { params_.hostSession = present ? &session_.table : nullptr; }

}  // namespace refhost
