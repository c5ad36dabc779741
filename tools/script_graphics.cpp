// SPDX-License-Identifier: MIT
// Named fields of the graphics kinds in object scripts.
//
// Each parse function reads and checks its fields while the script is read,
// and returns a builder that makes the object in the host when the tool runs.
// Whatever an object refers to (a point list, a palette, four values, a
// nested rectangle) is attached to the object, so the host frees it with the
// object and copies it with a clone.
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>

#include "tools/object_builders.h"
#include "tools/script.h"

namespace javtool {

namespace {

constexpr size_t kMaxStops = 32;

// Reference fields, as object offsets.
constexpr int32_t kClipRectangleOffset = kHostObjectPayloadOffset + offsetof(ClipData, rectangle);
constexpr int32_t kPaletteOffset = kHostObjectPayloadOffset + offsetof(PaletteData, palette);
constexpr int32_t kTaggedValuesOffset = kHostObjectPayloadOffset + offsetof(TaggedRectData, values);

// Largest image a script may carry, in pixels (64 MiB of RGBA).
constexpr uint64_t kMaxScriptPixels = uint64_t{1} << 24;

// "points": [[x, y], ...], each coordinate a signed 32-bit integer.
// Absent gives `present` false.
std::vector<PointPair> readPoints(FieldReader& f, const char* name, bool* present) {
    std::vector<PointPair> points;
    const json* v = f.raw(name);
    *present = v != nullptr;
    if (v == nullptr) return points;
    const char* expected = "an array of [x, y] pairs of signed 32-bit integers";
    if (!v->is_array()) f.fail(name, expected);
    if (v->size() > std::numeric_limits<uint32_t>::max()) f.fail(name, "fewer points");
    points.reserve(v->size());
    for (size_t i = 0; i < v->size(); ++i) {
        const json& pair = (*v)[i];
        // A pair the reader packed into one integer, x in its high half.
        if (pair.is_number_integer()) {
            auto packed = static_cast<uint64_t>(pair.get<int64_t>());
            points.push_back(PointPair{static_cast<int32_t>(packed >> 32), static_cast<int32_t>(packed & 0xFFFFFFFFu)});
            continue;
        }
        std::string place = std::string(name) + "[" + std::to_string(i) + "]";
        if (!pair.is_array() || pair.size() != 2) f.fail(place, expected);
        int32_t xy[2];
        for (size_t k = 0; k < 2; ++k) {
            const json& c = pair[k];
            bool fits = c.is_number_integer() && !(c.is_number_unsigned() && c.get<uint64_t>() > INT32_MAX) &&
                        c.get<int64_t>() >= INT32_MIN && c.get<int64_t>() <= INT32_MAX;
            if (!fits) f.fail(place, expected);
            xy[k] = static_cast<int32_t>(c.get<int64_t>());
        }
        points.push_back(PointPair{xy[0], xy[1]});
    }
    return points;
}

// Polyline and Polygon: "points" becomes the object's point list; without
// "points" the reference stays absent.
ObjectBuilder parsePolyline(FieldReader& f) {
    bool present = false;
    std::vector<PointPair> points = readPoints(f, "points", &present);
    return polylineObject(kKindPolyline, points, present);
}

ObjectBuilder parsePolygon(FieldReader& f) {
    bool present = false;
    std::vector<PointPair> points = readPoints(f, "points", &present);
    return polygonObject(kKindPolygon, points, present);
}

// OpenCurve and ClosedCurve: "points" are the control points of the host's
// curve description (a start point, then groups of three).
ObjectBuilder parseCurve(FieldReader& f, int32_t kind) {
    bool present = false;
    std::vector<PointPair> points = readPoints(f, "points", &present);
    return curveObject(kind, std::move(points));
}

ObjectBuilder parseOpenCurve(FieldReader& f) { return parseCurve(f, kKindOpenCurve); }
ObjectBuilder parseClosedCurve(FieldReader& f) { return parseCurve(f, kKindClosedCurve); }

ObjectBuilder parseRectangle(FieldReader& f) {
    RectangleData body{};
    body.x0 = f.i32("x0");
    body.y0 = f.i32("y0");
    body.x1 = f.i32("x1");
    body.y1 = f.i32("y1");
    return bodyBuilder(kKindRectangle, body);
}

ObjectBuilder parseRoundRect(FieldReader& f) {
    RoundRectData body{};
    body.x0 = f.i32("x0");
    body.y0 = f.i32("y0");
    body.x1 = f.i32("x1");
    body.y1 = f.i32("y1");
    body.cornerX = f.i32("cornerX");
    body.cornerY = f.i32("cornerY");
    return bodyBuilder(kKindRoundRect, body);
}

ObjectBuilder parseCircle(FieldReader& f) {
    CircleData body{};
    body.cx = f.i32("cx");
    body.cy = f.i32("cy");
    body.radius = f.i32("radius");
    return bodyBuilder(kKindCircle, body);
}

ObjectBuilder parseEllipse(FieldReader& f) {
    EllipseData body{};
    body.cx = f.i32("cx");
    body.cy = f.i32("cy");
    body.ax = f.i32("ax");
    body.ay = f.i32("ay");
    body.bx = f.i32("bx");
    body.by = f.i32("by");
    return bodyBuilder(kKindEllipse, body);
}

// Clip: "mode", and "rectangle", a nested object of any kind (the driver
// expects a Rectangle), or absent.
ObjectBuilder parseClip(FieldReader& f) {
    int32_t mode = f.i32("mode");
    ObjectBuilder nested;
    if (const json* rectangle = f.object("rectangle"))
        nested = parseObject(*rectangle, f.place("rectangle"), f.session());
    return clipObject(mode, nested);
}

// TaggedRect: "tag", and "values" (right, top, left, bottom) or absent.
ObjectBuilder parseTaggedRect(FieldReader& f) {
    int32_t tag = f.i32("tag");
    bool present = f.has("values");
    std::vector<int64_t> values = f.ints("values", 4, true, INT32_MIN, INT32_MAX);
    int32_t four[4] = {};
    for (size_t i = 0; i < values.size(); ++i) four[i] = static_cast<int32_t>(values[i]);
    return [tag, present, four](refhost::ReferenceHost& host) {
        TaggedRectData body{};
        body.tag = tag;
        HostObject* object = newBodyObject(host, kKindTaggedRect, body);
        if (present) host.attachBlock(object, kTaggedValuesOffset, four, sizeof four);
        return object;
    };
}

// Palette: "colours", the host's colour table in order; absent leaves the
// reference absent.
ObjectBuilder parsePalette(FieldReader& f) {
    const json* v = f.raw("colours");
    bool present = v != nullptr;
    std::vector<uint32_t> colours;
    if (present) {
        if (!v->is_array()) f.fail("colours", "an array of colours");
        if (v->size() > static_cast<size_t>(INT32_MAX / 4)) f.fail("colours", "fewer colours");
        for (size_t i = 0; i < v->size(); ++i) {
            // Each entry is read as a one-field object named like its place,
            // so that "#RRGGBB" and integers are accepted as everywhere else.
            std::string name = "colours[" + std::to_string(i) + "]";
            json one = json::object({{name, (*v)[i]}});
            FieldReader entry(one, f.path(), f.session());
            colours.push_back(entry.colour(name.c_str()));
        }
    }
    int32_t count = static_cast<int32_t>(colours.size());
    std::string bytes(sizeof(int32_t) + colours.size() * sizeof(uint32_t), '\0');
    std::memcpy(bytes.data(), &count, sizeof count);
    if (!colours.empty()) std::memcpy(bytes.data() + sizeof(int32_t), colours.data(), colours.size() * sizeof(uint32_t));
    return [present, bytes](refhost::ReferenceHost& host) {
        HostObject* object = host.newObject(kKindPalette);
        if (present) host.attachBlock(object, kPaletteOffset, bytes.data(), bytes.size());
        return object;
    };
}

}  // namespace

// "image" of a Raster: {"width", "height", and either "pixels", the RGBA
// bytes in hexadecimal with rows from the top, or "fill", one colour for
// every pixel}. The pixels become a block the object owns.
std::string readRasterImage(FieldReader& outer, const json& value, uint32_t* width, uint32_t* height) {
    FieldReader f(value, outer.place("image"), outer.session());
    *width = f.u32("width");
    *height = f.u32("height");
    if (*width == 0 || *height == 0 || *width > refhost::kMaxRasterSide || *height > refhost::kMaxRasterSide)
        f.fail(*width == 0 || *width > refhost::kMaxRasterSide ? "width" : "height",
               "a size from 1 to " + std::to_string(refhost::kMaxRasterSide) + " pixels");
    uint64_t count = uint64_t{*width} * *height;
    if (count > kMaxScriptPixels) f.fail("height", "an image of at most " + std::to_string(kMaxScriptPixels) + " pixels");
    bool hasPixels = f.has("pixels");
    if (hasPixels == f.has("fill")) f.fail("pixels", "either \"pixels\" (RGBA bytes in hexadecimal) or \"fill\" (a colour)");
    std::string bytes;
    if (hasPixels) {
        const json* pixels = f.raw("pixels");
        if (!pixels->is_string()) f.fail("pixels", "the RGBA bytes in hexadecimal");
        bytes = parseHex(pixels->get<std::string>(), f.place("pixels"));
        if (bytes.size() != count * 4)
            f.fail("pixels", std::to_string(count * 4) + " bytes (4 a pixel), not " + std::to_string(bytes.size()));
    } else {
        // The colour entry holds red in its lowest byte; the pixel is opaque.
        uint32_t c = f.colour("fill");
        const char rgba[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                              static_cast<char>((c >> 16) & 0xFF), static_cast<char>(0xFF)};
        bytes.reserve(count * 4);
        for (uint64_t i = 0; i < count; ++i) bytes.append(rgba, 4);
    }
    f.finish();
    return bytes;
}

namespace {

// Raster: the corners "x0" to "y2" and "image"; without "image" the image
// is absent (no size, no pixels).
ObjectBuilder parseRaster(FieldReader& f) {
    refhost::RasterBody body{};
    body.corners.x0 = f.i32("x0");
    body.corners.y0 = f.i32("y0");
    body.corners.x1 = f.i32("x1");
    body.corners.y1 = f.i32("y1");
    body.corners.x2 = f.i32("x2");
    body.corners.y2 = f.i32("y2");
    std::string pixels;
    if (const json* image = f.object("image")) pixels = readRasterImage(f, *image, &body.image.width, &body.image.height);
    return rasterObject(kKindRaster, body.corners, body.image.width, body.image.height,
                        std::make_shared<const std::string>(std::move(pixels)));
}

ObjectBuilder parseLineAtt(FieldReader& f) {
    LineAttributes body{};
    body.lineValueA = f.i32("lineValueA");
    body.lineWidth = f.i32("lineWidth");
    body.lineColour = f.colour("lineColour");
    body.lineValueB = f.i32("lineValueB");
    return bodyBuilder(kKindLineAtt, body);
}

// "gradient": the GradientDef. "stops" is an array of {"colour", "position"};
// "stopCount" defaults to the number of stops given and may be smaller (0 or
// negative included), never larger: a count is never longer than its data.
void readGradient(FieldReader& outer, const json& value, GradientDef* g) {
    FieldReader f(value, outer.place("gradient"), outer.session());
    g->gradientKind = f.i32("gradientKind");
    const json* stops = f.raw("stops");
    size_t given = 0;
    if (stops != nullptr) {
        if (!stops->is_array() || stops->size() > kMaxStops)
            f.fail("stops", "an array of at most 32 stops {\"colour\": ..., \"position\": ...}");
        given = stops->size();
        for (size_t i = 0; i < given; ++i) {
            FieldReader stop((*stops)[i], f.place("stops") + "[" + std::to_string(i) + "]", f.session());
            g->stopColours[i] = stop.colour("colour");
            g->stopPositions[i] = stop.i32("position");
            stop.finish();
        }
    }
    g->stopCount = f.i32("stopCount", static_cast<int32_t>(given));
    if (g->stopCount > static_cast<int32_t>(given))
        f.fail("stopCount", "at most the " + std::to_string(given) + " stops given");
    g->centreXPercent = f.i32("centreXPercent");
    g->centreYPercent = f.i32("centreYPercent");
    g->aspectX = f.i32("aspectX");
    g->aspectY = f.i32("aspectY");
    g->angle = f.i32("angle");
    g->stepCount = f.i32("stepCount");
    f.finish();
}

ObjectBuilder parseFillAtt(FieldReader& f) {
    FillAttributes body{};
    body.foreEnable = f.i32("foreEnable");
    body.foreColour = f.colour("foreColour");
    body.foreShown = f.i32("foreShown");
    body.fillStyle = f.i32("fillStyle");
    body.fillColour = f.colour("fillColour");
    body.pictureRef = readPictureRef(f, "pictureRef");
    body.pictureMode = f.i32("pictureMode");
    body.fillParam = f.i32("fillParam");
    if (const json* gradient = f.object("gradient")) readGradient(f, *gradient, &body.gradient);
    return bodyBuilder(kKindFillAtt, body);
}

}  // namespace

const std::vector<KindEntry>& graphicsKinds() {
    static const std::vector<KindEntry> kinds = {
        {.name = "Polyline", .code = kKindPolyline, .parse = parsePolyline},
        {.name = "OpenCurve", .code = kKindOpenCurve, .parse = parseOpenCurve},
        {.name = "Polygon", .code = kKindPolygon, .parse = parsePolygon},
        {.name = "Rectangle", .code = kKindRectangle, .parse = parseRectangle, .bodyHasReference = false},
        {.name = "RoundRect", .code = kKindRoundRect, .parse = parseRoundRect, .bodyHasReference = false},
        {.name = "Circle", .code = kKindCircle, .parse = parseCircle, .bodyHasReference = false},
        {.name = "Ellipse", .code = kKindEllipse, .parse = parseEllipse, .bodyHasReference = false},
        {.name = "ClosedCurve", .code = kKindClosedCurve, .parse = parseClosedCurve},
        {.name = "Raster", .code = kKindRaster, .parse = parseRaster},
        {.name = "Clip", .code = kKindClip, .parse = parseClip},
        {.name = "LineAtt", .code = kKindLineAtt, .parse = parseLineAtt, .bodyHasReference = false},
        {.name = "FillAtt", .code = kKindFillAtt, .parse = parseFillAtt},
        {.name = "Palette", .code = kKindPalette, .parse = parsePalette},
        {.name = "TaggedRect", .code = kKindTaggedRect, .parse = parseTaggedRect},
    };
    return kinds;
}

}  // namespace javtool
