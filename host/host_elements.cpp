// SPDX-License-Identifier: MIT
// Picture elements of the reference host: the createElement callback of the
// target info, the element writers the driver closes, the picture format
// query and the export of raster images as PNG files.
#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include <png.h>

#include "host/reference_host.h"

namespace refhost {

namespace {

// What each element format becomes: the file name's extension and the
// element's second text. Codes not listed are refused.
struct ElementFormat {
    int32_t code;
    const char* extension;
    const char* mimeType;
};
constexpr ElementFormat kElementFormats[] = {
    {.code = kElementPng, .extension = ".png", .mimeType = "image/png"},
    {.code = kElementRaster, .extension = ".bin", .mimeType = "application/octet-stream"},
    {.code = kElementVector, .extension = ".bin", .mimeType = "application/octet-stream"},
};

const ElementFormat* findFormat(int32_t code) {
    for (const ElementFormat& f : kElementFormats) {
        if (f.code == code) return &f;
    }
    return nullptr;
}

// Copies as much of `text` as fits in `size` bytes with its NUL; a buffer
// of no bytes (or an absent one) is left alone.
void putText(char* buffer, int32_t size, const std::string& text) {
    if (buffer == nullptr || size <= 0) return;
    size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

// "element-0001.png": numbered in creation order, at least four digits.
std::string elementName(size_t number, const char* extension) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04zu", number);
    return std::string("element-") + digits + extension;
}

void closeWriter(ElementWriter* writer) {
    if (writer == nullptr) return;
    auto* element = reinterpret_cast<HostElement*>(writer);
    // The writer's memory lives as long as the host, so a second close is
    // seen here rather than closing a file twice.
    if (!element->open) {
        std::fprintf(stderr, "reference host: element %s closed twice\n", element->name.c_str());
        std::abort();
    }
    element->host->log("closeElement");
    // A close that fails (an injected failure, as a file that cannot be
    // completed) spoils the element.
    if (element->host->shouldFail("closeElement")) element->failed = true;
    element->host->closeElement(element);
}

ElementWriter* opCreateElement(void* elementHandle, int32_t formatCode, char* textA, int32_t sizeA, char* textB,
                               int32_t sizeB) {
    if (elementHandle == nullptr) {
        putText(textA, sizeA, "");
        putText(textB, sizeB, "");
        return nullptr;
    }
    return static_cast<ReferenceHost*>(elementHandle)->createElement(formatCode, textA, sizeA, textB, sizeB);
}

// PNG and the host's raster format are rasters; every other format, its
// vector format among them, is a vector picture. A failed
// query answers 0: no kind known.
int32_t opQueryPictureFormat(HostServices* s, const int32_t* formatCode) {
    hostOf(s)->log("queryPictureFormat");
    if (hostOf(s)->shouldFail("queryPictureFormat")) return 0;
    if (formatCode == nullptr) return 1;
    return *formatCode == kElementPng || *formatCode == kElementRaster ? kFormatIsRaster : 1;
}

int32_t opExportRaster(HostServices* s, const void* rasterBody, ExportRequest* request) {
    return hostOf(s)->exportRaster(rasterBody, request);
}

// Appends to the element's file or memory; false when that failed.
bool appendToElement(HostElement* element, const void* bytes, size_t length) {
    if (element->file != nullptr) {
        if (std::fwrite(bytes, 1, length, element->file) == length) return true;
        element->error = errno;
        return false;
    }
    try {
        element->bytes.append(static_cast<const char*>(bytes), length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// libpng reports errors by a jump back into writePng; nothing with a
// destructor may be live in the frames it jumps over, which holds for
// these callbacks and for writePng itself.
void pngWrite(png_structp png, png_bytep data, size_t length) {
    auto* element = static_cast<HostElement*>(png_get_io_ptr(png));
    if (!appendToElement(element, data, length)) png_error(png, "element write failed");
}
void pngFlush(png_structp) {}
[[noreturn]] void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// The export: a `sourceWidth` × `sourceHeight` RGBA image scaled to
// `width` × `height` by nearest neighbour, each target pixel taking the
// source pixel under its centre. `row` holds width × 4 bytes.
struct PngJob {
    const uint8_t* pixels;
    uint32_t sourceWidth, sourceHeight;
    uint32_t width, height;
    int32_t dpiX, dpiY;
    uint8_t* row;
};

uint32_t sourceIndex(uint32_t target, uint32_t targetSize, uint32_t sourceSize) {
    return static_cast<uint32_t>((2 * static_cast<uint64_t>(target) + 1) * sourceSize / (2 * static_cast<uint64_t>(targetSize)));
}

bool writePng(HostElement* element, const PngJob& job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, element, pngWrite, pngFlush);
    png_set_IHDR(png, info, job.width, job.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The resolution the export asks for, in pixels per metre.
    if (job.dpiX > 0 && job.dpiY > 0) {
        auto perMetre = [](int32_t dpi) { return static_cast<png_uint_32>(dpi / 0.0254 + 0.5); };
        png_set_pHYs(png, info, perMetre(job.dpiX), perMetre(job.dpiY), PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    const size_t sourceStride = static_cast<size_t>(job.sourceWidth) * 4;
    for (uint32_t y = 0; y < job.height; ++y) {
        const uint8_t* source = job.pixels + sourceIndex(y, job.height, job.sourceHeight) * sourceStride;
        for (uint32_t x = 0; x < job.width; ++x)
            std::memcpy(job.row + static_cast<size_t>(x) * 4, source + static_cast<size_t>(sourceIndex(x, job.width, job.sourceWidth)) * 4, 4);
        png_write_row(png, job.row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The exported size on one side: the requested size when positive, cut to
// `largest`, else the source's size.
uint32_t exportSide(int32_t requested, uint32_t source, uint32_t largest) {
    if (requested <= 0) return source;
    return std::min(static_cast<uint32_t>(requested), largest);
}

}  // namespace

void installElementOperations(HostServices* services, TargetInfo* info, ReferenceHost* host) {
    services->queryPictureFormat = opQueryPictureFormat;
    services->exportRaster = opExportRaster;
    info->elementHandle = host;
    info->createElement = opCreateElement;
}

ElementWriter* PictureStore::createElement(int32_t formatCode, char* textA, int32_t sizeA, char* textB, int32_t sizeB) {
    ReferenceHost& h = host();
    h.log("createElement " + std::to_string(formatCode));
    // Cleared first, so that a refusal leaves no texts of an earlier element.
    putText(textA, sizeA, "");
    putText(textB, sizeB, "");
    if (h.shouldFail("createElement")) return nullptr;
    const ElementFormat* format = findFormat(formatCode);
    if (format == nullptr) return nullptr;

    auto element = std::make_unique<HostElement>();
    element->writer.close = closeWriter;
    element->host = &h;
    element->formatCode = formatCode;
    element->name = elementName(elements_.size() + 1, format->extension);
    element->mimeType = format->mimeType;
    element->file = nullptr;
    element->open = true;
    element->written = false;
    element->failed = false;
    if (!elementDirectory_.empty()) {
        element->path = (std::filesystem::path(elementDirectory_) / element->name).string();
        element->file = std::fopen(element->path.c_str(), "wb");
        if (element->file == nullptr) {
            h.noteFailure("createElement", element->path + ": " + std::strerror(errno));
            return nullptr;
        }
    }
    putText(textA, sizeA, element->name);
    putText(textB, sizeB, element->mimeType);
    elements_.push_back(std::move(element));
    return &elements_.back()->writer;
}

void PictureStore::closeElement(HostElement* element) {
    if (!element->open) return;
    element->open = false;
    if (element->file != nullptr) {
        if (std::fclose(element->file) != 0) {
            element->failed = true;
            if (element->error == 0) element->error = errno;
        }
        element->file = nullptr;
    }
    // An element whose export failed holds a partial image: nothing of it
    // is kept, so every element file left behind is complete.
    if (element->failed) {
        if (!element->path.empty()) std::remove(element->path.c_str());
        element->bytes.clear();
    }
}

size_t PictureStore::openElements() const {
    return static_cast<size_t>(std::count_if(elements_.begin(), elements_.end(), [](const auto& e) { return e->open; }));
}

size_t PictureStore::closeOpenElements() {
    size_t closed = 0;
    for (auto& element : elements_) {
        if (!element->open) continue;
        closeElement(element.get());
        ++closed;
    }
    return closed;
}

HostElement* PictureStore::findOpenElement(const ElementWriter* writer) {
    auto found = std::find_if(elements_.begin(), elements_.end(), [writer](const auto& e) { return &e->writer == writer; });
    if (found == elements_.end() || !(*found)->open) return nullptr;
    return found->get();
}

bool PictureStore::writeImage(HostElement* element, const uint8_t* pixels, uint32_t width, uint32_t height,
                               const TargetInfo* parameters) {
    // One image per element, and only into a PNG element.
    if (element->written || element->formatCode != kElementPng) return false;
    // From here on a failure spoils the element.
    element->failed = true;
    PngJob job{};
    job.pixels = pixels;
    job.sourceWidth = width;
    job.sourceHeight = height;
    job.width = width;
    job.height = height;
    if (parameters != nullptr) {
        job.width = exportSide(parameters->pixelWidth, width, exportSideLimit_);
        job.height = exportSide(parameters->pixelHeight, height, exportSideLimit_);
        job.dpiX = parameters->dpiX;
        job.dpiY = parameters->dpiY;
    }
    std::vector<uint8_t> row(static_cast<size_t>(job.width) * 4);
    job.row = row.data();
    bool written = writePng(element, job);
    if (written && element->file != nullptr && std::fflush(element->file) != 0) {
        element->error = errno;
        written = false;
    }
    if (!written) return false;
    element->written = true;
    element->failed = false;
    return true;
}

int32_t PictureStore::exportRaster(const void* rasterBody, ExportRequest* request) {
    ReferenceHost& h = host();
    h.log("exportRaster");
    bool injected = h.shouldFail("exportRaster");
    if (request == nullptr) return 0;
    // Only an open element of this host takes an image; the writer is
    // compared by address and never followed before it is found here.
    HostElement* element = findOpenElement(request->writer);
    if (element == nullptr || element->written || element->formatCode != kElementPng ||
        request->elementKind != static_cast<uint32_t>(kElementPng))
        return 0;

    // From here on a failure spoils the element.
    element->failed = true;
    if (injected || rasterBody == nullptr) return 0;
    const RasterImage& image = static_cast<const RasterBody*>(rasterBody)->image;
    if (image.width == 0 || image.height == 0 || image.width > kMaxRasterSide || image.height > kMaxRasterSide) return 0;
    // The pixels must be a block of this host large enough for the image.
    const BlockInfo* block = h.blockInfo(image.pixels);
    if (block == nullptr || block->size / 4 / image.width < image.height) return 0;
    if (writeImage(element, image.pixels, image.width, image.height, request->parameters)) return 1;
    // A file that could not be written is the host's failure, with its cause.
    if (element->error != 0) h.noteFailure("exportRaster", element->path + ": " + std::strerror(element->error));
    return 0;
}

}  // namespace refhost
