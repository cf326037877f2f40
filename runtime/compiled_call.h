// CompiledCall: a call site of a procedure that the owner of the
// environment's external handler has compiled (CallRunner). The call runs
// as the compiled code, which reads the arguments in the caller's frame as
// the procedure's frame would read them, and makes no frame. Where the code
// does not run the call, or its run fails or has anything to say, it leaves
// nothing behind, and the call runs as ExecuteEnv::Execute runs it, with
// its messages. Tested through decoder/procedure_code_test.cpp.
#pragma once

#include "runtime/hook_services.h"

class CallArguments;
class CVarient;
class ExecuteEnv;
class Procedure;
class RunTimeStk;

// A procedure in a form that runs without a frame (made by the owner of
// the handler).
class CallRunner {
  public:
    virtual ~CallRunner() = default;
    // Runs the call with args from caller, the top frame: 1 done, with
    // result and the environment's return value as the frame's call leaves
    // them; 0 failed, with the messages of the frame's call; -1 not run, or
    // run and undone with nothing traced or kept as an error (the frame
    // then runs the call).
    virtual int Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                    CVarient& result) = 0;
};

class CompiledCall {
  public:
    explicit CompiledCall(Procedure* procedure) : procedure(procedure) {}
    CompiledCall(const CompiledCall&) = delete;
    CompiledCall& operator=(const CompiledCall&) = delete;

    // Whether the owner of env's handler has compiled the procedure, and
    // env is neither traced (which shows every statement) nor cancelled.
    bool Ready(const ExecuteEnv& env);
    // CallRunner::Run of the compiled code.
    int Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args, CVarient& result) {
        return runner->Run(env, caller, args, result);
    }

  private:
    Procedure* procedure;
    ExternalHandler resolvedFor = nullptr;
    void* ownerFor = nullptr;
    CallRunner* runner = nullptr;
};
