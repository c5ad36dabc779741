// SPDX-License-Identifier: MIT
// `javtrg check STREAM|-`: reads a record stream and says what it holds, or
// where it is malformed.
#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/record_summary.h"
#include "tools/stream_commands.h"
#include "tools/stream_input.h"

namespace javtool {

CheckCommand::CheckCommand(CLI::App& app) {
    command_ = app.add_subcommand("check", "Check a record stream: counts its records, or names the first malformed one");
    command_->add_option("STREAM", stream_, "Record stream, or - for standard input")->required();
    command_->add_flag("--lenient", lenient_, "Skip malformed records with a warning instead of stopping at the first");
    command_->add_option("--max-line-bytes", maxLineBytes_,
                         "Longest line of the stream read, in bytes (default " + std::to_string(kDefaultMaxLineBytes) + ")")
        ->check(CLI::PositiveNumber);
}

bool CheckCommand::parsed() const { return command_->parsed(); }

int CheckCommand::run() const {
    RecordSummary summary;
    StreamDiagnostics diagnostics(stream_);
    uint64_t skipped = 0;
    int status = readStream(stream_, summary, lenient_, maxLineBytes_, diagnostics, &skipped);
    diagnostics.finish();
    if (status != kExitOk) return status;
    std::cout << diagnostics.name() << ": " << summary.describe();
    if (skipped > 0) std::cout << "; " << skipped << " malformed " << (skipped == 1 ? "record" : "records") << " skipped";
    std::cout << "\n";
    return kExitOk;
}

}  // namespace javtool
