// AttributeDefinition: the item hook of an attribute block and the search
// of its variables by serial number.
// Tested by script/definition_compiler_test.cpp.
#include "script/attribute_definition.h"

#include "script/compile_context.h"
#include "script/variable_declaration.h"

StepResult AttributeDefinition::ItemHook(CompileContext& context, ScriptLexer& lexer) {
    return AttributeKeywordStep(context, lexer);
}

VariableDefinition* AttributeDefinition::FindVariableById(uint16_t id) const {
    for (int i = 0; i < ItemCount(); ++i) {
        ProgramItem* item = ItemAt(i);
        if (item->ItemKind() != kItemVariable) continue;
        auto* variable = static_cast<VariableDeclaration*>(item);
        if (variable->id == id) return variable;
    }
    return nullptr;
}
