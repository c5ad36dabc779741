// SPDX-License-Identifier: MIT
// Host failures anywhere: up to three host operations fail at a call the
// input chooses, once or from there on, while the driver draws a bundled
// example or a picture made as objectStream makes them. Whatever fails,
// the host must hold nothing of the run afterwards, and a bundled example
// (in which nothing else can fail) may report a failure only where the host
// failed.
#include "fuzz/bundled_examples.h"
#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"
#include "tools/script_runner.h"

namespace javfuzz {

namespace {

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

bool runExample(FuzzedDataProvider& in, refhost::ReferenceHost& host) {
    const std::vector<BundledExample>& examples = bundledExamples();
    const BundledExample& example = examples[in.ConsumeIntegralInRange<size_t>(0, examples.size() - 1)];
    refhost::MemoryStream* stream = host.memoryStream(true, true);
    stream->keep = false;
    javtool::RunOutcome outcome = javtool::runScript(example.script, host, kDriver, &stream->base);
    bool reportedWhereHostFailed = (outcome.started && outcome.failedObject < 0) || !outcome.hostFailure.empty();
    return reportedWhereHostFailed && host.liveBlocks() == 0 && host.liveObjects() == 0 && host.openElements() == 0;
}

}  // namespace

bool hostFailures(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    refhost::ReferenceHost host;
    keepHostQuick(host);
    const std::vector<std::string>& operations = refhost::injectableOperations();
    size_t faults = in.ConsumeIntegralInRange<size_t>(1, 3);
    for (size_t i = 0; i < faults; ++i) {
        const std::string& operation = operations[in.ConsumeIntegralInRange<size_t>(0, operations.size() - 1)];
        uint64_t nth = in.ConsumeIntegralInRange<uint64_t>(1, in.ConsumeBool() ? 16 : 4000);
        host.failAt(operation, nth, in.ConsumeBool());
    }
    return in.ConsumeBool() ? runExample(in, host) : driveAnyPicture(in, host);
}

}  // namespace javfuzz
