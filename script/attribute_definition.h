// AttributeDefinition: the attribute block of a struct (with an integrated
// type) or of a member: a Program of its own kind whose items are procedures
// and keyword lines, and nine slots that the decoder reads.
#pragma once

#include <cstdint>

#include "script/program.h"

class DeclareMap;
class EnumItemList;
class StructDefinition;
class TypeSpecifier;
class VariableDefinition;

enum AttributeSlot : int {
    kSlotTypeOf = 0,      // StructDefinition*
    kSlotDumpOr = 1,      // EnumItemList*, matched by bits
    kSlotDumpEqual = 2,   // EnumItemList*, matched by equality
    kSlotContentOf = 3,   // StructDefinition*
    kSlotTranslate = 4,   // Procedure*
    kSlotIntegrate = 5,   // Procedure*
    kSlotDump = 6,        // Procedure*
    kSlotIntegrated = 7,  // TypeSpecifier*, owned
    kSlotChoiceMap = 8,   // DeclareMap*
    kAttributeSlots = 9,
};

class AttributeDefinition : public Program {
public:
    explicit AttributeDefinition(Program* parent) : Program(parent) {}
    // Deletes the integrated type specifier (slot 7).
    ~AttributeDefinition() override;
    // The attribute keyword lines (TypeOF, DumpOF, ChoiceMap, ContentOF).
    int ItemHook(CompileContext& context, ScriptLexer& lexer) override;

    // The struct or the member the block belongs to; a member's block also
    // knows the struct that holds the member (what "This" names there).
    StructDefinition* ownerStruct = nullptr;
    VariableDefinition* ownerMember = nullptr;
    void* slots[kAttributeSlots] = {};
};
