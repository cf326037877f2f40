// MemPool: a pool of memory blocks in size classes of (1 << shift) x (i + 1)
// bytes, each block marked by a header byte in front of the caller's bytes.
// Tested by base/mem_pool_test.cpp.
#pragma once

#include <cstdint>

#include "base/memblock_list.h"

// One size class: the list of its free blocks, the block size (header byte
// included) and the number of blocks handed out and not yet returned.
class MemSizeClass : public MemblockList {
  public:
    MemSizeClass() : MemblockList(32000) {}
    // Reports blocks still out, then frees every block it holds.
    ~MemSizeClass() override;

    int32_t nMemSize = 0;
    int32_t nActiveMemNum = 0;
};

class MemPool {
  public:
    // Builds the default classes, Init (5, 8): 32, 64, ... 256 bytes.
    MemPool();
    MemPool(const MemPool&) = delete;
    MemPool& operator=(const MemPool&) = delete;

    // Rebuilds the classes for shift 1..20 and 1..254 classes; true at once
    // when neither changes. Refused (false) while blocks are still out,
    // because their header bytes name classes of the old layout.
    virtual bool Init(int32_t shift, int32_t classCount);
    // A block of at least size bytes, cleared when zeroFill is set; null when
    // size is negative or memory runs out.
    virtual void* Alloc(int32_t size, bool zeroFill = false);
    // Returns a block of this pool; null is ignored.
    virtual void Free(void* block);
    // Moves the contents (as many bytes as both blocks hold) to a block of
    // newSize bytes and frees the old one. When no new block can be had the
    // old block is returned unchanged. A null block is a plain Alloc.
    virtual void* Realloc(void* block, int32_t newSize);
    // How many bytes a block of this pool holds: a class block its class
    // size less the header byte, a heap block the size asked for; 0 for null.
    int32_t Capacity(const void* block) const;
    virtual ~MemPool();

    int GetShift() const { return shift; }
    int GetClassCount() const { return classCount; }
    int GetBigCount() const { return bigCount; }
    // Per-class figures; 0 for an index out of range.
    int GetClassSize(int index) const;
    int GetActiveCount(int index) const;
    int GetFreeBlockCount(int index) const;

  private:
    void DestroyClasses();

    MemSizeClass* classes = nullptr;
    int32_t bigCount = 0;
    int32_t shift = 0;
    int32_t classCount = 0;
};
