// SPDX-License-Identifier: MIT
// Drawings in: what the command line asks (pages, search) reaches the
// stream, a file no importer reads is refused in one line with nothing
// written, and the drawing interface turns what a library reports
// (gradients, text, pictures) into the objects the driver expects. How
// every corpus drawing looks is scored by the fidelity check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import/drawing_interface.h"
#include <javtrg/host_services.h>
#include "tests/command_runner.h"
#include "tools/script_runner.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(JAVTRG_SOURCE_DIR) / "tests" / "data" / "corpus";

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

javtest::CommandResult convert(const std::string& arguments) {
    return javtest::runCommand(std::string(JAVTRG_TOOL) + " convert " + arguments);
}

TEST(DrawingImport, PagesAndSearchReachTheStream) {
    javtest::ScratchDir scratch("javtrg_drawing_cases");
    const std::string plan = (kCorpus / "visio" / "tdf76829-datetime-format.vsd").string();
    struct Case {
        const char* what;
        std::string arguments;
        const char* record;  // a record (with its newline) the stream holds `times` times
        size_t times;
    };
    const Case cases[] = {
        // The hit in the highlight colour, a c record of its own; each
        // --search takes one term, so the input may follow it.
        {"search", "--search marketing --search-colour '#00FF00' " + plan, ",0,255,0\nu,9,77,", 1},
        {"whole words miss", plan + " --search marketing --whole-word --search-colour '#00FF00'", ",0,255,0\n", 0},
        // A table cell's text, its own text box.
        {"table cell", (kCorpus / "publisher" / "Sample.pub").string() + " --page 2",
         "u,9,84,111,112,32,114,105,103,104,116\n", 1},
    };
    for (const Case& c : cases) {
        fs::path out = scratch.path / "out.records";
        javtest::CommandResult result = convert(c.arguments + " -o " + out.string());
        ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;
        EXPECT_EQ(count("\n" + javtest::readFile(out), c.record), c.times) << c.what;
    }

    // Every page into a folder; a page beyond the last is refused.
    EXPECT_EQ(convert(plan + " --page all --out-dir " + scratch.path.string()).status, 0);
    EXPECT_TRUE(fs::exists(scratch.path / "tdf76829-datetime-format-p2.records"));
    fs::path beyond = scratch.path / "beyond.records";
    javtest::CommandResult refused = convert(plan + " --page 3 -o " + beyond.string());
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("has 2 pages, no page 3"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(beyond));
}

// Files no importer reads, and one its library cannot read either.
TEST(DrawingImport, UnreadableFilesAreRefusedInOneLineWithNothingWritten) {
    javtest::ScratchDir scratch("javtrg_drawing_bad");
    std::string junk(4096, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 37 % 251);
    const std::string kTried = "Visio drawing, Publisher document";
    struct Case {
        std::string bytes;  // written to plan.vsd
        std::string message;
    };
    const Case cases[] = {
        {"", kTried},
        {junk, kTried},
        {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + junk, kTried},
        {javtest::readFile(kCorpus / "publisher" / "SampleBrochure.pub"), "libmspub could not read"},
    };
    fs::path input = scratch.path / "plan.vsd", out = scratch.path / "out.records";
    for (const Case& c : cases) {
        std::ofstream(input, std::ios::binary) << c.bytes;
        javtest::CommandResult result = convert(input.string() + " -o " + out.string());
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_EQ(count(result.err, "\n"), 1u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(out));
    }
    // Usage the importer cannot serve.
    std::string visio = (kCorpus / "visio" / "blue-box.vsdx").string();
    for (const char* arguments : {" --page all", " --page 0", " --size 0x0", " --size 12", " --search-colour red --search a"})
        EXPECT_EQ(convert(visio + arguments).status, 2) << arguments;
}

// The drawing interface, driven as a library drives it, on a page of 2 x 1
// inches.
class Collector : public testing::Test {
protected:
    using Props = librevenge::RVNGPropertyList;

    Collector() {
        Props page;
        page.insert("svg:width", 2.0);
        page.insert("svg:height", 1.0);
        collector_.startPage(page);
    }
    ~Collector() override {
        for (HostObject* object : objects_) host_.releaseObject(object);
    }

    static Props frame(double x, double y, double width, double height) {
        Props p;
        p.insert("svg:x", x);
        p.insert("svg:y", y);
        p.insert("svg:width", width);
        p.insert("svg:height", height);
        return p;
    }
    // The page, ended.
    javimport::ImportedPage page() {
        collector_.endPage();
        std::vector<javimport::ImportedPage> pages = collector_.takePages();
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? javimport::ImportedPage{} : std::move(pages[0]);
    }
    // The page's objects, built in the host, of `kind` (all when 0).
    std::vector<const HostObject*> objects(int32_t kind = 0) {
        if (objects_.empty())
            for (auto& build : page().script.objects) objects_.push_back(build(host_));
        std::vector<const HostObject*> found;
        for (const HostObject* object : objects_)
            if (kind == 0 || object->kind == kind) found.push_back(object);
        return found;
    }
    template <typename Body>
    static Body body(const HostObject* object) {
        Body b;
        std::memcpy(&b, reinterpret_cast<const unsigned char*>(object) + kHostObjectPayloadOffset, sizeof b);
        return b;
    }
    // The records the driver writes for `page`.
    std::string draw(const javimport::ImportedPage& page) {
        refhost::MemoryStream* stream = host_.memoryStream();
        const javtool::DriverApi driver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};
        EXPECT_EQ(javtool::runScript(page.script, host_, driver, &stream->base).failedObject, -1);
        return stream->text();
    }

    javimport::DrawingCollector collector_{javimport::ImportOptions{}};
    refhost::ReferenceHost host_;
    std::vector<HostObject*> objects_;
};

// Gradients by draw:style: the kind, the stops in percent from the driver's
// start (the outside of a radial one) and the driver's angle.
TEST_F(Collector, GradientsTakeTheDriversFormsStopsAndAngles) {
    struct Case {
        const char* style;
        double border;
        int32_t kind;
        std::vector<int32_t> positions;
        std::vector<uint32_t> colours;  // colour entries: red in the lowest byte
    };
    const Case cases[] = {
        {"linear", 0, kGradientLinear, {0, 100}, {0x0000FF, 0xFF0000}},
        // Axial: the symmetric three-stop form the viewer draws itself.
        {"axial", 0, kGradientLinear, {0, 50, 100}, {0xFF0000, 0x0000FF, 0xFF0000}},
        {"radial", 0.25, kGradientElliptical, {0, 25, 100}, {0x0000FF, 0x0000FF, 0xFF0000}},
        {"square", 0, kGradientRectangular, {0, 100}, {0x0000FF, 0xFF0000}},
    };
    for (const Case& c : cases) {
        Props style;
        style.insert("draw:fill", "gradient");
        style.insert("draw:style", c.style);
        style.insert("draw:start-color", "#FF0000");
        style.insert("draw:end-color", "#0000FF");
        style.insert("draw:angle", 30.0, librevenge::RVNG_GENERIC);
        style.insert("draw:border", c.border, librevenge::RVNG_PERCENT);
        collector_.setStyle(style);
        collector_.drawRectangle(frame(0.5, 0.25, 1.0, 0.5));
    }
    std::vector<const HostObject*> fills = objects(kKindFillAtt);
    ASSERT_EQ(fills.size(), std::size(cases));
    for (size_t i = 0; i < fills.size(); ++i) {
        const Case& c = cases[i];
        auto fill = body<FillAttributes>(fills[i]);
        const GradientDef& gradient = fill.gradient;
        EXPECT_EQ(fill.fillStyle, kFillGradient) << c.style;
        EXPECT_EQ(gradient.gradientKind, c.kind) << c.style;
        int32_t stops = std::clamp(gradient.stopCount, 0, 32);
        EXPECT_EQ(std::vector<int32_t>(gradient.stopPositions, gradient.stopPositions + stops), c.positions) << c.style;
        EXPECT_EQ(std::vector<uint32_t>(gradient.stopColours, gradient.stopColours + stops), c.colours) << c.style;
        if (c.kind == kGradientLinear) EXPECT_EQ(gradient.angle, 210) << c.style;
    }
}

// A text object: one box; each paragraph and line break starts a line;
// fonts change where runs do; the text is written as 16-bit units.
TEST_F(Collector, TextObjectsBecomeOneTextBox) {
    Props box = frame(0.5, 0.0, 1.0, 1.0);
    box.insert("draw:textarea-vertical-align", "middle");
    collector_.startTextObject(box);
    Props paragraph;
    paragraph.insert("fo:text-align", "center");
    collector_.openParagraph(paragraph);
    Props span;
    span.insert("fo:font-size", 12.0, librevenge::RVNG_POINT);
    span.insert("fo:font-weight", "bold");
    span.insert("style:font-name", "Arial");
    collector_.openSpan(span);
    collector_.insertText("Pump");
    collector_.insertLineBreak();
    collector_.insertText("A\xE2\x82\xAC");
    collector_.closeSpan();
    collector_.endTextObject();
    std::vector<int32_t> kinds;
    for (const HostObject* object : objects()) kinds.push_back(object->kind);
    std::vector<int32_t> expected = {kKindTextBox, kKindParaStart, kKindCharAtt, kKindTextString, kKindParaStart,
                                     kKindTextString, kKindTextBoxEnd};
    ASSERT_EQ(kinds, expected);
    // Centred lines; where the box lies and the fonts are drawn the fidelity
    // check measures.
    EXPECT_EQ(body<TextBoxData>(objects_[0]).justification, 1u);
    auto units = body<TextStringData>(objects_[5]);
    EXPECT_EQ(units.encoding, kEncodingUnits);
    ASSERT_EQ(units.byteLength, 4);
    EXPECT_EQ(std::memcmp(units.text, "A\0\xAC\x20", 4), 0);
}

// A bitmap stretched over a rectangle is the driver's picture fill, placed
// as an element; on another shape it falls back to its fill colour, with a
// warning.
TEST_F(Collector, StretchedBitmapFillsOfRectanglesArePictureFills) {
    Props style;
    style.insert("draw:fill", "bitmap");
    style.insert("draw:fill-color", "#808080");
    style.insert("librevenge:mime-type", "image/png");
    style.insert("draw:fill-image",
                 librevenge::RVNGBinaryData("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg=="));
    collector_.setStyle(style);
    Props shape = frame(0.25, 0.25, 0.5, 0.5);
    collector_.drawRectangle(shape);
    shape.insert("svg:cx", 1.5);
    shape.insert("svg:cy", 0.5);
    shape.insert("svg:rx", 0.25);
    shape.insert("svg:ry", 0.25);
    collector_.drawEllipse(shape);
    javimport::ImportedPage drawn = page();
    ASSERT_EQ(drawn.script.pictures.size(), 1u);
    EXPECT_EQ(drawn.warnings.size(), 1u);
    std::string records = draw(drawn);
    EXPECT_NE(records.find("\nm,24,24,48,48\n"), std::string::npos) << records;
    EXPECT_NE(records.find("t,-1,-1,-1,128,128,128,0\no,120,24,48,48\n"), std::string::npos) << records;
}

// A metafile inside a drawing is a vector picture: a picture fill over its
// frame, whose objects the driver plays back from the host's conversion.
TEST_F(Collector, EmbeddedMetafilesAreVectorPicturesThePlayerDraws) {
    std::string wmf = javtest::readFile(kCorpus / "wmf" / "arrow01.wmf");
    Props image = frame(0.5, 0.25, 1.0, 0.5);
    image.insert("librevenge:mime-type", "image/wmf");
    image.insert("office:binary-data", librevenge::RVNGBinaryData(reinterpret_cast<const unsigned char*>(wmf.data()), wmf.size()));
    collector_.drawGraphicObject(image);
    javimport::ImportedPage drawn = page();
    ASSERT_EQ(drawn.script.pictures.size(), 1u);
    EXPECT_FALSE(drawn.script.pictures[0].second.raster);
    EXPECT_TRUE(drawn.warnings.empty());
    std::string records = draw(drawn);
    EXPECT_EQ(host_.calls("convertPicture"), 1u);
    EXPECT_NE(records.find("\np,"), std::string::npos) << records;
}

}  // namespace
