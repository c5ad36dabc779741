// SPDX-License-Identifier: MIT
// Folding 16-bit code units. The case table is checked against the C
// library's case mapping in a UTF-8 locale, a source of its own: every pair
// is an upper/lower pair there, but for the two differences the matching
// keeps on purpose. The fold table must agree with the pairs for every unit.
#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>

#include "highlight/case_table.h"

namespace {

// The pairs the matching keeps although today's data maps them otherwise.
uint16_t documentedPartner(uint16_t upper) {
    if (upper == 0x018E) return 0x0258;
    if (upper >= 0x10A0 && upper <= 0x10C5) return static_cast<uint16_t>(upper + 48);
    return 0;
}

TEST(CaseTable, EveryPairIsTheCLibrarysOrADocumentedException) {
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    const std::string restore = previous != nullptr ? previous : "C";
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr) << "no UTF-8 locale";
    for (size_t i = 0; i < kCasePairCount; ++i) {
        uint16_t upper = upperCaseUnits[i], lower = lowerCaseUnits[i];
        if (documentedPartner(upper) != 0) {
            EXPECT_EQ(lower, documentedPartner(upper)) << std::hex << upper;
            continue;
        }
        EXPECT_EQ(std::towlower(upper), lower) << std::hex << upper;
        EXPECT_EQ(std::towupper(lower), upper) << std::hex << lower;
    }
    // Upper-case letters the table leaves alone: title-case digraphs, a
    // capital whose small letter is ASCII, Roman numerals, the capital sharp s.
    for (uint16_t unfolded : {0x01C5, 0x01C8, 0x01CB, 0x01F2, 0x0130, 0x2160, 0x216F, 0x1E9E}) {
        EXPECT_NE(std::towlower(unfolded), unfolded) << std::hex << unfolded;
        EXPECT_EQ(JAVtFoldCodeUnit(unfolded), unfolded) << std::hex << unfolded;
    }
    std::setlocale(LC_CTYPE, restore.c_str());
}

TEST(CaseTable, EveryUnitFoldsAsTheLinearSearchFoldsIt) {
    size_t folded = 0;
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
        auto unit = static_cast<uint16_t>(u);
        int32_t place = JAVtFindCodeUnit(unit);
        ASSERT_EQ(JAVtFoldCodeUnit(unit), place >= 0 ? lowerCaseUnits[static_cast<size_t>(place)] : unit) << std::hex << u;
        folded += place >= 0 ? 1 : 0;
    }
    EXPECT_EQ(folded, kCasePairCount);
    EXPECT_EQ(JAVtFindCodeUnit(0), -1);
}

}  // namespace
