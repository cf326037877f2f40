// The built-in script functions served by the decoder's procedure hook. They
// read their parameters by name from the called procedure's frame.
// Tested by decoder/builtins_test.cpp.
#include "decoder/builtins.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/byte_cursor.h"
#include "base/formatted_text.h"
#include "base/ob_array.h"
#include "decoder/protocol_decoder.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/program.h"
#include "types/enum_item_list.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/format_values.h"
#include "values/value_type.h"

using namespace builtinmsg;

namespace {

class Builtin {
  public:
    Builtin(ProtocolDecoder& decoder, ExecuteEnv& env, Procedure& procedure, ByteCursor* cursor)
        : decoder(decoder),
          env(env),
          procedure(procedure),
          cursor(cursor),
          frame(env.GetTopStk(0)) {}

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
            set = number.setInteger(static_cast<uint32_t>(value), kTypeInt4) &&
                  procedure.setReturn(env, number);
        } else {
            char text[16];
            snprintf(text, sizeof text, "%ld", static_cast<long>(value));
            set = procedure.setReturn(env, text);
        }
        if (!set) return Fail("%s", returnFail);
        return true;
    }
    bool ReturnText(const OTSTR& text) {
        CVarient value;
        return value.setBytes(text.GetBuffer(0), text.GetLength()) &&
               procedure.setReturn(env, value);
    }
    bool GetString(const char* name, OTSTR& out) {
        return frame != nullptr && frame->get(name, out);
    }
    bool GetLong(const char* name, int32_t& out) {
        return frame != nullptr && frame->get(name, out);
    }
    bool GetBool(const char* name, unsigned char& out) {
        return frame != nullptr && frame->get(name, out);
    }
    bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The decoder's failure text becomes the environment's.
    bool FailWithDecoderError() { return Fail("%s", decoder.GetLastError().GetBuffer(0)); }
    bool DecodeElement(CVariableItem& element, const char* elementName, StructDefinition* typeOf);

    ProtocolDecoder& decoder;
    ExecuteEnv& env;
    Procedure& procedure;
    ByteCursor* cursor;
    RunTimeStk* frame;
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
    CVariableItem* target = frame != nullptr ? frame->FindItem("FetchValue", true, false) : nullptr;
    OTSTR ident;
    int32_t locat = 0;
    int32_t param = 0;
    unsigned char move = 0;
    if (target == nullptr || !GetString("strCurIdent", ident) || !GetLong("locat", locat) ||
        !GetLong("param", param) || !GetBool("bMoveLocatPointer", move)) {
        return Fail("%s", kFetchParam);
    }
    OTSTR elementName = ident;
    elementName.Append("FetchValue()");
    std::unique_ptr<DecoderItem> holder(new (std::nothrow) DecoderItem(&decoder));
    if (holder == nullptr || !holder->PassAddressClone(*target, -1, nullptr)) {
        return Fail("%s", kFetchParam);
    }
    holder->SetName(target->GetItemName().GetBuffer(0));
    if (cursor->AtEnd()) {
        if (target->header.baseType != kDeclOctet || param != 0) return Fail("%s", kFetchEnd);
    } else if (!cursor->SetPos(locat)) {
        return Fail(kFetchLocat, elementName.GetBuffer(0), locat);
    }
    if (!decoder.TranslateMember(elementName.GetBuffer(0), nullptr, *holder, *cursor, &param)) {
        MoveCursor(*cursor, start);
        return FailWithDecoderError();
    }
    if (move == 0) MoveCursor(*cursor, start);
    return true;
}

bool Builtin::DecodeElement(CVariableItem& element, const char* elementName,
                            StructDefinition* typeOf) {
    auto* decoded = dynamic_cast<DecoderItem*>(&element);
    if (decoded != nullptr) decoded->start = cursor->GetPos();
    bool ok;
    if (element.header.baseType == kDeclStruct) {
        ok = decoder.TranslateStruct(element, 0, *cursor);
    } else {
        OTSTR name;
        name.safeAppends("%s.%s", elementName, element.GetItemName().GetBuffer(0));
        ok = typeOf != nullptr
                 ? decoder.IntegrateMember(name.GetBuffer(0), nullptr, element, *cursor, typeOf)
                 : decoder.TranslateMember(name.GetBuffer(0), nullptr, element, *cursor, nullptr);
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
    CVariableItem* cur = frame != nullptr ? frame->FindItem("curItem", true, false) : nullptr;
    OTSTR ident;
    int32_t elemId = 0;
    if (cur == nullptr || !GetString("strCurIdent", ident) || !GetLong("ElemId", elemId)) {
        return Fail("%s", kChoiceParam);
    }
    // A by-address parameter refers to the choice item of the instance tree.
    CVariableItem* choice = cur->addressSource != nullptr ? cur->addressSource : cur;
    CStruct* elements = choice->IsChoice() ? choice->StructAt(0) : nullptr;
    if (elements == nullptr) return Fail("%s", kChoiceInvalid);
    OTSTR elementName = ident;
    elementName.safeAppends("[ChoiceElem %ld]", static_cast<long>(elements->GetCount(false)));
    const char* element = elementName.GetBuffer(0);
    VariableDefinition* choiceDef = choice->def;
    const AttributeSlots* slots = SlotsOf(choiceDef);
    DeclareMap* map = slots != nullptr ? slots->choiceMap : nullptr;
    if (map == nullptr) {
        return Fail(kChoiceNoMap, element,
                    choiceDef != nullptr ? choiceDef->GetName().GetBuffer(0)
                                         : choice->GetItemName().GetBuffer(0));
    }
    VariableDefinition* def = map->FindTag(elemId);
    if (def == nullptr) {
        return Fail(kChoiceNoTag, element, static_cast<long>(elemId), static_cast<unsigned>(elemId),
                    map->GetName().GetBuffer(0));
    }
    // An element past what the message could hold fails as a message that
    // ends there.
    if (!decoder.TakeChoiceElement()) {
        decoder.SetError(decodermsg::kGetDataFail, cursor->GetPos(), element,
                         def->typeName.GetBuffer(0));
        return FailWithDecoderError();
    }
    StructDefinition* typeOf = IntegratedStructOf(def);
    CVariableItem* item = elements->NewItem();
    if (item == nullptr || !item->create(elements, def)) {
        delete item;
        return Fail(kChoiceCreate, element, elemId);
    }
    if (!map->implicit || item->header.baseType != kDeclStruct) {
        if (!choice->SetChosen(item, elemId, 0)) {
            delete item;
            return Fail(kChoiceCreate, element, elemId);
        }
        return DecodeElement(*item, element, typeOf) || FailWithDecoderError();
    }
    // An implicit map: the struct's members become elements of their own.
    std::unique_ptr<CVariableItem> owned(item);
    if (!DecodeElement(*item, element, typeOf)) return FailWithDecoderError();
    CStruct* members = item->StructAt(0);
    while (members != nullptr && members->members.GetSize() > 0) {
        CVariableItem* member = members->members.RemoveAt(0);
        int32_t tag = member->def != nullptr ? member->def->id : member->mapTag;
        member->parent = elements;
        if (!choice->SetChosen(member, tag, 0)) {
            delete member;
            return Fail(kChoiceCreate, element, elemId);
        }
    }
    return true;
}

bool Builtin::Abort() {
    OTSTR ident, description;
    if (!GetString("strCurIdent", ident) || !GetString("strDescription", description)) {
        return Fail("%s", kAbortParam);
    }
    return Fail(kAbort, ident.GetBuffer(0), description.GetBuffer(0));
}

bool Builtin::Strlen() {
    OTSTR text;
    int32_t endWithZero = 0;
    if (!GetString("str", text) || !GetLong("bEndWithZero", endWithZero)) {
        return Fail("%s", kStrlenParam);
    }
    int32_t n = text.GetLength();
    if (endWithZero != 0) n = static_cast<int32_t>(strnlen(text.GetBuffer(0), n));
    OTSTR result;
    result.safeAppends("%ld", static_cast<long>(n));
    if (!procedure.setReturn(env, result.GetBuffer(0))) return Fail("%s", kStrlenReturn);
    return true;
}

bool Builtin::StrGetAt() {
    OTSTR text;
    int32_t index = 0;
    CVariableItem* ch = frame != nullptr ? frame->FindItem("Ch", true, false) : nullptr;
    // Ch holds the character as a number or as a one-byte text (TCHAR,
    // OCTET, STRING).
    bool holdsText = ch != nullptr && ch->GetType() == kTypeOctet;
    if (!GetString("str", text) || !GetLong("nIdx", index) || ch == nullptr ||
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
    if (!procedure.setReturn(env, found)) return Fail("%s", kGetAtReturn);
    return true;
}

bool Builtin::SetTitle() {
    unsigned char n = 0;
    OTSTR title;
    if (!GetBool("TitleN", n) || !GetString("strTitle", title)) return Fail("%s", kTitleParam);
    const char* result = "1";
    if (!decoder.SetTitle(n, title.GetBuffer(0))) {
        env.SetLastError(kTitleRange, static_cast<int>(n));
        result = "0";
    }
    if (!procedure.setReturn(env, result)) return Fail("%s", kTitleReturn);
    return true;
}

bool Builtin::GetEnumComment() {
    OTSTR listName, mode, fallback;
    uint32_t value = 0;
    if (!GetString("strEnumListName", listName) || frame == nullptr ||
        !frame->get("value", value) || !GetString("strMode", mode) ||
        !GetString("strDefault", fallback)) {
        return Fail("%s", kEnumParam);
    }
    RunTimeStk* owner = frame;
    while (owner != nullptr && owner->program == nullptr) owner = owner->parent;
    if (owner == nullptr) return Fail(kEnumNoStk, listName.GetBuffer(0));
    EnumItemList* list = owner->program->FindEnum(listName.GetBuffer(0));
    if (list == nullptr) return Fail(kEnumNotFound, listName.GetBuffer(0));
    OTSTR comment;
    list->TextOfValue(value, !mode.Compare("Or", true), comment, fallback.GetBuffer(0));
    if (!ReturnText(comment)) return Fail("%s", kEnumReturn);
    return true;
}

bool Builtin::Format() {
    OTSTR format;
    if (!GetString("strFormat", format)) return Fail("%s", kFormatParam);
    // The list of the values keeps its block from call to call; formatting
    // calls nothing that could format again meanwhile.
    thread_local ObArrayOf<CVarient> values(25);
    values.RemoveAll();
    for (int i = 0; i < frame->ValueCount(); ++i) values.Add(frame->ValueAt(i));
    char buffer[1020];
    int n = FormatValues(buffer, sizeof buffer, format.GetBuffer(0), values);
    values.RemoveAll();
    const char* text = format.GetBuffer(0);
    if (n == kFormatMissingValue) return Fail(kFormatArgs, text);
    if (n == kFormatNoRoom) return Fail(kFormatOverflow, text);
    if (n < 0) return Fail(kFormatType, text);
    CVarient result;
    if (!result.setBytes(buffer, n) || !procedure.setReturn(env, result)) {
        return Fail(kFormatReturn, text);
    }
    return true;
}

}  // namespace

int CallBuiltin(ProtocolDecoder& decoder, ExecuteEnv& env, Procedure& procedure,
                ByteCursor* cursor) {
    static const char* const kNames[] = {
        "now",    "TotalLength", "sysFetchValue", "sysTranChoiceItem", "sysAbort",
        "strlen", "strGetAt",    "sysSetTitle",   "sysGetEnumComment", "strFormat"};
    // Names of another length are passed over without a comparison.
    int which = -1;
    int length = procedure.name.GetLength();
    for (int i = 0; i < static_cast<int>(sizeof kNames / sizeof kNames[0]); ++i) {
        if (static_cast<int>(strlen(kNames[i])) == length &&
            procedure.name.Compare(kNames[i], false)) {
            which = i;
            break;
        }
    }
    Builtin call(decoder, env, procedure, cursor);
    bool ok;
    switch (which) {
        case 0:
            ok = call.Now();
            break;
        case 1:
            ok = call.TotalLength();
            break;
        case 2:
            ok = call.FetchValue();
            break;
        case 3:
            ok = call.TranChoiceItem();
            break;
        case 4:
            ok = call.Abort();
            break;
        case 5:
            ok = call.Strlen();
            break;
        case 6:
            ok = call.StrGetAt();
            break;
        case 7:
            ok = call.SetTitle();
            break;
        case 8:
            ok = call.GetEnumComment();
            break;
        case 9:
            ok = call.Format();
            break;
        default:
            return -1;
    }
    return ok ? 1 : 0;
}
