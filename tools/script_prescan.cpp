// SPDX-License-Identifier: MIT
#include "tools/script_prescan.h"

#include <cstdint>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "tools/script_place.h"

namespace javtool {

namespace {

// One open array or object.
struct Frame {
    bool array;
    size_t nextIndex;        // arrays: index of the next element
    std::string key;         // objects: the key whose value comes next
    std::set<std::string> keys;
};

// The SAX handler of nlohmann::json, walking the text with an explicit
// stack of frames.
class Prescan {
public:
    Prescan(const ScriptLimits& limits, std::vector<ScriptWarning>* warnings) : limits_(limits), warnings_(warnings) {}

    bool null() { return value(); }
    bool boolean(bool) { return value(); }
    bool number_integer(int64_t v) { return kindValue(v) && value(); }
    bool number_unsigned(uint64_t v) {
        return kindValue(v > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(v)) && value();
    }
    bool number_float(double, const std::string&) { return value(); }
    bool string(std::string&) { return value(); }
    bool binary(nlohmann::json::binary_t&) { return value(); }

    bool start_object(size_t) { return open(false); }
    bool start_array(size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(std::string& name) {
        Frame& frame = frames_.back();
        frame.key = name;
        if (!frame.keys.insert(name).second)
            warnings_->push_back({shortPlace(pendingPlace()), "duplicate key; the last value counts"});
        return true;
    }

    bool parse_error(size_t position, const std::string&, const nlohmann::detail::exception& e) {
        if (e.id == 406) {
            error_ = ScriptError(shortPlace(pendingPlace()), "a number within the range of a double");
        } else {
            // The library's text names the line, column and token (control
            // bytes escaped); it is cut so that the message stays one line.
            std::string what = e.what();
            if (what.size() > 200) what = what.substr(0, 200) + "...";
            error_ = ScriptError("byte " + std::to_string(position), "well-formed JSON (" + what + ")");
        }
        return false;
    }

    const ScriptError& error() const { return error_; }

private:
    // The place of the value that comes next.
    std::string pendingPlace() const {
        std::string place;
        for (const Frame& frame : frames_) {
            if (&frame == &frames_.back()) break;
            place = frame.array ? elementPlace(place, frame.nextIndex) : memberPlace(place, frame.key);
        }
        if (frames_.empty()) return "top level";
        const Frame& top = frames_.back();
        return top.array ? elementPlace(place, top.nextIndex) : memberPlace(place, top.key);
    }

    // A value starts in the innermost frame. The arrays of objects and of
    // points are counted against the limits as they are read, so that a
    // script past them is refused before its document is built.
    bool value() {
        if (frames_.empty() || !frames_.back().array) return true;
        Frame& array = frames_.back();
        ++array.nextIndex;
        if (frames_.size() < 2) return true;
        const std::string& key = frames_[frames_.size() - 2].key;
        bool objects = key == "objects";
        if (!objects && key != "points") return true;
        uint64_t limit = objects ? limits_.objects : limits_.points;
        if (array.nextIndex <= limit) return true;
        --array.nextIndex;
        const char* what = objects ? " objects in an array (--max-objects" : " points in an object (--max-points";
        error_ = ScriptError(shortPlace(pendingPlace()), "at most " + std::to_string(limit) + what + " raises the limit)");
        return false;
    }

    bool open(bool array) {
        if (frames_.size() >= kMaxScriptNesting) {
            error_ = ScriptError(shortPlace(pendingPlace()),
                                 "at most " + std::to_string(kMaxScriptNesting) + " levels of nested arrays and objects");
            return false;
        }
        // The frame is pushed before it counts as its parent's element, so
        // that the parent's index still names it while it is open.
        frames_.push_back(Frame{.array = array, .nextIndex = 0, .key = {}, .keys = {}});
        return true;
    }

    bool close() {
        frames_.pop_back();
        return value();
    }

    // An integer under the key "kind" of an object names a kind.
    bool kindValue(int64_t code) {
        if (frames_.empty() || frames_.back().array || frames_.back().key != "kind") return true;
        if (code < std::numeric_limits<int32_t>::min() || code > std::numeric_limits<int32_t>::max()) return true;
        if (!kindKnown(static_cast<int32_t>(code)))
            warnings_->push_back({shortPlace(pendingPlace()),
                                  "kind code " + std::to_string(code) + " is one no handler of the driver knows; "
                                  "the object is handed over all the same"});
        return true;
    }

    const ScriptLimits& limits_;
    std::vector<ScriptWarning>* warnings_;
    std::vector<Frame> frames_;
    ScriptError error_{"", ""};
};

}  // namespace

void prescanScript(const std::string& text, const ScriptLimits& limits, std::vector<ScriptWarning>* warnings) {
    // The JSON reader takes a zero byte for the end of the text, so that
    // whatever follows one would be ignored; no script holds one.
    size_t zero = text.find('\0');
    if (zero != std::string::npos) throw ScriptError("byte " + std::to_string(zero), "text without zero bytes");
    Prescan prescan(limits, warnings);
    if (!nlohmann::json::sax_parse(text, &prescan)) throw prescan.error();
}

}  // namespace javtool
