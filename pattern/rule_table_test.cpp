// Tests of the rule compiler, the rule table and its listing.
#include "pattern/rule_table.h"

#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "pattern/rule_listing.h"

namespace {

std::string ListRule(const RuleTable& table, int index = 0) {
    OTSTR text;
    rulelisting::AppendRuleText(table.RuleAt(index), text);
    return text.GetBuffer(0);
}

TEST(RuleTableCompile, ErrorsAreReportedInTheSystemsWords) {
    // Each rule with its message.
    const char* const cases[][2] = {
        {"(ab", "Rule 7 build fail, '(' and ')' not match"},
        {"{x", "Rule 7 build fail, '{' and '}' not match"},
        {"a<3", "Rule 7 build fail, '<' and '>' not match"},
        {"{?x}", "Rule 7 build fail, error found after {?, not support"},
        {"{?=}", "Rule 7 build fail, no valid string in {?="},
        {"{?>}", "Rule 7 build fail, no valid string in {?="},
        {"{?[ab]c}", "Rule 7 build fail, found extra string 'c' in {?"},
        {"{NAME x}", "Rule 7 build fail, sub rule 'NAME' paramId error"},
        {"{NAME 11}", "Rule 7 build fail, sub rule 'NAME' param should between 0-10"},
        {"{NAME -1}", "Rule 7 build fail, sub rule 'NAME' param should between 0-10"},
        {"{NOPE}", "Rule 7 build fail, sub rule 'NOPE' not found"},
        {"a<x>", "Rule 7 build fail, get Min repeatn error"},
        {"a<1,y>", "Rule 7 build fail, get Max repeatn error"},
        {"x<5,2>", "Rule 7 build fail, repeatn should>=0 and min<=max"},
        {"x<-1>", "Rule 7 build fail, repeatn should>=0 and min<=max"},
        {"*a", "Rule build fail, head of *a error, remember use \\ before +*?"},
        {"ab|+c", "Rule build fail, head of +c error, remember use \\ before +*?"},
        {"[abc", "Rule build fail, '[' and ']' not match"},
        {"[a-]", "Rule build fail, error between '[' and ']'"},
        {"ab\\", "ERROR: No chars following escape char ('\\')"},
    };
    for (const auto& c : cases) {
        RuleTable table;
        ASSERT_TRUE(table.AddRule(1, "NAME", "[A-Z]+"));
        EXPECT_FALSE(table.AddRule(7, c[0])) << c[0];
        EXPECT_STREQ(c[1], table.GetLastError().GetBuffer(0)) << c[0];
        // A failed rule takes every rule added before it along.
        EXPECT_EQ(0, table.RuleCount()) << c[0];
        EXPECT_EQ(1, table.StateCount()) << c[0];
    }
}

TEST(RuleTableCompile, IdAndNameChecksKeepTheTable) {
    RuleTable table;
    EXPECT_FALSE(table.AddRule(0, "a"));
    EXPECT_STREQ("Rule Id should greater than 0", table.GetLastError().GetBuffer(0));
    ASSERT_TRUE(table.AddRule(3, "Word", "[a-z]+"));
    EXPECT_FALSE(table.AddRule(3, "b"));
    EXPECT_STREQ("Rule 3 already exist", table.GetLastError().GetBuffer(0));
    EXPECT_FALSE(table.AddRule(4, "WORD", "b"));
    EXPECT_STREQ("Rule 4 already exist", table.GetLastError().GetBuffer(0));
    EXPECT_EQ(1, table.RuleCount());
    // An empty text fails and clears the table, without a message of its own.
    EXPECT_FALSE(table.AddRule(5, ""));
    EXPECT_EQ(0, table.RuleCount());
}

TEST(RuleTableCompile, ParameterSlotsAreCheckedThroughGroupsAndCalls) {
    // D reads digits; P, when in the table, fills slot 3 by calling D. A
    // called rule without slots may be called any number of times.
    struct Case {
        const char* rule;
        bool withP;
        const char* result;  // whether the compiled table has slots, or the error
    } cases[] = {
        {"({D 1},{D 2})|{D 4}", true, "slots"},
        {"{D}.{D}.{D}", false, "no slots"},
        {"{D 3}x{D 3}", true, "ParamId=3 be defined more than one time"},
        {"{P}({D 3})", true, "ParamId=3 be defined more than one time"},
    };
    for (const Case& c : cases) {
        RuleTable table;
        ASSERT_TRUE(table.AddRule(2001, "D", "\\d+"));
        ASSERT_TRUE(!c.withP || table.AddRule(2002, "P", "{D 3}"));
        EXPECT_STREQ(c.result, !table.AddRule(1, c.rule) ? table.GetLastError().GetBuffer(0)
                               : table.HasParamIds()     ? "slots"
                                                         : "no slots")
            << c.rule;
    }
}

TEST(RuleTableCompile, RepeatsAndAtoms) {
    struct Case {
        const char* rule;
        int min, max;
        bool greedy;
    } cases[] = {
        {"x", 1, 1, true},         {"x*", 0, 32000, true},    {"x+", 1, 32000, true},
        {"x?", 0, 1, true},        {"x*?", 0, 32000, false},  {"x+?", 1, 32000, false},
        {"x??", 0, 1, false},      {"x<3>", 3, 3, true},      {"x<2,>", 2, 32000, true},
        {"x<2, 5>?", 2, 5, false}, {"(ab)<0,4>", 0, 4, true},
    };
    for (const Case& c : cases) {
        RuleTable table;
        ASSERT_TRUE(table.AddRule(1, c.rule)) << c.rule;
        const Repeat& r = table.RuleAt(0)->At(0)->repeat;
        EXPECT_EQ(c.min, r.min) << c.rule;
        EXPECT_EQ(c.max, r.max) << c.rule;
        EXPECT_EQ(c.greedy, r.greedy) << c.rule;
    }

    RuleTable table;
    ASSERT_TRUE(table.AddRule(1, "a.b"));
    ASSERT_TRUE(table.AddRule(2, "a\\.b"));
    ASSERT_TRUE(table.AddRule(3, "[-+]"));
    const Condition* dot = table.RuleAt(0)->At(0)->next->At(0)->condition.get();
    EXPECT_TRUE(dot->type == kCondChar && dot->ch == '.') << "a plain dot is the character";
    EXPECT_EQ(kCondAnyButNewline, table.RuleAt(1)->At(0)->next->At(0)->condition->type);
    const Condition* sign = table.RuleAt(2)->At(0)->condition.get();
    EXPECT_TRUE(sign->set['-'] && sign->set['+']);
    EXPECT_FALSE(sign->set[','] || sign->set['.']);
}

TEST(RuleTableListing, RuleTextReadsBackAsTheRule) {
    // Each rule with its listing.
    const char* const cases[][2] = {
        {"x<3>", "x<3>"},
        {"x<2,>", "x<2,>"},
        {"0[xX][A-Fa-f0-9]+", "0[Xx][0-9A-Fa-f]<1,>"},
        {"[A-Za-z_][A-Za-z_0-9]*", "[A-Z_a-z][0-9A-Z_a-z]<0,>"},
        {"[-+]?\\d+.\\d+", "[+\\-]<0,1>[0-9]<1,>.[0-9]<1,>"},
        {"//\\.*$", "//\\.<0,>$"},
        {"/\\*{?>*/}", "/\\*{?>*/}"},
        {"\"{?>\"}|'{?>'}", "\"{?>\"}|'{?>'}"},
        {"(ab|a)b", "(ab|a)b"},
        {"a*?b<1,3>?", "a<0,>?b<1,3>?"},
        {"{?[^ \\t]}x", "{?[^\\t ]}x"},
        {"\\(\\$\\{\\|", "\\(\\$\\{\\|"},
        {"a|", "a"},
    };
    for (const auto& c : cases) {
        RuleTable table;
        ASSERT_TRUE(table.AddRule(1, c[0])) << c[0];
        EXPECT_EQ(c[1], ListRule(table)) << c[0];
        // The listed text compiles to a rule that lists the same way again.
        RuleTable again;
        ASSERT_TRUE(again.AddRule(1, ListRule(table).c_str())) << c[0];
        EXPECT_EQ(c[1], ListRule(again)) << c[0];
    }
}

TEST(RuleTableListing, MergedEndStatesAndTheDumpOfRulesAndStates) {
    ScratchDir dir;
    RuleTable table;
    ASSERT_TRUE(table.AddRule(1001, "Blank", "[ \\t]+"));
    ASSERT_TRUE(table.AddRule(2001, "D", "\\d+"));
    ASSERT_TRUE(table.AddRule(5, "Pair", "{D 0}-{D 1}|x"));
    ASSERT_TRUE(table.AddRule(1, "a(b|c)|{D}x"));
    // Merging leads every path to the one final state.
    int before = table.StateCount();
    table.MergeEndStates();
    EXPECT_LT(table.StateCount(), before);
    int ends = 0;
    for (int i = 0; i < table.StateCount(); ++i) {
        const State* s = table.StateAt(i);
        if (s->IsEnd()) ++ends;
        for (int t = 0; t < s->Count(); ++t) ASSERT_NE(nullptr, s->At(t)->next);
    }
    EXPECT_EQ(1, ends);

    ASSERT_TRUE(vpath::MakeDirectory("dump"));
    ASSERT_TRUE(table.DumpRules("Dump\\LexRule.txt", true));
    OTSTR listing;
    ASSERT_TRUE(vpath::ReadFile("dump\\lexrule.txt", true, listing));
    std::string text = listing.GetBuffer(0);

    EXPECT_EQ(0u, text.find("/////////////////////////////////////////\n//RuleList:\n"
                            "  R1001  [\\t ]<1,>\n"
                            "  R2001  [0-9]<1,>\n"
                            "  R5     ([0-9]<1,>)-([0-9]<1,>)|x\n"
                            "  R1     a(b|c)|([0-9]<1,>)x\n\n"
                            "//////////////////////////////////////////////\n//StateTable:\n"))
        << text;
    // D's state line, a further transition's line, the slot and the final state.
    long id = table.FindRule(2001)->id;
    char padded[24];
    snprintf(padded, sizeof padded, " {%-3ld}  ", id);
    for (const std::string& line :
         {padded + std::string("[0-9]<1,>") + std::string(12, ' ') + "-> {0  }  R2001 D\n",
          std::string(29, ' ') + "-> {", "{" + std::to_string(id) + " $1}",
          std::string("*{0  }        \n")}) {
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    }

    // Appending keeps what is there.
    ASSERT_TRUE(table.DumpRules("Dump\\LexRule.txt", false));
    OTSTR twice;
    ASSERT_TRUE(vpath::ReadFile("Dump\\LexRule.txt", true, twice));
    EXPECT_EQ(2 * listing.GetLength(), twice.GetLength());
    EXPECT_FALSE(table.DumpRules("no\\such\\dir\\x.txt", true));
}

TEST(RuleTableCompile, AnyBytesCompileOrFailCleanly) {
    // Deterministic pseudo-random rule texts over the characters that mean
    // something to the compiler, and raw bytes.
    const char alphabet[] = "()[]{}<>?*+|\\^$-=.,0123 abcxyz\t\x80\xff";
    auto rnd = [seed = 12345u]() mutable { return (seed = seed * 1103515245u + 12345u) >> 16; };
    RuleTable table;
    for (int round = 0; round < 3000; ++round) {
        table.ClearRules();
        ASSERT_TRUE(table.AddRule(2001, "abc", "[a-c]+"));
        std::string rule(1 + rnd() % 30, ' ');
        for (char& ch : rule) ch = alphabet[rnd() % (sizeof alphabet - 1)];
        // A compiled rule can be listed; a failure says why.
        if (table.AddRule(1 + round % 900, rule.c_str()))
            ListRule(table, 1);
        else
            EXPECT_FALSE(table.GetLastError().IsEmpty()) << rule;
    }
    // Deep nesting is refused rather than exhausting the stack.
    EXPECT_FALSE(table.AddRule(1, (std::string(5000, '(') + "a" + std::string(5000, ')')).c_str()));
}

}  // namespace
