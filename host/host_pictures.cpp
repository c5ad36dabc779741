// SPDX-License-Identifier: MIT
// Fill pictures of the reference host and their conversion: the host asks
// the driver's picture handler how it wants a picture, then hands it back as
// a group of objects (vector answer) or writes it into the element the
// driver opened (element answer).
#include <algorithm>
#include <cstring>
#include <string>

#include "host/reference_host.h"

namespace refhost {

namespace {

constexpr int32_t kRasterPixelsOffset = kHostObjectPayloadOffset + offsetof(RasterBody, image.pixels);

ConversionResult* opConvertPicture(HostServices* s, uint64_t handle, uint64_t picture, DriverContext* context,
                                   TargetInfo* copy) {
    return hostOf(s)->convertPicture(handle, picture, context, copy);
}

// Hands out the next object; `more` becomes 0 with the last one, so a
// driver that stops asking then has every object.
HostObject* groupNext(HostGroup* group, int32_t* more) {
    auto* g = reinterpret_cast<PictureGroup*>(group);
    g->host->countCall("groupNext");
    // The groups inside this one have been drawn.
    auto self = std::find(g->playing->begin(), g->playing->end(), g);
    if (self != g->playing->end()) g->playing->erase(self + 1, g->playing->end());
    if (g->handedOut >= g->objects.size()) {
        if (more != nullptr) *more = 0;
        return nullptr;
    }
    HostObject* object = g->objects[g->handedOut];
    g->objects[g->handedOut] = nullptr;
    g->handedOut += 1;
    if (more != nullptr && g->handedOut == g->objects.size()) *more = 0;
    return object;
}

}  // namespace

void installPictureOperations(HostServices* services) { services->convertPicture = opConvertPicture; }

ReferenceHost& PictureStore::host() { return static_cast<ReferenceHost&>(*this); }

// A raster picture drawn as vector objects is one Raster object filling the
// reply's rectangle (right, top, left, bottom): p0 its top left, p1 its top
// right, p2 its bottom left corner.
ConversionResult* PictureStore::convertPicture(uint64_t handle, uint64_t key, DriverContext* context, TargetInfo* copy) {
    ReferenceHost& h = host();
    h.log("convertPicture");
    if (h.shouldFail("convertPicture")) return nullptr;
    auto found = pictures_.find(key);
    if (handle != h.hostHandle() || h.pictureHandler() == nullptr) return nullptr;
    if (found == pictures_.end()) {
        h.noteFailure("convertPicture", "no picture has the key " + std::to_string(key));
        return nullptr;
    }
    const HostPicture& picture = found->second;
    size_t objects = picture.raster ? 1 : picture.objects.size();
    if (objects > convertedObjectsLimit_ - std::min(convertedObjects_, convertedObjectsLimit_)) {
        conversionsLimited_ = true;
        h.noteFailure("convertPicture", "the conversions of this run would hand out more than " +
                                          std::to_string(convertedObjectsLimit_) + " objects");
        return nullptr;
    }

    PictureRequest request{};
    request.kind = picture.requestKind;
    request.formatCode = picture.formatCode;
    PictureReply reply{};
    h.pictureHandler()(context, &request, &reply);

    if (reply.kind == kAnswerElement) {
        // Only a raster picture can be written as an image; an element the
        // host cannot fill is spoiled, so that no empty element is kept.
        HostElement* element = findOpenElement(reply.target.writer);
        if (element != nullptr && !(picture.raster && writeImage(element, reinterpret_cast<const uint8_t*>(picture.pixels.data()),
                                                                 picture.width, picture.height, copy))) {
            element->failed = true;
            if (element->error != 0) h.noteFailure("convertPicture", element->path + ": " + std::strerror(element->error));
        }
        return nullptr;
    }
    if (reply.kind != kAnswerVector) return nullptr;

    convertedObjects_ += objects;
    auto conversion = std::make_unique<HostConversion>();
    conversion->result.kind = kConversionGroup;
    conversion->result.group = &conversion->group.group;
    conversion->group.group.next = groupNext;
    conversion->group.host = &h;
    conversion->group.playing = &playing_;
    conversion->group.handedOut = 0;
    playing_.push_back(&conversion->group);
    deepestConversion_ = std::max(deepestConversion_, playing_.size());
    if (picture.raster) {
        const int32_t* rect = reply.target.rect;
        RasterBody body{};
        body.corners = RasterData{rect[2], rect[1], rect[0], rect[1], rect[2], rect[3]};
        body.image.width = picture.width;
        body.image.height = picture.height;
        HostObject* raster = h.newObject(kKindRaster, sizeof body);
        std::memcpy(h.payload(raster), &body, sizeof body);
        h.attachBlock(raster, kRasterPixelsOffset, picture.pixels.data(), picture.pixels.size());
        conversion->group.objects.push_back(raster);
    } else {
        for (const ObjectMaker& make : picture.objects) conversion->group.objects.push_back(make(h));
    }
    conversions_.push_back(std::move(conversion));
    return &conversions_.back()->result;
}

size_t PictureStore::releaseConversions() {
    size_t count = conversions_.size();
    for (auto& conversion : conversions_) {
        for (HostObject* object : conversion->group.objects) {
            if (object != nullptr) host().releaseObject(object);
        }
    }
    conversions_.clear();
    playing_.clear();
    return count;
}

}  // namespace refhost
