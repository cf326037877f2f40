// Warnings about a compiled script: constructs that compile without an error
// but seldom decode what their writer meant (a byte order that is not
// switched on, a define that hides a member or parameter, TypeOF on a
// member, a root that names no struct). Tested by
// script/script_warnings_test.cpp.
#pragma once

#include <vector>

#include "base/otstr.h"

class Program;

namespace warnmsg {
// After the position, as the compile errors give it ("FILE : Ln N", lines
// counted from 0).
constexpr const char kWarning[] = "  warning: ";
constexpr const char kTranModeValue[] =
    "NETWORK_TRANMODE is '%s', so numbers are read low byte first: only H_TO_L, in capitals, "
    "reads them high byte first";
constexpr const char kTranModeLate[] =
    "NETWORK_TRANMODE comes after struct '%s' (%s), which still reads numbers low "
    "byte first: define it above the first struct";
constexpr const char kDefineInOtherCase[] =
    "'%s' is the define '%s' here (letter case does not count), not a member or variable of that "
    "name";
constexpr const char kParameterIsDefine[] =
    "parameter '%s' of procedure '%s' has the name of the define '%s' (letter case does not "
    "count): '%s' in the procedure is the define";
constexpr const char kTypeOfMember[] =
    "TypeOF %s in the attribute block of member '%s' has no effect on decoding: the member is "
    "read as a plain %s; integrated types work through DeclareMap items declared with TypeOF";
constexpr const char kRootNoStruct[] =
    "PROTOCOL_ROOT names no struct ('%s'): every translation fails; give the name of the root "
    "struct";
}  // namespace warnmsg

// Appends the warnings about the script whose top file is root, in the order
// of its text (included files where they are first included), each as
// "FILE : Ln N  warning: TEXT". Linear in the size of the script.
void CollectScriptWarnings(const Program& root, std::vector<OTSTR>& out);
