// SPDX-License-Identifier: MIT
// cairo's SVG surface drawing what a recorded stream draws: each shape
// filled and outlined with the stream's pen and fill, a "q,2" shape drawn
// and then clipping the bands that follow until "q,0".
#ifndef JAVTRG_BENCH_CAIRO_REPLAY_H
#define JAVTRG_BENCH_CAIRO_REPLAY_H

#include <cstdint>
#include <string>

#include "bench/recorded_stream.h"

namespace benchcairo {

// Draws `prologue` once and `period` `repeats` times on an SVG surface of
// `pixels` × `pixels` that writes into `svg` (emptied first), and finishes
// the surface. Returns the bytes of SVG, or -1 with cairo's reason in
// `error` when the surface failed (it runs out of memory on the largest
// scenes: it holds the whole picture until it finishes).
int64_t drawSvg(const benchstream::DrawProgram& prologue, const benchstream::DrawProgram& period, int64_t repeats,
                int32_t pixels, std::string* svg, std::string* error);

}  // namespace benchcairo

#endif
