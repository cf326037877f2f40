// StructDefinition: a struct type with its members in declaration order and
// the check of its bit fields. Tested by types/type_definitions_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "types/type_codes.h"

class AttributeDefinition;
class VariableDefinition;

class StructDefinition : public NamedObject {
  public:
    StructDefinition() = default;
    // Destroys the members.
    ~StructDefinition() override;
    StructDefinition(const StructDefinition&) = delete;
    StructDefinition& operator=(const StructDefinition&) = delete;

    virtual int32_t GetKind() const { return kKindStruct; }

    int GetMemberCount() const { return members.GetSize(); }
    // Inline, and marked used so that the library still exports it for
    // plug-ins built when it was not inline.
    __attribute__((used)) VariableDefinition* GetMember(int index) const {
        return static_cast<VariableDefinition*>(members.GetAt(index));
    }
    // Takes the member over, giving it the struct's byte order.
    bool AddMember(VariableDefinition* member);
    // Letter case ignored.
    VariableDefinition* FindMember(const char* name) const;
    // A member with the id, else a variable with the id declared in the
    // attribute block of a member; the blocks are searched through the hook,
    // which the compiler installs when it registers its grammar.
    VariableDefinition* FindById(uint16_t id) const;
    using AttributeSearch = VariableDefinition* (*)(const AttributeDefinition* block, uint16_t id);
    static void SetAttributeSearch(AttributeSearch search);

    // Lays the bit fields out in their storage units, most significant bit
    // first. On failure message holds "Bits definition not complete",
    // "Bits definition overflow" or "Bits definition error".
    bool CheckBits(const char** message);

    uint16_t id = 0;
    bool lowByteFirst = true;

  private:
    ObArray members{25};  // owned VariableDefinition
};
