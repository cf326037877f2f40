// What the owner of an environment's external handler offers the run time
// for the procedures it knows, registered per handler: native functions for
// extern procedures (NativeCall), which of them are pure, and the kept
// results of quiet procedures (QuietCall). Tested through runtime/native_call_test.cpp and
// runtime/quiet_call_test.cpp.
#pragma once

#include "runtime/execute_env.h"

class CallResults;
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
// Whether the native function of procedure changes nothing and gives, when
// it succeeds, a result that depends on nothing but its arguments.
using PureResolver = bool (*)(const Procedure& procedure);

// From now on, the procedures that resolver names are served natively in
// the environments whose external handler is hook. Registering a hook again
// replaces its resolver.
void RegisterNatives(ExternalHandler hook, NativeResolver resolver);
// The same for the kept results of quiet procedures.
void RegisterQuietCalls(ExternalHandler hook, QuietResolver resolver);
// The same for the native functions that are pure.
void RegisterPureNatives(ExternalHandler hook, PureResolver resolver);

// What hook registered; null when nothing.
NativeResolver NativeResolverOf(ExternalHandler hook);
QuietResolver QuietResolverOf(ExternalHandler hook);
PureResolver PureResolverOf(ExternalHandler hook);
