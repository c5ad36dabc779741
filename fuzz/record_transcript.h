// SPDX-License-Identifier: MIT
// What a record reader hands on, written down one line a record, for the
// reader's tests and its fuzz target: "r 1,2,3,4", "c Arial|12,4,32,32,32",
// "l 2: 1,2 3,4", "b 2: 65 66 w150", "m 1,2,3,4 name|type", and "abandoned"
// for a record the lenient reader takes back.
#ifndef JAVTRG_FUZZ_RECORD_TRANSCRIPT_H
#define JAVTRG_FUZZ_RECORD_TRANSCRIPT_H

#include <string>

#include "tools/record_reader.h"

namespace javfuzz {

class RecordTranscript : public javtool::RecordSink {
public:
    std::string text;

    void begin(const javtool::Record&) override { pieces_.assign(1, ':'); }
    void points(const javtool::RecordPoint* points, size_t count) override {
        for (size_t i = 0; i < count; ++i) {
            number(pieces_, ' ', points[i].x);
            number(pieces_, ',', points[i].y);
        }
    }
    void units(const uint16_t* units, size_t count) override {
        for (size_t i = 0; i < count; ++i) number(pieces_, ' ', units[i]);
    }
    void end(const javtool::Record& record) override {
        text += record.letter;
        if (record.letter == 'c') text.append(" ").append(record.face).append("|");
        for (uint32_t i = 0; i < record.fieldCount && i < record.fields.size(); ++i) {
            if (i == 0 && record.letter == 'c') text += std::to_string(record.fields[i]);
            else number(text, i == 0 ? ' ' : ',', record.fields[i]);
        }
        if (std::string("lpub").find(record.letter) != std::string::npos) text += pieces_;
        if (record.hasWidth) number(text, 'w', record.width, " ");
        if (record.letter == 'm') text.append(" ").append(record.elementName).append("|").append(record.elementType);
        text += "\n";
    }
    void abandon() override { text += "abandoned\n"; }

private:
    static void number(std::string& out, char before, int64_t value, const char* space = "") {
        out.append(space);
        out += before;
        out += std::to_string(value);
    }
    std::string pieces_;
};

}  // namespace javfuzz

#endif
