// SPDX-License-Identifier: MIT
// Blocks of the reference host and the ledger that tracks them.
//
// Every block the host hands out (through allocate, allocateZeroed and
// reallocate, as point lists, palettes, list nodes or object attachments)
// is in the ledger until it is given back; giving back a block that is not
// in it ends the process. A block belongs to whoever asked for it until it
// is freed; what is still live when the host is destroyed was leaked by its
// user, and the host frees it then so that leak checkers point at the user.
#ifndef JAVTRG_HOST_BLOCKS_H
#define JAVTRG_HOST_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include <javtrg/host_services.h>

namespace refhost {

// The largest block the host hands out; a larger request is refused
// (absent), as an embedding engine refuses sizes no picture needs.
constexpr size_t kMaxBlockSize = size_t{1} << 30;

struct BlockInfo {
    size_t size;
    const char* origin;  // who asked: "allocate", "pointList", ...
};

class BlockLedger {
public:
    BlockLedger() = default;
    ~BlockLedger();
    BlockLedger(const BlockLedger&) = delete;
    BlockLedger& operator=(const BlockLedger&) = delete;

    size_t liveBlocks() const { return blocks_.size(); }
    // The block's entry, absent for anything that is no live block.
    const BlockInfo* blockInfo(const void* block) const;

    // A block of `size` bytes, zeroed or not; absent when the size is
    // refused or memory runs out.
    void* allocateBlock(size_t size, bool zeroed, const char* origin);
    // A new block with the contents kept, the old one given back; absent
    // (the old block untouched) on failure.
    void* reallocateBlock(void* block, size_t size);
    void freeBlock(void* block);

    // Point lists and palettes are blocks too.
    PointList* newPointList(uint32_t count);
    void freePointList(PointList* list) { freeBlock(list); }
    HostPalette* copyPalette(const HostPalette* table);
    void freePalette(HostPalette* palette) { freeBlock(palette); }

protected:
    const std::unordered_map<const void*, BlockInfo>& blocks() const { return blocks_; }

private:
    std::unordered_map<const void*, BlockInfo> blocks_;
};

}  // namespace refhost

#endif
