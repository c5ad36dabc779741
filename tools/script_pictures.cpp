// SPDX-License-Identifier: MIT
// The pictures of an object script: the top-level "pictures" table, name ->
// vector picture (a list of objects) or raster picture (an image), and the
// fills that name them. The tool gives each picture its key; a fill's
// pictureRef is always such a key, never a value taken from the script.
#include "tools/script.h"

namespace javtool {

namespace {

refhost::HostPicture readPicture(const json& value, const std::string& path, const ScriptSession& session) {
    FieldReader f(value, path, session);
    refhost::HostPicture picture;
    bool hasObjects = f.has("objects");
    if (hasObjects == f.has("image")) f.fail("objects", "either \"objects\" (a vector picture) or \"image\" (a raster picture)");
    picture.raster = !hasObjects;
    // The host asks for a raster picture as a PNG image and for a vector
    // picture in its vector format, unless the picture says otherwise.
    picture.requestKind = f.i32("requestKind", picture.raster ? kPictureRaster : kPictureVector);
    picture.formatCode = f.i32("formatCode", picture.raster ? kElementPng : kElementVector);
    if (picture.raster) {
        const json* image = f.object("image");
        if (image == nullptr) f.fail("image", "the picture's image");
        picture.pixels = readRasterImage(f, *image, &picture.width, &picture.height);
    } else {
        const json* objects = f.raw("objects");
        if (!objects->is_array()) f.fail("objects", "an array of objects");
        for (size_t i = 0; i < objects->size(); ++i)
            picture.objects.push_back(parseObject((*objects)[i], f.place("objects") + "[" + std::to_string(i) + "]", session));
    }
    f.finish();
    return picture;
}

}  // namespace

// Keys are 1, 2, ... in the order of the names. Every name is known before
// any picture is read, so a picture may name any other, or itself (the
// driver limits how deep fills nest).
void readPictures(const json& value, Script* script) {
    if (!value.is_object()) throw ScriptError("pictures", "an object of pictures by name");
    uint64_t key = 0;
    for (auto it = value.begin(); it != value.end(); ++it) script->session.pictureKeys[it.key()] = ++key;
    for (auto it = value.begin(); it != value.end(); ++it) {
        uint64_t pictureKey = script->session.pictureKeys.at(it.key());
        script->pictures.emplace_back(pictureKey, readPicture(it.value(), "pictures." + it.key(), script->session));
    }
}

uint64_t readPictureRef(FieldReader& f, const char* name) {
    const json* v = f.raw(name);
    if (v == nullptr) return 0;
    const auto& keys = f.session().pictureKeys;
    auto found = v->is_string() ? keys.find(v->get<std::string>()) : keys.end();
    if (found == keys.end()) f.fail(name, "the name of a picture in \"pictures\"");
    return found->second;
}

}  // namespace javtool
