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

namespace {

// Names joined by dots, each with a subscript of digits or none.
bool PlainPath(const char* name) {
    if (name[0] == 0) return false;
    for (const char* p = name; *p != 0; ++p) {
        if (strchr("( \t\r\n\v\f]", *p) != nullptr) return false;
        if (*p != '[') continue;
        if (p[1] < '0' || p[1] > '9') return false;
        ++p;
        while (p[1] >= '0' && p[1] <= '9') ++p;
        if (p[1] != ']') return false;
        ++p;
    }
    return true;
}

// A call without arguments: "f()", blanks allowed around the parentheses.
bool EmptyCall(const char* text) {
    const char* open = strchr(text, '(');
    if (open == nullptr) return false;
    const char* p = open + 1;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p++ != ')') return false;
    while (*p == ' ' || *p == '\t') ++p;
    return *p == 0;
}

}  // namespace

int8_t ExprNode::MakeShape() const {
    if (IsLeaf()) {
        if (literal != nullptr) return IsIntegerType(literal->GetType()) ? 1 : 0;
        if (id != kTokIdent) return 0;
        return (IsCall() ? EmptyCall(text.GetBuffer(0)) : PlainPath(text.GetBuffer(0))) ? 1 : 0;
    }
    if (id != kTokOperator || child[2] != nullptr) return 0;
    if (unary) return child[0] != nullptr && child[0]->IntegerShaped() ? 1 : 0;
    OperatorCode code = Operator();
    if (code == OperatorCode::kAssign || code == OperatorCode::kSelect) return 0;
    return child[0] != nullptr && child[1] != nullptr && child[0]->IntegerShaped() &&
                   child[1]->IntegerShaped()
               ? 1
               : 0;
}

OperatorCode ExprNode::MakeOperator() const {
    if (IsLeaf() || unary) return OperatorCode::kUnknown;
    return OperatorCodeOf(text.GetBuffer(0));
}
