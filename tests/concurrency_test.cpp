// SPDX-License-Identifier: MIT
// Instances share nothing: eight threads at once, each driving instances of
// its own on reference hosts of its own through every bundled example, again
// and again, write exactly the streams one thread writes alone. Under the
// tsan preset ThreadSanitizer watches every access while they do.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/bundled_examples.h"
#include "tools/script_runner.h"

namespace {

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

std::string convert(const javtool::Script& script) {
    refhost::ReferenceHost host;
    refhost::MemoryStream* stream = host.memoryStream(true, true);
    javtool::RunOutcome outcome = javtool::runScript(script, host, kDriver, &stream->base);
    bool clean = outcome.started && outcome.failedObject < 0 && host.liveBlocks() == 0 && host.liveObjects() == 0;
    return clean ? stream->text() : "(failed)";
}

TEST(Concurrency, EightThreadsWriteTheStreamsOfOneThread) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 3;
    const std::vector<javfuzz::BundledExample>& examples = javfuzz::bundledExamples();
    std::vector<std::string> alone;
    for (const javfuzz::BundledExample& example : examples) alone.push_back(convert(example.script));

    std::atomic<int> differences{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                // Each thread starts at another example, so that different
                // examples run side by side.
                for (size_t i = 0; i < examples.size(); ++i) {
                    size_t k = (i + static_cast<size_t>(t)) % examples.size();
                    if (convert(examples[k].script) != alone[k]) ++differences;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(differences.load(), 0);
}

}  // namespace
