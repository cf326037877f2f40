// Tests of TVarient (values/tvarient.cpp): storage, element writes and
// reads with their conversions, text forms, copies and references.
#include "values/tvarient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "base/number_text.h"
#include "values/value_type.h"

namespace {

template <typename Fn>
std::string Traced(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

std::string TextAt(const TVarient& t, int32_t idx, const char* format = nullptr) {
    OTSTR out;
    bool ok = t.getTextAt(idx, out, format);
    std::string text = std::string(ok ? "" : "!") + std::string(out.GetBuffer(), out.GetLength());
    // Without a format, IntegerTextAt gives the same text for every element
    // of an integer storage and for one without a value, and refuses the
    // others.
    if (format == nullptr) {
        char digits[kMaxDecimalDigits];
        int n = t.IntegerTextAt(idx, digits);
        EXPECT_EQ(n >= 0, !t.HasValue() || (IsIntegerType(t.GetType()) && ok)) << text;
        if (n >= 0) {
            EXPECT_EQ(std::string(digits, static_cast<size_t>(n)), text);
        }
    }
    return text;
}

// A TVarient that create made.
struct Made : TVarient {
    Made(const char* name, int32_t type, int32_t count) { create(name, type, count); }
};

TEST(TVarientCreate, ZeroedStorageAndRefusals) {
    TVarient t;
    ASSERT_TRUE(t.create("a", kTypeInt4, 3));
    EXPECT_EQ(t.GetCount(), 3);
    EXPECT_FALSE(t.HasValue());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(t.getAt_as_long(i), 0);
    ASSERT_TRUE(t.create("s", kTypeOctet, 2));
    OTSTR s("x");
    EXPECT_TRUE(t.getAt(1, s));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(t.create("e", kTypeDouble, 0));

    for (int32_t bad : {-1, 6, 9, 11}) EXPECT_FALSE(t.create("b", bad, 1)) << bad;
    EXPECT_FALSE(t.create("b", kTypeInt1, -1));
    t.SetWritable(false);
    EXPECT_FALSE(t.create("b", kTypeInt1, 1));
    EXPECT_STREQ(t.GetName().GetBuffer(), "e");
}

TEST(TVarientSetAt, TextIntoIntegerElements) {
    Made t("u", kTypeUInt1, 4);
    const struct {
        const char* text;
        bool ok;
        uint32_t stored;
    } rows[] = {
        {"A", true, 65},  {"\\n", true, 10}, {"\\r", true, 13}, {"\\t", true, 9},
        {"\\0", true, 0}, {"\\x", false, 0}, {"AB", false, 0},  {"", false, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        t.setAt(1, 77u);
        std::string trace = Traced([&] { EXPECT_EQ(t.setAt(1, r.text), r.ok); });
        EXPECT_EQ(t.getAt_as_ulong(1), r.ok ? r.stored : 77u);
        if (!r.ok) {
            EXPECT_EQ(trace, "TVarient 'u' setAt fail, type illegal or idx out of range !\n");
        }
    }
    // A character code is a signed byte.
    Made w("w", kTypeInt4, 1);
    w.setAt(0, "\xE9");
    EXPECT_EQ(w.getAt_as_long(0), -23);
    EXPECT_FALSE(w.setAt(0, static_cast<const char*>(nullptr)));
}

TEST(TVarientSetAt, IndexAndTypeFailures) {
    Made t("u", kTypeUInt1, 4), s("s", kTypeOctet, 1);
    const std::string range = "TVarient 'u' setAt fail, type illegal or idx out of range !\n";
    const struct {
        std::function<bool()> set;
        std::string trace;
    } rows[] = {
        {[&] { return t.setAt(4, 1); }, range},
        {[&] { return t.setAt(-1, 1.0); }, range},
        {[&] { return t.setAt(0, static_cast<void*>(&t)); }, range},
        {[&] { return t.setAt(0, CVarient()); }, "TVarient 'u' setAt fail, type illegal !\n"},
        {[&] { return s.setAt(0, 5u); }, "TVarient 's' setAt fail, type illegal !\n"},
        {[&] { return s.setAt(0, 5.0); }, "TVarient 's' setAt fail, type illegal !\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(Traced([&] { EXPECT_FALSE(r.set()); }), r.trace);
    EXPECT_FALSE(t.HasValue());

    // A read-only array refuses silently.
    t.SetWritable(false);
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(t.setAt(9, 1)); }), "");
    EXPECT_FALSE(t.setAt(0, "A"));
}

TEST(TVarientElements, WidthsExtensionAndConversions) {
    const struct {
        int32_t type;
        uint32_t stored;
        int32_t asLong;
        uint32_t asULong;
        double asDouble;
    } rows[] = {
        {kTypeInt1, 0x1ff, -1, 0xffffffffu, -1.0},
        {kTypeUInt1, 0x1ff, 255, 255u, 255.0},
        {kTypeInt2, 0x18000, -32768, 0xffff8000u, -32768.0},
        {kTypeUInt2, 0xffffffff, 65535, 65535u, 65535.0},
        {kTypeInt4, 0xffffffff, -1, 0xffffffffu, -1.0},
        {kTypeUInt4, 0xffffffff, -1, 0xffffffffu, 4294967295.0},
        {kTypeDouble, 0xffffffff, -1, 0xffffffffu, -1.0},  // the word read as signed
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(ValueTypeName(r.type));
        Made t("t", r.type, 2);
        ASSERT_TRUE(t.setAt(1, r.stored));
        EXPECT_TRUE(t.HasValue());
        EXPECT_EQ(t.getAt_as_long(1), r.asLong);
        EXPECT_EQ(t.getAt_as_ulong(1), r.asULong);
        EXPECT_EQ(t.getAt_as_double(1), r.asDouble);
        EXPECT_EQ(t.getAt_as_long(0), 0);  // the write stayed in its element

        // The element as a scalar carries the extended word, so that it
        // computes correctly.
        CVarient v, sum;
        ASSERT_TRUE(t.getAt(1, v));
        EXPECT_EQ(v.GetType(), r.type);
        ASSERT_TRUE(sum.Operate(v, "+", CVarient(v)));
        if (r.type != kTypeDouble) {
            EXPECT_EQ(sum.getUInt32(), 2 * r.asULong);
        }
    }
}

TEST(TVarientElements, DoublesIntoIntegersAndPackedBytes) {
    Made t("t", kTypeInt2, 3);
    t.setAt(0, -2.7);
    t.setAt(1, 1e30);
    t.setAt(2, std::nan(""));
    EXPECT_EQ(t.getAt_as_long(0), -2);
    EXPECT_EQ(t.getAt_as_long(1), -1);  // saturated to 0xFFFFFFFF, cut to 16 bits
    EXPECT_EQ(t.getAt_as_long(2), 0);

    t.setAt(0, 0x1234u);
    const uint8_t* bytes = t.ElementBytes(0);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0x34);
    EXPECT_EQ(bytes[1], 0x12);
    EXPECT_EQ(t.ElementBytes(3), nullptr);

    Made d("d", kTypeDouble, 1);
    d.setAt(0, 2.5);
    EXPECT_EQ(d.getAt_as_double(0), 2.5);
    EXPECT_EQ(d.getAt_as_long(0), 2);

    OTSTR raw;
    EXPECT_FALSE(t.getByteString(raw));
    EXPECT_TRUE(raw.IsEmpty());
    Made b("b", kTypeInt1, 3);
    b.setAt(0, "a");
    b.setAt(2, "\\n");
    ASSERT_TRUE(b.getByteString(raw));
    EXPECT_EQ(std::string(raw.GetBuffer(), raw.GetLength()), std::string("a\0\n", 3));
}

TEST(TVarientElements, ScalarSourcesAndScalarResults) {
    Made t("t", kTypeInt4, 1);
    CVarient v;
    v.setDouble(-3.9);
    ASSERT_TRUE(t.setAt(0, v));
    EXPECT_EQ(t.getAt_as_long(0), -3);
    v.setBytes("Z");
    ASSERT_TRUE(t.setAt(0, v));
    EXPECT_EQ(t.getAt_as_long(0), 'Z');

    Made s("s", kTypeOctet, 2);
    v.setBytes("a\0b", 3);
    ASSERT_TRUE(s.setAt(1, v));
    CVarient out;
    ASSERT_TRUE(s.getAt(1, out));
    EXPECT_EQ(out.GetType(), kTypeOctet);
    EXPECT_EQ(out.value, 3u);
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(s.getAt(2, out)); }), "TVarient 's' operation illegal !\n");

    Made p("p", kTypePvoid, 1);
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(p.getAt(0, out)); }),
              "TVarient 'p' getAt fail, type illegal !\n");
    EXPECT_EQ(out.GetType(), kTypeNone);
}

TEST(TVarientElements, IllegalAccessGivesSharedZeroedDummies) {
    Made t("t", kTypeInt2, 2);
    const std::string illegal = "TVarient 't' operation illegal !\n";
    EXPECT_EQ(Traced([&] { EXPECT_EQ(t.getAt_as_long(9), 0); }), illegal);
    EXPECT_EQ(Traced([&] { EXPECT_EQ(t.getAt_as_double(-1), 0.0); }), illegal);
    EXPECT_EQ(Traced([&] { EXPECT_EQ(static_cast<int32_t>(t.Int4At(0)), 0); }), illegal);
    // Writing into a dummy changes nothing anyone reads later.
    Traced([&] {
        t.Int4At(0) = 99;
        t.Int2At(5) = 99;
        t.OctetAt(0) = "junk";
    });
    EXPECT_EQ(Traced([&] { EXPECT_EQ(static_cast<int32_t>(t.Int4At(1)), 0); }), illegal);
    EXPECT_EQ(Traced([&] { EXPECT_TRUE(t.OctetAt(0).IsEmpty()); }), illegal);
    EXPECT_EQ(t.getAt_as_long(0), 0);

    t.Int2At(1) = -5;
    EXPECT_EQ(t.getAt_as_long(1), -5);

    Made s("s", kTypeOctet, 1);
    EXPECT_EQ(Traced([&] { EXPECT_EQ(s.getAt_as_long(0), 0); }),
              "TVarient 's' getAt_as_long fail, type illegal !\n");
    EXPECT_EQ(Traced([&] { EXPECT_EQ(s.getAt_as_ulong(0), 0u); }),
              "TVarient 's' getAt_as_ulong fail, type illegal !\n");
    EXPECT_EQ(Traced([&] { EXPECT_EQ(s.getAt_as_double(0), 0.0); }),
              "TVarient 's' getAt_as_double fail, type illegal !\n");
    s.OctetAt(0) = "kept";
    OTSTR out;
    ASSERT_TRUE(s.getAt(0, out));
    EXPECT_STREQ(out.GetBuffer(), "kept");
}

TEST(TVarientElements, RangeCheckedGettersAreSilent) {
    Made t("t", kTypeUInt2, 1);
    t.setAt(0, 0xfffeu);
    int32_t l = 7;
    uint32_t u = 7;
    double d = 7;
    void* p = &t;
    OTSTR s("x");
    std::string trace = Traced([&] {
        EXPECT_FALSE(t.getAt_as_long(1, l));
        EXPECT_FALSE(t.getAt_as_ulong(-1, u));
        EXPECT_FALSE(t.getAt_as_double(5, d));
        EXPECT_FALSE(t.getAt(0, s));
        EXPECT_FALSE(t.getAt(0, p));
    });
    EXPECT_EQ(trace, "");
    EXPECT_EQ(l, 0);
    EXPECT_EQ(u, 0u);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(p, nullptr);
    EXPECT_TRUE(s.IsEmpty());
    ASSERT_TRUE(t.getAt_as_long(0, l));
    EXPECT_EQ(l, 65534);

    Made pv("p", kTypePvoid, 1);
    ASSERT_TRUE(pv.setAt(0, static_cast<void*>(&t)));
    ASSERT_TRUE(pv.getAt(0, p));
    EXPECT_EQ(p, &t);
    EXPECT_TRUE(pv.setAt(0, nullptr));
}

TEST(TVarientText, ElementTexts) {
    Made t("t", kTypeInt1, 2);
    EXPECT_EQ(TextAt(t, 0), "-");
    t.setAt(0, 0xffu);
    EXPECT_EQ(TextAt(t, 0), "-1");
    EXPECT_EQ(TextAt(t, 1), "0");
    EXPECT_EQ(TextAt(t, 2), "!");
    EXPECT_EQ(TextAt(t, 0, "%03u"), "4294967295");
    EXPECT_EQ(TextAt(t, 1, "%03d"), "000");

    auto one = [](int32_t type, auto value, const char* format = nullptr) {
        Made v("v", type, 1);
        v.setAt(0, value);
        return TextAt(v, 0, format);
    };
    EXPECT_EQ(one(kTypeUInt2, 0xffffu), "65535");
    EXPECT_EQ(one(kTypeInt2, 0xfffeu), "-2");
    EXPECT_EQ(one(kTypeInt4, 0x80000000u), "-2147483648");
    EXPECT_EQ(one(kTypeUInt4, 0xffffffffu), "4294967295");
    EXPECT_EQ(one(kTypeDouble, 2.5), "2.50");
    EXPECT_EQ(one(kTypeOctet, "ab"), "\"ab\"");
    void* p = reinterpret_cast<void*>(uintptr_t{0x123456789abcdef0u});
    EXPECT_EQ(one(kTypePvoid, p), "&9ABCDEF0");
    EXPECT_EQ(one(kTypePvoid, p, "%d"), "&9ABCDEF0");
}

TEST(TVarientCopy, CloneIsDeep) {
    Made s("s", kTypeOctet, 2);
    s.setAt(1, "hello");
    s.SetDescription("desc");
    TVarient c;
    ASSERT_TRUE(c.clone(s));
    c.setAt(1, "other");
    EXPECT_EQ(TextAt(s, 1), "\"hello\"");
    EXPECT_STREQ(c.GetDescription().GetBuffer(), "desc");
    EXPECT_TRUE(c.HasValue());
}

TEST(TVarientReference, ElementAndWholeArrayReferencesWriteThroughToTheOwner) {
    Made src("src", kTypeInt2, 4);
    TVarient ref;
    ASSERT_TRUE(ref.PassAddressClone(src, 2));
    EXPECT_TRUE(ref.IsReference());
    EXPECT_EQ(ref.GetCount(), 1);
    EXPECT_STREQ(ref.GetName().GetBuffer(), "src");
    ASSERT_TRUE(ref.setAt(0, -3));
    EXPECT_EQ(src.getAt_as_long(2), -3);
    EXPECT_TRUE(src.HasValue());
    EXPECT_FALSE(ref.setAt(1, 1));  // a reference to one element has one element
    // A clone of a reference is a copy of the element.
    TVarient copy;
    ASSERT_TRUE(copy.clone(ref));
    EXPECT_FALSE(copy.IsReference());
    EXPECT_EQ(copy.GetCount(), 1);
    copy.setAt(0, 6);
    EXPECT_EQ(src.getAt_as_long(2), -3);

    // A reference to the reference reaches the first owner.
    src.setValueFlag(false);
    TVarient ref2;
    ASSERT_TRUE(ref2.PassAddressClone(ref, 0));
    ASSERT_TRUE(ref2.setAt(0, 9));
    EXPECT_EQ(src.getAt_as_long(2), 9);
    EXPECT_TRUE(src.HasValue());

    // Freeing references leaves the owner's storage alone.
    ref.free(true);
    ref2.free(true);
    EXPECT_EQ(src.getAt_as_long(2), 9);

    // A reference to a whole array, and string elements.
    Made texts("texts", kTypeOctet, 3);
    TVarient all, one;
    ASSERT_TRUE(all.PassAddressClone(texts, -1));
    EXPECT_EQ(all.GetCount(), 3);
    all.setAt(2, "z");
    ASSERT_TRUE(one.PassAddressClone(texts, 2));
    EXPECT_EQ(TextAt(one, 0), "\"z\"");
    one.OctetAt(0) = "y";
    EXPECT_EQ(TextAt(texts, 2), "\"y\"");
}

TEST(TVarientReference, Refusals) {
    Made src("src", kTypeInt4, 2);
    TVarient ref;
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(ref.PassAddressClone(src, 2)); }),
              "PassAddressClone fail, nIndex out of range !\n");
    TVarient empty;
    empty.SetName("e");
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(ref.PassAddressClone(empty, 0)); }),
              "TVarient 'e' PassAddressClone fail, type illegal !\n");
    EXPECT_FALSE(src.PassAddressClone(src, 0));

    // An owner cannot become a reference into its own storage.
    ASSERT_TRUE(ref.PassAddressClone(src, 1));
    EXPECT_FALSE(src.PassAddressClone(ref, 0));
    src.setAt(1, 4);
    EXPECT_EQ(ref.getAt_as_long(0), 4);

    // Storage freed with the base kept is never reached.
    src.free(false);
    EXPECT_EQ(src.GetCount(), 2);
    EXPECT_FALSE(src.setAt(0, 1));
    EXPECT_EQ(TextAt(src, 0), "-");
    int32_t l = 0;
    EXPECT_FALSE(src.getAt_as_long(0, l));
    // A base changed under the storage does not misread it.
    Made t("t", kTypeUInt1, 1);
    t.setBase("t", kTypeOctet, 1);
    EXPECT_FALSE(t.setAt(0, "x"));
}

}  // namespace
