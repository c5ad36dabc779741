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
    EXPECT_EQ(c->typeWord, 8193);
    EXPECT_EQ(c->stream, &h.stream()->base);
    EXPECT_EQ(c->targetParams, h.params());
    EXPECT_EQ(c->putObject, &putJAVobject);
    EXPECT_EQ(c->shutDown, &shutDownJAVtrg);
    EXPECT_EQ(c->setTrgPicture, &JAVSetTrgPicture);
    EXPECT_EQ(h.host().pictureHandler(), nullptr);  // the reference host keeps only its call
    EXPECT_EQ(c->clientData, 0xC0FFEEu);
    EXPECT_EQ(c->hostHandle, h.host().hostHandle());
    EXPECT_EQ(c->hostServices, h.host().services());
    EXPECT_EQ(c->hostSession, h.session());
    EXPECT_EQ(c->recordCount, 0);
    EXPECT_EQ(c->palette, nullptr);
    EXPECT_EQ(h.params()->typeCode, 42);
    EXPECT_EQ(h.params()->typeFlag, 1);
    EXPECT_EQ(h.params()->outColourMode, 7);
    EXPECT_EQ(c->currentParaAtt.valueC, 100);
    EXPECT_EQ(c->currentParaAtt.codeB, 2);
    EXPECT_EQ(c->currentParaAtt.valueA, 0);
    EXPECT_EQ(c->highlightActive, 0);
    EXPECT_EQ(c->boxObjects, nullptr);
    shutDownJAVtrg(c);
}

TEST(Lifecycle, AbsentTargetParamsOrServicesStartNothing) {
    DriverHarness h;
    EXPECT_EQ(startTrgJAV(&h.stream()->base, nullptr, 0), nullptr);
    TargetParams noServices = *h.params();
    noServices.hostServices = nullptr;
    EXPECT_EQ(startTrgJAV(&h.stream()->base, &noServices, 0), nullptr);
    EXPECT_TRUE(h.host().callLog().empty());
    EXPECT_EQ(h.host().calls("allocateZeroed"), 0u);
}

struct CreationFailure {
    const char* operation;
    uint64_t nth;
    int unregisterCalls;
    const char* lastCall;  // nothing after it may be attempted
};

void PrintTo(const CreationFailure& f, std::ostream* out) { *out << f.operation << " #" << f.nth; }

class CreationFailures : public ::testing::TestWithParam<CreationFailure> {};

TEST_P(CreationFailures, EachFailureCleansUpAndReturnsAbsent) {
    const CreationFailure& f = GetParam();
    DriverHarness h;
    h.host().failAt(f.operation, f.nth);
    EXPECT_EQ(h.start(), nullptr);
    const auto& log = h.host().callLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "unregisterDriver"), f.unregisterCalls);
    if (f.lastCall != nullptr) {
        auto last = std::find(log.begin(), log.end(), f.lastCall);
        ASSERT_NE(last, log.end());
        // Only the clean-up may follow the failing step.
        for (auto it = last + 1; it != log.end(); ++it) EXPECT_EQ(*it, "unregisterDriver");
    } else {
        EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& s) { return s == "registerDriver"; }));
    }
    // The harness checks that the context and the LineBuffer were freed.
}

INSTANTIATE_TEST_SUITE_P(
    Lifecycle, CreationFailures,
    ::testing::Values(CreationFailure{"allocateZeroed", 1, 0, nullptr},
                      CreationFailure{"allocate", 1, 0, nullptr},
                      CreationFailure{"registerDriver", 1, 0, "registerDriver"},
                      CreationFailure{"installHandler", 1, 1, "installHandler 33"},
                      CreationFailure{"installHandler", 2, 1, "installHandler 14"},
                      CreationFailure{"setRegistrationFlag", 1, 1, "setRegistrationFlag 1 0"},
                      CreationFailure{"setTargetPictureHandler", 1, 1, "setTargetPictureHandler"},
                      CreationFailure{"registrationStepA", 1, 1, "registrationStepA"},
                      CreationFailure{"registrationStepB", 1, 1, "registrationStepB"},
                      CreationFailure{"registrationStepC", 1, 1, "registrationStepC"}),
    [](const auto& info) { return std::string(info.param.operation) + std::to_string(info.param.nth); });

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

TEST(Lifecycle, ShutdownReleasesPaletteAndElementListAndIgnoresAbsent) {
    DriverHarness h;
    DriverContext* c = h.start();
    ASSERT_NE(c, nullptr);
    HostServices* s = h.host().services();
    struct {
        int32_t count;
        uint32_t colours[2];
    } table{2, {0x0000FF, 0x00FF00}};
    c->palette = s->copyPalette(s, &table);
    c->elementList = static_cast<ElementList*>(s->allocateZeroed(s, 1, sizeof(ElementList)));
    c->elementList->entries = static_cast<ElementEntry*>(s->allocateZeroed(s, 5, sizeof(ElementEntry)));
    h.shutDown();
    shutDownJAVtrg(nullptr);
    EXPECT_EQ(h.host().liveBlocks(), 0u) << h.host().describeLive();
}

TEST(Lifecycle, InstanceWithoutAStreamWritesNothingAndDoesNotCrash) {
    DriverHarness h;
    DriverContext* c = startTrgJAV(nullptr, h.params(), 0);
    ASSERT_NE(c, nullptr);
    int32_t box[4] = {0, 50, 40, 10};
    EXPECT_EQ(putJAVobject(c, h.object(10, box)), 1);
    shutDownJAVtrg(c);
}

TEST(Lifecycle, SearchRequestActivatesHighlightingWhateverItHolds) {
    DriverHarness h;
    SearchRequest empty{};
    h.session()->searchRequest = &empty;
    DriverContext* c = h.start();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->highlightActive, 1);
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

void PrintTo(const MappingCase& m, std::ostream* out) { *out << m.name; }

class Mapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(Mapping, TargetSizeScaleOffsetAndUnitsPerInch) {
    const MappingCase& m = GetParam();
    DriverHarness h;
    TargetParams* p = h.params();
    p->sizeX = m.sizeX;
    p->sizeY = m.sizeY;
    p->altSizeX = m.altSizeX;
    p->altSizeY = m.altSizeY;
    std::copy(m.frame, m.frame + 4, p->sourceFrame);
    h.host().useTargetInfo(m.withInfo);
    h.host().info()->pixelWidth = m.pixelWidth;
    h.host().info()->pixelHeight = m.pixelHeight;
    h.host().info()->infoExtentX = m.infoExtentX;
    h.host().info()->infoExtentY = m.infoExtentY;
    DriverContext* c = h.start();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(p->targetPixelRect[0], 0);
    EXPECT_EQ(p->targetPixelRect[1], 0);
    EXPECT_EQ(p->targetPixelRect[2], m.width);
    EXPECT_EQ(p->targetPixelRect[3], m.height);
    EXPECT_EQ(c->targetWidth, m.width);
    EXPECT_EQ(c->targetHeight, m.height);
    EXPECT_DOUBLE_EQ(c->scaleX, m.scaleX);
    EXPECT_DOUBLE_EQ(c->scaleY, m.scaleY);
    EXPECT_DOUBLE_EQ(c->offsetX, -static_cast<double>(m.frame[0]));
    EXPECT_DOUBLE_EQ(c->offsetY, -static_cast<double>(m.frame[1]));
    EXPECT_DOUBLE_EQ(c->unitsPerInchX, m.unitsX);
    EXPECT_DOUBLE_EQ(c->unitsPerInchY, m.unitsY);
    EXPECT_DOUBLE_EQ(p->targetExtentX, m.extentX);
    EXPECT_DOUBLE_EQ(p->targetExtentY, m.extentY);
}

constexpr double kWide = 4294967295.0;  // INT32_MAX - INT32_MIN

INSTANTIATE_TEST_SUITE_P(
    Lifecycle, Mapping,
    ::testing::Values(
        MappingCase{"PixelSizeFromTargetInfo", 2, 1, 0, 0, {0, 0, 2000, 1000}, true, 200, 100, 0, 0,
                    200, 100, 0.1, 0.1, 1000, 1000, 2, 1},
        MappingCase{"NoTargetInfoLaysOutAt96PerInch", 2.5, 1.0, 0, 0, {0, 0, 250, 100}, false, 0, 0, 0, 0,
                    240, 96, 240.0 / 250, 0.96, 100, 100, 2.5, 1},
        MappingCase{"OnePixelSizeZeroIsNoSize", 1, 1, 0, 0, {0, 0, 96, 96}, true, 0, 300, 0, 0,
                    96, 96, 1, 1, 96, 96, 1, 1},
        MappingCase{"TinyPictureIsAtLeastOnePixel", 0.001, 0, 0, 0, {0, 0, 10, 10}, false, 0, 0, 0, 0,
                    1, 1, 0.1, 0.1, 96, 96, 0.001, 0},
        MappingCase{"ExtentsFromInfoOnlyWhenBothSet", 1, 1, 0, 0, {0, 0, 96, 96}, true, 96, 96, 3.0, 0,
                    96, 96, 1, 1, 96, 96, 1, 1},
        MappingCase{"ExtentsFromInfo", 1, 1, 0, 0, {0, 0, 96, 96}, true, 96, 96, 3.0, 4.0,
                    96, 96, 1, 1, 96, 96, 3, 4},
        MappingCase{"EmptyFrameDividesByOne", 1, 1, 0, 0, {5, 5, 5, 5}, true, 96, 48, 0, 0,
                    96, 48, 96, 48, 0, 0, 1, 1},
        MappingCase{"ZeroSizeGives96OnBothAxes", 0, 2, 0, 0, {0, 0, 400, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.24, 0.24, 96, 96, 0, 2},
        MappingCase{"AltSizeOnlyWhenBothSet", 2, 4, 3, 0, {0, 0, 200, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.48, 0.24, 100, 100, 2, 4},
        MappingCase{"AltSizeTakesPrecedence", 2, 4, 4, 8, {0, 0, 200, 400}, true, 96, 96, 0, 0,
                    96, 96, 0.48, 0.24, 50, 50, 2, 4},
        MappingCase{"ExtremeFrameDoesNotOverflow", 1, 1, 0, 0, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, true,
                    96, 96, 0, 0, 96, 96, 96 / kWide, 96 / kWide, kWide, kWide, 1, 1},
        MappingCase{"ReversedFrameGivesNegativeScale", 1, 1, 0, 0, {100, 100, 0, 0}, true, 96, 96, 0, 0,
                    96, 96, -0.96, -0.96, -100, -100, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
