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

// "id:text" of the next token and "slot=text" of each of its parameters,
// slots -1 to 11 tried; the result code when there is no token.
std::string Next(Lex& lex, Token& token, bool peek = false) {
    int r = lex.GetNextToken(token, peek);
    if (r != 1) return "rc " + std::to_string(r);
    std::string out = std::to_string(token.id) + ":" + token.text.GetBuffer(0);
    OTSTR p;
    for (int i = -1; i <= 11; ++i)
        if (token.GetParam(i, p)) out += " " + std::to_string(i) + "=" + p.GetBuffer(0);
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
    std::string Err() { return lex.GetLastError().GetBuffer(0); }
    // The error of a call that was to fail.
    std::string Failed(bool ok) { return ok ? "<succeeded>" : Err(); }
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

// Priorities of the ways inside one rule, anchors, look-aheads and the
// limits of one way, with the fast look-ahead on and off.
TEST_F(LexTest, WaysAnchorsLookAheadsAndLimitsOfOneRule) {
    auto optional = [](int n) {
        std::string rule;
        for (int i = 0; i < n; ++i) rule += "a?";
        return rule + "b";
    };
    const struct {
        std::string rule;
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
        // Eleven nested calls fit a way's frame stack and twelve do not.
        {std::string(11, '(') + "a" + std::string(11, ')'), "a", "1:a"},
        {std::string(12, '(') + "a" + std::string(12, ')'), "a",
         " ERROR:MatchPattern.Push() fail, overflow"},
        // 1999 optional elements skipped in a row are followed and 2000 are not.
        {optional(1999), "b", "1:b"},
        {optional(2000), "b", " ERROR:Lex fail, 2000 or more optional elements skipped in a row"},
        // A repeated group is one capture; twelve groups are one too many.
        {"(a)+", "aaaaaaaaaaaa", "1:aaaaaaaaaaaa"},
        {"(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)(b)", "bbbbbbbbbbbb",
         " ERROR:AddParamLocat() failed, overflow"},
    };
    for (bool fast : {true, false}) {
        lex.SetFastLookAhead(fast);
        for (const auto& c : cases) {
            EXPECT_EQ(c.tokens, OneRule(c.rule.c_str(), c.text))
                << c.rule.substr(0, 40) << " on " << c.text << " fast " << fast;
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
    EXPECT_EQ("1:ab", Next(lex, token));
    EXPECT_EQ(0, token.pos.line);
    EXPECT_EQ("1:cd", Next(lex, token));
    EXPECT_EQ(2, token.pos.line);
    EXPECT_EQ(2, token.pos.column);
    EXPECT_EQ(16, token.pos.offset);
    // Rules of 2000 and above are never tried by themselves.
    EXPECT_EQ("1:zz", Next(lex, token));
    EXPECT_EQ("rc 0", Next(lex, token));
    EXPECT_EQ(21, token.pos.offset);
}

TEST_F(LexTest, UnmatchedContentAndPeek) {
    Use({{1, "Num", "\\d+"}});
    EXPECT_EQ("1:12 0:+ 1:3", Tokens(lex, "12+3"));
    lex.SetReturnUnMatchContent(false);
    EXPECT_EQ("1:12 1:3", Tokens(lex, "12+3"));

    lex.SetBuffer("7 8");
    Token token;
    EXPECT_EQ("1:7", Next(lex, token, true));
    EXPECT_EQ("1:7", Next(lex, token, true));
    EXPECT_EQ("1:7", Next(lex, token));
    EXPECT_EQ("1:8", Next(lex, token));
}

TEST_F(LexTest, ParametersWithAndWithoutExplicitIds) {
    Use({{2001, "HEX", "0x[0-9a-f]+"},
         {2002, "DEC", "\\d+"},
         {1, "Num", "{HEX 3}|{DEC 2}"},
         {2, "Pair", "\\[{DEC 0},{DEC 1}\\]"},
         {3, "Rep", "#{DEC 4}*;"}});
    lex.SetReturnUnMatchContent(false);
    lex.SetBuffer("0x1f 42 [5,67] #12;");
    Token token;
    EXPECT_EQ("1:0x1f 3=0x1f", Next(lex, token));
    EXPECT_EQ(1, token.paramCount);
    EXPECT_EQ("1:42 2=42", Next(lex, token));
    EXPECT_EQ("2:[5,67] 0=5 1=67", Next(lex, token));
    EXPECT_EQ("3:#12; 4=12", Next(lex, token));

    // Without explicit ids every outermost call fills the next free slot.
    RuleTable t;
    Build(t, {{2001, "W", "[a-z]+"}, {1, "", "({W})=(\\d+)"}});
    lex.SetRuleTable(&t);
    lex.SetBuffer("ab=12");
    EXPECT_EQ("1:ab=12 0=ab 1=12", Next(lex, token));
    EXPECT_EQ(2, token.paramCount);
    lex.SetBuffer(nullptr);
}

TEST_F(LexTest, ParameterSlotOverwrittenFailsTheScan) {
    Use({{2001, "D", "\\d"}, {1, "", "({D 1},)+"}, {2, "", "({D 2};)"}});
    // A capture inside a repeated group fails as soon as the group is
    // entered again, whatever follows.
    EXPECT_EQ(
        " ERROR:setParamLocat(1) failed, to be sure no param overwrite will occur in the "
        "rule definition",
        Tokens(lex, "1,"));
    EXPECT_EQ("2:1;", Tokens(lex, "1;"));
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
    EXPECT_EQ("get_specific_token fail", Failed(lex.get_specific_token(token, 5)));
    EXPECT_EQ(before.offset, lex.GetLocation().offset);
    EXPECT_EQ("get_specific_token fail, illegal TokenId", Failed(lex.get_specific_token(token, 0)));

    lex.SetOverlapMatch(true);
    EXPECT_EQ("get_specific_token fail, should not be in OverlapMatch mode",
              Failed(lex.get_specific_token(token, 5)));
    // Every way of every rule is a token, and the position moves one byte at
    // a time.
    EXPECT_EQ("1:abc 1:ab 1:a 1:bc 1:b 1:c 5:12 5:1 5:2", Tokens(lex, "abc 12"));
}

TEST_F(LexTest, FetchStringAndLocations) {
    Use({{1, "Any", "\\."}});
    lex.SetBuffer("{a{b}c}d(x)\ny");
    OTSTR out;
    ASSERT_TRUE(lex.Fetch_string("{", "}", true, false, out));
    EXPECT_STREQ("{a{b}c}", out.GetBuffer(0));
    EXPECT_EQ("Fetch_string fail, left & right operator should not be same",
              Failed(lex.Fetch_string("(", "(", true, false, out)));
    EXPECT_EQ("Fetch_string fail, right operator should not be null",
              Failed(lex.Fetch_string("(", nullptr, true, false, out)));
    EXPECT_EQ("Fetch_string fail, first current char should = LeftOperator",
              Failed(lex.Fetch_string("(", ")", true, false, out)));
    // Without a left operator at the start the depth starts at 1.
    ASSERT_TRUE(lex.Fetch_string(nullptr, ")", false, true, out));
    EXPECT_STREQ("d(x", out.GetBuffer(0));
    ASSERT_TRUE(lex.Fetch_string("(", ")", true, true, out) == false);
    EXPECT_EQ("Fetch_string fail, reach the end of buffer",
              Failed(lex.Fetch_string("(", ")", false, false, out)));

    SourcePos at = lex.GetLocation();
    EXPECT_EQ(11, at.offset);
    Token token;
    EXPECT_EQ("0:\n", Next(lex, token));
    EXPECT_EQ("1:y", Next(lex, token));
    EXPECT_EQ(1, token.pos.line);
    ASSERT_TRUE(lex.setLocation(at));
    EXPECT_EQ("0:\n", Next(lex, token));
    EXPECT_EQ("setLocation fail, locat out of range",
              Failed(lex.setLocation(SourcePos("", 13, 0, 0))));
    lex.SetOverlapMatch(true);
    EXPECT_EQ("Fetch_string fail, should not be in OverlapMatch mode",
              Failed(lex.Fetch_string("(", ")", false, false, out)));
}

TEST_F(LexTest, MissingBufferOrTable) {
    Token token;
    EXPECT_EQ("rc -1", Next(lex, token));
    EXPECT_EQ("buffer not initialed", Err());
    lex.SetBuffer("x");
    EXPECT_EQ("rc -1", Next(lex, token));
    EXPECT_EQ("No rule initialed", Err());
    EXPECT_EQ(-1, token.id);
}

TEST_F(LexTest, CaseInsensitiveMatching) {
    Use({{1, "", "select"}, {2, "", "[a-c]+"}, {3, "", "<{?>end>}"}});
    lex.SetCaseSensitive(false);
    EXPECT_EQ("1:SeLeCt 2:ABC 3:<xEND>", Tokens(lex, "SeLeCtABC<xEND>"));
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
    lex.SetReturnUnMatchContent(false);
    for (const char* rule : explosive) {
        RuleTable t;
        ASSERT_TRUE(t.AddRule(2001, "R", rule)) << rule;
        ASSERT_TRUE(t.AddRule(1, "{R}"));
        lex.SetRuleTable(&t);
        EXPECT_EQ("", Tokens(lex, many.c_str())) << rule;
        lex.SetBuffer(nullptr);
    }
}

}  // namespace
