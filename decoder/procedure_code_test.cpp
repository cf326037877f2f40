// Tests of the compiled quiet procedures: each call gives what the
// procedure's frame gives, value, type and environment alike.
#include "decoder/procedure_code.h"

#include <gtest/gtest.h>

#include <string>

#include "decoder/quiet_procedures.h"
#include "decoder/sample_files.h"
#include "runtime/execute_env.h"
#include "runtime/quiet_frame.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "values/cvarient.h"

namespace {

class ProcedureCodeTest : public DecoderTest {
  protected:
    // The value's type and text, or what failed.
    static std::string Shown(int ran, const CVarient& value) {
        if (ran != 1) return "ran " + std::to_string(ran);
        OTSTR text;
        value.getText(text);
        return std::to_string(value.GetType()) + " [" +
               std::string(text.GetBuffer(0), static_cast<size_t>(text.GetLength())) + "]";
    }
};

// Every procedure is compiled, and every call of it gives what its frame
// gives: the stores into parameters, locals, built-in parameters and the
// return value truncate, extend and convert alike.
TEST_F(ProcedureCodeTest, CallsGiveWhatTheFrameGives) {
    const char* const procedures[] = {
        "OCTET P(UINT4 a) { return strFormat(\"%d.%d.%d.%d\", (a >> 24) & 255, (a >> 16) & 255,"
        " (a >> 8) & 255, a & 255); }",
        "OCTET P(UINT2 p) { OCTET r; if (p < 1024) r = \"system\"; else if (p < 49152)"
        " r = \"user\"; else r = \"dynamic\"; return sysGetEnumComment(\"E\", p, \"Equal\", r); }",
        "INT1 P(INT4 x) { return x * 3 - 7; }",
        "UINT1 P(INT2 x) { INT4 y; y = -x; if (y > 0) return y; return ~y; }",
        "STRING P(UINT1 c) { return strFormat(\"%c|%3d|%-4x|%o|%ld\", c, c, c, c, c); }",
        "OCTET P(INT4 a, UINT1 b) { OCTET t; t = strFormat(\"%s-%u\", \"x\", b);"
        " if ((a == E::A) || (b != 0)) return t; return sysGetEnumComment(\"F\", a, \"Or\", "
        "\"none\"); }",
        "INT4 P(UINT4 a) { UINT1 n; n = a + 0; return n + E::B; }",
        "OCTET P(INT4 a) { return \"lit\"; }",
        "INT4 P(INT1 a) { return a; }",
        "UINT2 P(INT2 a) { return ((a << 3) ^ (a >> 2)) | ((a && 1) + !a) + (a != -1) * 2; }",
        "WORD P(BYTE a, DWORD b) { { INT2 s; s = a - b; if (s < 0) { return -s; } } return a + b; "
        "}",
        "OCTET P(INT4 a) { OCTET s; s = sysGetEnumComment(\"F\", a, \"Or\", strFormat(\"#%x\", a));"
        " return s; }",
        // Calls of quiet procedures, their results kept between the calls.
        "OCTET T(UINT4 x) { return strFormat(\"%u\", x); }\nOCTET P(UINT1 v) { return T(v); }",
        "INT4 Twice(INT4 x) { return x * 2; }\nINT1 P(INT2 v) { INT4 y; y = Twice(v) + 1;"
        " return Twice(y) - Twice(v + E::A); }",
    };
    const uint32_t words[] = {0,   1,          7,          127,        128,       255,
                              256, 1023,       1024,       49151,      65535,     65536,
                              3,   0x7fffffff, 0x80000000, 0xffffffff, 0xC0A8010A};
    for (const char* procedure : procedures) {
        ASSERT_EQ("OK", Load(std::string("enum E { A = 1, // one\n B = 2 // two\n};\n"
                                         "enum F { X = 1, Y = 2, Z = 4 };\n") +
                             procedure + "\nstruct R { UINT1 a; };"))
            << procedure;
        ASSERT_EQ("OK 1", Run({1}));
        Procedure* p = decoder.GetProgram()->FindProcedure("P");
        ASSERT_NE(nullptr, p);
        ASSERT_NE(nullptr, decoder.GetQuietProcedures().ResultsOf(*p)) << procedure;
        std::unique_ptr<ProcedureCode> code = ProcedureCode::Compile(*p, decoder.GetQuietProcedures());
        ASSERT_NE(nullptr, code) << procedure;
        QuietFrame frame(p);
        ExecuteEnv& env = decoder.GetEnv();
        int count = p->parameters.GetMemberCount();
        for (uint32_t word : words) {
            uint32_t args[2] = {word, ~word + 3};
            CVarient framed, compiled;
            std::string expected = Shown(frame.Run(env, args, count, framed), framed);
            std::string framedReturn = Shown(1, env.returnValue);
            EXPECT_EQ(expected, Shown(code->Run(env, args, count, compiled), compiled))
                << procedure << " " << word;
            EXPECT_EQ(framedReturn, Shown(1, env.returnValue)) << procedure << " " << word;
        }
        // Traced, cancelled or without binding, the frame runs it.
        uint32_t one = 1;
        CVarient unused;
        CallArguments::SetBinding(false);
        EXPECT_EQ(-1, code->Run(env, &one, count, unused));
        CallArguments::SetBinding(true);
        env.canceled = true;
        EXPECT_EQ(-1, code->Run(env, &one, count, unused));
        env.canceled = false;
        EXPECT_EQ(-1, code->Run(env, &one, count + 1, unused));
    }
}

// What is not compiled: calls whose results are not kept, loops, effects.
TEST_F(ProcedureCodeTest, OtherBodiesAreLeftToTheFrame) {
    const char* const procedures[] = {
        "OCTET T(OCTET s) { return s; }\nOCTET P(UINT1 v) { return T(\"x\"); }",
        "INT4 P(UINT1 v) { INT4 i; i = 0; while (i < v) i = i + 1; return i; }",
        "INT4 P(UINT1 v) { sysSetTitle(0, \"x\"); return v; }",
    };
    for (const char* procedure : procedures) {
        ASSERT_EQ("OK", Load(std::string(procedure) + "\nstruct R { UINT1 a; };")) << procedure;
        Procedure* p = decoder.GetProgram()->FindProcedure("P");
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(nullptr, ProcedureCode::Compile(*p, decoder.GetQuietProcedures())) << procedure;
    }
}

}  // namespace
