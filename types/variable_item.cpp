// CVariableItem: creation from definitions, initialiser texts, access paths
// below an item, address clones, deep copies and bit fields; the helpers that
// CStruct shares. Tested by types/variable_item_test.cpp.
#include "types/variable_item.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>
#include <vector>

#include "base/number_text.h"
#include "base/same_bytes.h"
#include "base/tracer.h"
#include "types/cstruct.h"
#include "types/item_resolver.h"
#include "types/item_support.h"
#include "types/struct_definition.h"
#include "types/type_codes.h"
#include "values/expr_evaluator.h"
#include "values/value_type.h"

// ---------------------------------------------------------------- shared helpers

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int FirstNonBlank(const OTSTR& text, int from) {
    for (int i = from < 0 ? 0 : from; i < text.GetLength(); ++i) {
        if (!IsBlankChar(text.GetAt(i))) return i;
    }
    return -1;
}

OTSTR TrimmedText(const char* text) {
    OTSTR whole(text != nullptr ? text : "");
    int first = FirstNonBlank(whole, 0);
    if (first < 0) return OTSTR("");
    int end = whole.GetLength();
    while (end > first && IsBlankChar(whole.GetAt(end - 1))) --end;
    return whole.Mid(first, end - first);
}

bool UnwrapBraces(const char* text, OTSTR& inner) {
    OTSTR whole = TrimmedText(text);
    int last = whole.GetLength() - 1;
    if (last < 1 || whole.GetAt(0) != '{' || whole.GetAt(last) != '}') return false;
    inner = whole.Mid(1, last - 1);
    return true;
}

void NextPiece(const OTSTR& text, int& pos, OTSTR& piece) {
    int comma = text.FindOutside(',', "{[(\"'", "}])\"'", pos);
    int end = comma < 0 ? text.GetLength() : comma;
    // The piece, up to a zero byte inside it, without its outer blanks;
    // copied once, straight from the text.
    int first = pos < 0 || pos > end ? end : pos;
    const char* from = text.GetBuffer() + first;
    int n = static_cast<int>(strnlen(from, static_cast<size_t>(end - first)));
    int lead = 0;
    while (lead < n && IsBlankChar(from[lead])) ++lead;
    while (n > lead && IsBlankChar(from[n - 1])) --n;
    piece.Assign(from + lead, n - lead);
    pos = comma < 0 ? text.GetLength() : comma + 1;
}

// ---------------------------------------------------------------- local helpers

namespace {

using namespace itemmsg;

bool IsStructBase(int32_t base) {
    return base == kDeclStruct || base == kDeclChoice;
}

// Same type, or integers of the same width.
bool CompatibleTypes(int32_t a, int32_t b) {
    return a == b || (IsIntegerType(a) && IsIntegerType(b) && UnitBits(a) == UnitBits(b));
}

// Two struct types that cannot be told apart by the base code alone: both
// known and different.
bool DifferentStructs(const StructDefinition* a, const StructDefinition* b) {
    return a != nullptr && b != nullptr && a != b &&
           !a->GetName().Compare(b->GetName().GetBuffer(), false);
}

// "name[idx]" as the path messages write an item.
OTSTR ItemWithIndex(const OTSTR& name, int32_t idx) {
    OTSTR text(name);
    text.safeAppends("[%ld]", static_cast<long>(idx));
    return text;
}

uint32_t LowMask(int32_t bits) {
    return bits >= 32 ? 0xffffffffu : (1u << bits) - 1u;
}

}  // namespace

// ---------------------------------------------------------------- bits

uint32_t ExtractBits(uint32_t unit, int32_t width, int32_t bitHigh, int32_t bitCount,
                     bool fromTop) {
    if (width < 1 || width > 32 || bitCount < 1 || bitCount > width) return 0;
    if (bitHigh < 0 || bitHigh >= width) return 0;
    int32_t shift = fromTop ? width - bitHigh - bitCount : bitHigh - bitCount + 1;
    if (shift < 0 || shift > width - bitCount) return 0;
    return ((unit & LowMask(width)) >> shift) & LowMask(bitCount);
}

void BitsToText(uint32_t value, int32_t n, OTSTR& out) {
    char text[32];
    if (n > 32) n = 32;
    int32_t length = 0;
    for (int32_t bit = n - 1; bit >= 0; --bit) text[length++] = (value >> bit) & 1u ? '1' : '0';
    out.Assign(text, length);
}

// ---------------------------------------------------------------- lifetime

CVariableItem::CVariableItem() = default;

CVariableItem::~CVariableItem() {
    FreeStructs();
}

CVariableItem* CVariableItem::ReadOnlyItem() {
    // Never destroyed, so that it outlives every static that refers to it.
    static CVariableItem* item = [] {
        CVariableItem* made = new CVariableItem;
        made->SetWritable(false);
        made->locked = true;
        return made;
    }();
    return item;
}

CStruct* CVariableItem::NewStruct() {
    return new (std::nothrow) CStruct;
}

void CVariableItem::FreeStructs() {
    if (!IsStructBase(header.baseType) || IsReference()) return;
    for (int32_t i = 0; i < GetCount(); ++i) {
        void* element = nullptr;
        if (!getAt(i, element) || element == nullptr) continue;
        PvoidAt(i) = nullptr;
        delete static_cast<CStruct*>(element);
    }
}

void CVariableItem::SyncName() {
    // A name that already is the header's, as create leaves it, is not
    // copied again.
    const OTSTR& headerName = header.GetName();
    int length = headerName.GetLength();
    if (length == 0 || name.GetLength() != length ||
        !SameBytes(name.GetBuffer(), headerName.GetBuffer(), length)) {
        name = headerName;
    }
    description = header.GetDescription();
}

void CVariableItem::SetName(const char* text) {
    if (locked) return;
    renewedAsDefined = false;
    header.SetName(text != nullptr ? text : "");
    SyncName();
}

void CVariableItem::SetDescription(const char* text) {
    if (locked) return;
    renewedAsDefined = false;
    header.SetDescription(text != nullptr ? text : "");
    SyncName();
}

void CVariableItem::clear() {
    renewedAsDefined = false;
    if (locked || TreeInUse(this, nullptr)) return;
    FreeStructs();
    parent = nullptr;
    def = nullptr;
    structDef = nullptr;
    TVarient::free(true);
    header.reset();
    mapTag = -1;
    marker = ' ';
    implicitChoice = false;
    addressSource = nullptr;
}

// ---------------------------------------------------------------- creation

bool CVariableItem::MakeStructArray(StructDefinition* structType, int32_t elementCount) {
    if (structType == nullptr) return false;
    if (!TVarient::create(header.GetName().GetBuffer(), kTypePvoid, elementCount)) return false;
    for (int32_t i = 0; i < elementCount; ++i) {
        CStruct* element = NewStruct();
        if (element == nullptr) return false;
        if (!element->init(structType, nullptr) || !setAt(i, static_cast<void*>(element))) {
            delete element;
            return false;
        }
    }
    return true;
}

bool CVariableItem::MakeChoice(int32_t elementCount) {
    if (elementCount < 1) return false;
    if (!TVarient::create(header.GetName().GetBuffer(), kTypePvoid, elementCount)) return false;
    CStruct* holder = NewStruct();
    if (holder == nullptr) return false;
    if (!holder->init(nullptr, kChoiceHolderName) || !setAt(0, static_cast<void*>(holder))) {
        delete holder;
        return false;
    }
    implicitChoice = IsImplicitChoice();
    return true;
}

bool CVariableItem::create(CStruct* parentStruct, VariableDefinition* definition) {
    if (locked || definition == nullptr || !IsWritable() || InUse("create")) return false;
    clear();
    bool ok =
        header.set(definition->GetName().GetBuffer(), definition->baseType, definition->count);
    if (ok) {
        header.setTypeName(definition->typeName.GetBuffer(), definition->declaredType);
        mapTag = definition->mapTag;
        int32_t reserved = ReserveCount(header.count, header.baseType == kDeclStruct);
        if (header.baseType == kDeclStruct) {
            ok = MakeStructArray(definition->structDef, reserved);
        } else if (header.baseType == kDeclChoice) {
            ok = MakeChoice(header.count);
        } else {
            ok = TVarient::create(header.GetName().GetBuffer(), header.baseType, reserved);
            header.bitCount = definition->bitCount;
            header.bitHigh = definition->bitHigh;
            header.bitGroupEnd = definition->bitGroupEnd;
        }
    }
    if (!ok) {
        clear();
        return false;
    }
    SyncName();
    parent = parentStruct;
    def = definition;
    if (IsStructItem()) structDef = definition->structDef;
    return true;
}

bool CVariableItem::create(StructDefinition* structType, const char* itemName, int32_t count) {
    if (locked || structType == nullptr || !IsWritable() || InUse("create")) return false;
    clear();
    if (!header.set(itemName, kDeclStruct, count)) return false;
    header.setTypeName(structType->GetName().GetBuffer(), kDeclStruct);
    if (!MakeStructArray(structType, count)) {
        clear();
        return false;
    }
    SyncName();
    structDef = structType;
    return true;
}

bool CVariableItem::create(int32_t declaredCode, const char* itemName, int32_t count) {
    if (locked || !IsWritable()) return false;
    int32_t base = BaseCodeOf(declaredCode);
    if (base < 0 || base == kDeclStruct || (base == kDeclChoice && count != 1)) return false;
    if (InUse("create")) return false;
    clear();
    if (!header.set(itemName, base, count)) return false;
    header.setTypeName(TypeCodeText(declaredCode), declaredCode);
    bool ok = base == kDeclChoice ? MakeChoice(count)
                                  : TVarient::create(header.GetName().GetBuffer(), base, count);
    if (!ok) {
        clear();
        return false;
    }
    SyncName();
    return true;
}

// ---------------------------------------------------------------- reuse

struct CVariableItem::Recipe {
    const char* name;
    int nameLength;
    const char* typeName;
    int typeNameLength;
    int32_t baseType;
    int32_t declaredType;
    int32_t count;
    int32_t bitCount;
    int32_t bitHigh;
    bool bitGroupEnd;
    // The element structs' type of a struct item; null for a basic one.
    StructDefinition* structType;
    // The storage's element count that the create reserved.
    int32_t reserved;
};

namespace {

inline __attribute__((always_inline)) bool SameText(const OTSTR& text, const char* other,
                                                    int length) {
    return text.GetLength() == length && SameBytes(text.GetBuffer(0), other, length);
}

}  // namespace

// Whether the header is as the create of made left it: with made's fields,
// and the fields that no create sets at their defaults.
inline __attribute__((always_inline)) bool CVariableItem::HeaderAsMade(const Recipe& made) const {
    return header.baseType == made.baseType && header.declaredType == made.declaredType &&
           header.count == made.count && header.bitCount == made.bitCount &&
           header.bitHigh == made.bitHigh && header.bitGroupEnd == made.bitGroupEnd &&
           header.id == 0 && header.lowByteFirst && header.attributes == nullptr &&
           header.structDef == nullptr && !header.byAddress && header.mapTag == -1 &&
           header.memberLine == -1 && header.GetDescription().IsEmpty() &&
           SameText(header.GetName(), made.name, made.nameLength) &&
           SameText(header.typeName, made.typeName, made.typeNameLength);
}

// Inline in each Renew: the recipe's fields are read where they lie.
inline __attribute__((always_inline)) bool CVariableItem::RenewAs(const Recipe& made,
                                                                  bool headerKnown) {
    bool structs = made.baseType == kDeclStruct;
    bool choice = made.baseType == kDeclChoice;
    if (structs && made.structType == nullptr) return false;
    bool asMade = !locked &&
                  (structs || (choice && made.count == 1) || !IsStructBase(made.baseType)) &&
                  structDef == made.structType && (headerKnown || HeaderAsMade(made)) &&
                  GetType() == (structs || choice ? kTypePvoid : made.baseType) &&
                  GetCount() == made.reserved && description.IsEmpty() &&
                  SameText(name, made.name, made.nameLength) && !TreeInUse(this, nullptr);
    if (!asMade) return false;
    if (choice) return RenewChoiceHolder();
    if (structs) {
        // The element structs stay, each as the struct type's.
        for (int32_t i = 0; i < made.reserved; ++i) {
            CStruct* element = StructAt(i);
            if (element == nullptr || element->def != made.structType) return false;
        }
    }
    if (!(structs ? KeepElements() : ResetElements())) return false;
    marker = ' ';
    implicitChoice = false;
    addressSource = nullptr;
    return true;
}

bool CVariableItem::RenewChoiceHolder() {
    // The holder must be as MakeChoice made it, without alternatives.
    CStruct* holder = StructAt(0);
    if (holder == nullptr || holder->def != nullptr || holder->members.GetSize() != 0 ||
        !SameText(holder->GetName(), kChoiceHolderName, sizeof kChoiceHolderName - 1) ||
        !holder->GetDescription().IsEmpty() || !KeepElements()) {
        return false;
    }
    holder->hasImplicitChoice = false;
    // The value flag as the holder's store left it.
    setValueFlag(true);
    marker = ' ';
    implicitChoice = IsImplicitChoice();
    addressSource = nullptr;
    return true;
}

bool CVariableItem::Renew(CStruct* parentStruct, VariableDefinition* definition) {
    if (definition == nullptr || def != definition) return false;
    return RenewReserved(parentStruct, definition,
                         ReserveCount(definition->count, definition->baseType == kDeclStruct));
}

bool CVariableItem::RenewReserved(CStruct* parentStruct, VariableDefinition* definition,
                                  int32_t reserved) {
    // The usual case, a basic item that the last renewal from definition
    // found as made, checked without the recipe: RenewAs's checks of what
    // can have changed since, its header aside.
    if (IsStructBase(definition->baseType) || !renewedAsDefined || def != definition) {
        return RenewFromRecipe(parentStruct, definition, reserved);
    }
    const OTSTR& defName = definition->GetName();
    if (locked || structDef != nullptr || GetType() != definition->baseType ||
        GetCount() != reserved || !description.IsEmpty() ||
        !SameText(name, defName.GetBuffer(0), defName.GetLength()) || TreeInUse(this, nullptr) ||
        !ResetElements()) {
        return false;
    }
    marker = ' ';
    implicitChoice = false;
    addressSource = nullptr;
    parent = parentStruct;
    mapTag = definition->mapTag;
    return true;
}

bool CVariableItem::RenewFromRecipe(CStruct* parentStruct, VariableDefinition* definition,
                                    int32_t reserved) {
    bool structs = definition->baseType == kDeclStruct;
    bool shell = IsStructBase(definition->baseType);
    const OTSTR& defName = definition->GetName();
    // A struct item's header keeps the bit fields that clear leaves, and so
    // does a choice's; a choice has as many elements as it declares.
    Recipe made{defName.GetBuffer(0),
                defName.GetLength(),
                definition->typeName.GetBuffer(0),
                definition->typeName.GetLength(),
                definition->baseType,
                definition->declaredType,
                definition->count,
                shell ? -1 : definition->bitCount,
                shell ? 0 : definition->bitHigh,
                shell ? false : definition->bitGroupEnd,
                shell ? definition->structDef : nullptr,
                structs || !shell ? reserved : definition->count};
    // A header that the last renewal from definition found as made has not
    // changed since: every change of it clears the flag.
    if (!RenewAs(made, renewedAsDefined && def == definition)) return false;
    renewedAsDefined = def == definition;
    parent = parentStruct;
    mapTag = definition->mapTag;
    return true;
}

bool CVariableItem::Renew(StructDefinition* structType, const char* itemName, int32_t count) {
    if (structType == nullptr || itemName == nullptr || def != nullptr || parent != nullptr ||
        mapTag != -1) {
        return false;
    }
    const OTSTR& typeName = structType->GetName();
    Recipe made{itemName,
                static_cast<int>(strlen(itemName)),
                typeName.GetBuffer(0),
                typeName.GetLength(),
                kDeclStruct,
                kDeclStruct,
                count,
                -1,
                0,
                false,
                structType,
                count};
    return RenewAs(made, false);
}

bool CVariableItem::Renew(int32_t declaredCode, const char* itemName, int32_t count) {
    int32_t base = BaseCodeOf(declaredCode);
    const char* typeText = TypeCodeText(declaredCode);
    if (base < 0 || typeText == nullptr || itemName == nullptr || def != nullptr ||
        parent != nullptr || mapTag != -1) {
        return false;
    }
    Recipe made{itemName, static_cast<int>(strlen(itemName)),
                typeText, static_cast<int>(strlen(typeText)),
                base,     declaredCode,
                count,    -1,
                0,        false,
                nullptr,  ReserveCount(count, false)};
    return RenewAs(made, false);
}

bool CVariableItem::IsBlank() const {
    return typeid(*this) == typeid(CVariableItem) && !locked && !IsReference() &&
           GetType() == kTypeNone && def == nullptr && parent == nullptr && structDef == nullptr &&
           addressSource == nullptr && header.id == 0 && header.lowByteFirst &&
           header.attributes == nullptr && header.structDef == nullptr && !header.byAddress &&
           header.mapTag == -1 && header.memberLine == -1 && !TreeInUse(this, nullptr);
}

bool CVariableItem::ClearToBlank() {
    clear();
    return IsBlank();
}

// ---------------------------------------------------------------- copies

bool CVariableItem::OwnsInStructs(const void* target) const {
    return target != nullptr &&
           SearchTree(this, nullptr, [target](const void* object) { return object == target; });
}

bool CVariableItem::InUse(const char* operation) const {
    if (!TreeInUse(this, nullptr)) return false;
    TraceLine(kItemInUse, operation, header.GetName().GetBuffer());
    return true;
}

bool CVariableItem::clone(const CVariableItem& source, CStruct* parentStruct, bool keepName) {
    if (locked) return false;
    if (&source == this) {
        parent = parentStruct;
        return true;
    }
    if (InUse("clone")) return false;
    // The copies are made before anything of this item is freed: source may
    // lie inside the structs that this item owns.
    std::vector<CStruct*> copies;
    auto dropCopies = [&copies] {
        for (CStruct* s : copies) delete s;
    };
    if (IsStructBase(source.header.baseType)) {
        for (int32_t i = 0; i < source.GetCount(); ++i) {
            CStruct* from = source.StructAt(i);
            CStruct* to = nullptr;
            if (from != nullptr) {
                to = NewStruct();
                if (to == nullptr || !to->clone(*from)) {
                    delete to;
                    dropCopies();
                    return false;
                }
            }
            copies.push_back(to);
        }
    }
    std::vector<CStruct*> old;
    if (IsStructBase(header.baseType) && !IsReference()) {
        for (int32_t i = 0; i < GetCount(); ++i) old.push_back(StructAt(i));
    }
    OTSTR ownName(header.GetName());
    if (!TVarient::clone(source)) {
        dropCopies();
        return false;
    }
    parent = parentStruct;
    def = source.def;
    structDef = source.structDef;
    header.copyFrom(source.header);
    renewedAsDefined = false;
    mapTag = source.mapTag;
    marker = source.marker;
    implicitChoice = source.implicitChoice;
    addressSource = nullptr;
    if (!keepName) header.SetName(ownName.GetBuffer());
    SyncName();

    bool wasWritable = IsWritable();
    SetWritable(true);
    for (size_t i = 0; i < copies.size(); ++i) {
        if (!setAt(static_cast<int32_t>(i), static_cast<void*>(copies[i]))) delete copies[i];
    }
    SetWritable(wasWritable);
    setValueFlag(source.HasValue());
    for (CStruct* s : old) delete s;
    return true;
}

bool CVariableItem::PassAddressClone(CVariableItem& source, int32_t idx,
                                     const VariableDefinition* definition) {
    return PassAddress(source, idx, definition, nullptr);
}

bool CVariableItem::PassAddressAs(CVariableItem& source, int32_t idx, const char* name) {
    return PassAddress(source, idx, nullptr, name != nullptr ? name : "");
}

bool CVariableItem::PassAddress(CVariableItem& source, int32_t idx,
                                const VariableDefinition* definition, const char* rename) {
    if (locked) return false;
    // This item's storage is freed first, so source must not live in it.
    if (&source == this || (!IsReference() && (Owns(&source) || Owns(source.addressSource)))) {
        TraceLine(kPassSelf, header.GetName().GetBuffer());
        return false;
    }
    if (InUse("PassAddressClone")) return false;
    const char* sourceName = source.header.GetName().GetBuffer();
    if (definition != nullptr) {
        const char* targetName = definition->GetName().GetBuffer();
        if (definition->IsBitField()) TraceLine(kPassBitsDef, targetName, sourceName);
        // A dynamic parameter takes whatever it is given.
        if (definition->baseType != kDeclDynamic) {
            bool sameStruct = !DifferentStructs(definition->structDef, source.structDef);
            if (idx < 0) {
                if (source.header.baseType != definition->baseType ||
                    source.header.count != definition->count || !sameStruct) {
                    TraceLine(kPassSizeType, targetName, sourceName);
                    return false;
                }
            } else if (!CompatibleTypes(source.header.baseType, definition->baseType) ||
                       !sameStruct) {
                TraceLine(kPassCompatible, targetName, sourceName);
                return false;
            }
        }
    } else if (source.header.IsBitField()) {
        TraceLine(kPassBitsSource, sourceName);
    }
    if (idx >= 0 && (idx >= source.header.count || idx >= source.GetCount() ||
                     !IsValidValueType(source.GetType()))) {
        TraceLine("%s", kPassRange);
        return false;
    }

    clear();
    def = definition != nullptr ? const_cast<VariableDefinition*>(definition) : source.def;
    parent = source.parent;
    structDef = source.structDef;
    mapTag = source.mapTag;
    // A definition gives the texts, but for a dynamic one the type name; a
    // new name takes the place of the source's.
    header.copyFrom(source.header, definition == nullptr && rename == nullptr);
    if (rename != nullptr) {
        header.SetName(rename);
        header.GetDescription() = source.header.GetDescription();
        header.typeName = source.header.typeName;
    }
    marker = source.marker;
    implicitChoice = source.implicitChoice;
    if (idx >= 0) header.count = 1;
    // SyncName below gives the name and description.
    if (!TVarient::PassAddressClone(source, idx, false)) {
        clear();
        return false;
    }
    if (definition != nullptr) {
        header.GetName() = definition->GetName();
        header.GetDescription() = definition->GetDescription();
        if (definition->baseType != kDeclDynamic) {
            header.typeName = definition->typeName;
            header.declaredType = definition->declaredType;
        } else {
            header.typeName = source.header.typeName;
        }
    }
    SyncName();
    addressSource =
        source.IsReference() && source.addressSource != nullptr ? source.addressSource : &source;
    return true;
}

// ---------------------------------------------------------------- initialisers

bool CVariableItem::CopyElementsFrom(const CVariableItem& source) {
    int32_t n = GetCount() < source.GetCount() ? GetCount() : source.GetCount();
    for (int32_t i = 0; i < n; ++i) {
        if (IsStructItem()) {
            CStruct* to = StructAt(i);
            CStruct* from = source.StructAt(i);
            if (to == nullptr || from == nullptr || !to->clone(*from)) return false;
            continue;
        }
        CVarient value;
        if (!source.getAt(i, value) || !setAt(i, value)) return false;
    }
    return true;
}

bool CVariableItem::SetsFromVariable(const char* text, ItemResolver* resolver) {
    OTSTR variable = TrimmedText(text);
    int32_t foundIdx = -1;
    CVariableItem* found = resolver->FindVariable(variable.GetBuffer(), &foundIdx);
    if (found == nullptr) return false;
    bool sameType = found->header.count == header.count &&
                    found->header.baseType == header.baseType &&
                    (header.baseType != kDeclStruct ||
                     found->header.typeName.Compare(header.typeName.GetBuffer(), false));
    if (!sameType) {
        TraceLine("%s", kSetsArrayType);
        return false;
    }
    if (foundIdx != -1) return false;
    if (found == this) return true;
    // A by-address view keeps referring to its owner: the values go into the
    // shared storage instead of replacing it with a copy.
    if (IsReference()) return CopyElementsFrom(*found);
    // The copy takes the source's values, not its protection.
    if (!clone(*found, parent, false)) return false;
    SetWritable(true);
    return true;
}

bool CVariableItem::sets(int32_t idx, const char* text, ItemResolver* resolver) {
    int32_t n = GetCount();
    if (locked || !IsWritable() || text == nullptr || idx < -1 || idx >= n) return false;
    if (GetType() == kTypeNone) return false;
    ItemNesting nesting;
    if (nesting.TooDeep()) {
        TraceLine(kSetsTooDeep, text);
        return false;
    }

    // One element from a plain text (no separator, bracket, quote or blank
    // in it): the text is its own piece.
    if ((idx >= 0 || n == 1) && !IsStructItem() && text[0] != 0 &&
        text[strcspn(text, ",{}[]()\"' \t\r\n")] == 0) {
        ItemPin pin(this);
        return SetElement(idx >= 0 ? idx : 0, text, nullptr, resolver);
    }

    OTSTR work(text);
    int32_t first = idx;
    int32_t last = idx;
    if (idx == -1) {
        first = 0;
        last = n - 1;
        if (n >= 2 && !UnwrapBraces(text, work)) {
            return resolver != nullptr && SetsFromVariable(text, resolver);
        }
    }

    // The evaluator's callbacks may reach this item: while the elements are
    // set, nothing may free or replace its structs.
    ItemPin pin(this);
    int pos = 0;
    for (int32_t i = first; i <= last; ++i) {
        if (pos >= work.GetLength()) {
            TraceLine(kSetsNoEnough, work.GetBuffer());
            return false;
        }
        OTSTR piece;
        NextPiece(work, pos, piece);
        if (i == last) {
            int extra = FirstNonBlank(work, pos);
            if (extra >= 0) {
                TraceLine(kSetsExtra, work.GetBuffer(), extra);
                return false;
            }
        }
        if (IsStructItem()) {
            CStruct* element = StructAt(i);
            if (element == nullptr) {
                TraceLine(kSetsNullStruct, header.GetName().GetBuffer(), static_cast<int>(i));
                return false;
            }
            if (!element->sets(piece.GetBuffer(), resolver)) return false;
            continue;
        }
        if (!SetElement(i, piece.GetBuffer(), nullptr, resolver)) return false;
    }
    return true;
}

bool CVariableItem::SetElement(int32_t i, const char* piece, ExprNode* tree,
                               ItemResolver* resolver) {
    // A text literal is stored from the value kept in its leaf, which is
    // what evaluating the leaf would copy.
    const CVarient* literal = tree != nullptr && tree->IsLeaf() ? tree->literal.get() : nullptr;
    if (literal != nullptr && literal->GetType() == kTypeOctet && literal->data != nullptr &&
        !header.IsBitField()) {
        if (setAt(i, *literal)) return true;
        TraceLine(kSetsStore, header.GetName().GetBuffer(), piece);
        return false;
    }
    ExprEvaluator evaluator;
    if (resolver != nullptr) resolver->BindEvaluator(evaluator);
    // A tree of integers is computed in machine words where it can be: the
    // word that the value would hold, stored as setAt stores an integer.
    uint32_t word = 0;
    int32_t type = kTypeNone;
    if (tree != nullptr && !header.IsBitField() && evaluator.EvaluateInteger(tree, word, type)) {
        if (setAt(i, word)) return true;
        TraceLine(kSetsStore, header.GetName().GetBuffer(), piece);
        return false;
    }
    CVarient value;
    bool calculated = tree != nullptr ? evaluator.CalcTree(tree, piece, value, false)
                                      : evaluator.CalcValue(piece, value, false);
    if (!calculated) {
        TraceLine(kSetsCalculate, piece, evaluator.GetLastError().GetBuffer());
        return false;
    }
    bool stored = header.IsBitField() ? setBitData(i, value) : setAt(i, value);
    if (!stored) {
        TraceLine(kSetsStore, header.GetName().GetBuffer(), piece);
        return false;
    }
    return true;
}

bool CVariableItem::IsSingleValue(const char* text) {
    if (text == nullptr || text[0] == 0) return false;
    OTSTR work(text);
    int pos = 0;
    OTSTR piece;
    NextPiece(work, pos, piece);
    return FirstNonBlank(work, pos) < 0 && piece.Compare(text);
}

bool CVariableItem::SetsFromTree(ExprNode* tree, const char* text, ItemResolver* resolver) {
    if (locked || !IsWritable() || text == nullptr || GetCount() != 1 || IsStructItem())
        return false;
    if (GetType() == kTypeNone) return false;
    ItemNesting nesting;
    if (nesting.TooDeep()) {
        TraceLine(kSetsTooDeep, text);
        return false;
    }
    ItemPin pin(this);
    return SetElement(0, text, tree, resolver);
}

bool CVariableItem::setBitData(int32_t idx, const CVarient& unit) {
    if (!header.IsBitField()) {
        TraceLine(kBitsNotField, header.GetName().GetBuffer());
        return false;
    }
    uint32_t word = 0;
    if (!unit.getUInt32(word)) {
        TraceLine("%s", kBitsData);
        return false;
    }
    return setAt(idx,
                 ExtractBits(word, UnitBits(header.baseType), header.bitHigh, header.bitCount));
}

// ---------------------------------------------------------------- paths

CVariableItem* CVariableItem::GetItem(int32_t idx, const char* path, int32_t* outIdx,
                                      ItemResolver* resolver) {
    if (path == nullptr || FirstNonBlank(OTSTR(path), 0) < 0) {
        if (outIdx != nullptr) *outIdx = idx;
        return this;
    }
    const char* itemName = header.GetName().GetBuffer();
    if (!IsStructItem()) {
        TraceLine(kItemPathIllegal, itemName, path, path,
                  ItemWithIndex(header.GetName(), idx).GetBuffer());
        return nullptr;
    }
    CStruct* element = StructAt(idx);
    if (element == nullptr) {
        TraceLine(kItemPathInvalid, itemName, path,
                  ItemWithIndex(header.GetName(), idx).GetBuffer());
        return nullptr;
    }
    return element->GetItem(path, outIdx, resolver);
}

// ---------------------------------------------------------------- structs and choices

int CVariableItem::GetStructItemCount(bool flatten) const {
    CStruct* element = StructAt(0);
    return element != nullptr ? element->GetCount(flatten) : 0;
}

CVariableItem* CVariableItem::GetStructItemAt(int index, bool flatten) const {
    CStruct* element = StructAt(0);
    return element != nullptr ? element->GetItemAt(index, flatten) : nullptr;
}

CVariableItem* CVariableItem::GetItemByMapTag(int32_t tag, bool flatten) const {
    CStruct* element = StructAt(0);
    return element != nullptr ? element->GetItemByMapTag(tag, flatten) : nullptr;
}

CVariableItem* CVariableItem::GetItemByName(const char* itemName, bool caseSensitive,
                                            bool flatten) const {
    CStruct* element = StructAt(0);
    return element != nullptr ? element->GetItemByName(itemName, caseSensitive, flatten) : nullptr;
}

bool CVariableItem::SetChosen(CVariableItem* item, int32_t tag, char markerChar) {
    if (locked || item == nullptr || !IsChoice()) return false;
    CStruct* holder = StructAt(0);
    // The alternative must not contain the choice: the tree would become a
    // cycle.
    if (holder == nullptr || item->Owns(this)) return false;
    int32_t oldTag = item->mapTag;
    item->mapTag = tag;
    if (!holder->add(item)) {
        item->mapTag = oldTag;
        return false;
    }
    if (IsImplicitChoice()) item->marker = '~';
    if (markerChar != 0) item->marker = markerChar;
    return true;
}

void CVariableItem::SetMarker(char c) {
    if (locked) return;
    marker = c;
    if (IsReference() && addressSource != nullptr) addressSource->marker = c;
}

// ---------------------------------------------------------------- names

OTSTR CVariableItem::GetDisplayName() const {
    OTSTR text;
    text.Assign("", 0);
    GetDisplayName(text);
    return text;
}

void CVariableItem::GetDisplayName(OTSTR& text) const {
    text.Empty();
    text.Append(header.GetName());
    char suffix[kMaxDisplaySuffix];
    int n = DisplaySuffix(suffix);
    if (n > 0) text.Append(suffix, n);
}

int CVariableItem::DisplaySuffix(char* out) const {
    int n = 0;
    if (header.count >= 2) {
        out[n++] = '[';
        n += DecimalDigits(header.count, out + n);
        out[n++] = ']';
    } else if (header.typeName.GetLength() == 6 && header.typeName.Compare("Choice", false)) {
        out[n++] = '[';
        out[n++] = ']';
    }
    if (header.IsBitField()) {
        // ":%02d_%d"
        out[n++] = ':';
        if (header.bitHigh >= 0 && header.bitHigh < 10) out[n++] = '0';
        n += DecimalDigits(header.bitHigh, out + n);
        out[n++] = '_';
        n += DecimalDigits(header.bitCount, out + n);
    }
    return n;
}

OTSTR CVariableItem::GetQualifiedName() const {
    OTSTR text;
    text.Assign("", 0);
    if (parent != nullptr) {
        text.Append(parent->GetName());
        text.AppendChar('.');
    }
    text.Append(header.GetName());
    return text;
}

// ---------------------------------------------------------------- decoder hooks

void CVariableItem::LocationText(OTSTR& out) {
    out.Assign("", 0);
}

bool CVariableItem::IsFailed() {
    return false;
}

bool CVariableItem::HasLocation() {
    return true;
}

bool CVariableItem::MarkerText(OTSTR& out) {
    out.Assign("", 0);
    return true;
}

bool CVariableItem::HasComment() {
    return false;
}

int CVariableItem::CommentText(int32_t /*index*/, OTSTR& out, const char* /*defaultText*/) {
    out.Assign("", 0);
    return 0;
}

bool CVariableItem::HasIntegrated(bool /*any*/) {
    return false;
}
