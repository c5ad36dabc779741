#include "tests/fidelity/svg_raster.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include "tools/output_file.h"

namespace javfidelity {

namespace {

// A librsvg handle of a document held in memory: without a base file, the
// document cannot reach other files.
struct SvgHandle {
    RsvgHandle* handle = nullptr;
    std::string error;

    explicit SvgHandle(const std::string& svg) {
        GError* failure = nullptr;
        handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &failure);
        if (handle == nullptr) {
            error = std::string("librsvg cannot read the SVG: ") + (failure != nullptr ? failure->message : "unknown error");
            if (failure != nullptr) g_error_free(failure);
            return;
        }
        rsvg_handle_set_dpi(handle, 96.0);
    }
    ~SvgHandle() {
        if (handle != nullptr) g_object_unref(handle);
    }
    SvgHandle(const SvgHandle&) = delete;
    SvgHandle& operator=(const SvgHandle&) = delete;
};

bool naturalSize(RsvgHandle* handle, double* width, double* height) {
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, width, height) && *width > 0 && *height > 0) return true;
    gboolean hasViewBox = FALSE;
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
    if (!hasViewBox || !(viewBox.width > 0) || !(viewBox.height > 0)) return false;
    *width = viewBox.width;
    *height = viewBox.height;
    return true;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                    : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

bool svgNaturalSize(const std::string& svg, double* width, double* height, std::string* error) {
    SvgHandle document(svg);
    if (document.handle == nullptr) {
        *error = document.error;
        return false;
    }
    if (!naturalSize(document.handle, width, height)) {
        *error = "its SVG has no size";
        return false;
    }
    return true;
}

std::string rasteriseSvg(const std::string& svg, RasterSize size, const std::string& pngPath) {
    if (size.width == 0 || size.height == 0 || size.width > kRasterSideMax || size.height > kRasterSideMax ||
        uint64_t{size.width} * size.height > kRasterAreaMax) {
        return "a picture of " + std::to_string(size.width) + "x" + std::to_string(size.height) +
               " pixels is outside 1 to 32767 a side and 64 million pixels";
    }
    SvgHandle document(svg);
    if (document.handle == nullptr) return document.error;
    double naturalWidth = 0;
    double naturalHeight = 0;
    if (!naturalSize(document.handle, &naturalWidth, &naturalHeight)) return "the SVG has no size";

    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(size.width), static_cast<int>(size.height));
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, size.width / naturalWidth, size.height / naturalHeight);
    RsvgRectangle viewport{0, 0, naturalWidth, naturalHeight};
    GError* failure = nullptr;
    std::string error;
    if (!rsvg_handle_render_document(document.handle, cr, &viewport, &failure)) {
        error = std::string("librsvg cannot draw the SVG: ") + (failure != nullptr ? failure->message : "unknown error");
        if (failure != nullptr) g_error_free(failure);
    } else if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        error = std::string("cairo: ") + cairo_status_to_string(cairo_status(cr));
    }
    cairo_destroy(cr);
    if (error.empty()) {
        javtool::OutputFile output(pngPath);
        if (!output.check("", &error) || !output.open(&error)) {
            // error set
        } else if (cairo_surface_write_to_png_stream(surface, writeToFile, output.stream()) != CAIRO_STATUS_SUCCESS) {
            error = pngPath + ": cannot write the PNG";
        } else {
            output.commit(&error);
        }
    }
    cairo_surface_destroy(surface);
    return error;
}

}  // namespace javfidelity
