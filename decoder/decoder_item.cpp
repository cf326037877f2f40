// DecoderItem and DecoderStruct: decoded instances with their location,
// failure mark, attached structs and the per-item texts of the result view.
// Tested by decoder/decoder_test.cpp.
#include "decoder/decoder_item.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/block_cache.h"
#include "base/number_text.h"
#include "decoder/item_frame.h"
#include "decoder/protocol_decoder.h"
#include "decoder/quiet_procedures.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/struct_item.h"
#include "types/enum_item_list.h"
#include "types/struct_definition.h"
#include "types/variable_definition.h"
#include "values/cvarient.h"

namespace {

// The Dump procedure of a struct type with an integrated type.
Procedure* StructDump(StructDefinition* type) {
    auto* item = dynamic_cast<StructItem*>(type);
    if (item == nullptr || item->attributes == nullptr) return nullptr;
    return item->attributes->slots.dump;
}

constexpr char kNoLocationMarker[] = "***?****";

// "start:length" of the views.
void Location(int32_t start, int32_t length, OTSTR& out) {
    // "%-3ld:%2ld": the blanks are written first, the digits over them (a
    // number has at least one digit).
    char text[2 * kMaxDecimalDigits + 8];
    memcpy(text, "        ", 8);
    int n = DecimalDigits(start, text);
    if (n < 3) n = 3;
    text[n++] = ':';
    char digits[kMaxDecimalDigits];
    int d = DecimalDigits(length, digits);
    if (d < 2) text[n++] = ' ';
    memcpy(text + n, digits, static_cast<size_t>(d));
    out.Assign(text, n + d);
}

// The unit and n ("B2", "b12") centred in eight '*' ("***B2***"), in out.
void SizeMarker(char unit, int32_t n, OTSTR& out) {
    char text[1 + kMaxDecimalDigits];
    text[0] = unit;
    // The usual sizes, 1, 2 and 4 bytes, are one digit.
    int length = 2;
    if (n >= 0 && n < 10) {
        text[1] = static_cast<char>('0' + n);
    } else {
        length = 1 + DecimalDigits(n, text + 1);
    }
    // The eight '*' first, the text over their middle.
    char line[8 + sizeof text];
    memcpy(line, "********", 8);
    int before = length < 8 ? (8 - length) / 2 : 0;
    int after = length < 8 ? (8 - length + 1) / 2 : 0;
    memcpy(line + before, text, static_cast<size_t>(length));
    out.Assign(line, before + length + after);
}

}  // namespace

StructDefinition* IntegratedStructOf(const VariableDefinition* def) {
    if (def == nullptr || def->structDef == nullptr || def->baseType == kDeclStruct ||
        def->baseType == kDeclChoice) {
        return nullptr;
    }
    return def->structDef;
}

namespace {

// The blocks of objects of class T: from Blocks when of T's own size, else
// (a derived class) from the heap as new takes them.
template <typename T, typename Blocks>
struct ObjectBlocks {
    static void* New(size_t size) {
        void* block = size == sizeof(T) ? Blocks::Take() : nullptr;
        return block != nullptr ? block : ::operator new(size);
    }
    static void* NewOrNull(size_t size) noexcept {
        void* block = size == sizeof(T) ? Blocks::Take() : nullptr;
        return block != nullptr ? block : ::operator new(size, std::nothrow);
    }
    // size is the object's own, as delete passes it: a block of T's size
    // came from Take or from new of that size, and is kept without asking
    // the heap for its size.
    static void Delete(void* block, size_t size) noexcept {
        bool kept = size == sizeof(T) ? Blocks::KeepSized(block) : Blocks::Keep(block);
        if (!kept) ::operator delete(block);
    }
};

using ItemBlocks = ObjectBlocks<DecoderItem, BlockCache<sizeof(DecoderItem), 512>>;
using StructBlocks = ObjectBlocks<DecoderStruct, BlockCache<sizeof(DecoderStruct), 128>>;

}  // namespace

void* DecoderItem::operator new(size_t size) {
    return ItemBlocks::New(size);
}

void* DecoderItem::operator new(size_t size, const std::nothrow_t&) noexcept {
    return ItemBlocks::NewOrNull(size);
}

void DecoderItem::operator delete(void* block, size_t size) noexcept {
    ItemBlocks::Delete(block, size);
}

void* DecoderStruct::operator new(size_t size) {
    return StructBlocks::New(size);
}

void* DecoderStruct::operator new(size_t size, const std::nothrow_t&) noexcept {
    return StructBlocks::NewOrNull(size);
}

void DecoderStruct::operator delete(void* block, size_t size) noexcept {
    StructBlocks::Delete(block, size);
}

CVariableItem* DecoderStruct::NewItem() {
    return new (std::nothrow) DecoderItem(decoder);
}

CStruct* DecoderItem::NewStruct() {
    return new (std::nothrow) DecoderStruct(decoder);
}

int32_t DecoderItem::ReserveCount(int32_t declared, bool structs) {
    return decoder != nullptr ? decoder->ReserveElements(declared, structs) : declared;
}

DecoderItem::~DecoderItem() {
    FreeAttached();
}

void DecoderItem::FreeAttached() {
    if (attached == nullptr) return;
    ObArrayOf<DecoderItem>& integrated = attached->integrated;
    for (int i = 0; i < integrated.GetSize(); ++i) {
        delete integrated.GetAt(i);
    }
    integrated.RemoveAll();
    ObArrayOf<DecoderItem>& contents = attached->contents;
    for (int i = 0; i < contents.GetSize(); ++i) {
        delete contents.GetAt(i);
    }
    contents.RemoveAll();
}

DecoderItem::Attached* DecoderItem::Attach() {
    if (attached == nullptr) attached.reset(new (std::nothrow) Attached);
    return attached.get();
}

void DecoderItem::ClearAll() {
    Restart();
    clear();
}

bool DecoderItem::SizeIntegrated(int32_t n) {
    if (n < 0) return false;
    if (attached == nullptr && n == 0) return true;
    if (Attach() == nullptr) return false;
    ObArrayOf<DecoderItem>& integrated = attached->integrated;
    for (int i = n; i < integrated.GetSize(); ++i) {
        delete integrated.GetAt(i);
    }
    while (integrated.GetSize() > n) integrated.RemoveLast();
    while (integrated.GetSize() < n) {
        if (integrated.Add(nullptr) < 0) return false;
    }
    return true;
}

bool DecoderItem::SetIntegrated(int32_t index, DecoderItem* s) {
    if (attached == nullptr || index < 0 || index >= attached->integrated.GetSize()) return false;
    delete attached->integrated.GetAt(index);
    attached->integrated.SetAt(index, s);
    return true;
}

void DecoderItem::DropIntegrated(int32_t index) {
    if (attached == nullptr || index < 0 || index >= attached->integrated.GetSize()) return;
    delete attached->integrated.GetAt(index);
    attached->integrated.SetAt(index, nullptr);
}

bool DecoderItem::AddContent(DecoderItem* s) {
    return s != nullptr && Attach() != nullptr && attached->contents.Add(s) >= 0;
}

CVariableItem* DecoderItem::IntegratedAt(int32_t index) {
    if (attached == nullptr || index < 0 || index >= attached->integrated.GetSize()) return nullptr;
    return attached->integrated.GetAt(index);
}

CVariableItem* DecoderItem::ContentAt(int32_t index) {
    if (attached == nullptr || index < 0 || index >= attached->contents.GetSize()) return nullptr;
    return attached->contents.GetAt(index);
}

bool DecoderItem::HasIntegrated(bool /*any*/) {
    if (attached == nullptr) return false;
    for (int i = 0; i < attached->integrated.GetSize(); ++i) {
        if (attached->integrated.GetAt(i) != nullptr) return true;
    }
    return false;
}

void DecoderStruct::LocationText(OTSTR& out) const {
    Location(start, length, out);
}

bool DecoderStruct::MarkerText(OTSTR& out) const {
    out.Empty();
    if (!HasLocation()) out = kNoLocationMarker;
    return true;
}

DecoderStruct* DecoderItem::ReferredElement() const {
    if (addressSource == nullptr || Header().baseType != kDeclStruct || Header().count != 1) {
        return nullptr;
    }
    return dynamic_cast<DecoderStruct*>(StructAt(0));
}

bool DecoderItem::IsFailed() {
    const DecoderStruct* element = ReferredElement();
    return element != nullptr ? element->IsFailed() : failed;
}

bool DecoderItem::HasLocation() {
    const DecoderStruct* element = ReferredElement();
    return element != nullptr ? element->HasLocation() : start >= 0 && length >= 0;
}

void DecoderItem::LocationText(OTSTR& out) {
    if (const DecoderStruct* element = ReferredElement()) {
        element->LocationText(out);
    } else {
        Location(start, length, out);
    }
}

bool DecoderItem::MarkerText(OTSTR& out) {
    out.Empty();
    if (const DecoderStruct* element = ReferredElement()) return element->MarkerText(out);
    if (IntegratedStructOf(def) != nullptr) {
        out = ">";
        return true;
    }
    if (!HasLocation()) {
        out = kNoLocationMarker;
        return true;
    }
    int32_t base = Header().baseType;
    char text[32];
    switch (base) {
        case kDeclInt1:
        case kDeclInt2:
        case kDeclInt4:
        case kDeclUInt1:
        case kDeclUInt2:
        case kDeclUInt4: {
            int32_t bits = Header().IsBitField() ? Header().bitCount : UnitBits(base);
            int32_t total = Header().count * bits;
            int32_t high = Header().bitHigh;
            int32_t low = high - total + 1;  // the field's lowest bit
            // A field within one byte is drawn as that byte, bit by bit.
            if (total < 8 && low >= 0 && high / 8 == low / 8) {
                // The field's bits, highest first, from column 7 - high % 8.
                int32_t above = 7 - high % 8;
                uint32_t value = getAt_as_ulong(0);
                memcpy(text, "--------", 8);
                for (int32_t k = 0; k < total; ++k) {
                    text[above + k] = (value >> (total - 1 - k)) & 1u ? '1' : '0';
                }
                out.Assign(text, 8);
                return true;
            }
            if (total % 8 == 0) {
                SizeMarker('B', total / 8, out);
            } else {
                SizeMarker('b', total, out);
            }
            return true;
        }
        case kDeclOctet:
            SizeMarker('B', length, out);
            return true;
        case kDeclDouble:
        case kDeclPvoid:
            out = "?";
            return true;
        default:
            return true;
    }
}

bool DecoderItem::HasComment() {
    const AttributeSlots* slots = SlotsOf(def);
    if (slots != nullptr &&
        (slots->dumpOr != nullptr || slots->dumpEqual != nullptr || slots->dump != nullptr)) {
        return true;
    }
    StructDefinition* integratedType = IntegratedStructOf(def);
    return integratedType != nullptr && StructDump(integratedType) != nullptr;
}

namespace {

// The argument of most Dump calls, bound once.
const CallArguments& CurItemArgument() {
    static const CallArguments* const argument = [] {
        static CallArguments bound("curItem");
        bound.Bind();
        return &bound;
    }();
    return *argument;
}

// A Dump procedure's result as the comment.
bool CommentOf(const CVarient& result, OTSTR& out) {
    if (result.GetType() == kTypeOctet) return result.getString(out);
    return result.getText(out);
}

// Calls a Dump procedure with a "curItem" holder of element index in a frame
// of its own; the hook flag is off while it runs.
bool RunDump(ProtocolDecoder& decoder, Procedure* dump, CVariableItem& target, int32_t index,
             const CallArguments& args, CVarient& result) {
    ExecuteEnv& env = decoder.GetEnv();
    LentHolder holder(decoder);
    if (holder.get() == nullptr || !holder->PassAddressAs(target, index, "curItem")) return false;
    ItemFrame frame(env);
    if (frame.Open(holder.get()) <= 0) return false;
    bool flag = env.hookFlag;
    env.hookFlag = false;
    bool ok = env.Execute(dump, args, &result);
    env.hookFlag = flag;
    frame.Close();
    return ok;
}

bool CallDump(ProtocolDecoder& decoder, Procedure* dump, CVariableItem& target, int32_t index,
              const CallArguments& args, OTSTR& out) {
    CVarient result;
    return RunDump(decoder, dump, target, index, args, result) && CommentOf(result, out);
}

// CallDump of the item's own Dump procedure for element index. A quiet one
// gives the same result for the same value, so the results of its recent
// values are kept, as for a quiet call, and a kept one stands for the run.
bool CallItemDump(ProtocolDecoder& decoder, Procedure* dump, DecoderItem& item, int32_t index,
                  OTSTR& out) {
    QuietProcedures& quiet = decoder.GetQuietProcedures();
    ExecuteEnv& env = decoder.GetEnv();
    CallResults* kept = quiet.IsQuiet(item, index) ? quiet.ResultsOf(*dump) : nullptr;
    uint32_t word = 0;
    int32_t type = item.GetType();
    if (kept == nullptr || !item.GetWord(index, word) ||
        env.CallDepth() + kept->chain + 1 >= ExecuteEnv::kMaxCallDepth) {
        return CallDump(decoder, dump, item, index, CurItemArgument(), out);
    }
    if (const CVarient* result = kept->Find(&word, &type, 1)) {
        return env.returnValue.clone(*result) && CommentOf(*result, out);
    }
    // The procedure's kept frame takes the value as the holder would hand
    // it over; nothing of a quiet procedure reads the holder or the flag.
    CVarient result;
    bool flag = env.hookFlag;
    env.hookFlag = false;
    int ran = kept->RunInFrame(env, dump, &word, 1, result);
    env.hookFlag = flag;
    if (ran == 0 || (ran < 0 && !RunDump(decoder, dump, item, index, CurItemArgument(), result))) {
        return false;
    }
    kept->Keep(&word, &type, 1, result);
    return CommentOf(result, out);
}

}  // namespace

int DecoderItem::CommentText(int32_t index, OTSTR& out, const char* defaultText) {
    out.Empty();
    const char* itemName = GetItemName().GetBuffer(0);
    const AttributeSlots* slots = SlotsOf(def);
    EnumItemList* orList = slots != nullptr ? slots->dumpOr : nullptr;
    EnumItemList* equalList = slots != nullptr ? slots->dumpEqual : nullptr;
    if (orList != nullptr || equalList != nullptr) {
        int32_t value = 0;
        if (!getAt_as_long(index, value)) {
            if (decoder != nullptr) decoder->SetError(decodermsg::kLongValueFail, itemName);
            return 0;
        }
        bool found =
            orList != nullptr
                ? orList->TextOfValue(static_cast<uint32_t>(value), false, out, defaultText)
                : equalList->TextOfValue(static_cast<uint32_t>(value), true, out, defaultText);
        return found ? 1 : 2;
    }
    bool loaded = decoder != nullptr && decoder->GetProgram() != nullptr;
    if (Procedure* dump = slots != nullptr ? slots->dump : nullptr; dump != nullptr && loaded) {
        if (CallItemDump(*decoder, dump, *this, index, out)) return 1;
        failed = true;
        decoder->TakeEnvError();
        return 0;
    }
    StructDefinition* integratedType = IntegratedStructOf(def);
    Procedure* structDump = integratedType != nullptr ? StructDump(integratedType) : nullptr;
    if (structDump != nullptr && loaded) {
        bool ok;
        if (CVariableItem* kept = IntegratedAt(index)) {
            std::unique_ptr<DecoderItem> self(new (std::nothrow) DecoderItem(decoder));
            if (self == nullptr || !self->PassAddressAs(*kept, 0, "this")) {
                decoder->SetError(decodermsg::kDumpThisFail, itemName);
                return 0;
            }
            ok = CallDump(*decoder, structDump, *self, -1, CurItemArgument(), out);
        } else {
            OTSTR args;
            args.safeAppends("%s[%ld]", itemName, static_cast<long>(index));
            CallArguments pieces(args.GetBuffer(0));
            ok = CallDump(*decoder, structDump, *this, index, pieces, out);
        }
        if (ok) return 1;
        failed = true;
        decoder->TakeEnvError();
        return 0;
    }
    out = defaultText != nullptr ? defaultText : "";
    return 2;
}
