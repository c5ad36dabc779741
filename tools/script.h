// SPDX-License-Identifier: MIT
// Object scripts: a JSON description of a target, a host session and the
// drawing objects handed to the driver in order.
#ifndef JAVTRG_SCRIPT_H
#define JAVTRG_SCRIPT_H

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <javtrg/host_services.h>
#include "host/reference_host.h"

namespace javtool {

using json = nlohmann::json;

// A malformed script: where in it, and what was wrong there.
struct ScriptError : std::runtime_error {
    // `what` names what was expected at `where`.
    ScriptError(const std::string& where, const std::string& what)
        : std::runtime_error(where + ": expected " + what), place(where), message("expected " + what) {}
    // A field that does not belong where it stands.
    static ScriptError unknownField(const std::string& where, const std::string& known) {
        ScriptError e(where, known);
        e.message = "unknown field (" + known + ")";
        return e;
    }
    std::string place;
    std::string message;
};

// Something a script says that converts but is probably not meant: where,
// and what.
struct ScriptWarning {
    std::string place;
    std::string message;
};

// What the session of a script says; read before any object is built.
struct ScriptSession {
    int32_t currentEncoding = kEncodingWestern;
    int32_t fontEncoding = 0;
    bool bigEndianText = false;
    bool hasTransform = false;
    HostTransform transform{};
    bool hasSearch = false;
    std::vector<std::string> searchTerms;  // in termEncoding, each ended by zero bytes
    std::vector<bool> searchTermPresent;
    int32_t termEncoding = 0;
    bool hasOptions = false;
    std::string searchOptions;
    int32_t caseSensitive = 0;
    int32_t wholeWordRequested = 0;
    // The keys of the script's pictures by name, known before any object is
    // read so that fills (also those inside pictures) can name them.
    std::map<std::string, uint64_t> pictureKeys;
};

// The largest picture size in inches a script may give.
inline constexpr double kMaxScriptSize = 1e6;

// Builds one object in the host, ready to hand to the driver.
using ObjectBuilder = std::function<HostObject*(refhost::ReferenceHost&)>;

// An object of `kind` whose payload is a copy of `body`.
template <typename Body>
HostObject* newBodyObject(refhost::ReferenceHost& host, int32_t kind, const Body& body) {
    HostObject* object = host.newObject(kind, sizeof(Body));
    std::memcpy(host.payload(object), &body, sizeof(Body));
    return object;
}

// A builder of such an object, the body kept by value.
template <typename Body>
ObjectBuilder bodyBuilder(int32_t kind, const Body& body) {
    return [kind, body](refhost::ReferenceHost& host) { return newBodyObject(host, kind, body); };
}

// Reads the fields of one JSON object, remembering which were used so that
// a field nobody asked for is reported.
class FieldReader {
public:
    FieldReader(const json& object, std::string path, const ScriptSession& session);

    const std::string& path() const { return path_; }
    const ScriptSession& session() const { return session_; }
    bool has(const char* name) const;
    const json* raw(const char* name);  // marks the field used; nullptr when absent

    int32_t i32(const char* name, int32_t fallback = 0);
    uint32_t u32(const char* name, uint32_t fallback = 0);
    int64_t i64(const char* name, int64_t fallback = 0);
    uint64_t u64(const char* name, uint64_t fallback = 0);
    uint8_t u8(const char* name, uint8_t fallback = 0);
    double f64(const char* name, double fallback = 0.0);
    // A picture size in inches, from 0 to kMaxScriptSize.
    double size(const char* name, double fallback = 0.0);
    // "#RRGGBB" or an integer colour entry.
    uint32_t colour(const char* name, uint32_t fallback = 0);
    // A fixed-size zero-terminated text field; longer texts are an error.
    void text(const char* name, char* out, size_t size);
    // An array of exactly `count` (or at most `count` when !exact) integers.
    std::vector<int64_t> ints(const char* name, size_t count, bool exact, int64_t lo, int64_t hi);
    // A nested JSON object, or nullptr when absent.
    const json* object(const char* name);
    // Reports any field that was not read.
    void finish();

    [[noreturn]] void fail(const std::string& field, const std::string& expected) const;
    std::string place(const std::string& field) const { return path_ + "." + field; }

private:
    int64_t integer(const char* name, int64_t lo, int64_t hi, int64_t fallback, const char* type);
    const json& object_;
    std::string path_;
    const ScriptSession& session_;
    std::set<std::string> used_;
};

// Number/name of a kind, and how to read its named fields.
struct KindEntry {
    const char* name;
    int32_t code;
    ObjectBuilder (*parse)(FieldReader& fields);  // nullptr: no named fields
    // Whether the body holds a reference (a pointer the driver or the host
    // follows). Such a body is built from named fields only: raw `payload`
    // bytes are refused for it, so that no script can forge a pointer.
    bool bodyHasReference = true;
};

// Kinds of each area, registered by name.
const std::vector<KindEntry>& graphicsKinds();
const std::vector<KindEntry>& textKinds();

// The kind's name, or nullptr for a code the tool has no name for.
const char* kindName(int32_t code);
// Whether a handler of the driver knows the code (the named kinds, and the
// group markers the driver answers without drawing).
bool kindKnown(int32_t code);

// Parses one object description (also used for nested objects).
ObjectBuilder parseObject(const json& value, const std::string& path, const ScriptSession& session);

// Hex text of raw bytes ("0a ff 10", spaces allowed).
std::string parseHex(const std::string& text, const std::string& place);

// Text of a text field: {"text": "...", "encoding": N} or raw {"hex": "..."}.
// Encodes UTF-8 text into the encoding; an error names what cannot be held.
std::string encodeScriptText(const std::string& utf8, int32_t encoding, bool bigEndianUnits, const std::string& place);

// "image" of a Raster or a raster picture: its size and RGBA pixel bytes.
std::string readRasterImage(FieldReader& outer, const json& value, uint32_t* width, uint32_t* height);

struct Script {
    TargetParams params{};
    bool hasTargetInfo = false;
    TargetInfo info{};
    ScriptSession session;
    std::vector<ObjectBuilder> objects;
    std::vector<ScriptWarning> warnings;
    // The pictures fills can name, by key (script_pictures.cpp).
    std::vector<std::pair<uint64_t, refhost::HostPicture>> pictures;
};

// Reads the top-level "pictures" table into the script.
void readPictures(const json& value, Script* script);
// A fill's "pictureRef": the name of one of the script's pictures, as its key.
uint64_t readPictureRef(FieldReader& f, const char* name);

// How much one script may ask for: objects in the objects array of the
// script or of one picture, and points in the "points" of one object. A
// script past either is refused before its document is built.
struct ScriptLimits {
    uint64_t objects = 4'000'000;
    uint64_t points = 10'000'000;
};

// Reads and checks a whole script; throws ScriptError. The text is
// released once the document is built from it.
Script readScript(std::string text, const ScriptLimits& limits = {});

}  // namespace javtool

#endif
