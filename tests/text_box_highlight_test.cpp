// SPDX-License-Identifier: MIT
// The highlighting pass: which hits a search finds in a text box and how it
// cuts them out. A box is read back from the record stream as its text with
// a "[" for each character-attribute record in the highlight colour and a
// "|" for every other one, so "|a [cat|s" is a box whose only hit is "cat".
#include <climits>
#include <optional>
#include <sstream>

#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

// A term or text without an encoding of its own: in the session's.
constexpr int32_t kEncodingDefault = 0;

// Bytes in an encoding; a term or text.
struct Text {
    std::string bytes;
    int32_t encoding;
};

// UTF-16 of plain code points, in either byte order.
std::string units(const std::u16string& text, bool bigEndian = false) {
    std::string out;
    for (char16_t c : text) {
        char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

// The text of a box as the record stream carries it, hits marked.
std::string marked(const std::string& records) {
    std::string out;
    std::istringstream lines(records);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("c,", 0) == 0) out += line.ends_with(",255,0,0") ? "[" : "|";
        size_t comma = line.find(',', 2);
        if (line.rfind("u,", 0) != 0 || comma == std::string::npos) continue;
        std::istringstream fields(line.substr(comma + 1));
        for (std::string field; std::getline(fields, field, ',');) {
            auto c = static_cast<uint32_t>(std::stoul(field));  // as UTF-8, all below 0x10000
            if (c < 0x80) out += static_cast<char>(c);
            else if (c < 0x800) out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            else out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

// A driver instance under a search request whose terms are all in one
// encoding (an absent optional is an absent term).
struct Search {
    DriverHarness h;
    SearchRequest request{};
    std::vector<std::string> termBytes;
    std::vector<const char*> terms;

    Search(const std::vector<std::optional<std::string>>& termList, int32_t termEncoding, int32_t wholeWord = 0,
           int32_t caseSensitive = 0, int32_t bigEndian = 0, int32_t currentEncoding = kEncodingWestern) {
        termBytes.reserve(termList.size());
        for (const auto& t : termList) {
            // Two zero bytes end a term in every encoding.
            termBytes.push_back(t ? *t + std::string(2, '\0') : std::string());
            terms.push_back(t ? termBytes.back().c_str() : nullptr);
        }
        request = SearchRequest{.searchTerms = terms.data(), .termCount = static_cast<int32_t>(terms.size()),
                                .termEncoding = termEncoding, .caseSensitive = caseSensitive,
                                .wholeWordRequested = wholeWord};
        h.params()->bigEndianText = bigEndian;
        h.session()->currentEncoding = currentEncoding;
        h.session()->searchRequest = &request;
        h.start();
    }

    // A text string owning exactly its bytes: a read beyond them is a
    // read beyond the block.
    HostObject* string(const Text& t) {
        HostObject* o = h.object(kKindTextString, TextStringData{0, nullptr, static_cast<int64_t>(t.bytes.size()), t.encoding, 0});
        if (!t.bytes.empty()) h.host().attachBlock(o, 24 + offsetof(TextStringData, text), t.bytes.data(), t.bytes.size());
        return o;
    }

    // Sends a box of character attributes (black) and the strings; returns
    // the result of its text end.
    int32_t sendBox(const std::vector<Text>& strings) {
        h.put(kKindTextBox, TextBoxData{0, 90, 90, 0, 0, 0});
        h.put(kKindCharAtt, attributes());
        for (const Text& t : strings) h.put(string(t));
        return h.put(h.object(kKindTextBoxEnd));
    }
    std::string box(const std::vector<Text>& strings) {
        EXPECT_EQ(sendBox(strings), 1);
        return marked(h.take());
    }
    static CharAttributes attributes() {
        CharAttributes a{.charFont = {.height = 12, .weight = 700}};
        std::strcpy(a.charFont.faceName, "Arial");
        return a;
    }
};

// The search sample pins hits in any capitals, at the end of a string, in
// double-byte text, and absent and empty terms.
TEST(TextBoxHighlight, HitsOfByteText) {
    using Terms = std::vector<std::optional<std::string>>;
    const struct {
        Terms terms;
        int32_t wholeWord, caseSensitive;
        std::vector<Text> strings;
        const char* box;
    } cases[] = {
        {{"ab", "abc"}, 0, 0, {{"abcd", kEncodingWestern}}, "|[ab|cd"},  // an earlier term wins over a longer one
        {{"abc", "ab"}, 0, 0, {{"abcd", kEncodingWestern}}, "|[abc|d"},
        {{"cat"}, 1, 0, {{"(cat)9cat", kEncodingWestern}}, "|([cat|)9cat"},
        {{"ab"}, 0, 0, {{"xabyabz", kEncodingWestern}}, "|x[ab|y[ab|z"},
        {{"CAT"}, 0, 1, {{"a cAt CAT", kEncodingWestern}}, "|a cAt [CAT|"},
        {{"cat"}, 0, 0, {{"ca", kEncodingWestern}, {"t", kEncodingWestern}}, "|cat"},  // a word across two strings
        {{"dog"}, 0, 0, {{"", kEncodingWestern}, {"dogs and dog", kEncodingDefault}}, "|[dog|s and [dog|"},
        {{"abcdef"}, 0, 0, {{"abc", kEncodingWestern}}, "|abc"},  // a term longer than the text
        // Shift_JIS: a double-byte character matches when both its bytes
        // are equal; its second byte does not fold.
        {{"\x83\x41"}, 0, 0, {{"\x83\x61\x83\x41", kEncodingShiftJis}}, "|ヂ[ア|"},
        {{"b\x83"}, 0, 0, {{"ab\x83", kEncodingShiftJis}}, "|ab?"},  // the text ends inside a character
    };
    for (const auto& c : cases) {
        int32_t termEncoding = c.strings.front().encoding == kEncodingShiftJis ? kEncodingShiftJis : kEncodingWestern;
        Search s(c.terms, termEncoding, c.wholeWord, c.caseSensitive);
        EXPECT_EQ(s.box(c.strings), c.box) << c.strings.front().bytes;
        EXPECT_EQ(s.h.session()->currentEncoding, kEncodingWestern);
        EXPECT_EQ(s.request.termEncoding, termEncoding);
    }
}

// The search sample converts UTF-8 terms into byte and 16-bit text; a term
// encoding of 0 is Western, and the request holds that afterwards.
TEST(TextBoxHighlight, ATermEncodingOfZeroIsWestern) {
    Search latin({"caf\xe9"}, kEncodingDefault);
    EXPECT_EQ(latin.box({{units(u"un caf\u00e9"), kEncodingUnits}}), "|un [café|");
    EXPECT_EQ(latin.request.termEncoding, kEncodingWestern);
}

// 16-bit text is scanned by the folded first unit of the terms (or their
// first byte where case counts): places that share only its low byte, later
// terms and the last unit are still tried.
TEST(TextBoxHighlight, SixteenBitScanTriesEveryPlaceATermCanStart) {
    const struct {
        std::vector<std::u16string> terms;
        int32_t caseSensitive;
        std::u16string text;
        const char* box;
    } cases[] = {
        {{u"ab"}, 0, u"xAbyaB", "|x[Ab|y[aB|"},
        {{u"\u0161b"}, 0, u"ab\u0161b", "|ab[\u0161b|"},  // 'a' and 'š' share their low byte
        {{u"q", u"\u0430"}, 0, u"a\u0410", "|a[\u0410|"},   // the second term's first unit
        {{u"Ab"}, 1, u"ab Ab", "|ab [Ab|"},
        {{u"b"}, 0, u"aaB", "|aa[B|"},
    };
    for (int32_t big : {0, 1}) {
        for (const auto& c : cases) {
            std::vector<std::optional<std::string>> terms;
            for (const std::u16string& term : c.terms) terms.emplace_back(units(term, big));
            Search s(terms, kEncodingUnits, 0, c.caseSensitive, big);
            EXPECT_EQ(s.box({{units(c.text, big), kEncodingUnits}}), c.box) << c.box << " " << big;
        }
    }
}

// Whole words only under Western and UTF-8 text at the start, and a request of
// exactly 1. In 16-bit text they look at single bytes: with the low byte
// first ASCII words are told apart, with the high byte first every
// neighbour is 0.
TEST(TextBoxHighlight, WholeWords) {
    for (auto [encoding, wholeWord] : {std::pair{kEncodingWestern, 1}, {kEncodingUtf8, 1}, {kEncodingUnits, 0}, {kEncodingShiftJis, 0}}) {
        Search s({"cat"}, kEncodingWestern, 1, 0, 0, encoding);
        EXPECT_EQ(s.h.context()->wholeWord, wholeWord) << encoding;
    }
    Search notOne({"cat"}, kEncodingWestern, 2);
    EXPECT_EQ(notOne.h.context()->wholeWord, 0);
    for (int32_t big : {0, 1}) {
        Search s({"cat"}, kEncodingWestern, 1, 0, big);
        EXPECT_EQ(s.box({{units(u"cat concat", big), kEncodingUnits}}), big ? "|[cat| con[cat|" : "|[cat| concat");
    }
}

// Hits take the attributes in force: the latest character attributes of the
// box, only recoloured; before any, the default font the font system
// realised for "Times New Roman", in black.
TEST(TextBoxHighlight, HitAttributesAreThoseInForce) {
    Search s({"ab"}, kEncodingWestern);
    s.h.put(kKindTextBox, TextBoxData{0, 90, 90, 0, 0, 0});
    s.h.put(s.string({"ab", kEncodingWestern}));
    s.h.put(kKindCharAtt, Search::attributes());
    s.h.put(s.string({"ab", kEncodingWestern}));
    ASSERT_EQ(s.h.put(s.h.object(kKindTextBoxEnd)), 1);
    std::string face(s.h.context()->inForceFace);  // reported for Arial by now
    std::string records = s.h.take();

    HostSession* session = s.h.session();
    FontDescriptor times{.weight = 400, .charSet = 1, .pitchAndFamily = 16};
    std::strcpy(times.faceName, "Times New Roman");
    void* context = session->createMeasureContext(session, 0);
    session->selectObject(session, context, session->createFont(session, &times));
    char defaultFace[32] = "";
    session->getTextFace(session, context, sizeof defaultFace, defaultFace);

    std::string expected = "s,0,6,90,90,0,0\n"
                           "g,0,0,0,0,0,0,0,0,0,100,2\n"
                           "c," + std::string(defaultFace) + ",1,0,255,0,0\nu,2,97,98\n"
                           "c," + defaultFace + ",1,0,0,0,0\n"
                           "c,Arial,12,2,0,0,0\n"
                           "c,Arial,12,2,255,0,0\nu,2,97,98\n"
                           "c,Arial,12,2,0,0,0\n"
                           "e,\n";
    EXPECT_EQ(records, expected);
    EXPECT_FALSE(face.empty());
}

// Copies left over from a box whose playback failed come first in the next
// box's list: their hits take the font realised last, not attributes the
// playback has released.
TEST(TextBoxHighlight, ThePassKeepsNoAttributesOfAnEarlierBox) {
    Search s({"ab"}, kEncodingWestern);
    HostServices* services = s.h.host().services();
    HostListNode* earlier = nullptr;
    services->insertObject(services, &earlier, s.h.object(kKindCharAtt, Search::attributes()), 0xFFFFFFFFu);
    ASSERT_EQ(JAVtHighlightTextBox(s.h.context(), earlier), 1);
    services->freeList(services, earlier);
    HostListNode* later = nullptr;
    services->insertObject(services, &later, s.string({"ab", kEncodingWestern}), 0xFFFFFFFFu);
    ASSERT_EQ(JAVtHighlightTextBox(s.h.context(), later), 1);
    const auto* opening = reinterpret_cast<const CharAttributes*>(s.h.host().payload(later->next->object));
    EXPECT_STREQ(opening->charFont.faceName, s.h.context()->inForceFont.faceName);
    services->freeList(services, later);
}

TEST(TextBoxHighlight, WithPaletteColoursAHitFailsTheBoxAndNothingIsWrittenOrLeft) {
    for (bool hit : {true, false}) {
        Search s({"cat"}, kEncodingWestern);
        s.h.shutDown();
        s.h.params()->colourMode = kColourModePalette;
        s.h.start();
        EXPECT_EQ(s.h.context()->highlightActive, 1);
        EXPECT_EQ(s.sendBox({{hit ? "a cat" : "a dog", kEncodingWestern}}), hit ? 0 : 1);
        EXPECT_EQ(s.h.take().empty(), hit);
        EXPECT_EQ(s.h.session()->currentEncoding, kEncodingWestern);
    }
}

TEST(TextBoxHighlight, ATermListThatCannotBeMadeFindsNothingAndIsTriedAgain) {
    Search s({"dog", "cat"}, kEncodingUtf8);
    s.h.host().failAt("convertText", 3);  // the second term's length
    EXPECT_EQ(s.box({{"dog cat", kEncodingWestern}, {"cat", kEncodingWestern}}), "|dog cat[cat|");
    EXPECT_EQ(s.h.session()->currentEncoding, kEncodingWestern);

    // An array beyond what the host hands out: no term, nothing read past
    // the two entries there are.
    Search huge({"dog", "cat"}, kEncodingWestern);
    huge.request.termCount = INT32_MAX;
    EXPECT_EQ(huge.box({{"dog cat", kEncodingWestern}}), "|dog cat");

    // A host that announces no bytes, or announces bytes and then delivers
    // none, makes no term; one that delivers fewer bytes than it announced
    // makes the term of what it delivered.
    using ConvertText = int32_t (*)(HostSession*, int32_t, const TextSpan*, TextSpan*, int32_t);
    const struct {
        ConvertText convert;
        const char* box;
    } hosts[] = {
        {[](HostSession*, int32_t, const TextSpan*, TextSpan* target, int32_t) { return target->count = 0, 1; },
         "|dog cat"},
        {[](HostSession*, int32_t, const TextSpan* source, TextSpan* target, int32_t) {
             return target->count = target->bytes == nullptr ? source->count : 0, 1;
         },
         "|dog cat"},
        {[](HostSession*, int32_t, const TextSpan* source, TextSpan* target, int32_t) {
             if (target->bytes != nullptr) std::memcpy(const_cast<uint8_t*>(target->bytes), source->bytes, source->count);
             target->count = source->count + (target->bytes == nullptr ? 1 : 0);
             return 1;
         },
         "|dog [cat|"},
    };
    for (const auto& host : hosts) {
        Search odd({"cat"}, kEncodingUtf8);
        odd.h.session()->convertText = host.convert;
        EXPECT_EQ(odd.box({{"dog cat", kEncodingWestern}}), host.box);
    }
}

}  // namespace
