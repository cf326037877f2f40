// Tests of FormatValues, FormatPlan and IntToText
// (values/format_values.cpp): conversions, flags, widths, result codes and
// the capacity bound.
#include "values/format_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/ob_array.h"
#include "values/cvarient.h"
#include "values/value_type.h"

namespace {

// A value list of a test: integers are INT4, doubles DOUBLE, strings OCTET.
class Values {
  public:
    Values& Int(int64_t n) { return Add()->setInteger(static_cast<uint32_t>(n), kTypeInt4), *this; }
    Values& Dbl(double d) { return Add()->setDouble(d), *this; }
    Values& Str(const char* s) { return Add()->setBytes(s), *this; }
    Values& Null() { return values.push_back(nullptr), *this; }
    // The pointers as FormatValues takes them.
    void Fill(ObArrayOf<CVarient>& list) const {
        for (const auto& v : values) list.Add(v.get());
    }
    // The items as a FormatPlan takes them, the integers as their words
    // and the texts as their bytes;
    // false for a list with a null value, which no item stands for.
    bool Items(std::vector<FormatItem>& items) const {
        for (const auto& v : values) {
            if (v == nullptr) return false;
            FormatItem item;
            const char* bytes = nullptr;
            if (IsIntegerType(v->GetType())) {
                item.type = v->GetType();
                v->getUInt32(item.word);
            } else if (v->GetType() == kTypeOctet && v->getBytes(&bytes, &item.length)) {
                item.text = bytes;
            } else {
                item.value = v.get();
            }
            items.push_back(item);
        }
        return true;
    }

  private:
    CVarient* Add() {
        values.push_back(std::make_shared<CVarient>());
        return values.back().get();
    }
    std::vector<std::shared_ptr<CVarient>> values;
};

struct Result {
    int rc;
    std::string text;
};

// Formats into a buffer of the given capacity; a canary area behind the
// capacity must stay untouched.
Result Format(const char* format, const Values& values, int capacity = 1020) {
    size_t room = static_cast<size_t>(capacity > 0 ? capacity : 0);
    std::vector<char> out(room + 16, 'Z');
    ObArrayOf<CVarient> list;
    values.Fill(list);
    int rc = FormatValues(out.data(), capacity, format, list);
    for (size_t i = room; i < out.size(); ++i) EXPECT_EQ(out[i], 'Z') << "byte " << i;
    Result result{rc, std::string(out.data(), strnlen(out.data(), room))};
    // The same values as items, the integers as their words, format alike
    // under the format's plan.
    std::vector<FormatItem> items;
    if (values.Items(items)) {
        std::vector<char> again(room + 16, 'Z');
        int n = static_cast<int>(items.size());
        FormatPlan plan;
        plan.Parse(format);
        EXPECT_EQ(plan.Format(again.data(), capacity, items.data(), n), rc);
        EXPECT_EQ(std::string(again.data(), strnlen(again.data(), room)), result.text);
        for (size_t i = room; i < again.size(); ++i) EXPECT_EQ(again[i], 'Z') << "byte " << i;
    }
    return result;
}

TEST(FormatValuesTest, Conversions) {
    const struct {
        const char* format;
        Values values;
        const char* text;
    } rows[] = {
        {"%d", Values().Int(70000), "4464"},  // cut to 16 bits without "l"
        {"%ld", Values().Int(70000), "70000"},
        {"%d", Values().Int(0xffff), "-1"},
        {"%u", Values().Int(0xffff), "65535"},
        {"%i|%li", Values().Int(-5).Int(-5), "-5|-5"},
        {"%-d|%0ld|%ld", Values().Int(7).Int(-7).Int(-2147483647 - 1), "7|-7|-2147483648"},
        {"%.0d|%.0u|%.1d", Values().Int(0).Int(0).Int(0), "||0"},
        {"%lu", Values().Int(-1), "4294967295"},
        {"%lx %lX", Values().Int(0xdeadbeef).Int(0xdeadbeef), "deadbeef DEADBEEF"},
        {"%o", Values().Int(8), "10"},
        {"%x", Values().Int(0x12345), "2345"},
        {"%ld", Values().Dbl(-7.9), "-7"},
        {"%5d|%-5d|", Values().Int(42).Int(42), "   42|42   |"},
        {"%05d", Values().Int(-42), "-0042"},
        {"%-05d|", Values().Int(3), "3    |"},
        {"%+d % d %+u", Values().Int(5).Int(5).Int(5), "+5  5 5"},
        {"%.3d|%.0d|%.d", Values().Int(7).Int(0).Int(0), "007||"},
        {"%8.3d|%08.3d", Values().Int(-7).Int(7), "    -007|     007"},
        {"%*d|%*d", Values().Int(6).Int(42).Int(-6).Int(42), "    42|42    "},
        {"%.*d|%.*d", Values().Int(3).Int(5).Int(-2).Int(5), "005|5"},
        {"%c%C%3c", Values().Int(0x141).Int('a').Int('b'), "AA  b"},
        {"%s|%8s|%-6s|", Values().Str("abc").Str("").Str("ab"), "abc|  <NULL>|ab    |"},
        {"%.1s|%05S", Values().Str("abc").Str("ab"), "abc|   ab"},
        // Plain directives only, which a plan writes without the formatter.
        {"%s|%S|%d.%u|%ld.%lu", Values().Str("").Str("ab").Int(-1).Int(-1).Int(-1).Int(-1),
         "<NULL>|ab|-1.65535|-1.4294967295"},
        {"%f", Values().Dbl(1.5), "1.500000"},
        {"%.2f|%.0f", Values().Dbl(0.5).Dbl(3.0), "0.50|3"},
        {"%8.3f|%08.3f|%-8.1f|", Values().Dbl(-1.5).Dbl(-1.5).Dbl(2.0),
         "  -1.500|-001.500|2.0     |"},
        {"%+.1f|% .1f", Values().Dbl(2.0).Dbl(2.0), "+2.0| 2.0"},
        {"%f", Values().Int(-1), "4294967295.000000"},  // integers read as unsigned words
        {"%e", Values().Dbl(12345.678), "1.234568e+004"},
        {"%.2e|%e", Values().Dbl(0.0).Dbl(1e-300), "0.00e+000|1.000000e-300"},
        {"%.3e|%12.1e", Values().Dbl(-1e100).Dbl(5.0), "-1.000e+100|    5.0e+000"},
        {"%%|%5%|%y|%5y|100%", Values(), "%|%|%y|%y|100%"},
        {"plain text", Values(), "plain text"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.format);
        Result got = Format(r.format, r.values);
        EXPECT_EQ(got.text, r.text);
        EXPECT_EQ(got.rc, static_cast<int>(strlen(r.text)));
    }
}

TEST(FormatValuesTest, InfinityNanAndHugePrecision) {
    Result r = Format("%f|%5f|%e", Values()
                                       .Dbl(std::numeric_limits<double>::infinity())
                                       .Dbl(-std::numeric_limits<double>::infinity())
                                       .Dbl(std::nan("")));
    EXPECT_EQ(r.text, "inf| -inf|nan");
    // Digits past any double's exact expansion are zeros.
    r = Format("%.1200f", Values().Dbl(0.5), 2000);
    ASSERT_EQ(r.rc, 1202);
    EXPECT_EQ(r.text, "0.5" + std::string(1199, '0'));
    r = Format("%.1200e", Values().Dbl(2.0), 2000);
    EXPECT_EQ(r.text, "2." + std::string(1200, '0') + "e+000");
}

// Failures keep what was written before them, and nothing is ever written
// past the capacity.
TEST(FormatValuesTest, ResultCodesAndTheCapacityBound) {
    const struct {
        const char* format;
        Values values;
        int capacity;
        int rc;
        const char* text;
    } rows[] = {
        {"a%d %d", Values().Int(1), 1020, kFormatMissingValue, "a1 "},
        {"%*d", Values(), 1020, kFormatMissingValue, ""},
        {"%.*d", Values().Int(1), 1020, kFormatMissingValue, ""},
        {"x%sy", Values().Int(1), 1020, kFormatBadValue, "x"},
        {"%d", Values().Str("1"), 1020, kFormatBadValue, ""},
        {"%e", Values().Str("1"), 1020, kFormatBadValue, ""},
        {"%c", Values().Str("1"), 1020, kFormatBadValue, ""},
        {"%d", Values().Null(), 1020, kFormatBadValue, ""},
        {"%d", Values().Int(1).Int(2), 1020, 1, "1"},  // extra values are ignored
        {"abc", Values(), 4, 3, "abc"},
        {"abcd", Values(), 4, kFormatNoRoom, "abc"},
        {"%5d", Values().Int(1), 4, kFormatNoRoom, "   "},
        {"%ld", Values().Int(123), 4, 3, "123"},
        {"%ld!", Values().Int(1234), 4, kFormatNoRoom, "123"},
        {"%1000000d", Values().Int(1), 16, kFormatNoRoom, "               "},
        {"%-1000000d", Values().Int(1), 16, kFormatNoRoom, "1              "},
        {"%.1000000d", Values().Int(1), 8, kFormatNoRoom, "0000000"},
        {"%2147483647s", Values().Str("a"), 5, kFormatNoRoom, "    "},
        {"%99999999999999999999c", Values().Int('a'), 3, kFormatNoRoom, "  "},
        {"%*s", Values().Int(INT32_MIN).Str("ab"), 5, kFormatNoRoom, "ab  "},
        {"%.1000000f", Values().Dbl(1.0), 6, kFormatNoRoom, "1.000"},
        {"%.1000000e", Values().Dbl(1.0), 6, kFormatNoRoom, "1.000"},
        {"%01000000.2f", Values().Dbl(-1.0), 6, kFormatNoRoom, "-0000"},
        {"x", Values(), 1, kFormatNoRoom, ""},
        {"", Values(), 1, 0, ""},
        {"x", Values(), 0, kFormatNoRoom, ""},
        {"x", Values(), -5, kFormatNoRoom, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.format) + " in " + std::to_string(r.capacity));
        Result got = Format(r.format, r.values, r.capacity);
        EXPECT_EQ(got.rc, r.rc);
        EXPECT_EQ(got.text, r.text);
    }
    ObArrayOf<CVarient> none;
    char out[4] = "abc";
    EXPECT_EQ(FormatValues(out, 4, nullptr, none), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(FormatValues(nullptr, 4, "x", none), kFormatNoRoom);
}

TEST(FormatValuesTest, IntToText) {
    const struct {
        uint32_t value;
        bool negative;
        int base;
        bool upper;
        const char* text;
    } rows[] = {
        {255, false, 16, false, "ff"},
        {255, false, 16, true, "FF"},
        {255, true, 2, false, "-11111111"},
        {0, false, 36, false, "0"},
        {35, false, 36, true, "Z"},
        {0xffffffffu, false, 2, false, "11111111111111111111111111111111"},
        {0x80000000u, true, 10, false, "-2147483648"},
        {1295, false, 36, false, "zz"},
    };
    for (const auto& r : rows) {
        char out[40];
        int n = IntToText(r.value, r.negative, r.base, r.upper, out, sizeof out);
        EXPECT_EQ(n, static_cast<int>(strlen(r.text)));
        EXPECT_STREQ(out, r.text);
    }
    char out[4] = "xyz";
    EXPECT_EQ(IntToText(5, false, 1, false, out, 4), -1);
    EXPECT_EQ(IntToText(5, false, 37, false, out, 4), -1);
    EXPECT_EQ(IntToText(1000, false, 10, false, out, 4), -1);  // no room for the terminator
    EXPECT_STREQ(out, "xyz");
    EXPECT_EQ(IntToText(999, false, 10, false, out, 4), 3);
    EXPECT_STREQ(out, "999");
    EXPECT_EQ(IntToText(1, false, 10, false, nullptr, 4), -1);
}

}  // namespace

// An integer's text in its type's default format is written without the
// formatter: it must be what the formatter makes of that format.
TEST(FormatValuesTest, DefaultIntegerTextIsTheFormattersText) {
    const int32_t kTypes[] = {kTypeInt1, kTypeInt2, kTypeInt4, kTypeUInt1, kTypeUInt2, kTypeUInt4};
    const uint32_t kWords[] = {0,      1,          9,           10,          127,        0xff,
                               0xffff, 0x7fffffff, 0x80000000u, 0xffffffffu, 0xffffff80u};
    for (int32_t type : kTypes) {
        for (uint32_t word : kWords) {
            FormatArg arg;
            arg.type = type;
            arg.word = word;
            OTSTR fast, formatted;
            ASSERT_TRUE(FormatValueText(fast, nullptr, arg));
            ASSERT_TRUE(FormatValueText(formatted, ValueTypeFormat(type), arg));
            EXPECT_STREQ(formatted.GetBuffer(0), fast.GetBuffer(0)) << type << " " << word;
        }
    }
}
