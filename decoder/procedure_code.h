// ProcedureCode: a procedure of the script compiled into steps that run
// without a frame: assignments, branches, loops, calls made for their
// effect and the return, over expression nodes with operator codes that
// compute in machine words, literals and enum items read once, built-ins
// called through their native functions (strFormat of a literal format
// formatted here, as the built-in formats it, and a fetch of plain
// integers into a variable read here, as the built-in reads it), and calls
// of quiet procedures that keep their results as their call sites keep
// them. The variables are items kept from call to call, and every value
// goes into and out of them by the stores and reads that the procedure's
// frame uses, so that a call returns what the frame would return, with no
// frame, evaluator or name look-up.
//
// Compiled as quiet, a procedure of integer parameters found quiet
// (QuietProcedures) runs from the values of its arguments (QuietRunner).
// Compiled as general, a procedure of integer and text parameters runs
// from its call site's arguments (CallRunner), and a Translate procedure
// from the values of its element (Procedure::TakesElementArguments). General
// code calls the built-ins whose effects a run can undo or make again alike
// (UndoableBuiltin) and other general procedures in their code, and reads
// paths and names of the frames above it ("This.ihl") and named values as
// its frame reads them, a path found again only after a call that may change
// the frames or the tree. A run that fails, or has anything to say, is
// undone: the cursor goes back to where the call found it, nothing is
// traced or kept as an error (TraceHold), and the frame then runs the
// call, effects and messages alike. A Translate procedure may also decode
// choice elements of its element (sysTranChoiceItem): a run that comes to
// a decode with nothing said commits to the call. It decodes in a frame of
// the built-in's, as the frame's call would, and runs on with the frame's
// messages, what can run after a decode being what can fail only as its
// statement fails in the frame.
// Tested by decoder/procedure_code_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/compiled_call.h"
#include "runtime/hook_services.h"
#include "runtime/quiet_call.h"
#include "values/operator_code.h"

class CompiledProcedures;
class CVariableItem;
class ExprNode;
struct ElementArguments;
class Procedure;
class Program;
class ProgramItem;
class QuietProcedures;

class ProcedureCode final : public QuietRunner, public CallRunner {
  public:
    enum class Mode { kQuiet, kGeneral };

    ~ProcedureCode() override;
    ProcedureCode(const ProcedureCode&) = delete;
    ProcedureCode& operator=(const ProcedureCode&) = delete;

    // The code of procedure; null where its body holds anything that is
    // not compiled in mode (in a quiet one, a loop, say), so that its frame
    // runs it. A quiet procedure must have been found quiet with integer
    // parameters by the caller. The calls of quiet procedures keep their
    // results where quiet keeps them; general code calls general
    // procedures in the code that compiled gives for them.
    static std::unique_ptr<ProcedureCode> Compile(Procedure& procedure, QuietProcedures& quiet,
                                                  Mode mode = Mode::kQuiet,
                                                  CompiledProcedures* compiled = nullptr);

    // QuietRunner, of quiet code: not run (-1) while traced or cancelled,
    // with binding off (the text route is then wanted), nested so deep that
    // the frame's route might refuse, or where anything fails.
    int Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) override;
    // CallRunner, of general code: not run in the same cases, and where an
    // argument cannot be read without effect (a call among the argument's
    // operands, say); undone where the run fails or says anything before it
    // commits; 0 where a committed run fails, with the frame's messages.
    int Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
            CVarient& result) override;
    // The call of a Translate procedure with element's values, as
    // ExecuteEnv::Execute makes it; 1, 0 and -1 as above.
    // The result goes to result where it is given (not for a caller that
    // has no use for it).
    int Run(ExecuteEnv& env, const ElementArguments& element, CVarient* result);

  private:
    class Compiler;
    struct Node;
    struct Step;
    struct Builtin;
    struct Reader;
    struct QuietCallee;
    struct Path;
    struct DecodeSite;
    struct GeneralCallee;
    // How Steps stops: at the end or a return, at a failure, or before a
    // decode that an uncommitted run leaves to its caller.
    enum class Stop { kEnded, kFailed, kDecode };

    ProcedureCode();

    // Whether a run may start now: not within itself, not traced or
    // cancelled, with binding on and room for the calls and stores that
    // the frame's route would make.
    bool MayRun(const ExecuteEnv& env) const;
    // The general run with the parameters set by setParameters: 1 done,
    // -1 undone, 0 failed after it committed.
    template <typename SetParameters>
    int RunGeneral(ExecuteEnv& env, CVarient* result, SetParameters setParameters);
    // Whether the decodes' frames can be hung where the frame's calls would
    // hang them.
    bool DecodesReady(ExecuteEnv& env);
    // The steps from pc on, committed or not; pc stays at the step that
    // stopped them.
    Stop Steps(ExecuteEnv& env, size_t& pc, bool committed);
    // Whether the return value holds the text result that the last return
    // stored from it (returnedCall), as the frame's take of it would leave it.
    bool TextReturned(const ExecuteEnv& env) const;
    // The messages of a statement whose call failed, as its frame gives them.
    void Failed(ExecuteEnv& env, const Step& step);
    // Decodes a choice element in the site's frame, as the frame's call of
    // the built-in does, messages and all.
    bool Decode(ExecuteEnv& env, DecodeSite& site);
    // The result as the frame's call takes it.
    bool TakeResult(ExecuteEnv& env, CVarient* result);
    // The quiet run of a procedure that only returns a format of integers:
    // formatted straight into the result, with the return value as the
    // steps would leave it. -1 where the steps must run instead.
    int RunFormat(ExecuteEnv& env, CVarient& result);
    // The parameters from the call site's arguments, read in caller.
    bool Parameters(RunTimeStk& caller, const CallArguments& args);
    // The integer of an integer node; false where the word route gives none.
    bool Integer(ExecuteEnv& env, int node, uint32_t& word, int32_t& type);
    // The integer of a literal, a variable or an element of one.
    bool Leaf(const Node& node, uint32_t& word, int32_t& type) const;
    // The integer of a leaf, or of a reader's call (now, TotalLength).
    bool Simple(ExecuteEnv& env, const Node& node, uint32_t& word, int32_t& type);
    // The item (element idx) that a path or a bare name leads to in the
    // frames above; found again only once the path stamp has moved on.
    CVariableItem* Follow(Path& read, int32_t& idx);
    // The integer of a path or a bare name read in the frames above.
    bool ReadPath(const Node& node, uint32_t& word, int32_t& type);
    // An operator's operand: a leaf, a reader or a path read in place, else
    // Integer.
    bool Operand(ExecuteEnv& env, int node, uint32_t& word, int32_t& type);
    // The value of any node, as the evaluator gives it; with call, an
    // integer call's value as the call leaves it.
    bool Value(ExecuteEnv& env, int node, CVarient& out, bool call = false);
    // Stores node's value into item as the frame stores it.
    bool Store(ExecuteEnv& env, CVariableItem& item, int node);
    // A call of a built-in: its kept result, else RunBuiltin. The result is
    // left in env.returnValue, and copied to out where out is given.
    bool Call(ExecuteEnv& env, Builtin& call, CVarient* out);
    // The values that the result of a call that keeps its results depends
    // on, added to words and types from count on.
    bool Key(ExecuteEnv& env, const Builtin& call, uint32_t* words, int32_t* types, int& count);
    // Runs the call through its native function.
    bool RunBuiltin(ExecuteEnv& env, Builtin& call, CVarient* out);
    // RunBuiltin's values and run of a strFormat call of a literal format,
    // its integer values formatted from their words: 1 done, 0 failed, -1
    // where the values are in the extras for the built-in's own run (which
    // fails, with its messages).
    int FormatTyped(ExecuteEnv& env, Builtin& call, CVarient* out);
    // RunBuiltin's call of sysFetchValue where it reads plain integers
    // into a variable: the values of the numbers read, the read made
    // without the parameters' stores and reads. 1 done, 0 failed as the
    // call fails, -1 left to the call.
    int Fetch(ExecuteEnv& env, Builtin& call);
    // RunBuiltin's call of sysSetTitle of a caption in range, its text a
    // literal, a variable or a text built-in's: the caption set without the
    // parameters' stores, the result as the built-in leaves it. 1 done, 0
    // failed as the call fails, -1 left to the call.
    int Title(ExecuteEnv& env, Builtin& call);
    bool CallQuiet(ExecuteEnv& env, QuietCallee& call, CVarient& out);
    // The result of a quiet call: a kept one where it lies, else the result
    // of its run in out; null where the call fails. With pinned, a run
    // writes its result where it is kept, when there is room, and a kept
    // result stays pinned (its entry in *pinned) until the caller unpins
    // it. The return value is left as it was where a kept result is found.
    const CVarient* QuietResult(ExecuteEnv& env, QuietCallee& call, CVarient& out, int* pinned);
    // A call of general code from this code; false where it is undone.
    bool CallGeneral(ExecuteEnv& env, GeneralCallee& call, CVarient& out);
    // The item of a variable that holds a value, else null (the frame's
    // read of it fails).
    const CVariableItem* Holding(int variable) const;

    Procedure* procedure = nullptr;
    Mode mode = Mode::kQuiet;
    int paramCount = 0;
    // Parameters first, then the local variables, then "Return" (none for
    // a VOID procedure).
    std::vector<std::unique_ptr<CVariableItem>> variables;
    // Per parameter: whether it is an integer.
    std::vector<bool> integerParams;
    // The parameter that refers to the element of a Translate procedure's
    // call (its item passed by address); -1 for none.
    int elementParam = -1;
    std::vector<std::unique_ptr<Path>> paths;
    std::vector<std::unique_ptr<DecodeSite>> decodes;
    std::vector<std::unique_ptr<GeneralCallee>> generals;
    // The frame that the procedure's frame would hang below, where the
    // paths are read, found at the start of each general run.
    RunTimeStk* above = nullptr;
    // Moves on at the start and the end of a general run and after every
    // call that may change the frames or the instance tree (a built-in's, a
    // general procedure's, a decode): a path found since leads to the same
    // item (Path::stamp).
    uint64_t pathStamp = 1;
    CVariableItem* returnItem = nullptr;
    std::vector<Node> nodes;
    std::vector<Step> steps;
    std::vector<std::unique_ptr<CVarient>> literals;
    std::vector<std::unique_ptr<Builtin>> builtins;
    std::vector<Reader> readers;
    std::vector<std::unique_ptr<QuietCallee>> callees;
    // The value that a text takes on its way into a variable, that of a
    // call's integer result, and that of a call made for its effect.
    CVarient scratch[3];
    bool busy = false;
    // The last return stored the text of a call, which the return value
    // holds as well (Store): the result need not be taken from the item.
    bool returnedCall = false;
    // Quiet code whose one step returns this strFormat call of integers as
    // an OCTET (RunFormat); -1 for any other.
    int formatReturn = -1;
};
