// SPDX-License-Identifier: MIT
// The ink F-score of a preview against its reference picture.
//
// Both pictures are greyscale on white. A pixel darker than 245 is ink. An
// ink pixel of one picture is matched when the other picture has, within 2
// pixels (its 5 x 5 neighbourhood), an ink pixel whose grey is within 64 of
// it. The match must be ink: white paper is within 64 of every pale grey,
// and would let a blank page match a drawing of pale fills.
// Precision is the matched share of our ink, recall the matched share of
// the reference's, the score their harmonic mean. A picture without ink
// has nothing unmatched: its share counts 1. So a blank preview of a
// drawing scores 0, anything drawn on a blank reference about 0, and two
// blank pictures 1.
//
// The pictures are compared from their top left corners; where one is
// larger, the other counts as white there.
#ifndef JAVTRG_TESTS_FIDELITY_INK_SCORE_H
#define JAVTRG_TESTS_FIDELITY_INK_SCORE_H

#include <cstdint>
#include <string>
#include <vector>

namespace javfidelity {

inline constexpr uint8_t kInkBelow = 245;
inline constexpr int kMatchReach = 2;
inline constexpr int kMatchGreys = 64;

struct GreyImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> grey;  // row by row, 255 is white

    uint8_t at(int64_t x, int64_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 255;
        return grey[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
    }
};

// Reads a PNG with libpng, composited on white and turned grey with the
// luma weights 0.299, 0.587, 0.114. Pictures beyond 32767 a side or 64
// million pixels are refused. False with a message.
bool readGreyPng(const std::string& path, GreyImage* image, std::string* error);

struct InkScore {
    uint64_t oursInk = 0;
    uint64_t referenceInk = 0;
    double precision = 1;
    double recall = 1;
    double score = 1;
};

// The score of `ours` against `reference`. With `unmatched`, also a picture
// of the comparison's size: 1 where our ink is unmatched, 2 where the
// reference's is, 3 where both are, 0 elsewhere.
InkScore inkScore(const GreyImage& ours, const GreyImage& reference, GreyImage* unmatched = nullptr);

}  // namespace javfidelity

#endif
