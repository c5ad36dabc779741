// SPDX-License-Identifier: MIT
// Colour resolution: how a host colour entry becomes a Colour.
#include "graphics/graphics.h"

namespace {
constexpr uint32_t kBlack = 0;
}  // namespace

// In palette mode an index not below the palette's count selects entry 0.
// Without a palette, with an empty one, or for a negative index the colour
// is black: nothing outside the table is ever read.
uint32_t JAVtPaletteColour(const DriverContext* context, uint32_t entry) {
    const HostPalette* palette = context->palette;
    if (palette == nullptr || palette->count <= 0) return kBlack;
    int32_t index = static_cast<int32_t>(entry);
    if (index < 0) return kBlack;
    if (index >= palette->count) index = 0;
    return palette->colours[index];
}
