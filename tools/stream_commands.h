// SPDX-License-Identifier: MIT
// The subcommands that read record streams: `javtrg check STREAM` validates
// a stream, `javtrg preview STREAM` draws it. Each registers itself on the
// tool's command line; main runs the one that was given.
#ifndef JAVTRG_TOOLS_STREAM_COMMANDS_H
#define JAVTRG_TOOLS_STREAM_COMMANDS_H

#include <cstdint>
#include <string>

#include "tools/png_render.h"
#include "tools/record_reader.h"

namespace CLI {
class App;
}

namespace javtool {

class CheckCommand {
public:
    explicit CheckCommand(CLI::App& app);
    bool parsed() const;
    int run() const;

private:
    CLI::App* command_;
    std::string stream_;
    bool lenient_ = false;
    uint64_t maxLineBytes_ = kDefaultMaxLineBytes;
};

class PreviewCommand {
public:
    explicit PreviewCommand(CLI::App& app);
    bool parsed() const;
    int run() const;

private:
    CLI::App* command_;
    std::string stream_;
    std::string output_;
    std::string elements_;
    std::string size_;
    int64_t maxPixels_ = kDefaultPixelBudget;
    bool lenient_ = false;
    uint64_t maxLineBytes_ = kDefaultMaxLineBytes;
};

}  // namespace javtool

#endif
