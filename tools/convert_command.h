// SPDX-License-Identifier: MIT
// `javtrg convert`: one input (an object script, or a drawing of a format
// an importer recognises) into a record stream, or several at once into a
// folder, on as many threads as asked.
//
//   javtrg convert INPUT [-o FILE] [--size WxH] [--page N] [--elements DIR] [SEARCH...] [--preview FILE.svg|FILE.html|FILE.png]
//   javtrg convert INPUT... --out-dir DIR [-j N] [--page N|all] [--elements DIR] [SEARCH...]
//
// Each input page is converted by its own driver instance on its own
// reference host; the library is loaded once. In a folder each stream is
// DIR/<input name without extension>.records (-pN.records for every page
// of --page all), and with --elements each input's elements go into a
// folder of that name inside the elements folder.
#ifndef JAVTRG_TOOLS_CONVERT_COMMAND_H
#define JAVTRG_TOOLS_CONVERT_COMMAND_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/driver_loader.h"
#include "tools/exit_status.h"
#include "tools/script.h"

namespace CLI {
class App;
}

namespace javtool {

// What the command line asks of every input: the target's size in pixels
// (0: the input's own; one side given: the other keeps the aspect), the
// page of a drawing (0: every page), and the search request of the session.
struct InputOptions {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t page = 1;
    std::vector<std::string> searchTerms;  // UTF-8
    std::string searchColour;              // "#RRGGBB", empty: the driver's
    bool wholeWord = false;
    bool matchCase = false;
    // Bytes an input may hold, and what one script or drawing may ask for.
    uint64_t maxInputBytes = uint64_t{256} << 20;
    ScriptLimits limits;
};

// One conversion: an input (a path, or "-" for standard input), the stream
// it writes (a path; "-" or empty: standard output) and the folder of its
// elements (empty: elements are not kept). With every page asked for, each
// page's stream is `pagesDir`/<input name>-pN.records and its elements go
// into the folder pN inside the elements folder. The preview of the stream at the
// target's size is written to `preview` (empty: none).
struct ConvertJob {
    std::string script;
    std::string output;
    std::string elements;
    InputOptions input;
    std::string pagesDir;
    std::string preview;
};

// The driver a conversion uses; absent when it cannot be loaded, after a
// message on `messages`.
using DriverSource = std::function<const DriverApi*(std::ostream& messages)>;

// Converts one input. Every message goes to `messages`, one line each.
// Returns kExitOk, kExitDriverFailed or kExitBadInput.
int convertScript(const ConvertJob& job, const DriverSource& driver, std::ostream& messages);

// Converts the jobs on up to `threads` threads with the one driver `api`.
// The messages of each job are written to `messages` whole and in the jobs'
// order; with `progressLine` (a terminal) a line that counts the jobs ended
// stands below them until the last. Returns the worst status: kExitBadInput
// before kExitDriverFailed before kExitOk.
int convertBatch(const std::vector<ConvertJob>& jobs, size_t threads, const DriverApi& api, std::ostream& messages,
                 bool progressLine);

// The folders made for a conversion's elements: made with their parents,
// and at the end (the object's destruction) those still empty are removed
// again, innermost first, so that a run leaves no empty folder behind.
class MadeDirectories {
public:
    MadeDirectories() = default;
    MadeDirectories(const MadeDirectories&) = delete;
    MadeDirectories& operator=(const MadeDirectories&) = delete;
    ~MadeDirectories();
    // Makes `directory` and its missing parents; false after a message.
    bool make(const std::string& directory, std::ostream& messages);
    // Keeps what was made, empty or not: the folder named on the command
    // line, which the user asked for.
    void keep() { made_.clear(); }

private:
    std::vector<std::string> made_;  // outermost first
};

class ConvertCommand {
public:
    // `library`: the driver to load, empty for the installed one; it may be
    // set on the command line after the command is made.
    ConvertCommand(CLI::App& app, const std::string& library);
    bool parsed() const;
    int run() const;

private:
    // The input options of the command line, checked; false after a message.
    bool inputOptions(InputOptions* options) const;
    int runBatch(const InputOptions& input) const;

    CLI::App* command_;
    const std::string& library_;
    std::vector<std::string> scripts_;
    std::string output_;
    std::string outDir_;
    std::string elements_;
    std::string preview_;
    size_t threads_ = 1;
    std::string size_;
    std::string page_;
    InputOptions input_;
};

}  // namespace javtool

#endif
