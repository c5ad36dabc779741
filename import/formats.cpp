// SPDX-License-Identifier: MIT
// The registry of importers.
#include "import/formats.h"

#include "import/drawing_import.h"
#include "import/metafile_import.h"

namespace javimport {

const std::vector<Importer>& importers() {
    static const std::vector<Importer> list = [] {
        std::vector<Importer> all = drawingImporters();
        all.push_back(metafileImporter());
        return all;
    }();
    return list;
}

const Importer* importerFor(const std::string& bytes) {
    for (const Importer& importer : importers()) {
        if (importer.recognises(bytes)) return &importer;
    }
    return nullptr;
}

std::string formatNames() {
    std::string names;
    for (const Importer& importer : importers()) names += (names.empty() ? "" : ", ") + std::string(importer.formatName);
    return names;
}

}  // namespace javimport
