// CompileError: the error record of one compilation. Of the messages
// reported, only the one furthest into the text is kept, so that among
// failed alternatives the one that got furthest is reported.
// Tested by pattern/gram_matcher_test.cpp.
#pragma once

#include "base/otstr.h"
#include "pattern/source_pos.h"

class CompileError {
  public:
    // No position, no message, not final.
    void Reset();
    // Keeps the message when its position lies beyond the recorded one;
    // returns whether it was kept.
    bool Set(const SourcePos& at, const char* message);
    bool SetF(const SourcePos& at, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // As Set, but also replaces a message recorded at the same position.
    bool Replace(const SourcePos& at, const char* message);

    bool IsSet() const { return !message.IsEmpty(); }
    // "<position>  <message>", the position as "%s : Ln %ld" or "Ln %ld".
    OTSTR ToString() const;

    SourcePos pos;
    OTSTR message;
    // Set by a step whose error must end the compilation.
    bool final = false;
};
