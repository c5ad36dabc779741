// The preview's picture elements: an "m" record places an element, named by
// its first text line, in its rectangle. When the elements directory holds
// that file and it is an image a browser shows (PNG, JPEG or GIF, told by
// its first bytes), the image is embedded in the document as a data URL, so
// the preview stands alone; otherwise a placeholder marks the rectangle.
//
// The name comes from the stream and is not trusted: only a plain file name
// of the directory is opened, never a path that leads elsewhere.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

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
