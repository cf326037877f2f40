// The built-in script functions that the decoder's procedure hook serves:
// now, TotalLength, sysFetchValue, sysTranChoiceItem, sysAbort, strlen,
// strGetAt, sysSetTitle, sysGetEnumComment and strFormat.
// Tested by decoder/builtins_test.cpp.
#pragma once

#include "runtime/native_call.h"

class ByteCursor;
class CVariableItem;
class ExecuteEnv;
class Procedure;
class ProtocolDecoder;

namespace builtinmsg {
constexpr const char kNoMessage[] = "%s() fail, no message is being translated";
constexpr const char kNowReturn[] = "Now() setReturn fail";
constexpr const char kTotalReturn[] = "TotalLength() setReturn fail";
constexpr const char kFetchParam[] = "sysFetchValue() get param fail";
constexpr const char kFetchEnd[] =
    "sysFetchValue() get data fail, reach packet or current ConfentOf stream's end";
constexpr const char kFetchLocat[] = "%s set stream locat=%d fail";
constexpr const char kChoiceParam[] = "sysTranChoiceItem() get param fail";
constexpr const char kChoiceInvalid[] = "sysTranChoiceItem() choice item invalid";
constexpr const char kChoiceNoMap[] = "%s not found Choice DecalareMap for '%s'";
constexpr const char kChoiceNoTag[] = "%s not found ElemId=%ld (0x%x) in DecalareMap '%s'";
constexpr const char kChoiceCreate[] = "%s create choice item ElemId=%d error";
constexpr const char kAbortParam[] = "sysAbort() get param fail";
constexpr const char kAbort[] = "'%s' Abort(%s)";
constexpr const char kStrlenParam[] = "strlen() get param fail";
constexpr const char kStrlenReturn[] = "strlen() setReturn fail";
constexpr const char kGetAtParam[] = "strGetAt() get param fail";
constexpr const char kGetAtReturn[] = "strGetAt() setReturn fail";
constexpr const char kTitleParam[] = "sysSetTitle() get param fail";
constexpr const char kTitleRange[] = "sysSetTitle() fail, TitleN=%d out of range";
constexpr const char kTitleReturn[] = "sysSetTitle() setReturn fail";
constexpr const char kEnumParam[] = "sysGetEnumComment() get param fail";
constexpr const char kEnumNoStk[] = "sysGetEnumComment() get Enum='%s' fail, env stk not found";
constexpr const char kEnumNotFound[] = "sysGetEnumComment() Enum='%s' not found";
constexpr const char kEnumReturn[] = "sysGetEnumComment() set return fail";
constexpr const char kFormatParam[] = "strFormat() get param fail";
constexpr const char kFormatArgs[] = "strFormat(%s) get param error";
constexpr const char kFormatOverflow[] = "strFormat(%s) buf overflow";
constexpr const char kFormatType[] = "strFormat(%s) value type illegal";
constexpr const char kFormatReturn[] = "strFormat(%s) set return fail";
constexpr const char kNotFound[] = "procedure %s() not found";
}  // namespace builtinmsg

// Runs the built-in named like procedure (letter case ignored): 1 done,
// 0 failed (the text set with env.SetLastError), -1 no built-in of that name.
// cursor is the message being translated, or null.
int CallBuiltin(ProtocolDecoder& decoder, ExecuteEnv& env, Procedure& procedure,
                ByteCursor* cursor);
// The native function of the built-in that procedure declares, when its
// call sites may be served without a frame (its parameters named as the
// built-in reads them, none written through); null otherwise. The owner of
// the call is the decoder, the hook argument its cursor.
NativeHandler NativeBuiltin(const Procedure& procedure);

// The reader of the built-ins whose INT4 result can be read without a
// call (now and TotalLength: the cursor's position and length); null for
// the others.
NativeReader BuiltinReader(const Procedure& procedure);

// Whether a native call of procedure's built-in changes nothing that a
// run cannot undo or make again alike: the cursor's position, the captions,
// the variable that a fetch fills (not a decoder's item: a compiled
// procedure hands it its own variables alone), the return value. Not the
// built-ins that decode or run the script.
bool UndoableBuiltin(const Procedure& procedure);

// Whether procedure declares the built-in that decodes a choice element
// (sysTranChoiceItem) as the frame's call of it reads its parameters:
// VOID, the choice by address, the name, the tag.
bool DecodingBuiltin(const Procedure& procedure);

// Whether procedure declares sysFetchValue as NativeBuiltin serves it, the
// variable to fill passed by address as a dynamic parameter.
bool FetchBuiltin(const Procedure& procedure);

// Whether procedure declares sysSetTitle as NativeBuiltin serves it.
bool TitleBuiltin(const Procedure& procedure);

// Whether a built-in's result item, writable, takes a result of one digit
// ("1") as the digit's word, as a native call stores it; otherwise the
// item's store of the text takes it.
bool TakesDigitWord(const CVariableItem& result);

// procedure's sysFetchValue into variable (not a reference: a variable of
// compiled code) with the values of its parameters given, where the
// built-in would read plain integers into its parameter that refers to
// variable: 1 done, as its native call does it; -1, with nothing changed,
// where it would do anything else, which the native call then does.
int FetchPlainIntegers(ExecuteEnv& env, const Procedure& procedure, CVariableItem& variable,
                       int32_t locat, bool move);

// The built-ins that only make a text from their arguments.
enum class TextBuiltin { kNone, kFormat, kEnumComment };
// Which of them procedure declares, when its calls are served as the
// built-in's (as NativeBuiltin says); kNone otherwise.
TextBuiltin TextBuiltinOf(const Procedure& procedure);
