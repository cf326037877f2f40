#include "runtime/hook_services.h"

#include <mutex>

namespace {

struct Registered {
    ExternalHandler hook;
    NativeResolver natives;
    QuietResolver quiet;
    CodeResolver code;
    PureResolver pure;
    ReaderResolver readers;
};

// Few hooks ever register (the decoder's): a short list, read and written
// under the lock, which a call site takes only when its handler changed.
constexpr int kMaxHooks = 4;
Registered registered[kMaxHooks];
int registeredCount = 0;
std::mutex registering;

// The entry of hook, made when there is none and room is left; null
// otherwise. Called under the lock.
Registered* EntryOf(ExternalHandler hook, bool make) {
    for (int i = 0; i < registeredCount; ++i) {
        if (registered[i].hook == hook) return &registered[i];
    }
    if (!make || registeredCount >= kMaxHooks) return nullptr;
    registered[registeredCount] = {hook, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &registered[registeredCount++];
}

// Sets one resolver of hook's entry, made when there is none.
template <typename Resolver>
void Register(ExternalHandler hook, Resolver Registered::*field, Resolver resolver) {
    std::lock_guard<std::mutex> lock(registering);
    if (Registered* entry = EntryOf(hook, true)) entry->*field = resolver;
}

// One resolver of hook's entry; null when hook registered none.
template <typename Resolver>
Resolver ResolverOf(ExternalHandler hook, Resolver Registered::*field) {
    std::lock_guard<std::mutex> lock(registering);
    Registered* entry = EntryOf(hook, false);
    return entry != nullptr ? entry->*field : nullptr;
}

}  // namespace

void RegisterNatives(ExternalHandler hook, NativeResolver resolver) {
    Register(hook, &Registered::natives, resolver);
}

void RegisterQuietCalls(ExternalHandler hook, QuietResolver resolver) {
    Register(hook, &Registered::quiet, resolver);
}

void RegisterCompiledCalls(ExternalHandler hook, CodeResolver resolver) {
    Register(hook, &Registered::code, resolver);
}

void RegisterPureNatives(ExternalHandler hook, PureResolver resolver) {
    Register(hook, &Registered::pure, resolver);
}

void RegisterIntegerReaders(ExternalHandler hook, ReaderResolver resolver) {
    Register(hook, &Registered::readers, resolver);
}

NativeResolver NativeResolverOf(ExternalHandler hook) {
    return ResolverOf(hook, &Registered::natives);
}

QuietResolver QuietResolverOf(ExternalHandler hook) {
    return ResolverOf(hook, &Registered::quiet);
}

CodeResolver CodeResolverOf(ExternalHandler hook) {
    return ResolverOf(hook, &Registered::code);
}

PureResolver PureResolverOf(ExternalHandler hook) {
    return ResolverOf(hook, &Registered::pure);
}

ReaderResolver ReaderResolverOf(ExternalHandler hook) {
    return ResolverOf(hook, &Registered::readers);
}
