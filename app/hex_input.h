// The input box's hexadecimal text: two digits per byte, blanks and control
// characters (which count as blanks) only between bytes, at most
// kMaxHexInputBytes bytes in at most kMaxHexInputText characters. Tested by
// app/hex_input_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/otstr.h"

constexpr int32_t kMaxHexInputBytes = 2047;
// The longest text that can hold a message: 32 characters for each byte at
// most, blanks included. Readers of message lines stop keeping a line once
// it is longer, so that a line without end takes no memory.
constexpr size_t kMaxHexInputText = 65536;

namespace hexmsg {
constexpr const char kHexStreamError[] = "Hex stream error";
constexpr const char kContentFile[] = "Dump\\Content";
}  // namespace hexmsg

// Parses length characters of text into out (room for kMaxHexInputBytes);
// count receives the number of bytes. False, with count 0, for a text that
// does not parse: a character that is neither a hex digit nor a blank, a
// lone digit, more than kMaxHexInputBytes bytes, or more than
// kMaxHexInputText characters. A text of blanks only gives 0 bytes and
// succeeds.
bool ParseHexInput(const char* text, size_t length, uint8_t* out, int32_t& count);

// Where and why a text does not parse, for a second line after
// "Hex stream error": "character 5: 'x' is not a hex digit", "character 7:
// the digit 'B' has no second digit", "more than 2047 bytes". False (why
// empty) for a text that parses.
bool ExplainHexError(const char* text, size_t length, OTSTR& why);

// Stores the raw text in "Dump\Content" (replacing it). False when the file
// cannot be written.
bool SaveInputText(const char* text, size_t length);
// Reads "Dump\Content" back; false (and an empty text) when it is missing.
bool LoadInputText(OTSTR& text);
