// The grammar of the script language: its rule sets, the numbered
// alternatives of each (which the matcher reports and the compiler switches
// on), and their registration with the grammar matcher.
// Tested by script/compiler_test.cpp.
#pragma once

#include <cstdint>

class GrammarRuleSet;

// The registered rule sets.
enum class GrammarSet {
    kStruct,            // "struct"
    kStructMember,      // "struct's var"
    kStatement,         // "statement"
    kVar,               // "var"
    kProcVar,           // "proc var"
    kProcHeader,        // "proc header"
    kEnumItem,          // "enum item"
    kMapItem,           // "DeclareMap item"
    kMapHeader,         // "DeclareMap header"
    kAttributeKeyword,  // "attribute keyword"
};

// The alternatives of each set, by the number it is registered under.

enum StructRule : int32_t {
    kStructForwardTyped = 20,  // struct $Ident = $Type_specifier ;
    kStructForward = 21,       // struct $Ident ;
    kStructTyped = 22,         // struct $Ident = $Type_specifier   (the body follows)
    kStructPlain = 23,         // struct $Ident                     (the body follows)
};

enum MemberRule : int32_t {
    kMemberSimple = 20,  // $Type_specifier $Ident
    kMemberArray = 21,   // $Type_specifier $Ident [ $Exp ]
    kMemberBits = 22,    // $Type_specifier $Ident : $Number
    kMemberChoice = 23,  // Choice
};

enum StatementRule : int32_t {
    kStmtBlock = 20,        // $Program
    kStmtExpr = 21,         // $statement_Expr ;
    kStmtEmpty = 22,        // ;
    kStmtIfElse = 23,       // if ( $Exp ) $Statement else $Statement
    kStmtIf = 24,           // if ( $Exp ) $Statement
    kStmtReturnValue = 25,  // return $Exp ;
    kStmtReturn = 26,       // return ;
    kStmtBreak = 27,        // break ;
    kStmtContinue = 28,     // continue ;
    kStmtWhile = 29,        // while ( $Exp ) $Statement
    kStmtFor = 30,          // for ( $Exp ; $Exp ; $Exp ) $Statement
};

enum VarRule : int32_t {
    kVarArrayInit = 21,  // $Ident [ $Exp ] = $InitializerExp
    kVarArray = 22,      // $Ident [ $Exp ]
    kVarInit = 23,       // $Ident = $InitializerExp
    kVarPlain = 24,      // $Ident
};

enum ParamRule : int32_t {
    kParamArrayByAddress = 21,  // $Type_specifier & $Ident [ $Exp ]
    kParamArray = 22,           // $Type_specifier $Ident [ $Exp ]
    kParamByAddress = 23,       // $Type_specifier & $Ident
    kParamPlain = 24,           // $Type_specifier $Ident
    kParamVarArgs = 25,         // . . .
};

enum ProcHeaderRule : int32_t {
    kProcHeader = 21,  // $Type_specifier $Ident
};

enum EnumItemRule : int32_t {
    kEnumNamedMore = 21,  // $Ident = $Exp ,
    kEnumNamedLast = 22,  // $Ident = $Exp
    kEnumDefine = 23,     // # define $Ident $Exp
    kEnumValueMore = 25,  // $Exp ,
    kEnumValueLast = 26,  // $Exp
};

enum MapItemRule : int32_t {
    kMapItemTypeOf = 21,  // $Ident [ $Exp ] TypeOF $Type_specifier
    kMapItemType = 22,    // $Ident [ $Exp ] $Type_specifier
};

enum MapHeaderRule : int32_t {
    kMapExplicit = 20,  // DeclareMap ( Item , $Ident )
    kMapImplicit = 21,  // DeclareMap ( ImplicitItem , $Ident )
};

enum AttributeRule : int32_t {
    kAttrTypeOf = 20,     // TypeOF $Ident
    kAttrDumpOr = 21,     // DumpOF $Ident ( Or )
    kAttrDumpEqual = 22,  // DumpOF $Ident ( Equal )
    kAttrChoiceMap = 23,  // ChoiceMap $Ident
    kAttrContentOf = 24,  // ContentOF $Ident
};

// Rule texts matched on the spot, without a registered set.
constexpr const char kTypedefRule[] = "$Type_specifier $Ident ;";
constexpr const char kAttributeRule[] = "name = $String";
constexpr const char kStatementRule[] = "$Statement";

// A registered rule set (RegisterGrammar, script/compiler.h, runs on
// first use); null when the registration failed.
GrammarRuleSet* FindGrammar(GrammarSet set);
