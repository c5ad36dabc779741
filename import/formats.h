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

// The frame of an embedded picture on its page, in host units (y upwards).
struct EmbeddedFrame {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The hook for metafiles embedded in drawings (WMF, EMF): draws `bytes` into
// `frame`, appending its objects to `objects`. False, with `reason`, when it
// cannot; the drawing then goes on without the picture and the page says so.
// This is where the metafile importer is connected.
bool drawEmbeddedMetafile(const std::string& bytes, const EmbeddedFrame& frame,
                          std::vector<javtool::ObjectBuilder>* objects, std::string* reason);

}  // namespace javimport

#endif
