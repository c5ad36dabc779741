// SPDX-License-Identifier: MIT
#include "bench/scenes.h"

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace benchscene {

namespace {

constexpr int32_t kUnits = 20000;  // the picture is 20000 × 20000 host units

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench scenes: %s\n", what.c_str());
    std::abort();
}

// A fixed sequence of pseudo-random numbers (xorshift64*), the same on every
// machine.
struct Random {
    uint64_t state = 0x9E3779B97F4A7C15u;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717u;
    }
    int32_t in(int32_t low, int32_t high) {  // low..high
        return low + static_cast<int32_t>(next() % static_cast<uint64_t>(high - low + 1));
    }
    uint32_t colour() { return static_cast<uint32_t>(next() & 0xFFFFFFu); }
    // A colour within `spread` of `base` in each component.
    uint32_t near(uint32_t base, int32_t spread) {
        uint32_t colour = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            int32_t c = static_cast<int32_t>((base >> shift) & 0xFFu) + in(-spread, spread);
            colour |= static_cast<uint32_t>(c < 0 ? 0 : (c > 255 ? 255 : c)) << shift;
        }
        return colour;
    }
};

template <typename Body>
void add(Scene& scene, std::vector<ObjectRecipe>& list, int32_t kind, const Body& body) {
    size_t offset = scene.bodies.size();
    scene.bodies.append(reinterpret_cast<const char*>(&body), sizeof body);
    list.push_back(ObjectRecipe{kind, offset, sizeof body});
}

LineAttributes pen(int32_t width, uint32_t colour) {
    LineAttributes line{};
    line.lineWidth = width;
    line.lineColour = colour;
    return line;
}

FillAttributes solidFill(uint32_t colour) {
    FillAttributes fill{};
    fill.fillStyle = kFillSolid;
    fill.fillColour = colour;
    return fill;
}

// A ring of `count` points around (cx, cy) whose radius swings between
// `inner` and `outer`, as a star does.
std::vector<PointPair> ring(Random& random, uint32_t count, int32_t inner, int32_t outer) {
    int32_t cx = random.in(outer, kUnits - outer);
    int32_t cy = random.in(outer, kUnits - outer);
    std::vector<PointPair> points(count);
    for (uint32_t i = 0; i < count; ++i) {
        double angle = 6.283185307179586 * i / count;
        double radius = (i % 2 == 0 ? outer : inner) + random.in(0, inner / 8);
        points[i] = PointPair{cx + static_cast<int32_t>(radius * std::cos(angle)),
                              cy + static_cast<int32_t>(radius * std::sin(angle))};
    }
    return points;
}

void addPolygon(benchhost::BenchHost& host, Scene& scene, Random& random, uint32_t points, int32_t size) {
    std::vector<PointPair> ringPoints = ring(random, points, size / 2, size);
    add(scene, scene.period, kKindPolygon, PolygonData{host.lastingPointList(ringPoints)});
}

void rectangles(Scene& scene, Random& random, int64_t shapes) {
    for (int64_t i = 0; i < shapes; ++i) {
        add(scene, scene.period, kKindLineAtt, pen(random.in(5, 40), random.colour()));
        add(scene, scene.period, kKindFillAtt, solidFill(random.colour()));
        int32_t x = random.in(0, kUnits - 2000);
        int32_t y = random.in(2000, kUnits);
        add(scene, scene.period, kKindRectangle, RectangleData{x, y, x + random.in(100, 2000), y - random.in(100, 2000)});
    }
}

void polygons(benchhost::BenchHost& host, Scene& scene, Random& random, int64_t shapes, uint32_t points) {
    add(scene, scene.prologue, kKindLineAtt, pen(10, 0x202020));
    add(scene, scene.prologue, kKindFillAtt, solidFill(0x80C0FF));
    for (int64_t i = 0; i < shapes; ++i) addPolygon(host, scene, random, points, random.in(200, 2000));
}

// Three stops close enough in colour for about 20 to 40 bands; the first
// and last differ, so that the driver draws every kind itself.
FillAttributes gradientFill(Random& random, int32_t kind) {
    FillAttributes fill{};
    fill.fillStyle = kFillGradient;
    GradientDef& g = fill.gradient;
    g.gradientKind = kind;
    g.stopCount = 3;
    g.stopColours[0] = random.colour();
    g.stopColours[1] = random.near(g.stopColours[0], 60);
    g.stopColours[2] = random.near(g.stopColours[1], 60) ^ 0x000001u;
    g.stopPositions[1] = 40;
    g.stopPositions[2] = 100;
    g.angle = random.in(-80, 80);
    g.centreXPercent = random.in(20, 80);
    g.centreYPercent = random.in(20, 80);
    return fill;
}

void gradients(benchhost::BenchHost& host, Scene& scene, Random& random, int64_t shapes, int32_t kind) {
    add(scene, scene.prologue, kKindLineAtt, pen(0, 0));
    for (int64_t i = 0; i < shapes; ++i) {
        add(scene, scene.period, kKindFillAtt, gradientFill(random, kind));
        int32_t x = random.in(0, kUnits - 600);
        int32_t y = random.in(600, kUnits);
        int32_t w = random.in(100, 600);
        int32_t h = random.in(100, 600);
        switch (i % 5) {
            case 0: add(scene, scene.period, kKindRectangle, RectangleData{x, y, x + w, y - h}); break;
            case 1: add(scene, scene.period, kKindRoundRect, RoundRectData{x, y, x + w, y - h, w / 8, h / 8}); break;
            case 2: add(scene, scene.period, kKindCircle, CircleData{x + w / 2, y - w / 2, w / 2}); break;
            case 3: add(scene, scene.period, kKindEllipse, EllipseData{x + w / 2, y - h / 2, x, y - h / 2, x + w / 2, y}); break;
            default: addPolygon(host, scene, random, 8, w / 2); break;
        }
    }
}

// ---------------------------------------------------------------- text

std::string encode(const std::string& utf8, const char* encoding) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) fail(std::string("no conversion into ") + encoding);
    std::string out(utf8.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) fail("a word does not convert");
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

struct TextKind {
    const char* name;
    int32_t encoding;
    const char* iconvName;
    std::vector<const char*> words;
};

// One word in about 200 is one of these; the terms are the first of them in
// capitals.
constexpr const char* kRareWords[] = {"Zebra", "Xylophone", "Quartz", "Jukebox", "Fjord",
                                      "Sphinx", "Wyvern", "Quokka", "Ibex", "Vortex"};
constexpr size_t kRareWordCount = sizeof kRareWords / sizeof kRareWords[0];

const TextKind& textKind(const std::string& name) {
    static const TextKind kinds[] = {
        {"1252", kEncodingWestern, "WINDOWS-1252",
         {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "café", "crème", "brûlée", "naïve",
          "Straße", "über", "déjà", "vu", "façade", "and", "of", "to", "in", "is", "that", "for", "with", "as",
          "Zürich", "Genève", "señor", "año", "piñata", "Œuvre", "garçon", "élan", "rôle", "fiancée"}},
        {"sjis", kEncodingShiftJis, "CP932",
         {"東京", "日本語", "テキスト", "検索", "文字", "画像", "変換", "出力", "の", "は", "を", "に", "が",
          "です", "ます", "ドライバ", "Driver", "record", "ｶﾀｶﾅ", "漢字", "ひらがな", "カタカナ", "図形", "線"}},
        {"units", kEncodingUnits, "UTF-16LE",
         {"Αθήνα", "Москва", "Straße", "Ελλάδα", "Россия", "text", "and", "Ὀδυσσεύς", "Ԁԁ", "Ǆemal", "Ѐлка",
          "Ꭰ", "ÄÖÜ", "äöü", "Ⓐⓑ", "ＡＢＣ", "Ǻ", "Ḁḁ", "Ặ", "the", "of", "über", "ĀāĂă", "ЖЗИЙ"}},
    };
    for (const TextKind& kind : kinds) {
        if (name == kind.name) return kind;
    }
    fail("no text kind " + name);
}

// `bytes` bytes of words in the kind's encoding, whole characters only,
// filled up with spaces.
std::string textOf(const TextKind& kind, Random& random, size_t bytes) {
    std::string space = encode(" ", kind.iconvName);
    std::string text;
    for (;;) {
        bool rare = random.next() % 200 == 0;
        const char* word = rare ? kRareWords[random.next() % kRareWordCount]
                                : kind.words[random.next() % kind.words.size()];
        std::string encoded = encode(word, kind.iconvName);
        if (text.size() + encoded.size() + space.size() > bytes) break;
        text += encoded;
        text += space;
    }
    while (text.size() < bytes) text += space;
    return text;
}

// Text boxes of `boxBytes` bytes each, in strings of at most 1 KB, a
// paragraph for each string.
void textBoxes(Scene& scene, Random& random, const TextKind& kind, int64_t boxes, size_t boxBytes) {
    constexpr size_t kStringBytes = 1024;
    for (int64_t i = 0; i < boxes; ++i) {
        int32_t x = random.in(0, kUnits - 8000);
        int32_t y = random.in(8000, kUnits);
        add(scene, scene.period, kKindTextBox, TextBoxData{x, y, x + 8000, y - 8000, 0, 1});
        CharAttributes attributes{};
        attributes.charColour = random.colour();
        attributes.charFont.height = -120;
        attributes.charFont.weight = 400;
        std::memcpy(attributes.charFont.faceName, "Times New Roman", 16);
        for (size_t done = 0; done < boxBytes; done += kStringBytes) {
            add(scene, scene.period, kKindParaStart, int64_t{0});
            if (done == 0) add(scene, scene.period, kKindCharAtt, attributes);
            const std::string& text = scene.texts.emplace_back(textOf(kind, random, std::min(kStringBytes, boxBytes - done)));
            add(scene, scene.period, kKindTextString,
                TextStringData{0, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int64_t>(text.size()),
                               kind.encoding, 0});
            scene.codeUnits += kind.encoding == kEncodingUnits ? static_cast<int64_t>(text.size() / 2) : static_cast<int64_t>(text.size());
        }
        add(scene, scene.period, kKindTextBoxEnd, int64_t{0});
    }
}

// `count` terms: rare words of the text in capitals, in Windows-1252, the
// request's encoding.
void searchFor(Scene& scene, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        std::string term = kRareWords[static_cast<size_t>(i) % kRareWordCount];
        for (char& c : term) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        scene.terms.push_back(term);
    }
    for (const std::string& term : scene.terms) scene.termTexts.push_back(term.c_str());
    scene.search.searchTerms = scene.termTexts.data();
    scene.search.termCount = count;
    scene.search.termEncoding = kEncodingWestern;
    scene.search.searchOptions = "color:#FF8000";
    scene.searched = true;
}

}  // namespace

std::unique_ptr<Scene> makeScene(benchhost::BenchHost& host, const std::string& family, int64_t count, int32_t terms) {
    auto scene = std::make_unique<Scene>();
    scene->family = family;
    scene->count = count;
    Random random;
    if (family.rfind("text-", 0) == 0) {
        // text-<kind>-<1k|100k>: 1 KB boxes drawn a thousand at a time,
        // 100 KB boxes ten at a time.
        size_t dash = family.rfind('-');
        const TextKind& kind = textKind(family.substr(5, dash - 5));
        bool large = family.substr(dash + 1) == "100k";
        int64_t perPeriod = std::min<int64_t>(count, large ? 10 : kPeriodShapes);
        textBoxes(*scene, random, kind, perPeriod, large ? 100 * 1024 : 1024);
        if (terms > 0) {
            searchFor(*scene, terms);
            scene->family += "/terms" + std::to_string(terms);
        }
        scene->periods = count / perPeriod;
        scene->codeUnits *= scene->periods;
        return scene;
    }
    int64_t perPeriod = std::min(count, kPeriodShapes);
    scene->periods = count / perPeriod;
    if (family == "rectangles") {
        rectangles(*scene, random, perPeriod);
    } else if (family == "polygons8") {
        polygons(host, *scene, random, perPeriod, 8);
    } else if (family == "polygons1000") {
        polygons(host, *scene, random, perPeriod, 1000);
    } else if (family == "gradients-linear") {
        gradients(host, *scene, random, perPeriod, kGradientLinear);
    } else if (family == "gradients-elliptical") {
        gradients(host, *scene, random, perPeriod, kGradientElliptical);
    } else if (family == "gradients-rectangular") {
        gradients(host, *scene, random, perPeriod, kGradientRectangular);
    } else {
        fail("no scene family " + family);
    }
    return scene;
}

void prepareRun(benchhost::BenchHost& host, const Scene& scene, int64_t periods, std::vector<HostObject*>* objects) {
    host.beginRun();
    objects->clear();
    auto make = [&](const ObjectRecipe& recipe) {
        objects->push_back(host.object(recipe.kind, scene.bodies.data() + recipe.offset, recipe.size));
    };
    for (const ObjectRecipe& recipe : scene.prologue) make(recipe);
    for (int64_t p = 0; p < periods; ++p) {
        for (const ObjectRecipe& recipe : scene.period) make(recipe);
    }
}

bool drawRun(DriverContext* context, const std::vector<HostObject*>& objects) {
    bool drawn = true;
    for (HostObject* object : objects) drawn = putJAVobject(context, object) == kResultDone && drawn;
    return drawn;
}

namespace {

struct CaptureStream {
    OutputStream base;
    std::string bytes;
};

int32_t captureWrite(OutputStream* stream, const char* bytes, uint32_t length) {
    reinterpret_cast<CaptureStream*>(stream)->bytes.append(bytes, length);
    return 1;
}

}  // namespace

std::string captureStream(benchhost::BenchHost& host, const Scene& scene, int64_t periods) {
    CaptureStream stream{};
    stream.base.write = captureWrite;
    host.session()->searchRequest = scene.searched ? const_cast<SearchRequest*>(&scene.search) : nullptr;
    DriverContext* context = startTrgJAV(&stream.base, host.params(), 0);
    if (context == nullptr) fail("the driver did not start for " + scene.name());
    std::vector<HostObject*> objects;
    prepareRun(host, scene, periods, &objects);
    if (!drawRun(context, objects)) fail("an object of " + scene.name() + " was not drawn");
    shutDownJAVtrg(context);
    host.session()->searchRequest = nullptr;
    return std::move(stream.bytes);
}

StreamSize measureStream(benchhost::BenchHost& host, const Scene& scene, std::string* onePeriod) {
    std::string one = captureStream(host, scene, 1);
    std::string two = captureStream(host, scene, 2);
    auto period = static_cast<int64_t>(two.size() - one.size());
    auto prologue = static_cast<int64_t>(one.size()) - period;
    if (prologue < 0 || two.compare(0, one.size(), one) != 0 ||
        two.compare(one.size(), static_cast<size_t>(period), one, static_cast<size_t>(prologue), static_cast<size_t>(period)) != 0)
        fail("the periods of " + scene.name() + " write different records");
    if (onePeriod != nullptr) *onePeriod = std::move(one);
    return StreamSize{prologue, period};
}

}  // namespace benchscene
