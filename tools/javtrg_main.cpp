// javtrg: the command-line tool. `javtrg convert SCRIPT [-o FILE]
// [--elements DIR]` drives one instance of the shipped driver library over an
// object script, writes the record stream, and writes the picture elements
// the driver opens into DIR.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "host/reference_host.h"
#include "tools/driver_loader.h"
#include "tools/script_runner.h"
#include "tools/script.h"
#include "tools/stream_commands.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitDriverFailed = 1;
constexpr int kExitBadInput = 2;

std::string defaultLibrary() {
    const char* env = std::getenv("JAVTRG_LIBRARY");
    if (env != nullptr && *env != '\0') return env;
    return JAVTRG_DEFAULT_LIBRARY;
}

int convert(const std::string& scriptPath, const std::string& outputPath, const std::string& elementsPath,
            const std::string& library) {
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) {
        std::cerr << "javtrg: " << scriptPath << ": cannot read the script: " << std::strerror(errno) << "\n";
        return kExitBadInput;
    }
    std::stringstream text;
    text << in.rdbuf();

    javtool::Script script;
    try {
        script = javtool::readScript(text.str());
    } catch (const javtool::ScriptError& e) {
        std::cerr << "javtrg: " << scriptPath << ": " << e.place << ": " << e.message << "\n";
        return kExitBadInput;
    }

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

    javtool::DriverApi api;
    std::string error;
    if (!javtool::loadDriver(library, &api, &error)) {
        std::cerr << "javtrg: " << error << "\n";
        return kExitDriverFailed;
    }

    // Written to a temporary file first, so that a run that cannot start
    // leaves no output file behind.
    std::string temporary;
    std::FILE* out = stdout;
    if (!outputPath.empty()) {
        temporary = outputPath + ".partial";
        out = std::fopen(temporary.c_str(), "wb");
        if (out == nullptr) {
            std::cerr << "javtrg: " << outputPath << ": cannot write: " << std::strerror(errno) << "\n";
            javtool::unloadDriver(&api);
            return kExitBadInput;
        }
    }

    int status = kExitOk;
    bool started = false;
    {
        refhost::ReferenceHost host;
        if (!elementsPath.empty()) host.useElementDirectory(elementsPath);
        refhost::FileStream* stream = host.fileStream(out);
        javtool::RunOutcome outcome = javtool::runScript(script, host, api, &stream->base);
        started = outcome.started;
        if (!outcome.started) {
            std::cerr << "javtrg: " << scriptPath << ": the driver refused to start\n";
            status = kExitDriverFailed;
        } else if (outcome.failedObject >= 0) {
            std::cerr << "javtrg: " << scriptPath << ": objects[" << outcome.failedObject
                      << "]: the driver failed to draw the object\n";
            status = kExitDriverFailed;
        }
        if (stream->failed || std::fflush(out) != 0) {
            std::cerr << "javtrg: " << (outputPath.empty() ? "standard output" : outputPath) << ": write failed\n";
            status = kExitDriverFailed;
        }
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

    if (!outputPath.empty()) {
        std::fclose(out);
        if (!started) {
            std::remove(temporary.c_str());
        } else if (std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
            std::cerr << "javtrg: " << outputPath << ": cannot write: " << std::strerror(errno) << "\n";
            std::remove(temporary.c_str());
            return kExitDriverFailed;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"javtrg: converts object scripts into record streams through the javtrg driver"};
    app.require_subcommand(1);

    std::string scriptPath;
    std::string outputPath;
    std::string library = defaultLibrary();
    CLI::App* convertCmd = app.add_subcommand("convert", "Convert an object script into a record stream");
    convertCmd->add_option("SCRIPT", scriptPath, "Object script (JSON)")->required();
    convertCmd->add_option("-o,--output", outputPath, "Record stream file (default: standard output)");
    std::string elementsPath;
    convertCmd->add_option("--elements", elementsPath, "Directory for the picture elements, created when absent (default: elements are not kept)");
    convertCmd->add_option("--library", library, "Driver library to load (default: the built libjavtrg.so, or $JAVTRG_LIBRARY)");

    javtool::CheckCommand checkCmd(app);
    javtool::PreviewCommand previewCmd(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitBadInput;
    }
    if (convertCmd->parsed()) return convert(scriptPath, outputPath, elementsPath, library);
    if (checkCmd.parsed()) return checkCmd.run();
    if (previewCmd.parsed()) return previewCmd.run();
    return kExitBadInput;
}
