// SPDX-License-Identifier: MIT
// Windows metafiles through the libwmf device and the driver: byte text in
// its code page, clips, bitmaps, pictures fitted to a frame, and damaged
// files. How every corpus metafile looks is scored by the fidelity check.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "import/metafile_bitmap.h"
#include "import/metafile_import.h"
#include "tools/script_runner.h"

namespace {

using javimport::ImportStatus;

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

// A metafile written record by record: records are 16-bit words, the
// placeable header gives a `right` x `bottom` picture at `inch` units an
// inch.
class Metafile {
public:
    Metafile& record(uint16_t function, const std::vector<uint16_t>& words) {
        put16(body_, (words.size() + 3) & 0xFFFF);
        put16(body_, (words.size() + 3) >> 16);
        put16(body_, function);
        for (uint16_t w : words) put16(body_, w);
        largest_ = std::max(largest_, words.size() + 3);
        return *this;
    }
    // Text bytes as words, low byte first, padded to an even length.
    static std::vector<uint16_t> textWords(const std::string& text) {
        std::vector<uint16_t> words;
        for (size_t i = 0; i < text.size(); i += 2) {
            uint16_t low = static_cast<unsigned char>(text[i]);
            uint16_t high = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
            words.push_back(static_cast<uint16_t>(low | high << 8));
        }
        return words;
    }
    Metafile& font(uint8_t charset, int16_t height = -200) {
        std::vector<uint16_t> w = {static_cast<uint16_t>(height), 0, 0, 0, 400, 0, static_cast<uint16_t>(charset << 8), 0, 0};
        for (uint16_t f : textWords(std::string("MS Gothic\0", 10))) w.push_back(f);
        return record(0x2FB, w).record(0x12D, {objects_++});
    }
    Metafile& nullPen() { return record(0x2FA, {5, 0, 0, 0, 0}).record(0x12D, {objects_++}); }
    // ExtTextOut at (x, y); with `spaced` a width for every byte, which
    // libwmf hands to the device one byte at a time.
    Metafile& text(int16_t x, int16_t y, const std::string& bytes, bool spaced) {
        std::vector<uint16_t> w = {static_cast<uint16_t>(y), static_cast<uint16_t>(x), static_cast<uint16_t>(bytes.size()), 0};
        for (uint16_t t : textWords(bytes)) w.push_back(t);
        if (spaced) w.insert(w.end(), bytes.size(), 100);
        return record(0xA32, w);
    }
    Metafile& rectangle(int16_t l, int16_t t, int16_t r, int16_t b) {
        return record(0x41B, {static_cast<uint16_t>(b), static_cast<uint16_t>(r), static_cast<uint16_t>(t), static_cast<uint16_t>(l)});
    }
    // The file: the placeable header of a 1000 x 500 picture at 1000 units
    // an inch, the metafile header, the records and the end record.
    std::string bytes() const {
        std::string all;
        uint16_t sum = 0;
        for (uint16_t w : {0xCDD7, 0x9AC6, 0, 0, 0, 1000, 500, 1000, 0, 0}) {
            put16(all, w);
            sum ^= w;
        }
        put16(all, sum);
        uint32_t words = static_cast<uint32_t>(9 + body_.size() / 2 + 3);
        for (uint32_t w : {1u, 9u, 0x300u, words & 0xFFFF, words >> 16, 16u, static_cast<uint32_t>(largest_), 0u, 0u}) put16(all, w);
        return all + body_ + std::string("\3\0\0\0\0\0", 6);
    }

private:
    static void put16(std::string& out, uint32_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8 & 0xFF);
    }
    std::string body_;
    size_t largest_ = 3;
    uint16_t objects_ = 0;
};

// Runs a script on a fresh host; the stream, after checking that every
// object drew and nothing the host handed out is left.
std::string run(const javtool::Script& script) {
    refhost::ReferenceHost host;
    refhost::MemoryStream* stream = host.memoryStream();
    javtool::RunOutcome outcome = javtool::runScript(script, host, kDriver, &stream->base);
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.failedObject, -1) << outcome.hostFailure;
    std::string text = stream->text();
    EXPECT_EQ(host.liveBlocks(), 0u) << host.describeLive();
    EXPECT_EQ(host.liveObjects(), 0u) << host.describeLive();
    return text;
}

javtool::Script importPage(const std::string& bytes, javimport::ImportOptions options = {}) {
    std::vector<javimport::ImportedPage> pages;
    std::string error;
    EXPECT_EQ(javimport::metafileImporter().import(bytes, options, &pages, &error), ImportStatus::Imported) << error;
    return pages.empty() ? javtool::Script{} : std::move(pages[0].script);
}

// What a page of a metafile draws. Byte text keeps the bytes of its font's
// code page, which the host converts into 16-bit units, two-byte
// characters whole even when the file spaced the text byte by byte; a
// search hit is drawn in the highlight colour. The picture is stretched
// over its page: a rectangle covering the whole metafile lands on the
// page, a clip and a bitmap on their part of it.
TEST(MetafileImport, PagesDrawTextInItsCodePageHitsClipsAndBitmaps) {
    auto text = [](uint8_t charset, const std::string& bytes, bool spaced) {
        return Metafile().font(charset).text(100, 100, bytes, spaced).bytes();
    };
    const std::string tokyo = "\x93\x8C\x8B\x9E";                          // 東京 in Shift_JIS
    const std::string tower = tokyo + "\x83\x5E\x83\x8F\x81\x5B";         // 東京タワー
    std::string bytes = Metafile().nullPen().record(0x416, {300, 500, 100, 100}).rectangle(0, 0, 1000, 500).bytes();
    // A 2 x 1 bitmap of 24 bits a pixel, stretched over the picture.
    std::vector<uint16_t> bitmap = {0x0020, 0x00CC, 0, 1, 2, 0, 0, 500, 1000, 0, 0, 40, 0, 2, 0, 1, 0, 1, 24,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0000, 0xFFFF, 0x0000, 0x0000};
    javimport::ImportOptions wide;
    wide.targetWidth = 300;
    struct Case {
        const char* what;
        std::string bytes;
        std::string records;  // a page: 1 x 0.5 inch at 96 pixels an inch, or at a width asked for
        javimport::ImportOptions options = {};
        std::string search = "";
    };
    const Case cases[] = {
        {"Shift_JIS", text(128, tokyo, false), "u,2,26481,20140\n"},
        {"Shift_JIS spaced", text(128, tokyo, true), "u,2,26481,20140\n"},
        {"GBK", text(134, "\xD6\xD0\xCE\xC4", false), "u,2,20013,25991\n"},  // 中文
        {"Windows-1250", text(238, "\x8A\xE8", false), "u,2,352,269\n"},  // Šč
        // The hit in the highlight colour (red), the rest in the text's black.
        {"hit", text(128, tower, true), ",255,0,0\nu,2,26481,20140\nc,", {}, "東京"},
        {"rest of the hit's line", text(128, tower, true), ",0,0,0\nu,3,12479,12527,12540\n", {}, "東京"},
        {"clip", bytes, "q,1\nt,-1,-1,-1,-1,-1,-1,0\nr,10,10,38,19\n"},
        {"rectangle", bytes, "r,0,0,96,48\nq,0\n"},
        {"at a width", bytes, "r,0,0,300,150\nq,0\n", wide},
        {"bitmap", Metafile().record(0xF43, bitmap).bytes(), "m,0,0,96,48\n"},
    };
    for (const Case& c : cases) {
        javtool::Script script = importPage(c.bytes, c.options);
        if (!c.search.empty()) {
            javtool::ScriptSession& session = script.session;
            session.hasSearch = true;
            session.termEncoding = kEncodingUtf8;
            session.searchTerms.push_back(c.search + std::string(2, '\0'));
            session.searchTermPresent.push_back(true);
        }
        std::string page = run(script);
        EXPECT_NE(page.find(c.records), std::string::npos) << c.what << "\n" << page;
    }

    // A picture inside a drawing of 4000 x 4000 units on 400 x 400 pixels.
    javtool::Script drawing;
    drawing.params.sizeX = drawing.params.sizeY = 4;
    drawing.params.sourceFrame[2] = drawing.params.sourceFrame[3] = 4000;
    drawing.params.colourMode = kColourModeDirect;
    drawing.hasTargetInfo = true;
    drawing.info.pixelWidth = drawing.info.pixelHeight = 400;
    const int32_t frame[4] = {1000, 2000, 3000, 3000};
    std::string error;
    ASSERT_TRUE(javimport::metafilePictureObjects(bytes, frame, &drawing.objects, &error)) << error;
    std::string picture = run(drawing);
    EXPECT_NE(picture.find("r,100,100,200,100\n"), std::string::npos) << picture;
}

TEST(MetafileImport, BitmapsDecodeOrAreRefused) {
    // A header of 40 bytes, little-endian as the machine: one plane.
    auto header = [](int32_t w, int32_t h, int32_t bits, int32_t compression) {
        const int32_t fields[10] = {40, w, h, 1 | bits << 16, compression};
        return std::string(reinterpret_cast<const char*>(fields), sizeof fields);
    };
    struct Case {
        const char* name;
        std::string dib;
        const char* firstPixel;  // RGBA of the top left pixel, or nullptr: refused
    };
    const std::string palette("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);  // red, blue
    const Case cases[] = {
        // Rows bottom first: the top row is the second.
        {"1 bit", header(2, 2, 1, 0) + palette + std::string("\x00\x00\x00\x00\x40\x00\x00\x00", 8), "\xFF\x00\x00\xFF"},
        {"8 bits top down", header(1, -1, 8, 0) + std::string(1024, '\0').replace(4, 4, std::string("\x00\xFF\x00\x00", 4)) +
                                std::string("\x01\x00\x00\x00", 4), "\x00\xFF\x00\xFF"},
        {"rows cut short", header(4, 4, 24, 0) + std::string(40, '\0'), nullptr},
        {"run-length coded", header(4, 4, 8, 1) + std::string(2000, '\0'), nullptr},
        {"larger than allowed", header(20000, 1, 1, 0) + std::string(8000, '\0'), nullptr},
        {"header only", std::string("\x28\x00", 2), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        javimport::DecodedBitmap bitmap;
        std::string why;
        bool decoded = javimport::decodeBitmap(reinterpret_cast<const unsigned char*>(c.dib.data()), c.dib.size(), &bitmap, &why);
        ASSERT_EQ(decoded, c.firstPixel != nullptr) << why;
        if (decoded) EXPECT_EQ(bitmap.pixels.substr(0, 4), std::string(c.firstPixel, 4));
        else EXPECT_FALSE(why.empty());
    }
}

// Damaged and hostile files are refused with one line, the way libwmf
// stopped; bytes that are no metafile are left to other importers.
TEST(MetafileImport, DamagedMetafilesAreRefusedWithOneLine) {
    std::string good = Metafile().font(0).text(10, 10, "abc", false).rectangle(0, 0, 100, 100).bytes();
    std::string bizarre = good.substr(0, 40) + std::string("\xFF\xFF\xFF\x7F\x1B\x04", 6) + good.substr(46);
    std::string huge = good;
    huge.replace(22 + 12, 4, std::string("\x00\x00\x00\x40", 4));  // largest record: 2^30 words
    std::string garbage = good.substr(0, 40);
    for (int i = 0; i < 200; ++i) garbage += static_cast<char>((i * 73 + 11) & 0xFF);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() - 20)},
        {"bizarre record size", bizarre},
        {"huge largest record", huge},
        {"garbage records", garbage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<javimport::ImportedPage> pages;
        std::string error;
        EXPECT_EQ(javimport::metafileImporter().import(c.bytes, {}, &pages, &error), ImportStatus::Refused);
        EXPECT_TRUE(pages.empty());
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    std::vector<javimport::ImportedPage> pages;
    std::string error;
    EXPECT_EQ(javimport::metafileImporter().import("{\"objects\": []}", {}, &pages, &error), ImportStatus::NotThisFormat);
}

}  // namespace
