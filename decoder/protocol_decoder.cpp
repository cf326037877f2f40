// ProtocolDecoder: loading a protocol script and walking its struct
// definitions over a message. Tested by decoder/decoder_test.cpp.
#include "decoder/protocol_decoder.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <unordered_map>

#include "base/formatted_text.h"
#include "base/number_text.h"
#include "base/tracer.h"
#include "decoder/builtins.h"
#include "decoder/item_frame.h"
#include "pattern/script_lexer.h"
#include "runtime/run_time_stk.h"
#include "script/attribute_definition.h"
#include "script/call_arguments.h"
#include "script/compiler.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/program_listing.h"
#include "script/script_warnings.h"
#include "script/struct_item.h"
#include "types/item_support.h"
#include "types/struct_definition.h"
#include "types/variable_definition.h"
#include "values/cvarient.h"

using namespace decodermsg;

namespace {

// The text of a define: a string's own characters, or a number's text.
bool DefineText(Program& program, const char* name, OTSTR& out) {
    CVariableItem* value = program.FindNamedValue(name);
    if (value == nullptr) return false;
    if (value->GetType() == kTypeOctet) return value->getAt(0, out);
    return value->getTextAt(0, out);
}

// "[i]"
void AppendIndex(OTSTR& out, int32_t i) {
    char digits[kMaxDecimalDigits];
    out.AppendChar('[');
    out.Append(digits, DecimalDigits(i, digits));
    out.AppendChar(']');
}

// Names up to this length are put together by hand; longer ones still go
// through safeAppends, which refuses a text of 2,048 characters or more.
constexpr size_t kAssembledName = 1024;

// "name" for a single element, "name[i]" within an array, in out, which
// keeps its block from element to element.
void ElementName(const char* name, int32_t count, int32_t i, OTSTR& out) {
    out.Empty();
    if (strlen(name) > kAssembledName) {
        if (count < 2) {
            out.safeAppends("%s", name);
        } else {
            out.safeAppends("%s[%d]", name, i);
        }
        return;
    }
    out.Append(name);
    if (count >= 2) AppendIndex(out, i);
}

OTSTR ElementName(const char* name, int32_t count, int32_t i) {
    OTSTR out;
    ElementName(name, count, i, out);
    return out;
}

// The argument text of a member's Translate procedure:
// "'element',This.item[i],i", or without This "'element',item[i],i".
void TranslateArguments(const char* element, const char* itemName, bool withThis, int32_t i,
                        OTSTR& out) {
    if (strlen(element) > kAssembledName || strlen(itemName) > kAssembledName) {
        out.safeAppends(withThis ? "'%s',This.%s[%ld],%ld" : "'%s',%s[%ld],%ld", element, itemName,
                        static_cast<long>(i), static_cast<long>(i));
        return;
    }
    out.AppendChar('\'');
    out.Append(element);
    out.Append(withThis ? "',This." : "',");
    out.Append(itemName);
    AppendIndex(out, i);
    char digits[kMaxDecimalDigits];
    out.AppendChar(',');
    out.Append(digits, DecimalDigits(i, digits));
}

// The item nesting that the text route of an element's arguments may add
// while it stores them (the store, the path of the element).
constexpr int kElementNesting = 4;

// Whether "This.<item's name>" finds item among the direct members of
// element: no member before it bears its name, in any letter case.
bool FirstOfItsName(const CStruct& element, const CVariableItem& item) {
    const OTSTR& name = item.Header().GetName();
    for (int m = 0; m < element.members.GetSize(); ++m) {
        const CVariableItem* member = element.members.GetAt(m);
        if (member == &item) return true;
        if (member != nullptr && member->Header().GetName().GetLength() == name.GetLength() &&
            member->Header().GetName().Compare(name.GetBuffer(0), false)) {
            return false;
        }
    }
    return false;
}

// Whether a name reads back unchanged from between the quotes of a text
// literal: letters, digits, '_', '.', '[' and ']'.
bool PlainName(const char* name) {
    for (; *name != 0; ++name) {
        char c = *name;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '.' || c == '[' || c == ']')) {
            return false;
        }
    }
    return true;
}

// Whether the bytes that remain can hold every element of a member read
// without a procedure (whole integers, octets of a given length), so that no
// array is walked by a declared count the message cannot back.
bool ElementsFit(const CVariableItem& item, const ByteCursor& cursor, bool hasProcedure,
                 const int32_t* octetLength) {
    if (hasProcedure || item.Header().count < 2) return true;
    int64_t size = 0;
    switch (item.Header().baseType) {
        case kDeclInt1:
        case kDeclInt2:
        case kDeclInt4:
        case kDeclUInt1:
        case kDeclUInt2:
        case kDeclUInt4:
            if (item.Header().IsBitField()) return true;
            size = UnitBits(item.Header().baseType) / 8;
            break;
        case kDeclOctet:
            if (octetLength == nullptr) return true;
            size = *octetLength;
            break;
        default:
            return true;
    }
    int64_t left = static_cast<int64_t>(cursor.GetLength()) - cursor.GetPos();
    return size <= 0 || static_cast<int64_t>(item.Header().count) <= left / size;
}

// Whether a chain of struct members below def is more than levels deep;
// each struct is walked again only with more levels left than before.
bool NestsDeeper(const StructDefinition* def, int levels,
                 std::unordered_map<const StructDefinition*, int>& seen) {
    if (def == nullptr) return false;
    if (levels <= 0) return true;
    auto found = seen.find(def);
    if (found != seen.end() && found->second >= levels) return false;
    seen[def] = levels;
    for (int m = 0; m < def->GetMemberCount(); ++m) {
        const VariableDefinition* member = def->GetMember(m);
        if (member != nullptr && NestsDeeper(member->structDef, levels - 1, seen)) return true;
    }
    return false;
}

// Counts the structs and choices being decoded one inside the other.
class NestingGuard {
  public:
    explicit NestingGuard(int& depth) : depth(depth) { ++depth; }
    ~NestingGuard() { --depth; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

  private:
    int& depth;
};

}  // namespace

bool MoveCursor(ByteCursor& cursor, int32_t p) {
    if (p < 0 || p > cursor.GetCapacity()) return false;
    int32_t limit = cursor.GetLength();
    // SetPos refuses the readable end itself, so the limit is opened for the
    // move and one byte is stepped over to stand at the end.
    if (!cursor.SetLength(cursor.GetCapacity())) return false;
    bool ok;
    if (p < cursor.GetCapacity()) {
        ok = cursor.SetPos(p);
    } else {
        uint8_t byte;
        ok = p > 0 && cursor.SetPos(p - 1) && cursor.GetByte(byte);
    }
    cursor.SetLength(limit);
    return ok;
}

ProtocolDecoder::ProtocolDecoder() {
    spareHolders.reserve(kMaxSpareHolders);
    // The built-ins that need no frame are served without one.
    RegisterNatives(HookFunction, NativeBuiltin);
    // Their texts depend on their arguments alone (the enums stay as the
    // script declared them).
    RegisterPureNatives(HookFunction, [](const Procedure& procedure) {
        return TextBuiltinOf(procedure) != TextBuiltin::kNone;
    });
    RegisterIntegerReaders(HookFunction, BuiltinReader);
    RegisterQuietCalls(HookFunction, [](void* owner, const Procedure& procedure) {
        return static_cast<ProtocolDecoder*>(owner)->quietProcedures.ResultsOf(procedure);
    });
    RegisterCompiledCalls(HookFunction, [](void* owner, const Procedure& procedure) -> CallRunner* {
        return static_cast<ProtocolDecoder*>(owner)->compiledProcedures.CodeOf(procedure);
    });
    Reset(true);
}

LentHolder::LentHolder(ProtocolDecoder& decoder) : decoder(decoder), item(decoder.TakeHolder()) {}

LentHolder::~LentHolder() {
    decoder.GiveHolder(std::move(item));
}

std::unique_ptr<DecoderItem> ProtocolDecoder::TakeHolder() {
    if (spareHolders.empty())
        return std::unique_ptr<DecoderItem>(new (std::nothrow) DecoderItem(this));
    std::unique_ptr<DecoderItem> holder = std::move(spareHolders.back());
    spareHolders.pop_back();
    return holder;
}

void ProtocolDecoder::GiveHolder(std::unique_ptr<DecoderItem> holder) {
    if (holder == nullptr) return;
    holder->ClearAll();
    // The header fields that clear leaves must be as a new item has them;
    // an item still in use (not emptied) is deleted, as before.
    const VariableDefinition& h = holder->Header();
    bool asNew = holder->GetType() == kTypeNone && holder->def == nullptr && h.id == 0 &&
                 h.lowByteFirst && h.attributes == nullptr && h.structDef == nullptr &&
                 !h.byAddress && h.mapTag == -1 && h.memberLine == -1;
    if (asNew && spareHolders.size() < kMaxSpareHolders) spareHolders.push_back(std::move(holder));
}

ProtocolDecoder::~ProtocolDecoder() {
    env.reset(true, true);
    spareElements.clear();
    root.ClearAll();
    program.reset();
}

void ProtocolDecoder::SetError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    lastError = text.Get();
    recorded = true;
}

void ProtocolDecoder::TakeEnvError() {
    SetError("%s", env.GetLastError().GetBuffer(0));
}

void ProtocolDecoder::ClearRoot() {
    spareElements.clear();
    root.ClearAll();
    root.SetName("msg");
}

void ProtocolDecoder::Reset(bool clearError) {
    // The instances refer to the definitions of the program.
    ClearRoot();
    env.reset(true, false);
    compiledProcedures.Clear();
    quietProcedures.Clear();
    program.reset();
    ++programSerial;
    rootDef = nullptr;
    protocolName.Empty();
    titles[0] = "-";
    titles[1] = "-";
    if (clearError) lastError.Empty();
    env.InstallHooks(this, true, HookFunction, 0);
    env.SetHookArgument(nullptr);
}

bool ProtocolDecoder::LoadScript(const char* path, bool dumpListing) {
    warnings.clear();
    boundArguments.Clear();
    auto lexer = std::make_unique<ScriptLexer>();
    if (path == nullptr || !lexer->LoadFile(path, true)) {
        lastError = path == nullptr ? OTSTR("no script file") : lexer->GetLastError();
        return false;
    }
    Reset(true);
    if (!RegisterGrammar()) {
        lastError = "script grammar not registered";
        return false;
    }
    program.reset(new (std::nothrow) Program);
    ++programSerial;
    if (program == nullptr) {
        lastError = "new Program fail";
        return false;
    }
    program->SetName(path);
    OTSTR error;
    if (!CompileFile(*program, *lexer, true, error)) {
        Reset(false);
        lastError = error;
        return false;
    }
    CollectScriptWarnings(*program, warnings);
    if (dumpListing) WriteListing(*program, "Dump\\Program.txt", true);
    OTSTR name;
    if (DefineText(*program, "PROTOCOL_NAME", name)) protocolName = name;
    SetRoot(nullptr, rootTag);
    return true;
}

bool ProtocolDecoder::SetRoot(const char* name, int32_t tag) {
    rootTag = tag;
    rootDef = nullptr;
    if (program == nullptr) return false;
    OTSTR rootName;
    if (name != nullptr) {
        rootName = name;
    } else if (!DefineText(*program, "PROTOCOL_ROOT", rootName)) {
        return false;
    }
    rootDef = program->FindStruct(rootName.GetBuffer(0));
    return rootDef != nullptr;
}

int32_t ProtocolDecoder::ReserveElements(int32_t declared, bool structs) {
    const int64_t bits = structs ? 8 : 1;
    int64_t reserved = bitsLeft / bits;
    if (declared < reserved) reserved = declared;
    if (reserved < 1) reserved = declared > 0 ? 1 : 0;
    bitsLeft -= reserved * bits;
    return static_cast<int32_t>(reserved);
}

bool ProtocolDecoder::TakeChoiceElement() {
    if (bitsLeft < 8) return false;
    bitsLeft -= 8;
    return true;
}

bool ProtocolDecoder::GetTitle(int n, OTSTR& out) const {
    if (n < 0 || n > 1) return false;
    out = titles[n];
    return true;
}

bool ProtocolDecoder::SetTitle(int n, const char* text) {
    if (n < 0 || n > 1) return false;
    titles[n] = text != nullptr ? text : "";
    return true;
}

bool ProtocolDecoder::SetTitle(int n, const char* text, int length) {
    if (n < 0 || n > 1 || text == nullptr || length < 0) return false;
    titles[n].Assign(text, static_cast<int>(strnlen(text, static_cast<size_t>(length))));
    return true;
}

void ProtocolDecoder::SetExternalHandler(void* owner, ExternalHandler function) {
    hookOwner = owner;
    hookFunction = function;
}

bool ProtocolDecoder::SetExternalArguments(int count, void* const* args) {
    if (count < 0 || count > kMaxHookArgs || (count > 0 && args == nullptr)) {
        hookArgCount = 0;
        return false;
    }
    for (int i = 0; i < count; ++i) hookArgs[i] = args[i];
    hookArgCount = count;
    return true;
}

int ProtocolDecoder::HookFunction(void* owner, int argc, void** argv) {
    if (owner == nullptr || argc < 2 || argv == nullptr) return 0;
    auto* self = static_cast<ProtocolDecoder*>(owner);
    auto* env = static_cast<ExecuteEnv*>(argv[0]);
    auto* procedure = static_cast<Procedure*>(argv[1]);
    if (env == nullptr || procedure == nullptr) return 0;
    auto* cursor = argc > 2 ? static_cast<ByteCursor*>(argv[2]) : nullptr;
    int done = CallBuiltin(*self, *env, *procedure, cursor);
    if (done >= 0) return done;
    if (self->hookFunction != nullptr) {
        void* args[4] = {self, env, procedure, cursor};
        if (self->hookFunction(self->hookOwner, 4, args) != 0) return 1;
    }
    env->SetLastError(builtinmsg::kNotFound, procedure->name.GetBuffer(0));
    return 0;
}

bool ProtocolDecoder::RenewRoot() {
    ++renewals;
    size_t stale = 0;
    while (stale < spareElements.size() &&
           renewals - spareElements[stale].message > kSpareMessages) {
        ++stale;
    }
    spareElements.erase(spareElements.begin(),
                        spareElements.begin() + static_cast<std::ptrdiff_t>(stale));
    root.Restart();
    if (!root.Renew(rootDef, "msg", 1)) return false;
    for (int32_t i = 0; i < root.GetCount(); ++i) {
        if (!RenewElement(*root.StructAt(i), rootDef)) return false;
    }
    return true;
}

bool ProtocolDecoder::RenewElement(CStruct& element, StructDefinition* def) {
    auto* located = structCast.Cast(&element);
    if (located == nullptr || located->decoder != this) return false;
    located->Restart();
    int count = def->GetMemberCount();
    const OTSTR& name = element.GetName();
    const OTSTR& defName = def->GetName();
    if (element.def != def || element.members.GetSize() != count ||
        !element.GetDescription().IsEmpty() || name.GetLength() != defName.GetLength() ||
        memcmp(name.GetBuffer(), defName.GetBuffer(), static_cast<size_t>(name.GetLength())) != 0) {
        return element.init(def, nullptr);
    }
    bool implicitChoice = false;
    for (int m = 0; m < count; ++m) {
        CVariableItem* member = element.members.GetAt(m);
        VariableDefinition* memberDef = def->GetMember(m);
        if (member == nullptr) return false;
        if (!RenewLeaf(element, *member, memberDef) && !RenewMember(element, *member, memberDef)) {
            return false;
        }
        if (member->IsImplicitChoice()) implicitChoice = true;
    }
    element.hasImplicitChoice = implicitChoice;
    return true;
}

inline __attribute__((always_inline)) bool ProtocolDecoder::RenewLeaf(CStruct& owner,
                                                                      CVariableItem& member,
                                                                      VariableDefinition* def) {
    if (def == nullptr || def->baseType == kDeclStruct || def->baseType == kDeclChoice ||
        member.def != def) {
        return false;
    }
    auto* item = itemCast.Cast(&member);
    if (item == nullptr || item->decoder != this) return false;
    item->Restart();
    int64_t reserve = bitsLeft;
    if (item->RenewReserved(&owner, def, ReserveElements(def->count, false))) return true;
    bitsLeft = reserve;
    return false;
}

bool ProtocolDecoder::RenewMember(CStruct& owner, CVariableItem& member, VariableDefinition* def) {
    auto* item = itemCast.Cast(&member);
    if (item == nullptr || item->decoder != this || def == nullptr) return false;
    item->Restart();
    // A failed Renew has taken its reserve already: the create takes it again.
    int64_t reserve = bitsLeft;
    // A choice gives its alternatives back before it is renewed or made
    // again: they wait for the next message's choices.
    bool choice = def->baseType == kDeclChoice;
    if (choice) KeepChoiceElements(*item);
    // The item's reserve, as its ReserveCount asks it of this decoder.
    if (item->def == def &&
        item->RenewReserved(&owner, def,
                            ReserveElements(def->count, def->baseType == kDeclStruct))) {
        if (choice) {
            if (auto* holder = structCast.Cast(item->StructAt(0))) holder->Restart();
            return true;
        }
        if (def->baseType != kDeclStruct) return true;
        for (int32_t i = 0; i < item->GetCount(); ++i) {
            if (!RenewElement(*item->StructAt(i), def->structDef)) return false;
        }
        return true;
    }
    bitsLeft = reserve;
    return item->create(&owner, def);
}

void ProtocolDecoder::KeepChoiceElements(CVariableItem& choice) {
    CStruct* elements = choice.IsChoice() ? choice.StructAt(0) : nullptr;
    if (elements == nullptr) return;
    ObArrayOf<CVariableItem>& members = elements->members;
    while (members.GetSize() > 0) {
        auto* item = itemCast.Cast(members.GetAt(members.GetSize() - 1));
        if (item == nullptr || item->decoder != this) return;
        // The oldest element kept gives way.
        if (spareElements.size() >= kMaxSpareElements) spareElements.erase(spareElements.begin());
        spareElements.push_back({std::unique_ptr<DecoderItem>(item), renewals});
        members.RemoveLast();
        item->parent = nullptr;  // the struct that held it goes
    }
}

CVariableItem* ProtocolDecoder::NewChoiceElement(CStruct& elements, VariableDefinition* def) {
    for (size_t i = spareElements.size(); i-- > 0;) {
        if (spareElements[i].item->def != def) continue;
        std::unique_ptr<DecoderItem> spare = std::move(spareElements[i].item);
        spareElements.erase(spareElements.begin() + static_cast<std::ptrdiff_t>(i));
        int64_t reserve = bitsLeft;
        if (RenewMember(elements, *spare, def)) return spare.release();
        bitsLeft = reserve;
        break;
    }
    std::unique_ptr<CVariableItem> item(elements.NewItem());
    if (item == nullptr || !item->create(&elements, def)) return nullptr;
    return item.release();
}

bool ProtocolDecoder::Translate(bool keep, const uint8_t* bytes, int32_t& length) {
    // The last message's tree is renewed in place below where it can be;
    // every other way starts from an empty root.
    bool renew = program != nullptr && rootDef != nullptr && bytes != nullptr;
    if (!renew) ClearRoot();
    consumedBytes = 0;
    if (program == nullptr) {
        lastError = kNoScript;
        return false;
    }
    if (rootDef == nullptr && !SetRoot(nullptr, rootTag)) {
        lastError = kNoRoot;
        return false;
    }
    if (bytes == nullptr) return true;
    titles[0] = "-";
    titles[1] = "-";
    lastError.Empty();
    if (!env.Prepare(program.get())) {
        if (renew) ClearRoot();
        lastError = env.GetLastError();
        return false;
    }
    int32_t size =
        length >= 1 ? length : static_cast<int32_t>(strlen(reinterpret_cast<const char*>(bytes)));
    const int64_t reserve = 8 * (kSpareElements + static_cast<int64_t>(size));
    bitsLeft = reserve;
    if (renew && !RenewRoot()) {
        ClearRoot();
        bitsLeft = reserve;
        renew = false;
    }
    if (!renew && !root.create(rootDef, "msg", 1)) {
        std::unordered_map<const StructDefinition*, int> seen;
        if (NestsDeeper(rootDef, kMaxNesting, seen)) {
            SetError(kTooDeep, 0, "msg", kMaxNesting);
        } else {
            SetError("%-3d : Internal err, create 'msg' fail", 0);
        }
        return false;
    }
    keepIntegrated = keep ? 1 : 0;
    cursor.Attach(bytes, size);
    env.InstallHooks(this, false, HookFunction, 0);
    env.SetHookArgument(&cursor);
    startPos = cursor.GetPos();
    nesting = 0;
    bool ok = TranslateStruct(root, 0, cursor);
    // After a failure: where the walk stopped.
    consumedBytes = cursor.GetPos() - startPos;
    if (ok) length = cursor.GetPos();
    // The buffer belongs to the caller: nothing reads it after this call.
    // Built-ins called later (the Dump procedures of the views) get no
    // cursor and say that no message is being translated.
    cursor.Attach(nullptr, 0);
    env.SetHookArgument(nullptr);
    return ok;
}

inline __attribute__((always_inline)) bool ProtocolDecoder::ReadInteger(CVariableItem& item,
                                                                        int32_t i,
                                                                        ByteCursor& cursor) {
    // A reference (a "dynamic" parameter) reads in the byte order of the
    // item that owns the storage, not of the parameter's definition.
    const CVariableItem& owner = item.addressSource != nullptr ? *item.addressSource : item;
    bool lowFirst = owner.def != nullptr ? owner.def->lowByteFirst : true;
    const VariableDefinition& header = item.Header();
    int32_t bits = UnitBits(header.baseType);
    if (bits == 0) return false;
    bool bitField = header.IsBitField();
    const uint8_t* b = nullptr;
    if (!cursor.GetBytes(b, bits / 8, bitField && !header.bitGroupEnd)) return false;
    uint32_t word;
    switch (bits) {
        case 8:
            word = b[0];
            break;
        case 16:
            word = lowFirst ? uint32_t{b[0]} | uint32_t{b[1]} << 8 : uint32_t{b[0]} << 8 | b[1];
            break;
        default:
            word = lowFirst
                       ? uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                             uint32_t{b[3]} << 24
                       : uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
            break;
    }
    // A bit field takes its bits of the unit, as setBitData takes them.
    if (bitField) word = ExtractBits(word, bits, header.bitHigh, header.bitCount);
    return item.setAt(i, word);
}

inline __attribute__((always_inline)) bool ProtocolDecoder::ReadPlain(
    CVariableItem& item, ByteCursor& cursor, const VariableDefinition* def) {
    const AttributeSlots* slots = SlotsOf(def);
    int32_t base = item.Header().baseType;
    int32_t count = item.Header().count;
    // An integer base type is one of a storage unit.
    if (UnitBits(base) == 0 || (slots != nullptr && slots->translate != nullptr) || count < 1 ||
        item.GetCount() < count || !item.IsWritable() || IntegratedStructOf(def) != nullptr) {
        return false;
    }
    // An array is read here only where all its bytes are there, as
    // TranslateMember finds before it reads one; not one of bit fields.
    if (count > 1 && (item.Header().IsBitField() || !ElementsFit(item, cursor, false, nullptr))) {
        return false;
    }
    int32_t start = cursor.GetPos();
    // Into a writable element a read fails only where the bytes are not
    // there, and then moves nothing and stores nothing.
    for (int32_t i = 0; i < count; ++i) {
        if (!ReadInteger(item, i, cursor)) {
            MoveCursor(cursor, start);
            return false;
        }
    }
    recorded = false;
    if (auto* decoded = itemCast.Cast(&item)) {
        decoded->start = start;
        decoded->length = cursor.GetPos() - start;
    }
    return true;
}

bool ProtocolDecoder::ReadPlainInteger(CVariableItem& item, ByteCursor& cursor,
                                       const VariableDefinition* def) {
    return ReadPlain(item, cursor, def);
}

bool ProtocolDecoder::TranslateStruct(CVariableItem& instance, int32_t index, ByteCursor& cursor) {
    CStruct* element = instance.StructAt(index);
    if (element == nullptr) return false;
    auto* decoded = itemCast.Cast(&instance);
    auto* located = structCast.Cast(element);
    int32_t pos = cursor.GetPos();
    if (located != nullptr) {
        located->start = pos;
        located->length = -1;
        located->failed = false;
    }
    if (nesting >= kMaxNesting) {
        SetError(kTooDeep, pos, instance.GetItemName().GetBuffer(0), kMaxNesting);
        if (located != nullptr) located->failed = true;
        return false;
    }
    NestingGuard guard(nesting);
    if (decoded != nullptr && index == 0) decoded->start = pos;
    // The members read plain need no "this": it is lent to the first member
    // that does, for the rest of the struct.
    std::optional<LentHolder> holder;
    for (int m = 0; m < element->members.GetSize(); ++m) {
        CVariableItem* member = element->members.GetAt(m);
        if (member == nullptr) continue;
        if (ReadPlain(*member, cursor, member->def)) continue;
        if (!holder.has_value()) {
            holder.emplace(*this);
            if (holder->get() == nullptr || !(*holder)->PassAddressAs(instance, index, "this")) {
                SetError(kThisFail, pos);
                if (located != nullptr) located->failed = true;
                return false;
            }
        }
        StructDefinition* integrated = IntegratedStructOf(member->def);
        bool ok = integrated != nullptr
                      ? IntegrateMember(nullptr, holder->get(), *member, cursor, integrated)
                      : TranslateMember(nullptr, holder->get(), *member, cursor, nullptr);
        if (!ok) {
            if (located != nullptr) located->failed = true;
            return false;
        }
    }
    if (located != nullptr) located->length = cursor.GetPos() - pos;
    if (decoded != nullptr) decoded->length = cursor.GetPos() - decoded->start;
    return true;
}

bool ProtocolDecoder::RunTranslate(Procedure* proc, CVariableItem& item, int32_t i,
                                   const char* elementName, const char* args, bool assign) {
    CVarient result;
    bool called;
    if (args == nullptr) {
        ElementArguments element{elementName, static_cast<int32_t>(strlen(elementName)), &item, i};
        // Compiled code that does not run the call leaves it to the frame.
        ProcedureCode* code = compiledProcedures.CodeOf(*proc);
        bool wanted = assign && proc->returnType != kDeclVoid;
        int ran = code != nullptr ? code->Run(env, element, wanted ? &result : nullptr) : -1;
        called = ran >= 0 ? ran > 0 : env.Execute(proc, element, &result);
    } else {
        const CallArguments* bound = boundArguments.Find(args);
        called = bound != nullptr ? env.Execute(proc, *bound, &result)
                                  : env.Execute(proc, args, &result);
    }
    if (!called) {
        SetError(kCallFail, elementName, env.GetLastError().GetBuffer(0));
        return false;
    }
    if (!assign || proc->returnType == kDeclVoid) return true;
    return item.Header().IsBitField() ? item.setBitData(i, result) : item.setAt(i, result);
}

bool ProtocolDecoder::ContentStep(CVariableItem& item, int32_t i, const char* elementName,
                                  ByteCursor& cursor, int32_t p0, StructDefinition* contentType) {
    int32_t end = cursor.GetPos();
    OTSTR value;
    item.getAt(i, value);
    int32_t n = end - p0;
    const char* bytes = reinterpret_cast<const char*>(cursor.GetData());
    if (n < 0 || value.GetLength() < n ||
        (n > 0 && (bytes == nullptr || strncmp(value.GetBuffer(0), bytes + p0, n) != 0))) {
        SetError(kNotAccordant, elementName, "ContentOF");
        return false;
    }
    auto* owner = dynamic_cast<DecoderItem*>(&item);
    auto* content = new (std::nothrow) DecoderItem(this);
    if (owner == nullptr || content == nullptr || !content->create(contentType, "Content", 1) ||
        !owner->AddContent(content)) {
        delete content;
        SetError(kContentCreate, elementName);
        return false;
    }
    int32_t limit = cursor.GetLength();
    bool ok = cursor.SetLength(end) && MoveCursor(cursor, p0);
    content->start = p0;
    if (ok && !TranslateStruct(*content, 0, cursor)) {
        OTSTR previous = lastError;
        SetError(kContentPrefix, elementName, previous.GetBuffer(0));
        ok = false;
    }
    content->start = p0;
    content->length = cursor.GetPos() - p0;
    if (ok && cursor.GetPos() < end) {
        SetError(kContentUnused, elementName);
        ok = false;
    } else if (ok && cursor.GetPos() > end) {
        SetError(kContentOut, elementName);
        ok = false;
    }
    if (!ok) content->failed = true;
    cursor.SetLength(limit);
    MoveCursor(cursor, end);
    return ok;
}

bool ProtocolDecoder::TranslateMember(const char* name, CVariableItem* thisInstance,
                                      CVariableItem& item, ByteCursor& cursor,
                                      const int32_t* octetLength) {
    auto* decoded = itemCast.Cast(&item);
    int32_t itemStart = cursor.GetPos();
    if (decoded != nullptr) decoded->start = itemStart;
    const AttributeSlots* memberSlots = thisInstance != nullptr ? SlotsOf(item.def) : nullptr;
    if (!ElementsFit(item, cursor, memberSlots != nullptr && memberSlots->translate != nullptr,
                     octetLength)) {
        if (decoded != nullptr) {
            decoded->failed = true;
            decoded->length = -1;
        }
        SetError(kGetDataFail, cursor.GetPos(), item.GetItemName().GetBuffer(0),
                 item.Header().typeName.GetBuffer(0));
        return false;
    }
    Procedure* translate = nullptr;
    StructDefinition* contentType = nullptr;
    ItemFrame frame(env);
    if (thisInstance != nullptr) {
        if (const AttributeSlots* slots = SlotsOf(item.def)) {
            translate = slots->translate;
            contentType = slots->contentOf;
        }
        if (translate != nullptr) {
            int opened = frame.Open(thisInstance);
            if (opened == 0) {
                SetError(kNewStkFail, itemStart);
                return false;
            }
            if (opened < 0) {
                SetError(kPushFail, itemStart, env.GetLastError().GetBuffer(0));
                return false;
            }
        }
    }
    const char* itemName = item.GetItemName().GetBuffer(0);
    if (name == nullptr) name = itemName;
    int32_t count = item.Header().count;
    int32_t base = item.Header().baseType;
    bool ok = true;
    // The name of element `named` is in elementName, made only for an
    // element whose procedure or messages use it.
    TextStack::Text elementName(scratchTexts);
    int32_t named = -1;
    auto nameOf = [&](int32_t i) -> const char* {
        if (named != i) {
            ElementName(name, count, i, *elementName);
            named = i;
        }
        return elementName->GetBuffer(0);
    };
    // Integers and structs read without a procedure need no name.
    bool plain = translate == nullptr && (UnitBits(base) != 0 || base == kDeclStruct);
    // "This.<name>[i]" finds the element: its values are handed over as
    // such, without the text of the arguments (with binding off, the text
    // route is taken as before, and so it is where the stores of the text
    // route could refuse for their nesting).
    CStruct* thisElement = thisInstance != nullptr ? thisInstance->StructAt(0) : nullptr;
    bool byValues = translate != nullptr && thisElement != nullptr && CallArguments::BindingOn() &&
                    ItemNesting::Room(kElementNesting) && translate->TakesElementArguments() &&
                    FirstOfItsName(*thisElement, item);
    // The procedure's argument text of each element; a member without one
    // needs none, nor does a procedure that takes the element's values.
    TextStack::Text args(scratchTexts);
    int32_t last = 0;  // the element read last
    for (int32_t i = 0; ok && i < count; ++i) {
        last = i;
        const char* element = plain ? nullptr : nameOf(i);
        // No storage was reserved past what the message could hold.
        if (i >= item.GetCount()) {
            recorded = false;
            ok = false;
            break;
        }
        const char* argText = nullptr;
        if (translate != nullptr && !(byValues && PlainName(element))) {
            args->Empty();
            TranslateArguments(element, itemName, thisInstance != nullptr, i, *args);
            argText = args->GetBuffer(0);
        }
        recorded = false;
        switch (base) {
            case kDeclInt1:
            case kDeclInt2:
            case kDeclInt4:
            case kDeclUInt1:
            case kDeclUInt2:
            case kDeclUInt4:
                ok = translate != nullptr ? RunTranslate(translate, item, i, element, argText, true)
                                          : ReadInteger(item, i, cursor);
                break;
            case kDeclOctet:
                if (translate != nullptr) {
                    int32_t p0 = cursor.GetPos();
                    ok = RunTranslate(translate, item, i, element, argText, true);
                    if (ok && contentType != nullptr && item.Header().declaredType == kDeclMemo) {
                        ok = ContentStep(item, i, element, cursor, p0, contentType);
                    }
                } else if (octetLength != nullptr) {
                    TextStack::Text bytes(scratchTexts);
                    ok = cursor.GetString(*bytes, *octetLength) &&
                         item.setAt(i, bytes->GetBuffer(0), bytes->GetLength());
                } else {
                    SetError(kNoTranslate, cursor.GetPos(), element);
                    ok = false;
                }
                break;
            case kDeclDouble:
                if (translate != nullptr) {
                    ok = RunTranslate(translate, item, i, element, argText, true);
                } else {
                    SetError(kNoTranslate, cursor.GetPos(), element);
                    ok = false;
                }
                break;
            case kDeclStruct:
                ok = TranslateStruct(item, i, cursor);
                if (!ok) recorded = true;
                break;
            case kDeclChoice:
                if (translate != nullptr) {
                    ok = RunTranslate(translate, item, i, element, argText, false);
                } else {
                    SetError(kNoTranslate, cursor.GetPos(), element);
                    ok = false;
                }
                break;
            default:
                SetError(kNotSupported, cursor.GetPos(), element);
                ok = false;
                break;
        }
    }
    if (!ok) {
        if (decoded != nullptr) {
            decoded->failed = true;
            decoded->length = -1;
        }
        if (!recorded) {
            SetError(kGetDataFail, cursor.GetPos(), nameOf(last),
                     item.Header().typeName.GetBuffer(0));
        }
    }
    frame.Close();
    if (ok && decoded != nullptr) decoded->length = cursor.GetPos() - itemStart;
    return ok;
}

bool ProtocolDecoder::IntegrateMember(const char* name, CVariableItem* thisInstance,
                                      CVariableItem& item, ByteCursor& cursor,
                                      StructDefinition* integratedType) {
    const char* itemName = item.GetItemName().GetBuffer(0);
    auto* decoded = itemCast.Cast(&item);
    if (integratedType == nullptr) {
        SetError(kIntegratedDef, itemName);
        if (decoded != nullptr) decoded->failed = true;
        return false;
    }
    int32_t itemStart = cursor.GetPos();
    if (decoded != nullptr) decoded->start = itemStart;
    if (name == nullptr) name = itemName;
    int32_t count = item.Header().count;
    auto* typeItem = dynamic_cast<StructItem*>(integratedType);
    Procedure* integrate = typeItem != nullptr && typeItem->attributes != nullptr
                               ? typeItem->attributes->slots.integrate
                               : nullptr;
    if (integrate == nullptr) {
        SetError(kNoIntegrate, ElementName(name, count, 0).GetBuffer(0));
        if (decoded != nullptr) decoded->failed = true;
        return false;
    }
    if (decoded == nullptr || !decoded->SizeIntegrated(count)) {
        SetError(kIntegratedCreate, ElementName(name, count, 0).GetBuffer(0));
        return false;
    }
    ItemFrame frame(env);
    int opened = frame.Open(nullptr);
    if (opened <= 0) {
        if (opened == 0) {
            SetError(kNewStkFail, itemStart);
        } else {
            SetError(kPushFail, itemStart, env.GetLastError().GetBuffer(0));
        }
        decoded->failed = true;
        return false;
    }
    bool ok = true;
    OTSTR elementName;
    for (int32_t i = 0; ok && i < count; ++i) {
        ElementName(name, count, i, elementName);
        const char* element = elementName.GetBuffer(0);
        auto* integrated = new (std::nothrow) DecoderItem(this);
        if (integrated == nullptr || !integrated->create(integratedType, "This", 1)) {
            delete integrated;
            SetError(kIntegratedCreate, element);
            ok = false;
            break;
        }
        decoded->SetIntegrated(i, integrated);
        integrated->start = cursor.GetPos();
        if (!TranslateStruct(*integrated, 0, cursor)) {
            integrated->failed = true;
            ok = false;
            break;
        }
        integrated->length = cursor.GetPos() - integrated->start;
        frame.Add(integrated);
        if (thisInstance != nullptr) {
            thisInstance->SetName("Parent");
            frame.Add(thisInstance);
        }
        OTSTR args;
        args.safeAppends("'%s'", element);
        CVarient result;
        const CallArguments* bound = boundArguments.Find(args.GetBuffer(0));
        bool called = bound != nullptr ? env.Execute(integrate, *bound, &result)
                                       : env.Execute(integrate, args.GetBuffer(0), &result);
        frame.Remove(integrated);
        if (thisInstance != nullptr) {
            frame.Remove(thisInstance);
            thisInstance->SetName("this");
        }
        if (!called) {
            integrated->failed = true;
            integrated->length = -1;
            SetError(kCallFail, element, env.GetLastError().GetBuffer(0));
            ok = false;
        } else if (integrate->returnType == kDeclVoid) {
            SetError(kNoIntegratedValue, element);
            ok = false;
        } else if (!item.setAt(i, result)) {
            OTSTR text;
            result.getText(text);
            SetError(kSetResult, cursor.GetPos(), element, text.GetBuffer(0));
            ok = false;
        }
        if (keepIntegrated == 0) decoded->DropIntegrated(i);
    }
    frame.Close();
    if (!ok) {
        decoded->failed = true;
        return false;
    }
    decoded->length = cursor.GetPos() - itemStart;
    return true;
}
