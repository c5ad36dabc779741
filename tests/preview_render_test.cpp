// SPDX-License-Identifier: MIT
// The rendered preview: every example's PNG compared with its committed
// reference by structural similarity, the pixel budget, elements shrunk to the size they are drawn, and what an
// interrupted run leaves.
#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/command_runner.h"
#include "tools/png_render.h"

namespace {

namespace fs = std::filesystem;

// An image read on white, as planes of levels 0 to 255: grey, weighted as
// scikit-image's rgb2gray, then red, green and blue.
struct Grey {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<png_byte> rgb;
    double at(uint32_t x, uint32_t y, size_t plane = 0) const {
        const png_byte* p = &rgb[(size_t{y} * width + x) * 3];
        return plane == 0 ? 0.2125 * p[0] + 0.7154 * p[1] + 0.0721 * p[2] : p[plane - 1];
    }
};

bool readGrey(const fs::path& path, Grey* grey) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    grey->rgb.resize(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    grey->width = image.width;
    grey->height = image.height;
    return png_image_finish_read(&image, &white, grey->rgb.data(), 0, nullptr) != 0;
}

// The mean structural similarity of two images of one size, computed as
// scikit-image's structural_similarity does by default: 7x7 uniform
// windows, sample covariances, K1 0.01, K2 0.03, data range 255, averaged
// over the windows that lie wholly inside the image; of one plane.
double ssim(const Grey& a, const Grey& b, size_t plane = 0) {
    constexpr uint32_t kWindow = 7;
    constexpr double kPixels = kWindow * kWindow;
    const double c1 = (0.01 * 255) * (0.01 * 255);
    const double c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    size_t windows = 0;
    for (uint32_t y = 0; y + kWindow <= a.height; ++y) {
        for (uint32_t x = 0; x + kWindow <= a.width; ++x) {
            double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
            for (uint32_t v = y; v < y + kWindow; ++v) {
                for (uint32_t u = x; u < x + kWindow; ++u) {
                    double p = a.at(u, v, plane), q = b.at(u, v, plane);
                    sx += p, sy += q, sxx += p * p, syy += q * q, sxy += p * q;
                }
            }
            double mx = sx / kPixels, my = sy / kPixels;
            double vx = (sxx - sx * mx) / (kPixels - 1), vy = (syy - sy * my) / (kPixels - 1);
            double vxy = (sxy - sx * my) / (kPixels - 1);
            total += ((2 * mx * my + c1) * (2 * vxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++windows;
        }
    }
    return windows == 0 ? 0.0 : total / static_cast<double>(windows);
}

std::string tool() { return std::string(JAVTRG_TOOL); }

// Every example converted with --preview, at its target's size, is
// structurally the image committed for it: in grey, and in each colour, so
// that a change of colour that keeps the grey level shows too. Renderings
// with the same libraries and fonts score 1; a line of text turned by ten
// degrees scores about 0.98, a gradient's bands outlined about 0.93.
// The references are remade with `javtrg convert EXAMPLE -o /dev/null
// --elements DIR --preview tests/data/preview/NAME.png` after a deliberate
// change, and reviewed as pictures.
TEST(PreviewRender, ExamplesLookLikeTheirReferences) {
    constexpr double kThreshold = 0.995;
    javtest::ScratchDir dir("javtrg_preview_render");
    const fs::path source(JAVTRG_SOURCE_DIR);
    for (const char* name : {"gradients", "palette", "pictures", "sample", "search", "shapes", "text", "text_east_asian",
                             "text_search"}) {
        fs::path png = dir.path / (std::string(name) + ".png");
        auto run = javtest::runCommand(tool() + " convert " + (source / "examples" / name).string() + ".json -o /dev/null" +
                                       " --elements " + (dir.path / name).string() + " --preview " + png.string());
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        Grey got;
        Grey want;
        ASSERT_TRUE(readGrey(png, &got)) << name;
        ASSERT_TRUE(readGrey(source / "tests" / "data" / "preview" / png.filename(), &want)) << name;
        // The reference has the target's size.
        ASSERT_EQ(std::pair(got.width, got.height), std::pair(want.width, want.height)) << name;
        const char* planes[] = {"grey", "red", "green", "blue"};
        for (size_t plane = 0; plane < 4; ++plane) EXPECT_GE(ssim(got, want, plane), kThreshold) << name << " " << planes[plane];
    }
}

TEST(PreviewRender, LargeCanvasesAreScaledIntoTheBudgetKeepingTheirAspect) {
    struct Case {
        int64_t width, height, budget, fitWidth, fitHeight;
    } cases[] = {
        {32767, 32767, javtool::kDefaultPixelBudget, 8000, 8000},
        {32767, 1, 100, 100, 1},  // a side never falls below a pixel
        {400, 100, 10000, 200, 50},
    };
    for (const Case& c : cases) {
        int64_t width = 0, height = 0;
        javtool::fitPixelBudget(c.width, c.height, c.budget, &width, &height);
        EXPECT_EQ(std::pair(width, height), std::pair(c.fitWidth, c.fitHeight)) << c.width << "x" << c.height;
    }

    // One point at 40000 reaches the largest canvas: drawn in the budget, with a word.
    javtest::ScratchDir dir("javtrg_preview_budget");
    std::ofstream(dir.path / "far.records", std::ios::binary) << "r,0,0,10,10\na,0,0,0,0,0,300\nl,2\n0,0,40000,40000\n";
    auto run = javtest::runCommand(tool() + " preview " + (dir.path / "far.records").string() + " -o " +
                                   (dir.path / "far.png").string() + " --max-pixels 250000");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("the 32767x32767 canvas is more than the budget of 250000 pixels; rendered scaled down to "
                           "500x500"), std::string::npos) << run.err;
    Grey far;
    ASSERT_TRUE(readGrey(dir.path / "far.png", &far));
    EXPECT_EQ(far.width, 500u);
    EXPECT_LT(far.at(250, 250), 200.0) << "the line crosses the middle";
}

// An element is embedded with no more pixels than it is drawn with, so the
// renderer never decodes more: the sample's 14 KB preview drawn at 30x10
// pixels becomes a few hundred bytes, and still shows.
TEST(PreviewRender, ElementsAreEmbeddedAtMostAtTheSizeTheyAreDrawn) {
    javtest::ScratchDir dir("javtrg_preview_shrink");
    fs::copy_file(fs::path(JAVTRG_SOURCE_DIR) / "tests" / "data" / "preview" / "sample.png", dir.path / "sample.png");
    std::ofstream(dir.path / "element.records", std::ios::binary) << "m,0,0,30,10\nsample.png\nimage/png\n";
    for (const char* format : {"svg", "png"}) {
        auto run = javtest::runCommand(tool() + " preview " + (dir.path / "element.records").string() + " --elements " +
                                       dir.path.string() + " -o " + (dir.path / "element.").string() + format);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    EXPECT_LT(fs::file_size(dir.path / "element.svg"), 4096u);
    Grey grey;
    ASSERT_TRUE(readGrey(dir.path / "element.png", &grey));
    EXPECT_NEAR(grey.at(15, 5), 128.0, 100.0) << "the picture, neither white nor black";
}

// SIGINT and SIGTERM end a conversion whose output is half written without
// leaving its temporary file: the host is held opening an element that is
// a pipe nobody reads.
TEST(PreviewRender, AnInterruptedConversionLeavesNoTemporaryFile) {
    for (const char* signal : {"INT", "TERM"}) {
        javtest::ScratchDir dir(std::string("javtrg_interrupt_") + signal);
        fs::create_directories(dir.path / "elements");
        ASSERT_EQ(javtest::runCommand("mkfifo " + (dir.path / "elements" / "element-0001.png").string()).status, 0);
        // The shell has a job in the background ignore SIGINT: env restores it.
        std::string command = "env --default-signal=INT " + tool() + " convert " + std::string(JAVTRG_SOURCE_DIR) + "/examples/pictures.json -o " +
                              (dir.path / "out.records").string() + " --elements " + (dir.path / "elements").string() +
                              " --preview " + (dir.path / "out.png").string() + " & pid=$!; sleep 1; kill -" + signal +
                              " $pid; sleep 1; kill -9 $pid 2>/dev/null; wait $pid; echo $?";
        auto run = javtest::runCommand(command);
        EXPECT_EQ(run.out, std::string(signal) == "INT" ? "130\n" : "143\n") << run.err;
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path)) left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"elements"}) << signal;
    }
}

}  // namespace
