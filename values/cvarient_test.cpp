// Tests of the value type table and CVarient (values/value_type.cpp,
// values/cvarient.cpp): literals, readers, text forms, operators, messages.
#include "values/cvarient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

template <typename Fn>
std::string Traced(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

std::string Text(const CVarient& v, const char* format = nullptr) {
    OTSTR out;
    if (!v.getText(out, format)) return "<fail>";
    return std::string(out.GetBuffer(), out.GetLength());
}

// A value of a test table: an integer word of a type, a double, a string or
// nothing.
struct Val {
    int32_t type;
    uint32_t word;
    double number;
    const char* text;
};
Val I(int32_t type, int64_t n) {
    return {type, static_cast<uint32_t>(n), 0.0, nullptr};
}
const auto I4 = [](int64_t n) { return I(kTypeInt4, n); };
const auto U4 = [](int64_t n) { return I(kTypeUInt4, n); };
const auto D = [](double d) { return Val{kTypeDouble, 0, d, nullptr}; };
const auto S = [](const char* s) { return Val{kTypeOctet, 0, 0.0, s}; };
const Val kNone = {kTypeNone, 0, 0.0, nullptr};
const Val kUnary = {-2, 0, 0.0, nullptr};  // no left operand: a unary operator

CVarient Make(const Val& v) {
    CVarient out;
    if (v.type == kTypeDouble) {
        out.setDouble(v.number);
    } else if (v.type == kTypeOctet) {
        out.setBytes(v.text);
    } else if (v.type != kTypeNone) {
        out.setInteger(v.word, v.type);
    }
    return out;
}

// Every code from -1 to 11: name and width, and the class (s signed, u
// unsigned, n other numeric, v other valid, - not a type). The default
// formats are those of the text tests below.
TEST(ValueTypeTest, NamesWidthsAndClassesOfEveryCode) {
    std::string names, classes;
    for (int32_t code = -1; code <= 11; ++code) {
        names +=
            ValueTypeName(code) + std::string("/") + std::to_string(ValueTypeWidth(code)) + " ";
        classes += IsSignedType(code)       ? 's'
                   : IsUnsignedType(code)   ? 'u'
                   : IsNumericType(code)    ? 'n'
                   : IsValidValueType(code) ? 'v'
                                            : '-';
        EXPECT_EQ(IsIntegerType(code), IsSignedType(code) || IsUnsignedType(code)) << code;
        EXPECT_EQ(ValueTypeFormat(code) != nullptr, IsValidValueType(code)) << code;
    }
    EXPECT_EQ(names,
              "/0 INT1/1 INT2/2 INT4/4 UINT1/1 UINT2/2 UINT4/4 /0 OCTET/0 DOUBLE/8 /0 PVOID/8 /0 ");
    EXPECT_EQ(classes, "-sssuuu-vn-v-");
}

TEST(ValueTypeTest, TruncateDoubleToWordIsDefinedEverywhere) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        uint32_t out;
    } rows[] = {
        {2.9, 2},
        {-2.9, 0xfffffffeu},
        {0.0, 0},
        {nan, 0},
        {inf, 0xffffffffu},
        {-inf, 0x80000000u},
        {1e20, 0xffffffffu},
        {4294967295.9, 0xffffffffu},
        {-2147483648.0, 0x80000000u},
        {-3e9, 0x80000000u},
        {3e9, 3000000000u},
    };
    for (const auto& r : rows) EXPECT_EQ(TruncateDoubleToWord(r.in), r.out) << r.in;
}

TEST(CVarientLiteral, ParsesByTheLiteralsForm) {
    const struct {
        const char* text;
        int32_t type;
        const char* shown;
    } rows[] = {
        {" 0x1F ", kTypeUInt4, "31"},
        {"-12", kTypeInt4, "-12"},
        {"+7", kTypeInt4, "7"},
        {"\t 42\t", kTypeInt4, "42"},
        {"1.5", kTypeDouble, "1.50"},
        {"1.", kTypeDouble, "1.00"},
        {"0XfF", kTypeUInt4, "255"},
        {"-0x1", kTypeUInt4, "4294967295"},
        {"99999999999", kTypeInt4, "2147483647"},  // saturates like a 32-bit strtol
        {"-99999999999", kTypeInt4, "-2147483648"},
        {"0x1FFFFFFFF", kTypeUInt4, "4294967295"},
        {"'x'", kTypeOctet, "\"x\""},
        {"\"x\"", kTypeOctet, "\"x\""},
        {"\"\"", kTypeOctet, "\"\""},
        {"''", kTypeOctet, "\"\""},
        {"'a'b'", kTypeOctet, "\"a'b\""},
        {"  ' 1 '  ", kTypeOctet, "\" 1 \""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        CVarient v;
        v.SetName("n");
        ASSERT_TRUE(v.sets(r.text));
        EXPECT_EQ(v.GetType(), r.type);
        EXPECT_EQ(v.GetCount(), 1);
        EXPECT_EQ(Text(v), r.shown);
        EXPECT_STREQ(v.GetName().GetBuffer(), "n");
    }
}

TEST(CVarientLiteral, RejectsWithTheMessage) {
    for (const char* text : {"1.2.3", "abc", ".5", "", "   ", "'", "0x", "0xG1", "1e5", "- 1",
                             "1 2", "'abc\"", "--1", "0x-1", "+", "12a"}) {
        SCOPED_TRACE(text);
        CVarient v;
        v.setInteger(5, kTypeInt4);
        std::string trace = Traced([&] { EXPECT_FALSE(v.sets(text)); });
        EXPECT_EQ(trace,
                  "CVarient::sets() fail, '" + std::string(text) + "' is't a valid value !\n");
        EXPECT_EQ(v.GetType(), kTypeNone);
        EXPECT_FALSE(v.HasValue());
    }
    CVarient v;
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(v.sets(nullptr)); }), "");
    // Without quote characters a quoted text is just invalid.
    EXPECT_FALSE(v.sets("'x'", ""));
}

TEST(CVarientSetters, ReadOnlyValueRefusesEverySetter) {
    CVarient v;
    v.setInteger(9, kTypeInt4);
    v.SetWritable(false);
    CVarient other = Make(S("abc"));
    EXPECT_FALSE(v.sets("1"));
    EXPECT_FALSE(v.setBytes("x"));
    EXPECT_FALSE(v.setDouble(1.0));
    EXPECT_FALSE(v.setInteger(1, kTypeInt4));
    EXPECT_FALSE(v.assign(other));
    EXPECT_FALSE(v.clone(other));
    EXPECT_FALSE(v.setIdentRef("a.b"));
    EXPECT_FALSE(v.Operate(other, "+", other));
    EXPECT_FALSE(v.Operate("-", other));
    EXPECT_EQ(v.getLong(), 9);
    v.clear();
    EXPECT_TRUE(v.IsWritable());
}

TEST(CVarientSetters, TypesNamesAndIdentRef) {
    CVarient v;
    v.SetName("x");
    v.SetDescription("d");
    for (int32_t bad : {-1, 6, 7, 8, 10}) EXPECT_FALSE(v.setInteger(1, bad)) << bad;
    EXPECT_EQ(v.GetType(), kTypeNone);

    ASSERT_TRUE(v.setIdentRef("a.b[2]"));
    EXPECT_TRUE(v.IsIdentRef());
    EXPECT_EQ(v.GetType(), kTypeOctet);
    EXPECT_EQ(Text(v), "\"a.b[2]\"");
    EXPECT_TRUE(v.setInteger(1, kTypeInt1));
    EXPECT_FALSE(v.IsIdentRef());
    v.setIdentRef("p");
    v.clear();
    EXPECT_FALSE(v.IsIdentRef());
    EXPECT_STREQ(v.GetName().GetBuffer(), "x");
    EXPECT_STREQ(v.GetDescription().GetBuffer(), "d");
    v.clear(false);
    EXPECT_STREQ(v.GetName().GetBuffer(), "");
    EXPECT_EQ(v.GetCount(), 0);

    // Explicit lengths keep zero bytes; -1 stops at the first one.
    ASSERT_TRUE(v.setBytes("a\0b", 3));
    EXPECT_EQ(v.value, 3u);
    ASSERT_TRUE(v.setBytes("a\0b"));
    EXPECT_EQ(v.value, 1u);
    EXPECT_FALSE(v.setBytes(nullptr, 2));
    EXPECT_FALSE(v.setBytes("abc", -2));
    EXPECT_TRUE(v.setBytes(nullptr, 0));
    EXPECT_EQ(Text(v), "\"\"");
}

TEST(CVarientSetters, AssignAndCloneAlsoFromThemselves) {
    CVarient s = Make(S("hello"));
    s.SetName("src");
    s.SetWritable(false);
    CVarient c;
    ASSERT_TRUE(c.clone(s));
    EXPECT_STREQ(c.GetName().GetBuffer(), "src");
    EXPECT_FALSE(c.IsWritable());
    EXPECT_NE(c.data, s.data);

    CVarient a;
    a.SetName("dst");
    ASSERT_TRUE(a.assign(s));
    EXPECT_STREQ(a.GetName().GetBuffer(), "dst");
    EXPECT_TRUE(a.IsWritable());
    ASSERT_TRUE(a.assign(a));  // the source's bytes must survive the clear
    EXPECT_EQ(Text(a), "\"hello\"");
    ASSERT_TRUE(a.setBytes(reinterpret_cast<const char*>(a.data) + 1, 3));
    EXPECT_EQ(Text(a), "\"ell\"");
    ASSERT_TRUE(a.clone(a));
    EXPECT_EQ(Text(a), "\"ell\"");

    CVarient d = Make(D(-2.5));
    ASSERT_TRUE(a.assign(d));
    EXPECT_EQ(a.GetType(), kTypeDouble);
    EXPECT_FALSE(a.assign(CVarient()));
    EXPECT_EQ(a.GetType(), kTypeNone);

    // Set again over a block of its own: shorter, longer, of another type.
    CVarient r = Make(S("a text longer than the next"));
    r.SetName("r");
    ASSERT_TRUE(r.setBytes("hi"));
    EXPECT_EQ(Text(r), "\"hi\"");
    ASSERT_TRUE(r.clone(d));
    EXPECT_EQ(r.GetType(), kTypeDouble);
    EXPECT_STREQ(r.GetName().GetBuffer(), "");
    ASSERT_TRUE(r.clone(s));
    EXPECT_EQ(Text(r), "\"hello\"");
    EXPECT_FALSE(r.IsWritable());
    r.SetWritable(true);
    ASSERT_TRUE(r.setBytes(std::string(300, 'x').c_str()));
    EXPECT_EQ(r.value, 300u);

    // ClearToInteger leaves what clear and setInteger leave, from a text
    // with a name or from a bare integer; a type that is no integer leaves
    // the value cleared.
    for (bool named : {true, false}) {
        CVarient v;
        if (named) {
            v.setBytes("text");
            v.SetName("n");
            v.SetDescription("d");
        } else {
            v.setInteger(7, kTypeUInt1);
        }
        v.SetWritable(false);
        ASSERT_TRUE(v.ClearToInteger(5, kTypeInt4));
        EXPECT_EQ(Text(v), "5");
        EXPECT_EQ(v.GetType(), kTypeInt4);
        EXPECT_EQ(v.GetCount(), 1);
        EXPECT_TRUE(v.IsWritable());
        EXPECT_EQ(v.data, nullptr);
        EXPECT_STREQ(v.GetName().GetBuffer(), "");
        EXPECT_FALSE(v.ClearToInteger(5, kTypeDouble));
        EXPECT_FALSE(v.HasValue());
        EXPECT_EQ(v.GetType(), kTypeNone);
        EXPECT_EQ(v.value, 0u);
    }
}

TEST(CVarientReaders, ConversionsByType) {
    CVarient v = Make(I4(-1));
    EXPECT_EQ(v.getDouble(), 4294967295.0);  // the word is read unsigned
    EXPECT_EQ(v.getUInt32(), 0xffffffffu);
    EXPECT_EQ(v.getLong(), -1);

    v.setInteger(0x12345678, kTypeInt1);  // the full word is kept
    EXPECT_EQ(v.getUInt32(), 0x12345678u);
    EXPECT_EQ(v.getUInt16(), 0x5678u);
    EXPECT_EQ(v.getUInt8(), 0x78u);

    v.setDouble(-2.7);
    EXPECT_EQ(v.getUInt32(), 0xfffffffeu);
    EXPECT_EQ(v.getLong(), -2);
    EXPECT_EQ(v.getUInt8(), 0xfeu);
    v.setDouble(std::nan(""));
    EXPECT_EQ(v.getLong(), 0);

    v.setBytes("abc");
    double d = 9;
    uint32_t u = 9;
    EXPECT_FALSE(v.getDouble(d));
    EXPECT_FALSE(v.getUInt32(u));
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(u, 0u);
    const char* bytes = nullptr;
    int32_t length = 0;
    ASSERT_TRUE(v.getBytes(&bytes, &length));
    EXPECT_EQ(std::string(bytes, length), "abc");

    v.setInteger(1, kTypeInt4);
    OTSTR s("keep");
    EXPECT_FALSE(v.getBytes(&bytes, &length));
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(v.getString(s));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CVarientText, DefaultAndGivenFormats) {
    const struct {
        Val v;
        const char* format;
        const char* text;
    } rows[] = {
        {kNone, nullptr, "-"},
        {S("abc"), nullptr, "\"abc\""},
        {D(2.5), nullptr, "2.50"},
        {I(kTypeInt1, 0xff), nullptr, "-1"},
        {I(kTypeInt1, 0x17f), nullptr, "127"},
        {I(kTypeInt2, 0x8000), nullptr, "-32768"},
        {I4(0x80000000), nullptr, "-2147483648"},
        {I(kTypeUInt1, 0xffffffff), nullptr, "255"},
        {I(kTypeUInt2, 0xffffffff), nullptr, "65535"},
        {U4(0xffffffff), nullptr, "4294967295"},
        // Given formats take the whole 32-bit value, with or without "l".
        {I4(0x12345), "%x", "12345"},
        {I4(-1), "%u", "4294967295"},
        {I(kTypeInt1, 0xff), "%d", "-1"},
        {I4(255), "[%04X]", "[00FF]"},
        {I4(-3), "%.1f", "-3.0"},
        {D(-7.9), "%d", "-7"},
        {S("ab"), "<%s>", "<ab>"},
        {S(""), "%s", ""},
        {I4(1), "%n", "%n"},
        // A format that cannot take the value, or asks for two, fails.
        {S("ab"), "%d", "<fail>"},
        {I4(1), "%s", "<fail>"},
        {I4(1), "%d %d", "<fail>"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.format != nullptr ? r.format : "default");
        EXPECT_EQ(Text(Make(r.v), r.format), r.text);
    }
    // Long strings are not cut at any internal buffer size.
    std::string longText(5000, 'q');
    EXPECT_EQ(Text(Make(S(longText.c_str()))), "\"" + longText + "\"");
}

struct BinaryCase {
    Val lhs;
    const char* op;
    Val rhs;
    int32_t type;  // kTypeNone: the operation fails
    const char* text;
    const char* failure = " fail !\n";  // the end of a failure's trace
};

// Binary operators by the pair of operand types, and unary ones.
TEST(CVarientOperate, BinaryByTypePairAndUnary) {
    const int32_t kI4 = kTypeInt4, kU4 = kTypeUInt4, kDb = kTypeDouble, kOc = kTypeOctet;
    const char* kByZero = " fail, divide or mode by zeor !\n";
    const BinaryCase cases[] = {
        // signed
        {I4(7), "/", I4(2), kI4, "3"},
        {I4(-7), "%", I4(2), kI4, "-1"},
        {I4(-7), "/", I4(2), kI4, "-3"},
        {I4(INT32_MIN), "/", I4(-1), kI4, "-2147483648"},
        {I4(INT32_MIN), "%", I4(-1), kI4, "0"},
        {I4(5), "/", I4(-1), kI4, "-5"},
        {I4(5), "%", I4(-1), kI4, "0"},
        {I4(INT32_MAX), "+", I4(1), kI4, "-2147483648"},
        {I4(INT32_MIN), "-", I4(1), kI4, "2147483647"},
        {I4(65536), "*", I4(65536), kI4, "0"},
        {I4(-8), ">>", I4(1), kI4, "-4"},
        {I4(-1), ">>", I4(31), kI4, "-1"},
        {I4(1), "<<", I4(33), kI4, "2"},
        {I4(1), "<<", I4(-1), kI4, "-2147483648"},
        {I4(6), "&", I4(3), kI4, "2"},
        {I4(6), "|", I4(3), kI4, "7"},
        {I4(6), "^", I4(3), kI4, "5"},
        {I4(-1), "<", I4(0), kI4, "1"},
        {I4(2), "<=", I4(2), kI4, "1"},
        {I4(3), "&&", I4(0), kI4, "0"},
        {I4(3), "||", I4(0), kI4, "1"},
        {I(kTypeInt1, 5), "+", I(kTypeInt1, 5), kI4, "10"},
        // mixed signed and unsigned: signed INT4
        {I(kTypeInt1, 5), "-", U4(7), kI4, "-2"},
        {U4(0xffffffff), "<", I4(0), kI4, "1"},
        // unsigned
        {I(kTypeUInt1, 5), "-", I(kTypeUInt1, 7), kU4, "4294967294"},
        {U4(0xffffffff), ">", U4(0), kU4, "1"},
        {U4(0xfffffff8), ">>", U4(1), kU4, "2147483644"},
        {U4(0xffffffff), "%", U4(10), kU4, "5"},
        {U4(7), "/", I(kTypeUInt2, 2), kU4, "3"},
        // doubles and integers with doubles
        {D(1.0), "/", I4(4), kDb, "0.25"},
        {D(1.5), "*", D(-2.0), kDb, "-3.00"},
        {D(2.5), "<", I4(3), kI4, "1"},
        {D(1.0), "==", D(1.0000001), kI4, "1"},
        {D(1.0), "==", D(1.00001), kI4, "0"},
        {D(0.1 + 0.2), "==", D(0.3), kI4, "1"},
        {I4(-1), "+", D(0.5), kDb, "4294967295.50"},  // integers convert as unsigned words
        {D(1.0), "!=", D(2.0), kTypeNone, "-"},
        {D(5.0), "%", D(2.0), kTypeNone, "-"},
        {D(1.0), "&&", D(1.0), kTypeNone, "-"},
        // strings
        {S("ab"), "+", S("cd"), kOc, "\"abcd\""},
        {S("abc"), "==", S("ab"), kI4, "1"},
        {S("ab"), "==", S("abc"), kI4, "0"},
        {S("AB"), "==", S("ab"), kI4, "0"},
        {S(""), "==", S(""), kI4, "1"},
        {S("abc"), "!=", S("abd"), kI4, "1"},
        {S("ab"), "<", S("cd"), kTypeNone, "-"},
        {S("ab"), "+", I4(1), kTypeNone, "-"},
        // no value
        {kNone, "==", kNone, kI4, "1"},
        {kNone, "!=", kNone, kTypeNone, "-"},
        {kNone, "+", I4(1), kTypeNone, "-"},
        {I4(1), "**", I4(1), kTypeNone, "-"},
        // every integer operator by its exact text, and texts that only
        // begin like one
        {I4(2), ">=", I4(3), kI4, "0"},
        {I4(3), "==", I4(3), kI4, "1"},
        {I4(3), "!=", I4(3), kI4, "0"},
        {I4(1), "<>", I4(2), kTypeNone, "-"},
        {I4(1), "=>", I4(2), kTypeNone, "-"},
        {I4(1), "<<=", I4(2), kTypeNone, "-"},
        {I4(1), "&&&", I4(2), kTypeNone, "-"},
        {I4(1), "", I4(2), kTypeNone, "-"},
        {D(2.0), ">=", D(3.0), kI4, "0"},
        // divide by zero (a double within the tolerance counts), with its own message
        {I4(1), "/", I4(0), kTypeNone, "-", kByZero},
        {U4(1), "%", U4(0), kTypeNone, "-", kByZero},
        {D(1.0), "/", D(0.0000001), kTypeNone, "-", kByZero},
        {D(1.0), "/", I4(0), kTypeNone, "-", kByZero},
        // unary
        {kUnary, "-", U4(1), kTypeInt4, "-1"},
        {kUnary, "-", I4(INT32_MIN), kTypeInt4, "-2147483648"},
        {kUnary, "~", I(kTypeUInt1, 0), kTypeUInt1, "255"},
        {kUnary, "~", I4(0), kTypeInt4, "-1"},
        {kUnary, "+", I(kTypeInt2, 0xffff), kTypeInt2, "-1"},
        {kUnary, "!", I4(5), kTypeInt4, "0"},
        {kUnary, "!", U4(0), kTypeInt4, "1"},
        {kUnary, "-", D(2.5), kTypeDouble, "-2.50"},
        {kUnary, "+", D(2.5), kTypeDouble, "2.50"},
        {kUnary, "~", D(2.5), kTypeNone, "-"},
        {kUnary, "!", D(0.0), kTypeNone, "-"},
        {kUnary, "-", S("a"), kTypeNone, "-"},
        {kUnary, "-", kNone, kTypeNone, "-"},
    };
    for (const BinaryCase& c : cases) {
        const bool unary = c.lhs.type == kUnary.type;
        CVarient l = Make(c.lhs), r = Make(c.rhs), result;
        const std::string shown = (unary ? "" : Text(l) + ",") + "'" + c.op + "'," + Text(r);
        SCOPED_TRACE(shown);
        result.SetName("res");
        bool ok = false;
        std::string trace =
            Traced([&] { ok = unary ? result.Operate(c.op, r) : result.Operate(l, c.op, r); });
        EXPECT_EQ(ok, c.type != kTypeNone);
        EXPECT_EQ(result.GetType(), c.type);
        EXPECT_EQ(result.HasValue(), ok);
        EXPECT_EQ(Text(result), c.text);
        EXPECT_STREQ(result.GetName().GetBuffer(), "res");
        EXPECT_EQ(trace, ok ? "" : "CVarient::Operate(" + shown + ")" + c.failure);
    }
}

TEST(CVarientOperate, CaseInsensitiveZerosAndResultAsOperand) {
    CVarient r;
    ASSERT_TRUE(r.Operate(Make(S("ABC")), "==", Make(S("ab")), false));
    EXPECT_EQ(r.getLong(), 1);
    // The comparison ends at a zero byte common to both.
    CVarient a, b;
    a.setBytes("x\0yz", 4);
    b.setBytes("x\0q", 3);
    ASSERT_TRUE(r.Operate(a, "==", b));
    EXPECT_EQ(r.getLong(), 1);

    CVarient v = Make(S("ab"));
    ASSERT_TRUE(v.Operate(v, "+", v));
    EXPECT_EQ(Text(v), "\"abab\"");
    CVarient n = Make(I4(5));
    ASSERT_TRUE(n.Operate(n, "*", Make(I4(3))));
    EXPECT_EQ(n.getLong(), 15);
    ASSERT_TRUE(n.Operate("-", n));
    EXPECT_EQ(n.getLong(), -15);
    // A unary result keeps the whole word.
    ASSERT_TRUE(n.Operate("~", Make(I(kTypeUInt1, 0))));
    EXPECT_EQ(n.value, 0xffffffffu);
}

// Every operator text reads as its own code, and only those texts do.
TEST(CVarientOperate, OperatorCodesOfTheirTexts) {
    const char* const texts[] = {"+",  "-",  "*",  "/",  "%", "&", "|",  "^",  "<<", ">>",
                                 "==", "!=", "<=", ">=", ">", "<", "&&", "||", "=",  "?"};
    for (int i = 0; i < static_cast<int>(std::size(texts)); ++i) {
        EXPECT_EQ(static_cast<int>(OperatorCodeOf(texts[i])), i) << texts[i];
    }
    for (const char* other : {"", "**", "=<", "+=", "<<=", "!", "~", "=>", "a"}) {
        EXPECT_EQ(OperatorCodeOf(other), OperatorCode::kUnknown) << other;
    }
    EXPECT_EQ(OperatorCodeOf(nullptr), OperatorCode::kUnknown);
}

// The word forms that the evaluator's integer route uses agree with Operate
// on every operator, every pair of integer types and values at the edges:
// the same word and type where Operate succeeds, a refusal where it fails.
TEST(CVarientOperate, WordFormsAgreeWithOperate) {
    const int32_t types[] = {kTypeInt1, kTypeUInt1, kTypeInt2, kTypeUInt2, kTypeInt4, kTypeUInt4};
    const uint32_t words[] = {0, 1, 2, 31, 32, 0x7f, 0xff, 0xffffffffu, 0x80000000u, 0x7fffffffu};
    const char* const binary[] = {"+",  "-",  "*",  "/",  "%",  "&",  "|",  "^",
                                  "<<", ">>", "==", "!=", "<=", ">=", ">",  "<",
                                  "&&", "||", "=",  "?",  "**", "",   "=<", "+="};
    const char* const unary[] = {"-", "+", "~", "!", "*", "--"};
    // result, word and type hold what Operate and the word forms gave last;
    // agree records the operation when the two differ.
    std::string differ;
    CVarient result;
    uint32_t word = 0;
    int32_t type = kTypeNone;
    auto agree = [&](const std::string& what, bool ok, bool wordOk) {
        if (ok != wordOk || (ok && (result.GetType() != type || result.value != word))) {
            differ += what + "\n";
        }
    };
    // Operate traces its failures: once for the whole table.
    Traced([&] {
        for (int32_t lt : types) {
            for (uint32_t l : words) {
                CVarient left = Make(I(lt, l));
                for (const char* op : unary) {
                    bool ok = result.Operate(op, left);
                    agree(op + Text(left), ok,
                          CVarient::OperateWord(op, left.value, lt, word, type));
                }
                for (int32_t rt : types) {
                    for (uint32_t r : words) {
                        CVarient right = Make(I(rt, r));
                        for (const char* op : binary) {
                            std::string what = Text(left) + op + Text(right);
                            bool ok = result.Operate(left, op, right);
                            agree(what, ok,
                                  CVarient::OperateWords(left.value, lt, op, right.value, rt, word,
                                                         type));
                            // The forms of an operator read before agree too.
                            OperatorCode code = OperatorCodeOf(op);
                            agree(what + " (code)", ok,
                                  CVarient::OperateWords(left.value, lt, code, right.value, rt,
                                                         word, type));
                            CVarient coded;
                            bool codedOk = coded.Operate(left, code, op, right);
                            if (codedOk != ok || (ok && (coded.GetType() != result.GetType() ||
                                                         coded.value != result.value))) {
                                differ += what + " (coded Operate)\n";
                            }
                        }
                    }
                }
            }
        }
    });
    EXPECT_EQ("", differ);
}
}  // namespace
