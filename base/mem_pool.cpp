// MemPool: size-class block pool. Tested by base/mem_pool_test.cpp.
//
// Every block is laid out as [room][caller's bytes], the last byte of the
// room being the header byte. The room keeps the caller's address aligned for
// any type, and for a block taken straight from the heap it records the
// caller's size so that Realloc knows how much to copy. A class block holds
// nMemSize - 1 caller bytes.
#include "base/mem_pool.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/otstr.h"
#include "base/tracer.h"

namespace {

const char kMallocError[] = "MemPool malloc err";
const char kReallocError[] = "MemPool realloc fail";
const char kInitBusy[] = "MemPool::Init() fail, blocks still in use !";
const char kClassLeak[] = "MemblockList destruct found err, nMemSize=%ld, nActiveMemNum=%ld";

// Bytes in front of the caller's address; the header byte is the last one.
const size_t kRoom = alignof(std::max_align_t);
static_assert(kRoom >= sizeof(size_t) + 1, "room must hold a size and the header byte");

unsigned char* RawOf(void* block) {
    return static_cast<unsigned char*>(block) - kRoom;
}

void* BlockOf(void* raw) {
    return static_cast<unsigned char*>(raw) + kRoom;
}

unsigned HeaderOf(const void* block) {
    return static_cast<const unsigned char*>(block)[-1];
}

}  // namespace

MemSizeClass::~MemSizeClass() {
    if (nActiveMemNum != 0) {
        OTSTR text;
        text.Format(kClassLeak, static_cast<long>(nMemSize), static_cast<long>(nActiveMemNum));
        TraceText(text.GetBuffer(0));
    }
    while (!IsEmpty()) free(RemoveHead());
}

MemPool::MemPool() {
    Init(5, 8);
}

MemPool::~MemPool() {
    DestroyClasses();
}

void MemPool::DestroyClasses() {
    delete[] classes;
    classes = nullptr;
    classCount = 0;
}

bool MemPool::Init(int32_t newShift, int32_t newClassCount) {
    if (newShift < 1 || newShift > 20 || newClassCount < 1 || newClassCount > 254) return false;
    if (classes != nullptr && newShift == shift && newClassCount == classCount) return true;
    bool busy = bigCount != 0;
    for (int i = 0; i < classCount; ++i) busy = busy || classes[i].nActiveMemNum != 0;
    if (busy) {
        TraceText(kInitBusy);
        return false;
    }
    DestroyClasses();
    shift = newShift;
    classes = new (std::nothrow) MemSizeClass[newClassCount];
    if (classes == nullptr) {
        // Without classes every block comes from the heap.
        TraceText(kMallocError);
        return false;
    }
    classCount = newClassCount;
    for (int i = 0; i < classCount; ++i) classes[i].nMemSize = (1 << shift) * (i + 1);
    return true;
}

void* MemPool::Alloc(int32_t size, bool zeroFill) {
    if (size < 0) {
        TraceText(kMallocError);
        return nullptr;
    }
    int64_t need = static_cast<int64_t>(size) + 1;
    int64_t c = need >> shift;
    void* block = nullptr;
    if (c < classCount) {
        MemSizeClass& sizeClass = classes[c];
        void* raw = sizeClass.RemoveTail();
        if (raw == nullptr) {
            raw = malloc(kRoom - 1 + static_cast<size_t>(sizeClass.nMemSize));
            if (raw == nullptr) {
                TraceText(kMallocError);
                return nullptr;
            }
        }
        block = BlockOf(raw);
        static_cast<unsigned char*>(block)[-1] = static_cast<unsigned char>(c);
        ++sizeClass.nActiveMemNum;
    } else {
        unsigned char* raw = static_cast<unsigned char*>(malloc(kRoom + static_cast<size_t>(size)));
        if (raw == nullptr) {
            TraceText(kMallocError);
            return nullptr;
        }
        const size_t userBytes = static_cast<size_t>(size);
        memcpy(raw, &userBytes, sizeof userBytes);
        block = BlockOf(raw);
        static_cast<unsigned char*>(block)[-1] = static_cast<unsigned char>(classCount + 1);
        ++bigCount;
    }
    if (zeroFill) memset(block, 0, static_cast<size_t>(size));
    return block;
}

void MemPool::Free(void* block) {
    if (block == nullptr) return;
    unsigned c = HeaderOf(block);
    unsigned char* raw = RawOf(block);
    if (c < static_cast<unsigned>(classCount)) {
        MemSizeClass& sizeClass = classes[c];
        --sizeClass.nActiveMemNum;
        // Beyond what the list may keep, or when it cannot take a node, the
        // block goes back to the heap.
        int before = sizeClass.GetCount();
        if (before >= sizeClass.GetMaxFree() || sizeClass.AddTail(raw) == before) free(raw);
        return;
    }
    free(raw);
    --bigCount;
}

void* MemPool::Realloc(void* block, int32_t newSize) {
    void* moved = Alloc(newSize, false);
    if (moved == nullptr) {
        TraceText(kReallocError);
        return block;
    }
    if (block == nullptr) return moved;
    size_t oldBytes = static_cast<size_t>(Capacity(block));
    size_t copy = oldBytes < static_cast<size_t>(newSize) ? oldBytes : static_cast<size_t>(newSize);
    memcpy(moved, block, copy);
    Free(block);
    return moved;
}

int32_t MemPool::Capacity(const void* block) const {
    if (block == nullptr) return 0;
    unsigned c = HeaderOf(block);
    if (c < static_cast<unsigned>(classCount)) return classes[c].nMemSize - 1;
    size_t bytes = 0;
    memcpy(&bytes, RawOf(const_cast<void*>(block)), sizeof bytes);
    return static_cast<int32_t>(bytes);
}

int MemPool::GetClassSize(int index) const {
    return index >= 0 && index < classCount ? classes[index].nMemSize : 0;
}

int MemPool::GetActiveCount(int index) const {
    return index >= 0 && index < classCount ? classes[index].nActiveMemNum : 0;
}

int MemPool::GetFreeBlockCount(int index) const {
    return index >= 0 && index < classCount ? classes[index].GetCount() : 0;
}
