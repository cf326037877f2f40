// AttributeDefinition: the item hook of an attribute block.
// Tested by script/definition_compiler_test.cpp.
#include "script/attribute_definition.h"

#include "script/compile_context.h"

StepResult AttributeDefinition::ItemHook(CompileContext& context, ScriptLexer& lexer) {
    return AttributeKeywordStep(context, lexer);
}
