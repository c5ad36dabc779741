// Named fields of the graphics kinds in object scripts.
#include "tools/script.h"

namespace javtool {

const std::vector<KindEntry>& graphicsKinds() {
    static const std::vector<KindEntry> kinds = {};
    return kinds;
}

}  // namespace javtool
