// QuietFrame: the frame of a quiet procedure (see QuietCall) of integer
// parameters, kept from call to call. A call whose arguments are read as
// integers already sets the parameters of the kept frame to them, as a new
// frame's would be set, and runs the body there: no frame is made, no item
// renewed and no argument read twice. The procedure changes nothing outside
// its call and reads a local variable only after assigning it, so what a
// call leaves in the frame makes no difference to the next call.
// Tested by runtime/quiet_call_test.cpp.
#pragma once

#include <cstdint>
#include <memory>

class CVarient;
class ExecuteEnv;
class Procedure;
class RunTimeStk;

class QuietFrame {
  public:
    explicit QuietFrame(Procedure* procedure);
    ~QuietFrame();
    QuietFrame(const QuietFrame&) = delete;
    QuietFrame& operator=(const QuietFrame&) = delete;

    // Calls the procedure in env with parameter i set to words[i]; result
    // receives the return value. 1 the call succeeded, 0 it failed (with
    // its messages), -1 it did not run and changed nothing that anyone
    // sees: the frame is in use, could not be made, or the call would be
    // refused for its nesting. The caller has checked the argument count.
    int Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result);

  private:
    // The frame made for env, its parameters and "Return" first and then
    // the body's variables, as a call's frame holds them.
    bool Make(ExecuteEnv& env, RunTimeStk* parent);

    Procedure* procedure;
    std::unique_ptr<RunTimeStk> frame;
    bool busy = false;
};
