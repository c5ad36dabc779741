// SPDX-License-Identifier: MIT
#include "tools/svg_measure.h"

#include <pango/pangocairo.h>

namespace javtool {

namespace {

// Pango takes a family list without CSS quotes.
std::string pangoFamilies(const std::string& families) {
    std::string out;
    for (char c : families) {
        if (c != '\'') out += c;
    }
    return out;
}

// One context per thread, set up as the renderer sets up its own: no
// hinting of metrics or outlines, so widths are those of the scaled font.
PangoContext* measuringContext() {
    thread_local PangoContext* context = [] {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        PangoContext* made = pango_font_map_create_context(map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(made, options);
        cairo_font_options_destroy(options);
        return made;
    }();
    return context;
}

}  // namespace

double measureText(const std::string& families, double size, bool bold, bool italic, std::string_view utf8) {
    if (utf8.empty() || size <= 0) return 0.0;
    PangoLayout* layout = pango_layout_new(measuringContext());
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, pangoFamilies(families).c_str());
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(font, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return static_cast<double>(logical.width) / PANGO_SCALE;
}

}  // namespace javtool
