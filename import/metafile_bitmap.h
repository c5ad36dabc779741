// SPDX-License-Identifier: MIT
// Device-independent bitmaps of metafiles, decoded into the RGBA pixels a
// Raster object carries.
#ifndef JAVTRG_IMPORT_METAFILE_BITMAP_H
#define JAVTRG_IMPORT_METAFILE_BITMAP_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace javimport {

struct DecodedBitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::string pixels;  // width × height × 4 bytes: red, green, blue, alpha, rows from the top
};

// Decodes a bitmap (its info header, colour table and bits, no file
// header) of `length` bytes. Uncompressed 1, 4, 8, 16, 24 and 32 bits a pixel
// and the bit-field forms of 16 and 32 are read; anything else, and a
// bitmap whose bits end before its rows, is refused with the reason in
// `why`. Every read stays inside the `length` bytes.
bool decodeBitmap(const unsigned char* data, size_t length, DecodedBitmap* bitmap, std::string* why);

// The mean colour of a decoded bitmap as a colour entry (red in the lowest
// byte): what a pattern brush fills with.
uint32_t meanColour(const DecodedBitmap& bitmap);

}  // namespace javimport

#endif
