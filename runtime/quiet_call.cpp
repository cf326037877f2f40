#include "runtime/quiet_call.h"

#include <new>

#include "runtime/quiet_frame.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "values/expr_evaluator.h"

CallResults::CallResults() = default;

CallResults::~CallResults() = default;

int CallResults::RunInFrame(ExecuteEnv& env, Procedure* procedure, const uint32_t* words, int count,
                            CVarient& result) {
    if (runner != nullptr) {
        int ran = runner->Run(env, words, count, result);
        if (ran >= 0) return ran;
    }
    if (frame == nullptr) frame.reset(new (std::nothrow) QuietFrame(procedure));
    return frame != nullptr ? frame->Run(env, words, count, result) : -1;
}

void CallResults::SetRunner(std::unique_ptr<QuietRunner> made) {
    runner = std::move(made);
}

int CallResults::Search(const uint32_t* words, const int32_t* types, int count) const {
    if (count < 0 || count > kMaxArguments) return -1;
    uint64_t key = KeyOf(words, count);
    for (int e = 0; e < kKept; ++e) {
        if (keys[e] != key) continue;
        const Entry& entry = entries[e];
        bool same = true;
        for (int i = 0; same && i < count; ++i) {
            same = entry.words[i] == words[i] && entry.types[i] == types[i];
        }
        if (same) return e;
    }
    return -1;
}

int CallResults::TakeEntry() {
    int e = next;
    for (int tried = 1; pins[e] != 0; ++tried) {
        if (tried == kKept) return -1;
        e = (e + 1) % kKept;
    }
    next = (e + 1) % kKept;
    keys[e] = 0;
    return e;
}

void CallResults::Label(int e, const uint32_t* words, const int32_t* types, int count) {
    Entry& entry = entries[e];
    for (int i = 0; i < count; ++i) {
        entry.words[i] = words[i];
        entry.types[i] = types[i];
    }
    keys[e] = KeyOf(words, count);
}

void CallResults::Keep(const uint32_t* words, const int32_t* types, int count,
                       const CVarient& result) {
    if (count < 0 || count > kMaxArguments) return;
    int e = TakeEntry();
    if (e >= 0 && entries[e].result.clone(result)) Label(e, words, types, count);
}

int CallResults::RunAndKeep(ExecuteEnv& env, Procedure* procedure, const uint32_t* words,
                            const int32_t* types, int count, CVarient& out, int& entry) {
    entry = count >= 0 && count <= kMaxArguments ? TakeEntry() : -1;
    if (entry < 0) return RunInFrame(env, procedure, words, count, out);
    // Pinned, the entry stays this call's while the calls that it makes
    // keep their own results.
    Pin(entry);
    int ran = RunInFrame(env, procedure, words, count, entries[entry].result);
    Unpin(entry);
    if (ran > 0) {
        Label(entry, words, types, count);
    } else {
        entry = -1;
    }
    return ran;
}

bool QuietCall::Ready(const ExecuteEnv& env) {
    if (env.IsTracing() || env.canceled || env.externalHook == nullptr) return false;
    if (env.externalHook != resolvedFor || env.hookOwner != ownerFor) {
        resolvedFor = env.externalHook;
        ownerFor = env.hookOwner;
        QuietResolver resolver = QuietResolverOf(resolvedFor);
        results = resolver != nullptr ? resolver(ownerFor, *procedure) : nullptr;
    }
    return results != nullptr;
}

bool QuietCall::Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                    CVarient& result) {
    // The arguments are read without any effect or message: where one
    // cannot be, or the call would nest too deep, the call runs as usual.
    int count = args.GetSize();
    uint32_t words[CallResults::kMaxArguments];
    int32_t types[CallResults::kMaxArguments];
    bool read = count <= CallResults::kMaxArguments &&
                count == procedure->parameters.GetMemberCount() &&
                env.CallDepth() + results->chain + 1 < ExecuteEnv::kMaxCallDepth;
    if (read) {
        ExprEvaluator evaluator;
        caller.BindEvaluator(evaluator);
        for (int i = 0; read && i < count; ++i) {
            read = evaluator.EvaluateInteger(args.TreeAt(i), words[i], types[i]);
        }
    }
    if (read) {
        if (const CVarient* kept = results->Find(words, types, count)) {
            return env.returnValue.clone(*kept) && result.clone(*kept);
        }
        // The parameters take the values read, in the procedure's kept frame.
        int ran = results->RunInFrame(env, procedure, words, count, result);
        if (ran == 0) return false;
        if (ran > 0) {
            results->Keep(words, types, count, result);
            return true;
        }
    }
    if (!env.Execute(procedure, args, &result)) return false;
    if (read) results->Keep(words, types, count, result);
    return true;
}
