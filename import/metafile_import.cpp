// SPDX-License-Identifier: MIT
// Windows metafiles as pages: the target and the frame from the picture's
// size, the objects from the libwmf device.
#include "import/metafile_import.h"

#include <algorithm>
#include <cmath>

#include "import/metafile_device.h"

namespace javimport {

namespace {

// Host units are twips: 1440 to the inch.
constexpr double kUnitsPerInch = 1440;
constexpr double kPixelsPerInch = 96;

uint32_t read16(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// The placeable header's key, or a standard header: type 1 (memory) or 2
// (disk), nine 16-bit words, version 1 or 3.
bool recognisesMetafile(const std::string& bytes) {
    if (bytes.size() < 18) return false;
    if (read16(bytes, 0) == 0xCDD7 && read16(bytes, 2) == 0x9AC6) return true;
    uint32_t type = read16(bytes, 0), words = read16(bytes, 2), version = read16(bytes, 4);
    return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

int32_t atLeastOne(double value) { return static_cast<int32_t>(std::clamp(std::round(value), 1.0, 1e9)); }

ImportStatus importMetafile(const std::string& bytes, const ImportOptions& options, std::vector<ImportedPage>* pages,
                            std::string* error) {
    if (!recognisesMetafile(bytes)) return ImportStatus::NotThisFormat;
    if (options.page > 1) {
        *error = "a metafile has one page, not page " + std::to_string(options.page);
        return ImportStatus::Refused;
    }
    ImportedPage page;
    javtool::Script& script = page.script;
    // The target: the picture at 96 pixels per inch, or the size asked for,
    // a missing side keeping the picture's aspect.
    FrameChooser choose = [&](const MetafileExtent& extent) {
        double inchesX = extent.widthInches > 0 ? extent.widthInches : 1 / kPixelsPerInch;
        double inchesY = extent.heightInches > 0 ? extent.heightInches : 1 / kPixelsPerInch;
        int32_t pixelsX = atLeastOne(inchesX * kPixelsPerInch), pixelsY = atLeastOne(inchesY * kPixelsPerInch);
        if (options.targetWidth != 0 && options.targetHeight != 0) {
            pixelsX = static_cast<int32_t>(std::min<uint32_t>(options.targetWidth, INT32_MAX));
            pixelsY = static_cast<int32_t>(std::min<uint32_t>(options.targetHeight, INT32_MAX));
        } else if (options.targetWidth != 0) {
            pixelsX = static_cast<int32_t>(std::min<uint32_t>(options.targetWidth, INT32_MAX));
            pixelsY = atLeastOne(pixelsX * inchesY / inchesX);
        } else if (options.targetHeight != 0) {
            pixelsY = static_cast<int32_t>(std::min<uint32_t>(options.targetHeight, INT32_MAX));
            pixelsX = atLeastOne(pixelsY * inchesX / inchesY);
        }
        HostFrame frame{0, 0, atLeastOne(inchesX * kUnitsPerInch), atLeastOne(inchesY * kUnitsPerInch)};
        TargetParams& p = script.params;
        p.sizeX = frame[2] / kUnitsPerInch;
        p.sizeY = frame[3] / kUnitsPerInch;
        std::copy(frame.begin(), frame.end(), p.sourceFrame);
        p.colourMode = 4;
        script.hasTargetInfo = true;
        script.info.pixelWidth = pixelsX;
        script.info.pixelHeight = pixelsY;
        return frame;
    };
    if (!playMetafile(bytes, choose, &script.objects, &page.warnings, error)) return ImportStatus::Refused;
    pages->push_back(std::move(page));
    return ImportStatus::Imported;
}

}  // namespace

const Importer& metafileImporter() {
    static const Importer importer{
        .formatName = "Windows metafile",
        .recognises = recognisesMetafile,
        .import = importMetafile,
    };
    return importer;
}

bool metafilePictureObjects(const std::string& bytes, const int32_t frame[4],
                            std::vector<javtool::ObjectBuilder>* objects, std::string* error) {
    if (!recognisesMetafile(bytes)) {
        *error = "the picture is no Windows metafile";
        return false;
    }
    HostFrame fixed{frame[0], frame[1], frame[2], frame[3]};
    std::vector<std::string> warnings;
    return playMetafile(bytes, [&](const MetafileExtent&) { return fixed; }, objects, &warnings, error);
}

}  // namespace javimport
