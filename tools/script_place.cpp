// SPDX-License-Identifier: MIT
#include "tools/script_place.h"

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

}  // namespace

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
