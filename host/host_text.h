// SPDX-License-Identifier: MIT
// Text and fonts of the reference host.
//
// The session's text conversions run on iconv (host_text.cpp); the font
// system realises fonts with fontconfig and measures them (host_fonts.cpp).
// Both keep their state here, outside the ledger: a driver instance keeps
// its measuring context and last font while it runs, and the host releases
// what is left of either when it is destroyed. Converters stay open for the
// host's life, so that a run loads each conversion once.
#ifndef JAVTRG_HOST_TEXT_H
#define JAVTRG_HOST_TEXT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace refhost {

struct FontSystem;  // host_fonts.cpp
struct Converters;  // host_text.cpp

class TextSystem {
public:
    TextSystem() = default;
    TextSystem(const TextSystem&) = delete;
    TextSystem& operator=(const TextSystem&) = delete;

    // Made when first used.
    FontSystem& fontSystem();
    Converters& converters();
    // Fonts and measuring contexts the driver has not deleted.
    size_t liveFonts() const;
    size_t liveMeasureContexts() const;

private:
    // Each in the file that completes its type.
    struct FontSystemDeleter {
        void operator()(FontSystem* fonts) const;
    };
    struct ConvertersDeleter {
        void operator()(Converters* converters) const;
    };
    std::unique_ptr<FontSystem, FontSystemDeleter> fonts_;
    std::unique_ptr<Converters, ConvertersDeleter> converters_;
};

// Encodes UTF-8 text into the host encoding `code`; false when the encoding
// is unknown or cannot hold the text. The tool encodes script texts so.
bool encodeText(const std::string& utf8, int32_t code, bool bigEndianUnits, std::string* out);
// The iconv name of a host encoding code, or nullptr when unknown.
const char* encodingName(int32_t code, bool bigEndianUnits);

// The host encoding of text in a font of Windows character set `charset`.
int32_t encodingOfCharset(uint8_t charset);

}  // namespace refhost

#endif
