// The built-in script functions served by the decoder's procedure hook. They
// read their parameters by name from the called procedure's frame, or, when
// the call site is served natively, by position from its kept items.
// Tested by decoder/builtins_test.cpp.
#include "decoder/builtins.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "base/byte_cursor.h"
#include "base/formatted_text.h"
#include "base/number_text.h"
#include "base/ob_array.h"
#include "decoder/protocol_decoder.h"
#include "runtime/execute_env.h"
#include "runtime/native_call.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/program.h"
#include "types/enum_item_list.h"
#include "types/item_support.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/format_values.h"
#include "values/value_type.h"

using namespace builtinmsg;

namespace {

class Builtin {
  public:
    Builtin(ProtocolDecoder& decoder, ExecuteEnv& env, Procedure& procedure, ByteCursor* cursor,
            const NativeArguments* native = nullptr)
        : decoder(decoder),
          env(env),
          procedure(procedure),
          cursor(cursor),
          frame(native == nullptr ? env.GetTopStk(0) : nullptr),
          native(native) {}

    bool Now() { return Position(cursor != nullptr ? cursor->GetPos() : 0, "now", kNowReturn); }
    bool TotalLength() {
        return Position(cursor != nullptr ? cursor->GetLength() : 0, "TotalLength", kTotalReturn);
    }
    bool FetchValue();
    bool TranChoiceItem();
    bool Abort();
    bool Strlen();
    bool StrGetAt();
    bool SetTitle();
    bool GetEnumComment();
    bool Format();

  private:
    bool Position(int32_t value, const char* name, const char* returnFail) {
        if (cursor == nullptr) return Fail(kNoMessage, name);
        // The number as the script's literal of it reads (an INT4); a
        // procedure declared VOID is handed the text, and fails as with it.
        bool set;
        if (procedure.returnType != kDeclVoid) {
            CVarient number;
            set = number.setInteger(static_cast<uint32_t>(value), kTypeInt4) && SetReturn(number);
        } else {
            char text[16];
            snprintf(text, sizeof text, "%ld", static_cast<long>(value));
            set = SetReturn(text);
        }
        if (!set) return Fail("%s", returnFail);
        return true;
    }
    bool ReturnText(const OTSTR& text) {
        return SetReturnBytes(text.GetBuffer(0), text.GetLength());
    }
    // The return value, as setReturn sets it in the frame of the call.
    bool SetReturn(CVarient& value) {
        return native != nullptr ? procedure.StoreReturn(native->result, value)
                                 : procedure.setReturn(env, value);
    }
    // The return value as a text of n bytes.
    bool SetReturnBytes(const char* bytes, int n) {
        if (native != nullptr) return procedure.StoreReturn(native->result, bytes, n);
        CVarient value;
        return value.setBytes(bytes, n) && SetReturn(value);
    }
    bool SetReturn(const char* text) {
        if (native == nullptr) return procedure.setReturn(env, text);
        CVariableItem* result = native->result;
        if (result == nullptr || !result->IsWritable()) return false;
        // A digit into a single integer is stored as the word that its
        // literal's value would store.
        if (text[0] >= '0' && text[0] <= '9' && text[1] == 0 && TakesDigitWord(*result)) {
            return result->setAt(0, static_cast<uint32_t>(text[0] - '0'));
        }
        return result->sets(0, text, native->caller);
    }
    // Parameter index of a native call, else the frame's variable of that
    // name (the same one: only declarations of these names are native),
    // found at the parameter's place when it is there.
    template <typename T>
    bool GetParam(int index, const char* name, T& out) {
        CVariableItem* item = Param(index, name);
        if (item == nullptr) return native == nullptr && frame != nullptr && frame->get(name, out);
        return RunTimeStk::GetElement(*item, item->GetCount() == 1 ? 0 : -1, out);
    }
    CVariableItem* Param(int index, const char* name) const {
        if (native != nullptr) return index < native->paramCount ? native->params[index] : nullptr;
        return frame != nullptr ? frame->LocalAt(index, name) : nullptr;
    }
    bool GetString(int index, const char* name, OTSTR& out) { return GetParam(index, name, out); }
    // GetString's text, where it lies in a native call's parameter, else
    // copied into kept; null where GetString fails.
    const OTSTR* StringParam(int index, const char* name, OTSTR& kept) {
        CVariableItem* item = native != nullptr ? Param(index, name) : nullptr;
        if (item != nullptr && item->GetCount() == 1) return RunTimeStk::TextElement(*item, 0);
        return GetString(index, name, kept) ? &kept : nullptr;
    }
    bool GetLong(int index, const char* name, int32_t& out) { return GetParam(index, name, out); }
    bool GetBool(int index, const char* name, unsigned char& out) {
        uint32_t word = 0;
        if (!GetParam(index, name, word)) return false;
        out = static_cast<unsigned char>(word);
        return true;
    }
    int ExtraCount() const {
        return native != nullptr ? native->extraCount : frame != nullptr ? frame->ValueCount() : 0;
    }
    CVarient* ExtraAt(int i) const {
        return native != nullptr ? native->extras[i] : frame->ValueAt(i);
    }
    // The program whose enums the call sees: that of its frame, else of the
    // first frame up from it that has one.
    Program* VisibleProgram() const {
        if (native != nullptr && procedure.body != nullptr) return procedure.body;
        RunTimeStk* owner = native != nullptr ? native->parent : frame;
        while (owner != nullptr && owner->program == nullptr) owner = owner->parent;
        return owner != nullptr ? owner->program : nullptr;
    }
    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The decoder's failure text becomes the environment's.
    bool FailWithDecoderError() { return Fail("%s", decoder.GetLastError().GetBuffer(0)); }
    // elementName() gives the element's name where its decode needs it.
    template <typename Name>
    bool DecodeElement(CVariableItem& element, Name& elementName, StructDefinition* typeOf);

    ProtocolDecoder& decoder;
    ExecuteEnv& env;
    Procedure& procedure;
    ByteCursor* cursor;
    RunTimeStk* frame;
    const NativeArguments* native;
};

bool Builtin::Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    env.SetLastError("%s", text.Get());
    return false;
}

bool Builtin::FetchValue() {
    if (cursor == nullptr) return Fail(kNoMessage, "sysFetchValue");
    int32_t start = cursor->GetPos();
    CVariableItem* target = Param(1, "FetchValue");
    if (target == nullptr && frame != nullptr) target = frame->FindItem("FetchValue", true, false);
    TextStack::Text kept(decoder.ScratchTexts());
    const OTSTR* ident = nullptr;
    int32_t locat = 0;
    int32_t param = 0;
    unsigned char move = 0;
    if (target == nullptr || (ident = StringParam(0, "strCurIdent", *kept)) == nullptr ||
        !GetLong(2, "locat", locat) || !GetLong(3, "param", param) ||
        !GetBool(4, "bMoveLocatPointer", move)) {
        return Fail("%s", kFetchParam);
    }
    // The name of the fetch, made where a message or the general read needs it.
    TextStack::Text elementName(decoder.ScratchTexts());
    auto nameOfFetch = [&]() {
        if (elementName->IsEmpty()) {
            *elementName = *ident;
            elementName->Append("FetchValue()");
        }
        return elementName->GetBuffer(0);
    };
    // The bytes go into the variable that the parameter refers to. A decoder
    // item, whose location the decode would mark, is decoded through a
    // holder that refers to it.
    CVariableItem* into = target;
    std::optional<LentHolder> holder;
    if (decoder.AsDecoderItem(target) != nullptr) {
        holder.emplace(decoder);
        if (holder->get() == nullptr ||
            !(*holder)->PassAddressAs(*target, -1, target->GetItemName().GetBuffer(0))) {
            return Fail("%s", kFetchParam);
        }
        into = holder->get();
    }
    if (cursor->AtEnd()) {
        if (target->Header().baseType != kDeclOctet || param != 0) return Fail("%s", kFetchEnd);
    } else if (!cursor->SetPos(locat)) {
        return Fail(kFetchLocat, nameOfFetch(), locat);
    }
    if (!decoder.ReadPlainInteger(*into, *cursor) &&
        !decoder.TranslateMember(nameOfFetch(), nullptr, *into, *cursor, &param)) {
        MoveCursor(*cursor, start);
        return FailWithDecoderError();
    }
    if (move == 0) MoveCursor(*cursor, start);
    return true;
}

template <typename Name>
bool Builtin::DecodeElement(CVariableItem& element, Name& elementName, StructDefinition* typeOf) {
    auto* decoded = decoder.AsDecoderItem(&element);
    if (decoded != nullptr) decoded->start = cursor->GetPos();
    bool ok;
    if (element.Header().baseType == kDeclStruct) {
        ok = decoder.TranslateStruct(element, 0, *cursor);
    } else if (typeOf == nullptr && decoder.ReadPlainInteger(element, *cursor, element.def)) {
        // Read as a struct reads a plain integer member, without a name;
        // anything else, a failure too, is left to TranslateMember.
        ok = true;
    } else {
        // "%s.%s", joined without formatting where safeAppends would take it.
        const char* owner = elementName();
        TextStack::Text name(decoder.ScratchTexts());
        const char* member = element.GetItemName().GetBuffer(0);
        if (strlen(owner) + 1 + strlen(member) <= OTSTR::kMaxSafeAppend) {
            name->Append(owner);
            name->AppendChar('.');
            name->Append(member);
        } else {
            name->safeAppends("%s.%s", owner, member);
        }
        ok = typeOf != nullptr
                 ? decoder.IntegrateMember(name->GetBuffer(0), nullptr, element, *cursor, typeOf)
                 : decoder.TranslateMember(name->GetBuffer(0), nullptr, element, *cursor, nullptr);
    }
    if (!ok) {
        if (decoded != nullptr) decoded->failed = true;
        return false;
    }
    if (decoded != nullptr) decoded->length = cursor->GetPos() - decoded->start;
    return true;
}

bool Builtin::TranChoiceItem() {
    if (cursor == nullptr) return Fail(kNoMessage, "sysTranChoiceItem");
    CVariableItem* cur = Param(0, "curItem");
    if (cur == nullptr && frame != nullptr) cur = frame->FindItem("curItem", true, false);
    TextStack::Text kept(decoder.ScratchTexts());
    const OTSTR* ident = nullptr;
    int32_t elemId = 0;
    if (cur == nullptr || (ident = StringParam(1, "strCurIdent", *kept)) == nullptr ||
        !GetLong(2, "ElemId", elemId)) {
        return Fail("%s", kChoiceParam);
    }
    // A by-address parameter refers to the choice item of the instance tree.
    CVariableItem* choice = cur->addressSource != nullptr ? cur->addressSource : cur;
    CStruct* elements = choice->IsChoice() ? choice->StructAt(0) : nullptr;
    if (elements == nullptr) return Fail("%s", kChoiceInvalid);
    // "<ident>[ChoiceElem %ld]" of the elements there are now, made where a
    // message or the decode of an element that is not a struct needs it.
    TextStack::Text elementName(decoder.ScratchTexts());
    int32_t before = elements->GetCount(false);
    auto element = [&]() -> const char* {
        if (elementName->IsEmpty()) {
            char count[kMaxDecimalDigits];
            elementName->Append(*ident);
            elementName->Append("[ChoiceElem ");
            elementName->Append(count, DecimalDigits(before, count));
            elementName->AppendChar(']');
        }
        return elementName->GetBuffer(0);
    };
    VariableDefinition* choiceDef = choice->def;
    const AttributeSlots* slots = SlotsOf(choiceDef);
    DeclareMap* map = slots != nullptr ? slots->choiceMap : nullptr;
    if (map == nullptr) {
        return Fail(kChoiceNoMap, element(),
                    choiceDef != nullptr ? choiceDef->GetName().GetBuffer(0)
                                         : choice->GetItemName().GetBuffer(0));
    }
    VariableDefinition* def = map->FindTag(elemId);
    if (def == nullptr) {
        return Fail(kChoiceNoTag, element(), static_cast<long>(elemId),
                    static_cast<unsigned>(elemId), map->GetName().GetBuffer(0));
    }
    // An element past what the message could hold fails as a message that
    // ends there.
    if (!decoder.TakeChoiceElement()) {
        decoder.SetError(decodermsg::kGetDataFail, cursor->GetPos(), element(),
                         def->typeName.GetBuffer(0));
        return FailWithDecoderError();
    }
    StructDefinition* typeOf = IntegratedStructOf(def);
    CVariableItem* item = decoder.NewChoiceElement(*elements, def);
    if (item == nullptr) return Fail(kChoiceCreate, element(), elemId);
    if (!map->implicit || item->Header().baseType != kDeclStruct) {
        if (!choice->SetChosen(item, elemId, 0)) {
            delete item;
            return Fail(kChoiceCreate, element(), elemId);
        }
        return DecodeElement(*item, element, typeOf) || FailWithDecoderError();
    }
    // An implicit map: the struct's members become elements of their own
    // (the name is made first, as the decode may reuse the parameters).
    std::unique_ptr<CVariableItem> owned(item);
    element();
    if (!DecodeElement(*item, element, typeOf)) return FailWithDecoderError();
    CStruct* members = item->StructAt(0);
    while (members != nullptr && members->members.GetSize() > 0) {
        CVariableItem* member = members->members.RemoveAt(0);
        int32_t tag = member->def != nullptr ? member->def->id : member->mapTag;
        member->parent = elements;
        if (!choice->SetChosen(member, tag, 0)) {
            delete member;
            return Fail(kChoiceCreate, element(), elemId);
        }
    }
    return true;
}

bool Builtin::Abort() {
    OTSTR ident, description;
    if (!GetString(0, "strCurIdent", ident) || !GetString(1, "strDescription", description)) {
        return Fail("%s", kAbortParam);
    }
    return Fail(kAbort, ident.GetBuffer(0), description.GetBuffer(0));
}

bool Builtin::Strlen() {
    OTSTR text;
    int32_t endWithZero = 0;
    if (!GetString(0, "str", text) || !GetLong(1, "bEndWithZero", endWithZero)) {
        return Fail("%s", kStrlenParam);
    }
    int32_t n = text.GetLength();
    if (endWithZero != 0) n = static_cast<int32_t>(strnlen(text.GetBuffer(0), n));
    OTSTR result;
    result.safeAppends("%ld", static_cast<long>(n));
    if (!SetReturn(result.GetBuffer(0))) return Fail("%s", kStrlenReturn);
    return true;
}

bool Builtin::StrGetAt() {
    OTSTR text;
    int32_t index = 0;
    CVariableItem* ch = frame != nullptr ? frame->FindItem("Ch", true, false) : nullptr;
    // Ch holds the character as a number or as a one-byte text (TCHAR,
    // OCTET, STRING).
    bool holdsText = ch != nullptr && ch->GetType() == kTypeOctet;
    if (!GetString(0, "str", text) || !GetLong(1, "nIdx", index) || ch == nullptr ||
        (!holdsText && !IsNumericType(ch->GetType()))) {
        return Fail("%s", kGetAtParam);
    }
    const char* found = "0";
    char c = 0;
    if (index >= 0 && index < text.GetLength() && text.GetAt(index, c)) {
        bool set = holdsText ? ch->setAt(0, &c, 1)
                             : ch->setAt(0, static_cast<uint32_t>(static_cast<uint8_t>(c)));
        if (!set) return Fail("%s", kGetAtParam);
        found = "1";
    }
    if (!SetReturn(found)) return Fail("%s", kGetAtReturn);
    return true;
}

bool Builtin::SetTitle() {
    unsigned char n = 0;
    OTSTR kept;
    const OTSTR* title = nullptr;
    if (!GetBool(0, "TitleN", n) || (title = StringParam(1, "strTitle", kept)) == nullptr) {
        return Fail("%s", kTitleParam);
    }
    const char* result = "1";
    if (!decoder.SetTitle(n, title->GetBuffer(0))) {
        env.SetLastError(kTitleRange, static_cast<int>(n));
        result = "0";
    }
    if (!SetReturn(result)) return Fail("%s", kTitleReturn);
    return true;
}

bool Builtin::GetEnumComment() {
    OTSTR keptName, keptMode, keptFallback;
    const OTSTR* listName = StringParam(0, "strEnumListName", keptName);
    uint32_t value = 0;
    const OTSTR* mode = nullptr;
    const OTSTR* fallback = nullptr;
    if (listName == nullptr || !GetParam(1, "value", value) ||
        (mode = StringParam(2, "strMode", keptMode)) == nullptr ||
        (fallback = StringParam(3, "strDefault", keptFallback)) == nullptr) {
        return Fail("%s", kEnumParam);
    }
    const char* name = listName->GetBuffer(0);
    Program* program = VisibleProgram();
    if (program == nullptr) return Fail(kEnumNoStk, name);
    EnumItemList* list = program->FindEnum(name);
    if (list == nullptr) return Fail(kEnumNotFound, name);
    OTSTR comment;
    list->TextOfValue(value, !mode->Compare("Or", true), comment, fallback->GetBuffer(0));
    if (!ReturnText(comment)) return Fail("%s", kEnumReturn);
    return true;
}

bool Builtin::Format() {
    OTSTR kept;
    const OTSTR* formatText = StringParam(0, "strFormat", kept);
    if (formatText == nullptr) return Fail("%s", kFormatParam);
    const OTSTR& format = *formatText;
    // The list of the values keeps its block from call to call; formatting
    // calls nothing that could format again meanwhile.
    thread_local ObArrayOf<CVarient> values(25);
    values.RemoveAll();
    for (int i = 0; i < ExtraCount(); ++i) values.Add(ExtraAt(i));
    char buffer[1020];
    int n = FormatValues(buffer, sizeof buffer, format.GetBuffer(0), values);
    values.RemoveAll();
    const char* text = format.GetBuffer(0);
    if (n == kFormatMissingValue) return Fail(kFormatArgs, text);
    if (n == kFormatNoRoom) return Fail(kFormatOverflow, text);
    if (n < 0) return Fail(kFormatType, text);
    if (!SetReturnBytes(buffer, n)) return Fail(kFormatReturn, text);
    return true;
}

// The built-ins, in the order of their names below.
enum Which : int {
    kNow,
    kTotalLength,
    kFetchValue,
    kTranChoiceItem,
    kAbort,
    kStrlen,
    kStrGetAt,
    kSetTitle,
    kGetEnumComment,
    kFormat,
    kBuiltinCount
};

struct BuiltinSpec {
    const char* name;
    // The parameter names a native call needs, in order; null: never
    // native (the built-in decodes into what a parameter refers to, or
    // writes through a parameter that it finds by name).
    const char* const* params;
    int paramCount;
    // Whether a VOID declaration is served natively: only where the
    // built-in sets no return value.
    bool voidServed;
};

const char* const kNoParams[] = {nullptr};
const char* const kFetchParams[] = {"strCurIdent", "FetchValue", "locat", "param",
                                    "bMoveLocatPointer"};
const char* const kAbortParams[] = {"strCurIdent", "strDescription"};
const char* const kStrlenParams[] = {"str", "bEndWithZero"};
const char* const kTitleParams[] = {"TitleN", "strTitle"};
const char* const kEnumParams[] = {"strEnumListName", "value", "strMode", "strDefault"};
const char* const kFormatParams[] = {"strFormat"};

const BuiltinSpec kBuiltins[kBuiltinCount] = {
    {"now", kNoParams, 0, false},
    {"TotalLength", kNoParams, 0, false},
    {"sysFetchValue", kFetchParams, 5, true},
    {"sysTranChoiceItem", nullptr, 0, false},
    {"sysAbort", kAbortParams, 2, true},
    {"strlen", kStrlenParams, 2, false},
    {"strGetAt", nullptr, 0, false},
    {"sysSetTitle", kTitleParams, 2, false},
    {"sysGetEnumComment", kEnumParams, 4, false},
    {"strFormat", kFormatParams, 1, false},
};

// The built-in named like procedure (letter case ignored), or -1.
int BuiltinOf(const Procedure& procedure) {
    // Names of another length are passed over without a comparison; a name
    // as it is written needs no folding.
    static const std::array<int, kBuiltinCount> lengths = [] {
        std::array<int, kBuiltinCount> n{};
        for (int i = 0; i < kBuiltinCount; ++i) n[i] = static_cast<int>(strlen(kBuiltins[i].name));
        return n;
    }();
    const OTSTR& name = procedure.name;
    int length = name.GetLength();
    for (int i = 0; i < kBuiltinCount; ++i) {
        if (lengths[i] == length &&
            (memcmp(name.GetBuffer(), kBuiltins[i].name, static_cast<size_t>(length)) == 0 ||
             name.Compare(kBuiltins[i].name, false))) {
            return i;
        }
    }
    return -1;
}

// The functions of the built-ins, in the order of their names.
bool (Builtin::*const kFunctions[kBuiltinCount])() = {&Builtin::Now,
                                                      &Builtin::TotalLength,
                                                      &Builtin::FetchValue,
                                                      &Builtin::TranChoiceItem,
                                                      &Builtin::Abort,
                                                      &Builtin::Strlen,
                                                      &Builtin::StrGetAt,
                                                      &Builtin::SetTitle,
                                                      &Builtin::GetEnumComment,
                                                      &Builtin::Format};

bool Run(Builtin& call, int which) {
    return (call.*kFunctions[which])();
}

template <int kWhich>
bool ServeNative(void* owner, ExecuteEnv& env, Procedure& procedure, const NativeArguments& args) {
    if (owner == nullptr) return false;
    Builtin call(*static_cast<ProtocolDecoder*>(owner), env, procedure,
                 static_cast<ByteCursor*>(env.GetHookArgument()), &args);
    return Run(call, kWhich);
}

const NativeHandler kNativeHandlers[kBuiltinCount] = {ServeNative<kNow>,
                                                      ServeNative<kTotalLength>,
                                                      ServeNative<kFetchValue>,
                                                      ServeNative<kTranChoiceItem>,
                                                      ServeNative<kAbort>,
                                                      ServeNative<kStrlen>,
                                                      ServeNative<kStrGetAt>,
                                                      ServeNative<kSetTitle>,
                                                      ServeNative<kGetEnumComment>,
                                                      ServeNative<kFormat>};

// What Position gives a call of now (or, with length, TotalLength) where
// the call would not fail.
template <bool kLength>
bool ReadPosition(void*, ExecuteEnv& env, const Procedure&, uint32_t& word, int32_t& type) {
    auto* cursor = static_cast<ByteCursor*>(env.GetHookArgument());
    if (cursor == nullptr) return false;
    word = static_cast<uint32_t>(kLength ? cursor->GetLength() : cursor->GetPos());
    type = kTypeInt4;
    return true;
}

}  // namespace

int CallBuiltin(ProtocolDecoder& decoder, ExecuteEnv& env, Procedure& procedure,
                ByteCursor* cursor) {
    int which = BuiltinOf(procedure);
    if (which < 0) return -1;
    Builtin call(decoder, env, procedure, cursor);
    return Run(call, which) ? 1 : 0;
}

NativeHandler NativeBuiltin(const Procedure& procedure) {
    int which = BuiltinOf(procedure);
    if (which < 0 || kBuiltins[which].params == nullptr) return nullptr;
    const BuiltinSpec& spec = kBuiltins[which];
    if (procedure.returnType == kDeclVoid && !spec.voidServed) return nullptr;
    // The frame's look-up by name must find these parameters, in this order.
    const StructDefinition& params = procedure.parameters;
    if (params.GetMemberCount() != spec.paramCount) return nullptr;
    for (int i = 0; i < spec.paramCount; ++i) {
        const VariableDefinition* def = params.GetMember(i);
        if (def == nullptr || !def->GetName().Compare(spec.params[i], false)) return nullptr;
    }
    return kNativeHandlers[which];
}

NativeReader BuiltinReader(const Procedure& procedure) {
    if (NativeBuiltin(procedure) == nullptr || procedure.returnType != kDeclInt4) return nullptr;
    switch (BuiltinOf(procedure)) {
        case kNow:
            return ReadPosition<false>;
        case kTotalLength:
            return ReadPosition<true>;
        default:
            return nullptr;
    }
}

bool UndoableBuiltin(const Procedure& procedure) {
    if (NativeBuiltin(procedure) == nullptr) return false;
    switch (BuiltinOf(procedure)) {
        case kTranChoiceItem:
        case kStrGetAt:
            return false;
        default:
            return true;
    }
}

bool DecodingBuiltin(const Procedure& procedure) {
    static const char* const kParams[] = {"curItem", "strCurIdent", "ElemId"};
    const StructDefinition& params = procedure.parameters;
    if (!procedure.isExtern || procedure.varArgs || procedure.returnType != kDeclVoid ||
        BuiltinOf(procedure) != kTranChoiceItem || params.GetMemberCount() != 3) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        const VariableDefinition* def = params.GetMember(i);
        if (def == nullptr || !def->GetName().Compare(kParams[i], false) ||
            def->byAddress != (i == 0) || def->IsBitField() || def->count != 1) {
            return false;
        }
    }
    return true;
}

bool FetchBuiltin(const Procedure& procedure) {
    if (NativeBuiltin(procedure) == nullptr || BuiltinOf(procedure) != kFetchValue) return false;
    const VariableDefinition* target = procedure.parameters.GetMember(1);
    return target != nullptr && target->byAddress && target->baseType == kDeclDynamic &&
           !target->IsBitField();
}

bool TakesDigitWord(const CVariableItem& result) {
    return !result.IsLocked() && IsIntegerType(result.GetType()) && result.GetCount() == 1 &&
           !result.Header().IsBitField() && ItemNesting::Room(1);
}

bool TitleBuiltin(const Procedure& procedure) {
    return NativeBuiltin(procedure) != nullptr && BuiltinOf(procedure) == kSetTitle;
}

int FetchPlainIntegers(ExecuteEnv& env, const Procedure& procedure, CVariableItem& variable,
                       int32_t locat, bool move) {
    auto* decoder = static_cast<ProtocolDecoder*>(env.hookOwner);
    auto* cursor = static_cast<ByteCursor*>(env.GetHookArgument());
    // The parameter refers to the variable's storage, with its header, and
    // to a single element as an item of one.
    if (decoder == nullptr || cursor == nullptr || cursor->AtEnd() || variable.IsReference() ||
        variable.addressSource != nullptr || decoder->AsDecoderItem(&variable) != nullptr ||
        (variable.GetCount() == 1 && variable.Header().count != 1)) {
        return -1;
    }
    int32_t start = cursor->GetPos();
    if (!cursor->SetPos(locat) ||
        !decoder->ReadPlainInteger(variable, *cursor, procedure.parameters.GetMember(1))) {
        MoveCursor(*cursor, start);
        return -1;
    }
    if (!move) MoveCursor(*cursor, start);
    return 1;
}

TextBuiltin TextBuiltinOf(const Procedure& procedure) {
    if (NativeBuiltin(procedure) == nullptr) return TextBuiltin::kNone;
    switch (BuiltinOf(procedure)) {
        case kFormat:
            return TextBuiltin::kFormat;
        case kGetEnumComment:
            return TextBuiltin::kEnumComment;
        default:
            return TextBuiltin::kNone;
    }
}
