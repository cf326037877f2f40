// The value type codes of the script engine, with their names, element
// widths, default text formats, classes and the double-to-word conversion.
// Tested by values/cvarient_test.cpp.
#pragma once

#include <cstdint>

// Codes 6 and 9 are not value types; type definitions add codes above 10
// that always map down to one of these.
enum ValueType : int32_t {
    kTypeNone = -1,
    kTypeInt1 = 0,
    kTypeInt2 = 1,
    kTypeInt4 = 2,
    kTypeUInt1 = 3,
    kTypeUInt2 = 4,
    kTypeUInt4 = 5,
    kTypeOctet = 7,
    kTypeDouble = 8,
    kTypePvoid = 10,
};

// "INT1" ... "PVOID"; the empty name for anything else.
const char* ValueTypeName(int32_t type);
// Bytes per element (0 for none and for OCTET, whose elements are strings;
// PVOID elements are pointer-sized).
int32_t ValueTypeWidth(int32_t type);
// "%ld", "%lu", "\"%s\"", "%.2f", "&%08X"; null for an invalid code.
const char* ValueTypeFormat(int32_t type);

// One of the nine value types (0-5, 7, 8, 10).
bool IsValidValueType(int32_t type);
bool IsSignedType(int32_t type);    // 0..2
bool IsUnsignedType(int32_t type);  // 3..5
bool IsIntegerType(int32_t type);   // 0..5
bool IsNumericType(int32_t type);   // integer or DOUBLE

// A double as a 32-bit word, truncated toward zero. Values below INT32_MIN
// saturate to INT32_MIN and values above UINT32_MAX to UINT32_MAX; negative
// values give their two's-complement word; NaN gives 0.
uint32_t TruncateDoubleToWord(double value);
