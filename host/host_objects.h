// SPDX-License-Identifier: MIT
// Objects of the reference host and what they own.
//
// An object is a HostObject header followed by its payload. Besides its
// payload an object owns its attachments: blocks (point lists, palettes,
// texts, images) and other objects that its pointer fields refer to. Its
// release gives them back with it, and its copy (the clone operation)
// copies them, so a driver may hold, copy and give back any object without
// knowing what it refers to. Objects handed to the driver become the
// driver's; the host takes them back through releaseObject. Object lists
// (host_lists.cpp) are made of ledger blocks that hold objects.
#ifndef JAVTRG_HOST_OBJECTS_H
#define JAVTRG_HOST_OBJECTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <javtrg/host_services.h>

#include "host/host_blocks.h"

namespace refhost {

class ReferenceHost;

enum class AttachKind { Block, Object };
struct Attachment {
    AttachKind kind;
    int32_t fieldOffset;  // object offset of the pointer field
    void* target;
    size_t size;          // for blocks
};

struct ObjectInfo {
    int32_t kind;
    size_t payloadSize;
    std::vector<Attachment> attachments;
};

// Payload bytes the host allocates for an object of `kind`: enough for the
// largest body of that kind.
size_t payloadSizeForKind(int32_t kind);

// A host curve description (the body of OpenCurve and ClosedCurve objects):
// a count of control points, then a reference to them. The points form a
// poly-Bezier: a start point followed by groups of three (two controls and
// an end point). The host flattens it into a point list.
struct CurveData {
    uint32_t pointCount;
    uint32_t reserved;
    const PointPair* points;
};

class ObjectStore : public BlockLedger {
public:
    ObjectStore() = default;
    ~ObjectStore();

    size_t liveObjects() const { return objects_.size(); }
    bool ownsObject(const HostObject* object) const { return objects_.count(object) != 0; }
    // Every live block and object, one a line.
    std::string describeLive() const;

    // A new object of `kind` with a zeroed payload of at least `minPayload`
    // bytes. It never fails and counts no call: it is how the tests and the
    // tool build what they hand to the driver (the createObject operation
    // is the driver's way, and may fail).
    HostObject* newObject(int32_t kind, size_t minPayload = 0);
    // Bytes of the object's payload.
    unsigned char* payload(HostObject* object) {
        return reinterpret_cast<unsigned char*>(object) + kHostObjectPayloadOffset;
    }
    // A copy with copies of everything the object owns; absent for an
    // object of another host.
    HostObject* cloneObject(const HostObject* object);
    // Gives the object back with everything it owns; an object that is not
    // live ends the process.
    void releaseObject(HostObject* object);
    const ObjectInfo* objectInfo(const HostObject* object) const;

    // Gives `object` a block holding `size` bytes of `data` (plus `extra`
    // zero bytes), referred to by its pointer field at `fieldOffset`.
    void* attachBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra = 0);
    // Makes `child` owned by `object` through its field at `fieldOffset`.
    void attachObject(HostObject* object, int32_t fieldOffset, HostObject* child);
    // The block `object` owns through its field at `fieldOffset`, absent
    // when it owns none there.
    const Attachment* attachedBlock(const HostObject* object, int32_t fieldOffset) const;
    // Gives the block owned through that field back (when there is one) and
    // attaches a new one as attachBlock does.
    void* replaceBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra = 0);

private:
    ReferenceHost& host();
    void adoptTextFont(const HostObject* object);

    std::unordered_map<const HostObject*, ObjectInfo> objects_;
};

}  // namespace refhost

#endif
