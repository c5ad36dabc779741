// SPDX-License-Identifier: MIT
#include "tools/stream_input.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/script_place.h"

namespace javtool {

namespace {

constexpr uint64_t kWarningsShown = 20;

}  // namespace

StreamDiagnostics::StreamDiagnostics(const std::string& path) : name_(path == "-" ? "standard input" : printable(path)) {}

void StreamDiagnostics::error(const std::string& message) const {
    std::cerr << "javtrg: " << name_ << ": " << message << "\n";
}

void StreamDiagnostics::malformed(const Malformation& malformation, bool lenient) {
    if (!lenient) {
        error("line " + std::to_string(malformation.line) + ": " + malformation.message);
        return;
    }
    warning(malformation.line, malformation.message + "; record skipped");
}

void StreamDiagnostics::warning(uint64_t line, const std::string& message) {
    if (++warnings_ <= kWarningsShown) error("line " + std::to_string(line) + ": " + message);
}

void StreamDiagnostics::finish() {
    if (warnings_ > kWarningsShown) {
        error("and " + std::to_string(warnings_ - kWarningsShown) + " more warnings");
    }
}

int readStream(const std::string& path, RecordSink& sink, bool lenient, uint64_t maxLineBytes,
               StreamDiagnostics& diagnostics, uint64_t* skipped) {
    RecordReader reader(sink, lenient);
    reader.limitLineBytes(maxLineBytes);
    reader.onMalformed = [&](const Malformation& malformation) { diagnostics.malformed(malformation, lenient); };
    bool read = false;
    if (path == "-") {
        read = readRecords(std::cin, reader);
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            diagnostics.error(std::string("cannot read the stream: ") + std::strerror(errno));
            return kExitBadInput;
        }
        read = readRecords(in, reader);
    }
    if (!read) {
        diagnostics.error("reading the stream failed");
        return kExitBadInput;
    }
    if (!reader.limitMessage().empty()) {
        diagnostics.error(reader.limitMessage());
        return kExitBadInput;
    }
    *skipped = reader.malformedCount();
    return reader.stopped() ? kExitBadInput : kExitOk;
}

}  // namespace javtool
