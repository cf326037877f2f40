// Tests of grammar rule sets, the grammar matcher and the error record.
#include "pattern/gram_matcher.h"

#include <gtest/gtest.h>

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
    void Add(int id, const char* text) { ASSERT_TRUE(set.AddRule(id, text)) << text; }
    bool Match(const char* text) {
        lexer.SetBuffer(text);
        matcher.ClearResult(true);
        return matcher.GramMatching(lexer, set);
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
    Add(1, "A B");
    Add(2, "A");
    ASSERT_TRUE(Match("A C"));
    EXPECT_EQ(2, matcher.GetRuleId());
    EXPECT_EQ(1, Offset());

    GrammarRuleSet shorter;
    ASSERT_TRUE(shorter.AddRule(1, "A"));
    ASSERT_TRUE(shorter.AddRule(2, "A B"));
    lexer.SetBuffer("a b");
    ASSERT_TRUE(matcher.GramMatching(lexer, shorter));
    EXPECT_EQ(1, matcher.GetRuleId()) << "the shorter alternative registered first wins";
    EXPECT_EQ(1, Offset());
}

TEST_F(GramMatcherTest, WordTreeSharesOnlyTheLastEdge) {
    Add(1, "struct $Ident {");
    Add(2, "struct $Ident ;");
    Add(3, "enum  $Ident");
    Add(4, "struct x");  // the root's last edge is now enum: a new struct edge
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
    Add(1, "struct $Ident { $Ident ; }");
    Add(2, "struct $Ident ;");
    Add(3, "enum $Ident");
    EXPECT_FALSE(Match("struct S { 5"));
    EXPECT_EQ("$Ident  expected", Error());
    EXPECT_EQ(10, matcher.GetError().pos.offset) << "where the node began, after the '{'";
    EXPECT_EQ(0, Offset()) << "the lexer is back where the match began";
    EXPECT_EQ(0, matcher.GetObjectCount());

    GrammarRuleSet choice;
    ASSERT_TRUE(choice.AddRule(1, "x {"));
    ASSERT_TRUE(choice.AddRule(2, "x $Ident"));
    lexer.SetBuffer("x 12");
    EXPECT_FALSE(matcher.GramMatching(lexer, choice));
    EXPECT_EQ("'{' or $Ident  expected", Error());
    EXPECT_EQ("Ln 0  '{' or $Ident  expected",
              std::string(matcher.GetError().ToString().GetBuffer(0)));
}

TEST_F(GramMatcherTest, LiteralsIgnoreCaseAndRejectUnmatchedBytes) {
    Add(1, "struct $Ident ;");
    EXPECT_TRUE(Match("Struct s;"));
    EXPECT_FALSE(Match("struct s @"));
    EXPECT_EQ("';'  expected", Error());
    GrammarRuleSet exact;
    exact.SetCaseSensitive(true);
    ASSERT_TRUE(exact.AddRule(1, "struct"));
    lexer.SetBuffer("Struct");
    EXPECT_FALSE(matcher.GramMatching(lexer, exact));
}

TEST_F(GramMatcherTest, HandlersAndTokenClassesFillTheResult) {
    set.SetName("decl");
    Add(1, "$Ident = $Pair ; $String");
    Add(2, "$Ident = $Pair : $Number");
    ASSERT_TRUE(Match("v = 1, 2 : 7"));
    EXPECT_EQ(2, matcher.GetRuleId());
    EXPECT_EQ(1, calls.count) << "the shared beginning of both alternatives is matched once";
    ASSERT_EQ(3, matcher.GetObjectCount());
    Token* ident = matcher.TokenAt(0);
    auto* pair = matcher.ObjectAt<Counted>(1);
    ASSERT_TRUE(ident != nullptr && pair != nullptr);
    EXPECT_EQ(nullptr, matcher.ObjectAt<Counted>(0)) << "a token is no handler's object";
    EXPECT_EQ(nullptr, matcher.TokenAt(1));
    EXPECT_STREQ("v", ident->text.GetBuffer(0));
    EXPECT_STREQ("decl", pair->GetName().GetBuffer(0));
    EXPECT_EQ(1, g_alive);
    EXPECT_STREQ("7", matcher.TokenAt(2)->text.GetBuffer(0));

    EXPECT_FALSE(matcher.GramMatching(lexer, set));
    EXPECT_EQ("GramMatching() fail, result is not empty, clear first", Error());

    EXPECT_FALSE(Match("v = 1 ; x"));
    EXPECT_EQ("pair expected", Error());
    EXPECT_EQ(0, g_alive);
}

TEST_F(GramMatcherTest, FailuresThatEndTheWholeMatch) {
    Add(1, "a $Nowhere");
    Add(2, "a b");
    EXPECT_FALSE(Match("a b"));
    EXPECT_EQ("GramFunc $Nowhere not found", Error());

    // These refusals are recorded without resetting the record first.
    GramMatcher fresh(nullptr, nullptr);
    lexer.SetReturnUnMatchContent(false);
    GrammarRuleSet plain;
    ASSERT_TRUE(plain.AddRule(1, "a"));
    lexer.SetBuffer("a");
    EXPECT_FALSE(fresh.GramMatching(lexer, plain));
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
    Add(1, "$Ident = $Number ;");
    Add(2, "$Ident ( $Pair ) ;");
    Add(3, "{ $Ident } ;");
    uint32_t seed = 5;
    const char* words[] = {"x", "=", "1", ";", "(", ")", "{", "}", ",", "@", "\"s\"", "/*", "//"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = 0; i < 8; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += words[(seed >> 16) % 13];
            text += ' ';
        }
        bool ok = Match(text.c_str());
        EXPECT_TRUE(ok || !Error().empty()) << text;
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
