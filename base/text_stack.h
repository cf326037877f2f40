// TextStack: kept strings for the scratch texts of calls that nest (a
// decode runs a procedure that decodes again). Each call takes the next
// string for as long as it runs and gives it back when it returns, so that
// the same calls of the next message find their blocks ready instead of
// asking for new ones. Tested by base/text_stack_test.cpp.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "base/otstr.h"

class TextStack {
  public:
    // A string given back holding a block larger than this lets it go.
    static constexpr int kKeptCapacity = 4096;

    TextStack() = default;
    TextStack(const TextStack&) = delete;
    TextStack& operator=(const TextStack&) = delete;

    // The next kept string, empty, while the handle lives (a string of the
    // handle's own when no more can be kept). Handles are given back in the
    // reverse order of their taking, as locals are.
    class Text {
      public:
        explicit Text(TextStack& stack) : stack(stack) {
            if (stack.used < stack.texts.size() || stack.Grow()) {
                text = stack.texts[stack.used++].get();
                text->Empty();
            } else {
                text = &own.emplace();
            }
        }
        ~Text() {
            if (!own) stack.GiveBack(*text);
        }
        Text(const Text&) = delete;
        Text& operator=(const Text&) = delete;

        OTSTR& operator*() const { return *text; }
        OTSTR* operator->() const { return text; }

      private:
        TextStack& stack;
        OTSTR* text;
        std::optional<OTSTR> own;
    };

    // How many strings are taken now.
    size_t InUse() const { return used; }

  private:
    // One more kept string; false when memory runs out.
    bool Grow();
    void GiveBack(OTSTR& text) {
        --used;
        if (text.GetCapacity() > kKeptCapacity) LetGo(text);
    }
    // Gives the block of text back to the heap.
    static void LetGo(OTSTR& text);

    // Each string has a place of its own, which stays as more are added.
    std::vector<std::unique_ptr<OTSTR>> texts;
    size_t used = 0;
};
