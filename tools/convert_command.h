// `javtrg convert`: one object script into a record stream, or several at
// once into a folder, on as many threads as asked.
//
//   javtrg convert SCRIPT [-o FILE] [--elements DIR] [--preview FILE.svg|FILE.html|FILE.png]
//   javtrg convert SCRIPT... --out-dir DIR [-j N] [--elements DIR]
//
// Each script is converted by its own driver instance on its own reference
// host; the library is loaded once. In a folder each stream is
// DIR/<script name without extension>.records, and with --elements each
// script's elements go into a folder of that name inside the elements
// folder.
#ifndef JAVTRG_TOOLS_CONVERT_COMMAND_H
#define JAVTRG_TOOLS_CONVERT_COMMAND_H

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/driver_loader.h"

namespace CLI {
class App;
}

namespace javtool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDriverFailed = 1;
inline constexpr int kExitBadInput = 2;

// One conversion: a script (a path, or "-" for standard input), the stream
// it writes (a path; "-" or empty: standard output) and the folder of its
// elements (empty: elements are not kept); the preview of the stream at
// the target's size (empty: none).
struct ConvertJob {
    std::string script;
    std::string output;
    std::string elements;
    std::string preview;
};

// The driver a conversion uses; absent when it cannot be loaded, after a
// message on `messages`.
using DriverSource = std::function<const DriverApi*(std::ostream& messages)>;

// Converts one script. Every message goes to `messages`, one line each.
// Returns kExitOk, kExitDriverFailed or kExitBadInput.
int convertScript(const ConvertJob& job, const DriverSource& driver, std::ostream& messages);

// Converts the jobs on up to `threads` threads with the one driver `api`.
// The messages of each job are written to `messages` whole and in the jobs'
// order; with `progressLine` (a terminal) a line that counts the jobs ended
// stands below them until the last. Returns the worst status: kExitBadInput
// before kExitDriverFailed before kExitOk.
int convertBatch(const std::vector<ConvertJob>& jobs, size_t threads, const DriverApi& api, std::ostream& messages,
                 bool progressLine);

class ConvertCommand {
public:
    // `library`: the driver to load, empty for the installed one; it may be
    // set on the command line after the command is made.
    ConvertCommand(CLI::App& app, const std::string& library);
    bool parsed() const;
    int run() const;

private:
    int runBatch() const;

    CLI::App* command_;
    const std::string& library_;
    std::vector<std::string> scripts_;
    std::string output_;
    std::string outDir_;
    std::string elements_;
    std::string preview_;
    size_t threads_ = 1;
};

}  // namespace javtool

#endif
