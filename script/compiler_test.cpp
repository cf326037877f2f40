// Tests of the compiler's outer layer: defines, enums, typedefs, includes,
// the item loop's own messages and the form of compile errors.
#include "script/compiler.h"

#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "pattern/script_lexer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/program.h"
#include "script/test_compile.h"
#include "types/enum_item_list.h"
#include "types/struct_definition.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"
#include "values/cvarient.h"

namespace {

using testcompile::Compile;

std::string ValueText(Program& program, const char* name) {
    CVariableItem* item = program.FindNamedValue(name);
    if (item == nullptr) return "(none)";
    OTSTR text;
    item->getTextAt(0, text);
    return text.GetBuffer(0);
}

TEST(Compiler, ItemLoopMessages) {
    // Each script with the result of compiling it.
    const char* const cases[][2] = {
        {"", "OK"},
        {"// only a comment\n/* and a block\n comment */\n", "OK"},
        {"#define A 1\n#define a 2", "Ln 1  identifier_name 'a' already be used"},
        {"#define 5", "Ln 0  Ident expected after 'define'"},
        {"# pragma once", "Ln 0  'pragma' unexpected"},
        {"@", "Ln 0  '@' unexpected"},
        {"enum E { 1, 2, A = 5, 3 };", "OK"},
        {"enum E { A = 1, B = 2, A = 3 };", "Ln 0  identifier_name 'A' already be defined"},
        {"enum E { A = 1 }", "Ln 0  ';' expected"},
        {"enum E A", "Ln 0  '{' expected after enum name"},
        {"enum E { A = nope };", "Ln 0  'nope' invalid"},
        {"enum E { A = 1 / 0 };", "Ln 0  get enum item value fail"},
        {"#define E 1\nenum E { A = 1 };", "Ln 1  identifier_name 'E' already be used"},
        {"typedef INT4 T;", "Ln 0  'typedef' only support struct type now"},
        {"typedef Nowhere T;", "Ln 0  'Nowhere' unexpected"},
        {"attribute name = \"S\" { }", "Ln 0  attribute definiton fail, struct 'S' not found"},
        {"attribute name = \"S\" ;", "Ln 0  '{' expected after attribute name"},
        {"#include 5", "Ln 0  filepath expected after 'Include'"},
        {"#include \"no_such_file.txt\"", "Ln 0  file no_such_file.txt open error"},
        {"INT4 x;\n{ x = 1;", "Ln 1  '}' expected"},
        {"{ #include \"a.txt\" }", "Ln 0  'include' are not allowd in sub program"},
        {"{ extern INT4 f(); }", "Ln 0  'extern' are not allowd in sub program"},
        {"{ struct S { INT4 a; }; }", "Ln 0  struct definition are not allowd in sub program"},
        {"INT4 x;\n{ INT4 y = x; { y = y + 1; } }", "OK"},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], Compile(c[0])) << c[0];
}

// Defines are evaluated, or kept as text when they are no expression; enum
// items are named, unnamed or defined inside the enum.
TEST(Compiler, DefinesAndEnumItems) {
    Program program;
    ASSERT_EQ("OK", Compile("#define LIMIT 10 // max\n"
                            "#define TWICE LIMIT * 2 /* note */\n"
                            "#define NAME hello world\n"
                            "#define MODE H_TO_L\n"
                            "#define EMPTY\n"
                            "enum Color { // colours\n"
                            "  RED = 1,   // the red one\n"
                            "  LIMIT - 5,\n"
                            "  # define GREEN LIMIT - 2\n"
                            "  7\n"
                            "};",
                            program));
    EXPECT_EQ("10", ValueText(program, "LIMIT"));
    EXPECT_STREQ("max", program.FindNamedValue("limit")->GetDescription().GetBuffer(0));
    EXPECT_EQ("20", ValueText(program, "TWICE"));
    EXPECT_EQ("\"hello world\"", ValueText(program, "NAME"));
    EXPECT_EQ("\"H_TO_L\"", ValueText(program, "MODE"));
    EXPECT_EQ("\"\"", ValueText(program, "EMPTY"));
    EXPECT_EQ(6, program.ItemCount());
    EXPECT_EQ(kItemNamedValue, program.ItemAt(0)->ItemKind());
    EXPECT_EQ(1, program.ItemLine(1));

    EnumItemList* list = program.FindEnum("color");
    ASSERT_NE(nullptr, list);
    std::string items;
    for (int i = 0; i < list->GetSize(); ++i)
        items += std::string(list->ItemAt(i)->GetName().GetBuffer(0)) + "=" +
                 std::to_string(list->ItemAt(i)->getUInt32()) + " ";
    EXPECT_EQ("RED=1 $0=5 GREEN=8 $1=7 ", items);
    EXPECT_STREQ("the red one", list->ItemAt(0)->GetDescription().GetBuffer(0));
    EXPECT_STREQ("colours", list->GetDescription().GetBuffer(0));
}

// "OK", or the error of compiling the file at path into program.
std::string CompileFileText(const char* path, Program& program) {
    EXPECT_TRUE(RegisterGrammar());
    ScriptLexer lexer;
    if (!lexer.LoadFile(path, true)) return "cannot load";
    OTSTR error;
    return CompileFile(program, lexer, true, error) ? "OK" : error.GetBuffer(0);
}

using IncludeTest = ScratchDirTest;

TEST_F(IncludeTest, FilesAreCompiledOnceAndCyclesAreFound) {
    ASSERT_TRUE(vpath::MakeDirectory("Proto"));
    ASSERT_TRUE(vpath::MakeDirectory("proto\\sub"));
    WriteWholeFile("Proto/common.txt", "#define SIZE 4\r\n");
    WriteWholeFile("Proto/sub/extra.txt",
                   "#include \"..\\Common.TXT\"\r\n#define EXTRA SIZE + 1\r\n");
    WriteWholeFile("Proto/main.txt",
                   "#include \"sub\\..\\common.txt\"\r\n#include \"sub\\extra.txt\"\r\n"
                   "#define TOTAL EXTRA + SIZE\r\n");
    Program main;
    ASSERT_EQ("OK", CompileFileText("Proto\\main.txt", main));
    EXPECT_EQ("9", ValueText(main, "TOTAL"));
    // common.txt is owned by main, and only listed again by extra.txt.
    ASSERT_EQ(3, main.ItemCount());
    auto* common = static_cast<Program*>(main.ItemAt(0));
    auto* extra = static_cast<Program*>(main.ItemAt(1));
    EXPECT_STREQ("Proto\\common.txt", common->GetName().GetBuffer(0));
    EXPECT_EQ(common, extra->ItemAt(0));

    WriteWholeFile("Proto/a.txt", "#include \"b.txt\"\n");
    WriteWholeFile("Proto/b.txt", "#define B 1\n#include \"c.txt\"\n");
    WriteWholeFile("Proto/c.txt", "\n#include \"b.txt\"\n");
    Program a;
    EXPECT_EQ(
        "Proto\\a.txt : Ln 0  / Proto\\b.txt : Ln 1  / Proto\\c.txt : Ln 1  IncludeFile "
        "'Proto\\b.txt'  Loop definition found !",
        CompileFileText("Proto\\a.txt", a));
    EXPECT_EQ(0, a.ItemCount()) << "a failed include is taken out again";
    WriteWholeFile("Proto/self.txt", "#include \"self.txt\"\n");
    Program self;
    EXPECT_EQ("Proto\\self.txt : Ln 0  IncludeFile 'Proto\\self.txt'  Loop definition found !",
              CompileFileText("Proto\\self.txt", self));

    // A chain of 40 files stops at the include depth, with its message.
    for (int i = 0; i < 40; ++i)
        WriteWholeFile(
            ("Proto/d" + std::to_string(i) + ".txt").c_str(),
            ("#include \"d" + std::to_string(i + 1) + ".txt\"\nstruct S { UINT1 x; };\n").c_str());

    Program chain;
    std::string deep = CompileFileText("Proto\\d0.txt", chain);
    EXPECT_NE(std::string::npos,
              deep.find("Proto\\d31.txt : Ln 0  IncludeFile 'Proto\\d32.txt' nested deeper than "
                        "32 files"))
        << deep;

    WriteWholeFile("Proto/bad.txt", "#define X 1\n#define X 2\n");
    WriteWholeFile("Proto/uses_bad.txt", "\n#include \"bad.txt\"\n");
    Program usesBad;
    EXPECT_EQ(
        "Proto\\uses_bad.txt : Ln 1  / Proto\\bad.txt : Ln 1  identifier_name 'X' "
        "already be used",
        CompileFileText("Proto\\uses_bad.txt", usesBad));
}

// The demo protocol of samples/ compiles into the expected type model and
// its top-level initialiser runs.
TEST(Compiler, DemoProtocolCompilesAndRuns) {
    Program program;
    ASSERT_EQ("OK", CompileFileText(VANTOR_SOURCE_DIR "/samples/demo/main.txt", program));

    StructDefinition* message = program.FindStruct("Message");
    ASSERT_NE(nullptr, message);
    ASSERT_EQ(2, message->GetMemberCount());
    EXPECT_EQ(kDeclChoice, message->GetMember(1)->baseType);
    StructDefinition* header = program.FindStruct("header");
    ASSERT_NE(nullptr, header);
    EXPECT_EQ(7, header->GetMember(0)->bitHigh);
    EXPECT_EQ(3, header->GetMember(1)->bitHigh);
    EXPECT_TRUE(header->GetMember(1)->bitGroupEnd);
    EXPECT_FALSE(header->lowByteFirst) << "NETWORK_TRANMODE is H_TO_L";
    EXPECT_NE(nullptr, program.FindDeclareMap("BodyMap"));
    EXPECT_EQ("\"Demo\"", ValueText(program, "PROTOCOL_NAME"));

    ExecuteEnv env;
    ASSERT_TRUE(env.Prepare(&program)) << env.GetLastError().GetBuffer(0);
    long check = 0;
    ASSERT_TRUE(env.GetRoot()->get("check", check));
    EXPECT_EQ(20, check);
}

// Scripts of random words and symbols compile or fail with a message; the
// compiled Programs run or fail; nothing faults.
TEST(Compiler, RandomScriptsNeverFault) {
    const char* words[] = {
        "struct", "S",         "{",       "}",       ";",        "INT4",     "UINT1",  "a",
        "b",      "[",         "]",       "=",       "1",        "2",        ":",      "3",
        "(",      ")",         ",",       "if",      "else",     "while",    "for",    "return",
        "break",  "enum",      "E",       "#define", "#include", "\"x\"",    "Choice", "DeclareMap",
        "Item",   "typedef",   "extern",  "VOID",    "dynamic",  "&",        ". . .",  "This",
        ".",      "attribute", "name",    "TypeOF",  "DumpOF",   "Or",       "+",      "*",
        "\n",     "// c\n",    "/* d */", "'s'",     "E::A",     "continue", "f",      "Translate"};
    constexpr int kWords = sizeof words / sizeof words[0];
    uint32_t seed = 2024;
    for (int round = 0; round < 600; ++round) {
        std::string text;
        for (int i = 0; i < 4 + round % 40; ++i)
            text += words[((seed = seed * 1103515245u + 12345u) >> 16) % kWords] + std::string(" ");
        Program program;
        std::string result = Compile(text.c_str(), program);
        if (result == "OK") ExecuteEnv().Prepare(&program);
        EXPECT_FALSE(result.empty()) << text;
    }
}

}  // namespace
