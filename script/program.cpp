// Program: items of a compiled file or block, and running them.
// Tested by runtime/execute_env_test.cpp.
#include "script/program.h"

#include <new>

#include "base/tracer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/procedure.h"
#include "script/variable_declaration.h"
#include "types/variable_item.h"

Program::Program(Program* parentProgram) : parent(parentProgram) {}

Program::~Program() {
    for (int i = ownedItems.GetSize() - 1; i >= 0; --i)
        delete static_cast<ProgramItem*>(ownedItems.GetAt(i));
    delete namedValues;
}

bool Program::AddItem(ProgramItem* item, int32_t itemLine, bool owned) {
    if (item == nullptr) return false;
    int before = items.GetSize();
    if (items.Add(item, static_cast<uint32_t>(itemLine)) == before) return false;
    if (owned) {
        int ownedBefore = ownedItems.GetSize();
        if (ownedItems.Add(item) == ownedBefore) {
            items.RemoveLast();
            return false;
        }
    }
    return true;
}

int32_t Program::ItemLine(int index) const {
    uint32_t tag = 0;
    if (items.GetAt(index, &tag) == nullptr) return -1;
    return static_cast<int32_t>(tag);
}

RunTimeStk& Program::NamedValues() {
    if (namedValues == nullptr) namedValues = new RunTimeStk(this, nullptr, nullptr);
    return *namedValues;
}

namespace {

// The Programs of the files that p includes: its items of kind 6 that have
// no parent.
template <typename Visit>
bool ForIncludes(const Program& p, Visit visit) {
    for (int i = 0; i < p.ItemCount(); ++i) {
        ProgramItem* item = p.ItemAt(i);
        if (item->ItemKind() != kItemProgram) continue;
        auto* included = static_cast<Program*>(item);
        if (included->parent == nullptr && visit(*included)) return true;
    }
    return false;
}

}  // namespace

Procedure* Program::FindProcedure(const char* procName) const {
    for (const Program* p = this; p != nullptr; p = p->parent) {
        for (int i = 0; i < p->ItemCount(); ++i) {
            ProgramItem* item = p->ItemAt(i);
            if (item->ItemKind() != kItemProcedure) continue;
            auto* procedure = static_cast<Procedure*>(item);
            if (procedure->name.Compare(procName, false)) return procedure;
        }
        Procedure* found = nullptr;
        ForIncludes(*p, [&](const Program& included) {
            found = included.FindProcedure(procName);
            return found != nullptr;
        });
        if (found != nullptr) return found;
    }
    return nullptr;
}

CVariableItem* Program::FindNamedValue(const char* valueName) const {
    for (const Program* p = this; p != nullptr; p = p->parent) {
        if (p->namedValues != nullptr) {
            if (CVariableItem* item = p->namedValues->FindItem(valueName, true, false)) return item;
        }
        CVariableItem* found = nullptr;
        ForIncludes(*p, [&](const Program& included) {
            found = included.FindNamedValue(valueName);
            return found != nullptr;
        });
        if (found != nullptr) return found;
    }
    return nullptr;
}

bool Program::Run(ExecuteEnv& env) {
    RunTimeStk* frame = env.GetTopStk(0);
    if (frame == nullptr) return false;
    const char* programName = GetName().GetBuffer(0);
    for (int i = 0; i < ItemCount(); ++i) {
        ProgramItem* item = ItemAt(i);
        int32_t itemLine = ItemLine(i);
        switch (item->ItemKind()) {
        case kItemVariable: {
            auto* var = static_cast<VariableDeclaration*>(item);
            if (var->initializer.IsEmpty()) break;
            OTSTR target = var->GetName();
            if (var->count > 1) target.Append("[]");
            if (!frame->sets(target.GetBuffer(0), var->initializer.GetBuffer(0))) {
                env.SetLastError("%s : Ln %d  initialize fail !", programName,
                                 static_cast<int>(itemLine));
                return false;
            }
            if (env.IsTracing()) {
                OTSTR traced;
                traced.safeAppends("RunLine %3ld : %s%s = ", static_cast<long>(itemLine),
                                   env.text.GetBuffer(0), target.GetBuffer(0));
                traced.Append(var->initializer);
                if (Tracer* tracer = Tracer::inst()) tracer->TRACE_(traced.GetBuffer(0), true);
                if (!env.Step()) return false;
            }
            break;
        }
        case kItemProgram:
            if (parent != nullptr && !env.Execute(static_cast<Program*>(item))) return false;
            break;
        case kItemExprStatement:
        case kItemWhile:
        case kItemIf:
        case kItemJump:
        case kItemFor:
            if (!item->Run(env)) return false;
            break;
        default:
            break;
        }
        if (env.returning || env.breaking || env.continuing) return true;
    }
    return true;
}
