// BlockCache: heap blocks of about one size kept per thread for reuse.
// Translating a message makes and drops hundreds of short strings and
// values; handing each block back to the heap and asking for it again is
// several times slower at this churn than keeping it. Every kept block is
// a plain heap block (any block at least kBlockSize bytes and not much
// larger), so that code which frees one with free() stays right. The
// sanitizer builds go to the heap every time, so that a use after release is
// still caught. Tested by base/block_cache_test.cpp.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define __SANITIZE_ADDRESS__ 1
#endif
#endif

template <size_t kBlockSize, int kKept>
class BlockCache {
  public:
    // A kept block, else a new heap block of kBlockSize bytes (null when the
    // heap has none).
    static void* Allocate() {
        void* block = Take();
        return block != nullptr ? block : malloc(kBlockSize);
    }
    // Keeps block, else hands it back to the heap; null is let be.
    static void Release(void* block) {
        if (block != nullptr && !Keep(block)) free(block);
    }

#if defined(__SANITIZE_ADDRESS__)
    static void* Take() {
        return nullptr;
    }
    static bool Keep(void*) {
        return false;
    }
    static bool KeepSized(void*) {
        return false;
    }
#else
    // A kept block, or null when none is.
    static void* Take() {
        Cache& cache = local;
        return cache.count > 0 ? cache.blocks[--cache.count] : nullptr;
    }
    // Keeps block when it is of the size and there is room; false: the
    // caller frees it.
    static bool Keep(void* block) {
        if (block == nullptr) return false;
        size_t usable = malloc_usable_size(block);
        return usable >= kBlockSize && usable <= kBlockSize + 64 && KeepSized(block);
    }
    // Keep for a block that the caller knows to be a heap block of
    // kBlockSize bytes, as malloc or realloc made it.
    static bool KeepSized(void* block) {
        Cache& cache = local;
        if (block == nullptr || cache.count < 0 || cache.count >= kKept) return false;
        if (cache.count == 0) releaser.Arm();
        cache.blocks[cache.count++] = block;
        return true;
    }

  private:
    // Plain data, so that blocks released after the thread's destructors
    // ran still find it (count -1: keep nothing any more).
    struct Cache {
        void* blocks[kKept];
        int count;
    };
    // Hands the kept blocks back to the heap when the thread ends.
    struct Releaser {
        bool armed = false;
        void Arm() { armed = true; }
        ~Releaser() {
            while (local.count > 0) free(local.blocks[--local.count]);
            local.count = -1;
        }
    };
    static inline thread_local Cache local = {{}, 0};
    static inline thread_local Releaser releaser;
#endif
};
