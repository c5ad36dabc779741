// SPDX-License-Identifier: MIT
// The record-stream reader: a byte-driven state machine over lines. Lines of
// fixed-form records, point lines and element text lines are buffered (they
// are bounded); unit lines are read field by field.
#include "tools/record_reader.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <string_view>
#include <utility>
#include <vector>

namespace javtool {

namespace {

// The fields of each record form, one character a field:
//   i  a signed 32-bit integer      C  a colour value 0 to 255
//   T  a colour value or -1 (three in a row: a colour, or -1,-1,-1)
//   n  a count 0 to 4294967295      f  a flag 0 or 1
//   q  a clip form 0, 1 or 2        s  style flags 0 to 127
//   F  a text without commas (the face of "c")
// "t" has a second form, the gradients the viewer draws. "u" and "b" are
// read field by field and have no entry here.
struct RecordForm {
    char letter;
    const char* fields;
    const char* alternative;
};

constexpr RecordForm kForms[] = {
    {'a', "CCCiii", nullptr},      {'c', "FisCCC", nullptr},      {'d', "iiiiii", nullptr},
    {'e', "", nullptr},            {'g', "iiiifififii", nullptr}, {'k', "iiii", nullptr},
    {'l', "n", nullptr},           {'m', "iiii", nullptr},        {'o', "iiii", nullptr},
    {'p', "n", nullptr},           {'q', "q", nullptr},           {'r', "iiii", nullptr},
    {'s', "iiiiii", nullptr},      {'t', "TTTTTTi", "TTTCCCiCCCfi"}, {'y', "", nullptr},
};

constexpr const char* kLetters = "a, b, c, d, e, g, k, l, m, o, p, q, r, s, t, u, y";

const RecordForm* formOf(char letter) {
    for (const RecordForm& form : kForms) {
        if (form.letter == letter) return &form;
    }
    return nullptr;
}

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool startsNumber(char c) { return c == '-' || (c >= '0' && c <= '9'); }

struct Range {
    int64_t low;
    int64_t high;
    const char* expected;
};

Range rangeOf(char kind) {
    switch (kind) {
    case 'C': return {0, 255, "a colour value from 0 to 255"};
    case 'T': return {-1, 255, "a colour value from 0 to 255, or -1"};
    case 'n': return {0, 4294967295LL, "a count from 0 to 4294967295"};
    case 'f': return {0, 1, "0 or 1"};
    case 'q': return {0, 2, "0, 1 or 2"};
    case 's': return {0, 127, "style flags from 0 to 127"};
    default: return {INT32_MIN, INT32_MAX, "a decimal integer from -2147483648 to 2147483647"};
    }
}

// A decimal integer as "%d" writes it: an optional minus sign, no leading
// zeros, no plus sign, no "-0".
bool parseInteger(std::string_view text, int64_t* value) {
    bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10) return false;
    if (digits[0] == '0' && (digits.size() > 1 || negative)) return false;
    int64_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    *value = negative ? -result : result;
    return true;
}

// A field as it may be quoted in a message: printable ASCII, other bytes as
// \xNN, at most 24 characters.
std::string quoted(std::string_view text) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "'";
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == 24) {
            out += "...";
            break;
        }
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\'' && byte != '\\') {
            out += static_cast<char>(byte);
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out + "'";
}

// "1 point", "5 points"
std::string counted(uint64_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string recordName(char letter) { return std::string("the '") + letter + "' record"; }

std::string fieldName(size_t index, char letter) {
    return "field " + std::to_string(index + 1) + " of " + recordName(letter);
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    if (text.empty()) return fields;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

// Checks `fields` against `form` and stores them into `record`. Returns the
// message of the first fault, empty when the fields fit.
std::string takeFields(const std::vector<std::string_view>& fields, const char* form, Record* record) {
    record->fieldCount = 0;
    int triple = 0;
    for (size_t i = 0; form[i] != '\0'; ++i) {
        char kind = form[i];
        if (kind == 'F') {
            record->face.assign(fields[i]);
            continue;
        }
        Range range = rangeOf(kind);
        int64_t value = 0;
        if (!parseInteger(fields[i], &value)) {
            return fieldName(i, record->letter) + " is " + quoted(fields[i]) + "; expected " + range.expected;
        }
        if (value < range.low || value > range.high) {
            return fieldName(i, record->letter) + " is " + std::string(fields[i]) + "; expected " + range.expected;
        }
        record->fields[record->fieldCount++] = value;
        // Three colour values in a row are a colour or no colour, never a mix.
        triple = kind == 'T' ? triple + 1 : 0;
        if (triple == 3) {
            triple = 0;
            const int64_t* values = &record->fields[record->fieldCount - 3];
            bool none = values[0] == -1 && values[1] == -1 && values[2] == -1;
            bool colour = values[0] >= 0 && values[1] >= 0 && values[2] >= 0;
            if (!none && !colour) {
                return "fields " + std::to_string(i - 1) + " to " + std::to_string(i + 1) + " of " +
                       recordName(record->letter) + " are " + std::to_string(values[0]) + "," +
                       std::to_string(values[1]) + "," + std::to_string(values[2]) +
                       "; expected a colour (three values from 0 to 255) or -1,-1,-1";
            }
        }
    }
    return {};
}

std::string expectedCount(const RecordForm& form) {
    size_t count = std::strlen(form.fields);
    if (count == 0) return "none";
    std::string text = std::to_string(count);
    if (form.alternative != nullptr) text += " or " + std::to_string(std::strlen(form.alternative));
    return text;
}

}  // namespace

RecordReader::RecordReader(RecordSink& sink, bool lenient) : sink_(sink), lenient_(lenient) {
    text_.reserve(kRecordTextMax + 1);
}

void RecordReader::feed(const char* data, size_t size) {
    // The bytes up to the first line past the limit are read; that line
    // ends the reading.
    size_t allowed = size;
    for (size_t at = 0; at < size;) {
        const void* newline = std::memchr(data + at, '\n', size - at);
        size_t end = newline == nullptr ? size : static_cast<size_t>(static_cast<const char*>(newline) - data);
        if (end - at > maxLineBytes_ - lineBytes_) {
            allowed = at + static_cast<size_t>(maxLineBytes_ - lineBytes_);
            break;
        }
        lineBytes_ = newline == nullptr ? lineBytes_ + (end - at) : 0;
        at = end + 1;
    }
    feedLines(data, allowed);
    if (allowed < size && !stopped_) {
        limitMessage_ = "line " + std::to_string(line_) + ": longer than the line limit of " + std::to_string(maxLineBytes_) +
                        " bytes (--max-line-bytes raises it)";
        stopped_ = true;
    }
}

void RecordReader::feedLines(const char* data, size_t size) {
    size_t i = 0;
    while (i < size && !stopped_) {
        switch (mode_) {
        case Mode::LineStart:
            startLine(data[i++]);
            break;
        case Mode::Buffered:
            i += bufferBytes(data + i, size - i);
            break;
        case Mode::UnitHead:
            if (data[i] == ',') {
                mode_ = Mode::UnitField;
                token_.clear();
                unitFields_ = 0;
                unitBatchSize_ = 0;
                ++i;
            } else if (resync_) {
                mode_ = Mode::Skip;
            } else {
                malformed(line_, std::string("expected a comma after the record letter '") + record_.letter + "'", false);
            }
            break;
        case Mode::UnitField:
            unitByte(data[i++]);
            break;
        case Mode::Skip: {
            const void* newline = std::memchr(data + i, '\n', size - i);
            if (newline == nullptr) return;
            i = static_cast<size_t>(static_cast<const char*>(newline) - data) + 1;
            ++line_;
            mode_ = Mode::LineStart;
            break;
        }
        }
    }
}

void RecordReader::startLine(char c) {
    if (pointsPending_) {
        if (startsNumber(c)) {
            malformed(record_.line, recordName(record_.letter) + " gives " + counted(record_.count(), "point") +
                                        " but lists more", false);
            return;
        }
        endPendingPoints();
    }
    if (expect_ == Expect::PointLine && isLower(c)) {
        malformed(record_.line, recordName(record_.letter) + " gives " + counted(record_.count(), "point") +
                                    " but lists " + std::to_string(record_.count() - pointsLeft_), true);
        if (stopped_) return;
    }
    if (expect_ == Expect::Record && (c == 'u' || c == 'b')) {
        record_ = Record{};
        record_.letter = c;
        record_.line = line_;
        mode_ = Mode::UnitHead;
        return;
    }
    mode_ = Mode::Buffered;
    text_.clear();
    overflow_ = false;
    bufferBytes(&c, 1);
}

size_t RecordReader::bufferBytes(const char* data, size_t size) {
    const void* newline = std::memchr(data, '\n', size);
    size_t length = newline == nullptr ? size : static_cast<size_t>(static_cast<const char*>(newline) - data);
    size_t room = kRecordTextMax - text_.size();
    if (length > room) overflow_ = true;
    text_.append(data, std::min(length, room));
    if (newline == nullptr) return size;
    endLine();
    return length + 1;
}

void RecordReader::endLine() {
    mode_ = Mode::LineStart;
    switch (expect_) {
    case Expect::Record: recordLine(); break;
    case Expect::PointLine: pointLine(); break;
    case Expect::ElementName:
    case Expect::ElementType: elementLine(); break;
    }
    ++line_;
}

void RecordReader::recordLine() {
    bool looksLikeRecord = text_.size() >= 2 && isLower(text_[0]) && text_[1] == ',';
    if (resync_ && !looksLikeRecord) return;  // still inside the malformed record
    if (overflow_) {
        malformed(line_, "a line longer than " + std::to_string(kRecordTextMax) +
                             " characters; the driver cuts a record there and writes no newline after it", true);
        return;
    }
    if (text_.empty()) {
        malformed(line_, "an empty line; expected a record", true);
        return;
    }
    const RecordForm* form = formOf(text_[0]);
    if (form == nullptr) {
        malformed(line_, quoted(text_) + " does not start with a record letter; expected one of " + kLetters, true);
        return;
    }
    if (text_.size() < 2 || text_[1] != ',') {
        malformed(line_, std::string("expected a comma after the record letter '") + text_[0] + "'", true);
        return;
    }
    resync_ = false;
    record_ = Record{};
    record_.letter = text_[0];
    record_.line = line_;
    std::vector<std::string_view> fields = splitFields(std::string_view(text_).substr(2));
    const char* fieldForm = nullptr;
    if (fields.size() == std::strlen(form->fields)) fieldForm = form->fields;
    if (form->alternative != nullptr && fields.size() == std::strlen(form->alternative)) fieldForm = form->alternative;
    if (fieldForm == nullptr) {
        malformed(line_, recordName(record_.letter) + " has " + std::to_string(fields.size()) +
                             (fields.size() == 1 ? " field" : " fields") + "; expected " + expectedCount(*form), true);
        return;
    }
    std::string fault = takeFields(fields, fieldForm, &record_);
    if (!fault.empty()) {
        malformed(line_, fault, true);
        return;
    }
    if (record_.letter == 'm') {
        expect_ = Expect::ElementName;
        elementLength_ = text_.size() + 1;
        return;
    }
    beginRecord();
    if (record_.letter == 'l' || record_.letter == 'p') {
        pointsLeft_ = record_.count();
        if (pointsLeft_ == 0) {
            pointsPending_ = true;
        } else {
            expect_ = Expect::PointLine;
        }
        return;
    }
    endRecord();
}

void RecordReader::pointLine() {
    std::string owner = "the point line of " + recordName(record_.letter) + " of line " + std::to_string(record_.line);
    if (overflow_) {
        malformed(line_, owner + " is longer than " + std::to_string(kRecordTextMax) + " characters", true);
        return;
    }
    std::vector<std::string_view> fields = splitFields(text_);
    if (fields.empty() || fields.size() % 2 != 0 || fields.size() > 8) {
        malformed(line_, owner + " holds " + std::to_string(fields.size()) +
                             " numbers; expected one to four x,y pairs", true);
        return;
    }
    RecordPoint batch[4];
    for (size_t i = 0; i < fields.size(); ++i) {
        int64_t value = 0;
        if (!parseInteger(fields[i], &value) || value < INT32_MIN || value > INT32_MAX) {
            malformed(line_, "number " + std::to_string(i + 1) + " of " + owner + " is " + quoted(fields[i]) +
                                 "; expected a decimal integer from -2147483648 to 2147483647", true);
            return;
        }
        int32_t coordinate = static_cast<int32_t>(value);
        if (i % 2 == 0) {
            batch[i / 2].x = coordinate;
        } else {
            batch[i / 2].y = coordinate;
        }
    }
    uint64_t listed = fields.size() / 2;
    uint64_t expected = std::min<uint64_t>(4, pointsLeft_);
    if (listed != expected) {
        malformed(line_, recordName(record_.letter) + " of line " + std::to_string(record_.line) + " gives " +
                             counted(record_.count(), "point") + "; expected " + std::to_string(expected) +
                             " on this line, found " + std::to_string(listed),
                  true);
        return;
    }
    sink_.points(batch, listed);
    pointsLeft_ -= listed;
    if (pointsLeft_ == 0) {
        expect_ = Expect::Record;
        pointsPending_ = true;
    }
}

void RecordReader::elementLine() {
    elementLength_ += text_.size() + 1;
    if (overflow_ || elementLength_ > kRecordTextMax) {
        expect_ = Expect::Record;
        malformed(record_.line, recordName('m') + " is longer than " + std::to_string(kRecordTextMax) +
                                    " characters; the driver cuts a record there and writes no newline after it",
                  true);
        return;
    }
    if (expect_ == Expect::ElementName) {
        record_.elementName = text_;
        expect_ = Expect::ElementType;
        return;
    }
    record_.elementType = text_;
    expect_ = Expect::Record;
    beginRecord();
    endRecord();
}

void RecordReader::unitByte(char c) {
    if (c != ',' && c != '\n') {
        // The longest valid field has 11 characters; a longer one is kept
        // long enough to be reported.
        if (token_.size() < 12) token_ += c;
        return;
    }
    if (!unitToken()) {
        if (c == '\n') {
            ++line_;
            mode_ = Mode::LineStart;
        }
        return;
    }
    token_.clear();
    if (c == '\n') unitLineEnd();
}

bool RecordReader::unitToken() {
    uint64_t index = unitFields_++;
    uint64_t count = record_.count();
    int64_t value = 0;
    bool integer = parseInteger(token_, &value);
    std::string shown = token_.size() > 11 ? quoted(token_.substr(0, 11)) + "..." : quoted(token_);
    if (index == 0) {
        if (!integer || value < 0 || value > 4294967295LL) {
            malformed(line_, fieldName(0, record_.letter) + " is " + shown + "; expected the unit count from 0 to 4294967295", false);
            return false;
        }
        record_.fields[0] = value;
        record_.fieldCount = 1;
        resync_ = false;
        beginRecord();
        return true;
    }
    if (index <= count) {
        if (!integer || value < 0 || value > 65535) {
            malformed(line_, fieldName(index, record_.letter) + " is " + shown + "; expected a code unit from 0 to 65535", false);
            return false;
        }
        unitBatch_[unitBatchSize_++] = static_cast<uint16_t>(value);
        if (unitBatchSize_ == unitBatch_.size()) flushUnits();
        return true;
    }
    if (record_.letter == 'b' && index == count + 1) {
        if (!integer || value < INT32_MIN || value > INT32_MAX) {
            malformed(line_, fieldName(index, 'b') + " is " + shown + "; expected the run width, a decimal integer", false);
            return false;
        }
        record_.hasWidth = true;
        record_.width = static_cast<int32_t>(value);
        return true;
    }
    malformed(line_, recordName(record_.letter) + " gives " + counted(count, "unit") + " but lists more", false);
    return false;
}

void RecordReader::unitLineEnd() {
    uint64_t listed = unitFields_ - 1 - (record_.hasWidth ? 1 : 0);
    ++line_;
    mode_ = Mode::LineStart;
    if (listed < record_.count()) {
        malformed(line_ - 1, recordName(record_.letter) + " gives " + counted(record_.count(), "unit") +
                                 " but lists " + std::to_string(listed), true);
        return;
    }
    flushUnits();
    endRecord();
}

void RecordReader::flushUnits() {
    if (unitBatchSize_ > 0) sink_.units(unitBatch_.data(), unitBatchSize_);
    unitBatchSize_ = 0;
}

void RecordReader::beginRecord() {
    begun_ = true;
    sink_.begin(record_);
}

void RecordReader::endRecord() {
    begun_ = false;
    sink_.end(record_);
}

void RecordReader::endPendingPoints() {
    pointsPending_ = false;
    endRecord();
}

void RecordReader::malformed(uint64_t line, std::string message, bool lineDone) {
    if (begun_) {
        begun_ = false;
        sink_.abandon();
    }
    pointsPending_ = false;
    expect_ = Expect::Record;
    ++malformedCount_;
    if (onMalformed) onMalformed(Malformation{line, std::move(message)});
    if (!lenient_) {
        stopped_ = true;
        return;
    }
    resync_ = true;
    if (!lineDone) mode_ = Mode::Skip;
}

void RecordReader::finish() {
    if (stopped_) return;
    switch (mode_) {
    case Mode::Skip:
        return;
    case Mode::Buffered:
        if (expect_ == Expect::Record && resync_ && !(text_.size() >= 2 && isLower(text_[0]) && text_[1] == ',')) return;
        malformed(line_, "the stream ends inside a line; expected a newline at the end of every record", true);
        return;
    case Mode::UnitHead:
    case Mode::UnitField:
        malformed(line_, "the stream ends inside " + recordName(record_.letter) +
                             "; expected a newline at the end of every record", true);
        return;
    case Mode::LineStart:
        break;
    }
    if (pointsPending_) endPendingPoints();
    if (expect_ == Expect::PointLine) {
        malformed(record_.line, recordName(record_.letter) + " gives " + counted(record_.count(), "point") +
                                    " but the stream ends after " +
                                    std::to_string(record_.count() - pointsLeft_),
                  true);
    } else if (expect_ != Expect::Record) {
        malformed(record_.line, "the stream ends inside " + recordName('m') + "; expected its two text lines", true);
    }
}

bool readRecords(std::istream& in, RecordReader& reader) {
    std::vector<char> buffer(64 * 1024);
    while (!reader.stopped()) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        std::streamsize got = in.gcount();
        if (got > 0) reader.feed(buffer.data(), static_cast<size_t>(got));
        if (!in) break;
    }
    if (in.bad()) return false;
    reader.finish();
    return true;
}

}  // namespace javtool
