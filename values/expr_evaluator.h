// ExprEvaluator: parses expressions of the script language into trees
// (precedence climbing over the script lexer) and evaluates them. Access
// paths are read and written through a callback that the owner installs.
// Tested by values/expr_evaluator_test.cpp.
#pragma once

#include <cstdint>

#include "base/ob_array.h"
#include "base/otstr.h"
#include "values/cvarient.h"
#include "values/expr_node.h"

class ScriptLexer;
class SourcePos;
class Token;

// Request codes of the variable callback; the third argument is a CVarient*
// for kVarAssign and kVarRead, the text (const char*) for kVarAssignText.
enum VarRequest : int { kVarAssign = 0, kVarRead = 1, kVarAssignText = 2 };

// function(context, argc, argv) with argv = {code, path text, third};
// non-zero on success.
using VarCallback = int (*)(void* context, int argc, void** argv);
// reader(context, path, out, leaf): a read of an identifier leaf, with the
// leaf, to which the owner may bind what it finds; non-zero on success.
using LeafReader = int (*)(void* context, const char* path, CVarient* out, ExprNode* leaf);
// integers(context, leaf, word, type): the read of an identifier leaf when
// the reader would give an integer, as its word and type, changing nothing
// else; 0 (the reader then reads it, with its messages) otherwise.
using IntegerReader = int (*)(void* context, ExprNode* leaf, uint32_t* word, int32_t* type);
// writer(context, leaf, value, source): an assignment to the path of an
// identifier leaf, to which the owner may bind what it finds: of value, or
// (value null) of the identifier leaf source as kVarAssignText assigns its
// text. 1 done, 0 failed, -1 not taken (the function then assigns by the
// path).
using LeafWriter = int (*)(void* context, ExprNode* leaf, CVarient* value, ExprNode* source);

class ExprEvaluator {
  public:
    // Parenthesis and unary nesting, and the height of a tree, are bounded
    // so that no expression can exhaust the stack.
    static constexpr int kMaxNesting = 256;
    static constexpr int kMaxHeight = 1024;

    // Flags of GetExpression and ParseExpression: where a braced value set
    // may stand.
    enum ParseFlag : int {
        kSetAfterAssign = 1,  // as the right side of '='
        kSetAlone = 2,        // as the whole expression
    };
    // Modes of FetchOperand, combined with '|'.
    enum OperandMode : int {
        kWithCall = 1,          // a call's "(...)" after an access path
        kWithLineComment = 2,   // a line comment is returned, stripped
        kWithValueSet = 4,      // a braced value set
        kWithDollarNumber = 8,  // "$" and a number make an identifier
    };

    ExprEvaluator() = default;
    ExprEvaluator(const ExprEvaluator&) = delete;
    ExprEvaluator& operator=(const ExprEvaluator&) = delete;

    // With a reader, the reads of identifier leaves go to it instead of
    // to function. With integers, a subtree of integers is computed without
    // values where it can be (ExprNode::IntegerShaped): the same result,
    // and where anything would fail or give no integer it is evaluated as
    // usual, with the usual messages.
    void SetCallback(void* context, VarCallback function, LeafReader reader = nullptr,
                     IntegerReader integers = nullptr, LeafWriter writer = nullptr);
    // Fails for more than 10 words.
    bool SetArguments(int count, void* const* words);

    // The tree of text, or null with the message in lastError; flags are
    // ParseFlag bits. The caller owns the tree (FreeExpression).
    ExprNode* GetExpression(const char* text, int flags);
    static void FreeExpression(ExprNode* node) { delete node; }
    // Parses one expression from the lexer's position, stopping before the
    // first token that does not continue it (a ')', ';', ','...). The tree
    // is checked; null with the message in lastError.
    ExprNode* ParseExpression(ScriptLexer& lexer, int flags);

    // Identifiers stay references (the result is an identifier reference).
    bool Evaluate(ExprNode* node, CVarient& result);
    // Evaluate for a statement whose result nobody looks at: an assignment
    // at the top of the tree leaves result without a value instead of
    // making the reference to the variable it assigned.
    bool Perform(ExprNode* node, CVarient& result);
    // Every identifier is read; '=' yields the value assigned.
    bool EvaluateValue(ExprNode* node, CVarient& result);
    bool EvaluateBool(ExprNode* node, int32_t& out);
    // An IntegerShaped tree computed in machine words, the integer that
    // Evaluate would give; false, with no message, where the integer route
    // gives none.
    bool EvaluateInteger(const ExprNode* node, uint32_t& word, int32_t& type);
    // Parses (value sets allowed after '='), evaluates and frees. Without
    // acceptNoValue a result without a type fails.
    bool CalcValue(const char* text, CVarient& result, bool acceptNoValue);
    // The evaluation of CalcValue for a tree that KeptTree made of text.
    bool CalcTree(ExprNode* tree, const char* text, CVarient& result, bool acceptNoValue);
    // The tree that CalcValue would evaluate for text, parsed once to be
    // kept and evaluated by CalcTree again and again; null when the text
    // does not parse (CalcValue then fails on it every time).
    static ExprNode* KeptTree(const char* text);
    // Reads the literal leaves of a tree that is kept, once, so that its
    // evaluations copy their values instead of reading the texts again.
    static void KeepLiterals(ExprNode* tree);
    bool CalcLong(const char* text, int32_t& out);
    // Assigns value to the path of an identifier leaf (request kVarAssign).
    bool AssignValue(ExprNode* node, CVarient& value);

    // Reads an operand token: comments skipped, access paths with '.',
    // '[...]' and '::', and what the OperandMode bits of mode add. 1 a
    // token, 0 the end, -1 an error (in the lexer).
    static int FetchOperand(ScriptLexer& lexer, Token& token, int mode);

    // Splits an access path into its first identifier, the subscript right
    // after it and the rest: a[i+1].b.c gives a, [i+1] and b.c.
    static bool SplitPath(const char* path, OTSTR& ident, OTSTR& subscript, OTSTR& rest,
                          int* identEnd = nullptr, int* restStart = nullptr);

    static OTSTR ToText(const ExprNode* node);
    // Postfix order, each item followed by a blank; unary plus as '@', unary
    // minus as '$'.
    static void ToPostfix(const ExprNode* node, OTSTR& out);
    static int Depth(const ExprNode* node);
    static void OffsetPositions(ExprNode* node, const SourcePos& base);
    static void CollectNodes(ExprNode* node, ObArrayOf<ExprNode>& list, bool preOrder);

    const OTSTR& GetLastError() const { return lastError; }
    // After a failed evaluation: the text saying that a value would have
    // passed CVarient::kMaxValueBytes, empty when that was not the reason.
    const OTSTR& GetValueTooLong() const { return valueTooLong; }

    OTSTR lastError;
    OTSTR valueTooLong;
    void* context = nullptr;
    VarCallback function = nullptr;
    LeafReader reader = nullptr;
    IntegerReader integers = nullptr;
    LeafWriter writer = nullptr;
    int32_t argCount = 0;
    void* args[10] = {};
    bool valueSetAfterAssign = false;
    bool valueSetAlone = false;

  private:
    ExprNode* Parse(ScriptLexer& lexer);
    ExprNode* ParseOpen(ScriptLexer& lexer);
    ExprNode* ParseOperand(ScriptLexer& lexer, const char* context);
    ExprNode* ParseOperator(ScriptLexer& lexer, ExprNode* left);
    ExprNode* Climb(ScriptLexer& lexer, ExprNode* node, const char* context);
    bool CheckTree(const ExprNode* node, bool valueSetAllowed);
    ExprNode* NewNode(const Token& token);

    bool Eval(ExprNode* node, CVarient& result, bool readIdents);
    // An operator node's value the usual way.
    bool EvalOperator(ExprNode* node, CVarient& result, bool readIdents);
    // The integer route: false, having changed nothing, where it does not go.
    bool EvalInteger(const ExprNode* node, uint32_t& word, int32_t& type);
    bool EvalAssign(ExprNode* node, CVarient& result, bool readIdents);
    // Reads an identifier reference in place.
    bool Resolve(CVarient& value);
    // An operand's value: Eval and Resolve, an identifier leaf read at once
    // (the same read, without making the reference text first).
    bool EvalOperand(ExprNode* node, CVarient& value, bool readIdents);
    bool Call(int code, const char* path, void* third);
    // kVarAssign of value, or kVarAssignText of the identifier leaf source,
    // to the path of an identifier leaf: through the writer when it takes it.
    bool WriteLeaf(ExprNode* leaf, CVarient* value, ExprNode* source);
    // A read of an identifier leaf: through the reader when there is one.
    bool ReadLeaf(ExprNode* leaf, const char* path, CVarient& out);
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The tree that Perform evaluates, whose result is not wanted.
    const ExprNode* unwanted = nullptr;
    int nesting = 0;
    // Set while a subtree is evaluated the usual way after the integer route
    // refused it, so that its own subtrees do not try that route again.
    int integerRouteOff = 0;
};
