// The integer operators of the script language on two 32-bit words, as
// CVarient::Operate computes them for integer operands, and as compiled
// code computes them where it knows the operands' types when it is
// compiled. Tested by values/cvarient_test.cpp.
#pragma once

#include <cstdint>

#include "values/operator_code.h"

enum class OpResult { kDone, kUnknown, kDivideByZero };

// The word as a signed 32-bit number, without relying on how a conversion
// wraps.
inline int32_t WordAsSigned(uint32_t word) {
    return word <= INT32_MAX ? static_cast<int32_t>(word) : -static_cast<int32_t>(~word) - 1;
}

// The integer operators on two 32-bit words. Arithmetic and bit operators
// wrap on the words; division, remainder, ">>" and the comparisons follow
// the signedness of the result type. A zero divisor is reported; INT32_MIN
// / -1 gives INT32_MIN, INT32_MIN % -1 gives 0.
inline __attribute__((always_inline)) OpResult IntegerOp(OperatorCode op, bool isSigned,
                                                         uint32_t left, uint32_t right,
                                                         uint32_t& out) {
    int32_t l = WordAsSigned(left);
    int32_t r = WordAsSigned(right);
    unsigned shift = right & 31u;
    auto compare = [&](auto less) { return isSigned ? less(l, r) : less(left, right); };
    switch (op) {
        case OperatorCode::kAdd:
            out = left + right;
            break;
        case OperatorCode::kSub:
            out = left - right;
            break;
        case OperatorCode::kMul:
            out = left * right;
            break;
        case OperatorCode::kDiv:
        case OperatorCode::kMod: {
            if (right == 0) return OpResult::kDivideByZero;
            bool divide = op == OperatorCode::kDiv;
            if (!isSigned) {
                out = divide ? left / right : left % right;
            } else if (r == -1) {
                out = divide ? 0u - left : 0u;  // INT32_MIN / -1 wraps
            } else {
                out = static_cast<uint32_t>(divide ? l / r : l % r);
            }
            break;
        }
        case OperatorCode::kAnd:
            out = left & right;
            break;
        case OperatorCode::kOr:
            out = left | right;
            break;
        case OperatorCode::kXor:
            out = left ^ right;
            break;
        case OperatorCode::kShl:
            out = left << shift;
            break;
        case OperatorCode::kShr:
            // An arithmetic shift for signed results, written so that it
            // does not depend on how the compiler shifts negative numbers.
            out = isSigned && l < 0 ? ~(~left >> shift) : left >> shift;
            break;
        case OperatorCode::kEq:
            out = left == right;
            break;
        case OperatorCode::kNe:
            out = left != right;
            break;
        case OperatorCode::kLe:
            out = compare([](auto a, auto b) { return a <= b; });
            break;
        case OperatorCode::kGe:
            out = compare([](auto a, auto b) { return a >= b; });
            break;
        case OperatorCode::kGt:
            out = compare([](auto a, auto b) { return a > b; });
            break;
        case OperatorCode::kLt:
            out = compare([](auto a, auto b) { return a < b; });
            break;
        case OperatorCode::kLogAnd:
            out = left != 0 && right != 0;
            break;
        case OperatorCode::kLogOr:
            out = left != 0 || right != 0;
            break;
        default:
            return OpResult::kUnknown;
    }
    return OpResult::kDone;
}
