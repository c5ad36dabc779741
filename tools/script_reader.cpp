// SPDX-License-Identifier: MIT
// Reading object scripts: the target, the session and the objects.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>

#include "tools/script.h"
#include "tools/script_place.h"
#include "tools/script_prescan.h"

namespace javtool {

namespace {

const char* typeName(const json& value) {
    switch (value.type()) {
        case json::value_t::null: return "null";
        case json::value_t::boolean: return "a boolean";
        case json::value_t::string: return "a string";
        case json::value_t::array: return "an array";
        case json::value_t::object: return "an object";
        case json::value_t::number_float: return "a fraction";
        default: return "a number";
    }
}

// A double as its shortest text that reads back the same.
std::string numberText(double value) {
    char text[32];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

// What a number that is not the integer asked for is: "2.5, a fraction",
// "1.8e+23, a number beyond that range".
std::string describedNumber(const json& value) {
    if (!value.is_number_float()) return value.dump() + ", a number beyond that range";
    double d = value.get<double>();
    if (std::trunc(d) != d) return numberText(d) + ", a fraction";
    if (std::fabs(d) > 9.2e18) return numberText(d) + ", a number beyond that range";
    return numberText(d) + ", an integer written with a fraction or an exponent";
}

// The value of a hexadecimal digit, -1 for any other character.
int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Every kind of the host but the group markers, by name, with how to read
// its fields; `match` picks the entry.
template <typename Match>
const KindEntry* findKind(Match match) {
    for (const auto* list : {&graphicsKinds(), &textKinds()}) {
        for (const KindEntry& entry : *list) {
            if (match(entry)) return &entry;
        }
    }
    return nullptr;
}

const KindEntry* findParser(int32_t code) {
    return findKind([code](const KindEntry& entry) { return entry.code == code; });
}

int32_t kindCode(const json& kind, const std::string& place) {
    if (kind.is_string()) {
        std::string name = kind.get<std::string>();
        if (const KindEntry* entry = findKind([&name](const KindEntry& e) { return name == e.name; }))
            return entry->code;
        throw ScriptError(place, "a kind name such as \"Rectangle\" or a kind code, not " + shown(name));
    }
    if (kind.is_number_integer()) {
        int64_t code = kind.get<int64_t>();
        if (code < std::numeric_limits<int32_t>::min() || code > std::numeric_limits<int32_t>::max())
            throw ScriptError(place, "a kind code within the signed 32-bit range");
        return static_cast<int32_t>(code);
    }
    throw ScriptError(place, std::string("a kind name or code, not ") + typeName(kind));
}

// An object given as raw payload bytes.
ObjectBuilder rawObject(int32_t code, std::string bytes) {
    return [code, bytes](refhost::ReferenceHost& host) {
        HostObject* object = host.newObject(code, bytes.size());
        std::memcpy(host.payload(object), bytes.data(), bytes.size());
        return object;
    };
}

void readTarget(const json& value, Script* script) {
    FieldReader f(value, "target", script->session);
    TargetParams& p = script->params;
    p.sizeX = f.size("sizeX", 1.0);
    p.sizeY = f.size("sizeY", 1.0);
    p.altSizeX = f.size("altSizeX");
    p.altSizeY = f.size("altSizeY");
    if (f.has("sourceFrame")) {
        std::vector<int64_t> frame = f.ints("sourceFrame", 4, true, INT32_MIN, INT32_MAX);
        for (size_t i = 0; i < 4; ++i) p.sourceFrame[i] = static_cast<int32_t>(frame[i]);
    } else {
        p.sourceFrame[2] = 96;
        p.sourceFrame[3] = 96;
    }
    p.colourMode = f.i32("colourMode", kColourModeDirect);
    p.bigEndianText = f.i32("bigEndianText");
    script->session.bigEndianText = p.bigEndianText != 0;
    if (const json* info = f.object("targetInfo")) {
        FieldReader g(*info, f.place("targetInfo"), script->session);
        TargetInfo& t = script->info;
        t.infoExtentX = g.f64("infoExtentX");
        t.infoExtentY = g.f64("infoExtentY");
        t.pixelWidth = g.i32("pixelWidth");
        t.pixelHeight = g.i32("pixelHeight");
        t.dpiX = g.i32("dpiX");
        t.dpiY = g.i32("dpiY");
        g.finish();
        script->hasTargetInfo = true;
    }
    f.finish();
}

// A search term: a string (UTF-8, encoded into the term encoding), an
// object {"hex": "..."} with its bytes, or null for an absent term. The term
// ends at its first zero byte, or zero unit in 16-bit text: the bytes are
// followed by zeros up to an even length and a zero unit.
std::string readSearchTerm(const json& term, const std::string& place, int32_t encoding, const ScriptSession& s) {
    std::string bytes;
    if (term.is_null()) return bytes;
    if (term.is_string()) {
        bytes = encodeScriptText(term.get<std::string>(), encoding, s.bigEndianText, place);
    } else if (term.is_object()) {
        FieldReader f(term, place, s);
        const json* hex = f.raw("hex");
        f.finish();
        if (hex == nullptr || !hex->is_string()) f.fail("hex", "the term's bytes in hexadecimal");
        bytes = parseHex(hex->get<std::string>(), f.place("hex"));
    } else {
        throw ScriptError(place, "a string, {\"hex\": \"...\"} or null");
    }
    bytes.append(bytes.size() % 2 + 2, '\0');
    return bytes;
}

void readSession(const json& value, Script* script) {
    ScriptSession& s = script->session;
    FieldReader f(value, "session", s);
    s.currentEncoding = f.i32("currentEncoding", kEncodingWestern);
    s.fontEncoding = f.i32("fontEncoding");
    if (const json* t = f.object("transform")) {
        FieldReader g(*t, f.place("transform"), s);
        s.hasTransform = true;
        s.transform.active = g.i32("active", 1);
        s.transform.scale1 = g.f64("scale1", 1.0);
        s.transform.scale2 = g.f64("scale2", 1.0);
        // The reference host's transforms translate points by these offsets,
        // kept in the host's own bytes 0 to 7 of the transform.
        const int32_t offset[2] = {g.i32("translateX"), g.i32("translateY")};
        std::memcpy(s.transform.hostOwn, offset, sizeof offset);
        g.finish();
    }
    if (const json* search = f.object("search")) {
        FieldReader g(*search, f.place("search"), s);
        s.hasSearch = true;
        s.termEncoding = g.i32("termEncoding");
        s.caseSensitive = g.i32("caseSensitive");
        s.wholeWordRequested = g.i32("wholeWordRequested");
        if (const json* options = g.raw("searchOptions")) {
            if (!options->is_string()) g.fail("searchOptions", "a string");
            s.hasOptions = true;
            s.searchOptions = options->get<std::string>();
        }
        if (const json* terms = g.raw("searchTerms")) {
            if (!terms->is_array()) g.fail("searchTerms", "an array of terms (null for an absent term)");
            int32_t encoding = s.termEncoding == 0 ? kEncodingWestern : s.termEncoding;
            for (size_t i = 0; i < terms->size(); ++i) {
                std::string place = g.place("searchTerms") + "[" + std::to_string(i) + "]";
                s.searchTermPresent.push_back(!(*terms)[i].is_null());
                s.searchTerms.push_back(readSearchTerm((*terms)[i], place, encoding, s));
            }
        }
        g.finish();
    }
    f.finish();
}

// Builds the document of a script the prescan has passed, in one pass and
// in time linear in its size. Each element of the top-level "objects" is
// handed to `onObject` as soon as it is read and then dropped, so that a
// long picture is never held as a document whole. It holds every [x, y] pair of a "points" list
// whose coordinates are signed 32-bit integers held as one packed integer
// (x in the high half): a sixth of the memory of a two-element array.
// readPoints unpacks them. A number written directly in a points list,
// which no packed pair could be told from, becomes null and is refused as
// before.
class DocumentBuilder {
public:
    using ObjectHandler = std::function<void(const json& object, size_t index)>;
    DocumentBuilder(json* root, ObjectHandler onObject) : root_(root), onObject_(std::move(onObject)) {}

    bool null() { return add(nullptr); }
    bool boolean(bool v) { return add(v); }
    bool number_integer(int64_t v) { return inPoints() ? add(nullptr) : add(v); }
    bool number_unsigned(uint64_t v) { return inPoints() ? add(nullptr) : add(v); }
    bool number_float(double v, const std::string&) { return add(v); }
    bool string(std::string& v) { return add(std::move(v)); }
    bool binary(json::binary_t& v) { return add(json::binary(std::move(v))); }
    bool key(std::string& name) {
        member_ = &(*open_.back().value)[name];
        key_ = std::move(name);
        return true;
    }
    bool start_object(size_t) { return open(json::object(), false); }
    bool start_array(size_t) {
        bool points = !open_.empty() && open_.back().value->is_object() && key_ == "points";
        bool objects = open_.size() == 1 && open_.back().value->is_object() && key_ == "objects";
        if (objects) handed_ = 0;
        return open(json::array(), points, objects);
    }
    bool end_object() {
        open_.pop_back();
        return handOver();
    }
    bool end_array() {
        json& array = *open_.back().value;
        open_.pop_back();
        if (inPoints() && array.size() == 2 && fits(array[0]) && fits(array[1]))
            array = static_cast<int64_t>((static_cast<uint64_t>(array[0].get<int64_t>()) << 32) |
                                         static_cast<uint32_t>(array[1].get<int64_t>()));
        return handOver();
    }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    struct Open {
        json* value;
        bool points;   // a "points" list
        bool objects;  // the top-level "objects"
    };
    // An element of the top-level objects that has been read whole is
    // handed over and dropped.
    bool handOver() {
        if (open_.empty() || !open_.back().objects) return true;
        auto& objects = open_.back().value->get_ref<json::array_t&>();
        onObject_(objects.back(), handed_++);
        objects.pop_back();
        return true;
    }
    bool inPoints() const { return !open_.empty() && open_.back().points; }
    static bool fits(const json& c) {
        return c.is_number_integer() && !(c.is_number_unsigned() && c.get<uint64_t>() > INT32_MAX) &&
               c.get<int64_t>() >= INT32_MIN && c.get<int64_t>() <= INT32_MAX;
    }
    // Places a value in the innermost open array or object (or at the top);
    // an open container is never moved while values are added inside it.
    json* place(json&& value) {
        if (open_.empty()) {
            *root_ = std::move(value);
            return root_;
        }
        json& parent = *open_.back().value;
        if (parent.is_array()) {
            parent.get_ref<json::array_t&>().push_back(std::move(value));
            return &parent.get_ref<json::array_t&>().back();
        }
        *member_ = std::move(value);
        return member_;
    }
    bool add(json&& value) {
        place(std::move(value));
        return handOver();
    }
    bool open(json&& value, bool points, bool objects = false) {
        open_.push_back(Open{place(std::move(value)), points, objects});
        return true;
    }

    json* root_;
    ObjectHandler onObject_;
    size_t handed_ = 0;
    json* member_ = nullptr;
    std::string key_;
    std::vector<Open> open_;
};

}  // namespace

FieldReader::FieldReader(const json& object, std::string path, const ScriptSession& session)
    : object_(object), path_(std::move(path)), session_(session) {
    if (!object_.is_object()) throw ScriptError(path_, std::string("an object, not ") + typeName(object_));
}

bool FieldReader::has(const char* name) const { return object_.contains(name); }


const json* FieldReader::raw(const char* name) {
    // Every field asked for is a known field, present or not.
    used_.insert(name);
    auto it = object_.find(name);
    if (it == object_.end()) return nullptr;
    return &*it;
}

void FieldReader::fail(const std::string& field, const std::string& expected) const {
    throw ScriptError(place(field), expected);
}

int64_t FieldReader::integer(const char* name, int64_t lo, int64_t hi, int64_t fallback, const char* type) {
    const json* v = raw(name);
    if (v == nullptr) return fallback;
    std::string expected = std::string(type) + " (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
    if (v->is_number_float()) fail(name, expected + ", not " + describedNumber(*v));
    if (!v->is_number()) fail(name, expected + std::string(", not ") + typeName(*v));
    bool inRange = v->is_number_unsigned() ? v->get<uint64_t>() <= static_cast<uint64_t>(hi)
                                           : v->get<int64_t>() >= lo && v->get<int64_t>() <= hi;
    if (!inRange) fail(name, expected + ", not " + describedNumber(*v));
    return v->get<int64_t>();
}

int32_t FieldReader::i32(const char* name, int32_t fallback) {
    return static_cast<int32_t>(integer(name, INT32_MIN, INT32_MAX, fallback, "a signed 32-bit integer"));
}

uint32_t FieldReader::u32(const char* name, uint32_t fallback) {
    return static_cast<uint32_t>(integer(name, 0, UINT32_MAX, fallback, "an unsigned 32-bit integer"));
}

int64_t FieldReader::i64(const char* name, int64_t fallback) {
    return integer(name, INT64_MIN, INT64_MAX, fallback, "a signed 64-bit integer");
}

uint64_t FieldReader::u64(const char* name, uint64_t fallback) {
    const json* v = raw(name);
    if (v == nullptr) return fallback;
    if (v->is_number_unsigned()) return v->get<uint64_t>();
    if (v->is_number_integer() && v->get<int64_t>() >= 0) return static_cast<uint64_t>(v->get<int64_t>());
    fail(name, "an unsigned 64-bit integer");
}

uint8_t FieldReader::u8(const char* name, uint8_t fallback) {
    return static_cast<uint8_t>(integer(name, 0, 255, fallback, "a byte"));
}

double FieldReader::f64(const char* name, double fallback) {
    const json* v = raw(name);
    if (v == nullptr) return fallback;
    if (!v->is_number()) fail(name, std::string("a number, not ") + typeName(*v));
    return v->get<double>();
}

double FieldReader::size(const char* name, double fallback) {
    double value = f64(name, fallback);
    if (!(value >= 0.0 && value <= kMaxScriptSize)) {
        fail(name, "a size in inches from 0 to " + std::to_string(static_cast<int64_t>(kMaxScriptSize)) + ", not " +
                       numberText(value));
    }
    return value;
}

uint32_t FieldReader::colour(const char* name, uint32_t fallback) {
    const json* v = raw(name);
    if (v == nullptr) return fallback;
    if (v->is_string()) {
        std::string s = v->get<std::string>();
        bool ok = s.size() == 7 && s[0] == '#';
        uint32_t rgb = 0;
        for (size_t i = 1; ok && i < 7; ++i) {
            char c = s[i];
            int digit = hexDigit(c);
            if (digit < 0) ok = false;
            rgb = rgb * 16 + static_cast<uint32_t>(digit < 0 ? 0 : digit);
        }
        if (!ok) fail(name, "a colour \"#RRGGBB\" or an integer colour entry");
        // The entry holds red in its lowest byte, then green, then blue.
        return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    }
    if (v->is_number_integer()) {
        int64_t i = v->get<int64_t>();
        if (i >= INT32_MIN && i <= static_cast<int64_t>(UINT32_MAX)) return static_cast<uint32_t>(i);
    }
    fail(name, "a colour \"#RRGGBB\" or an integer colour entry within 32 bits");
}

void FieldReader::text(const char* name, char* out, size_t size) {
    const json* v = raw(name);
    if (v == nullptr) return;
    if (!v->is_string()) fail(name, "a string");
    std::string s = v->get<std::string>();
    if (s.size() >= size) fail(name, "a text of at most " + std::to_string(size - 1) + " bytes");
    std::memset(out, 0, size);
    std::memcpy(out, s.data(), s.size());
}

std::vector<int64_t> FieldReader::ints(const char* name, size_t count, bool exact, int64_t lo, int64_t hi) {
    const json* v = raw(name);
    std::string expected = (exact ? "an array of " : "an array of at most ") + std::to_string(count) +
                           " integers from " + std::to_string(lo) + " to " + std::to_string(hi);
    if (v == nullptr) return {};
    if (!v->is_array() || (exact ? v->size() != count : v->size() > count)) fail(name, expected);
    std::vector<int64_t> values;
    for (const json& item : *v) {
        if (!item.is_number_integer() && !item.is_number_unsigned()) fail(name, expected);
        if (item.is_number_unsigned() && item.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) fail(name, expected);
        int64_t i = item.get<int64_t>();
        if (i < lo || i > hi) fail(name, expected);
        values.push_back(i);
    }
    return values;
}

const json* FieldReader::object(const char* name) {
    const json* v = raw(name);
    if (v == nullptr || v->is_null()) return nullptr;
    if (!v->is_object()) fail(name, std::string("an object, not ") + typeName(*v));
    return v;
}

void FieldReader::finish() {
    for (auto it = object_.begin(); it != object_.end(); ++it) {
        if (used_.count(it.key()) == 0) {
            std::string known;
            for (const std::string& name : used_) known += (known.empty() ? "" : ", ") + name;
            throw ScriptError::unknownField(memberPlace(path_, it.key()),
                                            known.empty() ? "no fields belong here" : "known here: " + known);
        }
    }
}

std::string parseHex(const std::string& text, const std::string& place) {
    std::string bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') continue;
        int digit = hexDigit(c);
        if (digit < 0) throw ScriptError(place, "hexadecimal digits, not " + shown(std::string(1, c)));
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) throw ScriptError(place, "an even number of hexadecimal digits");
    return bytes;
}

std::string encodeScriptText(const std::string& utf8, int32_t encoding, bool bigEndianUnits, const std::string& place) {
    std::string out;
    if (refhost::encodingName(encoding, bigEndianUnits) == nullptr)
        throw ScriptError(place, "an encoding code the host knows, not " + std::to_string(encoding));
    if (!refhost::encodeText(utf8, encoding, bigEndianUnits, &out))
        throw ScriptError(place, "text that encoding " + std::to_string(encoding) + " can hold");
    return out;
}

const char* kindName(int32_t code) {
    const KindEntry* entry = findParser(code);
    return entry != nullptr ? entry->name : nullptr;
}

bool kindKnown(int32_t code) {
    // The group markers are answered by the driver without a handler.
    return findParser(code) != nullptr || code == kKindGroupMarker || code == kKindEndMarker;
}

ObjectBuilder parseObject(const json& value, const std::string& path, const ScriptSession& session) {
    FieldReader f(value, path, session);
    const json* kind = f.raw("kind");
    if (kind == nullptr) f.fail("kind", "the object's kind");
    int32_t code = kindCode(*kind, f.place("kind"));
    const KindEntry* entry = findParser(code);
    if (const json* payload = f.raw("payload")) {
        // References are made by the tool from named fields only.
        if (entry != nullptr && entry->bodyHasReference)
            f.fail("payload", std::string("the named fields of a ") + entry->name +
                                  ": its body holds a reference, which raw payload bytes cannot give");
        if (!payload->is_string()) f.fail("payload", "the payload bytes in hexadecimal");
        std::string bytes = parseHex(payload->get<std::string>(), f.place("payload"));
        f.finish();
        return rawObject(code, std::move(bytes));
    }
    if (entry == nullptr || entry->parse == nullptr) {
        f.finish();
        return rawObject(code, std::string());
    }
    ObjectBuilder builder = entry->parse(f);
    f.finish();
    return builder;
}

Script readScript(std::string text, const ScriptLimits& limits) {
    Script script;
    // Syntax, depth, numbers and counts are checked before the document is
    // built; the text is let go as soon as it is.
    prescanScript(text, limits, &script.warnings);
    // The objects are read in a second pass, once the session and the
    // pictures they refer to are known.
    json root;
    DocumentBuilder builder(&root, [](const json&, size_t) {});
    if (!json::sax_parse(text, &builder)) throw ScriptError("top level", "well-formed JSON");
    if (!root.is_object()) throw ScriptError("top level", "an object with \"target\", \"session\" and \"objects\"");
    for (auto it = root.begin(); it != root.end(); ++it) {
        const std::string& key = it.key();
        if (key != "target" && key != "session" && key != "objects" && key != "pictures" && key != "comment")
            throw ScriptError::unknownField(key, "the top level holds \"target\", \"session\", \"pictures\" and \"objects\"");
    }
    // The session comes first: text fields are encoded with its settings.
    if (root.contains("target")) {
        const json& target = root["target"];
        if (target.is_object() && target.contains("bigEndianText") && target["bigEndianText"].is_number_integer())
            script.session.bigEndianText = target["bigEndianText"].get<int64_t>() != 0;
    }
    if (root.contains("session")) readSession(root["session"], &script);
    if (root.contains("target")) readTarget(root["target"], &script);
    else {
        script.params.sizeX = 1.0;
        script.params.sizeY = 1.0;
        script.params.sourceFrame[2] = 96;
        script.params.sourceFrame[3] = 96;
        script.params.colourMode = kColourModeDirect;
    }
    if (root.contains("pictures")) readPictures(root["pictures"], &script);
    if (root.contains("objects")) {
        if (!root["objects"].is_array()) throw ScriptError("objects", "an array of objects");
        root = json();
        json second;
        DocumentBuilder objects(&second, [&script](const json& object, size_t index) {
            // A second "objects" replaces the first: the last value counts.
            if (index == 0) script.objects.clear();
            script.objects.push_back(parseObject(object, "objects[" + std::to_string(index) + "]", script.session));
        });
        if (!json::sax_parse(text, &objects)) throw ScriptError("top level", "well-formed JSON");
    }
    return script;
}

}  // namespace javtool
