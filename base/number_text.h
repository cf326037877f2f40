// Decimal and hexadecimal digits of integers, written without printf, for
// the texts that a translation formats for every member of every message.
// Tested by base/number_text_test.cpp.
#pragma once

#include <cstdint>
#include <cstring>

// The longest text DecimalDigits writes: '-' and 19 digits.
constexpr int kMaxDecimalDigits = 20;

// Writes the decimal digits of value, '-' first when it is negative, at out
// (room for kMaxDecimalDigits characters; no zero byte is added) and
// returns how many characters it wrote: "%lld" without printf.
int DecimalDigits(int64_t value, char* out);

// Writes the digits lowest hexadecimal digits of value, upper case and
// zero-padded, at out (no zero byte is added): "%0*X" for 1 to 8 digits.
void HexDigits(uint32_t value, int digits, char* out);

// The two hexadecimal digits of every byte, upper case: a table, as the
// bytes of a message are random to a branch.
struct HexBytePairs {
    constexpr HexBytePairs() : pair() {
        const char digits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            pair[b][0] = digits[b >> 4];
            pair[b][1] = digits[b & 15];
        }
    }
    char pair[256][2];
};
inline constexpr HexBytePairs kHexBytePairs{};

// Writes the two digits of byte at out (no zero byte is added): "%02X".
inline void HexByte(uint8_t byte, char* out) {
    memcpy(out, kHexBytePairs.pair[byte], 2);
}
