// MatchPattern: one way through a rule graph while the matcher runs; pooled
// and recycled by Lex. Tested through pattern/lex_test.cpp.
#pragma once

#include <cstdint>

#include "pattern/rule_graph.h"
#include "pattern/token.h"

// One level of the frame stack: the rule's own graph, or a group or called
// rule entered from the level below.
struct MatchFrame {
    State* state = nullptr;       // the state being worked on
    Transition* trans = nullptr;  // the transition being worked on
    int32_t count = 0;            // repetitions of trans so far
    int32_t elemStart = 0;        // pattern length when trans was entered
    int32_t repStart = 0;         // pattern length when this repetition began
    int32_t target = -1;          // look-ahead: offset where the search ends
};

class MatchPattern {
  public:
    // The rule's own level and 11 nested calls.
    static constexpr int kMaxFrames = 12;
    enum : int32_t { kDead = -1, kRunning = 0, kComplete = 1 };

    // Starts a way for rule id at the given buffer offset.
    void Start(int32_t ruleId, int32_t offset);
    // Takes over the whole state of another way (the serial number stays).
    void CopyFrom(const MatchPattern& other);

    MatchFrame& Top() { return frames[depth - 1]; }
    bool Push();
    bool Pop();
    // True when both ways would behave alike from here on.
    bool SameAs(const MatchPattern& other) const;
    uint32_t Hash() const;

    int32_t serial = 0;
    int32_t state = kRunning;
    int32_t id = 0;
    int32_t start = 0;   // buffer offset of the first byte
    int32_t length = 0;  // bytes consumed so far
    int32_t depth = 0;
    int32_t paramCount = 0;  // next free slot for captures without explicit ids
    MatchFrame frames[kMaxFrames];
    ParamSpan params[kMaxParams];
};
