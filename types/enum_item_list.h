// EnumItemList: the items of an enum, each a named CVarient whose
// description is the item's comment, with the texts of values.
// Tested by types/type_definitions_test.cpp.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "types/type_codes.h"

class CVarient;

class EnumItemList : public ObArrayOf<CVarient> {
  public:
    EnumItemList() : ObArrayOf<CVarient>(25) {}
    // Destroys the items.
    ~EnumItemList() override;

    virtual int32_t GetKind() const { return kKindEnum; }

    // Appends a clone of item, which needs a name and a type; with
    // checkDuplicate a name already present fails. Failure traces
    // "EnumItemList Add fail !".
    bool Add(const CVarient& item, bool checkDuplicate);
    CVarient* ItemAt(int index) const { return GetAt(index); }
    // Letter case ignored; -1 when absent.
    int Find(const char* itemName) const;
    // The first item of the value: its name and (when asked) its comment,
    // null when it has none.
    bool NameOfValue(uint32_t value, OTSTR& itemName, const char** comment = nullptr) const;
    // exact: the comment (or name) of the first item of the value; flag
    // sets: every item whose bits are all in value, joined by " | ". When
    // nothing matches, out becomes the fallback (if any) and the result is
    // false.
    bool TextOfValue(uint32_t value, bool exact, OTSTR& out, const char* fallback = nullptr) const;

  private:
    // The index of the first item of value, -1 when none has it. Long lists
    // are looked up in a table made at the first look-up after items were
    // added; the items' values do not change once added.
    int FirstOfValue(uint32_t value) const;

    mutable std::unordered_map<uint32_t, int> firstOfValue;
    mutable int indexedItems = 0;
};
