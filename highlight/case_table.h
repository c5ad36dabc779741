// SPDX-License-Identifier: MIT
// The case table of 16-bit text: the upper-case code units that fold to a
// lower-case partner when terms are matched regardless of case.
//
// The pairs are the simple lower-case mapping of Unicode restricted to the
// ranges below, with two differences from today's data that the matching
// keeps: U+018E folds to U+0258, and the Georgian capitals U+10A0 to U+10C5
// fold to U+10D0 to U+10F5. Title-case digraphs (U+01C5 and the like) and
// Roman numerals do not fold.
#ifndef JAVTRG_HIGHLIGHT_CASE_TABLE_H
#define JAVTRG_HIGHLIGHT_CASE_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr size_t kCasePairCount = 665;

// Upper-case units from `first` to `last`, every `step`th one, each folding
// to itself plus `offset`.
struct JAVtCaseRange {
    uint16_t first;
    uint16_t last;
    uint16_t step;
    int16_t offset;
};

inline constexpr JAVtCaseRange kCaseRanges[] = {
    // Latin, Latin-1, Greek, Cyrillic and full-width Latin capitals.
    {0x0041, 0x005A, 1, 32}, {0x00C0, 0x00D6, 1, 32}, {0x00D8, 0x00DE, 1, 32}, {0x0391, 0x03A1, 1, 32},
    {0x03A3, 0x03AB, 1, 32}, {0x0410, 0x042F, 1, 32}, {0xFF21, 0xFF3A, 1, 32},
    // Alternating capital and small letters.
    {0x0100, 0x012E, 2, 1}, {0x0132, 0x0136, 2, 1}, {0x0139, 0x0147, 2, 1}, {0x014A, 0x0176, 2, 1},
    {0x0179, 0x017D, 2, 1}, {0x0182, 0x0184, 2, 1}, {0x01A0, 0x01A4, 2, 1}, {0x01B3, 0x01B5, 2, 1},
    {0x01CD, 0x01DB, 2, 1}, {0x01DE, 0x01EE, 2, 1}, {0x01FA, 0x0216, 2, 1}, {0x03E2, 0x03EE, 2, 1},
    {0x0460, 0x0480, 2, 1}, {0x0490, 0x04BE, 2, 1}, {0x04C1, 0x04C3, 2, 1}, {0x04D0, 0x04EA, 2, 1},
    {0x04EE, 0x04F4, 2, 1}, {0x1E00, 0x1E94, 2, 1}, {0x1EA0, 0x1EF8, 2, 1},
    // Single capitals followed by their small letter.
    {0x0187, 0x0187, 1, 1}, {0x018B, 0x018B, 1, 1}, {0x0191, 0x0191, 1, 1}, {0x0198, 0x0198, 1, 1},
    {0x01A7, 0x01A7, 1, 1}, {0x01AC, 0x01AC, 1, 1}, {0x01AF, 0x01AF, 1, 1}, {0x01B8, 0x01B8, 1, 1},
    {0x01BC, 0x01BC, 1, 1}, {0x01F4, 0x01F4, 1, 1}, {0x04C7, 0x04C7, 1, 1}, {0x04CB, 0x04CB, 1, 1},
    {0x04F8, 0x04F8, 1, 1},
    // Digraph capitals, skipping their title-case form.
    {0x01C4, 0x01C4, 1, 2}, {0x01C7, 0x01C7, 1, 2}, {0x01CA, 0x01CA, 1, 2}, {0x01F1, 0x01F1, 1, 2},
    // Cyrillic capitals with marks.
    {0x0401, 0x040C, 1, 80}, {0x040E, 0x040F, 1, 80},
    // Armenian and Georgian.
    {0x0531, 0x0556, 1, 48}, {0x10A0, 0x10C5, 1, 48},
    // Greek extended.
    {0x1F08, 0x1F0F, 1, -8}, {0x1F18, 0x1F1D, 1, -8}, {0x1F28, 0x1F2F, 1, -8}, {0x1F38, 0x1F3F, 1, -8},
    {0x1F48, 0x1F4D, 1, -8}, {0x1F68, 0x1F6F, 1, -8}, {0x1F88, 0x1F8F, 1, -8}, {0x1F98, 0x1F9F, 1, -8},
    {0x1FA8, 0x1FAF, 1, -8}, {0x1FB8, 0x1FB9, 1, -8}, {0x1FD8, 0x1FD9, 1, -8}, {0x1FE8, 0x1FE9, 1, -8},
    {0x1F59, 0x1F5F, 2, -8},
    // Circled Latin capitals.
    {0x24B6, 0x24CF, 1, 26},
};

// Pairs without a shared offset: upper-case unit, lower-case unit.
inline constexpr uint16_t kCaseSinglePairs[][2] = {
    {0x0178, 0x00FF}, {0x0181, 0x0253}, {0x0186, 0x0254}, {0x018A, 0x0257}, {0x018E, 0x0258}, {0x018F, 0x0259},
    {0x0190, 0x025B}, {0x0193, 0x0260}, {0x0194, 0x0263}, {0x0196, 0x0269}, {0x0197, 0x0268}, {0x019C, 0x026F},
    {0x019D, 0x0272}, {0x019F, 0x0275}, {0x01A9, 0x0283}, {0x01AE, 0x0288}, {0x01B1, 0x028A}, {0x01B2, 0x028B},
    {0x01B7, 0x0292}, {0x0386, 0x03AC}, {0x0388, 0x03AD}, {0x0389, 0x03AE}, {0x038A, 0x03AF}, {0x038C, 0x03CC},
    {0x038E, 0x03CD}, {0x038F, 0x03CE},
};

// The pairs as two parallel arrays: `upper` followed by a zero unit, and
// `lower[i]` the partner of `upper[i]`. `count` is how many pairs the rows
// above make.
struct JAVtCaseUnits {
    std::array<uint16_t, kCasePairCount + 1> upper;
    std::array<uint16_t, kCasePairCount> lower;
    size_t count;
};

constexpr JAVtCaseUnits JAVtMakeCaseUnits() {
    JAVtCaseUnits units{};
    auto add = [&units](uint32_t upper, uint32_t lower) {
        if (units.count < kCasePairCount) {
            units.upper[units.count] = static_cast<uint16_t>(upper);
            units.lower[units.count] = static_cast<uint16_t>(lower);
        }
        ++units.count;
    };
    for (const JAVtCaseRange& range : kCaseRanges) {
        for (uint32_t unit = range.first; unit <= range.last; unit += range.step) {
            add(unit, static_cast<uint32_t>(static_cast<int32_t>(unit) + range.offset));
        }
    }
    for (const auto& pair : kCaseSinglePairs) add(pair[0], pair[1]);
    return units;
}

inline constexpr JAVtCaseUnits kCaseUnits = JAVtMakeCaseUnits();
inline constexpr const std::array<uint16_t, kCasePairCount + 1>& upperCaseUnits = kCaseUnits.upper;
inline constexpr const std::array<uint16_t, kCasePairCount>& lowerCaseUnits = kCaseUnits.lower;

static_assert(kCaseUnits.count == kCasePairCount, "the case table holds exactly 665 pairs");
static_assert(upperCaseUnits.size() == kCasePairCount + 1 && upperCaseUnits[kCasePairCount] == 0,
              "the upper-case units end with a zero unit");
static_assert(lowerCaseUnits.size() == kCasePairCount, "one lower-case partner per upper-case unit");

// The place of `unit` among the upper-case units, searched from the start up
// to the zero unit; -1 when it is not there (0 is never found).
int32_t JAVtFindCodeUnit(uint16_t unit);

// Every 16-bit unit mapped to its folded form, built from the pairs at
// compile time (case_table.cpp).
extern const std::array<uint16_t, 65536> kFoldTable;

// The folded unit: the lower-case partner of an upper-case unit of the
// table, any other unit itself. One look-up, inline: the highlighting pass
// folds every unit it passes.
inline uint16_t JAVtFoldCodeUnit(uint16_t unit) { return kFoldTable[unit]; }

#endif
