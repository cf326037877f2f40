// The message texts of the pattern engine, kept together so that they can be
// checked against what users see and named by the tests.
#pragma once

namespace patmsg {

// Rule compiler; %ld is the rule id.
constexpr const char kIdNotPositive[] = "Rule Id should greater than 0";
constexpr const char kRuleExists[] = "Rule %ld already exist";
constexpr const char kParamTwice[] = "ParamId=%d be defined more than one time";
constexpr const char kMallocError[] = "Rule %ld build fail, malloc error";
constexpr const char kAddTransition[] = "Rule %ld build fail, add transition error";
constexpr const char kParenMismatch[] = "Rule %ld build fail, '(' and ')' not match";
constexpr const char kBraceMismatch[] = "Rule %ld build fail, '{' and '}' not match";
constexpr const char kAngleMismatch[] = "Rule %ld build fail, '<' and '>' not match";
constexpr const char kLookAheadKind[] = "Rule %ld build fail, error found after {?, not support";
constexpr const char kLookAheadEmpty[] = "Rule %ld build fail, no valid string in {?=";
constexpr const char kLookAheadExtra[] = "Rule %ld build fail, found extra string '%s' in {?";
constexpr const char kParamIdError[] = "Rule %ld build fail, sub rule '%s' paramId error";
constexpr const char kParamRange[] = "Rule %ld build fail, sub rule '%s' param should between 0-%d";
constexpr const char kSubRuleMissing[] = "Rule %ld build fail, sub rule '%s' not found";
constexpr const char kRepeatMin[] = "Rule %ld build fail, get Min repeatn error";
constexpr const char kRepeatMax[] = "Rule %ld build fail, get Max repeatn error";
constexpr const char kRepeatRange[] = "Rule %ld build fail, repeatn should>=0 and min<=max";
constexpr const char kHeadError[] = "Rule build fail, head of %s error, remember use \\ before +*?";
constexpr const char kBracketMismatch[] = "Rule build fail, '[' and ']' not match";
constexpr const char kBracketRange[] = "Rule build fail, error between '[' and ']'";
constexpr const char kEscapeAtEnd[] = "ERROR: No chars following escape char ('\\')";

// Matcher.
constexpr const char kPushOverflow[] = "MatchPattern.Push() fail, overflow";
constexpr const char kPopEmpty[] = "MatchPattern.Pop() fail, stack already empty";
constexpr const char kTopEmpty[] = "MatchPattern.GetTop() fail, stack already empty";
constexpr const char kGetTopFail[] = "MatchPattern.GetTop() fail";
constexpr const char kTransitionError[] = "Check Match State fail, TopNode's pCurTransiton error";
constexpr const char kTransitionType[] =
    "Check Match State fail, TopNode's pCurTransiton type error";
constexpr const char kNewPatternFail[] = "new MatchPattern fail";  // also at 100,000 ways
constexpr const char kSkipTooDeep[] = "Lex fail, 2000 or more optional elements skipped in a row";
constexpr const char kParamStart[] =
    "setParamLocat(%d) failed, to be sure no param overwrite will occur in the rule definition";
constexpr const char kParamLength[] =
    "setParamLocat_len(%d) failed, to be sure no param overwrite will occur in the rule definition";
constexpr const char kParamOverflow[] = "AddParamLocat() failed, overflow";
constexpr const char kNoBuffer[] = "buffer not initialed";
constexpr const char kNoRules[] = "No rule initialed";
constexpr const char kSpecificIllegalId[] = "get_specific_token fail, illegal TokenId";
constexpr const char kSpecificOverlap[] =
    "get_specific_token fail, should not be in OverlapMatch mode";
constexpr const char kSpecificFail[] = "get_specific_token fail";
constexpr const char kLocationRange[] = "setLocation fail, locat out of range";
constexpr const char kFetchOverlap[] = "Fetch_string fail, should not be in OverlapMatch mode";
constexpr const char kFetchNoRight[] = "Fetch_string fail, right operator should not be null";
constexpr const char kFetchSame[] = "Fetch_string fail, left & right operator should not be same";
constexpr const char kFetchFirst[] = "Fetch_string fail, first current char should = LeftOperator";
constexpr const char kFetchEnd[] = "Fetch_string fail, reach the end of buffer";

// Whole-text matcher.
constexpr const char kNullText[] = "String could not be null";
constexpr const char kNoRuleSet[] = "no rule seted now";
constexpr const char kUnmatchedToken[] = "found unmatched token";
constexpr const char kUnmatch[] = "unmatch";

}  // namespace patmsg
