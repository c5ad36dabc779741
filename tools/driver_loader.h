// SPDX-License-Identifier: MIT
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
// Opens the library the tool was installed with: by its SONAME, which the
// tool's RUNPATH finds beside it in a build tree and in ../lib once
// installed, then in the system's library path; failing that, by file name
// in those two places relative to the tool's own executable.
bool loadDefaultDriver(DriverApi* api, std::string* error);
void unloadDriver(DriverApi* api);

// The file the loaded library really is (links resolved), or empty.
std::string driverFile(const DriverApi& api);
// The version in a library's file name ("libjavtrg.so.0.1.0" gives
// "0.1.0"), or empty when the name carries none.
std::string driverVersion(const std::string& file);

}  // namespace javtool

#endif
