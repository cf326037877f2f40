#include "runtime/compiled_call.h"

#include "runtime/execute_env.h"

bool CompiledCall::Ready(const ExecuteEnv& env) {
    if (env.IsTracing() || env.canceled || env.externalHook == nullptr) return false;
    if (env.externalHook != resolvedFor || env.hookOwner != ownerFor) {
        resolvedFor = env.externalHook;
        ownerFor = env.hookOwner;
        CodeResolver resolver = CodeResolverOf(resolvedFor);
        runner = resolver != nullptr ? resolver(ownerFor, *procedure) : nullptr;
    }
    return runner != nullptr;
}
