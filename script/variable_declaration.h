// VariableDeclaration: a variable declared in a Program (item kind 4): its
// definition, initialiser text and serial number.
#pragma once

#include <cstdint>
#include <memory>

#include "base/otstr.h"
#include "script/program_item.h"
#include "types/variable_definition.h"

class ExprNode;

class VariableDeclaration : public VariableDefinition, public ProgramItem {
  public:
    VariableDeclaration();
    ~VariableDeclaration() override;
    int32_t ItemKind() const override { return kItemVariable; }

    // The initialiser's value parsed at its first use, for a single
    // variable whose initialiser is one value; null otherwise (the text is
    // then read at every run).
    ExprNode* InitializerTree();

    OTSTR initializer;  // empty: none

  private:
    bool initializerBound = false;
    std::unique_ptr<ExprNode> initializerTree;
};
