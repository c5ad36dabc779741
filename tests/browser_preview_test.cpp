// End to end in a browser: the preview of the bundled sample, and of a
// stream with a highlighted hit, rendered by headless Chromium; the
// screenshot's pixels are read with libpng and checked where the picture
// has a filled rectangle, a gradient's two ends, the bands clipped to the
// sun, and the hit. Runs given a width reach as far in Chromium as in the
// tool's own PNG.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;

struct Pixel {
    int red;
    int green;
    int blue;
};

struct Screenshot {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<png_byte> rgb;

    Pixel at(uint32_t x, uint32_t y) const {
        const png_byte* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

bool readPng(const fs::path& path, Screenshot* shot) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    shot->width = image.width;
    shot->height = image.height;
    shot->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, shot->rgb.data(), 0, nullptr) != 0;
}

std::string chromium() {
    for (const char* name : {"chromium", "chromium-browser"}) {
        if (javtest::runCommand(std::string("command -v ") + name).status == 0) return name;
    }
    return {};
}

// Previews `stream` as an HTML page and screenshots it at its own size.
Screenshot shoot(const std::string& browser, const javtest::ScratchDir& dir, const fs::path& stream, int width,
                 int height) {
    fs::path page = dir.path / (stream.stem().string() + ".html");
    fs::path shot = dir.path / (stream.stem().string() + ".png");
    auto preview = javtest::runCommand(std::string(JAVTRG_TOOL) + " preview " + stream.string() + " -o " + page.string());
    EXPECT_EQ(preview.status, 0) << preview.err;
    // Headless, with nothing that reaches the network, in a fresh profile.
    std::string command = browser +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --hide-scrollbars --force-device-scale-factor=1"
        " --user-data-dir=" + (dir.path / ("profile-" + stream.stem().string())).string() +
        " --screenshot=" + shot.string() + " --window-size=" + std::to_string(width) + "," + std::to_string(height) +
        " file://" + page.string();
    auto run = javtest::runCommand("timeout 120 " + command);
    EXPECT_EQ(run.status, 0) << run.err;
    Screenshot screenshot;
    EXPECT_TRUE(readPng(shot, &screenshot)) << "no screenshot at " << shot << "\n" << run.err;
    return screenshot;
}

::testing::AssertionResult near(const Pixel& got, const Pixel& want, int tolerance) {
    if (std::abs(got.red - want.red) <= tolerance && std::abs(got.green - want.green) <= tolerance &&
        std::abs(got.blue - want.blue) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "pixel is " << got.red << "," << got.green << "," << got.blue << ", expected "
                                         << want.red << "," << want.green << "," << want.blue;
}

TEST(BrowserPreview, ChromiumDrawsTheSampleAndAHighlightedHit) {
    std::string browser = chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Chromium is not installed (Debian package chromium, which scripts/bootstrap installs)";
    }
    javtest::ScratchDir dir("javtrg_browser");
    Screenshot sample = shoot(browser, dir, fs::path(JAVTRG_SOURCE_DIR) / "tests" / "golden" / "sample.records", 384, 288);
    ASSERT_EQ(sample.width, 384u);
    ASSERT_EQ(sample.height, 288u);
    // Inside the house's wall, "r,67,182,77,67" in 232,192,125.
    EXPECT_TRUE(near(sample.at(75, 200), {232, 192, 125}, 4));
    // The sky, "t" form 0 at 90 degrees: sky blue at its right edge, white at its left.
    EXPECT_TRUE(near(sample.at(380, 150), {136, 206, 235}, 6));
    EXPECT_TRUE(near(sample.at(4, 150), {254, 255, 255}, 6));
    // The sun's first band reaches 48 pixels from its centre (317,58), its
    // clip only 34: 40 pixels out lies the sky, 32 pixels out the third band.
    EXPECT_TRUE(near(sample.at(357, 58), {143, 210, 236}, 8));
    EXPECT_TRUE(near(sample.at(349, 58), {255, 171, 0}, 6));

    // A hit the driver highlighted: its characters under a "c" of the highlight colour.
    fs::path hit = dir.path / "hit.records";
    std::ofstream(hit, std::ios::binary) << "r,0,0,200,80\n"
                                            "s,10,10,180,60,0,0\ny,\nc,sansserif,20,0,0,0,0\n"
                                            "u,9,70,105,110,100,32,116,104,105,115\n"
                                            "y,\nc,sansserif,40,0,220,20,60\nu,4,9608,9608,9608,9608\n"
                                            "c,sansserif,20,0,0,0,0\nu,4,32,101,110,100\ne,\n";
    Screenshot highlighted = shoot(browser, dir, hit, 200, 80);
    ASSERT_EQ(highlighted.width, 200u);
    // The second line's baseline lies at 10 + 24 + 32; the block glyphs reach well above it.
    EXPECT_TRUE(near(highlighted.at(20, 56), {220, 20, 60}, 6));

    // Runs spaced out and squeezed to their widths, each followed by an X:
    // the ink of each line spans the same columns in the browser and in
    // the PNG. (Headless
    // Chromium draws nothing in some short windows, 300x90 among them.)
    fs::path runs = dir.path / "runs.records";
    std::ofstream(runs, std::ios::binary) << "a,255,255,255,0,0,1\nr,0,0,300,200\ns,10,10,280,70,0,0\nc,Arial,20,0,0,0,0\n"
                                             "b,4,87,105,100,101,220\nu,1,88\ny,\nb,12,83,113,117,101,101,122,101,100,32,"
                                             "114,117,110,60\nu,1,88\ne,\n";
    Screenshot browserRuns = shoot(browser, dir, runs, 300, 200);
    fs::path png = dir.path / "runs-tool.png";
    auto rendered = javtest::runCommand(std::string(JAVTRG_TOOL) + " preview " + runs.string() + " -o " + png.string());
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    Screenshot toolRuns;
    ASSERT_TRUE(readPng(png, &toolRuns));
    // The first and last columns with ink in the rows of a line.
    auto inkColumns = [](const Screenshot& shot, uint32_t top, uint32_t bottom) {
        std::pair<int, int> span{-1, -1};
        for (uint32_t x = 0; x < shot.width; ++x) {
            for (uint32_t y = top; y < bottom && y < shot.height; ++y) {
                if (shot.at(x, y).red < 128) {
                    if (span.first < 0) span.first = static_cast<int>(x);
                    span.second = static_cast<int>(x);
                    break;
                }
            }
        }
        return span;
    };
    for (auto [top, bottom] : {std::pair<uint32_t, uint32_t>{10, 34}, {34, 58}}) {
        auto inBrowser = inkColumns(browserRuns, top, bottom);
        auto inTool = inkColumns(toolRuns, top, bottom);
        EXPECT_NEAR(inBrowser.first, inTool.first, 2) << "line at " << top;
        EXPECT_NEAR(inBrowser.second, inTool.second, 4) << "line at " << top;
    }
    EXPECT_GT(inkColumns(toolRuns, 10, 34).second, 230) << "the four letters are spread over 220 pixels, the X after";
}

}  // namespace
