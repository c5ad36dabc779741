// SPDX-License-Identifier: MIT
// The highlighting pass over a collected text box.
//
// Every hit of a search term inside a text string is cut out into a string
// of its own, between two new character-attribute objects: the one in front
// carries the attributes in force with the highlight colour, the one behind
// carries them unchanged. The box is then played back as ordinary text, the
// hits in another colour.
#include <cctype>
#include <cstring>

#include "highlight/case_table.h"
#include "highlight/highlight.h"
#include "stream/object_body.h"

namespace {

bool JAVtIsWordByte(uint8_t byte) {
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// The text string being searched: its bytes and how many of them count.
struct SearchedText {
    const uint8_t* bytes;
    int64_t length;
    int32_t encoding;
    bool caseSensitive;
};

// A code unit of 16-bit text from two bytes, in the target's byte order.
uint16_t JAVtUnitAt(const uint8_t* bytes, bool bigEndian) {
    uint32_t first = bytes[0];
    uint32_t second = bytes[1];
    return static_cast<uint16_t>(bigEndian ? first * 256 + second : first + second * 256);
}

// Case-insensitive match of 16-bit text: every unit of the term, folded,
// equals the folded unit of the text. All units compared lie in the text.
bool JAVtMatchUnits(const DriverContext* context, const SearchedText& s, int64_t p, const HighlightTerm& t) {
    int64_t span = t.charCount * 2;
    if (span < t.byteLength) span = t.byteLength;
    if (span > s.length - p) return false;
    bool bigEndian = context->targetParams->bigEndianText != 0;
    for (int64_t i = 0; i < t.charCount; ++i) {
        uint16_t a = JAVtUnitAt(s.bytes + p + 2 * i, bigEndian);
        uint16_t b = JAVtUnitAt(t.text + 2 * i, bigEndian);
        if (JAVtFoldCodeUnit(a) != JAVtFoldCodeUnit(b)) return false;
    }
    return true;
}

// Case-insensitive match of byte text: the term's characters and the text's
// side by side. A two-byte character matches only when both its bytes are
// equal; single bytes fold as the C library's tolower does. Every character
// of the text walked lies in the text. currentEncoding holds the text's
// encoding while the host tells lead bytes.
bool JAVtMatchBytes(DriverContext* context, const SearchedText& s, int64_t p, const HighlightTerm& t) {
    HostSession* session = context->hostSession;
    int32_t remembered = session->currentEncoding;
    session->currentEncoding = s.encoding;
    bool match = true;
    int64_t i = p;
    int64_t j = 0;
    for (int64_t n = 0; match && n < t.charCount; ++n) {
        if (i >= s.length || j >= t.byteLength) {
            match = false;
            break;
        }
        uint8_t a = s.bytes[i];
        uint8_t b = t.text[j];
        bool leadA = session->isLeadByte(session, a, s.encoding) != 0;
        if (a == b) {
            if (leadA) {
                // The term's second byte may be its terminator.
                match = i + 1 < s.length && s.bytes[i + 1] == t.text[j + 1];
            }
        } else if (leadA || session->isLeadByte(session, b, s.encoding) != 0) {
            match = false;
        } else {
            match = std::tolower(a) == std::tolower(b);
        }
        i += leadA ? 2 : 1;
        j += leadA ? 2 : 1;
    }
    session->currentEncoding = remembered;
    return match;
}

bool JAVtTermMatches(DriverContext* context, const SearchedText& s, int64_t p, const HighlightTerm& t) {
    if (s.caseSensitive) {
        return t.byteLength <= s.length - p && std::memcmp(s.bytes + p, t.text, static_cast<size_t>(t.byteLength)) == 0;
    }
    if (s.encoding == kEncodingUnits) return JAVtMatchUnits(context, s, p, t);
    return JAVtMatchBytes(context, s, p, t);
}

// Terms that take part in the search: those with characters.
bool JAVtSearchable(const HighlightTerm& t) { return t.charCount > 0 && t.text != nullptr; }

uint32_t JAVtUnitKey(const uint8_t* bytes, bool bigEndian) { return JAVtFoldCodeUnit(JAVtUnitAt(bytes, bigEndian)); }

// The first term that gives a hit at p, absent when none does. Under whole
// words a match must start after a separator and end before one; the end
// of the text counts as a space. `unitKey`, when given, is the folded unit
// at p: a term whose first unit folds to another is not compared further.
const HighlightTerm* JAVtFindHit(DriverContext* context, const SearchedText& s, int64_t p, bool separatorBefore,
                                 const uint32_t* unitKey = nullptr) {
    bool bigEndian = context->targetParams->bigEndianText != 0;
    for (int32_t i = 0; i < context->highlightTermCount; ++i) {
        const HighlightTerm& t = context->highlightTerms[i];
        if (!JAVtSearchable(t)) continue;
        if (unitKey != nullptr && JAVtUnitKey(t.text, bigEndian) != *unitKey) continue;
        if (!JAVtTermMatches(context, s, p, t)) continue;
        if (context->wholeWord != 1) return &t;
        int64_t end = p + t.byteLength;
        bool separatorAfter = end >= s.length || !JAVtIsWordByte(s.bytes[end]);
        if (separatorBefore && separatorAfter) return &t;
    }
    return nullptr;
}

// A new character-attribute object carrying the attributes in force: those
// of the latest character-attribute object of the box, else the default
// font in black. Absent when the host makes none.
HostObject* JAVtNewHitAttributes(DriverContext* context) {
    HostServices* services = context->hostServices;
    HostObject* object = services->createObject(services, kKindCharAtt);
    if (object == nullptr) return nullptr;
    CharAttributes* body = JAVtBody<CharAttributes>(object);
    if (context->inForceCharAtt != nullptr) {
        std::memcpy(body, context->inForceCharAtt, sizeof(CharAttributes));
    } else {
        std::memset(body, 0, sizeof(CharAttributes));
        body->charColour = context->inForceTextColour;
        body->charFont = context->inForceFont;
    }
    return object;
}

// Links `object` in front of the node *position designates; an object the
// host could not link goes back to it.
bool JAVtLinkObject(HostServices* services, HostListNode** position, HostObject* object) {
    if (services->insertObject(services, position, object, 0) != 0) return true;
    services->releaseObject(services, object);
    return false;
}

// Cuts the hit of `t` at byte p, character k, out of the string of node N:
// the text before it (when p > 0), the opening object, the hit, the closing
// object, the rest. *rest gets the node that holds the rest. False on the
// first failure, leaving what was done.
bool JAVtCutOutHit(DriverContext* context, HostListNode* node, int64_t p, int64_t k, const HighlightTerm& t,
                   HostListNode** rest) {
    HostServices* services = context->hostServices;
    if (services->splitText(services, node, k + t.charCount, p + t.byteLength) == 0) return false;
    *rest = node->next;
    HostObject* closing = JAVtNewHitAttributes(context);
    if (closing == nullptr || !JAVtLinkObject(services, &node->next, closing)) return false;
    if (p > 0 && services->splitText(services, node, k, p) == 0) return false;
    HostObject* opening = JAVtNewHitAttributes(context);
    if (opening == nullptr) return false;
    if (context->targetParams->colourMode != kColourModeDirect) {
        services->releaseObject(services, opening);
        return false;
    }
    JAVtBody<CharAttributes>(opening)->charColour = context->highlightColour;
    HostListNode* current = node;
    return JAVtLinkObject(services, p > 0 ? &node->next : &current, opening);
}

// Keys by their low byte: 256 bits.
struct KeySet {
    uint64_t bits[4];
    bool has(uint32_t key) const { return ((bits[(key >> 6) & 3] >> (key & 63)) & 1u) != 0; }
    void add(uint32_t key) { bits[(key >> 6) & 3] |= uint64_t{1} << (key & 63); }
    static KeySet all() { return KeySet{{~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}}}; }
};

// Only the Latin capitals fold into ASCII, each onto its small letter.
constexpr bool JAVtOnlyCapitalsFoldIntoAscii() {
    for (size_t i = 0; i < kCasePairCount; ++i) {
        uint16_t upper = upperCaseUnits[i];
        uint16_t lower = lowerCaseUnits[i];
        if (lower < 0x80 && !(upper >= 'A' && upper <= 'Z' && lower == upper + 32)) return false;
    }
    return true;
}
static_assert(JAVtOnlyCapitalsFoldIntoAscii(), "the units that fold into ASCII are the Latin capitals");

// Adds every unit that folds to `folded`: the unit itself and the capitals
// of the case table whose partner it is.
void JAVtAddFoldingUnits(KeySet* keys, uint16_t folded) {
    keys->add(folded);
    if (folded >= 'a' && folded <= 'z') keys->add(folded - 32u);
    if (folded < 0x80) return;
    for (size_t i = 0; i < kCasePairCount; ++i) {
        if (lowerCaseUnits[i] == folded) keys->add(upperCaseUnits[i]);
    }
}

// Which places can start a hit, by the low byte of a unit or the byte
// there. Where letter case counts, the first byte of some term must be
// there; in 16-bit text regardless of case, a unit that folds to the first
// unit of some term, and after it a unit that folds to the second unit of
// some term of two units or more (a term of one unit lets every second unit
// pass). A place that fails is passed over without trying the terms. Only
// where trying a term asks the host nothing: comparing byte text regardless
// of case asks the host about lead bytes at every place.
struct StartFilter {
    KeySet first;
    KeySet second;
};

StartFilter JAVtStartFilter(const DriverContext* context, const SearchedText& s) {
    StartFilter filter{};
    bool bigEndian = context->targetParams->bigEndianText != 0;
    for (int32_t i = 0; i < context->highlightTermCount; ++i) {
        const HighlightTerm& t = context->highlightTerms[i];
        if (!JAVtSearchable(t)) continue;
        if (s.caseSensitive) {
            // A term of no bytes would match anywhere.
            if (t.byteLength < 1) return StartFilter{KeySet::all(), KeySet::all()};
            filter.first.add(t.text[0]);
            continue;
        }
        JAVtAddFoldingUnits(&filter.first, static_cast<uint16_t>(JAVtUnitKey(t.text, bigEndian)));
        if (t.charCount < 2) {
            filter.second = KeySet::all();
        } else {
            JAVtAddFoldingUnits(&filter.second, static_cast<uint16_t>(JAVtUnitKey(t.text + 2, bigEndian)));
        }
    }
    return filter;
}

// 16-bit text: two bytes a character, no host call per place. A unit needs
// both its bytes in the text to start a hit regardless of case; a term of
// two units or more needs the second one too.
bool JAVtSearchUnits(DriverContext* context, HostListNode* node, const SearchedText& s, HostListNode** next) {
    StartFilter filter = JAVtStartFilter(context, s);
    bool bigEndian = context->targetParams->bigEndianText != 0;
    int64_t low = bigEndian ? 1 : 0;  // the low byte of a unit
    for (int64_t p = 0; p < s.length; p += 2) {
        uint32_t key = 0;
        if (s.caseSensitive) {
            if (!filter.first.has(s.bytes[p])) continue;
        } else {
            if (p + 1 >= s.length) break;
            if (!filter.first.has(s.bytes[p + low])) continue;
            if (p + 3 < s.length && !filter.second.has(s.bytes[p + 2 + low])) continue;
            key = JAVtUnitKey(s.bytes + p, bigEndian);
        }
        bool separator = p == 0 || !JAVtIsWordByte(s.bytes[p - 2]);
        const HighlightTerm* hit = JAVtFindHit(context, s, p, separator, s.caseSensitive ? nullptr : &key);
        if (hit != nullptr) return JAVtCutOutHit(context, node, p, p / 2, *hit, next);
    }
    return true;
}

// Byte text: the host tells at every place whether a character of two bytes
// starts there.
bool JAVtSearchBytes(DriverContext* context, HostListNode* node, const SearchedText& s, HostListNode** next) {
    HostSession* session = context->hostSession;
    StartFilter filter = s.caseSensitive ? JAVtStartFilter(context, s) : StartFilter{};
    bool separator = true;
    for (int64_t p = 0, k = 0; p < s.length; ++k) {
        uint8_t byte = s.bytes[p];
        bool twoBytes = session->isLeadByte(session, byte, s.encoding) != 0;
        if (!s.caseSensitive || filter.first.has(byte)) {
            const HighlightTerm* hit = JAVtFindHit(context, s, p, separator);
            if (hit != nullptr) return JAVtCutOutHit(context, node, p, k, *hit, next);
        }
        separator = !JAVtIsWordByte(byte);
        p += twoBytes ? 2 : 1;
    }
    return true;
}

// Searches the text string of `node`. On a hit, *next is the node that
// holds the rest of the string, to be searched afresh; otherwise the node
// after this one. False when cutting a hit out failed.
bool JAVtSearchString(DriverContext* context, HostListNode* node, HostListNode** next) {
    *next = node->next;
    const TextStringData* string = JAVtBody<TextStringData>(node->object);
    if (context->highlightTerms == nullptr || context->highlightTermsEncoding != string->encoding)
        JAVtBuildHighlightTerms(context, string->encoding);
    bool haveTerms = context->highlightTerms != nullptr && context->highlightTermsEncoding == string->encoding;
    if (!haveTerms || string->text == nullptr) return true;

    const SearchRequest* request = context->hostSession->searchRequest;
    SearchedText s{string->text, string->byteLength, string->encoding, request != nullptr && request->caseSensitive != 0};
    if (s.encoding == kEncodingUnits) return JAVtSearchUnits(context, node, s, next);
    return JAVtSearchBytes(context, node, s, next);
}

// Walks the box, keeping the attributes in force and cutting out hits.
int32_t JAVtHighlightWalk(DriverContext* context, HostListNode* list) {
    for (HostListNode* node = list->next; node != list;) {
        HostObject* object = node->object;
        HostListNode* next = node->next;
        if (object != nullptr) {
            switch (object->kind) {
                case kKindCharAtt: {
                    const HostObject* following = next != list ? next->object : nullptr;
                    if (JAVtSelectHighlightFont(context, JAVtBody<CharAttributes>(object), following) == 0) return 0;
                    break;
                }
                case kKindTextBox:
                    if (JAVtSelectHighlightFont(context, nullptr, nullptr) == 0) return 0;
                    break;
                case kKindTextString:
                    if (!JAVtSearchString(context, node, &next)) return 0;
                    break;
                default: break;
            }
        }
        node = next;
    }
    return 1;
}

}  // namespace

extern "C" int32_t JAVtHighlightTextBox(DriverContext* context, HostListNode* list) {
    HostSession* session = context->hostSession;
    // Without a session there is no search; the box is played back as it is.
    if (session == nullptr || list == nullptr) return 1;
    int32_t remembered = session->currentEncoding;
    int32_t result = JAVtHighlightWalk(context, list);
    session->currentEncoding = remembered;
    // The attributes in force lie in an object of this box, which playback
    // releases: a later pass must not find them.
    context->inForceCharAtt = nullptr;
    return result;
}
