// SPDX-License-Identifier: MIT
// Reads a record stream, record by record, as the driver writes it: from a
// std::istream or from a buffer fed in pieces of any size. Memory stays
// constant per record: fixed-form lines are held whole (at most 10239
// characters), the point lines of "l" and "p" are handed on one line at a
// time, and the units of "u" and "b", whose lines have no length limit, are
// handed on in batches as they are read.
//
// The reader checks the syntax of every record against the forms the driver
// writes and reports the first malformed record with its line number and
// what was expected. A lenient reader reports every malformed record and goes
// on with the next line that starts a record.
#ifndef JAVTRG_TOOLS_RECORD_READER_H
#define JAVTRG_TOOLS_RECORD_READER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace javtool {

// The longest record the driver writes whole; a longer one is cut there and
// written without its newline.
inline constexpr size_t kRecordTextMax = 10239;

// The longest line a reader takes by default, in bytes without its newline:
// the unit lines of "u" and "b" are the only ones the driver writes longer
// than kRecordTextMax.
inline constexpr uint64_t kDefaultMaxLineBytes = uint64_t{16} << 20;

struct RecordPoint {
    int32_t x;
    int32_t y;
};

struct Record {
    char letter = 0;
    uint64_t line = 0;  // line of the record's first line, from 1
    // The integer fields in their order ("c" without its face). "l", "p",
    // "u" and "b" hold only their count here.
    uint32_t fieldCount = 0;
    std::array<int64_t, 12> fields{};
    std::string face;         // "c"
    std::string elementName;  // "m": the first text line
    std::string elementType;  // "m": the second text line
    bool hasWidth = false;    // "b": the run width follows the units
    int32_t width = 0;

    int32_t field(size_t index) const { return static_cast<int32_t>(fields[index]); }
    uint32_t count() const { return static_cast<uint32_t>(fields[0]); }
};

// What a reader hands on. Every record starts with `begin` and, when it is
// well formed, ends with `end`; between them a point list delivers its
// points and a unit record its units. A record found malformed after its
// `begin` gets `abandon` instead of `end`: whatever it delivered is void.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void begin(const Record& record) { (void)record; }
    virtual void points(const RecordPoint* points, size_t count) { (void)points, (void)count; }
    virtual void units(const uint16_t* units, size_t count) { (void)units, (void)count; }
    virtual void end(const Record& record) = 0;
    virtual void abandon() {}
};

struct Malformation {
    uint64_t line;
    std::string message;
};

class RecordReader {
public:
    RecordReader(RecordSink& sink, bool lenient);

    void feed(const char* data, size_t size);
    // The end of the stream: reports a record left incomplete.
    void finish();

    // A line longer than `bytes` ends the reading, also a lenient one, with
    // limitMessage set; a stream without newlines is thus refused after a
    // bounded read.
    void limitLineBytes(uint64_t bytes) { maxLineBytes_ = bytes; }
    // Why the reading ended at a limit; empty when it did not.
    const std::string& limitMessage() const { return limitMessage_; }

    // A strict reader stops at its first malformed record.
    bool stopped() const { return stopped_; }
    uint64_t malformedCount() const { return malformedCount_; }
    // Called for every malformed record (only the first for a strict reader).
    std::function<void(const Malformation&)> onMalformed;

private:
    enum class Mode { LineStart, Buffered, UnitHead, UnitField, Skip };
    enum class Expect { Record, PointLine, ElementName, ElementType };

    void feedLines(const char* data, size_t size);
    void startLine(char c);
    size_t bufferBytes(const char* data, size_t size);
    void endLine();
    void recordLine();
    void pointLine();
    void elementLine();
    void unitByte(char c);
    bool unitToken();
    void unitLineEnd();
    void beginRecord();
    void endRecord();
    void endPendingPoints();
    void flushUnits();
    // Reports a malformed record. `lineDone`: the line that showed it has
    // been read to its end.
    void malformed(uint64_t line, std::string message, bool lineDone);

    RecordSink& sink_;
    bool lenient_;
    bool stopped_ = false;
    bool resync_ = false;
    bool begun_ = false;
    uint64_t malformedCount_ = 0;
    uint64_t line_ = 1;
    Mode mode_ = Mode::LineStart;
    Expect expect_ = Expect::Record;
    Record record_;
    std::string text_;  // the buffered line, at most kRecordTextMax characters
    bool overflow_ = false;
    uint64_t pointsLeft_ = 0;
    bool pointsPending_ = false;  // all points read; `end` waits for the next line
    size_t elementLength_ = 0;
    std::string token_;  // the unit field being read
    uint64_t unitFields_ = 0;
    std::array<uint16_t, 256> unitBatch_{};
    size_t unitBatchSize_ = 0;
    uint64_t maxLineBytes_ = kDefaultMaxLineBytes;
    uint64_t lineBytes_ = 0;  // of the line being read, so far
    std::string limitMessage_;
};

// Feeds the whole of `in` to `reader` in pieces and finishes it. Returns false
// when reading failed.
bool readRecords(std::istream& in, RecordReader& reader);

}  // namespace javtool

#endif
