// SPDX-License-Identifier: MIT
// End to end: hostile inputs of every command are refused within the stated
// limits, each with its exit status and one message naming the cause (and
// the option that raises a limit), and a refused input leaves no output;
// the peak memory of convert on the largest inputs stays within its bound.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/command_runner.h"

extern char** environ;

// Sanitizers keep freed memory in quarantine: their peaks say nothing of
// the tool's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define JAVTRG_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define JAVTRG_SANITIZED 1
#endif
#endif

namespace {

namespace fs = std::filesystem;

const std::string kSource = JAVTRG_SOURCE_DIR;

// {dir} in a command stands for the case's own folder.
std::string expand(std::string text, const std::string& dir) {
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir);
    return text;
}

// A script of one Raster, with or without the target info it needs.
std::string raster(bool withInfo) {
    std::string info = R"("target":{"targetInfo":{"pixelWidth":100,"pixelHeight":100,"dpiX":96,"dpiY":96}},)";
    return "{" + (withInfo ? info : "") +
           R"("objects":[{"kind":"Raster","x0":1,"y0":9,"x1":5,"y1":9,"x2":1,"y2":4,)"
           R"("image":{"width":1,"height":1,"fill":"#FF0000"}}]})";
}

// A picture that fills its rectangle with itself.
const char* kSelfNested =
    R"({"target":{"targetInfo":{"pixelWidth":100,"pixelHeight":100,"dpiX":96,"dpiY":96}},
        "pictures":{"me":{"objects":[{"kind":"FillAtt","fillStyle":4,"pictureRef":"me"},
                                     {"kind":"Rectangle","x0":0,"y0":10,"x1":10,"y1":0}]}},
        "objects":[{"kind":"FillAtt","fillStyle":4,"pictureRef":"me"},{"kind":"Rectangle","x0":0,"y0":10,"x1":10,"y1":0}]})";

struct HostileCase {
    const char* name;
    std::string script;  // written to {dir}/in.json when not empty
    std::string input;   // standard input
    std::string command; // the tool's arguments
    int status;
    std::string message;  // a part of standard error
};

TEST(ToolLimits, HostileInputsAreRefusedWithTheirCauseAndLeaveNoOutput) {
    const std::string wmf = kSource + "/tests/data/corpus/wmf/2doorvan.wmf";
    const std::string longLine(100000, 'x');
    const std::vector<HostileCase> cases = {
        {"endless device", "", "", "convert /dev/zero --max-input-bytes 1000000 -o {dir}/out", 2,
         "/dev/zero: larger than the input limit of 1000000 bytes (--max-input-bytes raises it)"},
        {"long standard input", "", std::string(2000000, ' '), "convert - --max-input-bytes 1000000 -o {dir}/out", 2,
         "standard input: larger than the input limit of 1000000 bytes"},
        {"drawing past the input limit", "", "", "convert " + wmf + " --max-input-bytes 100 -o {dir}/out", 2,
         "larger than the input limit of 100 bytes"},
        {"zero byte and garbage after the script", std::string("{\"objects\":[]}\0garbage", 22), "",
         "convert {dir}/in.json -o {dir}/out", 2, "in.json: byte 14: expected text without zero bytes"},
        {"trailing bytes", "{\"objects\":[]} {}", "", "convert {dir}/in.json -o {dir}/out", 2, "expected well-formed JSON"},
        {"size beyond the host field", R"({"target":{"sizeX":-1e308}})", "", "convert {dir}/in.json -o {dir}/out", 2,
         "target.sizeX: expected a size in inches from 0 to 1000000, not -1e+308"},
        {"coordinate beyond 32 bits", R"({"objects":[{"kind":"Rectangle","x0":1.8e23}]})", "",
         "convert {dir}/in.json -o {dir}/out", 2, "objects[0].x0: expected a signed 32-bit integer (-2147483648 to "
                                                  "2147483647), not 1.8e+23, a number beyond that range"},
        {"fraction for an integer", R"({"objects":[{"kind":"Rectangle","x0":2.5}]})", "", "convert {dir}/in.json -o {dir}/out", 2,
         "not 2.5, a fraction"},
        {"invalid UTF-8 is escaped", "{\"objects\":[{\"kind\":\"Rect\xFF\"}]}", "", "convert {dir}/in.json -o {dir}/out", 2,
         "\\xFF"},
        {"points past the limit", R"({"objects":[{"kind":"Polygon","points":[[0,0],[1,1],[2,0],[3,3]]}]})", "",
         "convert {dir}/in.json --max-points 3 -o {dir}/out", 2,
         "objects[0].points[3]: expected at most 3 points in an object (--max-points raises the limit)"},
        {"objects past the limit", R"({"objects":[{"kind":4},{"kind":4},{"kind":4}]})", "",
         "convert {dir}/in.json --max-objects 2 -o {dir}/out", 2,
         "objects[2]: expected at most 2 objects in an array (--max-objects raises the limit)"},
        {"truncated metafile", "", "", "sh -c 'head -c 300 " + wmf + " > {dir}/cut.wmf' && $TOOL convert {dir}/cut.wmf -o {dir}/out",
         2, "cut.wmf: libwmf stopped at byte 300"},
        {"garbage drawing", std::string("\xD0\xCF\x11\xE0garbage", 11), "", "convert {dir}/in.json -o {dir}/out", 2,
         "not an object script, nor a drawing of a format tried"},
        {"script name of dots in a batch", "{}", "", "sh -c 'cp {dir}/in.json {dir}/...json' && $TOOL convert {dir}/...json "
         "--out-dir {dir}/out --elements {dir}/out", 2, "a name of dots only names no stream or element folder"},
        {"line without end in check", "", longLine, "check - --max-line-bytes 1000", 2,
         "standard input: line 1: longer than the line limit of 1000 bytes (--max-line-bytes raises it)"},
        {"line without end in a lenient preview", "", "s,1,2,3,4\n" + longLine, "preview - --lenient --max-line-bytes 1000 -o {dir}/out.svg",
         2, "line 2: longer than the line limit of 1000 bytes"},
        // The driver stops, so the stream written so far is kept: status 1.
        {"raster without targetInfo", raster(false), "", "convert {dir}/in.json -o {dir}/kept", 1,
         "the driver failed to draw the object: the script gives no target.targetInfo"},
        {"pictures nested too deep", kSelfNested, "", "convert {dir}/in.json -o {dir}/kept", 1,
         "the fill pictures nest deeper than the driver converts (16 conversions inside one another)"},
        {"element on a full disk", raster(true), "",
         "sh -c 'mkdir {dir}/e && ln -s /dev/full {dir}/e/element-0001.png' && $TOOL convert {dir}/in.json --elements {dir}/e -o {dir}/kept", 1,
         "the host's exportRaster reported failure (" + std::string("{dir}") + "/e/element-0001.png: No space left on device)"},
    };
    for (const HostileCase& c : cases) {
        javtest::ScratchDir scratch("javtrg_limits");
        const std::string dir = scratch.path.string();
        if (!c.script.empty()) std::ofstream(scratch.path / "in.json", std::ios::binary) << c.script;
        std::ofstream(scratch.path / "stdin", std::ios::binary) << c.input;
        std::string command = expand(c.command, dir);
        if (command.find("$TOOL") == std::string::npos) command = "$TOOL " + command;
        command = "TOOL=" + std::string(JAVTRG_TOOL) + "; " + command + " <" + dir + "/stdin";
        javtest::CommandResult result = javtest::runCommand(command);
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
        EXPECT_NE(result.err.find(expand(c.message, dir)), std::string::npos) << c.name << "\n" << result.err;
        EXPECT_EQ(result.err.find('\xFF'), std::string::npos) << c.name;
        EXPECT_FALSE(fs::exists(scratch.path / "out")) << c.name;
        EXPECT_FALSE(fs::exists(scratch.path / "out.svg")) << c.name;
        // Nothing is left half-written beside the output.
        for (const auto& entry : fs::directory_iterator(scratch.path))
            EXPECT_EQ(entry.path().filename().string().find(".XXX"), std::string::npos) << c.name;
    }
}

// The peak resident memory of one run of the tool, in bytes.
long peakMemory(const std::vector<std::string>& arguments, int* status) {
    std::vector<char*> argv;
    std::string tool = JAVTRG_TOOL;
    argv.push_back(tool.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int raw = 0;
    struct rusage usage {};
    if (wait4(child, &raw, 0, &usage) != child) return -1;
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return usage.ru_maxrss * 1024L;
}

// README states it: convert's peak memory is at most 64 MiB, plus five
// times its input, plus 200 bytes an object, for long point lists, many
// objects and many tiny objects alike.
TEST(ToolLimits, ConvertPeakMemoryStaysWithinItsBound) {
#ifdef JAVTRG_SANITIZED
    GTEST_SKIP() << "peak memory is not measured under a sanitizer";
#endif
    javtest::ScratchDir scratch("javtrg_memory");
    const fs::path points = scratch.path / "points.json";
    const fs::path objects = scratch.path / "objects.json";
    {
        std::ofstream out(points);
        out << R"({"objects":[{"kind":"Polygon","points":[)";
        for (int i = 0; i < 1000000; ++i) out << (i ? "," : "") << '[' << i % 100000 << ',' << (i * 7) % 100000 << ']';
        out << "]}]}";
        std::ofstream many(objects);
        many << R"({"objects":[)";
        for (int i = 0; i < 200000; ++i)
            many << (i ? "," : "") << R"({"kind":"Rectangle","x0":)" << i % 1000 << R"(,"y0":9,"x1":5,"y1":1})";
        many << "]}";
        std::ofstream tiny(scratch.path / "tiny.json");
        tiny << R"({"objects":[)";
        for (int i = 0; i < 200000; ++i) tiny << (i ? "," : "") << R"({"kind":4})";
        tiny << "]}";
    }
    const struct {
        fs::path input;
        long objects;
    } inputs[] = {{points, 1}, {objects, 200000}, {scratch.path / "tiny.json", 200000},
                  {kSource + "/tests/data/corpus/visio/tdf154379-DrawingUnits-type.vsd", 0}};
    for (const auto& [input, count] : inputs) {
        int status = -1;
        long peak = peakMemory({"convert", input.string(), "-o", (scratch.path / "out").string()}, &status);
        EXPECT_EQ(status, 0) << input;
        long bound = (64L << 20) + 5 * static_cast<long>(fs::file_size(input)) + 200 * count;
        EXPECT_GT(peak, 0) << input;
        EXPECT_LE(peak, bound) << input << ": " << (peak >> 20) << " MiB";
    }
}

}  // namespace
