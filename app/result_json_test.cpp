// Tests of the JSON line of a translation (app/result_json.cpp): string escaping over any bytes,
// lines of the station report sample, value typing, comments and the depth guard. Every line goes
// through the strict checker of app/json_check.h.
#include "app/result_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/json_check.h"
#include "base/scratch_dir.h"
#include "decoder/decoder_item.h"
#include "decoder/protocol_decoder.h"
#include "types/type_codes.h"

namespace {

// Expects each part in line, one after the other.
void ExpectParts(const std::string& line, const std::vector<const char*>& parts) {
    size_t at = 0;
    for (const char* part : parts) {
        size_t found = line.find(part, at);
        EXPECT_NE(std::string::npos, found) << part << "\nafter " << at << " in " << line;
        if (found != std::string::npos) at = found + strlen(part);
    }
}

// The bytes in a buffer of their exact size, so that reading past them is caught.
std::string Quoted(const std::string& bytes) {
    std::vector<char> exact(bytes.begin(), bytes.end());
    std::string out;
    AppendJsonString(exact.data(), exact.size(), out);
    return out;
}

TEST(JsonCheck, RefusesWhatIsNotJson) {
    std::string strings;
    EXPECT_TRUE(
        JsonCheck::Valid(R"({"a":[0,-2.5e+3,0.25,"\u00e9\u20ac\t",null,{}],"b":true})", &strings));
    EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC\tb", strings);
    for (const char* bad :
         {"", "{\"a\":1,}", "[1 2]", "\"x", "{\"a\"}", "\"\x01\"", "[][]", "01", "1.", "-", "1e",
          "tru", "\"\\x\"", "\"\\u00g0\"", "\"\xC3\"", "\"\xED\xA0\x80\"", "{1:2}"}) {
        EXPECT_FALSE(JsonCheck::Valid(bad)) << bad;
    }
}

TEST(AppendJsonString, EscapesAndPassesBytesAsTheTableSays) {
    const std::pair<std::string, const char*> cases[] = {
        {"", R"("")"},
        {"say \"hi\" \\ / 123", R"("say \"hi\" \\ / 123")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::string("\x01\x1f\x7f\0", 4), "\"\\u0001\\u001f\x7f\\u0000\""},
        // Bytes that start no well-formed sequence, each escaped.
        {"\x80\xBF\xFF", R"("\u0080\u00bf\u00ff")"},
        {"\xC0\x80 \xC1\xBF", R"("\u00c0\u0080 \u00c1\u00bf")"},  // overlong
        {"\xE0\x9F\xBF \xF0\x8F\xBF\xBF", R"("\u00e0\u009f\u00bf \u00f0\u008f\u00bf\u00bf")"},
        {"\xED\xA0\x80 \xED\xBF\xBF", R"("\u00ed\u00a0\u0080 \u00ed\u00bf\u00bf")"},  // surrogates
        {"\xF4\x90\x80\x80 \xF5\x80", R"("\u00f4\u0090\u0080\u0080 \u00f5\u0080")"},  // > U+10FFFF
        // Truncated sequences: the lead byte is escaped, the rest read again alone.
        {"\xE2\x82", R"("\u00e2\u0082")"},
        {"\xF0\x9F\x98", R"("\u00f0\u009f\u0098")"},
        {"\xC3", R"("\u00c3")"},
        {"\xE2\x82 \xC3\xC3\xA9", "\"\\u00e2\\u0082 \\u00c3\xC3\xA9\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, Quoted(c.first)) << "input of " << c.first.size() << " bytes";
    }
    // Well-formed UTF-8 of 2, 3 and 4 bytes, at the limits, passes as it is.
    const std::string utf8 =
        "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF "
        "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
    EXPECT_EQ('"' + utf8 + '"', Quoted(utf8));
    // Short and long plain runs with a byte to escape, or a sequence that
    // passes, at every place: the same as the pieces escaped alone.
    auto inner = [](const std::string& bytes) {
        std::string quoted = Quoted(bytes);
        return quoted.substr(1, quoted.size() - 2);
    };
    for (const std::string special : {"\"", "\\", "\x01", "\x1f", "\x7f", "\xC3\xA9", "\x80"}) {
        for (size_t plain : {2, 5, 9, 20, 70}) {
            for (size_t at = 0; at <= plain; ++at) {
                std::string before(at, 'a'), after(plain - at, 'b');
                EXPECT_EQ('"' + inner(before) + inner(special) + inner(after) + '"',
                          Quoted(before + special + after))
                    << at << " of " << plain;
            }
        }
    }
    // Texts written in pieces of 4 KB: a sequence or an escaped byte across
    // the end of a piece, and a text that is all escapes.
    for (const std::string special : {"\xF0\x9F\x98\x80", "\xC3\xA9", "\x01", "\""}) {
        for (size_t at = 4090; at <= 4097; ++at) {
            std::string before(at, 'a');
            EXPECT_EQ('"' + before + inner(special) + "b\"", Quoted(before + special + "b")) << at;
        }
    }
    std::string escapes;
    for (int i = 0; i < 3000; ++i) escapes += "\\u0001";
    EXPECT_EQ('"' + escapes + '"', Quoted(std::string(3000, '\x01')));
    // Appends, and a null text is the empty string.
    std::string out = "x";
    AppendJsonString(nullptr, 5, out);
    AppendJsonString("abc", 2, out);
    EXPECT_EQ("x\"\"\"ab\"", out);
}

// Random bytes, UTF-8 lead and continuation bytes over-represented, always give a JSON string
// that reads back as the bytes, a byte that starts no well-formed sequence as U+0080..U+00FF.
TEST(AppendJsonString, RandomBytesReadBack) {
    std::mt19937 random(20240611);
    const uint8_t kInteresting[] = {0x00, 0x1F, '"',  '\\', 0x7F, 0x80, 0xBF, 0xC0, 0xC2,
                                    0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    for (int round = 0; round < 500; ++round) {
        std::string bytes(random() % 24, '\0');
        for (char& b : bytes) {
            uint32_t r = random();
            b = static_cast<char>(r % 3 == 0 ? kInteresting[(r >> 8) % sizeof kInteresting]
                                             : r >> 8);
        }
        std::string expected;
        for (size_t i = 0, n; i < bytes.size(); i += std::max<size_t>(n, 1)) {
            auto b = static_cast<uint8_t>(bytes[i]);
            char two[] = {static_cast<char>(0xC0 | b >> 6), static_cast<char>(0x80 | (b & 0x3F))};
            n = JsonCheck::Utf8Length(bytes, i);
            expected += n > 0 ? bytes.substr(i, n) : std::string(two, 2);
        }
        std::string json = Quoted(bytes);
        std::string read;
        ASSERT_TRUE(JsonCheck::Valid(json, &read)) << json;
        EXPECT_EQ(expected, read) << json;
    }
}

// ---- whole lines ----

class ResultJsonTest : public ScratchDirTest {
  protected:
    ResultJsonTest() { tried.attempted = true; }

    // The checked line of message 4 with the outcome last (null: refused).
    std::string Line(const LastTranslation* last, const TranslateResults* results = nullptr,
                     const std::vector<uint8_t>& bytes = {}, const char* inputError = nullptr) {
        JsonMessage message;
        message.index = 4;
        message.bytes = bytes.data();
        message.length = static_cast<int32_t>(bytes.size());
        message.last = last;
        message.results = results;
        message.inputError = inputError;
        std::string line = "kept";
        AppendTranslationJson(decoder, message, line);
        EXPECT_EQ(0u, line.find("kept{")) << "appends";
        line.erase(0, 4);
        // A valid JSON object followed by the only line end.
        size_t end = line.find('\n');
        EXPECT_TRUE(end + 1 == line.size() && line[0] == '{' &&
                    JsonCheck::Valid(line.substr(0, end)))
            << "not a JSON line: " << line;
        return line;
    }

    // Translates bytes with the station report sample as the application does.
    std::string Translate(const std::vector<uint8_t>& bytes) {
        LastTranslation last;
        last.attempted = true;
        last.used = static_cast<int32_t>(bytes.size());
        last.ok = decoder.Translate(true, bytes.data(), last.used);
        if (!last.ok) last.error = decoder.GetLastError();
        TranslateResults results;
        results.texts[0] = "\xC4\xE3\xBA\xC3";  // a GBK title
        decoder.GetTitle(0, results.texts[1]);
        decoder.GetTitle(1, results.texts[2]);
        return Line(&last, &results, bytes);
    }

    // A new item of the decoder, created as declared[count] under parent (the root).
    DecoderItem* Add(int32_t declared, const char* name, int32_t count,
                     CVariableItem* parent = nullptr) {
        auto* item = new DecoderItem(&decoder);
        EXPECT_TRUE(item->create(declared, name, count)) << name;
        EXPECT_TRUE((parent ? parent : &decoder.GetRoot())->SetChosen(item, 0, 0)) << name;
        return item;
    }

    ProtocolDecoder decoder;
    LastTranslation tried;  // attempted, nothing else
};

TEST_F(ResultJsonTest, LinesOfTheSample) {
    std::string path = std::string(VANTOR_SOURCE_DIR) + "/samples/demo/report.txt";
    ASSERT_TRUE(decoder.LoadScript(path.c_str(), false)) << decoder.GetLastError().GetBuffer(0);
    // The bytes of a message and parts of its line, in their order.
    const std::pair<std::vector<uint8_t>, std::vector<const char*>> cases[] = {
        // Every field; bit fields, enum and Dump comments, a choice, and a
        // struct array with a node per element spanning its members.
        {{0x5A, 1, 3, 1, 0, 2, 0, 0xFF, 0xFF, 0xFE, 0xFF, 5},
         {R"({"index":4,"length":12,"consumed":12,"success":true,"error":null,"leftover":0,)"
          R"("warning":null,"title":"\u00c4\u00e3\u00ba\u00c3","caption0":"kind 1",)"
          R"("caption1":null,"tree":{"name":"msg","description":null,"comment":null,"start":0,)"
          R"("length":12,"marker":null,"failed":false,"type":"Report","value":null,)"
          R"("children":[{"name":"status",)",
          R"({"name":"mode","description":"operating mode","comment":null,"start":0,"length":0,)"
          R"("marker":"010-----","failed":false,"type":"UINT1","value":2,"children":[]})",
          R"({"name":"kind","description":null,"comment":"sensor record","start":1,"length":1,)"
          R"("marker":"***B1***","failed":false,"type":"UINT1","value":1,"children":[]})",
          R"("type":"Choice","value":null,"children":[{"name":"sensor","description":"one sensor")",
          R"("comment":"level 3 of 3")",
          R"({"name":"pos","description":"corners","comment":null,"start":3,"length":8,)"
          R"("marker":null,"failed":false,"type":"Point","value":null,)"
          R"("children":[{"name":"pos[0]")",
          R"({"name":"pos[1]","description":"corners","comment":null,"start":7,"length":4,)"
          R"("marker":null,"failed":false,"type":"Point","value":null,"children":[{"name":"x")",
          R"("value":-1,"children":[]},{"name":"y")",
          R"("value":-257,"children":[]}]}]}]}]},{"name":"flags")",
          R"("comment":"F_ACK | F_LAST")"}},
        // A byte left over; a TypeOF item with its integrated struct.
        {{0x13, 2, 21, 7, 6, 0xAA},
         {R"("length":6,"consumed":5,"success":true,"error":null,"leftover":1,)"
          R"("warning":"leave 1 bytes not translated",)",
          R"({"name":"reading","description":null,"comment":"21.7 deg","start":2,"length":2,)"
          R"("marker":">","failed":false,"type":"INT2","value":217,"children":[{"name":"This",)",
          R"("type":"Reading","value":null,"children":[{"name":"whole")",
          R"("value":21,"children":[]},{"name":"tenth")",
          R"("value":7,"children":[]}]}]}]},{"name":"flags")"}},
        // A MEMO's text and its content struct.
        {{0x31, 3, 3, 'a', 'b', 'c', 4},
         {R"({"name":"text","description":null,"comment":null,"start":3,"length":3,)"
          R"("marker":"***B3***","failed":false,"type":"MEMO","value":"abc",)"
          R"("children":[{"name":"Content","description":"the note's text",)",
          R"("type":"UINT1","value":[98,99],"children":[])"}},
        // A failure keeps the partial tree: the failed item, the element
        // cut short, an element and items never reached.
        {{0x5A, 1, 3, 1, 0},
         {R"("length":5,"consumed":5,"success":false,"error":")", "'y' get 'INT2' data fail",
          R"(","leftover":0,"warning":null,)",
          R"({"name":"pos[0]","description":"corners","comment":null,"start":3,"length":null,)"
          R"("marker":null,"failed":true,)",
          R"({"name":"y","description":null,"comment":null,"start":5,"length":null,)"
          R"("marker":null,"failed":true,"type":"INT2","value":null,"children":[]})",
          R"({"name":"pos[1]","description":"corners","comment":null,"start":null,)"
          R"("length":null,"marker":null,)",
          R"({"name":"flags","description":null,"comment":null,"start":null,"length":null,)"
          R"("marker":null,"failed":false,"type":"UINT1","value":null,"children":[]}]}})"}},
    };
    for (const auto& c : cases) ExpectParts(Translate(c.first), c.second);

    // Refused input: no tree, whatever was translated before.
    EXPECT_EQ(R"({"index":4,"length":2,"consumed":0,"success":false,"error":"Hex stream error",)"
              R"("leftover":0,"warning":null,"title":null,"caption0":null,"caption1":null,)"
              R"("tree":null})"
              "\n",
              Line(nullptr, nullptr, {1, 2}, "Hex stream error"));
    // Tried but refused before the decoder ran.
    LastTranslation last;
    ExpectParts(Line(&last, nullptr, {1, 2}, appmsg::kIllegalInput),
                {R"("error":"\n # illegal input.\n",)", R"("tree":null})"});
}

// Random bytes in every text of the line never break it.
TEST_F(ResultJsonTest, RandomTextsAlwaysGiveValidLines) {
    std::mt19937 random(77);
    auto text = [&random]() {
        std::string bytes(random() % 20, '\0');
        for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
        return OTSTR(bytes.data(), static_cast<int>(bytes.size()));
    };
    for (int round = 0; round < 100; ++round) {
        LastTranslation last;
        last.attempted = round % 2 == 0;
        last.error = text();
        TranslateResults results;
        for (OTSTR& t : results.texts) t = text();
        Line(round % 3 == 0 ? nullptr : &last, &results, {0x5A, 1}, text().GetBuffer());
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
}

// ---- hand-made trees ----

TEST_F(ResultJsonTest, ValuesAreTypedByTheDeclaredType) {
    ASSERT_TRUE(decoder.GetRoot().create(kDeclChoice, "msg", 1));
    Add(kDeclInt4, "i4", 1)->setAt(0, INT32_MIN);
    Add(kDeclUInt4, "u4", 1)->setAt(0, 0xFFFFFFFFu);
    DecoderItem* i1 = Add(kDeclInt1, "i1", 2);
    i1->setAt(0, -1);
    i1->setAt(1, -128);
    Add(kDeclByte, "b", 1)->setAt(0, 0xFFu);
    DecoderItem* d = Add(kDeclDouble, "d", 4);
    d->setAt(0, 0.1);
    d->setAt(1, 0.1 + 0.2);
    d->setAt(2, NAN);
    d->setAt(3, -INFINITY);
    Add(kDeclOctet, "raw", 1)->setAt(0, "\x0A\x1B\xFF", 3);
    Add(kDeclOctet, "pair", 2)->setAt(0, "\x01", 1);
    Add(kDeclString, "s", 1)->setAt(0, "h\xC3\xA9 \"q\"\n", -1);
    Add(kDeclMemo, "m", 1)->setAt(0, "\0\xFF", 2);
    DecoderItem* c = Add(kDeclTchar, "c", 4);
    c->setAt(0, "A", 1);
    c->setAt(2, "B", 1);  // after a zero
    Add(kDeclUInt2, "unset", 3);

    // Texts the translation did not give are null: the error, an empty
    // title, captions left at "-".
    TranslateResults unset;
    unset.texts[1] = "-";
    unset.texts[2] = "-";
    // The values in the order of the items; the first has no location.
    ExpectParts(
        Line(&tried, &unset),
        {R"("success":false,"error":null,)", R"("title":null,"caption0":null,"caption1":null,)",
         R"({"name":"i4","description":null,"comment":null,"start":null,"length":null,)"
         R"("marker":null,"failed":false,"type":"INT4","value":-2147483648,)",
         R"("value":4294967295,)", R"("value":[-1,-128],)", R"("value":255,)",
         R"("value":[0.1,0.30000000000000004,null,null],)", R"("value":"0A1BFF",)",
         R"("value":["01",""],)", "\"value\":\"h\xC3\xA9 \\\"q\\\"\\n\",",
         R"("value":"\u0000\u00ff",)", R"("value":"A",)", R"("value":null,)"});
}

TEST_F(ResultJsonTest, CommentsOfArraysAndFailingDumps) {
    WriteWholeFile(
        "proto.txt",
        "extern STRING strFormat(STRING strFormat, ...);\nextern INT4 nosuch();\n"
        "#define PROTOCOL_ROOT R\nenum E { ONE = 1, // one\n TWO = 2, // two\n };\n"
        "struct R { UINT1 d[3] { OCTET Dump(INT4 n) { return strFormat(\"n=%d\", n); } };\n"
        " UINT1 bad { OCTET Dump(INT4 n) { return strFormat(\"%d\", nosuch()); } };\n"
        " UINT1 e { DumpOF E ( Equal ) }; UINT1 plain; UINT1 f[2] { DumpOF E ( Equal ) }; };");
    ASSERT_TRUE(decoder.LoadScript("proto.txt", false)) << decoder.GetLastError().GetBuffer(0);
    // A failing Dump procedure gives no comment and marks the item; 9 is no E
    // value and 7 no F value: no comment, as for an item without comments.
    ExpectParts(Translate({3, 4, 5, 6, 9, 7, 2, 7}),
                {R"({"name":"d","description":null,"comment":"n=3",)"
                 R"("comments":["n=3","n=4","n=5"],"start":0,)",
                 R"({"name":"bad","description":null,"comment":null,"start":3,)",
                 R"("failed":true,"type":"UINT1","value":6,"children":[]})",
                 R"({"name":"e","description":null,"comment":null,"start":4,)",
                 R"({"name":"plain","description":null,"comment":null,"start":5,)",
                 R"({"name":"f","description":null,"comment":"two","comments":["two",null],)"});

    // A translation that stops before decoding: the root, named, with nothing known.
    WriteWholeFile("proto.txt", "struct R { UINT1 a; };");
    ASSERT_TRUE(decoder.LoadScript("proto.txt", false)) << decoder.GetLastError().GetBuffer(0);
    ExpectParts(Translate({1}),
                {R"("error":"Access struct(defined by 'PROTOCOL_ROOT') not seted",)",
                 R"("tree":{"name":"msg","description":null,"comment":null,"start":null,)"
                 R"("length":null,"marker":null,"failed":false,"type":null,"value":null,)"
                 R"("children":[]}})"});
}

// A chain of choices deeper than the limit still gives a valid line, with
// the nodes at the limit written without children.
TEST_F(ResultJsonTest, DeepTreesStopAtTheDepthLimit) {
    CVariableItem* at = &decoder.GetRoot();
    ASSERT_TRUE(at->create(kDeclChoice, "msg", 1));
    for (int i = 0; i < kJsonMaxDepth + 50; ++i) at = Add(kDeclChoice, "c", 1, at);
    const std::string line = Line(&tried);
    int nodes = 0;
    for (size_t i = 0; (i = line.find("{\"name\":", i)) != std::string::npos; ++i) ++nodes;
    EXPECT_EQ(kJsonMaxDepth + 1, nodes);
}

}  // namespace
