// ExprNode: a node of a parsed expression: a leaf (an access path, a value
// or a value set) or an operator with one to three owned children.
// Tested by values/expr_evaluator_test.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "pattern/token.h"
#include "values/operator_code.h"

class CVarient;

// What the run time attaches to a node the first time it evaluates it (a
// call's procedure and parsed arguments), so that later evaluations need
// not look it up again. Owned by the node.
class ExprBinding {
  public:
    // The kinds the run time tells apart by a compare of this field.
    enum class Kind : int8_t { kOther, kName, kCall };

    explicit ExprBinding(Kind kind = Kind::kOther) : kind(kind) {}
    virtual ~ExprBinding() = default;

    const Kind kind;
};

// Token ids of expression leaves besides the script token ids.
enum ExprLeafId : int32_t { kExprValueSet = 8 };

class ExprNode : public Token {
  public:
    ExprNode() = default;
    // Deletes the children.
    ~ExprNode();
    ExprNode(const ExprNode&) = delete;
    ExprNode& operator=(const ExprNode&) = delete;

    bool IsLeaf() const {
        return child[0] == nullptr && child[1] == nullptr && child[2] == nullptr;
    }
    int ChildCount() const;
    // Sets child i (owned) and keeps height up to date.
    void SetChild(int i, ExprNode* node);

    // Whether the node is a call "f(...)" (IsCallToken), worked out at the
    // first ask: a node's text is set when it is made and never changes.
    bool IsCall() const {
        if (callKind < 0) callKind = MakeCallKind();
        return callKind != 0;
    }

    // Whether the subtree may compute an integer without values (the
    // evaluator's integer route): its leaves names or dotted paths of names
    // with subscripts of digits only, calls without arguments, or integer
    // literals kept as values; its operators those of one or two operands
    // but '=' and '?'. Worked out at the first ask.
    bool IntegerShaped() const {
        if (shape < 0) shape = MakeShape();
        return shape != 0;
    }

    // The operator of an operator node with two or three operands, read
    // from its text at the first ask; kUnknown for any other node.
    OperatorCode Operator() const {
        if (opCode < 0) opCode = static_cast<int8_t>(MakeOperator());
        return static_cast<OperatorCode>(opCode);
    }

    ExprNode* child[3] = {nullptr, nullptr, nullptr};
    bool unary = false;  // an operator node of one operand
    int32_t height = 1;  // of the tree below and including this node
    // The value of a literal leaf, read from its text once for a tree that
    // is kept and evaluated again; null otherwise.
    std::unique_ptr<CVarient> literal;
    std::unique_ptr<ExprBinding> binding;

  private:
    int8_t MakeCallKind() const;
    int8_t MakeShape() const;
    OperatorCode MakeOperator() const;
    mutable int8_t callKind = -1;  // -1 not worked out yet
    mutable int8_t shape = -1;
    mutable int8_t opCode = -1;
};
