// Program: items of a compiled file or block, and running them.
// Tested by runtime/execute_env_test.cpp.
#include "script/program.h"

#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "base/folded_name_index.h"
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

namespace {

// Frames and Programs with fewer named values or items are scanned: cheaper
// than hashing.
constexpr int kIndexedItems = 8;

// The index key of an item: its kind, then its name with letters folded.
void ItemKey(int32_t kind, const char* text, size_t n, std::string& out) {
    FoldedNameIndex<ProgramItem>::Fold(text, n, out);
    out.insert(out.begin(), static_cast<char>(kind));
}

}  // namespace

Program::Program(Program* parentProgram) : parent(parentProgram) {}

Program::~Program() {
    for (int i = ownedItems.GetSize() - 1; i >= 0; --i) delete ownedItems.GetAt(i);
    pendingStructs.DeleteAll();
    pendingProcedures.DeleteAll();
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
    ++changes;
    int before = items.GetSize();
    uint32_t& entries = entryCounts[item];
    uint32_t earlier = entries;
    if (items.Add(item, static_cast<uint32_t>(itemLine)) == before) return false;
    if (owned) {
        int ownedBefore = ownedItems.GetSize();
        if (ownedItems.Add(item, earlier) == ownedBefore) {
            items.RemoveLast();
            return false;
        }
        ownedOrdinals.emplace(item, earlier);
    }
    entryOrdinals.push_back(earlier);
    ++entries;
    return true;
}

bool Program::RemoveItem(ProgramItem* item, bool destroy) {
    ++changes;
    bool found = false;
    for (int i = items.GetSize() - 1; i >= 0; --i) {
        if (items.GetAt(i) != item) continue;
        items.RemoveAt(i);
        found = true;
    }
    bool owned = false;
    for (int i = ownedItems.GetSize() - 1; i >= 0; --i) {
        if (ownedItems.GetAt(i) != item) continue;
        ownedItems.RemoveAt(i);
        owned = true;
        break;
    }
    if (found || owned) Recount();
    if (owned && destroy) delete item;
    return found || owned;
}

void Program::Recount() {
    ++itemRemovals;
    entryOrdinals.clear();
    entryCounts.clear();
    for (int i = 0; i < items.GetSize(); ++i)
        entryOrdinals.push_back(entryCounts[items.GetAt(i)]++);
    ownedOrdinals.clear();
    for (int i = 0; i < ownedItems.GetSize(); ++i) {
        uint32_t tag = 0;
        ProgramItem* item = ownedItems.GetAt(i, &tag);
        ownedOrdinals.emplace(item, tag);
    }
}

int32_t Program::ItemLine(int index) const {
    uint32_t tag = 0;
    if (items.GetAt(index, &tag) == nullptr) return -1;
    return static_cast<int32_t>(tag);
}

bool Program::OwnsEntry(int index) const {
    const ProgramItem* item = items.GetAt(index);
    if (item == nullptr) return false;
    auto owned = ownedOrdinals.find(item);
    return owned != ownedOrdinals.end() && owned->second == entryOrdinals[index];
}

void Program::ScanKinds() const {
    if (kindsRemovals != itemRemovals) {
        programItems.clear();
        variableItems.clear();
        itemKinds.clear();
        runnableAfter.clear();
        kindsScanned = 0;
        kindsRemovals = itemRemovals;
    }
    for (; kindsScanned < ItemCount(); ++kindsScanned) {
        ProgramItem* item = ItemAt(kindsScanned);
        int32_t kind = item->ItemKind();
        itemKinds.push_back(kind);
        if (kind == kItemProgram) {
            programItems.push_back(static_cast<Program*>(item));
        } else if (kind == kItemVariable) {
            variableItems.push_back(static_cast<VariableDeclaration*>(item));
        }
    }
}

RunTimeStk& Program::NamedValues() {
    ++changes;
    if (namedValues == nullptr) {
        namedValues.reset(new RunTimeStk(this, nullptr, nullptr));
        namedValues->indexNames = true;
    }
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

ProgramItem* Program::OwnItem(int32_t kind, const char* itemName) const {
    auto scan = [&]() -> ProgramItem* {
        for (int i = 0; i < ItemCount(); ++i) {
            ProgramItem* item = ItemAt(i);
            if (item->ItemKind() != kind) continue;
            const OTSTR* name = NameOf(item);
            if (name != nullptr && name->Compare(itemName, false)) return item;
        }
        return nullptr;
    };
    if (ItemCount() < kIndexedItems) return scan();
    if (itemIndex == nullptr) itemIndex.reset(new (std::nothrow) FoldedNameIndex<ProgramItem>);
    if (itemIndex == nullptr) return scan();
    // The first item of a kind and name stays.
    itemIndex->Update(itemRemovals, ItemCount(), [&](int i, std::string& key) -> ProgramItem* {
        ProgramItem* item = ItemAt(i);
        const OTSTR* name = NameOf(item);
        if (name == nullptr) return nullptr;
        ItemKey(item->ItemKind(), name->GetBuffer(0), static_cast<size_t>(name->GetLength()), key);
        return item;
    });
    // The key keeps its block from look-up to look-up (names are often
    // longer than a short string holds).
    thread_local std::string key;
    ItemKey(kind, itemName, strlen(itemName), key);
    ProgramItem* found = itemIndex->Find(key);
    if (found == nullptr) return nullptr;
    // An item renamed since it was indexed is found by the scan.
    const OTSTR* name = NameOf(found);
    if (name == nullptr || !name->Compare(itemName, false)) return scan();
    return found;
}

ProgramItem* Program::FindItem(int32_t kind, const char* itemName) const {
    if (itemName == nullptr) return nullptr;
    for (const Program* p = this; p != nullptr; p = p->parent) {
        if (ProgramItem* item = p->OwnItem(kind, itemName)) return item;
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
    return namedValues->FindLocal(valueName);
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

namespace {

// Whether an item of the kind may do anything when its Program runs.
bool RunsWhenRun(int32_t kind) {
    switch (kind) {
        case kItemVariable:
        case kItemProgram:
        case kItemExprStatement:
        case kItemWhile:
        case kItemIf:
        case kItemJump:
        case kItemFor:
            return true;
        default:
            return false;
    }
}

}  // namespace

int Program::NextRunnable(int i) const {
    // The table follows the kinds: it is made again whenever they grew or
    // were made again.
    if (runnableAfter.size() != itemKinds.size()) {
        runnableAfter.resize(itemKinds.size());
        int next = static_cast<int>(itemKinds.size());
        for (size_t k = itemKinds.size(); k-- > 0;) {
            runnableAfter[k] = next;
            if (RunsWhenRun(itemKinds[k])) next = static_cast<int>(k);
        }
    }
    return runnableAfter[static_cast<size_t>(i)];
}

bool Program::Run(ExecuteEnv& env) {
    RunTimeStk* frame = env.GetTopStk(0);
    if (frame == nullptr) return false;
    const char* programName = GetName().GetBuffer(0);
    for (int i = 0; i < ItemCount(); ++i) {
        if (!env.KeepRunning()) return false;
        // The kinds kept follow the items as they change.
        if (!KindsScanned()) ScanKinds();
        switch (itemKinds[static_cast<size_t>(i)]) {
            case kItemVariable: {
                auto* var = static_cast<VariableDeclaration*>(ItemAt(i));
                int32_t itemLine = ItemLine(i);
                if (var->initializer.IsEmpty()) break;
                OTSTR target = var->GetName();
                if (var->count > 1) target.Append("[]");
                if (!frame->sets(target.GetBuffer(0), var->initializer.GetBuffer(0),
                                 var->InitializerTree())) {
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
                if (parent != nullptr && !env.Execute(static_cast<Program*>(ItemAt(i)))) {
                    return false;
                }
                break;
            case kItemExprStatement:
            case kItemWhile:
            case kItemIf:
            case kItemJump:
            case kItemFor:
                if (!ItemAt(i)->Run(env)) return false;
                break;
            default: {
                // Items that do nothing when run, up to the next one that
                // may: each still counts as a step of the run.
                int next = NextRunnable(i);
                if (env.returning || env.breaking || env.continuing) return true;
                if (next - i > 1 && !env.KeepRunning(static_cast<uint32_t>(next - i - 1))) {
                    return false;
                }
                i = next - 1;
                continue;
            }
        }
        if (env.returning || env.breaking || env.continuing) return true;
    }
    return true;
}

namespace {

// Whether a walk through the struct-typed members of def meets a struct
// that is already on the walk. state holds 1 for the structs on the walk
// and 2 for those found free of loops; it is kept from walk to walk. The
// walk keeps its own stack, so that no chain of structs is too deep for it.
bool HasStructLoop(const StructDefinition* def,
                   std::unordered_map<const StructDefinition*, int>& state) {
    struct Step {
        const StructDefinition* def;
        int member;
    };
    std::vector<Step> walk;
    auto enter = [&](const StructDefinition* next) {
        int& s = state[next];
        if (s == 2) return false;
        if (s == 1) return true;
        s = 1;
        walk.push_back({next, 0});
        return false;
    };
    if (enter(def)) return true;
    while (!walk.empty()) {
        Step& top = walk.back();
        if (top.member == top.def->GetMemberCount()) {
            state[top.def] = 2;
            walk.pop_back();
            continue;
        }
        const VariableDefinition* member = top.def->GetMember(top.member++);
        if (member->structDef != nullptr && enter(member->structDef)) return true;
    }
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
    std::unordered_map<const StructDefinition*, int> structState;
    for (int i = 0; i < ItemCount(); ++i) {
        ProgramItem* item = ItemAt(i);
        int itemLine = static_cast<int>(ItemLine(i));
        OTSTR failure;
        switch (item->ItemKind()) {
            case kItemStruct: {
                auto* def = static_cast<StructItem*>(item);
                if (HasStructLoop(def, structState)) {
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
