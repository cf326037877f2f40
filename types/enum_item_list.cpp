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

bool EnumItemList::NameOfValue(uint32_t value, OTSTR& itemName, const char** comment) const {
    for (int i = 0; i < GetSize(); ++i) {
        const CVarient* item = ItemAt(i);
        if (item->getUInt32() != value) continue;
        itemName = item->GetName();
        if (comment != nullptr) {
            *comment =
                item->GetDescription().IsEmpty() ? nullptr : item->GetDescription().GetBuffer(0);
        }
        return true;
    }
    return false;
}

bool EnumItemList::TextOfValue(uint32_t value, bool exact, OTSTR& out, const char* fallback) const {
    OTSTR text;
    bool found = false;
    for (int i = 0; i < GetSize(); ++i) {
        const CVarient* item = ItemAt(i);
        uint32_t bits = item->getUInt32();
        if (exact ? bits != value : (bits & value) != bits) continue;
        const OTSTR& shown =
            item->GetDescription().IsEmpty() ? item->GetName() : item->GetDescription();
        if (found) text.Append(" | ");
        text.Append(shown);
        found = true;
        if (exact) break;
    }
    if (!found) {
        if (fallback != nullptr) out = fallback;
        return false;
    }
    out = text;
    return true;
}
