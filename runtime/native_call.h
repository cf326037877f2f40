// NativeCall: a call site of an extern procedure that the owner of the
// environment's external handler serves itself: the arguments go into
// parameter items kept from call to call, in declaration order, and the
// native function reads them there and sets the return item, with no frame
// made, pushed or searched by name. Everything else that anyone can see
// (traces, errors, the return value) is what the usual call gives.
//
// A pure native function (the handler's owner says which are) keeps the
// results of its latest calls at the call site: a call whose arguments
// have the values of a kept call takes its result without running. The
// values are those of the arguments that are integers, and, for an
// argument that is a pure native call in turn, the values it depends on;
// text literals are the same at every call. A call with any other
// argument runs, and so does every call of a site whose calls have rarely
// been found kept.
//
// A by-address parameter refers to the caller's variable, as in a frame.
// Its argument must name the variable by itself, and the variable must not
// be a struct or a choice: a native function handed one of those could run
// script code (a decode) while no frame of the call is on the stack. Other
// calls take the usual route, decided before any argument is read.
// Tested by runtime/native_call_test.cpp.
#pragma once

#include <memory>
#include <vector>

#include "runtime/execute_env.h"
#include "runtime/hook_services.h"
#include "runtime/quiet_call.h"
#include "types/variable_item.h"

class CallArguments;
class ExprEvaluator;
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
    // The integer result of a call without arguments whose native function
    // can be read (NativeReader), taken without running it: the
    // environment's return value is then what the call would leave. False,
    // changing nothing, where the call must run.
    bool ReadInteger(ExecuteEnv& env, const CallArguments& args, uint32_t& word, int32_t& type);

  private:
    // The values that a pure call's result depends on, in order.
    struct Key {
        uint32_t words[CallResults::kMaxArguments];
        int32_t types[CallResults::kMaxArguments];
        int count = 0;
    };
    static constexpr int kMaxKeyDepth = 4;
    // Whether the site is served natively and pure in env.
    bool PureIn(const ExecuteEnv& env) const;
    // Adds the values of the call's arguments to key: false where an
    // argument is neither a literal, an integer nor a pure native call
    // whose own arguments are such, or there are too many values.
    bool CollectKey(const ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args, Key& key,
                    int depth) const;
    // The kept items, made once: false when a parameter or the return type
    // is of a kind that only a frame serves.
    bool MakeItems();
    // An item holding many bytes of texts after a call is made again, so
    // that a call site keeps no more than a frame would.
    void Trim();

    Procedure* procedure;
    ExternalHandler resolvedFor = nullptr;
    NativeHandler handler = nullptr;
    NativeReader reader = nullptr;
    enum class Items { kNotMade, kMade, kRefused } items = Items::kNotMade;
    // Whether the variables that the by-address arguments name are there,
    // none a struct or a choice; each found goes to sources.
    bool FindSources(RunTimeStk& caller, const CallArguments& args);
    bool ByAddress(int i) const;
    // Sets integer parameter i to its argument's value read in machine
    // words, as SetParameter would store it; false, changing nothing, where
    // the argument is not read so (SetParameter then takes it).
    bool SetIntegerParameter(int i, ExprEvaluator& evaluator, const CallArguments& args);

    std::vector<std::unique_ptr<CVariableItem>> params;
    std::vector<CVariableItem*> paramList;
    struct Source {
        CVariableItem* item;
        int32_t idx;
    };
    std::vector<Source> sources;  // per parameter; for the by-address ones
    // Per parameter: a single integer that is no bit field, whose argument
    // may be read in machine words.
    std::vector<bool> integers;
    bool anyByAddress = false;
    bool pure = false;
    std::unique_ptr<CallResults> results;  // made for a pure site
    KeptHits hits;
    std::unique_ptr<CVariableItem> result;
    std::vector<std::unique_ptr<CVarient>> extras;
    std::vector<CVarient*> extraList;
    bool busy = false;
};
