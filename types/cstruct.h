// CStruct: a struct value, owning one CVariableItem per member. Implicit
// choices (choice members named "$...") lend their chosen alternative's
// members to the struct when it is flattened. Tested by
// types/variable_item_test.cpp.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"

class CVariableItem;
class ItemResolver;
class StructDefinition;

class CStruct : public NamedObject {
  public:
    CStruct() = default;
    // Destroys the members.
    ~CStruct() override;
    CStruct(const CStruct&) = delete;
    CStruct& operator=(const CStruct&) = delete;

    // The factory of member items; a decoder returns its own item class.
    virtual CVariableItem* NewItem();

    // One member item per member definition; the name is the given one, else
    // the definition's. A null definition only sets the name.
    bool init(StructDefinition* definition, const char* structName);
    // Takes item over as the last member.
    bool add(CVariableItem* item);
    bool clone(const CStruct& source);
    // Does nothing while a running initialiser or path look-up uses the
    // struct or an object below it.
    void RemoveAllMembers();

    // With flatten, each implicit choice member stands for the (flattened)
    // members of its chosen alternative.
    int GetCount(bool flatten) const;
    CVariableItem* GetItemAt(int index, bool flatten) const;
    CVariableItem* GetItemByMapTag(int32_t tag, bool flatten) const;
    CVariableItem* GetItemByName(const char* itemName, bool caseSensitive, bool flatten) const;

    // The member item that an access path names, its element index in
    // outIdx; null (with the message traced) when it does not resolve.
    CVariableItem* GetItem(const char* path, int32_t* outIdx, ItemResolver* resolver = nullptr);
    // Sets the members from "{piece, piece, ...}", or (with a resolver) makes
    // this a clone of the struct a variable name gives.
    bool sets(const char* text, ItemResolver* resolver);

    StructDefinition* def = nullptr;       // not owned
    ObArrayOf<CVariableItem> members{25};  // owned
    bool hasImplicitChoice = false;

  private:
    // Whether this struct or an object below it is in use by a running
    // initialiser or path look-up; traces the refusal of operation.
    bool InUse(const char* operation) const;
};
