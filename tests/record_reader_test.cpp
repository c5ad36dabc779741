// SPDX-License-Identifier: MIT
// The record-stream reader: the same records however the bytes are split,
// and each kind of malformed record with its line and message. Every record
// form the driver writes is read from the golden streams by the examples'
// previews.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/record_transcript.h"

namespace {

struct Reading {
    std::string transcript;
    std::vector<javtool::Malformation> malformations;
};

// Reads `stream` fed in pieces of `piece` bytes (0: at once).
Reading readStream(const std::string& stream, bool lenient = false, size_t piece = 0) {
    javfuzz::RecordTranscript sink;
    javtool::RecordReader reader(sink, lenient);
    Reading reading;
    reader.onMalformed = [&](const javtool::Malformation& m) { reading.malformations.push_back(m); };
    size_t step = piece == 0 ? stream.size() : piece;
    for (size_t at = 0; at < stream.size(); at += step) reader.feed(stream.data() + at, std::min(step, stream.size() - at));
    reader.finish();
    reading.transcript = sink.text;
    return reading;
}

// The fuzz target reads the golden streams (its corpus) whole and cut
// anywhere; here one unit line far beyond the line bound, as the driver
// writes a long text, fed in pieces of every size that matters.
TEST(RecordReader, SplitWritesGiveTheSameRecords) {
    std::string stream = "u,4000";
    for (int i = 0; i < 4000; ++i) stream += ",65";
    stream += "\ne,\n";
    Reading whole = readStream(stream);
    ASSERT_TRUE(whole.malformations.empty()) << whole.malformations[0].message;
    for (size_t piece : {1, 2, 3, 7, 4096}) {
        EXPECT_EQ(readStream(stream, false, piece).transcript, whole.transcript) << "pieces of " << piece;
    }
}

TEST(RecordReader, ReportsTheFirstMalformedRecordWithItsLine) {
    std::string longFace(javtool::kRecordTextMax, 'F');
    struct Case {
        std::string stream;
        uint64_t line;
        std::string message;
    } cases[] = {
        {"e,\nx,1\n", 2, "'x,1' does not start with a record letter; expected one of a, b,"},
        {"\n", 1, "an empty line; expected a record"},
        {"r1,2\n", 1, "expected a comma after the record letter 'r'"},
        {"u\n", 1, "expected a comma after the record letter 'u'"},
        {"r,1,2,3\n", 1, "the 'r' record has 3 fields; expected 4"},
        {"t,1,2,3,4\n", 1, "the 't' record has 4 fields; expected 7 or 12"},
        {"y,1\n", 1, "the 'y' record has 1 field; expected none"},
        {"r,1,2,x,4\n", 1, "field 3 of the 'r' record is 'x'; expected a decimal integer"},
        {"r,1,02,3,4\n", 1, "field 2 of the 'r' record is '02'"},
        {"r,1,2,3,+4\n", 1, "field 4 of the 'r' record is '+4'"},
        {"o,1,2,3,2147483648\n", 1, "field 4 of the 'o' record is 2147483648; expected a decimal integer from"},
        {"a,256,0,0,0,0,1\n", 1, "field 1 of the 'a' record is 256; expected a colour value from 0 to 255"},
        {"t,-1,5,5,0,0,0,0\n", 1, "fields 1 to 3 of the 't' record are -1,5,5; expected a colour"},
        {"t,-1,-1,-1,1,2,3,0,4,5,6,2,90\n", 1, "field 11 of the 't' record is 2; expected 0 or 1"},
        {"q,3\n", 1, "field 1 of the 'q' record is 3; expected 0, 1 or 2"},
        {"r,1,2,3,4", 1, "the stream ends inside a line; expected a newline"},
        {"e,\nu,2,65", 2, "the stream ends inside the 'u' record; expected a newline"},
        {"u,3,65,66\n", 1, "the 'u' record gives 3 units but lists 2"},
        {"u,1,65,66\n", 1, "the 'u' record gives 1 unit but lists more"},
        {"b,1,65,150,7\n", 1, "the 'b' record gives 1 unit but lists more"},
        {"u,2,65,65536\n", 1, "field 3 of the 'u' record is '65536'; expected a code unit from 0 to 65535"},
        {"u,x\n", 1, "field 1 of the 'u' record is 'x'; expected the unit count"},
        {"p,5\n1,2,3,4,5,6,7,8\nr,1,2,3,4\n", 1, "the 'p' record gives 5 points but lists 4"},
        {"l,1\n1,2\n3,4\n", 1, "the 'l' record gives 1 point but lists more"},
        {"p,5\n1,2,3,4\n", 2, "the 'p' record of line 1 gives 5 points; expected 4 on this line, found 2"},
        {"l,1\n1,2,3\n", 2, "holds 3 numbers; expected one to four x,y pairs"},
        {"l,2\n1,x,3,4\n", 2, "number 2 of the point line of the 'l' record of line 1 is 'x'"},
        {"e,\np,6\n1,2,3,4,5,6,7,8\n", 2, "the 'p' record gives 6 points but the stream ends after 4"},
        {"m,1,2,3,4\nname\n", 1, "the stream ends inside the 'm' record; expected its two text lines"},
        {"c," + longFace + ",1,0,0,0,0\n", 1, "a line longer than 10239 characters; the driver cuts a record there"},
        {"m,0,0,1,1\n" + std::string(5000, 'A') + "\n" + std::string(5229, 'B') + "\n", 1,
         "the 'm' record is longer than 10239 characters"},
    };
    for (const Case& c : cases) {
        Reading reading = readStream(c.stream);
        ASSERT_EQ(reading.malformations.size(), 1u) << c.stream.substr(0, 40);
        EXPECT_EQ(reading.malformations[0].line, c.line) << c.stream.substr(0, 40);
        EXPECT_NE(reading.malformations[0].message.find(c.message), std::string::npos)
            << c.stream.substr(0, 40) << " gave: " << reading.malformations[0].message;
    }
}

TEST(RecordReader, RecordsOfExactlyTheBoundAreWhole) {
    // "c," face ",1,0,0,0,0" and an "m" record with its newlines: 10239 characters each.
    std::string font = "c," + std::string(javtool::kRecordTextMax - 12, 'F') + ",1,0,0,0,0";
    ASSERT_EQ(font.size(), javtool::kRecordTextMax);
    std::string element = "m,0,0,1,1\n" + std::string(5000, 'A') + "\n" + std::string(5227, 'B') + "\n";
    ASSERT_EQ(element.size(), javtool::kRecordTextMax);
    Reading reading = readStream(font + "\n" + element);
    EXPECT_TRUE(reading.malformations.empty()) << reading.malformations[0].message;
    EXPECT_EQ(std::count(reading.transcript.begin(), reading.transcript.end(), '\n'), 2);
}

TEST(RecordReader, LenientReadingSkipsMalformedRecordsAndTakesBackWhatTheyBegan) {
    std::string stream =
        "r,1,2,3,4\n"                 // 1
        "r,1,2\n"                     // 2: wrong field count
        "p,5\n1,2,3,4,5,6,7,8\n"      // 3: fewer points than its count
        "o,1,2,3,4\n"                 // 5
        "u,3,65\n"                    // 6: fewer units
        "e,\n"                        // 7
        "zz\n9,9\n"                   // 8: no record letter; 9 is skipped with it
        "l,1\n1,2\n3,4\n"             // 10: more points
        "e,\n";                       // 13
    Reading reading = readStream(stream, true);
    EXPECT_EQ(reading.transcript, "r 1,2,3,4\nabandoned\no 1,2,3,4\nabandoned\ne\nabandoned\ne\n");
    std::vector<uint64_t> lines;
    for (const auto& m : reading.malformations) lines.push_back(m.line);
    EXPECT_EQ(lines, (std::vector<uint64_t>{2, 3, 6, 8, 10}));
    // A strict reader stops at the first.
    Reading strict = readStream(stream, false);
    EXPECT_EQ(strict.transcript, "r 1,2,3,4\n");
    EXPECT_EQ(strict.malformations.size(), 1u);
}

}  // namespace
