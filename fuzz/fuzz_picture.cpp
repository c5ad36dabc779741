// SPDX-License-Identifier: MIT
#include "fuzz/fuzz_picture.h"

#include <cstring>


namespace javfuzz {

namespace {

// Objects a run hands over at most, and the most objects of a picture.
constexpr size_t kMaxPictureObjects = 12;
constexpr int kMaxNesting = 3;

constexpr int32_t kKinds[] = {
    kKindGroupMarker, kKindPolyline,  kKindOpenCurve,  kKindPolygon,    kKindRectangle,  kKindRoundRect,
    kKindCircle,      kKindEllipse,   kKindClosedCurve, kKindSimpleText, kKindTextPiece,  kKindJustify,
    kKindRaster,      kKindClip,      kKindLineAtt,    kKindFillAtt,    kKindTextAtt,    kKindPalette,
    kKindEndMarker,   kKindTaggedRect, kKindTextBox,   kKindParaAtt,    kKindCharAtt,    kKindTextString,
    kKindWidthString, kKindTab,       kKindParaStart,  kKindParaStartAtt, kKindTextBoxEnd,
    // kinds no handler draws, and codes outside the table
    0, 2, 14, 33, 44, 49, -1,
};

template <typename T>
std::vector<uint8_t> bytesOf(const std::vector<T>& values) {
    std::vector<uint8_t> bytes(values.size() * sizeof(T));
    if (!bytes.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// `count` pairs of coordinates, as a PointList or as curve control points.
std::vector<int32_t> readPairs(FuzzedDataProvider& in, size_t count) {
    std::vector<int32_t> values(2 * count);
    // Curves of extreme points flatten into long lists: small values mostly.
    bool small = in.ConsumeBool();
    for (int32_t& v : values) v = small ? in.ConsumeIntegralInRange<int32_t>(-3000, 3000) : readCoordinate(in);
    return values;
}

void readPointList(FuzzedDataProvider& in, ObjectRecipe* recipe, size_t bodyOffset) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) return;  // absent
    size_t count = in.ConsumeIntegralInRange<size_t>(0, 40);
    std::vector<int32_t> pairs = readPairs(in, count);
    std::vector<int32_t> list(1 + pairs.size());
    list[0] = static_cast<int32_t>(count);
    std::copy(pairs.begin(), pairs.end(), list.begin() + 1);
    referBlock(recipe, bodyOffset, bytesOf(list));
}

void readCurve(FuzzedDataProvider& in, ObjectRecipe* recipe) {
    size_t count = in.ConsumeIntegralInRange<size_t>(0, 13);
    refhost::CurveData* curve = startBody<refhost::CurveData>(recipe, recipe->kind);
    // The count may claim fewer points than given (never more), or a count
    // that is no start point and groups of three.
    curve->pointCount = static_cast<uint32_t>(in.ConsumeIntegralInRange<size_t>(0, count));
    if (count > 0) referBlock(recipe, offsetof(refhost::CurveData, points), bytesOf(readPairs(in, count)));
}

void readGradient(FuzzedDataProvider& in, GradientDef* g) {
    constexpr int32_t kGradientKinds[] = {0, kGradientLinear, kGradientElliptical, kGradientRectangular, 4, -1, INT32_MIN};
    g->gradientKind = in.PickValueInArray(kGradientKinds);
    g->stopCount = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2, 34) : readCoordinate(in);
    int32_t position = 0;
    for (int32_t i = 0; i < 32; ++i) {
        g->stopColours[i] = in.ConsumeIntegral<uint32_t>();
        // Ascending mostly, as hosts send them; anything now and then.
        position += in.ConsumeIntegralInRange(0, 40);
        g->stopPositions[i] = in.ConsumeIntegralInRange(0, 15) == 0 ? readCoordinate(in) : position;
    }
    g->centreXPercent = in.ConsumeBool() ? in.ConsumeIntegralInRange(-10, 110) : readCoordinate(in);
    g->centreYPercent = in.ConsumeBool() ? in.ConsumeIntegralInRange(-10, 110) : readCoordinate(in);
    g->aspectX = readCoordinate(in);
    g->aspectY = readCoordinate(in);
    constexpr int32_t kAngles[] = {0, 90, -90, 45, -45, 180, 270, 360, 89, 91};
    g->angle = in.ConsumeBool() ? in.PickValueInArray(kAngles) : readCoordinate(in);
    // A step count beyond the band bound now and then: thousands of bands
    // an object cost time and find nothing more after the first.
    g->stepCount = in.ConsumeIntegralInRange(0, 15) != 0 ? in.ConsumeIntegralInRange(-1, 300) : readCoordinate(in);
}

void readFill(FuzzedDataProvider& in, ObjectRecipe* recipe, uint64_t pictures) {
    auto* fill = startBody<FillAttributes>(recipe, kKindFillAtt);
    constexpr int32_t kStyles[] = {kFillNone, kFillSolid, kFillNoneAlt, 3, kFillPicture, kFillGradient, kFillGradient,
                                   kFillGradient, 6, -1};
    fill->fillStyle = in.PickValueInArray(kStyles);
    fill->foreEnable = in.ConsumeIntegralInRange(0, 2);
    fill->foreShown = in.ConsumeIntegralInRange(0, 2);
    fill->foreColour = in.ConsumeIntegral<uint32_t>();
    fill->fillColour = in.ConsumeIntegral<uint32_t>();
    fill->fillParam = readCoordinate(in);
    // A picture the host knows, or one it does not.
    fill->pictureRef = in.ConsumeIntegralInRange<uint64_t>(0, pictures + 1);
    fill->pictureMode = in.ConsumeBool() ? 4 : in.ConsumeIntegral<int32_t>();
    readGradient(in, &fill->gradient);
}

void readRaster(FuzzedDataProvider& in, ObjectRecipe* recipe) {
    auto* raster = startBody<refhost::RasterBody>(recipe, kKindRaster);
    int32_t* corners = &raster->corners.x0;
    for (int i = 0; i < 6; ++i) corners[i] = readCoordinate(in);
    uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 6);
    uint32_t height = in.ConsumeIntegralInRange<uint32_t>(0, 6);
    raster->image.width = width;
    raster->image.height = height;
    if (in.ConsumeIntegralInRange(0, 5) == 0) return;  // no pixels: the export fails
    // The pixels may be fewer than the size claims; the host refuses them.
    size_t pixels = width * height * 4;
    if (in.ConsumeIntegralInRange(0, 9) == 0) pixels /= 2;
    referBlock(recipe, offsetof(refhost::RasterBody, image.pixels), in.ConsumeBytes<uint8_t>(pixels));
}

void readTextFont(FuzzedDataProvider& in, ObjectRecipe* recipe) {
    if (in.ConsumeIntegralInRange(0, 3) == 0) return;  // no font
    std::vector<uint8_t> font = in.ConsumeBytes<uint8_t>(sizeof(TextFont));
    font.resize(sizeof(TextFont));
    referBlock(recipe, offsetof(TextAttributes, font), font);
}

}  // namespace

int32_t readCoordinate(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: return INT32_MIN;
        case 1: return INT32_MAX;
        case 2: return in.ConsumeIntegralInRange(-2, 2) + (in.ConsumeBool() ? INT32_MIN + 2 : INT32_MAX - 2);
        case 3: return in.ConsumeIntegralInRange(-200, 200);
        case 4: return in.ConsumeIntegralInRange(-20000, 20000);
        default: return in.ConsumeIntegral<int32_t>();
    }
}

int32_t readEncoding(FuzzedDataProvider& in) {
    // The host's byte encodings, the two Unicode ones twice, and codes it
    // does not know.
    constexpr int32_t kEncodings[] = {kEncodingWestern, kEncodingShiftJis, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 41,
                                      15, 18, 20, 22, 21, 19, 17, 31, 55, kEncodingUnits, kEncodingUnits,
                                      kEncodingUtf8, kEncodingUtf8, 0, -1, 52, 99};
    return in.PickValueInArray(kEncodings);
}

void referBlock(ObjectRecipe* recipe, size_t bodyOffset, std::vector<uint8_t> bytes, size_t extra) {
    int32_t field = static_cast<int32_t>(kHostObjectPayloadOffset + bodyOffset);
    recipe->blocks.push_back(ObjectRecipe::Block{field, std::move(bytes), extra});
}

namespace {

// One object of the recipe, built into the host with its blocks and the
// objects it refers to.
HostObject* buildObject(refhost::ReferenceHost& host, const ObjectRecipe& recipe) {
    HostObject* object = host.newObject(recipe.kind, recipe.body.size());
    std::memcpy(host.payload(object), recipe.body.data(), recipe.body.size());
    for (const ObjectRecipe::Block& block : recipe.blocks)
        host.attachBlock(object, block.fieldOffset, block.bytes.data(), block.bytes.size(), block.extra);
    for (const ObjectRecipe::Child& child : recipe.children)
        host.attachObject(object, child.fieldOffset, buildObject(host, *child.object));
    return object;
}

// A text of at most `limit` bytes for a text field at payload offset
// `textOffset`, and its length field at `lengthOffset`: absent now and then,
// else raw bytes with a length within them (or 0 or less: measured by the
// driver up to the zero bytes that follow it).
void referText(FuzzedDataProvider& in, ObjectRecipe* recipe, size_t textOffset, size_t lengthOffset, size_t limit) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) return;  // absent
    std::vector<uint8_t> text = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, limit));
    int64_t length = static_cast<int64_t>(text.size());
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: length = 0; break;
        case 1: length = -in.ConsumeIntegralInRange<int64_t>(1, INT64_MAX); break;
        case 2: length = in.ConsumeIntegralInRange<int64_t>(0, length); break;
        default: break;
    }
    std::memcpy(recipe->body.data() + lengthOffset, &length, sizeof length);
    // Two zero bytes after the text: a measured length ends within the block
    // for byte texts and for 16-bit units alike.
    referBlock(recipe, textOffset, std::move(text), 2);
}

}  // namespace

ObjectRecipe readObject(FuzzedDataProvider& in, int depth, uint64_t pictures) {
    ObjectRecipe recipe;
    recipe.kind = in.PickValueInArray(kKinds);
    if (recipe.kind == 49) recipe.kind = in.ConsumeIntegralInRange(49, INT32_MAX);
    if (recipe.kind == -1) recipe.kind = in.ConsumeIntegralInRange(INT32_MIN, -1);
    // Every body starts from the input's values; references are then set.
    recipe.body.assign(refhost::payloadSizeForKind(recipe.kind), 0);
    std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 48));
    std::copy(raw.begin(), raw.end(), recipe.body.begin());
    auto ints = [&](size_t count) {
        auto* fields = reinterpret_cast<int32_t*>(recipe.body.data());
        for (size_t i = 0; i < count; ++i) fields[i] = readCoordinate(in);
    };
    switch (recipe.kind) {
        case kKindPolyline: startBody<PolylineData>(&recipe, recipe.kind); readPointList(in, &recipe, offsetof(PolylineData, points)); break;
        case kKindPolygon: startBody<PolygonData>(&recipe, recipe.kind); readPointList(in, &recipe, offsetof(PolygonData, points)); break;
        case kKindOpenCurve:
        case kKindClosedCurve: readCurve(in, &recipe); break;
        case kKindRectangle:
        case kKindRoundRect:
        case kKindCircle:
        case kKindEllipse:
        case kKindTextBox: ints(6); break;
        case kKindRaster: readRaster(in, &recipe); break;
        case kKindClip: {
            auto* clip = startBody<ClipData>(&recipe, recipe.kind);
            clip->mode = in.ConsumeIntegralInRange(-1, 2);
            if (depth < kMaxNesting && in.ConsumeBool()) {
                auto nested = std::make_shared<ObjectRecipe>(in.ConsumeBool() ? ObjectRecipe{} : readObject(in, depth + 1, pictures));
                if (nested->kind == 0) {
                    auto* r = startBody<RectangleData>(nested.get(), kKindRectangle);
                    r->x0 = readCoordinate(in), r->y0 = readCoordinate(in), r->x1 = readCoordinate(in), r->y1 = readCoordinate(in);
                }
                recipe.children.push_back(ObjectRecipe::Child{static_cast<int32_t>(kHostObjectPayloadOffset + offsetof(ClipData, rectangle)), nested});
            }
            break;
        }
        case kKindFillAtt: readFill(in, &recipe, pictures); break;
        case kKindTextAtt: {
            auto* text = startBody<TextAttributes>(&recipe, recipe.kind);
            text->fontHeight = readCoordinate(in);
            text->placementMajor = in.ConsumeIntegralInRange<uint32_t>(0, 6);
            text->placementMinor = in.ConsumeIntegralInRange<uint32_t>(0, 4);
            text->textColour = in.ConsumeIntegral<uint32_t>();
            readTextFont(in, &recipe);
            break;
        }
        case kKindPalette: {
            startBody<PaletteData>(&recipe, recipe.kind);
            if (in.ConsumeIntegralInRange(0, 4) == 0) break;  // no table
            size_t entries = in.ConsumeIntegralInRange<size_t>(0, 8);
            std::vector<int32_t> table(1 + entries);
            // The count never claims more colours than the table holds.
            table[0] = in.ConsumeIntegralInRange<int32_t>(in.ConsumeBool() ? INT32_MIN : -1, static_cast<int32_t>(entries));
            for (size_t i = 1; i < table.size(); ++i) table[i] = in.ConsumeIntegral<int32_t>();
            referBlock(&recipe, offsetof(PaletteData, palette), bytesOf(table));
            break;
        }
        case kKindTaggedRect: {
            auto* tagged = startBody<TaggedRectData>(&recipe, recipe.kind);
            tagged->tag = in.ConsumeBool() ? kTagRectangle : in.ConsumeIntegral<int32_t>();
            if (in.ConsumeIntegralInRange(0, 3) != 0)
                referBlock(&recipe, offsetof(TaggedRectData, values),
                           bytesOf(std::vector<int32_t>{readCoordinate(in), readCoordinate(in), readCoordinate(in), readCoordinate(in)}));
            break;
        }
        case kKindSimpleText: {
            auto* simple = startBody<SimpleTextData>(&recipe, recipe.kind);
            simple->x1 = readCoordinate(in), simple->y1 = readCoordinate(in);
            simple->x2 = readCoordinate(in), simple->y2 = readCoordinate(in);
            simple->encoding = readEncoding(in);
            referText(in, &recipe, offsetof(SimpleTextData, text), offsetof(SimpleTextData, byteLength), 64);
            break;
        }
        case kKindTextPiece: {
            auto* piece = startBody<TextPieceData>(&recipe, recipe.kind);
            piece->lastPiece = in.ConsumeIntegralInRange(0, 2);
            piece->encoding = readEncoding(in);
            referText(in, &recipe, offsetof(TextPieceData, text), offsetof(TextPieceData, byteLength), 64);
            break;
        }
        case kKindTextString: {
            auto* string = startBody<TextStringData>(&recipe, recipe.kind);
            string->encoding = readEncoding(in);
            referText(in, &recipe, offsetof(TextStringData, text), offsetof(TextStringData, byteLength), 64);
            break;
        }
        case kKindWidthString: {
            auto* string = startBody<WidthStringData>(&recipe, recipe.kind);
            string->encoding = readEncoding(in);
            string->runWidth = readCoordinate(in);
            referText(in, &recipe, offsetof(WidthStringData, text), offsetof(WidthStringData, byteLength), 64);
            break;
        }
        case kKindCharAtt: {
            auto* chars = reinterpret_cast<CharAttributes*>(recipe.body.data());
            chars->charFont.height = readCoordinate(in);
            chars->superscript = in.ConsumeIntegralInRange(0, 1);
            chars->subscript = in.ConsumeIntegralInRange(0, 1);
            break;
        }
        case kKindParaAtt:
        case kKindParaStartAtt: ints(11); break;
        default: break;  // markers, attributes and kinds without references keep their raw bytes
    }
    return recipe;
}

namespace {

// The target (frame, sizes, colour mode, byte order, target info) and the
// session's encodings.
void readTarget(FuzzedDataProvider& in, refhost::ReferenceHost& host) {
    TargetParams* p = host.params();
    p->colourMode = in.ConsumeBool() ? kColourModeDirect : in.ConsumeIntegralInRange(-1, 5);
    p->bigEndianText = in.ConsumeIntegralInRange(0, 2);
    for (int32_t& v : p->sourceFrame) v = in.ConsumeBool() ? in.ConsumeIntegralInRange(-2000, 2000) : readCoordinate(in);
    constexpr double kSizes[] = {0.0, 1.0, 2.5, 1e-9, 1e9, -1.0};
    p->sizeX = in.PickValueInArray(kSizes);
    p->sizeY = in.PickValueInArray(kSizes);
    p->altSizeX = in.ConsumeBool() ? 0.0 : in.PickValueInArray(kSizes);
    p->altSizeY = in.ConsumeBool() ? 0.0 : in.PickValueInArray(kSizes);
    host.useTargetInfo(in.ConsumeIntegralInRange(0, 3) != 0);
    TargetInfo* info = host.info();
    info->pixelWidth = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 2000) : readCoordinate(in);
    info->pixelHeight = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 2000) : readCoordinate(in);
    info->infoExtentX = in.PickValueInArray(kSizes);
    info->infoExtentY = in.PickValueInArray(kSizes);
    info->dpiX = in.ConsumeIntegralInRange(0, 600);
    info->dpiY = in.ConsumeIntegralInRange(0, 600);
    HostSession* session = host.session();
    session->currentEncoding = readEncoding(in);
    session->fontEncoding = in.ConsumeBool() ? 0 : readEncoding(in);
    if (in.ConsumeIntegralInRange(0, 3) == 0) {
        host.useTransform(true);
        HostTransform* transform = host.transform();
        transform->active = in.ConsumeIntegralInRange(0, 1);
        transform->scale1 = in.ConsumeFloatingPointInRange(-1e6, 1e6);
        transform->scale2 = in.ConsumeFloatingPointInRange(-1e6, 1e6);
        int32_t offset[2] = {readCoordinate(in), readCoordinate(in)};
        std::memcpy(transform->hostOwn, offset, sizeof offset);
    }
}

// Registers up to four fill pictures, keys 1 to 4: vector pictures whose
// objects may fill with pictures again (themselves too), and small raster
// pictures, with any request kind and format. Returns how many.
uint64_t readPictures(FuzzedDataProvider& in, refhost::ReferenceHost& host) {
    uint64_t count = in.ConsumeIntegralInRange<uint64_t>(0, 4);
    for (uint64_t key = 1; key <= count; ++key) {
        refhost::HostPicture picture;
        constexpr int32_t kRequests[] = {kPictureVector, kPictureRaster, kPictureRaster, 0, -1};
        constexpr int32_t kFormats[] = {kElementVector, kElementPng, kElementRaster, 0, 99};
        picture.requestKind = in.PickValueInArray(kRequests);
        picture.formatCode = in.PickValueInArray(kFormats);
        picture.raster = in.ConsumeBool();
        if (picture.raster) {
            picture.width = in.ConsumeIntegralInRange<uint32_t>(1, 4);
            picture.height = in.ConsumeIntegralInRange<uint32_t>(1, 4);
            picture.pixels = in.ConsumeBytesAsString(picture.width * picture.height * 4);
            picture.pixels.resize(picture.width * picture.height * 4);
        } else {
            size_t objects = in.ConsumeIntegralInRange<size_t>(0, kMaxPictureObjects);
            for (size_t i = 0; i < objects; ++i) {
                auto recipe = std::make_shared<ObjectRecipe>(readObject(in, 1, count));
                picture.objects.push_back([recipe](refhost::ReferenceHost& h) { return buildObject(h, *recipe); });
            }
        }
        host.registerPicture(key, std::move(picture));
    }
    return count;
}

}  // namespace

bool drivePicture(refhost::ReferenceHost& host, const std::vector<ObjectRecipe>& objects) {
    refhost::MemoryStream* stream = host.memoryStream(true, true);
    stream->keep = false;
    DriverContext* context = startTrgJAV(&stream->base, host.params(), 0);
    if (context != nullptr) {
        for (const ObjectRecipe& recipe : objects) putJAVobject(context, buildObject(host, recipe));
        shutDownJAVtrg(context);
    }
    host.releaseConversions();
    return host.liveBlocks() == 0 && host.liveObjects() == 0 && host.openElements() == 0;
}

bool driveAnyPicture(FuzzedDataProvider& in, refhost::ReferenceHost& host) {
    readTarget(in, host);
    uint64_t pictures = readPictures(in, host);
    std::vector<ObjectRecipe> objects;
    while (objects.size() < 64 && in.remaining_bytes() > 0) objects.push_back(readObject(in, 0, pictures));
    return drivePicture(host, objects);
}

}  // namespace javfuzz
