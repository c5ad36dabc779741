// SPDX-License-Identifier: MIT
// Builders of the host objects that own what they refer to: point lists,
// curve descriptions, raster pixels, texts and fonts. The object script
// reader and the drawing importers both make their objects through these,
// so a script and a drawing reach the driver the same way. The plain bodies
// without references go through `bodyBuilder` (tools/script.h).
#ifndef JAVTRG_TOOLS_OBJECT_BUILDERS_H
#define JAVTRG_TOOLS_OBJECT_BUILDERS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/script.h"

namespace javtool {

// An object of `kind` without a body (Tab, ParaStart, TextBoxEnd).
ObjectBuilder emptyObject(int32_t kind);

// A Polyline (`kind`, body PolylineData) or a Polygon (body PolygonData)
// whose point list holds `points`; with `present` false the object refers
// to no point list at all.
ObjectBuilder polylineObject(int32_t kind, const std::vector<PointPair>& points, bool present = true);
ObjectBuilder polygonObject(int32_t kind, const std::vector<PointPair>& points, bool present = true);

// A Clip of `mode` whose rectangle reference is the object `rectangle`
// builds (absent when empty).
ObjectBuilder clipObject(int32_t mode, const ObjectBuilder& rectangle);

// An OpenCurve or ClosedCurve (`kind`) whose curve description holds the
// control points: a start point, then groups of two controls and an end.
ObjectBuilder curveObject(int32_t kind, std::vector<PointPair> points);

// A Raster placed at `corners` whose image is `width` x `height` RGBA pixels,
// rows from the top; empty `pixels`: no image.
ObjectBuilder rasterObject(int32_t kind, const RasterData& corners, uint32_t width, uint32_t height,
                           std::shared_ptr<const std::string> pixels);

// An object of `kind` with `body`, whose pointer field at `textOffset` of the
// body refers to a copy of `text` the object owns (followed by two zero
// bytes); no text: the reference stays absent.
template <typename Body>
ObjectBuilder ownedTextObject(int32_t kind, const Body& body, std::optional<std::string> text, size_t textOffset) {
    return [kind, body, text, textOffset](refhost::ReferenceHost& host) {
        HostObject* object = newBodyObject(host, kind, body);
        if (text) {
            host.attachBlock(object, static_cast<int32_t>(kHostObjectPayloadOffset + textOffset), text->data(),
                             text->size(), 2);
        }
        return object;
    };
}

// A TextString (`kind`) of `text` in `encoding`, its byteLength the text's.
ObjectBuilder textStringObject(int32_t kind, int32_t encoding, const std::string& text);

// A TextAtt (`kind`) with `body` and, when given, the font block it owns.
ObjectBuilder textAttObject(int32_t kind, const TextAttributes& body, const std::optional<TextFont>& font);

}  // namespace javtool

#endif
