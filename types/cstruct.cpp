// CStruct: struct values, their members, the flattened view through implicit
// choices, access paths and struct initialisers.
// Tested by types/variable_item_test.cpp.
#include "types/cstruct.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "types/item_resolver.h"
#include "types/item_support.h"
#include "types/struct_definition.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"
#include "values/value_type.h"

namespace {

using namespace itemmsg;

// Walks the flattened view of s in order, calling visit(item) until it
// answers true; the result tells whether it did. Implicit choices stand for
// the (flattened) members of their chosen alternatives; an alternative that
// is no struct stands for itself.
template <typename Visit>
bool VisitFlat(const CStruct& s, Visit& visit, int depth);

template <typename Visit>
bool VisitChoice(const CVariableItem& choice, Visit& visit, int depth) {
    CStruct* holder = choice.StructAt(0);
    if (holder == nullptr || depth > ItemNesting::kMaxDepth) return false;
    for (int i = 0; i < holder->members.GetSize(); ++i) {
        CVariableItem* alternative = holder->members.GetAt(i);
        if (alternative == nullptr) continue;
        CStruct* inner = alternative->IsStructItem() ? alternative->StructAt(0) : nullptr;
        if (inner != nullptr ? VisitFlat(*inner, visit, depth + 1) : visit(alternative)) {
            return true;
        }
    }
    return false;
}

template <typename Visit>
bool VisitFlat(const CStruct& s, Visit& visit, int depth) {
    for (int i = 0; i < s.members.GetSize(); ++i) {
        CVariableItem* member = s.members.GetAt(i);
        if (member == nullptr) continue;
        if (s.hasImplicitChoice && member->IsImplicitChoice()) {
            if (VisitChoice(*member, visit, depth + 1)) return true;
        } else if (visit(member)) {
            return true;
        }
    }
    return false;
}

// The first direct member that matches; then, with flatten, inside the
// implicit choices: their alternatives first, then the members of struct
// alternatives (flattened in turn).
template <typename Match>
CVariableItem* FindMember(const CStruct& s, bool flatten, const Match& match, int depth = 0) {
    for (int i = 0; i < s.members.GetSize(); ++i) {
        CVariableItem* member = s.members.GetAt(i);
        if (member != nullptr && match(member)) return member;
    }
    if (!flatten || !s.hasImplicitChoice || depth > ItemNesting::kMaxDepth) return nullptr;
    for (int i = 0; i < s.members.GetSize(); ++i) {
        CVariableItem* member = s.members.GetAt(i);
        CStruct* holder =
            member != nullptr && member->IsImplicitChoice() ? member->StructAt(0) : nullptr;
        if (holder == nullptr) continue;
        for (int a = 0; a < holder->members.GetSize(); ++a) {
            CVariableItem* alternative = holder->members.GetAt(a);
            if (alternative != nullptr && match(alternative)) return alternative;
        }
        for (int a = 0; a < holder->members.GetSize(); ++a) {
            CVariableItem* alternative = holder->members.GetAt(a);
            CStruct* inner = alternative != nullptr && alternative->IsStructItem()
                                 ? alternative->StructAt(0)
                                 : nullptr;
            if (inner == nullptr) continue;
            if (CVariableItem* found = FindMember(*inner, true, match, depth + 1)) return found;
        }
    }
    return nullptr;
}

// The element index that a subscript gives member. refuse: the path ends
// here and its caller wants no index. Traces and fails as the path rules say.
bool ResolveSubscript(CVariableItem& member, const char* path, const OTSTR& subscript, bool refuse,
                      ItemResolver* resolver, int32_t& idx) {
    if (subscript.IsEmpty()) {
        idx = member.Header().count == 1 ? 0 : -1;
        return true;
    }
    if (refuse) {
        TraceLine(kPathLastIdent, path);
        return false;
    }
    OTSTR inner = TrimmedText(subscript.Mid(1, subscript.GetLength() - 2).GetBuffer());
    if (subscript.GetAt(0) == '(') {
        if (inner.IsEmpty()) {
            TraceLine(kPathChoiceIdx, path);
        } else if (!member.IsChoice()) {
            TraceLine(kPathNotChoice, path);
        } else {
            TraceLine(kPathChoiceParam, path);
        }
        return false;
    }
    if (inner.IsEmpty()) {
        idx = -1;
        return true;
    }
    ExprEvaluator evaluator;
    if (resolver != nullptr) resolver->BindEvaluator(evaluator);
    CVarient value;
    if (!evaluator.CalcValue(inner.GetBuffer(), value, false)) {
        TraceLine(kPathCalculate, path, inner.GetBuffer(), evaluator.GetLastError().GetBuffer());
        return false;
    }
    // Only a number inside 0..count-1 is an index.
    int32_t at = value.getLong();
    if (!IsNumericType(value.GetType()) || at < 0 || at >= member.Header().count) {
        TraceLine(kPathRange, path);
        return false;
    }
    idx = at;
    return true;
}

}  // namespace

CStruct::~CStruct() {
    RemoveAllMembers();
}

CVariableItem* CStruct::NewItem() {
    return new (std::nothrow) CVariableItem;
}

bool CStruct::InUse(const char* operation) const {
    if (!TreeInUse(nullptr, this)) return false;
    TraceLine(kStructInUse, operation, name.GetBuffer());
    return true;
}

void CStruct::RemoveAllMembers() {
    if (TreeInUse(nullptr, this)) return;
    members.DeleteAll();
    hasImplicitChoice = false;
}

bool CStruct::init(StructDefinition* definition, const char* structName) {
    if (InUse("init")) return false;
    RemoveAllMembers();
    def = definition;
    OTSTR newName(structName != nullptr && structName[0] != 0 ? structName
                  : definition != nullptr                     ? definition->GetName().GetBuffer()
                                                              : "");
    name = newName;
    if (definition == nullptr) return true;
    // A struct type that contains itself would never end.
    ItemNesting nesting;
    if (nesting.TooDeep()) {
        TraceLine(kStructInitTooDeep, name.GetBuffer());
        return false;
    }
    for (int i = 0; i < definition->GetMemberCount(); ++i) {
        CVariableItem* item = NewItem();
        if (item == nullptr) return false;
        if (!item->create(this, definition->GetMember(i)) || !add(item)) {
            delete item;
            return false;
        }
    }
    return true;
}

bool CStruct::add(CVariableItem* item) {
    if (item == nullptr) return false;
    for (int i = 0; i < members.GetSize(); ++i) {
        if (members.GetAt(i) == item) return false;
    }
    int before = members.GetSize();
    if (members.Add(item) == before) return false;
    item->parent = this;
    if (item->IsImplicitChoice()) hasImplicitChoice = true;
    return true;
}

bool CStruct::clone(const CStruct& source) {
    if (&source == this) return true;
    if (InUse("clone")) return false;
    // Copy first: source may be one of the structs this one owns.
    std::vector<CVariableItem*> copies;
    for (int i = 0; i < source.members.GetSize(); ++i) {
        CVariableItem* from = source.members.GetAt(i);
        if (from == nullptr) continue;
        CVariableItem* to = NewItem();
        if (to == nullptr || !to->clone(*from, this, true)) {
            delete to;
            for (CVariableItem* made : copies) delete made;
            return false;
        }
        copies.push_back(to);
    }
    OTSTR newName(source.name);
    OTSTR newDescription(source.description);
    StructDefinition* newDef = source.def;
    bool implicit = source.hasImplicitChoice;
    RemoveAllMembers();
    for (CVariableItem* item : copies) {
        int before = members.GetSize();
        if (members.Add(item) == before) delete item;
    }
    name = newName;
    description = newDescription;
    def = newDef;
    hasImplicitChoice = implicit;
    return true;
}

int CStruct::GetCount(bool flatten) const {
    if (!flatten || !hasImplicitChoice) return members.GetSize();
    int n = 0;
    auto visit = [&n](CVariableItem*) {
        ++n;
        return false;
    };
    VisitFlat(*this, visit, 0);
    return n;
}

CVariableItem* CStruct::GetItemAt(int index, bool flatten) const {
    if (index < 0) return nullptr;
    if (!flatten || !hasImplicitChoice) return members.GetAt(index);
    CVariableItem* found = nullptr;
    int left = index;
    auto visit = [&](CVariableItem* item) {
        if (left-- > 0) return false;
        found = item;
        return true;
    };
    VisitFlat(*this, visit, 0);
    return found;
}

CVariableItem* CStruct::GetItemByMapTag(int32_t tag, bool flatten) const {
    return FindMember(*this, flatten,
                      [tag](const CVariableItem* item) { return item->mapTag == tag; });
}

CVariableItem* CStruct::GetItemByName(const char* itemName, bool caseSensitive,
                                      bool flatten) const {
    // Equal names have equal lengths, which rules out most members at once
    // (a null name equals an empty one).
    int length = itemName != nullptr ? static_cast<int>(strnlen(itemName, INT32_MAX)) : 0;
    return FindMember(*this, flatten, [=](const CVariableItem* item) {
        const OTSTR& name = item->Header().GetName();
        return name.GetLength() == length && name.Compare(itemName, caseSensitive);
    });
}

CVariableItem* CStruct::GetItem(const char* path, int32_t* outIdx, ItemResolver* resolver) {
    ItemNesting nesting;
    if (nesting.TooDeep()) {
        TraceLine(kPathTooDeep, path != nullptr ? path : "");
        return nullptr;
    }
    bool caseSensitive = resolver != nullptr && resolver->IsCaseSensitive();
    CStruct* current = this;
    // Each pass resolves the first identifier of the remaining path in the
    // current struct, whose messages then name the remaining path.
    OTSTR remaining(path != nullptr ? path : "");
    for (;;) {
        const OTSTR here(remaining);
        const char* text = here.GetBuffer();
        OTSTR ident, subscript, rest;
        if (!ExprEvaluator::SplitPath(text, ident, subscript, rest)) {
            TraceLine(kPathSplit, text);
            return nullptr;
        }
        CVariableItem* member = current->GetItemByName(ident.GetBuffer(), caseSensitive, true);
        if (member == nullptr) {
            TraceLine(kPathNotFound, text, ident.GetBuffer(), current->name.GetBuffer());
            return nullptr;
        }
        bool last = rest.IsEmpty();
        int32_t idx = -1;
        {
            // A subscript may call back into the variables; current stays.
            ItemPin pin(current);
            if (!ResolveSubscript(*member, text, subscript, last && outIdx == nullptr, resolver,
                                  idx)) {
                return nullptr;
            }
        }
        if (last) {
            if (outIdx != nullptr) *outIdx = idx;
            return member;
        }
        if (!member->IsStructItem()) {
            OTSTR written(ident);
            written.Append(subscript);
            TraceLine(kPathIllegalRest, text, rest.GetBuffer(), written.GetBuffer());
            return nullptr;
        }
        CStruct* element = member->StructAt(idx);
        if (element == nullptr) {
            TraceLine(kPathInvalidElement, text, ident.GetBuffer(), static_cast<long>(idx));
            return nullptr;
        }
        current = element;
        remaining = rest;
    }
}

bool CStruct::sets(const char* text, ItemResolver* resolver) {
    if (text == nullptr) return false;
    ItemNesting nesting;
    if (nesting.TooDeep()) {
        TraceLine(kStructSetsTooDeep, text);
        return false;
    }
    OTSTR work;
    if (UnwrapBraces(text, work)) {
        ItemPin pin(this);  // the members' initialisers may call back
        int n = GetCount(false);
        int pos = 0;
        if (n == 0) {
            int extra = FirstNonBlank(work, 0);
            if (extra < 0) return true;
            TraceLine(kStructSetsExtra, work.GetBuffer(), extra);
            return false;
        }
        for (int i = 0; i < n; ++i) {
            if (pos >= work.GetLength()) {
                TraceLine(kStructSetsNoEnough, work.GetBuffer());
                return false;
            }
            OTSTR piece;
            NextPiece(work, pos, piece);
            if (i == n - 1) {
                int extra = FirstNonBlank(work, pos);
                if (extra >= 0) {
                    TraceLine(kStructSetsExtra, work.GetBuffer(), extra);
                    return false;
                }
            }
            CVariableItem* member = members.GetAt(i);
            if (member == nullptr || !member->sets(-1, piece.GetBuffer(), resolver)) return false;
        }
        return true;
    }
    if (resolver == nullptr) return false;
    OTSTR variable = TrimmedText(text);
    int32_t idx = -1;
    CVariableItem* found = resolver->FindVariable(variable.GetBuffer(), &idx);
    if (found == nullptr) return false;
    if (idx < 0 && found->Header().count == 1) idx = 0;
    CStruct* other = found->StructAt(idx);
    if (other == nullptr || !other->name.Compare(name.GetBuffer(), false)) {
        TraceLine("%s", kStructSetsType);
        return false;
    }
    return clone(*other);
}
