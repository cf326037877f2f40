// Counts every heap block the benchmark program asks for: malloc, calloc
// and realloc go through the counter (operator new and the engine's strings
// end in malloc too). Include it in one source file of a benchmark program.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

namespace bench {
inline std::atomic<uint64_t> allocations{0};

// The blocks asked for so far.
inline uint64_t AllocationCount() {
    return allocations.load(std::memory_order_relaxed);
}
}  // namespace bench

extern "C" void* malloc(size_t n) {
    bench::allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void* calloc(size_t n, size_t size) {
    bench::allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t n) {
    bench::allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
