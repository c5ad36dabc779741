// SPDX-License-Identifier: MIT
// The drawing formats: one importer per library, each recognising a file by
// its content (whatever its name) and collecting its pages through the
// drawing interface.
#include "import/drawing_import.h"

#include <libcdr/libcdr.h>
#include <libfreehand/libfreehand.h>
#include <libmspub/libmspub.h>
#include <libpagemaker/libpagemaker.h>
#include <libqxp/libqxp.h>
#include <librevenge-stream/librevenge-stream.h>
#include <libvisio/libvisio.h>
#include <libwpg/libwpg.h>
#include <libzmf/libzmf.h>

#include <climits>
#include <new>

#include "import/drawing_interface.h"

namespace javimport {

namespace {

using librevenge::RVNGDrawingInterface;
using librevenge::RVNGInputStream;

// One library: the format's name for messages, the library's own name for
// the message when it refuses a file, and its two entry points.
struct Library {
    const char* formatName;
    const char* libraryName;
    bool (*supported)(RVNGInputStream* input);
    bool (*parse)(RVNGInputStream* input, RVNGDrawingInterface* painter);
    // A second way to read a recognised file, tried when the first fails
    // (Visio stencils hold masters instead of pages).
    bool (*parseOtherwise)(RVNGInputStream* input, RVNGDrawingInterface* painter) = nullptr;
};

const Library kLibraries[] = {
    {"Visio drawing", "libvisio", [](RVNGInputStream* in) { return libvisio::VisioDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libvisio::VisioDocument::parse(in, p); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libvisio::VisioDocument::parseStencils(in, p); }},
    {"Publisher document", "libmspub", [](RVNGInputStream* in) { return libmspub::MSPUBDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libmspub::MSPUBDocument::parse(in, p); }},
    {"CorelDRAW drawing", "libcdr", [](RVNGInputStream* in) { return libcdr::CDRDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libcdr::CDRDocument::parse(in, p); }},
    {"CorelDRAW exchange drawing", "libcdr", [](RVNGInputStream* in) { return libcdr::CMXDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libcdr::CMXDocument::parse(in, p); }},
    {"WordPerfect graphic", "libwpg", [](RVNGInputStream* in) { return libwpg::WPGraphics::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libwpg::WPGraphics::parse(in, p); }},
    {"FreeHand drawing", "libfreehand", [](RVNGInputStream* in) { return libfreehand::FreeHandDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libfreehand::FreeHandDocument::parse(in, p); }},
    {"Zoner drawing", "libzmf", [](RVNGInputStream* in) { return libzmf::ZMFDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libzmf::ZMFDocument::parse(in, p); }},
    {"QuarkXPress document", "libqxp", [](RVNGInputStream* in) { return libqxp::QXPDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) {
         return libqxp::QXPDocument::parse(in, p) == libqxp::QXPDocument::RESULT_OK;
     }},
    {"PageMaker document", "libpagemaker", [](RVNGInputStream* in) { return libpagemaker::PMDocument::isSupported(in); },
     [](RVNGInputStream* in, RVNGDrawingInterface* p) { return libpagemaker::PMDocument::parse(in, p); }},
};
constexpr size_t kLibraryCount = sizeof kLibraries / sizeof kLibraries[0];

// The libraries read from a stream of the file's bytes (they find the parts
// of structured files, OLE or zip, inside it themselves).
std::unique_ptr<librevenge::RVNGStringStream> streamOf(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > UINT_MAX) return nullptr;
    return std::make_unique<librevenge::RVNGStringStream>(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                          static_cast<unsigned int>(bytes.size()));
}

// Asks the library, keeping whatever it throws inside: a library that
// throws has not recognised or not read the file.
bool ask(bool (*entry)(RVNGInputStream*), RVNGInputStream* input) {
    try {
        input->seek(0, librevenge::RVNG_SEEK_SET);
        return entry(input);
    } catch (...) {
        return false;
    }
}

bool recognisedBy(const Library& library, const std::string& bytes) {
    std::unique_ptr<librevenge::RVNGStringStream> input = streamOf(bytes);
    return input && ask(library.supported, input.get());
}

// Parses with `parse` into a fresh collector; false when the library
// refused the file or threw.
bool parseWith(bool (*parse)(RVNGInputStream*, RVNGDrawingInterface*), RVNGInputStream* input, DrawingCollector* collector,
               bool* outOfMemory) {
    try {
        input->seek(0, librevenge::RVNG_SEEK_SET);
        return parse(input, collector);
    } catch (const std::bad_alloc&) {
        *outOfMemory = true;
        return false;
    } catch (...) {
        return false;
    }
}

ImportStatus importWith(const Library& library, const std::string& bytes, const ImportOptions& options,
                        std::vector<ImportedPage>* pages, std::string* error) {
    std::unique_ptr<librevenge::RVNGStringStream> input = streamOf(bytes);
    if (!input || !ask(library.supported, input.get())) return ImportStatus::NotThisFormat;
    bool outOfMemory = false;
    auto collector = std::make_unique<DrawingCollector>(options);
    bool parsed = parseWith(library.parse, input.get(), collector.get(), &outOfMemory);
    if (!parsed && library.parseOtherwise != nullptr && collector->pagesSeen() == 0 && collector->failure().empty()) {
        collector = std::make_unique<DrawingCollector>(options);
        parsed = parseWith(library.parseOtherwise, input.get(), collector.get(), &outOfMemory);
    }
    std::string name = std::string(library.formatName) + " (" + library.libraryName + ")";
    if (!collector->failure().empty()) {
        *error = "the " + name + " is not imported: " + collector->failure();
        return ImportStatus::Refused;
    }
    if (outOfMemory) {
        *error = "the " + name + " is not imported: out of memory";
        return ImportStatus::Refused;
    }
    if (!parsed) {
        *error = std::string(library.libraryName) + " could not read this " + library.formatName;
        if (collector->pagesSeen() > 0) *error += " (it stopped after page " + std::to_string(collector->pagesSeen()) + ")";
        return ImportStatus::Refused;
    }
    uint32_t count = collector->pagesSeen();
    if (count == 0) {
        *error = "the " + name + " holds no page";
        return ImportStatus::Refused;
    }
    if (options.page > count) {
        *error = "the " + name + " has " + std::to_string(count) + (count == 1 ? " page" : " pages") + ", no page " +
                 std::to_string(options.page);
        return ImportStatus::Refused;
    }
    *pages = collector->takePages();
    return ImportStatus::Imported;
}

// Plain functions for the Importer table, one per library.
template <size_t I>
bool recognises(const std::string& bytes) {
    return recognisedBy(kLibraries[I], bytes);
}

template <size_t I>
ImportStatus import(const std::string& bytes, const ImportOptions& options, std::vector<ImportedPage>* pages,
                    std::string* error) {
    return importWith(kLibraries[I], bytes, options, pages, error);
}

template <size_t... I>
std::vector<Importer> tableOf(std::index_sequence<I...>) {
    return {Importer{kLibraries[I].formatName, &recognises<I>, &import<I>}...};
}

}  // namespace

const std::vector<Importer>& drawingImporters() {
    static const std::vector<Importer> table = tableOf(std::make_index_sequence<kLibraryCount>{});
    return table;
}

}  // namespace javimport
