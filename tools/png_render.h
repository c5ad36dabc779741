// SPDX-License-Identifier: MIT
// Rendering an SVG document into a PNG image, in the process, with librsvg
// and cairo. The preview renders its documents here, and whatever else
// must look the same as the preview (reference drawings rendered next to
// it) renders through the same function at the same size.
//
// Memory and time are bounded by a pixel budget: a canvas of more pixels is
// scaled down to fit the budget, keeping its aspect, and the caller is told
// so in a one-line warning.
#ifndef JAVTRG_TOOLS_PNG_RENDER_H
#define JAVTRG_TOOLS_PNG_RENDER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace javtool {

// The default pixel budget: 64 megapixels, a 256 MB image.
inline constexpr int64_t kDefaultPixelBudget = 64'000'000;
// The largest side cairo's image surfaces take.
inline constexpr int64_t kRenderSideMax = 32767;

struct PngRenderResult {
    bool ok = false;
    // Why the rendering failed (ok false), in words for a message.
    std::string error;
    // Set when the image was scaled down to fit the budget.
    std::string warning;
    // The size of the image written.
    int64_t width = 0;
    int64_t height = 0;
};

// The size an image of `width` x `height` is rendered at within `budget`
// pixels and kRenderSideMax per side: the same size, or scaled down keeping
// its aspect, each side at least 1. Returns the scale applied (1 or less).
double fitPixelBudget(int64_t width, int64_t height, int64_t budget, int64_t* outWidth, int64_t* outHeight);

// The document's own size in pixels at 96 per inch: its width and height, or
// its view box when it states no size. False with a message in `error` when
// the document cannot be read or has no size.
bool svgIntrinsicSize(std::string_view svg, double* width, double* height, std::string* error);

// Renders the SVG document `svg` on a canvas of `width` x `height` pixels
// (its viewport) and writes it as PNG to `png`. External files are never
// read: only what the document holds (data URLs included) is drawn.
PngRenderResult renderSvgToPng(std::string_view svg, int64_t width, int64_t height, int64_t budget, std::FILE* png);

// The same into the file at `path`, which appears only whole: it is written
// beside its place and renamed there at the end.
PngRenderResult renderSvgToPngFile(std::string_view svg, int64_t width, int64_t height, int64_t budget,
                                   const std::string& path);

}  // namespace javtool

#endif
