// Tests of the compiled procedures: each call gives what the procedure's
// frame gives, value, type, effects, messages and environment alike.
#include "decoder/procedure_code.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "base/tracer.h"
#include "decoder/quiet_procedures.h"
#include "decoder/sample_files.h"
#include "decoder/translation_report.h"
#include "runtime/execute_env.h"
#include "runtime/quiet_frame.h"
#include "script/attribute_definition.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "types/instance_dump.h"
#include "types/text_table.h"
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
        // A signed variable against an unsigned one.
        "INT4 P(INT4 a, UINT1 b) { if (a < b) return a >> 1; return a * b; }",
        "UINT2 P(INT2 a) { return ((a << 3) ^ (a >> 2)) | ((a && 1) + !a) + (a != -1) * 2; }",
        "WORD P(BYTE a, DWORD b) { { INT2 s; s = a - b; if (s < 0) { return -s; } } return a + b; "
        "}",
        // The operators between operands of known types, signed and
        // unsigned (a procedure that may divide by zero is not quiet).
        "INT4 P(INT4 a, UINT1 b) { return (a >= b) + (b <= a) + (a > b) + (b == a) + (a != b) +"
        " ((a - b) >> 3) + ((b - a) >> 3) + (b << 2) + a * b - (b ^ a) + (a || b) + (b & a); }",
        "OCTET P(INT4 a) { OCTET s; s = sysGetEnumComment(\"F\", a, \"Or\", strFormat(\"#%x\", a));"
        " return s; }",
        // Calls of quiet procedures, their results kept between the calls.
        "OCTET T(UINT4 x) { return strFormat(\"%u\", x); }\nOCTET P(UINT1 v) { return T(v); }",
        "INT4 Twice(INT4 x) { return x * 2; }\nINT1 P(INT2 v) { INT4 y; y = Twice(v) + 1;"
        " return Twice(y) - Twice(v + E::A); }",
        // Operators of two leaves as the operands of operators, unary ones
        // too, of conditions and of stores.
        "INT4 P(UINT4 a, INT1 c) { UINT1 b; b = a >> 8; if (b < c) return ~(b & 7) - -(c - a);"
        " return (a * 256) + (b - c); }",
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
        std::unique_ptr<ProcedureCode> code =
            ProcedureCode::Compile(*p, decoder.GetQuietProcedures());
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

// General procedures, called from a Translate procedure with a text and
// two integers. Each row: the procedure P, and the Translate's body that
// calls it.
struct GeneralCase {
    const char* procedure;
    const char* call;
};

const GeneralCase kGeneralCases[] = {
    // Captions from texts, enum comments and formats.
    {"VOID P(STRING s, INT4 a, UINT1 b) { sysSetTitle(0, strFormat(\"%s %d\", s, a));"
     " sysSetTitle(1, sysGetEnumComment(\"E\", b, \"Equal\", strFormat(\"b%u\", b))); }",
     "P(s, This.a, This.b); return now();"},
    // A fetch into an array that stays in place; element reads.
    {"INT4 P(STRING s, INT4 a, UINT1 b) { UINT1 x[2]; sysFetchValue(s, x, now(), 0, 0);"
     " return x[0] * 256 + x[1] - a; }",
     "return P(s, This.a, This.b);"},
    // A loop of fetches up to the end; an initialised variable.
    {"INT4 P(STRING s, INT4 a, UINT1 b) { INT4 at = now() + 0; INT4 n; UINT1 k; n = 0;"
     " while (at < TotalLength()) { sysFetchValue(s, k, at, 0, 0); n = n * 3 + k;"
     " at = at + 1; } return n; }",
     "return P(s, This.a, This.b);"},
    // A fetch that moves on, then an abort: the move is undone with it.
    {"UINT2 P(STRING s, INT4 a, UINT1 b) { UINT2 w; sysFetchValue(s, w, now(), 0, 1);"
     " if (w > a * 256) sysAbort(s, strFormat(\"%u above %d\", w, a)); return w; }",
     "return P(s, This.a, This.b);"},
    // Fetches by a literal name: a flag whose byte is 0 (256 stays in
    // place), an array past the end, a position past the message.
    {"INT4 P(STRING s, INT4 a, UINT1 b) { UINT1 x[3]; UINT2 w;"
     " sysFetchValue(\"f\", w, now(), 0, 256); if (a > 3) sysFetchValue(\"f\", x, now() + 1, 0, 1);"
     " if (a == 3) sysFetchValue(s, w, TotalLength() + a, 0, 0); return w + x[2] + now(); }",
     "return P(s, This.a, This.b);"},
    // A text of a length read from the message, as a caption.
    {"OCTET P(STRING s, INT4 a, UINT1 b) { OCTET t; sysFetchValue(s, t, now(), b, 0);"
     " sysSetTitle(0, t); if (a > 5) return strFormat(\"big %d\", a); return t; }",
     "sysSetTitle(1, P(s, This.a, This.b)); return now();"},
    // A caption out of range: an error said by a call that succeeds.
    {"VOID P(STRING s, INT4 a, UINT1 b) { sysSetTitle(b, s); return; sysSetTitle(0, s); }",
     "P(s, This.a, This.b); return 1;"},
    // A variable read before any value, a division by zero.
    {"INT4 P(STRING s, INT4 a, UINT1 b) { INT4 u; if (a > 3) u = 1; return u + 100 / b; }",
     "return P(s, This.a, This.b);"},
    // Integers stored from bare names, named values and variables of the script.
    {"INT4 P(STRING s, INT4 a, UINT1 b) { INT4 c = a; UINT1 d; d = c; c = LIMIT;"
     " return d * c + b + g; }",
     "return P(s, This.a, This.b);"},
    // A general procedure calling another, which may fail.
    {"VOID Q(STRING s, INT4 a) { sysSetTitle(1, strFormat(\"%s/%d\", s, a));"
     " if (a > 300) sysAbort(s, \"big\"); }\nVOID P(STRING s, INT4 a, UINT1 b)"
     " { Q(s, a + b); sysSetTitle(0, s); }",
     "P(s, This.a, This.b); return now();"},
    // Formats of integers of several widths and of texts, and formats that
    // fail: a text from an integer, a value missing, a text variable without
    // a value, a number from a text.
    {"OCTET P(STRING s, INT4 a, UINT1 b) { INT2 h; OCTET t; h = a * 300;"
     " sysSetTitle(0, strFormat(\"%d|%u|%ld|%x|%c|%s|%\", h, h, b, a - 1000, b + 64, s));"
     " if (b == 5) return strFormat(\"%s %d\", b, a); if (a == 9) return strFormat(\"%d %d\", a);"
     " if (a == 0) return strFormat(\"%s\", t); if (a == 2) return strFormat(\"%d\", s);"
     " return strFormat(\"%f %s\", a, strFormat(\"<%s>\", s)); }",
     "sysSetTitle(1, P(s, This.a, This.b)); return now();"},
    // A format of many calls of one quiet procedure: its kept results are
    // read in place while the calls after them keep new ones.
    {"OCTET T(INT4 x) { return strFormat(\"<%d>\", x); }\nVOID P(STRING s, INT4 a, UINT1 b)"
     " { sysSetTitle(0, strFormat(\"%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s\", T(a), T(a),"
     " T(b), T(a), T(b), T(a + 1), T(a + 2), T(a + 3), T(a + 4), T(a + 5), T(a + 6), T(a + 7),"
     " T(a + 8), T(a + 9), T(a + 10), T(a + 11), T(a + 12), T(a + 13), T(a + 14), T(a + 15),"
     " T(a + 16), T(b))); sysSetTitle(1, strFormat(\"%s%s%s%s%s%s%s%s%s%s%s\", T(a), T(b),"
     " T(a + 1), T(a + 2), T(a + 3), T(a + 4), T(a + 5), T(a + 6), T(a + 7), T(a + 8),"
     " T(a + 9))); }",
     "P(s, This.a, This.b); return 1;"},
    // Quiet procedures and a VOID procedure's value.
    {"INT4 Sq(INT4 x) { return x * x; }\nVOID P(STRING s, INT4 a, UINT1 b)"
     " { INT4 q; q = Sq(a) - Sq(b); sysSetTitle(0, strFormat(\"%d\", q)); }",
     "P(s, This.a, This.b); return 7;"},
};

const std::vector<std::vector<uint8_t>> kGeneralMessages = {{1, 2, 0x10, 0x20, 0x30, 0x40},
                                                            {9, 0},
                                                            {3, 1, 0xff},
                                                            {200, 5, 1, 2, 3, 4, 5, 6, 7},
                                                            {0, 0},
                                                            {2, 3, 0x41, 0x42, 0x43},
                                                            {4, 1, 0x05, 0x00}};

// What a translation gave, with what it traced.
std::string Outcome(ProtocolDecoder& decoder, const std::vector<uint8_t>& bytes) {
    const bool wasOn = Tracer::inst()->IsConsoleOn();
    Tracer::inst()->SetConsoleOn(true);
    testing::internal::CaptureStdout();
    int32_t length = static_cast<int32_t>(bytes.size());
    bool ok = decoder.Translate(true, bytes.data(), length);
    fflush(stdout);
    std::string traced = testing::internal::GetCapturedStdout();
    Tracer::inst()->SetConsoleOn(wasOn);
    OTSTR title0, title1, line;
    decoder.GetTitle(0, title0);
    decoder.GetTitle(1, title1);
    // The tree with its marks, as the report shows it.
    TextTable table;
    SetReportColumns(table, 40);
    DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpMarker, 0, 16);
    table.ComputeWidths();
    std::string rows;
    for (int row = 0; row < table.GetRowCount(); ++row) {
        if (table.GetRowLine(row, line)) rows.append(line.GetBuffer(0)).append("\n");
    }
    return (ok ? "OK " + std::to_string(length)
               : std::string("failed ") + decoder.GetLastError().GetBuffer(0)) +
           " | " + title0.GetBuffer(0) + " | " + title1.GetBuffer(0) + "\n" + rows + traced;
}

// Translates each message with binding off (every call in a frame), then
// three times with binding on (the compiled code runs from the second
// time, once the call sites are bound): the outcomes are the same.
void ExpectLikeTheFrame(ProtocolDecoder& decoder, const std::vector<std::vector<uint8_t>>& messages,
                        const std::string& what) {
    for (const std::vector<uint8_t>& message : messages) {
        CallArguments::SetBinding(false);
        std::string framed = Outcome(decoder, message);
        CallArguments::SetBinding(true);
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(framed, Outcome(decoder, message))
                << what << " message of " << message.size() << " round " << round;
        }
    }
}

// The member after the one under test: the rest of the message, which
// shows where the cursor was left.
const char kRest[] =
    "\n OCTET rest { VOID Translate(STRING s, dynamic &c, INT4 n)"
    " { sysFetchValue(s, c, now(), TotalLength() - now(), 1); } }; };";

// Compiled, a general procedure's call gives what its frame gives: the
// result, the captions, where the cursor stands, the error and the trace,
// also where the call fails or says something (the run is then undone and
// the frame runs it).
TEST_F(ProcedureCodeTest, GeneralCallsDoWhatTheFrameDoes) {
    for (const GeneralCase& row : kGeneralCases) {
        std::string script =
            std::string(
                "#define LIMIT 300\nINT4 g = 5;\nenum E { A = 1, // one\n B = 2 // two\n};\n") +
            row.procedure +
            "\nstruct R { UINT1 a; UINT1 b; INT4 v { INT4 Translate(STRING s, dynamic &c, INT4 n)"
            " { " +
            row.call + " } };" + kRest;
        ASSERT_EQ("OK", Load(script)) << row.procedure;
        Procedure* p = decoder.GetProgram()->FindProcedure("P");
        ASSERT_NE(nullptr, p);
        EXPECT_NE(nullptr, decoder.GetCompiledProcedures().CodeOf(*p)) << row.procedure;
        ExpectLikeTheFrame(decoder, kGeneralMessages, row.procedure);
    }
}

// Paths of members of nested structs and arrays, written again: read again
// after a fetch and after a call, from the items found before, with the
// values that they hold then.
TEST_F(ProcedureCodeTest, PathsReadAgainGiveWhatTheFrameGives) {
    ASSERT_EQ("OK",
              Load("struct H { UINT1 x; UINT1 y[2]; };\n"
                   "INT4 Q(STRING s, INT4 a) { sysSetTitle(0, s); return a * 3; }\n"
                   "struct R { H h; UINT1 k[3]; H hs[2]; UINT1 f { UINT1 Translate(STRING s,"
                   " dynamic &c, INT4 n) { INT4 t = This.h.x + This.h.y[1] * 2 + This.k[2] +"
                   " This.hs[1].y[0]; sysFetchValue(s, c, now(), 0, 1);"
                   " t = t * 7 + This.h.x - This.hs[1].x + This.f + This.hs[1].y[0];"
                   " t = Q(s, This.h.y[1]) + This.h.x * This.hs[0].x; return t + This.k[0]; } };" +
                   std::string(kRest)));
    const AttributeSlots* slots = SlotsOf(decoder.GetProgram()->FindStruct("R")->GetMember(3));
    ASSERT_TRUE(slots != nullptr && slots->translate != nullptr);
    ASSERT_NE(nullptr, decoder.GetCompiledProcedures().CodeOf(*slots->translate));
    ExpectLikeTheFrame(decoder,
                       {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                        {255, 0, 254, 3, 3, 3, 9, 9, 9, 8, 8, 8, 200},
                        {1, 2, 3, 4, 5, 6}},
                       "paths");
}

// What is left to the frame. By quiet code: calls whose results are not
// kept, loops, effects. By general code: parameters passed by address or as
// arrays, decodes outside a Translate procedure, variables of the script
// set, loops of for, break and continue, stores into elements, texts stored
// from bare names, calls of itself.
TEST_F(ProcedureCodeTest, BodiesLeftToTheFrame) {
    const struct {
        bool general;  // left by the script's general code, else by quiet code
        const char* procedure;
    } rows[] = {
        {false, "OCTET T(OCTET s) { return s; }\nOCTET P(UINT1 v) { return T(\"x\"); }"},
        {false, "INT4 P(UINT1 v) { INT4 i; i = 0; while (i < v) i = i + 1; return i; }"},
        {false, "INT4 P(UINT1 v) { sysSetTitle(0, \"x\"); return v; }"},
        {true, "VOID P(INT4 &a) { a = 1; }"},
        {true, "VOID P(UINT1 a[2]) { sysSetTitle(0, \"x\"); }"},
        {true, "VOID P(INT4 a) { UINT1 c; sysTranChoiceItem(c, \"x\", a); }"},
        {true, "VOID P(INT4 a) { g = a; }"},
        {true, "VOID P(INT4 a) { INT4 i; for (i = 0; i < a; i = i + 1) sysSetTitle(0, \"x\"); }"},
        {true, "VOID P(INT4 a) { while (a > 0) { a = a - 1; if (a == 2) break; } }"},
        {true, "VOID P(INT4 a) { UINT1 x[2]; x[0] = 1; }"},
        {true, "VOID P(INT4 a) { OCTET t; OCTET u; t = \"x\"; u = t; }"},
        {true, "VOID P(INT4 a) { if (a > 0) P(a - 1); }"},
    };
    for (const auto& row : rows) {
        ASSERT_EQ("OK", Load(std::string(row.general ? "INT4 g;\n" : "") + row.procedure +
                             "\nstruct R { UINT1 a; };"))
            << row.procedure;
        Procedure* p = decoder.GetProgram()->FindProcedure("P");
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(nullptr, row.general
                               ? decoder.GetCompiledProcedures().CodeOf(*p)
                               : ProcedureCode::Compile(*p, decoder.GetQuietProcedures()).get())
            << row.procedure;
    }
}

// Translate procedures of members, compiled: each element's call gives
// what its frame gives, the member's value and marks, the cursor, the
// captions, the error and the trace. Of those that decode choice elements,
// a run that comes to a decode commits and goes on as the frame would,
// failures and messages alike; what could fail otherwise after a decode is
// left to the frame.
TEST_F(ProcedureCodeTest, TranslateCallsDoWhatTheFrameDoes) {
    const char* const members[] = {
        "OCTET v { VOID Translate(STRING s, dynamic &c, INT4 n) {"
        " if (This.a < 2) sysAbort(s, \"short\"); sysFetchValue(s, c, now(), This.a - 2, 1); } };",
        "UINT2 v { UINT2 Translate(STRING s, dynamic &c, INT4 n) { UINT2 t;"
        " sysFetchValue(s, t, now(), 0, 1); if (t > This.b * 256) sysAbort(s, strFormat(\"0x%04X\","
        " t)); sysSetTitle(0, strFormat(\"%s %u\", s, t)); return t; } };",
        "UINT1 v[3] { UINT1 Translate(STRING s, dynamic &c, INT4 n) {"
        " return This.a + n * LIMIT; } };",
        "OCTET v { VOID Translate(STRING s, dynamic &c, INT4 n) { INT4 len = TotalLength() - now();"
        " if (len > This.b) len = This.b; sysFetchValue(s, c, now(), len, 1); } };",
        "OCTET v { VOID Translate(STRING s, dynamic &c, INT4 n) {"
        " sysFetchValue(s, c, now(), g - now(), 1); } };",
    };
    // Bodies of the Translate procedure of a choice member v.
    struct Decoding {
        const char* translate;
        bool compiled;
    };
    const Decoding decodings[] = {
        // A loop of options up to an end, as the sample's headers have them.
        {"UINT1 kind; INT4 tag; INT4 end; if (This.a > 20) sysAbort(s, strFormat(\"a %d\","
         " This.a)); end = now() + This.a; while (now() < end) { sysFetchValue(s, kind, now(),"
         " 0, 0); tag = OTHER; if (kind <= 3) tag = kind; sysTranChoiceItem(c, s, tag); }"
         " if (now() > end) sysAbort(s, \"past the end\");",
         true},
        // A caption first; tags that the map may not have.
        {"INT4 p = This.b; sysSetTitle(0, strFormat(\"b %d\", p)); if (p != 0)"
         " sysTranChoiceItem(c, s, p);",
         true},
        // A fetch between decodes, that can fail after the first.
        {"UINT2 w; sysTranChoiceItem(c, s, 1); sysFetchValue(s, w, now(), 0, 1);"
         " sysTranChoiceItem(c, s, w & 3);",
         true},
        // A format after a decode, made for its effect, that fails for some
        // values with the built-in's message.
        {"INT4 q = This.a; sysTranChoiceItem(c, s, 1); if (q > 3) strFormat(\"%s\", q);"
         " else strFormat(\"%d\", q);",
         true},
        // After a decode, a path, a division and a variable that may have no
        // value could fail otherwise than their frame's statement.
        {"sysTranChoiceItem(c, s, 1); if (This.a > 1) sysTranChoiceItem(c, s, 2);", false},
        {"INT4 q = This.a; sysTranChoiceItem(c, s, 1); q = 6 / q;", false},
        {"INT4 q; if (This.a > 1) q = 2; sysTranChoiceItem(c, s, 1); sysTranChoiceItem(c, s, q);",
         false},
    };
    const std::string decodingHead =
        "#define OTHER 256\nstruct Two { UINT1 k; UINT1 x; };\n"
        "struct Three { UINT1 k; UINT2 y; };\nDeclareMap ( Item , Opts ) { one [ 1 ] UINT1 ;"
        " two [ 2 ] Two ; three [ 3 ] Three ; other [ OTHER ] UINT1 ; };\n"
        "struct R { UINT1 a; UINT1 b; Choice v { ChoiceMap Opts"
        " VOID Translate(STRING s, dynamic &c, INT4 n) { ";
    // The script, what it tests, and whether the member's Translate compiles.
    std::vector<std::tuple<std::string, const char*, bool>> scripts;
    for (const char* member : members) {
        scripts.emplace_back("#define LIMIT 300\nINT4 g = 5;\nstruct R { UINT1 a; UINT1 b; " +
                                 std::string(member) + kRest,
                             member, true);
    }
    for (const Decoding& row : decodings) {
        scripts.emplace_back(decodingHead + row.translate + " } };" + kRest, row.translate,
                             row.compiled);
    }
    for (const auto& [script, what, compiled] : scripts) {
        ASSERT_EQ("OK", Load(script)) << what;
        StructDefinition* r = decoder.GetProgram()->FindStruct("R");
        ASSERT_NE(nullptr, r);
        const AttributeSlots* slots = SlotsOf(r->GetMember(2));
        ASSERT_TRUE(slots != nullptr && slots->translate != nullptr) << what;
        EXPECT_EQ(compiled, ProcedureCode::Compile(*slots->translate, decoder.GetQuietProcedures(),
                                                   ProcedureCode::Mode::kGeneral) != nullptr)
            << what;
        ExpectLikeTheFrame(decoder, kGeneralMessages, what);
    }
}

// Decodes nested within decodes count their calls as the frames' calls do:
// the nesting runs out at the same element, with the same message.
TEST_F(ProcedureCodeTest, NestedDecodesRunOutWhereTheFramesDo) {
    ASSERT_EQ("OK", Load("struct N;\nDeclareMap ( Item , M ) { n [ 1 ] N ; };\n"
                         "struct N { UINT1 k; Choice c { ChoiceMap M VOID Translate(STRING s,"
                         " dynamic &c, INT4 n) { if (now() < TotalLength()) sysTranChoiceItem(c, s,"
                         " 1); } }; };\nstruct R { N top; };"));
    ExpectLikeTheFrame(
        decoder,
        {std::vector<uint8_t>(10, 1), std::vector<uint8_t>(40, 1), std::vector<uint8_t>(80, 1)},
        "nested");
}

}  // namespace
