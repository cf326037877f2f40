// The input box's hexadecimal text: two digits per byte, blanks and control
// characters (which count as blanks) only between bytes, at most
// kMaxHexInputBytes bytes. Tested by app/hex_input_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/otstr.h"

constexpr int32_t kMaxHexInputBytes = 2047;

namespace hexmsg {
constexpr const char kHexStreamError[] = "Hex stream error";
constexpr const char kContentFile[] = "Dump\\Content";
}  // namespace hexmsg

// Parses length characters of text into out (room for kMaxHexInputBytes);
// count receives the number of bytes. False, with count 0, for a text that
// does not parse: a character that is neither a hex digit nor a blank, a
// lone digit, or more than kMaxHexInputBytes bytes. A text of blanks only
// gives 0 bytes and succeeds.
bool ParseHexInput(const char* text, size_t length, uint8_t* out, int32_t& count);

// Stores the raw text in "Dump\Content" (replacing it). False when the file
// cannot be written.
bool SaveInputText(const char* text, size_t length);
// Reads "Dump\Content" back; false (and an empty text) when it is missing.
bool LoadInputText(OTSTR& text);
