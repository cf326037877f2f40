// CompiledProcedures: the procedures of a script in general compiled code
// (ProcedureCode), compiled at their first call, for the calls that the
// script makes of them (CompiledCall) and the decoder's calls of Translate
// procedures.
// Tested by decoder/procedure_code_test.cpp.
#pragma once

#include <memory>
#include <unordered_map>

#include "decoder/procedure_code.h"

class Procedure;
class QuietProcedures;

class CompiledProcedures {
  public:
    explicit CompiledProcedures(QuietProcedures& quiet) : quiet(quiet) {}

    // The code of procedure; null where it does not compile (the frame
    // runs its calls then).
    ProcedureCode* CodeOf(const Procedure& procedure);
    // Forgets every code, before another script replaces the procedures.
    void Clear() { codes.clear(); }

  private:
    QuietProcedures& quiet;
    std::unordered_map<const Procedure*, std::unique_ptr<ProcedureCode>> codes;
};
