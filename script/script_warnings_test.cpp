// Tests of the warnings about compiled scripts: each trap and the script
// that avoids it.
#include "script/script_warnings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "script/program.h"
#include "script/test_compile.h"

namespace {

std::string Warnings(const char* text) {
    Program program;
    std::string compiled = testcompile::Compile(text, program);
    if (compiled != "OK") return "compile: " + compiled;
    std::vector<OTSTR> warnings;
    CollectScriptWarnings(program, warnings);
    std::string all;
    for (const OTSTR& warning : warnings) {
        std::string line = warning.GetBuffer(0);
        all += line + "\n";
    }
    return all;
}

TEST(ScriptWarningsTest, EachTrapAndItsCleanForm) {
    struct Case {
        const char* script;
        const char* warnings;  // the first warning's start; at most one
    } cases[] = {
        // NETWORK_TRANMODE: only H_TO_L switches; L_TO_H says what it does.
        {"#define NETWORK_TRANMODE h_to_l\nstruct P { UINT2 a; };\n",
         "Ln 0  warning: NETWORK_TRANMODE is 'h_to_l', so"},
        {"#define NETWORK_TRANMODE 1\n", "Ln 0  warning: NETWORK_TRANMODE is '1', so"},
        {"#define NETWORK_TRANMODE H_TO_L\nstruct P { UINT2 a; };\n", ""},
        {"#define NETWORK_TRANMODE L_TO_H\nstruct P { UINT2 a; };\n", ""},
        // ... and it must come before the structs.
        {"struct A { UINT2 a; };\n\n#define NETWORK_TRANMODE H_TO_L\n",
         "Ln 2  warning: NETWORK_TRANMODE comes after struct 'A' (Ln 0)"},
        {"struct A;\n#define NETWORK_TRANMODE H_TO_L\nstruct A { UINT2 a; };\n", ""},
        // A define written in another letter case, where a member was meant;
        // a member of a define's name that is not written so is harmless.
        {"#define N 3\nstruct P {\n  UINT1 n;\n  UINT2 r[n];\n};\n",
         "Ln 3  warning: 'n' is the define 'N' here (letter case does not count)"},
        {"#define N 3\nstruct P {\n  UINT1 n;\n  UINT2 r[N];\n};\n", ""},
        // A parameter named like a define is never read.
        {"#define N 3\nUINT1 f(UINT1 n) { return 0; }\n",
         "Ln 1  warning: parameter 'n' of procedure 'f' has the name of the define 'N'"},
        {"#define N 3\nUINT1 f(UINT1 k) { return k; }\nextern UINT1 g(UINT1 n);\n", ""},
        // Enum items are written Enum::ITEM, so a member never means one.
        {"enum E { N = 3 };\nstruct P { UINT1 n; UINT2 r[E::N]; };\n", ""},
        // TypeOF on a member.
        {"struct T = INT2 { INT1 a; UINT1 b; };\n"
         "attribute name = \"T\" { INT2 Integrate(STRING s) { return 1; } }\n"
         "struct P {\n  UINT1 k;\n  INT2 t { TypeOF T };\n};\n",
         "Ln 4  warning: TypeOF T in the attribute block of member 't' has no effect"},
        {"struct T = INT2 { INT1 a; UINT1 b; };\n"
         "attribute name = \"T\" { INT2 Integrate(STRING s) { return 1; } }\n"
         "DeclareMap ( Item , M ) { t [ 1 ] TypeOF T ; };\n",
         ""},
        // PROTOCOL_ROOT names a struct, or a typedef of one.
        {"#define PROTOCOL_ROOT Pkt\nstruct P { UINT1 a; };\n",
         "Ln 0  warning: PROTOCOL_ROOT names no struct ('Pkt')"},
        {"#define PROTOCOL_ROOT p\nstruct P { UINT1 a; };\n", ""},
        {"#define PROTOCOL_ROOT Q\nstruct P { UINT1 a; };\ntypedef P Q;\n", ""},
    };
    for (const Case& c : cases) {
        std::string got = Warnings(c.script);
        if (*c.warnings == 0) {
            EXPECT_EQ("", got) << c.script;
        } else {
            EXPECT_EQ(0u, got.find(c.warnings)) << c.script << "\ngot: " << got;
            EXPECT_EQ(1, std::count(got.begin(), got.end(), '\n')) << c.script;
        }
    }
}

}  // namespace
