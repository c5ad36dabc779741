// SPDX-License-Identifier: MIT
#include "tools/driver_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

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

bool loadDefaultDriver(DriverApi* api, std::string* error) {
    if (loadDriver(JAVTRG_SONAME, api, error)) return true;
    std::string first = *error;
    std::error_code failure;
    std::filesystem::path tool = std::filesystem::read_symlink("/proc/self/exe", failure);
    if (!failure) {
        for (const char* relative : {"", "../lib"}) {
            std::filesystem::path candidate = tool.parent_path() / relative / JAVTRG_SONAME;
            if (std::filesystem::exists(candidate, failure) && loadDriver(candidate.string(), api, error)) return true;
        }
    }
    *error = first + " (give the library's path with --library or $JAVTRG_LIBRARY)";
    return false;
}

void unloadDriver(DriverApi* api) {
    if (api->handle != nullptr) dlclose(api->handle);
    *api = DriverApi{};
}

std::string driverFile(const DriverApi& api) {
    struct link_map* map = nullptr;
    if (api.handle == nullptr || dlinfo(api.handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return std::string();
    char resolved[PATH_MAX];
    if (realpath(map->l_name, resolved) == nullptr) return map->l_name;
    return resolved;
}

std::string driverVersion(const std::string& file) {
    std::string name = std::filesystem::path(file).filename().string();
    size_t at = name.find(".so.");
    if (at == std::string::npos) return std::string();
    std::string version = name.substr(at + 4);
    if (version.empty() || version.find_first_not_of("0123456789.") != std::string::npos) return std::string();
    return version;
}

}  // namespace javtool
