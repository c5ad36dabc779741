// Drawings in: every corpus drawing converts through the tool or is refused
// in one line with nothing written; the command line's pages, sizes and
// search reach the stream; and the drawing interface turns what a library
// reports (gradients, paths, text) into the objects the driver expects.
#include <fstream>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

TEST(DrawingImport, EveryCorpusDrawingConvertsOrIsRefusedInOneLine) {
    javtest::ScratchDir scratch("javtrg_drawing_corpus");
    size_t converted = 0;
    for (const char* folder : {"visio", "publisher"}) {
        for (const auto& entry : fs::directory_iterator(kCorpus / folder)) {
            std::string name = entry.path().filename().string();
            if (name == "LICENSE" || name == "COPYING.MPL" || entry.path().extension() == ".wmf") continue;
            fs::path out = scratch.path / (name + ".records");
            javtest::CommandResult result = convert(entry.path().string() + " -o " + out.string());
            // The one file its library cannot read either.
            if (name == "SampleBrochure.pub") {
                EXPECT_EQ(result.status, 2) << name;
                EXPECT_EQ(count(result.err, "\n"), 1u) << result.err;
                EXPECT_NE(result.err.find("libmspub could not read"), std::string::npos) << result.err;
                EXPECT_FALSE(fs::exists(out)) << name;
                continue;
            }
            EXPECT_EQ(result.status, 0) << name << ": " << result.err;
            EXPECT_TRUE(fs::exists(out)) << name;
            ++converted;
        }
    }
    EXPECT_EQ(converted, 36u);
}

// What a user asks on the command line, and what the stream must then hold.
TEST(DrawingImport, PagesTurnsGradientsImagesAndSearchReachTheStream) {
    javtest::ScratchDir scratch("javtrg_drawing_cases");
    const std::string visio = (kCorpus / "visio").string() + "/";
    struct Case {
        const char* what;
        std::string arguments;
        std::string record;  // a record (with its newline) the stream holds
        size_t times;
    };
    const Case cases[] = {
        // Text turned 30 degrees clockwise: 3300 tenths counter-clockwise.
        {"turned text", visio + "Visio11TextFieldsWithAngle.vsd", ",1,3300\n", 3},
        {"driver gradient", visio + "tdf76829-datetime-format.vsd", "\nq,2\n", 2},
        {"viewer gradient", visio + "tdf76829-datetime-format.vsd", ",1,180\n", 1},
        {"bitmaps", visio + "bitmaps.vsd", "\nm,", 20},
        // The hit is written in the highlight colour, a c record of its own.
        // Each --search takes one term: the input may follow it.
        {"search", "--search marketing --search-colour '#00FF00' " + visio + "tdf76829-datetime-format.vsd",
         ",0,255,0\nu,9,77,", 1},
        {"whole words miss", visio + "tdf76829-datetime-format.vsd --search marketing --whole-word --search-colour '#00FF00'",
         ",0,255,0\n", 0},
        {"size", visio + "blue-box.vsdx --size 300x", "", 0},
        // A table cell's text, its own text box.
        {"table cell", (kCorpus / "publisher" / "Sample.pub").string() + " --page 2", "u,9,84,111,112,32,114,105,103,104,116\n", 1},
    };
    for (const Case& c : cases) {
        fs::path out = scratch.path / "out.records";
        javtest::CommandResult result = convert(c.arguments + " -o " + out.string());
        ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;
        std::string stream = "\n" + javtest::readFile(out);
        if (!c.record.empty()) EXPECT_EQ(count(stream, c.record), c.times) << c.what << "\n" << stream.substr(0, 400);
    }

    // Every page into a folder; a page beyond the last is refused.
    javtest::CommandResult all = convert(visio + "tdf76829-datetime-format.vsd --page all --out-dir " + scratch.path.string());
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(fs::exists(scratch.path / "tdf76829-datetime-format-p1.records"));
    EXPECT_TRUE(fs::exists(scratch.path / "tdf76829-datetime-format-p2.records"));
    fs::path beyond = scratch.path / "beyond.records";
    javtest::CommandResult refused = convert(visio + "tdf76829-datetime-format.vsd --page 3 -o " + beyond.string());
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("has 2 pages, no page 3"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(beyond));
}

TEST(DrawingImport, FilesNoImporterReadsAreRefusedNamingTheFormatsTried) {
    javtest::ScratchDir scratch("javtrg_drawing_bad");
    fs::path junk = scratch.path / "plan.vsd";
    std::string bytes(4096, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 37 % 251);
    javtest::CommandResult first = javtest::runCommand("printf '' >" + junk.string());
    ASSERT_EQ(first.status, 0);
    for (const std::string& content : {std::string(), bytes, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + bytes}) {
        {
            std::FILE* f = std::fopen(junk.c_str(), "wb");
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        fs::path out = scratch.path / "out.records";
        javtest::CommandResult result = convert(junk.string() + " -o " + out.string());
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(count(result.err, "\n"), 1u) << result.err;
        EXPECT_NE(result.err.find("Visio drawing, Publisher document"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(out));
    }
    // Usage the importer cannot serve.
    std::string visio = (kCorpus / "visio" / "blue-box.vsdx").string();
    for (const char* arguments : {" --page all", " --page 0", " --size 0x0", " --size 12", " --search-colour red --search a"})
        EXPECT_EQ(convert(visio + arguments).status, 2) << arguments;
}

// The drawing interface, driven as a library drives it.
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

    // The objects of the page, built in the host.
    const std::vector<HostObject*>& objects() {
        collector_.endPage();
        std::vector<javimport::ImportedPage> pages = collector_.takePages();
        EXPECT_EQ(pages.size(), 1u);
        for (auto& build : pages.at(0).script.objects) objects_.push_back(build(host_));
        return objects_;
    }
    template <typename Body>
    Body body(const HostObject* object) {
        Body b;
        std::memcpy(&b, reinterpret_cast<const unsigned char*>(object) + kHostObjectPayloadOffset, sizeof b);
        return b;
    }
    std::vector<int32_t> kinds() {
        std::vector<int32_t> k;
        for (const HostObject* object : objects()) k.push_back(object->kind);
        return k;
    }
    const HostObject* first(int32_t kind) {
        for (const HostObject* object : objects_.empty() ? objects() : objects_)
            if (object->kind == kind) return object;
        ADD_FAILURE() << "no object of kind " << kind;
        return objects_.front();
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
        int32_t angle;
    };
    const Case cases[] = {
        {"linear", 0, 1, {0, 100}, {0x0000FF, 0xFF0000}, 210},
        // Axial: the symmetric three-stop form the viewer draws itself.
        {"axial", 0, 1, {0, 50, 100}, {0xFF0000, 0x0000FF, 0xFF0000}, 210},
        {"radial", 0.25, 2, {0, 25, 100}, {0x0000FF, 0x0000FF, 0xFF0000}, 0},
        {"square", 0, 3, {0, 100}, {0x0000FF, 0xFF0000}, 0},
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
        Props box;
        box.insert("svg:x", 0.5);
        box.insert("svg:y", 0.25);
        box.insert("svg:width", 1.0);
        box.insert("svg:height", 0.5);
        collector_.drawRectangle(box);
    }
    std::vector<const HostObject*> fills;
    for (const HostObject* object : objects())
        if (object->kind == kKindFillAtt) fills.push_back(object);
    ASSERT_EQ(fills.size(), std::size(cases));
    for (size_t i = 0; i < fills.size(); ++i) {
        const Case& c = cases[i];
        auto fill = body<FillAttributes>(fills[i]);
        EXPECT_EQ(fill.fillStyle, 5) << c.style;
        EXPECT_EQ(fill.gradient.gradientKind, c.kind) << c.style;
        ASSERT_EQ(fill.gradient.stopCount, static_cast<int32_t>(c.positions.size())) << c.style;
        for (size_t s = 0; s < c.positions.size(); ++s) {
            EXPECT_EQ(fill.gradient.stopPositions[s], c.positions[s]) << c.style << " stop " << s;
            EXPECT_EQ(fill.gradient.stopColours[s], c.colours[s]) << c.style << " stop " << s;
        }
        if (c.kind == 1) EXPECT_EQ(fill.gradient.angle, c.angle) << c.style;
    }
}

// A path: one object per subpath; straight ones as polygons and polylines,
// any curve or arc as the host's curve description, ending exactly where
// the path says.
TEST_F(Collector, PathsBecomeOneObjectPerSubpath) {
    auto step = [](const char* action, double x, double y) {
        Props p;
        p.insert("librevenge:path-action", action);
        p.insert("svg:x", x);
        p.insert("svg:y", y);
        return p;
    };
    librevenge::RVNGPropertyListVector path;
    path.append(step("M", 0.1, 0.1));
    path.append(step("L", 0.5, 0.1));
    path.append(step("L", 0.5, 0.5));
    path.append(step("Z", 0, 0));
    path.append(step("M", 1.0, 0.5));
    Props arc = step("A", 1.5, 0.5);
    arc.insert("svg:rx", 0.25);
    arc.insert("svg:ry", 0.25);
    path.append(arc);
    Props props;
    props.insert("svg:d", path);
    collector_.drawPath(props);
    std::vector<int32_t> k = kinds();
    ASSERT_EQ(k.size(), 4u);  // pen, fill, polygon, curve
    EXPECT_EQ(k[2], kKindPolygon);
    EXPECT_EQ(k[3], kKindOpenCurve);
    auto curve = body<refhost::CurveData>(objects_[3]);
    ASSERT_EQ(curve.pointCount, 7u);  // a half turn: two quarter-turn pieces
    EXPECT_EQ(curve.points[0].x, 1440);
    EXPECT_EQ(curve.points[6].x, 2160);
    EXPECT_EQ(curve.points[6].y, 720);
    EXPECT_EQ(curve.points[3].y, 720 + 360);  // no sweep flag means 1: the arc bulges up the page
}

// A line end with a marker gets an arrowhead in the pen's colour, its tip
// on the end, as wide as the marker and as long as its viewbox's aspect.
TEST_F(Collector, MarkedLineEndsGetArrowheads) {
    Props style;
    style.insert("draw:stroke", "solid");
    style.insert("svg:stroke-color", "#FF0000");
    style.insert("draw:marker-end-path", "m10 0-10 30h20z");
    style.insert("draw:marker-end-viewbox", "0 0 20 30");
    style.insert("draw:marker-end-width", 0.2);
    collector_.setStyle(style);
    librevenge::RVNGPropertyListVector points;
    for (double x : {0.5, 1.5}) {
        Props point;
        point.insert("svg:x", x);
        point.insert("svg:y", 0.5);
        points.append(point);
    }
    Props line;
    line.insert("svg:points", points);
    collector_.drawPolyline(line);
    std::vector<int32_t> expected = {kKindLineAtt, kKindFillAtt, kKindPolyline, kKindFillAtt, kKindPolygon};
    ASSERT_EQ(kinds(), expected);
    EXPECT_EQ(body<FillAttributes>(objects_[3]).fillColour, 0x0000FFu);
    const PointList* head = body<PolygonData>(objects_[4]).points;
    ASSERT_EQ(head->count, 3u);
    EXPECT_EQ(head->points[0].x, 2160);
    EXPECT_EQ(head->points[1].x, 1728);
    EXPECT_EQ(std::abs(head->points[1].y - head->points[2].y), 288);
}

// A text object: its box is the text's block, centred in the frame; each
// paragraph and line break starts a line; fonts change where runs do.
TEST_F(Collector, TextObjectsBecomeOneTextBox) {
    Props frame;
    frame.insert("svg:x", 0.5);
    frame.insert("svg:y", 0.0);
    frame.insert("svg:width", 1.0);
    frame.insert("svg:height", 1.0);
    frame.insert("draw:textarea-vertical-align", "middle");
    collector_.startTextObject(frame);
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
    std::vector<int32_t> k = kinds();
    std::vector<int32_t> expected = {kKindTextBox, kKindParaStart, kKindCharAtt, kKindTextString, kKindParaStart,
                                     kKindTextString, kKindTextBoxEnd};
    EXPECT_EQ(k, expected);
    auto box = body<TextBoxData>(objects_[0]);
    EXPECT_EQ(box.justification, 1u);
    // Two lines of 1.2 x 12 points (0.4 inches) centred in one inch.
    EXPECT_EQ(box.x1, 720);
    EXPECT_EQ(box.y1, 1440 - 432);
    EXPECT_EQ(box.y2, 1440 - 432 - 576);
    auto font = body<CharAttributes>(objects_[2]);
    EXPECT_EQ(font.charFont.weight, 700);
    EXPECT_EQ(font.charFont.height, -240);
    EXPECT_STREQ(font.charFont.faceName, "Arial");
    auto text = body<TextStringData>(objects_[5]);
    ASSERT_EQ(text.byteLength, 4);
    EXPECT_EQ(std::memcmp(text.text, "A\0\xAC\x20", 4), 0);
    EXPECT_EQ(text.encoding, 51);
}

// A bitmap stretched over a rectangle is the driver's picture fill, placed
// as an element; on another shape it falls back to its fill colour.
TEST_F(Collector, StretchedBitmapFillsOfRectanglesArePictureFills) {
    Props style;
    style.insert("draw:fill", "bitmap");
    style.insert("draw:fill-color", "#808080");
    style.insert("librevenge:mime-type", "image/png");
    style.insert("draw:fill-image",
                 librevenge::RVNGBinaryData("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg=="));
    collector_.setStyle(style);
    Props shape;
    shape.insert("svg:x", 0.25);
    shape.insert("svg:y", 0.25);
    shape.insert("svg:width", 0.5);
    shape.insert("svg:height", 0.5);
    collector_.drawRectangle(shape);
    shape.insert("svg:cx", 1.5);
    shape.insert("svg:cy", 0.5);
    shape.insert("svg:rx", 0.25);
    shape.insert("svg:ry", 0.25);
    collector_.drawEllipse(shape);
    collector_.endPage();
    std::vector<javimport::ImportedPage> pages = collector_.takePages();
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].script.pictures.size(), 1u);
    EXPECT_EQ(pages[0].script.pictures[0].second.width, 1u);
    refhost::MemoryStream* stream = host_.memoryStream();
    const javtool::DriverApi driver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};
    javtool::RunOutcome outcome = javtool::runScript(pages[0].script, host_, driver, &stream->base);
    EXPECT_EQ(outcome.failedObject, -1);
    std::string records = stream->text();
    EXPECT_NE(records.find("\nm,24,24,48,48\n"), std::string::npos) << records;
    EXPECT_NE(records.find("t,-1,-1,-1,128,128,128,0\no,120,24,48,48\n"), std::string::npos) << records;
    ASSERT_EQ(pages[0].warnings.size(), 1u);
}

// A metafile inside a drawing is a vector picture: a picture fill over its
// frame, whose objects the driver plays back from the host's conversion.
TEST_F(Collector, EmbeddedMetafilesAreVectorPicturesThePlayerDraws) {
    std::ifstream in(kCorpus / "wmf" / "arrow01.wmf", std::ios::binary);
    std::string wmf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Props image;
    image.insert("librevenge:mime-type", "image/wmf");
    image.insert("office:binary-data", librevenge::RVNGBinaryData(reinterpret_cast<const unsigned char*>(wmf.data()), wmf.size()));
    image.insert("svg:x", 0.5);
    image.insert("svg:y", 0.25);
    image.insert("svg:width", 1.0);
    image.insert("svg:height", 0.5);
    collector_.drawGraphicObject(image);
    collector_.endPage();
    std::vector<javimport::ImportedPage> pages = collector_.takePages();
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].script.pictures.size(), 1u);
    EXPECT_FALSE(pages[0].script.pictures[0].second.raster);
    EXPECT_GT(pages[0].script.pictures[0].second.objects.size(), 2u);
    refhost::MemoryStream* stream = host_.memoryStream();
    const javtool::DriverApi driver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};
    javtool::RunOutcome outcome = javtool::runScript(pages[0].script, host_, driver, &stream->base);
    EXPECT_EQ(outcome.failedObject, -1);
    EXPECT_EQ(host_.calls("convertPicture"), 1u);
    std::string records = stream->text();
    EXPECT_NE(records.find("\np,"), std::string::npos) << records;
    EXPECT_TRUE(pages[0].warnings.empty());
}

}  // namespace
