// ProcedureCode: a quiet procedure of integer parameters (QuietProcedures)
// compiled into steps that run without a frame: assignments, branches and
// the return, over expression nodes with operator codes that compute in
// machine words, literals and enum items read once, the text built-ins
// called through their native functions, and calls of other quiet
// procedures that keep their results as their call sites keep them. The variables are items kept
// from call to call, and every value goes into and out of them by the stores and reads that the
// procedure's frame uses, so that a call returns what the frame would return, with no frame,
// evaluator or name look-up. Tested by decoder/procedure_code_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/hook_services.h"
#include "runtime/quiet_call.h"
#include "values/operator_code.h"

class CVariableItem;
class ExprNode;
class Procedure;
class Program;
class ProgramItem;
class QuietProcedures;

class ProcedureCode final : public QuietRunner {
  public:
    ~ProcedureCode() override;
    ProcedureCode(const ProcedureCode&) = delete;
    ProcedureCode& operator=(const ProcedureCode&) = delete;

    // The code of procedure, which the caller has found quiet with integer
    // parameters; null where its body holds anything that is not compiled
    // (a loop, say), so that its frame runs it.
    // The calls of other quiet procedures keep their results where quiet
    // keeps them.
    static std::unique_ptr<ProcedureCode> Compile(Procedure& procedure, QuietProcedures& quiet);

    // QuietRunner: not run (-1) while traced or cancelled, with binding off
    // (the text route is then wanted), nested so deep that the frame's
    // route might refuse, or where a built-in's frame is not found.
    int Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) override;

  private:
    class Compiler;
    struct Node;
    struct Step;
    struct Builtin;
    struct QuietCallee;

    ProcedureCode();

    // The integer of an integer node; false where the word route gives none.
    bool Integer(ExecuteEnv& env, int node, uint32_t& word, int32_t& type);
    // The value of any node, as the evaluator gives it.
    bool Value(ExecuteEnv& env, int node, CVarient& out);
    // Stores node's value into item as the frame stores it.
    bool Store(ExecuteEnv& env, CVariableItem& item, int node);
    bool Call(ExecuteEnv& env, Builtin& call, CVarient& out);
    bool CallQuiet(ExecuteEnv& env, QuietCallee& call, CVarient& out);

    Procedure* procedure = nullptr;
    int paramCount = 0;
    // Parameters first, then the local variables, then "Return".
    std::vector<std::unique_ptr<CVariableItem>> variables;
    CVariableItem* returnItem = nullptr;
    std::vector<Node> nodes;
    std::vector<Step> steps;
    std::vector<std::unique_ptr<CVarient>> literals;
    std::vector<std::unique_ptr<Builtin>> builtins;
    std::vector<std::unique_ptr<QuietCallee>> callees;
    // The value that a text takes on its way into a variable, and that of
    // a call's integer result.
    CVarient scratch[2];
    bool busy = false;
};
