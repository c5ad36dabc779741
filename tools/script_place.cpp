// SPDX-License-Identifier: MIT
#include "tools/script_place.h"

#include <cstdint>
#include <cstdio>

namespace javtool {

namespace {

constexpr size_t kMaxKeyShown = 40;
constexpr size_t kMaxPlaceShown = 160;
constexpr size_t kPlaceHead = 70;
constexpr size_t kPlaceTail = 70;

bool plainName(const std::string& key) {
    if (key.empty() || key.size() > kMaxKeyShown) return false;
    for (char c : key) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!letter) return false;
    }
    return true;
}

// The length of the valid UTF-8 sequence of a printable character at
// `text[i]` (no control character, no surrogate, no overlong form); 0 when
// there is none.
size_t printableLength(const std::string& text, size_t i) {
    auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    unsigned lead = byte(i);
    if (lead >= 0x20 && lead < 0x7F) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0) return 0;
    uint32_t code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code < 0xA0) return 0;
    return length;
}

}  // namespace

std::string printable(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t length = printableLength(text, i);
        if (length == 0) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += escaped;
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string shown(const std::string& text, size_t limit) {
    std::string out = "\"";
    size_t count = 0;
    for (char c : text) {
        if (count++ == limit) {
            out += "...";
            break;
        }
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string memberPlace(const std::string& parent, const std::string& key) {
    if (!plainName(key)) return parent + "[" + shown(key, kMaxKeyShown) + "]";
    return parent.empty() ? key : parent + "." + key;
}

std::string elementPlace(const std::string& parent, size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string shortPlace(const std::string& place) {
    if (place.size() <= kMaxPlaceShown) return place;
    return place.substr(0, kPlaceHead) + " ... " + place.substr(place.size() - kPlaceTail);
}

}  // namespace javtool
