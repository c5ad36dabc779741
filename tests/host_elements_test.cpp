// Picture elements of the reference host: element texts and writers, the
// PNG export of raster images with its scaling and refusals, the picture
// format query, Raster objects of scripts and the tool's element directory.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/reference_host.h"
#include "tools/script.h"

namespace {

namespace fs = std::filesystem;
using refhost::HostElement;
using refhost::ReferenceHost;
using Pixels = std::vector<uint8_t>;

constexpr int32_t kRasterKind = 22;
constexpr int32_t kPixelsOffset = kHostObjectPayloadOffset + offsetof(refhost::RasterBody, image.pixels);

// A fresh directory of its own for one test.
fs::path scratchDirectory(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("javtrg_elements_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ElementWriter* openElement(ReferenceHost& host, int32_t code = refhost::kElementPng) {
    char a[1024], b[1024];
    TargetInfo* info = host.info();
    return info->createElement(info->elementHandle, code, a, sizeof a, b, sizeof b);
}

HostElement* elementOf(ElementWriter* writer) { return reinterpret_cast<HostElement*>(writer); }

// A Raster object whose image is `width` × `height` RGBA `pixels`, owned by
// the object as a host block.
HostObject* rasterObject(ReferenceHost& host, uint32_t width, uint32_t height, const Pixels& pixels) {
    HostObject* object = host.newObject(kRasterKind, sizeof(refhost::RasterBody));
    auto* body = reinterpret_cast<refhost::RasterBody*>(host.payload(object));
    body->image.width = width;
    body->image.height = height;
    if (!pixels.empty()) host.attachBlock(object, kPixelsOffset, pixels.data(), pixels.size());
    return object;
}

// exportRaster of `object` into `writer` at the given size (0: the
// parameter block is left out).
int32_t exportInto(ReferenceHost& host, HostObject* object, ElementWriter* writer, int32_t width, int32_t height,
                   uint32_t kind = refhost::kElementPng) {
    TargetInfo parameters{};
    parameters.pixelWidth = width;
    parameters.pixelHeight = height;
    parameters.dpiX = 96;
    parameters.dpiY = 96;
    ExportRequest request{};
    request.elementKind = kind;
    request.writer = writer;
    request.parameters = width == 0 && height == 0 ? nullptr : &parameters;
    HostServices* s = host.services();
    return s->exportRaster(s, object != nullptr ? host.payload(object) : nullptr, &request);
}

struct Image {
    bool ok = false;
    uint32_t width = 0, height = 0;
    Pixels rgba;
};

// Decodes PNG bytes into RGBA with libpng.
Image decodePng(const std::string& bytes) {
    Image out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return out;
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) return out;
    out.ok = true;
    out.width = image.width;
    out.height = image.height;
    return out;
}

Pixels rgba(std::initializer_list<uint32_t> colours) {  // 0xRRGGBBAA each
    Pixels p;
    for (uint32_t c : colours) {
        for (int shift : {24, 16, 8, 0}) p.push_back(static_cast<uint8_t>(c >> shift));
    }
    return p;
}

constexpr uint32_t kRed = 0xFF0000FF, kGreen = 0x00FF00FF, kBlue = 0x0000FFFF, kClear = 0x80808000;

TEST(HostElements, TextsNameTheFileAndTheTypeWithinTheirSizes) {
    const struct {
        int32_t code;
        int32_t sizeA, sizeB;
        const char* textA;  // nullptr: the buffer is not touched
        const char* textB;
    } cases[] = {
        {10, 1024, 1024, "element-0001.png", "image/png"},
        {8, 1024, 1024, "element-0002.bin", "application/octet-stream"},
        {26, 9, 3, "element-", "ap"},   // cut, always with its NUL
        {10, 1, 0, "", nullptr},        // a size of 1 holds only the NUL
        {10, -7, INT32_MIN, nullptr, nullptr},
    };
    ReferenceHost host;
    for (const auto& c : cases) {
        char a[1100], b[1100];
        std::memset(a, 'x', sizeof a);
        std::memset(b, 'x', sizeof b);
        ElementWriter* writer = host.info()->createElement(host.info()->elementHandle, c.code, a, c.sizeA, b, c.sizeB);
        ASSERT_NE(writer, nullptr) << c.code;
        EXPECT_EQ(c.textA == nullptr ? a[0] == 'x' : std::string(a) == c.textA, true) << c.code << " " << c.sizeA;
        EXPECT_EQ(c.textB == nullptr ? b[0] == 'x' : std::string(b) == c.textB, true) << c.code << " " << c.sizeB;
        // Nothing is written past the size given.
        if (c.sizeA > 0) EXPECT_EQ(a[c.sizeA], 'x');
        if (c.sizeB > 0) EXPECT_EQ(b[c.sizeB], 'x');
        writer->close(writer);
    }
    EXPECT_EQ(host.elements().size(), 5u);
    EXPECT_EQ(host.liveBlocks(), 0u);
}

TEST(HostElements, RefusalsClearTheTextsAndTakeNoNumber) {
    ReferenceHost host;
    TargetInfo* info = host.info();
    char a[64], b[64];
    auto refused = [&](void* handle, int32_t code) {
        std::strcpy(a, "stale");
        std::strcpy(b, "stale");
        return info->createElement(handle, code, a, sizeof a, b, sizeof b) == nullptr && a[0] == '\0' && b[0] == '\0';
    };
    EXPECT_TRUE(refused(info->elementHandle, 3));  // an unknown format
    EXPECT_TRUE(refused(nullptr, 10));
    host.failAt("createElement", 1);
    EXPECT_TRUE(refused(info->elementHandle, 10));
    host.useElementDirectory("/nonexistent/javtrg/elements");
    EXPECT_TRUE(refused(info->elementHandle, 10));
    host.useElementDirectory("");
    ASSERT_NE(info->createElement(info->elementHandle, 10, a, sizeof a, b, sizeof b), nullptr);
    EXPECT_EQ(std::string(a), "element-0001.png");
}

TEST(HostElements, ExportedPngReadsBackWithItsPixels) {
    const Pixels pixels = rgba({kRed, kGreen, kBlue, kClear});
    fs::path dir = scratchDirectory("png");
    for (bool toFiles : {false, true}) {
        ReferenceHost host;
        if (toFiles) host.useElementDirectory(dir.string());
        HostObject* object = rasterObject(host, 2, 2, pixels);
        ElementWriter* writer = openElement(host);
        ASSERT_EQ(exportInto(host, object, writer, 2, 2), 1);
        EXPECT_EQ(exportInto(host, object, writer, 3, 3), 0);  // one image an element; the first stays whole
        writer->close(writer);
        host.releaseObject(object);

        const HostElement& element = *host.elements().at(0);
        Image image = decodePng(toFiles ? readFile(dir / element.name) : element.bytes);
        ASSERT_TRUE(image.ok) << toFiles;
        EXPECT_EQ(image.width, 2u);
        EXPECT_EQ(image.height, 2u);
        EXPECT_EQ(image.rgba, pixels);
        EXPECT_EQ(host.liveBlocks() + host.liveObjects() + host.openElements(), 0u);
    }
    fs::remove_all(dir);
}

TEST(HostElements, ExportScalesByNearestNeighbourToTheRequestedSize) {
    using Colours = std::initializer_list<uint32_t>;
    const struct {
        const char* name;
        uint32_t width, height;
        Colours source;
        int32_t pixelWidth, pixelHeight;
        uint32_t outWidth, outHeight;
        Colours expected;  // empty: only the size is checked
    } cases[] = {
        {"doubled", 2, 1, {kRed, kBlue}, 4, 1, 4, 1, {kRed, kRed, kBlue, kBlue}},
        {"halved, centres sampled", 4, 1, {kRed, kGreen, kBlue, kClear}, 2, 1, 2, 1, {kGreen, kClear}},
        {"three rows from two", 1, 2, {kRed, kBlue}, 1, 3, 1, 3, {kRed, kBlue, kBlue}},
        {"centre of nine", 3, 3, {kRed, kRed, kRed, kRed, kGreen, kRed, kRed, kRed, kRed}, 1, 1, 1, 1, {kGreen}},
        {"no parameters: own size", 2, 1, {kRed, kBlue}, 0, 0, 2, 1, {kRed, kBlue}},
        {"sizes of 0 or less: own size", 2, 1, {kRed, kBlue}, -5, 0, 2, 1, {kRed, kBlue}},
        {"absurd width cut to 16384", 1, 1, {kGreen}, INT32_MAX, 1, 16384, 1, {}},
    };
    for (const auto& c : cases) {
        ReferenceHost host;
        HostObject* object = rasterObject(host, c.width, c.height, rgba(c.source));
        ElementWriter* writer = openElement(host);
        ASSERT_EQ(exportInto(host, object, writer, c.pixelWidth, c.pixelHeight), 1) << c.name;
        writer->close(writer);
        host.releaseObject(object);
        Image image = decodePng(host.elements().at(0)->bytes);
        ASSERT_TRUE(image.ok) << c.name;
        EXPECT_EQ(image.width, c.outWidth) << c.name;
        EXPECT_EQ(image.height, c.outHeight) << c.name;
        if (c.expected.size() != 0) EXPECT_EQ(image.rgba, rgba(c.expected)) << c.name;
    }
}

// Each case spoils one thing of an otherwise good export into an open PNG
// element. Refusals before the element is found leave it alone; the others
// spoil it, and a spoiled element leaves no file.
TEST(HostElements, ExportRefusesWritersAndImagesThatAreNotValid) {
    ElementWriter foreign{};
    uint8_t notABlock[16] = {};
    enum Spoil { ForeignWriter, ClosedWriter, VectorElement, OtherKind, NoBody, TooWide, NotABlock, TooFew, Injected };
    const struct {
        Spoil spoil;
        bool spoilsElement;
    } cases[] = {{ForeignWriter, false}, {ClosedWriter, false}, {VectorElement, false}, {OtherKind, false},
                 {NoBody, true},         {TooWide, true},       {NotABlock, true},      {TooFew, true},
                 {Injected, true}};
    fs::path dir = scratchDirectory("refusals");
    for (const auto& c : cases) {
        ReferenceHost host;
        host.useElementDirectory(dir.string());
        HostObject* object = rasterObject(host, 2, 2, c.spoil == TooFew ? Pixels(12) : Pixels(16));
        auto* image = &reinterpret_cast<refhost::RasterBody*>(host.payload(object))->image;
        const refhost::RasterImage kept = *image;
        ElementWriter* writer = openElement(host, c.spoil == VectorElement ? refhost::kElementVector : refhost::kElementPng);
        if (c.spoil == ClosedWriter) writer->close(writer);
        if (c.spoil == TooWide) *image = refhost::RasterImage{refhost::kMaxRasterSide + 1, 1, kept.pixels};
        if (c.spoil == NotABlock) image->pixels = notABlock;
        if (c.spoil == Injected) host.failAt("exportRaster", 1);
        EXPECT_EQ(exportInto(host, c.spoil == NoBody ? nullptr : object, c.spoil == ForeignWriter ? &foreign : writer, 2, 2,
                             c.spoil == OtherKind ? refhost::kElementRaster : refhost::kElementPng),
                  0) << c.spoil;
        const HostElement& element = *host.elements().at(0);
        EXPECT_EQ(element.failed, c.spoilsElement) << c.spoil;
        if (element.open) writer->close(writer);
        EXPECT_EQ(fs::exists(dir / element.name), !c.spoilsElement) << c.spoil;
        *image = kept;  // so the object gives back its own block
        host.releaseObject(object);
    }
    ReferenceHost host;
    HostServices* s = host.services();
    EXPECT_EQ(s->exportRaster(s, nullptr, nullptr), 0);
    fs::remove_all(dir);
}

TEST(HostElements, WritersLeftOpenAreCompletedByTheHost) {
    fs::path dir = scratchDirectory("left_open");
    {
        ReferenceHost host;
        host.useElementDirectory(dir.string());
        HostObject* object = rasterObject(host, 1, 1, rgba({kBlue}));
        ElementWriter* closed = openElement(host);
        ElementWriter* leftOpen = openElement(host);
        closed->close(closed);
        ASSERT_EQ(exportInto(host, object, leftOpen, 5, 4), 1);
        host.releaseObject(object);
        // Open writers are the host's, outside the ledger.
        EXPECT_EQ(host.openElements(), 1u);
        EXPECT_EQ(host.liveBlocks() + host.liveObjects(), 0u);
    }
    // Destroying the host completed the file.
    Image image = decodePng(readFile(dir / "element-0002.png"));
    EXPECT_TRUE(image.ok && image.width == 5 && image.height == 4);
    fs::remove_all(dir);

    ReferenceHost host;
    ElementWriter* closed = openElement(host);
    openElement(host);
    closed->close(closed);
    EXPECT_EQ(host.closeOpenElements(), 1u);
    EXPECT_EQ(host.closeOpenElements(), 0u);
    EXPECT_EQ(host.elementsClosedByHost(), 1u);
    EXPECT_TRUE(host.elements()[1]->closedByHost && !host.elements()[0]->closedByHost);
}

TEST(HostElementsDeathTest, ClosingAWriterTwiceAborts) {
    ReferenceHost host;
    ElementWriter* writer = openElement(host);
    writer->close(writer);
    EXPECT_DEATH(writer->close(writer), "closed twice");
}

TEST(HostElements, PngAndHostRasterFormatsAreRasters) {
    ReferenceHost host;
    HostServices* s = host.services();
    for (auto [code, expected] : {std::pair{10, 2}, {8, 2}, {26, 1}, {0, 1}, {-1, 1}, {9, 1}}) {
        int32_t format = code;
        EXPECT_EQ(s->queryPictureFormat(s, &format), expected) << code;
    }
    EXPECT_EQ(s->queryPictureFormat(s, nullptr), 1);
}

// A script's Raster object, built in the host and exported.
Image exportScriptRaster(const std::string& objectJson) {
    javtool::Script script = javtool::readScript("{\"objects\": [" + objectJson + "]}");
    ReferenceHost host;
    HostObject* object = script.objects.at(0)(host);
    ElementWriter* writer = openElement(host);
    Image image;
    if (exportInto(host, object, writer, 0, 0) == 1) image = decodePng(elementOf(writer)->bytes);
    writer->close(writer);
    // The pixels are the object's: a clone owns a copy, and releasing gives all back.
    HostObject* copy = object->clone(host.services(), object, 0);
    host.releaseObject(object);
    host.releaseObject(copy);
    EXPECT_EQ(host.liveBlocks() + host.liveObjects(), 0u);
    return image;
}

TEST(HostElements, ScriptRasterCarriesItsImage) {
    Image filled = exportScriptRaster(
        R"({"kind": "Raster", "x0": 0, "y0": 100, "x1": 200, "y1": 100, "x2": 0, "y2": 0,
            "image": {"width": 2, "height": 1, "fill": "#FF8000"}})");
    ASSERT_TRUE(filled.ok);
    EXPECT_EQ(filled.rgba, rgba({0xFF8000FF, 0xFF8000FF}));
    Image given = exportScriptRaster(
        R"({"kind": 22, "image": {"width": 1, "height": 2, "pixels": "ff000080 00ff00ff"}})");
    ASSERT_TRUE(given.ok);
    EXPECT_EQ(given.rgba, rgba({0xFF000080, 0x00FF00FF}));
    EXPECT_FALSE(exportScriptRaster(R"({"kind": "Raster", "x0": 1})").ok);  // no image: nothing exported

    const struct {
        const char* image;
        const char* place;
    } malformed[] = {
        {R"({"width": 1, "height": 1, "pixels": "ff000080", "fill": "#000000"})", "objects[0].image.pixels"},
        {R"({"width": 1, "height": 1})", "objects[0].image.pixels"},
        {R"({"width": 16385, "height": 1, "fill": "#000000"})", "objects[0].image.width"},
        {R"({"width": 16384, "height": 16384, "fill": "#000000"})", "objects[0].image.height"},
        {R"({"width": 1, "height": 1, "fill": "#000000", "depth": 8})", "objects[0].image.depth"},
    };
    for (const auto& m : malformed) {
        try {
            javtool::readScript(std::string(R"({"objects": [{"kind": "Raster", "image": )") + m.image + "}]}");
            ADD_FAILURE() << m.image;
        } catch (const javtool::ScriptError& e) {
            EXPECT_EQ(e.place, m.place) << m.image;
        }
    }
}

int runTool(const std::string& arguments) {
    std::string command = std::string(JAVTRG_TOOL) + " " + arguments + " >/dev/null 2>&1";
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(HostElements, ToolMakesTheElementDirectory) {
    fs::path dir = scratchDirectory("tool");
    fs::path script = dir / "raster.json";
    std::ofstream(script) << R"({"objects": [{"kind": "Raster", "x1": 96, "y0": 96,
                                 "image": {"width": 1, "height": 1, "fill": "#00FF00"}}]})";
    fs::path elements = dir / "nested" / "elements";
    EXPECT_EQ(runTool("convert " + script.string() + " --elements " + elements.string()), 0);
    EXPECT_TRUE(fs::is_directory(elements));
    // A file where the directory should be is bad usage.
    EXPECT_EQ(runTool("convert " + script.string() + " --elements " + script.string()), 2);
    fs::remove_all(dir);
}

}  // namespace
