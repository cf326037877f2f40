// ProgramItem: what every item of a compiled Program answers: its kind, the
// line where it starts, and its check, run and print operations.
#pragma once

#include <cstdint>

class ExecuteEnv;
class OTSTR;
class Program;

enum ProgramItemKind : int32_t {
    kItemNamedValue = 1,
    kItemEnum = 2,
    kItemStruct = 3,
    kItemVariable = 4,
    kItemDeclareMap = 5,
    kItemProgram = 6,
    kItemProcedure = 9,
    kItemExprStatement = 10,
    kItemWhile = 11,
    kItemIf = 12,
    kItemJump = 13,
    kItemFor = 14,
    kItemTypedef = 20,
};

class ProgramItem {
  public:
    virtual ~ProgramItem() = default;
    virtual int32_t ItemKind() const = 0;
    // The final checks of a compiled item; message receives what failed.
    virtual bool Check(Program& owner, OTSTR& message) {
        (void)owner;
        (void)message;
        return true;
    }
    // Runs a statement or block; items that do not run succeed.
    virtual bool Run(ExecuteEnv& env) {
        (void)env;
        return true;
    }

    int32_t line = -1;  // where the item starts in its file (counted from 0)
};
