#include "decoder/procedure_code.h"

#include <cstring>
#include <new>
#include <string>

#include "base/byte_cursor.h"
#include "base/same_bytes.h"
#include "base/tracer.h"
#include "decoder/builtins.h"
#include "decoder/compiled_procedures.h"
#include "decoder/protocol_decoder.h"
#include "decoder/quiet_procedures.h"
#include "pattern/script_rules.h"
#include "runtime/dotted_path.h"
#include "runtime/execute_env.h"
#include "runtime/native_call.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/script_messages.h"
#include "script/statements.h"
#include "script/variable_declaration.h"
#include "types/item_support.h"
#include "types/type_codes.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"
#include "values/expr_node.h"
#include "values/format_values.h"
#include "values/value_type.h"
#include "values/word_operators.h"

namespace {

// The nested item calls that the frame's route of a call may take below
// its start (statement, store, argument, parameter); a run starts only
// with room for these and a margin, so that it never succeeds where the
// frame would refuse.
constexpr int kNestingRoom = 8;
// The calls below this one's level that a run makes (a built-in's).
constexpr int kCallRoom = 2;

}  // namespace

struct ProcedureCode::Node {
    enum Kind : int8_t {
        kLiteral,
        kVariable,
        kElement,
        kPath,
        kUnary,
        kBinary,
        kBuiltin,
        kReader,
        kProcedure,
        kGeneral,
        kDecode
    };
    Kind kind = kLiteral;
    bool integer = false;  // gives an integer (else a text, or nothing)
    bool none = false;     // a call of a VOID built-in: gives nothing
    OperatorCode code = OperatorCode::kUnknown;
    char unaryOp[4] = {};  // kUnary: the operator as OperateWord reads it
    // The literal, variable, path, built-in call, reader, procedure call,
    // general call or decode.
    int index = -1;
    int element = 0;  // kElement: the element of the variable
    int left = -1;
    int right = -1;
    // An integer literal's word and type, read in place.
    uint32_t word = 0;
    int32_t wordType = kTypeNone;
    // The type of the node's integer where it is known when compiled: a
    // literal's, a variable's, that of a binary operator whose operands'
    // types are known (whose result's signedness is then known too).
    int32_t knownType = kTypeNone;
    // kBinary of a known type whose operands are both simple ("a >> 24",
    // "now() < end"): an operand that Operand computes in place.
    bool simpleOperands = false;

    // A literal, a variable or an element of one, which Leaf reads in place.
    bool IsLeaf() const { return kind == kLiteral || kind == kVariable || kind == kElement; }
    // A leaf or a reader, which Simple reads in place.
    bool IsSimple() const { return IsLeaf() || kind == kReader; }
};

struct ProcedureCode::Step {
    // kEval evaluates a call for its effect; kLoop is a loop's pass, asked
    // of the environment as the frame asks it; kReset takes the values of
    // the variables from variable up to target, as a block's new frame
    // has none.
    enum Op : int8_t { kAssign, kEval, kBranch, kJump, kLoop, kReset, kReturn };
    Op op = kAssign;
    int variable = -1;  // kAssign, kReset
    int node = -1;      // kAssign, kEval, kBranch (the condition), kReturn (none: VOID)
    int target = -1;    // kBranch (taken when the condition is 0), kJump, kReset
    // kEval: the statement, whose failure a committed run reports as its
    // frame does.
    const Statement* statement = nullptr;
};

// A call of a built-in served natively, with the items and values that its
// native call site would keep.
struct ProcedureCode::Builtin {
    Procedure* procedure = nullptr;
    NativeHandler handler = nullptr;
    std::vector<int> arguments;  // nodes, in order; -1 for a variable passed by address
    // Per parameter: the variable it refers to when passed by address, else -1.
    std::vector<int> sources;
    // Per parameter: its argument is a literal, stored once; the built-ins
    // read their parameters and write none.
    std::vector<bool> literal;
    bool primed = false;
    std::vector<std::unique_ptr<CVariableItem>> params;
    std::vector<CVariableItem*> paramList;
    std::vector<std::unique_ptr<CVarient>> extras;
    std::vector<CVarient*> extraList;
    std::unique_ptr<CVariableItem> result;  // null for VOID
    // A strFormat of a literal format, formatted here (FormatTyped) from a
    // plan of the format and one item per value: an integer's word, a text
    // variable's bytes where they lie, else the value.
    bool format = false;
    std::vector<FormatItem> items;
    // Parsed at the first format: the parameter holds the same literal at
    // every call.
    FormatPlan plan;
    bool planned = false;
    // A sysFetchValue that may read plain integers without its parameters.
    bool fetch = false;
    // A sysSetTitle that may set the caption without its parameters.
    bool title = false;
    // The latest results of a call of a pure built-in whose values are
    // known before it runs, as its native call site keeps them
    // (NativeCall): by the values of its integer arguments and of those of
    // the pure calls among them; null for any other call.
    std::unique_ptr<CallResults> results;
    KeptHits hits;
};

// A built-in without arguments whose INT4 result is read, not called.
struct ProcedureCode::Reader {
    Procedure* procedure;
    NativeReader read;
};

// A path or a bare name read in the frames above, as the integer route of a
// frame reads a bound leaf (RunTimeStk::ReadInteger).
struct ProcedureCode::Path {
    std::string text;  // as written
    DottedPath path;
    OTSTR name;  // a bare name; empty for a path
    RunTimeStk::NameSlot slot;
    // The path of all its names but the last, which this one leads on
    // from; -1 for none (a bare name, a name with a subscript).
    int prefix = -1;
    // The item and index found last, while pathStamp is still stamp.
    uint64_t stamp = 0;
    CVariableItem* item = nullptr;
    int32_t idx = -1;
};

namespace {

// Moves a stamp on when it goes out of scope.
class StampOnLeave {
  public:
    explicit StampOnLeave(uint64_t& stamp) : stamp(stamp) {}
    ~StampOnLeave() { ++stamp; }
    StampOnLeave(const StampOnLeave&) = delete;
    StampOnLeave& operator=(const StampOnLeave&) = delete;

  private:
    uint64_t& stamp;
};

}  // namespace

// A decode of a choice element (sysTranChoiceItem) of the element that a
// Translate procedure was called for, made in a frame of the built-in's
// kept from call to call, as ExecuteEnv::Execute makes it: the frame hangs
// below the frame of the program that declares the built-in and holds its
// parameters, the choice by address first.
struct ProcedureCode::DecodeSite {
    Procedure* procedure = nullptr;
    int name = -1;  // text node
    int tag = -1;   // integer node
    std::unique_ptr<RunTimeStk> frame;
};

// A call of a general procedure in its compiled code, its parameters set
// from these nodes as the code's own call site sets them from its
// arguments.
struct ProcedureCode::GeneralCallee {
    ProcedureCode* code = nullptr;
    std::vector<int> arguments;
};

// A call of a quiet procedure of integer parameters, made as its call site
// makes it (QuietCall): a kept result for the same values, else a run.
struct ProcedureCode::QuietCallee {
    Procedure* procedure = nullptr;
    CallResults* results = nullptr;
    std::vector<int> arguments;  // integer nodes, in order
};

// ---------------------------------------------------------------- compile

class ProcedureCode::Compiler {
  public:
    Compiler(ProcedureCode& code, QuietProcedures& quiet, CompiledProcedures* compiled)
        : code(code), quiet(quiet), compiled(compiled), general(code.mode == Mode::kGeneral) {}

    bool Run(Procedure& procedure) {
        code.procedure = &procedure;
        int32_t returns = procedure.returnType;
        if (procedure.isExtern || procedure.body == nullptr || returns == kDeclDynamic ||
            returns == kDeclStruct || (returns == kDeclVoid && !general) ||
            (general && procedure.varArgs)) {
            return false;
        }
        StructDefinition& params = procedure.parameters;
        code.paramCount = params.GetMemberCount();
        // A Translate procedure's element is passed by address.
        bool element = general && procedure.TakesElementArguments();
        for (int i = 0; i < code.paramCount; ++i) {
            VariableDefinition* def = params.GetMember(i);
            int variable = def == nullptr      ? -1
                           : element && i == 1 ? DeclareElement(*def)
                                               : Declare(*def, false);
            if (variable < 0) return false;
            code.integerParams.push_back(IsIntegerType(code.variables[variable]->GetType()));
        }
        if (!Block(*procedure.body) || (returns != kDeclVoid && !MakeReturn(returns)) ||
            (!code.decodes.empty() && !Committable())) {
            return false;
        }
        if (!general && returns == kDeclOctet) code.formatReturn = FormatReturned();
        return true;
    }

  private:
    struct Named {
        const OTSTR* name;
        int variable;
    };

    // A variable of def, made as the frame makes it, in scope from here to
    // the end of its block: an integer or a text, or (a general local) an
    // array of integers.
    int Declare(VariableDefinition& def, bool local) {
        bool array = def.count >= 2;
        if (def.byAddress || def.IsBitField() || def.structDef != nullptr ||
            (array && !(general && local))) {
            return -1;
        }
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || !item->create(nullptr, &def)) return -1;
        int32_t type = item->GetType();
        if (!IsIntegerType(type) && (array || type != kTypeOctet)) return -1;
        return Add(std::move(item), def.GetName());
    }

    // The parameter that refers to a Translate procedure's element: blank
    // until a run refers it to the element.
    int DeclareElement(VariableDefinition& def) {
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        code.elementParam = item != nullptr ? Add(std::move(item), def.GetName()) : -1;
        return code.elementParam;
    }

    int Add(std::unique_ptr<CVariableItem> item, const OTSTR& name) {
        if (Declared(name.GetBuffer(0), name.GetLength())) return -1;
        code.variables.push_back(std::move(item));
        int index = static_cast<int>(code.variables.size()) - 1;
        scope.push_back({&name, index});
        names.push_back(&name);
        return index;
    }

    // Whether a variable of the procedure has the name of length bytes at
    // text, in any letter case: a block's frame holds its variables from
    // the block's start on, so that a name declared again would read
    // another variable in places, and the procedure's frame comes before
    // the frames above it.
    bool Declared(const char* text, int length) const {
        OTSTR name(text, length);
        for (const OTSTR* declared : names) {
            if (declared->Compare(name.GetBuffer(0), false)) return true;
        }
        return name.Compare("Return", false);
    }

    // The format call that the code's one step returns, where every value
    // it formats is an integer: "return strFormat("%d.%d", a >> 8, a & 255);".
    int FormatReturned() const {
        if (code.steps.size() != 1 || code.steps[0].op != Step::kReturn || code.steps[0].node < 0) {
            return -1;
        }
        const Node& node = code.nodes[static_cast<size_t>(code.steps[0].node)];
        if (node.kind != Node::kBuiltin) return -1;
        const Builtin& call = *code.builtins[static_cast<size_t>(node.index)];
        if (!call.format || call.fetch) return -1;
        for (size_t i = 1; i < call.arguments.size(); ++i) {
            int argument = call.arguments[i];
            if (argument < 0 || !code.nodes[static_cast<size_t>(argument)].integer) return -1;
        }
        return node.index;
    }

    bool MakeReturn(int32_t returns) {
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || !item->create(returns, "Return", 1)) return false;
        code.returnItem = item.get();
        code.variables.push_back(std::move(item));
        return true;
    }

    // ---- what may run after a decode ----

    // Whether every step that can run once a choice element is decoded (the
    // run cannot be undone then) fails only as its statement fails in the
    // frame, with the same messages: built-ins and decodes called for their
    // effect, whose failure is their own, and loops that the time of the run
    // ends; everything else reads variables assigned on every way there,
    // literals and the cursor, with no division and no other call.
    bool Committable() const {
        size_t n = code.steps.size();
        if (code.variables.size() > 64) return false;
        // The variables assigned on every way to each step.
        std::vector<uint64_t> assigned(n + 1, 0);
        std::vector<bool> reached(n + 1, false);
        for (int i = 0; i < code.paramCount; ++i) assigned[0] |= Bit(i);
        reached[0] = true;
        std::vector<size_t> work{0};
        while (!work.empty()) {
            size_t pc = work.back();
            work.pop_back();
            if (pc >= n) continue;
            uint64_t out = Assigns(code.steps[pc], assigned[pc]);
            for (size_t next : Successors(pc)) {
                uint64_t merged = reached[next] ? assigned[next] & out : out;
                if (reached[next] && merged == assigned[next]) continue;
                assigned[next] = merged;
                reached[next] = true;
                work.push_back(next);
            }
        }
        // The steps that can run after a decode, the decodes among them.
        std::vector<bool> after(n + 1, false);
        for (size_t pc = 0; pc < n; ++pc) {
            const Step& step = code.steps[pc];
            if (step.op == Step::kEval && code.nodes[step.node].kind == Node::kDecode) {
                work.push_back(pc);
            }
        }
        while (!work.empty()) {
            size_t pc = work.back();
            work.pop_back();
            if (pc >= n || after[pc]) continue;
            after[pc] = true;
            for (size_t next : Successors(pc)) work.push_back(next);
        }
        for (size_t pc = 0; pc < n; ++pc) {
            if (after[pc] && !Fails(code.steps[pc], assigned[pc])) return false;
        }
        return true;
    }

    static uint64_t Bit(int i) { return uint64_t{1} << i; }

    std::vector<size_t> Successors(size_t pc) const {
        const Step& step = code.steps[pc];
        switch (step.op) {
            case Step::kBranch:
                return {pc + 1, static_cast<size_t>(step.target)};
            case Step::kJump:
                return {static_cast<size_t>(step.target)};
            case Step::kReturn:
                return {};
            default:
                return {pc + 1};
        }
    }

    // What a step leaves assigned when it succeeds.
    uint64_t Assigns(const Step& step, uint64_t assigned) const {
        switch (step.op) {
            case Step::kAssign:
                return assigned | Bit(step.variable);
            case Step::kEval: {
                const Node& node = code.nodes[step.node];
                if (node.kind != Node::kBuiltin) return assigned;
                // A built-in fills what it is handed by address.
                for (int source : code.builtins[static_cast<size_t>(node.index)]->sources) {
                    if (source >= 0) assigned |= Bit(source);
                }
                return assigned;
            }
            case Step::kReset:
                for (int v = step.variable; v < step.target; ++v) assigned &= ~Bit(v);
                return assigned;
            default:
                return assigned;
        }
    }

    // Whether a step fails, where it can, only as its statement does.
    bool Fails(const Step& step, uint64_t assigned) const {
        switch (step.op) {
            case Step::kAssign:
            case Step::kBranch:
                return Sure(step.node, assigned);
            case Step::kReturn:
                return step.node < 0 || Sure(step.node, assigned);
            case Step::kEval: {
                const Node& node = code.nodes[step.node];
                if (node.kind == Node::kDecode) {
                    const DecodeSite& site = *code.decodes[static_cast<size_t>(node.index)];
                    return Sure(site.name, assigned) && Sure(site.tag, assigned);
                }
                if (node.kind != Node::kBuiltin) return false;
                for (int argument : code.builtins[static_cast<size_t>(node.index)]->arguments) {
                    if (argument >= 0 && !Sure(argument, assigned)) return false;
                }
                return true;
            }
            default:
                return true;
        }
    }

    // Whether a node's value is sure to be there.
    bool Sure(int index, uint64_t assigned) const {
        const Node& node = code.nodes[static_cast<size_t>(index)];
        switch (node.kind) {
            case Node::kLiteral:
            case Node::kReader:
                return true;
            case Node::kVariable:
            case Node::kElement:
                return (assigned & Bit(node.index)) != 0;
            case Node::kUnary:
                return Sure(node.left, assigned);
            case Node::kBinary:
                return node.code != OperatorCode::kDiv && node.code != OperatorCode::kMod &&
                       Sure(node.left, assigned) && Sure(node.right, assigned);
            default:
                return false;
        }
    }

    // The variable that a bare name in scope reads, spelt as declared.
    int Find(const char* text, int length) const {
        for (size_t i = scope.size(); i-- > 0;) {
            const OTSTR& name = *scope[i].name;
            if (name.GetLength() == length && SameBytes(name.GetBuffer(), text, length)) {
                return scope[i].variable;
            }
        }
        return -1;
    }
    int Find(const OTSTR& text) const { return Find(text.GetBuffer(), text.GetLength()); }

    bool Single(int variable) const { return code.variables[variable]->GetCount() == 1; }

    // Whether node gives a value of the kind that integer says.
    bool Gives(int node, bool integer) const {
        return node >= 0 && !code.nodes[node].none && code.nodes[node].integer == integer;
    }

    bool Block(Program& block) {
        size_t outer = scope.size();
        int first = static_cast<int>(code.variables.size());
        // A general block's variables start without values at every entry,
        // as in the block's new frame.
        int reset = general ? Emit(Step::kReset) : -1;
        for (int i = 0; i < block.ItemCount(); ++i) {
            if (!Item(block.ItemAt(i), block)) return false;
        }
        if (reset >= 0) {
            code.steps[reset].variable = first;
            code.steps[reset].target = static_cast<int>(code.variables.size());
        }
        scope.resize(outer);
        return true;
    }

    int Emit(Step::Op op, int node = -1, int variable = -1) {
        Step step;
        step.op = op;
        step.node = node;
        step.variable = variable;
        code.steps.push_back(step);
        return static_cast<int>(code.steps.size()) - 1;
    }
    int Here() const { return static_cast<int>(code.steps.size()); }

    bool Item(ProgramItem* item, Program& program) {
        if (item == nullptr) return false;
        switch (item->ItemKind()) {
            case kItemVariable:
                return Declaration(*static_cast<VariableDeclaration*>(item), program);
            case kItemProgram:
                return Block(*static_cast<Program*>(item));
            case kItemExprStatement: {
                auto* statement = static_cast<ExprStatement*>(item);
                if (statement->expression == nullptr) return true;
                const ExprNode* tree = statement->expression->tree.get();
                if (IsAssignment(tree)) return Assignment(*tree->child[0], tree->child[1], program);
                // A call made for its effect.
                if (!general || tree == nullptr || !tree->IsLeaf() || !tree->IsCall()) return false;
                int call = Decode(tree->text.GetBuffer(0), program);
                if (call == kNotDecode) call = Expr(tree, program);
                if (call < 0) return false;
                code.steps[static_cast<size_t>(Emit(Step::kEval, call))].statement = statement;
                return true;
            }
            case kItemIf: {
                auto* statement = static_cast<IfStatement*>(item);
                int condition = Condition(statement->condition.get(), program);
                if (condition < 0) return false;
                int branch = Emit(Step::kBranch, condition);
                if (statement->thenStatement != nullptr &&
                    !Item(statement->thenStatement.get(), program)) {
                    return false;
                }
                if (statement->elseStatement == nullptr) {
                    code.steps[branch].target = Here();
                    return true;
                }
                int jump = Emit(Step::kJump);
                code.steps[branch].target = Here();
                if (!Item(statement->elseStatement.get(), program)) return false;
                code.steps[jump].target = Here();
                return true;
            }
            case kItemWhile: {
                auto* loop = static_cast<WhileStatement*>(item);
                if (!general) return false;
                int head = Emit(Step::kLoop);
                int condition = Condition(loop->condition.get(), program);
                if (condition < 0) return false;
                int branch = Emit(Step::kBranch, condition);
                if (loop->body != nullptr && !Item(loop->body.get(), program)) return false;
                int back = Emit(Step::kJump);
                code.steps[back].target = head;
                code.steps[branch].target = Here();
                return true;
            }
            case kItemJump: {
                auto* jump = static_cast<JumpStatement*>(item);
                if (jump->jump != JumpStatement::kReturn) return false;
                bool none = code.procedure->returnType == kDeclVoid;
                if (jump->value == nullptr) {
                    if (!none) return false;
                    Emit(Step::kReturn);
                    return true;
                }
                // Any other value is stored from its text.
                if (none || !CVariableItem::IsSingleValue(jump->value->text.GetBuffer(0))) {
                    return false;
                }
                int value = Expr(jump->value->tree.get(), program);
                if (value < 0 || code.nodes[value].none) return false;
                Emit(Step::kReturn, value);
                return true;
            }
            default:
                return false;
        }
    }

    // A local variable; a general one may have a one-value initialiser of
    // its kind, stored where the declaration stands.
    bool Declaration(VariableDeclaration& declared, Program& program) {
        bool initialised = !declared.initializer.IsEmpty();
        if (initialised && !general) return false;
        const ExprNode* tree = initialised ? declared.InitializerTree() : nullptr;
        if (initialised && tree == nullptr) return false;
        // The block's frame holds the variable before its initialiser runs.
        int variable = Declare(declared, true);
        if (variable < 0) return false;
        return !initialised || Store(variable, tree, program);
    }

    // "name = value", the name a plain identifier.
    static bool IsAssignment(const ExprNode* tree) {
        if (tree == nullptr || tree->IsLeaf() || tree->id != kTokOperator || tree->unary ||
            tree->child[2] != nullptr || tree->Operator() != OperatorCode::kAssign) {
            return false;
        }
        const ExprNode* target = tree->child[0];
        return target != nullptr && tree->child[1] != nullptr && target->IsLeaf() &&
               target->id == kTokIdent && !target->IsCall();
    }

    // The step that stores value into a single variable of its kind. A
    // bare name is stored from its text (another route): the same word for
    // an integer variable, as an integer tree's word is stored, and
    // nothing compiled for a text.
    bool Store(int variable, const ExprNode* value, Program& program) {
        if (variable < 0 || !Single(variable) || variable == code.elementParam) return false;
        bool integer = IsIntegerType(code.variables[variable]->GetType());
        bool bare = value->IsLeaf() &&
                    (value->id == kExprValueSet || (value->id == kTokIdent && !value->IsCall()));
        if (bare && (!integer || value->id == kExprValueSet)) return false;
        int node = Expr(value, program);
        if (!Gives(node, integer)) return false;
        Emit(Step::kAssign, node, variable);
        return true;
    }

    int Condition(const ParsedExpression* condition, Program& program) {
        int node = condition != nullptr ? Expr(condition->tree.get(), program) : -1;
        return Gives(node, true) ? node : -1;
    }

    // "variable = value" with a value of the variable's kind.
    bool Assignment(const ExprNode& left, const ExprNode* right, Program& program) {
        return Store(Find(left.text), right, program);
    }

    int AddNode(const Node& node) {
        code.nodes.push_back(node);
        return static_cast<int>(code.nodes.size()) - 1;
    }
    // A node of what entry holds, which goes to the end of list.
    template <typename T>
    int AddNode(Node node, std::vector<T>& list, T entry) {
        node.index = static_cast<int>(list.size());
        list.push_back(std::move(entry));
        return AddNode(node);
    }

    int Literal(std::unique_ptr<CVarient> value) {
        int32_t type = value->GetType();
        if (!IsIntegerType(type) && type != kTypeOctet) return -1;
        Node node;
        node.kind = Node::kLiteral;
        node.integer = IsIntegerType(type);
        node.word = value->value;
        node.wordType = type;
        node.knownType = node.integer ? type : kTypeNone;
        return AddNode(node, code.literals, std::move(value));
    }

    int Expr(const ExprNode* tree, Program& program) {
        if (tree == nullptr || tree->id == kExprValueSet) return -1;
        if (tree->IsLeaf()) return Leaf(*tree, program);
        if (tree->id != kTokOperator || tree->child[2] != nullptr) return -1;
        Node node;
        node.left = Expr(tree->child[0], program);
        if (!Gives(node.left, true)) return -1;
        node.integer = true;
        if (tree->unary) {
            const OTSTR& op = tree->text;
            if (op.GetLength() != 1 || strchr("+-~!", op.GetBuffer()[0]) == nullptr) return -1;
            node.kind = Node::kUnary;
            node.unaryOp[0] = op.GetBuffer()[0];
            return AddNode(node);
        }
        node.kind = Node::kBinary;
        node.code = tree->Operator();
        if (node.code == OperatorCode::kUnknown || node.code == OperatorCode::kAssign ||
            node.code == OperatorCode::kSelect) {
            return -1;
        }
        node.right = Expr(tree->child[1], program);
        if (!Gives(node.right, true)) return -1;
        // Operands of known integer types give a result of known signedness,
        // as CVarient::OperateWords finds it.
        int32_t left = code.nodes[static_cast<size_t>(node.left)].knownType;
        int32_t right = code.nodes[static_cast<size_t>(node.right)].knownType;
        int32_t promoted = left != kTypeNone && right != kTypeNone
                               ? CVarient::PromotedType(left, right)
                               : kTypeNone;
        if (IsIntegerType(promoted))
            node.knownType = IsSignedType(promoted) ? kTypeInt4 : kTypeUInt4;
        node.simpleOperands = node.knownType != kTypeNone &&
                              code.nodes[static_cast<size_t>(node.left)].IsSimple() &&
                              code.nodes[static_cast<size_t>(node.right)].IsSimple();
        return AddNode(node);
    }

    // A literal, an enum item, a variable, an element of a general array
    // ("name[digits]") or a call.
    int Leaf(const ExprNode& leaf, Program& program) {
        std::unique_ptr<CVarient> value(new (std::nothrow) CVarient);
        if (value == nullptr) return -1;
        const char* text = leaf.text.GetBuffer(0);
        if (leaf.id != kTokIdent) {
            bool read =
                leaf.literal != nullptr ? value->assign(*leaf.literal) : value->sets(text, "'\"");
            return read ? Literal(std::move(value)) : -1;
        }
        if (leaf.IsCall()) return Call(text, program);
        // A named value comes before a variable, read as its integer (a
        // general procedure's); X::Y is an enum item.
        if (const CVariableItem* named = program.FindNamedValue(text)) {
            uint32_t word = 0;
            return general && IsIntegerType(named->GetType()) && named->GetWord(0, word) &&
                           value->setInteger(word, named->GetType())
                       ? Literal(std::move(value))
                       : -1;
        }
        const CVarient* item = nullptr;
        if (QuietEnumItem(program, text, item)) {
            return item != nullptr && value->clone(*item) ? Literal(std::move(value)) : -1;
        }
        // A name of the procedure's own with a subscript of digits is an
        // element of its array; any other path is read in the frames above.
        int first = static_cast<int>(strcspn(text, ".["));
        Node node;
        node.index = Find(text, first);
        if (node.index < 0) return general ? Above(text, first) : -1;
        if (text[first] == 0) {
            node.kind = Node::kVariable;
            if (node.index < 0 || node.index == code.elementParam || !Single(node.index)) {
                return -1;
            }
        } else {
            node.kind = Node::kElement;
            if (!general || text[first] != '[' || node.index == code.elementParam ||
                !ElementIndex(text + first, node.element) ||
                node.element >= code.variables[node.index]->GetCount()) {
                return -1;
            }
        }
        // The variables keep the types they were made with.
        int32_t type = code.variables[node.index]->GetType();
        node.integer = IsIntegerType(type);
        node.knownType = node.integer ? type : kTypeNone;
        return AddNode(node);
    }

    // An integer read in the frames above: text a bare name (first bytes
    // long) or a path, whose first name the procedure does not declare.
    int Above(const char* text, int first) {
        if (Declared(text, first)) return -1;
        Node node;
        node.kind = Node::kPath;
        node.integer = true;
        node.index = PathOf(text, first);
        return node.index >= 0 ? AddNode(node) : -1;
    }

    // The path of text, whose first name ends at first: the same one where
    // it is written again. A path of several names leads on from the path
    // of all its names but the last (Path::prefix).
    int PathOf(const std::string& text, int first) {
        for (size_t i = 0; i < code.paths.size(); ++i) {
            if (code.paths[i]->text == text) return static_cast<int>(i);
        }
        std::unique_ptr<Path> path(new (std::nothrow) Path);
        if (path == nullptr) return -1;
        path->text = text;
        if (text[static_cast<size_t>(first)] == 0) {
            path->name = text.c_str();
        } else if (!path->path.Parse(text.c_str())) {
            return -1;
        } else {
            size_t dot = text.rfind('.');
            if (dot != std::string::npos && dot >= static_cast<size_t>(first)) {
                path->prefix = PathOf(text.substr(0, dot), first);
            }
        }
        code.paths.push_back(std::move(path));
        return static_cast<int>(code.paths.size()) - 1;
    }

    // "[digits]" to the end of the text, its number at most 9 digits long.
    static bool ElementIndex(const char* bracket, int& index) {
        int digits = 0;
        index = 0;
        const char* p = bracket + 1;
        for (; *p >= '0' && *p <= '9' && digits < 9; ++p, ++digits) index = index * 10 + (*p - '0');
        return digits > 0 && p[0] == ']' && p[1] == 0;
    }

    // "f(arguments)": a quiet procedure, a built-in served natively that
    // makes a text, or in general code one whose effects can be undone.
    int Call(const char* text, Program& program) {
        OTSTR inner;
        Procedure* callee = SplitQuietCall(program, text, inner);
        if (callee == nullptr) return -1;
        CallArguments args(inner.GetBuffer(0));
        if (!callee->isExtern) {
            int call = CallQuiet(*callee, args, program);
            return call >= 0 || !general ? call : CallGeneral(*callee, args, program);
        }
        if (TextBuiltinOf(*callee) == TextBuiltin::kNone &&
            !(general && UndoableBuiltin(*callee))) {
            return -1;
        }
        if (general && args.GetSize() == 0) {
            if (NativeReader read = BuiltinReader(*callee)) {
                Node node;
                node.kind = Node::kReader;
                node.integer = true;
                node.knownType = kTypeInt4;  // any other type fails the read
                return AddNode(node, code.readers, Reader{callee, read});
            }
        }
        std::unique_ptr<Builtin> call(new (std::nothrow) Builtin);
        if (call == nullptr || (call->handler = NativeBuiltin(*callee)) == nullptr) return -1;
        call->procedure = callee;
        int wanted = callee->parameters.GetMemberCount();
        int given = args.GetSize();
        if (given < wanted || (given > wanted && !callee->varArgs)) return -1;
        for (int i = 0; i < given; ++i) {
            VariableDefinition* def = i < wanted ? callee->parameters.GetMember(i) : nullptr;
            if (i < wanted && def == nullptr) return -1;
            int source = def != nullptr && def->byAddress ? Source(args.GetAt(i)) : -1;
            if (def != nullptr && def->byAddress && source < 0) return -1;
            int argument = source < 0 ? Argument(args.GetAt(i), program) : -1;
            if (source < 0 && (argument < 0 || code.nodes[argument].none)) return -1;
            call->arguments.push_back(argument);
            if (def == nullptr) {
                std::unique_ptr<CVarient> extra(new (std::nothrow) CVarient);
                if (extra == nullptr) return -1;
                call->extraList.push_back(extra.get());
                call->extras.push_back(std::move(extra));
                continue;
            }
            // A by-address item stays blank until a call refers it to its
            // variable.
            std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
            if (item == nullptr || def->IsBitField() || def->structDef != nullptr ||
                (source < 0 && (def->count >= 2 || !item->create(nullptr, def) ||
                                code.nodes[argument].integer != IsIntegerType(item->GetType())))) {
                return -1;
            }
            call->sources.push_back(source);
            call->paramList.push_back(item.get());
            call->params.push_back(std::move(item));
            call->literal.push_back(source < 0 && code.nodes[argument].kind == Node::kLiteral);
        }
        int32_t returns = callee->returnType;
        Node node;
        node.kind = Node::kBuiltin;
        node.none = returns == kDeclVoid;
        if (!node.none) {
            call->result.reset(new (std::nothrow) CVariableItem);
            if (returns == kDeclDynamic || returns == kDeclStruct || call->result == nullptr ||
                !call->result->create(returns, "Return", 1)) {
                return -1;
            }
            node.integer = IsIntegerType(call->result->GetType());
            // A quiet procedure calls the text built-ins alone.
            if (node.integer && !general) return -1;
        }
        if (TextBuiltinOf(*callee) != TextBuiltin::kNone && KeyValues(*call) >= 0) {
            call->results.reset(new (std::nothrow) CallResults);
        }
        if (TextBuiltinOf(*callee) == TextBuiltin::kFormat && wanted == 1 && call->literal[0] &&
            call->result != nullptr) {
            call->format = true;
            call->items.resize(call->extraList.size());
        }
        call->fetch = FetchBuiltin(*callee) && given == 5 && Fetchable(*call);
        call->title = TitleBuiltin(*callee) && given == 2 && Titled(*call);
        return AddNode(node, code.builtins, std::move(call));
    }

    // How many values the key of a pure call's result takes (Key): its
    // arguments are literals, integers computed without a call, and pure
    // calls that are such in turn; -1 for any other call, or too many
    // values.
    int KeyValues(const Builtin& call) const {
        int count = 0;
        for (int argument : call.arguments) {
            const Node& node = code.nodes[static_cast<size_t>(argument)];
            if (node.kind == Node::kLiteral) continue;
            const Builtin* inner = node.kind == Node::kBuiltin
                                       ? code.builtins[static_cast<size_t>(node.index)].get()
                                       : nullptr;
            int values = inner != nullptr     ? (inner->results != nullptr ? KeyValues(*inner) : -1)
                         : CallFree(argument) ? 1
                                              : -1;
            if (values < 0 || (count += values) > CallResults::kMaxArguments) {
                return -1;
            }
        }
        return count;
    }

    // Whether a call of sysFetchValue may read into its variable without
    // its parameters (ProcedureCode::Fetch): the name a text that a store
    // takes as it is, the numbers computed without a call, the position an
    // integer of 4 bytes as the built-in reads it.
    bool Fetchable(const Builtin& call) const {
        const Node& name = code.nodes[static_cast<size_t>(call.arguments[0])];
        int32_t type = name.kind == Node::kLiteral
                           ? code.literals[static_cast<size_t>(name.index)]->GetType()
                       : name.kind == Node::kVariable
                           ? code.variables[static_cast<size_t>(name.index)]->GetType()
                           : kTypeNone;
        return call.sources[1] >= 0 && type == kTypeOctet && CallFree(call.arguments[2]) &&
               CallFree(call.arguments[3]) && CallFree(call.arguments[4]) &&
               ValueTypeWidth(call.paramList[2]->GetType()) == 4;
    }

    // Whether a call of sysSetTitle may set the caption without its
    // parameters (ProcedureCode::Title): the number computed without a call,
    // the text a literal, a variable or a text built-in's, and a result to
    // take.
    bool Titled(const Builtin& call) const {
        const Node& text = code.nodes[static_cast<size_t>(call.arguments[1])];
        bool textual = text.kind == Node::kLiteral || text.kind == Node::kVariable ||
                       (text.kind == Node::kBuiltin &&
                        code.builtins[static_cast<size_t>(text.index)]->results != nullptr);
        return call.sources[0] < 0 && call.sources[1] < 0 && call.result != nullptr &&
               !text.integer && call.paramList[1]->GetType() == kTypeOctet &&
               CallFree(call.arguments[0]) && textual;
    }

    // Whether an integer node computes without calling anything (a read of
    // the cursor aside).
    bool CallFree(int index) const {
        const Node& node = code.nodes[static_cast<size_t>(index)];
        switch (node.kind) {
            case Node::kLiteral:
            case Node::kVariable:
            case Node::kElement:
            case Node::kReader:
                return node.integer;
            case Node::kUnary:
                return CallFree(node.left);
            case Node::kBinary:
                return CallFree(node.left) && CallFree(node.right);
            default:
                return false;
        }
    }

    // The variable that a by-address argument names by itself.
    int Source(const char* piece) const {
        const char* name = CallArguments::BoundText(piece);
        if (name == nullptr || !CVariableItem::IsSingleValue(name)) return -1;
        std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(piece));
        if (tree == nullptr || !tree->IsLeaf() || tree->id != kTokIdent || tree->IsCall())
            return -1;
        return Find(tree->text);
    }

    // The node of a call's argument that is a single value.
    int Argument(const char* piece, Program& program) {
        if (!CVariableItem::IsSingleValue(CallArguments::BoundText(piece))) return -1;
        std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(piece));
        return Expr(tree.get(), program);
    }

    // A call of a general procedure that compiles, from the call site of
    // another one: its arguments single values of its parameters' kinds.
    int CallGeneral(Procedure& callee, const CallArguments& args, Program& program) {
        std::unique_ptr<GeneralCallee> call(new (std::nothrow) GeneralCallee);
        ProcedureCode* callCode = compiled != nullptr ? compiled->CodeOf(callee) : nullptr;
        if (call == nullptr || callCode == nullptr || callCode->elementParam >= 0 ||
            args.GetSize() != callCode->paramCount) {
            return -1;
        }
        for (int i = 0; i < args.GetSize(); ++i) {
            int node = Argument(args.GetAt(i), program);
            if (!Gives(node, callCode->integerParams[static_cast<size_t>(i)])) return -1;
            call->arguments.push_back(node);
        }
        call->code = callCode;
        Node node;
        node.kind = Node::kGeneral;
        node.integer =
            callCode->returnItem != nullptr && IsIntegerType(callCode->returnItem->GetType());
        node.none = callCode->returnItem == nullptr;
        return AddNode(node, code.generals, std::move(call));
    }

    static constexpr int kNotDecode = -2;

    // "sysTranChoiceItem(element, name, tag)" of the Translate procedure's
    // element: its node; kNotDecode for a call of anything else.
    int Decode(const char* text, Program& program) {
        OTSTR inner;
        Procedure* callee = SplitQuietCall(program, text, inner);
        if (callee == nullptr || !DecodingBuiltin(*callee)) return kNotDecode;
        CallArguments args(inner.GetBuffer(0));
        std::unique_ptr<DecodeSite> site(new (std::nothrow) DecodeSite);
        if (site == nullptr || args.GetSize() != 3 || code.elementParam < 0 ||
            Source(args.GetAt(0)) != code.elementParam) {
            return -1;
        }
        site->procedure = callee;
        site->name = Argument(args.GetAt(1), program);
        site->tag = Argument(args.GetAt(2), program);
        if (!Gives(site->name, false) || !Gives(site->tag, true)) return -1;
        Node node;
        node.kind = Node::kDecode;
        node.none = true;
        return AddNode(node, code.decodes, std::move(site));
    }

    // A call of a script procedure whose results are kept.
    int CallQuiet(Procedure& callee, const CallArguments& args, Program& program) {
        std::unique_ptr<QuietCallee> call(new (std::nothrow) QuietCallee);
        int count = callee.parameters.GetMemberCount();
        CVariableItem probe;
        if (call == nullptr || callee.isExtern || args.GetSize() != count ||
            count > CallResults::kMaxArguments ||
            (call->results = quiet.ResultsOf(callee)) == nullptr ||
            !probe.create(callee.returnType, "Return", 1)) {
            return -1;
        }
        for (int i = 0; i < count; ++i) {
            // Read in machine words at the call site.
            std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(args.GetAt(i)));
            int node =
                tree != nullptr && tree->IntegerShaped() ? Argument(args.GetAt(i), program) : -1;
            if (!Gives(node, true)) return -1;
            call->arguments.push_back(node);
        }
        call->procedure = &callee;
        Node node;
        node.kind = Node::kProcedure;
        node.integer = IsIntegerType(probe.GetType());
        return AddNode(node, code.callees, std::move(call));
    }

    ProcedureCode& code;
    QuietProcedures& quiet;
    CompiledProcedures* compiled;
    const bool general;
    std::vector<Named> scope;
    // Every name declared in the procedure, in scope or not.
    std::vector<const OTSTR*> names;
};

ProcedureCode::ProcedureCode() = default;

ProcedureCode::~ProcedureCode() = default;

std::unique_ptr<ProcedureCode> ProcedureCode::Compile(Procedure& procedure, QuietProcedures& quiet,
                                                      Mode mode, CompiledProcedures* compiled) {
    std::unique_ptr<ProcedureCode> code(new (std::nothrow) ProcedureCode);
    if (code == nullptr) return nullptr;
    code->mode = mode;
    if (!Compiler(*code, quiet, compiled).Run(procedure)) return nullptr;
    return code;
}

// ---------------------------------------------------------------- run

inline const CVariableItem* ProcedureCode::Holding(int variable) const {
    const CVariableItem* item = variables[static_cast<size_t>(variable)].get();
    return item->HasValue() ? item : nullptr;
}

inline __attribute__((always_inline)) bool ProcedureCode::Leaf(const Node& node, uint32_t& word,
                                                               int32_t& type) const {
    if (node.kind == Node::kLiteral) {
        word = node.word;
        type = node.wordType;
        return true;
    }
    const CVariableItem* item = Holding(node.index);
    if (item == nullptr) return false;
    type = item->GetType();
    return item->GetWord(node.element, word);
}

inline __attribute__((always_inline)) bool ProcedureCode::Simple(ExecuteEnv& env, const Node& node,
                                                                 uint32_t& word, int32_t& type) {
    if (node.kind != Node::kReader) return Leaf(node, word, type);
    // The return value as the call leaves it: emptied, then the result.
    Reader& reader = readers[static_cast<size_t>(node.index)];
    return reader.read(env.hookOwner, env, *reader.procedure, word, type) && type == kTypeInt4 &&
           env.returnValue.ClearToInteger(word, type);
}

// The leaves and readers, most operands, are read without a call of
// Integer, and so is an operator of two of them of a known type, as Integer
// computes it.
inline __attribute__((always_inline)) bool ProcedureCode::Operand(ExecuteEnv& env, int index,
                                                                  uint32_t& word, int32_t& type) {
    const Node& node = nodes[static_cast<size_t>(index)];
    if (node.IsSimple()) return Simple(env, node, word, type);
    if (node.kind == Node::kPath) return ReadPath(node, word, type);
    if (node.simpleOperands) {
        uint32_t left = 0, right = 0;
        int32_t leftType = kTypeNone, rightType = kTypeNone;
        if (!Simple(env, nodes[static_cast<size_t>(node.left)], left, leftType) ||
            !Simple(env, nodes[static_cast<size_t>(node.right)], right, rightType)) {
            return false;
        }
        type = node.knownType;
        return IntegerOp(node.code, type == kTypeInt4, left, right, word) == OpResult::kDone;
    }
    return Integer(env, index, word, type);
}

bool ProcedureCode::ReadPath(const Node& node, uint32_t& word, int32_t& type) {
    int32_t idx = -1;
    const CVariableItem* item = Follow(*paths[static_cast<size_t>(node.index)], idx);
    // As the frame reads it: from storage that holds a value.
    if (item == nullptr || item->Header().baseType == -1 || item->Header().baseType == -2 ||
        !item->HasValue() || idx < 0) {
        return false;
    }
    type = item->GetType();
    return IsIntegerType(type) && item->GetWord(idx, word);
}

CVariableItem* ProcedureCode::Follow(Path& read, int32_t& idx) {
    if (read.stamp == pathStamp) {
        idx = read.idx;
        return read.item;
    }
    idx = -1;
    if (above == nullptr) return nullptr;
    CVariableItem* item = nullptr;
    if (!read.name.IsEmpty()) {
        item = above->FindBare(read.name.GetBuffer(), read.name.GetLength(), &read.slot);
        if (item != nullptr) idx = item->GetCount() == 1 ? 0 : -1;
    } else if (read.prefix >= 0) {
        // The last name's look-up is a level of item nesting, as the whole
        // walk's is.
        int32_t at = -1;
        CVariableItem* head = Follow(*paths[static_cast<size_t>(read.prefix)], at);
        ItemNesting nesting;
        if (head != nullptr && !nesting.TooDeep()) {
            item = above->FollowFrom(read.path, read.path.StepCount() - 1, head, at, &idx);
        }
    } else {
        item = above->FollowDotted(read.path, &read.slot, &idx);
    }
    if (item != nullptr) {
        read.stamp = pathStamp;
        read.item = item;
        read.idx = idx;
    }
    return item;
}

bool ProcedureCode::Integer(ExecuteEnv& env, int index, uint32_t& word, int32_t& type) {
    const Node& node = nodes[static_cast<size_t>(index)];
    switch (node.kind) {
        case Node::kLiteral:
        case Node::kVariable:
        case Node::kElement:
            return Leaf(node, word, type);
        case Node::kPath:
            return ReadPath(node, word, type);
        case Node::kUnary: {
            uint32_t operand = 0;
            int32_t operandType = kTypeNone;
            return Operand(env, node.left, operand, operandType) &&
                   CVarient::OperateWord(node.unaryOp, operand, operandType, word, type);
        }
        case Node::kBinary: {
            uint32_t left = 0, right = 0;
            int32_t leftType = kTypeNone, rightType = kTypeNone;
            if (!Operand(env, node.left, left, leftType) ||
                !Operand(env, node.right, right, rightType)) {
                return false;
            }
            if (node.knownType != kTypeNone) {
                type = node.knownType;
                return IntegerOp(node.code, type == kTypeInt4, left, right, word) ==
                       OpResult::kDone;
            }
            return CVarient::OperateWords(left, leftType, node.code, right, rightType, word, type);
        }
        case Node::kReader:
            return Simple(env, node, word, type);
        case Node::kBuiltin:
        case Node::kProcedure:
        case Node::kGeneral: {
            // Its result, as an operator takes the value of a call.
            CVarient& value = scratch[1];
            if (!Value(env, index, value, true)) return false;
            word = value.value;
            type = value.GetType();
            return IsIntegerType(type);
        }
        case Node::kDecode:
            break;
    }
    return false;
}

bool ProcedureCode::Value(ExecuteEnv& env, int index, CVarient& out, bool call) {
    const Node& node = nodes[static_cast<size_t>(index)];
    if (node.integer && !call) {
        uint32_t word = 0;
        int32_t type = kTypeNone;
        return Integer(env, index, word, type) && out.setInteger(word, type);
    }
    switch (node.kind) {
        case Node::kLiteral:
            return out.assign(*literals[static_cast<size_t>(node.index)]);
        case Node::kVariable: {
            const CVariableItem* item = Holding(node.index);
            return item != nullptr && item->getAt(0, out);
        }
        case Node::kBuiltin:
            return Call(env, *builtins[static_cast<size_t>(node.index)], &out);
        case Node::kProcedure:
            return CallQuiet(env, *callees[static_cast<size_t>(node.index)], out);
        case Node::kGeneral:
            return CallGeneral(env, *generals[static_cast<size_t>(node.index)], out);
        default:
            return false;
    }
}

bool ProcedureCode::CallGeneral(ExecuteEnv& env, GeneralCallee& call, CVarient& out) {
    ProcedureCode& callee = *call.code;
    // Its code hangs its reads where its frame would hang from any caller.
    RunTimeStk* root = env.GetRoot();
    if (root == nullptr || root->FindFrameOfProgram(callee.procedure->owner) == nullptr) {
        return false;
    }
    // One call below this procedure's frame, as its call site runs it.
    StampOnLeave stamp(pathStamp);
    env.EnterCall();
    int ran = callee.RunGeneral(env, &out, [&] {
        for (size_t i = 0; i < call.arguments.size(); ++i) {
            if (!Store(env, *callee.variables[i], call.arguments[i])) return false;
        }
        return true;
    });
    env.LeaveCall();
    return ran > 0;
}

bool ProcedureCode::Store(ExecuteEnv& env, CVariableItem& item, int node) {
    // An integer is stored as its word, as setAt of its value stores it.
    if (nodes[static_cast<size_t>(node)].integer) {
        uint32_t word = 0;
        int32_t type = kTypeNone;
        return Operand(env, node, word, type) && item.setAt(0, word);
    }
    // A built-in's text is stored from the return value, where its call
    // leaves it.
    const Node& value = nodes[static_cast<size_t>(node)];
    if (value.kind == Node::kBuiltin) {
        return Call(env, *builtins[static_cast<size_t>(value.index)], nullptr) &&
               item.setAt(0, env.returnValue);
    }
    // A variable's text is stored from where it lies, as from the value
    // that Value would copy it into.
    if (value.kind == Node::kVariable) {
        const CVariableItem* source = Holding(value.index);
        if (source == nullptr) return false;
        if (const OTSTR* text = source->TextAt(0)) {
            return item.setAt(0, text->GetBuffer(0), text->GetLength());
        }
    }
    // Any other text passes through a value kept from call to call: a call
    // that computes it stores its own arguments before it writes it.
    return Value(env, node, scratch[0]) && item.setAt(0, scratch[0]);
}

bool ProcedureCode::Key(ExecuteEnv& env, const Builtin& call, uint32_t* words, int32_t* types,
                        int& count) {
    for (int argument : call.arguments) {
        const Node& node = nodes[static_cast<size_t>(argument)];
        if (node.kind == Node::kLiteral) continue;
        bool read = node.kind == Node::kBuiltin
                        ? Key(env, *builtins[static_cast<size_t>(node.index)], words, types, count)
                        : Operand(env, argument, words[count], types[count]);
        if (!read) return false;
        if (node.kind != Node::kBuiltin) ++count;
    }
    return true;
}

bool ProcedureCode::Call(ExecuteEnv& env, Builtin& call, CVarient* out) {
    // A pure call whose values were seen lately takes the kept result.
    uint32_t words[CallResults::kMaxArguments];
    int32_t types[CallResults::kMaxArguments];
    int count = 0;
    bool keyed = call.results != nullptr && call.hits.Look() && Key(env, call, words, types, count);
    if (keyed) {
        if (const CVarient* kept = call.results->Find(words, types, count)) {
            call.hits.Found();
            return env.returnValue.clone(*kept) && (out == nullptr || out->clone(*kept));
        }
    }
    if (!RunBuiltin(env, call, out)) return false;
    if (keyed) call.results->Keep(words, types, count, env.returnValue);
    return true;
}

bool ProcedureCode::RunBuiltin(ExecuteEnv& env, Builtin& call, CVarient* out) {
    StampOnLeave stamp(pathStamp);
    Procedure& callee = *call.procedure;
    RunTimeStk* root = env.GetRoot();
    RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(callee.owner) : nullptr;
    if (parent == nullptr) return false;
    if (call.fetch) {
        int fetched = Fetch(env, call);
        if (fetched >= 0) return fetched > 0;
    }
    if (call.title) {
        int titled = Title(env, call);
        if (titled >= 0) return titled > 0 && (out == nullptr || out->clone(env.returnValue));
    }
    int wanted = static_cast<int>(call.paramList.size());
    int given = static_cast<int>(call.arguments.size());
    bool ok = true;
    for (int i = 0; ok && i < wanted; ++i) {
        int source = call.sources[static_cast<size_t>(i)];
        if (source >= 0) {
            // As the frame passes a variable by its name.
            CVariableItem& variable = *variables[static_cast<size_t>(source)];
            ok = call.paramList[i]->PassAddressClone(variable, variable.GetCount() == 1 ? 0 : -1,
                                                     callee.parameters.GetMember(i));
        } else if (!call.primed || !call.literal[static_cast<size_t>(i)]) {
            ok = Store(env, *call.paramList[i], call.arguments[i]);
        }
    }
    call.primed = ok;
    // Done by the typed format, else the values are in the extras.
    bool done = false;
    if (ok && call.format) {
        int typed = FormatTyped(env, call, out);
        done = typed >= 0;
        ok = typed != 0;
    } else {
        for (int i = wanted; ok && i < given; ++i) {
            ok = Value(env, call.arguments[i], *call.extraList[i - wanted]);
        }
    }
    if (ok && !done) {
        if (call.result != nullptr) call.result->setValueFlag(false);
        env.returnValue.clear(false);
        NativeArguments native{call.paramList.data(),
                               wanted,
                               call.extraList.data(),
                               given - wanted,
                               call.result.get(),
                               nullptr,
                               parent};
        ok = call.handler(env.hookOwner, env, callee, native) &&
             callee.TakeResult(env, call.result.get()) &&
             (out == nullptr || out->clone(env.returnValue));
    }
    for (CVarient* extra : call.extraList) extra->clear(false);
    // The by-address items let go of the variables.
    for (int i = 0; i < wanted; ++i) {
        if (call.sources[static_cast<size_t>(i)] >= 0) call.paramList[i]->clear();
    }
    return ok;
}

int ProcedureCode::Title(ExecuteEnv& env, Builtin& call) {
    auto* decoder = static_cast<ProtocolDecoder*>(env.hookOwner);
    CVariableItem& result = *call.result;
    // The result as the built-in stores its digit into it.
    if (decoder == nullptr || !result.IsWritable() || !TakesDigitWord(result)) return -1;
    // The number as its parameter stores it and the built-in reads its byte;
    // a caption out of range is left to the call, with its message.
    uint32_t word = 0;
    int32_t type = kTypeNone;
    if (!Operand(env, call.arguments[0], word, type) || static_cast<uint8_t>(word) > 1) return -1;
    // The text where the parameter's store would take it from.
    const Node& text = nodes[static_cast<size_t>(call.arguments[1])];
    const char* bytes = nullptr;
    int32_t length = 0;
    if (text.kind == Node::kLiteral) {
        if (!literals[static_cast<size_t>(text.index)]->getBytes(&bytes, &length)) return -1;
    } else if (text.kind == Node::kVariable) {
        const CVariableItem* variable = Holding(text.index);
        const OTSTR* held = variable != nullptr ? variable->TextAt(0) : nullptr;
        if (held == nullptr) return -1;
        bytes = held->GetBuffer(0);
        length = held->GetLength();
    } else {
        if (!Call(env, *builtins[static_cast<size_t>(text.index)], nullptr)) return 0;
        if (env.returnValue.GetType() != kTypeOctet || !env.returnValue.getBytes(&bytes, &length)) {
            return -1;
        }
    }
    if (!decoder->SetTitle(static_cast<uint8_t>(word), bytes, length)) return -1;
    Procedure& callee = *call.procedure;
    result.setValueFlag(false);
    env.returnValue.clear(false);
    return result.setAt(0, uint32_t{1}) && callee.TakeResult(env, &result) ? 1 : 0;
}

int ProcedureCode::Fetch(ExecuteEnv& env, Builtin& call) {
    // The stores of the name and of the numbers fail where a variable holds
    // no value; the numbers' failures go as their stores' would.
    const Node& name = nodes[static_cast<size_t>(call.arguments[0])];
    if (name.kind == Node::kVariable && Holding(name.index) == nullptr) return -1;
    uint32_t words[3];
    for (int i = 0; i < 3; ++i) {
        int32_t type = kTypeNone;
        if (!Operand(env, call.arguments[static_cast<size_t>(2 + i)], words[i], type)) return 0;
    }
    // The position as its 4-byte parameter gives it, the flag as its byte.
    CVariableItem& variable = *variables[static_cast<size_t>(call.sources[1])];
    int fetched = FetchPlainIntegers(env, *call.procedure, variable, static_cast<int32_t>(words[0]),
                                     static_cast<uint8_t>(words[2]) != 0);
    // The return value as the call of a VOID built-in leaves it.
    if (fetched > 0) env.returnValue.clear(false);
    return fetched;
}

namespace {

// The kept results that a format reads in place, unpinned when it is done.
class PinnedResults {
  public:
    PinnedResults() = default;
    ~PinnedResults() {
        for (int i = 0; i < count; ++i) pins[i].results->Unpin(pins[i].entry);
    }
    PinnedResults(const PinnedResults&) = delete;
    PinnedResults& operator=(const PinnedResults&) = delete;

    bool Full() const { return count == kMax; }
    void Add(CallResults& results, int entry) { pins[count++] = {&results, entry}; }

  private:
    static constexpr int kMax = 8;
    struct Pin {
        CallResults* results;
        int entry;
    };
    Pin pins[kMax];
    int count = 0;
};

}  // namespace

int ProcedureCode::FormatTyped(ExecuteEnv& env, Builtin& call, CVarient* out) {
    size_t count = call.items.size();
    PinnedResults pinned;
    for (size_t i = 0; i < count; ++i) {
        int node = call.arguments[i + 1];
        FormatItem& item = call.items[i];
        CVarient& extra = *call.extraList[i];
        const Node& value = nodes[static_cast<size_t>(node)];
        item.value = nullptr;
        item.text = nullptr;
        if (value.integer) {
            // Value's integer, which setInteger stores as its word.
            if (!Operand(env, node, item.word, item.type) || !IsIntegerType(item.type)) return 0;
            continue;
        }
        if (value.kind == Node::kVariable) {
            // The text that Value would copy out of the variable, in place.
            const CVariableItem* variable = Holding(value.index);
            if (variable == nullptr) return 0;
            if (const OTSTR* text = variable->TextAt(0)) {
                item.text = text->GetBuffer(0);
                item.length = text->GetLength();
                continue;
            }
        }
        if (value.kind == Node::kProcedure && !pinned.Full()) {
            // A kept result is read where it lies; the return value that
            // the call would leave, the format's run sets again.
            QuietCallee& callee = *callees[static_cast<size_t>(value.index)];
            int entry = -1;
            item.value = QuietResult(env, callee, extra, &entry);
            if (item.value == nullptr) return 0;
            if (entry >= 0) pinned.Add(*callee.results, entry);
            continue;
        }
        item.value = &extra;
        if (!Value(env, node, extra)) return 0;
    }
    // The format as the built-in reads its parameter.
    const CVariableItem& param = *call.paramList[0];
    const OTSTR* format = param.GetCount() == 1 ? RunTimeStk::TextElement(param, 0) : nullptr;
    if (format != nullptr && env.hookOwner != nullptr) {
        // The built-in's buffer, result and return value.
        char buffer[1020];
        if (!call.planned) {
            call.plan.Parse(format->GetBuffer(0));
            call.planned = true;
        }
        int n = call.plan.Format(buffer, sizeof buffer, call.items.data(), static_cast<int>(count));
        Procedure& callee = *call.procedure;
        call.result->setValueFlag(false);
        env.returnValue.clear(false);
        // A text result gives the return value that storing it in the
        // result and the frame's take of it give.
        bool textResult = call.result->GetType() == kTypeOctet;
        if (n >= 0 && (textResult || callee.StoreReturn(call.result.get(), buffer, n))) {
            bool taken = textResult ? env.returnValue.setBytes(buffer, n)
                                    : callee.TakeResult(env, call.result.get());
            return taken && (out == nullptr || out->clone(env.returnValue)) ? 1 : 0;
        }
    }
    // The built-in fails, and says why, from the extras.
    for (size_t i = 0; i < count; ++i) {
        const FormatItem& item = call.items[i];
        CVarient& extra = *call.extraList[i];
        bool set = item.value != nullptr
                       ? item.value == &extra || extra.clone(*item.value)
                       : (item.text != nullptr ? extra.setBytes(item.text, item.length)
                                               : extra.setInteger(item.word, item.type));
        if (!set) return 0;
    }
    return -1;
}

bool ProcedureCode::CallQuiet(ExecuteEnv& env, QuietCallee& call, CVarient& out) {
    const CVarient* result = QuietResult(env, call, out, nullptr);
    if (result == nullptr) return false;
    return result == &out || (env.returnValue.clone(*result) && out.clone(*result));
}

const CVarient* ProcedureCode::QuietResult(ExecuteEnv& env, QuietCallee& call, CVarient& out,
                                           int* pinned) {
    int count = static_cast<int>(call.arguments.size());
    uint32_t words[CallResults::kMaxArguments];
    int32_t types[CallResults::kMaxArguments];
    // The call site, one call below this procedure's frame, reads its
    // arguments where the callee's calls fit below it.
    if (env.CallDepth() + 1 + call.results->chain + 1 >= ExecuteEnv::kMaxCallDepth) return nullptr;
    for (int i = 0; i < count; ++i) {
        if (!Operand(env, call.arguments[static_cast<size_t>(i)], words[i], types[i])) {
            return nullptr;
        }
    }
    CallResults& results = *call.results;
    int kept = results.Search(words, types, count);
    if (kept >= 0) {
        if (pinned != nullptr) {
            results.Pin(kept);
            *pinned = kept;
        }
        return &results.ResultAt(kept);
    }
    if (pinned == nullptr) {
        if (results.RunInFrame(env, call.procedure, words, count, out) <= 0) return nullptr;
        results.Keep(words, types, count, out);
        return &out;
    }
    // A caller that reads the result in place reads it where it is kept.
    int entry = -1;
    if (results.RunAndKeep(env, call.procedure, words, types, count, out, entry) <= 0) {
        return nullptr;
    }
    if (entry < 0) return &out;
    results.Pin(entry);
    *pinned = entry;
    return &results.ResultAt(entry);
}

bool ProcedureCode::MayRun(const ExecuteEnv& env) const {
    return !busy && !env.IsTracing() && !env.canceled && CallArguments::BindingOn() &&
           ItemNesting::Room(kNestingRoom) &&
           env.CallDepth() + kCallRoom < ExecuteEnv::kMaxCallDepth;
}

ProcedureCode::Stop ProcedureCode::Steps(ExecuteEnv& env, size_t& pc, bool committed) {
    while (pc < steps.size()) {
        const Step& step = steps[pc];
        switch (step.op) {
            case Step::kAssign:
                if (!Store(env, *variables[static_cast<size_t>(step.variable)], step.node)) {
                    return Stop::kFailed;
                }
                ++pc;
                break;
            case Step::kEval: {
                const Node& node = nodes[static_cast<size_t>(step.node)];
                bool decode = node.kind == Node::kDecode;
                if (decode && !committed) return Stop::kDecode;
                bool done = false;
                if (decode) {
                    done = Decode(env, *decodes[static_cast<size_t>(node.index)]);
                } else if (node.kind == Node::kBuiltin) {
                    // Its result stays in the return value; an integer one
                    // is taken as an integer value takes it.
                    done = Call(env, *builtins[static_cast<size_t>(node.index)], nullptr) &&
                           (!node.integer || IsIntegerType(env.returnValue.GetType()));
                } else {
                    done = Value(env, step.node, scratch[2]);
                }
                if (!done) {
                    if (committed) Failed(env, step);
                    return Stop::kFailed;
                }
                ++pc;
                break;
            }
            case Step::kBranch: {
                uint32_t word = 0;
                int32_t type = kTypeNone;
                if (!Operand(env, step.node, word, type)) return Stop::kFailed;
                pc = word != 0 ? pc + 1 : static_cast<size_t>(step.target);
                break;
            }
            case Step::kJump:
                pc = static_cast<size_t>(step.target);
                break;
            case Step::kLoop:
                if (!env.KeepRunning()) return Stop::kFailed;
                ++pc;
                break;
            case Step::kReset:
                for (int v = step.variable; v < step.target; ++v) {
                    variables[static_cast<size_t>(v)]->setValueFlag(false);
                }
                ++pc;
                break;
            case Step::kReturn: {
                if (step.node < 0) return Stop::kEnded;
                if (!Store(env, *returnItem, step.node)) return Stop::kFailed;
                const Node& node = nodes[static_cast<size_t>(step.node)];
                returnedCall =
                    !node.integer && (node.kind == Node::kBuiltin || node.kind == Node::kProcedure);
                return Stop::kEnded;
            }
        }
    }
    return Stop::kEnded;
}

void ProcedureCode::Failed(ExecuteEnv& env, const Step& step) {
    const Node& node = nodes[static_cast<size_t>(step.node)];
    if (node.kind == Node::kBuiltin) {
        // As a native call site traces a function that failed (a decode's
        // frame has traced it already).
        OTSTR text = builtins[static_cast<size_t>(node.index)]->procedure->name;
        text.Append(scriptmsg::kCallbackFail);
        TraceText(text.GetBuffer(0));
    }
    env.SetLastError(scriptmsg::kExprFail, step.statement->ProgramName(),
                     static_cast<int>(step.statement->line));
}

bool ProcedureCode::DecodesReady(ExecuteEnv& env) {
    RunTimeStk* root = env.GetRoot();
    for (std::unique_ptr<DecodeSite>& site : decodes) {
        Procedure& callee = *site->procedure;
        RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(callee.owner) : nullptr;
        if (parent == nullptr) return false;
        if (site->frame != nullptr && site->frame->env == &env) {
            site->frame->parent = parent;
            continue;
        }
        // The parameters as the frame's call makes them: the choice's item
        // blank until a call refers it to the element.
        std::vector<std::unique_ptr<CVariableItem>> items;
        for (int i = 0; i < 3; ++i) {
            std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
            if (item == nullptr ||
                (i > 0 && !item->create(nullptr, callee.parameters.GetMember(i)))) {
                return false;
            }
            items.push_back(std::move(item));
        }
        site->frame = RunTimeStk::MakeCallFrame(env, callee, parent, std::move(items));
        if (site->frame == nullptr) return false;
    }
    return true;
}

bool ProcedureCode::Decode(ExecuteEnv& env, DecodeSite& site) {
    StampOnLeave stamp(pathStamp);
    Procedure& callee = *site.procedure;
    // One call below this procedure's frame, as ExecuteEnv::Execute refuses it.
    if (env.CallDepth() + 1 >= ExecuteEnv::kMaxCallDepth) {
        env.SetLastError("Execute %s() fail, call nesting too deep", callee.name.GetBuffer(0));
        return false;
    }
    RunTimeStk& frame = *site.frame;
    CVariableItem& element = *variables[static_cast<size_t>(elementParam)];
    bool ok = frame.VariableAt(0)->PassAddressClone(element, element.GetCount() == 1 ? 0 : -1,
                                                    callee.parameters.GetMember(0)) &&
              Store(env, *frame.VariableAt(1), site.name) &&
              Store(env, *frame.VariableAt(2), site.tag);
    if (ok) {
        env.EnterCall();
        ok = env.CallInFrame(&callee, &frame, &scratch[2]);
        env.LeaveCall();
    }
    frame.VariableAt(0)->clear();
    return ok;
}

bool ProcedureCode::TextReturned(const ExecuteEnv& env) const {
    // The frame's take of a text result copies the item's bytes into the
    // return value, which holds them already where the item stored them
    // from it: the same length of a text is the same bytes.
    const OTSTR* text = returnItem->GetType() == kTypeOctet && returnItem->GetCount() == 1
                            ? RunTimeStk::TextElement(*returnItem, 0)
                            : nullptr;
    return text != nullptr && procedure->returnType != kDeclDynamic &&
           procedure->returnType != kDeclVoid && env.returnValue.GetType() == kTypeOctet &&
           env.returnValue.HasValue() && env.returnValue.data != nullptr &&
           static_cast<uint32_t>(text->GetLength()) == env.returnValue.value;
}

bool ProcedureCode::TakeResult(ExecuteEnv& env, CVarient* result) {
    return procedure->TakeResult(env, returnItem) &&
           (result == nullptr || result->clone(env.returnValue));
}

int ProcedureCode::Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) {
    if (mode != Mode::kQuiet || count != paramCount || !MayRun(env)) return -1;
    for (int i = 0; i < count; ++i) {
        if (!variables[static_cast<size_t>(i)]->setAt(0, words[i])) return -1;
    }
    if (formatReturn >= 0 && RunFormat(env, result) > 0) return 1;
    busy = true;
    returnItem->setValueFlag(false);
    env.returnValue.clear(false);
    returnedCall = false;
    size_t pc = 0;
    bool ok = Steps(env, pc, false) == Stop::kEnded;
    busy = false;
    // Anything the frame would do otherwise is left to it, with its messages;
    // the result is taken as the frame's call takes it.
    if (!ok || !returnItem->HasValue()) return -1;
    if (returnedCall && TextReturned(env)) return result.clone(env.returnValue) ? 1 : 0;
    return TakeResult(env, &result) ? 1 : 0;
}

int ProcedureCode::RunFormat(ExecuteEnv& env, CVarient& result) {
    Builtin& call = *builtins[static_cast<size_t>(formatReturn)];
    // The first run through the steps stores the format and parses it; a
    // kept result of the call would be the same text.
    Procedure& callee = *call.procedure;
    RunTimeStk* root = env.GetRoot();
    if (!call.primed || !call.planned || root == nullptr ||
        root->FindFrameOfProgram(callee.owner) == nullptr || call.result->GetType() != kTypeOctet) {
        return -1;
    }
    // The format as the built-in's run makes it, into the return value and
    // the result; anything else, an empty text too (which the steps take
    // from the return item), is left to the steps.
    if (FormatTyped(env, call, &result) <= 0 || result.GetType() != kTypeOctet ||
        result.value == 0) {
        return -1;
    }
    // The return item, which nothing reads after a run, holds no value.
    returnItem->setValueFlag(false);
    return 1;
}

bool ProcedureCode::Parameters(RunTimeStk& caller, const CallArguments& args) {
    ExprEvaluator evaluator;
    caller.BindEvaluator(evaluator);
    for (int i = 0; i < paramCount; ++i) {
        ExprNode* tree = args.TreeAt(i);
        if (tree == nullptr || CallArguments::BoundText(args.GetAt(i)) == nullptr) return false;
        CVariableItem& param = *variables[static_cast<size_t>(i)];
        if (integerParams[static_cast<size_t>(i)]) {
            // As the call site of a native function stores an integer.
            ItemNesting nesting;
            uint32_t word = 0;
            int32_t type = kTypeNone;
            if (nesting.TooDeep() || !evaluator.EvaluateInteger(tree, word, type) ||
                !param.setAt(0, word)) {
                return false;
            }
        } else if (!tree->IsLeaf() || tree->IsCall() ||
                   !Procedure::SetParameter(param, args, i, &caller)) {
            // A text is a literal or a variable: nothing else is read
            // without an effect that the frame's run would make again.
            return false;
        }
    }
    return true;
}

template <typename SetParameters>
int ProcedureCode::RunGeneral(ExecuteEnv& env, CVarient* result, SetParameters setParameters) {
    if (mode != Mode::kGeneral || !MayRun(env) || !DecodesReady(env)) return -1;
    ++pathStamp;
    StampOnLeave stamp(pathStamp);
    // Where ExecuteEnv::Execute would hang the procedure's frame.
    RunTimeStk* root = env.GetRoot();
    above = root != nullptr ? root->FindFrameOfProgram(procedure->owner) : nullptr;
    if (above == nullptr) above = env.GetTopStk(0) != nullptr ? env.GetTopStk(0) : root;
    auto* cursor = static_cast<ByteCursor*>(env.GetHookArgument());
    int32_t start = cursor != nullptr ? cursor->GetPos() : 0;
    busy = true;
    size_t pc = 0;
    Stop stop = Stop::kFailed;
    bool done = false;
    {
        TraceHold hold;
        if (setParameters()) {
            if (returnItem != nullptr) returnItem->setValueFlag(false);
            env.returnValue.clear(false);
            stop = Steps(env, pc, false);
        }
        done = stop == Stop::kEnded && TakeResult(env, result);
        if (hold.Dropped()) stop = Stop::kFailed;
    }
    int ran = stop == Stop::kFailed || (stop == Stop::kEnded && !done) ? -1 : 1;
    if (stop == Stop::kDecode) {
        // Committed: on as the frame would run, with its messages.
        stop = Steps(env, pc, true);
        ran = stop == Stop::kEnded && TakeResult(env, result) ? 1 : 0;
    }
    busy = false;
    above = nullptr;
    // The element's parameter lets go of the element.
    if (elementParam >= 0) variables[static_cast<size_t>(elementParam)]->clear();
    // Undone: what a fetch moved goes back; the captions and variables it
    // set the frame sets again alike.
    if (ran < 0 && cursor != nullptr) MoveCursor(*cursor, start);
    return ran;
}

int ProcedureCode::Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                       CVarient& result) {
    if (elementParam >= 0 || args.GetSize() != paramCount) return -1;
    return RunGeneral(env, &result, [&] { return Parameters(caller, args); });
}

int ProcedureCode::Run(ExecuteEnv& env, const ElementArguments& element, CVarient* result) {
    if (elementParam < 0 || element.item == nullptr) return -1;
    // As the procedure's frame takes them: the name and the index stored as
    // their literals would store them, the element by address.
    return RunGeneral(env, result, [&] {
        return variables[0]->setAt(0, element.name, element.nameLength) &&
               variables[static_cast<size_t>(elementParam)]->PassAddressClone(
                   *element.item, element.index, procedure->parameters.GetMember(elementParam)) &&
               variables[2]->setAt(0, static_cast<uint32_t>(element.index));
    });
}
