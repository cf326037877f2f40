// The definitions that describe a message's layout: the type specifier,
// struct definitions with their members and attribute blocks, the
// attribute keyword lines, and DeclareMap tables.
// Tested by script/definition_compiler_test.cpp.
#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/compile_context.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "script/struct_item.h"
#include "script/type_specifier.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"
#include "values/value_type.h"

NamedObject* TypeSpecifierHandler(const GramArgs& args) {
    CompileContext* context = CompileContext::Of(args);
    if (context == nullptr) return nullptr;
    ScriptLexer* lexer = &args.lexer;
    CompileError* error = &args.error;
    SourcePos start = lexer->GetLocation();
    Token token;
    if (lexer->GetToken(token, 0, false) != 1 ||
        (token.id != kTokIdent && token.id != kTokKeyword)) {
        error->Set(start, scriptmsg::kTypeExpected);
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
        error->SetF(token.pos, scriptmsg::kUnexpected, word);
        delete spec;
        lexer->setLocation(start);
        return nullptr;
    }
    return spec;
}

namespace {

// Whether the next token (comments skipped) is text; with take it is
// consumed, otherwise the lexer is left where it was.
bool NextIs(ScriptLexer& lexer, const char* text, bool take, Token& token) {
    SourcePos start = lexer.GetLocation();
    bool found = lexer.ExpectText(token, text, true);
    if (found && !take) lexer.setLocation(start);
    return found;
}

// High byte first only when NETWORK_TRANMODE, as visible from program, is
// exactly the text H_TO_L.
bool HighByteFirst(const Program& program) {
    CVariableItem* value = program.FindNamedValue("NETWORK_TRANMODE");
    if (value == nullptr || value->GetType() != kTypeOctet) return false;
    OTSTR text;
    return value->getAt(0, text) && strcmp(text.GetBuffer(0), "H_TO_L") == 0;
}

// A basic type that holds one plain value: not PVOID, VOID, Choice,
// dynamic or a struct.
bool IsSimpleCode(int32_t declared) {
    return declared >= 0 && declared != kDeclPvoid && declared != kDeclStruct &&
           declared != kDeclChoice && BaseCodeOf(declared) >= 0;
}

bool IsSimple(const TypeSpecifier& type) {
    return IsSimpleCode(type.type);
}

const char* TypeText(const TypeSpecifier& type) {
    return type.GetName().GetBuffer(0);
}

std::unique_ptr<TypeSpecifier> CopySpecifier(const TypeSpecifier& from) {
    std::unique_ptr<TypeSpecifier> copy(new (std::nothrow) TypeSpecifier);
    if (copy == nullptr) return nullptr;
    copy->SetName(from.GetName().GetBuffer(0));
    copy->type = from.type;
    copy->structDef = from.structDef;
    return copy;
}

const TypeSpecifier* IntegratedType(const StructDefinition* def) {
    auto* item = dynamic_cast<const StructItem*>(def);
    if (item == nullptr || item->attributes == nullptr) return nullptr;
    return item->attributes->slots.integrated.get();
}

// An integer value of a parsed expression, evaluated with the named values
// visible from program.
bool EvaluateInteger(Program& program, const ParsedExpression* exp, int32_t& out) {
    if (exp == nullptr || exp->tree == nullptr) return false;
    ExprEvaluator evaluator;
    program.NamedValues().BindEvaluator(evaluator);
    CVarient value;
    if (!evaluator.EvaluateValue(exp->tree.get(), value) || !IsIntegerType(value.GetType()))
        return false;
    out = value.getLong();
    return true;
}

// A decimal number token of at least 1.
bool DecimalAtLeastOne(const Token& token, int32_t& out) {
    const char* text = token.text.GetBuffer(0);
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != 0 || value < 1 || value > INT32_MAX) return false;
    out = static_cast<int32_t>(value);
    return true;
}

// A procedure defined in block itself (its parents are not searched).
Procedure* OwnProcedure(const Program& block, const char* name) {
    for (int i = 0; i < block.ItemCount(); ++i) {
        ProgramItem* item = block.ItemAt(i);
        if (item->ItemKind() != kItemProcedure) continue;
        auto* procedure = static_cast<Procedure*>(item);
        if (procedure->name.Compare(name, false)) return procedure;
    }
    return nullptr;
}

// A return type that yields a string value.
bool ReturnsString(const Procedure& procedure) {
    return procedure.returnType >= 0 && procedure.returnType != kDeclStruct &&
           BaseCodeOf(procedure.returnType) == kTypeOctet;
}

// A value of member's type can be converted to one of the integrated type:
// numbers to numbers, strings to strings.
bool Convertible(const VariableDefinition& member, const TypeSpecifier& integrated) {
    int32_t from = member.baseType;
    int32_t to = integrated.BaseType();
    if (IsNumericType(from) && IsNumericType(to)) return true;
    return from == kTypeOctet && to == kTypeOctet;
}

StructItem* PendingStruct(Program& program, const char* name, bool take) {
    for (int i = 0; i < program.pendingStructs.GetSize(); ++i) {
        StructItem* item = program.pendingStructs.GetAt(i);
        if (!item->GetName().Compare(name, false)) continue;
        if (take) program.pendingStructs.RemoveAt(i);
        return item;
    }
    return nullptr;
}

// A new attribute block of program for a struct with an integrated type,
// holding a copy of type in its slot 7.
AttributeDefinition* NewStructBlock(Program& program, StructItem& owner,
                                    const TypeSpecifier& type) {
    auto* block = new (std::nothrow) AttributeDefinition(&program);
    if (block == nullptr) return nullptr;
    block->slots.integrated = CopySpecifier(type);
    if (block->slots.integrated == nullptr) {
        delete block;
        return nullptr;
    }
    block->ownerStruct = &owner;
    return block;
}

bool SameIntegratedType(const StructItem& item, const TypeSpecifier& type) {
    const TypeSpecifier* integrated = IntegratedType(&item);
    return integrated != nullptr && integrated->type == type.type;
}

StepResult ForwardDeclaration(CompileContext& context, ScriptLexer& lexer, int32_t line,
                              const char* name, const TypeSpecifier* type) {
    Program& program = *context.current;
    if (ProgramItem* found = program.FindItem(kItemStruct, name)) {
        auto* item = static_cast<StructItem*>(found);
        if (type != nullptr && !SameIntegratedType(*item, *type)) {
            context.Fail(lexer, scriptmsg::kIntegratedConflict);
            return StepResult::kFailed;
        }
        program.AddItem(item, line, false);
        return StepResult::kDone;
    }
    if (program.IsNameUsed(name, false)) {
        context.Fail(lexer, scriptmsg::kNameUsed, name);
        return StepResult::kFailed;
    }
    auto* item = new (std::nothrow) StructItem;
    if (item == nullptr) {
        context.Fail(lexer, scriptmsg::kNewPendingStructFail);
        return StepResult::kFailed;
    }
    item->SetName(name);
    item->id = NextSerial();
    item->pending = true;
    item->line = line;
    if (type != nullptr) {
        if (!IsSimple(*type)) {
            delete item;
            context.Fail(lexer, scriptmsg::kNotSimpleForStruct, TypeText(*type));
            return StepResult::kFailed;
        }
        item->attributes.reset(NewStructBlock(program, *item, *type));
        if (item->attributes == nullptr) {
            delete item;
            context.Fail(lexer, scriptmsg::kNewAttributeFail);
            return StepResult::kFailed;
        }
    }
    int before = program.pendingStructs.GetSize();
    if (program.pendingStructs.Add(item) == before) {
        delete item;
        context.Fail(lexer, scriptmsg::kNewPendingStructFail);
        return StepResult::kFailed;
    }
    if (!program.AddItem(item, line, false)) {
        program.pendingStructs.RemoveLast();
        delete item;
        context.Fail(lexer, scriptmsg::kNewPendingStructFail);
        return StepResult::kFailed;
    }
    return StepResult::kDone;
}

// One member of a struct body, up to and including its ';'.
// names: the folded names of owner's members so far.
bool CompileMember(CompileContext& context, ScriptLexer& lexer, StructItem& owner,
                   std::unordered_set<std::string>& names) {
    Program& program = *context.current;
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.Match(lexer, matcher, GrammarSet::kStructMember)) return false;
    int32_t rule = matcher.GetRuleId();
    char choiceName[16];
    const char* name = choiceName;
    int32_t declared = kDeclChoice;
    const TypeSpecifier* type = nullptr;
    if (rule == kMemberChoice) {
        snprintf(choiceName, sizeof choiceName, "$%d", owner.GetMemberCount());
    } else {
        type = matcher.ObjectAt<TypeSpecifier>(0);
        name = matcher.TokenAt(1)->text.GetBuffer(0);
        declared = type->type;
    }
    int32_t line = rule == kMemberChoice ? lexer.GetLocation().line : matcher.TokenAt(1)->pos.line;
    int32_t count = 1;
    if (rule == kMemberArray &&
        (!EvaluateInteger(program, matcher.ObjectAt<ParsedExpression>(2), count) || count < 1)) {
        context.Fail(lexer, scriptmsg::kArraySizeFail);
        return false;
    }
    int32_t bits = -1;
    if (rule == kMemberBits) {
        if (!IsIntegerType(type->BaseType())) {
            context.Fail(lexer, scriptmsg::kBitsNotSupported);
            return false;
        }
        if (!DecimalAtLeastOne(*matcher.TokenAt(2), bits)) {
            context.Fail(lexer, scriptmsg::kBitLengthFail);
            return false;
        }
    }
    if (strcasecmp(name, "this") == 0) {
        context.Fail(lexer, scriptmsg::kThisReserved);
        return false;
    }
    if (names.count(FoldedName(name)) != 0) {
        context.Fail(lexer, scriptmsg::kMemberDefined);
        return false;
    }
    if (declared == kDeclDynamic) {
        context.Fail(lexer, scriptmsg::kNotInStruct, "dynamic");
        return false;
    }
    if (declared == kDeclChoice && rule == kMemberArray) {
        context.Fail(lexer, scriptmsg::kChoiceArray);
        return false;
    }
    auto* member = new (std::nothrow) VariableDefinition;
    int32_t base = type != nullptr ? type->BaseType() : kDeclChoice;
    if (member == nullptr || !member->set(name, base, count)) {
        delete member;
        context.Fail(lexer, scriptmsg::kNewVariableFail);
        return false;
    }
    member->id = NextSerial();
    member->memberLine = line;
    if (declared == kDeclStruct) {
        member->structDef = type->structDef;
        member->setTypeName(type->structDef->GetName().GetBuffer(0), declared);
    } else if (declared == kDeclChoice) {
        member->setTypeName("Choice", declared);
    } else {
        member->setTypeName(TypeText(*type), declared);
    }
    if (bits > 0) member->setBitCount(bits);
    if (!owner.AddMember(member)) {
        delete member;
        context.Fail(lexer, scriptmsg::kNewVariableFail);
        return false;
    }
    names.insert(FoldedName(name));
    matcher.ClearResult(true);
    type = nullptr;  // the matcher's objects are gone

    Token token;
    if (NextIs(lexer, "{", false, token)) {
        if (declared == kDeclStruct) {
            context.Fail(lexer, scriptmsg::kStructMemberBlock);
            return false;
        }
        auto* block = new (std::nothrow) AttributeDefinition(&program);
        if (block == nullptr) {
            context.Fail(lexer, scriptmsg::kNewAttributeFail);
            return false;
        }
        block->ownerMember = member;
        // "This" in a member's block is the struct that holds the member.
        block->ownerStruct = &owner;
        member->attributes = block;  // deleted with the struct
        Program* outer = context.current;
        bool ok = context.CompileItems(*block, lexer);
        context.current = outer;
        if (!ok) return false;
        OTSTR message;
        if (!CompleteAttributes(*block, message)) {
            context.Fail(lexer, scriptmsg::kCompleteFail, message.GetBuffer(0));
            return false;
        }
    } else if (declared == kDeclChoice) {
        // A Choice member is decoded only through its block's ChoiceMap and
        // Translate(), so a named one needs the block as well.
        context.Fail(lexer, scriptmsg::kChoiceNeedsBlock);
        return false;
    }
    if (!lexer.ExpectText(token, ";", true)) {
        context.Fail(lexer, scriptmsg::kSemicolonExpected);
        return false;
    }
    OTSTR comment;
    if (TakeLineComment(lexer, token.pos.line, comment))
        member->SetDescription(comment.GetBuffer(0));
    return true;
}

}  // namespace

StepResult StructStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    int32_t line = lexer.GetLocation().line;
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.Match(lexer, matcher, GrammarSet::kStruct)) return StepResult::kFailed;
    int32_t rule = matcher.GetRuleId();
    OTSTR name = matcher.TokenAt(0)->text;
    const char* nameText = name.GetBuffer(0);
    const TypeSpecifier* type = nullptr;
    if (rule == kStructForwardTyped || rule == kStructTyped)
        type = matcher.ObjectAt<TypeSpecifier>(1);
    if (rule == kStructForwardTyped || rule == kStructForward)
        return ForwardDeclaration(context, lexer, line, nameText, type);

    StructItem* item = PendingStruct(program, nameText, true);
    bool wasPending = item != nullptr;
    // A failed definition of a pending struct goes back to the pending list,
    // which owns it: the ordered list and other structs' members still refer
    // to it.
    auto fail = [&]() {
        if (wasPending) {
            program.pendingStructs.Add(item);
        } else {
            delete item;
        }
        return StepResult::kFailed;
    };
    if (wasPending) {
        if (type != nullptr && !SameIntegratedType(*item, *type)) {
            context.Fail(lexer, scriptmsg::kIntegratedConflict);
            return fail();
        }
    } else {
        if (program.IsNameUsed(nameText, false)) {
            context.Fail(lexer, scriptmsg::kNameUsed, nameText);
            return StepResult::kFailed;
        }
        item = new (std::nothrow) StructItem;
        if (item == nullptr) {
            context.Fail(lexer, scriptmsg::kNewStructFail);
            return StepResult::kFailed;
        }
        item->SetName(nameText);
        item->id = NextSerial();
        if (type != nullptr) {
            if (!IsSimple(*type)) {
                context.Fail(lexer, scriptmsg::kNotSimpleForStruct, TypeText(*type));
                return fail();
            }
            item->attributes.reset(NewStructBlock(program, *item, *type));
            if (item->attributes == nullptr) {
                context.Fail(lexer, scriptmsg::kNewAttributeFail);
                return fail();
            }
            OTSTR message;
            if (!CompleteAttributes(*item->attributes, message)) {
                context.Fail(lexer, scriptmsg::kCompleteFail, message.GetBuffer(0));
                return fail();
            }
        }
    }
    matcher.ClearResult(true);
    type = nullptr;
    item->line = line;

    OTSTR comment;
    if (TakeLineComment(lexer, line, comment)) item->SetDescription(comment.GetBuffer(0));
    item->lowByteFirst = !HighByteFirst(program);
    Token token;
    if (!lexer.ExpectText(token, "{", true)) {
        context.Fail(lexer, scriptmsg::kBraceAfterStruct);
        return fail();
    }
    if (TakeLineComment(lexer, token.pos.line, comment)) item->SetDescription(comment.GetBuffer(0));
    std::unordered_set<std::string> memberNames;
    for (int m = 0; m < item->GetMemberCount(); ++m)
        memberNames.insert(FoldedName(item->GetMember(m)->GetName().GetBuffer(0)));
    while (!lexer.ExpectText(token, "}", true)) {
        if (!CompileMember(context, lexer, *item, memberNames)) return fail();
    }
    if (!lexer.ExpectText(token, ";", true)) {
        context.Fail(lexer, scriptmsg::kSemicolonExpected);
        return fail();
    }
    if (TakeLineComment(lexer, token.pos.line, comment)) item->SetDescription(comment.GetBuffer(0));
    if (!program.AddItem(item, line, true)) {
        context.Fail(lexer, scriptmsg::kNewStructFail);
        return fail();
    }
    item->pending = false;
    return StepResult::kDone;
}

StepResult DeclareMapStep(CompileContext& context, ScriptLexer& lexer) {
    Program& program = *context.current;
    int32_t line = lexer.GetLocation().line;
    GramMatcher matcher(&context, GrammarHandlers());
    if (!context.Match(lexer, matcher, GrammarSet::kMapHeader)) return StepResult::kFailed;
    auto* map = new (std::nothrow) DeclareMap;
    if (map == nullptr) {
        context.Fail(lexer, scriptmsg::kNewMapFail);
        return StepResult::kFailed;
    }
    auto fail = [&]() {
        delete map;
        return StepResult::kFailed;
    };
    map->implicit = matcher.GetRuleId() == kMapImplicit;
    map->SetName(matcher.TokenAt(0)->text.GetBuffer(0));
    map->line = line;
    OTSTR comment;
    if (TakeLineComment(lexer, line, comment)) map->SetDescription(comment.GetBuffer(0));
    Token token;
    if (!lexer.ExpectText(token, "{", true)) {
        context.Fail(lexer, scriptmsg::kBraceAfterMap);
        return fail();
    }
    if (TakeLineComment(lexer, token.pos.line, comment)) map->SetDescription(comment.GetBuffer(0));
    while (!lexer.ExpectText(token, "}", true)) {
        if (!context.Match(lexer, matcher, GrammarSet::kMapItem)) return fail();
        int32_t itemLine = lexer.GetLocation().line;
        const char* name = matcher.TokenAt(0)->text.GetBuffer(0);
        const auto* type = matcher.ObjectAt<TypeSpecifier>(2);
        int32_t tag = 0;
        if (!EvaluateInteger(program, matcher.ObjectAt<ParsedExpression>(1), tag)) {
            context.Fail(lexer, scriptmsg::kTagFail);
            return fail();
        }
        const TypeSpecifier* itemType = type;
        if (matcher.GetRuleId() == kMapItemTypeOf) {
            if (!type->IsStruct() || type->structDef == nullptr) {
                context.Fail(lexer, scriptmsg::kMapTypeOfNotStruct, TypeText(*type));
                return fail();
            }
            itemType = IntegratedType(type->structDef);
            if (itemType == nullptr) {
                context.Fail(lexer, scriptmsg::kMapNotIntegrated,
                             type->structDef->GetName().GetBuffer(0));
                return fail();
            }
        } else if (!IsSimple(*type) && !(type->IsStruct() && type->structDef != nullptr)) {
            context.Fail(lexer, scriptmsg::kMapTypeNotAllowed, TypeText(*type));
            return fail();
        }
        if (map->FindTag(tag) != nullptr) {
            context.Fail(lexer, scriptmsg::kTagUsed);
            return fail();
        }
        auto* item = new (std::nothrow) VariableDefinition;
        if (item == nullptr || !item->set(name, itemType->BaseType(), 1)) {
            delete item;
            context.Fail(lexer, scriptmsg::kNewMapItemFail);
            return fail();
        }
        item->id = NextSerial();
        item->structDef = type->structDef;  // the struct, also for TypeOF items
        if (itemType->IsStruct()) {
            item->setTypeName(itemType->structDef->GetName().GetBuffer(0), kDeclStruct);
        } else {
            item->setTypeName(TypeText(*itemType), itemType->type);
        }
        item->lowByteFirst = !HighByteFirst(program);
        item->mapTag = tag;
        if (!map->AddItem(item)) {
            delete item;
            context.Fail(lexer, scriptmsg::kNewMapItemFail);
            return fail();
        }
        matcher.ClearResult(true);
        // Items may end in ';'.
        NextIs(lexer, ";", true, token);
        if (TakeLineComment(lexer, itemLine, comment)) item->SetDescription(comment.GetBuffer(0));
    }
    if (!lexer.ExpectText(token, ";", true)) {
        context.Fail(lexer, scriptmsg::kSemicolonExpected);
        return fail();
    }
    if (!program.AddItem(map, line, true)) {
        context.Fail(lexer, scriptmsg::kNewMapFail);
        return fail();
    }
    return StepResult::kDone;
}

namespace {

// The keyword of an attribute line, as messages name it.
const char* KeywordOf(int32_t rule) {
    switch (rule) {
        case kAttrTypeOf:
            return "TypeOF";
        case kAttrDumpOr:
        case kAttrDumpEqual:
            return "DumpOF";
        case kAttrChoiceMap:
            return "ChoiceMap";
        default:
            return "ContentOF";
    }
}

// The slots of one attribute keyword line, filled in a member's block.
bool ApplyKeyword(CompileContext& context, ScriptLexer& lexer, AttributeDefinition& block,
                  int32_t rule, const char* name) {
    const char* keyword = KeywordOf(rule);
    VariableDefinition* member = block.ownerMember;
    if (member == nullptr) {
        context.FailFinal(lexer, scriptmsg::kKeywordInStructBlock, keyword);
        return false;
    }
    switch (rule) {
        case kAttrTypeOf:
        case kAttrContentOf: {
            if (rule == kAttrTypeOf && !IsSimpleCode(member->declaredType)) {
                context.FailFinal(lexer, scriptmsg::kTypeOfSimpleOnly);
                return false;
            }
            if (rule == kAttrContentOf && member->declaredType != kDeclMemo) {
                context.FailFinal(lexer, scriptmsg::kMemoOnly, keyword);
                return false;
            }
            StructDefinition* def = block.FindStruct(name);
            if (def == nullptr) {
                context.FailFinal(lexer, scriptmsg::kStructNotFound, name);
                return false;
            }
            (rule == kAttrTypeOf ? block.slots.typeOf : block.slots.contentOf) = def;
            return true;
        }
        case kAttrDumpOr:
        case kAttrDumpEqual: {
            if (!IsNumericType(member->baseType)) {
                context.FailFinal(lexer, scriptmsg::kDumpOfNumberOnly);
                return false;
            }
            EnumItemList* list = block.FindEnum(name);
            if (list == nullptr) {
                context.FailFinal(lexer, scriptmsg::kEnumNotFound, name);
                return false;
            }
            (rule == kAttrDumpOr ? block.slots.dumpOr : block.slots.dumpEqual) = list;
            return true;
        }
        case kAttrChoiceMap: {
            if (member->baseType != kDeclChoice) {
                context.FailFinal(lexer, scriptmsg::kChoiceOnly, keyword);
                return false;
            }
            DeclareMap* map = block.FindDeclareMap(name);
            if (map == nullptr) {
                context.FailFinal(lexer, scriptmsg::kMapNotFound, name);
                return false;
            }
            block.slots.choiceMap = map;
            return true;
        }
        default:
            return false;
    }
}

bool CompleteMemberBlock(AttributeDefinition& block, OTSTR& message) {
    const VariableDefinition& member = *block.ownerMember;
    AttributeSlots& slots = block.slots;
    Procedure* translate = OwnProcedure(block, "Translate");
    slots.translate = translate;
    StructDefinition* typeOf = slots.typeOf;
    bool needsTranslate = member.declaredType == kDeclOctet || member.declaredType == kDeclDouble;
    if (needsTranslate && typeOf == nullptr && translate == nullptr) {
        message = scriptmsg::kMissingTranslate;
        return false;
    }
    if (member.baseType == kDeclChoice) {
        if (translate == nullptr) {
            message = scriptmsg::kMissingTranslate;
            return false;
        }
        if (slots.choiceMap == nullptr) {
            message.safeAppends(scriptmsg::kMissingKeyword, "ChoiceMap");
            return false;
        }
    }
    if (member.IsBitField() && translate != nullptr) {
        message.safeAppends(scriptmsg::kNoProcedureForBits, "Translate");
        return false;
    }
    if (typeOf != nullptr) {
        if (translate != nullptr) {
            message.safeAppends(scriptmsg::kTypeOfExcludes, typeOf->GetName().GetBuffer(0),
                                "Translate");
            return false;
        }
        const TypeSpecifier* integrated = IntegratedType(typeOf);
        if (integrated == nullptr) {
            message = scriptmsg::kNoIntegratedType;
            return false;
        }
        if (!Convertible(member, *integrated)) {
            message.safeAppends(scriptmsg::kIncompatible, "TypeOF");
            return false;
        }
    }
    Procedure* dump = OwnProcedure(block, "Dump");
    slots.dump = nullptr;
    if (dump != nullptr) {
        if (!ReturnsString(*dump)) {
            message.safeAppends(scriptmsg::kReturnString, "Dump");
            return false;
        }
        if (!IsSimpleCode(member.declaredType) && member.declaredType != kDeclPvoid) {
            message.safeAppends(scriptmsg::kBasicTypeOnly, "Dump");
            return false;
        }
        slots.dump = dump;
    }
    int dumps = (slots.dumpOr != nullptr) + (slots.dumpEqual != nullptr) + (dump != nullptr);
    if (dumps > 1) {
        message.safeAppends(scriptmsg::kOneDump, "DumpOF", "Dump");
        return false;
    }
    return true;
}

bool CompleteStructBlock(AttributeDefinition& block, OTSTR& message) {
    AttributeSlots& slots = block.slots;
    const TypeSpecifier* integrated = slots.integrated.get();
    if (integrated == nullptr) return true;
    Procedure* integrate = OwnProcedure(block, "Integrate");
    slots.integrate = nullptr;
    if (integrate != nullptr) {
        if (integrate->returnType != integrated->type) {
            message.safeAppends(scriptmsg::kIntegrateType, "Integrate");
            return false;
        }
        slots.integrate = integrate;
    }
    Procedure* dump = OwnProcedure(block, "Dump");
    slots.dump = nullptr;
    if (dump != nullptr) {
        if (!ReturnsString(*dump)) {
            message.safeAppends(scriptmsg::kReturnString, "Dump");
            return false;
        }
        if (!integrated->IsBasic()) {
            message.safeAppends(scriptmsg::kIntegratedBasicOnly, "Dump");
            return false;
        }
        slots.dump = dump;
    }
    return true;
}

}  // namespace

StepResult AttributeKeywordStep(CompileContext& context, ScriptLexer& lexer) {
    auto* block = dynamic_cast<AttributeDefinition*>(context.current);
    GrammarRuleSet* set = FindGrammar(GrammarSet::kAttributeKeyword);
    if (block == nullptr || set == nullptr) return StepResult::kNotClaimed;
    SourcePos start = lexer.GetLocation();
    GramMatcher matcher(&context, GrammarHandlers());
    if (!matcher.GramMatching(lexer, *set)) {
        // Procedures, variables and statements are the item loop's; only a
        // keyword line that went wrong past its keyword is worth reporting.
        lexer.setLocation(start);
        if (matcher.GetError().pos.offset > start.offset)
            context.error.Set(matcher.GetError().pos, matcher.GetError().message.GetBuffer(0));
        return StepResult::kNotClaimed;
    }
    int32_t rule = matcher.GetRuleId();
    if (rule < kAttrTypeOf || rule > kAttrContentOf) return StepResult::kNotClaimed;
    const char* name = matcher.TokenAt(0)->text.GetBuffer(0);
    return ApplyKeyword(context, lexer, *block, rule, name) ? StepResult::kDone
                                                            : StepResult::kFailed;
}

bool CompleteAttributes(AttributeDefinition& block, OTSTR& message) {
    message.Empty();
    if (block.ownerMember != nullptr) return CompleteMemberBlock(block, message);
    if (block.ownerStruct != nullptr) return CompleteStructBlock(block, message);
    return true;
}
