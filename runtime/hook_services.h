// What the owner of an environment's external handler offers the run time
// for the procedures it knows, registered per handler: native functions for
// extern procedures (NativeCall), which of them are pure, which give an
// integer that can be read without a call, and the kept results of quiet
// procedures (QuietCall), and the compiled code of other procedures
// (CompiledCall). Tested through runtime/native_call_test.cpp and
// runtime/quiet_call_test.cpp.
#pragma once

#include <cstdint>

#include "runtime/execute_env.h"

class CallResults;
class CallRunner;
class Procedure;
struct NativeArguments;

// Serves a call: true when done (the return item set as setReturn sets the
// "Return" variable), false with the environment's error set.
using NativeHandler = bool (*)(void* owner, ExecuteEnv& env, Procedure& procedure,
                               const NativeArguments& args);
// The handler of procedure, or null when it is called the usual way.
using NativeResolver = NativeHandler (*)(const Procedure& procedure);
// Where the owner keeps the results of procedure's calls, when its result
// depends on nothing but its integer arguments; null otherwise.
using QuietResolver = CallResults* (*)(void* owner, const Procedure& procedure);
// The compiled code of procedure, when the owner has compiled it; null
// otherwise (its calls then run in frames).
using CodeResolver = CallRunner* (*)(void* owner, const Procedure& procedure);
// Whether the native function of procedure changes nothing and gives, when
// it succeeds, a result that depends on nothing but its arguments.
using PureResolver = bool (*)(const Procedure& procedure);
// The integer that a call of procedure without arguments would return,
// read without calling it and changing nothing: true with word and type as
// the call's return value would hold them, false where the call must run
// (it would fail, or give no such integer).
using NativeReader = bool (*)(void* owner, ExecuteEnv& env, const Procedure& procedure,
                              uint32_t& word, int32_t& type);
// The reader of procedure, or null when its calls must run.
using ReaderResolver = NativeReader (*)(const Procedure& procedure);

// From now on, the procedures that resolver names are served natively in
// the environments whose external handler is hook. Registering a hook again
// replaces its resolver.
void RegisterNatives(ExternalHandler hook, NativeResolver resolver);
// The same for the kept results of quiet procedures.
void RegisterQuietCalls(ExternalHandler hook, QuietResolver resolver);
// The same for compiled procedures.
void RegisterCompiledCalls(ExternalHandler hook, CodeResolver resolver);
// The same for the native functions that are pure.
void RegisterPureNatives(ExternalHandler hook, PureResolver resolver);
// The same for the native functions whose integers can be read.
void RegisterIntegerReaders(ExternalHandler hook, ReaderResolver resolver);

// What hook registered; null when nothing.
NativeResolver NativeResolverOf(ExternalHandler hook);
QuietResolver QuietResolverOf(ExternalHandler hook);
CodeResolver CodeResolverOf(ExternalHandler hook);
PureResolver PureResolverOf(ExternalHandler hook);
ReaderResolver ReaderResolverOf(ExternalHandler hook);
