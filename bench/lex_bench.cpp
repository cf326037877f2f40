// Throughput of the matcher on C-like text with a rule table shaped like the
// script lexer's: identifiers, numbers, operators, strings, comments and
// white space.
#include <benchmark/benchmark.h>

#include <string>

#include "pattern/lex.h"
#include "pattern/rule_table.h"

namespace {

void BuildTable(RuleTable& table) {
    table.AddRule(2003, "NUMBER_HEX", "0[xX][A-Fa-f0-9]+");
    table.AddRule(2004, "NUMBER_DOUBLE", "[-+]?\\d+.\\d+");
    table.AddRule(2002, "NUMBER_DEX", "[-+]?\\d+");
    table.AddRule(2005, "{?[\r\n]}");
    table.AddRule(11, "/\\*{?>*/}");
    table.AddRule(10, "REMARKLINE", "//\\.*$");
    table.AddRule(1, "IDENT", "[A-Za-z_][A-Za-z_0-9]*");
    table.AddRule(5, "STRING", "\"{?>\"}|'{?>'}");
    table.AddRule(7, "==|\\<=|>=|>>|\\<\\<|\\<|>|&&|\\|\\||!=|::|"
                     "[#=\\{\\},.;[\\]:+\\-\\*\\/%&|!^\\(\\)?~\"]");
    table.AddRule(9, "NUMBER", "{NUMBER_HEX 3}|{NUMBER_DOUBLE 4}|{NUMBER_DEX 2}");
    table.AddRule(1001, "[ \r\n\t\x80-\xff]{?[^ \r\n\t\x80-\xff]}");
    table.MergeEndStates();
}

// About size bytes of protocol-script-like text, the same every run.
std::string MakeText(size_t size) {
    static const char* const pieces[] = {
        "struct Header {\n",       "    UINT2 length;\n",
        "    BYTE flags : 4;\n",   "    DWORD id[4];\n",
        "};\n",                    "// a line comment\n",
        "/* a block\n comment */\n", "x = a + b * 0x1F - 12;\n",
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
    RuleTable table;
    BuildTable(table);
    std::string text = MakeText(1 << 20);
    Lex lex;
    lex.SetRuleTable(&table);
    Token token;
    int64_t tokens = 0;
    for (auto _ : state) {
        lex.SetBuffer(text.data(), static_cast<int32_t>(text.size()));
        while (lex.GetNextToken(token, false) == 1) ++tokens;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.counters["tokens"] = benchmark::Counter(static_cast<double>(tokens) /
                                                  static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LexScriptText)->Unit(benchmark::kMillisecond);

}  // namespace
