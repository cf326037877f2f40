// BoundArguments: call texts bound once. Tested by decoder/decoder_test.cpp.
#include "script/bound_arguments.h"

#include <new>

#include "script/call_arguments.h"

struct BoundArguments::Entry {
    explicit Entry(const char* callText) : text(callText), arguments(callText) { arguments.Bind(); }
    std::string text;  // the key's characters
    CallArguments arguments;
};

BoundArguments::BoundArguments() = default;
BoundArguments::~BoundArguments() = default;

const CallArguments* BoundArguments::Find(const char* text) {
    if (text == nullptr) return nullptr;
    auto found = byText.find(std::string_view(text));
    if (found != byText.end()) return &found->second->arguments;
    if (byText.size() >= kMaxTexts) return nullptr;
    std::unique_ptr<Entry> entry(new (std::nothrow) Entry(text));
    if (entry == nullptr) return nullptr;
    const CallArguments* arguments = &entry->arguments;
    std::string_view key(entry->text);
    byText.emplace(key, std::move(entry));
    return arguments;
}

void BoundArguments::Clear() {
    byText.clear();
}
