// CVariableItem: the instance that holds the data of one variable, struct
// member or parameter, built from a definition. Struct and choice items own
// their element CStruct objects. Tested by types/variable_item_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"
#include "types/variable_definition.h"
#include "values/tvarient.h"

class CStruct;
class ExprNode;
class ItemResolver;
class StructDefinition;

class CVariableItem : public TVarient {
  public:
    CVariableItem();
    // Frees the struct elements first (unless a reference).
    ~CVariableItem() override;
    CVariableItem(const CVariableItem&) = delete;
    CVariableItem& operator=(const CVariableItem&) = delete;

    // Deep copy of source; parent becomes parent; without keepName the item
    // keeps the name it had.
    virtual bool clone(const CVariableItem& source, CStruct* parent, bool keepName);
    // Makes this a reference to source (idx < 0) or to its element idx,
    // checked against def (a by-address parameter's definition) when given.
    virtual bool PassAddressClone(CVariableItem& source, int32_t idx,
                                  const VariableDefinition* def);
    // This class's PassAddressClone(source, idx, nullptr) and then
    // SetName(name), without taking the source's name first; for items whose
    // class does not override PassAddressClone.
    bool PassAddressAs(CVariableItem& source, int32_t idx, const char* name);
    // The factory of struct elements; a decoder returns its own struct class.
    virtual CStruct* NewStruct();
    // How many of declared elements (structs: element structs) create()
    // makes storage for; the rest of the declared count has none.
    virtual int32_t ReserveCount(int32_t declared, bool structs) {
        (void)structs;
        return declared;
    }

    // Hooks that the dumps call and a decoder item overrides. The location
    // and marker texts hold no zero byte: a row takes them whole.
    virtual void LocationText(OTSTR& out);  // empty
    virtual bool IsFailed();                // the tag flag: false
    virtual bool HasLocation();             // true
    virtual bool MarkerText(OTSTR& out);    // empty, true
    virtual bool HasComment();              // element comments: false
    virtual int CommentText(int32_t index, OTSTR& out, const char* defaultText);  // empty, 0
    virtual bool HasIntegrated(bool any);  // shown through TypeOF: false

    // Built from a member or variable definition.
    bool create(CStruct* parentStruct, VariableDefinition* definition);
    // A struct array of count elements of structType.
    bool create(StructDefinition* structType, const char* name, int32_t count);
    // A basic item of a declared code, or (129) a single empty choice.
    bool create(int32_t declaredCode, const char* name, int32_t count);
    // Back to empty; does nothing while a running initialiser or path
    // look-up uses the item or its structs.
    void clear();
    // What create(parentStruct, definition), create(structType, itemName,
    // count) or create(declaredCode, itemName, count) would make of an item
    // that the same create made before, keeping its storage: only the value
    // is reset. False, changing nothing, unless the item is still exactly as
    // that create left it apart from its value, and is no reference. A
    // struct item keeps its element structs as they are, each of the struct
    // type: the caller renews their members in turn. A choice of one element
    // keeps the holder of its alternatives, which must be as MakeChoice made
    // it (the caller takes the alternatives out first). As
    // their creates, the forms with a definition or a declared code ask
    // ReserveCount once (also when they fail), the struct form not at all.
    bool Renew(CStruct* parentStruct, VariableDefinition* definition);
    // Renew(parentStruct, definition) for an item whose def is definition,
    // with the answer of its ReserveCount given (a caller that knows it asks
    // the reserve itself).
    bool RenewReserved(CStruct* parentStruct, VariableDefinition* definition, int32_t reserved);
    bool Renew(StructDefinition* structType, const char* itemName, int32_t count);
    bool Renew(int32_t declaredCode, const char* itemName, int32_t count);
    // Whether the item is a plain CVariableItem as a new one is in every
    // field that PassAddressClone leaves alone, so that passing an address
    // to it makes exactly what passing it to a new item makes. Clear first
    // makes it empty (a reference lets go of the storage it shares).
    bool IsBlank() const;
    // Whether this is the shared read-only item, which ignores every change.
    bool IsLocked() const { return locked; }
    bool ClearToBlank();

    // Sets element idx, or the whole item for idx -1, from an initialiser
    // text: "{1, 2}", an expression, a variable name (with a resolver).
    bool sets(int32_t idx, const char* text, ItemResolver* resolver);
    // sets(-1, text, resolver) for an item of one element that is not a
    // struct, with the value's expression parsed once: tree is the
    // evaluator's KeptTree of text, a text that IsSingleValue.
    bool SetsFromTree(ExprNode* tree, const char* text, ItemResolver* resolver);
    // Element i (not of a struct) from the value of piece, evaluated from
    // tree when given (its KeptTree); traced when it fails.
    bool SetElement(int32_t i, const char* piece, ExprNode* tree, ItemResolver* resolver);
    // True when sets would evaluate text whole as the value of one element:
    // it is one piece, without blanks around it.
    static bool IsSingleValue(const char* text);
    // The item that path names below element idx (this item for an empty
    // path); outIdx receives its element index.
    CVariableItem* GetItem(int32_t idx, const char* path, int32_t* outIdx,
                           ItemResolver* resolver = nullptr);
    // Stores the bit field of a whole storage-unit value in element idx.
    bool setBitData(int32_t idx, const CVarient& unit);

    // Struct and choice items: the element struct (none out of range), and
    // the members of the element (a choice: of its one element). The inline
    // functions of this class are marked used so that the library still
    // exports them for plug-ins built when they were not inline.
    __attribute__((used)) bool IsStructItem() const {
        return header.baseType == kDeclStruct || header.baseType == kDeclChoice;
    }
    __attribute__((used)) CStruct* StructAt(int32_t i) const {
        void* element = nullptr;
        return IsStructItem() && getAt(i, element) ? static_cast<CStruct*>(element) : nullptr;
    }
    int GetStructItemCount(bool flatten) const;
    CVariableItem* GetStructItemAt(int index, bool flatten) const;
    CVariableItem* GetItemByMapTag(int32_t tag, bool flatten) const;
    CVariableItem* GetItemByName(const char* name, bool caseSensitive, bool flatten) const;

    __attribute__((used)) bool IsChoice() const { return header.baseType == kDeclChoice; }
    // A "Choice" item whose name begins with '$'.
    __attribute__((used)) bool IsImplicitChoice() const {
        const OTSTR& itemName = header.GetName();
        return IsChoice() && itemName.GetLength() > 0 && itemName.GetBuffer()[0] == '$';
    }
    // Appends the chosen alternative item to the choice's element struct,
    // which takes it over. marker 0: none given.
    bool SetChosen(CVariableItem* item, int32_t tag, char marker);
    // Sets the marker, and the storage owner's too for a reference.
    void SetMarker(char c);

    // "name[4]:07_3"; "name[]" for a choice of fewer than two elements.
    OTSTR GetDisplayName() const;
    // The same text in out, which keeps its block.
    void GetDisplayName(OTSTR& out) const;
    // What the display name adds to the header's name ("[4]:07_3", "[]",
    // or nothing), written to out without a zero byte: its length.
    static constexpr int kMaxDisplaySuffix = 64;
    int DisplaySuffix(char* out) const;
    // "parent.name" when the item has a parent.
    OTSTR GetQualifiedName() const;
    const OTSTR& GetItemName() const { return header.GetName(); }
    // Rename or re-describe the instance: the header and the value's own
    // name (used in messages) change together.
    void SetName(const char* text);
    void SetDescription(const char* text);

    // A shared item that nothing can change.
    static CVariableItem* ReadOnlyItem();

    // The instance's own copy of its definition, as the create made it and
    // the methods of this class changed it since.
    const VariableDefinition& Header() const { return header; }
    // The header to change directly: a renewal compares it afresh.
    VariableDefinition& EditHeader() {
        renewedAsDefined = false;
        return header;
    }

    CStruct* parent = nullptr;
    VariableDefinition* def = nullptr;      // not owned
    StructDefinition* structDef = nullptr;  // not owned

  private:
    VariableDefinition header;  // read through Header(), written by this class

  public:
    int32_t mapTag = -1;
    char marker = ' ';
    bool implicitChoice = false;
    CVariableItem* addressSource = nullptr;  // the storage owner of a reference

  private:
    // PassAddressClone, the name being rename when one is given.
    bool PassAddress(CVariableItem& source, int32_t idx, const VariableDefinition* definition,
                     const char* rename);
    // Deletes the owned element structs (none for a reference).
    void FreeStructs();
    // What a create of a basic item sets: Renew's pattern.
    struct Recipe;
    // Whether the item is one that a create of made left and that has not
    // changed since but for its value (a struct item: but for its element
    // structs' contents); then resets the value and the marks that a
    // create leaves unset.
    // headerKnown: the header is known to be as made, and is not compared.
    bool RenewAs(const Recipe& made, bool headerKnown);
    // RenewReserved of any item but a basic one that the last renewal from
    // definition found as made: through RenewAs and its recipe.
    __attribute__((noinline)) bool RenewFromRecipe(CStruct* parentStruct,
                                                   VariableDefinition* definition,
                                                   int32_t reserved);
    // Whether the header's fields are those that the create of made sets.
    bool HeaderAsMade(const Recipe& made) const;
    // Owns for a struct item that is not a reference.
    bool OwnsInStructs(const void* target) const;
    // RenewAs's end for a choice that passed its checks: false, changing
    // nothing, unless the holder is as MakeChoice made it.
    bool RenewChoiceHolder();
    // The name of the struct that holds a choice's alternatives.
    static constexpr char kChoiceHolderName[] = "Choice";
    // The value's name and description follow the header's.
    void SyncName();
    // A PVOID storage of count elements holding new structs of structType.
    bool MakeStructArray(StructDefinition* structType, int32_t elementCount);
    // A PVOID storage of count elements, element 0 an empty "Choice" struct.
    bool MakeChoice(int32_t elementCount);
    // A variable name as the initialiser of a whole array.
    bool SetsFromVariable(const char* text, ItemResolver* resolver);
    // Copies source's elements into this item's storage, element by element.
    bool CopyElementsFrom(const CVariableItem& source);
    // Whether target is this item or lies in the structs it owns.
    __attribute__((used)) bool Owns(const void* target) const {
        // An item that owns no structs is its whole tree.
        if (!IsStructItem() || IsReference()) return target != nullptr && target == this;
        return OwnsInStructs(target);
    }
    // Whether this item or an object of its structs is in use by a running
    // initialiser or path look-up; traces the refusal of operation.
    bool InUse(const char* operation) const;

    bool locked = false;  // the shared read-only item ignores every change
    // Set when a renewal from def found the header as the create from def
    // makes it; cleared by every change of the header (and of def, which
    // only comes with one). While set, the next renewal from def need not
    // compare the header again.
    bool renewedAsDefined = false;
};

// Bit-field extraction from a storage unit of width bits. bitHigh counts
// from bit 0 (the least significant), or with fromTop from the most
// significant end. Impossible positions give 0.
uint32_t ExtractBits(uint32_t unit, int32_t width, int32_t bitHigh, int32_t bitCount,
                     bool fromTop = false);
// The lowest n bits of value as "0" and "1", most significant first.
void BitsToText(uint32_t value, int32_t n, OTSTR& out);
