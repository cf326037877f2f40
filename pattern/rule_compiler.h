// RuleCompiler: turns the text of one rule into states and transitions of a
// RuleTable's graph store. Tested through pattern/rule_table_test.cpp.
#pragma once

#include <cstdint>

class RuleTable;
class State;
struct Condition;
struct Repeat;

class RuleCompiler {
  public:
    RuleCompiler(RuleTable& table, int32_t ruleId) : table(table), ruleId(ruleId) {}

    // The start state of the compiled text, or null with the message left in
    // the table. States made on the way stay in the table's store.
    State* Compile(const char* text, int length) { return CompileSequence(text, length, 0); }

    // Groups nest at most this deep; deeper texts fail as out of resources.
    static constexpr int kMaxNesting = 100;

  private:
    State* CompileSequence(const char* text, int length, int depth);
    // Each parser starts at text[i] and leaves i behind what it read.
    bool ParseRepeat(const char* text, int length, int& i, Repeat& repeat);
    bool ParseSet(const char* text, int length, int& i, Condition& cond);
    bool ParseEscape(const char* text, int length, int& i, Condition& cond);
    bool ParseBraces(const char* text, int length, int& i, struct Transition& tr, bool& lookAhead);
    int FindClosing(const char* text, int length, int open, char openChar, char closeChar);

    RuleTable& table;
    int32_t ruleId;
};
