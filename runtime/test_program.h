// Test support: Programs, variables, procedures and statements assembled
// by hand, as the compiler will build them from script text.
#pragma once

#include <string>

#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/variable_declaration.h"
#include "values/expr_evaluator.h"

namespace testprog {

// An expression statement: evaluates its text in the top frame.
class ExprStatement : public ProgramItem {
  public:
    explicit ExprStatement(const char* text) : text(text) {}
    int32_t ItemKind() const override { return kItemExprStatement; }
    bool Run(ExecuteEnv& env) override {
        RunTimeStk* frame = env.GetTopStk(0);
        if (frame == nullptr) return false;
        ExprEvaluator evaluator;
        frame->BindEvaluator(evaluator);
        ExprNode* tree = evaluator.GetExpression(text.c_str(), ExprEvaluator::kSetAfterAssign);
        CVarient value;
        bool ok = tree != nullptr && evaluator.Evaluate(tree, value);
        ExprEvaluator::FreeExpression(tree);
        if (!ok) env.SetLastError("%s", evaluator.GetLastError().GetBuffer(0));
        return ok;
    }
    std::string text;
};

// "return value;" of a procedure.
class ReturnStatement : public ProgramItem {
  public:
    ReturnStatement(Procedure* procedure, const char* value) : procedure(procedure), value(value) {}
    int32_t ItemKind() const override { return kItemJump; }
    bool Run(ExecuteEnv& env) override {
        env.returning = true;
        return value.empty() || procedure->setReturn(env, value.c_str());
    }
    Procedure* procedure;
    std::string value;
};

inline VariableDeclaration* AddVariable(Program& program, const char* name, int32_t declared,
                                        int32_t count = 1, const char* init = "") {
    auto* var = new VariableDeclaration;
    var->set(name, BaseCodeOf(declared), count);
    var->setTypeName(TypeCodeText(declared), declared);
    var->initializer = init;
    program.AddItem(var, 0, true);
    return var;
}

struct Param {
    const char* name;
    int32_t declared;
    bool byAddress;
};

// A procedure of file with its parameters and an empty body (or extern).
inline Procedure* AddProcedure(Program& file, const char* name, int32_t returnType,
                               std::initializer_list<Param> params, bool isExtern = false) {
    auto* procedure = new Procedure;
    procedure->name = name;
    procedure->returnType = returnType;
    procedure->isExtern = isExtern;
    procedure->owner = &file;
    for (const Param& p : params) {
        auto* def = new VariableDefinition;
        def->set(p.name, BaseCodeOf(p.declared), 1);
        def->setTypeName(TypeCodeText(p.declared), p.declared);
        def->byAddress = p.byAddress;
        procedure->parameters.AddMember(def);
    }
    if (!isExtern) {
        procedure->body = new Program(&file);
        procedure->body->SetName(name);
    }
    file.AddItem(procedure, 0, true);
    return procedure;
}

inline void AddStatement(Program& program, const char* text) {
    program.AddItem(new ExprStatement(text), 0, true);
}

inline void AddReturn(Procedure* procedure, const char* value) {
    procedure->body->AddItem(new ReturnStatement(procedure, value), 0, true);
}

}  // namespace testprog
