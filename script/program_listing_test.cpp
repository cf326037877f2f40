// Tests of the program listing (golden texts of small compiled scripts) and
// of the run dump that a traced run appends its changed variables to.
#include "script/program_listing.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "pattern/script_lexer.h"
#include "runtime/execute_env.h"
#include "script/compiler.h"
#include "script/program.h"

namespace {

// Compiles text, or the file of that name: the error, empty when there is none.
std::string CompileText(Program& program, const char* text, bool file = false) {
    EXPECT_TRUE(RegisterGrammar());
    ScriptLexer lexer;
    if (!file) lexer.SetBuffer(text);
    if (file && !lexer.LoadFile(text, true)) return "cannot load";
    OTSTR error;
    return CompileFile(program, lexer, true, error) ? "" : error.GetBuffer(0);
}

class ProgramListing : public ScratchDirTest {
  protected:
    // The listing of text compiled as a file, or the compile error.
    std::string List(const char* text, bool header = false) {
        Program program;
        std::string error = CompileText(program, text);
        return error.empty() ? ListingOf(program, header) : error;
    }
    static std::string ListingOf(Program& program, bool header) {
        if (!WriteListing(program, "listing.txt", header)) return "<failed>";
        return ReadWholeFile("listing.txt");
    }
};

TEST_F(ProgramListing, DefinesVariablesAndWrappedBranches) {
    EXPECT_EQ(
        "Program\n"
        "  |  \n"
        "  |- 0: #Define TEN  10  // ten\n"
        "  |  \n"
        "  |- 1: #Define MASK  0x0000001F\n"
        "  |  \n"
        "  |- 2: #Define NAME  \"hi\"\n"
        "  |  \n"
        "  |- 3: INT4 a = 1;  // one\n"
        "  |  \n"
        "  |- 4: INT4 b;\n"
        "  |  \n"
        "  |- 5: if (a)\n"
        "  |     {\n"
        "  |  5:    b = 1;\n"
        "  |     }\n"
        "  |     else\n"
        "  |     {\n"
        "  |  5:    b = 2;\n"
        "  |     }\n",
        List("#define TEN 10 // ten\n#define MASK 0x1F\n#define NAME hi\n"
             "INT4 a = 1; // one\nINT4 b;\nif (a) b = 1; else b = 2;\n",
             true));
}

TEST_F(ProgramListing, FieldWidthFollowsTheLastLine) {
    // Line 120 is the last: 121 has three digits, so fields are "%03ld:"
    // padded to four characters.
    std::string script = "INT4 a;" + std::string(120, '\n') + "INT4 z;";
    EXPECT_EQ(
        "  |  \n"
        "  |- 000: INT4 a;\n"
        "  |  \n"
        "  |- 120: INT4 z;\n",
        List(script.c_str()));
    // Line 9 is the last: 10 has two digits.
    EXPECT_EQ(
        "  |  \n"
        "  |- 00: INT4 a;\n"
        "  |  \n"
        "  |- 09: INT4 z;\n",
        List("INT4 a;\n\n\n\n\n\n\n\n\nINT4 z;"));
    // A body has its own width; its separators stand between items only.
    EXPECT_EQ(
        "  |  \n"
        "  |- 0: VOID f()\n"
        "  |     {\n"
        "  |      02: INT4 b;\n"
        "  |      \n"
        "  |      11: b = 1;\n"
        "  |     }\n",
        List("VOID f()\n{\nINT4 b;\n\n\n\n\n\n\n\n\nb = 1;\n}\n"));
    EXPECT_EQ("Program\n", List("// nothing but a comment\n", true));
}

TEST_F(ProgramListing, EnumsStructsAndAttributeBlocks) {
    EXPECT_EQ(
        "  |  \n"
        "  |- 0: Enum Color  // c\n"
        "  |     {\n"
        "  |        Red    = 1,      // warm\n"
        "  |        Yellow = 2,    \n"
        "  |        7     \n"
        "  |     };\n"
        "  |  \n"
        "  |- 2: struct S = UINT1 \n"
        "  |     {\n"
        "  |        UINT1 a     ;  // aa\n"
        "  |        INT2  longer {\n"
        "  |           DumpOF    Color (Or)\n"
        "  |        };  // lg\n"
        "  |     };\n"
        "  |     attribute name = \"S\"\n"
        "  |     {\n"
        "  |      7: OCTET Dump()\n"
        "  |         {\n"
        "  |          7: return \"x\";\n"
        "  |         }\n"
        "  |     };\n",
        List("enum Color { Red = 1, // warm\n Yellow = 2, 7 }; // c\n"
             "struct S = UINT1 { UINT1 a; // aa\n"
             " INT2 longer {\n"
             "  DumpOF Color (Or)\n"
             " }; // lg\n"
             "};\n"
             "attribute name = \"S\" { OCTET Dump() { return \"x\"; } }\n"));
}

TEST_F(ProgramListing, DeclareMapsAndChoiceMembers) {
    EXPECT_EQ(
        "  |  \n"
        "  |- 0: struct P = UINT2 \n"
        "  |     {\n"
        "  |        INT1 a;\n"
        "  |     };\n"
        "  |  \n"
        "  |- 1: DeclareMap(ImplicitItem,M)  // map\n"
        "  |     {\n"
        "  |        one   [ 1] P                 \n"
        "  |        two   [12] INT4                // second\n"
        "  |        three [ 3] UINT2 ( TypeOf P )\n"
        "  |     };\n"
        "  |  \n"
        "  |- 5: struct Q \n"
        "  |     {\n"
        "  |        Choice $0 {\n"
        "  |            ChoiceMap M\n"
        "  |         \n"
        "  |         5: INT4 Translate()\n"
        "  |            {\n"
        "  |             5: return 1;\n"
        "  |            }\n"
        "  |        };\n"
        "  |     };\n",
        List("struct P = UINT2 { INT1 a; };\n"
             "DeclareMap(ImplicitItem, M) { // map\n one [1] P;\n two [12] INT4; // second\n"
             " three [3] TypeOF P; };\n"
             "struct Q { Choice { ChoiceMap M  INT4 Translate() { return 1; } }; };\n"));
}

TEST_F(ProgramListing, ProceduresBlocksAndDeclarations) {
    // The last item is at line 10, so the file's fields take two digits; the
    // body's last item is at line 6.
    EXPECT_EQ(
        "  |  \n"
        "  |- 00: INT4 f(INT4 a);\n"
        "  |  \n"
        "  |- 01: INT4 f(INT4 a)\n"
        "  |      {  // body\n"
        "  |      3: INT4 b = a;\n"
        "  |      \n"
        "  |      4: while(b)\n"
        "  |      4: {\n"
        "  |          4: b = b - 1;\n"
        "  |         }\n"
        "  |      \n"
        "  |      5: for(b = 0;b < 2;b = b + 1)\n"
        "  |         {\n"
        "  |      5:    if (b)\n"
        "  |            {\n"
        "  |      5:       continue;\n"
        "  |            }\n"
        "  |         }\n"
        "  |      \n"
        "  |      6: return b;\n"
        "  |      }  // body\n"
        "  |  \n"
        "  |- 08: extern VOID g(INT4 x, ...);\n"
        "  |  \n"
        "  |- 09: struct L;\n"
        "  |  \n"
        "  |- 10: struct L \n"
        "  |      {\n"
        "  |         INT1 x;\n"
        "  |      };\n"
        "  |  \n"
        "  |- 10: typedef  L  LL;\n",
        List("INT4 f(INT4 a);\n"
             "INT4 f(INT4 a)\n{ // body\n  INT4 b = a;\n  while (b) { b = b - 1; }\n"
             "  for (b = 0; b < 2; b = b + 1) if (b) continue;\n  return b;\n}\n"
             "extern VOID g(INT4 x, . . .);\n"
             "struct L;\nstruct L { INT1 x; }; typedef L LL;\n"));
}

TEST_F(ProgramListing, FileIncludedTwiceIsListedOnce) {
    ASSERT_TRUE(vpath::MakeDirectory("Proto"));
    WriteWholeFile("Proto/common.txt", "#define ONE 1\n");
    WriteWholeFile("Proto/main.txt",
                   "#include \"common.txt\"\n#include \"common.txt\"\nINT4 v = ONE;\n");
    Program program;
    ASSERT_EQ("", CompileText(program, "Proto\\main.txt", true));
    EXPECT_EQ(
        "  |  \n"
        "  |- 0: #Include \"Proto\\common.txt\"\n"
        "  |   |  \n"
        "  |   |- 0: #Define ONE  1\n"
        "  |  \n"
        "  |- 1: #Include \"Proto\\common.txt\"\n"
        "  |  \n"
        "  |- 2: INT4 v = ONE;\n",
        ListingOf(program, false));
    // A listing that cannot be created is skipped without complaint.
    EXPECT_TRUE(WriteListing(program, "no_dir\\x\\listing.txt", true));
    EXPECT_FALSE(vpath::FileExists("no_dir\\x\\listing.txt"));
}

// ---------------------------------------------------------------- run dump

class QuietMonitor : public StepMonitor {
  public:
    int step(int, int) override { return 1; }
};

// The "type name" heads of the entries of the run dump, in order.
std::vector<std::string> DumpHeads(const std::string& dump) {
    std::vector<std::string> heads;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find(" = ");
        if (!line.empty() && line[0] != ' ' && equals != std::string::npos)
            heads.push_back(line.substr(0, equals));
    }
    return heads;
}

TEST(StatementRunDump, TracedLinesAppendTheVariablesTheyChanged) {
    ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    ASSERT_TRUE(vpath::MakeDirectory("dump"));
    const char* script =
        "INT4 x = 5;\nINT4 y;\ny = x + 1;\n"
        "INT4 f() { return 7; }\ny = f();\n"
        "x;\n"                                   // read only: nothing to dump
        "dynamic d() { return 3; }\ny = d();\n"  // a dynamic result has no Return
        "INT2 k[2] = {1, 2};\nk[1] = 9;\n"
        "INT4 i;\nfor (i = 0; i < 2; i = i + 1) ;\n";
    Program program;
    ASSERT_EQ("", CompileText(program, script));
    // Without a monitor the run is not traced and dumps nothing.
    ExecuteEnv quiet;
    ASSERT_TRUE(quiet.Prepare(&program)) << quiet.GetLastError().GetBuffer(0);
    EXPECT_FALSE(vpath::FileExists("Dump\\DumpRun.txt"));
    ExecuteEnv env;
    QuietMonitor monitor;
    env.monitor = &monitor;
    ASSERT_TRUE(env.Prepare(&program)) << env.GetLastError().GetBuffer(0);
    std::string dump = ReadWholeFile("dump/DumpRun.txt");
    const std::vector<std::string> expected = {
        "INT4 x",    "INT4 y",    "INT4 Return", "INT4 y", "INT4 y",
        "INT2 k[2]", "INT2 k[2]", "INT4 i",      "INT4 i", "INT4 i",
    };
    EXPECT_EQ(expected, DumpHeads(dump)) << dump;
    EXPECT_NE(std::string::npos, dump.find("INT2 k[2] = 1, 9")) << dump;
    // A second traced run appends to the file.
    ExecuteEnv again;
    again.monitor = &monitor;
    ASSERT_TRUE(again.Prepare(&program)) << again.GetLastError().GetBuffer(0);
    EXPECT_EQ(2 * expected.size(), DumpHeads(ReadWholeFile("dump/DumpRun.txt")).size());
}

}  // namespace
