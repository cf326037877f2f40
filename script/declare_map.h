// DeclareMap: a table that selects a struct (or basic type) by a tag, for
// Choice members (item kind 5). Tested by script/definition_compiler_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "script/program_item.h"

class VariableDefinition;

class DeclareMap : public NamedObject, public ProgramItem {
  public:
    DeclareMap() = default;
    // Deletes the items.
    ~DeclareMap() override;
    int32_t ItemKind() const override { return kItemDeclareMap; }

    int ItemCount() const { return items.GetSize(); }
    VariableDefinition* ItemAt(int i) const { return items.GetAt(i); }
    // The item of that tag, or null.
    VariableDefinition* FindTag(int32_t tag) const;
    // Takes item over; its mapTag is its tag.
    bool AddItem(VariableDefinition* item);

    bool implicit = false;  // ImplicitItem

  private:
    ObArrayOf<VariableDefinition> items{25};  // owned; tag: the item's tag
};
