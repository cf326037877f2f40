// Tests of the expression parser and evaluator: grouping, evaluation
// through the variable callback, access paths, messages and hostile input.
#include "values/expr_evaluator.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"

namespace {

// Variables of a test, and a log of what the evaluator asked for.
struct Vars {
    std::map<std::string, CVarient> values;
    std::vector<std::string> log;

    static int Callback(void* context, int argc, void** argv) {
        auto* self = static_cast<Vars*>(context);
        if (argc != 3) return 0;
        int code = static_cast<int>(reinterpret_cast<intptr_t>(argv[0]));
        std::string path = static_cast<const char*>(argv[1]);
        switch (code) {
            case kVarAssign:
                self->log.push_back("set " + path);
                self->values[path].clone(*static_cast<CVarient*>(argv[2]));
                return 1;
            case kVarRead: {
                self->log.push_back("get " + path);
                if (path.rfind("twice(", 0) == 0) {
                    return static_cast<CVarient*>(argv[2])->setInteger(42, kTypeInt4);
                }
                auto it = self->values.find(path);
                if (it == self->values.end()) return 0;
                return static_cast<CVarient*>(argv[2])->clone(it->second);
            }
            case kVarAssignText:
                self->log.push_back("text " + path + "=" + static_cast<const char*>(argv[2]));
                return 1;
        }
        return 0;
    }
};

class ExprTest : public ::testing::Test {
  protected:
    ExprTest() {
        eval.SetCallback(&vars, Vars::Callback);
        Set("a", 1);
        Set("b", 2);
        Set("c", 0);
        Set("d", 3);
    }
    void Set(const char* name, int32_t v) {
        vars.values[name].setInteger(static_cast<uint32_t>(v), kTypeInt4);
    }
    std::string Error() { return eval.GetLastError().GetBuffer(0); }
    // The postfix form of the tree, or the error.
    std::string Postfix(const char* text, int flags = 0) {
        ExprNode* tree = eval.GetExpression(text, flags);
        if (tree == nullptr) return "ERROR " + Error();
        OTSTR out;
        ExprEvaluator::ToPostfix(tree, out);
        ExprEvaluator::FreeExpression(tree);
        return out.GetBuffer(0);
    }
    std::string Value(const char* text) {
        CVarient v;
        if (!eval.CalcValue(text, v, false)) return "ERROR " + Error();
        OTSTR out;
        v.getText(out);
        return out.GetBuffer(0);
    }

    Vars vars;
    ExprEvaluator eval;
};

// The postfix form of each text, or its parse error, and where given the
// value that the evaluation gives with the variables of the callback.
TEST_F(ExprTest, GroupingParseErrorsAndValues) {
    struct Case {
        const char* text;
        int flags;
        const char* postfix;
        const char* value = nullptr;  // null: not evaluated
    } cases[] = {
        {"1 + 2 * 3", 0, "1 2 3 * + ", "7"},
        {"(1 + 2) * 3", 0, "1 2 + 3 * ", "9"},
        {"10 - 4 - 3", 0, "10 4 - 3 - ", "3"},
        {"2 << 1 + 1", 0, "2 1 1 + << ", "8"},
        {"a == 1 && b == 2", 0, "a 1 == b && 2 == ", "0"},  // ((a == 1) && b) == 2
        {"a == 1 && b", 0, "a 1 == b && ", "1"},
        {"-a * 2", 0, "a $ 2 * ", "-2"},
        {"+x", 0, "x @ "},
        {"!a == b", 0, "a ! b == "},
        {"~-a", 0, "a $ ~ "},
        {"c ? 10 : 20", 0, "c 10 20 ? ", "20"},
        {"c ? 1 : 2 ? 3 : 4", 0, "c 1 2 ? 3 4 ? ", "3"},
        {"a = b = 3", 0, "a b 3 = = "},
        {"a & b | c ^ d", 0, "a b & c | d ^ "},
        {"x = y + 1 * 2", 0, "x y 1 2 * + = "},
        {"a.b[i + 1].c", 0, "a.b[i + 1].c "},
        {"f (x, g(y)) * 2", 0, "f(x, g(y)) 2 * "},
        {"twice(a) + 1", 0, "twice(a) 1 + ", "43"},
        {"Color::Red + 1", 0, "Color::Red 1 + "},
        {"'x' + \"y z\"", 0, "'x' \"y z\" + ", "\"xy z\""},
        {"0x1F + 1.5 /* note */ - 2 // end", 0, "0x1F 1.5 + 2 - "},
        {"7 / 2", 0, "7 2 / ", "3"},
        {"1.5 * 2", 0, "1.5 2 * ", "3.00"},
        {"0x10 - 1", 0, "0x10 1 - ", "15"},
        {"nope + 1", 0, "nope 1 + ", "ERROR get 'nope' value failed"},
        {"1 / 0", 0, "1 0 / ", "ERROR CVarient::Operate(1,'/',0) fail !"},
        {"a = {1, 2}", 1, "a {1, 2} = "},
        {"{1, 2}", 2, "{1, 2} "},
        {"", 0, "ERROR GetExpression() fail, lpstr_expression can't be null"},
        {"()", 0, "ERROR GetExpression() fail, lpstr_expression can't be null"},
        {"1 2", 0, "ERROR GetExpression() fail, extra character found after '1'"},
        {"(1 + 2", 0, "ERROR GetExpression() fetch (..) error"},
        {"1 +", 0, "ERROR GetExpression() error, ident or value expected"},
        {"1 + * 2", 0, "ERROR GetExpression() error, Operator * illegal"},
        {"1 + int", 0, "ERROR GetExpression() error,  operator, ident or value expected"},
        {"c ? 1 2", 0, "ERROR GetExpression() error, ':' expected after c ? 1"},
        {"a = {1, 2}", 0, "ERROR GetExpression() error, Operator { illegal"},
        {"{1}", 0, "ERROR GetExpression() error, Operator { illegal",
         "ERROR GetExpression() error, Operator { illegal"},
        {"{1, 2} + 1", 2, "ERROR illegal use of valueset"},
        {"a.", 0, "ERROR GetExpression() error, Ln 0  syntax error after 'a.'"},
        {"E::", 0, "ERROR GetExpression() error, Ln 0  syntax error after '::'"},
        {"m[1", 0, "ERROR GetExpression() error, Ln 0  symbol Idx error"},
        {"f(1", 0, "ERROR GetExpression() error, Ln 0  get procedure params failed"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.postfix, Postfix(c.text, c.flags)) << c.text;
        if (c.value != nullptr) {
            EXPECT_EQ(c.value, Value(c.text)) << c.text;
        }
    }
    EXPECT_EQ(nullptr, eval.GetExpression(nullptr, 0));
    EXPECT_EQ("GetExpression() fail, lpstr_expression can't be null", Error());
    int32_t n = 0;
    ASSERT_TRUE(eval.CalcLong("d * 2 - 1", n));
    EXPECT_EQ(5, n);
    EXPECT_FALSE(eval.CalcLong("", n));
}

TEST_F(ExprTest, AssignmentsKeepReferencesOrValues) {
    CVarient result;
    std::unique_ptr<ExprNode> tree(eval.GetExpression("x = y = 3", 0));
    ASSERT_NE(nullptr, tree);
    ASSERT_TRUE(eval.Evaluate(tree.get(), result));
    EXPECT_TRUE(result.IsIdentRef());
    OTSTR path;
    result.getString(path);
    EXPECT_STREQ("x", path.GetBuffer(0));
    EXPECT_EQ((std::vector<std::string>{"set y", "text x=y"}), vars.log);

    vars.log.clear();
    ASSERT_TRUE(eval.EvaluateValue(tree.get(), result));
    EXPECT_EQ(3u, result.getUInt32());
    EXPECT_EQ((std::vector<std::string>{"set y", "set x"}), vars.log);

    // A bare identifier stays a reference; nothing is read.
    vars.log.clear();
    tree.reset(eval.GetExpression("a", 0));
    ASSERT_TRUE(eval.Evaluate(tree.get(), result));
    EXPECT_TRUE(result.IsIdentRef());
    EXPECT_TRUE(vars.log.empty());
    int32_t truth = 0;
    ASSERT_TRUE(eval.EvaluateBool(tree.get(), truth));
    EXPECT_EQ(1, truth);

    vars.log.clear();
    tree.reset(eval.GetExpression("v = {1, 2}", 1));
    ASSERT_TRUE(eval.Evaluate(tree.get(), result));
    EXPECT_EQ((std::vector<std::string>{"text v={1, 2}"}), vars.log);

    tree.reset(eval.GetExpression("3 = a", 0));
    ASSERT_NE(nullptr, tree);
    EXPECT_FALSE(eval.Evaluate(tree.get(), result));
    EXPECT_EQ("left operand should be ident", Error());
    EXPECT_FALSE(eval.AssignValue(tree.get(), result));
    EXPECT_EQ("assignValue failed, left symbol of '=' is not a legal ident", Error());

    ExprEvaluator lonely;
    EXPECT_FALSE(lonely.CalcValue("z = 1", result, false));
    EXPECT_STREQ("assign value for 'z' failed", lonely.GetLastError().GetBuffer(0));
}

TEST_F(ExprTest, TreeHelpers) {
    ExprNode* tree = eval.GetExpression("a + (b * c) - -d", 0);
    ASSERT_NE(nullptr, tree);
    EXPECT_EQ(4, ExprEvaluator::Depth(tree));
    EXPECT_STREQ("(a + (b * c)) - (-d)", ExprEvaluator::ToText(tree).GetBuffer(0));
    ObArrayOf<ExprNode> pre(25), post(25);
    ExprEvaluator::CollectNodes(tree, pre, true);
    ExprEvaluator::CollectNodes(tree, post, false);
    ASSERT_EQ(8, pre.GetSize());
    EXPECT_STREQ("-", pre.GetAt(0)->text.GetBuffer(0));
    EXPECT_STREQ("a", post.GetAt(0)->text.GetBuffer(0));
    // Positions inside parentheses are shifted by the position of the '('.
    ExprNode* b = pre.GetAt(4);
    EXPECT_STREQ("b", b->text.GetBuffer(0));
    EXPECT_EQ(4, b->pos.offset);
    SourcePos base("f.txt", 100, 3, 0);
    ExprEvaluator::OffsetPositions(tree, base);
    EXPECT_EQ(100, post.GetAt(0)->pos.offset);
    EXPECT_EQ(3, post.GetAt(0)->pos.line);
    ExprEvaluator::FreeExpression(tree);
}

TEST(ExprSplitPath, SplitsTheFirstIdentifier) {
    struct Case {
        const char* path;
        const char* ident;
        const char* subscript;
        const char* rest;
        int identEnd, restStart;
    } cases[] = {
        {"a[i+1].b.c", "a", "[i+1]", "b.c", 1, 7},
        {"f(x)", "f", "(x)", "", 1, 4},
        {"m[1][2]", "m", "[1]", "[2]", 1, 4},
        {"  name ", "name", "", "", 7, 7},
        {"s.t", "s", "", "t", 1, 2},
        {"q[a[1]]", "q", "[a[1]]", "", 1, 7},
        // Brackets of the subscript's kind count inside quotes too.
        {"m[\"]\"]", "m", "[\"]", "\"]", 1, 4},
    };
    for (const Case& c : cases) {
        OTSTR ident, subscript, rest;
        int identEnd = -1, restStart = -1;
        ASSERT_TRUE(ExprEvaluator::SplitPath(c.path, ident, subscript, rest, &identEnd, &restStart))
            << c.path;
        EXPECT_STREQ(c.ident, ident.GetBuffer(0)) << c.path;
        EXPECT_STREQ(c.subscript, subscript.GetBuffer(0)) << c.path;
        EXPECT_STREQ(c.rest, rest.GetBuffer(0)) << c.path;
        EXPECT_EQ(c.identEnd, identEnd) << c.path;
        EXPECT_EQ(c.restStart, restStart) << c.path;
    }
    OTSTR i, s, r;
    EXPECT_FALSE(ExprEvaluator::SplitPath("a[1", i, s, r));
}

TEST(ExprOperand, ModesOfTheOperandReader) {
    ScriptLexer lexer;
    Token token;
    lexer.SetBuffer("$3 {a, {b}} // note");
    ASSERT_EQ(1, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithDollarNumber));
    EXPECT_STREQ("$3", token.text.GetBuffer(0));
    EXPECT_EQ(kTokIdent, token.id);
    ASSERT_EQ(1, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithValueSet));
    EXPECT_EQ(kExprValueSet, token.id);
    EXPECT_STREQ("{a, {b}}", token.text.GetBuffer(0));
    ASSERT_EQ(1, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithLineComment));
    EXPECT_STREQ("note", token.text.GetBuffer(0));
    EXPECT_EQ(0, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithCall));

    lexer.SetBuffer("$x {open");
    EXPECT_EQ(-1, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithDollarNumber));
    EXPECT_STREQ("syntax error after '$', illegal number expected",
                 lexer.GetLastError().GetBuffer(0));
    lexer.SetBuffer("{open");
    ASSERT_EQ(1, ExprEvaluator::FetchOperand(lexer, token, ExprEvaluator::kWithValueSet));
    EXPECT_STREQ("{", token.text.GetBuffer(0)) << "an unclosed value set is an ordinary '{'";
}

TEST_F(ExprTest, HostileExpressionsEndInATreeOrAMessage) {
    std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    std::string chain = "1", assigns = "a";
    for (int i = 0; i < 3000; ++i) chain += "+1", assigns += "=a";
    for (const std::string& text : {deep, std::string(5000, '-') + "1", chain, assigns}) {
        EXPECT_EQ("ERROR GetExpression() error, expression nested too deep", Postfix(text.c_str()));
    }
    EXPECT_EQ("256", Value(("(" + std::string(100, '(') + "256" + std::string(101, ')')).c_str()));

    const char* pieces[] = {"a",  "1", "+", "-",   "(", ")", "?",  ":",  "=",   "[", "]", ".",
                            "::", "{", "}", "'s'", "@", "~", "f(", "0x", "1.5", "!", ",", " "};
    uint32_t seed = 17;
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        int n = 1 + round % 12;
        for (int i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += pieces[(seed >> 16) % (sizeof pieces / sizeof pieces[0])];
        }
        for (int flags = 0; flags < 4; ++flags) {
            ExprNode* tree = eval.GetExpression(text.c_str(), flags);
            if (tree == nullptr) {
                EXPECT_FALSE(eval.GetLastError().IsEmpty()) << text;
                continue;
            }
            CVarient v;
            eval.Evaluate(tree, v);
            eval.EvaluateValue(tree, v);
            ExprEvaluator::FreeExpression(tree);
        }
    }
}

// The literals of a kept tree are read once; every evaluation gives the
// same value and type, keeps the result's name, and an invalid literal
// fails every time.
TEST_F(ExprTest, LiteralsOfKeptTreesGiveTheSameValues) {
    struct Case {
        const char* text;
        const char* value;
        int32_t type;
    };
    const Case cases[] = {
        {"-7", "-7", kTypeInt4},
        {"0x1F", "31", kTypeUInt4},
        {"2.5", "2.50", kTypeDouble},
        {"'a, b'", "\"a, b\"", kTypeOctet},
        {"\"\"", "\"\"", kTypeOctet},
        {"a + 0x10", "17", kTypeInt4},
        {"a ? 'yes' : 0", "\"yes\"", kTypeOctet},
    };
    for (const Case& c : cases) {
        for (int round = 0; round < 3; ++round) {
            CVarient v;
            v.SetName("kept");
            ASSERT_TRUE(eval.CalcValue(c.text, v, false)) << c.text;
            OTSTR out;
            v.getText(out);
            EXPECT_STREQ(c.value, out.GetBuffer(0)) << c.text << " round " << round;
            EXPECT_EQ(c.type, v.GetType()) << c.text;
            EXPECT_STREQ("kept", v.GetName().GetBuffer(0)) << c.text;
        }
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(0u, Value("1.2.3").rfind("ERROR", 0)) << round;
        Set("a", 0);
        EXPECT_EQ("32", Value("a = 0x20"));
        EXPECT_EQ(32, vars.values["a"].getLong()) << "an assigned literal, round " << round;
    }
}

// CalcValue parses a text once and evaluates the shared tree afterwards. A
// callback that evaluates thousands of other texts while an outer tree is
// being evaluated must not have that tree freed under it (the cache fills
// up and is emptied), and a text evaluated again inside its own evaluation
// gives the same value.
TEST(ExprCalcValue, SharedTreesSurviveNestedEvaluations) {
    struct Nested {
        ExprEvaluator eval;
        int depth = 0;
        static int Callback(void* context, int argc, void** argv) {
            auto* self = static_cast<Nested*>(context);
            if (argc != 3 || reinterpret_cast<intptr_t>(argv[0]) != kVarRead) return 0;
            std::string path = static_cast<const char*>(argv[1]);
            auto* out = static_cast<CVarient*>(argv[2]);
            if (path == "flood") {
                ExprEvaluator inner;
                inner.SetCallback(self, Callback);
                CVarient v;
                for (int i = 0; i < 6000; ++i) {
                    std::string text = std::to_string(i) + " + 1";
                    if (!inner.CalcValue(text.c_str(), v, false) || v.getLong() != i + 1) return 0;
                }
                return out->setInteger(5, kTypeInt4);
            }
            if (path == "again") {
                if (++self->depth > 3) return out->setInteger(1, kTypeInt4);
                ExprEvaluator inner;
                inner.SetCallback(self, Callback);
                int32_t n = 0;
                if (!inner.CalcLong("again * 2 + flood", n)) return 0;
                return out->setInteger(static_cast<uint32_t>(n), kTypeInt4);
            }
            return 0;
        }
    } nested;
    nested.eval.SetCallback(&nested, Nested::Callback);
    for (int round = 0; round < 2; ++round) {
        nested.depth = 0;
        int32_t n = 0;
        ASSERT_TRUE(nested.eval.CalcLong("(flood + 2) * 3 + again * 2 + flood", n)) << round;
        // again: 1 at depth 4, then 1*2+5 = 7, 7*2+5 = 19, 19*2+5 = 43.
        EXPECT_EQ(21 + 86 + 5, n) << round;
    }
    CVarient v;
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(nested.eval.CalcValue("1 +", v, false));
        EXPECT_FALSE(nested.eval.GetLastError().IsEmpty());
    }
}

}  // namespace
