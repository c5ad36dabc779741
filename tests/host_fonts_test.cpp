// The reference host's font system. Matches depend on the fonts installed, so
// the tests discover families with fontconfig and check properties of results.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>

#include "host/reference_host.h"

namespace {

using refhost::ReferenceHost;

constexpr size_t kHeight = 0, kWeight = 24, kItalic = 28;

FontDescriptor descriptor(const std::string& face, int32_t height = -16, int32_t weight = 400, bool italic = false) {
    FontDescriptor d{.height = height, .weight = weight, .italic = static_cast<uint8_t>(italic ? 1 : 0)};
    std::strncpy(d.faceName, face.c_str(), sizeof d.faceName - 1);
    return d;
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
    std::string face() {  // empty when it fails
        char buffer[64] = "";
        s->getTextFace(s, context, sizeof buffer, buffer);
        return buffer;
    }
    int32_t metric(size_t offset) {
        TextMetrics m{};
        int32_t value = 0;
        if (s->getTextMetrics(s, context, &m) != 0) std::memcpy(&value, m.bytes + offset, sizeof value);
        return value;
    }
};

// Installed families matching a fontconfig pattern such as ":bold", from a
// configuration of our own; only plain ASCII names that fit a descriptor.
std::set<std::string> families(const char* pattern) {
    std::set<std::string> names;
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* filter = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(config, filter, objects);
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch; ++n) {
            std::string name = reinterpret_cast<const char*>(family);
            bool plain = std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
            if (plain && name.size() < 32) names.insert(name);
        }
    }
    if (set != nullptr) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(filter);
    if (config != nullptr) FcConfigDestroy(config);
    return names;
}

TEST(HostFonts, MatchIsTheInstalledFamilyWithTheWeightAndSlantAsked) {
    std::set<std::string> installed = families("");
    if (installed.empty()) GTEST_SKIP() << "no fonts installed";
    ReferenceHost host;
    Measure m{host};
    for (const std::string& family : installed) {
        m.select(descriptor(family));
        EXPECT_EQ(m.face(), family);
    }
    m.select(descriptor("No Such Family 9f3e"));
    EXPECT_TRUE(installed.count(m.face())) << "an unknown family gave " << m.face();

    // Families with bold and italic faces besides the regular one.
    std::set<std::string> bold = families(":bold:roman"), slanted = families(":regular:italic");
    for (const std::string& family : families(":regular:roman")) {
        if (bold.count(family) == 0 || slanted.count(family) == 0) continue;
        for (auto [weight, italic] : {std::pair{400, false}, {700, false}, {400, true}}) {
            m.select(descriptor(family, -16, weight, italic));
            EXPECT_EQ(m.face(), family);
            EXPECT_EQ(m.metric(kWeight) >= 600, weight == 700) << family << " " << m.metric(kWeight);
            EXPECT_EQ(m.metric(kItalic), italic ? 1 : 0) << family << " " << weight;
        }
    }
}

TEST(HostFonts, SelectReturnsThePreviousObjectAndRefusesForeignHandles) {
    ReferenceHost host;
    Measure m{host};
    HostSession* s = m.s;
    FontDescriptor d = descriptor("");
    void* first = s->createFont(s, &d);
    void* second = s->createFont(s, &d);
    EXPECT_EQ(s->selectObject(s, m.context, first), nullptr);
    EXPECT_EQ(s->selectObject(s, m.context, second), first);
    int foreign = 0;
    EXPECT_EQ(s->selectObject(s, m.context, &foreign), nullptr);
    EXPECT_EQ(s->selectObject(s, &foreign, first), nullptr);
    EXPECT_EQ(s->deleteObject(s, &foreign), 0);
    EXPECT_EQ(s->deleteObject(s, m.context), 0);
    EXPECT_EQ(s->selectObject(s, m.context, first), second) << "a foreign call changed the selection";

    // The face is cut to the buffer and NUL-terminated within it.
    char cut[8];
    std::memset(cut, 'x', sizeof cut);
    EXPECT_EQ(s->getTextFace(s, m.context, 4, cut), 4);
    EXPECT_EQ(std::string(cut), m.face().substr(0, 3));
    EXPECT_EQ(cut[4], 'x') << "wrote past the size";

    EXPECT_EQ(s->deleteObject(s, first), 1);
    EXPECT_EQ(m.face(), "") << "the deleted font is still selected";
    EXPECT_EQ(s->deleteObject(s, first), 0) << "deleted twice";
}

// The driver's pattern (one context, each font replacing the last, both
// left to the host outside the ledger) is checked with the highlight fonts.
TEST(HostFonts, EachOperationFailsWhenToldAndChangesNothing) {
    ReferenceHost host;
    Measure m{host};
    HostSession* s = m.s;
    FontDescriptor d = descriptor("");
    void* font = m.select(d);
    for (const char* operation :
         {"createMeasureContext", "createFont", "selectObject", "deleteObject", "getTextFace", "getTextMetrics"}) {
        host.failAt(operation, 1);
    }
    char buffer[32] = "x";
    TextMetrics metrics;
    EXPECT_EQ(s->createMeasureContext(s, 0), nullptr);
    EXPECT_EQ(s->createFont(s, &d), nullptr);
    EXPECT_EQ(s->selectObject(s, m.context, nullptr), nullptr);
    EXPECT_EQ(s->deleteObject(s, font), 0);
    EXPECT_EQ(s->getTextFace(s, m.context, sizeof buffer, buffer), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(s->getTextMetrics(s, m.context, &metrics), 0);
    EXPECT_EQ(host.liveMeasureContexts(), 1u);
    EXPECT_EQ(host.liveFonts(), 1u);
    EXPECT_EQ(s->selectObject(s, m.context, nullptr), font) << "only the first call of each fails";
}

// With a configuration that lists no fonts the requested face stands, and the
// metrics follow the request.
TEST(HostFonts, WithoutFontsTheRequestedFaceStands) {
    std::string path = ::testing::TempDir() + "javtrg-no-fonts.conf";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const char* saved = std::getenv("FONTCONFIG_FILE");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("FONTCONFIG_FILE", path.c_str(), 1);
    {
        ReferenceHost host;
        Measure m{host};
        m.select(descriptor("Some Face", -18, 700, true));
        EXPECT_EQ(m.face(), "Some Face");
        EXPECT_EQ(m.metric(kHeight), 18);
        EXPECT_EQ(m.metric(kWeight), 700);
        EXPECT_EQ(m.metric(kItalic), 1);
    }
    if (saved != nullptr) {
        setenv("FONTCONFIG_FILE", savedValue.c_str(), 1);
    } else {
        unsetenv("FONTCONFIG_FILE");
    }
}

}  // namespace
