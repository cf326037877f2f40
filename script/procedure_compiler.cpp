// Procedures, variable declarations and statements as the compiler reads
// them, and the identifier checks of expressions.
// Tested by script/compiler_test.cpp.
#include "pattern/script_lexer.h"
#include "script/compiler.h"
#include "script/program.h"

StepResult VariableStep(CompileContext& context, ScriptLexer& lexer) {
    (void)context;
    (void)lexer;
    return StepResult::kNotClaimed;
}

StepResult ProcedureStep(CompileContext& context, ScriptLexer& lexer, bool isExtern) {
    (void)context;
    (void)lexer;
    (void)isExtern;
    return StepResult::kNotClaimed;
}

NamedObject* StatementHandler(void* owner, int argc, void** argv) {
    (void)owner;
    (void)argc;
    (void)argv;
    return nullptr;
}

bool CheckIdentifier(CompileContext& context, const char* path, OTSTR& message) {
    (void)context;
    (void)path;
    (void)message;
    return true;
}
