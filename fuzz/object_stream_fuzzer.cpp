// SPDX-License-Identifier: MIT
// Pictures of any objects: a target from the input, fill pictures
// registered in the host, then up to 64 objects of any kind.
#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"

namespace javfuzz {

bool objectStream(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    refhost::ReferenceHost host;
    keepHostQuick(host);
    return driveAnyPicture(in, host);
}

}  // namespace javfuzz
