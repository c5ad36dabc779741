// SPDX-License-Identifier: MIT
// Windows metafiles as pages, and as pictures inside other drawings.
#ifndef JAVTRG_IMPORT_METAFILE_IMPORT_H
#define JAVTRG_IMPORT_METAFILE_IMPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_options.h"

namespace javimport {

// The importer of Windows metafiles ("Windows metafile"): placeable ones
// and those that start with the standard header. A metafile is one page.
const Importer& metafileImporter();

// The objects of a metafile's picture stretched over `frame` (x0, y0, x1, y1
// in host units, y up), for a drawing that embeds the metafile: the caller
// draws them where it would have drawn the image. The objects set their own
// pen, fill and font, so the drawing sends its own again after them; a clip
// of the picture ends with it, and the driver keeps no stack of clips, so a
// clip open around the picture ends there too. False, with one line in
// `error`, for bytes that are no metafile or that libwmf cannot read.
bool metafilePictureObjects(const std::string& bytes, const int32_t frame[4],
                            std::vector<javtool::ObjectBuilder>* objects, std::string* error);

}  // namespace javimport

#endif
