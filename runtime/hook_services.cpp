#include "runtime/hook_services.h"

#include <mutex>

namespace {

struct Registered {
    ExternalHandler hook;
    NativeResolver natives;
    QuietResolver quiet;
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
    registered[registeredCount] = {hook, nullptr, nullptr, nullptr, nullptr};
    return &registered[registeredCount++];
}

}  // namespace

void RegisterNatives(ExternalHandler hook, NativeResolver resolver) {
    std::lock_guard<std::mutex> lock(registering);
    if (Registered* entry = EntryOf(hook, true)) entry->natives = resolver;
}

void RegisterQuietCalls(ExternalHandler hook, QuietResolver resolver) {
    std::lock_guard<std::mutex> lock(registering);
    if (Registered* entry = EntryOf(hook, true)) entry->quiet = resolver;
}

void RegisterPureNatives(ExternalHandler hook, PureResolver resolver) {
    std::lock_guard<std::mutex> lock(registering);
    if (Registered* entry = EntryOf(hook, true)) entry->pure = resolver;
}

void RegisterIntegerReaders(ExternalHandler hook, ReaderResolver resolver) {
    std::lock_guard<std::mutex> lock(registering);
    if (Registered* entry = EntryOf(hook, true)) entry->readers = resolver;
}

NativeResolver NativeResolverOf(ExternalHandler hook) {
    std::lock_guard<std::mutex> lock(registering);
    Registered* entry = EntryOf(hook, false);
    return entry != nullptr ? entry->natives : nullptr;
}

QuietResolver QuietResolverOf(ExternalHandler hook) {
    std::lock_guard<std::mutex> lock(registering);
    Registered* entry = EntryOf(hook, false);
    return entry != nullptr ? entry->quiet : nullptr;
}

PureResolver PureResolverOf(ExternalHandler hook) {
    std::lock_guard<std::mutex> lock(registering);
    Registered* entry = EntryOf(hook, false);
    return entry != nullptr ? entry->pure : nullptr;
}

ReaderResolver ReaderResolverOf(ExternalHandler hook) {
    std::lock_guard<std::mutex> lock(registering);
    Registered* entry = EntryOf(hook, false);
    return entry != nullptr ? entry->readers : nullptr;
}
