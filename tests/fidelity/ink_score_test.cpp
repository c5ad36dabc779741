// SPDX-License-Identifier: MIT
// The ink F-score on small synthetic pictures, and reading a PNG with
// transparency the way the previews are written.
#include <png.h>

#include <gtest/gtest.h>

#include "tests/command_runner.h"
#include "tools/fidelity/ink_score.h"

namespace {

using javfidelity::GreyImage;

constexpr uint32_t kSide = 60;

GreyImage blank() { return GreyImage{kSide, kSide, std::vector<uint8_t>(kSide * kSide, 255)}; }

void fill(GreyImage* image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint8_t grey) {
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x) image->grey[y * image->width + x] = grey;
}

// A plan in miniature: a one-pixel frame, a black block and a grey one of
// the same area, offset by (dx, dy); `blocks` false leaves the blocks out.
GreyImage plan(uint32_t dx = 0, uint32_t dy = 0, bool frame = true, bool blocks = true, uint8_t blockGrey = 0) {
    GreyImage image = blank();
    if (frame) {
        fill(&image, 5 + dx, 5 + dy, 45 + dx, 45 + dy, 0);
        fill(&image, 6 + dx, 6 + dy, 44 + dx, 44 + dy, 255);
    }
    if (blocks) {
        fill(&image, 10 + dx, 10 + dy, 20 + dx, 20 + dy, blockGrey);
        fill(&image, 25 + dx, 25 + dy, 35 + dx, 35 + dy, 128);
    }
    return image;
}

TEST(InkScore, ScoresSyntheticPictures) {
    struct Case {
        const char* name;
        GreyImage ours;
        GreyImage reference;
        double score;
    };
    GreyImage frameOnly = plan(0, 0, true, false);
    GreyImage blocksOnly = plan(0, 0, false, true);
    GreyImage halfBlocks = blocksOnly;
    fill(&halfBlocks, 25, 25, 35, 35, 255);
    const Case cases[] = {
        {"moved by 2 pixels both ways", plan(2, 2), plan(), 1.0},
        // The frame is one pixel wide: moved 3 pixels across, its sides and
        // the 3 end pixels of its top and bottom are unmatched, 82 of 156
        // pixels matched in each picture.
        {"frame moved by 3 pixels", plan(3, 0, true, false), frameOnly, 82.0 / 156.0},
        {"blank preview", blank(), plan(), 0.0},
        // Pale grey is within 64 of white, but paper is no ink.
        {"blank preview of pale blocks", blank(), plan(0, 0, false, true, 200), 0.0},
        {"drawing on a blank reference", plan(), blank(), 0.0},
        {"both blank", blank(), blank(), 1.0},
        // Precision 1, recall 1/2.
        {"half of the ink missing", halfBlocks, blocksOnly, 2.0 / 3.0},
        // Black where the reference is grey 128 (64 apart is the limit).
        {"black for mid grey", plan(0, 0, false, true, 0), plan(0, 0, false, true, 128), 0.5},
        {"dark grey for black", plan(0, 0, false, true, 60), plan(0, 0, false, true, 0), 1.0},
    };
    for (const Case& c : cases) {
        javfidelity::InkScore result = javfidelity::inkScore(c.ours, c.reference);
        EXPECT_NEAR(result.score, c.score, 0.001) << c.name;
    }
}

TEST(InkScore, ReadsTransparencyAsWhite) {
    javtest::ScratchDir scratch("ink_score");
    // Transparent black, opaque red, half-transparent black.
    const uint8_t rgba[] = {0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 128};
    png_image png{.opaque = nullptr, .version = PNG_IMAGE_VERSION, .width = 3, .height = 1, .format = PNG_FORMAT_RGBA};
    std::string path = (scratch.path / "alpha.png").string();
    ASSERT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, rgba, 0, nullptr));
    GreyImage image;
    std::string error;
    ASSERT_TRUE(javfidelity::readGreyPng(path, &image, &error)) << error;
    EXPECT_EQ(image.grey, std::vector<uint8_t>({255, 76, 127}));
    EXPECT_FALSE(javfidelity::readGreyPng((scratch.path / "missing.png").string(), &image, &error));
}

}  // namespace
