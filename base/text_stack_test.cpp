// Tests of TextStack, the kept scratch strings of nesting calls.
#include "base/text_stack.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(TextStackTest, NestedTextsAreDistinctAndKeepTheirBlocks) {
    TextStack stack;
    const char* outerBlock = nullptr;
    {
        TextStack::Text outer(stack);
        outer->Assign("outer", -1);
        outerBlock = outer->GetBuffer(0);
        // Enough nested texts for the stack to grow while the outer one is
        // held: it stays where it is, with its text.
        std::vector<std::unique_ptr<TextStack::Text>> inner;
        for (int i = 0; i < 100; ++i) {
            inner.push_back(std::make_unique<TextStack::Text>(stack));
            EXPECT_TRUE((*inner.back())->IsEmpty());
            (*inner.back())->Assign("inner", -1);
        }
        EXPECT_EQ(101u, stack.InUse());
        while (!inner.empty()) inner.pop_back();  // given back in reverse order
        EXPECT_STREQ("outer", outer->GetBuffer(0));
        EXPECT_EQ(outerBlock, outer->GetBuffer(0));
    }
    EXPECT_EQ(0u, stack.InUse());
    // The next call finds the string empty, with the block of the last one.
    TextStack::Text again(stack);
    EXPECT_TRUE(again->IsEmpty());
    again->Assign("next", -1);
    EXPECT_EQ(outerBlock, again->GetBuffer(0));
}

TEST(TextStackTest, ABlockLargerThanKeptIsLetGo) {
    TextStack stack;
    {
        TextStack::Text text(stack);
        text->AppendChar('x', TextStack::kKeptCapacity + 1);
        EXPECT_GT(text->GetCapacity(), TextStack::kKeptCapacity);
    }
    TextStack::Text text(stack);
    EXPECT_FALSE(text->HasStorage());
    EXPECT_TRUE(text->IsEmpty());
}
