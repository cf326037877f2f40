// The smaller items of a compiled Program: named values (#define), enums,
// typedefs, and the parsed expression that the expression handlers return.
#pragma once

#include <cstdint>
#include <memory>

#include "base/named_object.h"
#include "base/otstr.h"
#include "script/program_item.h"
#include "types/enum_item_list.h"
#include "values/expr_node.h"

class CVariableItem;
class StructDefinition;

// A #define: the value lives in the Program's frame of named values.
class NamedValueItem : public NamedObject, public ProgramItem {
  public:
    int32_t ItemKind() const override { return kItemNamedValue; }
    CVariableItem* value = nullptr;  // not owned
};

class EnumItem : public EnumItemList, public ProgramItem {
  public:
    int32_t ItemKind() const override { return kItemEnum; }
};

// typedef StructType NewName;
class TypedefItem : public NamedObject, public ProgramItem {
  public:
    int32_t ItemKind() const override { return kItemTypedef; }
    StructDefinition* def = nullptr;  // not owned
};

// The result of the expression handlers: the parsed tree and its text as
// written.
class ParsedExpression : public NamedObject {
  public:
    std::unique_ptr<ExprNode> tree;
    OTSTR text;
};
