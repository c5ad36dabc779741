#include "tools/convert_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include <CLI/CLI.hpp>

#include "host/reference_host.h"
#include "tools/output_file.h"
#include "tools/preview_output.h"
#include "tools/script.h"
#include "tools/script_runner.h"

namespace javtool {

namespace {

namespace fs = std::filesystem;

// The whole script, from a file or from standard input ("-").
bool readInput(const std::string& path, std::string* text, std::ostream& messages) {
    std::stringstream buffer;
    if (path == kStandardStream) {
        buffer << std::cin.rdbuf();
        if (std::cin.bad()) {
            messages << "javtrg: standard input: cannot read the script\n";
            return false;
        }
    } else {
        std::error_code failure;
        if (fs::is_directory(path, failure)) {
            messages << "javtrg: " << path << ": is a directory; expected a script\n";
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            messages << "javtrg: " << path << ": cannot read the script: " << std::strerror(errno) << "\n";
            return false;
        }
        buffer << in.rdbuf();
    }
    *text = buffer.str();
    return true;
}

// The message for a run the driver stopped.
void reportDriverFailure(const std::string& scriptName, const RunOutcome& outcome, std::ostream& messages) {
    messages << "javtrg: " << scriptName << ": ";
    if (!outcome.started) {
        messages << "the driver refused to start";
    } else {
        const char* name = kindName(outcome.failedKind);
        messages << "objects[" << outcome.failedObject << "] ("
                 << (name != nullptr ? name : "kind " + std::to_string(outcome.failedKind))
                 << "): the driver failed to draw the object";
    }
    if (!outcome.hostFailure.empty()) messages << ": " << outcome.hostFailure;
    messages << "\n";
}

// Runs the script through one driver instance on a host of its own; the
// status of the run.
int drive(const Script& script, const ConvertJob& job, const std::string& scriptName, const DriverApi& api,
          OutputFile& output, bool* keep, std::ostream& messages) {
    int status = kExitOk;
    refhost::ReferenceHost host;
    if (!job.elements.empty()) host.useElementDirectory(job.elements);
    refhost::FileStream* stream = host.fileStream(output.stream());
    std::optional<PreviewTee> preview;
    if (!job.preview.empty()) preview.emplace(&stream->base, job.elements);
    RunOutcome outcome = runScript(script, host, api, preview ? preview->stream() : &stream->base);
    if (!outcome.started || outcome.failedObject >= 0) {
        reportDriverFailure(scriptName, outcome, messages);
        status = kExitDriverFailed;
    }
    // Elements the driver left open are completed here; one whose file
    // could not be written is a failed run.
    host.closeOpenElements();
    for (const auto& element : host.elements()) {
        if (element->failed && element->written && status == kExitOk) {
            messages << "javtrg: " << element->path << ": write failed\n";
            status = kExitDriverFailed;
        }
    }
    // The preview of the stream, on a canvas of the target's pixel size.
    if (preview && outcome.started) {
        PreviewDocument document;
        document.output = job.preview;
        previewFormatOf(job.preview, &document.format);
        const int32_t* pixels = host.params()->targetPixelRect;
        document.size = {int64_t{pixels[2]} - pixels[0], int64_t{pixels[3]} - pixels[1]};
        document.title = fs::path(scriptName).filename().string() + " preview";
        if (!preview->write(document, messages)) status = kExitDriverFailed;
    }
    if (host.conversionsLimited()) {
        messages << "javtrg: " << scriptName << ": the fill pictures nest so that they would be drawn with more than "
                 << refhost::kMaxConvertedObjects << " objects; the fills beyond were placed without their pictures\n";
        status = kExitDriverFailed;
    }
    if (host.liveBlocks() != 0 || host.liveObjects() != 0) {
        messages << "javtrg: the driver left host memory behind:\n" << host.describeLive();
        status = kExitDriverFailed;
    }
    // A stream the driver stopped is kept (its records are valid); one that
    // never started, or that could not be written whole, is not.
    *keep = outcome.started && !stream->failed;
    if (stream->failed) messages << "javtrg: " << output.name() << ": write failed\n";
    return status;
}

}  // namespace

int convertScript(const ConvertJob& job, const DriverSource& driver, std::ostream& messages) {
    const std::string scriptName = job.script == kStandardStream ? "standard input" : job.script;
    OutputFile output(job.output);
    std::string error;
    if (!output.check(job.script, &error)) {
        messages << "javtrg: " << error << "\n";
        return kExitBadInput;
    }

    std::string text;
    if (!readInput(job.script, &text, messages)) return kExitBadInput;
    Script script;
    try {
        script = readScript(text);
    } catch (const ScriptError& e) {
        messages << "javtrg: " << scriptName << ": " << e.place << ": " << e.message << "\n";
        return kExitBadInput;
    }
    for (const ScriptWarning& warning : script.warnings)
        messages << "javtrg: " << scriptName << ": " << warning.place << ": warning: " << warning.message << "\n";

    // Without a directory the elements are kept in memory and dropped at the
    // end of the run; the record stream names them all the same.
    if (!job.elements.empty()) {
        std::error_code failure;
        fs::create_directories(job.elements, failure);
        if (failure || !fs::is_directory(job.elements)) {
            messages << "javtrg: " << job.elements << ": cannot make the elements directory"
                     << (failure ? ": " + failure.message() : std::string()) << "\n";
            return kExitBadInput;
        }
    }

    if (!output.open(&error)) {
        messages << "javtrg: " << error << "\n";
        return kExitBadInput;
    }
    const DriverApi* api = driver(messages);
    if (api == nullptr) return kExitDriverFailed;

    bool keep = false;
    int status = drive(script, job, scriptName, *api, output, &keep, messages);
    if (!keep) {
        output.discard();
        return kExitDriverFailed;
    }
    if (!output.commit(&error)) {
        messages << "javtrg: " << error << "\n";
        return kExitDriverFailed;
    }
    return status;
}

ConvertCommand::ConvertCommand(CLI::App& app, const std::string& library) : library_(library) {
    command_ = app.add_subcommand("convert", "Convert object scripts into record streams");
    // --library may also follow the subcommand.
    command_->fallthrough();
    command_->footer("--library PATH (see javtrg --help) may follow the scripts too.");
    command_->add_option("SCRIPT", scripts_, "Object scripts (JSON); - reads standard input")->required();
    CLI::Option* output = command_->add_option("-o,--output", output_, "Record stream file; - or none: standard output");
    command_->add_option("--out-dir", outDir_,
                         "Directory for the record streams of the scripts, each named after its script; created when "
                         "absent")
        ->excludes(output);
    command_->add_option("--preview", preview_,
                         "Also write the preview of the record stream at the target's size, as .svg, .html or .png")
        ->excludes("--out-dir");
    command_->add_option("-j,--jobs", threads_, "Scripts converted at once, each on a thread of its own (with --out-dir)")
        ->check(CLI::Range(1, 256));
    command_->add_option("--elements", elements_,
                         "Directory for the picture elements, created when absent (default: elements are not kept); "
                         "with --out-dir each script's go into a directory of its name inside it");
}

bool ConvertCommand::parsed() const { return command_->parsed(); }

int ConvertCommand::run() const {
    if (!outDir_.empty()) return runBatch();
    if (scripts_.size() > 1) {
        std::cerr << "javtrg: " << scripts_.size() << " scripts need --out-dir DIR for their record streams\n";
        return kExitBadInput;
    }
    PreviewFormat format = PreviewFormat::Svg;
    if (!preview_.empty() && !previewFormatOf(preview_, &format)) {
        std::cerr << "javtrg: --preview " << preview_ << ": expected a file ending in .svg, .html or .png\n";
        return kExitBadInput;
    }
    auto samePath = [](const fs::path& a, const fs::path& b) {
        std::error_code failure;
        return fs::equivalent(a, b, failure) || fs::absolute(a, failure).lexically_normal() == fs::absolute(b, failure).lexically_normal();
    };
    for (const std::string& other : {scripts_.front(), output_}) {
        if (!preview_.empty() && !other.empty() && samePath(preview_, other)) {
            std::cerr << "javtrg: --preview " << preview_ << ": names the script or the stream; expected a file of its own\n";
            return kExitBadInput;
        }
    }
    DriverApi api;
    bool loaded = false;
    DriverSource driver = [&](std::ostream& messages) -> const DriverApi* {
        std::string error;
        loaded = library_.empty() ? loadDefaultDriver(&api, &error) : loadDriver(library_, &api, &error);
        if (!loaded) messages << "javtrg: " << error << "\n";
        return loaded ? &api : nullptr;
    };
    int status = convertScript(ConvertJob{scripts_.front(), output_, elements_, preview_}, driver, std::cerr);
    if (loaded) unloadDriver(&api);
    return status;
}

}  // namespace javtool
