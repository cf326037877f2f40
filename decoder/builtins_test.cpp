// Tests of the built-in script functions, called from the Translate
// procedures of small protocol scripts.
#include "decoder/builtins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/sample_files.h"
#include "script/call_arguments.h"

namespace {

class BuiltinsTest : public DecoderTest {
  protected:
    // Loads body after the declarations (strGetAt's Ch of the given type)
    // and translates bytes: "OK <consumed>" or the error.
    std::string Try(const std::string& body, const std::vector<uint8_t>& bytes,
                    const char* chType = "BYTE") {
        std::string loaded =
            Load(std::string("extern INT4 nosuch();\n") +
                 "extern BYTE strGetAt(STRING str, INT4 nIdx, " + chType + " &Ch);\n" + body);
        return loaded == "OK" ? Run(bytes) : "load: " + loaded;
    }
};

// A member v of type T whose Translate procedure returns expr.
std::string Computed(const char* type, const char* expr, const char* before = "",
                     const char* after = "") {
    return std::string("struct R { ") + before + type + " v {\n " + type +
           " Translate(STRING s, dynamic &c, INT4 n) { return " + expr + "; } };" + after + " };";
}

// sysFetchValue(s, c, locat, param, move) for a UINT2 member of 0x11 0x22
// 0x33 and an OCTET member of "abc". Positions and lengths at the ends of the
// integer range fail with their message and never read outside the message
// (nor overflow on the way).
TEST_F(BuiltinsTest, FetchValue) {
    const char kGetFail[] =
        "v 1   : 'vFetchValue()' get 'OCTET' data fail, maybe reach packet or current ConfentOf "
        "stream's end, or setvalue error";
    struct {
        const char* type;
        const char *locat, *param, *move;
        const char* result;  // with the values of v and next after it, when it works
    } cases[] = {
        // Not moving: the next member reads from the same place.
        {"UINT2", "1", "0", "0", "OK 2 13090 34"},
        // Moving: the cursor stays after the fetched value.
        {"UINT2", "0", "0", "1", "OK 3 8721 51"},
        // Out of range positions never read outside the message.
        {"UINT2", "3", "0", "0", "v vFetchValue() set stream locat=3 fail"},
        {"UINT2", "-1", "0", "0", "v vFetchValue() set stream locat=-1 fail"},
        {"UINT2", "2", "0", "0",
         "v 2   : 'vFetchValue()' get 'UINT2' data fail, maybe reach packet or current ConfentOf "
         "stream's end, or setvalue error"},
        {"OCTET", "1", "2", "0", "OK 2 bc 98"},
        {"OCTET", "0", "3", "0", "OK 2 abc 98"},
        {"OCTET", "2", "0", "0", "OK 2  98"},
        {"OCTET", "1", "3", "0", kGetFail},
        {"OCTET", "1", "2147483647", "0", kGetFail},
        {"OCTET", "1", "0 - 1", "0", kGetFail},
        {"OCTET", "1", "(0 - 2147483647) - 1", "0", kGetFail},
        {"OCTET", "1", "0xFFFFFFFF", "0", kGetFail},
        {"OCTET", "2147483647", "1", "0", "v vFetchValue() set stream locat=2147483647 fail"},
        {"OCTET", "(0 - 2147483647) - 1", "1", "0",
         "v vFetchValue() set stream locat=-2147483648 fail"},
        {"OCTET", "0xFFFFFFFF", "1", "0", "v vFetchValue() set stream locat=-1 fail"},
        {"OCTET", "3", "0", "0", "v vFetchValue() set stream locat=3 fail"},
        {"OCTET", "2147483647", "2147483647", "0",
         "v vFetchValue() set stream locat=2147483647 fail"},
        // Script arithmetic is 32-bit: it saturates literals and wraps results.
        {"OCTET", "99999999999", "1", "0", "v vFetchValue() set stream locat=2147483647 fail"},
        {"OCTET", "2147483647 + 1", "1", "0", "v vFetchValue() set stream locat=-2147483648 fail"},
        {"OCTET", "1", "2147483647 * 2147483647", "0", "OK 2 b 98"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.locat + ", " + c.param);
        bool octet = c.type[0] == 'O';
        std::string script = std::string("struct R { UINT1 a; ") + c.type +
                             " v {\n VOID Translate(STRING s, dynamic &c, INT4 n) {"
                             " sysFetchValue(s, c, " +
                             c.locat + ", " + c.param + ", " + c.move + "); } }; UINT1 next; };";
        std::string result = Try(script, octet ? std::vector<uint8_t>{'a', 'b', 'c'}
                                               : std::vector<uint8_t>{0x11, 0x22, 0x33});
        if (result.rfind("OK", 0) == 0) result += " " + Value("v") + " " + Value("next");
        EXPECT_EQ(c.result, result);
    }
}

// Fetches into a procedure's own variables: a number, an array element and a
// struct, whose members' Translate procedures run inside the fetch.
TEST_F(BuiltinsTest, FetchValueIntoLocalVariables) {
    const char kScript[] =
        "struct Pair { UINT1 x; UINT1 y { UINT1 Translate(STRING s, dynamic &c, INT4 n)"
        " { return This.x + 100; } }; };\n"
        "struct R { UINT1 v { UINT1 Translate(STRING s, dynamic &c, INT4 n) {"
        " Pair q; UINT1 b[2]; UINT1 k; sysFetchValue(s, k, 2, 0, 0);"
        " sysFetchValue(s, b[1], 1, 0, 0); sysFetchValue(s, q, 0, 0, 0);"
        " return q.y + b[1] * 10 + k; } }; };";
    EXPECT_EQ("OK 0", Try(kScript, {1, 2, 3}));
    EXPECT_EQ("124", Value("v"));
}

TEST_F(BuiltinsTest, PositionLengthAndFetchAtTheEnd) {
    EXPECT_EQ("OK 2",
              Try(Computed("INT4", "NOW() * 100 + totallength()", "UINT1 a; UINT1 b;"), {1, 2, 3}));
    EXPECT_EQ("203", Value("v"));
    auto octet = [](const char* param) {
        return std::string(
                   "struct R { UINT1 a; OCTET v {\n VOID Translate(STRING s, dynamic &c,"
                   " INT4 n) { sysFetchValue(s, c, 0, ") +
               param + ", 0); } }; };";
    };
    EXPECT_EQ("OK 1", Try(octet("0"), {7}));
    EXPECT_EQ("v sysFetchValue() get data fail, reach packet or current ConfentOf stream's end",
              Try(octet("1"), {7}));
}

TEST_F(BuiltinsTest, StringsTitlesAndFailures) {
    struct {
        const char* type;
        const char* expr;
        const char* result;  // the value of v, or the error
    } cases[] = {
        {"INT4", "strlen(\"abc\", 0)", "3"},
        {"INT4", "strGetAt(\"xyz\", 1, This.ch)", "1"},
        {"INT4", "strGetAt(\"xyz\", 3, This.ch)", "0"},
        {"INT4", "sysSetTitle(1, \"two\")", "1"},
        {"INT4", "sysSetTitle(2, \"bad\")", "0"},
        {"OCTET", "sysGetEnumComment(\"Color\", 2, \"Equal\", \"none\")", "green"},
        {"OCTET", "sysGetEnumComment(\"Color\", 3, \"Or\", \"none\")", "red | green"},
        {"OCTET", "sysGetEnumComment(\"Color\", 9, \"Equal\", \"none\")", "none"},
        {"OCTET", "sysGetEnumComment(\"Nope\", 9, \"Equal\", \"none\")",
         "v sysGetEnumComment() Enum='Nope' not found"},
        {"OCTET", "strFormat(\"%d-%s\", 42, \"x\")", "42-x"},
        {"OCTET", "strFormat(\"%d %d\", 1)", "v strFormat(%d %d) get param error"},
        // Arguments on lines of their own.
        {"OCTET", "strFormat(\"%d-%s\",\n   40 + 2,\n   \"x\")", "42-x"},
        {"INT4", "strlen(\n   \"abc\", 0)", "3"},
        {"OCTET", "strFormat(\"%d %d\",\n 1)", "v strFormat(%d %d) get param error"},
        {"INT4", "sysAbort(\"v\", \"stop\")", "v 'v' Abort(stop)"},
        {"INT4", "nosuch()", "v procedure nosuch() not found"},
    };
    // Bound call sites serve most built-ins without a frame; unbound ones
    // take the usual route. Both give the same.
    for (bool bound : {true, false}) {
        CallArguments::SetBinding(bound);
        for (const auto& c : cases) {
            std::string script =
                "enum Color { RED = 1, // red\n GREEN = 2, // green\n BLUE = 4 };\n" +
                Computed(c.type, c.expr, "UINT1 ch;");
            std::string result = Try(script, {0x41});
            EXPECT_EQ(c.result, result == "OK 1" ? Value("v") : result)
                << c.expr << (bound ? "" : " unbound");
        }
    }
    CallArguments::SetBinding(true);
    OTSTR title;
    EXPECT_TRUE(decoder.GetTitle(1, title));
    EXPECT_FALSE(decoder.GetTitle(2, title));
}

// Texts that the declared return type cannot hold fail with their message,
// served natively or not; a single character goes into an integer.
TEST_F(BuiltinsTest, TextResultsThatTheReturnTypeRefuses) {
    const char* const externs =
        "#define PROTOCOL_ROOT R\n"
        "extern INT2 strFormat(STRING strFormat, ...);\n"
        "extern INT2 sysGetEnumComment(STRING strEnumListName, INT4 value, STRING strMode,\n"
        "                              STRING strDefault);\n"
        "extern OCTET sysSetTitle(BYTE TitleN, STRING strTitle);\n"
        "enum Color { RED = 1, // red\n GREEN = 2 };\n";
    const struct {
        const char* expr;
        const char* result;
    } cases[] = {
        {"strFormat(\"%d\", 42)", "v strFormat(%d) set return fail"},
        {"strFormat(\"%d\", 4)", "52"},
        {"sysGetEnumComment(\"Color\", 2, \"Equal\", \"none\")",
         "v sysGetEnumComment() set return fail"},
        // "1" is a number, which a text cannot take.
        {"sysSetTitle(0, \"t\")", "v sysSetTitle() setReturn fail"},
    };
    for (bool bound : {true, false}) {
        CallArguments::SetBinding(bound);
        for (const auto& c : cases) {
            ASSERT_EQ("OK", Load(externs + Computed("INT4", c.expr, "UINT1 ch;"), false));
            std::string result = Run({0x41});
            EXPECT_EQ(c.result, result == "OK 1" ? Value("v") : result)
                << c.expr << (bound ? "" : " unbound");
        }
    }
    CallArguments::SetBinding(true);
}

TEST_F(BuiltinsTest, TitleAndGetAtEffects) {
    ASSERT_EQ("OK 1", Try(Computed("INT4", "sysSetTitle(0, \"Hi\") + strGetAt(\"xyz\", 2, This.ch)",
                                   "UINT1 ch;"),
                          {0x41}));
    OTSTR title;
    ASSERT_TRUE(decoder.GetTitle(0, title));
    EXPECT_STREQ("Hi", title.GetBuffer(0));
    EXPECT_EQ("122", Value("ch"));

    // Ch of any type that holds a character takes it; outside the text it
    // keeps what it held.
    // Ch's type, what it holds, the index, then strGetAt's answer and Ch afterwards.
    const char* const cases[][4] = {
        {"BYTE", "113", "1", "1 y"},         {"INT4", "113", "0", "1 x"},
        {"TCHAR", "\"q\"", "1", "1 y"},      {"OCTET", "\"q\"", "2", "1 z"},
        {"STRING", "\"q\"", "0", "1 x"},     {"TCHAR", "\"q\"", "3", "0 q"},
        {"STRING", "\"q\"", "0 - 1", "0 q"}, {"BYTE", "113", "3", "0 q"},
    };
    for (const auto& c : cases) {
        std::string script =
            std::string("struct R { OCTET v {\n OCTET Translate(STRING s, dynamic &c, INT4 n) { ") +
            c[0] + " Ch; BYTE found; Ch = " + c[1] + "; found = strGetAt(\"xyz\", " + c[2] +
            ", Ch); return strFormat(\"" + (c[1][0] == '"' ? "%d %s" : "%d %c") +
            "\", found, Ch); } }; };";
        EXPECT_EQ("OK 0", Try(script, {0x41}, c[0])) << c[0] << " " << c[2];
        EXPECT_EQ(c[3], Value("v")) << c[0] << " " << c[2];
    }
}

TEST_F(BuiltinsTest, ContentOfRegions) {
    auto script = [](const char* inner) {
        return std::string("struct Inner { UINT1 x; ") + inner +
               " };\nstruct R { UINT1 n; MEMO m {\n ContentOF Inner\n"
               " MEMO Translate(STRING s, dynamic &c, INT4 i) { MEMO t;"
               " sysFetchValue(s, t, now(), This.n, 1); return t; } }; UINT1 tail; };";
    };
    // Each Inner, after its x, with the result for the bytes 2 7 8 9.
    const char* const cases[][2] = {
        {"", "m ContentOf does't use up all the bytes"},
        {"UINT2 y;",
         "m.2   : 'y' get 'UINT2' data fail, maybe reach packet or current ConfentOf stream's "
         "end, or setvalue error"},
        {"UINT1 y; INT4 end { INT4 Translate(STRING s, dynamic &c, INT4 i)"
         " { return TotalLength(); } };",
         "OK 4"},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], Try(script(c[0]), {2, 7, 8, 9})) << c[0];
    // The last: the region ends where the MEMO ends, not where the message ends.
    int32_t idx;
    auto* m = static_cast<DecoderItem*>(decoder.GetRoot().GetItem(0, "m", &idx));
    ASSERT_NE(nullptr, m);
    CVariableItem* content = m->ContentAt(0);
    ASSERT_NE(nullptr, content);
    CVariableItem* end = content->GetItem(0, "end", &idx);
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(3, end->getAt_as_long(0));
    EXPECT_EQ("9", Value("tail"));
}

}  // namespace
