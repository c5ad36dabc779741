// SPDX-License-Identifier: MIT
// What the importers share: how a real file is asked for, and what comes
// back. An importer turns one page of a drawing or metafile into the same
// `javtool::Script` an object script reads into (target, session, objects in
// drawing order, pictures), so that both reach the driver the same way.
#ifndef JAVTRG_IMPORT_IMPORT_OPTIONS_H
#define JAVTRG_IMPORT_IMPORT_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/script.h"

namespace javimport {

// What the command line asks of an import.
struct ImportOptions {
    // The target's pixel size; 0 x 0: the page at 96 pixels per inch. When
    // only one side is given the other keeps the page's aspect.
    uint32_t targetWidth = 0;
    uint32_t targetHeight = 0;
    // The page, counted from 1; 0 stands for every page.
    uint32_t page = 1;
    // Objects the pages of one drawing may make; a drawing past it is refused.
    uint64_t maxObjects = 4'000'000;
};

// One page of the file, ready to run.
struct ImportedPage {
    uint32_t number = 1;       // counted from 1
    javtool::Script script;    // target, session, objects and pictures
    std::vector<std::string> warnings;  // what was drawn otherwise than the file says, one line each
};

// How an import ended.
enum class ImportStatus {
    Imported,       // pages filled
    NotThisFormat,  // the importer does not recognise the file
    Refused,        // its library recognised it but could not read it; `error` says where it stopped
};

// One importer: a name for messages ("Visio drawing", "Windows metafile"),
// whether it recognises the file by its content, and the import itself.
struct Importer {
    const char* formatName;
    bool (*recognises)(const std::string& bytes);
    ImportStatus (*import)(const std::string& bytes, const ImportOptions& options,
                           std::vector<ImportedPage>* pages, std::string* error);
};

}  // namespace javimport

#endif
