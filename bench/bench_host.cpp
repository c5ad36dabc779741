// SPDX-License-Identifier: MIT
#include "bench/bench_host.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace benchhost {

namespace {

constexpr uint32_t kQuadPoints = 4;
constexpr size_t kBlockHeader = 16;  // the size of a block, kept in front of it
constexpr size_t kNodesPerChunk = 4096;
// Payload of the objects the driver creates: the largest body of any kind.
constexpr size_t kPayloadBytes = sizeof(FillAttributes) > sizeof(ParaAttributes) ? sizeof(FillAttributes)
                                                                                 : sizeof(ParaAttributes);
// Payload of the objects of a scene: their body, and at least this.
constexpr size_t kSmallestPayload = 64;
// Shift_JIS: lead bytes 0x81-0x9F and 0xE0-0xFC, trail bytes 0x40-0xFC.
constexpr uint32_t kTrailFirst = 0x40;
constexpr uint32_t kTrailCount = 0xFC - 0x40 + 1;
constexpr uint32_t kLeadCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);

BenchHost* owner(HostServices* services) { return reinterpret_cast<ServicesTable*>(services)->owner; }
BenchHost* owner(HostSession* session) { return reinterpret_cast<SessionTable*>(session)->owner; }

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "bench host: %s\n", what);
    std::abort();
}

bool isShiftJisLead(uint32_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

uint32_t shiftJisLeadIndex(uint32_t byte) { return byte <= 0x9F ? byte - 0x81 : byte - 0xE0 + (0x9F - 0x81 + 1); }

// The unit iconv gives for `length` bytes in `encoding`, 0 when there is none.
uint16_t unitOf(iconv_t cd, const unsigned char* bytes, size_t length) {
    char in[2] = {static_cast<char>(bytes[0]), length > 1 ? static_cast<char>(bytes[1]) : '\0'};
    unsigned char out[8];
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = length;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || sizeof out - outLeft != 2)
        return 0;
    return static_cast<uint16_t>(out[0] | (out[1] << 8));
}

std::vector<uint16_t> windows1252Table() {
    std::vector<uint16_t> table(256);
    iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) fail("iconv cannot convert Windows-1252");
    for (uint32_t b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        table[b] = unitOf(cd, &byte, 1);
    }
    iconv_close(cd);
    return table;
}

std::vector<uint16_t> shiftJisTable() {
    std::vector<uint16_t> table(256 + kLeadCount * kTrailCount);
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) fail("iconv cannot convert CP932");
    for (uint32_t b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        if (!isShiftJisLead(b)) table[b] = unitOf(cd, &byte, 1);
    }
    for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLead(lead)) continue;
        for (uint32_t trail = kTrailFirst; trail < kTrailFirst + kTrailCount; ++trail) {
            unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            table[256 + shiftJisLeadIndex(lead) * kTrailCount + trail - kTrailFirst] = unitOf(cd, pair, 2);
        }
    }
    iconv_close(cd);
    return table;
}

// ---------------------------------------------------------------- services

void* opAllocate(HostServices* s, uint64_t size) { return owner(s)->allocate(size, false); }
void* opAllocateZeroed(HostServices* s, uint64_t count, uint64_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return owner(s)->allocate(count * size, true);
}
void* opReallocate(HostServices* s, void* block, int32_t size) { return owner(s)->reallocate(block, size); }
void opFreeBlock(HostServices* s, void* block) { owner(s)->freeBlock(block); }
HostObject* opCreateObject(HostServices* s, int32_t kind) { return owner(s)->makeObject(kind, kPayloadBytes); }
void opReleaseObject(HostServices* s, HostObject* object) { owner(s)->release(object); }
HostObject* opClone(HostServices* s, HostObject* object, int32_t) { return owner(s)->clone(object); }

int32_t opInsertObject(HostServices* s, HostListNode** position, HostObject* object, uint32_t index) {
    BenchHost* host = owner(s);
    if (position == nullptr) return 0;
    if (index == 0xFFFFFFFFu && *position == nullptr) *position = host->newNode(nullptr);
    if (*position == nullptr || (index != 0 && index != 0xFFFFFFFFu)) return 0;
    // In front of *position: at the end of the list when it is the head.
    HostListNode* before = *position;
    HostListNode* node = host->newNode(object);
    node->prev = before->prev;
    node->next = before;
    before->prev->next = node;
    before->prev = node;
    if (index == 0) *position = node;
    return 1;
}

HostObject* opPopObject(HostServices* s, HostListNode** list, int32_t) {
    if (list == nullptr || *list == nullptr) return nullptr;
    HostListNode* head = *list;
    HostListNode* first = head->next;
    if (first == head) return nullptr;
    head->next = first->next;
    first->next->prev = head;
    HostObject* object = first->object;
    owner(s)->freeNode(first);
    return object;
}

void opFreeList(HostServices* s, HostListNode* head) {
    if (head == nullptr) return;
    BenchHost* host = owner(s);
    HostListNode* node = head->next;
    while (node != head) {
        HostListNode* next = node->next;
        if (node->object != nullptr) host->release(node->object);
        host->freeNode(node);
        node = next;
    }
    host->freeNode(head);
}

int32_t opSplitText(HostServices* s, HostListNode* node, int64_t, int64_t byteOffset) {
    return owner(s)->splitText(node, byteOffset);
}

PointList* opNewPointList(HostServices* s, uint32_t count) { return owner(s)->newPointList(count); }
void opFreePointList(HostServices* s, PointList* list) { owner(s)->freePointList(list); }
HostTransform* opCurrentTransform(HostServices*, uint64_t) { return nullptr; }

int32_t opRegisterDriver(HostServices*, TargetParams*, DriverContext* context) {
    context->hostHandle = 1;
    return 1;
}
int32_t opInstallHandler(HostServices*, uint64_t, int32_t, void*) { return 1; }
int32_t opSetRegistrationFlag(HostServices*, uint64_t, int32_t, int32_t) { return 1; }
int32_t opSetTargetPictureHandler(HostServices*, uint64_t, SetTrgPictureFn) { return 1; }
int32_t opRegistrationStep(HostServices*, uint64_t) { return 1; }
int32_t opUnregisterDriver(HostServices*, DriverContext*) { return 1; }

// ---------------------------------------------------------------- session

int32_t opConvertToUnits(HostSession* s, const TextSpan* source, TextSpan* target, int32_t replacement, int32_t) {
    return owner(s)->convertToUnits(source, target, replacement);
}

// Terms of the search request, from Windows-1252 into the session's
// currentEncoding: 16-bit units through the table, Shift_JIS for the ASCII
// the terms hold. Without a target buffer only the length is given.
int32_t opConvertText(HostSession* s, int32_t fromEncoding, const TextSpan* source, TextSpan* target,
                      int32_t replacement) {
    return owner(s)->convertTerm(fromEncoding, source, target, replacement);
}

void* opAllocSessionBlock(HostSession* s, void*, uint64_t size) { return owner(s)->allocate(size, false); }
void opFreeSessionBlock(HostSession* s, void*, void* block) { owner(s)->freeBlock(block); }

// The font system: one measuring context, fonts that are tokens, every face
// realised as asked.
char gMeasureContext;
char gFontToken;
int32_t opMapFontEncoding(HostSession* s, FontDescriptor* font) {
    font->charSet = s->currentEncoding == kEncodingShiftJis ? 128 : 0;
    return 1;
}
void* opCreateMeasureContext(HostSession*, int32_t) { return &gMeasureContext; }
void* opSelectObject(HostSession*, void*, void*) { return nullptr; }
int32_t opDeleteObject(HostSession*, void*) { return 1; }
void* opCreateFont(HostSession*, const FontDescriptor*) { return &gFontToken; }
int32_t opGetTextFace(HostSession*, void*, int32_t size, char* buffer) {
    static const char kFace[] = "Times New Roman";
    if (size < static_cast<int32_t>(sizeof kFace)) return 0;
    std::memcpy(buffer, kFace, sizeof kFace);
    return static_cast<int32_t>(sizeof kFace - 1);
}
int32_t opGetTextMetrics(HostSession*, void*, TextMetrics* metrics) {
    std::memset(metrics, 0, sizeof(TextMetrics));
    return 1;
}

int32_t opIsLeadByte(HostSession*, uint32_t byte, int32_t encoding) {
    if (encoding == kEncodingUnits) return 1;
    return encoding == kEncodingShiftJis && isShiftJisLead(byte) ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------- arena

void* Arena::take(size_t bytes) {
    bytes = (bytes + 15) & ~size_t{15};
    if (bytes > kChunkBytes) fail("an object larger than an arena chunk");
    if (chunks_.empty() || used_ + bytes > kChunkBytes) {
        if (!chunks_.empty()) ++chunk_;
        if (chunk_ == chunks_.size()) chunks_.push_back(std::make_unique<unsigned char[]>(kChunkBytes));
        used_ = 0;
    }
    void* memory = chunks_[chunk_].get() + used_;
    used_ += bytes;
    return memory;
}

void Arena::reset() {
    chunk_ = 0;
    used_ = 0;
}

// ---------------------------------------------------------------- host

BenchHost::BenchHost(int32_t pixels, int32_t units)
    : cp1252_(windows1252Table()), shiftJis_(shiftJisTable()) {
    services_.owner = this;
    session_.owner = this;
    HostServices& t = services_.table;
    t.allocate = opAllocate;
    t.allocateZeroed = opAllocateZeroed;
    t.reallocate = opReallocate;
    t.freeBlock = opFreeBlock;
    t.createObject = opCreateObject;
    t.releaseObject = opReleaseObject;
    t.insertObject = opInsertObject;
    t.popObject = opPopObject;
    t.freeList = opFreeList;
    t.splitText = opSplitText;
    t.newPointList = opNewPointList;
    t.freePointList = opFreePointList;
    t.currentTransform = opCurrentTransform;
    t.registerDriver = opRegisterDriver;
    t.installHandler = opInstallHandler;
    t.setRegistrationFlag = opSetRegistrationFlag;
    t.setTargetPictureHandler = opSetTargetPictureHandler;
    t.registrationStepA = opRegistrationStep;
    t.registrationStepB = opRegistrationStep;
    t.registrationStepC = opRegistrationStep;
    t.unregisterDriver = opUnregisterDriver;

    HostSession& session = session_.table;
    session.currentEncoding = kEncodingWestern;
    session.convertToUnits = opConvertToUnits;
    session.convertText = opConvertText;
    session.isLeadByte = opIsLeadByte;
    session.sessionAllocator = this;
    session.allocSessionBlock = opAllocSessionBlock;
    session.freeSessionBlock = opFreeSessionBlock;
    session.mapFontEncoding = opMapFontEncoding;
    session.createMeasureContext = opCreateMeasureContext;
    session.selectObject = opSelectObject;
    session.deleteObject = opDeleteObject;
    session.createFont = opCreateFont;
    session.getTextFace = opGetTextFace;
    session.getTextMetrics = opGetTextMetrics;

    info_.pixelWidth = pixels;
    info_.pixelHeight = pixels;
    params_.targetInfo = &info_;
    params_.hostServices = &services_.table;
    params_.hostSession = &session;
    params_.colourMode = kColourModeDirect;
    params_.sizeX = pixels / 96.0;
    params_.sizeY = pixels / 96.0;
    params_.sourceFrame[2] = units;
    params_.sourceFrame[3] = units;
}

BenchHost::~BenchHost() {
    for (PointList* list : lastingLists_) std::free(list);
    for (PointList* list : spareQuads_) std::free(list);
}

void* BenchHost::allocate(uint64_t size, bool zeroed) {
    if (size > SIZE_MAX - kBlockHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(zeroed ? std::calloc(1, size + kBlockHeader)
                                                     : std::malloc(size + kBlockHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    tally_.blockCalls += 1;
    tally_.liveBytes += static_cast<int64_t>(size);
    if (tally_.liveBytes > tally_.peakBytes) tally_.peakBytes = tally_.liveBytes;
    return block + kBlockHeader;
}

void* BenchHost::reallocate(void* block, int32_t size) {
    if (size < 0) return nullptr;
    if (block == nullptr) return allocate(static_cast<uint64_t>(size), false);
    unsigned char* start = static_cast<unsigned char*>(block) - kBlockHeader;
    uint64_t old = 0;
    std::memcpy(&old, start, sizeof old);
    auto* grown = static_cast<unsigned char*>(std::realloc(start, static_cast<size_t>(size) + kBlockHeader));
    if (grown == nullptr) return nullptr;
    auto now = static_cast<uint64_t>(size);
    std::memcpy(grown, &now, sizeof now);
    tally_.blockCalls += 1;
    tally_.liveBytes += static_cast<int64_t>(now) - static_cast<int64_t>(old);
    if (tally_.liveBytes > tally_.peakBytes) tally_.peakBytes = tally_.liveBytes;
    return grown + kBlockHeader;
}

void BenchHost::freeBlock(void* block) {
    if (block == nullptr) return;
    unsigned char* start = static_cast<unsigned char*>(block) - kBlockHeader;
    uint64_t size = 0;
    std::memcpy(&size, start, sizeof size);
    tally_.liveBytes -= static_cast<int64_t>(size);
    std::free(start);
}

HostObject* BenchHost::makeObject(int32_t kind, size_t payload) {
    auto* object = static_cast<HostObject*>(arena_.take(sizeof(HostObject) + payload));
    std::memset(object, 0, sizeof(HostObject) + payload);
    object->kind = kind;
    object->clone = opClone;
    object->hostOwn = payload;
    tally_.objectsMade += 1;
    return object;
}

HostObject* BenchHost::object(int32_t kind, const void* body, size_t size) {
    HostObject* made = makeObject(kind, size > kSmallestPayload ? size : kSmallestPayload);
    std::memcpy(reinterpret_cast<unsigned char*>(made) + kHostObjectPayloadOffset, body, size);
    return made;
}

HostObject* BenchHost::clone(const HostObject* object) {
    auto payload = static_cast<size_t>(object->hostOwn);
    HostObject* copy = makeObject(object->kind, payload);
    std::memcpy(copy, object, sizeof(HostObject) + payload);
    return copy;
}

void BenchHost::release(HostObject*) { tally_.objectsReleased += 1; }

PointList* BenchHost::lastingPointList(std::span<const PointPair> points) {
    size_t bytes = offsetof(PointList, points) + points.size() * sizeof(PointPair);
    auto* list = static_cast<PointList*>(std::malloc(bytes));
    list->count = static_cast<uint32_t>(points.size());
    std::memcpy(list->points, points.data(), points.size() * sizeof(PointPair));
    lastingLists_.push_back(list);
    pointListBytes_ += bytes;
    return list;
}

PointList* BenchHost::newPointList(uint32_t count) {
    tally_.pointLists += 1;
    if (count == kQuadPoints && !spareQuads_.empty()) {
        PointList* list = spareQuads_.back();
        spareQuads_.pop_back();
        return list;
    }
    size_t bytes = offsetof(PointList, points) + static_cast<size_t>(count) * sizeof(PointPair);
    auto* list = static_cast<PointList*>(std::calloc(1, bytes));
    if (list != nullptr) list->count = count;
    return list;
}

void BenchHost::freePointList(PointList* list) {
    if (list == nullptr) return;
    if (list->count == kQuadPoints) {
        spareQuads_.push_back(list);
    } else {
        std::free(list);
    }
}

HostListNode* BenchHost::newNode(HostObject* object) {
    if (spareNodes_.empty()) {
        nodeChunks_.push_back(std::make_unique<HostListNode[]>(kNodesPerChunk));
        for (size_t i = 0; i < kNodesPerChunk; ++i) spareNodes_.push_back(&nodeChunks_.back()[i]);
    }
    HostListNode* node = spareNodes_.back();
    spareNodes_.pop_back();
    node->next = node;
    node->prev = node;
    node->object = object;
    return node;
}

void BenchHost::freeNode(HostListNode* node) { spareNodes_.push_back(node); }

// The node's text string keeps the bytes before `byteOffset`; a copy that
// holds the rest is linked right after it. The texts stay where they are.
int32_t BenchHost::splitText(HostListNode* node, int64_t byteOffset) {
    HostObject* object = node->object;
    if (object == nullptr || object->kind != kKindTextString) return 0;
    auto* body = reinterpret_cast<TextStringData*>(reinterpret_cast<unsigned char*>(object) + kHostObjectPayloadOffset);
    if (byteOffset < 0 || byteOffset > body->byteLength) return 0;
    HostObject* rest = clone(object);
    auto* restBody = reinterpret_cast<TextStringData*>(reinterpret_cast<unsigned char*>(rest) + kHostObjectPayloadOffset);
    restBody->text = body->text + byteOffset;
    restBody->byteLength = body->byteLength - byteOffset;
    body->byteLength = byteOffset;
    HostListNode* position = node->next;
    HostListNode* inserted = newNode(rest);
    inserted->prev = node;
    inserted->next = position;
    node->next = inserted;
    position->prev = inserted;
    return 1;
}

// Windows-1252 and Shift_JIS through the tables; bytes without a unit give
// the replacement character.
int32_t BenchHost::convertToUnits(const TextSpan* source, TextSpan* target, int32_t replacement) {
    int32_t encoding = session_.table.currentEncoding;
    bool shiftJis = encoding == kEncodingShiftJis;
    if (!shiftJis && encoding != kEncodingWestern) fail("the scenes convert only from Western and Shift_JIS text");
    bool bigEndian = params_.bigEndianText != 0;
    const uint8_t* in = source->bytes;
    uint32_t inLeft = source->count;
    auto* out = const_cast<uint8_t*>(target->bytes);
    uint32_t capacity = target->count;
    uint32_t produced = 0;
    while (inLeft > 0) {
        uint32_t byte = *in;
        uint16_t unit = 0;
        uint32_t width = 1;
        if (!shiftJis) {
            unit = cp1252_[byte];
        } else if (!isShiftJisLead(byte)) {
            unit = shiftJis_[byte];
        } else if (inLeft > 1 && in[1] >= kTrailFirst && in[1] < kTrailFirst + kTrailCount) {
            unit = shiftJis_[256 + shiftJisLeadIndex(byte) * kTrailCount + in[1] - kTrailFirst];
            width = 2;
        }
        if (unit == 0 && byte != 0) unit = static_cast<uint16_t>(replacement);
        if (produced + 2 > capacity) return 0;
        out[produced + (bigEndian ? 1 : 0)] = static_cast<uint8_t>(unit & 0xFF);
        out[produced + (bigEndian ? 0 : 1)] = static_cast<uint8_t>(unit >> 8);
        produced += 2;
        in += width;
        inLeft -= width;
    }
    target->count = produced;
    return 1;
}

int32_t BenchHost::convertTerm(int32_t fromEncoding, const TextSpan* source, TextSpan* target, int32_t replacement) {
    int32_t encoding = session_.table.currentEncoding;
    if (fromEncoding != kEncodingWestern || (encoding != kEncodingUnits && encoding != kEncodingShiftJis))
        fail("the scenes convert terms only from Windows-1252 into 16-bit units or Shift_JIS");
    uint32_t width = encoding == kEncodingUnits ? 2 : 1;
    uint32_t needed = source->count * width;
    if (target->bytes != nullptr) {
        if (target->count < needed) return 0;
        auto* out = const_cast<uint8_t*>(target->bytes);
        for (uint32_t i = 0; i < source->count; ++i) {
            uint32_t byte = source->bytes[i];
            if (encoding == kEncodingShiftJis) {
                out[i] = static_cast<uint8_t>(byte < 0x80 ? byte : static_cast<uint32_t>(replacement));
                continue;
            }
            uint16_t unit = cp1252_[byte] != 0 || byte == 0 ? cp1252_[byte] : static_cast<uint16_t>(replacement);
            bool bigEndian = params_.bigEndianText != 0;
            out[2 * i + (bigEndian ? 1 : 0)] = static_cast<uint8_t>(unit & 0xFF);
            out[2 * i + (bigEndian ? 0 : 1)] = static_cast<uint8_t>(unit >> 8);
        }
    }
    target->count = needed;
    return 1;
}

void BenchHost::beginRun() {
    if (tally_.objectsMade != tally_.objectsReleased) fail("a run left objects live");
    arena_.reset();
    tally_.blockCalls = 0;
    tally_.objectsMade = 0;
    tally_.objectsReleased = 0;
    tally_.pointLists = 0;
}

}  // namespace benchhost
