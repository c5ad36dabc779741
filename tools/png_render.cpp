// SPDX-License-Identifier: MIT
#include "tools/png_render.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace javtool {

namespace {

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* file = static_cast<std::FILE*>(closure);
    return std::fwrite(data, 1, length, file) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

std::string sizeText(int64_t width, int64_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// A handle on the document held in memory. The document may hold large data
// URLs (embedded elements), which the XML parser refuses by default; it
// names no external file, and none is read.
RsvgHandle* openSvg(std::string_view svg, std::string* error) {
    GInputStream* input = g_memory_input_stream_new_from_data(svg.data(), static_cast<gssize>(svg.size()), nullptr);
    GError* failure = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_stream_sync(input, nullptr, RSVG_HANDLE_FLAG_UNLIMITED, nullptr, &failure);
    g_object_unref(input);
    if (handle == nullptr) {
        *error = std::string("cannot read the SVG document: ") + (failure != nullptr ? failure->message : "unknown error");
        if (failure != nullptr) g_error_free(failure);
        return nullptr;
    }
    rsvg_handle_set_dpi(handle, 96.0);
    return handle;
}

}  // namespace

bool svgIntrinsicSize(std::string_view svg, double* width, double* height, std::string* error) {
    RsvgHandle* handle = openSvg(svg, error);
    if (handle == nullptr) return false;
    bool sized = rsvg_handle_get_intrinsic_size_in_pixels(handle, width, height) && *width > 0 && *height > 0;
    if (!sized) {
        gboolean hasViewBox = FALSE;
        RsvgRectangle viewBox{};
        rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
        sized = hasViewBox && viewBox.width > 0 && viewBox.height > 0;
        if (sized) {
            *width = viewBox.width;
            *height = viewBox.height;
        }
    }
    g_object_unref(handle);
    if (!sized) *error = "its SVG has no size";
    return sized;
}

double fitPixelBudget(int64_t width, int64_t height, int64_t budget, int64_t* outWidth, int64_t* outHeight) {
    width = std::max<int64_t>(width, 1);
    height = std::max<int64_t>(height, 1);
    budget = std::max<int64_t>(budget, 1);
    double scale = 1.0;
    double pixels = static_cast<double>(width) * static_cast<double>(height);
    if (pixels > static_cast<double>(budget)) scale = std::sqrt(static_cast<double>(budget) / pixels);
    scale = std::min(scale, static_cast<double>(kRenderSideMax) / static_cast<double>(std::max(width, height)));
    if (scale >= 1.0) {
        *outWidth = width;
        *outHeight = height;
        return 1.0;
    }
    // Rounded down, so the budget holds; a side never falls below a pixel.
    *outWidth = std::clamp<int64_t>(static_cast<int64_t>(std::floor(static_cast<double>(width) * scale)), 1, kRenderSideMax);
    *outHeight = std::clamp<int64_t>(static_cast<int64_t>(std::floor(static_cast<double>(height) * scale)), 1, kRenderSideMax);
    // A side held at one pixel leaves the whole budget to the other.
    if (*outHeight == 1) *outWidth = std::min(*outWidth, budget);
    if (*outWidth == 1) *outHeight = std::min(*outHeight, budget);
    return scale;
}

PngRenderResult renderSvgToPng(std::string_view svg, int64_t width, int64_t height, int64_t budget, std::FILE* png) {
    PngRenderResult result;
    int64_t outWidth = 0;
    int64_t outHeight = 0;
    double scale = fitPixelBudget(width, height, budget, &outWidth, &outHeight);
    if (scale < 1.0) {
        result.warning = "the " + sizeText(width, height) + " canvas is more than the budget of " +
                         std::to_string(budget) + " pixels; rendered scaled down to " + sizeText(outWidth, outHeight);
    }

    RsvgHandle* handle = openSvg(svg, &result.error);
    if (handle == nullptr) return result;
    GError* failure = nullptr;

    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(outWidth), static_cast<int>(outHeight));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        result.error = "cannot make a " + sizeText(outWidth, outHeight) + " image: " +
                       cairo_status_to_string(cairo_surface_status(surface));
        cairo_surface_destroy(surface);
        g_object_unref(handle);
        return result;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, static_cast<double>(outWidth) / static_cast<double>(width),
                static_cast<double>(outHeight) / static_cast<double>(height));
    RsvgRectangle viewport{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)};
    bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &failure) != 0;
    cairo_destroy(cr);
    g_object_unref(handle);
    if (!drawn) {
        result.error = std::string("cannot render the SVG document: ") + (failure != nullptr ? failure->message : "unknown error");
        if (failure != nullptr) g_error_free(failure);
        cairo_surface_destroy(surface);
        return result;
    }
    cairo_surface_flush(surface);
    cairo_status_t written = cairo_surface_write_to_png_stream(surface, writeToFile, png);
    cairo_surface_destroy(surface);
    if (written != CAIRO_STATUS_SUCCESS || std::fflush(png) != 0) {
        result.error = "write failed";
        return result;
    }
    result.ok = true;
    result.width = outWidth;
    result.height = outHeight;
    return result;
}

PngRenderResult renderSvgToPngFile(std::string_view svg, int64_t width, int64_t height, int64_t budget,
                                   const std::string& path) {
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    PngRenderResult result;
    if (fd < 0) {
        result.error = std::string("cannot write: ") + std::strerror(errno);
        return result;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(name.data());
        result.error = std::string("cannot write: ") + std::strerror(errno);
        return result;
    }
    result = renderSvgToPng(svg, width, height, budget, file);
    ::fchmod(fd, 0644);
    bool closed = std::fclose(file) == 0;
    if (result.ok && (!closed || std::rename(name.data(), path.c_str()) != 0)) {
        result.ok = false;
        result.error = std::string("cannot write: ") + std::strerror(errno);
    }
    if (!result.ok) ::unlink(name.data());
    return result;
}

}  // namespace javtool
