// SPDX-License-Identifier: MIT
// Objects of the reference host: creation, release, copies and what an
// object owns; the operations on objects, palettes and point lists.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/reference_host.h"

namespace refhost {

size_t payloadSizeForKind(int32_t kind) {
    switch (kind) {
        case kKindFillAtt: return sizeof(FillAttributes);
        case kKindParaAtt:
        case kKindParaStartAtt: return sizeof(ParaAttributes);
        case kKindCharAtt: return sizeof(CharAttributes);
        default: return 64;  // every other body fits in 64 bytes
    }
}

namespace {

HostObject* opClone(HostServices* services, HostObject* object, int32_t) {
    ReferenceHost* h = hostOf(services);
    if (h->shouldFail("clone")) return nullptr;
    return h->cloneObject(object);
}

HostObject* opCreateObject(HostServices* s, int32_t kind) {
    ReferenceHost* h = hostOf(s);
    h->log("createObject " + std::to_string(kind));
    if (h->shouldFail("createObject")) return nullptr;
    return h->newObject(kind);
}

void opReleaseObject(HostServices* s, HostObject* object) {
    hostOf(s)->countCall("releaseObject");
    hostOf(s)->releaseObject(object);
}

HostPalette* opCopyPalette(HostServices* s, const void* table) {
    ReferenceHost* h = hostOf(s);
    if (h->shouldFail("copyPalette")) return nullptr;
    return h->copyPalette(static_cast<const HostPalette*>(table));
}

void opFreePalette(HostServices* s, HostPalette* palette) {
    hostOf(s)->countCall("freePalette");
    hostOf(s)->freePalette(palette);
}

PointList* opNewPointList(HostServices* s, uint32_t count) {
    ReferenceHost* h = hostOf(s);
    if (h->shouldFail("newPointList")) return nullptr;
    return h->newPointList(count);
}

void opFreePointList(HostServices* s, PointList* list) {
    hostOf(s)->countCall("freePointList");
    hostOf(s)->freePointList(list);
}

void setField(HostObject* object, int32_t offset, void* value) {
    std::memcpy(reinterpret_cast<unsigned char*>(object) + offset, &value, sizeof value);
}

constexpr int32_t kTextFontOffset = kHostObjectPayloadOffset + offsetof(TextAttributes, font);

}  // namespace

void installObjectOperations(HostServices* services) {
    services->createObject = opCreateObject;
    services->releaseObject = opReleaseObject;
    services->copyPalette = opCopyPalette;
    services->freePalette = opFreePalette;
    services->newPointList = opNewPointList;
    services->freePointList = opFreePointList;
}

ReferenceHost& ObjectStore::host() { return static_cast<ReferenceHost&>(*this); }

ObjectStore::~ObjectStore() {
    // Whatever is still live was leaked by its user; the tests report it.
    // The host frees it so that leak checkers point at the test, not here.
    for (auto& entry : objects_) std::free(const_cast<HostObject*>(entry.first));
}

std::string ObjectStore::describeLive() const {
    std::ostringstream out;
    for (const auto& entry : blocks()) out << "block of " << entry.second.size << " bytes from " << entry.second.origin << "\n";
    for (const auto& entry : objects_) out << "object of kind " << entry.second.kind << "\n";
    return out.str();
}

HostObject* ObjectStore::newObject(int32_t kind, size_t minPayload) {
    size_t payload = std::max(payloadSizeForKind(kind), minPayload);
    auto* object = static_cast<HostObject*>(std::calloc(1, sizeof(HostObject) + payload));
    if (object == nullptr) return nullptr;
    object->kind = kind;
    object->clone = opClone;
    object->hostOwn = reinterpret_cast<uint64_t>(&host());
    objects_[object] = ObjectInfo{kind, payload, {}};
    return object;
}

const ObjectInfo* ObjectStore::objectInfo(const HostObject* object) const {
    auto it = objects_.find(object);
    return it == objects_.end() ? nullptr : &it->second;
}

// A TextAtt owns the 132-byte font block its font field refers to, also one
// that its user obtained with allocate and put there (as the driver does
// when it restores text attributes): such a block becomes an attachment, so
// the object's release frees it and its copies copy it.
void ObjectStore::adoptTextFont(const HostObject* object) {
    auto it = objects_.find(object);
    if (it == objects_.end() || it->second.kind != kKindTextAtt) return;
    void* font = nullptr;
    std::memcpy(&font, reinterpret_cast<const unsigned char*>(object) + kTextFontOffset, sizeof font);
    const BlockInfo* block = blockInfo(font);
    if (font == nullptr || block == nullptr) return;
    for (const Attachment& a : it->second.attachments) {
        if (a.target == font) return;
    }
    it->second.attachments.push_back(Attachment{AttachKind::Block, kTextFontOffset, font, block->size});
}

void ObjectStore::releaseObject(HostObject* object) {
    if (object == nullptr) return;
    adoptTextFont(object);
    auto it = objects_.find(object);
    if (it == objects_.end()) std::abort();  // released twice, or not ours
    std::vector<Attachment> attachments = std::move(it->second.attachments);
    objects_.erase(it);
    for (const Attachment& a : attachments) {
        if (a.kind == AttachKind::Object) {
            releaseObject(static_cast<HostObject*>(a.target));
        } else {
            freeBlock(a.target);
        }
    }
    std::free(object);
}

HostObject* ObjectStore::cloneObject(const HostObject* object) {
    adoptTextFont(object);
    const ObjectInfo* info = objectInfo(object);
    if (info == nullptr) return nullptr;
    HostObject* copy = newObject(info->kind, info->payloadSize);
    if (copy == nullptr) return nullptr;
    std::memcpy(payload(copy), reinterpret_cast<const unsigned char*>(object) + kHostObjectPayloadOffset, info->payloadSize);
    copy->clone = object->clone;
    // A copy owns copies of whatever the original owns.
    std::vector<Attachment> attachments = info->attachments;
    for (const Attachment& a : attachments) {
        if (a.kind == AttachKind::Object) {
            HostObject* child = cloneObject(static_cast<const HostObject*>(a.target));
            attachObject(copy, a.fieldOffset, child);
        } else {
            attachBlock(copy, a.fieldOffset, a.target, a.size);
        }
    }
    return copy;
}

void* ObjectStore::attachBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra) {
    void* block = allocateBlock(size + extra, true, "object attachment");
    if (size > 0 && data != nullptr) std::memcpy(block, data, size);
    objects_[object].attachments.push_back(Attachment{AttachKind::Block, fieldOffset, block, size + extra});
    setField(object, fieldOffset, block);
    return block;
}

const Attachment* ObjectStore::attachedBlock(const HostObject* object, int32_t fieldOffset) const {
    const ObjectInfo* info = objectInfo(object);
    if (info == nullptr) return nullptr;
    for (const Attachment& a : info->attachments) {
        if (a.kind == AttachKind::Block && a.fieldOffset == fieldOffset) return &a;
    }
    return nullptr;
}

void* ObjectStore::replaceBlock(HostObject* object, int32_t fieldOffset, const void* data, size_t size, size_t extra) {
    std::vector<Attachment>& attachments = objects_[object].attachments;
    for (auto it = attachments.begin(); it != attachments.end(); ++it) {
        if (it->kind == AttachKind::Block && it->fieldOffset == fieldOffset) {
            void* old = it->target;
            attachments.erase(it);
            // The new block is made before the old one goes, so `data` may lie in it.
            void* block = attachBlock(object, fieldOffset, data, size, extra);
            freeBlock(old);
            return block;
        }
    }
    return attachBlock(object, fieldOffset, data, size, extra);
}

void ObjectStore::attachObject(HostObject* object, int32_t fieldOffset, HostObject* child) {
    objects_[object].attachments.push_back(Attachment{AttachKind::Object, fieldOffset, child, 0});
    setField(object, fieldOffset, child);
}

}  // namespace refhost
