// SPDX-License-Identifier: MIT
// Texts and searches: text boxes with their attributes, strings, tabs and
// paragraphs (and now and then any other object), in every encoding and both
// byte orders, under a search request whose terms are in any encoding. Texts and
// terms are made of the same words, in several letter cases, so that hits
// happen across encodings, and of raw bytes of odd lengths.
#include <cstring>
#include <string>

#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"

namespace javfuzz {

namespace {

constexpr const char* kWords[] = {
    "find", "Find", "FIND", "a", "A", "ab", "AB", "x", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "stra\xC3\x9F\x65",
    "\xE6\x97\xA5\xE6\x9C\xAC", "\xED\x95\x9C", "\xCE\xA9", "\xCF\x89", " ", " ", ",", ".", "-", "\t", "_",
};
constexpr const char* kFaces[] = {"Arial", "Courier New", "Courier", "Times New Roman", "", "MS Mincho", "Arial,Bold"};

// A text as UTF-8 words encoded into `encoding`, or raw bytes; an odd length
// now and then.
std::string readText(FuzzedDataProvider& in, int32_t encoding, bool bigEndian, size_t maxWords) {
    std::string text;
    if (in.ConsumeIntegralInRange(0, 4) == 0) {
        text = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 40));
    } else {
        std::string utf8;
        size_t words = in.ConsumeIntegralInRange<size_t>(0, maxWords);
        for (size_t i = 0; i < words; ++i) utf8 += in.PickValueInArray(kWords);
        if (!refhost::encodeText(utf8, encoding, bigEndian, &text)) text = utf8;
    }
    if (!text.empty() && in.ConsumeIntegralInRange(0, 7) == 0) text.pop_back();
    return text;
}

// The text of a string object: its bytes and a length within them (or 0:
// measured up to the zero bytes after it).
void referString(FuzzedDataProvider& in, ObjectRecipe* recipe, size_t textOffset, size_t lengthOffset, int32_t encoding,
                 bool bigEndian) {
    if (in.ConsumeIntegralInRange(0, 9) == 0) return;  // absent
    std::string text = readText(in, encoding, bigEndian, 12);
    int64_t length = in.ConsumeIntegralInRange(0, 5) == 0 ? 0 : static_cast<int64_t>(text.size());
    std::memcpy(recipe->body.data() + lengthOffset, &length, sizeof length);
    referBlock(recipe, textOffset, std::vector<uint8_t>(text.begin(), text.end()), 2);
}

FontDescriptor readFont(FuzzedDataProvider& in) {
    FontDescriptor font{};
    font.height = in.ConsumeBool() ? in.ConsumeIntegralInRange(-400, 400) : readCoordinate(in);
    font.width = in.ConsumeIntegralInRange(-10, 100);
    font.weight = in.ConsumeBool() ? 700 : in.ConsumeIntegralInRange(-1, 1001);
    font.italic = in.ConsumeIntegral<uint8_t>() % 3;
    font.underline = in.ConsumeIntegral<uint8_t>() % 3;
    font.strikeOut = in.ConsumeIntegral<uint8_t>() % 3;
    constexpr uint8_t kCharsets[] = {0, 1, 2, 128, 129, 134, 136, 161, 204, 222, 255};
    font.charSet = in.PickValueInArray(kCharsets);
    font.pitchAndFamily = in.ConsumeIntegral<uint8_t>();
    std::string face = in.ConsumeBool() ? in.PickValueInArray(kFaces) : in.ConsumeBytesAsString(32);
    std::memcpy(font.faceName, face.data(), std::min(face.size(), sizeof font.faceName));
    return font;
}

ObjectRecipe readTextObject(FuzzedDataProvider& in, bool bigEndian) {
    ObjectRecipe recipe;
    int32_t encoding = readEncoding(in);
    switch (in.ConsumeIntegralInRange(0, 10)) {
        case 0: {
            auto* box = startBody<TextBoxData>(&recipe, kKindTextBox);
            box->x1 = readCoordinate(in), box->y1 = readCoordinate(in);
            box->x2 = readCoordinate(in), box->y2 = readCoordinate(in);
            box->rotation = readCoordinate(in);
            box->justification = in.ConsumeIntegralInRange<uint32_t>(0, 6);
            break;
        }
        case 1: {
            auto* para = startBody<ParaAttributes>(&recipe, in.ConsumeBool() ? kKindParaAtt : kKindParaStartAtt);
            int32_t* fields = &para->modeA;
            for (int i = 0; i < 11; ++i) fields[i] = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 300) : readCoordinate(in);
            break;
        }
        case 2: {
            auto* chars = startBody<CharAttributes>(&recipe, kKindCharAtt);
            chars->charColour = in.ConsumeIntegral<uint32_t>();
            chars->charFont = readFont(in);
            chars->superscript = in.ConsumeIntegralInRange(0, 1);
            chars->subscript = in.ConsumeIntegralInRange(0, 1);
            break;
        }
        case 3:
        case 4: {
            auto* string = startBody<TextStringData>(&recipe, kKindTextString);
            string->encoding = encoding;
            referString(in, &recipe, offsetof(TextStringData, text), offsetof(TextStringData, byteLength), encoding, bigEndian);
            break;
        }
        case 5: {
            auto* string = startBody<WidthStringData>(&recipe, kKindWidthString);
            string->encoding = encoding;
            string->runWidth = in.ConsumeIntegralInRange(-5, 500);
            referString(in, &recipe, offsetof(WidthStringData, text), offsetof(WidthStringData, byteLength), encoding, bigEndian);
            break;
        }
        case 6: startBody<TextBoxData>(&recipe, in.ConsumeBool() ? kKindTab : kKindParaStart); break;
        case 7: startBody<TextBoxData>(&recipe, kKindTextBoxEnd); break;
        case 8: {
            auto* text = startBody<TextAttributes>(&recipe, kKindTextAtt);
            text->fontHeight = in.ConsumeIntegralInRange(-400, 400);
            text->textColour = in.ConsumeIntegral<uint32_t>();
            if (in.ConsumeBool()) {
                TextFont font{};
                font.useDescriptor = in.ConsumeIntegralInRange(0, 1);
                font.descriptor = readFont(in);
                std::memcpy(font.plainFace, font.descriptor.faceName, sizeof font.plainFace);
                std::vector<uint8_t> bytes(sizeof font);
                std::memcpy(bytes.data(), &font, sizeof font);
                referBlock(&recipe, offsetof(TextAttributes, font), bytes);
            }
            break;
        }
        default: recipe = readObject(in, 0, 0); break;
    }
    return recipe;
}

// The search request and the storage of its terms, alive for the run.
struct Search {
    SearchRequest request{};
    std::vector<std::string> terms;
    std::vector<const char*> pointers;
    std::string options;
};

void readSearch(FuzzedDataProvider& in, bool bigEndian, Search* search) {
    SearchRequest& r = search->request;
    r.termEncoding = readEncoding(in);
    int32_t count = in.ConsumeIntegralInRange(-1, 5);
    r.termCount = count;
    for (int32_t i = 0; i < count; ++i) {
        // A term ends at its first zero byte; two of them end one in units.
        search->terms.push_back(readText(in, r.termEncoding, bigEndian, 3) + std::string(2, '\0'));
    }
    for (int32_t i = 0; i < count; ++i) {
        bool absent = in.ConsumeIntegralInRange(0, 6) == 0;
        search->pointers.push_back(absent ? nullptr : search->terms[static_cast<size_t>(i)].c_str());
    }
    r.searchTerms = in.ConsumeIntegralInRange(0, 9) == 0 || count <= 0 ? nullptr : search->pointers.data();
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: r.searchOptions = nullptr; break;
        case 1: search->options = in.ConsumeRandomLengthString(24); r.searchOptions = search->options.c_str(); break;
        default: {
            static const char kHex[] = "0123456789abcdefABCDEFxg";
            search->options = "color:#";
            size_t digits = in.ConsumeIntegralInRange<size_t>(0, 7);
            for (size_t i = 0; i < digits; ++i) search->options += kHex[in.ConsumeIntegralInRange<size_t>(0, 23)];
            r.searchOptions = search->options.c_str();
        }
    }
    r.caseSensitive = in.ConsumeIntegralInRange(0, 2);
    r.wholeWordRequested = in.ConsumeIntegralInRange(0, 2);
}

}  // namespace

bool textSearch(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    refhost::ReferenceHost host;
    keepHostQuick(host);
    TargetParams* p = host.params();
    bool bigEndian = in.ConsumeBool();
    p->bigEndianText = bigEndian ? 1 : 0;
    p->colourMode = in.ConsumeIntegralInRange(0, 7) == 0 ? kColourModePalette : kColourModeDirect;
    host.useTargetInfo(in.ConsumeBool());
    host.session()->currentEncoding = readEncoding(in);
    host.session()->fontEncoding = in.ConsumeBool() ? 0 : readEncoding(in);
    Search search;
    if (in.ConsumeIntegralInRange(0, 5) != 0) {
        readSearch(in, bigEndian, &search);
        host.session()->searchRequest = &search.request;
    }
    std::vector<ObjectRecipe> objects;
    while (objects.size() < 48 && in.remaining_bytes() > 0) objects.push_back(readTextObject(in, bigEndian));
    return drivePicture(host, objects);
}

}  // namespace javfuzz
