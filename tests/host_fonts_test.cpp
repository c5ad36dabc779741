// The reference host's font system: faces and metrics realised with
// fontconfig, handle bookkeeping, and failure injection. Matches depend on
// the fonts installed, so the tests discover families with fontconfig and
// check properties of the results rather than particular names.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/reference_host.h"

namespace {

using refhost::ReferenceHost;

constexpr size_t kHeight = 0, kAscent = 4, kDescent = 8, kAverageWidth = 16, kWeight = 24, kItalic = 28;

FontDescriptor descriptor(const std::string& face, int32_t height = -16, int32_t weight = 400, bool italic = false) {
    FontDescriptor d{};
    d.height = height;
    d.weight = weight;
    d.italic = italic ? 1 : 0;
    std::strncpy(d.faceName, face.c_str(), sizeof d.faceName - 1);
    return d;
}

int32_t field(const TextMetrics& m, size_t offset) {
    int32_t value;
    std::memcpy(&value, m.bytes + offset, sizeof value);
    return value;
}

// A measuring context with one font selected, as the driver sets it up.
struct Measure {
    ReferenceHost& host;
    HostSession* s = host.session();
    void* context = s->createMeasureContext(s, 0);

    void* select(const FontDescriptor& d) {
        void* font = s->createFont(s, &d);
        if (font != nullptr) s->selectObject(s, context, font);
        return font;
    }
    std::optional<std::string> face() {
        char buffer[32];
        if (s->getTextFace(s, context, sizeof buffer, buffer) == 0) return std::nullopt;
        return std::string(buffer);
    }
    std::optional<TextMetrics> metrics() {
        TextMetrics m;
        if (s->getTextMetrics(s, context, &m) == 0) return std::nullopt;
        return m;
    }
};

// A face of an installed font, from a fontconfig set of our own.
struct InstalledFace {
    std::string family;
    int weight;
    int slant;
};

std::vector<InstalledFace> installedFaces() {
    std::vector<InstalledFace> faces;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return faces;
    FcPattern* all = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(config, all, objects);
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
        FcChar8* family = nullptr;
        for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n) {
            faces.push_back({reinterpret_cast<const char*>(family), weight, slant});
        }
    }
    if (set != nullptr) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(all);
    FcConfigDestroy(config);
    return faces;
}

// Plain ASCII names that fit a descriptor, so that any encoding holds them.
bool usableName(const std::string& name) {
    return !name.empty() && name.size() < 32 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

TEST(HostFonts, FaceIsTheInstalledFamilyTheMatchChose) {
    std::set<std::string> families;
    for (const InstalledFace& f : installedFaces()) families.insert(f.family);
    if (families.empty()) GTEST_SKIP() << "no fonts installed";
    ReferenceHost host;
    Measure m{host};
    for (const std::string& family : families) {
        if (!usableName(family)) continue;
        // Case and blanks in the request do not change the face's spelling.
        std::string loose;
        for (char c : family) {
            if (c != ' ') loose.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
        for (const std::string& request : {family, loose}) {
            ASSERT_NE(m.select(descriptor(request)), nullptr) << request;
            EXPECT_EQ(m.face(), family) << request;
        }
    }
    for (const char* request : {"", "No Such Family 9f3e"}) {
        ASSERT_NE(m.select(descriptor(request)), nullptr);
        std::string chosen = m.face().value();
        EXPECT_TRUE(families.count(chosen)) << "'" << request << "' gave " << chosen;
    }
}

TEST(HostFonts, BoldAndItalicChangeTheWeightAndSlantOfTheMatch) {
    // A family with a bold and a slanted face besides its regular one.
    std::vector<InstalledFace> faces = installedFaces();
    std::string family;
    for (const InstalledFace& f : faces) {
        if (!usableName(f.family)) continue;
        bool regular = false, bold = false, slanted = false;
        for (const InstalledFace& g : faces) {
            if (g.family != f.family) continue;
            regular |= g.weight == FC_WEIGHT_REGULAR && g.slant == FC_SLANT_ROMAN;
            bold |= g.weight >= FC_WEIGHT_BOLD && g.slant == FC_SLANT_ROMAN;
            slanted |= g.weight == FC_WEIGHT_REGULAR && g.slant != FC_SLANT_ROMAN;
        }
        if (regular && bold && slanted) {
            family = f.family;
            break;
        }
    }
    if (family.empty()) GTEST_SKIP() << "no family with bold and slanted faces";
    ReferenceHost host;
    Measure m{host};
    const struct {
        int32_t weight;
        bool italic;
        bool bold;
    } cases[] = {{400, false, false}, {700, false, true}, {400, true, false}, {0, false, false}};
    for (const auto& c : cases) {
        ASSERT_NE(m.select(descriptor(family, -16, c.weight, c.italic)), nullptr);
        EXPECT_EQ(m.face(), family);
        TextMetrics metrics = m.metrics().value();
        if (c.bold) {
            EXPECT_GE(field(metrics, kWeight), 600) << c.weight;
        } else {
            EXPECT_LE(field(metrics, kWeight), 500) << c.weight;
        }
        EXPECT_EQ(field(metrics, kItalic), c.italic ? 1 : 0) << c.weight << " " << c.italic;
    }
}

TEST(HostFonts, EitherSignOfTheHeightGivesTheEmSizeInPixels) {
    ReferenceHost host;
    Measure m{host};
    for (int32_t height : {-20, 20, -7, INT32_MIN}) {
        ASSERT_NE(m.select(descriptor("", height)), nullptr);
        TextMetrics metrics = m.metrics().value();
        if (height != INT32_MIN) EXPECT_EQ(field(metrics, kHeight), std::abs(height));
        EXPECT_GT(field(metrics, kHeight), 0);
        EXPECT_EQ(field(metrics, kAscent) + field(metrics, kDescent), field(metrics, kHeight));
        EXPECT_GT(field(metrics, kAscent), field(metrics, kDescent));
        EXPECT_GT(field(metrics, kAverageWidth), 0);
    }
    // No height: the configuration's default size.
    ASSERT_NE(m.select(descriptor("", 0)), nullptr);
    EXPECT_GT(field(m.metrics().value(), kHeight), 0);
    // A requested width is the average width.
    FontDescriptor wide = descriptor("", -20);
    wide.width = 13;
    ASSERT_NE(m.select(wide), nullptr);
    EXPECT_EQ(field(m.metrics().value(), kAverageWidth), 13);
}

TEST(HostFonts, SelectReturnsThePreviousObjectAndRefusesForeignHandles) {
    ReferenceHost host;
    Measure m{host};
    HostSession* s = m.s;
    FontDescriptor d = descriptor("");
    void* first = s->createFont(s, &d);
    void* second = s->createFont(s, &d);
    ASSERT_TRUE(m.context != nullptr && first != nullptr && second != nullptr);
    EXPECT_FALSE(m.face().has_value()) << "nothing selected yet";
    EXPECT_FALSE(m.metrics().has_value());
    EXPECT_EQ(s->selectObject(s, m.context, first), nullptr);
    EXPECT_EQ(s->selectObject(s, m.context, second), first);

    // Foreign handles are refused and change nothing.
    int foreign = 0;
    EXPECT_EQ(s->selectObject(s, m.context, &foreign), nullptr);
    EXPECT_EQ(s->selectObject(s, &foreign, first), nullptr);
    EXPECT_EQ(s->selectObject(s, m.context, m.context), nullptr);
    for (void* object : {static_cast<void*>(&foreign), m.context, static_cast<void*>(nullptr)}) {
        EXPECT_EQ(s->deleteObject(s, object), 0);
    }
    char buffer[32];
    EXPECT_EQ(s->getTextFace(s, &foreign, sizeof buffer, buffer), 0);
    EXPECT_STREQ(buffer, "");
    TextMetrics metrics;
    EXPECT_EQ(s->getTextMetrics(s, &foreign, &metrics), 0);
    EXPECT_EQ(s->selectObject(s, m.context, first), second) << "a foreign call changed the selection";

    // Selecting nothing empties the context; deleting the selected font too.
    EXPECT_EQ(s->selectObject(s, m.context, nullptr), first);
    EXPECT_FALSE(m.face().has_value());
    EXPECT_EQ(s->selectObject(s, m.context, second), nullptr);
    EXPECT_EQ(s->deleteObject(s, second), 1);
    EXPECT_FALSE(m.face().has_value());
    EXPECT_EQ(s->selectObject(s, m.context, first), nullptr);
    EXPECT_EQ(s->deleteObject(s, second), 0) << "deleted twice";
    EXPECT_EQ(host.liveFonts(), 1u);

    // The face is cut to the buffer and NUL-terminated within it.
    std::string full = m.face().value();
    ASSERT_FALSE(full.empty());
    for (int32_t size : {1, 4, 32}) {
        std::memset(buffer, 'x', sizeof buffer);
        size_t kept = std::min(full.size(), static_cast<size_t>(size - 1));
        EXPECT_EQ(s->getTextFace(s, m.context, size, buffer), static_cast<int32_t>(kept + 1)) << size;
        EXPECT_EQ(std::string(buffer), full.substr(0, kept)) << size;
        if (size < 32) EXPECT_EQ(buffer[size], 'x') << "wrote past size " << size;
    }
    EXPECT_EQ(s->getTextFace(s, m.context, 0, buffer), 0);
    EXPECT_EQ(s->getTextFace(s, m.context, 32, nullptr), 0);
}

// The driver's pattern: one context, each font replacing the last, and the
// context and last font left to the host.
TEST(HostFonts, HostOwnsWhatTheDriverLeavesOutsideTheLedger) {
    ReferenceHost host;
    HostSession* s = host.session();
    void* context = s->createMeasureContext(s, 0);
    ASSERT_NE(context, nullptr);
    void* previous = nullptr;
    void* font = nullptr;
    for (int32_t height : {-10, -12, -14}) {
        if (font != nullptr) {
            EXPECT_EQ(s->selectObject(s, context, previous), font);
            EXPECT_EQ(s->deleteObject(s, font), 1);
        }
        FontDescriptor d = descriptor("", height, 700);
        font = s->createFont(s, &d);
        ASSERT_NE(font, nullptr);
        previous = s->selectObject(s, context, font);
        char face[32];
        EXPECT_GT(s->getTextFace(s, context, sizeof face, face), 0);
        TextMetrics metrics;
        ASSERT_NE(s->getTextMetrics(s, context, &metrics), 0);
        EXPECT_EQ(field(metrics, kHeight), -height);
    }
    EXPECT_EQ(host.liveFonts(), 1u);
    EXPECT_EQ(host.liveMeasureContexts(), 1u);
    EXPECT_EQ(host.liveBlocks(), 0u) << host.describeLive();
    EXPECT_EQ(host.liveObjects(), 0u) << host.describeLive();
    // The host's destruction releases both (LeakSanitizer checks it).
}

TEST(HostFonts, EachOperationFailsWhenToldAndChangesNothing) {
    ReferenceHost host;
    Measure m{host};
    HostSession* s = m.s;
    FontDescriptor d = descriptor("");
    void* font = m.select(d);
    ASSERT_NE(font, nullptr);
    for (const char* operation : {"createMeasureContext", "createFont", "selectObject", "deleteObject", "getTextFace",
                                  "getTextMetrics"}) {
        host.failAt(operation, 1);
    }
    char buffer[32] = "x";
    TextMetrics metrics;
    const struct {
        const char* operation;
        bool failed;
    } cases[] = {
        {"createMeasureContext", s->createMeasureContext(s, 0) == nullptr},
        {"createFont", s->createFont(s, &d) == nullptr},
        {"selectObject", s->selectObject(s, m.context, nullptr) == nullptr},
        {"deleteObject", s->deleteObject(s, font) == 0},
        {"getTextFace", s->getTextFace(s, m.context, sizeof buffer, buffer) == 0 && buffer[0] == '\0'},
        {"getTextMetrics", s->getTextMetrics(s, m.context, &metrics) == 0},
    };
    for (const auto& c : cases) EXPECT_TRUE(c.failed) << c.operation;
    EXPECT_EQ(host.liveMeasureContexts(), 1u);
    EXPECT_EQ(host.liveFonts(), 1u);
    // Only that call of each failed: the font is still selected.
    EXPECT_TRUE(m.face().has_value() && m.metrics().has_value());
    EXPECT_EQ(s->selectObject(s, m.context, nullptr), font);
    EXPECT_EQ(s->deleteObject(s, font), 1);
}

// With a configuration that lists no fonts nothing matches: the face is the
// requested one (read in the session's encoding and only within its field),
// else the generic family asked for, else sans-serif.
TEST(HostFonts, WithoutFontsTheRequestedFaceStands) {
    std::string path = ::testing::TempDir() + "javtrg-no-fonts.conf";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const char* saved = std::getenv("FONTCONFIG_FILE");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("FONTCONFIG_FILE", path.c_str(), 1);
    {
        ReferenceHost host;
        Measure m{host};
        auto faceOf = [&m](const FontDescriptor& d) {
            char buffer[64];
            if (m.select(d) == nullptr || m.s->getTextFace(m.s, m.context, sizeof buffer, buffer) == 0) {
                return std::string("(failed)");
            }
            return std::string(buffer);
        };
        EXPECT_EQ(faceOf(descriptor("Some Face")), "Some Face");
        EXPECT_EQ(faceOf(descriptor("")), "sans-serif");
        FontDescriptor generic = descriptor("");
        generic.pitchAndFamily = 0x12;  // variable pitch, serif design
        EXPECT_EQ(faceOf(generic), "serif");

        // 32 bytes without a NUL, in a block of exactly the descriptor's size.
        auto unterminated = std::make_unique<FontDescriptor>(descriptor(""));
        std::memset(unterminated->faceName, 'Q', sizeof unterminated->faceName);
        EXPECT_EQ(faceOf(*unterminated), std::string(32, 'Q'));

        // Windows-1252 bytes round-trip; under UTF-8 they are not text.
        EXPECT_EQ(faceOf(descriptor("Caf\xe9")), "Caf\xe9");
        m.s->currentEncoding = 53;
        EXPECT_EQ(faceOf(descriptor("Caf\xe9")), "sans-serif");
        EXPECT_EQ(faceOf(descriptor("Caf\xc3\xa9")), "Caf\xc3\xa9");

        ASSERT_NE(m.select(descriptor("Some Face", -18, 700, true)), nullptr);
        TextMetrics metrics = m.metrics().value();
        EXPECT_EQ(field(metrics, kHeight), 18);
        EXPECT_EQ(field(metrics, kWeight), 700);
        EXPECT_EQ(field(metrics, kItalic), 1);
    }
    if (saved != nullptr) {
        setenv("FONTCONFIG_FILE", savedValue.c_str(), 1);
    } else {
        unsetenv("FONTCONFIG_FILE");
    }
}

}  // namespace
