// Tests of the decoding engine: scripts compiled from scratch files, messages
// decoded into the root "msg", values read back through access paths.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "decoder/decoder_item.h"
#include "decoder/sample_files.h"
#include "decoder/translation_report.h"
#include "runtime/execute_env.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

struct Case {
    std::string script;
    std::vector<uint8_t> bytes;
    std::string result;  // "OK n" or the error
    std::string values;  // "path=value path=value ..."
};

// A member "c" that decodes the element of map M whose key is This.kind.
const char kChoiceOfKind[] =
    " Choice c {\n ChoiceMap M\n VOID Translate(STRING s, dynamic &curItem, INT4 i) {\n"
    "  sysTranChoiceItem(curItem, s, This.kind); } };";

class ProtocolDecoderTest : public DecoderTest {
  protected:
    DecoderItem* Item(const char* path) {
        int32_t idx;
        return static_cast<DecoderItem*>(decoder.GetRoot().GetItem(0, path, &idx));
    }
    void RunCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            ASSERT_EQ("OK", Load(c.script)) << c.script;
            EXPECT_EQ(c.result, Run(c.bytes)) << c.script;
            ExpectValues(c.values);
        }
    }
    // Checks each "path=value" of values.
    void ExpectValues(const std::string& values) {
        std::istringstream pairs(values);
        for (std::string pair; pairs >> pair;) {
            const std::string path = pair.substr(0, pair.find('='));
            EXPECT_EQ(pair.substr(path.size() + 1), Value(path.c_str())) << path;
        }
    }
};

// Arrays, nested structs, bit fields and high-byte-first numbers have their
// rows checked by the examples of docs/language.md (docs_test).
//
// The choice's element follows the kind; in an ImplicitItem map a struct's
// members stand in the choice, the struct itself does not, and a simple
// item is added as it is. (A kind without an element: docs/language.md.)
TEST_F(ProtocolDecoderTest, BasicMembersByteOrderAndChoices) {
    const std::string tail =
        "struct R { UINT1 kind;" + std::string(kChoiceOfKind) + " UINT1 tail; };";
    const std::string choice =
        "struct A { UINT1 x; };\nstruct B { UINT2 y; };\n"
        "DeclareMap ( Item , M ) { a [ 1 ] A ; b [ 2 ] B ; };\n" +
        tail;
    const std::string implicit =
        "struct P { UINT1 x; UINT2 y; };\n"
        "DeclareMap ( ImplicitItem , M ) { p [ 1 ] P ; w [ 2 ] UINT2 ; };\n" +
        tail;
    RunCases({
        // clang-format off
        // Low byte first by default.
        {"struct R { INT2 a; UINT2 b; };", {0x01, 0x80, 0x01, 0x80}, "OK 4", "a=-32767 b=32769"},
        // A member filled by sysFetchValue reads in the script's byte order.
        {"#define NETWORK_TRANMODE H_TO_L\nstruct R { UINT2 a { UINT2 Translate(STRING s, "
         "dynamic &c, INT4 i) { UINT2 v; sysFetchValue(s, v, 0, 0, 1); return v; } }; };",
         {0x01, 0x02}, "OK 2", "a=258"},
        {"struct R { INT1 a; UINT1 b; INT4 c; };",
         {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF}, "OK 6", "a=-1 b=255 c=-2"},
        // Arrays of integers, in either byte order.
        {"#define NETWORK_TRANMODE H_TO_L\nstruct R { UINT2 a[2]; INT1 b[2]; };",
         {1, 2, 3, 4, 0xFF, 5}, "OK 6", "a[0]=258 a[1]=772 b[0]=-1 b[1]=5"},
        {"struct R { UINT2 a[2]; UINT4 b[1]; };",
         {1, 2, 3, 4, 1, 0, 0, 0x80}, "OK 8", "a[0]=513 a[1]=1027 b[0]=2147483649"},
        // Leftover bytes are not an error; the length tells what was used.
        {"struct R { UINT1 a; };", {9, 8, 7}, "OK 1", "a=9"},
        {choice, {2, 0x34, 0x12, 9}, "OK 4", "c.b.y=4660 tail=9"},
        {implicit, {1, 5, 0x34, 0x12, 9}, "OK 5", "c.x=5 c.y=4660 c.p=(none) tail=9"},
        {implicit, {2, 0x01, 0x02, 9}, "OK 4", "c.w=513 c.x=(none) tail=9"},
        // clang-format on
    });
}

TEST_F(ProtocolDecoderTest, ShortMessageFailsAtTheMemberThatNeedsMoreBytes) {
    const std::string getFail =
        "' data fail, maybe reach packet or current ConfentOf stream's end, or setvalue error";
    RunCases({
        // clang-format off
        {"struct R { UINT1 a; UINT2 b; UINT1 c; };",
         {7, 1}, "1   : 'b' get 'UINT2" + getFail, "a=7 b=- c=-"},
        // An array longer than the bytes left fails at the member, unread.
        {"struct R { UINT1 a; UINT2 b[10000000]; };",
         {7, 1}, "1   : 'b' get 'UINT2" + getFail, "a=7 b=-"},
        // Types that need a procedure fail without one.
        {"struct R { UINT1 a; OCTET b; };", {1, 2}, "1   : translate procedure not found for 'b'",
         "a=1"},
        {"struct R { DOUBLE d; };", {1}, "0   : translate procedure not found for 'd'", ""},
        {"struct P { UINT1 x; UINT4 y; };\nstruct R { UINT1 a; P p[2]; };",
         {1, 2, 3, 4, 5, 6, 7}, "7   : 'y' get 'UINT4" + getFail, "a=1 p[0].y=100992003 p[1].x=7"},
        // clang-format on
    });
    // The failing item carries its mark; the earlier ones their location.
    DecoderItem* p = Item("p");
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(p->IsFailed());
    EXPECT_EQ(1, p->start);
    EXPECT_EQ(-1, p->length);
    // Each element of the struct array has its own location: the first
    // complete, the second cut short.
    struct {
        int32_t start, length;
        bool failed;
    } elements[] = {{1, 5, false}, {6, -1, true}};
    for (int i = 0; i < 2; ++i) {
        auto* element = dynamic_cast<DecoderStruct*>(p->StructAt(i));
        ASSERT_NE(nullptr, element) << i;
        EXPECT_EQ(elements[i].start, element->start) << i;
        EXPECT_EQ(elements[i].length, element->length) << i;
        EXPECT_EQ(elements[i].failed, element->failed) << i;
    }
}

// Declared counts far beyond a 1-byte message: storage is reserved for what
// the bytes could hold, so each fails at once as a short message does, and
// the partial tree dumps.
TEST_F(ProtocolDecoderTest, HugeCountsFailLikeAShortMessage) {
    const std::string fetchOne =
        " { VOID Translate(STRING s, dynamic &c, INT4 i) { sysFetchValue(s, c, now(), 1, 1); } }";
    const struct {
        std::string members;
        const char* error;
    } cases[] = {
        {"struct P { UINT1 k; UINT1 v; };\nstruct R { P p[100000000]; };",
         "1   : 'v' get 'UINT1' data fail"},
        {"struct R { UINT1 a[2000000000]" + fetchOne + "; };", "a[1] "},
        {"struct R { OCTET o[2000000000]" + fetchOne + "; };", "o[1] "},
        {"struct S { UINT1 x; };\nstruct R { MEMO m[2000000000] { ContentOF S\n" +
             fetchOne.substr(3) + "; };",
         "m[1] "},
        {"struct R { STRING t[2000000000]; };", "0   : translate procedure not found for 't[0]'"},
        {"struct R { UINT1 k; UINT4 w[2000000000]; };", "1   : 'w' get 'UINT4' data fail"},
        // Choice elements that read no bytes, added without end.
        {"struct E { UINT1 x { UINT1 Translate(STRING s, dynamic &c, INT4 i) { return 1; } }; };\n"
         "DeclareMap ( Item , M ) { e [ 1 ] E ; };\n"
         "struct R { Choice c { ChoiceMap M\n"
         " VOID Translate(STRING s, dynamic &c, INT4 i) { while (1) sysTranChoiceItem(c, s, 1); } "
         "}; };",
         "c 0   : 'c[ChoiceElem "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.members);
        ASSERT_EQ("OK", Load(c.members));
        EXPECT_EQ(0u, Run({1}).find(c.error)) << decoder.GetLastError().GetBuffer(0);
        TextTable table;
        table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
        EXPECT_TRUE(DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpMarker, 0, 16));
    }
}

TEST_F(ProtocolDecoderTest, LoadAndRootStates) {
    ProtocolDecoder fresh;
    int32_t length = 1;
    uint8_t byte = 0;
    EXPECT_FALSE(fresh.Translate(true, &byte, length));
    EXPECT_STREQ("no script loaded", fresh.GetLastError().GetBuffer(0));
    // Whatever stops a translation, the root keeps its name.
    EXPECT_STREQ("msg", fresh.GetRoot().GetItemName().GetBuffer(0));

    EXPECT_FALSE(decoder.LoadScript("missing.txt", false));
    EXPECT_NE(0, decoder.GetLastError().GetLength());

    ASSERT_EQ("OK", Load("#define PROTOCOL_NAME \"Demo\"\nstruct R { UINT1 a; };", false));
    EXPECT_STREQ("Demo", decoder.GetProtocolName().GetBuffer(0));
    EXPECT_EQ("Access struct(defined by 'PROTOCOL_ROOT') not seted", Run({1}));
    EXPECT_STREQ("msg", decoder.GetRoot().GetItemName().GetBuffer(0));
    EXPECT_TRUE(decoder.SetRoot("R", 7));
    EXPECT_EQ("OK 1", Run({1}));
    EXPECT_EQ(7, decoder.GetRootTag());
    EXPECT_FALSE(decoder.SetRoot("Nope", 0));

    // A failed load leaves no script behind.
    EXPECT_NE("OK", Load("struct R { UINT1 a }"));
    EXPECT_EQ(nullptr, decoder.GetProgram());
    EXPECT_EQ("no script loaded", Run({1}));
    EXPECT_STREQ("msg", decoder.GetRoot().GetItemName().GetBuffer(0));
}

TEST_F(ProtocolDecoderTest, ChoicesNestedTooDeepStopWithAMessage) {
    ASSERT_EQ("OK", Load("struct R;\nDeclareMap ( Item , M ) { r [ 1 ] R ; };\n"
                         "struct R { UINT1 kind;" +
                         std::string(kChoiceOfKind) + " };"));
    std::string result = Run(std::vector<uint8_t>(5000, 1));
    EXPECT_NE(std::string::npos, result.find("too deep")) << result;

    // Structs 200 levels deep are refused with the nesting message.
    std::string deep = "#define PROTOCOL_ROOT S199\nstruct S0 { UINT1 x; };\n";
    for (int i = 1; i < 200; ++i) {
        deep += "struct S" + std::to_string(i) + " { S" + std::to_string(i - 1) + " a; };\n";
    }
    ASSERT_EQ("OK", Load(deep, false));
    EXPECT_EQ("0   : 'msg' nested deeper than 64 levels, translate stopped", Run({1}));
}

TEST_F(ProtocolDecoderTest, MarkersAndLocations) {
    ASSERT_EQ("OK", Load("struct R { UINT1 pad : 7; UINT1 bit : 1; UINT2 w[3]; UINT2 f : 12;"
                         " UINT2 g : 4; UINT2 u; UINT2 hi : 7; UINT2 b8 : 1; UINT2 lo : 8;"
                         " UINT2 p : 7; UINT2 s : 2; UINT2 q : 7; };"));
    ASSERT_EQ("OK 15", Run({0x01, 1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 0x00, 0x01, 0x80, 0x01}));
    struct {
        const char* path;
        const char* marker;
        const char* location;
    } rows[] = {{"bit", "-------1", "0  : 1"},
                {"w", "***B6***", "1  : 6"},
                {"f", "**b12***", "7  : 0"},
                {"u", "***B2***", "9  : 2"},
                // A field within the upper byte of its unit is drawn in that
                // byte; one across both bytes is counted.
                {"b8", "-------1", "11 : 0"},
                {"s", "***b2***", "13 : 0"}};
    for (const auto& r : rows) {
        DecoderItem* item = Item(r.path);
        ASSERT_NE(nullptr, item) << r.path;
        OTSTR text;
        item->MarkerText(text);
        EXPECT_STREQ(r.marker, text.GetBuffer(0)) << r.path;
        item->LocationText(text);
        EXPECT_STREQ(r.location, text.GetBuffer(0)) << r.path;
    }
}

TEST_F(ProtocolDecoderTest, DemoSample) {
    ASSERT_TRUE(decoder.LoadScript(SamplePath("demo/main.txt").c_str(), false))
        << decoder.GetLastError().GetBuffer(0);
    EXPECT_STREQ("Demo", decoder.GetProtocolName().GetBuffer(0));
    // version 1, kind 2 (data), flags, length; count 2, values.
    EXPECT_EQ("OK 14", Run({0x12, 0x03, 0x00, 0x0A, 0x00, 0x02, 0, 1, 0, 2, 0, 3, 0, 4}));
    ExpectValues("header.version=1 header.kind=2 body.data.count=2 body.data.values[3]=4");
}

// A choice whose map item "v" takes its value from the integrated struct T;
// N has no Integrate procedure.
const std::string kIntegrated =
    "struct T = UINT2 { UINT1 hi; UINT1 lo; };\n"
    "attribute name = \"T\" {\n"
    " UINT2 Integrate(STRING s) { return This.hi * 256 + This.lo; }\n"
    " OCTET Dump(T &t) { return strFormat(\"%d/%d\", t.hi, t.lo); } }\n"
    "struct N = UINT1 { UINT1 x; };\n"
    "DeclareMap ( Item , M ) { v [ 1 ] TypeOF T ; n [ 2 ] TypeOF N ; };\n"
    "struct R { UINT1 kind;" +
    std::string(kChoiceOfKind) + " UINT1 tail; };";

TEST_F(ProtocolDecoderTest, IntegratedMembersKeepOrDropTheirStructOrFail) {
    ASSERT_EQ("OK", Load(kIntegrated));
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        ASSERT_EQ("OK 4", Run({1, 0x01, 0x02, 9}, keep));
        ExpectValues("c.v=258 tail=9");
        DecoderItem* v = Item("c.v");
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(1, v->start);
        EXPECT_EQ(2, v->length);
        OTSTR marker;
        v->MarkerText(marker);
        EXPECT_STREQ(">", marker.GetBuffer(0));
        EXPECT_TRUE(v->HasComment());
        EXPECT_EQ(keep, v->HasIntegrated(true));
        CVariableItem* kept = v->IntegratedAt(0);
        EXPECT_EQ(keep, kept != nullptr);
        if (kept != nullptr) {
            int32_t idx;
            CVariableItem* lo = kept->GetItem(0, "lo", &idx);
            ASSERT_NE(nullptr, lo);
            EXPECT_EQ(2, lo->getAt_as_long(0));
            // The comment is computed from the kept struct.
            OTSTR comment;
            EXPECT_EQ(1, v->CommentText(0, comment, "none")) << decoder.GetLastError().GetBuffer(0);
            EXPECT_STREQ("1/2", comment.GetBuffer(0));
        }
    }
    // N has no Integrate procedure; T runs out of bytes inside its struct.
    EXPECT_EQ("c c[ChoiceElem 0].n get procedure Integrate() error", Run({2, 7, 9}));
    EXPECT_EQ(
        "c 2   : 'lo' get 'UINT1' data fail, maybe reach packet or current ConfentOf stream's "
        "end, or setvalue error",
        Run({1, 0x01}));
    DecoderItem* v = Item("c.v");
    ASSERT_NE(nullptr, v);
    EXPECT_TRUE(v->IsFailed());
    EXPECT_FALSE(v->HasLocation());
}

// A translation's result with every row of its tree: names, values,
// locations, markers, comments and integrated structs.
std::string TreeText(ProtocolDecoder& decoder, const std::string& result) {
    const uint32_t options = kDumpComments | kDumpValues | kDumpIntegrated | kDumpMarker;
    TextTable table;
    SetReportColumns(table, 40);
    std::string text =
        result + (DumpTree(decoder.GetRoot(), table, options, 0, 16) ? "\n" : " !\n");
    table.ComputeWidths();
    OTSTR line;
    for (int row = 0; row < table.GetRowCount(); ++row) {
        if (table.GetRowLine(row, line)) text.append(line.GetBuffer(0)).append("\n");
    }
    return text;
}

// A decoder renews the last message's tree in place for the next one:
// after any message, each message gives the tree that a new decoder gives.
TEST_F(ProtocolDecoderTest, EveryMessageGetsTheTreeOfANewDecoder) {
    ASSERT_EQ("OK", Load("struct P { UINT1 x : 4; UINT1 y : 4; };\n"
                         "struct Q { UINT1 m; UINT1 more[100000]; };\n"
                         "struct T = UINT2 { UINT1 hi; UINT1 lo; };\n"
                         "attribute name = \"T\" {\n"
                         " UINT2 Integrate(STRING s) { return This.hi * 256 + This.lo; } }\n"
                         "DeclareMap ( Item , M ) { p [ 1 ] P ; w [ 2 ] UINT2 ; v [ 3 ] TypeOF T ;"
                         " q [ 4 ] Q ; };\n"
                         "struct R { UINT1 kind;" +
                         std::string(kChoiceOfKind) +
                         " UINT1 n; P ps[2];\n"
                         " OCTET data { VOID Translate(STRING s, dynamic &curItem, INT4 i) {\n"
                         "  sysFetchValue(s, curItem, now(), This.n, 1); } };\n"
                         " UINT1 tail; };"));
    ProtocolDecoder fresh;
    ASSERT_TRUE(fresh.LoadScript("proto.txt", false)) << fresh.GetLastError().GetBuffer(0);
    const std::vector<std::vector<uint8_t>> messages = {
        {1, 0x21, 2, 0x43, 0x65, 'a', 'b', 9},                 // a struct element, two data bytes
        {2, 0x34, 0x12, 0, 0x11, 0x22, 7},                     // a word element, no data
        {3, 0x01, 0x02, 5, 0, 0, 'h', 'e', 'l', 'l', 'o', 1},  // an integrated element
        {1, 0x21, 2, 0x43},                                    // ends inside the struct array
        {9, 1, 2, 3},                                          // no element of that kind
        {4, 7, 1, 2, 3},                                       // an array longer than the message
        {},                                                    // nothing at all
    };
    for (bool keep : {true, false}) {
        for (size_t before = 0; before < messages.size(); ++before) {
            for (size_t now = 0; now < messages.size(); ++now) {
                SCOPED_TRACE(testing::Message() << keep << " " << before << " then " << now);
                Run(messages[before], keep);
                std::string renewed = TreeText(decoder, Run(messages[now], keep));
                int32_t length = static_cast<int32_t>(messages[now].size());
                bool ok = fresh.Translate(keep, messages[now].data(), length);
                std::string made = TreeText(
                    fresh, ok ? "OK " + std::to_string(length) : fresh.GetLastError().GetBuffer(0));
                fresh.Translate(keep, nullptr, length);  // back to an empty root
                EXPECT_EQ(made, renewed);
            }
        }
    }
}

// A holder given back is taken again as a new one is; one whose header was
// changed where emptying it does not reach is not kept.
TEST_F(ProtocolDecoderTest, HoldersComeBackAsNew) {
    ASSERT_EQ("OK", Load("struct R { UINT1 a[2]; };"));
    ASSERT_EQ("OK 2", Run({5, 6}));
    CVariableItem* a = decoder.GetRoot().GetItem(0, "a", nullptr);
    ASSERT_NE(nullptr, a);
    std::unique_ptr<DecoderItem> holder = decoder.TakeHolder();
    DecoderItem* used = holder.get();
    ASSERT_TRUE(holder->PassAddressClone(*a, 1, nullptr));
    holder->SetName("this");
    holder->start = 3;
    decoder.GiveHolder(std::move(holder));
    holder = decoder.TakeHolder();
    EXPECT_EQ(used, holder.get());
    EXPECT_FALSE(holder->IsReference());
    EXPECT_EQ(kTypeNone, holder->GetType());
    EXPECT_EQ(nullptr, holder->def);
    EXPECT_EQ(-1, holder->start);
    EXPECT_EQ(0, holder->GetItemName().GetLength());
    holder->EditHeader().mapTag = 2;
    decoder.GiveHolder(std::move(holder));
    holder = decoder.TakeHolder();
    EXPECT_EQ(-1, holder->Header().mapTag);
}

TEST_F(ProtocolDecoderTest, CommentsFromDumpProceduresAndEnums) {
    // The line comment of an enum's last item, which the look-ahead of its
    // value passes over when no comma follows, still becomes its comment.
    // A Dump's argument is the item's value, also where a define has the
    // argument's name.
    ASSERT_EQ("OK",
              Load("#define curItem 100\nextern INT4 nosuch();\n"
                   "enum E { ONE = 1, // one\n TWO = 2 // two\n};\n"
                   "struct R {\n"
                   " UINT1 d[2] { OCTET Dump(INT4 n) { return strFormat(\"n=%d\", n); } };\n"
                   " UINT1 bad { OCTET Dump(INT4 n) { return strFormat(\"%d\", nosuch()); } };\n"
                   " UINT1 e { DumpOF E ( Equal ) };\n"
                   " UINT1 two { DumpOF E ( Equal ) };\n"
                   " UINT1 plain;\n"
                   // The message is gone when the comments are made.
                   " UINT1 pos { OCTET Dump(INT4 n) { return strFormat(\"%d\", now()); } };\n"
                   " UINT1 len { OCTET Dump(INT4 n) { return strFormat(\"%d\", TotalLength()); }"
                   " };\n"
                   " UINT1 at { OCTET Dump(INT4 n) { UINT1 v; sysFetchValue(\"at\", v, 0, 0, 0);"
                   " return strFormat(\"%d\", v); } }; };"));
    struct {
        const char* path;
        int32_t index;
        bool has;
        int result;
        const char* comment;
        const char* error;  // in lastError after a failure
    } cases[] = {
        {"d", 0, true, 1, "n=3", nullptr},
        {"d", 1, true, 1, "n=4", nullptr},
        {"e", 0, true, 2, "dflt", nullptr},  // 9 is no E value
        {"two", 0, true, 1, "two", nullptr},
        {"plain", 0, false, 2, "dflt", nullptr},
        {"bad", 0, true, 0, "", "procedure nosuch() not found"},
        {"pos", 0, true, 0, "", "now() fail, no message is being translated"},
        {"len", 0, true, 0, "", "TotalLength() fail, no message is being translated"},
        {"at", 0, true, 0, "", "sysFetchValue() fail, no message is being translated"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // The environment keeps its first error: each case on a new message.
        ASSERT_EQ("OK 9", Run({3, 4, 5, 9, 2, 7, 1, 2, 3}));
        DecoderItem* item = Item(c.path);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(c.has, item->HasComment());
        OTSTR comment;
        EXPECT_EQ(c.result, item->CommentText(c.index, comment, "dflt"));
        EXPECT_STREQ(c.comment, comment.GetBuffer(0));
        // Only a failing Dump marks the item.
        EXPECT_EQ(c.result == 0, item->IsFailed());
        if (c.error != nullptr) {
            std::string error = decoder.GetLastError().GetBuffer(0);
            EXPECT_NE(std::string::npos, error.find(c.error)) << error;
        }
    }
}

// Hands "ext" back 42 and records what it was given.
struct ExternalCalls {
    int calls = 0;
    int answer = 1;
    void* decoder = nullptr;
    void* cursor = nullptr;

    static int Handle(void* owner, int argc, void** argv) {
        auto* self = static_cast<ExternalCalls*>(owner);
        ++self->calls;
        if (argc != 4) return 0;
        self->decoder = argv[0];
        self->cursor = argv[3];
        auto* env = static_cast<ExecuteEnv*>(argv[1]);
        auto* procedure = static_cast<Procedure*>(argv[2]);
        if (self->answer == 0) return 0;
        return procedure->setReturn(*env, "42") ? 1 : 0;
    }
};

// A quiet Dump procedure's recent results are kept by value: repeated and
// alternating values still get each their own comment, in every message.
TEST_F(ProtocolDecoderTest, KeptDumpResultsFollowTheValues) {
    ASSERT_EQ("OK", Load("struct R { UINT1 d[7] { OCTET Dump(INT4 n) {"
                         " return strFormat(\"n=%d\", n * 2); } }; };"));
    const std::vector<std::vector<uint8_t>> messages = {{3, 4, 3, 5, 6, 7, 3},
                                                        {7, 6, 5, 4, 3, 3, 9}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& bytes : messages) {
            ASSERT_EQ("OK 7", Run(bytes));
            DecoderItem* d = Item("d");
            ASSERT_NE(nullptr, d);
            for (int32_t i = 0; i < 7; ++i) {
                OTSTR comment;
                EXPECT_EQ(1, d->CommentText(i, comment, "dflt"));
                EXPECT_EQ("n=" + std::to_string(bytes[i] * 2), comment.GetBuffer(0)) << i;
            }
        }
    }
}

TEST_F(ProtocolDecoderTest, UnknownExternsGoToTheExternalHandler) {
    ASSERT_EQ("OK", Load("extern INT4 ext(INT4 a);\nstruct R { UINT1 a; INT4 v {\n"
                         " INT4 Translate(STRING s, dynamic &c, INT4 n) { return ext(This.a); } };"
                         " };"));
    EXPECT_EQ("v procedure ext() not found", Run({1}));

    ExternalCalls calls;
    decoder.SetExternalHandler(&calls, ExternalCalls::Handle);
    EXPECT_EQ("OK 1", Run({1}));
    EXPECT_EQ("42", Value("v"));
    EXPECT_EQ(1, calls.calls);
    EXPECT_EQ(&decoder, calls.decoder);
    EXPECT_NE(nullptr, calls.cursor);

    // A handler that declines leaves the call unresolved.
    calls.answer = 0;
    EXPECT_EQ("v procedure ext() not found", Run({1}));
    EXPECT_EQ(2, calls.calls);
}

// A call site is bound to its procedure and parsed arguments the first time
// it runs: the same message gives the same values and errors every time.
TEST_F(ProtocolDecoderTest, BoundCallsGiveTheSameResultsEveryTime) {
    const std::string head =
        "#define N 3\n"
        "INT4 fact(INT4 k) { if (k <= 1) return 1; return k * fact(k - 1); }\n"
        "VOID twice(INT4 &x) { x = x * 2; }\n"
        "VOID bump(UINT1 &x) { x = x + 1; }\n"
        "INT4 same(INT4 n) { return n; }\n"
        "INT4 find(INT4 limit) { INT4 i; INT4 j;\n"
        " for (i = 0; i < 10; i = i + 1) { j = 0;\n"
        "  while (j < 10) { if (i * j == limit) return i * 100 + j; j = j + 1; } }\n"
        " return -1; }\n"
        "INT4 two(INT4 a, INT4 b) { return a - b; }\n"
        "enum E { ONE = 1, TWO = 2 };\n";
    const struct {
        const char* type;
        const char* body;
        uint8_t k;
        const char* result;
        const char* value;
    } cases[] = {
        // Recursion through one call site.
        {"INT4", "return fact(This.k);", 5, "OK 1", "120"},
        // By-address parameters write the caller's variable.
        {"INT4", "INT4 x; x = This.k; twice(x); twice(x); return x;", 5, "OK 1", "20"},
        {"INT4", "UINT1 p[2]; p[1] = This.k; bump(p[1]); bump(p[1]); return p[1];", 5, "OK 1", "7"},
        // A parameter named like a define in another case reads the define.
        {"INT4", "return same(This.k);", 5, "OK 1", "3"},
        // return inside a while inside a for.
        {"INT4", "return find(This.k);", 12, "OK 1", "206"},
        // Variable arguments, with a call among them.
        {"STRING", "return strFormat(\"%d-%d-%s\", This.k, fact(3), \"x\");", 7, "OK 1", "7-6-x"},
        // Arguments in order; an argument that fails fails the call each time.
        {"INT4", "return two(This.k + 1, N + 2);", 9, "OK 1", "5"},
        {"INT4", "INT4 x; x = two(This.k, 1 / (This.k - 9)); return x;", 9,
         "v Execute two() fail, generateParamsList error", nullptr},
        // Assignments of a name, a define, an enum item, a path, a whole
        // array and a text; to a define.
        {"INT4", "INT4 a; INT4 b; b = This.k; a = b; b = N; return a * 10 + b;", 5, "OK 1", "53"},
        {"INT4", "INT4 a; a = E::TWO; return a;", 5, "OK 1", "2"},
        {"INT4", "UINT1 p[2]; UINT1 q[2]; q[0] = 1; q[1] = This.k; p = q; return p[0] + p[1];", 5,
         "OK 1", "6"},
        {"STRING", "OCTET t; OCTET u; t = \"ab\"; u = t; return u;", 5, "OK 1", "ab"},
        {"INT4", "N = This.k; return 1;", 5, "v proto.txt : Ln 21  statement_expr execute fail !",
         nullptr},
    };
    for (const auto& c : cases) {
        std::string script = head + "struct R { UINT1 k; " + c.type + " v { " + c.type +
                             " Translate(STRING s, dynamic &c, INT4 i) { " + c.body + " } }; };";
        ASSERT_EQ("OK", Load(script)) << script;
        // Bound, and reading the texts as before binding.
        for (int run = 0; run < 6; ++run) {
            CallArguments::SetBinding(run < 3);
            EXPECT_EQ(c.result, Run({c.k})) << script << " run " << run;
            if (c.value != nullptr) {
                EXPECT_EQ(c.value, Value("v")) << script;
            }
        }
        CallArguments::SetBinding(true);
    }
}

// An element's procedure of the usual parameters takes the element's name,
// the element and its index as values; any other takes the text of them.
// Both give what the text gives with binding off, for names of one letter
// and of array elements.
TEST_F(ProtocolDecoderTest, ElementProceduresTakeWhatTheirArgumentTextGives) {
    const char* const parameters[] = {
        "STRING s, dynamic &c, INT4 n",   "OCTET s, dynamic &c, UINT1 n",
        "STRING s, UINT1 &c, INT2 n",     "INT4 s, dynamic &c, INT4 n",
        "STRING s, dynamic &c, STRING n", "STRING s, INT4 c, INT4 n",
    };
    const char* const members[] = {"UINT1 a", "UINT1 x_1[2]", "UINT1 T"};
    for (const char* params : parameters) {
        for (const char* member : members) {
            std::string script =
                std::string("struct R { UINT1 k; ") + member + " { INT2 Translate(" + params +
                ") { c = n + 7;"
                " sysSetTitle(0, strFormat(\"%s|%d|%d\", s, n, c)); return c * 2 + n; } }; };";
            ASSERT_EQ("OK", Load(script)) << script;
            std::string seen[2];
            for (int bound = 0; bound < 2; ++bound) {
                CallArguments::SetBinding(bound == 1);
                OTSTR title;
                std::string ran = Run({1, 2, 3, 4});
                decoder.GetTitle(0, title);
                seen[bound] = ran + " " + Value("a") + " " + Value("x_1[1]") + " " + Value("T") +
                              " " + title.GetBuffer(0) + " " + decoder.GetLastError().GetBuffer(0);
            }
            CallArguments::SetBinding(true);
            EXPECT_EQ(seen[0], seen[1]) << script;
        }
    }
}

// Names and calls bound at their first run follow the script loaded: each
// load reads its own define and enum item and calls its own procedure, also
// in a subscript (a text whose parse every script shares), twice a message.
TEST_F(ProtocolDecoderTest, BoundNamesFollowTheLoadedScript) {
    const struct {
        const char *n, *f, *v;
    } loads[] = {{"1", "0", "42"}, {"2", "1", "66"}, {"1", "2", "46"}};
    for (const auto& load : loads) {
        std::string script = std::string("#define N ") + load.n +
                             "\nenum E { A = 1, B = " + load.n + "0 };\nINT4 f(INT4 a) { return " +
                             load.f +
                             "; }\nstruct R { UINT1 b[3]; INT4 v {\n"
                             " INT4 Translate(STRING s, dynamic &c, INT4 i) { INT4 t; INT4 j;\n"
                             " t = 0; for (j = 0; j < 2; j = j + 1)\n"
                             " t = t + E::B + This.b[N] + This.b[f(0)];\n"
                             " return t; } }; };";
        ASSERT_EQ("OK", Load(script));
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ("OK 3", Run({5, 6, 7}));
            EXPECT_EQ(load.v, Value("v"));
        }
    }
}

}  // namespace
