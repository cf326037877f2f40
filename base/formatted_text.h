// FormattedText: one message formatted on the stack, for the engine's
// variadic error and trace functions (at most 1023 characters; longer
// results are cut). Tested by base/tracer_test.cpp through TraceLine.
#pragma once

#include <cstdarg>
#include <cstdio>

class FormattedText {
  public:
    // A null format, or one the C formatter refuses, gives the empty text.
    FormattedText(const char* format, va_list args) __attribute__((format(printf, 2, 0))) {
        if (format == nullptr || vsnprintf(text, sizeof text, format, args) < 0) text[0] = 0;
    }
    FormattedText(const FormattedText&) = delete;
    FormattedText& operator=(const FormattedText&) = delete;

    const char* Get() const { return text; }

  private:
    char text[1024];
};
