// End to end: `javtrg convert` loads the shipped library and turns each
// bundled example script into exactly its golden record stream. Set
// JAVTRG_UPDATE_GOLDEN=1 to rewrite the golden files, then review the diff.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct RunResult {
    int status;
    std::string errors;
};

// Runs the tool with `arguments`; stderr is captured into the result.
RunResult runTool(const std::string& arguments) {
    fs::path errors = fs::temp_directory_path() / ("javtrg_stderr_" + std::to_string(::getpid()));
    std::string command = std::string(JAVTRG_TOOL) + " " + arguments + " 2>" + errors.string();
    int raw = std::system(command.c_str());
    RunResult result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(errors)};
    fs::remove(errors);
    return result;
}

fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
}

std::string writeScript(const std::string& name, const std::string& text) {
    fs::path path = scratch(name);
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST(ConvertTool, EveryExampleMatchesItsGoldenStream) {
    fs::path examples = fs::path(JAVTRG_SOURCE_DIR) / "examples";
    fs::path golden = fs::path(JAVTRG_SOURCE_DIR) / "tests" / "golden";
    bool update = std::getenv("JAVTRG_UPDATE_GOLDEN") != nullptr;
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".json") continue;
        fs::path out = scratch(entry.path().stem().string() + ".records");
        RunResult run = runTool("convert " + entry.path().string() + " -o " + out.string());
        ASSERT_EQ(run.status, 0) << entry.path() << "\n" << run.errors;
        fs::path expected = golden / (entry.path().stem().string() + ".records");
        if (update) fs::copy_file(out, expected, fs::copy_options::overwrite_existing);
        EXPECT_EQ(readFile(out), readFile(expected)) << "stream of " << entry.path() << " differs from " << expected;
        fs::remove(out);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST(ConvertTool, MalformedScriptsAreRejectedWithThePlaceAndNoOutput) {
    struct Case {
        const char* script;
        const char* place;
    } cases[] = {
        {"{\"objects\": [", "byte"},
        {"{\"objects\": [{\"kind\": \"Rectangel\"}]}", "objects[0].kind"},
        {"{\"objects\": [{\"kind\": \"Rectangle\", \"payload\": \"0g\"}]}", "objects[0].payload"},
        {"{\"target\": {\"colourMode\": 4294967296}}", "target.colourMode"},
        {"{\"target\": {\"sizeX\": \"wide\"}}", "target.sizeX"},
        {"{\"target\": {\"sourceFrame\": [0, 0, 10]}}", "target.sourceFrame"},
        {"{\"session\": {\"currentEncoding\": 1.5}}", "session.currentEncoding"},
        {"{\"target\": {}, \"extra\": 1}", "extra"},
        {"{\"objects\": [{\"kind\": 4294967296}]}", "objects[0].kind"},
        {"{\"objects\": [{\"kind\": \"FillAtt\", \"pictureRef\": 7}]}", "objects[0].pictureRef"},
        {"{\"pictures\": {\"p\": {\"objects\": [{\"kind\": \"FillAtt\", \"pictureRef\": \"q\"}]}}}",
         "pictures.p.objects[0].pictureRef"},
        {"{\"pictures\": {\"p\": {\"objects\": [], \"image\": {}}}}", "pictures.p.objects"},
    };
    for (const Case& c : cases) {
        std::string script = writeScript("bad.json", c.script);
        fs::path out = scratch("bad.records");
        RunResult run = runTool("convert " + script + " -o " + out.string());
        EXPECT_EQ(run.status, 2) << c.script;
        EXPECT_NE(run.errors.find(script), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(c.place), std::string::npos) << c.script << " gave: " << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_FALSE(fs::exists(out)) << c.script;
        EXPECT_FALSE(fs::exists(out.string() + ".partial")) << c.script;
        fs::remove(script);
    }
}

TEST(ConvertTool, GenericObjectsPassThroughAndUnknownKindsWriteNothing) {
    // Kind 34 is answered with 2 (not a failure); kind 49 and -1 with 1.
    std::string script = writeScript("generic.json",
        "{\"objects\": [{\"kind\": 34}, {\"kind\": 49, \"payload\": \"01020304\"}, {\"kind\": -1}]}");
    fs::path out = scratch("generic.records");
    RunResult run = runTool("convert " + script + " -o " + out.string());
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(readFile(out), "");
    fs::remove(out);
    fs::remove(script);
}

TEST(ConvertTool, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runTool("").status, 2);
    EXPECT_EQ(runTool("convert").status, 2);
    EXPECT_EQ(runTool("convert /nonexistent/script.json").status, 2);
    EXPECT_EQ(runTool("convert --help").status, 0);
}

}  // namespace
