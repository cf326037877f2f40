// Tests of the input box's hexadecimal text (app/hex_input.cpp): parsing and
// the "Dump\Content" file.
#include "app/hex_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/scratch_dir.h"

namespace {

// The bytes as lower-case hex pairs without blanks, or "fail".
std::string Parse(const std::string& text) {
    uint8_t out[kMaxHexInputBytes];
    int32_t count = -1;
    if (!ParseHexInput(text.data(), text.size(), out, count)) {
        EXPECT_EQ(0, count) << "a failure leaves no bytes";
        return "fail";
    }
    std::string hex;
    char pair[3];
    for (int32_t i = 0; i < count; ++i) {
        snprintf(pair, sizeof pair, "%02x", out[i]);
        hex += pair;
    }
    return hex;
}

TEST(HexInput, Parses) {
    struct {
        std::string text, expected;
    } cases[] = {
        {"", ""},
        {"   \r\n\t ", ""},
        {"00", "00"},
        {"0a FF 7f", "0aff7f"},
        {"0A 0B0C", "0a0b0c"},  // pairs need no blank between them
        {"0A B", "fail"},       // a lone digit at the end
        {"0A B C", "fail"},     // a blank inside a byte
        {"A", "fail"},
        {"ABC", "fail"},
        {"\x01"
         "01\x1f"
         "02\x7f"
         "03",
         "010203"},  // control characters count as blanks
        {std::string("01\0"
                     "02",
                     5),
         "0102"},
        {"\r\n0102\r\n0304\r\n", "01020304"},
        {"0g", "fail"},
        {"g0", "fail"},
        {"0x01", "fail"},
        {"01,02", "fail"},
        {"01-02", "fail"},
        {"\xc2\xa0"
         "01",
         "fail"},  // a non-breaking blank is not a blank
        {"\x80", "fail"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, Parse(c.text)) << "'" << c.text << "'";
    }
}

TEST(HexInput, AtMost2047Bytes) {
    std::string text;
    for (int i = 0; i < kMaxHexInputBytes; ++i) text += (i % 2 != 0) ? "ab" : "CD ";
    std::string expected;
    for (int i = 0; i < kMaxHexInputBytes; ++i) expected += (i % 2 != 0) ? "ab" : "cd";
    EXPECT_EQ(expected, Parse(text));
    EXPECT_EQ(expected, Parse(text + "   \n"));
    EXPECT_EQ("fail", Parse(text + "00"));
    EXPECT_EQ("fail", Parse(text + "0"));
}

TEST(HexInput, ParsesExactlyTheGivenLength) {
    uint8_t out[kMaxHexInputBytes];
    int32_t count = -1;
    const char text[] = "0102zz";
    ASSERT_TRUE(ParseHexInput(text, 4, out, count));
    EXPECT_EQ(2, count);
    ASSERT_FALSE(ParseHexInput(text, 3, out, count));
    EXPECT_EQ(0, count);
}

using HexContentTest = ScratchDirTest;

TEST_F(HexContentTest, ContentRoundTrip) {
    OTSTR text;
    EXPECT_FALSE(LoadInputText(text));
    EXPECT_EQ(0, text.GetLength());
    EXPECT_FALSE(SaveInputText("01", 2));  // no "dump" directory yet

    ASSERT_EQ(mkdir("dump", 0777), 0);
    const std::string raw("0A 0B\r\n\x00zz\xff", 11);
    ASSERT_TRUE(SaveInputText(raw.data(), raw.size()));
    EXPECT_EQ(raw, ReadWholeFile("dump/Content"));
    ASSERT_TRUE(LoadInputText(text));
    EXPECT_EQ(raw, std::string(text.GetBuffer(), text.GetLength()));

    // The file is replaced, not appended to; an empty text empties it.
    ASSERT_TRUE(SaveInputText("FF", 2));
    EXPECT_EQ("FF", ReadWholeFile("dump/Content"));
    ASSERT_TRUE(SaveInputText(nullptr, 0));
    EXPECT_EQ("", ReadWholeFile("dump/Content"));
    ASSERT_TRUE(LoadInputText(text));
    EXPECT_EQ(0, text.GetLength());
}

}  // namespace
