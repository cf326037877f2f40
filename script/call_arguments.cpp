// CallArguments: splitting a call's argument text and binding the pieces.
// Tested by runtime/execute_env_test.cpp.
#include "script/call_arguments.h"

#include <new>

#include "types/item_support.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"

// The pieces stay in one copy of the text, each ended by a zero byte written
// over the comma or blank after it.
CallArguments::CallArguments(const char* args) {
    if (args == nullptr) return;
    while (*args == ' ' || *args == '\t') ++args;
    if (*args == 0) return;
    text = args;
    text.TrimRight();
    char* buffer = text.GetBuffer(0);
    int length = text.GetLength();
    int start = 0;
    for (;;) {
        // The search starts after the zero bytes written so far.
        int comma = text.FindOutside(',', "{[(\"'", "}])\"'", start);
        int end = comma < 0 ? length : comma;
        while (start < end && (buffer[start] == ' ' || buffer[start] == '\t')) ++start;
        while (end > start && (buffer[end - 1] == ' ' || buffer[end - 1] == '\t')) --end;
        if (end < length) buffer[end] = 0;
        Add(buffer + start);
        if (comma < 0) return;
        start = comma + 1;
    }
}

CallArguments::~CallArguments() {
    if (trees != nullptr) {
        for (int i = 0; i < count; ++i) ExprEvaluator::FreeExpression(trees[i]);
        delete[] trees;
    }
    delete more;
}

const char* CallArguments::GetAt(int i) const {
    if (i < 0 || i >= count) return "";
    return i < kFixed ? fixed[i] : more->GetAt(i - kFixed);
}

const char* CallArguments::BoundText(const char* piece) {
    while (IsBlankChar(*piece)) ++piece;
    return piece;
}

ExprNode* CallArguments::TreeAt(int i) const {
    return bindingOn && trees != nullptr && i >= 0 && i < count ? trees[i] : nullptr;
}

bool CallArguments::bindingOn = true;

void CallArguments::Bind() {
    if (!bindingOn || trees != nullptr || count == 0) return;
    trees = new (std::nothrow) ExprNode*[count]();
    if (trees == nullptr) return;
    for (int i = 0; i < count; ++i) {
        // An argument on a line of its own starts with the line break; the
        // parse skips it as the parse of the text at each call would.
        const char* piece = GetAt(i);
        if (CVariableItem::IsSingleValue(BoundText(piece))) {
            trees[i] = ExprEvaluator::KeptTree(piece);
        }
    }
}

void CallArguments::Add(const char* piece) {
    if (count < kFixed) {
        fixed[count++] = piece;
        return;
    }
    if (more == nullptr) more = new (std::nothrow) ObArrayOf<const char>(25);
    if (more != nullptr && more->Add(piece) > count - kFixed) ++count;
}
