// PatternMatcher: matches one whole text against one pattern (with helper
// rules it may call), capturing up to 11 parameters.
// Tested by pattern/pattern_matcher_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"
#include "pattern/lex.h"
#include "pattern/rule_table.h"

class PatternMatcher {
  public:
    // With a pattern, adds it at once as the rule to match.
    explicit PatternMatcher(const char* pattern = nullptr);
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    // Adds text as rule nextId (keep) or nextId + 2000 (a rule that only
    // other rules call, by the given name). A compile error is copied into
    // GetLastError().
    bool AddToken(bool keep, const char* text, const char* name = "");
    // True when the whole text is exactly one token; the token's parameters
    // 0 to 10 go to out[0..10] (unset ones leave their string as it was).
    bool Match(const char* text, OTSTR* out = nullptr);

    void SetCaseSensitive(bool on) { caseSensitive = on; }
    const OTSTR& GetLastError() const { return lastError; }
    RuleTable& GetRuleTable() { return table; }

  private:
    RuleTable table;
    Lex lex;
    bool caseSensitive = true;
    OTSTR lastError;
    int32_t nextId = 1;
};
