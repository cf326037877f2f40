// Tests of runaway scripts: endless loops and recursion in every kind of
// script code that a translation runs end at the decoder's time limit (or at
// the call depth), and the next message translates normally.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "decoder/decoder_item.h"
#include "decoder/protocol_decoder.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

constexpr uint32_t kLimit = 100;
// Far above the limit, far below a hang.
constexpr uint32_t kTooLong = 5000;

const char kHead[] =
    "extern VOID sysTranChoiceItem(dynamic &curItem, STRING strCurIdent, INT4 ElemId);\n"
    "#define PROTOCOL_ROOT R\n";

// Runs f on a thread with a stack of kb kilobytes.
void OnSmallStack(size_t kb, const std::function<void()>& f) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kb * 1024);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(0, pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&f)));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

class TimeLimitTest : public ScratchDirTest {
  protected:
    std::string Load(const std::string& body) {
        WriteWholeFile("proto.txt", kHead + body);
        if (decoder.LoadScript("proto.txt", false)) return "OK";
        return decoder.GetLastError().GetBuffer(0);
    }
    // "OK <consumed>" or the error; took receives the milliseconds.
    std::string Run(const std::vector<uint8_t>& bytes, uint32_t& took) {
        int32_t length = static_cast<int32_t>(bytes.size());
        uint32_t begin = vpath::TickCount();
        bool ok = decoder.Translate(true, bytes.data(), length);
        took = vpath::TickCount() - begin;
        if (ok) return "OK " + std::to_string(length);
        return decoder.GetLastError().GetBuffer(0);
    }
    std::string Value(const char* path) {
        int32_t idx = -1;
        CVariableItem* item = decoder.GetRoot().GetItem(0, path, &idx);
        if (item == nullptr) return "(none)";
        OTSTR text;
        item->getTextAt(idx < 0 ? 0 : idx, text);
        return text.GetBuffer(0);
    }

    ProtocolDecoder decoder;
};

TEST_F(TimeLimitTest, RunawayScriptsFailWithCanceledAndTheNextMessageWorks) {
    struct {
        const char* what;
        const char* script;
        std::vector<uint8_t> endless;
        const char* error;
        std::vector<uint8_t> normal;  // translates with value 7 for "v"
    } cases[] = {
        {"while in a Translate procedure",
         "struct R { UINT1 a; UINT1 v {\n"
         " UINT1 Translate(STRING s, dynamic &c, INT4 n) { while (This.a) ; return 7; } }; };",
         {1},
         "v canceled !",
         {0}},
        {"nested for loops in a called procedure",
         "INT4 spin(INT4 k) { INT4 i; INT4 j;\n"
         " for (i = 0; i < k; i = i + 0) for (j = 0; j < 10; j = j + 1) ; return 7; }\n"
         "struct R { UINT1 a; UINT1 v[2] {\n"
         " UINT1 Translate(STRING s, dynamic &c, INT4 n) { return spin(This.a); } }; };",
         {1},
         "v[0] canceled !",
         {0}},
        {"a loop in a struct that a choice decodes",
         "struct A { UINT1 x {\n"
         " UINT1 Translate(STRING s, dynamic &c, INT4 n) { while (1) { } return 0; } }; };\n"
         "struct B { UINT1 y; };\n"
         "DeclareMap ( Item , M ) { a [ 1 ] A ; b [ 0 ] B ; };\n"
         "struct R { UINT1 k; Choice c {\n ChoiceMap M\n"
         " VOID Translate(STRING s, dynamic &curItem, INT4 i) {\n"
         "  sysTranChoiceItem(curItem, s, This.k); } }; UINT1 v; };",
         {1, 0},
         "c canceled !",
         {0, 5, 7}},
        {"an Integrate procedure",
         "struct T = UINT1 { UINT1 x; };\n"
         "attribute name = \"T\" { UINT1 Integrate(STRING s) { while (This.x) ; return 7; } }\n"
         "DeclareMap ( Item , M ) { v [ 1 ] TypeOF T ; };\n"
         "struct R { UINT1 k; Choice c {\n ChoiceMap M\n"
         " VOID Translate(STRING s, dynamic &curItem, INT4 i) {\n"
         "  sysTranChoiceItem(curItem, s, This.k); } }; UINT1 v; };",
         {1, 1, 7},
         "c canceled !",
         {1, 0, 7}},
        {"recursion fanning out below the call depth",
         "VOID fan(INT4 n, INT4 k) { if (n < k) { fan(n + 1, k); fan(n + 1, k); } }\n"
         "struct R { UINT1 a; UINT1 v {\n"
         " UINT1 Translate(STRING s, dynamic &c, INT4 n) { fan(0, This.a * 40); return 7; } }; };",
         {1},
         "v canceled !",
         {0}},
    };
    decoder.SetTimeLimit(kLimit);
    EXPECT_EQ(kLimit, decoder.GetTimeLimit());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ("OK", Load(c.script));
        for (int round = 0; round < 2; ++round) {
            uint32_t took = 0;
            EXPECT_EQ(c.error, Run(c.endless, took));
            EXPECT_GE(took, kLimit);
            EXPECT_LT(took, kTooLong);
            // The partial tree stays readable.
            TextTable table;
            table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
            DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpMarker, 0, 16);
            EXPECT_EQ(c.normal.size() > 2 ? "OK 3" : "OK " + std::to_string(c.normal.size()),
                      Run(c.normal, took));
            EXPECT_EQ("7", Value("v"));
        }
    }
}

// A Dump procedure runs after the translation, within the same limit.
TEST_F(TimeLimitTest, EndlessDumpProcedureEndsTheDump) {
    ASSERT_EQ(
        "OK",
        Load("struct R { UINT1 v { OCTET Dump(INT4 n) { while (n) ; return \"fine\"; } }; };"));
    decoder.SetTimeLimit(kLimit);
    uint32_t took = 0;
    ASSERT_EQ("OK 1", Run({1}, took));
    TextTable table;
    table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
    uint32_t begin = vpath::TickCount();
    EXPECT_FALSE(DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpComments, 0, 16));
    EXPECT_LT(vpath::TickCount() - begin, kTooLong);
    EXPECT_STREQ("canceled !", decoder.GetLastError().GetBuffer(0));

    ASSERT_EQ("OK 1", Run({0}, took));
    table.RemoveAllRows();
    ASSERT_TRUE(DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpComments, 0, 16));
    OTSTR line;
    ASSERT_TRUE(table.GetRowLine(1, line));
    EXPECT_NE(std::string::npos, std::string(line.GetBuffer(0)).find("fine")) << line.GetBuffer(0);
}

// A loop at file level runs while the translation prepares the script.
TEST_F(TimeLimitTest, EndlessFileLevelLoopFailsThePreparation) {
    ASSERT_EQ("OK", Load("INT4 g = 1;\nwhile (g) ;\nstruct R { UINT1 v; };"));
    decoder.SetTimeLimit(kLimit);
    uint32_t took = 0;
    EXPECT_EQ("canceled !", Run({1}, took));
    EXPECT_LT(took, kTooLong);
    // Without a limit the decoder waits for the script: only the limit ends it.
    EXPECT_EQ(0u, ProtocolDecoder().GetTimeLimit());
}

// Recursion without end stops at the call depth, well within a small
// stack: a hundred levels of script calls need far less than 1 MB.
TEST_F(TimeLimitTest, EndlessRecursionStopsAtTheCallDepth) {
    ASSERT_EQ("OK", Load("INT4 r(INT4 n, INT4 k) { if (k == 0) return 7; return r(n + 1, k); }\n"
                         "struct R { UINT1 a; UINT1 v {\n"
                         " UINT1 Translate(STRING s, dynamic &c, INT4 n) { return r(0, This.a); }"
                         " }; };"));
    decoder.SetTimeLimit(kLimit);
    OnSmallStack(1024, [this] {
        uint32_t took = 0;
        EXPECT_EQ("v Execute r() fail, call nesting too deep", Run({1}, took));
        EXPECT_EQ(0, decoder.GetEnv().StackSize());
        EXPECT_EQ("OK 1", Run({0}, took));
        EXPECT_EQ("7", Value("v"));
    });
}

}  // namespace
