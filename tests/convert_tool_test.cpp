// SPDX-License-Identifier: MIT
// End to end: `javtrg convert` loads the shipped library and turns each
// bundled example script into exactly its golden record stream, with its
// elements written as files; hostile scripts and outputs are refused with
// one message and nothing written.
// Set JAVTRG_UPDATE_GOLDEN=1 to rewrite the golden files, then review the
// diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/command_runner.h"

namespace {

namespace fs = std::filesystem;

using javtest::readFile;

// A folder of its own for each test, removed with it, so that a test can
// tell that a run left no file behind.
class ConvertTool : public testing::Test {
protected:
    fs::path path(const std::string& name) const { return dir_ / name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name).string();
    }
    size_t files() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    // Runs the tool with `arguments`, standard input from `input`.
    static javtest::CommandResult run(const std::string& arguments, const std::string& input = "/dev/null") {
        return javtest::runCommand(std::string(JAVTRG_TOOL) + " " + arguments + " <" + input);
    }

    javtest::ScratchDir scratch_{std::string("javtrg_tool_") + testing::UnitTest::GetInstance()->current_test_info()->name()};
    const fs::path& dir_ = scratch_.path;
};

size_t lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// The elements a stream names: the two lines after each "m" record, the
// name and the type.
std::set<std::string> namedElements(const std::string& stream) {
    std::set<std::string> names;
    std::istringstream in(stream);
    for (std::string line, name, type; std::getline(in, line);) {
        if (line.rfind("m,", 0) == 0 && std::getline(in, name) && std::getline(in, type)) names.insert(name + " " + type);
    }
    return names;
}

// The files of `dir` (none when it does not exist), each named as a PNG
// element; that they are PNG images the examples' previews show.
std::set<std::string> fileNames(const fs::path& dir) {
    std::set<std::string> names;
    if (fs::exists(dir))
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string() + " image/png");
    return names;
}

// All examples in one batch on four threads: each stream is exactly its
// golden one (the stream the example gives alone), each element it names a
// PNG file in the example's own elements directory.
TEST_F(ConvertTool, EveryExampleMatchesItsGoldenStream) {
    fs::path golden = fs::path(JAVTRG_SOURCE_DIR) / "tests" / "golden";
    bool update = std::getenv("JAVTRG_UPDATE_GOLDEN") != nullptr;
    std::string scripts;
    std::vector<std::string> stems;
    for (const auto& entry : fs::directory_iterator(fs::path(JAVTRG_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".json") continue;
        scripts += " " + entry.path().string();
        stems.push_back(entry.path().stem().string());
    }
    javtest::CommandResult result = run("convert" + scripts + " --out-dir " + path("out").string() + " --elements " +
                           path("elements").string() + " -j 4");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    for (const std::string& stem : stems) {
        fs::path out = path("out") / (stem + ".records"), elements = path("elements") / stem;
        if (update) fs::copy_file(out, golden / (stem + ".records"), fs::copy_options::overwrite_existing);
        EXPECT_EQ(readFile(out), readFile(golden / (stem + ".records"))) << "stream of " << stem << " differs";
        EXPECT_EQ(fileNames(elements), namedElements(readFile(out)))
            << "elements of " << stem;
    }
    EXPECT_FALSE(stems.empty());
}

TEST_F(ConvertTool, StandardInputAndOutputAreDash) {
    javtest::CommandResult result = run("convert - -o -", JAVTRG_SOURCE_DIR "/examples/sample.json");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, readFile(fs::path(JAVTRG_SOURCE_DIR) / "tests" / "golden" / "sample.records"));
}

// Every malformed script gives status 2, one line naming the script and the
// place, and leaves no output file (nor a temporary one) behind.
TEST_F(ConvertTool, MalformedScriptsAreRejectedWithThePlaceAndNoOutput) {
    std::string deepClip = "{\"objects\": [";
    for (int i = 0; i < 30000; ++i) deepClip += "{\"kind\": \"Clip\", \"mode\": 1, \"rectangle\": ";
    deepClip += "{}" + std::string(30000, '}') + "]}";
    struct Case {
        std::string script;
        const char* place;
    } cases[] = {
        {"{\"objects\": [", "byte"},
        {"{\"comment\": 1e400}", "comment: expected a number within the range of a double"},
        {deepClip, "at most 64 levels"},
        {"{\"objects\": [{\"kind\": \"Rectangel\"}]}", "objects[0].kind"},
        {"{\"objects\": [{\"kind\": \"Rect\\nangle\"}]}", "\"Rect\\nangle\""},
        {"{\"objects\": [{\"kind\": \"Rectangle\", \"payload\": \"0g\"}]}", "objects[0].payload"},
        {"{\"objects\": [{\"kind\": \"Polyline\", \"payload\": \"00000000 00000000 4141414141414141\"}]}",
         "objects[0].payload: expected the named fields of a Polyline"},
        {"{\"objects\": [{\"kind\": \"Clip\", \"mode\": 1, \"rectangle\": {\"kind\": \"TextString\", \"payload\": \"41\"}}]}",
         "objects[0].rectangle.payload"},
        {"{\"objects\": [{\"kind\": \"TextString\", \"text\": \"AB\", \"byteLength\": 64}]}", "objects[0].byteLength"},
        {"{\"objects\": [{\"kind\": \"TextString\", \"text\": \"AB\", \"byteLength\": 100000000}]}", "objects[0].byteLength"},
        {"{\"objects\": [{\"kind\": \"SimpleText\", \"byteLength\": 1}]}", "objects[0].byteLength"},
        {"{\"objects\": [{\"kind\": \"FillAtt\", \"gradient\": {\"stops\": [{\"position\": 0}], \"stopCount\": 2}}]}",
         "objects[0].gradient.stopCount"},
        {"{\"target\": {\"colourMode\": 4294967296}}", "target.colourMode"},
        {"{\"target\": {\"sizeX\": \"wide\"}}", "target.sizeX"},
        {"{\"target\": {\"sourceFrame\": [0, 0, 10]}}", "target.sourceFrame"},
        {"{\"session\": {\"currentEncoding\": 1.5}}", "session.currentEncoding"},
        {"{\"target\": {}, \"extra\": 1}", "extra"},
        {"{\"target\": {\"a\\nb\": 1}}", "target[\"a\\nb\"]"},
        {"{\"objects\": [{\"kind\": 4294967296}]}", "objects[0].kind"},
        {"{\"objects\": [{\"kind\": \"FillAtt\", \"pictureRef\": 7}]}", "objects[0].pictureRef"},
        {"{\"pictures\": {\"p\": {\"objects\": [{\"kind\": \"FillAtt\", \"pictureRef\": \"q\"}]}}}",
         "pictures.p.objects[0].pictureRef"},
        {"{\"pictures\": {\"p\": {\"objects\": [], \"image\": {}}}}", "pictures.p.objects"},
    };
    for (const Case& c : cases) {
        std::string script = write("bad.json", c.script);
        javtest::CommandResult result = run("convert " + script + " -o " + path("bad.records").string());
        std::string what = c.script.substr(0, 100);
        EXPECT_EQ(result.status, 2) << what;
        EXPECT_NE(result.err.find(script + ": "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.place), std::string::npos) << what << " gave: " << result.err;
        EXPECT_EQ(lines(result.err), 1u) << result.err;
        EXPECT_EQ(files(), 1u) << what;  // the script alone
    }
}

// A script that converts but looks mistaken draws, with a warning a line.
TEST_F(ConvertTool, SuspiciousScriptsConvertWithWarnings) {
    // Kind 34 is answered with 2 (not a failure); kind 49 and -1 with 1.
    std::string script = write("odd.json",
        "{\"objects\": [{\"kind\": 34}, {\"kind\": 49, \"payload\": \"01020304\"}, {\"kind\": -1},"
        " {\"kind\": \"Circle\", \"radius\": 1, \"radius\": 2}]}");
    javtest::CommandResult result = run("convert " + script);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "o,-2,94,4,4\n");  // the last radius counts
    EXPECT_EQ(lines(result.err), 3u) << result.err;
    EXPECT_NE(result.err.find("objects[1].kind: warning: kind code 49"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("objects[2].kind: warning: kind code -1"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("objects[3].radius: warning: duplicate key"), std::string::npos) << result.err;
}

// A failed object is named by its index and kind, with the host's failed
// operation; the stream written up to it is kept. Several scripts into a
// folder: messages come whole and in the scripts' order, the status is the
// worst; a progress line shows on a terminal only.
TEST_F(ConvertTool, FailuresNameTheObjectAndComeInTheScriptsOrder) {
    std::string failing = write("curve.json",
        "{\"objects\": [{\"kind\": \"Circle\", \"radius\": 1}, {\"kind\": \"OpenCurve\", \"points\": [[0, 0], [1, 1]]}]}");
    javtest::CommandResult result = run("convert " + failing + " -o " + path("curve.records").string());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(failing + ": objects[1] (OpenCurve): the driver failed to draw the object: "
                              "the host's curveToPointList returned nothing"), std::string::npos) << result.err;
    EXPECT_EQ(lines(result.err), 1u) << result.err;
    EXPECT_EQ(readFile(path("curve.records")), "o,-1,95,2,2\n");
    EXPECT_EQ(files(), 2u);  // the script and its stream, no temporary file

    std::string good = (fs::path(JAVTRG_SOURCE_DIR) / "examples" / "sample.json").string();
    std::string bad = write("bad.json", "{\"objects\": [");
    result = run("convert " + failing + " " + bad + " " + good + " --out-dir " + path("mixed").string() + " -j 3");
    EXPECT_EQ(result.status, 2);
    EXPECT_LT(result.err.find(failing + ": objects[1]"), result.err.find(bad + ": byte")) << result.err;
    EXPECT_TRUE(fs::exists(path("mixed") / "curve.records") && fs::exists(path("mixed") / "sample.records"));
    EXPECT_FALSE(fs::exists(path("mixed") / "bad.records"));

    std::string command = "script -qec '" + std::string(JAVTRG_TOOL) + " convert " + good + " --out-dir " +
                          path("tty").string() + "' /dev/null";
    javtest::CommandResult terminal = javtest::runCommand(command);
    EXPECT_NE(terminal.out.find("1 of 1 scripts converted"), std::string::npos) << terminal.out;
}

// Outputs that cannot be written as asked are refused before anything is
// read or written: the script itself, by any path or link or through
// standard input; an existing directory; several scripts without a folder;
// a script without a name; two scripts of one name; a folder with -o; a
// stream that would replace a script of the batch.
TEST_F(ConvertTool, OutputsThatCannotBeWrittenAreRefusedBeforeAnything) {
    const std::string text = "{\"objects\": [{\"kind\": \"Rectangle\", \"x1\": 10, \"y1\": 10}]}";
    std::string script = write("script.json", text);
    fs::create_symlink(script, path("link.json"));
    fs::create_hard_link(script, path("hard.json"));
    fs::create_directory(path("folder"));
    std::string twin = write("folder/script.json", "{}");
    std::string victim = write("b.records", "{}");
    const std::string out = " --out-dir " + path("out").string();
    struct Case {
        std::string arguments;
        std::string message;
        std::string input = "/dev/null";
    } cases[] = {
        {script + " -o " + script, script + ": is "},
        {script + " -o " + (dir_ / "." / "script.json").string(), "/./script.json: is "},
        {script + " -o " + path("link.json").string(), "link.json: is "},
        {script + " -o " + path("hard.json").string(), "hard.json: is "},
        {script + " -o " + path("folder").string(), "folder: is "},
        {"- -o " + script, script + ": is ", script},
        {script + " " + twin, "need --out-dir"},
        {script + " -" + out, "-: expected the file of a script"},
        {script + " " + twin + out, "would both write"},
        {script + " -o x" + out, "excludes"},
        {script + " " + victim + " --out-dir " + dir_.string(), "is the script"},
    };
    const size_t before = files();
    for (const Case& c : cases) {
        javtest::CommandResult result = run("convert " + c.arguments, c.input);
        EXPECT_EQ(result.status, 2) << c.arguments;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(lines(result.err), 1u) << result.err;
        EXPECT_EQ(readFile(script), text);
        EXPECT_EQ(readFile(victim), "{}");
        EXPECT_EQ(files(), before) << c.arguments;
    }
}

TEST_F(ConvertTool, UsageErrorsExitWithTwoAndVersionNamesTheLibrary) {
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("convert").status, 2);
    EXPECT_EQ(run("convert " + path("missing.json").string()).status, 2);
    EXPECT_EQ(run("convert " + dir_.string()).status, 2);
    EXPECT_EQ(run("convert --help").status, 0);
    std::string version = run("--version").out;
    EXPECT_EQ(version.rfind("javtrg ", 0), 0u) << version;
    EXPECT_NE(version.find("\nlibrary " + fs::canonical(JAVTRG_LIBRARY).string() + " (version "), std::string::npos)
        << version;
    EXPECT_EQ(run("--library /nonexistent/libjavtrg.so --version").status, 1);

    // Every usage line of --help stands in README as it stands there.
    javtest::CommandResult help = run("--help");
    EXPECT_EQ(help.status, 0);
    const std::string readme = readFile(fs::path(JAVTRG_SOURCE_DIR) / "README.md");
    std::istringstream lines(help.out.substr(help.out.find("Usage lines:")));
    int usageLines = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  javtrg ", 0) != 0) continue;
        ++usageLines;
        EXPECT_NE(readme.find("\n" + line.substr(2) + "\n"), std::string::npos) << line;
    }
    EXPECT_EQ(usageLines, 5);
}

}  // namespace
