// SPDX-License-Identifier: MIT
// Pictures made from fuzzer bytes, shared by the fuzz targets that drive the
// driver: a target and session, fill pictures registered in the host, and
// objects of any kind whose references are valid or absent, as a host
// guarantees them, with every length and count within the data given.
#ifndef JAVTRG_FUZZ_PICTURE_H
#define JAVTRG_FUZZ_PICTURE_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/reference_host.h"

namespace javfuzz {

// A host that stays quick whatever the input asks of it: the images it
// exports are at most 64 pixels a side and its picture conversions hand out
// at most 4096 objects a run. Large images and deep picture nesting cost
// time and find nothing more.
inline void keepHostQuick(refhost::ReferenceHost& host) {
    host.limitExportSide(64);
    host.limitConvertedObjects(4096);
}

// A signed 32-bit value, often at or next to a limit.
int32_t readCoordinate(FuzzedDataProvider& in);
// An encoding code of the host, now and then one it does not know.
int32_t readEncoding(FuzzedDataProvider& in);

// One object as a description, built into a host as often as needed (the
// objects of a vector picture are made at every conversion).
struct ObjectRecipe {
    int32_t kind = 0;
    std::vector<uint8_t> body;  // the payload
    struct Block {
        int32_t fieldOffset;  // object offset of the reference
        std::vector<uint8_t> bytes;
        size_t extra;  // zero bytes after them
    };
    std::vector<Block> blocks;
    struct Child {
        int32_t fieldOffset;
        std::shared_ptr<ObjectRecipe> object;
    };
    std::vector<Child> children;
};

// Starts a recipe of `kind` with a zeroed body of `Body`, for the caller to
// fill.
template <typename Body>
Body* startBody(ObjectRecipe* recipe, int32_t kind) {
    recipe->kind = kind;
    recipe->body.assign(sizeof(Body) < 64 ? 64 : sizeof(Body), 0);
    return reinterpret_cast<Body*>(recipe->body.data());
}
// A block of `bytes` (and `extra` zero bytes) the object refers to from
// its field at payload offset `bodyOffset`.
void referBlock(ObjectRecipe* recipe, size_t bodyOffset, std::vector<uint8_t> bytes, size_t extra = 0);

// Any object: any kind the driver handles, group markers and unknown
// kinds, every field from the input. Fills may name the pictures 1 to
// `pictures`, or none the host knows.
ObjectRecipe readObject(FuzzedDataProvider& in, int depth, uint64_t pictures);

// Starts an instance, hands it `objects` in order, shuts it down and ends
// the host's conversions. True when the host holds nothing of the run
// afterwards (blocks, objects, open elements). A run that did not start is
// clean when it left nothing either.
bool drivePicture(refhost::ReferenceHost& host, const std::vector<ObjectRecipe>& objects);
// The rest of the input as a whole picture: target, fill pictures and up to
// 64 objects of any kind, driven as drivePicture does.
bool driveAnyPicture(FuzzedDataProvider& in, refhost::ReferenceHost& host);

}  // namespace javfuzz

#endif
