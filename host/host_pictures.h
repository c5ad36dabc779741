// SPDX-License-Identifier: MIT
// Fill pictures, their conversion, and picture elements of the reference
// host.
//
// A fill names a picture by the key it was registered under. Converting it
// asks the driver's picture handler how it wants it: as vector objects (a
// group the host hands out one by one) or written into a picture element
// that the driver opened through createElement. Conversions and their
// groups are the host's and live until the run ends; the objects a group
// hands out become the driver's. Elements are the host's as well: the
// driver closes the ones it opens, and whatever it leaves open the host
// closes when it is destroyed. See docs/pictures.md and
// docs/host-elements.md.
#ifndef JAVTRG_HOST_PICTURES_H
#define JAVTRG_HOST_PICTURES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <javtrg/host_services.h>

namespace refhost {

class ReferenceHost;

// The image of a Raster object, right after its three corners (body
// offset 24): `width` × `height` pixels of 4 bytes each, red, green, blue,
// alpha, rows from the top down. `pixels` must be the start of a block of
// this host (an object attachment) holding at least width × height × 4
// bytes; anything else is refused by exportRaster.
struct RasterImage {
    uint32_t width;         // body offset 24
    uint32_t height;        // body offset 28
    const uint8_t* pixels;  // body offset 32
};
struct RasterBody {
    RasterData corners;
    RasterImage image;
};
static_assert(offsetof(RasterBody, image) == 24 && offsetof(RasterBody, image.pixels) == 32 &&
                  sizeof(RasterBody) == 40,
              "RasterBody");

// Largest side, in pixels, of an image the host reads or exports; larger
// export sizes are cut down to it.
constexpr uint32_t kMaxRasterSide = 16384;

// A picture element opened through createElement. The driver sees only
// `writer`; the rest is the host's.
struct HostElement {
    ElementWriter writer;
    ReferenceHost* host;
    int32_t formatCode;
    std::string name;       // the first element text: the file name
    std::string mimeType;   // the second element text
    std::string path;       // the file, when the host has an element directory
    std::FILE* file;        // open while the element is, in a directory
    std::string bytes;      // the contents, when kept in memory
    bool open;
    bool written;           // an image was exported into it
    bool failed;            // an export or a file write failed: nothing is kept
    int error = 0;          // errno of the file's failed write or close, 0 when none
};

// Makes one object of a vector picture in the host.
using ObjectMaker = std::function<HostObject*(ReferenceHost&)>;

// A picture a fill can name. The driver is asked how it wants the picture
// with a request of `requestKind` and `formatCode`. A vector picture is its
// objects in drawing order; a raster picture (`raster` set) is an image.
struct HostPicture {
    int32_t requestKind = kPictureVector;
    int32_t formatCode = kElementVector;
    std::vector<ObjectMaker> objects;
    bool raster = false;
    uint32_t width = 0;
    uint32_t height = 0;
    std::string pixels;  // width × height × 4 bytes, red, green, blue, alpha, rows from the top
};

// A picture handed back as vector drawing: the ConversionResult
// (kConversionGroup) and its group. The group's objects are made when the
// picture is converted; `next` hands them out one by one, and whatever it
// did not hand out is released with the conversion.
struct PictureGroup {
    HostGroup group;  // the driver sees this
    ReferenceHost* host;
    std::vector<const PictureGroup*>* playing;  // the host's groups being drawn
    std::vector<HostObject*> objects;
    size_t handedOut;
};
struct HostConversion {
    ConversionResult result;
    PictureGroup group;
};

// Objects the conversions of one run may hand out at most (see
// limitConvertedObjects).
constexpr size_t kMaxConvertedObjects = 1000000;

class PictureStore {
public:
    // ---- Fill pictures and their conversion (host_pictures.cpp)

    // Registers a picture under the key that a fill's pictureRef holds.
    void registerPicture(uint64_t key, HostPicture picture) { pictures_[key] = std::move(picture); }
    // The convertPicture operation: asks the driver's picture handler how it
    // wants the picture, then returns it as a group (vector answer) or
    // writes it into the element the driver opened (element answer).
    ConversionResult* convertPicture(uint64_t handle, uint64_t key, DriverContext* context, TargetInfo* copy);
    // Conversions are kept until the run ends (a group may still be played
    // while a picture inside it is converted). Releasing them releases the
    // objects their groups did not hand out; the host does it when it is
    // destroyed. Returns how many conversions there were.
    size_t releaseConversions();
    // Pictures nest: a picture's rectangles may be filled with pictures
    // whose rectangles are filled again, so that a few pictures a few fills
    // deep are drawn with more objects than any output could hold. The host
    // hands out at most this many objects through the conversions of one
    // run (kMaxConvertedObjects unless set); a conversion that would pass
    // the limit is refused (convertPicture returns nothing).
    void limitConvertedObjects(size_t objects) { convertedObjectsLimit_ = objects; }
    // Whether a conversion was refused for the limit.
    bool conversionsLimited() const { return conversionsLimited_; }
    // How deep conversions nest: a conversion asked for while an object of
    // another conversion's group is drawn is one deeper. The host learns
    // that a group's objects are drawn when the driver asks it for the next
    // object of a group around it, or when a new object of the picture
    // itself is handed over (startTopLevelObject).
    void startTopLevelObject() { playing_.clear(); }
    size_t deepestConversion() const { return deepestConversion_; }

    // ---- Picture elements (host_elements.cpp)

    // With a directory (which must exist) each element is a file there;
    // without one the host keeps its bytes in memory.
    void useElementDirectory(std::string directory) { elementDirectory_ = std::move(directory); }
    const std::vector<std::unique_ptr<HostElement>>& elements() const { return elements_; }
    size_t openElements() const;
    // Closes the elements the driver left open (also done at destruction)
    // and returns how many there were; they are counted, not leaked.
    size_t closeOpenElements();
    // The createElement and exportRaster operations.
    ElementWriter* createElement(int32_t formatCode, char* textA, int32_t sizeA, char* textB, int32_t sizeB);
    int32_t exportRaster(const void* rasterBody, ExportRequest* request);
    void closeElement(HostElement* element);
    // The open element of this writer, found by address (never followed
    // first); nullptr for any other writer.
    HostElement* findOpenElement(const ElementWriter* writer);
    // Writes `pixels` (width × height, RGBA) into an open PNG element that
    // holds no image yet, scaled to the parameter block's pixel size. false
    // when the element cannot take it; a failed write spoils the element.
    bool writeImage(HostElement* element, const uint8_t* pixels, uint32_t width, uint32_t height,
                    const TargetInfo* parameters);
    // Cuts the sides of exported images to `side` pixels (kMaxRasterSide
    // unless set): a host that must stay quick, as under a fuzzer, writes
    // small images however large the driver asks for them.
    void limitExportSide(uint32_t side) { exportSideLimit_ = std::min(side, kMaxRasterSide); }

private:
    ReferenceHost& host();

    std::map<uint64_t, HostPicture> pictures_;
    std::vector<std::unique_ptr<HostConversion>> conversions_;
    size_t convertedObjects_ = 0;
    size_t convertedObjectsLimit_ = kMaxConvertedObjects;
    bool conversionsLimited_ = false;
    std::vector<const PictureGroup*> playing_;  // the groups being drawn, outermost first
    size_t deepestConversion_ = 0;
    std::string elementDirectory_;
    std::vector<std::unique_ptr<HostElement>> elements_;
    uint32_t exportSideLimit_ = kMaxRasterSide;
};

}  // namespace refhost

#endif
