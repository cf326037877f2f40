// TextStack: kept scratch strings of nesting calls.
// Tested by base/text_stack_test.cpp.
#include "base/text_stack.h"

#include <new>

bool TextStack::Grow() {
    std::unique_ptr<OTSTR> text(new (std::nothrow) OTSTR);
    if (text == nullptr) return false;
    texts.push_back(std::move(text));
    return true;
}

void TextStack::LetGo(OTSTR& text) {
    text.~OTSTR();
    new (&text) OTSTR();
}
