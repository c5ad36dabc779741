// SPDX-License-Identifier: MIT
// A lean host for the benchmarks, written against the boundary header and
// nothing else of the driver. It implements only what the scenes need, as a
// production host would: blocks from malloc with a size word in front (to
// count the driver's live bytes), objects and the texts split off them from
// an arena that one run of a scene fills and the next run reuses, list nodes
// and four-point lists from free lists, character conversion through tables
// built with iconv when the host starts. No ledger, call log or failure
// injection: the reference host's bookkeeping would be measured with every
// host call the driver makes.
#ifndef JAVTRG_BENCH_HOST_H
#define JAVTRG_BENCH_HOST_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <javtrg/host_services.h>

namespace benchhost {

// Memory for the objects of one run: handed out in order, taken back all at
// once by reset().
class Arena {
public:
    void* take(size_t bytes);
    void reset();
    size_t reservedBytes() const { return chunks_.size() * kChunkBytes; }

private:
    static constexpr size_t kChunkBytes = size_t{4} << 20;
    std::vector<std::unique_ptr<unsigned char[]>> chunks_;
    size_t chunk_ = 0;
    size_t used_ = 0;
};

// What the driver asked of the host during the current run.
struct Tally {
    int64_t blockCalls = 0;     // allocate, allocateZeroed, reallocate
    int64_t liveBytes = 0;      // the driver's blocks not yet given back
    int64_t peakBytes = 0;      // most of them at any time since the host started
    int64_t objectsMade = 0;    // objects the scene and the driver made
    int64_t objectsReleased = 0;
    int64_t pointLists = 0;     // newPointList calls
};

class BenchHost;

struct ServicesTable {
    HostServices table;
    BenchHost* owner;
};
struct SessionTable {
    HostSession table;
    BenchHost* owner;
};

class BenchHost {
public:
    // A target of `pixels` × `pixels` for a picture of `units` × `units`
    // host units; direct colours, text in Windows-1252 by default.
    explicit BenchHost(int32_t pixels = 2000, int32_t units = 20000);
    ~BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    HostServices* services() { return &services_.table; }
    HostSession* session() { return &session_.table; }
    TargetParams* params() { return &params_; }
    Tally& tally() { return tally_; }

    // An object of this run whose body is `size` bytes copied from `body`
    // (the rest of its payload zero).
    HostObject* object(int32_t kind, const void* body, size_t size);
    // A point list that lasts as long as the host.
    PointList* lastingPointList(std::span<const PointPair> points);
    // Starts a run: the objects of the previous run are gone.
    void beginRun();
    // Memory the host holds for objects and point lists.
    size_t objectBytes() const { return arena_.reservedBytes(); }
    size_t pointListBytes() const { return pointListBytes_; }

    // Host operations (the tables call these).
    void* allocate(uint64_t size, bool zeroed);
    void* reallocate(void* block, int32_t size);
    void freeBlock(void* block);
    HostObject* makeObject(int32_t kind, size_t payload);
    HostObject* clone(const HostObject* object);
    void release(HostObject* object);
    PointList* newPointList(uint32_t count);
    void freePointList(PointList* list);
    HostListNode* newNode(HostObject* object);
    void freeNode(HostListNode* node);
    int32_t splitText(HostListNode* node, int64_t byteOffset);
    int32_t convertToUnits(const TextSpan* source, TextSpan* target, int32_t replacement);
    int32_t convertTerm(int32_t fromEncoding, const TextSpan* source, TextSpan* target, int32_t replacement);

private:
    ServicesTable services_{};
    SessionTable session_{};
    TargetParams params_{};
    TargetInfo info_{};
    Tally tally_;
    Arena arena_;
    std::vector<PointList*> lastingLists_;
    size_t pointListBytes_ = 0;
    std::vector<PointList*> spareQuads_;      // four-point lists given back
    std::vector<HostListNode*> spareNodes_;
    std::vector<std::unique_ptr<HostListNode[]>> nodeChunks_;
    std::vector<uint16_t> cp1252_;            // 256 units
    std::vector<uint16_t> shiftJis_;          // single bytes, then lead × trail
};

}  // namespace benchhost

#endif
