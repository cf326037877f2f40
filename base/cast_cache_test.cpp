// Tests of CastCache: the same answers as dynamic_cast, for objects of
// changing types, bases at an offset and casts that fail.
#include "base/cast_cache.h"

#include <gtest/gtest.h>

namespace {

struct Item {
    virtual ~Item() = default;
    int a = 0;
};
struct Extra {
    virtual ~Extra() = default;
    int b = 0;
};
// Extra lies after Item in both, so the cross cast moves the pointer.
struct Rich : Item, Extra {};
struct Richer : Rich {
    int c = 0;
};
struct Plain : Item {};

TEST(CastCache, AnswersAsDynamicCast) {
    Rich rich;
    Richer richer;
    Plain plain;
    Item* const kObjects[] = {&rich, &rich, &plain, &richer, &plain, &rich, nullptr, &richer};
    CastCache<Extra> toExtra;
    CastCache<Rich> toRich;
    for (Item* object : kObjects) {
        EXPECT_EQ(dynamic_cast<Extra*>(object), toExtra.Cast(object));
        EXPECT_EQ(dynamic_cast<Rich*>(object), toRich.Cast(object));
    }
    EXPECT_NE(static_cast<void*>(toExtra.Cast(static_cast<Item*>(&rich))),
              static_cast<void*>(&rich))
        << "the cross cast moved the pointer";
}

}  // namespace
