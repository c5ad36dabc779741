// SPDX-License-Identifier: MIT
#include "bench/cairo_replay.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>

namespace benchcairo {

namespace {

using benchstream::DrawKind;
using benchstream::DrawOp;
using benchstream::DrawProgram;

constexpr double kPi = 3.14159265358979323846;

cairo_status_t appendSvg(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

struct Rgb {
    double r, g, b;
};

struct Replay {
    cairo_t* cr;
    Rgb pen{0, 0, 0};
    double penWidth = 0;
    Rgb fill{0, 0, 0};
    bool filled = false;
    bool clipNext = false;  // the next shape opens a clip
    bool clipped = false;   // bands: filled only, inside the clip
};

Rgb colour(const int32_t* v) { return Rgb{v[0] / 255.0, v[1] / 255.0, v[2] / 255.0}; }

void ellipsePath(cairo_t* cr, double x, double y, double w, double h) {
    if (w <= 0 || h <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, x + w / 2, y + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

void roundRectPath(cairo_t* cr, double x, double y, double w, double h, double cw, double ch) {
    double r = std::fmin(std::fmin(cw, ch) / 2, std::fmin(w, h) / 2);
    if (r <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void pointsPath(cairo_t* cr, const int32_t* v, uint32_t count, bool closed) {
    for (uint32_t i = 0; i + 1 < count; i += 2) {
        if (i == 0) {
            cairo_move_to(cr, v[i], v[i + 1]);
        } else {
            cairo_line_to(cr, v[i], v[i + 1]);
        }
    }
    if (closed && count > 0) cairo_close_path(cr);
}

// Draws the path just built: a band is filled only; any other shape is
// filled and outlined, and a clip shape then becomes the clip.
void paint(Replay& s, bool closed) {
    cairo_t* cr = s.cr;
    if (s.clipped) {
        cairo_set_source_rgb(cr, s.fill.r, s.fill.g, s.fill.b);
        cairo_fill(cr);
        return;
    }
    if (s.filled && closed) {
        cairo_set_source_rgb(cr, s.fill.r, s.fill.g, s.fill.b);
        cairo_fill_preserve(cr);
    }
    if (s.penWidth > 0) {
        cairo_set_source_rgb(cr, s.pen.r, s.pen.g, s.pen.b);
        cairo_set_line_width(cr, s.penWidth);
        cairo_stroke_preserve(cr);
    }
    if (s.clipNext) {
        cairo_save(cr);
        cairo_clip(cr);
        s.clipNext = false;
        s.clipped = true;
    } else {
        cairo_new_path(cr);
    }
}

void replay(Replay& s, const DrawProgram& program) {
    cairo_t* cr = s.cr;
    for (const DrawOp& op : program.ops) {
        const int32_t* v = program.values.data() + op.firstValue;
        switch (op.kind) {
            case DrawKind::Pen:
                s.pen = colour(v);
                s.penWidth = v[5];
                break;
            case DrawKind::Fill:
                s.filled = v[0] >= 0;
                if (s.filled) s.fill = colour(v);
                break;
            case DrawKind::Rectangle:
                cairo_rectangle(cr, v[0], v[1], v[2], v[3]);
                paint(s, true);
                break;
            case DrawKind::RoundRect:
                roundRectPath(cr, v[0], v[1], v[2], v[3], v[4], v[5]);
                paint(s, true);
                break;
            case DrawKind::Ellipse:
                ellipsePath(cr, v[0], v[1], v[2], v[3]);
                paint(s, true);
                break;
            case DrawKind::Polygon:
            case DrawKind::Polyline: {
                bool closed = op.kind == DrawKind::Polygon;
                pointsPath(cr, v, op.valueCount, closed);
                paint(s, closed);
                break;
            }
            case DrawKind::ClipNext: s.clipNext = true; break;
            case DrawKind::ClipEnd:
                if (s.clipped) cairo_restore(cr);
                s.clipped = false;
                break;
        }
    }
}

}  // namespace

int64_t drawSvg(const DrawProgram& prologue, const DrawProgram& period, int64_t repeats, int32_t pixels,
                std::string* svg, std::string* error) {
    svg->clear();
    cairo_surface_t* surface = cairo_svg_surface_create_for_stream(appendSvg, svg, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    Replay state{cr};
    replay(state, prologue);
    for (int64_t i = 0; i < repeats; ++i) replay(state, period);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = cairo_status_to_string(status);
        return -1;
    }
    return static_cast<int64_t>(svg->size());
}

}  // namespace benchcairo
