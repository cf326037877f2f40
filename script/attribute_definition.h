// AttributeDefinition: the attribute block of a struct (with an integrated
// type) or of a member: a Program of its own kind whose items are procedures
// and keyword lines, and the slots that the decoder reads.
// Tested by script/definition_compiler_test.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "script/program.h"
#include "script/type_specifier.h"
#include "types/variable_definition.h"

class DeclareMap;
class EnumItemList;
class Procedure;
class StructDefinition;

// What a block records, in the order of the slots 0 to 8 of the script
// language. Only the integrated type is owned; the rest belong to the
// script.
struct AttributeSlots {
    StructDefinition* typeOf = nullptr;         // TypeOF
    EnumItemList* dumpOr = nullptr;             // DumpOF ... ( Or ): matched by bits
    EnumItemList* dumpEqual = nullptr;          // DumpOF ... ( Equal ): matched by equality
    StructDefinition* contentOf = nullptr;      // ContentOF
    Procedure* translate = nullptr;             // the block's Translate()
    Procedure* integrate = nullptr;             // the block's Integrate()
    Procedure* dump = nullptr;                  // the block's Dump()
    std::unique_ptr<TypeSpecifier> integrated;  // of the owning struct
    DeclareMap* choiceMap = nullptr;            // ChoiceMap
};

class AttributeDefinition : public Program {
  public:
    explicit AttributeDefinition(Program* parent) : Program(parent) {}
    // The attribute keyword lines (TypeOF, DumpOF, ChoiceMap, ContentOF).
    StepResult ItemHook(CompileContext& context, ScriptLexer& lexer) override;
    // A variable declared in the block itself with that serial number, or
    // null. StructDefinition::FindById searches the members' blocks with it.
    VariableDefinition* FindVariableById(uint16_t id) const;

    // The struct or the member the block belongs to; a member's block also
    // knows the struct that holds the member (what "This" names there).
    StructDefinition* ownerStruct = nullptr;
    VariableDefinition* ownerMember = nullptr;
    AttributeSlots slots;
};

// The slots of the attribute block of def; null when it has none.
inline const AttributeSlots* SlotsOf(const VariableDefinition* def) {
    return def != nullptr && def->attributes != nullptr ? &def->attributes->slots : nullptr;
}
