// Compile time of generated scripts with many names: defines, global
// variables, structs, enum items, procedures with return statements and a
// chain of structs each one holding the one before. Each shape runs at two sizes: the time should
// grow about as the size does.
#include <benchmark/benchmark.h>

#include <string>

#include "pattern/script_lexer.h"
#include "script/compiler.h"
#include "script/program.h"

namespace {

enum Shape { kDefines, kGlobals, kStructs, kEnumItems, kProcedures, kChain };

constexpr benchmark::TimeUnit kUnit = benchmark::kMillisecond;

std::string MakeScript(Shape shape, int n) {
    std::string text = "#define PROTOCOL_ROOT M\n";
    switch (shape) {
        case kDefines:
            for (int i = 0; i < n; ++i)
                text += "#define D" + std::to_string(i) + " " + std::to_string(i) + "\n";
            break;
        case kGlobals:
            for (int i = 0; i < n; ++i) text += "UINT4 g" + std::to_string(i) + ";\n";
            break;
        case kStructs:
            for (int i = 0; i < n; ++i) text += "struct S" + std::to_string(i) + " { UINT1 a; };\n";
            break;
        case kEnumItems:
            text += "enum E {\n";
            for (int i = 0; i < n; ++i)
                text += (i > 0 ? ",\n  A" : "  A") + std::to_string(i) + " = " + std::to_string(i);
            text += "\n};\n";
            break;
        case kProcedures:
            for (int i = 0; i < n; ++i) {
                text += "INT4 f" + std::to_string(i) +
                        "(INT4 a) { if (a > 1) return a + 1; return 0; }\n";
            }
            break;
        case kChain:
            text += "struct S0 { UINT1 a; };\n";
            for (int i = 1; i < n; ++i) {
                text +=
                    "struct S" + std::to_string(i) + " { S" + std::to_string(i - 1) + " s; };\n";
            }
            break;
    }
    return text + "struct M { UINT1 a; };\n";
}

void BM_Compile(benchmark::State& state, Shape shape) {
    const int n = static_cast<int>(state.range(0));
    std::string text = MakeScript(shape, n);
    if (!RegisterGrammar()) {
        state.SkipWithError("grammar not registered");
        return;
    }
    for (auto _ : state) {
        Program program;
        program.SetName("generated.txt");
        ScriptLexer lexer;
        lexer.SetBuffer(text.c_str());
        OTSTR error;
        if (!CompileFile(program, lexer, true, error)) {
            state.SkipWithError(error.GetBuffer(0));
            return;
        }
    }
    // The time per name: about the same at both sizes of a shape.
    state.counters["per_name"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_Compile, defines, kDefines)->Arg(5000)->Arg(20000)->Unit(kUnit);
BENCHMARK_CAPTURE(BM_Compile, globals, kGlobals)->Arg(5000)->Arg(20000)->Unit(kUnit);
BENCHMARK_CAPTURE(BM_Compile, structs, kStructs)->Arg(5000)->Arg(20000)->Unit(kUnit);
BENCHMARK_CAPTURE(BM_Compile, enum_items, kEnumItems)->Arg(25000)->Arg(100000)->Unit(kUnit);
BENCHMARK_CAPTURE(BM_Compile, procedures, kProcedures)->Arg(5000)->Arg(20000)->Unit(kUnit);
BENCHMARK_CAPTURE(BM_Compile, struct_chain, kChain)->Arg(1000)->Arg(4000)->Unit(kUnit);

}  // namespace
