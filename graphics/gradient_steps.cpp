// SPDX-License-Identifier: MIT
// Gradient step planning: the stop colours, the number of bands, the
// positions the bands take their colours at, and the colour at a position.
#include <cmath>

#include "stream/numeric.h"
#include "graphics/gradient.h"
#include "graphics/graphics.h"

namespace {

// One colour step: a black-to-white segment (255 times the square root of 3)
// spans 64 of them.
constexpr double kColourStepDistance = 6.901139936;
// The size estimate counts a band for every 1/96 inch of the shape.
constexpr double kSizeStepsPerInch = 96.0;
constexpr int32_t kMaxPlannedBands = 256;

// Distinguishable colour steps along the stops, neighbour to neighbour.
int32_t JAVtColourSteps(const uint32_t* colours, int32_t stopCount) {
    double distance = 0.0;
    for (int32_t i = 0; i + 1 < stopCount; ++i) {
        double dr = JAVtRed(colours[i + 1]) - JAVtRed(colours[i]);
        double dg = JAVtGreen(colours[i + 1]) - JAVtGreen(colours[i]);
        double db = JAVtBlue(colours[i + 1]) - JAVtBlue(colours[i]);
        distance += std::sqrt(dr * dr + dg * dg + db * db);
    }
    return JAVtSaturate(distance / kColourStepDistance + 0.5);
}

// Target pixels per unit of extent along one axis; false when the target
// gives no usable size (zero pixels, zero or non-finite extent).
bool JAVtPixelDensity(int32_t p0, int32_t p1, double extent, double* density) {
    double pixels = static_cast<double>(JAVtAbs64(static_cast<int64_t>(p1) - p0));
    *density = pixels / extent;
    return std::isfinite(*density) && *density != 0.0;
}

}  // namespace

void JAVtResolveGradColours(const DriverContext* context, const GradientDef* gradient, uint32_t* colours) {
    int32_t count = JAVtGradStopCount(gradient);
    for (int32_t i = 0; i < count; ++i) colours[i] = JAVtResolveColour(context, gradient->stopColours[i]);
}

// The smaller of the colour estimate and the size estimate, at most 256 and
// at least the number of stops. A target without a usable pixel size gives
// no size estimate; the colour estimate alone then decides, within 1..256.
extern "C" int32_t JAVtCalcOptimalGradSteps(DriverContext* context, const GradientDef* gradient,
                                            const uint32_t* colours, PointPair corner1, PointPair corner2) {
    int32_t stopCount = JAVtGradStopCount(gradient);
    int32_t colourSteps = JAVtColourSteps(colours, stopCount);

    const TargetParams* params = context->targetParams;
    const int32_t* rect = params->targetPixelRect;
    double densityX = 0.0;
    double densityY = 0.0;
    if (!JAVtPixelDensity(rect[0], rect[2], params->targetExtentX, &densityX) ||
        !JAVtPixelDensity(rect[1], rect[3], params->targetExtentY, &densityY)) {
        if (colourSteps < 1) return 1;
        return colourSteps > kMaxPlannedBands ? kMaxPlannedBands : colourSteps;
    }

    double width = static_cast<double>(static_cast<int64_t>(corner2.x) - corner1.x);
    double height = static_cast<double>(static_cast<int64_t>(corner1.y) - corner2.y);
    int32_t stepsX = JAVtSaturate(width * kSizeStepsPerInch / densityX + 0.5);
    int32_t stepsY = JAVtSaturate(height * kSizeStepsPerInch / densityY + 0.5);
    int32_t sizeSteps = stepsX > stepsY ? stepsX : stepsY;

    int32_t steps = colourSteps < sizeSteps ? colourSteps : sizeSteps;
    if (steps > kMaxPlannedBands) return kMaxPlannedBands;
    return steps > stopCount ? steps : stopCount;
}

// A position on or before the first stop takes the first stop's colour.
// Between stops each component moves from the earlier stop towards the
// later one, rounded by adding 0.5 and truncating: a falling component ends
// one above the later stop's value at that stop's position.
int32_t JAVtGradColourAt(const GradientDef* gradient, const uint32_t* colours, int32_t* cursor,
                         int32_t position, uint32_t* colour) {
    int32_t stopCount = JAVtGradStopCount(gradient);
    int32_t j = *cursor < 0 ? 0 : *cursor;
    while (j < stopCount && gradient->stopPositions[j] < position) ++j;

    // Without stops there is no colour to give.
    if (stopCount == 0) return 0;
    if (j == 0) {
        *colour = colours[0];
        return 1;
    }
    if (stopCount <= 1 || j >= stopCount) return 0;

    int32_t k = j - 1;
    int64_t span = static_cast<int64_t>(gradient->stopPositions[j]) - gradient->stopPositions[k];
    double fraction = 1.0;
    if (span > 0)
        fraction = static_cast<double>(static_cast<int64_t>(position) - gradient->stopPositions[k]) /
                   static_cast<double>(span);

    uint32_t from = colours[k];
    uint32_t to = colours[j];
    int32_t fromParts[3] = {JAVtRed(from), JAVtGreen(from), JAVtBlue(from)};
    int32_t toParts[3] = {JAVtRed(to), JAVtGreen(to), JAVtBlue(to)};
    uint32_t result = 0;
    for (int32_t c = 0; c < 3; ++c) {
        int64_t part = fromParts[c] + static_cast<int64_t>(JAVtSaturate((toParts[c] - fromParts[c]) * fraction + 0.5));
        result |= (static_cast<uint32_t>(part) & 0xFFu) << (8 * c);
    }
    *colour = result;
    *cursor = k;
    return 1;
}

void JAVtGradBandsBegin(DriverContext* context, const GradientDef* gradient, PointPair corner1,
                        PointPair corner2, GradientBands* bands) {
    for (uint32_t& c : bands->colours) c = 0;
    JAVtResolveGradColours(context, gradient, bands->colours);
    if (gradient->stepCount > 0) {
        bands->count = gradient->stepCount < kGradMaxBands ? gradient->stepCount : kGradMaxBands;
    } else {
        bands->count = JAVtCalcOptimalGradSteps(context, gradient, bands->colours, corner1, corner2);
    }
    bands->positionStep = bands->count > 1 ? 100.0 / static_cast<double>(bands->count - 1) : 100.0;
    bands->position = 0.0;
    bands->cursor = 0;
}

int32_t JAVtGradBandColour(const GradientDef* gradient, GradientBands* bands, uint32_t* colour) {
    return JAVtGradColourAt(gradient, bands->colours, &bands->cursor, JAVtSaturate(bands->position + 0.5), colour);
}

void JAVtGradBandsAdvance(GradientBands* bands) { bands->position += bands->positionStep; }
