// EnumItemList: enum items and the texts of their values.
// Tested by types/type_definitions_test.cpp.
#include "types/enum_item_list.h"

#include <new>

#include "base/tracer.h"
#include "values/cvarient.h"

EnumItemList::~EnumItemList() {
    for (int i = 0; i < GetSize(); ++i) delete ItemAt(i);
}

bool EnumItemList::Add(const CVarient& item, bool checkDuplicate) {
    bool ok = !item.GetName().IsEmpty() && item.GetType() != kTypeNone &&
              !(checkDuplicate && Find(item.GetName().GetBuffer(0)) >= 0);
    CVarient* copy = ok ? new (std::nothrow) CVarient : nullptr;
    if (copy != nullptr && copy->clone(item)) {
        int before = GetSize();
        if (ObArrayOf<CVarient>::Add(copy) != before) return true;
    }
    delete copy;
    TraceText("EnumItemList Add fail !");
    return false;
}

int EnumItemList::Find(const char* itemName) const {
    for (int i = 0; i < GetSize(); ++i) {
        if (ItemAt(i)->GetName().Compare(itemName, false)) return i;
    }
    return -1;
}

int EnumItemList::FirstOfValue(uint32_t value) const {
    // Below this many items a scan is cheaper than the table.
    constexpr int kIndexedItems = 16;
    int n = GetSize();
    if (n < kIndexedItems) {
        for (int i = 0; i < n; ++i) {
            if (ItemAt(i)->getUInt32() == value) return i;
        }
        return -1;
    }
    if (indexedItems != n) {
        if (indexedItems > n) {
            firstOfValue.clear();
            indexedItems = 0;
        }
        for (int i = indexedItems; i < n; ++i) firstOfValue.emplace(ItemAt(i)->getUInt32(), i);
        indexedItems = n;
    }
    auto found = firstOfValue.find(value);
    return found != firstOfValue.end() ? found->second : -1;
}

bool EnumItemList::NameOfValue(uint32_t value, OTSTR& itemName, const char** comment) const {
    int i = FirstOfValue(value);
    if (i < 0) return false;
    const CVarient* item = ItemAt(i);
    itemName = item->GetName();
    if (comment != nullptr) {
        *comment = item->GetDescription().IsEmpty() ? nullptr : item->GetDescription().GetBuffer(0);
    }
    return true;
}

bool EnumItemList::TextOfValue(uint32_t value, bool exact, OTSTR& out, const char* fallback) const {
    if (exact) {
        int i = FirstOfValue(value);
        if (i < 0) {
            if (fallback != nullptr) out = fallback;
            return false;
        }
        const CVarient* item = ItemAt(i);
        out = item->GetDescription().IsEmpty() ? item->GetName() : item->GetDescription();
        return true;
    }
    OTSTR text;
    bool found = false;
    for (int i = 0; i < GetSize(); ++i) {
        const CVarient* item = ItemAt(i);
        uint32_t bits = item->getUInt32();
        if ((bits & value) != bits) continue;
        const OTSTR& shown =
            item->GetDescription().IsEmpty() ? item->GetName() : item->GetDescription();
        if (found) text.Append(" | ");
        text.Append(shown);
        found = true;
    }
    if (!found) {
        if (fallback != nullptr) out = fallback;
        return false;
    }
    out = text;
    return true;
}
