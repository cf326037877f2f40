// The rule table: adding, finding and clearing rules, and joining the ends
// of their graphs. Tested by pattern/rule_table_test.cpp.
#include "pattern/rule_table.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "pattern/pattern_messages.h"
#include "pattern/rule_compiler.h"

RuleTable::RuleTable() {
    State* final = new State(0);
    states.Add(final);
}

RuleTable::~RuleTable() {
    for (int i = 0; i < states.GetSize(); ++i) delete StateAt(i);
}

void RuleTable::SetError(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    lastError = text;
}

State* RuleTable::NewState(int32_t ruleId) {
    State* state = new (std::nothrow) State;
    if (state != nullptr) {
        int before = states.GetSize();
        if (states.Add(state) != before) return state;
        delete state;
    }
    SetError(patmsg::kMallocError, static_cast<long>(ruleId));
    return nullptr;
}

int32_t RuleTable::RuleIdOf(const State* state) const {
    for (int i = 0; i < rules.GetSize(); ++i) {
        uint32_t tag = 0;
        if (rules.GetAt(i, &tag) == state) return static_cast<int32_t>(tag);
    }
    return -1;
}

State* RuleTable::FindRule(int32_t id) const {
    for (int i = 0; i < rules.GetSize(); ++i) {
        uint32_t tag = 0;
        State* start = rules.GetAt(i, &tag);
        if (static_cast<int32_t>(tag) == id) return start;
    }
    return nullptr;
}

State* RuleTable::FindRuleByName(const char* name, int32_t* id) const {
    if (name == nullptr || name[0] == 0) return nullptr;
    for (int i = 0; i < rules.GetSize(); ++i) {
        uint32_t tag = 0;
        State* start = rules.GetAt(i, &tag);
        if (start->name.Compare(name, false)) {
            if (id != nullptr) *id = static_cast<int32_t>(tag);
            return start;
        }
    }
    return nullptr;
}

// Works out which parameter slots the graph below start captures into,
// failing when one slot is used twice. Groups and called rules are worked
// out once and remembered in their start state.
bool RuleTable::CollectParamIds(State* start, int32_t& outMask, int depth) {
    if (start->paramMask >= 0) {
        outMask = start->paramMask;
        return true;
    }
    int32_t mask = 0;
    ObArrayOf<State> work(16);
    work.Add(start);
    while (work.GetSize() > 0) {
        State* state = work.RemoveLast();
        for (int t = 0; t < state->Count(); ++t) {
            Transition* tr = state->At(t);
            if (tr->kind == kTransCall) {
                if (tr->paramId >= 0) {
                    int32_t bit = 1 << tr->paramId;
                    if (mask & bit) {
                        SetError(patmsg::kParamTwice, tr->paramId);
                        return false;
                    }
                    mask |= bit;
                }
                int32_t sub = 0;
                if (!CollectParamIds(tr->target, sub, depth + 1)) return false;
                if (int32_t both = sub & mask) {
                    int id = 0;
                    while (!(both & (1 << id))) ++id;
                    SetError(patmsg::kParamTwice, id);
                    return false;
                }
                mask |= sub;
            }
            if (tr->next != nullptr && !tr->next->IsEnd()) work.Add(tr->next);
        }
    }
    start->paramMask = mask;
    outMask = mask;
    return true;
}

bool RuleTable::AddRule(int32_t id, const char* name, const char* text) {
    if (name == nullptr) name = "";
    if (id < 1) {
        SetError("%s", patmsg::kIdNotPositive);
        return false;
    }
    if (FindRule(id) != nullptr || FindRuleByName(name) != nullptr) {
        SetError(patmsg::kRuleExists, static_cast<long>(id));
        return false;
    }
    int length = text ? static_cast<int>(strlen(text)) : 0;
    State* start = nullptr;
    if (length > 0) {
        RuleCompiler compiler(*this, id);
        start = compiler.Compile(text, length);
    }
    int32_t mask = 0;
    if (start == nullptr || !CollectParamIds(start, mask, 0)) {
        ClearRules();
        return false;
    }
    start->name = name;
    int before = rules.GetSize();
    if (rules.Add(start, static_cast<uint32_t>(id)) == before) {
        SetError(patmsg::kMallocError, static_cast<long>(id));
        ClearRules();
        return false;
    }
    if (mask != 0) hasParamIds = true;
    return true;
}

void RuleTable::MergeEndStates() {
    State* final = FinalState();
    auto isRuleStart = [this](const State* state) { return RuleIdOf(state) >= 0; };
    // A state without transitions that starts a rule stays, so that the
    // rule keeps its name; other ends (and empty groups) become the final
    // state.
    for (int i = 1; i < states.GetSize(); ++i) {
        State* state = StateAt(i);
        for (int t = 0; t < state->Count(); ++t) {
            Transition* tr = state->At(t);
            if (tr->next != nullptr && tr->next != final && tr->next->IsEnd() &&
                !isRuleStart(tr->next))
                tr->next = final;
            if (tr->kind == kTransCall && tr->target != final && tr->target->IsEnd() &&
                !isRuleStart(tr->target))
                tr->target = final;
        }
    }
    ObArrayOf<State> kept(states.GetSize() + 1);
    for (int i = 0; i < states.GetSize(); ++i) {
        State* state = StateAt(i);
        if (i == 0 || !state->IsEnd() || isRuleStart(state)) {
            kept.Add(state);
        } else {
            delete state;
        }
    }
    states.RemoveAll();
    for (int i = 0; i < kept.GetSize(); ++i) states.Add(kept.GetAt(i));
}

void RuleTable::ClearRules() {
    for (int i = 1; i < states.GetSize(); ++i) delete StateAt(i);
    State* final = FinalState();
    final->paramMask = -1;
    states.RemoveAll();
    states.Add(final);
    rules.RemoveAll();
    hasParamIds = hasLineAnchors = hasWordAnchors = false;
}
