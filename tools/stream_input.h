// SPDX-License-Identifier: MIT
// Reading a record stream named on the command line, with its messages:
// each names the stream and the line, on one line of standard error. A
// lenient run prints its first warnings and counts the rest, so a stream of
// any size gives a bounded report.
#ifndef JAVTRG_TOOLS_STREAM_INPUT_H
#define JAVTRG_TOOLS_STREAM_INPUT_H

#include <cstdint>
#include <string>

#include "tools/exit_status.h"
#include "tools/record_reader.h"

namespace javtool {

class StreamDiagnostics {
public:
    // `path`: the stream as given; "-" is standard input.
    explicit StreamDiagnostics(const std::string& path);

    const std::string& name() const { return name_; }
    void error(const std::string& message) const;
    void malformed(const Malformation& malformation, bool lenient);
    void warning(uint64_t line, const std::string& message);
    // Says how many warnings were not printed.
    void finish();

private:
    std::string name_;
    uint64_t warnings_ = 0;
};

// Reads the stream at `path` ("-": standard input) into `sink`. Returns
// kExitOk, or kExitBadInput when it cannot be read or, read strictly,
// holds a malformed record (reported). `skipped` receives the number of
// malformed records a lenient read skipped. A line longer than
// `maxLineBytes` ends any read with kExitBadInput (reported).
int readStream(const std::string& path, RecordSink& sink, bool lenient, uint64_t maxLineBytes,
               StreamDiagnostics& diagnostics, uint64_t* skipped);

}  // namespace javtool

#endif
