#include "fuzz/object_stream_fuzzer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <javtrg/host_services.h>
#include "host/reference_host.h"

namespace javfuzz {

namespace {

// Reads the fuzzer's bytes front to back; past the end everything is zero.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool done() const { return at >= size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
        return v;
    }
    // An "interesting" 32-bit value: small, extreme or raw.
    int32_t coordinate() {
        switch (byte() % 8) {
            case 0: return INT32_MIN;
            case 1: return INT32_MAX;
            case 2: return 0;
            case 3: return static_cast<int32_t>(byte()) - 128;
            default: return static_cast<int32_t>(u32());
        }
    }
    std::vector<uint8_t> bytes(size_t n) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n && !done(); ++i) out.push_back(byte());
        return out;
    }
};

constexpr int32_t kKinds[] = {1,  4,  7,  8,  10, 11, 12, 13, 16, 18, 19, 20, 22, 27, 28, 29, 30, 32,
                              34, 37, 38, 39, 40, 41, 42, 45, 46, 47, 48, 0,  49, -1};

void put32(HostObject* o, size_t offset, int32_t v) { std::memcpy(reinterpret_cast<char*>(o) + offset, &v, 4); }
void put64(HostObject* o, size_t offset, int64_t v) { std::memcpy(reinterpret_cast<char*>(o) + offset, &v, 8); }

// A text the object owns, with its length field set within the bytes.
void attachText(refhost::ReferenceHost& host, HostObject* o, Reader& in, size_t textOffset, size_t lengthOffset) {
    if (in.byte() % 4 == 0) {
        put64(o, textOffset, 0);
        return;
    }
    std::vector<uint8_t> text = in.bytes(in.byte() % 64);
    host.attachBlock(o, static_cast<int32_t>(textOffset), text.data(), text.size(), 2);
    int64_t length = static_cast<int64_t>(in.byte() % 4 == 0 ? 0 : text.size());
    put64(o, lengthOffset, length);
}

PointList* attachPoints(refhost::ReferenceHost& host, HostObject* o, Reader& in, size_t offset) {
    uint32_t count = in.byte() % 24;
    std::vector<int32_t> values(2 * count + 1);
    values[0] = static_cast<int32_t>(count);
    for (uint32_t i = 0; i < 2 * count; ++i) values[i + 1] = in.coordinate();
    auto* list = static_cast<PointList*>(
        host.attachBlock(o, static_cast<int32_t>(offset), values.data(), values.size() * 4));
    return list;
}

HostObject* buildObject(refhost::ReferenceHost& host, Reader& in, int depth) {
    int32_t kind = kKinds[in.byte() % (sizeof kKinds / sizeof kKinds[0])];
    HostObject* o = host.newObject(kind, 400);
    // Payload: coordinates everywhere, then the references made valid.
    for (size_t offset = 24; offset < 24 + 96; offset += 4) put32(o, offset, in.coordinate());
    switch (kind) {
        case 4: put64(o, 32, 0); attachPoints(host, o, in, 32); break;
        case 8: put64(o, 24, 0); attachPoints(host, o, in, 24); break;
        case 7:
        case 16: {
            uint32_t count = in.byte() % 11;
            std::vector<int32_t> pts(2 * count);
            for (int32_t& v : pts) v = static_cast<int32_t>(in.byte()) * 10 - 1280;
            put32(o, 24, static_cast<int32_t>(count));
            host.attachBlock(o, 32, pts.data(), pts.size() * 4);
            break;
        }
        case 27:
            put64(o, 32, 0);
            if (depth < 2 && in.byte() % 2 == 0) host.attachObject(o, 32, buildObject(host, in, depth + 1));
            break;
        case 32: {
            put64(o, 32, 0);
            int32_t count = static_cast<int32_t>(in.byte() % 6) - 1;
            std::vector<int32_t> table(1 + static_cast<size_t>(std::max(count, 0)));
            table[0] = count;
            for (size_t i = 1; i < table.size(); ++i) table[i] = static_cast<int32_t>(in.u32());
            host.attachBlock(o, 32, table.data(), table.size() * 4);
            break;
        }
        case 37: {
            put64(o, 32, 0);
            if (in.byte() % 3 != 0) {
                int32_t v[4] = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
                host.attachBlock(o, 32, v, sizeof v);
            }
            break;
        }
        case 30: {
            put64(o, 56, 0);
            if (in.byte() % 3 != 0) {
                std::vector<uint8_t> font = in.bytes(132);
                font.resize(132);
                host.attachBlock(o, 56, font.data(), font.size());
            }
            break;
        }
        case 18: attachText(host, o, in, 48, 56); put32(o, 64, static_cast<int32_t>(in.byte() % 60)); break;
        case 19: attachText(host, o, in, 32, 40); put32(o, 48, static_cast<int32_t>(in.byte() % 60)); break;
        case 41: attachText(host, o, in, 32, 40); put32(o, 48, static_cast<int32_t>(in.byte() % 60)); break;
        case 42: attachText(host, o, in, 24, 40); put32(o, 48, static_cast<int32_t>(in.byte() % 60)); break;
        default: break;
    }
    return o;
}

}  // namespace

bool runPicture(const uint8_t* data, size_t size) {
    Reader in{data, size};
    refhost::ReferenceHost host;
    TargetParams* p = host.params();
    p->colourMode = in.byte() % 2 == 0 ? 4 : 0;
    p->bigEndianText = in.byte() % 2;
    for (int32_t& v : p->sourceFrame) v = in.coordinate();
    p->sizeX = static_cast<double>(in.byte() % 5);
    p->sizeY = static_cast<double>(in.byte() % 5);
    host.useTargetInfo(in.byte() % 2 == 0);
    host.info()->pixelWidth = static_cast<int32_t>(in.byte());
    host.info()->pixelHeight = static_cast<int32_t>(in.byte());
    host.session()->currentEncoding = static_cast<int32_t>(in.byte() % 60);
    // A search for up to three short terms of the letters a to d (some
    // absent), each ended by two zero bytes, so that text boxes have hits.
    SearchRequest search{};
    std::vector<std::string> terms;
    std::vector<const char*> termPointers;
    if (in.byte() % 4 == 0) {
        static const int32_t kTermEncodings[] = {0, 7, 1, 6, 51, 53};
        search.termEncoding = kTermEncodings[in.byte() % 6];
        search.caseSensitive = in.byte() % 2;
        search.wholeWordRequested = in.byte() % 2;
        search.searchOptions = "color:#00FF00";
        for (int n = in.byte() % 4; n > 0; --n) {
            terms.emplace_back();
            for (int letters = in.byte() % 3; letters > 0; --letters) terms.back() += static_cast<char>('a' + in.byte() % 4);
            terms.back().append(2, '\0');
        }
        for (const std::string& term : terms) termPointers.push_back(in.byte() % 8 == 0 ? nullptr : term.c_str());
        search.searchTerms = termPointers.empty() ? nullptr : termPointers.data();
        search.termCount = static_cast<int32_t>(termPointers.size());
        host.session()->searchRequest = &search;
    }
    // Host failures too: one operation fails at some call.
    static const char* const kOperations[] = {"allocate",    "createObject",   "newPointList",      "clone",
                                              "insertObject", "convertToUnits", "copyPalette",       "curveToPointList",
                                              "splitText",   "convertText",    "allocSessionBlock", "createFont",
                                              "createMeasureContext", "getTextMetrics"};
    constexpr size_t kOperationCount = sizeof kOperations / sizeof kOperations[0];
    if (in.byte() % 2 == 0) host.failAt(kOperations[in.byte() % kOperationCount], 1 + in.byte() % 8, in.byte() % 2 == 0);

    refhost::MemoryStream* stream = host.memoryStream();
    DriverContext* context = startTrgJAV(&stream->base, p, 0);
    if (context != nullptr) {
        for (int i = 0; i < 64 && !in.done(); ++i) {
            putJAVobject(context, buildObject(host, in, 0));
            if (stream->writes.size() > 256) stream->writes.clear();
        }
        shutDownJAVtrg(context);
    }
    return host.liveBlocks() == 0 && host.liveObjects() == 0;
}

}  // namespace javfuzz
