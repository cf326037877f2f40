// QuietProcedures: the procedures of a script whose result depends on
// nothing but their arguments: given any values of their parameters' kinds,
// they return a value and do nothing else. They cannot fail, trace, set a
// caption or change a variable outside their own call, so that nobody can
// tell whether they ran. What qualifies is worked out from the procedure's
// statements once per procedure: parameters and local variables of integer
// or text types, assignments to them, "if", and "return" of a value on every
// path; integer operators but division and remainder; literals, enum items,
// and calls of procedures that qualify in turn and of the built-ins
// strFormat (a literal format whose values and length are known to fit) and
// sysGetEnumComment (a literal name of an enum that exists). A local
// variable is read only where every path has assigned it.
//
// A translation leaves out the quiet Dump procedures when no row shows the
// comments they make, and a quiet procedure of integer parameters called
// again with the values of a recent call takes that call's result
// (QuietCall).
// Tested by decoder/quiet_procedures_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "base/cast_cache.h"
#include "runtime/quiet_call.h"
#include "types/instance_dump.h"

class DecoderItem;
class ExprNode;
class OTSTR;
class Program;
class CVarient;
class ExecuteEnv;
class Procedure;
class StructDefinition;
class VariableDefinition;

class QuietProcedures final : public QuietComments {
  public:
    explicit QuietProcedures(ExecuteEnv& env) : env(env) {}

    // Whether the comment of element index of item is made by a Dump
    // procedure that is quiet for it: the element holds an integer that
    // the call takes as it is, and the run is not traced or cancelled.
    bool IsQuiet(CVariableItem& item, int32_t index) override;
    // Whether item is a tree of the decoder whose definitions allow no hook
    // but quiet ones: comments by DumpOF or by quiet Dump procedures of
    // integers, no TypeOF or ContentOF, in structs and choice elements of
    // such definitions, nested not too deep for the walk.
    bool IsQuietTree(CVariableItem& item) override;
    // Whether dump, called with one integer, is quiet.
    bool QuietProcedure(const Procedure& dump);
    // Where the results of procedure's calls are kept, when it is quiet and
    // its parameters are integers; null otherwise.
    CallResults* ResultsOf(const Procedure& procedure);
    // Forgets what was worked out and kept, before another script replaces
    // the procedures.
    void Clear() {
        known.clear();
        results.clear();
        trees.clear();
    }

    // What a procedure returns when its calls are quiet, and how many calls
    // deep its quiet calls go below it.
    struct Shape {
        int8_t kind;  // 0: not quiet
        int8_t chain;
    };

  private:
    Shape ShapeOf(const Procedure& procedure);
    // How many struct levels deep an instance of s goes when its hooks are
    // all quiet; -1 otherwise (or while s is being looked at: a struct
    // that contains itself).
    int QuietLevels(const StructDefinition& s);
    int QuietLevels(const VariableDefinition& member);
    // Whether the run allows leaving a call out at all.
    bool RunAllows() const;

    // Whether item belongs to the tree of a decoder that has a script.
    bool InLoadedDecoder(CVariableItem& item);

    ExecuteEnv& env;
    CastCache<DecoderItem> itemCast;
    std::unordered_map<const Procedure*, Shape> known;
    std::unordered_map<const Procedure*, std::unique_ptr<CallResults>> results;
    std::unordered_map<const StructDefinition*, int> trees;
};

// The target and the value of a statement "name = value" whose value is no
// bare name (assigned as a text, another route) or value set; false for
// any other tree.
bool SplitQuietAssignment(const ExprNode* tree, const ExprNode*& target, const ExprNode*& value);
// The procedure that a call's text "f(arguments)" names in program (only
// blanks after its ')'), with the text between the parentheses in inner;
// null otherwise.
Procedure* SplitQuietCall(const Program& program, const char* text, OTSTR& inner);
// Whether text names an enum item ("Enum::Item"); item receives it when
// program has it and it is an integer, else null.
bool QuietEnumItem(const Program& program, const char* text, const CVarient*& item);
