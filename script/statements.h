// The statements of a compiled script: expression, if, while, for and jump
// statements, their final checks and their runs, and the walk from a
// statement to the loop or procedure that encloses it.
// Tested by script/procedure_compiler_test.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "base/named_object.h"
#include "base/otstr.h"
#include "runtime/run_time_stk.h"
#include "script/program_item.h"

class CVariableItem;
class ExprNode;
class ParsedExpression;
class Procedure;

// The dump file that a traced run appends each changed variable to.
constexpr char kRunDumpPath[] = "Dump\\DumpRun.txt";
// Appends item (when there is one) to the run dump file.
void DumpRunItem(CVariableItem* item);

// What every statement holds; the statements below own their
// sub-statements and expressions.
class Statement : public NamedObject, public ProgramItem {
  public:
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // The direct sub-statement of this one that is target, searched through
    // the sub-statements that are no blocks; null when there is none.
    virtual Statement* FindHolderOf(const ProgramItem* target);

    // The statement, procedure or Program that holds this one; not owned.
    ProgramItem* parent = nullptr;
    // The Program that was compiling when the statement was read; its name
    // (or that of the nearest named parent) is shown in run messages.
    Program* program = nullptr;  // not owned
    int32_t endOffset = -1;      // where the statement ends in its text

  protected:
    // Checks a sub-statement after recording this statement as its parent;
    // failures of expression and jump statements get the file and line.
    bool CheckSub(ProgramItem* sub, Program& owner, OTSTR& message);
    // Runs a sub-statement: a block in a frame of its own, others here.
    static bool RunSub(ExecuteEnv& env, ProgramItem* sub);

  public:
    // The name shown in run messages.
    const char* ProgramName() const;
};

// expr ; or the empty statement.
class ExprStatement : public Statement {
  public:
    ~ExprStatement() override;
    int32_t ItemKind() const override { return kItemExprStatement; }
    bool Run(ExecuteEnv& env) override;

    std::unique_ptr<ParsedExpression> expression;  // none for the empty statement
};

class IfStatement : public Statement {
  public:
    ~IfStatement() override;
    int32_t ItemKind() const override { return kItemIf; }
    bool Check(Program& owner, OTSTR& message) override;
    bool Run(ExecuteEnv& env) override;
    Statement* FindHolderOf(const ProgramItem* target) override;

    std::unique_ptr<ParsedExpression> condition;
    std::unique_ptr<ProgramItem> thenStatement;
    std::unique_ptr<ProgramItem> elseStatement;  // may be none
};

class WhileStatement : public Statement {
  public:
    ~WhileStatement() override;
    int32_t ItemKind() const override { return kItemWhile; }
    bool Check(Program& owner, OTSTR& message) override;
    bool Run(ExecuteEnv& env) override;
    Statement* FindHolderOf(const ProgramItem* target) override;

    std::unique_ptr<ParsedExpression> condition;
    std::unique_ptr<ProgramItem> body;
};

class ForStatement : public Statement {
  public:
    ~ForStatement() override;
    int32_t ItemKind() const override { return kItemFor; }
    bool Check(Program& owner, OTSTR& message) override;
    bool Run(ExecuteEnv& env) override;
    Statement* FindHolderOf(const ProgramItem* target) override;

    std::unique_ptr<ParsedExpression> initial;
    std::unique_ptr<ParsedExpression> condition;
    std::unique_ptr<ParsedExpression> step;
    std::unique_ptr<ProgramItem> body;
};

// return [value] ; break ; continue ;
class JumpStatement : public Statement {
  public:
    enum Jump { kReturn, kBreak, kContinue };

    ~JumpStatement() override;
    int32_t ItemKind() const override { return kItemJump; }
    bool Check(Program& owner, OTSTR& message) override;
    bool Run(ExecuteEnv& env) override;

    Jump jump = kReturn;
    std::unique_ptr<ParsedExpression> value;  // return only; may be none

  private:
    // The value's text as the return stores it, parsed at the first run.
    bool BindValue();
    bool valueBound = false;
    Procedure* procedure = nullptr;
    std::unique_ptr<ExprNode> valueTree;
    // Where the frames held the procedure's "Return" last time.
    RunTimeStk::NameSlot returnSlot;
};

// The item that holds item: a statement's parent, the statement, procedure
// or Program that holds a block; null for a procedure or a file.
ProgramItem* HolderOf(const ProgramItem* item);
// The procedure whose body encloses item, through any number of blocks and
// statements; null at file level.
Procedure* EnclosingProcedure(const ProgramItem* item);
// The while or for statement that encloses item within its procedure (or
// file); null when there is none.
Statement* EnclosingLoop(const ProgramItem* item);
