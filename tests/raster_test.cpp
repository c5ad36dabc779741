// SPDX-License-Identifier: MIT
// Raster images: the export size at 96 pixels per inch, the placement of the
// element in the target, long element texts, and the failures the host does
// not make.
#include <png.h>

#include "tests/driver_harness.h"

namespace {

using refhost::ReferenceHost;

constexpr int32_t kPixelsOffset = kHostObjectPayloadOffset + offsetof(refhost::RasterBody, image.pixels);

// 1000 host units (one inch) onto 100 pixels: X(x) = x / 10, Y(y) = 100 - y / 10.
struct RasterHarness : javtest::DriverHarness {
    RasterHarness() { javtest::squareTarget(host(), 1000, 100); }
    // A red image `width` pixels wide (whose pixels hold one) at the
    // corners p0, p1, p2.
    int32_t raster(RasterData corners, uint32_t width = 1) {
        HostObject* object = host().newObject(kKindRaster, sizeof(refhost::RasterBody));
        auto* body = reinterpret_cast<refhost::RasterBody*>(host().payload(object));
        body->corners = corners;
        body->image.width = width;
        body->image.height = 1;
        const uint8_t red[4] = {255, 0, 0, 255};
        host().attachBlock(object, kPixelsOffset, red, sizeof red);
        return put(object);
    }
    // The exported element read back: its width and height in pixels.
    std::pair<uint32_t, uint32_t> exportedSize() {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const std::string& bytes = host().elements().at(0)->bytes;
        if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {0, 0};
        png_image_free(&image);
        return {image.width, image.height};
    }
};

// The pictures sample pins the record of an image below a pixel.
TEST(Raster, ExportSizeAndPlacement) {
    const struct {
        const char* behaviour;
        RasterData corners;  // x0, y0, x1, y1, x2, y2
        const char* record;
        uint32_t width, height;  // exported
    } cases[] = {
        {"wider than the target: placed with its width, exported whole", {-500, 900, 1500, 900, -500, 400},
         "m,-50,10,100,50\n", 192, 48},
        {"p0 right of p1: the left edge from p1", {600, 900, 200, 900, 600, 500}, "m,20,10,40,40\n", 38, 38},
        // The height still comes from |y2 - y0| of the corners as they came.
        {"y0 below y1: the top from y1", {200, 500, 600, 900, 200, 100}, "m,20,10,40,40\n", 38, 38},
        {"a negative y0: the top from its absolute value", {0, -300, 500, -300, 0, -800}, "m,0,70,50,50\n", 48, 48},
    };
    for (const auto& k : cases) {
        RasterHarness h;
        h.start();
        EXPECT_EQ(h.raster(k.corners), 1) << k.behaviour;
        EXPECT_EQ(h.take(), std::string(k.record) + "element-0001.png\nimage/png\n") << k.behaviour;
        EXPECT_EQ(h.exportedSize(), std::make_pair(k.width, k.height)) << k.behaviour;
        EXPECT_EQ(h.context()->recordCount, 0) << k.behaviour;
    }
}

// Names the element with two texts of 1023 characters, the most they hold.
ElementWriter* longTexts(void* handle, int32_t format, char* a, int32_t sizeA, char* b, int32_t sizeB) {
    ElementWriter* writer = static_cast<ReferenceHost*>(handle)->createElement(format, a, sizeA, b, sizeB);
    std::memset(a, 'a', 1023);
    std::memset(b, 'b', 1023);
    a[1023] = b[1023] = '\0';
    return writer;
}

TEST(Raster, TwoElementTextsOf1023CharactersFitTheRecord) {
    RasterHarness h;
    h.host().info()->createElement = longTexts;
    h.start();
    EXPECT_EQ(h.raster({0, 1000, 1000, 1000, 0, 0}), 1);
    EXPECT_EQ(h.take(), "m,0,0,100,100\n" + std::string(1023, 'a') + "\n" + std::string(1023, 'b') + "\n");
}

// Each step that fails outside the host's own failures (those the failure
// sweep makes) returns 0 and writes nothing; the element, when one was
// opened, is closed all the same (the harness checks no element is open).
// An image wider than the host exports is refused before its pixels are read.
TEST(Raster, EveryFailingStepReturnsZeroWithoutARecord) {
    enum Failure { NoTargetInfo, NoCreateElement, TooWide };
    for (Failure failure : {NoTargetInfo, NoCreateElement, TooWide}) {
        RasterHarness h;
        if (failure == NoTargetInfo) h.host().useTargetInfo(false);
        if (failure == NoCreateElement) h.host().info()->createElement = nullptr;
        h.start();
        EXPECT_EQ(h.raster({0, 1000, 1000, 1000, 0, 0}, failure == TooWide ? refhost::kMaxRasterSide + 1 : 1), 0) << failure;
        EXPECT_EQ(h.take(), "") << failure;
        EXPECT_EQ(h.host().calls("exportRaster"), failure == TooWide ? 1u : 0u) << failure;
    }
}

}  // namespace
