// Folding 16-bit code units: the table of all units agrees with the linear
// search of the case table.
#include <gtest/gtest.h>

#include "highlight/case_table.h"

namespace {

TEST(CaseTable, EveryUnitFoldsAsTheLinearSearchFoldsIt) {
    size_t folded = 0;
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
        auto unit = static_cast<uint16_t>(u);
        int32_t place = JAVtFindCodeUnit(unit);
        uint16_t expected = place >= 0 ? lowerCaseUnits[static_cast<size_t>(place)] : unit;
        ASSERT_EQ(JAVtFoldCodeUnit(unit), expected) << std::hex << u;
        if (place >= 0) {
            EXPECT_EQ(upperCaseUnits[static_cast<size_t>(place)], unit);
            ++folded;
        }
    }
    EXPECT_EQ(folded, kCasePairCount);
    EXPECT_EQ(JAVtFindCodeUnit(0), -1);
    EXPECT_EQ(JAVtFindCodeUnit(0x0041), 0);
}

}  // namespace
