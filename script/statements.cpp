// The statements of a compiled script: final checks, runs, and the walk to
// the enclosing loop or procedure. Tested by
// script/procedure_compiler_test.cpp.
#include "script/statements.h"

#include <initializer_list>

#include "base/tracer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "types/instance_dump.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"

namespace {

// The walks up the tree of items stop after this many steps; the tree is
// finite, so only a damaged tree reaches the bound.
constexpr int kMaxWalk = 4096;

bool IsStatementKind(int32_t kind) {
    return kind == kItemExprStatement || kind == kItemWhile || kind == kItemIf ||
           kind == kItemJump || kind == kItemFor;
}

}  // namespace

void DumpRunItem(CVariableItem* item) {
    if (item != nullptr) DumpToFile(*item, kRunDumpPath, false);
}

namespace {

// Evaluates an expression statement's expression (or a for loop's initial
// and step expressions) in the top frame; in a traced run, value receives
// the result, an identifier reference when the expression assigned a
// variable.
// tooLong (when given) receives the text of a value that would have passed
// the value limit, the reason of a failure worth showing.
bool RunExpression(ExecuteEnv& env, const ParsedExpression& expression, CVarient& value,
                   OTSTR* tooLong = nullptr) {
    RunTimeStk* frame = env.GetTopStk(0);
    if (frame == nullptr || expression.tree == nullptr) return false;
    ExprEvaluator evaluator;
    frame->BindEvaluator(evaluator);
    // Only the trace looks at the value.
    ExprNode* tree = expression.tree.get();
    if (env.IsTracing() ? evaluator.Evaluate(tree, value) : evaluator.Perform(tree, value))
        return true;
    if (tooLong != nullptr) *tooLong = evaluator.GetValueTooLong();
    return false;
}

// The trace line of an evaluated expression, the variable it assigned
// appended to the run dump, and the monitor step of a traced run.
bool TraceExpression(ExecuteEnv& env, int32_t line, const ParsedExpression& expression,
                     const CVarient& value) {
    if (!env.IsTracing()) return true;
    OTSTR traced;
    traced.safeAppends(scriptmsg::kRunLine, static_cast<long>(line), env.text.GetBuffer(0));
    traced.Append(expression.text);
    traced.Append(";");
    TraceText(traced.GetBuffer(0));
    // A bare identifier stays a reference too; only an operator (an
    // assignment) that yields one has changed the variable.
    RunTimeStk* frame = env.GetTopStk(0);
    if (frame != nullptr && value.IsIdentRef() && expression.tree != nullptr &&
        !expression.tree->IsLeaf()) {
        OTSTR path;
        int32_t index = -1;
        if (value.getString(path)) DumpRunItem(frame->GetItem(path.GetBuffer(0), &index));
    }
    return env.Step();
}

bool Condition(ExecuteEnv& env, const ParsedExpression* condition, int32_t& out) {
    RunTimeStk* frame = env.GetTopStk(0);
    if (frame == nullptr || condition == nullptr || condition->tree == nullptr) return false;
    ExprEvaluator evaluator;
    frame->BindEvaluator(evaluator);
    return evaluator.EvaluateBool(condition->tree.get(), out);
}

// After a loop body: consumes continue and break; true when the loop ends.
bool LoopEnds(ExecuteEnv& env) {
    env.continuing = false;
    if (env.breaking) {
        env.breaking = false;
        return true;
    }
    return env.returning;
}

// The statement or procedure among program's items (and their statements)
// that holds block directly; program itself when the block is one of its
// items.
ProgramItem* FindBlockHolder(Program& program, const Program* block) {
    for (int i = 0; i < program.ItemCount(); ++i) {
        ProgramItem* item = program.ItemAt(i);
        if (item == block) return &program;
        int32_t kind = item->ItemKind();
        if (kind == kItemProcedure) {
            if (static_cast<Procedure*>(item)->body == block) return item;
        } else if (IsStatementKind(kind)) {
            if (Statement* holder = static_cast<Statement*>(item)->FindHolderOf(block))
                return holder;
        }
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- walks

ProgramItem* HolderOf(const ProgramItem* item) {
    if (item == nullptr) return nullptr;
    int32_t kind = item->ItemKind();
    if (IsStatementKind(kind)) return static_cast<const Statement*>(item)->parent;
    if (kind != kItemProgram) return nullptr;
    auto* block = static_cast<const Program*>(item);
    if (block->parent == nullptr) return nullptr;
    // A procedure's body knows its procedure: no search of the whole file
    // for every return statement.
    if (block->bodyOf != nullptr && block->bodyOf->body == block) return block->bodyOf;
    return FindBlockHolder(*block->parent, block);
}

Procedure* EnclosingProcedure(const ProgramItem* item) {
    const ProgramItem* node = HolderOf(item);
    for (int steps = 0; node != nullptr && steps < kMaxWalk; ++steps) {
        if (node->ItemKind() == kItemProcedure)
            return const_cast<Procedure*>(static_cast<const Procedure*>(node));
        node = HolderOf(node);
    }
    return nullptr;
}

Statement* EnclosingLoop(const ProgramItem* item) {
    const ProgramItem* node = HolderOf(item);
    for (int steps = 0; node != nullptr && steps < kMaxWalk; ++steps) {
        int32_t kind = node->ItemKind();
        if (kind == kItemWhile || kind == kItemFor)
            return const_cast<Statement*>(static_cast<const Statement*>(node));
        // A loop does not reach into the procedures that it calls.
        if (kind == kItemProcedure) return nullptr;
        node = HolderOf(node);
    }
    return nullptr;
}

// ---------------------------------------------------------------- Statement

Statement* Statement::FindHolderOf(const ProgramItem* target) {
    (void)target;
    return nullptr;
}

namespace {

// The direct holder of target among subs, searching through the
// sub-statements that are statements (blocks hold their own items).
Statement* SearchSubs(Statement* self, const ProgramItem* target,
                      std::initializer_list<ProgramItem*> subs) {
    for (ProgramItem* sub : subs)
        if (sub != nullptr && sub == target) return self;
    for (ProgramItem* sub : subs) {
        if (sub == nullptr || !IsStatementKind(sub->ItemKind())) continue;
        if (Statement* found = static_cast<Statement*>(sub)->FindHolderOf(target)) return found;
    }
    return nullptr;
}

}  // namespace

const char* Statement::ProgramName() const {
    for (const Program* p = program; p != nullptr; p = p->parent)
        if (!p->GetName().IsEmpty()) return p->GetName().GetBuffer(0);
    return "";
}

bool Statement::CheckSub(ProgramItem* sub, Program& owner, OTSTR& message) {
    if (sub == nullptr) return true;
    int32_t kind = sub->ItemKind();
    if (IsStatementKind(kind)) static_cast<Statement*>(sub)->parent = this;
    if (kind == kItemProgram) return sub->Check(*static_cast<Program*>(sub), message);
    OTSTR failure;
    if (sub->Check(owner, failure)) return true;
    if (kind == kItemExprStatement || kind == kItemJump) {
        message.Empty();
        message.safeAppends(scriptmsg::kAtLine, ProgramName(), static_cast<int>(sub->line),
                            failure.GetBuffer(0));
    } else {
        message = failure;
    }
    return false;
}

bool Statement::RunSub(ExecuteEnv& env, ProgramItem* sub) {
    if (!env.KeepRunning()) return false;
    if (sub == nullptr) return true;
    if (sub->ItemKind() == kItemProgram) return env.Execute(static_cast<Program*>(sub));
    return sub->Run(env);
}

// ---------------------------------------------------------------- expression

ExprStatement::~ExprStatement() = default;

bool ExprStatement::Run(ExecuteEnv& env) {
    if (expression == nullptr) return true;
    CVarient value;
    OTSTR tooLong;
    if (!RunExpression(env, *expression, value, &tooLong)) {
        if (!tooLong.IsEmpty()) {
            env.SetLastError(scriptmsg::kAtLine, ProgramName(), static_cast<int>(line),
                             tooLong.GetBuffer(0));
        } else {
            env.SetLastError(scriptmsg::kExprFail, ProgramName(), static_cast<int>(line));
        }
        return false;
    }
    return TraceExpression(env, line, *expression, value);
}

// ---------------------------------------------------------------- if

IfStatement::~IfStatement() = default;

Statement* IfStatement::FindHolderOf(const ProgramItem* target) {
    return SearchSubs(this, target, {thenStatement.get(), elseStatement.get()});
}

bool IfStatement::Check(Program& owner, OTSTR& message) {
    if (parent == nullptr) parent = &owner;
    return CheckSub(thenStatement.get(), owner, message) &&
           CheckSub(elseStatement.get(), owner, message);
}

bool IfStatement::Run(ExecuteEnv& env) {
    int32_t value = 0;
    if (!Condition(env, condition.get(), value)) {
        env.SetLastError(scriptmsg::kIfFail, ProgramName(), static_cast<int>(line));
        return false;
    }
    return RunSub(env, value != 0 ? thenStatement.get() : elseStatement.get());
}

// ---------------------------------------------------------------- while

WhileStatement::~WhileStatement() = default;

Statement* WhileStatement::FindHolderOf(const ProgramItem* target) {
    return SearchSubs(this, target, {body.get()});
}

bool WhileStatement::Check(Program& owner, OTSTR& message) {
    if (parent == nullptr) parent = &owner;
    return CheckSub(body.get(), owner, message);
}

bool WhileStatement::Run(ExecuteEnv& env) {
    for (;;) {
        if (!env.KeepRunning()) return false;
        int32_t value = 0;
        if (!Condition(env, condition.get(), value)) {
            env.SetLastError(scriptmsg::kWhileFail, ProgramName(), static_cast<int>(line));
            return false;
        }
        if (value == 0) return true;
        if (!RunSub(env, body.get())) return false;
        if (LoopEnds(env)) return true;
    }
}

// ---------------------------------------------------------------- for

ForStatement::~ForStatement() = default;

Statement* ForStatement::FindHolderOf(const ProgramItem* target) {
    return SearchSubs(this, target, {body.get()});
}

bool ForStatement::Check(Program& owner, OTSTR& message) {
    if (parent == nullptr) parent = &owner;
    return CheckSub(body.get(), owner, message);
}

bool ForStatement::Run(ExecuteEnv& env) {
    int lineNo = static_cast<int>(line);
    CVarient result;
    if (initial == nullptr || !RunExpression(env, *initial, result)) {
        env.SetLastError(scriptmsg::kInitialFail, ProgramName(), lineNo);
        return false;
    }
    if (!TraceExpression(env, line, *initial, result)) return false;
    for (;;) {
        if (!env.KeepRunning()) return false;
        int32_t value = 0;
        if (!Condition(env, condition.get(), value)) {
            env.SetLastError(scriptmsg::kConditionFail, ProgramName(), lineNo);
            return false;
        }
        if (value == 0) return true;
        if (!RunSub(env, body.get())) return false;
        if (LoopEnds(env)) return true;
        CVarient stepResult;
        if (step == nullptr || !RunExpression(env, *step, stepResult)) {
            env.SetLastError(scriptmsg::kStepFail, ProgramName(), lineNo);
            return false;
        }
        if (!TraceExpression(env, line, *step, stepResult)) return false;
    }
}

// ---------------------------------------------------------------- jumps

JumpStatement::~JumpStatement() = default;

bool JumpStatement::Check(Program& owner, OTSTR& message) {
    if (parent == nullptr) parent = &owner;
    message.Empty();
    switch (jump) {
        case kReturn: {
            Procedure* procedure = EnclosingProcedure(this);
            if (procedure == nullptr) {
                message = scriptmsg::kReturnNoProcedure;
                return false;
            }
            if (value != nullptr && procedure->returnType == kDeclVoid) {
                message = scriptmsg::kVoidReturnsValue;
                return false;
            }
            return true;
        }
        case kBreak:
            if (EnclosingLoop(this) != nullptr) return true;
            message = scriptmsg::kBreakNoLoop;
            return false;
        case kContinue:
            if (EnclosingLoop(this) != nullptr) return true;
            message = scriptmsg::kContinueNoLoop;
            return false;
    }
    return false;
}

// The procedure and the tree of the value: CalcValue's tree of the whole
// text for a dynamic result, else the one element that sets reads.
bool JumpStatement::BindValue() {
    valueBound = true;
    procedure = EnclosingProcedure(this);
    const char* text = value->text.GetBuffer(0);
    bool isDynamic = procedure != nullptr && procedure->returnType == kDeclDynamic;
    if (CallArguments::BindingOn() && (isDynamic || CVariableItem::IsSingleValue(text))) {
        valueTree.reset(ExprEvaluator::KeptTree(text));
    }
    return valueTree != nullptr;
}

bool JumpStatement::Run(ExecuteEnv& env) {
    const char* word = jump == kBreak ? "break" : "continue";
    if (jump != kReturn) {
        (jump == kBreak ? env.breaking : env.continuing) = true;
        if (!env.IsTracing()) return true;
        OTSTR traced;
        traced.safeAppends(scriptmsg::kRunLineWord, static_cast<long>(line), env.text.GetBuffer(0),
                           word);
        TraceText(traced.GetBuffer(0));
        return env.Step();
    }
    // The flag is set once the value is computed: a call inside the value
    // must not see it.
    if (value == nullptr) {
        env.returning = true;
        return true;
    }
    if (!valueBound) BindValue();
    const char* text = value->text.GetBuffer(0);
    ExprNode* tree = CallArguments::BindingOn() ? valueTree.get() : nullptr;
    bool isDynamic = procedure != nullptr && procedure->returnType == kDeclDynamic;
    bool ok = false;
    if (isDynamic) {
        ok = procedure->setReturn(env, text, tree);
    } else {
        RunTimeStk* frame = env.GetTopStk(0);
        ok = frame != nullptr && frame->sets("Return", text, tree, &returnSlot);
    }
    env.returning = true;
    if (!ok) {
        env.SetLastError(scriptmsg::kReturnFail, ProgramName(), static_cast<int>(line));
        return false;
    }
    if (!env.IsTracing()) return true;
    OTSTR traced;
    traced.safeAppends(scriptmsg::kRunLineReturn, static_cast<long>(line), env.text.GetBuffer(0));
    traced.Append(value->text);
    traced.Append(";");
    TraceText(traced.GetBuffer(0));
    if (!isDynamic) {
        RunTimeStk* frame = env.GetTopStk(0);
        if (frame != nullptr) DumpRunItem(frame->FindItem("Return", true, false));
    }
    return env.Step();
}

// ---------------------------------------------------------------- procedure

bool Procedure::Check(Program& owner, OTSTR& message) {
    (void)owner;
    if (body == nullptr) return true;
    return body->Check(*body, message);
}
