// ExprNode: nodes of parsed expressions. Tested by
// values/expr_evaluator_test.cpp.
#include "values/expr_node.h"

#include <cstring>

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

int8_t ExprNode::MakeShape() const {
    if (IsLeaf()) {
        if (literal != nullptr) return IsIntegerType(literal->GetType()) ? 1 : 0;
        if (id != kTokIdent || IsCall()) return 0;
        const char* name = text.GetBuffer(0);
        size_t plain = strcspn(name, "[( \t\r\n\v\f");
        return name[0] != 0 && name[plain] == 0 ? 1 : 0;
    }
    if (id != kTokOperator || child[2] != nullptr) return 0;
    if (unary) return child[0] != nullptr && child[0]->IntegerShaped() ? 1 : 0;
    const char* op = text.GetBuffer(0);
    if (strcmp(op, "=") == 0 || strcmp(op, "?") == 0) return 0;
    return child[0] != nullptr && child[1] != nullptr && child[0]->IntegerShaped() &&
                   child[1]->IntegerShaped()
               ? 1
               : 0;
}
