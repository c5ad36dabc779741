// SPDX-License-Identifier: MIT
// Set-up and teardown of search highlighting for an instance: the
// highlight colour from the option text, whether hits must be whole words,
// and the release of what highlighting holds at the end.
#include <cstdio>
#include <cstring>

#include "highlight/highlight.h"

namespace {

// Red: red in the lowest byte, then green, then blue.
constexpr uint32_t kDefaultHighlight = 0x0000FFu;
constexpr size_t kColourDigits = 6;

bool JAVtIsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The value "%6x" reads at `text`, 0 when it reads none. Leading white space
// is skipped and at most six characters are taken, as the C library counts
// them (a sign and a "0x" prefix among them); nothing beyond the option
// text's terminator is looked at.
uint32_t JAVtReadHexTriple(const char* text) {
    while (JAVtIsSpace(*text)) ++text;
    char field[kColourDigits + 1] = {};
    for (size_t i = 0; i < kColourDigits && text[i] != '\0'; ++i) field[i] = text[i];
    unsigned int value = 0;
    if (std::sscanf(field, "%6x", &value) != 1) value = 0;
    return value;
}

// "color:" (the first one, letter case counting) and the first "#" at or
// after it give the colour as a red-green-blue triple; without both the
// colour stays as it is.
void JAVtReadOptionColour(const char* options, uint32_t* colour) {
    const char* keyword = std::strstr(options, "color:");
    if (keyword == nullptr) return;
    const char* hash = std::strchr(keyword, '#');
    if (hash == nullptr) return;
    uint32_t rgb = JAVtReadHexTriple(hash + 1);
    *colour = ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

}  // namespace

extern "C" int32_t JAVtInitHighlight(DriverContext* context) {
    HostSession* session = context->hostSession;
    const SearchRequest* request = session != nullptr ? session->searchRequest : nullptr;
    if (request == nullptr || request->searchTerms == nullptr || request->termCount < 1 ||
        context->targetParams->colourMode != kColourModeDirect)
        return 1;
    context->highlightColour = kDefaultHighlight;
    int32_t encoding = session->currentEncoding;
    // Whole-word hits are looked for only in Western and UTF-8 text.
    if (request->wholeWordRequested == 1 && (encoding == kEncodingWestern || encoding == kEncodingUtf8))
        context->wholeWord = 1;
    if (request->searchOptions != nullptr) JAVtReadOptionColour(request->searchOptions, &context->highlightColour);
    context->highlightTerms = nullptr;
    context->highlightTermCount = 0;
    return 1;
}

extern "C" void JAVtTermHighlight(DriverContext* context) {
    if (context == nullptr) return;
    JAVtFreeHighlightTerms(context);
    if (context->boxObjects != nullptr) {
        HostServices* services = context->hostServices;
        services->freeList(services, context->boxObjects);
        context->boxObjects = nullptr;
    }
}
