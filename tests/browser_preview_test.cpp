// SPDX-License-Identifier: MIT
// End to end in a browser: the HTML preview rendered by headless Chromium
// draws what the tool's own PNG draws (whose look the examples' references
// pin): the bundled sample with its fills, a gradient the viewer draws and
// bands clipped to the sun; a highlighted hit; runs given a width. The
// screenshot and the PNG are read with libpng and compared pixel by pixel,
// and, where text is, by the columns its ink spans.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<png_byte> rgb;

    const png_byte* at(uint32_t x, uint32_t y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Image readPng(const fs::path& path) {
    Image shot;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return shot;
    image.format = PNG_FORMAT_RGB;
    shot.rgb.resize(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    if (png_image_finish_read(&image, &white, shot.rgb.data(), 0, nullptr) == 0) return shot;
    shot.width = image.width;
    shot.height = image.height;
    return shot;
}

std::string chromium() {
    javtest::CommandResult found = javtest::runCommand("command -v chromium || command -v chromium-browser");
    return found.status == 0 ? found.out.substr(0, found.out.find('\n')) : "";
}

// `stream` previewed as an HTML page and screenshot by `browser` at the
// stream's size, and previewed as a PNG by the tool.
std::pair<Image, Image> shootAndRender(const std::string& browser, const fs::path& dir, const std::string& name,
                                       const std::string& records) {
    fs::path stream = dir / (name + ".records");
    std::ofstream(stream, std::ios::binary) << records;
    const std::string tool = std::string(JAVTRG_TOOL) + " preview " + stream.string() + " -o ";
    fs::path page = dir / (name + ".html"), shot = dir / (name + "-browser.png"), png = dir / (name + ".png");
    EXPECT_EQ(javtest::runCommand(tool + page.string()).status, 0);
    auto rendered = javtest::runCommand(tool + png.string());
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    Image ours = readPng(png);
    // Headless, with nothing that reaches the network, in a fresh profile.
    auto run = javtest::runCommand(
        "timeout 120 " + browser +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --hide-scrollbars --force-device-scale-factor=1"
        " --user-data-dir=" + (dir / ("profile-" + name)).string() + " --screenshot=" + shot.string() +
        " --window-size=" + std::to_string(ours.width) + "," + std::to_string(ours.height) + " file://" + page.string());
    EXPECT_EQ(run.status, 0) << run.err;
    return {readPng(shot), ours};
}

// The share of pixels whose colours differ by more than `tolerance` in a
// channel.
double differing(const Image& a, const Image& b, int tolerance) {
    auto apart = [&](size_t i) { return std::abs(int{a.rgb[i]} - int{b.rgb[i]}) > tolerance; };
    size_t count = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) count += apart(i) || apart(i + 1) || apart(i + 2);
    return static_cast<double>(count) / static_cast<double>(size_t{a.width} * a.height);
}

// The first and last columns with dark ink in the rows of a line.
std::pair<int, int> inkColumns(const Image& image, uint32_t top, uint32_t bottom) {
    std::pair<int, int> span{-1, -1};
    for (uint32_t x = 0; x < image.width; ++x) {
        for (uint32_t y = top; y < bottom && y < image.height; ++y) {
            if (image.at(x, y)[1] < 128) {
                if (span.first < 0) span.first = static_cast<int>(x);
                span.second = static_cast<int>(x);
                break;
            }
        }
    }
    return span;
}

TEST(BrowserPreview, ChromiumDrawsWhatThePngDraws) {
    std::string browser = chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Chromium is not installed (Debian package chromium, which scripts/bootstrap installs)";
    }
    javtest::ScratchDir dir("javtrg_browser");
    struct Case {
        const char* name;
        std::string records;
        double differing;  // the share of pixels that may differ: glyphs are smoothed differently
        std::vector<uint32_t> lines;  // the rows that bound each line of text
    } cases[] = {
        {"sample", javtest::readFile(fs::path(JAVTRG_SOURCE_DIR) / "tests" / "golden" / "sample.records"), 0.005, {}},
        // A hit the driver highlighted: its characters under a "c" of the
        // highlight colour, block glyphs on the second line.
        {"hit",
         "r,0,0,200,80\ns,10,10,180,60,0,0\ny,\nc,sansserif,20,0,0,0,0\nu,9,70,105,110,100,32,116,104,105,115\n"
         "y,\nc,sansserif,40,0,220,20,60\nu,4,9608,9608,9608,9608\nc,sansserif,20,0,0,0,0\nu,4,32,101,110,100\ne,\n",
         0.02, {}},
        // Runs spaced out and squeezed to their widths, each followed by an
        // X. (Headless Chromium draws nothing in some short windows, 300x90
        // among them.)
        {"runs",
         "a,255,255,255,0,0,1\nr,0,0,300,200\ns,10,10,280,70,0,0\nc,Arial,20,0,0,0,0\nb,4,87,105,100,101,220\nu,1,88\n"
         "y,\nb,12,83,113,117,101,101,122,101,100,32,114,117,110,60\nu,1,88\ne,\n",
         0.03, {10, 34, 58}},
    };
    for (const Case& c : cases) {
        auto [inBrowser, inTool] = shootAndRender(browser, dir.path, c.name, c.records);
        ASSERT_GT(inTool.width, 0u) << c.name;
        ASSERT_EQ(std::pair(inBrowser.width, inBrowser.height), std::pair(inTool.width, inTool.height)) << c.name;
        EXPECT_LT(differing(inBrowser, inTool, 48), c.differing) << c.name;
        for (size_t i = 0; i + 1 < c.lines.size(); ++i) {
            auto browserInk = inkColumns(inBrowser, c.lines[i], c.lines[i + 1]);
            auto toolInk = inkColumns(inTool, c.lines[i], c.lines[i + 1]);
            EXPECT_NEAR(browserInk.first, toolInk.first, 2) << c.name << " line " << i;
            EXPECT_NEAR(browserInk.second, toolInk.second, 4) << c.name << " line " << i;
        }
        if (!c.lines.empty())
            EXPECT_GT(inkColumns(inTool, c.lines[0], c.lines[1]).second, 230) << "four letters over 220 pixels, the X after";
    }
}

}  // namespace
