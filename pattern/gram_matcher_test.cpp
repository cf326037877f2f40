// Tests of grammar rule sets, the grammar matcher and the error record.
#include "pattern/gram_matcher.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "pattern/script_lexer.h"

namespace {

int g_alive = 0;  // handler objects not yet destroyed

struct Counted : NamedObject {
    Counted() { ++g_alive; }
    ~Counted() override { --g_alive; }
};

// $Pair: two numbers separated by a comma, parsed by the handler itself.
struct Calls : GramOwner {
    int count = 0;
};

NamedObject* PairHandler(const GramArgs& args) {
    ++static_cast<Calls*>(args.owner)->count;
    ScriptLexer& lexer = args.lexer;
    Token token;
    SourcePos start = lexer.GetLocation();
    if (lexer.ExpectKind(token, 9) && lexer.ExpectText(token, ",", true) &&
        lexer.ExpectKind(token, 9)) {
        auto* pair = new Counted;
        pair->SetName(args.setName);
        return pair;
    }
    args.error.Set(lexer.GetLocation(), "pair expected");
    lexer.setLocation(start);
    return nullptr;
}

const GramFunc kHandlers[] = {{"pair", PairHandler}, {nullptr, nullptr}};

class GramMatcherTest : public ::testing::Test {
  protected:
    GramMatcherTest() : matcher(&calls, kHandlers) {}
    // Adds the rules with ids from 1, to set or to the given set.
    void Add(std::initializer_list<const char*> rules, GrammarRuleSet* to = nullptr) {
        int id = 0;
        for (const char* text : rules) ASSERT_TRUE((to ? *to : set).AddRule(++id, text)) << text;
    }
    bool Match(const char* text, GrammarRuleSet* in = nullptr) {
        lexer.SetBuffer(text);
        matcher.ClearResult(true);
        return matcher.GramMatching(lexer, in != nullptr ? *in : set);
    }
    std::string Error() { return matcher.GetError().message.GetBuffer(0); }
    int Offset() { return lexer.GetLocation().offset; }
    void TearDown() override {
        matcher.ClearResult(true);
        EXPECT_EQ(0, g_alive) << "handler objects leaked";
    }

    Calls calls;
    ScriptLexer lexer;
    GrammarRuleSet set;
    GramMatcher matcher;
};

TEST_F(GramMatcherTest, AlternativesAreTriedInRegistrationOrder) {
    Add({"A B", "A"});
    ASSERT_TRUE(Match("A C"));
    EXPECT_EQ(2, matcher.GetRuleId());
    EXPECT_EQ(1, Offset());

    GrammarRuleSet shorter;
    Add({"A", "A B"}, &shorter);
    ASSERT_TRUE(Match("a b", &shorter));
    EXPECT_EQ(1, matcher.GetRuleId()) << "the shorter alternative registered first wins";
    EXPECT_EQ(1, Offset());
}

TEST_F(GramMatcherTest, WordTreeSharesOnlyTheLastEdge) {
    // At "struct x" the root's last edge is enum: a new struct edge.
    Add({"struct $Ident {", "struct $Ident ;", "enum  $Ident", "struct x"});
    GrammarNode* root = set.GetRoot();
    ASSERT_EQ(3, root->EdgeCount());
    EXPECT_EQ("'struct' or 'enum' or 'struct' ", std::string(root->expectText.GetBuffer(0)));
    GrammarNode* afterIdent = root->EdgeAt(0)->target->EdgeAt(0)->target;
    EXPECT_EQ("'{' or ';' ", std::string(afterIdent->expectText.GetBuffer(0)));

    EXPECT_FALSE(set.AddRule(2, "other"));
    EXPECT_STREQ("Rule 2 already exist", set.GetLastError().GetBuffer(0));
    EXPECT_FALSE(set.AddRule(0, "other"));
    EXPECT_STREQ("Rule Id should greater than 0", set.GetLastError().GetBuffer(0));
    EXPECT_EQ(3, set.GetRoot()->EdgeCount()) << "a refused id leaves the set as it was";
    EXPECT_FALSE(set.AddRule(9, "a $ b"));
    EXPECT_STREQ("Rule 9 Build fail, condition str len should > 0",
                 set.GetLastError().GetBuffer(0));
    EXPECT_EQ(0, set.GetRoot()->EdgeCount()) << "a build failure empties the set";
    EXPECT_EQ(1, set.NodeCount());
}

TEST_F(GramMatcherTest, FurthestErrorNamesWhatWasExpected) {
    Add({"struct $Ident { $Ident ; }", "struct $Ident ;", "enum $Ident"});
    EXPECT_FALSE(Match("struct S { 5"));
    EXPECT_EQ("$Ident  expected", Error());
    EXPECT_EQ(10, matcher.GetError().pos.offset) << "where the node began, after the '{'";
    EXPECT_EQ(0, Offset()) << "the lexer is back where the match began";
    EXPECT_EQ(0, matcher.GetObjectCount());
    // Literals ignore case unless the set says otherwise; unmatched bytes are refused.
    EXPECT_TRUE(Match("Struct s;"));
    EXPECT_FALSE(Match("struct s @"));
    EXPECT_EQ("'{' or ';'  expected", Error());
    GrammarRuleSet exact;
    exact.SetCaseSensitive(true);
    ASSERT_TRUE(exact.AddRule(1, "struct"));
    EXPECT_FALSE(Match("Struct", &exact));

    GrammarRuleSet choice;
    Add({"x {", "x $Ident"}, &choice);
    EXPECT_FALSE(Match("x 12", &choice));
    EXPECT_STREQ("Ln 0  '{' or $Ident  expected", matcher.GetError().ToString().GetBuffer(0));
}

TEST_F(GramMatcherTest, HandlersAndTokenClassesFillTheResult) {
    set.SetName("decl");
    Add({"$Ident = $Pair ; $String", "$Ident = $Pair : $Number"});
    ASSERT_TRUE(Match("v = 1, 2 : 7"));
    EXPECT_EQ(2, matcher.GetRuleId());
    EXPECT_EQ(1, calls.count) << "the shared beginning of both alternatives is matched once";
    ASSERT_EQ(3, matcher.GetObjectCount());
    ASSERT_TRUE(matcher.TokenAt(0) != nullptr && matcher.ObjectAt<Counted>(1) != nullptr);
    EXPECT_EQ(nullptr, matcher.ObjectAt<Counted>(0)) << "a token is no handler's object";
    EXPECT_EQ(nullptr, matcher.TokenAt(1));
    EXPECT_STREQ("v", matcher.TokenAt(0)->text.GetBuffer(0));
    EXPECT_STREQ("decl", matcher.ObjectAt<Counted>(1)->GetName().GetBuffer(0));
    EXPECT_EQ(1, g_alive);
    EXPECT_STREQ("7", matcher.TokenAt(2)->text.GetBuffer(0));

    EXPECT_FALSE(matcher.GramMatching(lexer, set));
    EXPECT_EQ("GramMatching() fail, result is not empty, clear first", Error());

    EXPECT_FALSE(Match("v = 1 ; x"));
    EXPECT_EQ("pair expected", Error());
    EXPECT_EQ(0, g_alive);
}

TEST_F(GramMatcherTest, FailuresThatEndTheWholeMatch) {
    Add({"a $Nowhere", "a b"});
    EXPECT_FALSE(Match("a b"));
    EXPECT_EQ("GramFunc $Nowhere not found", Error());

    // These refusals are recorded without resetting the record first.
    GramMatcher fresh(nullptr, nullptr);
    lexer.SetReturnUnMatchContent(false);
    lexer.SetBuffer("a b");
    EXPECT_FALSE(fresh.GramMatching(lexer, set));
    EXPECT_STREQ("GramMatching() fail, Lex's m_bReturnUnMatchContent must be true",
                 fresh.GetError().message.GetBuffer(0));
    lexer.SetReturnUnMatchContent(true);

    GramMatcher other(nullptr, nullptr);
    lexer.SetBuffer("a");
    EXPECT_FALSE(other.GramMatching(lexer, "a $", true));
    EXPECT_STREQ("GramMatching() fail, create rule error", other.GetError().message.GetBuffer(0));
    lexer.SetBuffer("if ( x )");
    EXPECT_TRUE(matcher.GramMatching(lexer, "stmt", "IF ( $Ident )", false));
    EXPECT_EQ(1, matcher.GetRuleId());
}

TEST_F(GramMatcherTest, AnyTokensEndWithAResultOrAnError) {
    Add({"$Ident = $Number ;", "$Ident ( $Pair ) ;", "{ $Ident } ;"});
    uint32_t seed = 5;
    const char* words[] = {"x", "=", "1", ";", "(", ")", "{", "}", ",", "@", "\"s\"", "/*", "//"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = 0; i < 8; ++i)
            text += words[((seed = seed * 1103515245u + 12345u) >> 16) % 13] + std::string(" ");
        EXPECT_TRUE(Match(text.c_str()) || !Error().empty()) << text;
    }
}

TEST(CompileError, KeepsTheFurthestMessage) {
    CompileError error;
    error.Reset();
    SourcePos at5("f.txt", 5, 1, 2), at3("f.txt", 3, 0, 3), at9("f.txt", 9, 2, 0);
    EXPECT_TRUE(error.Set(at5, "first"));
    EXPECT_FALSE(error.Set(at3, "earlier"));
    EXPECT_FALSE(error.Set(at5, "same place"));
    EXPECT_TRUE(error.Replace(at5, "replaced"));
    EXPECT_STREQ("f.txt : Ln 1  replaced", error.ToString().GetBuffer(0));
    EXPECT_TRUE(error.SetF(at9, "'%s' unexpected", "}"));
    EXPECT_STREQ("f.txt : Ln 2  '}' unexpected", error.ToString().GetBuffer(0));
    error.Reset();
    EXPECT_FALSE(error.IsSet());
}

}  // namespace
