// FoldedNameIndex: a hash index of names, letters folded as the script
// language compares them, over a list that only grows at its end between
// removals (a Program's items, a frame's variables). Tested through the
// look-ups that use it (script/compiler_test.cpp, bench/compile_bench.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

template <typename T>
class FoldedNameIndex {
  public:
    // The text with A-Z as a-z, as OTSTR::Compare ignores letter case.
    static void Fold(const char* text, size_t n, std::string& out) {
        out.clear();
        if (n > 0) out.assign(text, n);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }

    // Brings the index up to a list of size entries whose removal count is
    // removals: after a removal it is made again, otherwise the entries
    // added since are indexed. keyOf(i, key) writes the key of entry i and
    // gives the entry, or null for one without a name; the first entry of
    // a key stays.
    template <typename KeyOf>
    void Update(uint32_t listRemovals, int size, KeyOf keyOf) {
        if (removals != listRemovals || count > size) {
            byKey.clear();
            removals = listRemovals;
            count = 0;
        }
        std::string key;
        for (; count < size; ++count) {
            if (T* entry = keyOf(count, key)) byKey.emplace(key, entry);
        }
    }

    T* Find(const std::string& key) const {
        auto found = byKey.find(key);
        return found != byKey.end() ? found->second : nullptr;
    }

  private:
    uint32_t removals = 0;
    int count = 0;  // the entries indexed so far
    std::unordered_map<std::string, T*> byKey;
};
