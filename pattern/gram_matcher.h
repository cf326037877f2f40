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
class Token;

// The object on whose behalf a matcher calls its handlers (the compiler's
// state of one compilation); the handlers know its class.
class GramOwner {
  public:
    virtual ~GramOwner() = default;
};

// What a handler is called with.
struct GramArgs {
    GramOwner* owner;     // as given to the matcher; may be null
    const char* setName;  // the rule set being matched
    ScriptLexer& lexer;
    CompileError& error;  // the matcher's error record
};

// A handler parses a larger construct from the lexer and returns a new
// object, or null when the construct does not match here (with its message
// in args.error).
using GramHandler = NamedObject* (*)(const GramArgs& args);

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
    GramMatcher(GramOwner* owner, const GramFunc* handlers);
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
    // The copy of a token class's token at index; null when a handler's
    // object stands there.
    Token* TokenAt(int index) const;
    // The object that the handler of the sub-rule at index made, as the
    // class that handler makes; null when a token stands there.
    template <typename T>
    T* ObjectAt(int index) const {
        return static_cast<T*>(HandlerObjectAt(index));
    }
    int GetObjectCount() const { return result.objects.GetSize(); }
    // Empties the result; with destroy the objects are deleted, otherwise
    // the caller has taken them over.
    void ClearResult(bool destroy);
    CompileError& GetError() { return error; }

  private:
    bool MatchNode(GrammarNode* node);
    bool MatchEdge(const GrammarEdge& edge);
    GramHandler FindHandler(const char* name) const;
    NamedObject* HandlerObjectAt(int index) const;
    static void Destroy(void* object, uint32_t kind);

    GramOwner* owner;
    const GramFunc* handlers;
    GramResult result;
    CompileError error;
    ScriptLexer* lexer = nullptr;
    GrammarRuleSet* set = nullptr;
    bool fatal = false;  // a failure that ends the whole match
};
