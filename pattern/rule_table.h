// RuleTable: a table of pattern rules compiled into one graph store, with
// the listing of the table. Tested by pattern/rule_table_test.cpp.
#pragma once

#include <cstdint>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "pattern/rule_graph.h"

// Rules with this id or a higher one are only called by other rules: the
// matcher never tries them at a position by themselves.
constexpr int32_t kFirstCalledOnlyRule = 2000;

class RuleTable {
  public:
    // The table starts with its common final state (id 0) as state 0.
    RuleTable();
    ~RuleTable();
    RuleTable(const RuleTable&) = delete;
    RuleTable& operator=(const RuleTable&) = delete;

    // Compiles text as rule id. On any compile failure the whole table is
    // cleared and the message is left in GetLastError().
    bool AddRule(int32_t id, const char* name, const char* text);
    bool AddRule(int32_t id, const char* text) { return AddRule(id, "", text); }

    State* FindRule(int32_t id) const;
    // Name comparison ignores case; an empty name finds nothing.
    State* FindRuleByName(const char* name, int32_t* id = nullptr) const;

    // Deletes the states without transitions and leads every transition
    // that reached one to the final state. Call once after the last AddRule.
    void MergeEndStates();
    // Removes every rule and state but the final state, and the flags.
    void ClearRules();

    // Writes the rule list and the state table (mode "w" when overwrite is
    // set, else "a"); false when the file cannot be opened.
    bool DumpRules(const char* fileName, bool overwrite) const;

    const OTSTR& GetLastError() const { return lastError; }

    int RuleCount() const { return rules.GetSize(); }
    // REQUIRES: 0 <= i < RuleCount().
    State* RuleAt(int i, int32_t* id = nullptr) const {
        const ObItem& item = rules.Data()[i];
        if (id != nullptr) *id = static_cast<int32_t>(item.tag);
        return static_cast<State*>(item.ptr);
    }
    // The id of the rule that starts at state, or -1.
    int32_t RuleIdOf(const State* state) const;
    int StateCount() const { return states.GetSize(); }
    State* StateAt(int i) const { return states.GetAt(i); }
    State* FinalState() const { return StateAt(0); }

    bool HasParamIds() const { return hasParamIds; }
    bool HasLineAnchors() const { return hasLineAnchors; }
    bool HasWordAnchors() const { return hasWordAnchors; }

  private:
    friend class RuleCompiler;

    // A new state appended to the store, or null (with the message for
    // rule id) when memory runs out.
    State* NewState(int32_t ruleId);
    bool CollectParamIds(State* start, int32_t& mask, int depth);
    void SetError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    ObArrayOf<State> rules{25};    // tag: the rule id
    ObArrayOf<State> states{100};  // owned
    bool hasParamIds = false;
    bool hasLineAnchors = false;
    bool hasWordAnchors = false;
    OTSTR lastError;
};
