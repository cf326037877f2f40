// Tests of item frames: what names found through them see from open to open.
#include "decoder/item_frame.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/program.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"

namespace {

// A name read through an item frame again and again keeps its place while
// the frame holds an item of the same name: an item of another name, even
// the name read, sends the search through the frames again.
TEST(ItemFrame, NamesReadThroughItFollowItsItem) {
    ExecuteEnv env;
    Program file;
    ASSERT_TRUE(env.Prepare(&file));
    ASSERT_TRUE(env.GetRoot()->CreateVarInstance(kDeclInt4, "x")->setAt(0, 1u));
    // Any pointer serves as the key of a layout.
    int rootKey = 0;
    env.GetRoot()->SetLayout(&rootKey);
    std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree("x"));
    // Reads x with an item frame open that holds an INT4 of that name and value.
    auto read = [&](const char* name, uint32_t value) {
        CVariableItem item;
        if (!item.create(kDeclInt4, name, 1) || !item.setAt(0, value)) return -2;
        ItemFrame frame(env);
        if (frame.Open(&item) != 1) return -3;
        ExprEvaluator evaluator;
        env.GetTopStk(0)->BindEvaluator(evaluator);
        CVarient out;
        bool ok = evaluator.CalcTree(tree.get(), "x", out, false);
        frame.Close();
        return ok ? out.getLong() : -1;
    };
    EXPECT_EQ(1, read("a", 5));
    EXPECT_EQ(1, read("a", 5)) << "from the place kept";
    EXPECT_EQ(7, read("x", 7)) << "the frame's own x comes first";
    EXPECT_EQ(8, read("x", 8)) << "the next item of that name";
    EXPECT_EQ(1, read("b", 5));
    EXPECT_EQ(1, read("b", 5));
}

}  // namespace
