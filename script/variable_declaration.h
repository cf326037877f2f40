// VariableDeclaration: a variable declared in a Program (item kind 4): its
// definition, initialiser text and serial number.
#pragma once

#include <cstdint>

#include "base/otstr.h"
#include "script/program_item.h"
#include "types/variable_definition.h"

class VariableDeclaration : public VariableDefinition, public ProgramItem {
  public:
    int32_t ItemKind() const override { return kItemVariable; }

    OTSTR initializer;  // empty: none
};
