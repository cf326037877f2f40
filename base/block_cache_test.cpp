// Tests of the per-thread block cache: which blocks it keeps, how many, and
// that the sanitizer builds keep none.
#include "base/block_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using Small = BlockCache<64, 2>;

TEST(BlockCacheTest, KeepsBlocksOfItsSizeUpToItsRoom) {
    void* fits = malloc(64);
    void* larger = malloc(80);
    void* tooSmall = malloc(16);
    void* tooLarge = malloc(400);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_FALSE(Small::Keep(fits)) << "the sanitizers see every release";
    EXPECT_EQ(nullptr, Small::Take());
    free(fits);
    free(larger);
#else
    EXPECT_FALSE(Small::Keep(nullptr));
    EXPECT_FALSE(Small::Keep(tooSmall));
    EXPECT_FALSE(Small::Keep(tooLarge));
    ASSERT_TRUE(Small::Keep(fits));
    ASSERT_TRUE(Small::Keep(larger));
    void* third = malloc(64);
    EXPECT_FALSE(Small::Keep(third)) << "room for two";
    free(third);
    // Last kept, first taken.
    EXPECT_EQ(larger, Small::Take());
    EXPECT_EQ(fits, Small::Take());
    EXPECT_EQ(nullptr, Small::Take());
    free(fits);
    free(larger);
#endif
    free(tooSmall);
    free(tooLarge);
}

}  // namespace
