// Tests of the whole-text matcher.
#include "pattern/pattern_matcher.h"

#include <gtest/gtest.h>

namespace {

// The pattern of a variable name with an optional index.
const char kNamePattern[] = "^([A-Za-z_][A-Za-z_0-9]*)\\[({?=]})]$|^([A-Za-z_][A-Za-z_0-9]*)$";

TEST(PatternMatcher, NameWithIndexCapturesInOrder) {
    PatternMatcher matcher(kNamePattern);
    OTSTR params[11];
    ASSERT_TRUE(matcher.Match("abc[12]", params));
    EXPECT_STREQ("abc", params[0].GetBuffer(0));
    EXPECT_STREQ("12", params[1].GetBuffer(0));
    EXPECT_TRUE(params[2].IsEmpty());

    OTSTR plain[11];
    plain[1] = "untouched";
    ASSERT_TRUE(matcher.Match("value_2", plain));
    EXPECT_STREQ("value_2", plain[0].GetBuffer(0));
    EXPECT_STREQ("untouched", plain[1].GetBuffer(0));

    struct Case {
        const char* text;
        const char* error;
    } failures[] = {
        {"abc[12]x", "found unmatched token"},
        {"9abc", "found unmatched token"},
        {"", "unmatch"},
    };
    for (const Case& c : failures) {
        EXPECT_FALSE(matcher.Match(c.text, params)) << c.text;
        EXPECT_STREQ(c.error, matcher.GetLastError().GetBuffer(0)) << c.text;
    }
    EXPECT_FALSE(matcher.Match(nullptr));
    EXPECT_STREQ("String could not be null", matcher.GetLastError().GetBuffer(0));
}

TEST(PatternMatcher, RulesHelperRulesAndErrors) {
    PatternMatcher empty;
    EXPECT_FALSE(empty.Match("x"));
    EXPECT_STREQ("no rule seted now", empty.GetLastError().GetBuffer(0));

    PatternMatcher twice("\\d+");
    EXPECT_FALSE(twice.Match("12 34"));
    EXPECT_STREQ("found unmatched token", twice.GetLastError().GetBuffer(0));
    EXPECT_FALSE(twice.Match("1234") == false);

    PatternMatcher called;
    ASSERT_TRUE(called.AddToken(false, "[0-9a-f]+", "HEX"));
    ASSERT_TRUE(called.AddToken(true, "0x{HEX 0}"));
    OTSTR params[11];
    ASSERT_TRUE(called.Match("0x1f", params));
    EXPECT_STREQ("1f", params[0].GetBuffer(0));
    EXPECT_FALSE(called.Match("1f"));  // the helper rule is not a token by itself

    PatternMatcher bad;
    EXPECT_FALSE(bad.AddToken(true, "a<5,2>"));
    EXPECT_STREQ("Rule 1 build fail, repeatn should>=0 and min<=max",
                 bad.GetLastError().GetBuffer(0));

    PatternMatcher folded("abc");
    folded.SetCaseSensitive(false);
    EXPECT_TRUE(folded.Match("AbC"));
}

}  // namespace
