// libFuzzer entry: every input is one picture; a leak is a crash.
#include <cstdlib>

#include "fuzz/object_stream_fuzzer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!javfuzz::runPicture(data, size)) std::abort();
    return 0;
}
