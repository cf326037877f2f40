// The message texts of the expression parser and evaluator.
#pragma once

namespace exprmsg {

constexpr const char kNullText[] = "GetExpression() fail, lpstr_expression can't be null";
constexpr const char kExtraChars[] = "GetExpression() fail, extra character found after '%s'";
constexpr const char kFetchParen[] = "GetExpression() fetch (..) error";
constexpr const char kOperandExpected[] = "GetExpression() error, ident or value expected";
constexpr const char kLexerError[] = "GetExpression() error, %s";
constexpr const char kOperatorIllegal[] = "GetExpression() error, Operator %s illegal";
constexpr const char kAnythingExpected[] =
    "GetExpression() error,  operator, ident or value expected";
constexpr const char kColonExpected[] = "GetExpression() error, ':' expected after %s";
constexpr const char kNewNodeFail[] = "GetExpression() error, new node fail";
constexpr const char kTooDeep[] = "GetExpression() error, expression nested too deep";
constexpr const char kValueSetIllegal[] = "illegal use of valueset";
constexpr const char kLeafIllegal[] = "illegal '%s', ident or value expected";
constexpr const char kLeftNotIdent[] = "left operand should be ident";
constexpr const char kGetValueFailed[] = "get '%s' value failed";
constexpr const char kAssignFailed[] = "assign value for '%s' failed";
constexpr const char kAssignNotIdent[] =
    "assignValue failed, left symbol of '=' is not a legal ident";
constexpr const char kOperateFailed[] = "CVarient::Operate(%s,'%s',%s) fail !";
constexpr const char kUnaryFailed[] = "CVarient::Operate('%s',%s) fail !";

// The operand reader's messages; %s first is the identifier's position text.
constexpr const char kDollarNumber[] = "syntax error after '$', illegal number expected";
constexpr const char kAfterScope[] = "%s  syntax error after '::'";
constexpr const char kAfterDot[] = "%s  syntax error after '%s.'";
constexpr const char kIndexError[] = "%s  symbol Idx error";
constexpr const char kCallParams[] = "%s  get procedure params failed";

}  // namespace exprmsg
