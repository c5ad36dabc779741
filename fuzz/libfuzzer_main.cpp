// SPDX-License-Identifier: MIT
// libFuzzer entry of one target, named by JAVTRG_FUZZ_ENTRY when it is
// compiled: a run that shows a fault is a crash.
#include <cstdlib>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!JAVTRG_FUZZ_ENTRY(data, size)) std::abort();
    return 0;
}
