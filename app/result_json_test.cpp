// Tests of the JSON line of a translation: the string escaping over any
// bytes, the fields of successful, leftover, failed and refused translations
// of the station report sample, value typing and the depth guard. Every line
// goes through a strict JSON reader written here.
#include "app/result_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "base/scratch_dir.h"
#include "decoder/decoder_item.h"
#include "decoder/protocol_decoder.h"
#include "types/type_codes.h"

namespace {

// ---- a strict JSON reader ----

struct Json {
    enum Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = kNull;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's decoded UTF-8; a number's digits
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    // The member key, or a shared null value when there is none.
    const Json& operator[](const char* key) const {
        for (const auto& m : members) {
            if (m.first == key) return m.second;
        }
        return Missing();
    }
    const Json& At(size_t i) const { return i < items.size() ? items[i] : Missing(); }
    bool Has(const char* key) const {
        for (const auto& m : members) {
            if (m.first == key) return true;
        }
        return false;
    }
    bool IsNull() const { return kind == kNull; }
    static const Json& Missing() {
        static const Json none;
        return none;
    }
};

// Appends code point c as UTF-8.
void PutUtf8(uint32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes the UTF-8 sequence at text[i] by its code point: the length, or 0
// when it is malformed, overlong, a surrogate or above U+10FFFF.
size_t DecodeUtf8(const std::string& text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t lead = byte(i);
    size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (n == 0 || lead >= 0xF8 || i + n > text.size()) return 0;
    uint32_t c = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return n;
}

class JsonReader {
  public:
    explicit JsonReader(const std::string& text) : text(text) {}

    // The whole text as one value with optional blanks around it.
    bool Read(Json& out) {
        Blanks();
        if (!Value(out, 0)) return false;
        Blanks();
        return At() == 0 || Fail("text after the value");
    }
    std::string error;

  private:
    char At() const { return pos < text.size() ? text[pos] : 0; }
    bool Fail(const char* what) {
        if (error.empty()) error = std::string(what) + " at " + std::to_string(pos);
        return false;
    }
    void Blanks() {
        while (At() == ' ' || At() == '\t' || At() == '\n' || At() == '\r') ++pos;
    }
    bool Word(const char* word) {
        size_t n = strlen(word);
        if (text.compare(pos, n, word) != 0) return Fail("bad literal");
        pos += n;
        return true;
    }

    bool Value(Json& out, int depth) {
        if (depth > 2000) return Fail("too deep");
        switch (At()) {
            case '{':
                return Object(out, depth);
            case '[':
                return Array(out, depth);
            case '"':
                out.kind = Json::kString;
                return String(out.text);
            case 't':
                out.kind = Json::kBool;
                out.boolean = true;
                return Word("true");
            case 'f':
                out.kind = Json::kBool;
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number(out);
        }
    }

    bool Object(Json& out, int depth) {
        out.kind = Json::kObject;
        ++pos;
        Blanks();
        if (At() == '}') return ++pos, true;
        for (;;) {
            Blanks();
            std::string key;
            if (At() != '"' || !String(key)) return Fail("key expected");
            Blanks();
            if (At() != ':') return Fail("':' expected");
            ++pos;
            Blanks();
            out.members.emplace_back(key, Json());
            if (!Value(out.members.back().second, depth + 1)) return false;
            Blanks();
            if (At() == '}') return ++pos, true;
            if (At() != ',') return Fail("',' or '}' expected");
            ++pos;
        }
    }

    bool Array(Json& out, int depth) {
        out.kind = Json::kArray;
        ++pos;
        Blanks();
        if (At() == ']') return ++pos, true;
        for (;;) {
            Blanks();
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1)) return false;
            Blanks();
            if (At() == ']') return ++pos, true;
            if (At() != ',') return Fail("',' or ']' expected");
            ++pos;
        }
    }

    bool Hex4(uint32_t& out) {
        out = 0;
        for (int k = 0; k < 4; ++k) {
            char c = At();
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) return Fail("bad \\u escape");
            out = out * 16 + static_cast<uint32_t>(digit);
            ++pos;
        }
        return true;
    }

    bool String(std::string& out) {
        ++pos;
        for (;;) {
            if (pos >= text.size()) return Fail("unterminated string");
            auto c = static_cast<uint8_t>(text[pos]);
            if (c == '"') return ++pos, true;
            if (c < 0x20) return Fail("raw control character");
            if (c >= 0x80) {
                size_t n = DecodeUtf8(text, pos);
                if (n == 0) return Fail("invalid UTF-8");
                out.append(text, pos, n);
                pos += n;
                continue;
            }
            ++pos;
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            char e = At();
            ++pos;
            const char* plain = "\"\\/bfnrt";
            const char* meant = "\"\\/\b\f\n\r\t";
            if (e != 0 && strchr(plain, e) != nullptr) {
                out.push_back(meant[strchr(plain, e) - plain]);
                continue;
            }
            uint32_t code = 0;
            if (e != 'u' || !Hex4(code)) return Fail("bad escape");
            if (code >= 0xD800 && code <= 0xDBFF) {
                uint32_t low = 0;
                if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                    return Fail("lone surrogate");
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return Fail("lone surrogate");
            }
            PutUtf8(code, out);
        }
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool Number(Json& out) {
        size_t start = pos;
        auto digits = [&]() {
            size_t from = pos;
            while (At() >= '0' && At() <= '9') ++pos;
            return pos > from;
        };
        if (At() == '-') ++pos;
        if (At() == '0') {
            ++pos;
        } else if (!digits()) {
            return Fail("value expected");
        }
        if (At() == '.') {
            ++pos;
            if (!digits()) return Fail("digits expected after '.'");
        }
        if (At() == 'e' || At() == 'E') {
            ++pos;
            if (At() == '+' || At() == '-') ++pos;
            if (!digits()) return Fail("exponent expected");
        }
        out.kind = Json::kNumber;
        out.text = text.substr(start, pos - start);
        out.number = strtod(out.text.c_str(), nullptr);
        return true;
    }

    const std::string& text;
    size_t pos = 0;
};

// Reads one line of output: exactly one line end, at its end, and a valid
// JSON object before it.
::testing::AssertionResult ReadLine(const std::string& line, Json& out) {
    if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1) {
        return ::testing::AssertionFailure() << "not one line: " << line;
    }
    JsonReader reader(line);
    if (!reader.Read(out)) return ::testing::AssertionFailure() << reader.error << ": " << line;
    if (out.kind != Json::kObject) return ::testing::AssertionFailure() << "not an object";
    return ::testing::AssertionSuccess();
}

// The child node of node named name (a shared null when none is).
const Json& Child(const Json& node, const char* name) {
    for (const Json& child : node["children"].items) {
        if (child["name"].text == name) return child;
    }
    return Json::Missing();
}

// The node a path of names leads to from node, one name per level.
const Json& Path(const Json& node, std::initializer_list<const char*> names) {
    const Json* at = &node;
    for (const char* name : names) at = &Child(*at, name);
    return *at;
}

std::string Quoted(const std::string& bytes) {
    std::string out;
    AppendJsonString(bytes.data(), bytes.size(), out);
    return out;
}

// ---- the string form ----

TEST(AppendJsonString, EscapesAndPassesBytesAsTheTableSays) {
    struct {
        std::string bytes;
        const char* json;
    } cases[] = {
        {"", "\"\""},
        {"plain text 123", "\"plain text 123\""},
        {"say \"hi\" \\ /", "\"say \\\"hi\\\" \\\\ /\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"\x01\x1f\x7f", "\"\\u0001\\u001f\x7f\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        // Well-formed UTF-8 of 2, 3 and 4 bytes, at the limits.
        {"\xC2\x80 \xDF\xBF \xC3\xA9", "\"\xC2\x80 \xDF\xBF \xC3\xA9\""},
        {"\xE0\xA0\x80 \xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF",
         "\"\xE0\xA0\x80 \xE2\x82\xAC \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF\""},
        {"\xF0\x90\x80\x80 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         "\"\xF0\x90\x80\x80 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\""},
        // Bytes that start no sequence.
        {"\x80", "\"\\u0080\""},
        {"\xFF\xFE", "\"\\u00ff\\u00fe\""},
        {"\xC0\x80", "\"\\u00c0\\u0080\""},                        // overlong NUL
        {"\xC1\xBF", "\"\\u00c1\\u00bf\""},                        // overlong DEL
        {"\xE0\x9F\xBF", "\"\\u00e0\\u009f\\u00bf\""},             // overlong 3-byte
        {"\xF0\x8F\xBF\xBF", "\"\\u00f0\\u008f\\u00bf\\u00bf\""},  // overlong 4-byte
        {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},             // surrogate D800
        {"\xED\xBF\xBF", "\"\\u00ed\\u00bf\\u00bf\""},             // surrogate DFFF
        {"\xF4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},  // above U+10FFFF
        {"\xF5\x80\x80\x80", "\"\\u00f5\\u0080\\u0080\\u0080\""},
        // Truncated sequences: the lead byte is escaped, what follows is read
        // again on its own.
        {"\xE2\x82", "\"\\u00e2\\u0082\""},
        {"\xE2\x82"
         "A",
         "\"\\u00e2\\u0082A\""},
        {"\xF0\x9F\x98", "\"\\u00f0\\u009f\\u0098\""},
        {"\xC3", "\"\\u00c3\""},
        {"\xC3\xC3\xA9", "\"\\u00c3\xC3\xA9\""},
        // GBK text ("ni hao").
        {"\xC4\xE3\xBA\xC3", "\"\\u00c4\\u00e3\\u00ba\\u00c3\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.json, Quoted(c.bytes)) << "input of " << c.bytes.size() << " bytes";
    }
    // Appends, and a null text is the empty string.
    std::string out = "x";
    AppendJsonString(nullptr, 5, out);
    AppendJsonString("abc", 2, out);
    EXPECT_EQ("x\"\"\"ab\"", out);
}

// Random bytes, with UTF-8 lead and continuation bytes over-represented,
// always give a valid JSON string that reads back as the bytes with each
// byte that starts no well-formed sequence taken as U+0000..U+00FF.
TEST(AppendJsonString, RandomBytesAlwaysGiveValidJson) {
    std::mt19937 random(20240611);
    const uint8_t kInteresting[] = {0x00, 0x0A, 0x1F, '"',  '\\', 0x7F, 0x80, 0xBF, 0xC0,
                                    0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    for (int round = 0; round < 500; ++round) {
        std::string bytes;
        int n = static_cast<int>(random() % 24);
        for (int i = 0; i < n; ++i) {
            uint32_t r = random();
            bytes.push_back(static_cast<char>(
                r % 3 == 0 ? kInteresting[(r >> 8) % sizeof kInteresting] : (r >> 8) & 0xFF));
        }
        std::string expected;
        for (size_t i = 0; i < bytes.size();) {
            size_t k = static_cast<uint8_t>(bytes[i]) >= 0x80 ? DecodeUtf8(bytes, i) : 1;
            if (k == 0) {
                PutUtf8(static_cast<uint8_t>(bytes[i]), expected);
                ++i;
            } else {
                expected.append(bytes, i, k);
                i += k;
            }
        }
        std::string json = Quoted(bytes);
        Json value;
        JsonReader reader(json);
        ASSERT_TRUE(reader.Read(value)) << reader.error << " in " << json;
        ASSERT_EQ(Json::kString, value.kind);
        EXPECT_EQ(expected, value.text) << json;
    }
}

// ---- translations of the station report sample ----

class ResultJsonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string path = std::string(VANTOR_SOURCE_DIR) + "/samples/demo/report.txt";
        ASSERT_TRUE(decoder.LoadScript(path.c_str(), false)) << decoder.GetLastError().GetBuffer(0);
    }

    // Translates bytes as the application does and reads the line back.
    Json Translate(const std::vector<uint8_t>& bytes, int index = 0) {
        int32_t length = static_cast<int32_t>(bytes.size());
        last = LastTranslation();
        last.attempted = true;
        last.length = length;
        last.ok = decoder.Translate(true, bytes.data(), length);
        last.used = length;
        if (!last.ok) last.error = decoder.GetLastError();
        results.texts[0] = "\xC4\xE3\xBA\xC3";  // a GBK comment
        decoder.GetTitle(0, results.texts[1]);
        decoder.GetTitle(1, results.texts[2]);
        JsonMessage message;
        message.index = index;
        message.bytes = bytes.data();
        message.length = static_cast<int32_t>(bytes.size());
        message.last = &last;
        message.results = &results;
        line.clear();
        AppendTranslationJson(decoder, message, line);
        Json json;
        EXPECT_TRUE(ReadLine(line, json));
        return json;
    }

    ProtocolDecoder decoder;
    LastTranslation last;
    TranslateResults results;
    std::string line;
};

// The keys of a node, in their order.
void ExpectNodeShape(const Json& node) {
    static const char* const kKeys[] = {"name",   "description", "comment", "start", "length",
                                        "marker", "failed",      "type",    "value", "children"};
    std::vector<std::string> keys;
    for (const auto& m : node.members) {
        if (m.first != "comments") keys.push_back(m.first);
    }
    ASSERT_EQ(std::vector<std::string>(std::begin(kKeys), std::end(kKeys)), keys)
        << node["name"].text;
    EXPECT_EQ(Json::kString, node["name"].kind);
    EXPECT_EQ(Json::kNumber, node["start"].kind);
    EXPECT_EQ(Json::kBool, node["failed"].kind);
    EXPECT_EQ(Json::kArray, node["children"].kind);
    for (const Json& child : node["children"].items) ExpectNodeShape(child);
}

TEST_F(ResultJsonTest, SuccessfulTranslationCarriesTheWholeTree) {
    Json json = Translate({0x5A, 1, 3, 1, 0, 2, 0, 0xFF, 0xFF, 0xFE, 0xFF, 5}, 4);
    std::vector<std::string> keys;
    for (const auto& m : json.members) keys.push_back(m.first);
    EXPECT_EQ(
        (std::vector<std::string>{"index", "length", "consumed", "success", "error", "leftover",
                                  "warning", "title", "caption0", "caption1", "tree"}),
        keys);
    EXPECT_EQ("4", json["index"].text);
    EXPECT_EQ("12", json["length"].text);
    EXPECT_EQ("12", json["consumed"].text);
    EXPECT_TRUE(json["success"].boolean);
    EXPECT_TRUE(json["error"].IsNull());
    EXPECT_EQ("0", json["leftover"].text);
    EXPECT_TRUE(json["warning"].IsNull());
    EXPECT_EQ("\xC3\x84\xC3\xA3\xC2\xBA\xC3\x83", json["title"].text);
    EXPECT_EQ("kind 1", json["caption0"].text);

    const Json& tree = json["tree"];
    ExpectNodeShape(tree);
    EXPECT_EQ("msg", tree["name"].text);
    EXPECT_EQ("Report", tree["type"].text);
    EXPECT_EQ("12", tree["length"].text);

    const Json& mode = Path(tree, {"status", "mode"});
    EXPECT_EQ("2", mode["value"].text);
    EXPECT_EQ("010-----", mode["marker"].text);
    EXPECT_EQ("operating mode", mode["description"].text);
    EXPECT_TRUE(mode["comment"].IsNull());

    const Json& kind = Child(tree, "kind");
    EXPECT_EQ("sensor record", kind["comment"].text);
    EXPECT_EQ("***B1***", kind["marker"].text);
    EXPECT_EQ("1", kind["start"].text);
    EXPECT_EQ("1", kind["length"].text);

    const Json& sensor = Path(tree, {"part", "sensor"});
    EXPECT_EQ("Choice", Child(tree, "part")["type"].text);
    EXPECT_TRUE(Child(tree, "part")["value"].IsNull());
    EXPECT_EQ("level 3 of 3", Child(sensor, "level")["comment"].text);
    // A struct array: a node per element spanning its members.
    const Json& pos = Child(sensor, "pos");
    ASSERT_EQ(2u, pos["children"].items.size());
    const Json& second = Child(pos, "pos[1]");
    EXPECT_EQ("7", second["start"].text);
    EXPECT_EQ("4", second["length"].text);
    EXPECT_EQ("Point", second["type"].text);
    EXPECT_EQ("-1", Child(second, "x")["value"].text);
    EXPECT_EQ("-257", Child(second, "y")["value"].text);
    EXPECT_EQ("256", Path(pos, {"pos[0]", "x"})["value"].text);
    EXPECT_EQ("F_ACK | F_LAST", Child(tree, "flags")["comment"].text);
}

TEST_F(ResultJsonTest, LeftoverIntegratedAndContentStructs) {
    Json json = Translate({0x13, 2, 21, 7, 6, 0xAA});
    EXPECT_TRUE(json["success"].boolean);
    EXPECT_EQ("5", json["consumed"].text);
    EXPECT_EQ("1", json["leftover"].text);
    EXPECT_EQ("leave 1 bytes not translated", json["warning"].text);
    // The integrated struct of a TypeOF item is its child.
    const Json& reading = Path(json["tree"], {"part", "reading"});
    EXPECT_EQ("217", reading["value"].text);
    EXPECT_EQ("21.7 deg", reading["comment"].text);
    EXPECT_EQ(">", reading["marker"].text);
    EXPECT_EQ("21", Path(reading, {"This", "whole"})["value"].text);
    EXPECT_EQ("7", Path(reading, {"This", "tenth"})["value"].text);

    // A MEMO's text and its content struct.
    json = Translate({0x31, 3, 3, 'a', 'b', 'c', 4});
    EXPECT_TRUE(json["warning"].IsNull());
    const Json& text = Path(json["tree"], {"part", "note", "text"});
    EXPECT_EQ(Json::kString, text["value"].kind);
    EXPECT_EQ("abc", text["value"].text);
    const Json& rest = Path(text, {"Content", "rest"});
    ASSERT_EQ(Json::kArray, rest["value"].kind);
    ASSERT_EQ(2u, rest["value"].items.size());
    EXPECT_EQ("98", rest["value"].At(0).text);
    EXPECT_EQ("99", rest["value"].At(1).text);
}

TEST_F(ResultJsonTest, FailedTranslationKeepsThePartialTree) {
    Json json = Translate({0x5A, 1, 3, 1, 0});
    EXPECT_FALSE(json["success"].boolean);
    EXPECT_NE(std::string::npos, json["error"].text.find("'y' get 'INT2' data fail"))
        << json["error"].text;
    EXPECT_EQ("0", json["leftover"].text);
    EXPECT_TRUE(json["warning"].IsNull());
    const Json& tree = json["tree"];
    ExpectNodeShape(tree);
    const Json& first = Path(tree, {"part", "sensor", "pos", "pos[0]"});
    EXPECT_EQ("256", Child(first, "x")["value"].text);
    EXPECT_FALSE(Child(first, "x")["failed"].boolean);
    const Json& y = Child(first, "y");
    EXPECT_TRUE(y["failed"].boolean);
    EXPECT_TRUE(y["value"].IsNull());
    EXPECT_EQ("-1", y["length"].text);
    EXPECT_EQ("***?****", y["marker"].text);
    EXPECT_TRUE(first["failed"].boolean);
    EXPECT_TRUE(Path(tree, {"part", "sensor", "pos"})["failed"].boolean);
    const Json& flags = Child(tree, "flags");
    EXPECT_TRUE(flags["value"].IsNull());
    EXPECT_TRUE(flags["comment"].IsNull());
    EXPECT_EQ("-1", flags["start"].text);
}

TEST_F(ResultJsonTest, RefusedInputHasNoTree) {
    // Translate something first: a refused input must not show it again.
    Translate({0x13, 2, 21, 7, 6});
    const uint8_t bytes[] = {1, 2};
    JsonMessage message;
    message.index = 2;
    message.bytes = bytes;
    message.length = 2;
    message.inputError = "Hex stream error";
    std::string out = "kept";
    AppendTranslationJson(decoder, message, out);
    ASSERT_EQ(0u, out.find("kept{"));
    Json json;
    ASSERT_TRUE(ReadLine(out.substr(4), json));
    EXPECT_FALSE(json["success"].boolean);
    EXPECT_EQ("Hex stream error", json["error"].text);
    EXPECT_TRUE(json["tree"].IsNull());
    EXPECT_TRUE(json.Has("tree"));
    EXPECT_TRUE(json["title"].IsNull());
    EXPECT_EQ("0", json["consumed"].text);

    // Tried but refused before the decoder ran.
    LastTranslation last;
    message.last = &last;
    message.inputError = appmsg::kIllegalInput;
    out.clear();
    AppendTranslationJson(decoder, message, out);
    json = Json();
    ASSERT_TRUE(ReadLine(out, json));
    EXPECT_EQ("\n # illegal input.\n", json["error"].text);
    EXPECT_TRUE(json["tree"].IsNull());
}

// Random bytes in every text of the line never break it.
TEST_F(ResultJsonTest, RandomTextsAlwaysGiveValidLines) {
    std::mt19937 random(77);
    auto text = [&random]() {
        std::string bytes;
        int n = static_cast<int>(random() % 20);
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>(random() & 0xFF));
        return bytes;
    };
    const uint8_t bytes[] = {0x5A, 1, 3, 1, 0};
    for (int round = 0; round < 100; ++round) {
        std::string error = text();
        std::string input = text();
        LastTranslation last;
        last.attempted = round % 2 == 0;
        last.error = OTSTR(error.data(), static_cast<int>(error.size()));
        TranslateResults results;
        for (OTSTR& t : results.texts) {
            std::string bytesOfText = text();
            t = OTSTR(bytesOfText.data(), static_cast<int>(bytesOfText.size()));
        }
        JsonMessage message;
        message.bytes = bytes;
        message.length = sizeof bytes;
        message.last = round % 3 == 0 ? nullptr : &last;
        message.results = &results;
        message.inputError = input.c_str();
        std::string out;
        AppendTranslationJson(decoder, message, out);
        Json json;
        ASSERT_TRUE(ReadLine(out, json)) << "round " << round;
    }
}

// ---- value typing on a hand-made tree ----

class ResultJsonValueTest : public ScratchDirTest {
  protected:
    // A new item of the decoder, created as declared[count] and added to the
    // root choice.
    DecoderItem* Add(int32_t declared, const char* name, int32_t count) {
        auto* item = new DecoderItem(&decoder);
        EXPECT_TRUE(item->create(declared, name, count)) << name;
        EXPECT_TRUE(decoder.GetRoot().SetChosen(item, 0, 0)) << name;
        return item;
    }

    Json Write() {
        LastTranslation last;
        last.attempted = true;
        last.ok = true;
        JsonMessage message;
        message.last = &last;
        std::string out;
        AppendTranslationJson(decoder, message, out);
        Json json;
        EXPECT_TRUE(ReadLine(out, json));
        return json;
    }

    ProtocolDecoder decoder;
};

TEST_F(ResultJsonValueTest, ValuesAreTypedByTheDeclaredType) {
    ASSERT_TRUE(decoder.GetRoot().create(kDeclChoice, "msg", 1));
    Add(kDeclInt4, "i4", 1)->setAt(0, std::numeric_limits<int32_t>::min());
    Add(kDeclUInt4, "u4", 1)->setAt(0, 0xFFFFFFFFu);
    DecoderItem* i1 = Add(kDeclInt1, "i1", 2);
    i1->setAt(0, -1);
    i1->setAt(1, -128);
    Add(kDeclByte, "b", 1)->setAt(0, 0xFFu);
    DecoderItem* d = Add(kDeclDouble, "d", 4);
    d->setAt(0, 0.1);
    d->setAt(1, -2.5e300);
    d->setAt(2, std::nan(""));
    d->setAt(3, -HUGE_VAL);
    DecoderItem* octet = Add(kDeclOctet, "raw", 1);
    octet->setAt(0, "\x0A\x1B\xFF", 3);
    DecoderItem* octets = Add(kDeclOctet, "pair", 2);
    octets->setAt(0, "\x01", 1);
    Add(kDeclString, "s", 1)->setAt(0, "h\xC3\xA9 \"q\"\n", -1);
    Add(kDeclMemo, "m", 1)->setAt(0, "\0\xFF", 2);
    DecoderItem* c = Add(kDeclTchar, "c", 4);
    c->setAt(0, "A", 1);
    c->setAt(1, "B", 1);
    Add(kDeclUInt2, "unset", 3);

    Json tree = Write()["tree"];
    ExpectNodeShape(tree);
    // The values as the line holds them, between "value": and ,"children".
    std::string out;
    LastTranslation last;
    last.attempted = true;
    JsonMessage message;
    message.last = &last;
    AppendTranslationJson(decoder, message, out);
    struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"i4", "-2147483648"},
        {"u4", "4294967295"},
        {"i1", "[-1,-128]"},
        {"b", "255"},
        {"d", "[0.1,-2.5e+300,null,null]"},
        {"raw", "\"0A1BFF\""},
        {"pair", "[\"01\",\"\"]"},
        {"s", "\"h\xC3\xA9 \\\"q\\\"\\n\""},
        {"m", "\"\\u0000\\u00ff\""},
        {"c", "\"AB\""},
        {"unset", "null"},
    };
    for (const auto& k : cases) {
        std::string key = std::string("\"name\":\"") + k.name + "\"";
        const Json& node = Child(tree, k.name);
        ASSERT_EQ(Json::kObject, node.kind) << k.name;
        size_t at = out.find(key);
        ASSERT_NE(std::string::npos, at) << k.name;
        size_t begin = out.find("\"value\":", at) + 8;
        size_t end = out.find(",\"children\"", begin);
        EXPECT_EQ(k.value, out.substr(begin, end - begin)) << k.name;
    }
    EXPECT_EQ("-1", Child(tree, "i4")["start"].text);
    EXPECT_EQ("***?****", Child(tree, "i4")["marker"].text);  // no location
}

TEST_F(ResultJsonValueTest, CommentsOfArraysAndFailingDumps) {
    WriteWholeFile("proto.txt",
                   "extern STRING strFormat(STRING strFormat, ...);\n"
                   "extern INT4 nosuch();\n"
                   "#define PROTOCOL_ROOT R\n"
                   "enum E { ONE = 1, // one\n TWO = 2, // two\n };\n"
                   "struct R {\n"
                   " UINT1 d[3] { OCTET Dump(INT4 n) { return strFormat(\"n=%d\", n); } };\n"
                   " UINT1 bad { OCTET Dump(INT4 n) { return strFormat(\"%d\", nosuch()); } };\n"
                   " UINT1 e { DumpOF E ( Equal ) };\n"
                   " UINT1 plain; };");
    ASSERT_TRUE(decoder.LoadScript("proto.txt", false)) << decoder.GetLastError().GetBuffer(0);
    const uint8_t bytes[] = {3, 4, 5, 6, 9, 7};
    int32_t length = sizeof bytes;
    ASSERT_TRUE(decoder.Translate(true, bytes, length));
    Json tree = Write()["tree"];
    ExpectNodeShape(tree);
    const Json& d = Child(tree, "d");
    EXPECT_EQ("n=3", d["comment"].text);
    ASSERT_EQ(3u, d["comments"].items.size());
    EXPECT_EQ("n=3", d["comments"].At(0).text);
    EXPECT_EQ("n=5", d["comments"].At(2).text);
    // A failing Dump procedure: no comment, and the item is marked.
    EXPECT_TRUE(Child(tree, "bad")["comment"].IsNull());
    EXPECT_TRUE(Child(tree, "bad")["failed"].boolean);
    EXPECT_FALSE(Child(tree, "bad").Has("comments"));
    // 9 is no E value: an empty comment; no comments at all: null.
    EXPECT_EQ(Json::kString, Child(tree, "e")["comment"].kind);
    EXPECT_EQ("", Child(tree, "e")["comment"].text);
    EXPECT_TRUE(Child(tree, "plain")["comment"].IsNull());
}

// A chain of choices deeper than the limit still gives a valid line, with
// the nodes at the limit written without children.
TEST_F(ResultJsonValueTest, DeepTreesStopAtTheDepthLimit) {
    CVariableItem* at = &decoder.GetRoot();
    ASSERT_TRUE(at->create(kDeclChoice, "msg", 1));
    for (int i = 0; i < kJsonMaxDepth + 50; ++i) {
        auto* next = new DecoderItem(&decoder);
        ASSERT_TRUE(next->create(kDeclChoice, "c", 1));
        ASSERT_TRUE(at->SetChosen(next, 0, 0));
        at = next;
    }
    Json json = Write();
    int depth = 0;
    for (const Json* node = &json["tree"]; !node->IsNull(); node = &Child(*node, "c")) ++depth;
    EXPECT_EQ(kJsonMaxDepth + 1, depth);
}

}  // namespace
