// The executable side of the compiler: variable declarations, procedure
// headers and bodies, the $Statement handler, and the identifier checks of
// expressions. Tested by script/procedure_compiler_test.cpp.
#include <cstring>
#include <memory>
#include <new>

#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/compile_context.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "script/statements.h"
#include "script/type_specifier.h"
#include "script/variable_declaration.h"
#include "types/enum_item_list.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"

namespace {

// Argument lists nest at most this deep in an identifier check.
constexpr int kMaxCheckDepth = 64;

bool IsThis(const char* name) {
    return OTSTR(name).Compare("this", false);
}

// The type name as a declaration shows it: the basic type's own text, else
// the name as written (a struct or typedef name, Choice, dynamic).
const char* TypeText(const TypeSpecifier& type) {
    return type.IsBasic() ? TypeCodeText(type.type) : type.GetName().GetBuffer(0);
}

// Fills a definition from a type specifier; false when the type cannot be
// created with that count.
bool DefineFromType(VariableDefinition& def, const char* name, const TypeSpecifier& type,
                    int32_t count) {
    if (!def.set(name, type.BaseType(), count)) return false;
    def.setTypeName(TypeText(type), type.type);
    def.structDef = type.IsStruct() ? type.structDef : nullptr;
    return true;
}

// High byte first only when NETWORK_TRANMODE is visible and reads exactly
// "H_TO_L".
bool LowByteFirst(const Program& program) {
    CVariableItem* mode = program.FindNamedValue("NETWORK_TRANMODE");
    CVarient value;
    OTSTR text;
    if (mode == nullptr || !mode->getAt(0, value) || !value.getString(text)) return true;
    return !text.Compare("H_TO_L", true);
}

// An array size: an expression that evaluates, in the Program's scope, to
// at least 1.
bool ArraySize(Program& program, const ParsedExpression* size, int32_t& count) {
    if (size == nullptr || size->text.IsEmpty()) return false;
    ExprEvaluator evaluator;
    program.NamedValues().BindEvaluator(evaluator);
    return evaluator.CalcLong(size->text.GetBuffer(0), count) && count >= 1;
}

// The $Type_specifier handler run on its own; null (lexer unchanged) when
// no type stands here.
TypeSpecifier* ReadType(CompileContext& context, ScriptLexer& lexer) {
    CompileError scratch;
    return static_cast<TypeSpecifier*>(TypeSpecifierHandler({&context, "var", lexer, scratch}));
}

// Whether an identifier and '(' follow: the item is a procedure. The lexer
// is left where it was.
bool ProcedureFollows(ScriptLexer& lexer) {
    SourcePos start = lexer.GetLocation();
    Token ident, open;
    bool yes = lexer.GetToken(ident, 0, false) == 1 && ident.id == kTokIdent &&
               lexer.GetToken(open, 0, false) == 1 && IsText(open, "(");
    lexer.setLocation(start);
    return yes;
}

// The line of the next token that is not a comment.
int32_t NextLine(ScriptLexer& lexer) {
    Token token;
    if (lexer.GetToken(token, 0, true) == 1) return token.pos.line;
    return lexer.GetLocation().line;
}

// The name of the nearest named Program from p up.
const char* NameFor(const Program* p) {
    for (; p != nullptr; p = p->parent)
        if (!p->GetName().IsEmpty()) return p->GetName().GetBuffer(0);
    return "";
}

// The pending list that holds procedure, from program up; null if none.
ObArrayOf<Procedure>* PendingListOf(Program& program, const Procedure* procedure) {
    for (Program* p = &program; p != nullptr; p = p->parent) {
        if (p->pendingProcedures.Find(procedure) >= 0) return &p->pendingProcedures;
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- variables

StepResult VariableStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    SourcePos start = lexer.GetLocation();
    int32_t line = NextLine(lexer);
    TypeSpecifier* type = ReadType(context, lexer);
    if (type == nullptr) {
        lexer.setLocation(start);
        return StepResult::kNotClaimed;
    }
    // "Type name (" is a procedure; the procedure step reads it.
    if (ProcedureFollows(lexer)) {
        delete type;
        lexer.setLocation(start);
        return StepResult::kNotClaimed;
    }
    ObArrayOf<VariableDeclaration> made(25);  // the declaration's variables, already in the Program
    auto fail = [&]() {
        for (int i = 0; i < made.GetSize(); ++i) program.RemoveItem(made.GetAt(i), true);
        delete type;
        lexer.setLocation(start);
        return StepResult::kFailed;
    };
    int32_t code = type->type;
    if (code == kDeclPvoid || code == kDeclVoid || code == kDeclDynamic || code == kDeclChoice) {
        context.Fail(lexer, scriptmsg::kTypeNotAllowed, type->GetName().GetBuffer(0));
        return fail();
    }
    bool lowFirst = LowByteFirst(program);
    GramMatcher matcher(&context, GrammarHandlers());
    for (;;) {
        if (!context.Match(lexer, matcher, GrammarSet::kVar)) return fail();
        int32_t id = matcher.GetRuleId();
        const char* name = matcher.TokenAt(0)->text.GetBuffer(0);
        int32_t count = 1;
        if ((id == kVarArrayInit || id == kVarArray) &&
            !ArraySize(program, matcher.ObjectAt<ParsedExpression>(1), count)) {
            context.Fail(lexer, scriptmsg::kArraySizeFail);
            return fail();
        }
        auto* init = id == kVarArrayInit ? matcher.ObjectAt<ParsedExpression>(2)
                     : id == kVarInit    ? matcher.ObjectAt<ParsedExpression>(1)
                                         : nullptr;
        if (IsThis(name)) {
            context.Fail(lexer, scriptmsg::kThisReserved);
            return fail();
        }
        if (program.IsNameUsed(name, true)) {
            context.Fail(lexer, scriptmsg::kNameUsed, name);
            return fail();
        }
        auto* var = new (std::nothrow) VariableDeclaration;
        if (var == nullptr || !DefineFromType(*var, name, *type, count)) {
            delete var;
            context.Fail(lexer, scriptmsg::kNewVariableFail);
            return fail();
        }
        var->id = NextSerial();
        var->lowByteFirst = lowFirst;
        var->line = line;
        if (init != nullptr) var->initializer = init->text;
        if (!program.AddItem(var, line, true)) {
            delete var;
            context.Fail(lexer, scriptmsg::kNewVariableFail);
            return fail();
        }
        made.Add(var);
        Token token;
        if (lexer.ExpectText(token, ",", true)) {
            OTSTR comment;
            if (TakeLineComment(lexer, token.pos.line, comment))
                var->SetDescription(comment.GetBuffer(0));
            continue;
        }
        if (!lexer.ExpectText(token, ";", true)) {
            // A longer reading that failed further on tells more.
            context.error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
            context.Fail(lexer, scriptmsg::kSemicolonExpected);
            return fail();
        }
        // The comment after ';' belongs to the declaration: each of its
        // variables that has none of its own takes it.
        OTSTR comment;
        if (TakeLineComment(lexer, token.pos.line, comment)) {
            for (int i = 0; i < made.GetSize(); ++i) {
                VariableDeclaration* each = made.GetAt(i);
                if (each->GetDescription().IsEmpty()) each->SetDescription(comment.GetBuffer(0));
            }
        }
        break;
    }
    delete type;
    return StepResult::kDone;
}

// ---------------------------------------------------------------- procedures

namespace {

// Reads the parameter list after '(' into procedure; false with the
// message recorded.
bool ReadParameters(CompileContext& context, ScriptLexer& lexer, Procedure& procedure) {
    Program& program = *context.current;
    Token token;
    if (lexer.ExpectText(token, ")", true)) return true;
    GramMatcher matcher(&context, GrammarHandlers());
    for (;;) {
        if (!context.Match(lexer, matcher, GrammarSet::kProcVar)) return false;
        int32_t id = matcher.GetRuleId();
        if (id == kParamVarArgs) {
            procedure.varArgs = true;
        } else if (!procedure.varArgs) {
            auto* type = matcher.ObjectAt<TypeSpecifier>(0);
            const char* name = matcher.TokenAt(1)->text.GetBuffer(0);
            const char* typeName = type->GetName().GetBuffer(0);
            int32_t count = 1;
            bool isArray = id == kParamArrayByAddress || id == kParamArray;
            if (isArray && !ArraySize(program, matcher.ObjectAt<ParsedExpression>(2), count)) {
                context.Fail(lexer, scriptmsg::kArraySizeFail);
                return false;
            }
            bool byAddress = id == kParamArrayByAddress || id == kParamByAddress;
            if (IsThis(name)) {
                context.Fail(lexer, scriptmsg::kThisReserved);
                return false;
            }
            if (procedure.parameters.FindMember(name) != nullptr) {
                context.Fail(lexer, scriptmsg::kMemberDefined);
                return false;
            }
            int32_t code = type->type;
            if (code == kDeclPvoid || code == kDeclChoice || code == kDeclVoid) {
                context.Fail(lexer, scriptmsg::kNotAllowedHere, typeName);
                return false;
            }
            if (code == kDeclDynamic && count > 1) {
                context.Fail(lexer, scriptmsg::kNoArrayMode, typeName);
                return false;
            }
            if (code == kDeclDynamic && !byAddress) {
                context.Fail(lexer, scriptmsg::kPassAddressOnly, typeName);
                return false;
            }
            auto* def = new (std::nothrow) VariableDefinition;
            if (def == nullptr || !DefineFromType(*def, name, *type, count)) {
                delete def;
                context.Fail(lexer, scriptmsg::kNewVariableFail);
                return false;
            }
            def->id = NextSerial();
            def->byAddress = byAddress;
            if (!procedure.parameters.AddMember(def)) {
                delete def;
                context.Fail(lexer, scriptmsg::kNewVariableFail);
                return false;
            }
        }
        if (lexer.ExpectText(token, ",", true)) continue;
        if (lexer.ExpectText(token, ")", true)) return true;
        context.error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
        context.Fail(lexer, scriptmsg::kCloseParenExpected);
        return false;
    }
}

void BuildHeader(Procedure& procedure) {
    OTSTR& header = procedure.header;
    header.Empty();
    if (procedure.isExtern) header.Append("extern ");
    header.Append(procedure.returnTypeName);
    header.Append(" ");
    header.Append(procedure.name);
    header.Append("(");
    for (int i = 0; i < procedure.parameters.GetMemberCount(); ++i) {
        VariableDefinition* def = procedure.parameters.GetMember(i);
        if (i > 0) header.Append(",");
        header.Append(def->typeName);
        header.Append(" ");
        header.Append(def->GetName());
    }
    if (procedure.varArgs) header.Append(", ...");
    header.Append(")");
}

// A definition's parameters replace those of its prototype: the headers
// agree, but passing by address and array sizes are not in the header.
void AdoptParameters(Procedure& target, const Procedure& source) {
    for (int i = 0; i < target.parameters.GetMemberCount(); ++i) {
        VariableDefinition* to = target.parameters.GetMember(i);
        const VariableDefinition* from = source.parameters.GetMember(i);
        if (from == nullptr) break;
        to->copyFrom(*from);
        to->structDef = from->structDef;
        to->byAddress = from->byAddress;
    }
}

}  // namespace

StepResult ProcedureStep(CompileContext& context, ScriptLexer& lexer, bool isExtern) {
    Program& program = *context.current;
    SourcePos start = lexer.GetLocation();
    int32_t line = NextLine(lexer);
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.Match(lexer, matcher, GrammarSet::kProcHeader)) {
        lexer.setLocation(start);
        return StepResult::kNotClaimed;
    }
    auto* type = matcher.ObjectAt<TypeSpecifier>(0);
    const char* name = matcher.TokenAt(1)->text.GetBuffer(0);
    Procedure* fresh = nullptr;
    auto fail = [&]() {
        delete fresh;
        lexer.setLocation(start);
        return StepResult::kFailed;
    };
    if (type->type == kDeclPvoid || type->type == kDeclChoice || type->IsStruct()) {
        context.Fail(lexer, scriptmsg::kReturnSimpleOnly, type->GetName().GetBuffer(0));
        return fail();
    }
    Token token;
    if (!lexer.ExpectText(token, "(", true)) {
        context.Fail(lexer, scriptmsg::kOpenParenExpected);
        return fail();
    }
    fresh = new (std::nothrow) Procedure;
    if (fresh == nullptr) {
        context.Fail(lexer, scriptmsg::kNewProcedureFail);
        return fail();
    }
    fresh->name = name;
    fresh->returnType = type->type;
    fresh->returnTypeName = TypeText(*type);
    fresh->isExtern = isExtern;
    fresh->owner = &program;
    fresh->declLine = line;
    fresh->line = line;
    if (!ReadParameters(context, lexer, *fresh)) return fail();
    BuildHeader(*fresh);

    if (lexer.GetToken(token, 0, true) != 1 || (!IsText(token, ";") && !IsText(token, "{"))) {
        context.Fail(lexer, scriptmsg::kSemicolonExpected);
        return fail();
    }
    Procedure* existing = program.FindProcedure(name);
    bool agrees =
        existing != nullptr && existing->header.Compare(fresh->header.GetBuffer(0), false);
    if (IsText(token, ";")) {
        lexer.GetToken(token, 0, false);
        if (existing != nullptr) {
            // A repeated declaration: extern ones stay extern.
            if ((isExtern && !existing->isExtern) || !agrees) {
                context.Fail(lexer, scriptmsg::kHeaderConflict);
                return fail();
            }
            delete fresh;
            program.AddItem(existing, line, false);
            return StepResult::kDone;
        }
        if (program.IsNameUsed(name, false)) {
            context.Fail(lexer, scriptmsg::kNameUsed, name);
            return fail();
        }
        if (isExtern) {
            if (!program.AddItem(fresh, line, true)) {
                context.Fail(lexer, scriptmsg::kNewProcedureFail);
                return fail();
            }
        } else {
            int before = program.pendingProcedures.GetSize();
            if (program.pendingProcedures.Add(fresh) == before) {
                context.Fail(lexer, scriptmsg::kNewProcedureFail);
                return fail();
            }
            if (!program.AddItem(fresh, line, false)) {
                program.pendingProcedures.RemoveLast();
                context.Fail(lexer, scriptmsg::kNewProcedureFail);
                return fail();
            }
        }
        return StepResult::kDone;
    }

    // '{': the body.
    if (isExtern) {
        context.Fail(lexer, scriptmsg::kExternBody);
        return fail();
    }
    Procedure* procedure = fresh;
    if (existing != nullptr) {
        if (existing->isExtern) {
            context.Fail(lexer, scriptmsg::kHeaderConflict);
            return fail();
        }
        if (existing->body != nullptr) {
            context.Fail(lexer, scriptmsg::kHasBody);
            return fail();
        }
        ObArrayOf<Procedure>* pending = PendingListOf(program, existing);
        if (pending == nullptr || !agrees) {
            context.Fail(lexer, scriptmsg::kHeaderConflict);
            return fail();
        }
        pending->RemoveAt(pending->Find(existing));
        AdoptParameters(*existing, *fresh);
        existing->declLine = line;
        existing->line = line;
        existing->owner = &program;
        delete fresh;
        fresh = nullptr;
        procedure = existing;
    } else if (program.IsNameUsed(name, false)) {
        context.Fail(lexer, scriptmsg::kNameUsed, name);
        return fail();
    }
    if (!program.AddItem(procedure, line, true)) {
        if (procedure == existing) program.pendingProcedures.Add(existing);
        context.Fail(lexer, scriptmsg::kNewProcedureFail);
        return fail();
    }
    fresh = nullptr;  // the Program owns it now
    Program* body = program.NewSubProgram();
    if (body == nullptr) {
        context.Fail(lexer, scriptmsg::kNewProgramFail);
        return fail();
    }
    body->SetName(NameFor(&program));
    body->line = line;
    // The body is known before it compiles, so that its statements find the
    // procedure's parameters.
    procedure->body = body;
    body->bodyOf = procedure;
    Program* outer = context.current;
    bool ok = context.CompileItems(*body, lexer);
    context.current = outer;
    if (!ok) {
        procedure->body = nullptr;
        delete body;
        return fail();
    }
    return StepResult::kDone;
}

// ---------------------------------------------------------------- statements

namespace {

NamedObject* Detach(GramMatcher& matcher, int index) {
    return matcher.ObjectAt<NamedObject>(index);
}

// The sub-statement and the expression at index, owned by the statement
// that takes them (the matcher's result is then cleared without them).
std::unique_ptr<ProgramItem> SubStatement(GramMatcher& matcher, int index) {
    return std::unique_ptr<ProgramItem>(dynamic_cast<ProgramItem*>(Detach(matcher, index)));
}

std::unique_ptr<ParsedExpression> Expression(GramMatcher& matcher, int index) {
    return std::unique_ptr<ParsedExpression>(matcher.ObjectAt<ParsedExpression>(index));
}

void Adopt(Statement* holder, const std::unique_ptr<ProgramItem>& sub) {
    if (sub == nullptr) return;
    int32_t kind = sub->ItemKind();
    if (kind != kItemProgram && kind != kItemProcedure)
        static_cast<Statement*>(sub.get())->parent = holder;
}

// Builds the statement of alternative id from the matched objects; null
// when it cannot be made (the matcher still owns the objects then).
NamedObject* BuildStatement(GramMatcher& matcher, int32_t id) {
    switch (id) {
        case kStmtExpr:
        case kStmtEmpty: {
            auto* s = new (std::nothrow) ExprStatement;
            if (s != nullptr && id == kStmtExpr) s->expression = Expression(matcher, 0);
            return s;
        }
        case kStmtIfElse:
        case kStmtIf: {
            auto* s = new (std::nothrow) IfStatement;
            if (s == nullptr) return nullptr;
            s->condition = Expression(matcher, 0);
            s->thenStatement = SubStatement(matcher, 1);
            if (id == kStmtIfElse) s->elseStatement = SubStatement(matcher, 2);
            Adopt(s, s->thenStatement);
            Adopt(s, s->elseStatement);
            return s;
        }
        case kStmtReturnValue:
        case kStmtReturn:
        case kStmtBreak:
        case kStmtContinue: {
            auto* s = new (std::nothrow) JumpStatement;
            if (s == nullptr) return nullptr;
            s->jump = id == kStmtBreak      ? JumpStatement::kBreak
                      : id == kStmtContinue ? JumpStatement::kContinue
                                            : JumpStatement::kReturn;
            if (id == kStmtReturnValue) s->value = Expression(matcher, 0);
            return s;
        }
        case kStmtWhile: {
            auto* s = new (std::nothrow) WhileStatement;
            if (s == nullptr) return nullptr;
            s->condition = Expression(matcher, 0);
            s->body = SubStatement(matcher, 1);
            Adopt(s, s->body);
            return s;
        }
        case kStmtFor: {
            auto* s = new (std::nothrow) ForStatement;
            if (s == nullptr) return nullptr;
            s->initial = Expression(matcher, 0);
            s->condition = Expression(matcher, 1);
            s->step = Expression(matcher, 2);
            s->body = SubStatement(matcher, 3);
            Adopt(s, s->body);
            return s;
        }
        default:
            return nullptr;
    }
}

}  // namespace

NamedObject* StatementHandler(const GramArgs& args) {
    CompileContext* context = CompileContext::Of(args);
    if (context == nullptr) return nullptr;
    ScriptLexer* lexer = &args.lexer;
    CompileError* error = &args.error;
    SourcePos start = lexer->GetLocation();
    int32_t line = NextLine(*lexer);
    // Statements nest through this handler and the matcher; the depth of
    // sub programs bounds both.
    if (context->depth >= CompileContext::kMaxDepth) {
        error->Set(lexer->GetLocation(), scriptmsg::kNestingTooDeep);
        context->Fail(*lexer, scriptmsg::kNestingTooDeep);
        return nullptr;
    }
    ++context->depth;
    GramMatcher matcher(context, GrammarHandlers());
    bool matched = context->Match(*lexer, matcher, GrammarSet::kStatement);
    --context->depth;
    if (!matched) {
        error->Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
        lexer->setLocation(start);
        return nullptr;
    }
    int32_t id = matcher.GetRuleId();
    if (id == kStmtBlock) {
        auto* block = static_cast<Program*>(Detach(matcher, 0));
        matcher.ClearResult(false);
        if (block->GetName().IsEmpty()) block->SetName(NameFor(context->current));
        block->line = line;
        return block;
    }
    NamedObject* made = BuildStatement(matcher, id);
    auto* statement = dynamic_cast<Statement*>(made);
    if (statement == nullptr) {
        delete made;
        error->Set(lexer->GetLocation(), scriptmsg::kNewStatementFail);
        context->Fail(*lexer, scriptmsg::kNewStatementFail);
        lexer->setLocation(start);
        return nullptr;
    }
    matcher.ClearResult(false);
    statement->line = line;
    statement->parent = context->current;
    statement->program = context->current;
    statement->endOffset = lexer->GetLocation().offset;
    return statement;
}

// ---------------------------------------------------------------- identifiers

namespace {

// A path cut at its first '.', '[' or '(' as the run cuts it (the
// evaluator's SplitPath): the head, the separator (0 at the end), the text
// inside the brackets and what follows them.
struct PathPiece {
    OTSTR head;
    char separator = 0;
    OTSTR inner;
    OTSTR rest;
};

bool SplitPiece(const char* path, PathPiece& piece) {
    OTSTR subscript;
    int identEnd = 0, restStart = 0;
    piece.inner.Empty();
    piece.separator = 0;
    if (!ExprEvaluator::SplitPath(path, piece.head, subscript, piece.rest, &identEnd, &restStart) ||
        piece.head.IsEmpty())
        return false;
    if (!subscript.IsEmpty()) {
        piece.separator = subscript.GetAt(0);
        piece.inner = subscript.Mid(1, subscript.GetLength() - 2);
    } else if (restStart > identEnd) {
        piece.separator = '.';
        return !piece.rest.IsEmpty();
    }
    return true;
}

bool CheckPath(CompileContext& context, const char* path, int depth, OTSTR& message);

// The identifiers of a text (arguments, an index), each not a visible named
// value checked as a path.
bool CheckText(CompileContext& context, const OTSTR& text, int depth, OTSTR& message) {
    if (text.IsEmpty()) return true;
    ScriptLexer lexer;
    lexer.SetBuffer(text.GetBuffer(0));
    Token token;
    for (;;) {
        int r = ExprEvaluator::FetchOperand(
            lexer, token, ExprEvaluator::kWithCall | ExprEvaluator::kWithDollarNumber);
        if (r == 0) return true;
        if (r < 0) {
            message.Empty();
            message.safeAppends(scriptmsg::kInvalid, text.GetBuffer(0));
            return false;
        }
        if (token.id != kTokIdent) continue;
        const char* ident = token.text.GetBuffer(0);
        if (context.current->FindNamedValue(ident) != nullptr) continue;
        OTSTR inner;
        if (!CheckPath(context, ident, depth + 1, inner)) {
            message.Empty();
            message.safeAppends(scriptmsg::kInvalid, ident);
            return false;
        }
    }
}

// The procedure whose body is p, or null.
Procedure* ProcedureOfBody(Program* p) {
    ProgramItem* holder = HolderOf(p);
    if (holder == nullptr || holder->ItemKind() != kItemProcedure) return nullptr;
    return static_cast<Procedure*>(holder);
}

// A variable definition visible from the current Program: declared
// variables, then the parameters of the procedures whose bodies enclose it.
// isReturn is set for the "Return" variable of such a procedure.
const VariableDefinition* FindVisible(CompileContext& context, const char* name, bool& isReturn) {
    isReturn = false;
    if (const VariableDefinition* def = context.current->FindVariable(name)) return def;
    for (Program* p = context.current; p != nullptr; p = p->parent) {
        Procedure* procedure = ProcedureOfBody(p);
        if (procedure == nullptr) continue;
        if (const VariableDefinition* def = procedure->parameters.FindMember(name)) return def;
        if (OTSTR(name).Compare("Return", false) && procedure->returnType != kDeclVoid &&
            procedure->returnType != kDeclDynamic) {
            isReturn = true;
            return nullptr;
        }
    }
    return nullptr;
}

// The struct that "This" stands for in the attribute block that encloses
// the current Program; found tells whether there is such a block.
StructDefinition* ThisStruct(CompileContext& context, bool& found) {
    found = false;
    for (Program* p = context.current; p != nullptr; p = p->parent) {
        auto* block = dynamic_cast<AttributeDefinition*>(p);
        if (block == nullptr) continue;
        found = true;
        if (block->ownerMember != nullptr && block->ownerMember->structDef != nullptr)
            return block->ownerMember->structDef;
        return block->ownerStruct;
    }
    return nullptr;
}

bool Failed(OTSTR& message, const char* text) {
    message = text;
    return false;
}

// The members named by the rest of a path, inside structDef.
bool CheckInStruct(CompileContext& context, StructDefinition* structDef, OTSTR rest, int depth,
                   OTSTR& message) {
    for (int steps = 0; !rest.IsEmpty(); ++steps) {
        if (steps > 1024) return Failed(message, scriptmsg::kSplitFail);
        PathPiece piece;
        if (!SplitPiece(rest.GetBuffer(0), piece) || piece.separator == '(')
            return Failed(message, scriptmsg::kSplitFail);
        const char* name = piece.head.GetBuffer(0);
        const VariableDefinition* member = structDef->FindMember(name);
        if (member == nullptr) {
            message.Empty();
            message.safeAppends(scriptmsg::kNotFoundInStruct, name,
                                structDef->GetName().GetBuffer(0));
            return false;
        }
        if (piece.separator == '[' && !CheckText(context, piece.inner, depth, message))
            return false;
        rest = piece.rest;
        if (rest.IsEmpty()) return true;
        if (member->baseType != kDeclStruct) {
            message.Empty();
            message.safeAppends(scriptmsg::kIllegalDot, name);
            return false;
        }
        structDef = member->structDef;
        if (structDef == nullptr) {
            message.Empty();
            message.safeAppends(scriptmsg::kStructUndefined, member->typeName.GetBuffer(0));
            return false;
        }
    }
    return true;
}

bool CheckPath(CompileContext& context, const char* path, int depth, OTSTR& message) {
    message.Empty();
    if (depth > kMaxCheckDepth) {
        message.safeAppends(scriptmsg::kInvalid, path);
        return false;
    }
    PathPiece piece;
    if (!SplitPiece(path, piece)) return Failed(message, scriptmsg::kSplitFail);
    const char* head = piece.head.GetBuffer(0);
    if (piece.separator == '(') {
        if (context.current->FindProcedure(head) == nullptr) {
            message.safeAppends(scriptmsg::kProcedureInvalid, head);
            return false;
        }
        if (!piece.rest.IsEmpty()) return Failed(message, scriptmsg::kSplitFail);
        return CheckText(context, piece.inner, depth, message);
    }
    if (piece.separator == '[' && !CheckText(context, piece.inner, depth, message)) return false;
    OTSTR rest = piece.rest;

    if (piece.head.Compare("This", false)) {
        bool inBlock = false;
        StructDefinition* owner = ThisStruct(context, inBlock);
        if (inBlock) {
            if (owner == nullptr) return Failed(message, scriptmsg::kThisNotFound);
            return CheckInStruct(context, owner, rest, depth, message);
        }
    }
    // Enum::Item
    if (const char* colons = strstr(head, "::")) {
        OTSTR enumName(head, static_cast<int>(colons - head));
        EnumItemList* list = context.current->FindEnum(enumName.GetBuffer(0));
        if (list == nullptr || list->Find(colons + 2) < 0 || !rest.IsEmpty()) {
            message.safeAppends(scriptmsg::kUndefined, head);
            return false;
        }
        return true;
    }
    bool isReturn = false;
    const VariableDefinition* def = FindVisible(context, head, isReturn);
    if (isReturn) {
        if (rest.IsEmpty()) return true;
        message.safeAppends(scriptmsg::kIllegalDot, head);
        return false;
    }
    if (def == nullptr) {
        message.safeAppends(scriptmsg::kUndefined, head);
        return false;
    }
    if (rest.IsEmpty()) return true;
    if (def->baseType != kDeclStruct) {
        message.safeAppends(scriptmsg::kIllegalDot, head);
        return false;
    }
    if (def->structDef == nullptr) {
        message.safeAppends(scriptmsg::kStructUndefined, def->typeName.GetBuffer(0));
        return false;
    }
    return CheckInStruct(context, def->structDef, rest, depth, message);
}

}  // namespace

bool CheckIdentifier(CompileContext& context, const char* path, OTSTR& message) {
    if (path == nullptr) return Failed(message, scriptmsg::kSplitFail);
    return CheckPath(context, path, 0, message);
}
