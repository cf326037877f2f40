// VarientBase and CVarient: setters and readers, literal parsing, text forms
// and the operators of the script language, all with 32-bit word semantics.
// Tested by values/cvarient_test.cpp.
#include "values/cvarient.h"

#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/block_cache.h"
#include "values/format_values.h"
#include "values/operator_code.h"
#include "values/varient_messages.h"
#include "values/word_operators.h"

namespace {

// The word extended from the type's width: sign extension for INT1 and INT2,
// zero extension for UINT1 and UINT2.
uint32_t ExtendWord(uint32_t word, int32_t type) {
    switch (type) {
        case kTypeInt1:
            word &= 0xffu;
            return (word & 0x80u) != 0 ? word | 0xffffff00u : word;
        case kTypeInt2:
            word &= 0xffffu;
            return (word & 0x8000u) != 0 ? word | 0xffff0000u : word;
        case kTypeUInt1:
            return word & 0xffu;
        case kTypeUInt2:
            return word & 0xffffu;
        default:
            return word;
    }
}

bool IsBlank(unsigned char c) {
    return c < 33 || c == 127;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The type of a binary operation's result, or -1 when the operands do not
// combine.
int32_t Promote(int32_t a, int32_t b) {
    if (a == b) return a;
    if (IsIntegerType(a) && IsIntegerType(b)) {
        return (IsSignedType(a) || IsSignedType(b)) ? kTypeInt4 : kTypeUInt4;
    }
    if (IsNumericType(a) && IsNumericType(b)) return kTypeDouble;
    return kTypeNone;
}

// IntegerOp for two integer operands whose promoted type is resultType, with
// the type of the result: INT4 when signed, else UINT4.
OpResult IntegerOperate(OperatorCode op, int32_t resultType, uint32_t left, uint32_t right,
                        uint32_t& out, int32_t& outType) {
    bool isSigned = IsSignedType(resultType);
    outType = isSigned ? kTypeInt4 : kTypeUInt4;
    return IntegerOp(op, isSigned, left, right, out);
}

// The string "==": true when left starts with right (compared over right's
// length, ending early at a zero byte common to both).
bool StringStartsWith(const OTSTR& left, const OTSTR& right, bool caseSensitive) {
    int n = right.GetLength();
    if (left.GetLength() < n) return false;
    const char* l = left.GetBuffer();
    const char* r = right.GetBuffer();
    for (int i = 0; i < n; ++i) {
        char a = caseSensitive ? l[i] : Fold(l[i]);
        char b = caseSensitive ? r[i] : Fold(r[i]);
        if (a != b) return false;
        if (a == 0) break;
    }
    return true;
}

}  // namespace

// ---- VarientBase ----

bool VarientBase::setBase(const char* newName, int32_t newType, int32_t newCount) {
    if (!IsValidValueType(newType) || newCount < 0) return false;
    name = newName != nullptr ? newName : "";
    type = newType;
    count = newCount;
    return true;
}

void VarientBase::copyBase(const VarientBase& other) {
    if (&other == this) return;
    name = other.name;
    description = other.description;
    type = other.type;
    count = other.count;
}

void VarientBase::resetBase() {
    name.Empty();
    description.Empty();
    type = kTypeNone;
    count = 0;
}

// ---- CVarient ----

namespace {

// The data block of a text or double: one of at most kSmallData bytes (most
// texts a translation makes) comes from and goes back to a per-thread cache
// of such blocks. All are plain heap blocks.
constexpr size_t kSmallData = 64;
using SmallData = BlockCache<kSmallData, 256>;

uint8_t* NewData(size_t size) {
    return static_cast<uint8_t*>(size > kSmallData ? malloc(size) : SmallData::Allocate());
}

void FreeData(uint8_t* block) {
    SmallData::Release(block);
}

// Whether block (null, or a heap block as every data block is) holds n
// bytes and is not much larger: a value that is set again keeps its block
// where it can, but not a large one for a short text.
bool Holds(const uint8_t* block, size_t n) {
    if (block == nullptr) return false;
    size_t usable = malloc_usable_size(const_cast<uint8_t*>(block));
    return usable >= n && (usable <= 2 * kSmallData || usable / 2 <= n);
}

}  // namespace

CVarient::CVarient() = default;

CVarient::~CVarient() {
    FreeData(data);
}

CVarient::CVarient(const CVarient& other) : VarientBase() {
    clone(other);
}

CVarient& CVarient::operator=(const CVarient& other) {
    if (&other != this) clone(other);
    return *this;
}

void CVarient::clear(bool keepName) {
    FreeData(data);
    data = nullptr;
    ResetValue();
    if (!keepName) resetBase();
}

bool CVarient::set(OTSTR& text) {
    return setBytes(text.GetBuffer(), text.GetLength());
}

bool CVarient::setBytes(const char* bytes, int32_t length) {
    if (!writable) return false;
    if (length < -1 || (bytes == nullptr && length != 0)) {
        clear(true);
        return false;
    }
    size_t n = length == -1 ? strlen(bytes) : static_cast<size_t>(length);
    if (n > static_cast<size_t>(INT32_MAX) - 1) {
        clear(true);
        return false;
    }
    if (Holds(data, n + 1)) {
        // bytes may lie in this value's own block.
        if (n > 0) memmove(data, bytes, n);
        data[n] = 0;
        value = static_cast<uint32_t>(n);
        hasValue = true;
        writable = true;
        identRef = false;
        type = kTypeOctet;
        count = 1;
        return true;
    }
    // The copy is made before clearing, since bytes may lie in this value.
    uint8_t* block = NewData(n + 1);
    if (block == nullptr) {
        clear(true);
        TraceLine("%s", varmsg::kMallocFail);
        return false;
    }
    if (n > 0) memcpy(block, bytes, n);
    block[n] = 0;
    clear(true);
    data = block;
    value = static_cast<uint32_t>(n);
    type = kTypeOctet;
    count = 1;
    hasValue = true;
    return true;
}

bool CVarient::setInteger(uint32_t word, int32_t valueType) {
    if (!writable) return false;
    clear(true);
    return TakeInteger(word, valueType);
}

bool CVarient::setDouble(double number) {
    if (!writable) return false;
    clear(true);
    data = NewData(sizeof number);
    if (data == nullptr) {
        TraceLine("%s", varmsg::kMallocFail);
        return false;
    }
    memcpy(data, &number, sizeof number);
    value = sizeof number;
    type = kTypeDouble;
    count = 1;
    hasValue = true;
    return true;
}

bool CVarient::assign(const CVarient& source) {
    if (!writable) return false;
    if (&source == this) {
        CVarient copy(source);
        return assign(copy);
    }
    switch (source.type) {
        case kTypeOctet:
            if (source.data == nullptr) break;
            return setBytes(reinterpret_cast<const char*>(source.data),
                            static_cast<int32_t>(source.value));
        case kTypeDouble:
            if (source.data == nullptr) break;
            return setDouble(source.getDouble());
        default:
            return setInteger(source.value, source.type);
    }
    clear(true);
    return false;
}

bool CVarient::clone(const CVarient& source) {
    if (!writable) return false;
    if (&source == this) return true;
    uint8_t* block = nullptr;
    if (source.data != nullptr) {
        size_t n =
            source.type == kTypeOctet ? static_cast<size_t>(source.value) + 1 : sizeof(double);
        if (Holds(data, n)) {
            memmove(data, source.data, n);
            copyBase(source);
            value = source.value;
            hasValue = source.hasValue;
            writable = source.writable;
            identRef = source.identRef;
            return true;
        }
        block = NewData(n);
        if (block == nullptr) {
            clear(true);
            TraceLine("%s", varmsg::kCloneMallocFail);
            return false;
        }
        memcpy(block, source.data, n);
    }
    clear(true);
    copyBase(source);
    data = block;
    value = source.value;
    hasValue = source.hasValue;
    writable = source.writable;
    identRef = source.identRef;
    return true;
}

bool CVarient::setIdentRef(const char* path) {
    if (!setBytes(path, -1)) return false;
    identRef = true;
    return true;
}

bool CVarient::sets(const char* text, const char* quotes) {
    if (!writable) return false;
    clear(true);
    if (text == nullptr) return false;

    OTSTR trimmed;
    trimmed.AssignTrimmed(text, -1, true);
    const char* s = trimmed.GetBuffer();
    int length = trimmed.GetLength();
    for (const char* q = quotes; q != nullptr && *q != 0; ++q) {
        // A lone quote character is not a quoted text.
        if (length >= 2 && s[0] == *q && s[length - 1] == *q) return setBytes(s + 1, length - 2);
    }

    int first = 0;
    int end = length;
    while (first < end && IsBlank(static_cast<unsigned char>(s[first]))) ++first;
    while (end > first && IsBlank(static_cast<unsigned char>(s[end - 1]))) --end;
    OTSTR number(s + first, end - first);
    const char* p = number.GetBuffer();

    enum { kInvalid, kDecimal, kHex, kDouble } kind = kInvalid;
    int i = 0;
    if (p[i] == '+' || p[i] == '-') ++i;
    if (IsDigit(p[i])) {
        if (p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X')) {
            kind = kHex;
            for (i += 2; p[i] != 0; ++i) {
                if (!IsHexDigit(p[i])) kind = kInvalid;
            }
        } else {
            int points = 0;
            kind = kDecimal;
            for (; p[i] != 0; ++i) {
                if (p[i] == '.') {
                    ++points;
                } else if (!IsDigit(p[i])) {
                    kind = kInvalid;
                }
            }
            if (points == 1 && kind != kInvalid) kind = kDouble;
            if (points > 1) kind = kInvalid;
        }
    }

    bool ok = false;
    switch (kind) {
        case kDecimal: {
            int32_t n = 0;
            ok = number.ToLong(n, 10) && setInteger(static_cast<uint32_t>(n), kTypeInt4);
            break;
        }
        case kHex: {
            uint32_t n = 0;
            ok = number.ToULong(n, 16) && setInteger(n, kTypeUInt4);
            break;
        }
        case kDouble: {
            double d = 0.0;
            ok = number.ToDouble(d) && setDouble(d);
            break;
        }
        case kInvalid:
            break;
    }
    if (!ok) {
        clear(true);
        TraceLine(varmsg::kSetsInvalid, text);
    }
    return ok;
}

bool CVarient::getBytes(const char** bytes, int32_t* length) const {
    bool ok = type == kTypeOctet && data != nullptr;
    if (bytes != nullptr) *bytes = ok ? reinterpret_cast<const char*>(data) : nullptr;
    if (length != nullptr) *length = ok ? static_cast<int32_t>(value) : 0;
    return ok;
}

bool CVarient::getString(OTSTR& out) const {
    out.Empty();
    if (type != kTypeOctet || data == nullptr) return false;
    if (value == 0) return true;
    return out.Assign(reinterpret_cast<const char*>(data), static_cast<int>(value)) != nullptr;
}

bool CVarient::getDouble(double& out) const {
    if (type == kTypeDouble && data != nullptr) {
        memcpy(&out, data, sizeof out);
        return true;
    }
    if (IsIntegerType(type)) {
        out = static_cast<double>(value);
        return true;
    }
    out = 0.0;
    return false;
}

bool CVarient::getUInt32(uint32_t& out) const {
    if (IsIntegerType(type)) {
        out = value;
        return true;
    }
    if (type == kTypeDouble && data != nullptr) {
        double d = 0.0;
        memcpy(&d, data, sizeof d);
        out = TruncateDoubleToWord(d);
        return true;
    }
    out = 0;
    return false;
}

bool CVarient::getUInt16(uint16_t& out) const {
    uint32_t word = 0;
    bool ok = getUInt32(word);
    out = static_cast<uint16_t>(word & 0xffffu);
    return ok;
}

bool CVarient::getUInt8(uint8_t& out) const {
    uint32_t word = 0;
    bool ok = getUInt32(word);
    out = static_cast<uint8_t>(word & 0xffu);
    return ok;
}

double CVarient::getDouble() const {
    double d = 0.0;
    getDouble(d);
    return d;
}

uint32_t CVarient::getUInt32() const {
    uint32_t n = 0;
    getUInt32(n);
    return n;
}

uint16_t CVarient::getUInt16() const {
    uint16_t n = 0;
    getUInt16(n);
    return n;
}

uint8_t CVarient::getUInt8() const {
    uint8_t n = 0;
    getUInt8(n);
    return n;
}

bool CVarient::getText(OTSTR& out, const char* format) const {
    if (!hasValue) {
        out = "-";
        return true;
    }
    FormatArg arg;
    arg.type = type;
    if (IsIntegerType(type)) {
        arg.word = ExtendWord(value, type);
    } else if (type == kTypeDouble) {
        arg.number = getDouble();
    } else if (type == kTypeOctet) {
        arg.bytes = reinterpret_cast<const char*>(data);
        arg.length = data != nullptr ? static_cast<int32_t>(value) : 0;
    } else {
        out.Empty();
        return false;
    }
    return FormatValueText(out, format, arg);
}

bool CVarient::Operate(const CVarient& lhs, const char* op, const CVarient& rhs,
                       bool caseSensitive) {
    return Operate(lhs, OperatorCodeOf(op), op, rhs, caseSensitive);
}

bool CVarient::Operate(const CVarient& lhs, OperatorCode code, const char* op, const CVarient& rhs,
                       bool caseSensitive) {
    if (!writable) return false;
    if (&lhs == this || &rhs == this) {
        // The result would overwrite an operand: work on copies.
        CVarient left(lhs);
        CVarient right(rhs);
        return Operate(left, code, op, right, caseSensitive);
    }
    clear(true);
    if (op == nullptr) op = "";

    int32_t resultType = Promote(lhs.type, rhs.type);
    bool divideByZero = false;
    if (resultType == kTypeNone) {
        if (lhs.type == kTypeNone && rhs.type == kTypeNone && code == OperatorCode::kEq) {
            return setInteger(1, kTypeInt4);
        }
    } else if (IsIntegerType(resultType)) {
        uint32_t out = 0;
        int32_t outType = kTypeNone;
        OpResult result = IntegerOperate(code, resultType, lhs.value, rhs.value, out, outType);
        if (result == OpResult::kDone) return setInteger(out, outType);
        divideByZero = result == OpResult::kDivideByZero;
    } else if (resultType == kTypeDouble) {
        double l = 0.0;
        double r = 0.0;
        bool readable = lhs.getDouble(l) && rhs.getDouble(r);
        if (!readable) {
            // reported below
        } else if (code == OperatorCode::kAdd) {
            return setDouble(l + r);
        } else if (code == OperatorCode::kSub) {
            return setDouble(l - r);
        } else if (code == OperatorCode::kMul) {
            return setDouble(l * r);
        } else if (code == OperatorCode::kDiv) {
            if (!(std::fabs(r) < 1e-06)) return setDouble(l / r);
            divideByZero = true;
        } else if (code == OperatorCode::kEq) {
            return setInteger(std::fabs(l - r) < 1e-06 ? 1 : 0, kTypeInt4);
        } else if (code == OperatorCode::kLe) {
            return setInteger(l <= r, kTypeInt4);
        } else if (code == OperatorCode::kGe) {
            return setInteger(l >= r, kTypeInt4);
        } else if (code == OperatorCode::kGt) {
            return setInteger(l > r, kTypeInt4);
        } else if (code == OperatorCode::kLt) {
            return setInteger(l < r, kTypeInt4);
        }
    } else if (resultType == kTypeOctet) {
        OTSTR l;
        OTSTR r;
        bool readable = lhs.getString(l) && rhs.getString(r);
        if (!readable) {
            // reported below
        } else if (code == OperatorCode::kAdd) {
            // A text far longer than any message ends the operation before
            // it is copied: a loop that doubles a text fails, not the memory.
            if (static_cast<int64_t>(l.GetLength()) + r.GetLength() > kMaxValueBytes) {
                TraceLine(varmsg::kValueTooLong,
                          static_cast<long long>(l.GetLength()) + r.GetLength(),
                          static_cast<int>(kMaxValueBytes >> 20));
                clear(true);
                return false;
            }
            OTSTR joined = l + r;
            return setBytes(joined.GetBuffer(), joined.GetLength());
        } else if (code == OperatorCode::kEq || code == OperatorCode::kNe) {
            bool equal = StringStartsWith(l, r, caseSensitive);
            return setInteger(equal == (code == OperatorCode::kEq), kTypeInt4);
        }
    }

    // No result: an operator that does not apply, an operand that cannot be
    // read, or a zero divisor.
    OTSTR left;
    OTSTR right;
    lhs.getText(left);
    rhs.getText(right);
    TraceLine(divideByZero ? varmsg::kOperateDivideByZero : varmsg::kOperateFail, left.GetBuffer(),
              op, right.GetBuffer());
    clear(true);
    return false;
}

bool CVarient::OperateWords(uint32_t left, int32_t leftType, const char* op, uint32_t right,
                            int32_t rightType, uint32_t& out, int32_t& outType) {
    return OperateWords(left, leftType, OperatorCodeOf(op), right, rightType, out, outType);
}

bool CVarient::OperateWords(uint32_t left, int32_t leftType, OperatorCode code, uint32_t right,
                            int32_t rightType, uint32_t& out, int32_t& outType) {
    int32_t resultType = Promote(leftType, rightType);
    return IsIntegerType(resultType) &&
           IntegerOperate(code, resultType, left, right, out, outType) == OpResult::kDone;
}

int32_t CVarient::PromotedType(int32_t a, int32_t b) {
    return Promote(a, b);
}

bool CVarient::OperateWord(const char* op, uint32_t word, int32_t type, uint32_t& out,
                           int32_t& outType) {
    if (!IsIntegerType(type) || op == nullptr || op[0] == 0 || op[1] != 0) return false;
    switch (op[0]) {
        case '~':
            out = ~word;
            outType = type;
            return true;
        case '+':
            out = word;
            outType = type;
            return true;
        case '-':
            out = 0u - word;
            outType = kTypeInt4;
            return true;
        case '!':
            out = word == 0 ? 1 : 0;
            outType = kTypeInt4;
            return true;
        default:
            return false;
    }
}

bool CVarient::Operate(const char* op, const CVarient& operand) {
    if (!writable) return false;
    if (&operand == this) {
        CVarient copy(operand);
        return Operate(op, copy);
    }
    clear(true);
    if (op == nullptr) op = "";
    uint32_t out = 0;
    int32_t outType = kTypeNone;
    if (OperateWord(op, operand.value, operand.type, out, outType)) return setInteger(out, outType);
    if (operand.type == kTypeDouble && operand.data != nullptr) {
        if (strcmp(op, "+") == 0) return setDouble(operand.getDouble());
        if (strcmp(op, "-") == 0) return setDouble(-operand.getDouble());
    }
    OTSTR text;
    operand.getText(text);
    TraceLine(varmsg::kUnaryOperateFail, op, text.GetBuffer());
    return false;
}
