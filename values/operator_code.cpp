// OperatorCode: operator texts read as codes. Tested by
// values/cvarient_test.cpp.
#include "values/operator_code.h"

OperatorCode OperatorCodeOf(const char* text) {
    if (text == nullptr || text[0] == 0) return OperatorCode::kUnknown;
    char first = text[0];
    char second = text[1];
    if (second == 0) {
        switch (first) {
            case '+':
                return OperatorCode::kAdd;
            case '-':
                return OperatorCode::kSub;
            case '*':
                return OperatorCode::kMul;
            case '/':
                return OperatorCode::kDiv;
            case '%':
                return OperatorCode::kMod;
            case '&':
                return OperatorCode::kAnd;
            case '|':
                return OperatorCode::kOr;
            case '^':
                return OperatorCode::kXor;
            case '>':
                return OperatorCode::kGt;
            case '<':
                return OperatorCode::kLt;
            case '=':
                return OperatorCode::kAssign;
            case '?':
                return OperatorCode::kSelect;
            default:
                return OperatorCode::kUnknown;
        }
    }
    if (text[2] != 0) return OperatorCode::kUnknown;
    switch (first) {
        case '<':
            return second == '<'   ? OperatorCode::kShl
                   : second == '=' ? OperatorCode::kLe
                                   : OperatorCode::kUnknown;
        case '>':
            return second == '>'   ? OperatorCode::kShr
                   : second == '=' ? OperatorCode::kGe
                                   : OperatorCode::kUnknown;
        case '=':
            return second == '=' ? OperatorCode::kEq : OperatorCode::kUnknown;
        case '!':
            return second == '=' ? OperatorCode::kNe : OperatorCode::kUnknown;
        case '&':
            return second == '&' ? OperatorCode::kLogAnd : OperatorCode::kUnknown;
        case '|':
            return second == '|' ? OperatorCode::kLogOr : OperatorCode::kUnknown;
        default:
            return OperatorCode::kUnknown;
    }
}
