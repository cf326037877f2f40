// QuietDumps: the Dump procedures whose calls a translation may leave out
// when no row shows the comments they make. Such a procedure, given any
// integer, returns a text and does nothing else: it cannot fail, trace,
// set a caption or change a variable outside its own call, so leaving it out
// shows nowhere. What qualifies is worked out from the procedure's
// statements once per procedure: parameters and local variables of integer
// or text types, assignments to them, "if", and "return" of a value on every
// path; integer operators but division and remainder; literals, enum items,
// and calls of procedures that qualify in turn and of the built-ins
// strFormat (a literal format whose values and length are known to fit) and
// sysGetEnumComment (a literal name of an enum that exists). A local
// variable is read only where every path has assigned it.
// Tested by decoder/quiet_dumps_test.cpp.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "types/instance_dump.h"

class ExecuteEnv;
class Procedure;

class QuietDumps final : public QuietComments {
  public:
    explicit QuietDumps(ExecuteEnv& env) : env(env) {}

    // Whether the comment of element index of item is made by a Dump
    // procedure that is quiet for it: the element holds an integer that
    // the call takes as it is, and the run is not traced or cancelled.
    bool IsQuiet(CVariableItem& item, int32_t index) override;
    // Whether dump, called with one integer, is quiet.
    bool QuietProcedure(const Procedure& dump);
    // Forgets what was worked out, before another script replaces the
    // procedures.
    void Clear() { known.clear(); }

    // What a procedure returns when its calls are quiet, and how many calls
    // deep its quiet calls go below it.
    struct Shape {
        int8_t kind;  // 0: not quiet
        int8_t chain;
    };

  private:
    ExecuteEnv& env;
    std::unordered_map<const Procedure*, Shape> known;
};
