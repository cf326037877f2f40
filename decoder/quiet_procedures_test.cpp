// Tests of the quiet Dump procedures: which ones the check accepts, and that
// leaving them out never hides a failure.
#include "decoder/quiet_procedures.h"

#include <gtest/gtest.h>

#include <string>

#include "decoder/sample_files.h"
#include "decoder/translation_report.h"
#include "runtime/execute_env.h"
#include "script/attribute_definition.h"
#include "script/call_arguments.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

class QuietProceduresTest : public DecoderTest {
  protected:
    CVariableItem* Member(const char* name) {
        int32_t index = -1;
        return decoder.GetRoot().GetItem(0, name, &index);
    }

    // The rows of the decoded tree with comments.
    std::string Comments() {
        TextTable table;
        SetReportColumns(table, 40);
        if (!DumpTree(decoder.GetRoot(), table, kDumpComments, 0, 16)) return "ERROR";
        std::string text;
        OTSTR line;
        for (int row = 0; row < table.GetRowCount(); ++row) {
            if (table.GetRowLine(row, line)) text += std::string(line.GetBuffer(0)) + "\n";
        }
        return text;
    }

    // The hooks of the decoded tree with comments on, with and without
    // leaving the quiet ones out.
    bool Hooks(bool leaveOut) {
        return RunDumpHooks(decoder.GetRoot(), kDumpComments,
                            leaveOut ? &decoder.GetQuietProcedures() : nullptr);
    }
};

// Which Dumps are quiet; none is for an element that is not there, nor in a
// traced or cancelled run.
TEST_F(QuietProceduresTest, WhichDumpsAreQuiet) {
    struct {
        const char* helpers;  // declared before the struct
        const char* dump;     // the body of a's Dump(UINT1 v)
        bool quiet;
    } cases[] = {
        {"", "return strFormat(\"%d.%d\", v >> 4, v & 15);", true},
        {"OCTET T(UINT4 x) { return strFormat(\"%u\", x); }", "return T(v);", true},
        {"OCTET T(UINT2 p) { OCTET r; if (p < 10) r = \"low\"; else r = \"high\";\n"
         " return sysGetEnumComment(\"E\", p, \"Equal\", r); }",
         "return T(v);", true},
        {"", "if (v == E::A) return \"one\"; return strFormat(\"%s %x\", \"other\", v);", true},
        {"INT4 Twice(INT4 x) { return x * 2; }",
         "INT4 y; y = Twice(v) + 1; { return strFormat(\n"
         "  \"%-10d|%05u\", y, ~v); }",
         true},
        // A local read before every path assigned it, a path without a
        // return, a value of the wrong kind: each fails when it runs.
        {"", "INT4 x; return strFormat(\"%d\", x);", false},
        {"", "OCTET r; if (v > 3) r = \"big\"; return r;", false},
        {"", "if (v > 3) return \"big\";", false},
        {"", "return v;", false},
        {"", "return strFormat(\"%s\", v);", false},
        {"", "return strFormat(\"%d %d\", v);", false},
        {"", "return sysGetEnumComment(\"Nope\", v, \"Equal\", \"x\");", false},
        // What may fail or may not fit.
        {"", "return strFormat(\"%d\", 10 / v);", false},
        {"", "return strFormat(\"%1000d\", v);", false},
        {"", "return strFormat(\"%*d\", 3, v);", false},
        // Effects, loops, recursion and names the check does not follow.
        {"", "sysSetTitle(0, \"x\"); return \"x\";", false},
        {"INT4 g;", "g = v; return \"x\";", false},
        {"", "INT4 i; i = 0; while (i < v) i = i + 1; return \"x\";", false},
        {"OCTET T(UINT1 x) { return T(x); }", "return T(v);", false},
        {"#define K 3\n", "return strFormat(\"%d\", K);", false},
        {"", "INT4 y = 3; return strFormat(\"%d\", y);", false},
        {"", "INT4 V; return \"x\";", false},
    };
    struct Monitor : StepMonitor {
        int step(int, int) override { return 0; }
    } monitor;
    for (const auto& c : cases) {
        std::string script = std::string("enum E { A = 1, // one\n B = 2 // two\n};\n") +
                             c.helpers + "\nstruct R { UINT1 a { OCTET Dump(UINT1 v) { " + c.dump +
                             " } }; UINT1 b : 4; UINT1 c : 4 { OCTET Dump(UINT1 v) { " + c.dump +
                             " } }; };";
        ASSERT_EQ("OK", Load(script)) << c.dump;
        for (uint8_t byte : {0, 1, 3, 200, 255}) {
            ASSERT_EQ("OK 2", Run({byte, byte})) << c.dump;
            ASSERT_TRUE(Member("a") != nullptr && Member("c") != nullptr);
            // The comments of quiet Dumps, made in their kept frames, are
            // those of a traced run, which calls every Dump in a frame of
            // its own.
            std::string kept = Comments();
            decoder.GetEnv().monitor = &monitor;
            testing::internal::CaptureStdout();
            std::string traced = Comments();
            testing::internal::GetCapturedStdout();
            decoder.GetEnv().monitor = nullptr;
            EXPECT_EQ(traced, kept) << c.dump << " " << int{byte};
            // A quiet Dump runs without failing; leaving the quiet ones out
            // gives what running them gives.
            bool ran = Hooks(false);
            EXPECT_EQ(ran, Hooks(true)) << c.dump << " " << int{byte};
            EXPECT_TRUE(ran || !c.quiet) << c.dump << " " << int{byte};
        }
        QuietProcedures& quiet = decoder.GetQuietProcedures();
        EXPECT_EQ(c.quiet, quiet.IsQuiet(*Member("a"), 0)) << c.dump;
        EXPECT_FALSE(quiet.IsQuiet(*Member("a"), 1)) << c.dump;
        // A bit field is traced when it is handed over: never left out.
        EXPECT_FALSE(quiet.IsQuiet(*Member("c"), 0)) << c.dump;
        decoder.GetEnv().canceled = true;
        EXPECT_FALSE(quiet.IsQuiet(*Member("a"), 0)) << c.dump;
        EXPECT_FALSE(Hooks(true)) << c.dump;
        decoder.GetEnv().canceled = false;
        decoder.GetEnv().monitor = &monitor;
        EXPECT_FALSE(quiet.IsQuiet(*Member("a"), 0)) << c.dump;
        decoder.GetEnv().monitor = nullptr;
    }
}

// Sq and Name are quiet: their recent results are kept and taken again.
// Bump writes a variable of the file (set again for every message): it runs
// at every call. Both ways give what running every call gives, message
// after message.
TEST_F(QuietProceduresTest, KeptResultsGiveWhatRunningGives) {
    ASSERT_EQ(
        "OK",
        Load("INT4 bumps = 0;\n"
             "INT4 Sq(INT4 x) { return x * x + 1; }\n"
             "OCTET Name(UINT1 x) { if (x == 1) return \"one\"; return strFormat(\"n%d\", x); }\n"
             "INT4 Bump(INT4 x) { bumps = bumps + 1; return x; }\n"
             "struct R { INT4 v { INT4 Translate(STRING s, dynamic &c, INT4 n) {\n"
             "  INT4 i; INT4 t; t = 0;\n"
             "  for (i = 0; i < 40; i = i + 1) t = t + Sq(i % 6) * (i + 1) + Bump(i % 2);\n"
             "  return t; } };\n"
             " OCTET w { OCTET Translate(STRING s, dynamic &c, INT4 n) {\n"
             "  INT4 i; OCTET r; r = \"\";\n"
             "  for (i = 0; i < 12; i = i + 1) r = strFormat(\"%s%s.\", r, Name(i % 5));\n"
             "  return r; } };\n"
             " INT4 b { INT4 Translate(STRING s, dynamic &c, INT4 n) { return bumps; } }; };"));
    Program& program = *decoder.GetProgram();
    ASSERT_NE(nullptr, decoder.GetQuietProcedures().ResultsOf(*program.FindProcedure("Sq")));
    EXPECT_EQ(nullptr, decoder.GetQuietProcedures().ResultsOf(*program.FindProcedure("Bump")));
    for (bool bound : {true, false}) {
        CallArguments::SetBinding(bound);
        for (int message = 0; message < 2; ++message) {
            ASSERT_EQ("OK 0", Run({1})) << bound;
            // v sums ((i % 6)^2 + 1) * (i + 1) + i % 2 for i < 40; strFormat shows "" as "<NULL>".
            EXPECT_EQ("8024 <NULL>n0.one.n2.n3.n4.n0.one.n2.n3.n4.n0.one. 40",
                      Value("v") + " " + Value("w") + " " + Value("b"))
                << bound;
        }
    }
    CallArguments::SetBinding(true);
}

// Whole trees: every hook that their definitions allow is quiet, or the
// walk goes on. Leaving a tree out gives what walking it gives.
TEST_F(QuietProceduresTest, QuietTrees) {
    const std::string kHead =
        "enum E { A = 1, // one\n B = 2 // two\n};\n"
        "OCTET Hex(UINT4 x) { return strFormat(\"%x\", x); }\n"
        "struct In { UINT1 k { DumpOF E ( Equal ) }; UINT2 w { OCTET Dump(UINT2 v) {"
        " return Hex(v); } }; UINT1 bits : 4; UINT1 rest : 4; };\n"
        "struct Bad { UINT1 z { OCTET Dump(UINT1 v) { return strFormat(\"%d\", 100 / v); } }; };\n"
        "DeclareMap ( Item , Kinds ) { one [ 1 ] In ; };\n"
        "DeclareMap ( Item , Others ) { one [ 1 ] Bad ; };\n";
    const std::string kChoice =
        " Choice c { ChoiceMap Kinds VOID Translate(STRING s, dynamic &c, INT4 n) {"
        " sysTranChoiceItem(c, s, This.a); } };";
    // Members of R after UINT1 a, In in and Choice c. The tree of those alone
    // is quiet; each member added makes it not.
    const char* const cases[] = {
        "",
        "UINT1 d { OCTET Dump(UINT1 v) { return strFormat(\"%d\", 100 / v); } };",
        "UINT1 d : 8 { OCTET Dump(UINT1 v) { return Hex(v); } };",  // a bit field
        "UINT2 d { OCTET Dump(UINT2 v) {"
        " return sysGetEnumComment(\"No\", v, \"Equal\", \"\"); } };",
        "Choice e { ChoiceMap Others VOID Translate(STRING s, dynamic &c, INT4 n) {"
        " sysTranChoiceItem(c, s, This.a); } };",
        "In d[2];",
    };
    for (const char* members : cases) {
        ASSERT_EQ("OK", Load(kHead + "struct R { UINT1 a; In in;" + kChoice + members + " };"))
            << members;
        for (uint8_t byte : {0, 1, 2}) {
            std::string ran = Run(
                {1, byte, 0, byte, 7, byte, 0, byte, 7, 5, 5, byte, 0, byte, 7, byte, 0, byte, 7});
            ASSERT_EQ("OK", ran.substr(0, 2)) << members << " " << ran;
            EXPECT_EQ(*members == 0, decoder.GetQuietProcedures().IsQuietTree(decoder.GetRoot()))
                << members;
            EXPECT_EQ(Hooks(false), Hooks(true)) << members << " " << int{byte};
        }
    }
}

}  // namespace
