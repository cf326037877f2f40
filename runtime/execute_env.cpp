// ExecuteEnv: frames, errors, flags and calls of one script execution.
// Tested by runtime/execute_env_test.cpp.
#include "runtime/execute_env.h"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "base/formatted_text.h"
#include "base/path.h"
#include "base/tracer.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"

namespace {

// Whether frame is root or one of the frames below it.
bool InTree(const RunTimeStk* root, const RunTimeStk* frame) {
    if (root == nullptr) return false;
    if (root == frame) return true;
    for (int i = 0; i < root->ChildCount(); ++i) {
        if (InTree(root->ChildAt(i), frame)) return true;
    }
    return false;
}

}  // namespace

ExecuteEnv::ExecuteEnv() {
    text = " ";
}

ExecuteEnv::~ExecuteEnv() {
    reset(true, true);
    while (spareFrames.GetSize() > 0) delete static_cast<RunTimeStk*>(spareFrames.RemoveLast());
    while (spareLists.GetSize() > 0) delete static_cast<ObArray*>(spareLists.RemoveLast());
}

ObArray* ExecuteEnv::NewList() {
    if (spareLists.GetSize() == 0) return new (std::nothrow) ObArray(25);
    return static_cast<ObArray*>(spareLists.RemoveLast());
}

// Only an empty list is kept: it never owns what its pointers point to.
void ExecuteEnv::RecycleList(ObArray* list) {
    if (list == nullptr) return;
    int before = spareLists.GetSize();
    if (list->GetSize() > 0 || before >= 2 * kMaxSpareFrames || spareLists.Add(list) == before) {
        delete list;
    }
}

// The spare frame last used for reuseKey, else a new one; null when out of
// memory.
RunTimeStk* ExecuteEnv::NewFrame(Program* program, RunTimeStk* parent, const void* reuseKey) {
    RunTimeStk* frame = nullptr;
    for (int i = spareFrames.GetSize() - 1; i >= 0 && frame == nullptr; --i) {
        if (static_cast<RunTimeStk*>(spareFrames.GetAt(i))->reuseKey == reuseKey) {
            frame = static_cast<RunTimeStk*>(spareFrames.RemoveAt(i));
        }
    }
    if (frame == nullptr) {
        frame = new (std::nothrow) RunTimeStk(program, parent, this);
        if (frame == nullptr) return nullptr;
        frame->reuseKey = reuseKey;
        return frame;
    }
    frame->program = program;
    frame->parent = parent;
    frame->env = this;
    return frame;
}

// Destroys the frame's values and child frames now, as deleting it would,
// and keeps the empty frame, with the variables it may reuse, for the next
// call; the frame recycled longest ago makes room.
void ExecuteEnv::RecycleFrame(RunTimeStk* frame) {
    if (frame == nullptr) return;
    frame->Recycle();
    if (spareFrames.GetSize() >= kMaxSpareFrames) {
        delete static_cast<RunTimeStk*>(spareFrames.RemoveAt(0));
    }
    int before = spareFrames.GetSize();
    if (spareFrames.Add(frame) == before) delete frame;
}

void ExecuteEnv::reset(bool deleteRoot, bool clearError) {
    // Frames of the root's tree belong to the root; others were left by an
    // interrupted run and are destroyed here.
    while (stack.GetSize() > 0) {
        auto* frame = static_cast<RunTimeStk*>(stack.RemoveLast());
        if (!InTree(root, frame)) delete frame;
    }
    if (deleteRoot) {
        delete root;
        root = nullptr;
    }
    if (clearError) lastError.Empty();
    canceled = returning = breaking = continuing = false;
    returnValue.clear(false);
    text = " ";
    callDepth = 0;
    clockStart = vpath::CoarseTickCount();
    checksSinceClock = 0;
}

void ExecuteEnv::InstallHooks(void* owner, bool flag, ExternalHandler function, int32_t value) {
    hookOwner = owner;
    hookFlag = flag;
    externalHook = function;
    hookValue = value;
}

RunTimeStk* ExecuteEnv::GetTopStk(int n) const {
    int count = stack.GetSize();
    int position = n == 0 ? count - 1 : count + n - 1;
    if (position < 0 || position >= count) return nullptr;
    return static_cast<RunTimeStk*>(stack.GetAt(position));
}

void ExecuteEnv::SetLastError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText message(format, args);
    va_end(args);
    if (!canceled && lastError.IsEmpty() && !TraceHold::Active()) lastError = message.Get();
    TraceText(message.Get());
}

void ExecuteEnv::Cancel() {
    canceled = true;
    lastError = "canceled !";
}

bool ExecuteEnv::Step() {
    if (monitor == nullptr) return true;
    if (monitor->step(1, -1) != -1) return true;
    Cancel();
    return false;
}

bool ExecuteEnv::CheckClock() {
    checksSinceClock = 0;
    // Unsigned difference: right across the wrap of the tick count. A grain
    // more, so that the limit is never cut short.
    uint32_t elapsed = vpath::CoarseTickCount() - clockStart;
    if (elapsed < timeLimit || elapsed - timeLimit < vpath::CoarseTickGrain()) return true;
    Cancel();
    return false;
}

void ExecuteEnv::push(RunTimeStk* frame) {
    if (frame != nullptr) stack.Add(frame);
}

bool ExecuteEnv::PushEnv(RunTimeStk* frame, bool prepare) {
    if (frame == nullptr) return false;
    frame->env = this;
    if (prepare && !frame->Prepare(nullptr, nullptr, false)) {
        SetLastError("RunTimeStk prepare error");
        return false;
    }
    push(frame);
    if (prepare && frame->program != nullptr && !frame->program->Run(*this)) {
        PopEnv(frame, false);
        return false;
    }
    return true;
}

bool ExecuteEnv::PopEnv(RunTimeStk* frame, bool destroy) {
    if (frame == nullptr || GetTopStk(0) != frame) {
        SetLastError("ExecuteEnv::PopEnv() fail, found stack data error !");
        return false;
    }
    stack.RemoveLast();
    if (destroy) delete frame;
    return true;
}

// Runs the initialisation of frame's tree: the blocks first, then the
// frame's own program.
bool ExecuteEnv::RunInitialisation(RunTimeStk* frame) {
    for (int i = 0; i < frame->ChildCount(); ++i) {
        if (!RunInitialisation(frame->ChildAt(i))) return false;
    }
    frame->initialised = true;
    return frame->program == nullptr || Execute(frame->program);
}

bool ExecuteEnv::Prepare(Program* program) {
    reset(false, true);
    // The root of the same program is emptied as deleting it would empty
    // it, and made again in place, renewing the plain variables it kept.
    if (root != nullptr && root->program == program) {
        root->Recycle();
    } else {
        delete root;
        root = new (std::nothrow) RunTimeStk(program, nullptr, this);
    }
    if (root != nullptr && root->Prepare(nullptr, nullptr, true) && RunInitialisation(root)) {
        return true;
    }
    SetLastError("Prepare execute env failed");
    reset(true, false);
    return false;
}

bool ExecuteEnv::Execute(Program* program) {
    if (program == nullptr) return false;
    if (RunTimeStk* existing = root != nullptr ? root->FindFrameOfProgram(program) : nullptr) {
        push(existing);
        bool ok = program->Run(*this);
        PopEnv(existing, false);
        return ok;
    }
    // A block that declares nothing runs in the top frame: a frame of its
    // own would hold nothing, and every look-up would pass it. A traced
    // run keeps it, as the frames it shows are those of the blocks.
    if (!IsTracing() && GetTopStk(0) != nullptr && program->VariableItems().empty()) {
        return program->Run(*this);
    }
    RunTimeStk* parent = GetTopStk(0) != nullptr ? GetTopStk(0) : root;
    RunTimeStk* frame = NewFrame(program, parent);
    if (frame == nullptr) {
        SetLastError("Execute fail, new RunTimeStk error");
        return false;
    }
    if (!frame->Prepare(nullptr, nullptr, false)) {
        SetLastError("Execute fail, RunTimeStk prepare error");
        RecycleFrame(frame);
        return false;
    }
    push(frame);
    bool ok = program->Run(*this);
    if (PopEnv(frame, false)) RecycleFrame(frame);
    return ok;
}

bool ExecuteEnv::Execute(Procedure* procedure, const char* args, CVarient* result) {
    if (procedure == nullptr) return false;
    CallArguments pieces(args);
    return Execute(procedure, pieces, result);
}

bool ExecuteEnv::Execute(Procedure* procedure, const CallArguments& args, CVarient* result) {
    return ExecuteWith(procedure, &args, nullptr, result);
}

bool ExecuteEnv::Execute(Procedure* procedure, const ElementArguments& args, CVarient* result) {
    return ExecuteWith(procedure, nullptr, &args, result);
}

bool ExecuteEnv::ExecuteWith(Procedure* procedure, const CallArguments* args,
                             const ElementArguments* element, CVarient* result) {
    if (procedure == nullptr) return false;
    const char* name = procedure->name.GetBuffer(0);
    if (callDepth >= kMaxCallDepth) {
        SetLastError("Execute %s() fail, call nesting too deep", name);
        return false;
    }
    // The new frame hangs below the frame of the program that declares the
    // procedure, else below the caller.
    RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(procedure->owner) : nullptr;
    if (parent == nullptr) parent = GetTopStk(0) != nullptr ? GetTopStk(0) : root;
    bool rootPushed = false;
    if (stack.GetSize() == 0 && root != nullptr) {
        push(root);
        rootPushed = true;
    }
    RunTimeStk* frame = NewFrame(procedure->body, parent, procedure);
    ObArray* params = NewList();
    ObArray* extras = NewList();
    bool ok = frame != nullptr && params != nullptr && extras != nullptr;
    if (!ok) {
        SetLastError("Execute %s() fail, new RunTimeStk error", name);
    } else if (!(args != nullptr ? procedure->GenerateProcedureParamsList(*args, GetTopStk(0),
                                                                          *params, *extras, frame)
                                 : procedure->GenerateProcedureParamsList(
                                       *element, GetTopStk(0), *params, *extras, frame))) {
        SetLastError("Execute %s() fail, generateParamsList error", name);
        ok = false;
    }
    if (rootPushed) PopEnv(root, false);
    if (ok && !frame->Prepare(params, extras, true)) {
        SetLastError("Execute %s() fail, RunTimeStk prepare error", name);
        ok = false;
    }
    // The parameters, the return value and the body's variables: the same
    // names in the same order at every call.
    if (ok) frame->SetLayout(procedure);
    RecycleList(params);
    RecycleList(extras);
    if (!ok) {
        RecycleFrame(frame);
        return false;
    }
    bool popped = false;
    ok = CallPushed(procedure, frame, popped);
    if (popped) RecycleFrame(frame);
    if (ok && result != nullptr) ok = result->clone(returnValue);
    return ok;
}

bool ExecuteEnv::CallInFrame(Procedure* procedure, RunTimeStk* frame, CVarient* result) {
    if (procedure == nullptr || frame == nullptr) return false;
    if (callDepth >= kMaxCallDepth) {
        SetLastError("Execute %s() fail, call nesting too deep", procedure->name.GetBuffer(0));
        return false;
    }
    bool popped = false;
    bool ok = CallPushed(procedure, frame, popped);
    if (ok && result != nullptr) ok = result->clone(returnValue);
    return ok;
}

bool ExecuteEnv::CallPushed(Procedure* procedure, RunTimeStk* frame, bool& popped) {
    push(frame);
    ++callDepth;
    bool ok = procedure->Call(*this);
    --callDepth;
    popped = PopEnv(frame, false);
    return ok;
}

int ExecuteEnv::CallExternal(Procedure* procedure) {
    if (externalHook == nullptr) return -1;
    void* argv[3] = {this, procedure, hookArgument};
    return externalHook(hookOwner, 3, argv) != 0 ? 1 : 0;
}
