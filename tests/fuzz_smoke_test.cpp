// A short run of the picture fuzzer in every test run: random pictures with
// extreme coordinates, dangling-free references and injected host failures
// must neither crash nor leak.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fuzz/object_stream_fuzzer.h"

namespace {

TEST(FuzzSmoke, RandomPicturesRunCleanAndLeakNothing) {
    std::mt19937 random(20261206);
    for (int run = 0; run < 3000; ++run) {
        std::vector<uint8_t> bytes(random() % 2048);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
        ASSERT_TRUE(javfuzz::runPicture(bytes.data(), bytes.size())) << "run " << run;
    }
}

}  // namespace
