// Throughput of the matcher and of the script lexer: the plain matcher over
// C-like text with the script token rules, and the script lexer (keywords,
// comments skipped) over a generated protocol script.
#include <benchmark/benchmark.h>

#include <string>

#include "pattern/lex.h"
#include "pattern/rule_table.h"
#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"

namespace {

// About size bytes of protocol-script-like text, the same every run.
std::string MakeText(size_t size) {
    static const char* const pieces[] = {
        "struct Header {\n",
        "    UINT2 length;\n",
        "    BYTE flags : 4;\n",
        "    DWORD id[4];\n",
        "};\n",
        "// a line comment\n",
        "/* a block\n comment */\n",
        "x = a + b * 0x1F - 12;\n",
        "if (n >= 3.25 && m != 7) { return \"text\"; }\n",
        "while (i < count) i = i << 1;\n",
        "name::member[2].value = 'c';\n",
    };
    std::string text;
    uint32_t seed = 7;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += pieces[(seed >> 16) % (sizeof pieces / sizeof pieces[0])];
    }
    return text;
}

void BM_LexScriptText(benchmark::State& state) {
    std::string text = MakeText(1 << 20);
    Lex lex;
    lex.SetRuleTable(&ScriptRuleTable());
    Token token;
    int64_t tokens = 0;
    for (auto _ : state) {
        lex.SetBuffer(text.data(), static_cast<int32_t>(text.size()));
        while (lex.GetNextToken(token, false) == 1) ++tokens;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.counters["tokens"] =
        benchmark::Counter(static_cast<double>(tokens) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LexScriptText)->Unit(benchmark::kMillisecond);

// About size bytes of a protocol script: structs with bit fields and
// arrays, enums, maps, procedures and comments.
std::string MakeScript(size_t size) {
    std::string text = "#define PROTOCOL_NAME \"Bench\"\n#include \"common.txt\"\n";
    for (int n = 0; text.size() < size; ++n) {
        std::string id = std::to_string(n);
        text += "/* Message " + id + ": header and body\n   with a two-line comment */\n";
        text += "enum Kind" + id + " { KIND_A = 0x01, KIND_B = 0x02, KIND_C = 12 };\n";
        text += "struct Msg" + id +
                " {\n"
                "    UINT2 length;          // bytes that follow\n"
                "    BYTE version : 4;\n"
                "    BYTE flags : 4;\n"
                "    unsigned char code;\n"
                "    DWORD ids[4];\n"
                "    Choice body;\n"
                "};\n";
        text += "DeclareMap Map" + id + " { Item(1, Msg" + id + "), Item(2, Other" + id + ") };\n";
        text += "int Check" + id +
                "(int value, string name) {\n"
                "    if (value >= 3 && value != 7) { return value * 2 + 1; }\n"
                "    while (value < 100) value = value << 1;\n"
                "    strFormat(name, \"%d items\", value); // format it\n"
                "    return -1.5;\n"
                "}\n";
    }
    return text;
}

void BM_ScriptLexer(benchmark::State& state) {
    std::string text = MakeScript(1 << 20);
    ScriptLexer lexer;
    Token token;
    int64_t tokens = 0;
    for (auto _ : state) {
        lexer.SetBuffer(text.data(), static_cast<int32_t>(text.size()));
        while (lexer.GetToken(token, 0, false) == 1) ++tokens;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.counters["tokens/s"] =
        benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptLexer)->Unit(benchmark::kMillisecond);

}  // namespace
