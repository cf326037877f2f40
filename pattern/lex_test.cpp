// Tests of the matching engine: tokens, priorities, parameters, modes and
// hostile input.
#include "pattern/lex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/rule_table.h"

namespace {

struct Rule {
    int32_t id;
    const char* name;
    const char* text;
};

// A table with the given rules, merged as the lexer's table is.
void Build(RuleTable& table, std::initializer_list<Rule> rules) {
    for (const Rule& r : rules) ASSERT_TRUE(table.AddRule(r.id, r.name, r.text)) << r.text;
    table.MergeEndStates();
}

// "id:text" for every token of the text, joined by blanks.
std::string Tokens(Lex& lex, const char* text, int32_t length = -1) {
    lex.SetBuffer(text, length);
    std::string out;
    Token token;
    int r;
    while ((r = lex.GetNextToken(token, false)) == 1) {
        if (!out.empty()) out += ' ';
        out += std::to_string(token.id) + ":" + std::string(token.text.GetBuffer(0), token.length);
    }
    if (r < 0) out += " ERROR:" + std::string(lex.GetLastError().GetBuffer(0));
    return out;
}

class LexTest : public ::testing::Test {
  protected:
    void Use(std::initializer_list<Rule> rules) {
        Build(table, rules);
        lex.SetRuleTable(&table);
    }
    // The tokens of text under a table of the one rule given.
    std::string OneRule(const char* rule, const char* text) {
        RuleTable t;
        Build(t, {{1, "", rule}});
        lex.SetRuleTable(&t);
        std::string tokens = Tokens(lex, text);
        lex.SetBuffer(nullptr);
        return tokens;
    }
    void TearDown() override {
        lex.SetBuffer(nullptr);
        EXPECT_EQ(0, lex.ActivePatternCount()) << "match records not returned to the pool";
    }
    RuleTable table;
    Lex lex;
};

TEST_F(LexTest, FirstRuleInTableOrderWinsWhateverTheLength) {
    Use({{1, "Ident", "[A-Za-z_][A-Za-z_0-9]*"},
         {2, "Kw", "struct"},
         {3, "Op", "->|-|>"},
         {1001, "Blank", "[ \\t\\r\\n]+"}});
    EXPECT_EQ("1:struct 1:a 3:-> 1:b 3:- 3:>", Tokens(lex, "struct a->b - >"));
}

// Priorities of the ways inside one rule, anchors and look-aheads, with the
// fast look-ahead on and off.
TEST_F(LexTest, WaysAnchorsAndLookAheadsOfOneRule) {
    struct Case {
        const char* rule;
        const char* text;
        const char* tokens;
    } cases[] = {
        {"a*", "bbb", "0:b 0:b 0:b"},  // complete matches of length 0 are dropped
        {"(ab|a)b", "ab", "1:ab"},     // the first alternative cannot complete
        {"(ab|a)b", "abb", "1:abb"},
        {"a+?", "aaa", "1:a 1:a 1:a"},  // lazy: the shortest way first
        {"a+", "aaa", "1:aaa"},
        {"a<2>", "aaaaa", "1:aa 1:aa 0:a"},
        {"a<2,3>?", "aaaaa", "1:aa 1:aa 0:a"},
        {"x(ab)*?", "xabab", "1:x 0:a 0:b 0:a 0:b"},
        {"x(ab)*y", "xababy", "1:xababy"},
        {"a|ab", "ab", "1:a 0:b"},  // leftmost-first, not longest
        {"ab|a", "ab", "1:ab"},
        {"\\d+.\\d+", "12.5x", "1:12.5 0:x"},
        {"a\\.b", "a\nb a-b", "0:a 0:\n 0:b 0:  1:a-b"},
        {"[^a]", "xa", "1:x 0:a"},
        {"^a", "aa\na", "1:a 0:a 0:\n 1:a"},
        {"a$", "aa\na", "0:a 1:a 0:\n 1:a"},
        {"a$", "a", "1:a"},  // a one-byte text ends a line too
        {"\\ba", "aa a", "1:a 0:a 0:  1:a"},
        {"a\\B", "aab", "1:a 1:a 0:b"},
        {"//\\.*$", "x//c\r\ny", "0:x 1://c 0:\r 0:\n 0:y"},
        {"/\\*{?>*/}", "/* a */b", "1:/* a */ 0:b"},
        {"\"{?>\"}|'{?>'}", "\"ab\"'c'", "1:\"ab\" 1:'c'"},
        {"a{?=]}", "ab]c", "1:ab 0:] 0:c"},
        {"a{?[;,]}", "abc;", "1:abc 0:;"},
        {"a{?[^b]}", "abbc", "1:abb 0:c"},
        {"a{?[^b]}", "abb", "1:abb"},       // the end of the input stops it too
        {"a{?[;]}", "abb", "0:a 0:b 0:b"},  // never found
        {"/\\*{?>*/}", "/* open", "0:/ 0:* 0:  0:o 0:p 0:e 0:n"},
    };
    for (bool fast : {true, false}) {
        lex.SetFastLookAhead(fast);
        for (const Case& c : cases) {
            EXPECT_EQ(c.tokens, OneRule(c.rule, c.text))
                << c.rule << " on " << c.text << " fast " << fast;
        }
    }
}

TEST_F(LexTest, SkippedRulesMoveOnAndCountLines) {
    Use({{1, "Ident", "[a-z]+"},
         {1001, "Blank", "[ \\t\\r\\n]+"},
         {1002, "Comment", "/\\*{?>*/}"},
         {2001, "Hidden", "zz"}});
    lex.SetBuffer("ab /* x\n y */\n  cd zz");
    Token token;
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_EQ(0, token.pos.line);
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("cd", token.text.GetBuffer(0));
    EXPECT_EQ(2, token.pos.line);
    EXPECT_EQ(2, token.pos.column);
    EXPECT_EQ(16, token.pos.offset);
    // Rules of 2000 and above are never tried by themselves.
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("zz", token.text.GetBuffer(0));
    EXPECT_EQ(1, token.id);
    EXPECT_EQ(0, lex.GetNextToken(token, false));
    EXPECT_EQ(21, token.pos.offset);
}

TEST_F(LexTest, UnmatchedContentAndPeek) {
    Use({{1, "Num", "\\d+"}});
    EXPECT_EQ("1:12 0:+ 1:3", Tokens(lex, "12+3"));
    lex.SetReturnUnMatchContent(false);
    EXPECT_EQ("1:12 1:3", Tokens(lex, "12+3"));

    lex.SetBuffer("7 8");
    Token token;
    ASSERT_EQ(1, lex.GetNextToken(token, true));
    ASSERT_EQ(1, lex.GetNextToken(token, true));
    EXPECT_STREQ("7", token.text.GetBuffer(0));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("7", token.text.GetBuffer(0));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("8", token.text.GetBuffer(0));
}

TEST_F(LexTest, ParametersWithAndWithoutExplicitIds) {
    Use({{2001, "HEX", "0x[0-9a-f]+"},
         {2002, "DEC", "\\d+"},
         {1, "Num", "{HEX 3}|{DEC 2}"},
         {2, "Pair", "\\[{DEC 0},{DEC 1}\\]"},
         {3, "Rep", "#{DEC 4}*;"}});
    lex.SetBuffer("0x1f 42 [5,67] #12;");
    Token token;
    OTSTR p;
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_TRUE(token.GetParam(3, p));
    EXPECT_STREQ("0x1f", p.GetBuffer(0));
    EXPECT_FALSE(token.GetParam(2, p));
    EXPECT_EQ(1, token.paramCount);
    ASSERT_EQ(1, lex.GetNextToken(token, false));  // the blank
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_TRUE(token.GetParam(2, p));
    EXPECT_STREQ("42", p.GetBuffer(0));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("[5,67]", token.text.GetBuffer(0));
    EXPECT_TRUE(token.GetParam(0, p));
    EXPECT_STREQ("5", p.GetBuffer(0));
    EXPECT_TRUE(token.GetParam(1, p));
    EXPECT_STREQ("67", p.GetBuffer(0));
    EXPECT_FALSE(token.GetParam(11, p));
    EXPECT_FALSE(token.GetParam(-1, p));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("#12;", token.text.GetBuffer(0));
    EXPECT_TRUE(token.GetParam(4, p));
    EXPECT_STREQ("12", p.GetBuffer(0));

    // Without explicit ids every outermost call fills the next free slot.
    RuleTable t;
    Build(t, {{2001, "W", "[a-z]+"}, {1, "", "({W})=(\\d+)"}});
    lex.SetRuleTable(&t);
    lex.SetBuffer("ab=12");
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_EQ(2, token.paramCount);
    EXPECT_TRUE(token.GetParam(0, p));
    EXPECT_STREQ("ab", p.GetBuffer(0));
    EXPECT_TRUE(token.GetParam(1, p));
    EXPECT_STREQ("12", p.GetBuffer(0));
    lex.SetBuffer(nullptr);
}

TEST_F(LexTest, ParameterSlotsOverwrittenOrExhaustedFailTheScan) {
    Use({{2001, "D", "\\d"}, {1, "", "({D 1},)+"}, {2, "", "({D 2};)"}});
    // A capture inside a repeated group fails as soon as the group is
    // entered again, whatever follows.
    EXPECT_EQ(
        " ERROR:setParamLocat(1) failed, to be sure no param overwrite will occur in the "
        "rule definition",
        Tokens(lex, "1,"));
    EXPECT_EQ("2:1;", Tokens(lex, "1;"));

    // A repeated group is one capture; twelve groups are one too many.
    RuleTable t;
    Build(t, {{1, "", "(a)+"}, {2, "", "(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)"}});
    lex.SetRuleTable(&t);
    EXPECT_EQ("1:aaaaaaaaaaaa", Tokens(lex, "aaaaaaaaaaaa"));
    EXPECT_EQ(" ERROR:AddParamLocat() failed, overflow", Tokens(lex, "bbbbbbbbbbbb"));
    lex.SetBuffer(nullptr);
}

// Eleven nested calls fit a way's frame stack and twelve do not; 1999
// optional elements skipped in a row are followed and 2000 are not.
TEST_F(LexTest, LimitsOfOneWayFailTheScanWithTheirOwnMessages) {
    auto optional = [](int n) {
        std::string rule;
        for (int i = 0; i < n; ++i) rule += "a?";
        return rule + "b";
    };
    struct {
        std::string rule;
        const char* text;
        std::string tokens;
    } cases[] = {
        {std::string(11, '(') + "a" + std::string(11, ')'), "a", "1:a"},
        {std::string(12, '(') + "a" + std::string(12, ')'), "a",
         " ERROR:MatchPattern.Push() fail, overflow"},
        {optional(1999), "b", "1:b"},
        {optional(2000), "b", " ERROR:Lex fail, 2000 or more optional elements skipped in a row"},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.tokens, OneRule(c.rule.c_str(), c.text)) << c.rule.substr(0, 20);
}

TEST_F(LexTest, SpecificTokensAndOverlap) {
    Use({{1, "Ident", "[a-z]+"}, {5, "Num", "\\d+"}, {2001, "Colon", ":"}});
    lex.SetBuffer("ab cd 42:x");
    Token token;
    ASSERT_TRUE(lex.get_specific_token(token, 5));
    EXPECT_STREQ("42", token.text.GetBuffer(0));
    ASSERT_TRUE(lex.get_specific_token(token, 2001));
    EXPECT_STREQ(":", token.text.GetBuffer(0));
    SourcePos before = lex.GetLocation();
    EXPECT_FALSE(lex.get_specific_token(token, 5));
    EXPECT_STREQ("get_specific_token fail", lex.GetLastError().GetBuffer(0));
    EXPECT_EQ(before.offset, lex.GetLocation().offset);
    EXPECT_FALSE(lex.get_specific_token(token, 0));
    EXPECT_STREQ("get_specific_token fail, illegal TokenId", lex.GetLastError().GetBuffer(0));

    lex.SetOverlapMatch(true);
    EXPECT_FALSE(lex.get_specific_token(token, 5));
    EXPECT_STREQ("get_specific_token fail, should not be in OverlapMatch mode",
                 lex.GetLastError().GetBuffer(0));
    // Every way of every rule is a token, and the position moves one byte at
    // a time.
    EXPECT_EQ("1:abc 1:ab 1:a 1:bc 1:b 1:c 5:12 5:1 5:2", Tokens(lex, "abc 12"));
    lex.SetOverlapMatch(false);
}

TEST_F(LexTest, FetchStringAndLocations) {
    Use({{1, "Any", "\\."}});
    lex.SetBuffer("{a{b}c}d(x)\ny");
    OTSTR out;
    ASSERT_TRUE(lex.Fetch_string("{", "}", true, false, out));
    EXPECT_STREQ("{a{b}c}", out.GetBuffer(0));
    EXPECT_FALSE(lex.Fetch_string("(", "(", true, false, out));
    EXPECT_STREQ("Fetch_string fail, left & right operator should not be same",
                 lex.GetLastError().GetBuffer(0));
    EXPECT_FALSE(lex.Fetch_string("(", nullptr, true, false, out));
    EXPECT_STREQ("Fetch_string fail, right operator should not be null",
                 lex.GetLastError().GetBuffer(0));
    EXPECT_FALSE(lex.Fetch_string("(", ")", true, false, out));
    EXPECT_STREQ("Fetch_string fail, first current char should = LeftOperator",
                 lex.GetLastError().GetBuffer(0));
    // Without a left operator at the start the depth starts at 1.
    ASSERT_TRUE(lex.Fetch_string(nullptr, ")", false, true, out));
    EXPECT_STREQ("d(x", out.GetBuffer(0));
    ASSERT_TRUE(lex.Fetch_string("(", ")", true, true, out) == false);
    EXPECT_FALSE(lex.Fetch_string("(", ")", false, false, out));
    EXPECT_STREQ("Fetch_string fail, reach the end of buffer", lex.GetLastError().GetBuffer(0));

    SourcePos at = lex.GetLocation();
    EXPECT_EQ(11, at.offset);
    Token token;
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_EQ(1, token.pos.line);
    ASSERT_TRUE(lex.setLocation(at));
    ASSERT_EQ(1, lex.GetNextToken(token, false));
    EXPECT_STREQ("\n", token.text.GetBuffer(0));
    SourcePos beyond("", 13, 0, 0);
    EXPECT_FALSE(lex.setLocation(beyond));
    EXPECT_STREQ("setLocation fail, locat out of range", lex.GetLastError().GetBuffer(0));
    lex.SetOverlapMatch(true);
    EXPECT_FALSE(lex.Fetch_string("(", ")", false, false, out));
    EXPECT_STREQ("Fetch_string fail, should not be in OverlapMatch mode",
                 lex.GetLastError().GetBuffer(0));
}

TEST_F(LexTest, MissingBufferOrTable) {
    Token token;
    EXPECT_EQ(-1, lex.GetNextToken(token, false));
    EXPECT_STREQ("buffer not initialed", lex.GetLastError().GetBuffer(0));
    lex.SetBuffer("x");
    EXPECT_EQ(-1, lex.GetNextToken(token, false));
    EXPECT_STREQ("No rule initialed", lex.GetLastError().GetBuffer(0));
    EXPECT_EQ(-1, token.id);
}

TEST_F(LexTest, CaseInsensitiveMatching) {
    Use({{1, "", "select"}, {2, "", "[a-c]+"}, {3, "", "<{?>end>}"}});
    lex.SetCaseSensitive(false);
    EXPECT_EQ("1:SeLeCt 2:ABC 3:<xEND>", Tokens(lex, "SeLeCtABC<xEND>"));
    lex.SetCaseSensitive(true);
}

TEST_F(LexTest, HostileBuffersAndRulesNeverFault) {
    Use({{1, "Ident", "[A-Za-z_][A-Za-z_0-9]*"},
         {2, "Str", "\"{?>\"}"},
         {3, "Lit", "\xe9"},
         {4, "Hi", "[\x80-\xff]+"},
         {1001, "Blank", "[ \\t\\r\\n]+"},
         {1002, "Line", "//\\.*$"}});
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(255 - i);
    std::string tokens = Tokens(lex, bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(std::string::npos, tokens.find("ERROR")) << tokens;
    EXPECT_EQ(0u, tokens.find("4:\xff\xfe")) << "bytes of 128 and above belong to sets";
    EXPECT_EQ("3:\xe9 1:x", Tokens(lex, "\xe9x"));
    // An explicit length covers zero bytes and stops before what follows.
    EXPECT_EQ("1:a 0:", Tokens(lex, "a\0b", 2).substr(0, 6));

    // Rules whose ways would double with every byte stay bounded.
    const char* explosive[] = {"(a|a)*b", "((a|a)*)*b", "(a*)*b", "(({?[b]})*a)*b"};
    std::string many(300, 'a');
    for (const char* rule : explosive) {
        RuleTable t;
        ASSERT_TRUE(t.AddRule(2001, "R", rule)) << rule;
        ASSERT_TRUE(t.AddRule(1, "{R}"));
        lex.SetRuleTable(&t);
        lex.SetReturnUnMatchContent(false);
        EXPECT_EQ("", Tokens(lex, many.c_str())) << rule;
        lex.SetBuffer(nullptr);
        lex.SetReturnUnMatchContent(true);
    }
}

}  // namespace
