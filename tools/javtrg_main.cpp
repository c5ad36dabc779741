// SPDX-License-Identifier: MIT
// javtrg: the command-line tool. `javtrg convert` drives instances of the
// shipped driver library over object scripts and writes their record
// streams and picture elements (tools/convert_command.h); `javtrg check` and
// `javtrg preview` read streams; `javtrg --version` names the tool's version
// and the library it loads.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/convert_command.h"
#include "tools/driver_loader.h"
#include "tools/stream_commands.h"

namespace {

using javtool::kExitBadInput;
using javtool::kExitDriverFailed;
using javtool::kExitOk;

// The library named by --library or $JAVTRG_LIBRARY, else empty: the one
// the tool was installed with.
std::string libraryFromEnvironment() {
    const char* env = std::getenv("JAVTRG_LIBRARY");
    return env != nullptr ? env : "";
}

bool openLibrary(const std::string& library, javtool::DriverApi* api) {
    std::string error;
    bool loaded = library.empty() ? javtool::loadDefaultDriver(api, &error) : javtool::loadDriver(library, api, &error);
    if (!loaded) std::cerr << "javtrg: " << error << "\n";
    return loaded;
}

int printVersion(const std::string& library) {
    std::cout << "javtrg " << JAVTRG_VERSION << "\n";
    javtool::DriverApi api;
    if (!openLibrary(library, &api)) return kExitDriverFailed;
    std::string file = javtool::driverFile(api);
    std::string version = javtool::driverVersion(file);
    std::cout << "library " << (file.empty() ? library : file) << " (version "
              << (version.empty() ? "unknown" : version) << ")\n";
    javtool::unloadDriver(&api);
    return kExitOk;
}

int run(int argc, char** argv) {
    CLI::App app{"javtrg: converts object scripts and drawings into record streams through the javtrg driver"};
    app.require_subcommand(0, 1);
    app.footer("Usage lines:\n"
               "  javtrg convert INPUT [-o FILE] [--size WxH] [--page N] [--elements DIR] [SEARCH] [--preview FILE.svg|FILE.html|FILE.png] [LIMITS] [--library PATH]\n"
               "  javtrg convert INPUT... --out-dir DIR [-j N] [--size WxH] [--page N|all] [--elements DIR] [SEARCH] [LIMITS] [--library PATH]\n"
               "  javtrg check STREAM [--lenient] [--max-line-bytes N]\n"
               "  javtrg preview STREAM [-o FILE.svg|FILE.html|FILE.png] [--elements DIR] [--size WxH] [--max-pixels N] [--lenient] [--max-line-bytes N]\n"
               "  javtrg --version [--library PATH]\n"
               "INPUT: an object script or a drawing, told by its content. SEARCH: --search TERM (repeatable), "
               "--search-colour '#RRGGBB', --whole-word, --match-case. LIMITS: --max-input-bytes N, --max-objects N, "
               "--max-points N.\n"
               "Exit status: 0 success, 1 the driver or the output failed, 2 bad usage or a malformed script, drawing or "
               "stream.");
    bool version = false;
    app.add_flag("--version", version, "Print the versions of the tool and of the driver library it loads");
    std::string library = libraryFromEnvironment();
    app.add_option("--library", library,
                   "Driver library to load (default: $JAVTRG_LIBRARY, else libjavtrg.so." JAVTRG_SOVERSION
                   " installed with the tool)");

    javtool::ConvertCommand convertCmd(app, library);
    javtool::CheckCommand checkCmd(app);
    javtool::PreviewCommand previewCmd(app);

    // A usage error is one line, as every other message of the tool.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "javtrg: " + std::string(e.what()) + " (javtrg --help lists the usage)\n";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitBadInput;
    }
    if (version) return printVersion(library);
    if (convertCmd.parsed()) return convertCmd.run();
    if (checkCmd.parsed()) return checkCmd.run();
    if (previewCmd.parsed()) return previewCmd.run();
    std::cerr << app.help();
    return kExitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing a script or the command line holds may end the tool with an
    // uncaught exception: whatever escapes is a message and status 2.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "javtrg: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "javtrg: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "javtrg: unexpected failure\n";
    }
    return kExitBadInput;
}
