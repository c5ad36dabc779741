// SPDX-License-Identifier: MIT
// The record stream: rounding of the mapping, saturation at the 32-bit
// limits and the record bound of 10239 characters.
#include <limits>
#include <string>
#include <vector>

#include "stream/mapping.h"
#include "stream/record_stream.h"
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

TEST(RecordStream, HalfwayValuesRoundUpAndAllSaturateAtThe32BitLimits) {
    DriverHarness h;
    DriverContext* c = h.start();
    c->scaleX = c->scaleY = 0.5;
    c->offsetX = -2;  // each axis its own offset
    c->offsetY = 4;
    c->targetHeight = 10;
    EXPECT_EQ(JAVtMapX(c, 7), 3);     // 2.5
    EXPECT_EQ(JAVtMapX(c, -3), -2);   // -2.5
    EXPECT_EQ(JAVtMapX(c, -1), -1);   // -1.5
    EXPECT_EQ(JAVtMapY(c, 1), 8);     // 10 - 2.5 = 7.5
    EXPECT_EQ(JAVtMapY(c, 21), -2);   // 10 - 12.5 = -2.5
    EXPECT_EQ(JAVtMapLengthX(c, 0.8), 0);  // 0.4 pixel
    EXPECT_EQ(JAVtMapLengthY(c, 1.0), 1);  // 0.5 pixel
    // Mapped values saturate at the 32-bit limits.
    c->scaleX = c->scaleY = 1000.0;
    c->offsetX = c->offsetY = 0;
    c->targetHeight = 0;
    EXPECT_EQ(JAVtMapX(c, INT32_MAX), INT32_MAX);
    EXPECT_EQ(JAVtMapX(c, INT32_MIN), INT32_MIN);
    EXPECT_EQ(JAVtMapY(c, INT32_MIN), INT32_MAX);
    EXPECT_EQ(JAVtMapLengthX(c, 4294967295.0), INT32_MAX);
    EXPECT_EQ(JAVtMapX(c, 2147483.0), 2147483000);  // inside the range: unchanged
    c->scaleX = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(JAVtMapX(c, 1), 0);
    c->scaleX = std::numeric_limits<double>::infinity();
    EXPECT_EQ(JAVtMapX(c, 1), INT32_MAX);
}

// Every digit count and both signs: the fields read as "%d" writes them.
TEST(RecordStream, IntegersAreWrittenAsPercentD) {
    std::vector<int64_t> values = {0, INT32_MAX, INT32_MIN};
    for (int64_t power = 10; power <= 1000000000; power *= 10) values.insert(values.end(), {power - 1, power, power + 1});
    for (int64_t value : values) {
        for (int64_t signedValue : {value, -value}) {
            if (signedValue < INT32_MIN || signedValue > INT32_MAX) continue;
            char field[kIntFieldMax];
            char* end = JAVtPutInt(field, static_cast<int32_t>(signedValue));
            EXPECT_EQ(std::string(field, end), std::to_string(signedValue));
        }
    }
    for (int byte = 0; byte < 256; ++byte) {
        char field[4];
        char* end = JAVtPutByteField(field, static_cast<uint8_t>(byte));
        EXPECT_EQ(std::string(field, end), std::to_string(byte) + ",");
    }
}

TEST(RecordStream, RecordOfTheBoundLengthIsWholeALongerOneCutWithoutItsNewline) {
    DriverHarness h;
    h.start();
    std::string record = std::string(10238, 'x') + "\n";
    JAVtEmitText(h.context(), record.c_str());
    ASSERT_EQ(h.writes(), 1u);
    EXPECT_EQ(h.take(), record);
    JAVtEmitText(h.context(), (std::string(12000, 'y') + "\n").c_str());
    EXPECT_EQ(h.take(), std::string(10239, 'y'));
}

}  // namespace
