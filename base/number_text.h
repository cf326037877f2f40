// Decimal and hexadecimal digits of integers, written without printf, for
// the texts that a translation formats for every member of every message.
// Tested by base/number_text_test.cpp.
#pragma once

#include <cstdint>

// The longest text DecimalDigits writes: '-' and 19 digits.
constexpr int kMaxDecimalDigits = 20;

// Writes the decimal digits of value, '-' first when it is negative, at out
// (room for kMaxDecimalDigits characters; no zero byte is added) and
// returns how many characters it wrote: "%lld" without printf.
int DecimalDigits(int64_t value, char* out);

// Writes the digits lowest hexadecimal digits of value, upper case and
// zero-padded, at out (no zero byte is added): "%0*X" for 1 to 8 digits.
void HexDigits(uint32_t value, int digits, char* out);
