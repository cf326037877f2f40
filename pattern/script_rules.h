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
    kTokString = 5,
    kTokKeyword = 6,
    kTokOperator = 7,
    kTokNumber = 9,
    kTokLineComment = 10,
    kTokBlockComment = 11,
};

// Parameter slots in which a number token records its kind.
enum NumberSlot : int { kSlotDecimal = 2, kSlotHex = 3, kSlotFraction = 4 };

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
