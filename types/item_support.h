// What types/variable_item.cpp and types/cstruct.cpp share: the message
// texts of the instances (kept together so that they can be checked against
// what users see), the nesting and in-use guards, the walk over an instance
// tree and the initialiser splitting. Tested by types/variable_item_test.cpp.
#pragma once

#include <vector>

#include "base/otstr.h"
#include "base/tracer.h"
#include "types/cstruct.h"
#include "types/variable_item.h"

namespace itemmsg {

// CVariableItem::sets
constexpr const char kSetsArrayType[] = "CVariableItem::sets() fail, array type should be same !";
constexpr const char kSetsNoEnough[] = "CVariableItem::sets() fail, '%s' no enough params !";
constexpr const char kSetsExtra[] = "CVariableItem::sets() fail, '%s' extra chars found at=%d !";
constexpr const char kSetsNullStruct[] = "CVariableItem::sets() fail, %s[%d] is a NULL struct !";
constexpr const char kSetsCalculate[] = "CVariableItem::sets() calculate '%s' fail, %s !";
constexpr const char kSetsStore[] = "VariableItem::sets() fail, %s <- %s !";
constexpr const char kSetsTooDeep[] = "CVariableItem::sets() fail, '%s' nested too deep !";

// CStruct::sets
constexpr const char kStructSetsNoEnough[] = "CStruct::sets() fail, '%s' no enough params !";
constexpr const char kStructSetsExtra[] = "CStruct::sets() fail, '%s' extra chars found at=%d !";
constexpr const char kStructSetsType[] = "CStruct::sets() fail, struct type should be same !";
constexpr const char kStructSetsTooDeep[] = "CStruct::sets() fail, '%s' nested too deep !";

// CStruct::init
constexpr const char kStructInitTooDeep[] = "CStruct::init('%s') fail, struct nested too deep !";

// Operations refused while an object they would free or replace is in use
constexpr const char kItemInUse[] = "CVariableItem::%s() fail, '%s' is in use !";
constexpr const char kStructInUse[] = "CStruct::%s() fail, '%s' is in use !";

// Access paths
constexpr const char kPathSplit[] = "CStruct::GetItem('%s') fail, varstring split fail !";
constexpr const char kPathNotFound[] =
    "CStruct::GetItem('%s') fail, '%s' not found in struct '%s' !";
constexpr const char kPathLastIdent[] =
    "CStruct::GetItem('%s') fail, '(param)' or '[idx]' can not be used in last Ident when "
    "lastIdx=NULL";
constexpr const char kPathChoiceIdx[] = "CStruct::GetItem('%s') fail, Choice idx invalid !";
constexpr const char kPathNotChoice[] =
    "CStruct::GetChoiceItem('%s') fail, '(' and ')' can only be used to T_PCHOICE member !";
constexpr const char kPathChoiceParam[] =
    "CStruct::GetChoiceItem('%s') fail, '()' is not support now !";
constexpr const char kPathCalculate[] = "CStruct::GetItem('%s') calculate '%s' fail, %s !";
constexpr const char kPathRange[] = "CStruct::GetItem('%s') idx out of range !";
constexpr const char kPathIllegalRest[] =
    "CVariableItem::GetItem('%s') fail, illegal '%s' after '%s' !";
constexpr const char kPathInvalidElement[] = "CStruct::GetItem('%s') fail, '%s[%ld]' invalid !";
constexpr const char kPathTooDeep[] = "CStruct::GetItem('%s') fail, nested too deep !";
constexpr const char kItemPathIllegal[] =
    "CVariableItem::GetItem('%s.%s') fail, illegal '%s' after '%s' !";
constexpr const char kItemPathInvalid[] = "CVariableItem::GetItem('%s.%s') fail, '%s' invalid !";

// PassAddressClone
constexpr const char kPassBitsDef[] =
    "CVariableItem::PassAddressClone() warning, %s <- '%s' bits definition for PassAddress is not "
    "commended !";
constexpr const char kPassBitsSource[] =
    "CVariableItem::PassAddressClone() warning, '%s' bits definition for PassAddress is not "
    "commended !";
constexpr const char kPassSizeType[] =
    "CVariableItem::PassAddressClone() fail, %s <- '%s' definition size and type should be same !";
constexpr const char kPassCompatible[] =
    "CVariableItem::PassAddressClone() fail, %s <- '%s' definition type should be compatiable !";
constexpr const char kPassRange[] = "PassAddressClone fail, nIndex out of range !";
constexpr const char kPassSelf[] =
    "CVariableItem::PassAddressClone() fail, '%s' can not refer to itself !";

// Bit fields
constexpr const char kBitsNotField[] =
    "CVariableItem::setBitData() fail, %s is not a VariableItem with bits definition !";
constexpr const char kBitsData[] = "CVariableItem::setBitData() fail, get bits data error !";

}  // namespace itemmsg

// Formats one line (cut at 1023 characters) and writes it to the trace log.

// Counts the nested calls of the initialiser, path and struct-building code.
// The evaluator's callbacks re-enter that code, and struct definitions can
// refer to themselves, so every such call holds one of these and gives up
// when TooDeep().
class ItemNesting {
  public:
    static constexpr int kMaxDepth = 128;
    ItemNesting() { ++depth; }
    ~ItemNesting() { --depth; }
    ItemNesting(const ItemNesting&) = delete;
    ItemNesting& operator=(const ItemNesting&) = delete;
    bool TooDeep() const { return depth > kMaxDepth; }
    // Whether levels more nested calls would still be allowed here.
    static bool Room(int levels) { return depth + levels <= kMaxDepth; }

  private:
    static inline int depth = 0;
};

// The items and structs whose initialiser or path code is running. The
// evaluator's callbacks can reach any variable, so an operation that would
// free or replace such an object, directly or through its owner, refuses.
class ItemPin {
  public:
    explicit ItemPin(const void* object) { pinned.push_back(object); }
    ~ItemPin() { pinned.pop_back(); }
    ItemPin(const ItemPin&) = delete;
    ItemPin& operator=(const ItemPin&) = delete;
    static bool IsPinned(const void* object) {
        for (const void* p : pinned) {
            if (p == object) return true;
        }
        return false;
    }
    static bool AnyPinned() { return !pinned.empty(); }

  private:
    static inline std::vector<const void*> pinned;
};

// Whether match(object) holds for an object of the tree below item or s:
// the root, the element structs that items own (references own none) and
// their members, at any depth.
// A stack that holds its first entries in place and only the rest on the
// heap: most trees searched are small and new.
template <typename T>
class TreeStack {
  public:
    void push_back(T value) {
        if (count < kInPlace) {
            inPlace[count++] = value;
        } else {
            more.push_back(value);
        }
    }
    bool empty() const { return count == 0; }
    T back() const { return more.empty() ? inPlace[count - 1] : more.back(); }
    void pop_back() {
        if (more.empty()) {
            --count;
        } else {
            more.pop_back();
        }
    }

  private:
    static constexpr int kInPlace = 32;
    T inPlace[kInPlace];
    int count = 0;
    std::vector<T> more;  // entries past the first kInPlace, latest last
};

template <typename Match>
bool SearchTree(const CVariableItem* item, const CStruct* s, Match match) {
    // An item that owns no structs is its whole tree.
    if (s == nullptr && item != nullptr && (!item->IsStructItem() || item->IsReference())) {
        return match(static_cast<const void*>(item));
    }
    TreeStack<const CVariableItem*> items;
    TreeStack<const CStruct*> structs;
    if (item != nullptr) items.push_back(item);
    if (s != nullptr) structs.push_back(s);
    while (!items.empty() || !structs.empty()) {
        if (!structs.empty()) {
            const CStruct* st = structs.back();
            structs.pop_back();
            if (match(static_cast<const void*>(st))) return true;
            for (int i = 0; i < st->members.GetSize(); ++i) {
                if (auto* m = static_cast<const CVariableItem*>(st->members.GetAt(i))) {
                    items.push_back(m);
                }
            }
            continue;
        }
        const CVariableItem* it = items.back();
        items.pop_back();
        if (match(static_cast<const void*>(it))) return true;
        if (!it->IsStructItem() || it->IsReference()) continue;
        for (int32_t i = 0; i < it->GetCount(); ++i) {
            if (const CStruct* element = it->StructAt(i)) structs.push_back(element);
        }
    }
    return false;
}

// Whether an object of the tree is pinned.
inline __attribute__((always_inline)) bool TreeInUse(const CVariableItem* item, const CStruct* s) {
    return ItemPin::AnyPinned() && SearchTree(item, s, ItemPin::IsPinned);
}

// Space, tab, carriage return or line feed.
bool IsBlankChar(char c);
// The index of the first non-blank character at or after from, or -1.
int FirstNonBlank(const OTSTR& text, int from);
// The text without blanks at either end.
OTSTR TrimmedText(const char* text);
// When text, without trailing blanks, begins (after blanks) with '{' and ends
// with '}': inner receives what lies between them and the result is true.
bool UnwrapBraces(const char* text, OTSTR& inner);
// The next initialiser piece of text from pos: the text up to the next comma
// that stands outside brackets and quotes, without blanks at either end. pos
// moves past that comma, or to the end of the text.
void NextPiece(const OTSTR& text, int& pos, OTSTR& piece);
