// The script's printf-like formatting of a list of values (FormatValues), the
// text form of one value under a format, and integer-to-text conversion in
// bases 2 to 36. Tested by values/format_values_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/otstr.h"

class CVarient;
template <typename T>
class ObArrayOf;

// Result codes of FormatValues besides the length.
constexpr int kFormatMissingValue = -1;  // the format asks for more values than given
constexpr int kFormatNoRoom = -2;        // the text does not fit the capacity
constexpr int kFormatBadValue = -3;      // a value cannot be read as its conversion needs

// Formats values under format into out.
// capacity is the size of out in bytes, terminator included: at most
// capacity - 1 characters are written and, whenever capacity >= 1, the text
// is zero-terminated, on failure too (after what was written so far).
// Conversions: %c %C %s %S %d %i %u %o %x %X %e %f %%, with the flags
// " + - 0", a width (digits or "*"), a precision ("." with digits or "*") and
// an optional "l"; without "l" integers are cut to 16 bits. Returns the
// length of the text, or kFormatMissingValue, kFormatNoRoom (also for a
// negative or zero capacity, or a null out) or kFormatBadValue. The format
// itself is never handed to the C formatter.
int FormatValues(char* out, int capacity, const char* format, const ObArrayOf<CVarient>& values);

// One value for FormatPlan: value; where that is null, the text of length
// bytes at text, which formats as an OCTET value of those bytes; where that
// is null too, an integer of type whose word is word, which formats as an
// integer value of that word.
struct FormatItem {
    const CVarient* value = nullptr;
    const char* text = nullptr;
    int32_t length = 0;
    int32_t type = 0;
    uint32_t word = 0;
};

struct FormatPiece;

// A format parsed once, that formats its values as FormatValues formats
// them under it, without parsing it again.
class FormatPlan {
  public:
    FormatPlan();
    ~FormatPlan();
    FormatPlan(const FormatPlan&) = delete;
    FormatPlan& operator=(const FormatPlan&) = delete;

    // The plan of format (null: empty), up to its zero byte.
    void Parse(const char* format);
    // FormatValues of the format with count items for its values.
    int Format(char* out, int capacity, const FormatItem* items, int count) const;

  private:
    // Format of a plain plan: its values written straight into out, or -1
    // where Format's general route must write them (a value that is not as
    // its directive reads it, missing or too long for out).
    int FormatPlain(char* out, int capacity, const FormatItem* items, int count) const;

    std::string text;  // the format; the text pieces point into it
    std::vector<FormatPiece> pieces;
    // Every directive is a decimal without flags, width or precision, or a
    // text without width or precision ("%d.%d", "%s -> %s"): the usual format.
    bool plain = false;
};

// One value for FormatValueText: its type and, by type, the word (integers,
// already sign- or zero-extended from the type's width; PVOID: the low 32
// bits), the double, or the bytes (OCTET; length -1: up to the zero byte).
struct FormatArg {
    int32_t type = -1;
    uint32_t word = 0;
    double number = 0.0;
    const char* bytes = nullptr;
    int32_t length = 0;
};

// The text of one value under a format, with the conversions of FormatValues
// except that integers always take 32 bits (with or without "l") and an
// empty string prints as nothing. The format may be null for the type's
// default format. Fails, leaving out empty, when the format asks for a
// second value or for one the value cannot give (a string from a number, a
// number from a string), or when the text would exceed 16 MiB plus the
// value's length.
bool FormatValueText(OTSTR& out, const char* format, const FormatArg& arg);

// Writes value in base (2 to 36), preceded by "-" when negative is set (value
// is the magnitude), with lower- or upper-case letter digits, and a
// terminating zero. capacity is the size of out in bytes. Returns the number
// of characters written (terminator not counted), or -1, writing nothing,
// for a base outside 2..36, a null out or a capacity that cannot hold the
// text and its terminator (34 bytes always suffice).
int IntToText(uint32_t value, bool negative, int base, bool upper, char* out, int capacity);
