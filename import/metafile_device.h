// SPDX-License-Identifier: MIT
// The metafile room: a libwmf device whose callbacks build the host objects
// of a Windows metafile's picture, in drawing order.
#ifndef JAVTRG_IMPORT_METAFILE_DEVICE_H
#define JAVTRG_IMPORT_METAFILE_DEVICE_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/script.h"

namespace javimport {

// The picture's size as the file gives it (the placeable header's inch, or
// the library's estimate for a metafile without one).
struct MetafileExtent {
    double widthInches = 0;
    double heightInches = 0;
};

// A frame in host units: x0, y0, x1, y1, y up.
using HostFrame = std::array<int32_t, 4>;

// Chooses the frame the picture is fitted to, once its extent is known.
using FrameChooser = std::function<HostFrame(const MetafileExtent&)>;

// Plays a metafile: its picture, stretched over the frame `choose` gives,
// as objects in drawing order. What is drawn otherwise than the file says
// goes to `warnings`, one line each, once. A metafile the library cannot
// read, or one that would build an unreasonable number of objects, gives
// false and one line in `error` (where it stopped and why); no object is
// kept then.
bool playMetafile(const std::string& bytes, const FrameChooser& choose, std::vector<javtool::ObjectBuilder>* objects,
                  std::vector<std::string>* warnings, std::string* error);

}  // namespace javimport

#endif
