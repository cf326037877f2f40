// GramMatcher: matches the token stream of a ScriptLexer against a
// GrammarRuleSet, depth first in registration order, backtracking by
// position. $Name words are served by the compiler's handlers or by the
// lexer's token rules. Tested by pattern/gram_matcher_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "pattern/compile_error.h"
#include "pattern/grammar_rule_set.h"

class ScriptLexer;

// A handler parses a larger construct from the lexer and returns a new
// object, or null when the construct does not match here. It is called as
// handler(owner, 3, arguments) with the arguments {rule set name (const
// char*), ScriptLexer*, CompileError*}.
using GramHandler = NamedObject* (*)(void* owner, int argc, void** argv);

struct GramFunc {
    const char* name;  // null ends the table
    GramHandler handler;
};

// What a result object is: a handler's object or a copy of a token.
enum GramObjectKind : uint32_t { kGramObject = 0, kGramToken = 1 };

struct GramResult {
    int32_t ruleId = -1;
    ObArray objects{25};  // tagged with GramObjectKind
    GrammarNode* current = nullptr;
};

class GramMatcher {
public:
    GramMatcher(void* owner, const GramFunc* handlers);
    ~GramMatcher();
    GramMatcher(const GramMatcher&) = delete;
    GramMatcher& operator=(const GramMatcher&) = delete;

    // On success the lexer stands after the match and the result holds the
    // alternative reached and the objects met; on failure the lexer is back
    // where it was and the message is in GetError().
    bool GramMatching(ScriptLexer& lexer, GrammarRuleSet& set);
    // Matches one rule text on the spot, as alternative 1 of a set of its own.
    bool GramMatching(ScriptLexer& lexer, const char* setName, const char* ruleText,
                      bool caseSensitive);
    bool GramMatching(ScriptLexer& lexer, const char* ruleText, bool caseSensitive) {
        return GramMatching(lexer, "", ruleText, caseSensitive);
    }

    int32_t GetRuleId() const { return result.ruleId; }
    // The object at index (a NamedObject* or a Token*, as kind tells).
    void* GetObject(int index, uint32_t* kind = nullptr) const;
    int GetObjectCount() const { return result.objects.GetSize(); }
    // Empties the result; with destroy the objects are deleted, otherwise
    // the caller has taken them over.
    void ClearResult(bool destroy);
    CompileError& GetError() { return error; }

private:
    bool MatchNode(GrammarNode* node);
    bool MatchEdge(const GrammarEdge& edge);
    GramHandler FindHandler(const char* name) const;
    static void Destroy(void* object, uint32_t kind);

    void* owner;
    const GramFunc* handlers;
    GramResult result;
    CompileError error;
    ScriptLexer* lexer = nullptr;
    GrammarRuleSet* set = nullptr;
    bool fatal = false;  // a failure that ends the whole match
};
