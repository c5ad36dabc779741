// SPDX-License-Identifier: MIT
// Set-up of search highlighting: the highlight colour of the option text.
#include "tests/driver_harness.h"

namespace {

using javtest::DriverHarness;

const char* const kTerms[] = {"cat"};

// Red in the lowest byte of a colour, then green, then blue.
uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// The search sample pins a colour after another option.
TEST(HighlightSetup, TheOptionTextGivesTheColour) {
    const struct {
        const char* options;
        uint32_t colour;
    } cases[] = {
        {nullptr, rgb(255, 0, 0)},
        {"color:#00FF00", rgb(0, 255, 0)},
        {"color: #0000ff", rgb(0, 0, 255)},
        {"color:red", rgb(255, 0, 0)},
        {"Color:#00FF00", rgb(255, 0, 0)},  // the keyword is case-sensitive
        {"#00FF00;color:red", rgb(255, 0, 0)},  // a "#" before the keyword does not count
        {"color:red;fill:#00FF00", rgb(0, 255, 0)},
        {"color:#f00", rgb(0, 15, 0)},  // no three-digit shorthand
        {"color:#xyz", rgb(0, 0, 0)},
        {"color:#ABCDEF7", rgb(171, 205, 239)},
        {"color:#   12", rgb(0, 0, 18)},  // white space before the digits is skipped
        {"color:#0x12345", rgb(0, 0x12, 0x34)},  // "0x" counts among the six characters
        {"color:#", rgb(0, 0, 0)},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        SearchRequest request{.searchTerms = kTerms, .termCount = 1, .searchOptions = c.options};
        h.session()->searchRequest = &request;
        h.start();
        EXPECT_EQ(h.context()->highlightColour, c.colour) << (c.options ? c.options : "(absent)");
    }
}

}  // namespace
