// The words of the script language: the process-wide token rule table, the
// keyword list, the token ids and their classes.
// Tested by pattern/script_lexer_test.cpp.
#pragma once

#include <cstdint>

class RuleTable;
class Token;

// Token ids of the script language.
enum ScriptTokenId : int32_t {
    kTokNone = -1,
    kTokUnmatched = 0,
    kTokIdent = 1,
    // Numbers of one kind: the lexer gives every number kTokNumber, but a
    // value may carry its kind as its id (a value leaf of an expression).
    kTokDecimal = 2,
    kTokHex = 3,
    kTokFraction = 4,
    kTokString = 5,
    kTokKeyword = 6,
    kTokOperator = 7,
    kTokNumber = 9,
    kTokLineComment = 10,
    kTokBlockComment = 11,
};

// Parameter slots in which a number token records its kind.
enum NumberSlot : int {
    kSlotDecimal = kTokDecimal,
    kSlotHex = kTokHex,
    kSlotFraction = kTokFraction
};

// Ids of the rules that make no token of their own: the number kinds that
// NUMBER calls, the rest of a line, and the blanks the lexer skips.
enum ScriptRuleId : int32_t {
    kRuleSkipped = 1001,
    kRuleDecimal = 2002,
    kRuleHex = 2003,
    kRuleFraction = 2004,
    kRuleLineRest = 2005,
};

struct Keyword {
    const char* text;
    bool compound;  // two words joined by a blank ("UNSIGNED CHAR")
};

// Clears and rebuilds the token rule table and the keyword list; true.
bool BuildScriptRules();
// The token rule table, built on first use.
RuleTable& ScriptRuleTable();

int KeywordCount();
const Keyword& KeywordAt(int i);
// The index of the keyword equal to text without regard to case, or -1.
int FindKeyword(const char* text);

bool IsValueToken(const Token& token);
bool IsIdentToken(const Token& token);
bool IsOperatorToken(const Token& token);
// An identifier whose text holds a '(' before any '['.
bool IsCallToken(const Token& token);
