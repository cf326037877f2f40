// CompileError: the furthest error of a compilation.
// Tested by pattern/gram_matcher_test.cpp.
#include "pattern/compile_error.h"

#include <cstdarg>
#include <cstdio>

#include "base/formatted_text.h"

void CompileError::Reset() {
    pos = SourcePos();
    message.Empty();
    final = false;
}

bool CompileError::Set(const SourcePos& at, const char* text) {
    if (at.offset <= pos.offset) return false;
    pos = at;
    message = text ? text : "";
    return true;
}

bool CompileError::SetF(const SourcePos& at, const char* format, ...) {
    if (at.offset <= pos.offset) return false;
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    return Set(at, text.Get());
}

bool CompileError::Replace(const SourcePos& at, const char* text) {
    if (at.offset < pos.offset) return false;
    pos = at;
    message = text ? text : "";
    return true;
}

OTSTR CompileError::ToString() const {
    OTSTR where = pos.ToString();
    OTSTR text;
    text.safeAppends("%s  ", where.GetBuffer(0));
    text.Append(message);
    return text;
}
