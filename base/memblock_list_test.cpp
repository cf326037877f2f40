// Tests of MemblockList: list order with tags, and which unlinked nodes are
// kept for reuse.
#include "base/memblock_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

void* P(intptr_t n) {
    return reinterpret_cast<void*>(n);
}

TEST(MemblockListTest, HeadTailAndIndexedAccess) {
    MemblockList list;
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(list.AddTail(P(i), static_cast<uint32_t>(i + 10)), i);
    uint32_t tag = 0;
    EXPECT_TRUE(list.GetAt(2, &tag) == P(3) && tag == 13u);
    EXPECT_EQ(list.GetAt(4), nullptr);
    // Draining from both ends keeps the links consistent.
    EXPECT_TRUE(list.RemoveHead(&tag) == P(1) && tag == 11u);
    EXPECT_TRUE(list.RemoveTail(&tag) == P(4) && tag == 14u);
    EXPECT_EQ(list.RemoveTail(), P(3));
    EXPECT_EQ(list.RemoveHead(), P(2));
    EXPECT_TRUE(list.RemoveHead(&tag) == nullptr && tag == 0u);
    EXPECT_EQ(list.GetTail(), nullptr);
    list.AddTail(P(8));
    EXPECT_TRUE(list.GetAt(0) == P(8) && list.GetTail() == P(8));
}

TEST(MemblockListTest, KeepsNodesWhileInUseAndKeptFitMaxFree) {
    const struct {
        int maxFree;
        std::vector<int> keptAfterEachRemoval;  // of three nodes
    } cases[] = {{0, {0, 0, 0}}, {1, {0, 0, 1}}, {2, {0, 1, 2}}, {3, {1, 2, 3}}};
    for (const auto& c : cases) {
        MemblockList list(c.maxFree);
        for (int i = 0; i < 3; ++i) list.AddTail(P(i + 1));
        for (int kept : c.keptAfterEachRemoval) {
            list.RemoveHead();
            EXPECT_EQ(list.GetFreeCount(), kept) << "maxFree " << c.maxFree;
        }
        // Adding takes a kept node first; RemoveAll follows the same rule.
        int kept = list.GetFreeCount();
        list.AddTail(P(9));
        EXPECT_EQ(list.GetFreeCount(), kept > 0 ? kept - 1 : 0);
        list.RemoveAll();
        EXPECT_EQ(list.GetFreeCount(), kept);
    }
}

}  // namespace
