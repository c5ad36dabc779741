// Decimal integers as the records carry them: a minus sign when negative,
// no leading zeros, no plus sign (the "%d" of formatted printing). Written
// straight to where the record is being built; the caller sees to the room
// (at most kIntFieldMax characters).
#ifndef JAVTRG_DECIMAL_H
#define JAVTRG_DECIMAL_H

#include <array>
#include <cstdint>
#include <cstring>

// Most characters of one field: "-2147483648".
inline constexpr uint32_t kIntFieldMax = 11;

// "00" to "99", two characters each.
inline constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

inline uint32_t JAVtDigitCount(uint32_t value) {
    if (value < 10) return 1;
    if (value < 100) return 2;
    if (value < 1000) return 3;
    if (value < 10000) return 4;
    if (value < 100000) return 5;
    if (value < 1000000) return 6;
    if (value < 10000000) return 7;
    if (value < 100000000) return 8;
    if (value < 1000000000) return 9;
    return 10;
}

// Writes the digits of `value` at `out`; returns the end.
inline char* JAVtPutUnsigned(char* out, uint32_t value) {
    char* end = out + JAVtDigitCount(value);
    char* p = end;
    // Two digits at a time from the right.
    while (value >= 100) {
        p -= 2;
        std::memcpy(p, &kDigitPairs[2 * (value % 100)], 2);
        value /= 100;
    }
    if (value >= 10) {
        std::memcpy(p - 2, &kDigitPairs[2 * value], 2);
    } else {
        p[-1] = static_cast<char>('0' + value);
    }
    return end;
}

inline char* JAVtPutInt(char* out, int32_t value) {
    auto magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    return JAVtPutUnsigned(out, magnitude);
}

#endif
