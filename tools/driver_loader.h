// Loads libjavtrg with dlopen, as an embedding engine does.
#ifndef JAVTRG_DRIVER_LOADER_H
#define JAVTRG_DRIVER_LOADER_H

#include <string>

#include <javtrg/host_services.h>

namespace javtool {

struct DriverApi {
    void* handle = nullptr;
    DriverContext* (*start)(OutputStream*, TargetParams*, uint64_t) = nullptr;
    void (*shutDown)(DriverContext*) = nullptr;
    int32_t (*put)(DriverContext*, HostObject*) = nullptr;
};

// Opens the library at `path`; on failure returns false with a message.
bool loadDriver(const std::string& path, DriverApi* api, std::string* error);
void unloadDriver(DriverApi* api);

}  // namespace javtool

#endif
