// SPDX-License-Identifier: MIT
// The registry of importers: every format `javtrg convert` reads besides
// object scripts, asked in order whether they recognise a file's content.
#ifndef JAVTRG_IMPORT_FORMATS_H
#define JAVTRG_IMPORT_FORMATS_H

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_options.h"

namespace javimport {

// Every importer, in the order they are asked.
const std::vector<Importer>& importers();

// The importer that recognises `bytes`, or nullptr.
const Importer* importerFor(const std::string& bytes);

// The format names of every importer, for messages ("Visio drawing,
// Publisher document, ...").
std::string formatNames();

}  // namespace javimport

#endif
