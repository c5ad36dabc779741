// SPDX-License-Identifier: MIT
// Images of a drawing (drawGraphicObject): PNG, JPEG, BMP and GIF decoded by
// gdk-pixbuf into a Raster placed in the image's frame; embedded metafiles
// handed to the metafile hook of the registry (import/formats.h).
//
// An image is kept at most at the size it is drawn on the target (it is
// scaled down while it is decoded), so a large picture in a small frame
// costs no more than its frame; a picture declaring more than 2^25 pixels
// is not decoded at all.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "import/drawing_state.h"
#include "import/formats.h"
#include "import/metafile_import.h"
#include <javtrg/host_services.h>
#include "tools/object_builders.h"
#include "tools/script_place.h"

namespace javimport {

namespace {

using librevenge::RVNGPropertyList;

constexpr uint64_t kMaxDeclaredPixels = uint64_t{1} << 25;

enum class ImageType { Unknown, Png, Jpeg, Bmp, Gif, Metafile };

// The image's type by its first bytes, else by its MIME type.
ImageType imageType(const unsigned char* b, size_t n, const std::string& mime) {
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return ImageType::Png;
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return ImageType::Jpeg;
    if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) return ImageType::Gif;
    if (n >= 2 && b[0] == 'B' && b[1] == 'M') return ImageType::Bmp;
    if (mime.find("wmf") != std::string::npos || mime.find("emf") != std::string::npos) return ImageType::Metafile;
    // A placeable metafile, a metafile's own header (in memory or on disk,
    // nine words, version 1 or 3), or an enhanced metafile's signature.
    if (n >= 4 && std::memcmp(b, "\xD7\xCD\xC6\x9A", 4) == 0) return ImageType::Metafile;
    if (n >= 6 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0 && (b[5] == 1 || b[5] == 3) && b[4] == 0)
        return ImageType::Metafile;
    if (n >= 44 && b[0] == 1 && b[1] == 0 && b[2] == 0 && b[3] == 0 && std::memcmp(b + 40, " EMF", 4) == 0) return ImageType::Metafile;
    return ImageType::Unknown;
}

const char* loaderName(ImageType type) {
    switch (type) {
        case ImageType::Png: return "png";
        case ImageType::Jpeg: return "jpeg";
        case ImageType::Bmp: return "bmp";
        case ImageType::Gif: return "gif";
        default: return nullptr;
    }
}

// What the loader is told before it decodes: the largest size to keep.
struct SizeLimit {
    int width;
    int height;
    bool refused = false;
};

void onSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    auto* limit = static_cast<SizeLimit*>(data);
    if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxDeclaredPixels) {
        limit->refused = true;
        gdk_pixbuf_loader_set_size(loader, 1, 1);
        return;
    }
    double scale = std::min({1.0, static_cast<double>(limit->width) / width, static_cast<double>(limit->height) / height});
    if (scale < 1.0) {
        gdk_pixbuf_loader_set_size(loader, std::max(1, static_cast<int>(std::lround(width * scale))),
                                   std::max(1, static_cast<int>(std::lround(height * scale))));
    }
}

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Decodes the image into RGBA rows from the top, scaled down to fit
// `limit`; false with `reason` when it cannot.
bool decode(const unsigned char* bytes, size_t size, ImageType type, SizeLimit limit, uint32_t* width, uint32_t* height,
            std::string* pixels, std::string* reason) {
    GError* error = nullptr;
    std::unique_ptr<GdkPixbufLoader, Unref> loader(gdk_pixbuf_loader_new_with_type(loaderName(type), &error));
    if (!loader) {
        *reason = error != nullptr ? error->message : "no decoder";
        g_clear_error(&error);
        return false;
    }
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(onSizePrepared), &limit);
    bool written = gdk_pixbuf_loader_write(loader.get(), bytes, size, &error) != 0;
    bool closed = gdk_pixbuf_loader_close(loader.get(), written ? &error : nullptr) != 0;
    GdkPixbuf* image = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!written || !closed || image == nullptr || limit.refused) {
        *reason = limit.refused ? "it declares more than " + std::to_string(kMaxDeclaredPixels) + " pixels"
                  : error != nullptr ? std::string(error->message)
                                     : std::string("it could not be decoded");
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    int w = gdk_pixbuf_get_width(image);
    int h = gdk_pixbuf_get_height(image);
    int channels = gdk_pixbuf_get_n_channels(image);
    int stride = gdk_pixbuf_get_rowstride(image);
    bool alpha = gdk_pixbuf_get_has_alpha(image) != 0;
    if (w <= 0 || h <= 0 || gdk_pixbuf_get_bits_per_sample(image) != 8 || channels < (alpha ? 4 : 3)) {
        *reason = "its pixel layout is not 8-bit RGB";
        return false;
    }
    const guchar* rows = gdk_pixbuf_read_pixels(image);
    pixels->resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    for (int y = 0; y < h; ++y) {
        const guchar* row = rows + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (int x = 0; x < w; ++x) {
            char* out = pixels->data() + (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
            const guchar* in = row + static_cast<size_t>(x) * static_cast<size_t>(channels);
            out[0] = static_cast<char>(in[0]);
            out[1] = static_cast<char>(in[1]);
            out[2] = static_cast<char>(in[2]);
            out[3] = static_cast<char>(alpha ? in[3] : 0xFF);
        }
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    return true;
}

// Mirrors the RGBA image left to right and/or top to bottom.
void mirror(std::string* pixels, uint32_t width, uint32_t height, bool horizontal, bool vertical) {
    auto* p = reinterpret_cast<uint32_t*>(pixels->data());
    if (horizontal) {
        for (uint32_t y = 0; y < height; ++y) std::reverse(p + size_t{y} * width, p + size_t{y} * width + width);
    }
    if (vertical) {
        for (uint32_t y = 0; y < height / 2; ++y)
            std::swap_ranges(p + size_t{y} * width, p + size_t{y} * width + width, p + size_t{height - 1 - y} * width);
    }
}

// The bytes of a binary property (base64 in its text).
struct Binary {
    explicit Binary(const librevenge::RVNGProperty& property) : data(property.getStr()) {}
    const unsigned char* bytes() const { return data.getDataBuffer(); }
    size_t size() const { return data.size(); }
    librevenge::RVNGBinaryData data;
};

}  // namespace

uint64_t fillPicture(DrawingState& state, const RVNGPropertyList& style) {
    const librevenge::RVNGProperty* data = style["draw:fill-image"];
    if (data == nullptr || state.page == nullptr) return 0;
    std::string text = data->getStr().cstr();
    auto known = state.fillPictures.find(text);
    if (known != state.fillPictures.end()) return known->second;
    uint64_t& key = state.fillPictures[text];
    Binary binary(*data);
    const librevenge::RVNGProperty* mime = style["librevenge:mime-type"];
    ImageType type = binary.size() == 0 ? ImageType::Unknown
                                        : imageType(binary.bytes(), binary.size(), mime != nullptr ? mime->getStr().cstr() : "");
    if (loaderName(type) == nullptr) return key;
    // At most the page's size on the target: the fill is stretched over a rectangle of the page.
    SizeLimit limit{};
    limit.width = std::max(1, static_cast<int>(std::min(state.pageWidth * state.pixelsPerInchX, double{refhost::kMaxRasterSide})));
    limit.height = std::max(1, static_cast<int>(std::min(state.pageHeight * state.pixelsPerInchY, double{refhost::kMaxRasterSide})));
    refhost::HostPicture picture;
    picture.raster = true;
    picture.requestKind = kPictureRaster;
    picture.formatCode = kElementPng;
    std::string reason;
    if (!decode(binary.bytes(), binary.size(), type, limit, &picture.width, &picture.height, &picture.pixels, &reason)) {
        state.warn("a bitmap fill (" + std::string(loaderName(type)) + ") is not drawn: " + reason);
        return key;
    }
    state.pixelCount += uint64_t{picture.width} * picture.height;
    if (state.pixelCount > kMaxPixels) {
        if (state.failure.empty()) state.failure = "its images hold more than " + std::to_string(kMaxPixels) + " pixels";
        return key;
    }
    javtool::Script& script = state.page->script;
    key = script.pictures.size() + 1;
    script.pictures.emplace_back(key, std::move(picture));
    return key;
}

namespace {

// A metafile inside the drawing is drawn as what it is, a vector picture: its
// objects become a picture of the page, and a rectangle over the image's frame
// is filled with it, without an outline, so that the driver converts the
// picture and plays its objects back. A master page being recorded has no
// page to hold pictures yet; there the objects are drawn in place.
void drawMetafile(DrawingState& state, const std::string& bytes, const int32_t frame[4]) {
    refhost::HostPicture picture;
    std::string reason;
    if (!metafilePictureObjects(bytes, frame, &picture.objects, &reason)) {
        state.warn("an embedded metafile is not drawn: " + reason);
        return;
    }
    if (state.page == nullptr || state.sink != &state.page->script.objects) {
        for (javtool::ObjectBuilder& object : picture.objects) state.add(std::move(object));
        state.forgetStyle();
        return;
    }
    javtool::Script& script = state.page->script;
    uint64_t key = script.pictures.size() + 1;
    script.pictures.emplace_back(key, std::move(picture));
    FillAttributes fill{};
    fill.fillStyle = kFillPicture;
    fill.pictureRef = key;
    RectangleData box{};
    box.x0 = frame[0];
    box.y0 = frame[3];
    box.x1 = frame[2];
    box.y1 = frame[1];
    state.add(javtool::bodyBuilder(kKindLineAtt, LineAttributes{}));
    state.add(javtool::bodyBuilder(kKindFillAtt, fill));
    state.add(javtool::bodyBuilder(kKindRectangle, box));
    state.forgetStyle();
}

}  // namespace

void drawImage(DrawingState& state, const RVNGPropertyList& props) {
    const librevenge::RVNGProperty* data = props["office:binary-data"];
    const librevenge::RVNGProperty* mimeProperty = props["librevenge:mime-type"];
    std::string mime = mimeProperty != nullptr ? mimeProperty->getStr().cstr() : "";
    if (data == nullptr) return;
    Binary binary(*data);
    const unsigned char* bytes = binary.bytes();
    size_t size = binary.size();
    if (bytes == nullptr || size == 0) return;

    double x = inchesOf(props, "svg:x");
    double y = inchesOf(props, "svg:y");
    double w = std::fabs(inchesOf(props, "svg:width"));
    double h = std::fabs(inchesOf(props, "svg:height"));
    PointPair topLeft = state.point({x, y});
    PointPair topRight = state.point({x + w, y});
    PointPair bottomLeft = state.point({x, y + h});

    ImageType type = imageType(bytes, size, mime);
    if (type == ImageType::Metafile) {
        const int32_t frame[4] = {topLeft.x, bottomLeft.y, topRight.x, topLeft.y};  // x0, y0, x1, y1, y up
        drawMetafile(state, std::string(reinterpret_cast<const char*>(bytes), size), frame);
        return;
    }
    if (type == ImageType::Unknown) {
        state.warn("an image of type " + (mime.empty() ? std::string("unknown") : javtool::shown(mime)) + " is not drawn");
        return;
    }

    // At most the frame's size on the target, and never more than the host takes.
    SizeLimit limit{};
    double sideX = std::min(std::ceil(w * state.pixelsPerInchX), static_cast<double>(refhost::kMaxRasterSide));
    double sideY = std::min(std::ceil(h * state.pixelsPerInchY), static_cast<double>(refhost::kMaxRasterSide));
    limit.width = std::max(1, static_cast<int>(sideX));
    limit.height = std::max(1, static_cast<int>(sideY));
    uint32_t width = 0;
    uint32_t height = 0;
    auto pixels = std::make_shared<std::string>();
    std::string reason;
    if (!decode(bytes, size, type, limit, &width, &height, pixels.get(), &reason)) {
        state.warn("an image (" + std::string(loaderName(type)) + ") is not drawn: " + reason);
        return;
    }
    state.pixelCount += uint64_t{width} * height;
    if (state.pixelCount > kMaxPixels) {
        if (state.failure.empty()) state.failure = "its images hold more than " + std::to_string(kMaxPixels) + " pixels";
        return;
    }
    // The viewer places images upright: mirrored ones are mirrored in their
    // pixels, a half turn is both mirrors, other turns are drawn upright.
    const librevenge::RVNGProperty* flipX = props["draw:mirror-horizontal"];
    const librevenge::RVNGProperty* flipY = props["draw:mirror-vertical"];
    bool horizontal = flipX != nullptr && flipX->getInt() != 0;
    bool vertical = flipY != nullptr && flipY->getInt() != 0;
    const librevenge::RVNGProperty* rotate = props["librevenge:rotate"];
    double degrees = rotate != nullptr && std::isfinite(rotate->getDouble()) ? std::fmod(std::fabs(rotate->getDouble()), 360.0) : 0.0;
    if (std::fabs(degrees - 180.0) < 0.01) {
        horizontal = !horizontal;
        vertical = !vertical;
    } else if (degrees > 0.01 && 360.0 - degrees > 0.01) {
        state.warn("turned images are drawn upright");
    }
    mirror(pixels.get(), width, height, horizontal, vertical);
    RasterData corners{topLeft.x, topLeft.y, topRight.x, topRight.y, bottomLeft.x, bottomLeft.y};
    state.add(javtool::rasterObject(kKindRaster, corners, width, height, std::move(pixels)));
}

}  // namespace javimport
