// SPDX-License-Identifier: MIT
// Builders of host objects with references; see object_builders.h.
#include "tools/object_builders.h"

#include <cstring>

namespace javtool {

namespace {

// Reference fields, as object offsets.
constexpr int32_t kPolylinePointsOffset = kHostObjectPayloadOffset + offsetof(PolylineData, points);
constexpr int32_t kPolygonPointsOffset = kHostObjectPayloadOffset + offsetof(PolygonData, points);
constexpr int32_t kCurvePointsOffset = kHostObjectPayloadOffset + offsetof(refhost::CurveData, points);
constexpr int32_t kRasterPixelsOffset = kHostObjectPayloadOffset + offsetof(refhost::RasterBody, image.pixels);

// The bytes of a PointList holding `points`.
std::string pointListBytes(const std::vector<PointPair>& points) {
    uint32_t count = static_cast<uint32_t>(points.size());
    std::string bytes(offsetof(PointList, points) + points.size() * sizeof(PointPair), '\0');
    std::memcpy(bytes.data(), &count, sizeof count);
    if (!points.empty())
        std::memcpy(bytes.data() + offsetof(PointList, points), points.data(), points.size() * sizeof(PointPair));
    return bytes;
}

ObjectBuilder pointListObject(int32_t kind, int32_t offset, const std::vector<PointPair>& points, bool present) {
    auto bytes = std::make_shared<const std::string>(pointListBytes(points));
    return [kind, offset, present, bytes](refhost::ReferenceHost& host) {
        HostObject* object = host.newObject(kind);
        if (present) host.attachBlock(object, offset, bytes->data(), bytes->size());
        return object;
    };
}

}  // namespace

ObjectBuilder emptyObject(int32_t kind) {
    return [kind](refhost::ReferenceHost& host) { return host.newObject(kind); };
}

ObjectBuilder polylineObject(int32_t kind, const std::vector<PointPair>& points, bool present) {
    return pointListObject(kind, kPolylinePointsOffset, points, present);
}

ObjectBuilder polygonObject(int32_t kind, const std::vector<PointPair>& points, bool present) {
    return pointListObject(kind, kPolygonPointsOffset, points, present);
}

ObjectBuilder curveObject(int32_t kind, std::vector<PointPair> points) {
    auto shared = std::make_shared<const std::vector<PointPair>>(std::move(points));
    return [kind, shared](refhost::ReferenceHost& host) {
        HostObject* object = host.newObject(kind, sizeof(refhost::CurveData));
        auto* curve = reinterpret_cast<refhost::CurveData*>(host.payload(object));
        curve->pointCount = static_cast<uint32_t>(shared->size());
        if (!shared->empty())
            host.attachBlock(object, kCurvePointsOffset, shared->data(), shared->size() * sizeof(PointPair));
        return object;
    };
}

ObjectBuilder rasterObject(int32_t kind, const RasterData& corners, uint32_t width, uint32_t height,
                           std::shared_ptr<const std::string> pixels) {
    refhost::RasterBody body{};
    body.corners = corners;
    body.image.width = width;
    body.image.height = height;
    return [kind, body, pixels](refhost::ReferenceHost& host) {
        HostObject* object = newBodyObject(host, kind, body);
        if (pixels && !pixels->empty()) host.attachBlock(object, kRasterPixelsOffset, pixels->data(), pixels->size());
        return object;
    };
}

ObjectBuilder clipObject(int32_t mode, const ObjectBuilder& rectangle) {
    return [mode, rectangle](refhost::ReferenceHost& host) {
        ClipData body{};
        body.mode = mode;
        HostObject* object = newBodyObject(host, kKindClip, body);
        if (rectangle) host.attachObject(object, kHostObjectPayloadOffset + offsetof(ClipData, rectangle), rectangle(host));
        return object;
    };
}

ObjectBuilder textStringObject(int32_t kind, int32_t encoding, const std::string& text) {
    TextStringData body{};
    body.encoding = encoding;
    body.byteLength = static_cast<int64_t>(text.size());
    return ownedTextObject(kind, body, std::optional<std::string>(text), offsetof(TextStringData, text));
}

ObjectBuilder textAttObject(int32_t kind, const TextAttributes& body, const std::optional<TextFont>& font) {
    return [kind, body, font](refhost::ReferenceHost& host) {
        HostObject* object = host.newObject(kind, sizeof(TextAttributes));
        std::memcpy(host.payload(object), &body, sizeof body);
        // The 132-byte font block belongs to the object.
        if (font) host.attachBlock(object, kHostObjectPayloadOffset + offsetof(TextAttributes, font), &*font, sizeof(TextFont));
        return object;
    };
}

}  // namespace javtool
