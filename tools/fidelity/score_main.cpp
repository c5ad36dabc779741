// SPDX-License-Identifier: MIT
// `fidelity_score OURS.png REFERENCE.png [--pair OUT.png]`: prints the ink
// F-score of a preview against its reference as one line,
// "score S precision P recall R ours-ink N reference-ink M". With --pair,
// also writes a thumbnail of the two side by side with a third panel of
// what differs: our unmatched ink in red, the reference's in blue, on the
// reference in light grey. Exit 0, or 2 with one line on stderr.
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/fidelity/ink_score.h"
#include "tools/output_file.h"

namespace {

using javfidelity::GreyImage;

// The longer side of each panel of a thumbnail, and the gap between panels.
constexpr double kPanelSide = 280;
constexpr int kGap = 8;

// A surface of `image`'s size, each pixel coloured by `colour` (0xRRGGBB) of
// the pixel's grey and position.
template <typename Colour>
cairo_surface_t* surfaceOf(const GreyImage& image, Colour colour) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(image.width),
                                                          static_cast<int>(image.height));
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (uint32_t y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (uint32_t x = 0; x < image.width; ++x) row[x] = colour(image.at(x, y), x, y);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                    : CAIRO_STATUS_WRITE_ERROR;
}

std::string writePair(const GreyImage& ours, const GreyImage& reference, const GreyImage& unmatched,
                      const std::string& path) {
    auto grey = [](uint8_t g, uint32_t, uint32_t) { return uint32_t{g} * 0x010101u; };
    auto difference = [&](uint8_t mark, uint32_t x, uint32_t y) {
        if (mark == 1) return 0xd00000u;
        if (mark == 2) return 0x0040e0u;
        if (mark == 3) return 0x9000a0u;
        return 0xffffffu - (0xffu - reference.at(x, y)) / 4 * 0x010101u;
    };
    cairo_surface_t* panels[] = {surfaceOf(ours, grey), surfaceOf(reference, grey), surfaceOf(unmatched, difference)};
    double scale = std::min(1.0, kPanelSide / std::max(unmatched.width, unmatched.height));
    int panelWidth = std::max(1, static_cast<int>(unmatched.width * scale + 0.5));
    int panelHeight = std::max(1, static_cast<int>(unmatched.height * scale + 0.5));
    cairo_surface_t* pair = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3 * panelWidth + 4 * kGap, panelHeight + 2 * kGap);
    cairo_t* cr = cairo_create(pair);
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_paint(cr);
    for (int i = 0; i < 3; ++i) {
        cairo_save(cr);
        cairo_translate(cr, kGap + i * (panelWidth + kGap), kGap);
        cairo_rectangle(cr, 0, 0, panelWidth, panelHeight);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, panels[i], 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(panels[i]);
    }
    cairo_destroy(cr);
    std::string error;
    javtool::OutputFile output(path);
    if (output.check("", &error) && output.open(&error)) {
        if (cairo_surface_write_to_png_stream(pair, writeToFile, output.stream()) != CAIRO_STATUS_SUCCESS) {
            error = path + ": cannot write the PNG";
        } else {
            output.commit(&error);
        }
    }
    cairo_surface_destroy(pair);
    return error;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Scores a preview against its reference picture by the ink F-score."};
    std::string oursPath;
    std::string referencePath;
    std::string pairPath;
    app.add_option("OURS", oursPath, "The preview, PNG")->required();
    app.add_option("REFERENCE", referencePath, "The reference picture, PNG")->required();
    app.add_option("--pair", pairPath, "Also write a thumbnail of both and their differences here");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    GreyImage ours;
    GreyImage reference;
    std::string error;
    if (!javfidelity::readGreyPng(oursPath, &ours, &error) ||
        !javfidelity::readGreyPng(referencePath, &reference, &error)) {
        std::cerr << "fidelity_score: " << error << "\n";
        return 2;
    }
    if (ours.width != reference.width || ours.height != reference.height) {
        std::cerr << "fidelity_score: note: " << oursPath << " is " << ours.width << "x" << ours.height << ", "
                  << referencePath << " " << reference.width << "x" << reference.height
                  << "; compared from the top left, white beyond the smaller\n";
    }
    GreyImage unmatched;
    javfidelity::InkScore result = javfidelity::inkScore(ours, reference, pairPath.empty() ? nullptr : &unmatched);
    std::printf("score %.4f precision %.4f recall %.4f ours-ink %llu reference-ink %llu\n", result.score,
                result.precision, result.recall, static_cast<unsigned long long>(result.oursInk),
                static_cast<unsigned long long>(result.referenceInk));
    if (!pairPath.empty()) {
        error = writePair(ours, reference, unmatched, pairPath);
        if (!error.empty()) {
            std::cerr << "fidelity_score: " << error << "\n";
            return 2;
        }
    }
    return 0;
}
