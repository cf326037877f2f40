// The message texts of the value classes (CVarient, TVarient), kept together
// so that they can be checked against what users see and named by the tests.
#pragma once

#include "base/tracer.h"

namespace varmsg {

constexpr const char kMallocFail[] = "Varient malloc fail !";
constexpr const char kCloneMallocFail[] = "CVarientObject clone malloc fail !";
constexpr const char kCreateMallocFail[] = "TVarientObject '%s' malloc fail !";
constexpr const char kTCloneMallocFail[] = "TVarientObject clone malloc fail !";
constexpr const char kSetsInvalid[] = "CVarient::sets() fail, '%s' is't a valid value !";
constexpr const char kOperateFail[] = "CVarient::Operate(%s,'%s',%s) fail !";
constexpr const char kValueTooLong[] =
    "CVarient::Operate() fail, a value of %lld bytes is longer than %d MB !";
constexpr const char kOperateDivideByZero[] =
    "CVarient::Operate(%s,'%s',%s) fail, divide or mode by zeor !";
constexpr const char kUnaryOperateFail[] = "CVarient::Operate('%s',%s) fail !";
constexpr const char kOperationIllegal[] = "TVarient '%s' operation illegal !";
constexpr const char kSetAtRange[] = "TVarient '%s' setAt fail, type illegal or idx out of range !";
constexpr const char kSetAtType[] = "TVarient '%s' setAt fail, type illegal !";
constexpr const char kGetAtLongType[] = "TVarient '%s' getAt_as_long fail, type illegal !";
constexpr const char kGetAtULongType[] = "TVarient '%s' getAt_as_ulong fail, type illegal !";
constexpr const char kGetAtDoubleType[] = "TVarient '%s' getAt_as_double fail, type illegal !";
constexpr const char kGetAtType[] = "TVarient '%s' getAt fail, type illegal !";
constexpr const char kPassAddressType[] = "TVarient '%s' PassAddressClone fail, type illegal !";
constexpr const char kPassAddressRange[] = "PassAddressClone fail, nIndex out of range !";

}  // namespace varmsg

// Formats one line (cut at 1023 characters) and writes it to the trace log.
