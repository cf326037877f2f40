// ObArray: the growable (pointer, tag) array. Tested by base/ob_array_test.cpp.
#include "base/ob_array.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/block_cache.h"
#include "base/tracer.h"

namespace {

const char kMallocError[] = "ObArray malloc error !";
const char kReallocError[] = "ObArray realloc error !";

const int32_t kDefaultStep = 25;

// The first blocks of arrays of the default step (most arrays: the members
// of every struct of a message, the variables of frames) are kept per
// thread for the next array.
constexpr size_t kFirstBlock = sizeof(ObItem) * kDefaultStep;
using FirstBlocks = BlockCache<kFirstBlock, 256>;

void FreeItems(ObItem* items) {
    FirstBlocks::Release(items);
}

// Plug-ins built while Add, RemoveAt and RemoveLast were not inline call
// them by name: taking their addresses keeps a copy of each in the engine.
__attribute__((used)) int (ObArray::*const keptAdd)(void*, uint32_t) = &ObArray::Add;
__attribute__((used)) void* (ObArray::*const keptRemoveAt)(int, uint32_t*) = &ObArray::RemoveAt;
__attribute__((used)) void* (ObArray::*const keptRemoveLast)(uint32_t*) = &ObArray::RemoveLast;

}  // namespace

// The block of the first step is taken at the first Add: many arrays stay
// empty all their life (the frames of calls, the members of a struct that
// fails early).
ObArray::ObArray(int32_t step) : growBy(step < 1 ? kDefaultStep : step) {
    capacity = growBy;
}

ObArray::~ObArray() {
    FreeItems(items);
}

// Moves the block to newCapacity elements; on failure the old block stays.
bool ObArray::Resize(int32_t newCapacity, const char* failMessage) {
    void* moved = realloc(items, sizeof(ObItem) * static_cast<size_t>(newCapacity));
    if (moved == nullptr) {
        TraceText(failMessage);
        return false;
    }
    items = static_cast<ObItem*>(moved);
    capacity = newCapacity;
    return true;
}

int ObArray::AddGrowing(void* ptr, uint32_t tag) {
    if (items == nullptr) {
        size_t size = sizeof(ObItem) * static_cast<size_t>(capacity);
        items = static_cast<ObItem*>(size == kFirstBlock ? FirstBlocks::Allocate() : malloc(size));
        if (items == nullptr) {
            TraceText(kMallocError);
            return count;
        }
    }
    if (count >= capacity) {
        if (capacity > INT32_MAX - growBy) {
            TraceText(kReallocError);
            return count;
        }
        if (!Resize(capacity + growBy, kReallocError)) return count;
    }
    items[count].ptr = ptr;
    items[count].tag = tag;
    return ++count;
}

ObItem& ObArray::ElementAt(int index) {
    if (index < 0 || index >= count) {
        // A caller may have written into the spare element last time.
        nullItem.ptr = nullptr;
        nullItem.tag = 0;
        return nullItem;
    }
    return items[index];
}

void* ObArray::GetLast(uint32_t* tag) const {
    return GetAt(count - 1, tag);
}

void ObArray::ShrinkIfSparse() {
    if (static_cast<int64_t>(capacity) - 2 * static_cast<int64_t>(growBy) > count) {
        Resize(capacity - growBy, kReallocError);
    }
}

void* ObArray::RemoveMoving(int index, uint32_t* tag) {
    if (index < 0 || index >= count) {
        if (tag != nullptr) *tag = 0;
        return nullptr;
    }
    void* ptr = items[index].ptr;
    if (tag != nullptr) *tag = items[index].tag;
    if (index < count - 1) {
        memmove(items + index, items + index + 1,
                sizeof(ObItem) * static_cast<size_t>(count - index - 1));
    }
    --count;
    ShrinkIfSparse();
    return ptr;
}

void ObArray::RemoveAll() {
    // A block of one step is already what a fresh array has: keep it.
    if (capacity == growBy) {
        count = 0;
        return;
    }
    FreeItems(items);
    items = nullptr;
    count = 0;
    capacity = growBy;
}

void ObArray::RemoveAll(int32_t step) {
    if (step >= 1) growBy = step;
    RemoveAll();
}

bool ObArray::SetSize(int n) {
    if (n < 0) return false;
    RemoveAll();
    for (int i = 0; i < n; ++i) {
        if (Add(nullptr, 0) != i + 1) return false;
    }
    return true;
}
