// TypeSpecifier: a type as a script writes it: a basic type, Choice,
// dynamic, or a struct (or typedef) name. The $Type_specifier handler makes
// one.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "types/type_codes.h"

class StructDefinition;

class TypeSpecifier : public NamedObject {
  public:
    // The declared code (Part of the basic type table), 128 for a struct,
    // 129 for Choice, -2 for dynamic, -1 for VOID.
    int32_t type = kDeclVoid;
    StructDefinition* structDef = nullptr;  // for 128; not owned

    // The storage code of the type.
    int32_t BaseType() const {
        return type == kDeclStruct || type == kDeclChoice || type == kDeclDynamic
                   ? type
                   : BaseCodeOf(type);
    }
    bool IsStruct() const { return type == kDeclStruct; }
    // A basic type of the lookup table (not Choice, dynamic or a struct).
    bool IsBasic() const { return type >= 0 && type != kDeclStruct && type != kDeclChoice; }
};
