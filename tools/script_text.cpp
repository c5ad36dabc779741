// Named fields of the text kinds in object scripts.
#include "tools/script.h"

namespace javtool {

const std::vector<KindEntry>& textKinds() {
    static const std::vector<KindEntry> kinds = {};
    return kinds;
}

}  // namespace javtool
