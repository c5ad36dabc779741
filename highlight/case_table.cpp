// SPDX-License-Identifier: MIT
// Folding 16-bit code units through the case table.
#include "highlight/case_table.h"

namespace {

constexpr size_t kUnitCount = 65536;

// Every unit mapped to its folded form: itself, unless it is an upper-case
// unit of the table.
constexpr std::array<uint16_t, kUnitCount> JAVtMakeFoldTable() {
    std::array<uint16_t, kUnitCount> table{};
    for (size_t unit = 0; unit < kUnitCount; ++unit) table[unit] = static_cast<uint16_t>(unit);
    for (size_t i = 0; i < kCasePairCount; ++i) table[upperCaseUnits[i]] = lowerCaseUnits[i];
    return table;
}

// True when no upper-case unit is 0 or appears twice, so that the first
// place the linear search finds is the only one.
constexpr bool JAVtUpperUnitsAreDistinct() {
    std::array<bool, kUnitCount> seen{};
    for (size_t i = 0; i < kCasePairCount; ++i) {
        uint16_t unit = upperCaseUnits[i];
        if (unit == 0 || seen[unit]) return false;
        seen[unit] = true;
    }
    return true;
}

static_assert(JAVtUpperUnitsAreDistinct(), "each upper-case unit is in the table once");

}  // namespace

extern constexpr std::array<uint16_t, kUnitCount> kFoldTable = JAVtMakeFoldTable();

static_assert(kFoldTable[0x00C4] == 0x00E4 && kFoldTable[0x0391] == 0x03B1 && kFoldTable[0x10A0] == 0x10D0 &&
                  kFoldTable[0x01C4] == 0x01C6 && kFoldTable[0x01C5] == 0x01C5 && kFoldTable[0x018E] == 0x0258 &&
                  kFoldTable[0x1F5F] == 0x1F57 && kFoldTable[0] == 0,
              "folding examples");

int32_t JAVtFindCodeUnit(uint16_t unit) {
    for (size_t i = 0; upperCaseUnits[i] != 0; ++i) {
        if (upperCaseUnits[i] == unit) return static_cast<int32_t>(i);
    }
    return -1;
}
