// The message texts of the script compiler and interpreter, kept together
// so that they can be checked against what users see and named by the
// tests. Compile errors are recorded at a position ("<file> : Ln <n>  ");
// the checks and runs carry their file and line in the text itself.
#pragma once

namespace scriptmsg {

// The item loop, includes, defines, typedefs, enums and the attribute
// construct.
constexpr const char kGrammarFailed[] = "grammar registration failed";
constexpr const char kUnexpected[] = "'%s' unexpected";
constexpr const char kCloseBraceExpected[] = "'}' expected";
constexpr const char kSemicolonExpected[] = "';' expected";
constexpr const char kIdentExpected[] = "$Ident  expected";
constexpr const char kIncludeInBlock[] = "'include' are not allowd in sub program";
constexpr const char kExternInBlock[] = "'extern' are not allowd in sub program";
constexpr const char kStructInBlock[] = "struct definition are not allowd in sub program";
constexpr const char kIncludeExpected[] = "'Include' expected";
constexpr const char kFilepathExpected[] = "filepath expected after 'Include'";
constexpr const char kFileOpenError[] = "file %s open error";
constexpr const char kNewProgramFail[] = "new program fail";
constexpr const char kIncludeFailed[] = "/ %s";  // the included file's own error text
constexpr const char kIncludeLoop[] = "IncludeFile '%s'  Loop definition found !";
constexpr const char kIncludeTooDeep[] = "IncludeFile '%s' nested deeper than %d files";
constexpr const char kDefineExpected[] = "'define' expected";
constexpr const char kIdentAfterDefine[] = "Ident expected after 'define'";
constexpr const char kNameUsed[] = "identifier_name '%s' already be used";
constexpr const char kNameDefined[] = "identifier_name '%s' already be defined";
constexpr const char kTypedefExpected[] = "'typedef' expected";
constexpr const char kTypedefStructOnly[] = "'typedef' only support struct type now";
constexpr const char kNewTypedefFail[] = "new typedef fail";
constexpr const char kEnumExpected[] = "'enum' expected";
constexpr const char kNewEnumFail[] = "new EnumItemList fail";
constexpr const char kBraceAfterEnum[] = "'{' expected after enum name";
constexpr const char kEnumValueFail[] = "get enum item value fail";
constexpr const char kBraceAfterAttribute[] = "'{' expected after attribute name";
constexpr const char kAttributeNoStruct[] = "attribute definiton fail, struct '%s' not found";
constexpr const char kAttributeNotIntegrated[] =
    "attribute definiton fail, struct '%s' has no Integrated type";
constexpr const char kCompleteFail[] = "AttributeDefinition CompleteIt fail, %s";
constexpr const char kInvalid[] = "'%s' invalid";
constexpr const char kNewStatementFail[] = "new statement fail";
constexpr const char kNestingTooDeep[] = "statement nesting too deep";

// Structs, members, attribute blocks and DeclareMap tables.
constexpr const char kTypeExpected[] = "Type_specifier expected";
constexpr const char kIntegratedConflict[] = "struct integrated type conflict";
constexpr const char kNewPendingStructFail[] = "new Predefined StructDefinition fail";
constexpr const char kNewStructFail[] = "new StructDefinition fail";
constexpr const char kNotSimpleForStruct[] = "'%s' is not a simple type for struct value";
constexpr const char kNewAttributeFail[] = "new AttributeDefinition fail";
constexpr const char kBraceAfterStruct[] = "'{' expected after struct name";
constexpr const char kArraySizeFail[] = "get array size fail";
constexpr const char kBitsNotSupported[] = "Bits mode is not supported by this type";
constexpr const char kBitLengthFail[] = "get bitlen fail";
constexpr const char kThisReserved[] =
    "identifier_name illegal, 'this' is a system reserved keyword";
constexpr const char kMemberDefined[] = "identifier_name already be defined";
constexpr const char kNotInStruct[] = "'%s' not allowed in struct definition";
constexpr const char kChoiceArray[] = "'Choice' type do't support array definition";
constexpr const char kNewVariableFail[] = "new VariableDefinition fail";
constexpr const char kStructMemberBlock[] =
    "var with struct type does't support AttributeDefinition";
constexpr const char kChoiceNeedsBlock[] = "missing { attr... } for 'Choice' type";
constexpr const char kBitsError[] = "Bits definition error";
constexpr const char kNewMapFail[] = "new DeclareMap fail";
constexpr const char kBraceAfterMap[] = "'{' expected after declareMap header";
constexpr const char kTagFail[] = "get nTag fail";
constexpr const char kMapTypeOfNotStruct[] = "TypeOf '%s' not allowed in DeclareMap(struct)";
constexpr const char kMapNotIntegrated[] = "'%s' is not a integrate value struct";
constexpr const char kMapTypeNotAllowed[] = "type '%s' not allowed in DeclareMap(struct)";
constexpr const char kTagUsed[] = "struct nTag already be used";
constexpr const char kNewMapItemFail[] = "new DeclareMap Item fail";

// Attribute keyword lines; they end the compilation.
constexpr const char kKeywordInStructBlock[] = "'%s' not allowd in struct attrib definition";
constexpr const char kTypeOfSimpleOnly[] = "Only simple type is supported by 'TypeOf'";
constexpr const char kMemoOnly[] = "'%s' can only be used in Varient with Memo type";
constexpr const char kStructNotFound[] = "struct '%s' not found";
constexpr const char kDumpOfNumberOnly[] = "Only Number type is supported by 'DumpOf'";
constexpr const char kEnumNotFound[] = "enum '%s' not found";
constexpr const char kChoiceOnly[] = "'%s' can only be used in Varient with choice type";
constexpr const char kMapNotFound[] = "DeclareMap '%s' not found";

// Completing an attribute block (wrapped in kCompleteFail).
constexpr const char kMissingTranslate[] = "missing procedure Translate() here";
constexpr const char kMissingKeyword[] = "missing '%s' here";
constexpr const char kNoProcedureForBits[] =
    "%s() procedure is not allowed for var with bits definition";
constexpr const char kTypeOfExcludes[] = "to be a %s Integrated-value, %s() is not allowed";
constexpr const char kNoIntegratedType[] = "struct has no Integrated type";
constexpr const char kIncompatible[] = "'%s' uncompatible with var definition's type";
constexpr const char kReturnString[] = "%s()'s return type must be String";
constexpr const char kBasicTypeOnly[] = "only VariableItem with basic type support %s()";
constexpr const char kOneDump[] = "only one of '%s' and '%s'() is allowed in var definition";
constexpr const char kIntegrateType[] =
    "Integrate type in struct header is not same with procedure %s()'s return type";
constexpr const char kIntegratedBasicOnly[] =
    "only when IntegratedType is basic type, can use Procedure %s()";

// Variables, parameters and procedures.
constexpr const char kTypeNotAllowed[] = "typeSpecifier '%s' is not allowed";
constexpr const char kNotAllowedHere[] = "'%s' not allowed here";
constexpr const char kNoArrayMode[] = "'%s' not support array mode";
constexpr const char kPassAddressOnly[] = "'%s' allowed only when param in PassAddress mode";
constexpr const char kCloseParenExpected[] = "')' expected";
constexpr const char kReturnSimpleOnly[] =
    "'%s' illegal, only simple type can be used for procedure return";
constexpr const char kOpenParenExpected[] = "'(' is expected for proc definition";
constexpr const char kNewProcedureFail[] = "new procedure fail";
constexpr const char kHeaderConflict[] = "procedure header define conflict";
constexpr const char kExternBody[] = "';' expected, procedure is extern, no body allowed";
constexpr const char kHasBody[] = "procedure already has a body";

// Identifier checks of expressions.
constexpr const char kSplitFail[] = "varstring split fail";
constexpr const char kProcedureInvalid[] = "procedure '%s' invalid";
constexpr const char kThisNotFound[] = "structDefinition of 'This' not found";
constexpr const char kUndefined[] = "'%s' undefined";
constexpr const char kNotFoundInStruct[] = "'%s' not found in struct '%s'";
constexpr const char kIllegalDot[] = "'%s' illegal use of .";
constexpr const char kStructUndefined[] = "struct '%s' undefined";

// Final checks: the Program's name and the item's line lead.
constexpr const char kAtLine[] = "%s : Ln %d  %s";
constexpr const char kStructAtLine[] = "%s : Ln %d  struct '%s' %s";
constexpr const char kStructLoop[] = "%s : Ln %d  struct '%s' loop definition found";
constexpr const char kStructIncomplete[] = "%s : Ln %d  struct '%s' definition not complete";
constexpr const char kProcedureIncomplete[] = "%s : Ln %d  procedure '%s' definition not complete";
constexpr const char kReturnNoProcedure[] = "illegal 'return', no parent procedure found";
constexpr const char kVoidReturnsValue[] = "'void' function returning a value";
constexpr const char kBreakNoLoop[] = "illegal 'break', no parent while or for found";
constexpr const char kContinueNoLoop[] = "illegal 'continue', no parent while or for found";

// Runs: the environment's error.
constexpr const char kInitializeFail[] = "%s : Ln %d  initialize fail !";
constexpr const char kExprFail[] = "%s : Ln %d  statement_expr execute fail !";
constexpr const char kIfFail[] = "%s : Ln %d  if (exp) execute fail !";
constexpr const char kWhileFail[] = "%s : Ln %d  while(exp) execute fail !";
constexpr const char kInitialFail[] = "%s : Ln %d  initial_expr execute fail !";
constexpr const char kConditionFail[] = "%s : Ln %d  for(conditionExpr) execute fail !";
constexpr const char kStepFail[] = "%s : Ln %d  expr execute fail !";
constexpr const char kReturnFail[] = "%s : Ln %d  return execute fail !";
constexpr const char kNoReturnData[] = "%s() fail, no return data seted !";
constexpr const char kReturnNotSet[] = "%s() fail, return data not seted !";
constexpr const char kReturnIdentError[] = "%s() fail, get return_ident error !";

// Runs: the trace. The lines of a traced run, with the line number and the
// indent first.
constexpr const char kRunLine[] = "RunLine %3ld : %s";
constexpr const char kRunLineAssign[] = "RunLine %3ld : %s%s = ";
constexpr const char kRunLineWord[] = "RunLine %3ld : %s%s";
constexpr const char kRunLineReturn[] = "RunLine %3ld : %sreturn ";
constexpr const char kRunLineEnter[] = "RunLine %3ld : %sEnter_procedure %s()";
constexpr const char kRunLineLeave[] = "RunLine %3ld : %sLeave_procedure %s";
// What follows a procedure's name in its trace lines.
constexpr const char kSetReturnError[] = "() fail, setReturn error !";
constexpr const char kSetReturnCalculate[] = "() fail, setReturn calculate fail !";
constexpr const char kCallbackFail[] = "() callback fail !";
constexpr const char kReturnIdentMissing[] = "() fail, return ident not found !";
// Building a call's parameters.
constexpr const char kParamsTooFew[] = "GenerateProcedureParamsList() fail, not enough param !";
constexpr const char kParamsTooMany[] =
    "Warning, GenerateProcedureParamsList() fail, too many param !";
constexpr const char kParamsDynamicValue[] =
    "GenerateProcedureParamsList() fail, 'dynamic' not support in procedure's pass value "
    "param !";
constexpr const char kParamsNoFrame[] =
    "GenerateProcedureParamsList() fail, no RunEnv for PassAddress operate !";
constexpr const char kParamsNotIdent[] =
    "GenerateProcedureParamsList() '%s' is not a valid ident for PassAddress operate !";
constexpr const char kParamsCreate[] =
    "GenerateProcedureParamsList() fail, create procedure param error !";
constexpr const char kParamsArgList[] =
    "GenerateProcedureParamsList() fail, create procedure arglist error !";
constexpr const char kParamsArgValue[] =
    "GenerateProcedureParamsList() create procedure arg  %s  error, (can only support "
    "value_expr now) !";

}  // namespace scriptmsg
