// SPDX-License-Identifier: MIT
// The reference renderer on corpus files that need its repairs, and on
// files it must refuse with one line.
#include <algorithm>

#include <gtest/gtest.h>

#include "tests/command_runner.h"
#include "tools/fidelity/ink_score.h"

namespace {

TEST(ReferenceRender, DrawsRepairedFilesAndRefusesTheUnreadable) {
    struct Case {
        const char* file;  // under tests/data/corpus, or a path
        int status;
        uint64_t minimumInk;  // pixels of ink drawn, when drawn
        const char* message;  // part of the one line of a refusal
    };
    const Case cases[] = {
        // libmspub sizes text in inches: drawn as points it is a few pixels.
        {"publisher/Simple.pub", 0, 5000, ""},
        // wmf2svg writes Latin-1 bytes and a bare "&" into its SVG (the
        // fidelity check also fails on p0000016.wmf without the repair).
        {"wmf/formula3.wmf", 0, 2000, ""},
        {"publisher/SampleBrochure.pub", 2, 0, "libmspub refused it"},
        {"visio/recursion-cycle.vsdx", 2, 0, "page 1 cannot be drawn"},
        {"../LICENSES.md", 2, 0, "not a drawing or metafile"},
    };
    javtest::ScratchDir scratch("reference_render");
    std::string png = (scratch.path / "reference.png").string();
    for (const Case& c : cases) {
        std::string file = std::string(JAVTRG_SOURCE_DIR) + "/tests/data/corpus/" + c.file;
        javtest::CommandResult run =
            javtest::runCommand(std::string(JAVTRG_FIDELITY_REFERENCE) + " '" + file + "' -o " + png);
        ASSERT_EQ(run.status, c.status) << c.file << ": " << run.err;
        if (c.status != 0) {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << c.file << ": " << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.file << ": " << run.err;
            continue;
        }
        javfidelity::GreyImage image;
        std::string error;
        ASSERT_TRUE(javfidelity::readGreyPng(png, &image, &error)) << error;
        EXPECT_GE(javfidelity::inkScore(image, image).referenceInk, c.minimumInk) << c.file;
    }
}

}  // namespace
