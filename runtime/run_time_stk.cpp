// RunTimeStk: frames of script variables, their look-ups and the value
// callback of the expression evaluator. Tested by
// runtime/run_time_stk_test.cpp.
#include "runtime/run_time_stk.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "base/folded_name_index.h"
#include "base/formatted_text.h"
#include "base/same_bytes.h"
#include "base/tracer.h"
#include "pattern/pattern_matcher.h"
#include "pattern/script_rules.h"
#include "runtime/compiled_call.h"
#include "runtime/dotted_path.h"
#include "runtime/execute_env.h"
#include "runtime/native_call.h"
#include "runtime/quiet_call.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/variable_declaration.h"
#include "types/cstruct.h"
#include "types/enum_item_list.h"
#include "types/item_support.h"
#include "types/variable_item.h"
#include "values/expr_evaluator.h"

namespace {

// A plain identifier, or an identifier with a bracketed element count.
const char kNamePattern[] = "^([A-Za-z_][A-Za-z_0-9]*)\\[({?=]})]$|^([A-Za-z_][A-Za-z_0-9]*)$";

PatternMatcher& NameMatcher() {
    static PatternMatcher matcher(kNamePattern);
    return matcher;
}

bool IsCallPath(const char* path) {
    const char* paren = strchr(path, '(');
    const char* bracket = strchr(path, '[');
    return paren != nullptr && (bracket == nullptr || paren < bracket);
}

bool HasStorage(const CVariableItem& item) {
    return item.Header().baseType != -1 && item.Header().baseType != -2;
}

// A call site "f(args)" bound in the frames of one program: the procedure
// found for f there and the arguments split and parsed. The same tree may
// run in frames of other programs (texts parsed once are shared, also by
// the scripts loaded later); each program gets a binding of its own down
// the chain, which never changes while the node lives, so a call in
// progress keeps its arguments. A binding made before a Program changed
// (a script compiled since: a program at the same address may be another
// one) is passed over.
class CallBinding final : public ExprBinding {
  public:
    CallBinding(const Program* program, Procedure* procedure, const char* args)
        : ExprBinding(Kind::kCall),
          program(program),
          changes(Program::Changes()),
          procedure(procedure),
          arguments(args),
          native(procedure),
          quiet(procedure),
          compiled(procedure) {
        arguments.Bind();
    }

    // The binding of node for program, or null. slot receives where a new
    // binding for program goes: null when node has one, when the chain is
    // full, or when node carries a binding of another kind.
    static CallBinding* Find(ExprNode* node, const Program* program,
                             std::unique_ptr<ExprBinding>** slot) {
        *slot = nullptr;
        if (node == nullptr) return nullptr;
        std::unique_ptr<ExprBinding>* at = &node->binding;
        for (int length = 0; *at != nullptr; ++length) {
            // Only the final class CallBinding has its kind: comparing it is
            // the cast.
            ExprBinding* held = at->get();
            auto* binding = held->kind == Kind::kCall ? static_cast<CallBinding*>(held) : nullptr;
            if (binding == nullptr) return nullptr;
            if (binding->program == program && binding->changes == Program::Changes()) {
                return binding;
            }
            if (length + 1 >= kMaxChain) return nullptr;
            at = &binding->next;
        }
        *slot = at;
        return nullptr;
    }

    const Program* program;
    uint32_t changes;
    Procedure* procedure;
    CallArguments arguments;
    // An extern procedure that the environment's handler serves itself.
    NativeCall native;
    // A procedure whose recent results the handler's owner keeps.
    QuietCall quiet;
    // A procedure that the handler's owner has compiled.
    CompiledCall compiled;

  private:
    static constexpr int kMaxChain = 8;
    std::unique_ptr<ExprBinding> next;
};

// What an identifier leaf (not a call) names in the frames of one program,
// found at its first read: a named value, an enum item, or else a variable,
// which is looked up at every read since frames change. Named values and
// enums change only while a script compiles: the binding holds as long as
// no Program changed.
class NameBinding final : public ExprBinding {
  public:
    NameBinding(const Program* program, CVariableItem* constant, const CVarient* enumItem,
                const char* name)
        : ExprBinding(Kind::kName),
          program(program),
          changes(Program::Changes()),
          constant(constant),
          enumItem(enumItem),
          bareLength(BareLength(name)) {
        if (bareLength >= 0 || constant != nullptr || enumItem != nullptr) return;
        dotted.reset(new (std::nothrow) DottedPath);
        if (dotted != nullptr && !dotted->Parse(name)) dotted.reset();
    }

    bool Holds(const Program* p) const { return p == program && changes == Program::Changes(); }

    const Program* const program;
    const uint32_t changes;
    CVariableItem* const constant;
    const CVarient* const enumItem;
    // The name's length when it is a bare name (nothing after it), else -1.
    const int bareLength;
    // A variable's path of names cut apart, when it is one that
    // ResolveDotted takes; else null.
    std::unique_ptr<DottedPath> dotted;
    // Where the variable of a bare name, or the first name of a path, was
    // found last.
    RunTimeStk::NameSlot slot;

  private:
    static int BareLength(const char* name) {
        size_t n = strcspn(name, ".[( \t\r\n\v\f");
        return name[0] != 0 && name[n] == 0 && n < 0x7fffffff ? static_cast<int>(n) : -1;
    }
};

// What name names in program besides a variable: a named value, or an enum
// item (Enum::Item).
void FindNamed(Program& program, const char* name, CVariableItem*& constant,
               const CVarient*& enumItem) {
    constant = program.FindNamedValue(name);
    enumItem = nullptr;
    const char* scope = constant == nullptr ? strstr(name, "::") : nullptr;
    if (scope == nullptr) return;
    OTSTR enumName(name, static_cast<int>(scope - name));
    EnumItemList* list = program.FindEnum(enumName.GetBuffer(0));
    int index = list != nullptr ? list->Find(scope + 2) : -1;
    if (index >= 0) enumItem = list->ItemAt(index);
}

// BindName's binding made anew.
NameBinding* Rebind(ExprNode& leaf, Program& program, const char* name) {
    CVariableItem* constant = nullptr;
    const CVarient* enumItem = nullptr;
    FindNamed(program, name, constant, enumItem);
    auto* bound = new (std::nothrow) NameBinding(&program, constant, enumItem, name);
    leaf.binding.reset(bound);
    return bound;
}

// The NameBinding of a leaf that is no call, for program: the one it holds,
// or one made now; null when out of memory.
inline NameBinding* BindName(ExprNode& leaf, Program& program, const char* name) {
    auto* bound = static_cast<NameBinding*>(leaf.binding.get());
    return bound != nullptr && bound->Holds(&program) ? bound : Rebind(leaf, program, name);
}

// The program that a leaf's binding is made for in frame: its own, else,
// for a frame without one (one that holds the decoder's items), that of the
// first frame around it that has one. Such a frame reads variables alone,
// so there a binding serves only for a variable.
Program* BindingProgram(const RunTimeStk* frame) {
    while (frame != nullptr && frame->program == nullptr) frame = frame->parent;
    return frame != nullptr ? frame->program : nullptr;
}

// Frames with fewer variables are scanned: cheaper than hashing.
constexpr int kIndexedVariables = 8;

// Whether a variable's name is name, of length bytes, letter case ignored.
// The name as it was written, the usual case, needs no folding.
inline bool SameName(const OTSTR& itemName, const char* name, int length) {
    return itemName.GetLength() == length &&
           ((SameBytes(itemName.GetBuffer(), name, length) && name[length] == 0) ||
            itemName.Compare(name, false));
}

}  // namespace

RunTimeStk::RunTimeStk(Program* newProgram, RunTimeStk* newParent, ExecuteEnv* newEnv)
    : program(newProgram), env(newEnv), parent(newParent) {}

RunTimeStk::~RunTimeStk() {
    clear();
}

CVariableItem* RunTimeStk::VariableAt(int i) const {
    return variables.GetAt(i);
}

void RunTimeStk::clear() {
    spares.DeleteAll();
    spareValues.DeleteAll();
    spareChildren.DeleteAll();
    ClearVariables();
}

void RunTimeStk::ClearVariables() {
    // Later items may refer to earlier ones: release in reverse order.
    values.DeleteAll();
    variables.DeleteAll();
    ++variableRemovals;
    layoutKey = nullptr;
    ownedChildren.DeleteAll();
    children.RemoveAll();
    prepared = initialised = false;
    caseSensitive = false;
}

void RunTimeStk::Recycle() {
    // At most a call's worth of small plain items is kept, holding a few KB
    // of texts at most; a reference is kept only once it has let go of the
    // caller's storage it shared. An extra value is kept empty, unless it
    // kept blocks of a name or description.
    constexpr int kMaxKept = 16;
    constexpr int32_t kMaxKeptElements = 64;
    spares.DeleteAll();
    while (values.GetSize() > 0) {
        CVarient* value = values.RemoveLast();
        value->clear(false);
        int before = spareValues.GetSize();
        if (value->GetName().GetCapacity() + value->GetDescription().GetCapacity() > 0 ||
            before >= kMaxKept || spareValues.Add(value) == before) {
            delete value;
        }
    }
    for (int i = variables.GetSize() - 1; i >= 0 && spares.GetSize() < kMaxKept; --i) {
        CVariableItem* item = VariableAt(i);
        if (item->IsReference()) {
            // A by-address parameter is kept blank, without the caller's
            // storage, for the next one.
            if (!item->ClearToBlank()) continue;
        } else if (item->IsStructItem() || item->IsChoice() ||
                   item->GetCount() > kMaxKeptElements ||
                   item->TextBytes() > TVarient::kKeptTextBytes) {
            continue;
        }
        int before = spares.GetSize();
        if (spares.Add(item) > before) variables.RemoveAt(i);
    }
    if (ownedChildren.GetSize() > 0) KeepChildren();
    ClearVariables();
}

void RunTimeStk::KeepChildren() {
    // The frames of the blocks, emptied as well, wait for the next Prepare.
    constexpr int kMaxKeptChildren = 16;
    while (ownedChildren.GetSize() > 0 && spareChildren.GetSize() < kMaxKeptChildren) {
        RunTimeStk* child = ownedChildren.GetAt(ownedChildren.GetSize() - 1);
        int before = spareChildren.GetSize();
        if (spareChildren.Add(child) == before) return;
        ownedChildren.RemoveLast();
        child->Recycle();
    }
}

// Recycle keeps the variables last first, and the next call takes them
// first first: the search runs from the end.
CVariableItem* RunTimeStk::TakeSpare(VariableDefinition* def) {
    for (int i = spares.GetSize() - 1; i >= 0; --i) {
        CVariableItem* item = spares.GetAt(i);
        if (item->def == def && item->Renew(nullptr, def)) return spares.RemoveAt(i);
    }
    return nullptr;
}

CVariableItem* RunTimeStk::TakeSpare(int32_t declaredCode, const char* name, int32_t count) {
    for (int i = spares.GetSize() - 1; i >= 0; --i) {
        CVariableItem* item = spares.GetAt(i);
        if (item->def == nullptr && item->Renew(declaredCode, name, count)) {
            return spares.RemoveAt(i);
        }
    }
    return nullptr;
}

CVarient* RunTimeStk::TakeSpareValue() {
    return spareValues.RemoveLast();
}

CVariableItem* RunTimeStk::TakeBlank() {
    for (int i = spares.GetSize() - 1; i >= 0; --i) {
        if (spares.GetAt(i)->IsBlank()) return spares.RemoveAt(i);
    }
    return nullptr;
}

void RunTimeStk::setProgram(Program* newProgram) {
    if (newProgram == program) return;
    if (prepared) clear();
    program = newProgram;
}

bool RunTimeStk::Prepare(ObArray* newVariables, ObArray* newValues, bool takeOwnership) {
    // A frame that starts empty and adopts nothing holds the program's
    // variables alone.
    bool fresh = variables.GetSize() == 0 &&
                 (!takeOwnership || newVariables == nullptr || newVariables->GetSize() == 0);
    // Only lists whose items this frame may own are adopted.
    if (takeOwnership) {
        if (newVariables != nullptr) {
            for (int i = 0; i < newVariables->GetSize(); ++i)
                AppendVariable(static_cast<CVariableItem*>(newVariables->GetAt(i)));
            newVariables->RemoveAll();
        }
        if (newValues != nullptr) {
            for (int i = 0; i < newValues->GetSize(); ++i)
                values.Add(static_cast<CVarient*>(newValues->GetAt(i)));
            newValues->RemoveAll();
        }
    }
    if (program == nullptr) {
        prepared = true;
        return true;
    }
    // The lists are asked for again at every step, as they would be made
    // again if the items changed meanwhile.
    for (size_t i = 0; i < program->VariableItems().size(); ++i) {
        if (CreateVarInstance(program->VariableItems()[i]) == nullptr) return false;
    }
    RunTimeStk* rootFrame = env != nullptr ? env->GetRoot() : nullptr;
    for (size_t i = 0; i < program->ProgramItems().size(); ++i) {
        Program* sub = program->ProgramItems()[i];
        bool bound = false;
        for (int c = 0; c < children.GetSize() && !bound; ++c) bound = ChildAt(c)->program == sub;
        if (bound) continue;
        if (RunTimeStk* existing = rootFrame ? rootFrame->FindFrameOfProgram(sub) : nullptr) {
            children.Add(existing);
            continue;
        }
        RunTimeStk* child = nullptr;
        for (int k = spareChildren.GetSize() - 1; k >= 0 && child == nullptr; --k) {
            if (spareChildren.GetAt(k)->program == sub) child = spareChildren.RemoveAt(k);
        }
        if (child == nullptr) child = new (std::nothrow) RunTimeStk(sub, this, env);
        if (child == nullptr || !child->Prepare(nullptr, nullptr, true)) {
            delete child;
            return false;
        }
        children.Add(child);
        ownedChildren.Add(child);
    }
    prepared = true;
    if (fresh) layoutKey = program;
    return true;
}

RunTimeStk* RunTimeStk::FindFrameOfProgram(const Program* p) {
    if (p == nullptr) return nullptr;
    if (program == p) return this;
    for (int i = 0; i < children.GetSize(); ++i) {
        if (RunTimeStk* found = ChildAt(i)->FindFrameOfProgram(p)) return found;
    }
    return nullptr;
}

// ---------------------------------------------------------------- variables

CVariableItem* RunTimeStk::FindItem(const char* varName, bool localOnly, bool caseSens) {
    if (varName == nullptr) return nullptr;
    int length = static_cast<int>(strnlen(varName, 0x7fffffff));
    for (RunTimeStk* frame = this; frame != nullptr; frame = frame->parent) {
        if (CVariableItem* item = frame->FindOwn(varName, length, caseSens)) return item;
        if (localOnly) break;
    }
    return nullptr;
}

CVariableItem* RunTimeStk::FindOwn(const char* name, int length, bool caseSens) const {
    if (!caseSens) return FindLocal(name, length);
    for (int i = 0; i < variables.GetSize(); ++i) {
        CVariableItem* item = VariableAt(i);
        if (item->GetItemName().Compare(name, true)) return item;
    }
    return nullptr;
}

CVariableItem* RunTimeStk::FindLocal(const char* name) const {
    if (name == nullptr) return nullptr;
    return FindLocal(name, static_cast<int>(strnlen(name, 0x7fffffff)));
}

CVariableItem* RunTimeStk::LocalAt(int index, const char* name) const {
    if (caseSensitive || name == nullptr || index < 0 || index >= variables.GetSize()) {
        return nullptr;
    }
    int length = static_cast<int>(strlen(name));
    for (int i = 0; i <= index; ++i) {
        if (SameName(VariableAt(i)->GetItemName(), name, length)) {
            return i == index ? VariableAt(i) : nullptr;
        }
    }
    return nullptr;
}

CVariableItem* RunTimeStk::FindLocal(const char* name, int length) const {
    auto scan = [&]() -> CVariableItem* {
        // Names of another length are passed over without comparing them,
        // and so are names whose first letters differ in more than case
        // (the bit 0x20 that folding changes).
        for (int i = 0; i < variables.GetSize(); ++i) {
            CVariableItem* item = VariableAt(i);
            const OTSTR& itemName = item->GetItemName();
            if (itemName.GetLength() != length) continue;
            if (length > 0 && ((itemName.GetBuffer(0)[0] ^ name[0]) & ~0x20) != 0) continue;
            if (SameName(itemName, name, length)) return item;
        }
        return nullptr;
    };
    if (!indexNames || variables.GetSize() < kIndexedVariables) return scan();
    if (nameIndex == nullptr) nameIndex.reset(new (std::nothrow) FoldedNameIndex<CVariableItem>);
    if (nameIndex == nullptr) return scan();
    // The first variable of a name stays.
    nameIndex->Update(
        variableRemovals, variables.GetSize(), [&](int i, std::string& key) -> CVariableItem* {
            CVariableItem* item = VariableAt(i);
            const OTSTR& itemName = item->GetItemName();
            FoldedNameIndex<CVariableItem>::Fold(itemName.GetBuffer(0),
                                                 static_cast<size_t>(itemName.GetLength()), key);
            return item;
        });
    // The key keeps its block from look-up to look-up.
    thread_local std::string key;
    FoldedNameIndex<CVariableItem>::Fold(name, static_cast<size_t>(length), key);
    CVariableItem* found = nameIndex->Find(key);
    if (found == nullptr) return nullptr;
    // A variable renamed since it was indexed is found by the scan.
    if (!found->GetItemName().Compare(name, false)) return scan();
    return found;
}

bool RunTimeStk::AppendVariable(CVariableItem* item) {
    layoutKey = nullptr;
    int before = variables.GetSize();
    return variables.Add(item) != before;
}

bool RunTimeStk::AddItem(CVariableItem* item) {
    // An empty frame holds no item of the name.
    if (item == nullptr ||
        (variables.GetSize() > 0 && FindItem(item->GetItemName().GetBuffer(0), true, false))) {
        return false;
    }
    return AppendVariable(item);
}

CVariableItem* RunTimeStk::DetachItem(CVariableItem* item, bool localOnly) {
    for (RunTimeStk* frame = this; frame != nullptr; frame = frame->parent) {
        for (int i = 0; i < frame->variables.GetSize(); ++i) {
            if (frame->VariableAt(i) != item) continue;
            ++frame->variableRemovals;
            frame->layoutKey = nullptr;
            return frame->variables.RemoveAt(i);
        }
        if (localOnly) break;
    }
    return nullptr;
}

CVariableItem* RunTimeStk::DetachItem(const char* varName, bool localOnly, bool caseSens) {
    CVariableItem* item = FindItem(varName, localOnly, caseSens);
    return item != nullptr ? DetachItem(item, localOnly) : nullptr;
}

// A new item for a variable of that name, unless the frame has one already;
// with reuse, a kept variable of that definition renewed when one fits
// (*renewed tells which).
CVariableItem* RunTimeStk::NewVariable(const char* name, VariableDefinition* reuse, bool* renewed) {
    if (renewed != nullptr) *renewed = false;
    if (FindItem(name, true, false) != nullptr) {
        TraceLine(
            "RunTimeStk::CreateVarInstance('%s') fail, Instance with same name already "
            "created !",
            name);
        return nullptr;
    }
    if (reuse != nullptr && renewed != nullptr) {
        if (CVariableItem* kept = TakeSpare(reuse)) {
            *renewed = true;
            return kept;
        }
    }
    auto* item = new (std::nothrow) CVariableItem;
    if (item == nullptr) {
        TraceLine("RunTimeStk::CreateVarInstance('%s') fail, new CVariableItem error !", name);
    }
    return item;
}

CVariableItem* RunTimeStk::CreateVarInstance(VariableDefinition* def, const char* varName) {
    if (def == nullptr) return nullptr;
    const char* name = varName != nullptr ? varName : def->GetName().GetBuffer(0);
    // A renewed item already has the definition's name.
    bool renewed = false;
    CVariableItem* item = NewVariable(name, varName == nullptr ? def : nullptr, &renewed);
    if (item == nullptr) return nullptr;
    if (!renewed) {
        if (!item->create(nullptr, def)) {
            TraceLine("RunTimeStk::CreateVarInstance() fail, create CVariableItem error !");
            delete item;
            return nullptr;
        }
        item->SetName(name);
    }
    if (!AppendVariable(item)) {
        delete item;
        return nullptr;
    }
    return item;
}

CVariableItem* RunTimeStk::CreateFromSpec(const char* nameSpec, StructDefinition* structDef,
                                          int32_t declaredCode) {
    OTSTR spec(nameSpec ? nameSpec : "");
    spec.TrimLeft();
    spec.TrimRight();
    OTSTR parts[kMaxParams];
    if (spec.IsEmpty() || !NameMatcher().Match(spec.GetBuffer(0), parts)) return nullptr;
    int32_t count = 1;
    if (!parts[1].IsEmpty() && (!parts[1].ToLong(count, 10) || count < 1)) return nullptr;
    const char* name = parts[0].GetBuffer(0);
    CVariableItem* item = NewVariable(name);
    if (item == nullptr) return nullptr;
    bool made = structDef != nullptr ? item->create(structDef, name, count)
                                     : item->create(declaredCode, name, count);
    if (!made) {
        TraceLine("RunTimeStk::CreateVarInstance() fail, create CVariableItem error !");
        delete item;
        return nullptr;
    }
    if (!AppendVariable(item)) {
        delete item;
        return nullptr;
    }
    return item;
}

CVariableItem* RunTimeStk::CreateVarInstance(int32_t declaredCode, const char* nameSpec) {
    return CreateFromSpec(nameSpec, nullptr, declaredCode);
}

CVariableItem* RunTimeStk::CreateVarInstance(StructDefinition* structDef, const char* nameSpec) {
    return structDef != nullptr ? CreateFromSpec(nameSpec, structDef, -1) : nullptr;
}

// ---------------------------------------------------------------- paths

CVariableItem* RunTimeStk::GetRootVariableItem(const char* path, bool report) {
    OTSTR ident, subscript, rest;
    if (!ExprEvaluator::SplitPath(path, ident, subscript, rest)) {
        if (report)
            TraceLine("RunTimeStk::GetRootVariableItem('%s') fail, varstring split fail !", path);
        return nullptr;
    }
    CVariableItem* item = FindItem(ident.GetBuffer(0), false, caseSensitive);
    if (item == nullptr && report) {
        TraceLine(
            "RunTimeStk::GetRootVariableItem('%s') fail, '%s' is not a valid VariableItem in "
            "RunTimeStk !",
            path, ident.GetBuffer(0));
    }
    return item;
}

CVariableItem* RunTimeStk::GetItem(const char* path, int32_t* outIdx) {
    return Resolve(path, outIdx, true);
}

CVariableItem* RunTimeStk::GetItem(const char* path, ExprNode* leaf, int32_t* outIdx) {
    CVariableItem* item = BoundItem(path, leaf, outIdx);
    return item != nullptr ? item : GetItem(path, outIdx);
}

CVariableItem* RunTimeStk::BoundItem(const char* path, ExprNode* leaf, int32_t* outIdx) {
    bool bound = leaf != nullptr && path != nullptr && leaf->IsLeaf() && leaf->id == kTokIdent &&
                 strcmp(leaf->text.GetBuffer(0), path) == 0;
    return bound ? FindBound(leaf, outIdx) : nullptr;
}

CVariableItem* RunTimeStk::FindVariable(const char* path, int32_t* idx) {
    return Resolve(path, idx, true);
}

// The first identifier of the path is found through the frames; the rest
// is resolved in the element struct it leads to.
void RunTimeStk::ReportUnknown(const char* path, const char* name, bool report) {
    if (env == nullptr) return;
    OTSTR unknown;
    unknown.safeAppends(
        "RunTimeStk::GetItem('%s') fail, '%s' is not a valid VariableItem in RunTimeStk !", path,
        name);
    if (report) {
        env->SetLastError("%s", unknown.GetBuffer(0));
    } else {
        TraceLine("%s", unknown.GetBuffer(0));
    }
}

CVariableItem* RunTimeStk::Resolve(const char* path, int32_t* outIdx, bool report) {
    if (path == nullptr) return nullptr;
    // A bare name is its own first identifier, with nothing after it.
    if (path[0] != 0 && path[strcspn(path, ".[( \t\r\n\v\f")] == 0) {
        CVariableItem* item = FindItem(path, false, caseSensitive);
        if (item == nullptr) {
            ReportUnknown(path, path, report);
        } else if (outIdx != nullptr) {
            *outIdx = item->GetCount() == 1 ? 0 : -1;
        }
        return item;
    }
    if (CVariableItem* item = ResolveDotted(path, outIdx)) return item;
    OTSTR ident, subscript, rest;
    if (!ExprEvaluator::SplitPath(path, ident, subscript, rest)) {
        TraceLine("RunTimeStk::GetItem('%s') fail, varstring split fail !", path);
        return nullptr;
    }
    const char* name = ident.GetBuffer(0);
    CVariableItem* item = FindItem(name, false, caseSensitive);
    if (item == nullptr) {
        ReportUnknown(path, name, report);
        return nullptr;
    }
    if (rest.IsEmpty() && outIdx == nullptr && !subscript.IsEmpty()) {
        TraceLine(
            "RunTimeStk::GetItem('%s') fail, '(paramId)' or '[idx]' can not be used in last "
            "Ident when lastIdx=NULL",
            path);
        return nullptr;
    }
    int32_t idx = item->GetCount() == 1 ? 0 : -1;
    if (subscript.GetAt(0) == '(') {
        if (subscript.GetLength() <= 2) {
            TraceLine("RunTimeStk::GetItem('%s') fail, Choice idx invalid !", path);
        } else if (!item->IsChoice()) {
            TraceLine(
                "RunTimeStk::GetChoiceItem('%s') fail, '(' and ')' can only be used to "
                "T_PCHOICE member !",
                path);
        } else {
            TraceLine("RunTimeStk::GetChoiceItem('%s') fail, '()' is not support now !", path);
        }
        return nullptr;
    }
    if (subscript.GetAt(0) == '[') {
        OTSTR inner = subscript.Mid(1, subscript.GetLength() - 2);
        inner.TrimLeft();
        inner.TrimRight();
        if (inner.IsEmpty()) {
            idx = -1;
        } else {
            ExprEvaluator evaluator;
            BindEvaluator(evaluator);
            if (!evaluator.CalcLong(inner.GetBuffer(0), idx)) {
                TraceLine("RunTimeStk::GetItem('%s') calculate '%s' fail, %s !", path,
                          inner.GetBuffer(0), evaluator.GetLastError().GetBuffer(0));
                return nullptr;
            }
            if (idx < 0 || idx >= item->GetCount()) {
                TraceLine("RunTimeStk::GetItem('%s') idx out of range !", path);
                return nullptr;
            }
        }
    }
    if (outIdx != nullptr) *outIdx = idx;
    if (rest.IsEmpty()) return item;
    if (!item->IsStructItem()) {
        OTSTR head = ident;
        head.Append(subscript);
        TraceLine("RunTimeStk::GetItem('%s') fail, illegal '%s' after '%s' !", path,
                  rest.GetBuffer(0), head.GetBuffer(0));
        return nullptr;
    }
    CStruct* element = item->StructAt(idx);
    if (element == nullptr) {
        TraceLine("RunTimeStk::GetItem('%s') fail, '%s[%ld]' invalid !", path, ident.GetBuffer(0),
                  static_cast<long>(idx));
        return nullptr;
    }
    return element->GetItem(rest.GetBuffer(0), outIdx, this);
}

CVariableItem* RunTimeStk::ResolveDotted(const char* path, int32_t* outIdx) {
    // The path is cut apart in a scratch kept from call to call, unless a
    // walk that uses it is under way.
    static thread_local DottedPath scratch;
    static thread_local bool busy = false;
    DottedPath local;
    DottedPath& cut = busy ? local : scratch;
    if (!cut.Parse(path)) return nullptr;
    bool wasBusy = busy;
    busy = true;
    CVariableItem* item = FollowDotted(cut, nullptr, outIdx);
    busy = wasBusy;
    return item;
}

CVariableItem* RunTimeStk::MemberOf(CStruct& element, const DottedPath& path, int s) const {
    const DottedPath::Step& step = path.StepAt(s);
    const char* name = path.NameOf(s);
    // The members of structs of one definition stand in the same order: the
    // member where the name was found last time is the first of that name
    // again while it bears the name.
    int32_t count = element.members.GetSize();
    if (element.def != nullptr && step.hintDef == element.def && step.hintCount == count &&
        step.hintIndex < count) {
        CVariableItem* member = element.members.GetAt(step.hintIndex);
        const OTSTR* memberName = member != nullptr ? &member->Header().GetName() : nullptr;
        // The name as it was written, the usual case, is the same bytes.
        if (memberName != nullptr && memberName->GetLength() == step.nameLength &&
            (SameBytes(memberName->GetBuffer(), name, step.nameLength) ||
             memberName->Compare(name, caseSensitive))) {
            return member;
        }
    }
    CVariableItem* found = element.GetItemByName(name, caseSensitive, true);
    step.hintDef = nullptr;
    for (int32_t i = 0; found != nullptr && element.def != nullptr && i < count; ++i) {
        if (element.members.GetAt(i) == found) {
            step.hintDef = element.def;
            step.hintCount = count;
            step.hintIndex = i;
            break;
        }
    }
    return found;
}

CVariableItem* RunTimeStk::FollowDotted(const DottedPath& path, NameSlot* slot, int32_t* outIdx) {
    // The member look-ups count as one level of item nesting, as the
    // general route's do.
    ItemNesting nesting;
    if (path.StepCount() < 1) return nullptr;
    // The first name, found through the frames.
    const DottedPath::Step& step = path.StepAt(0);
    CVariableItem* item = FindBare(path.NameOf(0), step.nameLength, slot);
    if (item == nullptr) return nullptr;
    int32_t idx = item->GetCount() == 1 ? 0 : -1;
    bool last = path.StepCount() == 1;
    if (step.subscript >= 0) {
        if (step.subscript >= item->GetCount()) return nullptr;
        // As the general route: refused where the caller wants no index.
        if (last && outIdx == nullptr) return nullptr;
        idx = step.subscript;
    }
    if (!last && nesting.TooDeep()) return nullptr;
    return FollowFrom(path, 1, item, idx, outIdx);
}

CVariableItem* RunTimeStk::FollowFrom(const DottedPath& path, int from, CVariableItem* item,
                                      int32_t idx, int32_t* outIdx) const {
    int count = path.StepCount();
    for (int s = from; s < count; ++s) {
        const DottedPath::Step& step = path.StepAt(s);
        CStruct* element = item->StructAt(idx);
        if (element == nullptr) return nullptr;
        item = MemberOf(*element, path, s);
        if (item == nullptr) return nullptr;
        idx = item->Header().count == 1 ? 0 : -1;
        if (step.subscript >= 0) {
            if (step.subscript >= item->Header().count) return nullptr;
            if (s + 1 == count && outIdx == nullptr) return nullptr;
            idx = step.subscript;
        }
    }
    if (outIdx != nullptr) *outIdx = idx;
    return item;
}

std::unique_ptr<RunTimeStk> RunTimeStk::MakeCallFrame(
    ExecuteEnv& env, Procedure& procedure, RunTimeStk* parent,
    std::vector<std::unique_ptr<CVariableItem>> items) {
    std::unique_ptr<RunTimeStk> made(new (std::nothrow) RunTimeStk(procedure.body, parent, &env));
    if (made == nullptr) return nullptr;
    ObArray list;
    for (std::unique_ptr<CVariableItem>& item : items) {
        int before = list.GetSize();
        if (item == nullptr || list.Add(item.get()) == before) return nullptr;
    }
    // The frame owns them from here on, whether or not it is prepared.
    for (std::unique_ptr<CVariableItem>& item : items) item.release();
    if (!made->Prepare(&list, nullptr, true)) return nullptr;
    made->SetLayout(&procedure);
    return made;
}

void RunTimeStk::BindEvaluator(ExprEvaluator& evaluator) {
    evaluator.SetCallback(this, ValueProc, ReadProc, ReadInteger, WriteLeaf);
}

RunTimeStk::ValueCallback RunTimeStk::GetValueCallback() const {
    return ValueProc;
}

// ---------------------------------------------------------------- get / set

CVariableItem* RunTimeStk::ReadyItem(const char* path, int32_t* idx, bool needElement,
                                     bool* hasValue, bool report) {
    *idx = -1;
    CVariableItem* item = Resolve(path, idx, report);
    if (item == nullptr || !HasStorage(*item) || (needElement && *idx < 0)) return nullptr;
    if (hasValue != nullptr) *hasValue = item->HasValue();
    return item;
}

bool RunTimeStk::get(const char* path, long& value, bool* hasValue) {
    int32_t v = 0;
    if (!get(path, v, hasValue)) return false;
    value = v;
    return true;
}

bool RunTimeStk::get(const char* path, int32_t& value, bool* hasValue) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, true, hasValue);
    return item != nullptr && GetElement(*item, idx, value);
}

bool RunTimeStk::GetElement(const CVariableItem& item, int32_t idx, int32_t& value) {
    return HasStorage(item) && idx >= 0 && item.getAt_as_long(idx, value);
}

bool RunTimeStk::GetElement(const CVariableItem& item, int32_t idx, uint32_t& value) {
    return HasStorage(item) && idx >= 0 && item.getAt_as_ulong(idx, value);
}

bool RunTimeStk::GetElement(const CVariableItem& item, int32_t idx, OTSTR& value) {
    if (!HasStorage(item)) return false;
    if (idx >= 0) return item.getAt(idx, value);
    int32_t type = item.GetType();
    return (type == kTypeInt1 || type == kTypeUInt1) && item.getByteString(value);
}

const OTSTR* RunTimeStk::TextElement(const CVariableItem& item, int32_t idx) {
    return HasStorage(item) && idx >= 0 ? item.TextAt(idx) : nullptr;
}

bool RunTimeStk::get(const char* path, unsigned char& value, bool* hasValue) {
    uint32_t v = 0;
    if (!get(path, v, hasValue)) return false;
    value = static_cast<unsigned char>(v);
    return true;
}

bool RunTimeStk::get(const char* path, uint32_t& value, bool* hasValue) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, true, hasValue);
    return item != nullptr && GetElement(*item, idx, value);
}

bool RunTimeStk::get(const char* path, OTSTR& value, bool* hasValue) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, false, hasValue);
    return item != nullptr && GetElement(*item, idx, value);
}

bool RunTimeStk::get(const char* path, CVarient& value, bool* hasValue) {
    return ReadValue(path, value, hasValue, false);
}

bool RunTimeStk::ReadValue(const char* path, CVarient& value, bool* hasValue, bool report) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, false, hasValue, report);
    return item != nullptr && ReadElement(*item, idx, value);
}

// Element idx of item, or (-1) the whole of a byte array as one string.
bool RunTimeStk::ReadElement(const CVariableItem& item, int32_t idx, CVarient& value) {
    if (idx >= 0) return item.getAt(idx, value);
    int32_t type = item.GetType();
    OTSTR bytes;
    if ((type != kTypeInt1 && type != kTypeUInt1) || !item.getByteString(bytes)) return false;
    return value.setBytes(bytes.GetBuffer(0), bytes.GetLength());
}

CVariableItem* RunTimeStk::FindBare(const char* name, int length, NameSlot* slot) {
    if (slot != nullptr && slot->depth >= 0 && !caseSensitive) {
        // The layouts kept are never null, so a frame of unknown layout
        // ends the walk.
        RunTimeStk* frame = this;
        for (int d = 0; frame != nullptr && frame->layoutKey == slot->layouts[d]; ++d) {
            if (d == slot->depth) {
                if (slot->index >= frame->variables.GetSize()) break;
                CVariableItem* item = frame->VariableAt(slot->index);
                const OTSTR& itemName = item->GetItemName();
                int itemLength = itemName.GetLength();
                if (slot->soughtLength == length && slot->matchedLength == itemLength &&
                    name[length] == 0 && SameBytes(slot->sought, name, length) &&
                    SameBytes(slot->matched, itemName.GetBuffer(), itemLength)) {
                    return item;
                }
                if (!SameName(itemName, name, length)) break;
                if (length <= NameSlot::kMatchedBytes && itemLength <= NameSlot::kMatchedBytes) {
                    memcpy(slot->sought, name, static_cast<size_t>(length));
                    memcpy(slot->matched, itemName.GetBuffer(), static_cast<size_t>(itemLength));
                    slot->soughtLength = length;
                    slot->matchedLength = itemLength;
                }
                return item;
            }
            frame = frame->parent;
        }
    }
    return SearchBare(name, length, slot);
}

CVariableItem* RunTimeStk::SearchBare(const char* name, int length, NameSlot* slot) {
    CVariableItem* item = nullptr;
    RunTimeStk* owner = this;
    int depth = 0;
    for (; owner != nullptr; owner = owner->parent, ++depth) {
        item = owner->FindOwn(name, length, caseSensitive);
        if (item != nullptr) break;
    }
    if (slot == nullptr) return item;
    slot->depth = -1;
    if (item == nullptr || caseSensitive || depth > NameSlot::kMaxDepth) return item;
    RunTimeStk* frame = this;
    for (int d = 0; d <= depth; ++d, frame = frame->parent) {
        if (frame->layoutKey == nullptr) return item;
        slot->layouts[d] = frame->layoutKey;
    }
    for (int i = 0; i < owner->variables.GetSize(); ++i) {
        if (owner->VariableAt(i) != item) continue;
        slot->depth = depth;
        slot->index = i;
        break;
    }
    return item;
}

int RunTimeStk::ReadBare(const char* name, int length, CVarient& value, NameSlot* slot) {
    CVariableItem* item = FindBare(name, length, slot);
    if (item == nullptr) {
        ReportUnknown(name, name, true);
        return 0;
    }
    if (!HasStorage(*item)) return 0;
    bool hasValue = item->HasValue();
    if (!ReadElement(*item, item->GetCount() == 1 ? 0 : -1, value)) return 0;
    if (!hasValue) {
        Report("GetRunTimeValue('%s') fail, data not initialized !", name);
        return 0;
    }
    return 1;
}

bool RunTimeStk::set(const char* path, const uint32_t* newValues, int count) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, false, nullptr);
    if (item == nullptr || !item->IsWritable() || newValues == nullptr || count < 1) return false;
    int32_t first = idx >= 0 ? idx : 0;
    int32_t n = idx >= 0 ? 1 : count;
    for (int32_t i = 0; i < n && first + i < item->GetCount(); ++i) {
        bool ok;
        if (item->Header().IsBitField()) {
            CVarient unit;
            unit.setInteger(newValues[i], kTypeUInt4);
            ok = item->setBitData(first + i, unit);
        } else {
            ok = item->setAt(first + i, newValues[i]);
        }
        if (!ok) return false;
    }
    return true;
}

bool RunTimeStk::sets(const char* path, const char* text) {
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, false, nullptr);
    return item != nullptr && sets(item, idx, text);
}

bool RunTimeStk::sets(const char* path, const char* text, ExprNode* tree) {
    if (tree == nullptr) return sets(path, text);
    int32_t idx;
    CVariableItem* item = ReadyItem(path, &idx, false, nullptr);
    if (item == nullptr || !item->IsWritable()) return false;
    if (item->GetCount() != 1 || item->IsStructItem()) return sets(item, idx, text);
    return item->SetsFromTree(tree, text, this);
}

bool RunTimeStk::sets(const char* name, const char* text, ExprNode* tree, NameSlot* slot) {
    CVariableItem* item = tree != nullptr && name != nullptr
                              ? FindBare(name, static_cast<int>(strlen(name)), slot)
                              : nullptr;
    // The text route gives the messages of a name that no frame has.
    if (item == nullptr) return sets(name, text, tree);
    return SetsFound(*item, item->GetCount() == 1 ? 0 : -1, text, tree);
}

bool RunTimeStk::SetsFound(CVariableItem& item, int32_t idx, const char* text, ExprNode* tree) {
    if (!HasStorage(item) || !item.IsWritable()) return false;
    if (tree == nullptr || item.GetCount() != 1 || item.IsStructItem()) {
        return sets(&item, idx, text);
    }
    return item.SetsFromTree(tree, text, this);
}

bool RunTimeStk::sets(CVariableItem* item, int32_t idx, const char* text) {
    if (item == nullptr || !item->IsWritable()) return false;
    if (item->IsStructItem() && idx >= 0) {
        CStruct* element = item->StructAt(idx);
        return element != nullptr && element->sets(text, this);
    }
    return item->sets(idx, text, this);
}

// ---------------------------------------------------------------- callback

int RunTimeStk::ValueProc(void* context, int argc, void** argv) {
    auto* self = static_cast<RunTimeStk*>(context);
    if (self == nullptr || argc < 3) return 0;
    int request = static_cast<int>(reinterpret_cast<intptr_t>(argv[0]));
    const char* name = static_cast<const char*>(argv[1]);
    if (name == nullptr) return 0;
    switch (request) {
        case kVarAssign: {
            auto* value = static_cast<CVarient*>(argv[2]);
            int32_t idx = -1;
            CVariableItem* item = self->GetItem(name, &idx);
            if (item == nullptr || value == nullptr) return 0;
            return self->Assign(*item, idx, name, *value);
        }
        case kVarRead:
            return ReadProc(context, name, static_cast<CVarient*>(argv[2]), nullptr);
        case kVarAssignText:
            return self->sets(name, static_cast<const char*>(argv[2]));
        default:
            return 0;
    }
}

int RunTimeStk::Assign(CVariableItem& item, int32_t idx, const char* name, const CVarient& value) {
    if (idx < 0) {
        if (item.GetCount() >= 2) {
            Report(
                "RunTimeStk::AssignValueProc('%s') fail, simple value can't assign "
                "to array ident !",
                name);
            return 0;
        }
        idx = 0;
    }
    return item.Header().IsBitField() ? item.setBitData(idx, value) : item.setAt(idx, value);
}

CVariableItem* RunTimeStk::FindBound(ExprNode* leaf, int32_t* outIdx) {
    // Only variables are looked for here.
    Program* key = BindingProgram(this);
    ExprBinding* held = leaf->binding.get();
    if (key == nullptr || !CallArguments::BindingOn() || leaf->IsCall() ||
        (held != nullptr && held->kind != ExprBinding::Kind::kName)) {
        return nullptr;
    }
    const char* name = leaf->text.GetBuffer(0);
    NameBinding* bound = BindName(*leaf, *key, name);
    // A named value or an enum item is no variable.
    if (bound == nullptr || bound->constant != nullptr || bound->enumItem != nullptr)
        return nullptr;
    if (bound->bareLength >= 0) {
        CVariableItem* item = FindBare(name, bound->bareLength, &bound->slot);
        if (item != nullptr && outIdx != nullptr) *outIdx = item->GetCount() == 1 ? 0 : -1;
        return item;
    }
    return bound->dotted != nullptr ? FollowDotted(*bound->dotted, &bound->slot, outIdx) : nullptr;
}

// An assignment to a leaf bound before, to the variable its bare name or
// dotted path finds; anything else is left to kVarAssign or kVarAssignText.
int RunTimeStk::WriteLeaf(void* context, ExprNode* leaf, CVarient* value, ExprNode* source) {
    auto* self = static_cast<RunTimeStk*>(context);
    if (self == nullptr || leaf == nullptr || (value == nullptr && source == nullptr)) return -1;
    int32_t idx = -1;
    CVariableItem* item = self->FindBound(leaf, &idx);
    if (item == nullptr) return -1;
    const char* name = leaf->text.GetBuffer(0);
    if (value != nullptr) return self->Assign(*item, idx, name, *value);
    // The text of a plain name or path as sets gives it to one element,
    // evaluated from the leaf, the tree its parse makes.
    const char* text = source->text.GetBuffer(0);
    bool plain = text[0] != 0 && text[strcspn(text, ",{}[]()\"' \t\r\n")] == 0;
    return self->SetsFound(*item, idx, text, plain ? source : nullptr) ? 1 : 0;
}

// A read: a call path runs the procedure (bound to leaf, the call site,
// when there is one), else the name is a named value, an Enum::Item or a
// variable.
int RunTimeStk::ReadProc(void* context, const char* name, CVarient* out, ExprNode* leaf) {
    auto* self = static_cast<RunTimeStk*>(context);
    if (self == nullptr || name == nullptr || out == nullptr) return 0;
    // A leaf that holds a NameBinding is known to be no call (name is its
    // text); any other is looked at.
    ExprBinding* held =
        leaf != nullptr && CallArguments::BindingOn() ? leaf->binding.get() : nullptr;
    bool named = held != nullptr && held->kind == ExprBinding::Kind::kName;
    // A leaf read by its own text knows whether it is a call.
    bool call = leaf != nullptr && leaf->id == kTokIdent && leaf->text.GetBuffer(0) == name
                    ? leaf->IsCall()
                    : IsCallPath(name);
    if (!named && call) return self->CallProcedure(name, *out, leaf);
    NameBinding* bound = nullptr;
    if (self->program != nullptr) {
        // A leaf's text never changes, so a leaf that is not a call holds
        // a NameBinding when it holds anything.
        if (!CallArguments::BindingOn()) leaf = nullptr;
        bound = leaf != nullptr ? BindName(*leaf, *self->program, name) : nullptr;
        CVariableItem* constant = nullptr;
        const CVarient* enumItem = nullptr;
        if (bound != nullptr) {
            constant = bound->constant;
            enumItem = bound->enumItem;
        } else {
            FindNamed(*self->program, name, constant, enumItem);
        }
        if (constant != nullptr) return constant->getAt(0, *out);
        if (enumItem != nullptr) return out->clone(*enumItem);
    } else if (leaf != nullptr && CallArguments::BindingOn()) {
        Program* key = BindingProgram(self);
        bound = key != nullptr ? BindName(*leaf, *key, name) : nullptr;
        if (bound != nullptr && (bound->constant != nullptr || bound->enumItem != nullptr)) {
            bound = nullptr;
        }
    }
    // A bare name is a variable: ReadValue's search without its path split.
    if (bound != nullptr && bound->bareLength >= 0) {
        return self->ReadBare(name, bound->bareLength, *out, &bound->slot);
    }
    // A path cut apart before is followed as ReadValue follows it; where
    // that finds nothing, ReadValue's general route gives the message.
    bool hasValue = false;
    int32_t idx = -1;
    CVariableItem* item = bound != nullptr && bound->dotted != nullptr
                              ? self->FollowDotted(*bound->dotted, &bound->slot, &idx)
                              : nullptr;
    if (item != nullptr) {
        if (!HasStorage(*item)) return 0;
        hasValue = item->HasValue();
        if (!ReadElement(*item, idx, *out)) return 0;
    } else if (!self->ReadValue(name, *out, &hasValue, true)) {
        return 0;
    }
    if (!hasValue) {
        self->Report("GetRunTimeValue('%s') fail, data not initialized !", name);
        return 0;
    }
    return 1;
}

int RunTimeStk::ReadInteger(void* context, ExprNode* leaf, uint32_t* word, int32_t* type) {
    auto* self = static_cast<RunTimeStk*>(context);
    ExprBinding* held = leaf != nullptr ? leaf->binding.get() : nullptr;
    if (self == nullptr || !CallArguments::BindingOn() || held == nullptr) return 0;
    if (held->kind == ExprBinding::Kind::kCall) {
        // A call bound by an earlier run, read where its native function
        // allows it; the call runs on the usual route otherwise.
        std::unique_ptr<ExprBinding>* slot = nullptr;
        CallBinding* call = CallBinding::Find(leaf, self->program, &slot);
        return call != nullptr && self->env != nullptr && self->env->GetTopStk(0) == self &&
                       call->native.ReadInteger(*self->env, call->arguments, *word, *type)
                   ? 1
                   : 0;
    }
    if (held->kind != ExprBinding::Kind::kName) return 0;
    auto* bound = static_cast<NameBinding*>(held);
    Program* key = self->program != nullptr ? self->program : BindingProgram(self);
    if (key == nullptr || !bound->Holds(key)) return 0;
    // A frame without a program reads variables alone.
    if (self->program == nullptr && (bound->constant != nullptr || bound->enumItem != nullptr)) {
        return 0;
    }
    // In ReadProc's order: a named value, an enum item, a variable.
    if (bound->constant != nullptr) {
        *type = bound->constant->GetType();
        return bound->constant->GetWord(0, *word) ? 1 : 0;
    }
    if (const CVarient* item = bound->enumItem) {
        *word = item->value;
        *type = item->GetType();
        return IsIntegerType(*type) ? 1 : 0;
    }
    const char* name = leaf->text.GetBuffer(0);
    int32_t idx = -1;
    CVariableItem* item = nullptr;
    if (bound->bareLength >= 0) {
        item = self->FindBare(name, bound->bareLength, &bound->slot);
        if (item != nullptr) idx = item->GetCount() == 1 ? 0 : -1;
    } else if (bound->dotted != nullptr) {
        item = self->FollowDotted(*bound->dotted, &bound->slot, &idx);
    }
    if (item == nullptr || !HasStorage(*item) || !item->HasValue() || idx < 0) return 0;
    *type = item->GetType();
    return item->GetWord(idx, *word) ? 1 : 0;
}

// The environment's error (which is also traced), or the trace alone for a
// frame without an environment.
void RunTimeStk::Report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    if (env != nullptr) {
        env->SetLastError("%s", text.Get());
    } else {
        TraceLine("%s", text.Get());
    }
}

// A procedure call path "f(args)": runs f in the environment with the text
// between the parentheses as its arguments. With the call site's node, the
// procedure and the arguments are bound to it the first time and found
// there afterwards.
const NativeCall* RunTimeStk::BoundNativeCall(ExprNode* call, const CallArguments** args) {
    std::unique_ptr<ExprBinding>* slot = nullptr;
    CallBinding* binding =
        CallArguments::BindingOn() ? CallBinding::Find(call, program, &slot) : nullptr;
    if (binding == nullptr) return nullptr;
    *args = &binding->arguments;
    return &binding->native;
}

bool RunTimeStk::CallProcedure(const char* path, CVarient& result, ExprNode* node) {
    if (path == nullptr) path = "";
    std::unique_ptr<ExprBinding>* slot = nullptr;
    if (!CallArguments::BindingOn()) node = nullptr;
    CallBinding* binding = CallBinding::Find(node, program, &slot);
    Procedure* procedure = binding != nullptr ? binding->procedure : nullptr;
    OTSTR args;
    if (procedure == nullptr) {
        const char* paren = strchr(path, '(');
        const char* last = strrchr(path, ')');
        int open = paren != nullptr ? static_cast<int>(paren - path) : -1;
        int close = last != nullptr ? static_cast<int>(last - path) : -1;
        OTSTR procName;
        procName.AssignTrimmed(path, open > 0 ? open : 0, true);
        procedure = program != nullptr ? program->FindProcedure(procName.GetBuffer(0)) : nullptr;
        if (procedure == nullptr) {
            Report("GetRunTimeValue('%s') fail, procedure not found !", path);
            return false;
        }
        if (close > open) args.Assign(path + open + 1, close - open - 1);
        if (slot != nullptr) {
            binding = new (std::nothrow) CallBinding(program, procedure, args.GetBuffer(0));
            slot->reset(binding);
        }
    }
    if (env == nullptr) {
        TraceLine("run procedure fail, execute env not found");
        return false;
    }
    if (env->GetTopStk(0) != this) {
        env->SetLastError("run procedure fail, stack error");
        return false;
    }
    if (binding != nullptr && binding->native.Ready(*env)) {
        return binding->native.Run(*env, *this, binding->arguments, result);
    }
    if (binding != nullptr && binding->quiet.Ready(*env)) {
        return binding->quiet.Run(*env, *this, binding->arguments, result);
    }
    // Compiled code that does not run the call leaves it to the frame.
    if (binding != nullptr && binding->compiled.Ready(*env)) {
        int ran = binding->compiled.Run(*env, *this, binding->arguments, result);
        if (ran >= 0) return ran > 0;
    }
    if (binding != nullptr) return env->Execute(procedure, binding->arguments, &result);
    return env->Execute(procedure, args.GetBuffer(0), &result);
}
