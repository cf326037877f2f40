// BoundArguments: the arguments of calls whose texts a caller makes again
// and again (the decoder's calls of Translate procedures, one text per
// member element), each text split and bound once. Tested by
// decoder/decoder_test.cpp through the decoder's calls.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class CallArguments;

class BoundArguments {
  public:
    // Texts kept at most; later texts are not bound (their callers split
    // them at every call), so that the memory stays bounded.
    static constexpr size_t kMaxTexts = 4096;

    BoundArguments();
    ~BoundArguments();
    BoundArguments(const BoundArguments&) = delete;
    BoundArguments& operator=(const BoundArguments&) = delete;

    // The bound arguments of text, made at its first use; null when no
    // more texts are kept (or memory ran out). The object stays until
    // Clear, also while texts are added.
    const CallArguments* Find(const char* text);
    void Clear();

  private:
    struct Entry;
    std::unordered_map<std::string_view, std::unique_ptr<Entry>> byText;
};
