// VarientBase and CVarient: one script value (an integer of a declared
// width, a double or a byte string) with its literal parsing, text form and
// the operators of the script language. Exported to plug-ins.
// Tested by values/cvarient_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/otstr.h"
#include "values/operator_code.h"
#include "values/value_type.h"

class VarientBase : public NamedObject {
  public:
    VarientBase() = default;
    ~VarientBase() override = default;

    // Fails unless type is one of the nine value types and count >= 0.
    bool setBase(const char* name, int32_t type, int32_t count);
    // Copies name, description, type and count.
    void copyBase(const VarientBase& other);
    // Name and description empty, type -1, count 0.
    void resetBase();

    int32_t GetType() const { return type; }
    int32_t GetCount() const { return count; }

  protected:
    int32_t type = kTypeNone;
    int32_t count = 0;
};

class CVarient : public VarientBase {
  public:
    // The longest text or octet string an operator makes, far above any
    // message.
    static constexpr int32_t kMaxValueBytes = 16 * 1024 * 1024;

    CVarient();
    ~CVarient() override;
    // Copies are full clones.
    CVarient(const CVarient& other);
    CVarient& operator=(const CVarient& other);

    // Frees data; value 0, no value, writable, type -1; without keepName the
    // base (name, description) is reset too.
    void clear(bool keepName = true);

    // Setters clear first (keeping the name) and fail, changing nothing,
    // while the value is not writable.
    bool set(OTSTR& text);
    bool setBytes(const char* bytes, int32_t length = -1);
    bool setInteger(uint32_t value, int32_t valueType);
    // clear(false), then setInteger: a call's integer result, in one step.
    bool ClearToInteger(uint32_t word, int32_t valueType) {
        // Where there is no block or text to let go, clear only resets.
        if (data != nullptr || !name.IsEmpty() || !description.IsEmpty()) {
            clear(false);
        } else {
            ResetValue();
        }
        return TakeInteger(word, valueType);
    }
    bool setDouble(double value);
    // Takes source's value (not its name); fails for a source without one.
    bool assign(const CVarient& source);
    // Full copy: name, description, value, data, hasValue, writable and the
    // identifier mark.
    bool clone(const CVarient& source);
    // Parses a literal: a quoted string (by the quote characters given), a
    // decimal INT4, a hexadecimal UINT4 or a DOUBLE.
    bool sets(const char* text, const char* quotes = "'\"");

    bool getBytes(const char** bytes, int32_t* length) const;
    bool getString(OTSTR& out) const;
    bool getDouble(double& out) const;
    bool getUInt32(uint32_t& out) const;
    bool getUInt16(uint16_t& out) const;
    bool getUInt8(uint8_t& out) const;
    // The same conversions returning the number itself, 0 on failure.
    double getDouble() const;
    uint32_t getUInt32() const;
    uint16_t getUInt16() const;
    uint8_t getUInt8() const;
    // The value as a 32-bit long: the stored word read as signed, a double
    // truncated toward zero.
    int32_t getLong() const { return static_cast<int32_t>(getUInt32()); }

    // "-" without a value; otherwise the format (or the type's default)
    // applied to the value. False, out empty, when the format cannot take the
    // value (see FormatValueText).
    bool getText(OTSTR& out, const char* format = nullptr) const;

    // Binary operator; the result is stored in this object, which may also be
    // an operand. Like the setters, fails while this value is not writable.
    bool Operate(const CVarient& lhs, const char* op, const CVarient& rhs,
                 bool caseSensitive = true);
    // The same for an operator read before: code is OperatorCodeOf(op), op
    // its text for the messages.
    bool Operate(const CVarient& lhs, OperatorCode code, const char* op, const CVarient& rhs,
                 bool caseSensitive = true);
    // Unary operator; the result is stored in this object.
    bool Operate(const char* op, const CVarient& operand);
    // What the two Operates set for integer operands, as a word and a type;
    // false where they fail (an operator that does not apply, a zero
    // divisor), which they also trace.
    static bool OperateWords(uint32_t left, int32_t leftType, const char* op, uint32_t right,
                             int32_t rightType, uint32_t& out, int32_t& outType);
    static bool OperateWords(uint32_t left, int32_t leftType, OperatorCode code, uint32_t right,
                             int32_t rightType, uint32_t& out, int32_t& outType);
    static bool OperateWord(const char* op, uint32_t word, int32_t type, uint32_t& out,
                            int32_t& outType);
    // The type in which a binary operator combines operands of types a and
    // b: the type itself where they agree, INT4 or UINT4 for two integers,
    // DOUBLE for two numbers; kTypeNone where they do not combine.
    static int32_t PromotedType(int32_t a, int32_t b);

    bool HasValue() const { return hasValue; }
    bool IsWritable() const { return writable; }
    void SetWritable(bool on) { writable = on; }

    // The expression evaluator's identifier reference: an OCTET holding an
    // access-path text, marked as naming a variable rather than being a
    // value. Any setter or clear removes the mark; clone copies it.
    bool setIdentRef(const char* path);
    bool IsIdentRef() const { return identRef; }

  private:
    // What clear sets once the block is gone: no value, writable.
    void ResetValue() {
        value = 0;
        hasValue = false;
        writable = true;
        identRef = false;
        type = kTypeNone;
        count = 0;
    }
    // The rest of setInteger once the value is cleared: false, storing
    // nothing, for a type that is not an integer type.
    bool TakeInteger(uint32_t word, int32_t valueType) {
        if (!IsIntegerType(valueType)) return false;
        value = word;
        type = valueType;
        count = 1;
        hasValue = true;
        return true;
    }

  public:
    uint32_t value = 0;       // integer word; byte length for OCTET; 8 for DOUBLE
    uint8_t* data = nullptr;  // OCTET: bytes plus a zero byte; DOUBLE: the double
    bool hasValue = false;
    bool writable = true;
    bool identRef = false;
};
