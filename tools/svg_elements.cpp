// SPDX-License-Identifier: MIT
// The preview's picture elements: an "m" record places an element, named by
// its first text line, in its rectangle. When the elements directory holds
// that file and it is an image a browser shows (PNG, JPEG or GIF, told by
// its first bytes), the image is embedded in the document as a data URL, so
// the preview stands alone; otherwise a placeholder marks the rectangle.
//
// The name comes from the stream and is not trusted: only a plain file name
// of the directory is opened, never a path that leads elsewhere.
#include <sys/stat.h>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/svg_preview.h"

namespace javtool {

namespace {

// Larger element files are drawn as placeholders: the preview stays a
// document a browser opens.
constexpr long long kElementBytesMax = 64LL * 1024 * 1024;

bool plainFileName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

const char* imageType(const unsigned char* head, size_t length) {
    if (length >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return "image/png";
    if (length >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return "image/jpeg";
    if (length >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0)) return "image/gif";
    return nullptr;
}

void appendBase64(std::string& out, const unsigned char* bytes, size_t length) {
    static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < length; i += 3) {
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (i + 1 < length) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (i + 2 < length) group |= bytes[i + 2];
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += i + 1 < length ? kDigits[(group >> 6) & 63] : '=';
        out += i + 2 < length ? kDigits[group & 63] : '=';
    }
}

uint32_t bigEndian32(const unsigned char* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// The pixel size an image's header gives, or false when the header does
// not say (JPEG gives it in a frame header further on: it is read there).
bool imagePixels(const unsigned char* head, size_t length, std::FILE* file, uint64_t* width, uint64_t* height) {
    if (length >= 24 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
        *width = bigEndian32(head + 16);
        *height = bigEndian32(head + 20);
        return true;
    }
    if (length >= 10 && head[0] == 'G') {
        *width = head[6] | (uint32_t{head[7]} << 8);
        *height = head[8] | (uint32_t{head[9]} << 8);
        return true;
    }
    // JPEG: walk the segments to the first frame header (SOFn).
    if (length < 4 || head[0] != 0xFF || head[1] != 0xD8) return false;
    long offset = 2;
    unsigned char segment[9];
    while (std::fseek(file, offset, SEEK_SET) == 0 && std::fread(segment, 1, 4, file) == 4 && segment[0] == 0xFF) {
        unsigned marker = segment[1];
        long size = (long{segment[2]} << 8) | segment[3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (std::fread(segment, 1, 5, file) != 5) return false;
            *height = (uint32_t{segment[1]} << 8) | segment[2];
            *width = (uint32_t{segment[3]} << 8) | segment[4];
            return true;
        }
        if (size < 2) return false;
        offset += 2 + size;
    }
    return false;
}

void appendToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

// Decodes the PNG `file` row by row and writes it, box-filtered down to
// `width` x `height`, as a PNG into `out`: memory holds one source row and
// one row of sums, whatever the image's size. False when the image cannot
// be read so (a damaged file, an interlaced image).
bool shrinkPng(std::FILE* file, uint32_t width, uint32_t height, std::string* out) {
    png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = reader != nullptr ? png_create_info_struct(reader) : nullptr;
    png_structp writer = nullptr;
    png_infop written = nullptr;
    std::vector<png_byte> row;
    std::vector<uint64_t> sums;
    std::vector<uint32_t> counts;
    std::vector<png_byte> shrunk;
    bool ok = false;
    if (info == nullptr) {
        png_destroy_read_struct(&reader, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(reader)) == 0) {
        std::rewind(file);
        png_init_io(reader, file);
        png_set_user_limits(reader, 1000000, 0x7fffffff);
        png_read_info(reader, info);
        uint32_t sourceWidth = png_get_image_width(reader, info);
        uint32_t sourceHeight = png_get_image_height(reader, info);
        if (png_get_interlace_type(reader, info) != PNG_INTERLACE_NONE || sourceWidth == 0 || sourceHeight == 0) {
            png_destroy_read_struct(&reader, &info, nullptr);
            return false;
        }
        png_set_expand(reader);
        png_set_strip_16(reader);
        png_set_gray_to_rgb(reader);
        png_set_add_alpha(reader, 0xFF, PNG_FILLER_AFTER);
        png_read_update_info(reader, info);
        row.resize(size_t{sourceWidth} * 4);
        sums.assign(size_t{width} * 4, 0);
        counts.assign(width, 0);
        shrunk.resize(size_t{width} * 4 * height);
        uint32_t outY = 0;
        for (uint32_t y = 0; y < sourceHeight; ++y) {
            png_read_row(reader, row.data(), nullptr);
            for (uint32_t x = 0; x < sourceWidth; ++x) {
                size_t column = static_cast<size_t>(uint64_t{x} * width / sourceWidth);
                for (size_t c = 0; c < 4; ++c) sums[column * 4 + c] += row[size_t{x} * 4 + c];
                ++counts[column];
            }
            uint32_t nextOutY = static_cast<uint32_t>(uint64_t{y + 1} * height / sourceHeight);
            if (nextOutY != outY || y + 1 == sourceHeight) {
                for (size_t i = 0; i < size_t{width} * 4; ++i) {
                    uint32_t count = std::max<uint32_t>(counts[i / 4], 1);
                    shrunk[size_t{outY} * width * 4 + i] = static_cast<png_byte>(sums[i] / count);
                }
                // A source smaller than the target in height fills the rows it skips.
                for (uint32_t fill = outY + 1; fill < nextOutY && fill < height; ++fill)
                    std::memcpy(&shrunk[size_t{fill} * width * 4], &shrunk[size_t{outY} * width * 4], size_t{width} * 4);
                std::fill(sums.begin(), sums.end(), 0);
                std::fill(counts.begin(), counts.end(), 0);
                outY = nextOutY;
            }
        }
        ok = true;
    }
    png_destroy_read_struct(&reader, &info, nullptr);
    if (!ok) return false;

    writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    written = writer != nullptr ? png_create_info_struct(writer) : nullptr;
    ok = false;
    if (written != nullptr && setjmp(png_jmpbuf(writer)) == 0) {
        png_set_write_fn(writer, out, appendToString, nullptr);
        png_set_IHDR(writer, written, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(writer, written);
        for (uint32_t y = 0; y < height; ++y) png_write_row(writer, &shrunk[size_t{y} * width * 4]);
        png_write_end(writer, written);
        ok = true;
    }
    png_destroy_write_struct(&writer, &written);
    return ok;
}

// The pixels an element's rectangle is drawn with, within `budget`.
void drawnPixels(double boxWidth, double boxHeight, int64_t budget, uint32_t* width, uint32_t* height) {
    double drawnWidth = std::max(1.0, std::ceil(boxWidth));
    double drawnHeight = std::max(1.0, std::ceil(boxHeight));
    double scale = std::min(1.0, std::sqrt(static_cast<double>(budget) / (drawnWidth * drawnHeight)));
    *width = static_cast<uint32_t>(std::clamp(std::floor(drawnWidth * scale), 1.0, 4.0e9));
    *height = static_cast<uint32_t>(std::clamp(std::floor(drawnHeight * scale), 1.0, 4.0e9));
}

}  // namespace

void SvgPreview::drawElement(const Record& record) {
    Box box = boxOf(record);
    if (embedElement(record, box)) return;
    std::string title;
    appendEscaped(title, record.elementName + " (" + record.elementType + ")");
    write("<rect class=\"element\"" + boxAttributes(box) +
          " fill=\"#e8e8e8\" stroke=\"#9a9a9a\" stroke-dasharray=\"4 2\"><title>" + title + "</title></rect>\n");
}

bool SvgPreview::embedElement(const Record& record, const Box& box) {
    if (options_.elementsDir.empty()) return false;
    const std::string& name = record.elementName;
    std::string shown;
    appendEscaped(shown, name);
    if (!plainFileName(name)) {
        warn(record.line, "the element name '" + shown + "' is not a file name; drawn as a placeholder");
        return false;
    }
    std::string path = (std::filesystem::path(options_.elementsDir) / name).string();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kElementBytesMax) {
        warn(record.line, "the element " + shown + " is not a readable file of at most 64 MiB in " +
                              options_.elementsDir + "; drawn as a placeholder");
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        warn(record.line, "cannot read the element " + shown + "; drawn as a placeholder");
        return false;
    }
    // Read in multiples of three bytes, so every piece encodes on its own.
    unsigned char buffer[3 * 16 * 1024];
    size_t got = std::fread(buffer, 1, sizeof buffer, file);
    const char* type = imageType(buffer, got);
    if (type == nullptr) {
        std::fclose(file);
        warn(record.line, "the element " + shown + " is not a PNG, JPEG or GIF image; drawn as a placeholder");
        return false;
    }
    // An image of more pixels than it is drawn with is embedded only at the
    // size it is drawn (within the pixel budget), so no renderer decodes more.
    uint64_t pixelWidth = 0;
    uint64_t pixelHeight = 0;
    if (!imagePixels(buffer, got, file, &pixelWidth, &pixelHeight)) {
        std::fclose(file);
        warn(record.line, "the element " + shown + " does not give its size in pixels; drawn as a placeholder");
        return false;
    }
    uint32_t drawnWidth = 0;
    uint32_t drawnHeight = 0;
    drawnPixels(box.width, box.height, options_.pixelBudget, &drawnWidth, &drawnHeight);
    if (pixelWidth > drawnWidth || pixelHeight > drawnHeight) {
        std::string shrunk;
        bool done = std::strcmp(type, "image/png") == 0 &&
                    shrinkPng(file, static_cast<uint32_t>(std::min<uint64_t>(drawnWidth, pixelWidth)),
                              static_cast<uint32_t>(std::min<uint64_t>(drawnHeight, pixelHeight)), &shrunk);
        std::fclose(file);
        if (!done) {
            warn(record.line, "the element " + shown + " is " + std::to_string(pixelWidth) + "x" +
                                  std::to_string(pixelHeight) +
                                  " pixels, more than it is drawn with, and cannot be read row by row; drawn as a "
                                  "placeholder");
            return false;
        }
        std::string encoded;
        appendBase64(encoded, reinterpret_cast<const unsigned char*>(shrunk.data()), shrunk.size());
        write("<image" + boxAttributes(box) + " preserveAspectRatio=\"none\" xlink:href=\"data:image/png;base64," +
              encoded + "\"/>\n");
        return true;
    }
    std::rewind(file);
    got = std::fread(buffer, 1, sizeof buffer, file);
    long long start = position();
    write("<image" + boxAttributes(box) + " preserveAspectRatio=\"none\" xlink:href=\"data:" + type + ";base64,");
    std::string encoded;
    while (got > 0) {
        encoded.clear();
        appendBase64(encoded, buffer, got);
        write(encoded);
        got = std::fread(buffer, 1, sizeof buffer, file);
    }
    bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        rewind(start);
        warn(record.line, "reading the element " + shown + " failed; drawn as a placeholder");
        return false;
    }
    write("\"/>\n");
    return true;
}

}  // namespace javtool
