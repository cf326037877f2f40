// Tests of runaway scripts: endless loops and recursion in every kind of
// script code that a translation runs end at the decoder's time limit (or at
// the call depth), and the next message translates normally.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/scratch_dir.h"
#include "decoder/sample_files.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

constexpr uint32_t kLimit = 100;
constexpr uint32_t kTooLong = 5000;  // far above the limit, far below a hang

class TimeLimitTest : public ScratchDirTest {
  public:
    void Load(const std::string& body, uint32_t limit = kLimit) {
        WriteWholeFile("proto.txt", "#define PROTOCOL_ROOT R\n" + body);
        ASSERT_TRUE(decoder.LoadScript("proto.txt", false)) << decoder.GetLastError().GetBuffer(0);
        decoder.SetTimeLimit(limit);
    }
    // "OK <consumed>" or the error of a message given as digits, one byte
    // each ("057" is 0, 5, 7); took receives the milliseconds.
    std::string Run(const std::string& digits) {
        std::vector<uint8_t> bytes;
        for (char c : digits) bytes.push_back(static_cast<uint8_t>(c - '0'));
        int32_t length = static_cast<int32_t>(bytes.size());
        uint32_t begin = vpath::TickCount();
        bool ok = decoder.Translate(true, bytes.data(), length);
        took = vpath::TickCount() - begin;
        return ok ? "OK " + std::to_string(length) : decoder.GetLastError().GetBuffer(0);
    }
    // Dumps the tree with comments, which runs the Dump procedures.
    bool Dump(TextTable& table) {
        table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
        return DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpComments | kDumpMarker, 0, 16);
    }

    ProtocolDecoder decoder;
    uint32_t took = 0;
};

// The root R of the choice cases: c decodes the map element of key k.
const std::string kChoice =
    "extern VOID sysTranChoiceItem(dynamic &curItem, STRING strCurIdent, INT4 ElemId);\n"
    "struct R { UINT1 k; Choice c {\n ChoiceMap M\n VOID Translate(STRING s, dynamic &curItem, "
    "INT4 i) {\n sysTranChoiceItem(curItem, s, This.k); } }; UINT1 v; };";

// A root R whose member v is made by a procedure.
std::string V(const char* body) {
    return std::string("struct R { UINT1 a; UINT1 v") +
           " {\n UINT1 Translate(STRING s, dynamic &c, INT4 n) { " + body + " } }; };";
}

// Loops in a Translate procedure, in a struct that a choice decodes and in an
// Integrate procedure; recursion without end. (The kinds of loops and
// recursion are the script tests'.)
const struct {
    const char* error;
    const char *endless, *normal;  // normal translates whole, with 7 for "v"
    std::string script;
    uint32_t limit = kLimit;
} kCases[] = {
    {"v canceled !", "1", "0", V("while (This.a) ; return 7;")},
    {"c canceled !", "10", "057",
     "struct A { UINT1 x { UINT1 Translate(STRING s, dynamic &c, INT4 n) {\n"
     " while (1) { } return 0; } }; };\nstruct B { UINT1 y; };\n"
     "DeclareMap ( Item , M ) { a [ 1 ] A ; b [ 0 ] B ; };\n" +
         kChoice},
    {"c canceled !", "117", "107",
     "struct T = UINT1 { UINT1 x; };\n"
     "attribute name = \"T\" { UINT1 Integrate(STRING s) { while (This.x) ; return 7; } }\n"
     "DeclareMap ( Item , M ) { v [ 1 ] TypeOF T ; };\n" +
         kChoice},
    // A text doubled without end fails at 16 MB, and says so, time limit or
    // not: without one the result does not depend on the speed of the
    // machine.
    {"v proto.txt : Ln 3  CVarient::Operate() fail, a value of 33554432 bytes is longer than 16 "
     "MB !",
     "1", "0", "OCTET g = \"ab\";\n" + V("while (This.a) g = g + g; return 7;"), 0},
    {"v Execute r() fail, call nesting too deep", "1", "0",
     "INT4 r(INT4 n, INT4 k) { if (k == 0) return 7; return r(n + 1, k); }\n" +
         V("return r(0, This.a);")},
};

// The cases run on a thread with a stack of 1 MB: a hundred levels of
// script calls, the call depth, need far less.
TEST_F(TimeLimitTest, RunawayScriptsFailAndTheNextMessageWorks) {
    auto body = [](void* arg) -> void* {
        auto& self = *static_cast<TimeLimitTest*>(arg);
        for (const auto& c : kCases) {
            SCOPED_TRACE(c.script);
            self.Load(c.script, c.limit);
            for (int round = 0; round < 2; ++round) {
                EXPECT_EQ(c.error, self.Run(c.endless));
                EXPECT_GE(self.took, strstr(c.error, "canceled") != nullptr ? kLimit : 0u);
                EXPECT_LT(self.took, kTooLong);
                EXPECT_EQ(0, self.decoder.GetEnv().StackSize());
                TextTable table;
                self.Dump(table);  // the partial tree stays readable
                EXPECT_EQ("OK " + std::to_string(strlen(c.normal)), self.Run(c.normal));
                EXPECT_EQ("7", ItemValue(self.decoder, "v"));
            }
        }
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1024 * 1024);
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(&thread, &attr, body, this));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// A Dump procedure runs after the translation, within the same limit; a loop
// at file level runs while the translation prepares the script.
TEST_F(TimeLimitTest, EndlessDumpProcedureAndFileLevelLoop) {
    Load("struct R { UINT1 v { OCTET Dump(INT4 n) { while (n) ; return \"fine\"; } }; };");
    ASSERT_EQ("OK 1", Run("1"));
    TextTable table, again;
    EXPECT_FALSE(Dump(table));
    EXPECT_STREQ("canceled !", decoder.GetLastError().GetBuffer(0));
    ASSERT_EQ("OK 1", Run("0"));
    ASSERT_TRUE(Dump(again));
    OTSTR line;
    ASSERT_TRUE(again.GetRowLine(1, line));
    EXPECT_NE(std::string::npos, std::string(line.GetBuffer(0)).find("fine")) << line.GetBuffer(0);

    Load("INT4 g = 1;\nwhile (g) ;\nstruct R { UINT1 v; };");
    EXPECT_EQ("canceled !", Run("1"));
    EXPECT_LT(took, kTooLong);
    // Without a limit the decoder waits for the script: only the limit ends it.
    EXPECT_EQ(0u, ProtocolDecoder().GetTimeLimit());
}

}  // namespace
