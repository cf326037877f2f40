// Tests of the integer digits written without printf: each against the
// printf text it stands for.
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(NumberText, DecimalDigitsMatchPrintf) {
    std::vector<int64_t> values = {0,
                                   1,
                                   -1,
                                   9,
                                   10,
                                   -10,
                                   99,
                                   100,
                                   12345,
                                   INT32_MAX,
                                   INT32_MIN,
                                   static_cast<int64_t>(UINT32_MAX),
                                   std::numeric_limits<int64_t>::max(),
                                   std::numeric_limits<int64_t>::min()};
    // Each count of digits, at both of its ends.
    int64_t power = 1;
    for (int digits = 1; digits <= 18; ++digits) {
        power *= 10;  // up to 10^18: one more would overflow
        for (int64_t value : {power - 1, power, power + 7}) {
            values.push_back(value);
            values.push_back(-value);
        }
    }
    for (int64_t value : values) {
        char expected[32];
        snprintf(expected, sizeof expected, "%" PRId64, value);
        char out[kMaxDecimalDigits];
        int n = DecimalDigits(value, out);
        EXPECT_EQ(std::string(expected), std::string(out, static_cast<size_t>(n)));
    }
}

TEST(NumberText, HexDigitsMatchPrintf) {
    const uint32_t kValues[] = {0, 1, 0xa, 0xff, 0x100, 0xbeef, 0x12345678, 0xffffffffu};
    for (uint32_t value : kValues) {
        for (int digits = 1; digits <= 8; ++digits) {
            uint32_t low = digits == 8 ? value : value & ((1u << (4 * digits)) - 1);
            char expected[16];
            snprintf(expected, sizeof expected, "%0*X", digits, low);
            char out[8];
            HexDigits(value, digits, out);
            EXPECT_EQ(std::string(expected), std::string(out, static_cast<size_t>(digits)))
                << value << " in " << digits;
        }
    }
    for (int b = 0; b < 256; ++b) {
        char expected[4];
        snprintf(expected, sizeof expected, "%02X", b);
        char out[2];
        HexByte(static_cast<uint8_t>(b), out);
        EXPECT_EQ(std::string(expected), std::string(out, 2)) << b;
    }
}

}  // namespace
