#include "tools/driver_loader.h"

#include <dlfcn.h>

namespace javtool {

bool loadDriver(const std::string& path, DriverApi* api, std::string* error) {
    api->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (api->handle == nullptr) {
        const char* reason = dlerror();
        *error = "cannot load the driver " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return false;
    }
    api->start = reinterpret_cast<decltype(api->start)>(dlsym(api->handle, "startTrgJAV"));
    api->shutDown = reinterpret_cast<decltype(api->shutDown)>(dlsym(api->handle, "shutDownJAVtrg"));
    api->put = reinterpret_cast<decltype(api->put)>(dlsym(api->handle, "putJAVobject"));
    if (api->start == nullptr || api->shutDown == nullptr || api->put == nullptr) {
        *error = "the library " + path + " lacks the driver's entry points";
        unloadDriver(api);
        return false;
    }
    return true;
}

void unloadDriver(DriverApi* api) {
    if (api->handle != nullptr) dlclose(api->handle);
    *api = DriverApi{};
}

}  // namespace javtool
