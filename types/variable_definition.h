// VariableDefinition: the definition record of a struct member, a variable
// or a procedure parameter. Tested by types/type_definitions_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/otstr.h"
#include "types/type_codes.h"

class AttributeDefinition;
class StructDefinition;

class VariableDefinition : public NamedObject {
  public:
    VariableDefinition() = default;
    ~VariableDefinition() override = default;
    VariableDefinition(const VariableDefinition&) = delete;
    VariableDefinition& operator=(const VariableDefinition&) = delete;

    virtual int32_t GetKind() const { return kKindVariable; }

    // Fails unless type is a creatable code and count >= 0; base and
    // declared code both become type, the type name is cleared.
    bool set(const char* name, int32_t type, int32_t count);
    void setTypeName(const char* text, int32_t declaredCode);
    // Bit fields exist only on integer base types.
    bool setBitCount(int32_t n);
    bool setBitHigh(int32_t n);
    void setBitGroupEnd(bool on) { bitGroupEnd = on; }
    bool IsBitField() const { return bitCount != -1; }

    // Copies the fields from name down to bitGroupEnd; without texts, all
    // but the name, the description and the type name.
    void copyFrom(const VariableDefinition& other, bool texts = true);
    void reset();
    // "&name[4]:07_3" (long form) or "&name[4]:3"; "[]" for a choice of
    // fewer than two elements.
    OTSTR GetDisplayName(bool longForm = true) const;

    int32_t baseType = -1;
    int32_t count = 0;
    int32_t declaredType = -1;
    OTSTR typeName;
    int32_t bitCount = -1;
    int32_t bitHigh = 0;
    bool bitGroupEnd = false;
    uint16_t id = 0;
    bool lowByteFirst = true;
    AttributeDefinition* attributes = nullptr;  // not owned
    StructDefinition* structDef = nullptr;      // not owned
    bool byAddress = false;
    int32_t mapTag = -1;
    // Where a struct member is declared in its file (counted from 0); -1 for
    // other definitions.
    int32_t memberLine = -1;
};

// Bits of an integer base type's storage unit (8, 16 or 32), 0 otherwise.
inline int32_t UnitBits(int32_t baseType) {
    switch (baseType) {
        case kDeclInt1:
        case kDeclUInt1:
            return 8;
        case kDeclInt2:
        case kDeclUInt2:
            return 16;
        case kDeclInt4:
        case kDeclUInt4:
            return 32;
        default:
            return 0;
    }
}
