// SPDX-License-Identifier: MIT
// Windows character set numbers (the values of the LOGFONTA charSet byte)
// for the host's encoding codes. Header-only, so that a host can map font
// encodings with the very table the driver uses.
#ifndef JAVTRG_TEXT_CHARSET_H
#define JAVTRG_TEXT_CHARSET_H

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kCharsetDefault = 1;

struct JAVtCharsetRow {
    int32_t encoding;
    uint8_t charset;
};

inline constexpr JAVtCharsetRow kJAVtCharsetRows[] = {
    {1, 128}, {55, 128}, {66, 128}, {74, 128}, {78, 128},       // Shift-JIS
    {2, 134},                                                   // GB2312
    {3, 136},                                                   // Big5
    {4, 129},                                                   // Hangeul
    {5, 238}, {15, 238}, {30, 238}, {34, 238},                  // East European
    {6, 204}, {18, 204}, {31, 204}, {39, 204},                  // Cyrillic
    {8, 161}, {20, 161}, {26, 161}, {29, 161}, {40, 161},       // Greek
    {9, 162}, {22, 162}, {32, 162},                             // Turkish
    {10, 177}, {21, 177}, {35, 177},                            // Hebrew
    {11, 178}, {19, 178}, {37, 178},                            // Arabic
    {12, 186}, {17, 186}, {27, 186},                            // Baltic
    {13, 163},                                                  // Vietnamese
    {41, 222},                                                  // Thai
};
static_assert(sizeof kJAVtCharsetRows / sizeof kJAVtCharsetRows[0] == 35, "character set table");

// The character set of an encoding code; every code not listed (negative
// codes and codes above 78 among them) gives the default set 1.
constexpr uint8_t JAVtCharsetForEncoding(int32_t encoding) {
    for (const JAVtCharsetRow& row : kJAVtCharsetRows) {
        if (row.encoding == encoding) return row.charset;
    }
    return kCharsetDefault;
}

static_assert(JAVtCharsetForEncoding(78) == 128 && JAVtCharsetForEncoding(41) == 222 &&
              JAVtCharsetForEncoding(7) == 1 && JAVtCharsetForEncoding(-1) == 1 && JAVtCharsetForEncoding(79) == 1,
              "character set lookups");

// Shift-JIS, Hangeul, GB2312 and Big5: under these the viewer knows fonts by
// four generic names only.
constexpr bool JAVtIsEastAsianCharset(uint8_t charset) {
    return charset == 128 || charset == 129 || charset == 134 || charset == 136;
}

#endif
