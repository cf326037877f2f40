// Program: items of a compiled file or block, and running them.
// Tested by runtime/execute_env_test.cpp.
#include "script/program.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "base/tracer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/compile_context.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "script/statements.h"
#include "script/struct_item.h"
#include "script/variable_declaration.h"
#include "types/variable_item.h"

// The named values of one frame by name with letters folded as OTSTR::Compare
// folds them; built for the frame's variables as they were at changes.
struct Program::NamedValueIndex {
    uint32_t removals = 0;
    int count = 0;  // the frame's variables indexed so far
    std::unordered_map<std::string, CVariableItem*> byName;
};

namespace {

// Frames with fewer named values are scanned: cheaper than hashing.
constexpr int kIndexedValues = 8;

void FoldName(const char* text, size_t n, std::string& out) {
    out.clear();
    if (n > 0) out.assign(text, n);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace

Program::Program(Program* parentProgram) : parent(parentProgram) {}

Program::~Program() {
    for (int i = ownedItems.GetSize() - 1; i >= 0; --i) delete ownedItems.GetAt(i);
    pendingStructs.DeleteAll();
    pendingProcedures.DeleteAll();
    valueIndex.reset();
    namedValues.reset();
}

Program* Program::Root() {
    Program* p = this;
    while (p->parent != nullptr) p = p->parent;
    return p;
}

Program* Program::NewSubProgram() {
    return new (std::nothrow) Program(this);
}

StepResult Program::ItemHook(CompileContext& context, ScriptLexer& lexer) {
    if (parent != nullptr) return StepResult::kNotClaimed;
    return AttributeConstructStep(context, lexer);
}

bool Program::AddItem(ProgramItem* item, int32_t itemLine, bool owned) {
    if (item == nullptr) return false;
    int before = items.GetSize();
    uint32_t earlier = 0;
    if (owned) {
        for (int i = 0; i < before; ++i)
            if (items.GetAt(i) == item) ++earlier;
    }
    ++itemChanges;
    if (items.Add(item, static_cast<uint32_t>(itemLine)) == before) return false;
    if (owned) {
        int ownedBefore = ownedItems.GetSize();
        if (ownedItems.Add(item, earlier) == ownedBefore) {
            items.RemoveLast();
            ++itemChanges;
            return false;
        }
    }
    return true;
}

bool Program::RemoveItem(ProgramItem* item, bool destroy) {
    bool found = false;
    for (int i = items.GetSize() - 1; i >= 0; --i) {
        if (items.GetAt(i) != item) continue;
        items.RemoveAt(i);
        ++itemChanges;
        found = true;
    }
    for (int i = ownedItems.GetSize() - 1; i >= 0; --i) {
        if (ownedItems.GetAt(i) != item) continue;
        ownedItems.RemoveAt(i);
        if (destroy) delete item;
        return true;
    }
    return found;
}

int32_t Program::ItemLine(int index) const {
    uint32_t tag = 0;
    if (items.GetAt(index, &tag) == nullptr) return -1;
    return static_cast<int32_t>(tag);
}

bool Program::OwnsEntry(int index) const {
    const ProgramItem* item = items.GetAt(index);
    if (item == nullptr) return false;
    uint32_t earlier = 0;
    for (int i = 0; i < index; ++i)
        if (items.GetAt(i) == item) ++earlier;
    for (int i = 0; i < ownedItems.GetSize(); ++i) {
        uint32_t tag = 0;
        if (ownedItems.GetAt(i, &tag) == item) return tag == earlier;
    }
    return false;
}

const std::vector<Program*>& Program::ProgramItems() const {
    if (!programsMade || programsAt != itemChanges) {
        programItems.clear();
        for (int i = 0; i < ItemCount(); ++i) {
            ProgramItem* item = ItemAt(i);
            if (item->ItemKind() == kItemProgram)
                programItems.push_back(static_cast<Program*>(item));
        }
        programsAt = itemChanges;
        programsMade = true;
    }
    return programItems;
}

RunTimeStk& Program::NamedValues() {
    if (namedValues == nullptr) namedValues.reset(new RunTimeStk(this, nullptr, nullptr));
    return *namedValues;
}

namespace {

// The Programs of the files that p includes: its items of kind 6 that have
// no parent.
template <typename Visit>
bool ForIncludes(const Program& p, Visit visit) {
    const std::vector<Program*>& programs = p.ProgramItems();
    for (size_t i = 0; i < programs.size(); ++i) {
        Program* included = programs[i];
        if (included->parent == nullptr && visit(*included)) return true;
    }
    return false;
}

}  // namespace

// The name of a named item, or null.
static const OTSTR* NameOf(const ProgramItem* item) {
    switch (item->ItemKind()) {
        case kItemNamedValue:
            return &static_cast<const NamedValueItem*>(item)->GetName();
        case kItemEnum:
            return &static_cast<const EnumItem*>(item)->GetName();
        case kItemStruct:
            return &static_cast<const StructItem*>(item)->GetName();
        case kItemVariable:
            return &static_cast<const VariableDeclaration*>(item)->GetName();
        case kItemDeclareMap:
            return &static_cast<const DeclareMap*>(item)->GetName();
        case kItemProcedure:
            return &static_cast<const Procedure*>(item)->name;
        case kItemTypedef:
            return &static_cast<const TypedefItem*>(item)->GetName();
        default:
            return nullptr;
    }
}

ProgramItem* Program::FindItem(int32_t kind, const char* itemName) const {
    if (itemName == nullptr) return nullptr;
    for (const Program* p = this; p != nullptr; p = p->parent) {
        for (int i = 0; i < p->ItemCount(); ++i) {
            ProgramItem* item = p->ItemAt(i);
            if (item->ItemKind() != kind) continue;
            const OTSTR* name = NameOf(item);
            if (name != nullptr && name->Compare(itemName, false)) return item;
        }
        ProgramItem* found = nullptr;
        ForIncludes(*p, [&](const Program& included) {
            found = included.FindItem(kind, itemName);
            return found != nullptr;
        });
        if (found != nullptr) return found;
    }
    return nullptr;
}

Procedure* Program::FindProcedure(const char* procName) const {
    return static_cast<Procedure*>(FindItem(kItemProcedure, procName));
}

StructDefinition* Program::FindStruct(const char* structName) const {
    if (ProgramItem* item = FindItem(kItemStruct, structName))
        return static_cast<StructItem*>(item);
    if (ProgramItem* item = FindItem(kItemTypedef, structName))
        return static_cast<TypedefItem*>(item)->def;
    return nullptr;
}

EnumItemList* Program::FindEnum(const char* enumName) const {
    return static_cast<EnumItem*>(FindItem(kItemEnum, enumName));
}

DeclareMap* Program::FindDeclareMap(const char* mapName) const {
    return static_cast<DeclareMap*>(FindItem(kItemDeclareMap, mapName));
}

VariableDefinition* Program::FindVariable(const char* varName) const {
    return static_cast<VariableDeclaration*>(FindItem(kItemVariable, varName));
}

bool Program::IsNameUsed(const char* itemName, bool withProcedures) const {
    return FindNamedValue(itemName) != nullptr || FindEnum(itemName) != nullptr ||
           FindStruct(itemName) != nullptr || FindVariable(itemName) != nullptr ||
           (withProcedures && FindProcedure(itemName) != nullptr);
}

CVariableItem* Program::OwnNamedValue(const char* valueName) const {
    RunTimeStk& frame = *namedValues;
    if (frame.VariableCount() < kIndexedValues) return frame.FindItem(valueName, true, false);
    if (valueName == nullptr) return nullptr;
    if (valueIndex == nullptr) valueIndex.reset(new (std::nothrow) NamedValueIndex);
    if (valueIndex == nullptr) return frame.FindItem(valueName, true, false);
    if (valueIndex->removals != frame.VariableRemovals() ||
        valueIndex->count > frame.VariableCount()) {
        valueIndex->byName.clear();
        valueIndex->removals = frame.VariableRemovals();
        valueIndex->count = 0;
    }
    // Variables are only appended between removals: index the new ones.
    if (valueIndex->count < frame.VariableCount()) {
        std::string key;
        for (int i = valueIndex->count; i < frame.VariableCount(); ++i) {
            CVariableItem* item = frame.VariableAt(i);
            const OTSTR& name = item->GetItemName();
            FoldName(name.GetBuffer(0), static_cast<size_t>(name.GetLength()), key);
            valueIndex->byName.emplace(key, item);
        }
        valueIndex->count = frame.VariableCount();
    }
    std::string key;
    FoldName(valueName, strlen(valueName), key);
    auto found = valueIndex->byName.find(key);
    if (found == valueIndex->byName.end()) return nullptr;
    // A value renamed since the index was built is found by the scan.
    if (!found->second->GetItemName().Compare(valueName, false))
        return frame.FindItem(valueName, true, false);
    return found->second;
}

CVariableItem* Program::FindNamedValue(const char* valueName) const {
    for (const Program* p = this; p != nullptr; p = p->parent) {
        if (p->namedValues != nullptr) {
            if (CVariableItem* item = p->OwnNamedValue(valueName)) return item;
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
        if (!env.KeepRunning()) return false;
        ProgramItem* item = ItemAt(i);
        int32_t itemLine = ItemLine(i);
        switch (item->ItemKind()) {
            case kItemVariable: {
                auto* var = static_cast<VariableDeclaration*>(item);
                if (var->initializer.IsEmpty()) break;
                OTSTR target = var->GetName();
                if (var->count > 1) target.Append("[]");
                if (!frame->sets(target.GetBuffer(0), var->initializer.GetBuffer(0))) {
                    env.SetLastError(scriptmsg::kInitializeFail, programName,
                                     static_cast<int>(itemLine));
                    return false;
                }
                if (env.IsTracing()) {
                    OTSTR traced;
                    traced.safeAppends(scriptmsg::kRunLineAssign, static_cast<long>(itemLine),
                                       env.text.GetBuffer(0), target.GetBuffer(0));
                    traced.Append(var->initializer);
                    TraceText(traced.GetBuffer(0));
                    DumpRunItem(frame->FindItem(var->GetName().GetBuffer(0), true, false));
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

namespace {

// Whether a walk through the struct-typed members of def meets a struct
// that is already on the walk. done holds the structs found free of loops.
bool HasStructLoop(const StructDefinition* def, ObArray& walk, ObArray& done) {
    for (int i = 0; i < done.GetSize(); ++i)
        if (done.GetAt(i) == def) return false;
    for (int i = 0; i < walk.GetSize(); ++i)
        if (walk.GetAt(i) == def) return true;
    walk.Add(const_cast<StructDefinition*>(def));
    for (int m = 0; m < def->GetMemberCount(); ++m) {
        const VariableDefinition* member = def->GetMember(m);
        if (member->structDef != nullptr && HasStructLoop(member->structDef, walk, done))
            return true;
    }
    walk.RemoveLast();
    done.Add(const_cast<StructDefinition*>(def));
    return false;
}

}  // namespace

bool Program::Check(Program& owner, OTSTR& message) {
    (void)owner;
    const char* programName = GetName().GetBuffer(0);
    message.Empty();
    if (pendingStructs.GetSize() > 0) {
        StructItem* first = pendingStructs.GetAt(0);
        message.safeAppends(scriptmsg::kStructIncomplete, programName,
                            static_cast<int>(first->line), first->GetName().GetBuffer(0));
        return false;
    }
    if (pendingProcedures.GetSize() > 0) {
        Procedure* first = pendingProcedures.GetAt(0);
        message.safeAppends(scriptmsg::kProcedureIncomplete, programName,
                            static_cast<int>(first->line), first->name.GetBuffer(0));
        return false;
    }
    for (int i = 0; i < ItemCount(); ++i) {
        ProgramItem* item = ItemAt(i);
        int itemLine = static_cast<int>(ItemLine(i));
        OTSTR failure;
        switch (item->ItemKind()) {
            case kItemStruct: {
                auto* def = static_cast<StructItem*>(item);
                ObArray walk(25), done(25);
                if (HasStructLoop(def, walk, done)) {
                    message.safeAppends(scriptmsg::kStructLoop, programName, itemLine,
                                        def->GetName().GetBuffer(0));
                    return false;
                }
                if (!item->Check(*this, failure)) {
                    message.safeAppends(scriptmsg::kStructAtLine, programName, itemLine,
                                        def->GetName().GetBuffer(0), failure.GetBuffer(0));
                    return false;
                }
                break;
            }
            case kItemProgram:
            case kItemProcedure:
            case kItemWhile:
            case kItemIf:
            case kItemFor:
                if (!item->Check(*this, failure)) {
                    message = failure;
                    return false;
                }
                break;
            case kItemExprStatement:
            case kItemJump:
                if (!item->Check(*this, failure)) {
                    message.safeAppends(scriptmsg::kAtLine, programName, itemLine,
                                        failure.GetBuffer(0));
                    return false;
                }
                break;
            default:
                break;
        }
    }
    return true;
}
