// SPDX-License-Identifier: MIT
// Drives one driver instance over a script's objects in a reference host.
#ifndef JAVTRG_SCRIPT_RUNNER_H
#define JAVTRG_SCRIPT_RUNNER_H

#include <cstdint>
#include <functional>
#include <string>

#include "host/reference_host.h"
#include "tools/driver_loader.h"
#include "tools/script.h"

namespace javtool {

struct RunOutcome {
    bool started = false;
    int64_t failedObject = -1;  // index of the first object drawn with result 0
    int32_t failedKind = 0;     // its kind
    // The host's failure during the refused start or the failed object, in
    // words ("the host's curveToPointList returned nothing (...)"); empty
    // when the host saw none.
    std::string hostFailure;
    // How deep the host's picture conversions nested (see
    // PictureStore::deepestConversion).
    size_t pictureNesting = 0;
};

// Told after the start (index -1, kind 0, result 1 when the instance
// started) and after every object (its index, kind and result).
using RunObserver = std::function<void(int64_t index, int32_t kind, int32_t result)>;

// Sets the host's target, session and pictures from the script, starts an
// instance writing to `stream`, hands it the objects in order until one
// fails, shuts it down and releases the host's picture conversions.
RunOutcome runScript(const Script& script, refhost::ReferenceHost& host, const DriverApi& api, OutputStream* stream,
                     const RunObserver& observer = nullptr);

}  // namespace javtool

#endif
