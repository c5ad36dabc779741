// SPDX-License-Identifier: MIT
// `fidelity_reference FILE -o OUT.png [--page N] [--size WxH] [--svg OUT.svg]`:
// draws the reference picture of one page of a drawing or metafile, the
// picture the preview of its record stream is scored against.
//
// Drawings go through their own library's `parse` into librevenge's SVG
// drawing generator (what the libraries' xhtml converters print, font sizes
// corrected: see ReferenceSvgGenerator); metafiles through `wmf2svg`. The
// SVG is rendered by the preview's own renderer (librsvg and cairo). The size is the page at 96
// pixels per inch unless --size names one; a placeable metafile's page is
// its frame, a plain metafile's the size wmf2svg gives it.
//
// Prints "pages K size WxH library NAME" (the file's page count, the size
// drawn and the library that read the file). Exit 0 on success, 2 for bad
// usage or a file that cannot be drawn, with one line on stderr.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <vector>

#include <CLI/CLI.hpp>
#include <libcdr/libcdr.h>
#include <libfreehand/libfreehand.h>
#include <libmspub/libmspub.h>
#include <libpagemaker/libpagemaker.h>
#include <libqxp/libqxp.h>
#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libvisio/libvisio.h>
#include <libwpg/libwpg.h>
#include <libzmf/libzmf.h>

#include "tools/png_render.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct RasterSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// Files larger than this are not read: no corpus file comes near it.
constexpr std::uintmax_t kInputMax = std::uintmax_t{256} << 20;
// The default size is scaled down, aspect kept, to this longer side.
constexpr double kDefaultSideMax = 8192;

struct Reference {
    std::string svg;
    size_t pageCount = 0;
    const char* library = "libwmf";
    RasterSize pageSize;  // 0 x 0: the SVG's own size
};

bool readFile(const std::string& path, std::string* bytes, std::string* error) {
    std::error_code failure;
    if (!fs::is_regular_file(path, failure)) {
        *error = "no such file";
        return false;
    }
    std::uintmax_t size = fs::file_size(path, failure);
    if (failure || size > kInputMax) {
        *error = failure ? "cannot read it" : "larger than 256 MB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes->assign(static_cast<size_t>(size), '\0');
    if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) {
        *error = "cannot read it";
        return false;
    }
    return true;
}

uint16_t word(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

bool isPlaceableMetafile(const std::string& bytes) {
    return bytes.size() >= 22 && bytes.compare(0, 4, "\xD7\xCD\xC6\x9A") == 0;
}

bool isMetafile(const std::string& bytes) {
    if (isPlaceableMetafile(bytes)) return true;
    // A plain metafile begins with its header: type 1 or 2, a header of
    // 9 words, version 1.0 or 3.0.
    return bytes.size() >= 18 && (word(bytes, 0) == 1 || word(bytes, 0) == 2) && word(bytes, 2) == 9 &&
           (word(bytes, 4) == 0x100 || word(bytes, 4) == 0x300);
}

// A placeable metafile's frame at 96 pixels per inch.
RasterSize placeableFrame(const std::string& bytes) {
    auto coordinate = [&](size_t at) { return static_cast<int16_t>(word(bytes, at)); };
    double inch = word(bytes, 14);
    double width = std::abs(int32_t{coordinate(10)} - coordinate(6));
    double height = std::abs(int32_t{coordinate(12)} - coordinate(8));
    if (inch == 0 || width == 0 || height == 0) return {};
    return {static_cast<uint32_t>(std::max(1.0, std::round(width / inch * 96))),
            static_cast<uint32_t>(std::max(1.0, std::round(height / inch * 96)))};
}

// wmf2svg writes each text as the bytes the metafile has, neither escaped
// nor in a declared encoding, so a text of "&" or of accented letters makes
// the SVG unreadable. The text contents are taken as Latin-1 and written
// again escaped, in UTF-8; texts in other code pages stay as wrong in the
// reference as wmf2svg makes them.
std::string escapeMetafileTexts(const std::string& svg) {
    std::string out;
    out.reserve(svg.size() + svg.size() / 8);
    size_t at = 0;
    while (true) {
        size_t open = svg.find("<text", at);
        size_t start = open == std::string::npos ? open : svg.find('>', open);
        size_t close = start == std::string::npos ? start : svg.find("</text>", start);
        if (close == std::string::npos) break;
        out.append(svg, at, start + 1 - at);
        for (size_t i = start + 1; i < close; ++i) {
            auto byte = static_cast<unsigned char>(svg[i]);
            if (byte == '&') out += "&amp;";
            else if (byte == '<') out += "&lt;";
            else if (byte == '>') out += "&gt;";
            else if (byte < 0x80) out += static_cast<char>(byte);
            else {
                out += static_cast<char>(0xC0 | byte >> 6);
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        at = close;
    }
    out.append(svg, at, std::string::npos);
    return out;
}

// Runs wmf2svg on `path` in a scratch directory, its bitmaps inline; what
// it says on failure becomes part of the message.
bool metafileReference(const std::string& path, const std::string& bytes, Reference* reference, std::string* error) {
    std::string scratch = (fs::temp_directory_path() / "fidelity-wmf.XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr) {
        *error = "cannot make a scratch directory";
        return false;
    }
    std::string svgPath = scratch + "/reference.svg";
    std::string messagesPath = scratch + "/messages.txt";
    // An absolute path, so that no file name reads as an option.
    std::string input = fs::absolute(path).string();
    const char* argv[] = {"wmf2svg", "--inline", "-o", svgPath.c_str(), input.c_str(), nullptr};
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, messagesPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &files, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    if (spawned == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    bool read = false;
    if (spawned != 0) {
        *error = std::string("cannot run wmf2svg (") + std::strerror(spawned) + "); Debian's libwmf-bin has it";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string said;
        std::getline(std::ifstream(messagesPath), said);
        *error = "libwmf refused it (wmf2svg failed" + (said.empty() ? "" : ": " + said.substr(0, 200)) + ")";
    } else {
        read = readFile(svgPath, &reference->svg, error);
        if (!read) *error = "wmf2svg wrote no SVG: " + *error;
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (!read) return false;
    reference->svg = escapeMetafileTexts(reference->svg);
    reference->pageCount = 1;
    if (isPlaceableMetafile(bytes)) reference->pageSize = placeableFrame(bytes);
    return true;
}

// librevenge's SVG generator, with font sizes handed to it in points: it
// writes a size as the bare number, which SVG reads as points, whatever
// unit the library gave. libmspub gives inches, and Publisher text came
// out 72 times too small.
class ReferenceSvgGenerator : public librevenge::RVNGSVGDrawingGenerator {
public:
    using RVNGSVGDrawingGenerator::RVNGSVGDrawingGenerator;

    void openSpan(const librevenge::RVNGPropertyList& span) override {
        const librevenge::RVNGProperty* size = span["fo:font-size"];
        if (size == nullptr || (size->getUnit() != librevenge::RVNG_INCH && size->getUnit() != librevenge::RVNG_TWIP)) {
            RVNGSVGDrawingGenerator::openSpan(span);
            return;
        }
        double points = size->getDouble() * (size->getUnit() == librevenge::RVNG_INCH ? 72.0 : 1.0 / 20.0);
        librevenge::RVNGPropertyList inPoints(span);
        inPoints.insert("fo:font-size", points, librevenge::RVNG_POINT);
        RVNGSVGDrawingGenerator::openSpan(inPoints);
    }
};

// The drawing libraries, each asked in turn whether it reads the file.
struct DrawingLibrary {
    const char* name;
    bool (*supports)(librevenge::RVNGInputStream*);
    bool (*parse)(librevenge::RVNGInputStream*, librevenge::RVNGDrawingInterface*);
};

const DrawingLibrary kDrawingLibraries[] = {
    {"libvisio", libvisio::VisioDocument::isSupported,
     [](librevenge::RVNGInputStream* input, librevenge::RVNGDrawingInterface* painter) {
         if (libvisio::VisioDocument::parse(input, painter)) return true;
         input->seek(0, librevenge::RVNG_SEEK_SET);
         return libvisio::VisioDocument::parseStencils(input, painter);
     }},
    {"libmspub", libmspub::MSPUBDocument::isSupported, libmspub::MSPUBDocument::parse},
    {"libcdr", libcdr::CDRDocument::isSupported, libcdr::CDRDocument::parse},
    {"libcdr", libcdr::CMXDocument::isSupported, libcdr::CMXDocument::parse},
    {"libwpg", libwpg::WPGraphics::isSupported,
     [](librevenge::RVNGInputStream* input, librevenge::RVNGDrawingInterface* painter) {
         return libwpg::WPGraphics::parse(input, painter);
     }},
    {"libfreehand", libfreehand::FreeHandDocument::isSupported, libfreehand::FreeHandDocument::parse},
    {"libzmf", [](librevenge::RVNGInputStream* input) { return libzmf::ZMFDocument::isSupported(input); },
     libzmf::ZMFDocument::parse},
    {"libqxp", [](librevenge::RVNGInputStream* input) { return libqxp::QXPDocument::isSupported(input); },
     [](librevenge::RVNGInputStream* input, librevenge::RVNGDrawingInterface* painter) {
         return libqxp::QXPDocument::parse(input, painter) == libqxp::QXPDocument::RESULT_OK;
     }},
    {"libpagemaker", libpagemaker::PMDocument::isSupported, libpagemaker::PMDocument::parse},
};

bool drawingReference(const std::string& bytes, uint32_t page, Reference* reference, std::string* error) {
    librevenge::RVNGStringStream input(reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<unsigned int>(bytes.size()));
    for (const DrawingLibrary& library : kDrawingLibraries) {
        input.seek(0, librevenge::RVNG_SEEK_SET);
        if (!library.supports(&input)) continue;
        input.seek(0, librevenge::RVNG_SEEK_SET);
        librevenge::RVNGStringVector pages;
        ReferenceSvgGenerator generator(pages, "svg");
        if (!library.parse(&input, &generator)) {
            *error = std::string(library.name) + " refused it";
            return false;
        }
        reference->library = library.name;
        reference->pageCount = pages.size();
        if (pages.empty()) {
            *error = std::string(library.name) + " found no page in it";
            return false;
        }
        if (page > pages.size()) {
            *error = "it has " + std::to_string(pages.size()) + " pages, not " + std::to_string(page);
            return false;
        }
        reference->svg = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n") +
                         pages[page - 1].cstr();
        return true;
    }
    *error = "not a drawing or metafile its libraries read (tried libvisio, libmspub, libcdr, libwpg, "
             "libfreehand, libzmf, libqxp, libpagemaker and libwmf)";
    return false;
}

bool parseSize(const std::string& text, RasterSize* size) {
    static const std::regex kSize("([1-9][0-9]{0,4})x([1-9][0-9]{0,4})");
    std::smatch match;
    if (!std::regex_match(text, match, kSize)) return false;
    size->width = static_cast<uint32_t>(std::stoul(match[1]));
    size->height = static_cast<uint32_t>(std::stoul(match[2]));
    return size->width <= javtool::kRenderSideMax && size->height <= javtool::kRenderSideMax;
}

// The page at 96 pixels per inch, its longer side at most kDefaultSideMax.
RasterSize defaultSize(double width, double height) {
    double scale = std::min(1.0, kDefaultSideMax / std::max(width, height));
    return {static_cast<uint32_t>(std::max(1.0, std::round(width * scale))),
            static_cast<uint32_t>(std::max(1.0, std::round(height * scale)))};
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Draws the reference picture of a page of a drawing or metafile as PNG."};
    std::string input;
    std::string output;
    std::string svgOutput;
    std::string sizeText;
    uint32_t page = 1;
    app.add_option("FILE", input, "The drawing or metafile")->required();
    app.add_option("-o,--output", output, "The PNG to write")->required();
    app.add_option("-p,--page", page, "The page, counted from 1")->check(CLI::Range(1u, 1000000u));
    app.add_option("--size", sizeText, "The picture's size WxH in pixels (default: the page at 96 pixels per inch)");
    app.add_option("--svg", svgOutput, "Also write the reference SVG here");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    auto fail = [&](const std::string& message) {
        std::cerr << "fidelity_reference: " << input << ": " << message << "\n";
        return 2;
    };
    RasterSize size;
    if (!sizeText.empty() && !parseSize(sizeText, &size)) return fail("--size wants WxH, 1 to 32767 a side");

    std::string bytes;
    std::string error;
    if (!readFile(input, &bytes, &error)) return fail(error);
    Reference reference;
    bool drawn = isMetafile(bytes) ? (page == 1 ? metafileReference(input, bytes, &reference, &error)
                                                : (error = "a metafile has one page", false))
                                   : drawingReference(bytes, page, &reference, &error);
    if (!drawn) return fail(error);

    if (!svgOutput.empty()) {
        std::ofstream svg(svgOutput, std::ios::binary);
        if (!(svg << reference.svg)) return fail(svgOutput + ": cannot write the SVG");
    }
    if (size.width == 0) {
        double width = reference.pageSize.width;
        double height = reference.pageSize.height;
        if (width == 0 && !javtool::svgIntrinsicSize(reference.svg, &width, &height, &error)) {
            return fail("page " + std::to_string(page) + " cannot be drawn: " + error);
        }
        size = defaultSize(width, height);
    }
    // Rendered as the preview is, by the same function, so that the two
    // pictures differ by what they draw and not by how.
    javtool::PngRenderResult rendered =
        javtool::renderSvgToPngFile(reference.svg, size.width, size.height, javtool::kDefaultPixelBudget, output);
    if (!rendered.ok) return fail(output + ": " + rendered.error);
    // A picture over the pixel budget is drawn scaled down, as the preview
    // would draw it; the size printed is the one drawn, which ours takes.
    std::cout << "pages " << reference.pageCount << " size " << rendered.width << "x" << rendered.height << " library "
              << reference.library << "\n";
    return 0;
}
