// Picture elements of the reference host: element texts and writers, and the
// PNG export of raster images with its scaling and refusals.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/reference_host.h"
#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;
using refhost::ReferenceHost;
using Pixels = std::vector<uint8_t>;

constexpr int32_t kPixelsOffset = kHostObjectPayloadOffset + offsetof(refhost::RasterBody, image.pixels);
const Pixels kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 128};

ElementWriter* openElement(ReferenceHost& host) {
    char a[1024], b[1024];
    TargetInfo* info = host.info();
    return info->createElement(info->elementHandle, kElementPng, a, sizeof a, b, sizeof b);
}

// A Raster object (kind 22) of 2 × 1 pixels, red then blue, owning them.
HostObject* rasterObject(ReferenceHost& host) {
    HostObject* object = host.newObject(kKindRaster, sizeof(refhost::RasterBody));
    auto* body = reinterpret_cast<refhost::RasterBody*>(host.payload(object));
    body->image.width = 2;
    body->image.height = 1;
    Pixels pixels{255, 0, 0, 255, 0, 0, 255, 128};
    host.attachBlock(object, kPixelsOffset, pixels.data(), pixels.size());
    return object;
}

int32_t exportInto(ReferenceHost& host, HostObject* object, ElementWriter* writer, int32_t width, int32_t height) {
    TargetInfo parameters{.pixelWidth = width, .pixelHeight = height};
    ExportRequest request{.elementKind = kElementPng, .writer = writer, .parameters = &parameters};
    HostServices* s = host.services();
    return s->exportRaster(s, object != nullptr ? host.payload(object) : nullptr, &request);
}

// PNG bytes decoded to RGBA with libpng; `width` 0 when they are not a PNG.
struct Image {
    uint32_t width = 0, height = 0;
    Pixels rgba;
};

Image decodePng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    Pixels rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
    return {image.width, image.height, rgba};
}

Pixels pixelAt(const Image& image, uint32_t x, uint32_t y) {
    auto first = image.rgba.begin() + 4 * (y * image.width + x);
    return Pixels(first, first + 4);
}

TEST(HostElements, TextsAreCutToTheirSizesAndNeverWrittenPast) {
    const struct {
        int32_t sizeA, sizeB;
        const char* textA;  // nullptr: the buffer is not touched
        const char* textB;
    } cases[] = {
        {1024, 1024, "element-0001.png", "image/png"},
        {9, 3, "element-", "im"},
        {1, 0, "", nullptr},
        {-7, INT32_MIN, nullptr, nullptr},
    };
    ReferenceHost host;
    for (const auto& c : cases) {
        char a[1100], b[1100];
        std::memset(a, 'x', sizeof a);
        std::memset(b, 'x', sizeof b);
        ElementWriter* writer = host.info()->createElement(host.info()->elementHandle, 10, a, c.sizeA, b, c.sizeB);
        ASSERT_NE(writer, nullptr) << c.sizeA;
        EXPECT_TRUE(c.textA == nullptr ? a[0] == 'x' : std::string(a) == c.textA) << c.sizeA;
        EXPECT_TRUE(c.textB == nullptr ? b[0] == 'x' : std::string(b) == c.textB) << c.sizeB;
        if (c.sizeA > 0) EXPECT_EQ(a[c.sizeA], 'x') << "wrote past " << c.sizeA;
        if (c.sizeB > 0) EXPECT_EQ(b[c.sizeB], 'x') << "wrote past " << c.sizeB;
        writer->close(writer);
    }
}

// Nearest neighbour samples pixel centres: of two source columns, output
// column x takes floor((x + 0.5) * 2 / width). Sizes of 0 keep the image's own.
TEST(HostElements, ExportedPngReadsBackScaledByNearestNeighbour) {
    const struct {
        int32_t width, height;
        uint32_t outWidth, outHeight;
    } cases[] = {{2, 1, 2, 1}, {4, 3, 4, 3}, {1, 1, 1, 1}, {0, 0, 2, 1}};
    for (const auto& c : cases) {
        ReferenceHost host;
        HostObject* object = rasterObject(host);
        ElementWriter* writer = openElement(host);
        ASSERT_EQ(exportInto(host, object, writer, c.width, c.height), 1) << c.width;
        EXPECT_EQ(exportInto(host, object, writer, 3, 3), 0) << "a second image in one element";
        writer->close(writer);
        host.releaseObject(object);
        Image image = decodePng(host.elements().at(0)->bytes);
        ASSERT_EQ(image.width, c.outWidth) << c.width;
        EXPECT_EQ(image.height, c.outHeight) << c.width;
        if (c.outWidth > 1) EXPECT_EQ(pixelAt(image, (c.outWidth - 1) / 2, 0), kRed) << c.width;
        EXPECT_EQ(pixelAt(image, c.outWidth / 2, image.height - 1), kBlue) << c.width;
        EXPECT_EQ(host.liveBlocks() + host.liveObjects() + host.openElements(), 0u);
    }
}

// Each case spoils one thing of an otherwise good export into an open PNG
// element. Refusals before the element is found leave it alone; the others
// spoil it, and a spoiled element leaves no file.
TEST(HostElements, ExportRefusesWritersAndImagesThatAreNotValid) {
    enum Spoil { ForeignWriter, ClosedWriter, NoImage, TooWide, Injected };
    const struct {
        Spoil spoil;
        bool spoilsElement;
    } cases[] = {{ForeignWriter, false}, {ClosedWriter, false}, {NoImage, true}, {TooWide, true}, {Injected, true}};
    javtest::ScratchDir scratch("javtrg_elements_refusals");
    const fs::path& dir = scratch.path;
    for (const auto& c : cases) {
        ReferenceHost host;
        host.useElementDirectory(dir.string());
        HostObject* object = rasterObject(host);
        auto* body = reinterpret_cast<refhost::RasterBody*>(host.payload(object));
        ElementWriter foreign{};
        ElementWriter* writer = openElement(host);
        if (c.spoil == ClosedWriter) writer->close(writer);
        if (c.spoil == TooWide) body->image.width = refhost::kMaxRasterSide + 1;
        if (c.spoil == Injected) host.failAt("exportRaster", 1);
        HostObject* given = c.spoil == NoImage ? nullptr : object;
        EXPECT_EQ(exportInto(host, given, c.spoil == ForeignWriter ? &foreign : writer, 2, 1), 0) << c.spoil;
        const refhost::HostElement& element = *host.elements().at(0);
        EXPECT_EQ(element.failed, c.spoilsElement) << c.spoil;
        if (element.open) writer->close(writer);
        EXPECT_EQ(fs::exists(dir / element.name), !c.spoilsElement) << c.spoil;
        host.releaseObject(object);
    }
}

TEST(HostElements, WritersLeftOpenAreCompletedAtHostDestruction) {
    javtest::ScratchDir scratch("javtrg_elements_left_open");
    const fs::path& dir = scratch.path;
    {
        ReferenceHost host;
        host.useElementDirectory(dir.string());
        HostObject* object = rasterObject(host);
        ElementWriter* leftOpen = openElement(host);
        ASSERT_EQ(exportInto(host, object, leftOpen, 5, 4), 1);
        host.releaseObject(object);
        EXPECT_EQ(host.openElements(), 1u);
        EXPECT_EQ(host.liveBlocks() + host.liveObjects(), 0u) << "open writers are the host's, outside the ledger";
    }
    std::ifstream in(dir / "element-0001.png", std::ios::binary);
    Image image = decodePng(std::string(std::istreambuf_iterator<char>(in), {}));
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 4u);
}

}  // namespace
