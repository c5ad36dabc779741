// SPDX-License-Identifier: MIT
// Face names as the viewer receives them: the default face, the generic
// names of East Asian fonts, and the cut at a comma. Face buffers are 32
// bytes and need not hold a NUL; nothing here looks beyond them.
#include <cstring>

#include "text/text.h"

namespace {

constexpr char kDefaultFace[] = "Times New Roman";

char JAVtFoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool JAVtFaceIs(const char* face, const char* name) {
    size_t length = JAVtFaceLength(face);
    if (length != std::strlen(name)) return false;
    for (size_t i = 0; i < length; ++i) {
        if (JAVtFoldAscii(face[i]) != JAVtFoldAscii(name[i])) return false;
    }
    return true;
}

// The whole buffer: the name, then zero bytes to its end.
void JAVtSetFace(char* face, const char* name) {
    std::memset(face, 0, kFaceSize);
    std::memcpy(face, name, std::strlen(name));
}

}  // namespace

size_t JAVtFaceLength(const char* face) {
    size_t length = 0;
    while (length < kFaceSize && face[length] != '\0') ++length;
    return length;
}

void JAVtDefaultFace(char* face) {
    if (face[0] == '\0') JAVtSetFace(face, kDefaultFace);
}

void JAVtMapFontName(char* face) {
    const char* generic = "sansserif";
    if (JAVtFaceIs(face, "Arial")) {
        generic = "dialog";
    } else if (JAVtFaceIs(face, "Courier New") || JAVtFaceIs(face, "Courier")) {
        generic = "monospaced";
    } else if (JAVtFaceIs(face, kDefaultFace)) {
        generic = "serif";
    }
    JAVtSetFace(face, generic);
}

void JAVtCutAtComma(char* face) {
    for (size_t i = 0; i < kFaceSize && face[i] != '\0'; ++i) {
        if (face[i] == ',') {
            face[i] = '\0';
            return;
        }
    }
}
