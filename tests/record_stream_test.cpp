// The record stream: rounding of the mapping, saturation at the 32-bit
// limits, the record bound of 10239 characters and the formatting helpers.
#include <cmath>
#include <limits>

#include "driver/record_stream.h"
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

// An instance whose mapping is set by hand.
struct MappedHarness : DriverHarness {
    MappedHarness(double scale, double offset, double height) {
        start();
        context()->scaleX = scale;
        context()->scaleY = scale;
        context()->offsetX = offset;
        context()->offsetY = offset;
        context()->targetHeight = height;
    }
};

TEST(RecordStream, FrameOriginMapsToTheTopLeftCorner) {
    DriverHarness h;
    javtest::squareTarget(h.host(), 1000, 97);
    h.params()->sourceFrame[0] = -300;
    h.params()->sourceFrame[1] = 200;
    h.params()->sourceFrame[2] = 700;
    h.params()->sourceFrame[3] = 1200;
    DriverContext* c = h.start();
    EXPECT_EQ(JAVtMapX(c, -300), 0);
    EXPECT_EQ(JAVtMapY(c, 200), 97);
    EXPECT_EQ(JAVtMapY(c, 1200), 0);
    EXPECT_EQ(JAVtMapX(c, 700), 97);
}

TEST(RecordStream, HalfwayValuesRoundTowardsPositiveInfinity) {
    MappedHarness h(0.5, 0.0, 10.0);
    DriverContext* c = h.context();
    EXPECT_EQ(JAVtMapX(c, 5), 3);     // 2.5
    EXPECT_EQ(JAVtMapX(c, -5), -2);   // -2.5
    EXPECT_EQ(JAVtMapX(c, -3), -1);   // -1.5
    EXPECT_EQ(JAVtMapY(c, 5), 8);     // 10 - 2.5 = 7.5
    EXPECT_EQ(JAVtMapY(c, 25), -2);   // 10 - 12.5 = -2.5
    EXPECT_EQ(JAVtMapLengthX(c, 0.8), 0);  // 0.4 pixel
    EXPECT_EQ(JAVtMapLengthY(c, 1.0), 1);  // 0.5 pixel
}

TEST(RecordStream, MappedValuesSaturateAtThe32BitLimits) {
    MappedHarness h(1000.0, 0.0, 0.0);
    DriverContext* c = h.context();
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

TEST(RecordStream, RecordOfTheBoundLengthIsWrittenWhole) {
    DriverHarness h;
    h.start();
    std::string record(10238, 'x');
    record += '\n';
    JAVtEmitText(h.context(), record.c_str());
    ASSERT_EQ(h.writes(), 1u);
    EXPECT_EQ(h.take(), record);
}

TEST(RecordStream, LongerRecordIsCutWithoutItsNewline) {
    DriverHarness h;
    h.start();
    std::string record(12000, 'y');
    record += '\n';
    JAVtEmitText(h.context(), record.c_str());
    EXPECT_EQ(h.take(), std::string(10239, 'y'));
}

TEST(RecordStream, IntegerRecordsFormatLikeDecimalConversion) {
    DriverHarness h;
    h.start();
    const int64_t values[] = {0, -1, 42, INT32_MIN, INT32_MAX};
    JAVtEmitInts(h.context(), "r,", values);
    EXPECT_EQ(h.take(), "r,0,-1,42,-2147483648,2147483647\n");
    JAVtEmitInts(h.context(), "q,2\nr,", values, 1);
    EXPECT_EQ(h.take(), "q,2\nr,0\n");
}

TEST(RecordStream, ResumeContinuesThePrefixInTheBuffer) {
    DriverHarness h;
    h.start();
    LineText line = JAVtLineBegin(h.context());
    JAVtLineAppendText(&line, "l,");
    LineText more = JAVtLineResume(h.context());
    EXPECT_EQ(more.length, 2u);
    JAVtLineAppendInt(&more, -7);
    JAVtLineAppendChar(&more, '\n');
    JAVtLineWrite(h.context(), &more);
    EXPECT_EQ(h.take(), "l,-7\n");
}

TEST(RecordStream, FailingWriteIsNotAnErrorForTheWriter) {
    DriverHarness h;
    h.start();
    h.host().failAt("write", 1);
    EXPECT_EQ(JAVtEmitText(h.context(), "e,\n"), 0);
    EXPECT_EQ(JAVtEmitText(h.context(), "e,\n"), 1);
    EXPECT_EQ(h.take(), "e,\n");
}

}  // namespace
