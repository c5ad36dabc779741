// Every bundled example rerun with one host operation failing at its Nth
// call, for every N the clean run reaches: the run ends, nothing the host
// handed out is left live, and a run the driver stopped with a failure has
// written a prefix of the clean stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/reference_host.h"
#include "tools/script_runner.h"

namespace {

namespace fs = std::filesystem;

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

const char* const kOperations[] = {
    "allocate",          "allocateZeroed",   "createObject",   "clone",
    "insertObject",      "newPointList",     "copyPalette",    "curveToPointList",
    "closedCurveToPointList", "convertToUnits", "write",       "registerDriver",
    "installHandler",    "setRegistrationFlag", "setTargetPictureHandler", "registrationStepA",
    "registrationStepB", "registrationStepC", "convertPicture", "queryPictureFormat",
    "createElement",     "exportRaster",      "closeElement",   "reallocate",
    "splitText",         "convertText",      "allocSessionBlock", "createMeasureContext", "createFont", "selectObject",
    "deleteObject",      "getTextFace",      "getTextMetrics", "mapFontEncoding",
};

struct SweepRun {
    javtool::RunOutcome outcome;
    std::string text;
    bool clean;
    uint64_t calls;
};

SweepRun runOnce(const javtool::Script& script, const char* failing, uint64_t nth, const char* counted) {
    refhost::ReferenceHost host;
    if (failing != nullptr) host.failAt(failing, nth);
    refhost::MemoryStream* stream = host.memoryStream(true, true);
    SweepRun run;
    run.outcome = javtool::runScript(script, host, kDriver, &stream->base);
    run.text = stream->text();
    run.clean = host.liveBlocks() == 0 && host.liveObjects() == 0;
    run.calls = counted != nullptr ? host.calls(counted) : 0;
    return run;
}

TEST(FailureSweep, EveryHostFailureEndsCleanly) {
    fs::path examples = fs::path(JAVTRG_SOURCE_DIR) / "examples";
    int swept = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        javtool::Script script = javtool::readScript(text.str());
        const std::string name = entry.path().filename().string();
        SweepRun reference = runOnce(script, nullptr, 0, nullptr);
        ASSERT_TRUE(reference.clean && reference.outcome.started && reference.outcome.failedObject < 0) << name;

        for (const char* operation : kOperations) {
            uint64_t calls = runOnce(script, nullptr, 0, operation).calls;
            for (uint64_t nth = 1; nth <= calls; ++nth) {
                SweepRun run = runOnce(script, operation, nth, nullptr);
                std::string what = name + ": " + operation + " failing at call " + std::to_string(nth);
                EXPECT_TRUE(run.clean) << what;
                bool stopped = !run.outcome.started || run.outcome.failedObject >= 0;
                if (stopped && std::string(operation) != "write")
                    EXPECT_EQ(reference.text.compare(0, run.text.size(), run.text), 0) << what;
                ++swept;
            }
        }
    }
    EXPECT_GT(swept, 500);
}

}  // namespace
