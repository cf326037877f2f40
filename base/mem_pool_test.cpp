// Tests of MemPool (class selection, reuse, Realloc copy limits, Init) and
// ObjectPool_ (refills, accounting), with the leak reports of both.
#include "base/mem_pool.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/object_pool.h"
#include "base/tracer.h"

namespace {

unsigned HeaderByte(const void* block) {
    return static_cast<const unsigned char*>(block)[-1];
}

TEST(MemPoolTest, SizeSelectsTheClassAndFreedBlocksAreReused) {
    MemPool pool;
    // Class 0 serves sizes 0..30, class 1 31..62, class 7 up to 254; -1: heap.
    const struct {
        int32_t size;
        int cls;
    } cases[] = {{0, 0}, {30, 0}, {31, 1}, {62, 1}, {63, 2}, {254, 7}, {255, -1}, {5000, -1}};
    for (const auto& c : cases) {
        void* block = pool.Alloc(c.size, true);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
        EXPECT_EQ(HeaderByte(block), c.cls >= 0 ? static_cast<unsigned>(c.cls) : 9u) << c.size;
        EXPECT_EQ(c.cls >= 0 ? pool.GetActiveCount(c.cls) : pool.GetBigCount(), 1) << c.size;
        for (int32_t i = 0; i < c.size; ++i) ASSERT_EQ(static_cast<char*>(block)[i], 0);
        memset(block, 0x5a, static_cast<size_t>(c.size));  // ASan checks the bounds
        pool.Free(block);
        EXPECT_EQ(c.cls >= 0 ? pool.GetActiveCount(c.cls) : pool.GetBigCount(), 0) << c.size;
    }
    void* a = pool.Alloc(40);
    pool.Free(a);
    pool.Free(nullptr);
    EXPECT_EQ(pool.GetFreeBlockCount(1), 1);
    EXPECT_EQ(pool.Alloc(50), a);
    pool.Free(a);
}

TEST(MemPoolTest, ReallocCopiesWhatBothBlocksHold) {
    MemPool pool;
    const struct {
        int32_t oldSize, newSize, kept;
    } cases[] = {{10, 100, 10}, {100, 10, 10}, {300, 20, 20}, {300, 400, 300}, {20, 1000, 20}};
    for (const auto& c : cases) {
        auto* old = static_cast<unsigned char*>(pool.Alloc(c.oldSize));
        for (int32_t i = 0; i < c.oldSize; ++i) old[i] = static_cast<unsigned char>(i + 1);
        auto* moved = static_cast<unsigned char*>(pool.Realloc(old, c.newSize));
        ASSERT_NE(moved, nullptr);
        for (int32_t i = 0; i < c.kept; ++i) ASSERT_EQ(moved[i], static_cast<unsigned char>(i + 1));
        memset(moved, 0, static_cast<size_t>(c.newSize));
        pool.Free(moved);
    }
    for (int k = 0; k < 8; ++k) EXPECT_EQ(pool.GetActiveCount(k), 0);
    EXPECT_EQ(pool.GetBigCount(), 0);
    void* fresh = pool.Realloc(nullptr, 12);
    EXPECT_EQ(pool.Realloc(fresh, -1), fresh);  // a failed Realloc keeps the old block
    EXPECT_EQ(pool.GetActiveCount(0), 1);
    pool.Free(fresh);
}

TEST(MemPoolTest, InitChecksItsArgumentsAndBlocksStillOut) {
    MemPool pool;
    const struct {
        int32_t shift, classCount;
        bool ok;
    } cases[] = {{0, 8, false}, {21, 8, false},  {5, 0, false},   {5, 255, false},
                 {1, 1, true},  {20, 254, true}, {20, 254, true}, {4, 3, true}};
    for (const auto& c : cases) EXPECT_EQ(pool.Init(c.shift, c.classCount), c.ok) << c.shift;
    // Classes of 16, 32 and 48 bytes; heap blocks are marked 4.
    void* block = pool.Alloc(47);
    EXPECT_EQ(HeaderByte(block), 4u);
    EXPECT_FALSE(pool.Init(5, 8));
    pool.Free(block);
    EXPECT_TRUE(pool.Init(5, 8));
    EXPECT_EQ(pool.GetClassSize(7), 256);
}

int liveObjects = 0;

struct Pooled {
    Pooled() { ++liveObjects; }
    ~Pooled() { --liveObjects; }
};

TEST(ObjectPoolTest, RefillsByGrowByAndReusesFreedObjects) {
    {
        ObjectPool_<Pooled> pool(10);
        Pooled* out[11];
        for (Pooled*& p : out) ASSERT_NE(p = pool.Get(), nullptr);
        EXPECT_EQ(liveObjects, 20);
        EXPECT_EQ(pool.GetActiveCount(), 11);
        EXPECT_EQ(pool.GetFreeCount(), 9);
        for (Pooled* p : out) pool.Put(p);
        pool.Put(nullptr);
        EXPECT_EQ(pool.GetActiveCount(), 0);
        // Freed objects come back after the nine never taken, in order.
        for (int i = 0; i < 9; ++i) pool.Get();
        EXPECT_EQ(pool.Get(), out[0]);
        EXPECT_EQ(liveObjects, 20);
        EXPECT_FALSE(pool.Refill(0));
    }
    EXPECT_EQ(liveObjects, 0);  // the arrays went with the pool, objects out included
}

TEST(PoolLeakTest, DestructionReportsWhatIsStillOut) {
    Tracer* tracer = Tracer::inst();
    bool wasOn = tracer->IsConsoleOn();
    tracer->SetConsoleOn(true);
    testing::internal::CaptureStdout();
    void* leaked[2] = {};
    {
        MemPool pool;
        leaked[0] = pool.Alloc(100);
        leaked[1] = pool.Alloc(10);
        pool.Free(pool.Alloc(60));
        ObjectPool_<Pooled> objects(4);
        objects.Get();
        objects.Put(objects.Get());
        objects.Get();
    }
    fflush(stdout);
    std::string trace = testing::internal::GetCapturedStdout();
    tracer->SetConsoleOn(wasOn);
    EXPECT_EQ(trace,
              "ObjectPool_ destruct found err, nActiveMemNum=2\n"
              "MemblockList destruct found err, nMemSize=128, nActiveMemNum=1\n"
              "MemblockList destruct found err, nMemSize=32, nActiveMemNum=1\n");
    // The blocks outlive their pool; each starts alignof(max_align_t) bytes
    // before the address handed out.
    for (void* block : leaked) free(static_cast<char*>(block) - alignof(std::max_align_t));
}

}  // namespace
