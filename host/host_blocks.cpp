// SPDX-License-Identifier: MIT
// The reference host's blocks: allocation, release and the ledger.
#include "host/host_blocks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace refhost {

BlockLedger::~BlockLedger() {
    for (auto& entry : blocks_) std::free(const_cast<void*>(entry.first));
}

const BlockInfo* BlockLedger::blockInfo(const void* block) const {
    auto it = blocks_.find(block);
    return it == blocks_.end() ? nullptr : &it->second;
}

void* BlockLedger::allocateBlock(size_t size, bool zeroed, const char* origin) {
    if (size > kMaxBlockSize) return nullptr;
    void* block = zeroed ? std::calloc(1, size == 0 ? 1 : size) : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) return nullptr;
    blocks_[block] = BlockInfo{size, origin};
    return block;
}

void* BlockLedger::reallocateBlock(void* block, size_t size) {
    if (block == nullptr) return allocateBlock(size, false, "reallocate");
    auto it = blocks_.find(block);
    if (it == blocks_.end()) std::abort();  // not a block of this host
    // A new block and a copy, so that the old address is never looked at
    // after it was given back.
    if (size > kMaxBlockSize) return nullptr;
    const char* origin = it->second.origin;
    void* grown = std::malloc(size == 0 ? 1 : size);
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, block, std::min(size, it->second.size));
    blocks_.erase(it);
    std::free(block);
    blocks_[grown] = BlockInfo{size, origin};
    return grown;
}

void BlockLedger::freeBlock(void* block) {
    if (block == nullptr) return;
    auto it = blocks_.find(block);
    if (it == blocks_.end()) std::abort();  // a double free or a foreign block
    blocks_.erase(it);
    std::free(block);
}

PointList* BlockLedger::newPointList(uint32_t count) {
    size_t bytes = offsetof(PointList, points) + static_cast<size_t>(count) * sizeof(PointPair);
    auto* list = static_cast<PointList*>(allocateBlock(std::max(bytes, sizeof(PointList)), true, "pointList"));
    if (list != nullptr) list->count = count;
    return list;
}

HostPalette* BlockLedger::copyPalette(const HostPalette* table) {
    if (table == nullptr) return nullptr;
    size_t count = table->count > 0 ? static_cast<size_t>(table->count) : 0;
    size_t bytes = offsetof(HostPalette, colours) + count * sizeof(uint32_t);
    auto* copy = static_cast<HostPalette*>(allocateBlock(std::max(bytes, sizeof(HostPalette)), true, "palette"));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, table, bytes);
    return copy;
}

}  // namespace refhost
