// Tests of the script lexer: token ids, texts, number slots, keywords,
// positions, comments and the look-ahead cache.
#include "pattern/script_lexer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "pattern/rule_table.h"
#include "pattern/script_rules.h"

namespace {

// "id:text" for every token, comments included, then any " ERROR <id> <message>".
std::string Tokens(const char* text) {
    ScriptLexer lexer;
    lexer.SetBuffer(text);
    std::string out;
    Token token;
    int r;
    while ((r = lexer.GetNextToken(token, false)) == 1) {
        if (!out.empty()) out += ' ';
        out += std::to_string(token.id) + ":" + token.text.GetBuffer(0);
    }
    if (r < 0)
        out += " ERROR " + std::to_string(token.id) + " " + lexer.GetLastError().GetBuffer(0);
    return out;
}

TEST(ScriptLexer, TokensOfTheLanguage) {
    // Each text with its tokens.
    const char* const cases[][2] = {
        {"struct Struct structure", "6:struct 6:Struct 1:structure"},
        {"a<=b a<<b a->b", "1:a 7:<= 1:b 1:a 7:<< 1:b 1:a 7:- 7:> 1:b"},
        {"x==y&&z||!w != ::", "1:x 7:== 1:y 7:&& 1:z 7:|| 7:! 1:w 7:!= 7:::"},
        {"-5 +7 12. .5 1.5", "7:- 9:5 7:+ 9:7 9:12 7:. 7:. 9:5 9:1.5"},
        {"0x1F 0XaB 12.50 12 007", "9:0x1F 9:0XaB 9:12.50 9:12 9:007"},
        {"\"it's\" 'say \"hi\"'", "5:\"it's\" 5:'say \"hi\"'"},
        {"\"open", "7:\" 1:open"},
        {"a @ $ `", "1:a 0:@ 0:$ 0:`"},
        {"a\x80\xff\xe9z b", "1:a 1:z 1:b"},
        {"//  note  \nx", "10://  note   1:x"},
        {"x // end", "1:x 10:// end"},
        {"/* a\n b */y", "11:/* a\n b */ 1:y"},
        {"p[2].q(3)?r:s;~t%u^v#",
         "1:p 7:[ 9:2 7:] 7:. 1:q 7:( 9:3 7:) 7:? 1:r 7:: 1:s 7:; 7:~ 1:t "
         "7:% 1:u 7:^ 1:v 7:#"},
        {"unsigned  char Unsigned Long UNSIGNED int unsigned short",
         "6:unsigned char 6:Unsigned Long 6:UNSIGNED int 6:unsigned short"},
        {"int INT1 uint4 pvoid typedef", "6:int 6:INT1 6:uint4 6:pvoid 6:typedef"},
        // An incomplete compound keyword: the messages carry the position.
        {"\n  unsigned x", " ERROR -1 Ln 1  \xb1\xea\xca\xb6\xb7\xfb\xb2\xbb\xd5\xfd\xc8\xb7"},
        {"unsigned",
         " ERROR -1 Ln 0  "
         "\xc8\xa1\xb5\xc3\xb8\xb4\xba\xcf\xb9\xd8\xbc\xfc\xb4\xca\xca\xa7\xb0\xdc"},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], Tokens(c[0])) << c[0];
}

TEST(ScriptLexer, NumberSlotsAndClasses) {
    const std::pair<const char*, int> cases[] = {
        {"0x1F", kSlotHex}, {"12.50", kSlotFraction}, {"12", kSlotDecimal}};
    for (const auto& [text, slot] : cases) {
        ScriptLexer lexer;
        lexer.SetBuffer(text);
        Token token;
        ASSERT_EQ(1, lexer.GetNextToken(token, false));
        OTSTR param;
        for (int i = 0; i < kMaxParams; ++i) {
            EXPECT_EQ(i == slot, token.GetParam(i, param)) << text << " slot " << i;
        }
        EXPECT_STREQ(text, param.GetBuffer(0));
        EXPECT_TRUE(IsValueToken(token));
    }
    Token t;
    t.id = kTokIdent;
    t.text = "f(x)[1]";
    EXPECT_TRUE(IsCallToken(t));
    t.text = "a[f(x)]";
    EXPECT_FALSE(IsCallToken(t));
    EXPECT_TRUE(IsIdentToken(t));
    t.id = kTokOperator;
    EXPECT_TRUE(IsOperatorToken(t));
    EXPECT_FALSE(IsCallToken(t));
}

TEST(ScriptLexer, PeekCacheCommentsAndExpectations) {
    ScriptLexer lexer;
    lexer.SetBuffer("/* c */ alpha // note\n beta 42 {x{y}z} tail");
    Token token;
    ASSERT_EQ(1, lexer.GetToken(token, 0, true));
    EXPECT_STREQ("alpha", token.text.GetBuffer(0));
    EXPECT_EQ(8, lexer.GetLocation().offset) << "a peek does not move the position";
    ASSERT_EQ(1, lexer.GetToken(token, 0, false));
    EXPECT_STREQ("alpha", token.text.GetBuffer(0));
    ASSERT_EQ(1, lexer.GetToken(token, 2, false));
    EXPECT_EQ(kTokLineComment, token.id);
    EXPECT_STREQ("note", token.text.GetBuffer(0));

    SourcePos before = lexer.GetLocation();
    EXPECT_FALSE(lexer.ExpectKind(token, kTokNumber));
    EXPECT_EQ(before.offset, lexer.GetLocation().offset);
    EXPECT_TRUE(lexer.ExpectKind(token, kTokIdent));
    EXPECT_EQ(1, token.pos.line);
    EXPECT_FALSE(lexer.ExpectText(token, "43", true));
    EXPECT_TRUE(lexer.ExpectText(token, "42", true));

    // A peeked left operator, then the raw text up to its balancing brace.
    ASSERT_EQ(1, lexer.GetNextToken(token, true));
    OTSTR text;
    EXPECT_FALSE(lexer.Fetch_string("(", ")", false, text)) << "the cached token is not '('";
    ASSERT_TRUE(lexer.Fetch_string("{", "}", false, text));
    EXPECT_STREQ("{x{y}z}", text.GetBuffer(0));
    EXPECT_FALSE(lexer.HasCachedToken());
    EXPECT_FALSE(lexer.Fetch_string("{", "}", true, text)) << "a blank is not the left operator";
    EXPECT_FALSE(lexer.Fetch_string("{", "{", true, text));
    EXPECT_STREQ("Fetch_string fail, left & right operator should not be same",
                 lexer.GetLastError().GetBuffer(0));
    ASSERT_EQ(1, lexer.GetNextToken(token, false));
    EXPECT_STREQ("tail", token.text.GetBuffer(0));
}

TEST(ScriptLexer, FilesWithCrLfLexLikeFilesWithLf) {
    ScratchDir dir;
    const char* lf = "struct A {\n  BYTE b; // x\n};\n/* y\n */ int z;";
    std::string crlf;
    for (const char* p = lf; *p; ++p) crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    ASSERT_TRUE(vpath::MakeDirectory("sub"));
    std::ofstream("sub/lf.txt", std::ios::binary) << lf;
    std::ofstream("sub/crlf.txt", std::ios::binary) << crlf;

    auto lex = [](const char* name) {
        ScriptLexer lexer;
        std::string out = lexer.LoadFile(name, true) ? "" : "cannot load";
        for (Token token; lexer.GetNextToken(token, false) == 1;) {
            out += std::to_string(token.id) + ":" + token.text.GetBuffer(0) + "@" +
                   std::to_string(token.pos.line) + " ";
        }
        return out;
    };
    std::string a = lex("Sub\\LF.TXT");
    EXPECT_EQ(a, lex("sub\\..\\sub\\crlf.txt"));
    EXPECT_NE(std::string::npos, a.find("10:// x@1")) << a;

    ScriptLexer lexer;
    ASSERT_TRUE(lexer.LoadFile("x\\..\\sub\\lf.txt", true));
    EXPECT_STREQ("sub\\lf.txt", lexer.GetFullPath());
    EXPECT_STREQ("lf.txt", lexer.GetFileName());
    EXPECT_STREQ("sub\\", lexer.GetDirectory());
    Token token;
    ASSERT_EQ(1, lexer.GetNextToken(token, false));
    EXPECT_STREQ("sub\\lf.txt : Ln 0", token.pos.ToString().GetBuffer(0));
    EXPECT_FALSE(lexer.LoadFile("missing.txt", true));
    EXPECT_STREQ("File: missing.txt  Open failed", lexer.GetLastError().GetBuffer(0));
    EXPECT_EQ(-1, lexer.GetNextToken(token, false));
}

TEST(ScriptLexer, FoldingDotsInPaths) {
    // Each path, folded.
    const char* const cases[][2] = {
        {"a\\b\\..\\c.txt", "a\\c.txt"},
        {"a/b/../c", "a/c"},
        {"..\\x", "..\\x"},
        {"a\\..\\..\\b", "..\\b"},
        {"\\a\\..\\b", "\\b"},
        {"a\\b/..\\c", "a\\b/..\\c"},
        {"plain.txt", "plain.txt"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(c[1], TextFile::FoldDots(c[0]).GetBuffer(0)) << c[0];
}

TEST(ScriptLexer, RuleTableListsAndAnyBytesLex) {
    ScratchDir dir;
    ASSERT_TRUE(BuildScriptRules());
    ASSERT_EQ(11, ScriptRuleTable().RuleCount());
    ASSERT_TRUE(vpath::MakeDirectory("dump"));
    ASSERT_TRUE(ScriptRuleTable().DumpRules("Dump\\LexRule.txt", true));
    OTSTR listing;
    ASSERT_TRUE(vpath::ReadFile("dump\\LexRule.txt", true, listing));
    EXPECT_NE(nullptr, strstr(listing.GetBuffer(0), "  R9     (0[Xx][0-9A-Fa-f]<1,>)|("));
    EXPECT_EQ(35, KeywordCount());

    uint32_t seed = 99;
    for (int round = 0; round < 200; ++round) {
        char bytes[64];
        for (char& b : bytes) b = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        ScriptLexer lexer;
        lexer.SetBuffer(bytes, sizeof bytes);
        int r, guard = 0;
        for (Token token; (r = lexer.GetNextToken(token, false)) != 0 && guard++ < 200;)
            EXPECT_TRUE(r == 1 || token.id == -1);
        EXPECT_LT(guard, 200);
    }
}

}  // namespace
