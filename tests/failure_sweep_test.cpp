// SPDX-License-Identifier: MIT
// The failure sweep: every bundled example rerun with one injectable host
// operation failing, for every operation the clean run calls and every call
// it makes of it, once and from that call on. Each run must end as the
// driver documents that failure, leave nothing live in the host, and keep a
// stream the driver stopped a prefix of the clean one (with the "q,0" of a
// gradient clip left open closing it).
//
// By default the sweep takes a sample of the call numbers; with
// JAVTRG_SWEEP=complete (the ctest label `sweep`) it takes every one and
// prints how many failure points it exercised.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

#include "fuzz/bundled_examples.h"
#include "host/reference_host.h"
#include "tools/script_runner.h"

namespace {

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

// How a failure ends the step (the start or an object) during which it
// happens.
enum Outcome : unsigned { kStops = 1, kGoesOn = 2 };
constexpr int32_t kAnyKind = -1;

struct Documented {
    const char* operation;
    int32_t kind;  // the object being drawn; the start is kind 0
    unsigned outcomes;
};

// The first row that names the operation and the kind counts; a failure
// no row names stops its step.
constexpr Documented kDocumented[] = {
    // The stream's result counts only for a raster's placement. A picture
    // fill may play a raster or place its own element.
    {"write", kKindRaster, kStops},
    {"write", kKindRectangle, kStops | kGoesOn},
    {"write", kAnyKind, kGoesOn},
    // A raster needs its element; a picture fill answered with an element
    // the host could not open places the picture by two empty texts.
    {"createElement", kKindRectangle, kStops | kGoesOn},
    // Answers the driver cannot tell from ordinary ones: no transform in
    // force, a format that is no raster, a conversion that delivers
    // nothing, a writer's close (it has no result), a list of converted
    // pictures that cannot grow (the picture is converted again next time).
    {"currentTransform", kAnyKind, kGoesOn},
    {"queryPictureFormat", kAnyKind, kGoesOn},
    {"convertPicture", kAnyKind, kGoesOn},
    {"closeElement", kAnyKind, kGoesOn},
    {"reallocate", kAnyKind, kGoesOn},
    // Highlighting: a term list that cannot be built leaves the box without
    // hits (a text end allocates the list and the texts it writes), and the
    // font system's answers that only name or release things are not
    // looked at; the box is written all the same. A font that could not be
    // selected has no metrics, which fails the box.
    {"allocate", kKindTextBoxEnd, kStops | kGoesOn},
    {"allocSessionBlock", kAnyKind, kGoesOn},
    {"convertText", kAnyKind, kGoesOn},
    {"mapFontEncoding", kAnyKind, kGoesOn},
    {"selectObject", kAnyKind, kStops | kGoesOn},
    {"deleteObject", kAnyKind, kGoesOn},
    {"getTextFace", kAnyKind, kGoesOn},
};

unsigned documentedOutcomes(const std::string& operation, int32_t kind) {
    for (const Documented& row : kDocumented) {
        if (operation == row.operation && (row.kind == kAnyKind || row.kind == kind)) return row.outcomes;
    }
    return kStops;
}

struct Fault {
    std::string operation;
    uint64_t nth;
    bool persistent;
};

// The start (index -1) or one object, with the failures injected during it.
struct Step {
    int64_t index;
    int32_t kind;
    int32_t result;
    uint64_t injected;
};

struct SweepRun {
    javtool::RunOutcome outcome;
    std::vector<std::string> writes;
    std::vector<Step> steps;
    uint64_t injectedAfterSteps = 0;
    uint64_t injected = 0;
    std::string leftovers;  // what the host still holds after shutdown
    std::string lastFailure;
    std::map<std::string, uint64_t> calls;

    bool stopped() const { return !outcome.started || outcome.failedObject >= 0; }
    std::string text() const {
        std::string all;
        for (const std::string& w : writes) all += w;
        return all;
    }
};

SweepRun runExample(const javtool::Script& script, const Fault* fault) {
    refhost::ReferenceHost host;
    if (fault != nullptr) host.failAt(fault->operation, fault->nth, fault->persistent);
    refhost::MemoryStream* stream = host.memoryStream(true, true);
    SweepRun run;
    uint64_t before = 0;
    run.outcome = javtool::runScript(script, host, kDriver, &stream->base, [&](int64_t index, int32_t kind, int32_t result) {
        uint64_t now = host.injectedFailures();
        run.steps.push_back(Step{index, kind, result, now - before});
        before = now;
    });
    run.injectedAfterSteps = before;
    run.injected = host.injectedFailures();
    run.writes = stream->writes;
    std::ostringstream left;
    if (host.liveBlocks() != 0 || host.liveObjects() != 0) left << host.describeLive();
    if (host.openElements() != 0) left << host.openElements() << " elements open\n";
    run.leftovers = left.str();
    run.lastFailure = host.lastFailure().operation;
    run.calls = host.callCounts();
    return run;
}

// A stopped stream: a prefix of the clean one, or a prefix that leaves a
// gradient clip open followed by the "q,0" that closes it.
bool isStoppedStream(const std::string& clean, const std::string& text) {
    auto isPrefix = [&clean](const std::string& part) { return clean.compare(0, part.size(), part) == 0; };
    if (isPrefix(text)) return true;
    const std::string close = "q,0\n";
    if (text.size() < close.size() || text.compare(text.size() - close.size(), close.size(), close) != 0) return false;
    std::string prefix = "\n" + text.substr(0, text.size() - close.size());
    size_t opened = prefix.rfind("\nq,2\n");
    size_t closed = prefix.rfind("\nq,0\n");
    return isPrefix(prefix.substr(1)) && opened != std::string::npos && (closed == std::string::npos || closed < opened);
}

// Checks one faulty run against the clean run of the same example; returns
// what is wrong, empty when nothing is.
std::string verify(const SweepRun& clean, const SweepRun& run, const Fault& fault) {
    std::ostringstream wrong;
    if (!run.leftovers.empty()) wrong << "left behind: " << run.leftovers;
    if (run.injected == 0) wrong << "the failure was never injected; ";
    if (run.injected != run.injectedAfterSteps) wrong << "a failure was injected during shutdown; ";
    for (const Step& step : run.steps) {
        unsigned allowed = documentedOutcomes(fault.operation, step.kind);
        std::string where = step.index < 0 ? "the start" : "object " + std::to_string(step.index);
        if (step.result == 0 && step.injected == 0) wrong << where << " failed where nothing failed; ";
        if (step.result == 0 && step.injected != 0 && (allowed & kStops) == 0)
            wrong << where << " (kind " << step.kind << ") failed, though this failure is tolerated there; ";
        if (step.result != 0 && step.injected != 0 && (allowed & kGoesOn) == 0)
            wrong << where << " (kind " << step.kind << ") went on: an unreported failure; ";
    }
    if (run.stopped()) {
        if (run.lastFailure != fault.operation) wrong << "the failure reported is " << run.lastFailure << "'s; ";
        // Up to the failure that stopped it the run is the clean one, unless
        // a tolerated failure changed it before; a shape whose gradient bands
        // stopped closes its clip after them.
        bool toleratedBefore = run.injectedAfterSteps != run.steps.back().injected;
        if (!toleratedBefore && !isStoppedStream(clean.text(), run.text()))
            wrong << "the stream is no prefix of the clean one, closed by the \"q,0\" of an open clip; ";
    }
    // A failing write loses its own record and nothing else; from the
    // failing call on, nothing more reaches the stream.
    if (fault.operation == "write") {
        size_t failing = static_cast<size_t>(fault.nth - 1);
        std::vector<std::string> expected(clean.writes.begin(), clean.writes.begin() + static_cast<std::ptrdiff_t>(failing));
        if (!fault.persistent && !run.stopped())
            expected.insert(expected.end(), clean.writes.begin() + static_cast<std::ptrdiff_t>(failing) + 1, clean.writes.end());
        if (run.writes != expected) wrong << "the stream is not the clean one without the failed writes; ";
    }
    return wrong.str();
}

// The call numbers a sweep takes out of `calls`: all of them when complete,
// else the first eight, the last, and one in every seven between.
bool sampled(uint64_t nth, uint64_t calls, bool complete) {
    return complete || nth <= 8 || nth == calls || nth % 7 == 0;
}

TEST(FailureSweep, EveryHostFailureEndsAsDocumented) {
    const char* mode = std::getenv("JAVTRG_SWEEP");
    const bool complete = mode != nullptr && std::string(mode) == "complete";
    std::set<std::string> swept;
    uint64_t points = 0;
    for (const javfuzz::BundledExample& example : javfuzz::bundledExamples()) {
        SweepRun clean = runExample(example.script, nullptr);
        ASSERT_TRUE(clean.leftovers.empty() && !clean.stopped()) << example.name << ": " << clean.leftovers;
        for (const auto& [operation, calls] : clean.calls) {
            if (!refhost::isInjectable(operation)) continue;
            swept.insert(operation);
            for (bool persistent : {false, true}) {
                for (uint64_t nth = 1; nth <= calls; ++nth) {
                    if (!sampled(nth, calls, complete)) continue;
                    Fault fault{operation, nth, persistent};
                    std::string wrong = verify(clean, runExample(example.script, &fault), fault);
                    EXPECT_TRUE(wrong.empty()) << example.name << ": " << operation << " failing "
                                               << (persistent ? "from" : "at") << " call " << nth << ": " << wrong;
                    ++points;
                }
            }
        }
    }
    std::printf("failure sweep (%s): %llu failure points, %zu operations\n", complete ? "complete" : "sampled",
                static_cast<unsigned long long>(points), swept.size());
    // Every injectable operation is swept, except those only a failure
    // leads to: an operation the examples stop reaching, or one the host
    // gains, fails here until an example reaches it.
    const std::set<std::string> kReachedOnlyByFailures = {"unregisterDriver"};
    for (const std::string& operation : refhost::injectableOperations()) {
        if (kReachedOnlyByFailures.count(operation) == 0)
            EXPECT_EQ(swept.count(operation), 1u) << operation << " is never swept";
    }
}

}  // namespace
