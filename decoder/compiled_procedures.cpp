#include "decoder/compiled_procedures.h"

#include "script/procedure.h"

ProcedureCode* CompiledProcedures::CodeOf(const Procedure& procedure) {
    auto found = codes.find(&procedure);
    if (found != codes.end()) return found->second.get();
    // A call of the procedure from within its own body finds no code.
    codes[&procedure] = nullptr;
    std::unique_ptr<ProcedureCode> code = ProcedureCode::Compile(
        const_cast<Procedure&>(procedure), quiet, ProcedureCode::Mode::kGeneral, this);
    ProcedureCode* held = code.get();
    codes[&procedure] = std::move(code);
    return held;
}
