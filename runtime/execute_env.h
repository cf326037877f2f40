// ExecuteEnv: the state of one script execution: the stack of active
// frames, the root frame of the prepared program, the first error of a run,
// the flags by which statements leave loops and procedures, and the return
// value of the procedure that ran last. Plug-ins use this declaration.
// Tested by runtime/execute_env_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "base/otstr.h"
#include "values/cvarient.h"

class CallArguments;
class Procedure;
struct ElementArguments;
class Program;
class RunTimeStk;

// The handler through which extern procedures are called: argv holds the
// environment, the procedure and the hook argument; non-zero on success.
using ExternalHandler = int (*)(void* owner, int argc, void** argv);

// A monitor of a traced run: step(kind, value) after each traced line;
// returning -1 cancels the run.
class StepMonitor {
  public:
    virtual ~StepMonitor() = default;
    virtual int step(int kind, int value) = 0;
};

class ExecuteEnv : public NamedObject {
  public:
    // Calls nest at most this deep; a deeper call fails instead of
    // exhausting the native stack (about 1,600 levels fit in 8 MB in the
    // sanitizer build, so this leaves a wide margin).
    static constexpr int kMaxCallDepth = 100;
    // With a time limit the clock is read at every this many statements and
    // loop passes, keeping the check cheap.
    static constexpr uint32_t kClockInterval = 16;

    ExecuteEnv();
    ~ExecuteEnv() override;
    ExecuteEnv(const ExecuteEnv&) = delete;
    ExecuteEnv& operator=(const ExecuteEnv&) = delete;

    void reset(bool deleteRoot, bool clearError);
    void InstallHooks(void* owner, bool flag, ExternalHandler function, int32_t value);
    void SetHookArgument(void* argument) { hookArgument = argument; }
    void* GetHookArgument() const { return hookArgument; }

    // n = 0: the top frame; otherwise the frame at count + n - 1 from the
    // bottom (-1: the one below the top); null outside the stack.
    RunTimeStk* GetTopStk(int n = 0) const;
    // Keeps the first error since the last reset (unless cancelled, or
    // held by a TraceHold); every error goes to the trace log.
    void SetLastError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Cancel();
    void push(RunTimeStk* frame);
    // Binds the frame to this environment, prepares and pushes it, and with
    // prepare runs its program (popping it again on failure).
    bool PushEnv(RunTimeStk* frame, bool prepare);
    // The frame must be the top.
    bool PopEnv(RunTimeStk* frame, bool destroy);

    // Makes the root frame of program and runs its initialisation.
    bool Prepare(Program* program);
    // Runs program in its frame (the existing one from the root's tree, or
    // a new one that is destroyed afterwards).
    bool Execute(Program* program);
    // Calls procedure with an argument text; result receives its return
    // value when given. The stack is as before when the call returns.
    bool Execute(Procedure* procedure, const char* args, CVarient* result);
    // The same with the arguments split (and maybe bound) before.
    bool Execute(Procedure* procedure, const CallArguments& args, CVarient* result);
    // The same with the values of an element's call
    // (Procedure::TakesElementArguments).
    bool Execute(Procedure* procedure, const ElementArguments& args, CVarient* result);
    // Calls procedure in frame, a frame kept for it that holds its
    // parameters, set already, and its variables: pushed, called and popped
    // as Execute does it with a frame of its own.
    bool CallInFrame(Procedure* procedure, RunTimeStk* frame, CVarient* result);
    // Calls the native-call handler for an extern procedure: 1 handled,
    // 0 refused, -1 no handler bound.
    int CallExternal(Procedure* procedure);

    int StackSize() const { return stack.GetSize(); }
    // How deep the procedure calls in progress nest.
    int CallDepth() const { return callDepth; }
    // A call that runs without a frame of its own counts as a level while
    // it calls further, so that those calls nest as deep as from a frame.
    void EnterCall() { ++callDepth; }
    void LeaveCall() { --callDepth; }
    RunTimeStk* GetRoot() const { return root; }
    const OTSTR& GetLastError() const { return lastError; }
    bool IsTracing() const { return monitor != nullptr; }
    // Asks the monitor after a traced line; false when it cancels.
    bool Step();

    // The time a run may take, in milliseconds (0: no limit). The clock
    // starts at every reset, so at every Prepare.
    void SetTimeLimit(uint32_t ms) { timeLimit = ms; }
    uint32_t GetTimeLimit() const { return timeLimit; }
    // Asked before every statement and loop pass: false once the run is
    // cancelled. When the time limit has passed it cancels the run itself.
    bool KeepRunning() { return KeepRunning(1); }
    // The same for steps statements at once.
    bool KeepRunning(uint32_t steps) {
        if (canceled) return false;
        if (timeLimit == 0 || (checksSinceClock += steps) < kClockInterval) return true;
        return CheckClock();
    }

    ObArray stack{25};  // RunTimeStk*, the last pushed on top; not owned
    OTSTR text;         // the indent of traced lines
    bool canceled = false;
    bool returning = false;
    CVarient returnValue;
    bool breaking = false;
    bool continuing = false;
    RunTimeStk* root = nullptr;  // owned
    OTSTR lastError;
    void* hookOwner = nullptr;
    ExternalHandler externalHook = nullptr;
    void* secondOwner = nullptr;
    ExternalHandler secondHook = nullptr;
    bool hookFlag = true;
    int32_t hookValue = 0;
    int32_t spare = 0;
    StepMonitor* monitor = nullptr;  // not owned; tracing is on while set

    // Frames of calls are recycled: a popped frame is cleared and kept for
    // the next call, sparing the allocations of a new one. Spare frames are
    // matched by reuseKey (the procedure called), so that the variables a
    // frame kept serve the next call of the same procedure. A frame handed
    // back must be off the stack, and its variables its own.
    RunTimeStk* NewFrame(Program* program, RunTimeStk* parent, const void* reuseKey = nullptr);
    void RecycleFrame(RunTimeStk* frame);

  private:
    // Execute from the arguments' text, or from an element's values.
    bool ExecuteWith(Procedure* procedure, const CallArguments* args,
                     const ElementArguments* element, CVarient* result);
    static constexpr int kMaxSpareFrames = 32;
    // Pushes frame, calls procedure in it and pops it again; popped says
    // whether it was still the top.
    bool CallPushed(Procedure* procedure, RunTimeStk* frame, bool& popped);
    // The lists in which a call's parameters are built, recycled likewise.
    ObArray* NewList();
    void RecycleList(ObArray* list);
    bool RunInitialisation(RunTimeStk* frame);
    bool CheckClock();
    void* hookArgument = nullptr;
    int callDepth = 0;
    uint32_t timeLimit = 0;
    uint32_t clockStart = 0;
    uint32_t checksSinceClock = 0;
    ObArray spareFrames{kMaxSpareFrames};     // owned RunTimeStk, cleared
    ObArray spareLists{2 * kMaxSpareFrames};  // owned empty ObArray
};
