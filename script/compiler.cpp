// The script compiler's outer layer: grammar registration, the sub-rule
// handlers for expressions and blocks, the item loop, and the include,
// define, typedef, enum and attribute steps. Tested by
// script/compiler_test.cpp.
#include "script/compiler.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "base/formatted_text.h"
#include "pattern/grammar_rule_set.h"
#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"
#include "pattern/text_file.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/compile_context.h"
#include "script/grammar.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "script/struct_item.h"
#include "script/type_specifier.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"

namespace {

uint16_t g_serial = 0;

NamedObject* ExpHandler(const GramArgs& args);
NamedObject* InitializerExpHandler(const GramArgs& args);
NamedObject* StatementExpHandler(const GramArgs& args);
NamedObject* ProgramHandler(const GramArgs& args);

const GramFunc kHandlers[] = {
    {"Type_specifier", TypeSpecifierHandler},
    {"Exp", ExpHandler},
    {"InitializerExp", InitializerExpHandler},
    {"Program", ProgramHandler},
    {"Statement", StatementHandler},
    {"statement_Expr", StatementExpHandler},
    {nullptr, nullptr},
};

// An expression for the handlers: parsed from the lexer, then every
// identifier that is not a visible named value is checked.
NamedObject* ParseChecked(const GramArgs& args, int flags) {
    CompileContext* context = CompileContext::Of(args);
    if (context == nullptr) return nullptr;
    ScriptLexer* lexer = &args.lexer;
    SourcePos start = lexer->GetLocation();
    ExprEvaluator evaluator;
    ExprNode* tree = evaluator.ParseExpression(*lexer, flags);
    if (tree == nullptr) {
        args.error.Set(lexer->GetLocation(), evaluator.GetLastError().GetBuffer(0));
        lexer->setLocation(start);
        return nullptr;
    }
    ObArrayOf<ExprNode> nodes(25);
    ExprEvaluator::CollectNodes(tree, nodes, true);
    for (int i = 0; i < nodes.GetSize(); ++i) {
        ExprNode* node = nodes.GetAt(i);
        if (!node->IsLeaf() || node->id != kTokIdent) continue;
        const char* path = node->text.GetBuffer(0);
        if (CVariableItem* define = context->current->FindNamedValue(path)) {
            const OTSTR& name = define->GetItemName();
            if (strcmp(name.GetBuffer(0), path) != 0)
                context->root.defineCaseUses.push_back(
                    {node->pos.fileName, node->pos.line, path, name});
            continue;
        }
        OTSTR message;
        if (!CheckIdentifier(*context, path, message)) {
            args.error.SetF(node->pos, scriptmsg::kInvalid, path);
            delete tree;
            lexer->setLocation(start);
            return nullptr;
        }
    }
    auto* result = new (std::nothrow) ParsedExpression;
    if (result == nullptr) {
        delete tree;
        return nullptr;
    }
    ExprEvaluator::KeepLiterals(tree);
    result->tree.reset(tree);
    int32_t from = start.offset;
    int32_t to = lexer->GetLocation().offset;
    if (from >= 0 && to > from) result->text.Assign(lexer->GetBuffer() + from, to - from);
    result->text.TrimLeft();
    result->text.TrimRight();
    return result;
}

NamedObject* ExpHandler(const GramArgs& args) {
    return ParseChecked(args, 0);
}

NamedObject* InitializerExpHandler(const GramArgs& args) {
    return ParseChecked(args, ExprEvaluator::kSetAfterAssign | ExprEvaluator::kSetAlone);
}

NamedObject* StatementExpHandler(const GramArgs& args) {
    return ParseChecked(args, ExprEvaluator::kSetAfterAssign);
}

// $Program: a block compiled from its '{' to its '}'.
NamedObject* ProgramHandler(const GramArgs& args) {
    CompileContext* context = CompileContext::Of(args);
    if (context == nullptr) return nullptr;
    Program* outer = context->current;
    Program* block = outer->NewSubProgram();
    if (block == nullptr) return nullptr;
    SourcePos start = args.lexer.GetLocation();
    bool ok = context->CompileItems(*block, args.lexer);
    context->current = outer;
    if (!ok) {
        delete block;
        args.lexer.setLocation(start);
        return nullptr;
    }
    return block;
}

}  // namespace

const GramFunc* GrammarHandlers() {
    return kHandlers;
}

bool IsText(const Token& token, const char* text) {
    return token.text.Compare(text, false);
}

bool TakeLineComment(ScriptLexer& lexer, int32_t line, OTSTR& comment, int32_t after) {
    Token token;
    if (lexer.GetNextToken(token, true) == 1 && token.id == kTokLineComment &&
        token.pos.line == line) {
        lexer.GetToken(token, ScriptLexer::kLineComments, false);
        comment = token.text;
        return true;
    }
    const Token* skipped = lexer.LastSkippedComment();
    if (after < 0 || skipped == nullptr || skipped->pos.line != line ||
        skipped->pos.offset <= after)
        return false;
    comment = skipped->text;
    return true;
}

std::string FoldedName(const char* name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

uint16_t NextSerial() {
    return ++g_serial;
}

// ---------------------------------------------------------------- context

namespace {

__attribute__((format(printf, 3, 0))) void Record(CompileError& error, ScriptLexer& lexer,
                                                  const char* format, va_list args) {
    FormattedText text(format, args);
    error.Replace(lexer.GetLocation(), text.Get());
}

}  // namespace

void CompileContext::Fail(ScriptLexer& lexer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record(error, lexer, format, args);
    va_end(args);
}

StepResult CompileContext::Reject(ScriptLexer& lexer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record(error, lexer, format, args);
    va_end(args);
    return StepResult::kFailed;
}

void CompileContext::FailFinal(ScriptLexer& lexer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record(error, lexer, format, args);
    va_end(args);
    error.final = true;
}

bool CompileContext::Match(ScriptLexer& lexer, GramMatcher& matcher, GrammarSet setId) {
    GrammarRuleSet* set = FindGrammar(setId);
    if (set == nullptr) return false;
    matcher.ClearResult(true);
    bool ok = matcher.GramMatching(lexer, *set);
    if (!ok) error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
    return ok;
}

bool CompileContext::MatchText(ScriptLexer& lexer, GramMatcher& matcher, const char* setName,
                               const char* ruleText) {
    matcher.ClearResult(true);
    bool ok = matcher.GramMatching(lexer, setName, ruleText, false);
    if (!ok) error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
    return ok;
}

// ---------------------------------------------------------------- steps

namespace {

// The file Program of path in the tree below root (itself, or a file it
// includes, depth first), letter case ignored.
Program* FindFile(Program& root, const char* path, int depth = 0) {
    if (root.GetName().Compare(path, false)) return &root;
    if (depth > 64) return nullptr;
    for (int i = 0; i < root.ItemCount(); ++i) {
        ProgramItem* item = root.ItemAt(i);
        if (item->ItemKind() != kItemProgram) continue;
        auto* file = static_cast<Program*>(item);
        if (file->parent != nullptr) continue;
        if (Program* found = FindFile(*file, path, depth + 1)) return found;
    }
    return nullptr;
}

StepResult IncludeStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    int32_t line = lexer.GetLocation().line;
    Token token;
    if (!lexer.ExpectText(token, "include", false)) {
        return context.Reject(lexer, scriptmsg::kIncludeExpected);
    }
    if (!lexer.ExpectKind(token, kTokString)) {
        return context.Reject(lexer, scriptmsg::kFilepathExpected);
    }
    OTSTR name = token.text.Mid(1, token.text.GetLength() - 2);
    OTSTR joined(lexer.GetDirectory());
    joined.Append(name);
    OTSTR path = TextFile::FoldDots(joined.GetBuffer(0));
    const char* pathText = path.GetBuffer(0);

    if (Program* found = FindFile(context.root, pathText)) {
        if (found->beingCompiled) {
            return context.Reject(lexer, scriptmsg::kIncludeLoop, pathText);
        }
        program.AddItem(found, line, false);
        return StepResult::kDone;
    }
    // Each file takes two levels: its include step and its item loop.
    if (context.depth + 1 >= CompileContext::kMaxDepth) {
        context.Fail(lexer, scriptmsg::kIncludeTooDeep, pathText, CompileContext::kMaxDepth / 2);
        context.error.final = true;
        return StepResult::kFailed;
    }
    ScriptLexer fileLexer;
    if (!fileLexer.LoadFile(pathText, true)) {
        return context.Reject(lexer, scriptmsg::kFileOpenError, pathText);
    }
    auto* file = new (std::nothrow) Program(nullptr);
    if (file == nullptr) {
        return context.Reject(lexer, scriptmsg::kNewProgramFail);
    }
    file->SetName(pathText);
    // The file joins the tree before it is compiled, so that a cycle
    // through it is found.
    if (!program.AddItem(file, line, true)) {
        delete file;
        context.Fail(lexer, scriptmsg::kNewProgramFail);
        return StepResult::kFailed;
    }
    CompileContext nested(context.root);
    nested.depth = context.depth + 1;
    if (!nested.CompileItems(*file, fileLexer)) {
        OTSTR text = nested.error.ToString();
        program.RemoveItem(file, true);
        context.Fail(lexer, scriptmsg::kIncludeFailed, text.GetBuffer(0));
        context.error.final = true;
        return StepResult::kFailed;
    }
    return StepResult::kDone;
}

StepResult DefineStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    Token token;
    if (!lexer.ExpectText(token, "define", false)) {
        return context.Reject(lexer, scriptmsg::kDefineExpected);
    }
    int32_t line = token.pos.line;
    Token ident;
    if (lexer.GetNextToken(ident, false) != 1 || ident.id != kTokIdent) {
        return context.Reject(lexer, scriptmsg::kIdentAfterDefine);
    }
    const char* name = ident.text.GetBuffer(0);
    if (program.IsNameUsed(name, false)) {
        return context.Reject(lexer, scriptmsg::kNameUsed, name);
    }
    // The value is the rest of the line, up to a comment.
    const char* buffer = lexer.GetBuffer();
    int32_t from = lexer.GetLocation().offset;
    int32_t end = from;
    while (end < lexer.GetBufferLength() && buffer[end] != '\n') {
        if (buffer[end] == '/' && end + 1 < lexer.GetBufferLength() &&
            (buffer[end + 1] == '/' || buffer[end + 1] == '*'))
            break;
        ++end;
    }
    OTSTR text(buffer + from, end - from);
    lexer.Skip(end - from);
    text.TrimLeft();
    text.TrimRight();
    if (text.IsEmpty()) text.Assign("", 0);
    OTSTR comment;
    TakeLineComment(lexer, line, comment);

    ExprEvaluator evaluator;
    RunTimeStk& values = program.NamedValues();
    values.BindEvaluator(evaluator);
    CVarient value;
    if (text.IsEmpty() || !evaluator.CalcValue(text.GetBuffer(0), value, false))
        value.setBytes(text.GetBuffer(0), text.GetLength());
    CVariableItem* item = values.CreateVarInstance(value.GetType(), name);
    auto* entry = new (std::nothrow) NamedValueItem;
    if (item == nullptr || entry == nullptr || !item->setAt(0, value)) {
        delete entry;
        context.Fail(lexer, scriptmsg::kNameUsed, name);
        return StepResult::kFailed;
    }
    item->SetDescription(comment.GetBuffer(0));
    entry->SetName(name);
    entry->SetDescription(comment.GetBuffer(0));
    entry->value = item;
    entry->line = line;
    program.AddItem(entry, line, true);
    return StepResult::kDone;
}

StepResult TypedefStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    Token token;
    if (!lexer.ExpectText(token, "typedef", false)) {
        return context.Reject(lexer, scriptmsg::kTypedefExpected);
    }
    int32_t line = token.pos.line;
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.MatchText(lexer, matcher, "typedef", kTypedefRule)) return StepResult::kFailed;
    auto* type = matcher.ObjectAt<TypeSpecifier>(0);
    Token* ident = matcher.TokenAt(1);
    if (!type->IsStruct() || type->structDef == nullptr) {
        return context.Reject(lexer, scriptmsg::kTypedefStructOnly);
    }
    const char* name = ident->text.GetBuffer(0);
    if (program.IsNameUsed(name, false)) {
        return context.Reject(lexer, scriptmsg::kNameUsed, name);
    }
    auto* item = new (std::nothrow) TypedefItem;
    if (item == nullptr) {
        return context.Reject(lexer, scriptmsg::kNewTypedefFail);
    }
    item->SetName(name);
    item->def = type->structDef;
    item->line = line;
    program.AddItem(item, line, true);
    return StepResult::kDone;
}

StepResult EnumStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    Token token;
    if (!lexer.ExpectText(token, "enum", false)) {
        return context.Reject(lexer, scriptmsg::kEnumExpected);
    }
    int32_t line = token.pos.line;
    Token ident;
    if (!lexer.ExpectKind(ident, kTokIdent)) {
        return context.Reject(lexer, scriptmsg::kIdentExpected);
    }
    const char* name = ident.text.GetBuffer(0);
    if (program.IsNameUsed(name, false)) {
        return context.Reject(lexer, scriptmsg::kNameUsed, name);
    }
    auto* list = new (std::nothrow) EnumItem;
    if (list == nullptr) {
        return context.Reject(lexer, scriptmsg::kNewEnumFail);
    }
    list->SetName(name);
    list->line = line;
    OTSTR comment;
    if (TakeLineComment(lexer, line, comment)) list->SetDescription(comment.GetBuffer(0));
    auto fail = [&]() {
        delete list;
        return StepResult::kFailed;
    };
    if (!lexer.ExpectText(token, "{", true)) {
        context.Fail(lexer, scriptmsg::kBraceAfterEnum);
        return fail();
    }
    if (TakeLineComment(lexer, line, comment)) list->SetDescription(comment.GetBuffer(0));
    int unnamed = 0;
    std::unordered_set<std::string> names;  // of the items so far, letters folded
    GramMatcher matcher(&context, GrammarHandlers());
    while (!lexer.ExpectText(token, "}", true)) {
        Token first;
        lexer.GetToken(first, 0, true);
        if (!context.Match(lexer, matcher, GrammarSet::kEnumItem)) return fail();
        int32_t id = matcher.GetRuleId();
        bool named = id == kEnumNamedMore || id == kEnumNamedLast || id == kEnumDefine;
        auto* exp = matcher.ObjectAt<ParsedExpression>(named ? 1 : 0);
        CVarient value;
        char unnamedName[16];
        const char* itemName = unnamedName;
        if (named) {
            itemName = matcher.TokenAt(0)->text.GetBuffer(0);
            if (names.count(FoldedName(itemName)) != 0) {
                context.Fail(lexer, scriptmsg::kNameDefined, itemName);
                return fail();
            }
        } else {
            snprintf(unnamedName, sizeof unnamedName, "$%d", unnamed++);
        }
        ExprEvaluator evaluator;
        program.NamedValues().BindEvaluator(evaluator);
        if (!evaluator.EvaluateValue(exp->tree.get(), value)) {
            context.Fail(lexer, scriptmsg::kEnumValueFail);
            return fail();
        }
        value.SetName(itemName);
        OTSTR itemComment;
        if (TakeLineComment(lexer, first.pos.line, itemComment, first.pos.offset))
            value.SetDescription(itemComment.GetBuffer(0));
        list->Add(value, false);
        names.insert(FoldedName(itemName));
    }
    if (!lexer.ExpectText(token, ";", true)) {
        context.Fail(lexer, scriptmsg::kSemicolonExpected);
        return fail();
    }
    if (TakeLineComment(lexer, token.pos.line, comment)) list->SetDescription(comment.GetBuffer(0));
    program.AddItem(list, line, true);
    return StepResult::kDone;
}

}  // namespace

StepResult AttributeConstructStep(CompileContext& context, ScriptLexer& lexer) {
    Token token;
    if (!lexer.ExpectText(token, "attribute", false)) return StepResult::kNotClaimed;
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.MatchText(lexer, matcher, "attribute", kAttributeRule)) return StepResult::kFailed;
    if (lexer.GetNextToken(token, true) != 1 || !IsText(token, "{")) {
        return context.Reject(lexer, scriptmsg::kBraceAfterAttribute);
    }
    const OTSTR& quoted = matcher.TokenAt(0)->text;
    OTSTR structName = quoted.Mid(1, quoted.GetLength() - 2);
    const char* name = structName.GetBuffer(0);
    StructDefinition* def = context.current->FindStruct(name);
    if (def == nullptr) {
        return context.Reject(lexer, scriptmsg::kAttributeNoStruct, name);
    }
    auto* item = dynamic_cast<StructItem*>(def);
    if (item == nullptr || item->attributes == nullptr) {
        return context.Reject(lexer, scriptmsg::kAttributeNotIntegrated, name);
    }
    Program* outer = context.current;
    bool ok = context.CompileItems(*item->attributes, lexer);
    context.current = outer;
    if (!ok) return StepResult::kFailed;
    OTSTR message;
    if (!CompleteAttributes(*item->attributes, message)) {
        return context.Reject(lexer, scriptmsg::kCompleteFail, message.GetBuffer(0));
    }
    return StepResult::kDone;
}

// ---------------------------------------------------------------- item loop

bool CompileContext::CompileItems(Program& program, ScriptLexer& lexer) {
    if (depth >= kMaxDepth) {
        Fail(lexer, scriptmsg::kUnexpected, "{");
        return false;
    }
    struct Level {
        CompileContext& c;
        Program* outer;
        Level(CompileContext& c, Program& p) : c(c), outer(c.current) {
            ++c.depth;
            c.current = &p;
        }
        ~Level() {
            --c.depth;
            c.current = outer;
        }
    } level(*this, program);

    program.beingCompiled = true;
    bool isBlock = program.parent != nullptr;
    if (!isBlock && program.GetName().IsEmpty()) program.SetName(lexer.GetFullPath());
    Token token;
    if (isBlock) {
        int r = lexer.GetToken(token, 0, false);
        if (r != 1 || !IsText(token, "{")) {
            Fail(lexer, scriptmsg::kUnexpected, r == 1 ? token.text.GetBuffer(0) : "");
            return false;
        }
        program.startLine = token.pos.line;
        OTSTR comment;
        if (TakeLineComment(lexer, token.pos.line, comment)) program.comment = comment;
    }
    bool closed = false;
    for (;;) {
        int r = lexer.GetNextToken(token, true);
        if (r == 0) break;
        if (r < 0) {
            Fail(lexer, "%s", lexer.GetLastError().GetBuffer(0));
            return false;
        }
        if (token.id == kTokLineComment || token.id == kTokBlockComment) {
            lexer.GetNextToken(token, false);
            continue;
        }
        if (isBlock && IsText(token, "}")) {
            lexer.GetNextToken(token, false);
            OTSTR comment;
            if (TakeLineComment(lexer, token.pos.line, comment)) program.comment = comment;
            program.endLine = token.pos.line;
            closed = true;
            break;
        }
        StepResult hook = program.ItemHook(*this, lexer);
        if (hook == StepResult::kFailed) return false;
        if (hook == StepResult::kDone) continue;
        if (error.final) return false;

        StepResult step = StepResult::kNotClaimed;
        if (IsText(token, "#")) {
            lexer.GetNextToken(token, false);
            r = lexer.GetNextToken(token, true);
            if (r < 0) {
                Fail(lexer, "%s", lexer.GetLastError().GetBuffer(0));
                return false;
            }
            if (r == 1 && IsText(token, "include")) {
                if (isBlock) {
                    Fail(lexer, scriptmsg::kIncludeInBlock);
                    return false;
                }
                step = IncludeStep(*this, lexer);
            } else if (r == 1 && IsText(token, "define")) {
                step = DefineStep(*this, lexer);
            } else {
                continue;  // the word is read as the next item
            }
        } else if (IsText(token, "extern")) {
            lexer.GetNextToken(token, false);
            if (isBlock) {
                Fail(lexer, scriptmsg::kExternInBlock);
                return false;
            }
            step = ProcedureStep(*this, lexer, true);
        } else if (IsText(token, "enum")) {
            step = EnumStep(*this, lexer);
        } else if (IsText(token, "typedef")) {
            step = TypedefStep(*this, lexer);
        } else if (IsText(token, "struct")) {
            if (isBlock) {
                Fail(lexer, scriptmsg::kStructInBlock);
                return false;
            }
            step = StructStep(*this, lexer);
        } else if (IsText(token, "DeclareMap")) {
            step = DeclareMapStep(*this, lexer);
        } else {
            SourcePos start = lexer.GetLocation();
            int32_t line = start.line;
            GramMatcher matcher(this, GrammarHandlers());
            if (matcher.GramMatching(lexer, "statement", kStatementRule, false)) {
                auto* statement = matcher.ObjectAt<NamedObject>(0);
                auto* item = dynamic_cast<ProgramItem*>(statement);
                matcher.ClearResult(false);
                if (item == nullptr || !program.AddItem(item, line, true)) {
                    delete statement;
                    Fail(lexer, scriptmsg::kNewStatementFail);
                    return false;
                }
                step = StepResult::kDone;
            } else {
                error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
                lexer.setLocation(start);
                step = VariableStep(*this, lexer);
                if (step == StepResult::kNotClaimed) step = ProcedureStep(*this, lexer, false);
            }
            if (step == StepResult::kNotClaimed) {
                Token bad;
                lexer.setLocation(start);
                lexer.GetNextToken(bad, true);
                Fail(lexer, scriptmsg::kUnexpected, bad.text.GetBuffer(0));
                return false;
            }
        }
        if (step != StepResult::kDone) return false;
    }
    if (isBlock && !closed) {
        Fail(lexer, scriptmsg::kCloseBraceExpected);
        return false;
    }
    program.beingCompiled = false;
    return true;
}

// ---------------------------------------------------------------- files

bool CompileFile(Program& file, ScriptLexer& lexer, bool finalChecks, OTSTR& errorText) {
    errorText.Empty();
    if (!RegisterGrammar()) {
        errorText = scriptmsg::kGrammarFailed;
        return false;
    }
    CompileContext context(file);
    if (!context.CompileItems(file, lexer)) {
        errorText = context.error.ToString();
        return false;
    }
    if (finalChecks && !file.Check(file, errorText)) return false;
    return true;
}
