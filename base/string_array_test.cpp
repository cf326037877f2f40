// Tests of StringArray: copies, the spare string for indexes out of range,
// and clearing.
#include "base/string_array.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const OTSTR& s) {
    return std::string(s.GetBuffer(0), static_cast<size_t>(s.GetLength()));
}

TEST(StringArrayTest, HoldsIndependentCopies) {
    StringArray array(3, "ab");
    ASSERT_EQ(array.GetSize(), 3);
    array.GetAt(1).Append("c");
    EXPECT_EQ(Text(array.GetAt(0)), "ab");
    EXPECT_EQ(Text(array.GetAt(1)), "abc");
    const char raw[] = {'p', '\0', 'q', 'r'};
    EXPECT_EQ(array.Add(raw, 3), 4);
    for (int i = 4; i < 30; ++i) ASSERT_EQ(array.Add(OTSTR("n")), i + 1);
    EXPECT_EQ(Text(array.GetAt(3)), std::string("p\0q", 3));
    EXPECT_EQ(Text(array[29]), "n");
    array.RemoveAll();
    EXPECT_EQ(array.GetSize(), 0);
}

TEST(StringArrayTest, OutOfRangeGivesTheSpareEmptied) {
    StringArray array(1, nullptr);
    for (int index : {-1, 1, 50}) {
        OTSTR& spare = array.GetAt(index);
        EXPECT_EQ(spare.GetLength(), 0) << index;
        spare = "left over";
    }
    EXPECT_EQ(array.GetSize(), 1);
    EXPECT_EQ(array.GetAt(0).GetLength(), 0);
}

}  // namespace
