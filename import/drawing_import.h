// SPDX-License-Identifier: MIT
// The drawing formats read through the Document Liberation libraries, each
// an importer: the library's isSupported recognises the file, its parse
// drives the drawing interface (import/drawing_interface.h).
#ifndef JAVTRG_IMPORT_DRAWING_IMPORT_H
#define JAVTRG_IMPORT_DRAWING_IMPORT_H

#include <vector>

#include "import/import_options.h"

namespace javimport {

// Visio, Publisher, CorelDRAW, CorelDRAW exchange, WordPerfect Graphics,
// FreeHand, Zoner Draw, QuarkXPress and PageMaker, in this order.
const std::vector<Importer>& drawingImporters();

}  // namespace javimport

#endif
