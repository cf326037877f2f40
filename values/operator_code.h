// OperatorCode: the operators of expression nodes as codes, read once from
// their text so that an evaluation compares no operator text. Tested by
// values/cvarient_test.cpp.
#pragma once

#include <cstdint>

enum class OperatorCode : int8_t {
    kAdd,
    kSub,
    kMul,
    kDiv,
    kMod,
    kAnd,
    kOr,
    kXor,
    kShl,
    kShr,
    kEq,
    kNe,
    kLe,
    kGe,
    kGt,
    kLt,
    kLogAnd,
    kLogOr,
    kAssign,  // "="
    kSelect,  // "?", the conditional's operator
    kUnknown
};

// The binary operator, "=" or "?" that text names exactly ("+", "<<",
// "&&"...); kUnknown for any other text, null included.
OperatorCode OperatorCodeOf(const char* text);
