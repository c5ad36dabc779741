// Draws an SVG document into a PNG image with librsvg and cairo: the
// renderer of the reference pictures the fidelity harness compares the
// previews with.
#ifndef JAVTRG_TESTS_FIDELITY_SVG_RASTER_H
#define JAVTRG_TESTS_FIDELITY_SVG_RASTER_H

#include <cstdint>
#include <string>

namespace javfidelity {

// The largest side and the largest area of a picture, in pixels: a surface
// of 64 million pixels takes 256 MB.
inline constexpr uint32_t kRasterSideMax = 32767;
inline constexpr uint64_t kRasterAreaMax = uint64_t{1} << 26;

struct RasterSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// The document's own size in pixels at 96 per inch (its width and height,
// or its view box when it states no size). False with a message when
// librsvg cannot read the document or it has no size.
bool svgNaturalSize(const std::string& svg, double* width, double* height, std::string* error);

// Renders `svg` on white at exactly `size`, the document's own size stretched
// to fill it, and writes the picture to `pngPath` as an opaque RGB PNG. The
// file appears only whole. External files the document names are not
// loaded. Returns an empty string, or what went wrong.
std::string rasteriseSvg(const std::string& svg, RasterSize size, const std::string& pngPath);

}  // namespace javfidelity

#endif
