// Tests of OTSTR (base/otstr.cpp): growth rules, overflow paths, searches,
// bracket extraction, comparisons, slicing and number conversions.
#include "base/otstr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

namespace {

std::string Text(const OTSTR& s) {
    return std::string(s.GetBuffer(), s.GetLength());
}

// Runs fn and tells whether the trace wrote message to the console meanwhile.
template <typename Fn>
bool Traces(const char* message, Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout().find(message) != std::string::npos;
}

// A string whose storage hooks fail on demand.
class FailingStr : public OTSTR {
  public:
    bool failAlloc = false, failRealloc = false;
    void* Alloc(size_t size) override { return failAlloc ? nullptr : OTSTR::Alloc(size); }
    void* Realloc(void* block, size_t size) override {
        return failRealloc ? nullptr : OTSTR::Realloc(block, size);
    }
};

TEST(OTSTRGrowth, AssignAndAppendCapacities) {
    OTSTR s;
    EXPECT_STREQ("", s.GetBuffer());
    s.Assign(std::string(150, 'a').c_str(), -1);
    EXPECT_EQ(200, s.GetCapacity());
    s.Assign(std::string(300, 'b').c_str(), 300);
    EXPECT_EQ(301, s.GetCapacity());
    EXPECT_EQ(std::string(300, 'b'), Text(s));
    EXPECT_EQ(251, OTSTR(std::string(250, 'c').c_str()).GetCapacity());

    OTSTR t(std::string(60, 'x').c_str());
    ASSERT_TRUE(t.Append(std::string(150, 'y').c_str()));
    EXPECT_EQ(311, t.GetCapacity());
    EXPECT_EQ(std::string(60, 'x') + std::string(150, 'y'), Text(t));
    OTSTR exact(std::string(100, 'x').c_str());  // 100 + 100 reaches the capacity: grows
    ASSERT_TRUE(exact.AppendChar('z', 100));
    EXPECT_EQ(301, exact.GetCapacity());
    OTSTR fresh;
    ASSERT_TRUE(fresh.Append(std::string(250, 'q').c_str()));
    EXPECT_EQ(351, fresh.GetCapacity());
    EXPECT_FALSE(fresh.Append("", 0));
    EXPECT_TRUE(fresh.AppendChar('z', 0));
}

TEST(OTSTRGrowth, EmptyAndEmbeddedZeros) {
    OTSTR s("abc");
    s.Empty();
    EXPECT_TRUE(s.HasStorage());
    EXPECT_STREQ("", s.GetBuffer());
    // An empty text assigned to an empty string takes no block; assigned to
    // one with text, it empties it. A null text changes nothing.
    OTSTR none;
    none = OTSTR();
    none = "";
    EXPECT_FALSE(none.HasStorage());
    OTSTR full("abc");
    full = none;
    EXPECT_STREQ("", full.GetBuffer());
    full = "abc";
    full = static_cast<const char*>(nullptr);
    EXPECT_STREQ("abc", full.GetBuffer());
    full = "";
    EXPECT_EQ(0, full.GetLength());
    // Truncate keeps a prefix in place.
    OTSTR cut("abcdef");
    cut.Truncate(9);
    EXPECT_STREQ("abcdef", cut.GetBuffer());
    cut.Truncate(2);
    EXPECT_STREQ("ab", cut.GetBuffer());
    cut.Append("x");
    EXPECT_STREQ("abx", cut.GetBuffer());
    cut.Truncate(-1);
    EXPECT_EQ(0, cut.GetLength());
    EXPECT_TRUE(cut.HasStorage());

    OTSTR z("a\0b", 3);
    z.Append("\0c", 2);
    OTSTR copy(z);
    copy.SetAt(0, 'X');
    EXPECT_EQ(std::string("X\0b\0c", 5), Text(copy));
    z.Append(z);  // the source lies in the block that moves
    EXPECT_EQ(std::string("a\0b\0ca\0b\0c", 10), Text(z));
}

// A string's own bytes assigned to it, or appended, at every length and
// offset that the short and the long copies take, with the runs overlapping.
TEST(OTSTRGrowth, OwnBytesAtEveryShortLength) {
    const std::string text = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int from = 0; from < 12; ++from) {
        for (int n = 0; n + from <= static_cast<int>(text.size()); ++n) {
            OTSTR s(text.c_str());
            s.Assign(s.GetBuffer() + from, n);
            EXPECT_EQ(text.substr(static_cast<size_t>(from), static_cast<size_t>(n)), Text(s))
                << from << " " << n;
            OTSTR t(text.c_str());
            t.Truncate(from + n);
            t.Append(t.GetBuffer() + from, n);
            EXPECT_EQ(text.substr(0, static_cast<size_t>(from + n)) +
                          text.substr(static_cast<size_t>(from), static_cast<size_t>(n)),
                      Text(t))
                << from << " " << n;
        }
    }
}

TEST(OTSTRGrowth, FailingHooksDropStorage) {
    FailingStr s;
    s.failAlloc = true;
    EXPECT_TRUE(Traces("otstr malloc fail !", [&] { EXPECT_EQ(nullptr, s.Assign("abc", -1)); }));
    EXPECT_FALSE(s.HasStorage());
    s.failAlloc = false;
    s.Assign("abc", -1);
    s.failRealloc = true;
    EXPECT_TRUE(Traces("otstr realloc fail !",
                       [&] { EXPECT_FALSE(s.Append(std::string(300, 'x').c_str())); }));
    EXPECT_FALSE(s.HasStorage());
}

// Format, AppendFormat and safeAppends at their capacity and one past it.
TEST(OTSTRFormat, OverflowsAtCapacity) {
    OTSTR s;
    s.Format("%s", std::string(399, 'a').c_str());
    EXPECT_EQ(399, s.GetLength());
    EXPECT_TRUE(Traces("string format err, overflow !",
                       [&] { s.Format("%s", std::string(400, 'a').c_str()); }));
    EXPECT_EQ(400, s.GetCapacity());
    EXPECT_EQ(0, s.GetLength());

    OTSTR small("ab");  // its capacity of 200 is never enlarged
    EXPECT_TRUE(Traces("string format err, overflow !", [&] { small.Format("%0250d", 7); }));
    EXPECT_EQ(200, small.GetCapacity());
    small.Format("<%s|%d>", "xyz", -4);
    small.Format("[%s]", small.GetBuffer());  // argument inside the block
    EXPECT_EQ("[<xyz|-4>]", Text(small));

    OTSTR a;
    ASSERT_TRUE(a.AppendFormat("%s%d", std::string(390, 'a').c_str(), 12345678));  // 398 characters
    EXPECT_EQ(400, a.GetCapacity());
    EXPECT_TRUE(
        Traces("string append err, overflow !", [&] { EXPECT_FALSE(a.AppendFormat("%d", 12)); }));
    EXPECT_FALSE(a.HasStorage());

    OTSTR t("x");
    ASSERT_TRUE(t.safeAppends("%s", std::string(2047, 'b').c_str()));
    EXPECT_EQ(100 + 2048 + 1, t.GetCapacity());
    EXPECT_TRUE(Traces("string safeAppends() err, overflow !",
                       [&] { EXPECT_FALSE(t.safeAppends("%s", std::string(2048, 'b').c_str())); }));
    EXPECT_FALSE(t.HasStorage());
}

TEST(OTSTRSearch, FindOutside) {
    const std::tuple<const char*, char, int, int> cases[] = {
        {"a[i=1]=2", '=', 0, 6},  {"'x=y'=3", '=', 0, 5}, {"{a=(b=[c=d])}=e", '=', 0, 13},
        {"\"a'=\"=1", '=', 0, 5}, {"'a''='=", '=', 0, 6}, {"{{a}=b}=c", '=', 0, 7},
        {"(a=b", '=', 0, -1},     {"x(y", '(', 0, 1},     {"a=b", '=', 3, -1},
        {"a=b", '=', -1, -1},
    };
    for (auto [text, target, start, expected] : cases) {
        EXPECT_EQ(expected, OTSTR(text).FindOutside(target, "{[(\"'", "}])\"'", start)) << text;
    }
    EXPECT_EQ(-1, OTSTR("a=b").FindOutside('=', "(", "", 0));
}

TEST(OTSTRSearch, FindWildcard) {
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"xxabcb", "a?c", 0, 2}, {"abab", "a?b", 0, -1}, {"abba", "a?a", 0, -1},
        {"aaab", "a?b", 0, 1},   {"abcabc", "b?", 2, 4}, {"abc", "????", 0, -1},
        {"abc", "c", 3, -1},     {"abc", "bc", -1, -1},  {"abc", "", 0, -1},
    };
    for (auto [text, pattern, start, expected] : cases) {
        EXPECT_EQ(expected, OTSTR(text).FindWildcard(pattern, -1, start)) << text << pattern;
    }
    EXPECT_EQ(2, OTSTR::FindWildcard("ab\0cd", 5, "?c", 2, 0));
    EXPECT_EQ(-1, OTSTR::FindWildcard("abcd", 2, "c", -1, 0));
}

TEST(OTSTRSearch, ExtractBracketed) {
    // text, open, close, escapable, inner, start, expected index, out
    const std::tuple<const char*, char, char, bool, bool, int, int, const char*> cases[] = {
        {"x(a(b)c)d", '(', ')', false, false, 0, 1, "(a(b)c)"},
        {"x(a(b)c)d", '(', ')', false, true, 2, 3, "b"},
        {"(a\\)b)", '(', ')', true, true, 0, 0, "a\\)b"},
        {"(a\\)b)", '(', ')', false, true, 0, 0, "a\\"},
        {"\\(a(b)", '(', ')', true, false, 0, 3, "(b)"},
        {"{}", '{', '}', false, true, 0, 0, ""},
        {"(a(b)", '(', ')', false, false, 0, -1, "-"},
        {"(a)", '(', ')', false, false, 3, -1, "-"},
        {"'a'", '\'', '\'', false, false, 0, -1, "-"},
    };
    for (auto [text, open, close, esc, inner, start, expected, want] : cases) {
        OTSTR out("-");
        EXPECT_EQ(expected, OTSTR(text).ExtractBracketed(open, esc, close, esc, start, inner, out));
        EXPECT_EQ(want, Text(out)) << text;
    }
}

TEST(OTSTRSearch, CompareAndFindBounds) {
    OTSTR none, empty(""), abc("aBc");
    EXPECT_TRUE(none.Compare(nullptr) && empty.Compare(nullptr) && empty.Compare(""));
    EXPECT_FALSE(none.Compare("") || abc.Compare(nullptr) || abc.Compare("abc"));
    EXPECT_TRUE(abc.Compare("ABC", false));
    EXPECT_FALSE(OTSTR("a\0b", 3).Compare("a"));
    EXPECT_TRUE(abc.CompareN("AbX", 2, false));
    EXPECT_FALSE(abc.CompareN("a", 3) || abc.CompareN("aBcd", 4));
    EXPECT_FALSE(OTSTR("a").CompareN(abc));

    OTSTR s("a b\tc\x80");
    EXPECT_EQ(-1, s.Find('a', 6));
    EXPECT_EQ(-1, s.ReverseFind('c', 6));
    EXPECT_EQ(2, s.FindOneOf(nullptr, 1));
    EXPECT_EQ(-1, s.FindOneOf("", 5));  // byte 0x80 is not visible
}

TEST(OTSTRSlice, TrimsAndBounds) {
    // text, spaces only, after TrimLeft, after TrimRight
    const std::tuple<const char*, bool, const char*, const char*> trims[] = {
        {" \t a b \t ", false, "a b \t ", " \t a b"},
        {" \t a b \t ", true, "\t a b \t ", " \t a b \t"},
        {"   ", false, "", ""},
    };
    for (auto [text, spacesOnly, left, right] : trims) {
        OTSTR l(text), r(text);
        l.TrimLeft(spacesOnly);
        r.TrimRight(spacesOnly);
        EXPECT_EQ(left, Text(l));
        EXPECT_EQ(right, Text(r));
    }
    OTSTR s("hello");
    const std::tuple<OTSTR, const char*> slices[] = {
        {s.Left(2), "he"},    {s.Left(99), "hello"},      {s.Left(-1), ""},   {s.Right(3), "llo"},
        {s.Mid(1, 3), "ell"}, {s.Mid(3), "lo"},           {s.Mid(-1, 2), ""}, {s.Mid(5), ""},
        {s.Mid(2, -1), ""},   {s + OTSTR("!"), "hello!"},
    };
    for (const auto& [got, want] : slices) EXPECT_EQ(want, Text(got));
}

TEST(OTSTRConvert, Numbers) {
    // text, base, success, ToLong result, ToULong result
    const std::tuple<const char*, int, bool, int32_t, uint32_t> cases[] = {
        {"", 10, true, 0, 0},
        {"12  ", 10, true, 12, 12},
        {"12\t", 10, false, 12, 12},
        {" \t-7", 10, true, -7, 4294967289u},
        {"0x1A", 16, true, 26, 26},
        {"017", 0, true, 15, 15},
        {"abc", 10, false, 0, 0},
        {"99999999999", 10, true, INT32_MAX, UINT32_MAX},
        {"-99999999999", 10, true, INT32_MIN, UINT32_MAX},
        {"4294967295", 10, true, INT32_MAX, UINT32_MAX},
        {"-99999999999999999999999", 10, true, INT32_MIN, UINT32_MAX},
        {"5", 1, false, 0, 0},
    };
    for (auto [text, base, ok, asLong, asULong] : cases) {
        int32_t l = -1;
        uint32_t u = 1;
        EXPECT_EQ(ok, OTSTR(text).ToLong(l, base)) << text;
        EXPECT_EQ(ok, OTSTR(text).ToULong(u, base)) << text;
        EXPECT_EQ(asLong, l) << text;
        EXPECT_EQ(asULong, u) << text;
    }
    uint16_t us = 0;
    EXPECT_TRUE(OTSTR("70000").ToUShort(us));
    EXPECT_EQ(4464, us);
    double d = 0;
    EXPECT_TRUE(OTSTR(" 1.5 ").ToDouble(d));
    EXPECT_DOUBLE_EQ(1.5, d);
    EXPECT_FALSE(OTSTR("1\0002", 3).ToDouble(d));
}

}  // namespace
