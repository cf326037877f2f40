// VariableDeclaration: the initialiser's value kept parsed. Tested by
// script/procedure_compiler_test.cpp.
#include "script/variable_declaration.h"

#include "script/call_arguments.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"
#include "values/expr_node.h"

VariableDeclaration::VariableDeclaration() = default;

VariableDeclaration::~VariableDeclaration() = default;

ExprNode* VariableDeclaration::InitializerTree() {
    if (!CallArguments::BindingOn()) return nullptr;
    if (!initializerBound) {
        initializerBound = true;
        const char* text = initializer.GetBuffer(0);
        if (count == 1 && CVariableItem::IsSingleValue(text)) {
            initializerTree.reset(ExprEvaluator::KeptTree(text));
        }
    }
    return initializerTree.get();
}
