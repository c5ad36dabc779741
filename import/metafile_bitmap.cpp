// SPDX-License-Identifier: MIT
// Device-independent bitmaps: the info header (the 12-byte core form or
// the 40-byte form and its longer successors), the colour table, then the
// rows, bottom row first unless the height is negative.
#include "import/metafile_bitmap.h"

#include <bit>

#include "host/reference_host.h"

namespace javimport {

namespace {

// Largest image taken, in pixels (64 MiB of RGBA), as for script images.
constexpr uint64_t kMaxPixels = uint64_t{1} << 24;

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;

uint32_t read16(const unsigned char* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t read32(const unsigned char* p) { return read16(p) | read16(p + 2) << 16; }

// One colour channel under a bit-field mask, scaled to 0..255.
unsigned char channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = std::countr_zero(mask);
    uint32_t top = mask >> shift;
    uint64_t v = (value & mask) >> shift;
    return static_cast<unsigned char>(v * 255 / top);
}

}  // namespace

bool decodeBitmap(const unsigned char* data, size_t length, DecodedBitmap* bitmap, std::string* why) {
    if (length < 12) {
        *why = "a bitmap shorter than its header";
        return false;
    }
    uint32_t headerSize = read32(data);
    bool core = headerSize == 12;
    if (!core && (headerSize < 40 || headerSize > length)) {
        *why = "a bitmap header of " + std::to_string(headerSize) + " bytes";
        return false;
    }
    int64_t width = core ? int64_t{read16(data + 4)} : int64_t{static_cast<int32_t>(read32(data + 4))};
    int64_t height = core ? int64_t{read16(data + 6)} : int64_t{static_cast<int32_t>(read32(data + 8))};
    uint32_t bits = core ? read16(data + 10) : read16(data + 14);
    uint32_t compression = core ? kCompressionNone : read32(data + 16);
    uint32_t coloursUsed = core ? 0 : read32(data + 32);
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > refhost::kMaxRasterSide || height > refhost::kMaxRasterSide ||
        static_cast<uint64_t>(width * height) > kMaxPixels) {
        *why = "a bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        return false;
    }
    bool fields = compression == kCompressionBitFields && (bits == 16 || bits == 32);
    if ((compression != kCompressionNone && !fields) ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        *why = "a bitmap of " + std::to_string(bits) + " bits a pixel with compression " + std::to_string(compression);
        return false;
    }

    size_t offset = core ? 12 : headerSize;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (fields) {
        // The masks follow a 40-byte header and are part of longer ones.
        size_t at = headerSize == 40 ? offset : 40;
        if (at + 12 > length) {
            *why = "a bitmap that ends in its colour masks";
            return false;
        }
        for (int i = 0; i < 3; ++i) masks[i] = read32(data + at + 4 * static_cast<size_t>(i));
        if (headerSize == 40) offset += 12;
    }

    // The colour table: 2^bits entries unless fewer are used; the
    // direct-colour forms may carry one too, which is skipped.
    size_t entrySize = core ? 3 : 4;
    uint64_t tableCount = coloursUsed;
    if (bits <= 8 && (tableCount == 0 || tableCount > (1u << bits))) tableCount = 1u << bits;
    if (tableCount > length / entrySize || offset + tableCount * entrySize > length) {
        *why = "a bitmap that ends in its colour table";
        return false;
    }
    const unsigned char* table = data + offset;
    offset += tableCount * entrySize;

    uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (stride * static_cast<uint64_t>(height) > length - offset) {
        *why = "a bitmap whose bits end before its " + std::to_string(height) + " rows";
        return false;
    }

    bitmap->width = static_cast<uint32_t>(width);
    bitmap->height = static_cast<uint32_t>(height);
    bitmap->pixels.assign(static_cast<size_t>(width * height * 4), '\0');
    auto* out = reinterpret_cast<unsigned char*>(bitmap->pixels.data());
    for (int64_t row = 0; row < height; ++row) {
        const unsigned char* in = data + offset + stride * static_cast<uint64_t>(topDown ? row : height - 1 - row);
        for (int64_t x = 0; x < width; ++x) {
            unsigned char r = 0, g = 0, b = 0;
            if (bits <= 8) {
                uint64_t bitPos = static_cast<uint64_t>(x) * bits;
                uint32_t index = (in[bitPos / 8] >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                if (index < tableCount) {
                    const unsigned char* entry = table + index * entrySize;
                    b = entry[0];
                    g = entry[1];
                    r = entry[2];
                }
            } else if (bits == 24) {
                const unsigned char* p = in + x * 3;
                b = p[0];
                g = p[1];
                r = p[2];
            } else {
                uint32_t v = bits == 16 ? read16(in + x * 2) : read32(in + x * 4);
                r = channel(v, masks[0]);
                g = channel(v, masks[1]);
                b = channel(v, masks[2]);
            }
            unsigned char* pixel = out + (row * width + x) * 4;
            pixel[0] = r;
            pixel[1] = g;
            pixel[2] = b;
            pixel[3] = 0xFF;
        }
    }
    return true;
}

uint32_t meanColour(const DecodedBitmap& bitmap) {
    uint64_t sum[3] = {};
    uint64_t count = uint64_t{bitmap.width} * bitmap.height;
    if (count == 0 || bitmap.pixels.size() < count * 4) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bitmap.pixels.data());
    for (uint64_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) sum[c] += p[i * 4 + static_cast<uint64_t>(c)];
    return static_cast<uint32_t>(sum[0] / count) | static_cast<uint32_t>(sum[1] / count) << 8 |
           static_cast<uint32_t>(sum[2] / count) << 16;
}

}  // namespace javimport
