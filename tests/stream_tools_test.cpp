// SPDX-License-Identifier: MIT
// End to end: `javtrg check` and `javtrg preview` on record-stream files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;
using javtest::runCommand;

const std::string kTool = JAVTRG_TOOL;

// The reader accepts every golden stream (the examples' previews); here the
// command's report and exit status.
TEST(CheckTool, NamesTheFirstMalformedRecordOrSkipsItWhenLenient) {
    javtest::ScratchDir dir("javtrg_check");
    fs::path stream = dir.path / "bad.records";
    std::ofstream(stream, std::ios::binary) << "r,1,2,3,4\nr,1,2\nt,-1,-1,-1,-1,-1,-1,0\n";
    auto strict = runCommand(kTool + " check " + stream.string());
    EXPECT_EQ(strict.status, 2);
    EXPECT_EQ(strict.err, "javtrg: " + stream.string() + ": line 2: the 'r' record has 2 fields; expected 4\n");
    EXPECT_EQ(strict.out, "");

    auto lenient = runCommand(kTool + " check --lenient - < " + stream.string());
    EXPECT_EQ(lenient.status, 0) << lenient.err;
    EXPECT_EQ(lenient.out, "standard input: 2 records (r 1, t 1); extent 1,2 to 4,6; 1 malformed record skipped\n");
    EXPECT_NE(lenient.err.find("line 2: the 'r' record has 2 fields; expected 4; record skipped"), std::string::npos);
}

TEST(PreviewTool, WritesEachFormatAndNoFileWhenItFails) {
    javtest::ScratchDir dir("javtrg_preview");
    fs::path stream = dir.path / "picture.records";
    std::ofstream(stream, std::ios::binary) << "t,-1,-1,-1,0,128,0,0\nr,0,0,40,30\n";
    auto svg = runCommand(kTool + " preview " + stream.string());
    EXPECT_EQ(svg.status, 0) << svg.err;
    EXPECT_NE(svg.out.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(svg.out.find(" width=\"40\" height=\"30\""), std::string::npos);
    struct Output {
        const char* name;
        std::string start;
    } outputs[] = {
        {"picture.svg", "<?xml version=\"1.0\""},
        {"picture.html", "<!DOCTYPE html>"},
        {"picture.png", "\x89PNG\r\n\x1a\n"},
    };
    for (const Output& output : outputs) {
        auto run = runCommand(kTool + " preview " + stream.string() + " -o " + (dir.path / output.name).string());
        EXPECT_EQ(run.status, 0) << output.name << "\n" << run.err;
        EXPECT_EQ(javtest::readFile(dir.path / output.name).rfind(output.start, 0), 0u) << output.name;
    }
    auto size = runCommand(kTool + " preview --size 320x200 " + stream.string());
    EXPECT_NE(size.out.find(" width=\"320\" height=\"200\""), std::string::npos);

    fs::path malformed = dir.path / "malformed.records";
    std::ofstream(malformed, std::ios::binary) << "r,0,0,40,30\nu,2,65\n";
    struct Failure {
        std::string arguments;
        const char* message;
    } failures[] = {
        {malformed.string() + " -o " + (dir.path / "out.png").string(), "line 2: the 'u' record gives 2 units but lists 1"},
        {stream.string() + " -o " + stream.string(), "would overwrite its own stream"},
        {stream.string() + " -o " + (dir.path / "out.pdf").string(), "expected a preview file ending in .svg, .html or .png"},
        {stream.string() + " --size 0x10", "expected WxH"},
        {stream.string() + " --elements " + (dir.path / "none").string(), "the elements directory does not exist"},
    };
    for (const Failure& failure : failures) {
        auto run = runCommand(kTool + " preview " + failure.arguments);
        EXPECT_EQ(run.status, 2) << failure.arguments;
        EXPECT_NE(run.err.find(failure.message), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::exists(stream));
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        EXPECT_EQ(entry.path().string().find("out."), std::string::npos) << "left behind: " << entry.path();
    }
    EXPECT_EQ(std::count_if(fs::directory_iterator(dir.path), fs::directory_iterator(), [](const auto&) { return true; }), 5);
}

}  // namespace
