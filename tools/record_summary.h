// SPDX-License-Identifier: MIT
// What a record stream holds: its records counted by letter and the extent
// of the picture they draw.
#ifndef JAVTRG_TOOLS_RECORD_SUMMARY_H
#define JAVTRG_TOOLS_RECORD_SUMMARY_H

#include <array>
#include <cstdint>
#include <string>

#include "tools/record_reader.h"

namespace javtool {

// The smallest rectangle holding every shape, text box and element of the
// stream, in pixels (right and bottom exclusive).
struct RecordExtent {
    bool empty = true;
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = 0;
    int64_t bottom = 0;

    void addPoint(int64_t x, int64_t y);
    // A rectangle given by a corner and a size; a negative size extends
    // to the left or upwards.
    void addBox(int64_t left, int64_t top, int64_t width, int64_t height);
};

class RecordSummary : public RecordSink {
public:
    void begin(const Record& record) override;
    void points(const RecordPoint* points, size_t count) override;
    void end(const Record& record) override;
    void abandon() override;

    uint64_t total() const { return total_; }
    uint64_t count(char letter) const;
    const RecordExtent& extent() const { return extent_; }
    // "90 records (a 5, c 2, ...); extent 0,0 to 384,288"
    std::string describe() const;

private:
    std::array<uint64_t, 26> counts_{};
    uint64_t total_ = 0;
    RecordExtent extent_;
    RecordExtent saved_;  // the extent before a record that may be abandoned
};

}  // namespace javtool

#endif
