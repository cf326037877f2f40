#include "decoder/compiled_procedures.h"

#include "script/procedure.h"

ProcedureCode* CompiledProcedures::CodeOf(const Procedure& procedure) {
    auto found = codes.find(&procedure);
    if (found != codes.end()) return found->second.get();
    std::unique_ptr<ProcedureCode> code = ProcedureCode::Compile(
        const_cast<Procedure&>(procedure), quiet, ProcedureCode::Mode::kGeneral);
    ProcedureCode* held = code.get();
    codes[&procedure] = std::move(code);
    return held;
}
