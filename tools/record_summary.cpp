// SPDX-License-Identifier: MIT
#include "tools/record_summary.h"

namespace javtool {

void RecordExtent::addPoint(int64_t x, int64_t y) { addBox(x, y, 0, 0); }

void RecordExtent::addBox(int64_t boxLeft, int64_t boxTop, int64_t width, int64_t height) {
    int64_t x0 = width < 0 ? boxLeft + width : boxLeft;
    int64_t y0 = height < 0 ? boxTop + height : boxTop;
    int64_t x1 = width < 0 ? boxLeft : boxLeft + width;
    int64_t y1 = height < 0 ? boxTop : boxTop + height;
    if (empty) {
        *this = RecordExtent{false, x0, y0, x1, y1};
        return;
    }
    if (x0 < left) left = x0;
    if (y0 < top) top = y0;
    if (x1 > right) right = x1;
    if (y1 > bottom) bottom = y1;
}

void RecordSummary::begin(const Record& record) {
    (void)record;
    saved_ = extent_;
}

void RecordSummary::points(const RecordPoint* points, size_t count) {
    for (size_t i = 0; i < count; ++i) extent_.addPoint(points[i].x, points[i].y);
}

void RecordSummary::end(const Record& record) {
    ++total_;
    ++counts_[static_cast<size_t>(record.letter - 'a')];
    switch (record.letter) {
    case 'd': case 'k': case 'm': case 'o': case 'r': case 's':
        extent_.addBox(record.fields[0], record.fields[1], record.fields[2], record.fields[3]);
        break;
    default:
        break;
    }
}

void RecordSummary::abandon() { extent_ = saved_; }

uint64_t RecordSummary::count(char letter) const {
    return letter >= 'a' && letter <= 'z' ? counts_[static_cast<size_t>(letter - 'a')] : 0;
}

std::string RecordSummary::describe() const {
    std::string text = std::to_string(total_) + (total_ == 1 ? " record" : " records");
    std::string letters;
    for (size_t i = 0; i < counts_.size(); ++i) {
        if (counts_[i] == 0) continue;
        letters += (letters.empty() ? "" : ", ") + std::string(1, static_cast<char>('a' + i)) + " " +
                   std::to_string(counts_[i]);
    }
    if (!letters.empty()) text += " (" + letters + ")";
    if (extent_.empty) return text + "; nothing drawn";
    return text + "; extent " + std::to_string(extent_.left) + "," + std::to_string(extent_.top) + " to " +
           std::to_string(extent_.right) + "," + std::to_string(extent_.bottom);
}

}  // namespace javtool
