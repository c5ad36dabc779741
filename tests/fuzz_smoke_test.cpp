// SPDX-License-Identifier: MIT
// Every fuzz target in every test run, through the entry functions libFuzzer
// calls: its seed corpus, the inputs that once showed a fault
// (fuzz/regressions/<target>/), mutations of the seeds, and random bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> inputsIn(const fs::path& folder) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) inputs.push_back(entry.path());
    }
    return inputs;
}

TEST(FuzzSmoke, EveryTargetTakesItsSeedsRegressionsAndRandomInputs) {
    constexpr int kMutations = 20;
    constexpr int kRandomInputs = 300;
    std::mt19937 random(20261206);
    const fs::path fuzz = fs::path(JAVTRG_SOURCE_DIR) / "fuzz";
    for (const javfuzz::FuzzTarget& target : javfuzz::kFuzzTargets) {
        std::vector<fs::path> seeds = inputsIn(fuzz / "corpus" / target.name);
        EXPECT_FALSE(seeds.empty()) << target.name << " has no seed corpus";
        std::vector<fs::path> inputs = seeds;
        for (const fs::path& regression : inputsIn(fuzz / "regressions" / target.name)) inputs.push_back(regression);
        for (const fs::path& input : inputs) {
            std::vector<uint8_t> bytes = readBytes(input);
            ASSERT_TRUE(target.run(bytes.data(), bytes.size())) << input;
        }
        for (const fs::path& seed : seeds) {
            std::vector<uint8_t> bytes = readBytes(seed);
            for (int m = 0; m < kMutations && !bytes.empty(); ++m) {
                std::vector<uint8_t> mutated = bytes;
                for (int flips = 0; flips < 4; ++flips) mutated[random() % mutated.size()] = static_cast<uint8_t>(random());
                ASSERT_TRUE(target.run(mutated.data(), mutated.size())) << seed << " mutation " << m;
            }
        }
        for (int run = 0; run < kRandomInputs; ++run) {
            std::vector<uint8_t> bytes(random() % 2048);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
            ASSERT_TRUE(target.run(bytes.data(), bytes.size())) << target.name << " random input " << run;
        }
    }
}

}  // namespace
