// VariableDefinition: members, variables and parameters.
// Tested by types/type_definitions_test.cpp.
#include "types/variable_definition.h"

#include "values/value_type.h"

bool VariableDefinition::set(const char* newName, int32_t type, int32_t newCount) {
    if (!IsCreatableCode(type) || newCount < 0) return false;
    name = newName ? newName : "";
    baseType = declaredType = type;
    count = newCount;
    typeName.Empty();
    return true;
}

void VariableDefinition::setTypeName(const char* text, int32_t declaredCode) {
    typeName = text ? text : "";
    declaredType = declaredCode;
}

bool VariableDefinition::setBitCount(int32_t n) {
    if (!IsIntegerType(baseType) || n < 1) return false;
    bitCount = n;
    return true;
}

bool VariableDefinition::setBitHigh(int32_t n) {
    if (!IsIntegerType(baseType) || n < 0) return false;
    bitHigh = n;
    return true;
}

void VariableDefinition::copyFrom(const VariableDefinition& other, bool texts) {
    if (texts) {
        name = other.name;
        description = other.description;
        typeName = other.typeName;
    }
    baseType = other.baseType;
    count = other.count;
    declaredType = other.declaredType;
    bitCount = other.bitCount;
    bitHigh = other.bitHigh;
    bitGroupEnd = other.bitGroupEnd;
}

void VariableDefinition::reset() {
    name.Empty();
    description.Empty();
    baseType = declaredType = -1;
    count = 0;
    typeName.Empty();
    bitCount = -1;
    bitHigh = 0;
    bitGroupEnd = false;
}

OTSTR VariableDefinition::GetDisplayName(bool longForm) const {
    OTSTR text;
    text.Assign("", 0);
    if (byAddress) text.AppendChar('&');
    text.Append(name);
    if (count >= 2) {
        text.safeAppends("[%d]", static_cast<int>(count));
    } else if (baseType == kDeclChoice) {
        text.Append("[]");
    }
    if (IsBitField()) {
        if (longForm) {
            text.safeAppends(":%02d_%d", static_cast<int>(bitHigh), static_cast<int>(bitCount));
        } else {
            text.safeAppends(":%d", static_cast<int>(bitCount));
        }
    }
    return text;
}
