// SPDX-License-Identifier: MIT
// A minimal embedding program: loads libjavtrg, hands it one rectangle and
// prints the record stream. Everything a host provides lives here: the output
// stream, the services table (allocation, objects, registration) and the
// target description.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <javtrg/host_services.h>

namespace {

int32_t writeToStdout(OutputStream*, const char* bytes, uint32_t length) {
    return std::fwrite(bytes, 1, length, stdout) == length ? 1 : 0;
}

void* hostAllocate(HostServices*, uint64_t size) { return std::malloc(size); }
void* hostAllocateZeroed(HostServices*, uint64_t count, uint64_t size) { return std::calloc(count, size); }
void hostFree(HostServices*, void* block) { std::free(block); }
HostObject* hostCreate(HostServices*, int32_t kind) {
    auto* object = static_cast<HostObject*>(std::calloc(1, 24 + 512));
    if (object != nullptr) object->kind = kind;
    return object;
}
void hostRelease(HostServices*, HostObject* object) { std::free(object); }
int32_t hostRegister(HostServices*, TargetParams*, DriverContext* context) {
    context->hostHandle = 1;
    return 1;
}
int32_t hostInstall(HostServices*, uint64_t, int32_t, void*) { return 1; }
int32_t hostFlag(HostServices*, uint64_t, int32_t, int32_t) { return 1; }
int32_t hostPictureHandler(HostServices*, uint64_t, SetTrgPictureFn) { return 1; }
int32_t hostStep(HostServices*, uint64_t) { return 1; }
int32_t hostUnregister(HostServices*, DriverContext*) { return 1; }

}  // namespace

int main(int argc, char** argv) {
    // By its SONAME, found wherever the system (or this program's RUNPATH)
    // finds shared libraries; or the file named on the command line.
    const char* path = argc > 1 ? argv[1] : "libjavtrg.so.0";
    void* library = dlopen(path, RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    auto start = reinterpret_cast<decltype(&startTrgJAV)>(dlsym(library, "startTrgJAV"));
    auto put = reinterpret_cast<decltype(&putJAVobject)>(dlsym(library, "putJAVobject"));
    auto stop = reinterpret_cast<decltype(&shutDownJAVtrg)>(dlsym(library, "shutDownJAVtrg"));
    if (start == nullptr || put == nullptr || stop == nullptr) {
        std::fprintf(stderr, "%s lacks the driver's entry points\n", path);
        return 1;
    }

    HostServices services{};
    services.allocate = hostAllocate;
    services.allocateZeroed = hostAllocateZeroed;
    services.freeBlock = hostFree;
    services.createObject = hostCreate;
    services.releaseObject = hostRelease;
    services.registerDriver = hostRegister;
    services.installHandler = hostInstall;
    services.setRegistrationFlag = hostFlag;
    services.setTargetPictureHandler = hostPictureHandler;
    services.registrationStepA = hostStep;
    services.registrationStepB = hostStep;
    services.registrationStepC = hostStep;
    services.unregisterDriver = hostUnregister;

    // A one-inch picture, 1000 host units a side, drawn on 96 x 96 pixels.
    TargetParams params{};
    params.hostServices = &services;
    params.sizeX = 1.0;
    params.sizeY = 1.0;
    params.sourceFrame[2] = 1000;
    params.sourceFrame[3] = 1000;
    params.colourMode = 4;

    OutputStream stream{};
    stream.write = writeToStdout;

    DriverContext* context = start(&stream, &params, 0);
    if (context == nullptr) return 1;
    HostObject* rectangle = services.createObject(&services, 10);
    int32_t corners[4] = {100, 900, 500, 400};  // x0, y0 (top left), x1, y1
    std::memcpy(reinterpret_cast<char*>(rectangle) + 24, corners, sizeof corners);
    int32_t result = put(context, rectangle);  // the driver releases the object
    stop(context);
    dlclose(library);
    return result == 1 ? 0 : 1;
}
