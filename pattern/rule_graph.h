// The compiled form of pattern rules: states joined by transitions. Every
// rule of a RuleTable lives in the table's one graph store; a state without
// transitions ends the graph (rule, group or called rule) it belongs to.
#pragma once

#include <cstdint>
#include <memory>

#include "base/ob_array.h"
#include "base/otstr.h"

// Condition types. 257 to 260 are positions between characters; the others
// test (or, for the look-ahead forms, search for) characters.
enum ConditionType : int32_t {
    kCondLineBegin = 257,      // ^
    kCondLineEnd = 258,        // $
    kCondWordBoundary = 259,   // \b
    kCondNotBoundary = 260,    // \B
    kCondChar = 261,           // one character
    kCondAnyButNewline = 262,  // \.
    kCondSet = 263,            // [...], \c, \d
    kCondNotSet = 264,         // [^...]: also takes the end of the input
    kCondUpToSet = 265,        // {?[...]}
    kCondUpToNotSet = 266,     // {?[^...]}
    kCondBeforeText = 267,     // {?=text}
    kCondThroughText = 268,    // {?>text}
};

// Codes presented to the patterns besides the bytes 0 to 255.
constexpr int32_t kCodeEndOfInput = 256;
inline bool IsPositionCode(int32_t code) {
    return code >= kCondLineBegin && code <= kCondNotBoundary;
}

// Repeat counts of 32000 and above mean "unbounded".
constexpr int32_t kRepeatUnbounded = 32000;

struct Repeat {
    int32_t min = 1;
    int32_t max = 1;
    bool greedy = true;
};

struct Condition {
    int32_t type = kCondChar;
    unsigned char ch = 0;  // kCondChar
    OTSTR text;            // the look-ahead texts
    bool set[256] = {};    // membership of the set types

    bool IsSetType() const {
        return type == kCondSet || type == kCondNotSet || type == kCondUpToSet ||
               type == kCondUpToNotSet;
    }
};

class State;

enum TransitionKind : int32_t { kTransCondition = 0, kTransCall = 1, kTransBranch = 2 };

struct Transition {
    int32_t kind = kTransCondition;
    std::unique_ptr<Condition> condition;  // kind 0
    State* target = nullptr;               // kind 1: start of the group or called rule
    Repeat repeat;
    int32_t paramId = -1;
    State* next = nullptr;
    State* owner = nullptr;
};

// The bytes with which a match below a state can begin. A match that may
// begin with a position or a look-ahead counts as beginning with any byte.
struct FirstBytes {
    bool known = false;
    bool any = false;
    bool nullable = false;  // the graph can end without consuming a byte
    uint8_t bits[32] = {};

    bool Has(int c) const { return any || (bits[c >> 3] >> (c & 7)) & 1; }
};

class State {
  public:
    // Takes the next id of the process-wide counter (from 1).
    State();
    // The final state of a table: id 0.
    explicit State(int32_t fixedId) : id(fixedId) {}
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    int32_t id;
    OTSTR name;
    ObArrayOf<Transition> transitions{4};  // owned
    // Parameter ids 0 to 10 used below this state, worked out once by the
    // table's check; -1 while unknown.
    int32_t paramMask = -1;

    // Worked out on first use; the graph below a state never changes once
    // its rule is compiled.
    const FirstBytes& First() {
        if (!first.known) WorkOutFirst(0);
        return first;
    }

    int Count() const { return transitions.GetSize(); }
    // REQUIRES: 0 <= i < Count().
    Transition* At(int i) const { return static_cast<Transition*>(transitions.Data()[i].ptr); }
    bool IsEnd() const { return transitions.GetSize() == 0; }

  private:
    void WorkOutFirst(int depth);
    FirstBytes first;
};
