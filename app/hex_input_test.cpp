// Tests of the input box's hexadecimal text (app/hex_input.cpp): parsing and
// the "Dump\Content" file.
#include "app/hex_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>

#include "base/scratch_dir.h"

namespace {

// The bytes of the first n characters (all by default) as hex pairs, or "fail".
std::string Parse(const std::string& text, size_t n = std::string::npos) {
    uint8_t out[kMaxHexInputBytes];
    int32_t count = -1;
    if (!ParseHexInput(text.data(), std::min(n, text.size()), out, count)) {
        EXPECT_EQ(0, count) << "a failure leaves no bytes";
        return "fail";
    }
    std::string hex;
    static const char kDigits[] = "0123456789abcdef";
    for (int32_t i = 0; i < count; ++i) hex += {kDigits[out[i] >> 4], kDigits[out[i] & 15]};
    return hex;
}

TEST(HexInput, Parses) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},
        {"   \r\n\t ", ""},
        {"0a FF 7f", "0aff7f"},
        {"0A 0B0C", "0a0b0c"},  // pairs need no blank between them
        {"\r\n0102\r\n", "0102"},
        {std::string("\00101\03702\17703\00004", 12), "01020304"},  // controls are blanks
        {"0A B", "fail"},                                           // a lone digit at the end
        {"0A B C", "fail"},                                         // a blank inside a byte
        {"0g", "fail"},
        {"G0", "fail"},
        {"01,02", "fail"},
        {"\302\24001", "fail"},  // a non-breaking blank is not a blank
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, Parse(c.first)) << "'" << c.first << "'";
    EXPECT_EQ("0102", Parse("0102zz", 4));  // exactly the given length is read
    EXPECT_EQ("fail", Parse("0102zz", 3));
}

TEST(HexInput, ErrorsSayWhereAndWhy) {
    struct {
        std::string text, why;
    } cases[] = {
        {"0A 0B", ""},
        {"0A B", "character 4: the digit 'B' has no second digit"},
        {"0A 0", "character 4: the digit '0' has no second digit"},
        {"0A 0G", "character 5: 'G' is not a hex digit"},
        {"0A,0B", "character 3: ',' is not a hex digit"},
        {"0A\xff", "character 3: 0xFF is not a hex digit"},
        {std::string(4096 * 2, '0'), "more than 2047 bytes"},
        {std::string(70000, ' '), "the text is longer than 65536 characters"},
    };
    for (const auto& c : cases) {
        OTSTR why;
        EXPECT_EQ(!c.why.empty(), ExplainHexError(c.text.data(), c.text.size(), why)) << c.why;
        EXPECT_EQ(c.why, why.GetBuffer(0));
    }
}

TEST(HexInput, AtMost2047BytesIn65536Characters) {
    std::string text, expected;
    for (int i = 0; i < kMaxHexInputBytes; ++i) {
        text += i % 2 != 0 ? "ab" : "CD ";
        expected += i % 2 != 0 ? "ab" : "cd";
    }
    EXPECT_EQ(expected, Parse(text + "   \n"));
    EXPECT_EQ("fail", Parse(text + "00"));
    EXPECT_EQ("fail", Parse(text + "0"));
    // However few its bytes, a text longer than any message is refused.
    const std::string blanks(kMaxHexInputText - 2, ' ');
    EXPECT_EQ("0a", Parse("0A" + blanks));
    EXPECT_EQ("fail", Parse("0A" + blanks + " "));
}

using HexContentTest = ScratchDirTest;

TEST_F(HexContentTest, ContentRoundTrip) {
    OTSTR text("stale");
    EXPECT_FALSE(LoadInputText(text));
    EXPECT_EQ(0, text.GetLength());
    EXPECT_FALSE(SaveInputText("01", 2));  // no "dump" directory yet
    ASSERT_EQ(mkdir("dump", 0777), 0);
    const std::string raw("0A 0B\r\n\x00zz\xff", 11);
    ASSERT_TRUE(SaveInputText(raw.data(), raw.size()));
    ASSERT_TRUE(LoadInputText(text));
    EXPECT_EQ(raw, std::string(text.GetBuffer(), text.GetLength()));
    // The file is replaced, not appended to; an empty text empties it.
    ASSERT_TRUE(SaveInputText("FF", 2));
    EXPECT_EQ("FF", ReadWholeFile("dump/Content"));
    ASSERT_TRUE(SaveInputText(nullptr, 0));
    EXPECT_EQ("", ReadWholeFile("dump/Content"));
}

}  // namespace
