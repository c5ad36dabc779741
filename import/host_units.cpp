// SPDX-License-Identifier: MIT
#include "import/host_units.h"

#include <cmath>
#include <limits>

namespace javimport {

int32_t saturate(double value) {
    if (std::isnan(value)) return 0;
    double rounded = std::floor(value + 0.5);
    if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

int32_t clamp32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace javimport
