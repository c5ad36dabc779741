// SPDX-License-Identifier: MIT
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
    if (value < 100000) return value < 1000 ? (value < 100 ? (value < 10 ? 1 : 2) : 3) : (value < 10000 ? 4 : 5);
    if (value < 10000000) return value < 1000000 ? 6 : 7;
    return value < 100000000 ? 8 : (value < 1000000000 ? 9 : 10);
}

// Writes the digits of `value` at `out`; returns the end. Most fields are
// below 10000 (colour components, pixel positions): they take one or two
// pairs from the table without a loop.
inline char* JAVtPutUnsigned(char* out, uint32_t value) {
    if (value < 100) {
        if (value < 10) {
            *out = static_cast<char>('0' + value);
            return out + 1;
        }
        std::memcpy(out, &kDigitPairs[2 * value], 2);
        return out + 2;
    }
    if (value < 10000) {
        uint32_t high = value / 100;
        uint32_t low = value % 100;
        if (high < 10) {
            *out = static_cast<char>('0' + high);
            std::memcpy(out + 1, &kDigitPairs[2 * low], 2);
            return out + 3;
        }
        std::memcpy(out, &kDigitPairs[2 * high], 2);
        std::memcpy(out + 2, &kDigitPairs[2 * low], 2);
        return out + 4;
    }
    // Two digits at a time from the right.
    char* end = out + JAVtDigitCount(value);
    char* p = end;
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

// "0," to "255,": a byte's field and the comma after it (colour
// components), stored as four characters whatever its length.
struct JAVtByteField {
    char text[4];
    uint32_t length;
};
inline constexpr std::array<JAVtByteField, 256> kByteFields = [] {
    std::array<JAVtByteField, 256> fields{};
    for (uint32_t i = 0; i < 256; ++i) {
        JAVtByteField& f = fields[i];
        if (i >= 100) f.text[f.length++] = static_cast<char>('0' + i / 100);
        if (i >= 10) f.text[f.length++] = static_cast<char>('0' + i / 10 % 10);
        f.text[f.length++] = static_cast<char>('0' + i % 10);
        f.text[f.length++] = ',';
    }
    return fields;
}();

// Writes `value` and a comma at `out`, storing four characters; returns the
// end of the field.
inline char* JAVtPutByteField(char* out, uint8_t value) {
    std::memcpy(out, kByteFields[value].text, 4);
    return out + kByteFields[value].length;
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
