// SPDX-License-Identifier: MIT
#include "tools/convert_command.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "host/reference_host.h"
#include "import/formats.h"
#include "tools/output_file.h"
#include "tools/preview_output.h"
#include "tools/script.h"
#include "tools/script_place.h"
#include "tools/script_runner.h"

namespace javtool {

namespace {

namespace fs = std::filesystem;

// The whole input, from a file or from standard input ("-"), into one
// string of at most `limit` bytes: a regular file is measured first and
// read into a string of its size; a pipe or a device is read in pieces
// until it ends or passes the limit.
bool readInput(const std::string& path, uint64_t limit, std::string* text, std::ostream& messages) {
    const bool standard = path == kStandardStream;
    const std::string name = standard ? "standard input" : printable(path);
    int fd = STDIN_FILENO;
    if (!standard) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            messages << "javtrg: " << name << ": cannot read the input: " << std::strerror(errno) << "\n";
            return false;
        }
    }
    struct Closer {
        int fd;
        bool owned;
        ~Closer() {
            if (owned) ::close(fd);
        }
    } closer{fd, !standard};
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        messages << "javtrg: " << name << ": is a directory; expected a script or a drawing\n";
        return false;
    }
    auto tooLarge = [&]() {
        messages << "javtrg: " << name << ": larger than the input limit of " << limit
                 << " bytes (--max-input-bytes raises it)\n";
        return false;
    };
    text->clear();
    if (S_ISREG(info.st_mode)) {
        if (static_cast<uint64_t>(info.st_size) > limit) return tooLarge();
        text->reserve(static_cast<size_t>(info.st_size));
    }
    char piece[64 * 1024];
    for (;;) {
        ssize_t got = ::read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            messages << "javtrg: " << name << ": cannot read the input: " << std::strerror(errno) << "\n";
            return false;
        }
        if (got == 0) return true;
        if (static_cast<uint64_t>(got) > limit - text->size()) return tooLarge();
        text->append(piece, static_cast<size_t>(got));
    }
}

// Whether the input is an object script: its first byte after white space
// (and a byte order mark) opens a JSON object. Anything else is offered to
// the importers.
bool looksLikeScript(const std::string& text) {
    size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    size_t first = text.find_first_not_of(" \t\r\n", start);
    return first != std::string::npos && text[first] == '{';
}

// The target's pixel size asked on the command line, for a script: one side
// given keeps the aspect of the picture's size.
void applySize(const InputOptions& input, Script* script) {
    if (input.width == 0 && input.height == 0) return;
    double aspect = script->params.sizeX > 0 && script->params.sizeY > 0 ? script->params.sizeY / script->params.sizeX : 1.0;
    double width = input.width != 0 ? input.width : input.height / aspect;
    double height = input.height != 0 ? input.height : input.width * aspect;
    script->hasTargetInfo = true;
    script->info.pixelWidth = static_cast<int32_t>(std::clamp(std::floor(width + 0.5), 1.0, 1048576.0));
    script->info.pixelHeight = static_cast<int32_t>(std::clamp(std::floor(height + 0.5), 1.0, 1048576.0));
}

// The search request asked on the command line; it replaces the input's.
// Terms are UTF-8 (encoding 53), each followed by zero bytes as the host
// ends its terms.
void applySearch(const InputOptions& input, ScriptSession* session) {
    if (input.searchTerms.empty()) return;
    session->hasSearch = true;
    session->termEncoding = 53;
    session->searchTerms.clear();
    session->searchTermPresent.clear();
    for (const std::string& term : input.searchTerms) {
        std::string bytes = term;
        bytes.append(bytes.size() % 2 + 2, '\0');
        session->searchTerms.push_back(bytes);
        session->searchTermPresent.push_back(true);
    }
    session->hasOptions = !input.searchColour.empty();
    session->searchOptions = session->hasOptions ? "color:" + input.searchColour : std::string();
    session->caseSensitive = input.matchCase ? 1 : 0;
    session->wholeWordRequested = input.wholeWord ? 1 : 0;
}

// The pages of the input: the one page of an object script, or the pages
// asked for of a drawing, each with the command line's search request.
// The text of a script is handed to its reader, which lets it go as soon as
// it can. False after one message.
bool loadPages(std::string& text, const InputOptions& input, const std::string& name,
               std::vector<javimport::ImportedPage>* pages, std::ostream& messages) {
    if (looksLikeScript(text)) {
        javimport::ImportedPage page;
        try {
            page.script = readScript(std::move(text), input.limits);
        } catch (const ScriptError& e) {
            messages << "javtrg: " << printable(name) << ": " << printable(e.place) << ": " << printable(e.message) << "\n";
            return false;
        }
        if (input.page > 1) {
            messages << "javtrg: " << name << ": an object script has one page, no page " << input.page << "\n";
            return false;
        }
        applySize(input, &page.script);
        pages->push_back(std::move(page));
    } else {
        const javimport::Importer* importer = javimport::importerFor(text);
        if (importer == nullptr) {
            messages << "javtrg: " << name << ": not an object script, nor a drawing of a format tried ("
                     << javimport::formatNames() << ")\n";
            return false;
        }
        javimport::ImportOptions options;
        options.targetWidth = input.width;
        options.targetHeight = input.height;
        options.page = input.page;
        options.maxObjects = input.limits.objects;
        std::string error;
        if (importer->import(text, options, pages, &error) != javimport::ImportStatus::Imported) {
            messages << "javtrg: " << printable(name) << ": "
                     << printable(error.empty() ? "not a " + std::string(importer->formatName) : error) << "\n";
            return false;
        }
    }
    for (javimport::ImportedPage& page : *pages) applySearch(input, &page.script.session);
    return true;
}

// How deeply nested fill pictures the driver converts; a fill deeper than
// that fails without asking the host.
constexpr size_t kDriverPictureDepth = 16;

// The message for a run the driver stopped, with its cause as far as the
// host knows it.
void reportDriverFailure(const Script& script, const std::string& scriptName, const RunOutcome& outcome,
                         std::ostream& messages) {
    messages << "javtrg: " << printable(scriptName) << ": ";
    if (!outcome.started) {
        messages << "the driver refused to start";
    } else {
        const char* name = kindName(outcome.failedKind);
        messages << "objects[" << outcome.failedObject << "] ("
                 << (name != nullptr ? name : "kind " + std::to_string(outcome.failedKind))
                 << "): the driver failed to draw the object";
    }
    if (!outcome.hostFailure.empty()) {
        messages << ": " << printable(outcome.hostFailure);
    } else if (outcome.started && !script.hasTargetInfo && (outcome.failedKind == kKindRaster || !script.pictures.empty())) {
        // Rasters and picture fills are converted into the target's formats,
        // which only the target info describes.
        messages << ": the script gives no target.targetInfo, which rasters and picture fills need";
    } else if (outcome.pictureNesting >= kDriverPictureDepth) {
        messages << ": the fill pictures nest deeper than the driver converts (" << outcome.pictureNesting
                 << " conversions inside one another)";
    }
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
        reportDriverFailure(script, scriptName, outcome, messages);
        status = kExitDriverFailed;
    }
    // Elements the driver left open are completed here; one whose file
    // could not be written is a failed run.
    host.closeOpenElements();
    for (const auto& element : host.elements()) {
        if (element->failed && element->written && status == kExitOk) {
            messages << "javtrg: " << printable(element->path) << ": write failed"
                     << (element->error != 0 ? std::string(": ") + std::strerror(element->error) : std::string()) << "\n";
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

// Converts one page into `target`, its elements into `elements`, and its
// preview into `preview` (empty: none). A folder made for the elements and
// left empty is removed, unless it is the one the command line named
// (`elementsNamed`): only the folders of batches and pages are the tool's.
int convertPage(const javimport::ImportedPage& page, const std::string& target, const std::string& elements,
                bool elementsNamed, const std::string& preview, const std::string& name, const DriverSource& driver,
                std::ostream& messages) {
    // Without a directory the elements are kept in memory and dropped at the
    // end of the run; the record stream names them all the same.
    MadeDirectories madeForElements;
    if (!elements.empty() && !madeForElements.make(elements, messages)) return kExitBadInput;
    if (elementsNamed) madeForElements.keep();
    OutputFile output(target);
    std::string error;
    if (!output.open(&error)) {
        messages << "javtrg: " << printable(error) << "\n";
        return kExitBadInput;
    }
    const DriverApi* api = driver(messages);
    if (api == nullptr) return kExitDriverFailed;

    bool keep = false;
    ConvertJob job{name, target, elements, {}, {}, preview};
    int status = drive(page.script, job, name, *api, output, &keep, messages);
    if (!keep) {
        output.discard();
        return kExitDriverFailed;
    }
    if (!output.commit(&error)) {
        messages << "javtrg: " << printable(error) << "\n";
        return kExitDriverFailed;
    }
    return status;
}

}  // namespace

bool MadeDirectories::make(const std::string& directory, std::ostream& messages) {
    std::error_code failure;
    std::vector<fs::path> missing;
    for (fs::path at = fs::path(directory).lexically_normal(); !at.empty() && !fs::exists(at, failure);
         at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (fs::create_directory(*it, failure)) made_.push_back(it->string());
    }
    if (failure || !fs::is_directory(directory)) {
        messages << "javtrg: " << printable(directory) << ": cannot make the elements directory"
                 << (failure ? ": " + failure.message() : std::string()) << "\n";
        return false;
    }
    return true;
}

MadeDirectories::~MadeDirectories() {
    // fs::remove removes a folder only when it is empty.
    std::error_code failure;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove(*it, failure);
}

int convertScript(const ConvertJob& job, const DriverSource& driver, std::ostream& messages) {
    const std::string scriptName = job.script == kStandardStream ? "standard input" : job.script;
    const bool everyPage = job.input.page == 0;
    std::string error;
    if (!everyPage && !OutputFile(job.output).check(job.script, &error)) {
        messages << "javtrg: " << printable(error) << "\n";
        return kExitBadInput;
    }

    std::string text;
    if (!readInput(job.script, job.input.maxInputBytes, &text, messages)) return kExitBadInput;
    std::vector<javimport::ImportedPage> pages;
    if (!loadPages(text, job.input, scriptName, &pages, messages)) return kExitBadInput;
    text.clear();
    text.shrink_to_fit();

    // Every page's stream and elements, checked before any is written.
    const std::string stem = fs::path(job.script).stem().string();
    std::vector<std::pair<std::string, std::string>> targets;
    for (const javimport::ImportedPage& page : pages) {
        if (!everyPage) {
            targets.emplace_back(job.output, job.elements);
            continue;
        }
        std::string suffix = "-p" + std::to_string(page.number);
        std::string target = (fs::path(job.pagesDir) / (stem + suffix + ".records")).string();
        if (!OutputFile(target).check(job.script, &error)) {
            messages << "javtrg: " << printable(error) << "\n";
            return kExitBadInput;
        }
        targets.emplace_back(target, job.elements.empty() ? "" : (fs::path(job.elements) / ("p" + std::to_string(page.number))).string());
    }

    int status = kExitOk;
    for (size_t i = 0; i < pages.size(); ++i) {
        const javimport::ImportedPage& page = pages[i];
        std::string name = pages.size() > 1 || everyPage ? scriptName + ", page " + std::to_string(page.number) : scriptName;
        for (const ScriptWarning& warning : page.script.warnings)
            messages << "javtrg: " << printable(scriptName) << ": " << printable(warning.place)
                     << ": warning: " << printable(warning.message) << "\n";
        for (const std::string& warning : page.warnings)
            messages << "javtrg: " << printable(name) << ": warning: " << printable(warning) << "\n";
        status = std::max(status, convertPage(page, targets[i].first, targets[i].second, !everyPage && job.pagesDir.empty(),
                                              everyPage ? "" : job.preview, name, driver, messages));
        if (status == kExitBadInput) break;
    }
    return status;
}

// A positive count of pixels or pages: digits only, at most 2^20.
bool readCount(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long number = std::stoul(text);
    if (number == 0 || number > (1u << 20)) return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

bool ConvertCommand::inputOptions(InputOptions* options) const {
    *options = input_;
    if (!size_.empty()) {
        // WxH, or one side with the other left out (Wx, xH): it keeps the aspect.
        size_t x = size_.find('x');
        std::string width = size_.substr(0, x);
        std::string height = x == std::string::npos ? std::string() : size_.substr(x + 1);
        bool ok = x != std::string::npos && (!width.empty() || !height.empty()) &&
                  (width.empty() || readCount(width, &options->width)) && (height.empty() || readCount(height, &options->height));
        if (!ok) {
            std::cerr << "javtrg: --size " << size_ << ": expected WxH, Wx or xH in pixels (1 to 1048576)\n";
            return false;
        }
    }
    if (!page_.empty()) {
        options->page = 0;
        if (page_ != "all" && !readCount(page_, &options->page)) {
            std::cerr << "javtrg: --page " << page_ << ": expected a page number from 1, or all\n";
            return false;
        }
    }
    if (options->page == 0 && outDir_.empty()) {
        std::cerr << "javtrg: --page all needs --out-dir DIR for the streams of the pages\n";
        return false;
    }
    for (const std::string& term : options->searchTerms) {
        if (term.empty() || term.find('\0') != std::string::npos) {
            std::cerr << "javtrg: --search: expected a term of one character or more\n";
            return false;
        }
    }
    const std::string& colour = options->searchColour;
    if (!colour.empty() && (colour.size() != 7 || colour[0] != '#' ||
                            colour.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)) {
        std::cerr << "javtrg: --search-colour " << colour << ": expected #RRGGBB\n";
        return false;
    }
    return true;
}

ConvertCommand::ConvertCommand(CLI::App& app, const std::string& library) : library_(library) {
    command_ = app.add_subcommand("convert", "Convert object scripts and drawings into record streams");
    // --library may also follow the subcommand.
    command_->fallthrough();
    command_->footer("--library PATH (see javtrg --help) may follow the inputs too.");
    command_->add_option("INPUT", scripts_,
                         "Object scripts (JSON) or drawings (" + javimport::formatNames() + "), told by their content; "
                         "- reads standard input")
        ->required();
    CLI::Option* output = command_->add_option("-o,--output", output_, "Record stream file; - or none: standard output");
    command_->add_option("--out-dir", outDir_,
                         "Directory for the record streams of the inputs, each named after its input; created when "
                         "absent")
        ->excludes(output);
    command_->add_option("--preview", preview_,
                         "Also write the preview of the record stream at the target's size, as .svg, .html or .png")
        ->excludes("--out-dir");
    command_->add_option("-j,--jobs", threads_, "Inputs converted at once, each on a thread of its own (with --out-dir)")
        ->check(CLI::Range(1, 256));
    command_->add_option("--elements", elements_,
                         "Directory for the picture elements, created when absent (default: elements are not kept); "
                         "with --out-dir each input's go into a directory of its name inside it");
    command_->add_option("--size", size_,
                         "Target size in pixels, WxH (Wx or xH keep the aspect); default: a drawing's page at 96 "
                         "pixels an inch, a script's own target");
    command_->add_option("--page", page_,
                         "Page of a drawing to convert, from 1 (default 1); all: every page, each into "
                         "DIR/NAME-pN.records (with --out-dir)");
    // One term a --search, so that inputs may follow it.
    command_->add_option("--search", input_.searchTerms, "Highlight every hit of TERM in text boxes (repeatable)")
        ->allow_extra_args(false);
    command_->add_option("--search-colour", input_.searchColour, "Colour of the hits, #RRGGBB (default red)");
    command_->add_flag("--whole-word", input_.wholeWord, "Only hits that are whole words");
    command_->add_flag("--match-case", input_.matchCase, "Hits must match the terms' letter case");
    command_->add_option("--max-input-bytes", input_.maxInputBytes, "Largest input read, in bytes (default 268435456)")
        ->check(CLI::PositiveNumber);
    command_->add_option("--max-objects", input_.limits.objects,
                         "Most objects a script's objects array, one of its pictures or a drawing may hold (default "
                         "4000000)")
        ->check(CLI::PositiveNumber);
    command_->add_option("--max-points", input_.limits.points, "Most points one object of a script may give (default 10000000)")
        ->check(CLI::PositiveNumber);
}

bool ConvertCommand::parsed() const { return command_->parsed(); }

int ConvertCommand::run() const {
    InputOptions input;
    if (!inputOptions(&input)) return kExitBadInput;
    if (!outDir_.empty()) return runBatch(input);
    if (scripts_.size() > 1) {
        std::cerr << "javtrg: " << scripts_.size() << " inputs need --out-dir DIR for their record streams\n";
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
        if (loaded) return &api;
        std::string error;
        loaded = library_.empty() ? loadDefaultDriver(&api, &error) : loadDriver(library_, &api, &error);
        if (!loaded) messages << "javtrg: " << printable(error) << "\n";
        return loaded ? &api : nullptr;
    };
    int status = convertScript(ConvertJob{scripts_.front(), output_, elements_, input, {}, preview_}, driver, std::cerr);
    if (loaded) unloadDriver(&api);
    return status;
}

}  // namespace javtool
