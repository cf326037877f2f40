// PatternMatcher: one pattern against one whole text.
// Tested by pattern/pattern_matcher_test.cpp.
#include "pattern/pattern_matcher.h"

#include "pattern/pattern_messages.h"

PatternMatcher::PatternMatcher(const char* pattern) {
    lex.SetRuleTable(&table);
    if (pattern != nullptr) AddToken(true, pattern);
}

bool PatternMatcher::AddToken(bool keep, const char* text, const char* name) {
    int32_t id = keep ? nextId : nextId + kFirstCalledOnlyRule;
    ++nextId;
    if (!table.AddRule(id, name, text)) {
        lastError = table.GetLastError();
        return false;
    }
    return true;
}

bool PatternMatcher::Match(const char* text, OTSTR* out) {
    if (text == nullptr) {
        lastError = patmsg::kNullText;
        return false;
    }
    if (table.RuleCount() == 0) {
        lastError = patmsg::kNoRuleSet;
        return false;
    }
    lex.SetOverlapMatch(false);
    lex.SetReturnUnMatchContent(true);
    lex.SetCaseSensitive(caseSensitive);
    lex.SetBuffer(text, -1);

    Token token;
    int tokens = 0;
    for (;;) {
        int r = lex.GetNextToken(token, false);
        if (r < 0) {
            lastError = lex.GetLastError();
            return false;
        }
        if (r == 0) break;
        if (token.id == 0) {
            lastError = patmsg::kUnmatchedToken;
            return false;
        }
        if (tokens == 0 && out != nullptr) {
            for (int i = 0; i < kMaxParams; ++i) token.GetParam(i, out[i]);
        }
        ++tokens;
    }
    if (tokens != 1) {
        lastError = patmsg::kUnmatch;
        return false;
    }
    return true;
}
