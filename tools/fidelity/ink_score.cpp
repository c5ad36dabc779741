// SPDX-License-Identifier: MIT
#include "tools/fidelity/ink_score.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>

#include "tools/png_render.h"

namespace javfidelity {

bool readGreyPng(const std::string& path, GreyImage* image, std::string* error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        *error = path + ": not a PNG libpng reads (" + png.message + ")";
        return false;
    }
    if (png.width == 0 || png.height == 0 || png.width > javtool::kRenderSideMax ||
        png.height > javtool::kRenderSideMax || int64_t{png.width} * png.height > javtool::kDefaultPixelBudget) {
        *error = path + ": a picture of " + std::to_string(png.width) + "x" + std::to_string(png.height) +
                 " pixels is larger than 32767 a side or 64 million pixels";
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) {
        *error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    image->width = png.width;
    image->height = png.height;
    image->grey.resize(rgba.size() / 4);
    for (size_t i = 0; i < image->grey.size(); ++i) {
        const uint8_t* p = &rgba[i * 4];
        // Luma in thousandths, then over white by the pixel's alpha.
        uint32_t luma = (299u * p[0] + 587u * p[1] + 114u * p[2] + 500u) / 1000u;
        uint32_t alpha = p[3];
        image->grey[i] = static_cast<uint8_t>((luma * alpha + 255u * (255u - alpha) + 127u) / 255u);
    }
    return true;
}

namespace {

// Counts the ink of `from` and how much of it `to` matches; marks the rest
// in `unmatched` with `mark`.
void matchInk(const GreyImage& from, const GreyImage& to, uint32_t width, uint32_t height, uint64_t* ink,
              uint64_t* matched, GreyImage* unmatched, uint8_t mark) {
    for (int64_t y = 0; y < height; ++y) {
        for (int64_t x = 0; x < width; ++x) {
            int grey = from.at(x, y);
            if (grey >= kInkBelow) continue;
            ++*ink;
            bool found = false;
            for (int64_t dy = -kMatchReach; dy <= kMatchReach && !found; ++dy) {
                for (int64_t dx = -kMatchReach; dx <= kMatchReach && !found; ++dx) {
                    int other = to.at(x + dx, y + dy);
                    found = other < kInkBelow && std::abs(other - grey) <= kMatchGreys;
                }
            }
            if (found) {
                ++*matched;
            } else if (unmatched != nullptr) {
                unmatched->grey[static_cast<size_t>(y) * width + static_cast<size_t>(x)] |= mark;
            }
        }
    }
}

}  // namespace

InkScore inkScore(const GreyImage& ours, const GreyImage& reference, GreyImage* unmatched) {
    uint32_t width = std::max(ours.width, reference.width);
    uint32_t height = std::max(ours.height, reference.height);
    if (unmatched != nullptr) {
        unmatched->width = width;
        unmatched->height = height;
        unmatched->grey.assign(size_t{width} * height, 0);
    }
    InkScore result;
    uint64_t oursMatched = 0;
    uint64_t referenceMatched = 0;
    matchInk(ours, reference, width, height, &result.oursInk, &oursMatched, unmatched, 1);
    matchInk(reference, ours, width, height, &result.referenceInk, &referenceMatched, unmatched, 2);
    if (result.oursInk > 0) result.precision = static_cast<double>(oursMatched) / static_cast<double>(result.oursInk);
    if (result.referenceInk > 0) {
        result.recall = static_cast<double>(referenceMatched) / static_cast<double>(result.referenceInk);
    }
    double sum = result.precision + result.recall;
    result.score = sum > 0 ? 2 * result.precision * result.recall / sum : 0;
    return result;
}

}  // namespace javfidelity
