// SPDX-License-Identifier: MIT
#include "tools/svg_markup.h"

#include <charconv>
#include <cmath>

namespace javtool {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool xmlAllows(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The length of the UTF-8 sequence at `bytes` and its character, or 0 when
// it is not a valid, shortest sequence.
size_t decodeUtf8(std::string_view bytes, uint32_t* codePoint) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = byte(0);
    size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || length > bytes.size()) return 0;
    static constexpr uint32_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t c = lead & kLeadMask[length];
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    *codePoint = c;
    return length;
}

}  // namespace

std::string svgNumber(double value) {
    if (!std::isfinite(value)) return "0";
    double rounded = std::round(value * 100.0) / 100.0;
    if (rounded == 0.0) return "0";
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed, 2);
    std::string out(text, result.ptr);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

std::string svgColour(int64_t red, int64_t green, int64_t blue) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "#";
    for (int64_t component : {red, green, blue}) {
        auto value = static_cast<unsigned>(component < 0 ? 0 : component > 255 ? 255 : component);
        out += kHex[value >> 4];
        out += kHex[value & 15];
    }
    return out;
}

void appendCharacter(std::string& out, uint32_t c) {
    if (c == 0x9 || c == 0xA || c == 0xD) c = ' ';
    if (!xmlAllows(c)) c = kReplacement;
    switch (c) {
    case '&': out += "&amp;"; return;
    case '<': out += "&lt;"; return;
    case '>': out += "&gt;"; return;
    case '"': out += "&quot;"; return;
    case '\'': out += "&apos;"; return;
    default: break;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendEscaped(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        uint32_t c = kReplacement;
        size_t length = decodeUtf8(bytes, &c);
        appendCharacter(out, length == 0 ? kReplacement : c);
        bytes.remove_prefix(length == 0 ? 1 : length);
    }
}

void UnitDecoder::push(uint16_t unit, std::string& out) {
    if (high_ != 0) {
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            appendCharacter(out, 0x10000 + ((static_cast<uint32_t>(high_) - 0xD800) << 10) + (unit - 0xDC00u));
            high_ = 0;
            return;
        }
        appendCharacter(out, kReplacement);
        high_ = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_ = unit;
        return;
    }
    appendCharacter(out, unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit);
}

void UnitDecoder::flush(std::string& out) {
    if (high_ != 0) appendCharacter(out, kReplacement);
    high_ = 0;
}

}  // namespace javtool
