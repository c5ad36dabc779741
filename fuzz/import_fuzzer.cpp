// SPDX-License-Identifier: MIT
// Drawings from bytes, read as `javtrg convert` reads a file that is not an
// object script: the importer that recognises the bytes imports every page,
// and each page runs through the reference host leaving nothing behind. A
// damaged drawing may be refused; it may not crash, throw or leak.
#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"
#include "import/formats.h"
#include "tools/script_runner.h"

namespace javfuzz {

bool importDrawing(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const javimport::Importer* importer = javimport::importerFor(bytes);
    if (importer == nullptr) return true;
    javimport::ImportOptions options;
    options.page = 0;
    // Small targets: what is found in a page does not depend on its size.
    options.targetWidth = 200;
    std::vector<javimport::ImportedPage> pages;
    std::string error;
    if (importer->import(bytes, options, &pages, &error) != javimport::ImportStatus::Imported) return !error.empty();
    for (const javimport::ImportedPage& page : pages) {
        refhost::ReferenceHost host;
        keepHostQuick(host);
        refhost::MemoryStream* stream = host.memoryStream();
        stream->keep = false;
        javtool::runScript(page.script, host, {nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject}, &stream->base);
        if (host.liveBlocks() != 0 || host.liveObjects() != 0 || host.openElements() != 0) return false;
    }
    return true;
}

}  // namespace javfuzz
