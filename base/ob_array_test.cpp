// Tests of ObArray: stepwise growth and lazy shrinking, removal with tags,
// and what an index out of range gives.
#include "base/ob_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace {

void* P(intptr_t n) {
    return reinterpret_cast<void*>(n);
}

TEST(ObArrayTest, GrowsByStepAndShrinksLazily) {
    ObArray array(25);
    for (int i = 1; i <= 51; ++i) {
        ASSERT_EQ(array.Add(P(i)), i);
        ASSERT_EQ(array.GetCapacity(), i <= 25 ? 25 : i <= 50 ? 50 : 75) << "count " << i;
    }
    // 75 until the count falls to 24, then 50 down to an empty array.
    for (int count = 50; count >= 0; --count) {
        ASSERT_EQ(array.RemoveLast(), P(count + 1));
        ASSERT_EQ(array.GetCapacity(), count >= 25 ? 75 : 50) << "count " << count;
    }
    array.RemoveAll();
    EXPECT_EQ(array.GetCapacity(), 25);
    array.RemoveAll(10);
    EXPECT_EQ(array.GetCapacity(), 10);
    EXPECT_TRUE(array.SetSize(23));
    EXPECT_EQ(array.GetCapacity(), 30);
    EXPECT_EQ(array.GetAt(22), nullptr);
    EXPECT_FALSE(array.SetSize(-1));
    EXPECT_EQ(ObArray(0).GetCapacity(), 25);
}

TEST(ObArrayTest, RemoveAtClosesTheGapAndReturnsTags) {
    ObArray array(4);
    for (int i = 0; i < 6; ++i) array.Add(P(100 + i), static_cast<uint32_t>(i));
    uint32_t tag = 99;
    EXPECT_EQ(array.RemoveAt(2, &tag), P(102));
    EXPECT_EQ(tag, 2u);
    EXPECT_EQ(array.RemoveAt(0), P(100));
    const intptr_t rest[] = {101, 103, 104, 105};
    ASSERT_EQ(array.GetSize(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(array.GetAt(i, &tag), P(rest[i]));
        EXPECT_EQ(tag, static_cast<uint32_t>(rest[i] - 100));
    }
    EXPECT_EQ(array.GetLast(&tag), P(105));
    EXPECT_EQ(tag, 5u);
}

TEST(ObArrayTest, OutOfRangeGivesNullAndZeroTag) {
    ObArray array;
    array.Add(P(1), 7);
    for (int index : {-1, 1, 1000}) {
        uint32_t tag = 99;
        EXPECT_EQ(array.GetAt(index, &tag), nullptr);
        EXPECT_EQ(tag, 0u);
        EXPECT_EQ(array.RemoveAt(index), nullptr);
        // The element for a bad index is {null, 0} even after a caller wrote into it.
        ObItem& item = array.ElementAt(index);
        EXPECT_EQ(item.ptr, nullptr);
        EXPECT_EQ(item.tag, 0u);
        item = {P(9), 9};
    }
    EXPECT_EQ(array.GetSize(), 1);
    array.RemoveLast();
    EXPECT_EQ(array.RemoveLast(), nullptr);
    EXPECT_EQ(array.GetLast(), nullptr);
}

}  // namespace

// The typed array: the untyped one with typed access, so a pointer to a
// class with two bases goes in and comes out as the same subobject.
struct First {
    virtual ~First() = default;
    int a = 1;
};
struct Second {
    virtual ~Second() = default;
    int b = 2;
};
struct Both : First, Second {};

template <typename Array, typename Ptr, typename = void>
struct CanAdd : std::false_type {};
template <typename Array, typename Ptr>
struct CanAdd<Array, Ptr, std::void_t<decltype(std::declval<Array&>().Add(std::declval<Ptr>()))>>
    : std::true_type {};

static_assert(sizeof(ObArrayOf<Second>) == sizeof(ObArray), "no cost over ObArray");
static_assert(CanAdd<ObArrayOf<Second>, Both*>::value, "a derived pointer converts");
static_assert(!CanAdd<ObArrayOf<Both>, Second*>::value, "a base pointer does not");
static_assert(!CanAdd<ObArrayOf<Second>, First*>::value, "nor does an unrelated one");
static_assert(std::is_same_v<decltype(std::declval<const ObArrayOf<Second>&>().GetAt(0)), Second*>,
              "elements come out typed");

TEST(ObArrayTest, TypedArrayKeepsTheSubobject) {
    Both both[2];
    ObArrayOf<Second> array(1);
    array.Add(&both[0], 7);
    array.Add(&both[1]);
    uint32_t tag = 0;
    EXPECT_EQ(static_cast<Second*>(&both[0]), array.GetAt(0, &tag));
    EXPECT_EQ(7u, tag);
    EXPECT_EQ(2, array.GetLast()->b);
    EXPECT_EQ(1, array.Find(&both[1]));
    EXPECT_TRUE(array.SetAt(1, nullptr));
    EXPECT_FALSE(array.SetAt(2, &both[0]));
    EXPECT_EQ(-1, array.Find(&both[1]));

    ObArrayOf<First> owned;
    owned.Add(new Both);
    owned.Add(new Both);
    owned.DeleteAll();  // through the virtual destructor; the sanitizers watch
    EXPECT_EQ(0, owned.GetSize());
}
