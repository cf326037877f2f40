// The rule sets of the script language and their registration with the
// grammar matcher. Tested by script/compiler_test.cpp.
#include "script/grammar.h"

#include "pattern/grammar_rule_set.h"
#include "script/attribute_definition.h"
#include "script/compiler.h"
#include "types/struct_definition.h"

namespace {

// The set names, which the handlers receive, in GrammarSet order.
const char* const kSetNames[] = {"struct",
                                 "struct's var",
                                 "statement",
                                 "var",
                                 "proc var",
                                 "proc header",
                                 "enum item",
                                 "DeclareMap item",
                                 "DeclareMap header",
                                 "attribute keyword"};
constexpr int kSetCount = sizeof kSetNames / sizeof kSetNames[0];
static_assert(kSetCount == static_cast<int>(GrammarSet::kAttributeKeyword) + 1,
              "a name for every rule set");

struct RuleText {
    GrammarSet set;
    int32_t id;
    const char* text;
};

// In their order of registration, which is the order in which the matcher
// tries them. The texts are what users see in messages ("... expected").
const RuleText kRules[] = {
    {GrammarSet::kStruct, kStructForwardTyped, "struct $Ident = $Type_specifier ;"},
    {GrammarSet::kStruct, kStructForward, "struct $Ident ;"},
    {GrammarSet::kStruct, kStructTyped, "struct $Ident = $Type_specifier"},
    {GrammarSet::kStruct, kStructPlain, "struct $Ident"},
    {GrammarSet::kStructMember, kMemberArray, "$Type_specifier $Ident [ $Exp ]"},
    {GrammarSet::kStructMember, kMemberBits, "$Type_specifier $Ident : $Number "},
    {GrammarSet::kStructMember, kMemberSimple, "$Type_specifier $Ident"},
    {GrammarSet::kStructMember, kMemberChoice, "Choice"},
    {GrammarSet::kStatement, kStmtBlock, "$Program"},
    {GrammarSet::kStatement, kStmtExpr, "$statement_Expr ;"},
    {GrammarSet::kStatement, kStmtEmpty, ";"},
    {GrammarSet::kStatement, kStmtIfElse, "if ( $Exp ) $Statement else $Statement"},
    {GrammarSet::kStatement, kStmtIf, "if ( $Exp ) $Statement"},
    {GrammarSet::kStatement, kStmtReturnValue, "return $Exp ;"},
    {GrammarSet::kStatement, kStmtReturn, "return ;"},
    {GrammarSet::kStatement, kStmtBreak, "break ;"},
    {GrammarSet::kStatement, kStmtContinue, "continue ;"},
    {GrammarSet::kStatement, kStmtWhile, "while ( $Exp ) $Statement"},
    {GrammarSet::kStatement, kStmtFor, "for ( $Exp ;  $Exp ; $Exp ) $Statement"},
    {GrammarSet::kVar, kVarArrayInit, "$Ident [ $Exp ] = $InitializerExp"},
    {GrammarSet::kVar, kVarArray, "$Ident [ $Exp ]"},
    {GrammarSet::kVar, kVarInit, "$Ident = $InitializerExp"},
    {GrammarSet::kVar, kVarPlain, "$Ident"},
    {GrammarSet::kProcVar, kParamArrayByAddress, "$Type_specifier & $Ident [ $Exp ]"},
    {GrammarSet::kProcVar, kParamArray, "$Type_specifier   $Ident [ $Exp ]"},
    {GrammarSet::kProcVar, kParamByAddress, "$Type_specifier & $Ident"},
    {GrammarSet::kProcVar, kParamPlain, "$Type_specifier   $Ident"},
    {GrammarSet::kProcVar, kParamVarArgs, ". . ."},
    {GrammarSet::kProcHeader, kProcHeader, "$Type_specifier $Ident"},
    {GrammarSet::kEnumItem, kEnumNamedMore, "$Ident = $Exp ,"},
    {GrammarSet::kEnumItem, kEnumNamedLast, "$Ident = $Exp"},
    {GrammarSet::kEnumItem, kEnumDefine, "# define $Ident $Exp"},
    {GrammarSet::kEnumItem, kEnumValueMore, "$Exp ,"},
    {GrammarSet::kEnumItem, kEnumValueLast, "$Exp"},
    {GrammarSet::kMapItem, kMapItemTypeOf, "$Ident [ $Exp ] TypeOF $Type_specifier"},
    {GrammarSet::kMapItem, kMapItemType, "$Ident [ $Exp ] $Type_specifier"},
    {GrammarSet::kMapHeader, kMapExplicit, "DeclareMap ( Item         , $Ident )"},
    {GrammarSet::kMapHeader, kMapImplicit, "DeclareMap ( ImplicitItem , $Ident )"},
    {GrammarSet::kAttributeKeyword, kAttrTypeOf, "TypeOF $Ident"},
    {GrammarSet::kAttributeKeyword, kAttrDumpOr, "DumpOF $Ident ( Or )"},
    {GrammarSet::kAttributeKeyword, kAttrDumpEqual, "DumpOF $Ident ( Equal )"},
    {GrammarSet::kAttributeKeyword, kAttrChoiceMap, "ChoiceMap $Ident"},
    {GrammarSet::kAttributeKeyword, kAttrContentOf, "ContentOF $Ident"},
};

GrammarRuleSet g_sets[kSetCount];
bool g_registered = false;

VariableDefinition* SearchBlock(const AttributeDefinition* block, uint16_t id) {
    return block != nullptr ? block->FindVariableById(id) : nullptr;
}

}  // namespace

bool RegisterGrammar() {
    if (g_registered) return true;
    bool ok = true;
    for (int s = 0; s < kSetCount; ++s) {
        g_sets[s].ClearRules();
        g_sets[s].SetName(kSetNames[s]);
    }
    for (const RuleText& rule : kRules) {
        ok = g_sets[static_cast<int>(rule.set)].AddRule(rule.id, rule.text) && ok;
    }
    // Struct definitions find the variables of their members' blocks
    // through the compiler.
    StructDefinition::SetAttributeSearch(SearchBlock);
    g_registered = ok;
    return ok;
}

GrammarRuleSet* FindGrammar(GrammarSet set) {
    if (!g_registered && !RegisterGrammar()) return nullptr;
    return &g_sets[static_cast<int>(set)];
}
