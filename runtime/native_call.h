// NativeCall: a call site of an extern procedure that the owner of the
// environment's external handler serves itself: the arguments go into
// parameter items kept from call to call, in declaration order, and the
// native function reads them there and sets the return item, with no frame
// made, pushed or searched by name. Everything else that anyone can see
// (traces, errors, the return value) is what the usual call gives.
// Tested by runtime/native_call_test.cpp.
#pragma once

#include <memory>
#include <vector>

#include "runtime/execute_env.h"
#include "types/variable_item.h"

class CallArguments;
class Procedure;

// The parameters of one native call.
struct NativeArguments {
    CVariableItem* const* params;  // one per declared parameter, in order
    int paramCount;
    CVarient* const* extras;  // the values of a variable-argument call
    int extraCount;
    CVariableItem* result;  // the "Return" variable; null for VOID
    RunTimeStk* caller;     // the frame the arguments were read in
    RunTimeStk* parent;     // the frame that the call's frame would hang below
};

// Serves a call: true when done (the return item set as setReturn sets the
// "Return" variable), false with the environment's error set.
using NativeHandler = bool (*)(void* owner, ExecuteEnv& env, Procedure& procedure,
                               const NativeArguments& args);
// The handler of procedure, or null when it is called the usual way.
using NativeResolver = NativeHandler (*)(const Procedure& procedure);

// From now on, the procedures that resolver names are served natively in
// the environments whose external handler is hook. Registering a hook again
// replaces its resolver.
void RegisterNatives(ExternalHandler hook, NativeResolver resolver);

class NativeCall {
  public:
    explicit NativeCall(Procedure* procedure) : procedure(procedure) {}
    NativeCall(const NativeCall&) = delete;
    NativeCall& operator=(const NativeCall&) = delete;

    // Whether the call may be served natively in env now: the environment
    // is not traced, its handler has a native function for the procedure,
    // and this call site is not in the middle of a call already.
    bool Ready(const ExecuteEnv& env);
    // Runs it as ExecuteEnv::Execute would, from caller, the top frame;
    // result receives the return value.
    bool Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args, CVarient& result);

  private:
    // The kept items, made once: false when a parameter or the return type
    // is of a kind that only a frame serves.
    bool MakeItems();
    // An item holding many bytes of texts after a call is made again, so
    // that a call site keeps no more than a frame would.
    void Trim();

    Procedure* procedure;
    ExternalHandler resolvedFor = nullptr;
    NativeHandler handler = nullptr;
    enum class Items { kNotMade, kMade, kRefused } items = Items::kNotMade;
    std::vector<std::unique_ptr<CVariableItem>> params;
    std::vector<CVariableItem*> paramList;
    std::unique_ptr<CVariableItem> result;
    std::vector<std::unique_ptr<CVarient>> extras;
    std::vector<CVarient*> extraList;
    bool busy = false;
};
