// RunTimeStk: one frame of script variables, the instances that belong to
// one Program while it runs. Look-ups that fail here continue in the parent
// frame. A frame is also the resolver of names for the instances and the
// expression evaluator. Tested by runtime/run_time_stk_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "types/item_resolver.h"

class CallArguments;
class CStruct;
class CVarient;
class CVariableItem;
class DottedPath;
template <typename T>
class FoldedNameIndex;
class ExecuteEnv;
class NativeCall;
class Procedure;
class ExprNode;
class Program;
class StructDefinition;
class VariableDefinition;

class RunTimeStk : public ItemResolver {
  public:
    RunTimeStk(Program* program = nullptr, RunTimeStk* parent = nullptr, ExecuteEnv* env = nullptr);
    // Destroys the variables, the values and the owned child frames.
    ~RunTimeStk() override;
    RunTimeStk(const RunTimeStk&) = delete;
    RunTimeStk& operator=(const RunTimeStk&) = delete;

    // A frame of a call of procedure below parent in env that its caller
    // keeps from call to call: it holds items, made by the caller in the
    // order of the call's variables, as a call's frame holds its
    // parameters; null where it cannot be made.
    static std::unique_ptr<RunTimeStk> MakeCallFrame(
        ExecuteEnv& env, Procedure& procedure, RunTimeStk* parent,
        std::vector<std::unique_ptr<CVariableItem>> items);

    // The function the expression evaluator calls back for this frame:
    // requests 0 assign, 1 read (procedure calls and named constants too),
    // 2 initialise from a text. argv[0] of the call is this frame's
    // context: see BindEvaluator.
    using ValueCallback = int (*)(void* context, int argc, void** argv);
    virtual ValueCallback GetValueCallback() const;
    // The item that path names and its element index; null when it does not
    // resolve (traced; an unknown name also becomes the environment's error).
    virtual CVariableItem* GetItem(const char* path, int32_t* outIdx);
    // The same for a path that leaf, an identifier leaf of exactly that
    // text, was parsed from (a call's argument): found as the leaf's
    // binding finds a variable where it does, without reading the text.
    CVariableItem* GetItem(const char* path, ExprNode* leaf, int32_t* outIdx);
    // The native call site bound to a call node for this frame's program,
    // with the arguments bound there; null where there is none.
    const NativeCall* BoundNativeCall(ExprNode* call, const CallArguments** args);
    // GetItem's find through the leaf's binding alone: no message and no
    // change; null where only the text route could find the item.
    CVariableItem* BoundItem(const char* path, ExprNode* leaf, int32_t* outIdx);
    // A variable of a basic type or a struct array from a name spec such as
    // "buf[16]", or from a definition (name: the given one or its own).
    virtual CVariableItem* CreateVarInstance(int32_t declaredCode, const char* nameSpec);
    virtual CVariableItem* CreateVarInstance(StructDefinition* structDef, const char* nameSpec);
    virtual CVariableItem* CreateVarInstance(VariableDefinition* def,
                                             const char* varName = nullptr);
    // Fails when a variable of that name (letter case ignored) is here.
    virtual bool AddItem(CVariableItem* item);
    // Removes the variable without destroying it; by name the search goes on
    // in the parent unless localOnly.
    virtual CVariableItem* DetachItem(CVariableItem* item, bool localOnly);
    virtual CVariableItem* DetachItem(const char* varName, bool localOnly, bool caseSens);
    virtual CVariableItem* FindItem(const char* varName, bool localOnly, bool caseSens);

    // ItemResolver.
    CVariableItem* FindVariable(const char* path, int32_t* idx) override;
    bool IsCaseSensitive() const override { return caseSensitive; }
    void BindEvaluator(ExprEvaluator& evaluator) override;

    // Takes the program, clearing the frame first when it was prepared.
    void setProgram(Program* newProgram);
    // Destroys the variables, values, child frames and kept variables.
    void clear();
    // Empties the frame as clear() does, but keeps its plain variables for
    // the frame's next use for the same reuseKey, where TakeSpare gives
    // them back renewed instead of new items being made, and the frames of
    // its blocks, recycled in turn, for Prepare to take again.
    void Recycle();
    // A kept variable renewed as a new item of def (CVariableItem::Renew),
    // or of declaredCode named name; null when none fits. The caller owns it.
    CVariableItem* TakeSpare(VariableDefinition* def);
    CVariableItem* TakeSpare(int32_t declaredCode, const char* name, int32_t count);
    // A kept variable that is blank (CVariableItem::IsBlank), for a
    // by-address parameter; null when none is.
    CVariableItem* TakeBlank();
    // A kept extra value of a variable-argument call, empty as a new one
    // is; null when none is kept. The caller owns it.
    CVarient* TakeSpareValue();
    // Adopts the given variables and values (emptying the lists with
    // takeOwnership), creates the program's variables and the frames of its
    // blocks.
    bool Prepare(ObArray* newVariables, ObArray* newValues, bool takeOwnership);
    // The variable of the path's first identifier, through the parents.
    CVariableItem* GetRootVariableItem(const char* path, bool report);
    // This frame when it runs p, else the first such frame below it.
    RunTimeStk* FindFrameOfProgram(const Program* p);

    // Element reads. They fail when the path does not resolve, the type has
    // no storage, or (except where a whole item is allowed) no element is
    // named; hasValue receives the item's value flag.
    bool get(const char* path, long& value, bool* hasValue = nullptr);
    bool get(const char* path, int32_t& value, bool* hasValue = nullptr);
    bool get(const char* path, unsigned char& value, bool* hasValue = nullptr);
    bool get(const char* path, uint32_t& value, bool* hasValue = nullptr);
    bool get(const char* path, OTSTR& value, bool* hasValue = nullptr);
    bool get(const char* path, CVarient& value, bool* hasValue = nullptr);
    // The reads of get from an item found already, element idx (-1: the
    // whole item, which only a byte array can be read as, as its text).
    static bool GetElement(const CVariableItem& item, int32_t idx, int32_t& value);
    static bool GetElement(const CVariableItem& item, int32_t idx, uint32_t& value);
    static bool GetElement(const CVariableItem& item, int32_t idx, OTSTR& value);
    // The string that GetElement copies for idx >= 0, where it lies; null
    // where GetElement fails.
    static const OTSTR* TextElement(const CVariableItem& item, int32_t idx);
    // Integer values in order: the element, or all elements from 0 when the
    // path names a whole item; bit fields through setBitData.
    bool set(const char* path, const uint32_t* values, int count);
    bool set(const char* path, uint32_t value) { return set(path, &value, 1); }
    // An initialiser text for the path, or for element idx of item.
    bool sets(const char* path, const char* text);
    // The same with the value of a text that IsSingleValue parsed once
    // (tree: its KeptTree; null: the text is read).
    bool sets(const char* path, const char* text, ExprNode* tree);
    bool sets(CVariableItem* item, int32_t idx, const char* text);

    int VariableCount() const { return variables.GetSize(); }
    CVariableItem* VariableAt(int i) const;
    // The first variable of this frame with that name, letter case ignored;
    // with indexNames a frame of many variables finds it through an index
    // of their names.
    CVariableItem* FindLocal(const char* name) const;
    // The same for a name of known length.
    CVariableItem* FindLocal(const char* name, int length) const;
    // The variable at index when it is the first of that name here (letter
    // case ignored), the one that FindItem finds; null otherwise. A call's
    // parameters are the first variables of its frame, in order.
    CVariableItem* LocalAt(int index, const char* name) const;
    // Counts the removals of variables (additions only append), so that an
    // index over them can tell that it is out of date.
    uint32_t VariableRemovals() const { return variableRemovals; }

    // Where a bare name was found the last time: the frame (0 this one, 1
    // its parent...), the index there, and what made the variables of each
    // frame passed. Kept by the caller (an identifier leaf) from read to read.
    struct NameSlot {
        static constexpr int kMaxDepth = 3;
        const void* layouts[kMaxDepth + 1] = {};
        int depth = -1;  // -1: nothing kept
        int index = 0;
        // The name looked for and the variable's name that it matched last,
        // letter case and all: the same bytes match again without folding.
        static constexpr int kMatchedBytes = 16;
        int soughtLength = -1;
        int matchedLength = -1;
        char sought[kMatchedBytes] = {};
        char matched[kMatchedBytes] = {};
    };
    // The first variable of that name (length bytes, letter case as this
    // frame compares it) from this frame outwards; null when no frame has
    // one. With a slot, the place found last time is taken again while the
    // frames on the way still hold the variables that made them, and the
    // variable there still has the name.
    CVariableItem* FindBare(const char* name, int length, NameSlot* slot);
    // The variable at the end of a path of names cut apart before
    // (DottedPath), its element in outIdx (-1: the whole variable), as the
    // frame's quick route of a path finds it; with a slot, the first name
    // is found as FindBare finds it.
    CVariableItem* FollowDotted(const DottedPath& path, NameSlot* slot, int32_t* outIdx);
    // FollowDotted's walk from the step from on, where item (its element
    // idx) is where the steps before it led: what FollowDotted gives.
    CVariableItem* FollowFrom(const DottedPath& path, int from, CVariableItem* item, int32_t idx,
                              int32_t* outIdx) const;
    // sets(name, text, tree) for a bare name, found as FindBare finds it
    // with the slot that the caller keeps.
    bool sets(const char* name, const char* text, ExprNode* tree, NameSlot* slot);
    // Says that the frame's variables are exactly those that key makes (a
    // procedure's call, a block's declarations); any later change forgets it.
    void SetLayout(const void* key) { layoutKey = key; }
    const void* Layout() const { return layoutKey; }
    // The extra values of a variable-argument call, in order.
    int ValueCount() const { return values.GetSize(); }
    CVarient* ValueAt(int i) const { return values.GetAt(i); }
    int ChildCount() const { return children.GetSize(); }
    RunTimeStk* ChildAt(int i) const { return children.GetAt(i); }

    bool caseSensitive = false;
    // Set for frames whose variables keep their names (a Program's named
    // values and variables), which may be indexed by name.
    bool indexNames = false;
    Program* program;
    ExecuteEnv* env;
    RunTimeStk* parent;
    bool prepared = false;
    bool initialised = false;
    const void* reuseKey = nullptr;  // what the kept variables were made for

  private:
    // clear() but for the kept variables.
    void ClearVariables();
    CVariableItem* Resolve(const char* path, int32_t* outIdx, bool report);
    // Resolve's quick route for a path of plain names joined by dots, each
    // with a subscript of digits or none ("This.ihl", "b[1]", "a.v[0].x"),
    // no blank; null for any other path and wherever the general route
    // would trace something, so that the caller can take that route from
    // the start.
    CVariableItem* ResolveDotted(const char* path, int32_t* outIdx);
    // The member of element that step s (not the first) of path names,
    // found as CStruct::GetItemByName finds it; the step keeps where it
    // stood.
    CVariableItem* MemberOf(CStruct& element, const DottedPath& path, int s) const;
    // The failure of a path whose first name no frame has: the environment's
    // error with report, else traced.
    void ReportUnknown(const char* path, const char* name, bool report);
    CVariableItem* CreateFromSpec(const char* nameSpec, StructDefinition* structDef,
                                  int32_t declaredCode);
    CVariableItem* NewVariable(const char* name, VariableDefinition* reuse = nullptr,
                               bool* renewed = nullptr);
    bool AppendVariable(CVariableItem* item);
    // The item of a get, set or sets. Those report an unknown name only to
    // the trace (the caller, a native function or plug-in, reports its own
    // error); the evaluator's reads report it as the environment's error.
    CVariableItem* ReadyItem(const char* path, int32_t* idx, bool needElement, bool* hasValue,
                             bool report = false);
    bool ReadValue(const char* path, CVarient& value, bool* hasValue, bool report);
    static bool ReadElement(const CVariableItem& item, int32_t idx, CVarient& value);
    // FindBare's search through the frames, where the slot does not give
    // the place; it keeps the place found in the slot.
    __attribute__((noinline)) CVariableItem* SearchBare(const char* name, int length,
                                                        NameSlot* slot);
    // ReadProc's read of a variable by a bare name of known length: the
    // first of that name from this frame outwards (letter case as this
    // frame compares it), its element or byte string, and the failures of
    // ReadValue and ReadProc.
    int ReadBare(const char* name, int length, CVarient& value, NameSlot* slot);
    // This frame's own variable of that name, the first one.
    CVariableItem* FindOwn(const char* name, int length, bool caseSens) const;
    // sets of a variable found already: a single value from tree (when
    // given), anything else through its text, as sets(item, idx, text).
    bool SetsFound(CVariableItem& item, int32_t idx, const char* text, ExprNode* tree);
    static int ValueProc(void* context, int argc, void** argv);
    static int ReadProc(void* context, const char* name, CVarient* out, ExprNode* leaf);
    // The variable that an identifier leaf (no call) names, and its element
    // index, found through the leaf's binding as the text route would find
    // it; null where the binding finds none (the text route then gives the
    // messages) or names no variable.
    CVariableItem* FindBound(ExprNode* leaf, int32_t* outIdx);
    // The evaluator's LeafWriter.
    static int WriteLeaf(void* context, ExprNode* leaf, CVarient* value, ExprNode* source);
    // kVarAssign's store of value into element idx of item (-1: the whole
    // item, which must have one element); name is the path for messages.
    int Assign(CVariableItem& item, int32_t idx, const char* name, const CVarient& value);
    // ReadProc's read of a leaf bound before, when it gives an integer:
    // a named value, an enum item, or a variable by a bare name or a dotted
    // path that has a value; silent and changing nothing otherwise.
    static int ReadInteger(void* context, ExprNode* leaf, uint32_t* word, int32_t* type);
    bool CallProcedure(const char* path, CVarient& result, ExprNode* node);
    void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));

    ObArrayOf<CVariableItem> variables{25};  // owned
    uint32_t variableRemovals = 0;
    // What made the variables, as SetLayout says; null when unknown.
    const void* layoutKey = nullptr;
    // For FindLocal, made on first use.
    mutable std::unique_ptr<FoldedNameIndex<CVariableItem>> nameIndex;
    ObArrayOf<CVarient> values{25};           // owned; handed in by Prepare
    ObArrayOf<RunTimeStk> children{25};       // not owned
    ObArrayOf<RunTimeStk> ownedChildren{25};  // owned
    ObArrayOf<CVariableItem> spares{8};       // owned; kept by Recycle
    ObArrayOf<CVarient> spareValues{8};       // owned; kept by Recycle
    ObArrayOf<RunTimeStk> spareChildren{8};   // owned; kept by Recycle
    // Recycle's part for the frames of the blocks.
    void KeepChildren();
};
