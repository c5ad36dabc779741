// SPDX-License-Identifier: MIT
// Text strings and width strings as 16-bit code units.
#include <cstring>
#include <optional>
#include <string>

#include "tests/driver_harness.h"
#include "text/text.h"

namespace {

using javtest::DriverHarness;

constexpr int32_t kEncodingCyrillic = 6;  // Windows-1251

// A TextString (or, with a run width, a WidthString) holding `text`.
HostObject* stringObject(DriverHarness& h, const std::string* text, int32_t encoding, int64_t byteLength,
                         std::optional<int32_t> runWidth = std::nullopt) {
    HostObject* o = runWidth ? h.object(kKindWidthString, WidthStringData{nullptr, *runWidth, 0, byteLength, encoding, 0, 0, 0})
                             : h.object(kKindTextString, TextStringData{0, nullptr, byteLength, encoding, 0});
    size_t field = runWidth ? offsetof(WidthStringData, text) : offsetof(TextStringData, text);
    if (text != nullptr) h.host().attachBlock(o, static_cast<int32_t>(24 + field), text->data(), text->size(), 2);
    return o;
}

// The text sample pins tabs, text pieces and positive run widths.
TEST(TextString, UnitsComeFromConversionOrFromTheTextItself) {
    const struct {
        std::string text;
        int32_t encoding, bigEndian;
        int64_t byteLength;
        const char* record;
        std::optional<int32_t> runWidth = std::nullopt;  // a WidthString
    } cases[] = {
        {"AB", kEncodingWestern, 0, 2, "u,2,65,66\n"},
        {"A\x81\x80", kEncodingWestern, 0, 3, "u,3,65,63,8364\n"},  // 0x81 is no character of Windows-1252
        {"\xc0", 0, 0, 1, "u,1,1040\n"},  // encoding 0: the session's
        {std::string("\0A", 2), kEncodingUnits, 1, 2, "u,1,65\n"},
        {std::string("\0A", 2), kEncodingUnits, 0, 2, "u,1,16640\n"},
        {std::string("A\0B", 3), kEncodingUnits, 0, 3, "u,1,65\n"},  // the unpaired last byte is ignored
        {std::string("AB\0C", 4), kEncodingWestern, 0, 0, "u,2,65,66\n"},  // measured up to the zero byte
        {"AB", kEncodingWestern, 0, -5, "u,2,65,66\n"},
        {"", kEncodingWestern, 0, 0, ""},
        {"AB", kEncodingWestern, 0, 2, "b,2,65,66\n", 0},  // the run width only when positive
        {"AB", kEncodingWestern, 0, 2, "b,2,65,66\n", -5},
    };
    for (const auto& c : cases) {
        DriverHarness h;
        h.params()->bigEndianText = c.bigEndian;
        h.session()->currentEncoding = kEncodingCyrillic;
        h.start();
        EXPECT_EQ(h.put(stringObject(h, &c.text, c.encoding, c.byteLength, c.runWidth)), 1);
        EXPECT_EQ(h.take(), c.record);
        EXPECT_EQ(h.context()->recordCount, *c.record != '\0' ? 1 : 0);
    }
}

TEST(WidthString, AWidthAtTheLineBoundStillEndsWithTheNewline) {
    DriverHarness h;
    h.params()->sourceFrame[0] = 96;  // a reversed frame: horizontal lengths are negative
    h.params()->sourceFrame[2] = 0;
    h.start();
    const std::string text(3407, 'A');  // "b,3407" and the units fill the line to its bound
    h.put(stringObject(h, &text, kEncodingWestern, 3407, 2000000000));
    std::string all = h.take();
    EXPECT_EQ(all.size(), 10227u + 13);
    EXPECT_EQ(all.substr(10227), ",-2000000000\n");
}

// Units of one to five digits: the line is handed over only when the next
// unit would take it beyond 10227 characters, never earlier.
TEST(TextString, ALongRecordIsOneLineInSeveralWrites) {
    DriverHarness h;
    h.start();
    std::string text;
    std::string line = "u,6000";
    for (uint32_t i = 0; i < 6000; ++i) {
        uint32_t unit = (i * 7919u) % 65536u;
        text += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        line += "," + std::to_string(unit);
    }
    ASSERT_EQ(h.put(stringObject(h, &text, kEncodingUnits, static_cast<int64_t>(text.size()))), 1);
    const auto writes = h.stream()->writes;
    ASSERT_EQ(writes.size(), 4u);
    for (size_t i = 0; i + 1 < writes.size(); ++i) {
        EXPECT_LE(writes[i].size(), 10227u);
        EXPECT_EQ(writes[i].find('\n'), std::string::npos);
        size_t nextPiece = writes[i + 1].find(',', 1);
        EXPECT_GT(writes[i].size() + nextPiece, 10227u) << "write " << i << " was handed over early";
    }
    EXPECT_EQ(h.take(), line + "\n");
    EXPECT_EQ(h.context()->recordCount, 1);
}

// A host that reports more units than the buffer it was handed holds is
// not believed: the units written are those the buffer holds.
TEST(TextString, AConversionCountBeyondTheBufferIsHeldToIt) {
    DriverHarness h;
    h.start();
    h.session()->convertToUnits = [](HostSession*, const TextSpan*, TextSpan* target, int32_t, int32_t) {
        std::memset(const_cast<uint8_t*>(target->bytes), 'A', target->count);
        target->count += 100;
        return 1;
    };
    const std::string text = "AB";
    ASSERT_EQ(h.put(stringObject(h, &text, kEncodingWestern, 2)), 1);
    std::string record = h.take();
    size_t units = std::stoul(record.substr(2));
    ASSERT_GT(units, 0u);
    std::string expected = "u," + std::to_string(units);
    for (size_t i = 0; i < units; ++i) expected += ",16705";  // 0x4141 in either byte order
    EXPECT_EQ(record, expected + "\n");
}

// Without a session byte text has no converter (16-bit units need none) and
// a font's character set is the default set; a string handler handed a kind
// it does not know draws nothing.
TEST(TextUnits, WithoutASessionOrForAnotherKindNothingIsConverted) {
    DriverHarness h;
    h.host().useSession(false);
    h.start();
    const std::string text = "AB";
    EXPECT_EQ(h.put(stringObject(h, &text, kEncodingWestern, 2)), 0);
    EXPECT_EQ(h.put(stringObject(h, &text, kEncodingUnits, 2)), 1);
    EXPECT_EQ(h.take(), "u,1,16961\n");
    uint8_t charset = 128;
    JAVtResolveCharset(nullptr, &charset);
    EXPECT_EQ(charset, 1);
    HostObject* other = h.object(kKindCharAtt);
    EXPECT_EQ(JAVtTextString(h.context(), other), 0);
    h.host().releaseObject(other);
}

TEST(TextUnits, ALengthWhoseBufferSizeLeavesThe32BitRangeFailsUntouched) {
    DriverHarness h;
    h.start();
    const uint8_t text[] = "AB";
    // 2 × 1073741823 + 2 = 2^31 is no positive 32-bit size: nothing is read or allocated.
    EXPECT_EQ(JAVtPutTextUnits(h.context(), text, 1073741823, kEncodingWestern), 0);
    EXPECT_EQ(JAVtPutTextUnits(h.context(), text, INT32_MAX, kEncodingWestern), 0);
    EXPECT_EQ(h.host().calls("allocate"), 1u);  // the LineBuffer only
    EXPECT_EQ(h.take(), "");
}

}  // namespace
