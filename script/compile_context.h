// Inside the script compiler: the state of one compilation, the steps that
// its item loop dispatches to and the handlers of the grammar's sub-rules,
// shared by compiler.cpp, definition_compiler.cpp and
// procedure_compiler.cpp. Other subsystems use script/compiler.h.
// Tested by script/compiler_test.cpp and the tests of the two compilers.
#pragma once

#include <cstdint>
#include <string>

#include "base/otstr.h"
#include "pattern/compile_error.h"
#include "pattern/gram_matcher.h"
#include "script/grammar.h"

class AttributeDefinition;
class Program;
class ScriptLexer;
class Token;

// What a step of the item loop did with the item.
enum class StepResult { kNotClaimed, kDone, kFailed };

// The state of one compilation, handed to the handlers as the matcher's
// owner.
class CompileContext : public GramOwner {
  public:
    explicit CompileContext(Program& root) : root(root), current(&root) {}

    // The context a handler is called for; null when the matcher has none.
    static CompileContext* Of(const GramArgs& args) {
        return static_cast<CompileContext*>(args.owner);
    }

    // Matches a registered rule set (or, with text, a rule text on the spot)
    // with the compiler's handlers; the furthest error goes to error.
    bool Match(ScriptLexer& lexer, GramMatcher& matcher, GrammarSet setId);
    bool MatchText(ScriptLexer& lexer, GramMatcher& matcher, const char* setName,
                   const char* ruleText);
    // The item loop: compiles program's items from the lexer (a sub program
    // from its '{' to its '}').
    bool CompileItems(Program& program, ScriptLexer& lexer);
    // Records a message at the lexer's position (the furthest one is kept).
    void Fail(ScriptLexer& lexer, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Fail, for a step that ends with the message: returns kFailed.
    StepResult Reject(ScriptLexer& lexer, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    // Records a message that ends the compilation even where a step did not
    // claim the item.
    void FailFinal(ScriptLexer& lexer, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    Program& root;
    Program* current;
    CompileError error;
    int depth = 0;  // nesting of sub programs

    // Sub programs nest at most this deep.
    static constexpr int kMaxDepth = 64;
};

// The sub-rule handlers, in their order: $Type_specifier, $Exp,
// $InitializerExp, $Program, $Statement, $statement_Expr.
const GramFunc* GrammarHandlers();
// The handlers of $Type_specifier and $Statement.
NamedObject* TypeSpecifierHandler(const GramArgs& args);
NamedObject* StatementHandler(const GramArgs& args);

// The next value of the process-wide 16-bit serial counter (from 1) that
// numbers structs, members, variables and map items.
uint16_t NextSerial();

// The steps of the definition and procedure compilers (struct and
// DeclareMap definitions; variables and procedures).
StepResult StructStep(CompileContext& context, ScriptLexer& lexer);
StepResult DeclareMapStep(CompileContext& context, ScriptLexer& lexer);
StepResult VariableStep(CompileContext& context, ScriptLexer& lexer);
StepResult ProcedureStep(CompileContext& context, ScriptLexer& lexer, bool isExtern);
// The item hook of a file Program: the attribute construct.
StepResult AttributeConstructStep(CompileContext& context, ScriptLexer& lexer);
// The item hook of an attribute block: the attribute keyword lines.
StepResult AttributeKeywordStep(CompileContext& context, ScriptLexer& lexer);
// Completes an attribute block; message receives what failed.
bool CompleteAttributes(AttributeDefinition& block, OTSTR& message);
// Checks an identifier path met in an expression; message receives what
// failed.
bool CheckIdentifier(CompileContext& context, const char* path, OTSTR& message);

// name with its letters folded as names compare, for hash look-ups.
std::string FoldedName(const char* name);
// Whether token's text is text, letter case ignored.
bool IsText(const Token& token, const char* text);
// A line comment on line: the next token (consumed and returned stripped)
// or, when after is given, one that a look-ahead already passed over after
// that offset. Otherwise the lexer is left alone.
bool TakeLineComment(ScriptLexer& lexer, int32_t line, OTSTR& comment, int32_t after = -1);
