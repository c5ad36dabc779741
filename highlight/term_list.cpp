// SPDX-License-Identifier: MIT
// The term list: the search terms of the session's request, copied or
// converted into the encoding of the text being searched. The highlighting
// pass builds it at the first text string and again whenever a string of
// another encoding comes; it lasts from one text box to the next.
#include <cstdint>
#include <cstring>

#include "highlight/highlight.h"

namespace {

constexpr int32_t kReplacementCharacter = '?';

// Bytes of a term before its terminator: a zero unit in 16-bit text, a
// zero byte otherwise.
int64_t JAVtTermLength(const uint8_t* term, int32_t encoding) {
    if (encoding != kEncodingUnits) return static_cast<int64_t>(std::strlen(reinterpret_cast<const char*>(term)));
    int64_t length = 0;
    while (term[length] != 0 || term[length + 1] != 0) length += 2;
    return length;
}

// The term unchanged, with its terminator, in a block from allocate.
uint8_t* JAVtCopyTerm(HostServices* services, const uint8_t* term, int64_t length, int32_t termEncoding) {
    int64_t terminator = termEncoding == kEncodingUnits ? 2 : 1;
    auto* copy = static_cast<uint8_t*>(services->allocate(services, static_cast<uint64_t>(length + terminator)));
    if (copy != nullptr) std::memcpy(copy, term, static_cast<size_t>(length + terminator));
    return copy;
}

// The term converted into the session's currentEncoding, in a zeroed
// session block two bytes longer than the result (its terminator). The host
// is asked for the length first, then for the bytes; a result longer than
// the length it asked for is not believed. Absent when the host cannot.
uint8_t* JAVtConvertTerm(HostSession* session, const uint8_t* term, int64_t* length, int32_t termEncoding) {
    if (*length > UINT32_MAX) return nullptr;
    TextSpan source{term, static_cast<uint32_t>(*length), 0};
    TextSpan needed{nullptr, 0, 0};
    if (session->convertText(session, termEncoding, &source, &needed, kReplacementCharacter) == 0 || needed.count == 0)
        return nullptr;
    uint64_t size = static_cast<uint64_t>(needed.count) + 2;
    auto* buffer = static_cast<uint8_t*>(session->allocSessionBlock(session, session->sessionAllocator, size));
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, static_cast<size_t>(size));
    TextSpan target{buffer, needed.count, 0};
    if (session->convertText(session, termEncoding, &source, &target, kReplacementCharacter) == 0 || target.count == 0) {
        session->freeSessionBlock(session, session->sessionAllocator, buffer);
        return nullptr;
    }
    *length = target.count < needed.count ? target.count : needed.count;
    return buffer;
}

// Characters of a term in `encoding`: two-byte steps for 16-bit text and
// for the host's lead bytes, one-byte steps otherwise, until the steps reach
// or pass the length.
int64_t JAVtCountCharacters(HostSession* session, const uint8_t* text, int64_t length, int32_t encoding) {
    int64_t characters = 0;
    for (int64_t offset = 0; offset < length; ++characters) {
        bool twoBytes = encoding == kEncodingUnits || session->isLeadByte(session, text[offset], encoding) != 0;
        offset += twoBytes ? 2 : 1;
    }
    return characters;
}

}  // namespace

void JAVtFreeHighlightTerms(DriverContext* context) {
    HighlightTerm* terms = context->highlightTerms;
    if (terms == nullptr) return;
    HostServices* services = context->hostServices;
    for (int32_t i = 0; i < context->highlightTermCount; ++i) {
        if (terms[i].text != nullptr) services->freeBlock(services, terms[i].text);
    }
    services->freeBlock(services, terms);
    context->highlightTerms = nullptr;
    context->highlightTermCount = 0;
}

void JAVtBuildHighlightTerms(DriverContext* context, int32_t encoding) {
    HostSession* session = context->hostSession;
    SearchRequest* request = session != nullptr ? session->searchRequest : nullptr;
    if (request == nullptr || request->searchTerms == nullptr || request->termCount < 1) return;
    HostServices* services = context->hostServices;
    int32_t remembered = session->currentEncoding;
    JAVtFreeHighlightTerms(context);

    auto count = static_cast<uint64_t>(request->termCount);
    if (count > SIZE_MAX / sizeof(HighlightTerm)) return;
    auto* terms = static_cast<HighlightTerm*>(services->allocate(services, count * sizeof(HighlightTerm)));
    if (terms == nullptr) return;

    for (int32_t i = 0; i < request->termCount; ++i) {
        HighlightTerm& entry = terms[i];
        entry = HighlightTerm{};
        const auto* term = reinterpret_cast<const uint8_t*>(request->searchTerms[i]);
        if (term == nullptr) continue;
        if (request->termEncoding == 0) request->termEncoding = kEncodingWestern;
        int32_t termEncoding = request->termEncoding;
        int64_t length = JAVtTermLength(term, termEncoding);
        uint8_t* copy = nullptr;
        if (encoding == 0 || encoding == termEncoding) {
            copy = JAVtCopyTerm(services, term, length, termEncoding);
        } else if (length == 0) {
            // An empty term converts to nothing; its entry stays empty
            // instead of failing the list for the other terms.
            continue;
        } else {
            session->currentEncoding = encoding;
            copy = JAVtConvertTerm(session, term, &length, termEncoding);
        }
        if (copy == nullptr) {
            // The texts copied so far and the array go back; the list stays
            // empty and the next string tries again.
            context->highlightTerms = terms;
            context->highlightTermCount = i;
            JAVtFreeHighlightTerms(context);
            session->currentEncoding = remembered;
            return;
        }
        entry.text = copy;
        entry.encoding = encoding;
        entry.byteLength = length;
        entry.charCount = JAVtCountCharacters(session, copy, length, encoding);
    }
    context->highlightTerms = terms;
    context->highlightTermCount = request->termCount;
    context->highlightTermsEncoding = encoding;
    session->currentEncoding = remembered;
}
