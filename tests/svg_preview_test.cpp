// SPDX-License-Identifier: MIT
// The preview of small streams: the SVG elements and attributes it draws,
// read back with an XML parser (which also proves the document well formed
// whatever bytes the stream held).
#include <gtest/gtest.h>

#include <expat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/command_runner.h"
#include "tools/record_reader.h"
#include "tools/svg_preview.h"

namespace {

namespace fs = std::filesystem;

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;  // all text inside, children's included
    const Element* parent = nullptr;

    std::string operator[](const std::string& attribute) const {
        auto found = attributes.find(attribute);
        return found == attributes.end() ? "(none)" : found->second;
    }
};

struct Document {
    std::vector<std::unique_ptr<Element>> elements;  // in document order
    std::vector<Element*> open;
    std::string error;

    std::vector<const Element*> all(const std::string& name) const {
        std::vector<const Element*> found;
        for (const auto& element : elements) {
            if (element->name == name) found.push_back(element.get());
        }
        return found;
    }
};

Document parse(const std::string& xml) {
    Document document;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &document);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto* doc = static_cast<Document*>(data);
            auto element = std::make_unique<Element>();
            element->name = name;
            element->parent = doc->open.empty() ? nullptr : doc->open.back();
            for (size_t i = 0; attributes[i] != nullptr; i += 2) element->attributes[attributes[i]] = attributes[i + 1];
            doc->open.push_back(element.get());
            doc->elements.push_back(std::move(element));
        },
        [](void* data, const XML_Char*) { static_cast<Document*>(data)->open.pop_back(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        for (Element* element : static_cast<Document*>(data)->open) element->text.append(text, static_cast<size_t>(length));
    });
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_ERROR) {
        document.error = XML_ErrorString(XML_GetErrorCode(parser));
    }
    XML_ParserFree(parser);
    return document;
}

struct Preview {
    std::string svg;
    Document document;
    std::vector<std::string> warnings;
};

Preview render(const std::string& stream, const std::string& elementsDir = "", bool lenient = false) {
    Preview preview;
    std::FILE* body = std::tmpfile();
    javtool::SvgPreview svg(body, javtool::PreviewOptions{elementsDir});
    svg.onWarning = [&](uint64_t line, const std::string& message) {
        preview.warnings.push_back(std::to_string(line) + ": " + message);
    };
    javtool::RecordReader reader(svg, lenient);
    reader.feed(stream.data(), stream.size());
    reader.finish();
    svg.finish();
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    EXPECT_TRUE(javtool::writePreviewDocument(out, javtool::previewSize(svg.extent()), body, nullptr));
    std::fclose(out);
    std::fclose(body);
    preview.svg.assign(text, size);
    std::free(text);
    preview.document = parse(preview.svg);
    EXPECT_EQ(preview.document.error, "") << preview.svg;
    return preview;
}

using Attributes = std::map<std::string, std::string>;

void expectAttributes(const Element& element, const Attributes& expected, const std::string& what) {
    for (const auto& [name, value] : expected) EXPECT_EQ(element[name], value) << what << " " << element.name << " " << name;
}

// Where and in which colours shapes and the viewer's gradients are drawn
// the examples' previews show; here a box given from its far corner.
TEST(SvgPreview, ABoxOfNegativeSizeIsDrawnFromItsOtherCorner) {
    Preview preview = render("a,255,0,0,0,0,0\nr,4,4,-3,-2\n");
    auto rects = preview.document.all("rect");
    ASSERT_EQ(rects.size(), 2u);  // the background first
    expectAttributes(*rects[1], {{"x", "1"}, {"y", "2"}, {"width", "3"}, {"height", "2"}, {"fill", "none"}}, "rect");
}

// A gradient the driver draws: the shape after "q,2" is filled under the
// bands and outlined with the pen over them; the bands have no outline.
// (The examples' previews draw their clips, but no band with a pen.)
TEST(SvgPreview, GradientBandsAreFilledWithoutThePenAndOutlinedOnce) {
    Preview preview = render(
        "a,0,0,0,0,0,2\nq,1\nt,-1,-1,-1,-1,-1,-1,0\nr,0,0,100,100\n"
        "t,-1,-1,-1,9,9,9,0\nq,2\no,10,10,80,80\n"
        "t,-1,-1,-1,255,0,0,0\no,10,10,80,80\nt,-1,-1,-1,0,0,255,0\np,4\n30,30,70,30,70,70,30,70\nq,0\nr,5,5,5,5\n");
    const Document& doc = preview.document;
    auto ellipses = doc.all("ellipse");
    ASSERT_EQ(ellipses.size(), 2u);
    const Element& shape = *ellipses[0];
    EXPECT_EQ(shape.parent->name, "defs");
    expectAttributes(shape, {{"fill", "(none)"}, {"stroke", "(none)"}}, "the clipping shape");
    expectAttributes(*ellipses[1], {{"fill", "#ff0000"}, {"stroke", "none"}}, "a band");
    expectAttributes(*doc.all("polygon")[0], {{"fill", "#0000ff"}, {"stroke", "none"}}, "a band");
    auto uses = doc.all("use");
    ASSERT_EQ(uses.size(), 4u);  // the rectangle's clip, the fill, the shape's clip, the outline
    const std::string ref = "#" + shape["id"];
    expectAttributes(*uses[1], {{"xlink:href", ref}, {"fill", "#090909"}, {"stroke", "none"}}, "the fill");
    expectAttributes(*uses[3], {{"xlink:href", ref}, {"fill", "none"}, {"stroke", "#000000"}, {"stroke-width", "2"}},
                     "the outline");
    // Drawn after the bands' group closes, inside the rectangle's clip;
    // "q,0" ends every clip.
    auto groups = doc.all("g");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1]->parent, groups[0]);
    EXPECT_EQ(uses[3]->parent, groups[0]);
    EXPECT_EQ(ellipses[1]->parent, groups[1]);
    EXPECT_EQ(doc.all("rect").back()->parent->name, "svg");
    EXPECT_TRUE(preview.warnings.empty());

    // A clip record followed by no shape clips nothing.
    Preview unfollowed = render("q,2\ns,0,0,5,5,0,0\n");
    EXPECT_TRUE(unfollowed.document.all("clipPath").empty());
    ASSERT_EQ(unfollowed.warnings.size(), 1u);
    EXPECT_NE(unfollowed.warnings[0].find("2: the clip record of line 1 is followed by a 's' record"), std::string::npos);
}

TEST(SvgPreview, TextIsLaidOutLineByLineInItsFonts) {
    Preview preview = render(
        "s,10,20,100,30,1,900\n"
        "c,dialog,20,46,255,0,0\n"
        "u,5,60,38,55357,56832,9\n"       // "<&", a character beyond 16 bits, a tab
        "y,\n"
        "c,Courier New,10,80,0,0,0\n"
        "b,2,65,38,40\n"                   // "A&"
        "y,\ny,\n"
        "u,2,56832,0\n"                   // a lone low surrogate and a NUL
        "e,\n"
        "u,1,66\n"                        // a piece after the end continues the text
        "r,0,0,1,1\n");
    const Document& doc = preview.document;
    auto texts = doc.all("text");
    auto spans = doc.all("tspan");
    ASSERT_EQ(texts.size(), 1u);
    ASSERT_EQ(spans.size(), 4u);
    // A turned box starts its lines at its first corner, whatever its class.
    expectAttributes(*texts[0], {{"text-anchor", "(none)"}, {"transform", "rotate(-90 10 20)"}}, "text");
    expectAttributes(*spans[0], {{"x", "10"}, {"y", "36"}, {"font-weight", "bold"},
                                 {"font-style", "italic"}, {"text-decoration", "underline"},
                                 {"baseline-shift", "super"}, {"fill", "#ff0000"}}, "span 0");
    EXPECT_EQ(spans[0]->text, "<&\xF0\x9F\x98\x80 ");
    // The second paragraph starts one line of the 20-pixel font lower.
    expectAttributes(*spans[1], {{"y", "52"}, {"text-decoration", "line-through"}, {"baseline-shift", "sub"}}, "span 1");
    // The run is spaced to its width of 40 pixels: what the two glyphs leave
    // of it goes into the one gap between them (Pango), or after each of
    // them (browsers).
    double spacing = std::stod((*spans[1])["letter-spacing"]);
    EXPECT_GT(spacing, 20.0);
    EXPECT_LT(spacing, 40.0);
    EXPECT_EQ((*spans[1])["style"], "--browser-spacing:" + javtool::svgNumber(spacing / 2) + "px");
    EXPECT_EQ(spans[1]->text, "A&");
    // An empty paragraph takes a line of its own.
    EXPECT_EQ((*spans[2])["y"], "76");
    EXPECT_EQ(spans[2]->text, "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ((*spans[3])["y"], "(none)");
    EXPECT_EQ(doc.all("rect")[1]->parent->name, "svg");
}

// Renderers lay out a long text node in more than linear time: a run is
// written in pieces of 250 characters, all inside the run's span.
TEST(SvgPreview, LongRunsAreWrittenInPieces) {
    std::string units;
    for (int i = 0; i < 600; ++i) units += i % 2 == 0 ? ",65" : ",38";  // "A&A&...": entities split nowhere
    Preview preview = render("u,600" + units + "\n");
    auto spans = preview.document.all("tspan");
    ASSERT_EQ(spans.size(), 3u);
    std::string expected;
    for (int i = 0; i < 300; ++i) expected += "A&";
    EXPECT_EQ(spans[0]->text, expected);
    EXPECT_EQ(spans[1]->parent, spans[0]);
    EXPECT_EQ(spans[2]->text, expected.substr(0, 100));
}

TEST(SvgPreview, FaceNamesBecomeCssFamilies) {
    const std::string kSans = "'DejaVu Sans', 'Noto Sans CJK JP', sans-serif";
    struct Case {
        std::string face, family;
    } cases[] = {
        {"dialog", kSans},
        {"serif", "'DejaVu Serif', 'Noto Serif CJK JP', serif"},
        {"monospaced", "'DejaVu Sans Mono', 'Noto Sans Mono CJK JP', monospace"},
        {"A'b\\c\"<&", "'Abc\"<&', " + kSans},
        {"\xff\xfe", "'\xEF\xBF\xBD\xEF\xBF\xBD', " + kSans},
    };
    std::string stream;
    for (const Case& c : cases) stream += "c," + c.face + ",12,0,0,0,0\nu,1,65\n";
    Preview preview = render(stream);
    auto spans = preview.document.all("tspan");
    ASSERT_EQ(spans.size(), std::size(cases));
    for (size_t i = 0; i < spans.size(); ++i) EXPECT_EQ((*spans[i])["font-family"], cases[i].family) << cases[i].face;
}

TEST(SvgPreview, ElementsAreEmbeddedFromTheirDirectoryOrMarked) {
    javtest::ScratchDir scratch("javtrg_preview_elements");
    const fs::path dir = scratch.path / "elements";
    fs::create_directories(dir);
    fs::copy_file(fs::path(JAVTRG_SOURCE_DIR) / "tests" / "data" / "preview" / "palette.png", dir / "element-0001.png");
    std::ofstream(dir / "headless.png", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0", 10);
    std::ofstream(dir / "notes.png", std::ios::binary) << "not an image";
    std::ofstream(dir.parent_path() / "secret.png", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n", 8);
    std::string stream =
        "m,1,2,3,4\nelement-0001.png\nimage/png\n"
        "m,5,6,7,8\n../secret.png\nimage/png\n"
        "m,0,0,1,1\nnotes.png\nimage/png\n"
        "m,0,0,1,1\nmissing.png\nimage/png\n"
        "m,0,0,1,1\nheadless.png\nimage/png\n";
    Preview embedded = render(stream, dir.string());
    auto images = embedded.document.all("image");
    ASSERT_EQ(images.size(), 1u);
    expectAttributes(*images[0], {{"width", "3"}, {"preserveAspectRatio", "none"}}, "image");
    EXPECT_EQ((*images[0])["xlink:href"].rfind("data:image/png;base64,iVBORw0KGgo", 0), 0u);
    EXPECT_EQ(embedded.document.all("rect").size(), 5u);  // the background and four placeholders
    ASSERT_EQ(embedded.warnings.size(), 4u);
    EXPECT_NE(embedded.warnings[3].find("does not give its size in pixels"), std::string::npos);
    EXPECT_NE(embedded.warnings[0].find("'../secret.png' is not a file name"), std::string::npos);

    Preview marked = render(stream);
    EXPECT_TRUE(marked.document.all("image").empty());
    EXPECT_EQ((*marked.document.all("rect")[1])["class"], "element");
    EXPECT_EQ(marked.document.all("title")[0]->text, "element-0001.png (image/png)");
    EXPECT_TRUE(marked.warnings.empty());
}

TEST(SvgPreview, AbandonedRecordsLeaveNothingBehind) {
    Preview preview = render("r,1,1,1,1\np,5\n1,2,3,4,5,6,7,8\nu,3,65\nb,1,65,9,9\nr,2,2,2,2\n", "", true);
    EXPECT_TRUE(preview.document.all("polygon").empty());
    EXPECT_TRUE(preview.document.all("text").empty());
    EXPECT_EQ(preview.document.all("rect").size(), 3u);
}

TEST(SvgPreview, SizeComesFromTheExtentWithinTheRendererLimits) {
    struct Case {
        std::string stream, width, height;
    } cases[] = {
        {"l,2\n-50,-50,10,20\n", "10", "20"},
        {"r,-9,-9,2,2\n", "1", "1"},
        {"", "1", "1"},
    };
    for (const Case& c : cases) {
        expectAttributes(*render(c.stream).document.all("svg")[0], {{"width", c.width}, {"height", c.height}}, c.stream);
    }
}

}  // namespace
