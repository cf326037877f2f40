// StructDefinition: struct types and their bit-field layout.
// Tested by types/type_definitions_test.cpp.
#include "types/struct_definition.h"

#include "types/variable_definition.h"

namespace {
StructDefinition::AttributeSearch g_attributeSearch = nullptr;
}

StructDefinition::~StructDefinition() {
    for (int i = 0; i < members.GetSize(); ++i) delete GetMember(i);
}

void StructDefinition::SetAttributeSearch(AttributeSearch search) {
    g_attributeSearch = search;
}

bool StructDefinition::AddMember(VariableDefinition* member) {
    if (member == nullptr) return false;
    member->lowByteFirst = lowByteFirst;
    int before = members.GetSize();
    return members.Add(member) != before;
}

VariableDefinition* StructDefinition::FindMember(const char* memberName) const {
    for (int i = 0; i < members.GetSize(); ++i) {
        VariableDefinition* member = GetMember(i);
        if (member->GetName().Compare(memberName, false)) return member;
    }
    return nullptr;
}

VariableDefinition* StructDefinition::FindById(uint16_t wanted) const {
    for (int i = 0; i < members.GetSize(); ++i) {
        if (GetMember(i)->id == wanted) return GetMember(i);
    }
    if (g_attributeSearch == nullptr) return nullptr;
    for (int i = 0; i < members.GetSize(); ++i) {
        const VariableDefinition* member = GetMember(i);
        if (member->attributes == nullptr) continue;
        if (VariableDefinition* found = g_attributeSearch(member->attributes, wanted)) return found;
    }
    return nullptr;
}

bool StructDefinition::CheckBits(const char** message) {
    int32_t unitType = -1;
    int32_t remaining = 0;
    for (int i = 0; i < members.GetSize(); ++i) {
        VariableDefinition* member = GetMember(i);
        if (unitType < 0) {
            if (UnitBits(member->baseType) == 0 || !member->IsBitField()) continue;
            unitType = member->baseType;
            remaining = UnitBits(unitType) - member->bitCount;
            member->bitHigh = UnitBits(unitType) - 1;
        } else {
            if (member->baseType != unitType || !member->IsBitField()) {
                if (message) *message = "Bits definition not complete";
                return false;
            }
            member->bitHigh = remaining - 1;
            remaining -= member->bitCount;
        }
        member->bitGroupEnd = false;
        if (remaining == 0) {
            member->bitGroupEnd = true;
            unitType = -1;
        } else if (remaining < 0) {
            if (message) *message = "Bits definition overflow";
            return false;
        }
    }
    if (remaining != 0) {
        if (message) *message = "Bits definition error";
        return false;
    }
    return true;
}
