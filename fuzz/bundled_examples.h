// SPDX-License-Identifier: MIT
// The example scripts bundled with the sources (examples/*.json), read and
// checked once, in the order of their names. For the runs that go through
// every example: the failure sweep, the concurrency test and the host
// failure fuzzer.
#ifndef JAVTRG_FUZZ_BUNDLED_EXAMPLES_H
#define JAVTRG_FUZZ_BUNDLED_EXAMPLES_H

#include <string>
#include <vector>

#include "tools/script.h"

namespace javfuzz {

struct BundledExample {
    std::string name;  // the file name
    javtool::Script script;
};

const std::vector<BundledExample>& bundledExamples();

}  // namespace javfuzz

#endif
