// The picture sample converted with its elements written as files: every
// element its record stream names is a PNG that libpng reads back, and no
// other file is left beside them.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;

TEST(PicturesSample, EveryElementIsAPngThatReadsBack) {
    javtest::ScratchDir scratch("javtrg_pictures");
    const fs::path& dir = scratch.path;
    fs::path records = dir / "pictures.records";
    std::string command = std::string(JAVTRG_TOOL) + " convert " + JAVTRG_SOURCE_DIR + "/examples/pictures.json -o " +
                          records.string() + " --elements " + dir.string();
    ASSERT_EQ(std::system(command.c_str()), 0);

    // The two lines after each "m" record name its element.
    std::ifstream stream(records);
    std::set<std::string> named;
    for (std::string line, name, type; std::getline(stream, line);) {
        if (line.rfind("m,", 0) != 0) continue;
        std::getline(stream, name);
        std::getline(stream, type);
        EXPECT_EQ(type, "image/png") << name;
        named.insert(name);
    }
    EXPECT_EQ(named.size(), 9u);

    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path() == records) continue;
        files.insert(entry.path().filename().string());
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, entry.path().c_str())) << entry.path();
        image.format = PNG_FORMAT_RGBA;
        std::string pixels(PNG_IMAGE_SIZE(image), '\0');
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << entry.path();
        EXPECT_GT(image.width * image.height, 0u) << entry.path();
    }
    EXPECT_EQ(files, named);
}

}  // namespace
