// DeclareMap: the items of a map, found by their tags.
// Tested by script/definition_compiler_test.cpp.
#include "script/declare_map.h"

#include "types/variable_definition.h"

DeclareMap::~DeclareMap() {
    items.DeleteAll();
}

VariableDefinition* DeclareMap::FindTag(int32_t tag) const {
    for (int i = 0; i < items.GetSize(); ++i) {
        if (ItemAt(i)->mapTag == tag) return ItemAt(i);
    }
    return nullptr;
}

bool DeclareMap::AddItem(VariableDefinition* item) {
    if (item == nullptr) return false;
    int before = items.GetSize();
    return items.Add(item, static_cast<uint32_t>(item->mapTag)) != before;
}
