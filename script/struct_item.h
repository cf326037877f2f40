// StructItem: a struct definition as a Program item (kind 3), pending until
// its body is compiled, with the attribute block of a struct that has an
// integrated type. Tested by script/definition_compiler_test.cpp.
#pragma once

#include <memory>

#include "script/program_item.h"
#include "types/struct_definition.h"

class AttributeDefinition;

class StructItem : public ProgramItem, public StructDefinition {
  public:
    StructItem() = default;
    // Deletes the attribute blocks of the struct and of its members.
    ~StructItem() override;
    int32_t ItemKind() const override { return kItemStruct; }
    // Completes the attribute block again (with an integrated type) and lays
    // the bit fields out; message receives what failed.
    bool Check(Program& owner, OTSTR& message) override;

    std::unique_ptr<AttributeDefinition> attributes;  // with an integrated type
    bool pending = false;
};
