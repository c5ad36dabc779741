// SPDX-License-Identifier: MIT
// The fonts the highlighting pass realises: what it asks the font system
// for, and what it keeps of the answer.
#include <strings.h>

#include <algorithm>

#include "highlight/highlight.h"
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

CharAttributes attributes(const char* face, int32_t height, int32_t weight = 400, int32_t raised = 0) {
    CharAttributes a{.charColour = 0x123456, .superscript = raised, .subscript = 0};
    a.charFont = FontDescriptor{.height = height, .width = 7, .weight = weight, .charSet = 0};
    std::strncpy(a.charFont.faceName, face, sizeof a.charFont.faceName);
    return a;
}

// The call log entries of `operation`.
std::vector<std::string> logged(const refhost::ReferenceHost& host, const std::string& operation) {
    std::vector<std::string> entries;
    for (const std::string& entry : host.callLog()) {
        if (entry.rfind(operation, 0) == 0) entries.push_back(entry);
    }
    return entries;
}

TEST(HighlightFont, FaceSubstitutionsHeightsAndTheFaceTheFontSystemChose) {
    const struct {
        CharAttributes in;
        const char* requested;
        int32_t height;
    } cases[] = {
        {attributes("courier", 12), "Courier New", 12},
        {attributes("COURIER", 12), "Courier New", 12},
        {attributes("Courier New", 12), "Courier New", 12},
        {attributes("brush script mt", 12), "Brush Script", 12},
        {attributes("Arial", -30, 400, 1), "Arial", -20},  // raised: two thirds, towards zero
        {attributes("Arial", 31, 400, 1), "Arial", 20},
        {attributes("Arial", INT32_MAX, 400, 1), "Arial", 1431655764},
        {attributes("Lydian", 24, 700), "Lydian", -24},  // bold Lydian is turned
        {attributes("Lydian", 24, 400), "Lydian", 24},
        {attributes("lydian", 24, 700), "lydian", 24},
        {attributes("Lydian", -24, 700), "Lydian", -24},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.start();
        ASSERT_EQ(JAVtSelectHighlightFont(h.context(), &c.in, nullptr), 1);
        const FontDescriptor& font = h.context()->inForceFont;
        EXPECT_EQ(logged(h.host(), "createFont"), std::vector<std::string>{std::string("createFont ") + c.requested});
        EXPECT_EQ(font.height, c.height) << c.requested;
        EXPECT_EQ(font.width, 0);
        EXPECT_EQ(font.quality, 2);
        EXPECT_EQ(h.context()->inForceTextColour, 0x123456u);
        EXPECT_EQ(h.context()->inForceCharAtt, &c.in);
        // The face name is the one the font system reports, in the
        // spelling of the request when only letter case differs.
        HostSession* s = h.session();
        char reported[32] = "";
        s->getTextFace(s, h.context()->measureContext, sizeof reported, reported);
        EXPECT_EQ(strcasecmp(font.faceName, reported), 0) << font.faceName << " / " << reported;
        if (strcasecmp(reported, c.requested) == 0) EXPECT_STREQ(font.faceName, c.requested);
    }
}

// The character set follows the text encoding unless a width string that
// comes next says otherwise.
TEST(HighlightFont, TheCharacterSetFollowsTheEncodingUnlessAWidthStringSaysOtherwise) {
    const struct {
        int32_t nextKind, stringMode, stringEncoding;
        uint8_t charSet;
        int32_t currentEncoding, fontEncoding;
        const char* mapped;  // the encoding mapFontEncoding saw, or nullptr when not called
        uint8_t result;
    } cases[] = {
        {kKindWidthString, 1, 6, 204, 6, 0, nullptr, 1},
        {kKindWidthString, 0, 0, 1, 6, 0, nullptr, 1},
        {kKindWidthString, 0, 0, 2, 6, 0, nullptr, 2},
        {kKindWidthString, 0, 0, 0, 6, 0, "mapFontEncoding 6", 204},
        {kKindWidthString, 0, 8, 1, 6, 0, "mapFontEncoding 6", 204},
        {kKindTextString, 1, 0, 1, 6, 0, "mapFontEncoding 6", 204},
        {kKindTextString, 0, 0, 0, kEncodingUnits, 2, "mapFontEncoding 2", 134},
        {kKindTextString, 0, 0, 0, kEncodingUnits, 0, "mapFontEncoding 51", 1},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.session()->currentEncoding = c.currentEncoding;
        h.session()->fontEncoding = c.fontEncoding;
        h.start();
        CharAttributes in = attributes("Arial", 12);
        in.charFont.charSet = c.charSet;
        HostObject* next = h.object(c.nextKind, WidthStringData{.encoding = c.stringEncoding, .stringMode = c.stringMode});
        ASSERT_EQ(JAVtSelectHighlightFont(h.context(), &in, next), 1);
        h.host().releaseObject(next);
        auto expected = c.mapped ? std::vector<std::string>{c.mapped} : std::vector<std::string>{};
        EXPECT_EQ(logged(h.host(), "mapFontEncoding"), expected) << c.nextKind << " " << c.stringMode;
        EXPECT_EQ(h.context()->inForceFont.charSet, c.result);
        EXPECT_EQ(h.session()->currentEncoding, c.currentEncoding);
    }
}

// One measuring context for the instance; each font deselected and deleted
// before the next is made. The failure sweep makes each of these calls fail.
TEST(HighlightFont, OneContextOneFontAtATime) {
    DriverHarness h;
    h.start();
    CharAttributes in = attributes("Arial", 12);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(JAVtSelectHighlightFont(h.context(), i == 1 ? nullptr : &in, nullptr), 1);
    EXPECT_EQ(h.host().liveFonts(), 1u);
    EXPECT_EQ(h.host().liveMeasureContexts(), 1u);
    size_t from = h.host().callLog().size();
    ASSERT_EQ(JAVtSelectHighlightFont(h.context(), &in, nullptr), 1);
    const std::vector<std::string> order(h.host().callLog().begin() + static_cast<ptrdiff_t>(from), h.host().callLog().end());
    EXPECT_EQ(order, (std::vector<std::string>{"mapFontEncoding 7", "selectObject", "deleteObject", "createFont Arial",
                                                "selectObject", "getTextFace", "getTextMetrics"}));
}

}  // namespace
