// ExprNode: nodes of parsed expressions. Tested by
// values/expr_evaluator_test.cpp.
#include "values/expr_node.h"

#include "pattern/script_rules.h"
#include "values/cvarient.h"

ExprNode::~ExprNode() {
    for (ExprNode*& c : child) {
        delete c;
        c = nullptr;
    }
}

int ExprNode::ChildCount() const {
    int n = 0;
    for (const ExprNode* c : child)
        if (c != nullptr) ++n;
    return n;
}

void ExprNode::SetChild(int i, ExprNode* node) {
    child[i] = node;
    height = 1;
    for (const ExprNode* c : child)
        if (c != nullptr && c->height + 1 > height) height = c->height + 1;
}

int8_t ExprNode::MakeCallKind() const {
    return IsCallToken(*this) ? 1 : 0;
}
