// javtrg: the command-line tool. `javtrg convert SCRIPT [-o FILE]
// [--elements DIR] [--library PATH]` drives one instance of the shipped
// driver library over an object script, writes the record stream, and
// writes the picture elements the driver opens into DIR. `javtrg --version`
// names the tool's version and the library it loads.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>

#include "host/reference_host.h"
#include "tools/driver_loader.h"
#include "tools/output_file.h"
#include "tools/script.h"
#include "tools/script_runner.h"
#include "tools/stream_commands.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitDriverFailed = 1;
constexpr int kExitBadInput = 2;

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

// The whole script, from a file or from standard input ("-").
bool readInput(const std::string& path, std::string* text) {
    std::stringstream buffer;
    if (path == javtool::kStandardStream) {
        buffer << std::cin.rdbuf();
        if (std::cin.bad()) {
            std::cerr << "javtrg: standard input: cannot read the script\n";
            return false;
        }
    } else {
        std::error_code failure;
        if (std::filesystem::is_directory(path, failure)) {
            std::cerr << "javtrg: " << path << ": is a directory; expected a script\n";
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "javtrg: " << path << ": cannot read the script: " << std::strerror(errno) << "\n";
            return false;
        }
        buffer << in.rdbuf();
    }
    *text = buffer.str();
    return true;
}

// The message for a run the driver stopped.
void reportDriverFailure(const std::string& scriptName, const javtool::RunOutcome& outcome) {
    std::cerr << "javtrg: " << scriptName << ": ";
    if (!outcome.started) {
        std::cerr << "the driver refused to start";
    } else {
        const char* name = javtool::kindName(outcome.failedKind);
        std::cerr << "objects[" << outcome.failedObject << "] ("
                  << (name != nullptr ? name : "kind " + std::to_string(outcome.failedKind))
                  << "): the driver failed to draw the object";
    }
    if (!outcome.hostFailure.empty()) std::cerr << ": " << outcome.hostFailure;
    std::cerr << "\n";
}

int convert(const std::string& scriptPath, const std::string& outputPath, const std::string& elementsPath,
            const std::string& library) {
    const std::string scriptName = scriptPath == javtool::kStandardStream ? "standard input" : scriptPath;
    javtool::OutputFile output(outputPath);
    std::string error;
    if (!output.check(scriptPath, &error)) {
        std::cerr << "javtrg: " << error << "\n";
        return kExitBadInput;
    }

    std::string text;
    if (!readInput(scriptPath, &text)) return kExitBadInput;
    javtool::Script script;
    try {
        script = javtool::readScript(text);
    } catch (const javtool::ScriptError& e) {
        std::cerr << "javtrg: " << scriptName << ": " << e.place << ": " << e.message << "\n";
        return kExitBadInput;
    }
    for (const javtool::ScriptWarning& warning : script.warnings)
        std::cerr << "javtrg: " << scriptName << ": " << warning.place << ": warning: " << warning.message << "\n";

    // Without a directory the elements are kept in memory and dropped at the
    // end of the run; the record stream names them all the same.
    if (!elementsPath.empty()) {
        std::error_code failure;
        std::filesystem::create_directories(elementsPath, failure);
        if (failure || !std::filesystem::is_directory(elementsPath)) {
            std::cerr << "javtrg: " << elementsPath << ": cannot make the elements directory"
                      << (failure ? ": " + failure.message() : std::string()) << "\n";
            return kExitBadInput;
        }
    }

    if (!output.open(&error)) {
        std::cerr << "javtrg: " << error << "\n";
        return kExitBadInput;
    }
    javtool::DriverApi api;
    if (!openLibrary(library, &api)) return kExitDriverFailed;

    int status = kExitOk;
    bool started = false;
    bool streamFailed = false;
    {
        refhost::ReferenceHost host;
        if (!elementsPath.empty()) host.useElementDirectory(elementsPath);
        refhost::FileStream* stream = host.fileStream(output.stream());
        javtool::RunOutcome outcome = javtool::runScript(script, host, api, &stream->base);
        started = outcome.started;
        if (!outcome.started || outcome.failedObject >= 0) {
            reportDriverFailure(scriptName, outcome);
            status = kExitDriverFailed;
        }
        streamFailed = stream->failed;
        // Elements the driver left open are completed here; one whose file
        // could not be written is a failed run.
        host.closeOpenElements();
        for (const auto& element : host.elements()) {
            if (element->failed && element->written && status == kExitOk) {
                std::cerr << "javtrg: " << element->path << ": write failed\n";
                status = kExitDriverFailed;
            }
        }
        if (host.liveBlocks() != 0 || host.liveObjects() != 0) {
            std::cerr << "javtrg: the driver left host memory behind:\n" << host.describeLive();
            status = kExitDriverFailed;
        }
    }
    javtool::unloadDriver(&api);

    // A stream the driver stopped is kept (its records are valid); one that
    // never started, or that could not be written whole, is not.
    if (!started || streamFailed) {
        if (streamFailed) std::cerr << "javtrg: " << output.name() << ": write failed\n";
        output.discard();
        return kExitDriverFailed;
    }
    if (!output.commit(&error)) {
        std::cerr << "javtrg: " << error << "\n";
        return kExitDriverFailed;
    }
    return status;
}

int run(int argc, char** argv) {
    CLI::App app{"javtrg: converts object scripts into record streams through the javtrg driver"};
    app.require_subcommand(0, 1);
    app.footer("Usage lines:\n"
               "  javtrg convert SCRIPT [-o FILE] [--elements DIR] [--library PATH]\n"
               "  javtrg --version [--library PATH]\n"
               "Exit status: 0 success, 1 the driver or the output failed, 2 bad usage or a malformed script.");
    bool version = false;
    app.add_flag("--version", version, "Print the versions of the tool and of the driver library it loads");
    std::string library = libraryFromEnvironment();
    app.add_option("--library", library,
                   "Driver library to load (default: $JAVTRG_LIBRARY, else libjavtrg.so." JAVTRG_SOVERSION
                   " installed with the tool)");

    std::string scriptPath;
    std::string outputPath;
    std::string elementsPath;
    CLI::App* convertCmd = app.add_subcommand("convert", "Convert an object script into a record stream");
    // --library may also follow the subcommand.
    convertCmd->fallthrough();
    convertCmd->footer("--library PATH (see javtrg --help) may follow SCRIPT too.");
    convertCmd->add_option("SCRIPT", scriptPath, "Object script (JSON); - reads standard input")->required();
    convertCmd->add_option("-o,--output", outputPath, "Record stream file; - or none: standard output");
    convertCmd->add_option("--elements", elementsPath,
                           "Directory for the picture elements, created when absent (default: elements are not kept)");

    javtool::CheckCommand checkCmd(app);
    javtool::PreviewCommand previewCmd(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitBadInput;
    }
    if (version) return printVersion(library);
    if (convertCmd->parsed()) return convert(scriptPath, outputPath, elementsPath, library);
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
