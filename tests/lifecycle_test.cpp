// SPDX-License-Identifier: MIT
// Creating and ending driver instances: the order of the host calls, every
// failure path with its clean-up, the header and target fields, and the
// coordinate mapping computed from the target.
#include <algorithm>
#include <array>

#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

const std::vector<std::string> kRegistrationOrder = {
    "registerDriver",          "installHandler 33", "installHandler 14",
    "setRegistrationFlag 1 0", "setTargetPictureHandler", "registrationStepA",
    "registrationStepB",       "registrationStepC",
};

TEST(Lifecycle, StartRegistersInOrderAndFillsTheHeader) {
    DriverHarness h;
    h.params()->colourMode = 7;
    DriverContext* c = startTrgJAV(&h.stream()->base, h.params(), 0xC0FFEEu);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(h.host().callLog(), kRegistrationOrder);
    // Fields the host reads but no record shows; the stream, services,
    // session and initial paragraph state show in every other test's records.
    EXPECT_EQ(c->typeWord, kDriverTypeWord);
    EXPECT_EQ(c->putObject, &putJAVobject);
    EXPECT_EQ(c->shutDown, &shutDownJAVtrg);
    EXPECT_EQ(c->setTrgPicture, &JAVSetTrgPicture);
    EXPECT_EQ(c->clientData, 0xC0FFEEu);
    EXPECT_EQ(c->hostHandle, h.host().hostHandle());
    EXPECT_EQ(h.params()->typeCode, 42);
    EXPECT_EQ(h.params()->typeFlag, 1);
    EXPECT_EQ(h.params()->outColourMode, 7);
    shutDownJAVtrg(c);
}

// Each registration step failing in turn: nothing after it is attempted but
// the clean-up, which unregisters the driver once it is registered.
TEST(Lifecycle, EachCreationFailureCleansUpAndReturnsAbsent) {
    for (size_t step = 0; step < kRegistrationOrder.size(); ++step) {
        const std::string& call = kRegistrationOrder[step];
        const std::string operation = call.substr(0, call.find(' '));
        DriverHarness h;
        h.host().failAt(operation.c_str(), operation == "installHandler" ? step : 1);  // 33 first, then 14
        EXPECT_EQ(h.start(), nullptr) << call;
        std::vector<std::string> expected(kRegistrationOrder.begin(), kRegistrationOrder.begin() + step + 1);
        if (step > 0) expected.push_back("unregisterDriver");
        EXPECT_EQ(h.host().callLog(), expected) << call;
    }
    for (const char* allocation : {"allocateZeroed", "allocate"}) {
        DriverHarness h;
        h.host().failAt(allocation, 1);
        EXPECT_EQ(h.start(), nullptr) << allocation;
        EXPECT_TRUE(h.host().callLog().empty()) << allocation;
    }
    // Absent target parameters or services: not even an allocation.
    DriverHarness h;
    EXPECT_EQ(startTrgJAV(&h.stream()->base, nullptr, 0), nullptr);
    TargetParams noServices = *h.params();
    noServices.hostServices = nullptr;
    EXPECT_EQ(startTrgJAV(&h.stream()->base, &noServices, 0), nullptr);
    EXPECT_TRUE(h.host().callLog().empty());
    EXPECT_EQ(h.host().calls("allocateZeroed"), 0u);
    // The harness checks that the context and the LineBuffer were freed.
}

TEST(Lifecycle, StreamThatIsNotReadyRefusesTheInstance) {
    DriverHarness h;
    refhost::MemoryStream* stream = h.host().memoryStream(true, true);
    stream->readyResult = 0;
    EXPECT_EQ(startTrgJAV(&stream->base, h.params(), 0), nullptr);
    EXPECT_EQ(h.host().calls("registerDriver"), 0u);
    stream->readyResult = 1;
    DriverContext* c = startTrgJAV(&stream->base, h.params(), 0);
    ASSERT_NE(c, nullptr);
    shutDownJAVtrg(c);
    EXPECT_EQ(stream->finishCalls, 1);
}

// What an instance holds at its end (palette, element list) is released
// there: the bundled examples end with both, and the sweep checks them. An
// instance without a stream, or whose stream offers no write, writes nothing.
TEST(Lifecycle, InstanceWithoutAStreamWritesNothingAndAbsentIsIgnored) {
    DriverHarness h;
    OutputStream silent{.write = nullptr, .isReady = nullptr, .finish = nullptr};
    for (OutputStream* stream : {static_cast<OutputStream*>(nullptr), &silent}) {
        DriverContext* c = startTrgJAV(stream, h.params(), 0);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(putJAVobject(c, h.object(kKindRectangle, RectangleData{0, 50, 40, 10})), 1);
        shutDownJAVtrg(c);
    }
    shutDownJAVtrg(nullptr);
}

// A target, and the mapping expected from it. Unnamed fields: one inch
// square of 96 host units, with a target info of 96 pixels square.
struct MappingCase {
    const char* name;
    double sizeX = 1, sizeY = 1, altSizeX = 0, altSizeY = 0;
    std::array<int32_t, 4> frame{0, 0, 96, 96};
    bool withInfo = true;
    int32_t pixelWidth = 96, pixelHeight = 96;
    double infoExtentX = 0, infoExtentY = 0;
    int32_t width = 96, height = 96;
    double scaleX = 1, scaleY = 1, unitsX = 96, unitsY = 96, extentX = 1, extentY = 1;
};

constexpr double kWide = 4294967295.0;  // INT32_MAX - INT32_MIN

// The bundled examples pin pixel sizes and extents from the target info.
TEST(Lifecycle, TargetSizeScaleOffsetAndUnitsPerInch) {
    const MappingCase cases[] = {
        {.name = "no target info: 96 per inch", .sizeX = 2.5, .frame = {0, 0, 250, 100}, .withInfo = false,
         .width = 240, .scaleX = 240.0 / 250, .scaleY = 0.96, .unitsX = 100, .unitsY = 100, .extentX = 2.5},
        {.name = "one pixel size 0 is no size", .pixelWidth = 0, .pixelHeight = 300},
        {.name = "a tiny picture is at least one pixel", .sizeX = 0.001, .sizeY = 0, .frame = {0, 0, 10, 10},
         .withInfo = false, .width = 1, .height = 1, .scaleX = 0.1, .scaleY = 0.1, .extentX = 0.001, .extentY = 0},
        {.name = "extents from the info only when both are set", .infoExtentX = 3.0},
        {.name = "an empty frame divides by one", .frame = {5, 5, 5, 5}, .pixelHeight = 48, .height = 48,
         .scaleX = 96, .scaleY = 48, .unitsX = 0, .unitsY = 0},
        {.name = "size 0 gives 96 on both axes", .sizeX = 0, .sizeY = 2, .frame = {0, 0, 400, 400}, .scaleX = 0.24,
         .scaleY = 0.24, .extentX = 0, .extentY = 2},
        {.name = "the other size only when both are set", .sizeX = 2, .sizeY = 4, .altSizeX = 3,
         .frame = {0, 0, 200, 400}, .scaleX = 0.48, .scaleY = 0.24, .unitsX = 100, .unitsY = 100, .extentX = 2, .extentY = 4},
        {.name = "the other size takes precedence", .sizeX = 2, .sizeY = 4, .altSizeX = 4, .altSizeY = 8,
         .frame = {0, 0, 200, 400}, .scaleX = 0.48, .scaleY = 0.24, .unitsX = 50, .unitsY = 50, .extentX = 2, .extentY = 4},
        {.name = "an extreme frame does not overflow", .frame = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         .scaleX = 96 / kWide, .scaleY = 96 / kWide, .unitsX = kWide, .unitsY = kWide},
        {.name = "a reversed frame gives a negative scale", .frame = {100, 100, 0, 0}, .scaleX = -0.96, .scaleY = -0.96,
         .unitsX = -100, .unitsY = -100},
    };
    for (const MappingCase& m : cases) {
        DriverHarness h;
        TargetParams* p = h.params();
        p->sizeX = m.sizeX, p->sizeY = m.sizeY, p->altSizeX = m.altSizeX, p->altSizeY = m.altSizeY;
        std::copy(m.frame.begin(), m.frame.end(), p->sourceFrame);
        h.host().useTargetInfo(m.withInfo);
        TargetInfo* info = h.host().info();
        info->pixelWidth = m.pixelWidth, info->pixelHeight = m.pixelHeight;
        info->infoExtentX = m.infoExtentX, info->infoExtentY = m.infoExtentY;
        DriverContext* c = h.start();
        ASSERT_NE(c, nullptr) << m.name;
        const double got[] = {double(p->targetPixelRect[2]), double(p->targetPixelRect[3]), c->targetWidth,
                              c->targetHeight, c->scaleX, c->scaleY, c->offsetX, c->offsetY, c->unitsPerInchX,
                              c->unitsPerInchY, p->targetExtentX, p->targetExtentY};
        const double want[] = {double(m.width), double(m.height), double(m.width), double(m.height), m.scaleX,
                               m.scaleY, -double(m.frame[0]), -double(m.frame[1]), m.unitsX, m.unitsY, m.extentX,
                               m.extentY};
        for (size_t i = 0; i < std::size(got); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << m.name << ": value " << i;
    }
}

}  // namespace
