// ItemResolver: what instances need from the frames of script variables
// when they resolve initialiser texts and access paths: finding a variable,
// the letter-case rule, and the evaluator's look-ups.
#pragma once

#include <cstdint>

class CVariableItem;
class ExprEvaluator;

class ItemResolver {
  public:
    virtual ~ItemResolver() = default;
    // The variable named name (a plain name or an access path) and its
    // element index (-1 for the whole item); null when there is none.
    virtual CVariableItem* FindVariable(const char* name, int32_t* idx) = 0;
    // Whether identifiers compare case-sensitively.
    virtual bool IsCaseSensitive() const = 0;
    // Installs the resolver as the evaluator's variable callback.
    virtual void BindEvaluator(ExprEvaluator& evaluator) = 0;
};
