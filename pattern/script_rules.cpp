// The token rules and keywords of the script language.
// Tested by pattern/script_lexer_test.cpp.
#include "pattern/script_rules.h"

#include <strings.h>

#include <cstring>

#include "pattern/rule_table.h"
#include "pattern/token.h"

namespace {

const Keyword kKeywords[] = {
    {"DEFINE", false},        {"INCLUDE", false},
    {"ENUM", false},          {"STRUCT", false},
    {"VOID", false},          {"INT1", false},
    {"INT2", false},          {"INT4", false},
    {"BYTE", false},          {"WORD", false},
    {"DWORD", false},         {"UINT1", false},
    {"UINT2", false},         {"UINT4", false},
    {"OCTET", false},         {"STRING", false},
    {"CHAR", false},          {"INT", false},
    {"SHORT", false},         {"LONG", false},
    {"DOUBLE", false},        {"PVOID", false},
    {"UNSIGNED CHAR", true},  {"UNSIGNED INT", true},
    {"UNSIGNED SHORT", true}, {"UNSIGNED LONG", true},
    {"WHILE", false},         {"IF", false},
    {"ELSE", false},          {"CONTINUE", false},
    {"BREAK", false},         {"RETURN", false},
    {"EXTERN", false},        {"BOOL", false},
    {"TYPEDEF", false},
};
constexpr int kKeywordCount = sizeof kKeywords / sizeof kKeywords[0];

struct RuleText {
    int32_t id;
    const char* name;
    const char* text;
};

// In the order in which they are tried at a position.
const RuleText kRules[] = {
    {kRuleHex, "NUMBER_HEX", "0[xX][A-Fa-f0-9]+"},
    {kRuleFraction, "NUMBER_DOUBLE", "[-+]?\\d+.\\d+"},
    {kRuleDecimal, "NUMBER_DEX", "[-+]?\\d+"},
    {kRuleLineRest, "", "{?[\r\n]}"},
    {kTokBlockComment, "", "/\\*{?>*/}"},
    {kTokLineComment, "REMARKLINE", "//\\.*$"},
    {kTokIdent, "IDENT", "[A-Za-z_][A-Za-z_0-9]*"},
    {kTokString, "STRING", "\"{?>\"}|'{?>'}"},
    {kTokOperator, "",
     "==|\\<=|>=|>>|\\<\\<|\\<|>|&&|\\|\\||!=|::|[#=\\{\\},.;[\\]:+\\-\\*\\/%&|!^\\(\\)?~\"]"},
    {kTokNumber, "NUMBER", "{NUMBER_HEX 3}|{NUMBER_DOUBLE 4}|{NUMBER_DEX 2}"},
    {kRuleSkipped, "", "[ \r\n\t\x80-\xff]{?[^ \r\n\t\x80-\xff]}"},
};

RuleTable g_table;
bool g_built = false;

}  // namespace

bool BuildScriptRules() {
    g_table.ClearRules();
    for (const RuleText& rule : kRules) g_table.AddRule(rule.id, rule.name, rule.text);
    g_table.MergeEndStates();
    g_built = true;
    return true;
}

RuleTable& ScriptRuleTable() {
    if (!g_built) BuildScriptRules();
    return g_table;
}

int KeywordCount() {
    return kKeywordCount;
}

const Keyword& KeywordAt(int i) {
    return kKeywords[i];
}

int FindKeyword(const char* text) {
    if (text == nullptr) return -1;
    size_t length = strlen(text);
    for (int i = 0; i < kKeywordCount; ++i) {
        const char* word = kKeywords[i].text;
        // Most identifiers differ from every keyword in their first letter.
        if ((word[0] | 0x20) != (text[0] | 0x20) || strlen(word) != length) continue;
        if (strcasecmp(word, text) == 0) return i;
    }
    return -1;
}

bool IsValueToken(const Token& token) {
    switch (token.id) {
        case kTokDecimal:
        case kTokHex:
        case kTokFraction:
        case kTokString:
        case kTokNumber:
            return true;
        default:
            return false;
    }
}

bool IsIdentToken(const Token& token) {
    return token.id == kTokIdent;
}

bool IsOperatorToken(const Token& token) {
    return token.id == kTokOperator;
}

bool IsCallToken(const Token& token) {
    if (token.id != kTokIdent) return false;
    int paren = token.text.Find('(', 0);
    if (paren < 0) return false;
    int bracket = token.text.Find('[', 0);
    return bracket < 0 || paren < bracket;
}
