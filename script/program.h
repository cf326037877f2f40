// Program: one compiled script file or braced block: its items in source
// order, the items it owns, and its own frame of named values. Blocks are
// nested Programs. Tested by runtime/execute_env_test.cpp (runs) and the
// compiler's tests.
#pragma once

#include <cstdint>

#include "base/named_object.h"
#include "base/ob_array.h"
#include "base/otstr.h"
#include "script/program_item.h"

class CVariableItem;
class Procedure;
class RunTimeStk;

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
    int ItemCount() const { return items.GetSize(); }
    ProgramItem* ItemAt(int index) const { return static_cast<ProgramItem*>(items.GetAt(index)); }
    int32_t ItemLine(int index) const;

    // A procedure of that name (letter case ignored) among the items, then
    // in the included files, then in the parents.
    Procedure* FindProcedure(const char* procName) const;
    // A named value (#define) of that name, here or in the parents.
    CVariableItem* FindNamedValue(const char* valueName) const;
    // The frame that holds this Program's named values.
    RunTimeStk& NamedValues();

    Program* parent;
    OTSTR comment;
    int32_t startLine = -1;
    int32_t endLine = -1;
    bool beingCompiled = false;
    // Name look-up may see items that stand later in the parent.
    bool lookUpLater = true;

private:
    ObArray items{25};       // ProgramItem*, tag: the line; not owned
    ObArray ownedItems{25};  // ProgramItem* owned
    RunTimeStk* namedValues = nullptr;
};
