// SPDX-License-Identifier: MIT
// Integer hygiene shared by every record writer: host coordinates are 32-bit
// and untrusted, so differences are taken in 64 bits and every double that
// becomes an integer goes through one saturating conversion.
#ifndef JAVTRG_NUMERIC_H
#define JAVTRG_NUMERIC_H

#include <cmath>
#include <cstdint>

// Truncates towards zero into the signed 32-bit range: values beyond the
// range give its limits, NaN gives 0.
inline int32_t JAVtSaturate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// floor(value + 0.5), saturated: the rounding of every position and length
// written in a record. Inside the range the floor is the truncation, one
// less when that lies above; the edges, infinities and NaN saturate.
inline int32_t JAVtRound(double value) {
    double x = value + 0.5;
    if (x > -2147483648.0 && x < 2147483647.0) {
        auto truncated = static_cast<int32_t>(x);
        return static_cast<double>(truncated) > x ? truncated - 1 : truncated;
    }
    return JAVtSaturate(x);
}

// Narrows a 64-bit integer into the signed 32-bit range by saturation.
inline int32_t JAVtClamp32(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

inline int64_t JAVtAbs64(int64_t value) { return value < 0 ? -value : value; }

#endif
