// Program: one compiled script file or braced block: its items in source
// order, the items it owns, and its own frame of named values. Blocks are
// nested Programs. Tested by runtime/execute_env_test.cpp (runs) and the
// compiler's tests.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "base/otstr.h"
#include "script/program_item.h"

class CVariableItem;
template <typename T>
class FoldedNameIndex;
class CompileContext;
enum class StepResult;
class DeclareMap;
class EnumItemList;
class Procedure;
class RunTimeStk;
class ScriptLexer;
class StructDefinition;
class StructItem;
class VariableDeclaration;
class VariableDefinition;

class Program : public NamedObject, public ProgramItem {
  public:
    explicit Program(Program* parent = nullptr);
    // Deletes the owned items, the pending lists and the named values.
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    int32_t ItemKind() const override { return kItemProgram; }
    // Runs the items in order in the environment's top frame: initialisers
    // of variables, nested blocks (only inside a block or a body), and
    // statements; stops early (successfully) when a return, break or
    // continue flag is set.
    bool Run(ExecuteEnv& env) override;

    // Appends item to the ordered list at line; with owned the Program also
    // deletes it.
    bool AddItem(ProgramItem* item, int32_t itemLine, bool owned);
    // Takes item out of both lists; with destroy it is deleted when owned.
    bool RemoveItem(ProgramItem* item, bool destroy);
    int ItemCount() const { return items.GetSize(); }
    // The items that are Programs (nested blocks and included files), in
    // the order of the items; valid until the items change.
    const std::vector<Program*>& ProgramItems() const {
        if (!KindsScanned()) ScanKinds();
        return programItems;
    }
    // The items that are variable declarations, in the order of the items
    // (a declaration listed twice twice); valid until the items change.
    const std::vector<VariableDeclaration*>& VariableItems() const {
        if (!KindsScanned()) ScanKinds();
        return variableItems;
    }
    ProgramItem* ItemAt(int index) const { return items.GetAt(index); }
    int32_t ItemLine(int index) const;
    // Whether the entry at index is the one through which this Program owns
    // its item (a definition or the first #Include of a file), as opposed to
    // a forward or repeated declaration or a repeated #include.
    bool OwnsEntry(int index) const;

    // The final checks of a compiled Program (pending definitions, struct
    // loops, the items' own checks); message receives the first failure.
    bool Check(Program& owner, OTSTR& message) override;

    // The item loop offers every item to the hook first. A file Program
    // claims the attribute construct.
    virtual StepResult ItemHook(CompileContext& context, ScriptLexer& lexer);
    // A new sub program (block or body) of this Program.
    virtual Program* NewSubProgram();

    // Look-ups start here, go through the included files (depth first) and
    // then to the parents; names ignore letter case. FindItem looks for an
    // item of one kind by name.
    ProgramItem* FindItem(int32_t kind, const char* itemName) const;
    Procedure* FindProcedure(const char* procName) const;
    // A struct or a typedef of one, pending ones included.
    StructDefinition* FindStruct(const char* structName) const;
    EnumItemList* FindEnum(const char* enumName) const;
    DeclareMap* FindDeclareMap(const char* mapName) const;
    VariableDefinition* FindVariable(const char* varName) const;
    // Whether a name stands for a named value, enum, struct, typedef,
    // variable definition or (withProcedures) a procedure.
    bool IsNameUsed(const char* itemName, bool withProcedures) const;
    // The root of the tree of Programs this one belongs to.
    Program* Root();

    // Structs and procedures declared but not yet defined; owned until the
    // definition arrives.
    ObArrayOf<StructItem> pendingStructs{25};
    ObArrayOf<Procedure> pendingProcedures{25};
    // A named value (#define) of that name, here or in the parents.
    CVariableItem* FindNamedValue(const char* valueName) const;
    // The frame that holds this Program's named values.
    RunTimeStk& NamedValues();
    // Counts the changes of any Program's items and named values (the
    // compiler makes them; a run does not), so that what a run found by
    // name can tell whether it may still hold.
    static uint32_t Changes() { return changes; }

    // An identifier that an expression wrote in another letter case than
    // the define it stands for (the define wins over a member or variable of
    // that name). The compiler keeps them on the root, for the warnings.
    struct DefineCaseUse {
        OTSTR file;
        int32_t line;
        OTSTR written, define;
    };
    std::vector<DefineCaseUse> defineCaseUses;

    Program* parent;
    OTSTR comment;
    int32_t startLine = -1;
    int32_t endLine = -1;
    bool beingCompiled = false;
    // Name look-up may see items that stand later in the parent.
    bool lookUpLater = true;
    // The procedure whose body this is; null for other Programs (the
    // holder of a statement's block is searched for).
    Procedure* bodyOf = nullptr;

  private:
    static inline uint32_t changes = 0;
    ObArrayOf<ProgramItem> items{25};  // tag: the line; not owned
    // For each entry of items, how many entries of its item stand before it;
    // and how many entries each item has.
    std::vector<uint32_t> entryOrdinals;
    std::unordered_map<const ProgramItem*, uint32_t> entryCounts;
    // Items are appended between removals: what is made from them is made
    // again after a removal, otherwise brought up to date.
    uint32_t itemRemovals = 0;
    // ProgramItems, VariableItems and itemKinds: the first kindsScanned
    // items looked at.
    bool KindsScanned() const {
        return kindsRemovals == itemRemovals && kindsScanned == ItemCount();
    }
    void ScanKinds() const;
    mutable uint32_t kindsRemovals = 0;
    mutable int kindsScanned = 0;
    mutable std::vector<Program*> programItems;
    mutable std::vector<VariableDeclaration*> variableItems;
    // The kind of each item scanned, so that a run does not ask every item.
    mutable std::vector<int32_t> itemKinds;
    // The index of the first item after item i that may do anything when
    // run, else the item count; made by NextRunnable from itemKinds.
    int NextRunnable(int i) const;
    mutable std::vector<int32_t> runnableAfter;
    // Owned; tag: how many entries of the item stood in items before the
    // owning one (also in ownedOrdinals).
    ObArrayOf<ProgramItem> ownedItems{25};
    std::unordered_map<const ProgramItem*, uint32_t> ownedOrdinals;
    std::unique_ptr<RunTimeStk> namedValues;  // made on first use
    // The first item of each kind and name (letter case folded) in this
    // Program's own items, for FindItem.
    mutable std::unique_ptr<FoldedNameIndex<ProgramItem>> itemIndex;  // made on first use
    ProgramItem* OwnItem(int32_t kind, const char* itemName) const;
    // Recounts the entries after a removal.
    void Recount();

    // The named value of this Program's own frame (not the included files'
    // or the parents'), the first of that name in the frame's order.
    CVariableItem* OwnNamedValue(const char* valueName) const;
};
