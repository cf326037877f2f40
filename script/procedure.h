// Procedure: a compiled script procedure (item kind 9): its name, return
// type, parameters, flags and body. A call builds the parameters from the
// caller's argument text and runs the body (or, for an extern procedure,
// the environment's native-call handler). Plug-ins use this declaration:
// keep the members before and including name in their order.
// Tested by runtime/execute_env_test.cpp.
#pragma once

#include <cstdint>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "script/program_item.h"
#include "types/struct_definition.h"

class CallArguments;
class CVariableItem;
class CVarient;
class ExprNode;
class Program;
class RunTimeStk;

// The arguments of a decoder's call of an element's procedure, given as
// values instead of the text "'name',This.item[index],index": the element's
// name, the item whose element index the second parameter refers to, and
// the index. Only for a procedure that TakesElementArguments.
struct ElementArguments {
    const char* name;
    int32_t nameLength;
    CVariableItem* item;
    int32_t index;
};

class Procedure : public ProgramItem {
  public:
    Procedure() = default;
    // Deletes the body.
    ~Procedure() override;
    Procedure(const Procedure&) = delete;
    Procedure& operator=(const Procedure&) = delete;

    int32_t ItemKind() const override { return kItemProcedure; }
    // Checks the body, when there is one.
    bool Check(Program& owner, OTSTR& message) override;

    int32_t declLine = -1;  // where the procedure was declared
    OTSTR name;             // read directly by plug-ins

    // The result of a native function or plug-in: into the environment's
    // return value (dynamic) or into the frame's "Return" variable.
    bool setReturn(ExecuteEnv& env, CVarient& value);
    // The result as an expression text, evaluated in the top frame.
    // tree: the text's KeptTree, when the caller keeps one.
    bool setReturn(ExecuteEnv& env, const char* text, ExprNode* tree = nullptr);

    // Builds the parameter items (and, with variable arguments, the extra
    // values) from the caller's argument text; on failure both lists are
    // emptied and their items deleted.
    bool GenerateProcedureParamsList(const char* args, RunTimeStk* caller, ObArray& params,
                                     ObArray& extras);
    // The same from arguments split before, and bound when the call site
    // is run again and again.
    bool GenerateProcedureParamsList(const CallArguments& args, RunTimeStk* caller, ObArray& params,
                                     ObArray& extras);
    // The same, taking the items back that frame kept from its last call
    // (RunTimeStk::TakeSpare) where they fit, instead of making new ones.
    bool GenerateProcedureParamsList(const CallArguments& args, RunTimeStk* caller, ObArray& params,
                                     ObArray& extras, RunTimeStk* frame);
    // The same from the values of an element's call, as the text of its
    // arguments would set them.
    bool GenerateProcedureParamsList(const ElementArguments& args, RunTimeStk* caller,
                                     ObArray& params, ObArray& extras, RunTimeStk* frame);
    // Whether the parameters are a text by value, a reference and an
    // integer by value, each a single variable: those that an element's
    // arguments set as values.
    bool TakesElementArguments() const;
    // Runs the procedure in the frame that the environment has prepared and
    // pushed for it, and checks its result.
    bool Call(ExecuteEnv& env);

    // The steps of a call that a native call site takes without a frame
    // (NativeCall), as GenerateProcedureParamsList, setReturn and Call take
    // them. A parameter passed by value, made for its definition, takes
    // argument i in the caller's frame; an extra value of a variable-
    // argument call takes argument i (traced when it fails).
    static bool SetParameter(CVariableItem& item, const CallArguments& args, int i,
                             RunTimeStk* caller);
    static bool SetExtraValue(CVarient& value, const CallArguments& args, int i,
                              RunTimeStk* caller);
    // setReturn's store into result, the "Return" variable of the call.
    bool StoreReturn(CVariableItem* result, CVarient& value);
    // The same for a text of length bytes, stored without a value made of it.
    bool StoreReturn(CVariableItem* result, const char* text, int32_t length);
    // After the body or native function ran: the result checked and read
    // into the environment's return value from result, the "Return"
    // variable of the call (null when there is none).
    bool TakeResult(ExecuteEnv& env, CVariableItem* result);

    // The return type: a declared code, -1 for VOID, -2 for dynamic; for a
    // struct, its definition.
    int32_t returnType = -1;
    OTSTR returnTypeName;
    StructDefinition* returnStruct = nullptr;  // not owned
    // The parameter definitions in declaration order (members of a struct
    // definition, each with its by-address flag).
    StructDefinition parameters;
    bool isExtern = false;
    bool varArgs = false;
    OTSTR header;
    Program* owner = nullptr;  // the Program that declares it; not owned
    Program* body = nullptr;   // owned; none for an extern procedure

  private:
    // GenerateProcedureParamsList from the pieces of the arguments' text, or
    // from an element's values.
    bool MakeParams(const CallArguments* pieces, const ElementArguments* element,
                    RunTimeStk* caller, ObArray& params, ObArray& extras, RunTimeStk* frame);
};
