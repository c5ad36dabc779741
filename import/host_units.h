// SPDX-License-Identifier: MIT
// Numbers every importer needs on the host side: a length or coordinate in
// host units, held to what a 32-bit host field takes, and the host encoding
// of a font's Windows character set.
#ifndef JAVTRG_IMPORT_HOST_UNITS_H
#define JAVTRG_IMPORT_HOST_UNITS_H

#include <cstdint>

namespace javimport {

// floor(value + 0.5), saturated to the 32-bit range; NaN is 0.
int32_t saturate(double value);
// A 64-bit value held to the 32-bit range.
int32_t clamp32(int64_t value);

}  // namespace javimport

#endif
