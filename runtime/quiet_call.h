// QuietCall: a call site of a procedure whose result depends on nothing but
// its integer arguments: the owner of the environment's external handler
// has found that it cannot fail and changes nothing (a quiet procedure). A
// call whose arguments have the values of a recent call of the procedure
// takes that call's result instead of running again; any other call runs
// as ExecuteEnv::Execute runs it, and its result is kept.
// Tested by runtime/quiet_call_test.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/hook_services.h"
#include "values/cvarient.h"

class CallArguments;
class ExecuteEnv;
class Procedure;
class QuietFrame;
class RunTimeStk;

// A quiet procedure of integer parameters in a form that runs without a
// frame (made by the owner of the handler).
class QuietRunner {
  public:
    virtual ~QuietRunner() = default;
    // As QuietFrame::Run: 1 the call succeeded, 0 it failed, -1 it did not
    // run and changed nothing that anyone sees (the frame then runs it).
    virtual int Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) = 0;
};

// The results of the latest calls of one procedure, by the values of their
// arguments, kept by the owner of the handler.
class CallResults {
  public:
    static constexpr int kMaxArguments = 8;
    static constexpr int kKept = 16;

    CallResults();
    ~CallResults();
    CallResults(const CallResults&) = delete;
    CallResults& operator=(const CallResults&) = delete;

    // The result of a call with these argument values, or null.
    const CVarient* Find(const uint32_t* words, const int32_t* types, int count) const {
        int e = Search(words, types, count);
        return e >= 0 ? &entries[e].result : nullptr;
    }
    // The entry of Find's result, or -1.
    int Search(const uint32_t* words, const int32_t* types, int count) const;
    const CVarient& ResultAt(int e) const { return entries[e].result; }
    // Keeps result for these argument values in place of the oldest entry
    // that is not pinned (none while all are).
    void Keep(const uint32_t* words, const int32_t* types, int count, const CVarient& result);
    // A pinned entry's result stays where it is, as long as it is pinned, for
    // a caller that reads it in place while other calls run.
    void Pin(int e) { ++pins[e]; }
    void Unpin(int e) { --pins[e]; }

    // Runs procedure, whose results these are, for argument values that no
    // kept result has: through the runner when there is one and it runs,
    // else in the frame kept for it (QuietFrame::Run), made at the first
    // such call: 1 done, 0 failed, -1 not run.
    int RunInFrame(ExecuteEnv& env, Procedure* procedure, const uint32_t* words, int count,
                   CVarient& result);

    // RunInFrame with the result kept for these values when the call
    // succeeds: written straight into the entry that Keep would take, whose
    // index goes to entry (-1 while every entry is pinned: the result then
    // goes to out and is not kept). The entry is found by no search while
    // the call runs.
    int RunAndKeep(ExecuteEnv& env, Procedure* procedure, const uint32_t* words,
                   const int32_t* types, int count, CVarient& out, int& entry);

    void SetRunner(std::unique_ptr<QuietRunner> made);

    // How many calls deep the procedure's own calls go below it.
    int chain = 0;

  private:
    struct Entry {
        uint32_t words[kMaxArguments];
        int32_t types[kMaxArguments];
        CVarient result;
    };
    // Each entry's argument count plus one (0: empty) above its first word,
    // side by side, so that a search passes over the entries that differ
    // there without touching them.
    static uint64_t KeyOf(const uint32_t* words, int count) {
        return (static_cast<uint64_t>(count + 1) << 32) | (count > 0 ? words[0] : 0u);
    }
    // The oldest entry that is not pinned, emptied, with next past it; -1
    // while all are pinned.
    int TakeEntry();
    // Sets entry e's argument values and key.
    void Label(int e, const uint32_t* words, const int32_t* types, int count);
    uint64_t keys[kKept] = {};
    std::unique_ptr<QuietFrame> frame;
    std::unique_ptr<QuietRunner> runner;
    Entry entries[kKept];
    uint16_t pins[kKept] = {};
    int next = 0;
};

// How well a call site that keeps results finds them: a site tries
// kTrialCalls calls, then looks on only while at least one call in eight
// finds its result kept.
class KeptHits {
  public:
    static constexpr uint32_t kTrialCalls = 64;
    // Whether a call should look for a kept result; counts it as looking.
    bool Look() {
        if (looked >= kTrialCalls && found * 8 < looked) return false;
        if (looked < UINT32_MAX) ++looked;
        return true;
    }
    void Found() { ++found; }

  private:
    uint32_t looked = 0;
    uint32_t found = 0;
};

class QuietCall {
  public:
    explicit QuietCall(Procedure* procedure) : procedure(procedure) {}
    QuietCall(const QuietCall&) = delete;
    QuietCall& operator=(const QuietCall&) = delete;

    // Whether the owner of env's handler keeps the procedure's results and
    // env is neither traced (which shows every call) nor cancelled.
    bool Ready(const ExecuteEnv& env);
    // The call from caller, the top frame; result receives the return value.
    bool Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args, CVarient& result);

  private:
    Procedure* procedure;
    ExternalHandler resolvedFor = nullptr;
    void* ownerFor = nullptr;
    CallResults* results = nullptr;
};
