// Creating and ending driver instances: the order of the host calls, every
// failure path with its clean-up, the header and target fields, and the
// coordinate mapping computed from the target.
#include <algorithm>
#include <cmath>

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
    EXPECT_EQ(c->typeWord, 8193);
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

// The target and the mapping computed from it.
struct MappingCase {
    const char* name;
    double sizeX, sizeY, altSizeX, altSizeY;
    int32_t frame[4];
    bool withInfo;
    int32_t pixelWidth, pixelHeight;
    double infoExtentX, infoExtentY;
    // expected
    int32_t width, height;
    double scaleX, scaleY, unitsX, unitsY, extentX, extentY;
};

// Applies the target of `m`, starts and checks the mapping.
void checkMapping(const MappingCase& m) {
    SCOPED_TRACE(m.name);
    DriverHarness h;
    TargetParams* p = h.params();
    p->sizeX = m.sizeX, p->sizeY = m.sizeY, p->altSizeX = m.altSizeX, p->altSizeY = m.altSizeY;
    std::copy(m.frame, m.frame + 4, p->sourceFrame);
    h.host().useTargetInfo(m.withInfo);
    TargetInfo* info = h.host().info();
    info->pixelWidth = m.pixelWidth, info->pixelHeight = m.pixelHeight;
    info->infoExtentX = m.infoExtentX, info->infoExtentY = m.infoExtentY;
    DriverContext* c = h.start();
    ASSERT_NE(c, nullptr);
    const double got[] = {static_cast<double>(p->targetPixelRect[2]), static_cast<double>(p->targetPixelRect[3]),
                          c->targetWidth, c->targetHeight, c->scaleX, c->scaleY, c->offsetX, c->offsetY,
                          c->unitsPerInchX, c->unitsPerInchY, p->targetExtentX, p->targetExtentY};
    const double want[] = {static_cast<double>(m.width), static_cast<double>(m.height), static_cast<double>(m.width),
                           static_cast<double>(m.height), m.scaleX, m.scaleY, -static_cast<double>(m.frame[0]),
                           -static_cast<double>(m.frame[1]), m.unitsX, m.unitsY, m.extentX, m.extentY};
    for (size_t i = 0; i < std::size(got); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << "value " << i;
}

constexpr double kWide = 4294967295.0;  // INT32_MAX - INT32_MIN

// The bundled examples pin pixel sizes and extents from the target info.
TEST(Lifecycle, TargetSizeScaleOffsetAndUnitsPerInch) {
    const MappingCase cases[] = {
        {"NoTargetInfoLaysOutAt96PerInch", 2.5, 1.0, 0, 0, {0, 0, 250, 100}, false, 0, 0, 0, 0,
                    240, 96, 240.0 / 250, 0.96, 100, 100, 2.5, 1},
        {"OnePixelSizeZeroIsNoSize", 1, 1, 0, 0, {0, 0, 96, 96}, true, 0, 300, 0, 0,
                    96, 96, 1, 1, 96, 96, 1, 1},
        {"TinyPictureIsAtLeastOnePixel", 0.001, 0, 0, 0, {0, 0, 10, 10}, false, 0, 0, 0, 0,
                    1, 1, 0.1, 0.1, 96, 96, 0.001, 0},
        {"ExtentsFromInfoOnlyWhenBothSet", 1, 1, 0, 0, {0, 0, 96, 96}, true, 96, 96, 3.0, 0,
                    96, 96, 1, 1, 96, 96, 1, 1},
        {"EmptyFrameDividesByOne", 1, 1, 0, 0, {5, 5, 5, 5}, true, 96, 48, 0, 0,
                    96, 48, 96, 48, 0, 0, 1, 1},
        {"ZeroSizeGives96OnBothAxes", 0, 2, 0, 0, {0, 0, 400, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.24, 0.24, 96, 96, 0, 2},
        {"AltSizeOnlyWhenBothSet", 2, 4, 3, 0, {0, 0, 200, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.48, 0.24, 100, 100, 2, 4},
        {"AltSizeTakesPrecedence", 2, 4, 4, 8, {0, 0, 200, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.48, 0.24, 50, 50, 2, 4},
        {"ExtremeFrameDoesNotOverflow", 1, 1, 0, 0, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true,
                    96, 96, 0, 0, 96, 96, 96 / kWide, 96 / kWide, kWide, kWide, 1, 1},
        {"ReversedFrameGivesNegativeScale", 1, 1, 0, 0, {100, 100, 0, 0}, true, 96, 96, 0, 0,
                    96, 96, -0.96, -0.96, -100, -100, 1, 1},
    };
    for (const MappingCase& m : cases) checkMapping(m);
}

}  // namespace
