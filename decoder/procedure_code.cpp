#include "decoder/procedure_code.h"

#include <cstring>
#include <new>

#include "base/same_bytes.h"
#include "decoder/builtins.h"
#include "decoder/quiet_procedures.h"
#include "pattern/script_rules.h"
#include "runtime/execute_env.h"
#include "runtime/native_call.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/statements.h"
#include "script/variable_declaration.h"
#include "types/item_support.h"
#include "types/type_codes.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"
#include "values/expr_node.h"
#include "values/value_type.h"

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
    enum Kind : int8_t { kLiteral, kVariable, kUnary, kBinary, kBuiltin, kProcedure };
    Kind kind = kLiteral;
    bool integer = false;  // gives an integer (else a text)
    OperatorCode code = OperatorCode::kUnknown;
    char unaryOp[4] = {};  // kUnary: the operator as OperateWord reads it
    int index = -1;        // the literal, variable, built-in call or procedure call
    int left = -1;
    int right = -1;
};

struct ProcedureCode::Step {
    enum Op : int8_t { kAssign, kBranch, kJump, kReturn };
    Op op = kAssign;
    int variable = -1;  // kAssign
    int node = -1;      // kAssign, kBranch (the condition), kReturn
    int target = -1;    // kBranch (taken when the condition is 0), kJump
};

// A call of strFormat or sysGetEnumComment, with the items and values that
// its native call site would keep.
struct ProcedureCode::Builtin {
    Procedure* procedure = nullptr;
    NativeHandler handler = nullptr;
    std::vector<int> arguments;  // nodes, in order
    // Per parameter: its argument is a literal, stored once; the built-ins
    // read their parameters and write none.
    std::vector<bool> literal;
    bool primed = false;
    std::vector<std::unique_ptr<CVariableItem>> params;
    std::vector<CVariableItem*> paramList;
    std::vector<std::unique_ptr<CVarient>> extras;
    std::vector<CVarient*> extraList;
    std::unique_ptr<CVariableItem> result;
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
    Compiler(ProcedureCode& code, QuietProcedures& quiet) : code(code), quiet(quiet) {}

    bool Run(Procedure& procedure) {
        code.procedure = &procedure;
        int32_t returns = procedure.returnType;
        if (procedure.isExtern || procedure.body == nullptr || returns == kDeclVoid ||
            returns == kDeclDynamic || returns == kDeclStruct) {
            return false;
        }
        StructDefinition& params = procedure.parameters;
        code.paramCount = params.GetMemberCount();
        for (int i = 0; i < code.paramCount; ++i) {
            VariableDefinition* def = params.GetMember(i);
            if (def == nullptr || def->byAddress || Declare(*def) < 0) return false;
        }
        return Block(*procedure.body) && MakeReturn(returns);
    }

  private:
    struct Named {
        const OTSTR* name;
        int variable;
    };

    // A variable of def, made as the frame makes it, in scope from here to
    // the end of its block.
    int Declare(VariableDefinition& def) {
        if (def.byAddress || def.count >= 2 || def.IsBitField() || def.structDef != nullptr) {
            return -1;
        }
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || !item->create(nullptr, &def)) return -1;
        code.variables.push_back(std::move(item));
        int index = static_cast<int>(code.variables.size()) - 1;
        scope.push_back({&def.GetName(), index});
        return index;
    }

    bool MakeReturn(int32_t returns) {
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || !item->create(returns, "Return", 1)) return false;
        code.returnItem = item.get();
        code.variables.push_back(std::move(item));
        return true;
    }

    // The variable that a bare name in scope reads, spelt as declared.
    int Find(const OTSTR& text) const {
        for (size_t i = scope.size(); i-- > 0;) {
            const OTSTR& name = *scope[i].name;
            if (name.GetLength() == text.GetLength() &&
                SameBytes(name.GetBuffer(), text.GetBuffer(), text.GetLength())) {
                return scope[i].variable;
            }
        }
        return -1;
    }

    bool Block(Program& block) {
        size_t outer = scope.size();
        for (int i = 0; i < block.ItemCount(); ++i) {
            if (!Item(block.ItemAt(i), block)) return false;
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
            case kItemVariable: {
                auto* declared = static_cast<VariableDeclaration*>(item);
                return declared->initializer.IsEmpty() && Declare(*declared) >= 0;
            }
            case kItemProgram:
                return Block(*static_cast<Program*>(item));
            case kItemExprStatement: {
                auto* statement = static_cast<ExprStatement*>(item);
                return statement->expression == nullptr ||
                       Assignment(statement->expression->tree.get(), program);
            }
            case kItemIf: {
                auto* statement = static_cast<IfStatement*>(item);
                int condition = statement->condition != nullptr
                                    ? Expr(statement->condition->tree.get(), program)
                                    : -1;
                if (condition < 0 || !code.nodes[condition].integer) return false;
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
            case kItemJump: {
                auto* jump = static_cast<JumpStatement*>(item);
                if (jump->jump != JumpStatement::kReturn || jump->value == nullptr) return false;
                int value = Expr(jump->value->tree.get(), program);
                if (value < 0) return false;
                Emit(Step::kReturn, value);
                return true;
            }
            default:
                return false;
        }
    }

    // "variable = value" with a value of the variable's kind.
    bool Assignment(const ExprNode* tree, Program& program) {
        const ExprNode* left = nullptr;
        const ExprNode* right = nullptr;
        if (!SplitQuietAssignment(tree, left, right)) return false;
        int target = Find(left->text);
        int value = target >= 0 ? Expr(right, program) : -1;
        if (value < 0 ||
            code.nodes[value].integer != IsIntegerType(code.variables[target]->GetType()))
            return false;
        Emit(Step::kAssign, value, target);
        return true;
    }

    int AddNode(const Node& node) {
        code.nodes.push_back(node);
        return static_cast<int>(code.nodes.size()) - 1;
    }

    int Literal(std::unique_ptr<CVarient> value) {
        int32_t type = value->GetType();
        if (!IsIntegerType(type) && type != kTypeOctet) return -1;
        Node node;
        node.kind = Node::kLiteral;
        node.integer = IsIntegerType(type);
        node.index = static_cast<int>(code.literals.size());
        code.literals.push_back(std::move(value));
        return AddNode(node);
    }

    int Expr(const ExprNode* tree, Program& program) {
        if (tree == nullptr || tree->id == kExprValueSet) return -1;
        if (tree->IsLeaf()) return Leaf(*tree, program);
        if (tree->id != kTokOperator || tree->child[2] != nullptr) return -1;
        Node node;
        node.left = Expr(tree->child[0], program);
        if (node.left < 0 || !code.nodes[node.left].integer) return -1;
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
        if (node.right < 0 || !code.nodes[node.right].integer) return -1;
        return AddNode(node);
    }

    // A literal, an enum item, a variable or a call of a text built-in.
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
        // A named value comes before a variable; X::Y is an enum item.
        if (program.FindNamedValue(text) != nullptr) return -1;
        const CVarient* item = nullptr;
        if (QuietEnumItem(program, text, item)) {
            return item != nullptr && value->clone(*item) ? Literal(std::move(value)) : -1;
        }
        int variable = Find(leaf.text);
        if (variable < 0) return -1;
        Node node;
        node.kind = Node::kVariable;
        node.integer = IsIntegerType(code.variables[variable]->GetType());
        node.index = variable;
        return AddNode(node);
    }

    // "f(arguments)" of strFormat or sysGetEnumComment, served natively,
    // each argument a single value.
    int Call(const char* text, Program& program) {
        OTSTR inner;
        Procedure* callee = SplitQuietCall(program, text, inner);
        if (callee == nullptr) return -1;
        CallArguments args(inner.GetBuffer(0));
        if (!callee->isExtern) return CallQuiet(*callee, args, program);
        if (TextBuiltinOf(*callee) == TextBuiltin::kNone) return -1;
        std::unique_ptr<Builtin> call(new (std::nothrow) Builtin);
        if (call == nullptr || (call->handler = NativeBuiltin(*callee)) == nullptr) return -1;
        call->procedure = callee;
        int wanted = callee->parameters.GetMemberCount();
        int given = args.GetSize();
        if (given < wanted || (given > wanted && !callee->varArgs)) return -1;
        if (!Arguments(args, program, false, call->arguments)) return -1;
        for (int i = 0; i < wanted; ++i) {
            VariableDefinition* def = callee->parameters.GetMember(i);
            std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
            if (def == nullptr || def->byAddress || def->count >= 2 || def->IsBitField() ||
                def->structDef != nullptr || item == nullptr || !item->create(nullptr, def) ||
                code.nodes[call->arguments[i]].integer != IsIntegerType(item->GetType())) {
                return -1;
            }
            call->paramList.push_back(item.get());
            call->params.push_back(std::move(item));
            call->literal.push_back(code.nodes[call->arguments[i]].kind == Node::kLiteral);
        }
        for (int i = wanted; i < given; ++i) {
            std::unique_ptr<CVarient> extra(new (std::nothrow) CVarient);
            if (extra == nullptr) return -1;
            call->extraList.push_back(extra.get());
            call->extras.push_back(std::move(extra));
        }
        int32_t returns = callee->returnType;
        call->result.reset(new (std::nothrow) CVariableItem);
        if (returns == kDeclVoid || returns == kDeclDynamic || returns == kDeclStruct ||
            call->result == nullptr || !call->result->create(returns, "Return", 1) ||
            IsIntegerType(call->result->GetType())) {
            return -1;
        }
        Node node;
        node.kind = Node::kBuiltin;
        node.index = static_cast<int>(code.builtins.size());
        code.builtins.push_back(std::move(call));
        return AddNode(node);
    }

    // The nodes of a call's arguments, each a single value; with integers,
    // each an integer that the call site reads in machine words.
    bool Arguments(const CallArguments& args, Program& program, bool integers,
                   std::vector<int>& nodes) {
        for (int i = 0; i < args.GetSize(); ++i) {
            const char* piece = args.GetAt(i);
            if (!CVariableItem::IsSingleValue(CallArguments::BoundText(piece))) return false;
            std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(piece));
            if (integers && (tree == nullptr || !tree->IntegerShaped())) return false;
            int node = Expr(tree.get(), program);
            if (node < 0 || (integers && !code.nodes[node].integer)) return false;
            nodes.push_back(node);
        }
        return true;
    }

    // A call of a script procedure whose results are kept.
    int CallQuiet(Procedure& callee, const CallArguments& args, Program& program) {
        std::unique_ptr<QuietCallee> call(new (std::nothrow) QuietCallee);
        int count = callee.parameters.GetMemberCount();
        CVariableItem probe;
        if (call == nullptr || callee.isExtern || args.GetSize() != count ||
            count > CallResults::kMaxArguments ||
            (call->results = quiet.ResultsOf(callee)) == nullptr ||
            !Arguments(args, program, true, call->arguments) ||
            !probe.create(callee.returnType, "Return", 1)) {
            return -1;
        }
        call->procedure = &callee;
        Node node;
        node.kind = Node::kProcedure;
        node.integer = IsIntegerType(probe.GetType());
        node.index = static_cast<int>(code.callees.size());
        code.callees.push_back(std::move(call));
        return AddNode(node);
    }

    ProcedureCode& code;
    QuietProcedures& quiet;
    std::vector<Named> scope;
};

ProcedureCode::ProcedureCode() = default;

ProcedureCode::~ProcedureCode() = default;

std::unique_ptr<ProcedureCode> ProcedureCode::Compile(Procedure& procedure, QuietProcedures& quiet) {
    std::unique_ptr<ProcedureCode> code(new (std::nothrow) ProcedureCode);
    if (code == nullptr || !Compiler(*code, quiet).Run(procedure)) return nullptr;
    return code;
}

// ---------------------------------------------------------------- run

bool ProcedureCode::Integer(ExecuteEnv& env, int index, uint32_t& word, int32_t& type) {
    const Node& node = nodes[static_cast<size_t>(index)];
    switch (node.kind) {
        case Node::kLiteral: {
            const CVarient& literal = *literals[static_cast<size_t>(node.index)];
            word = literal.value;
            type = literal.GetType();
            return true;
        }
        case Node::kVariable: {
            const CVariableItem& item = *variables[static_cast<size_t>(node.index)];
            type = item.GetType();
            return item.GetWord(0, word);
        }
        case Node::kUnary: {
            uint32_t operand = 0;
            int32_t operandType = kTypeNone;
            return Integer(env, node.left, operand, operandType) &&
                   CVarient::OperateWord(node.unaryOp, operand, operandType, word, type);
        }
        case Node::kBinary: {
            uint32_t left = 0, right = 0;
            int32_t leftType = kTypeNone, rightType = kTypeNone;
            return Integer(env, node.left, left, leftType) &&
                   Integer(env, node.right, right, rightType) &&
                   CVarient::OperateWords(left, leftType, node.code, right, rightType, word, type);
        }
        case Node::kProcedure: {
            // Its result, as an operator takes the value of a call.
            CVarient& value = scratch[1];
            if (!CallQuiet(env, *callees[static_cast<size_t>(node.index)], value)) return false;
            word = value.value;
            type = value.GetType();
            return IsIntegerType(type);
        }
        case Node::kBuiltin:
            break;
    }
    return false;
}

bool ProcedureCode::Value(ExecuteEnv& env, int index, CVarient& out) {
    const Node& node = nodes[static_cast<size_t>(index)];
    if (node.integer) {
        uint32_t word = 0;
        int32_t type = kTypeNone;
        return Integer(env, index, word, type) && out.setInteger(word, type);
    }
    switch (node.kind) {
        case Node::kLiteral:
            return out.assign(*literals[static_cast<size_t>(node.index)]);
        case Node::kVariable:
            return variables[static_cast<size_t>(node.index)]->getAt(0, out);
        case Node::kBuiltin:
            return Call(env, *builtins[static_cast<size_t>(node.index)], out);
        case Node::kProcedure:
            return CallQuiet(env, *callees[static_cast<size_t>(node.index)], out);
        default:
            return false;
    }
}

bool ProcedureCode::Store(ExecuteEnv& env, CVariableItem& item, int node) {
    // An integer is stored as its word, as setAt of its value stores it.
    if (nodes[static_cast<size_t>(node)].integer) {
        uint32_t word = 0;
        int32_t type = kTypeNone;
        return Integer(env, node, word, type) && item.setAt(0, word);
    }
    // A text passes through a value kept from call to call: a call that
    // computes it stores its own arguments before it writes it.
    CVarient& value = scratch[0];
    return Value(env, node, value) && item.setAt(0, value);
}

bool ProcedureCode::Call(ExecuteEnv& env, Builtin& call, CVarient& out) {
    Procedure& callee = *call.procedure;
    RunTimeStk* root = env.GetRoot();
    RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(callee.owner) : nullptr;
    if (parent == nullptr) return false;
    int wanted = static_cast<int>(call.paramList.size());
    int given = static_cast<int>(call.arguments.size());
    bool ok = true;
    for (int i = 0; ok && i < wanted; ++i) {
        if (!call.primed || !call.literal[static_cast<size_t>(i)]) {
            ok = Store(env, *call.paramList[i], call.arguments[i]);
        }
    }
    call.primed = ok;
    for (int i = wanted; ok && i < given; ++i) {
        ok = Value(env, call.arguments[i], *call.extraList[i - wanted]);
    }
    if (ok) {
        call.result->setValueFlag(false);
        env.returnValue.clear(false);
        NativeArguments native{call.paramList.data(),
                               wanted,
                               call.extraList.data(),
                               given - wanted,
                               call.result.get(),
                               nullptr,
                               parent};
        ok = call.handler(env.hookOwner, env, callee, native) &&
             callee.TakeResult(env, call.result.get()) && out.clone(env.returnValue);
    }
    for (CVarient* extra : call.extraList) extra->clear(false);
    return ok;
}

bool ProcedureCode::CallQuiet(ExecuteEnv& env, QuietCallee& call, CVarient& out) {
    int count = static_cast<int>(call.arguments.size());
    uint32_t words[CallResults::kMaxArguments];
    int32_t types[CallResults::kMaxArguments];
    // The call site, one call below this procedure's frame, reads its
    // arguments where the callee's calls fit below it.
    if (env.CallDepth() + 1 + call.results->chain + 1 >= ExecuteEnv::kMaxCallDepth) return false;
    for (int i = 0; i < count; ++i) {
        if (!Integer(env, call.arguments[static_cast<size_t>(i)], words[i], types[i])) return false;
    }
    if (const CVarient* kept = call.results->Find(words, types, count)) {
        return env.returnValue.clone(*kept) && out.clone(*kept);
    }
    if (call.results->RunInFrame(env, call.procedure, words, count, out) <= 0) return false;
    call.results->Keep(words, types, count, out);
    return true;
}

int ProcedureCode::Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) {
    if (busy || count != paramCount || env.IsTracing() || env.canceled ||
        !CallArguments::BindingOn() || !ItemNesting::Room(kNestingRoom) ||
        env.CallDepth() + kCallRoom >= ExecuteEnv::kMaxCallDepth) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (!variables[static_cast<size_t>(i)]->setAt(0, words[i])) return -1;
    }
    returnItem->setValueFlag(false);
    env.returnValue.clear(false);
    busy = true;
    bool returned = false;
    bool ok = true;
    for (size_t pc = 0; ok && !returned && pc < steps.size();) {
        const Step& step = steps[pc];
        switch (step.op) {
            case Step::kAssign:
                ok = Store(env, *variables[static_cast<size_t>(step.variable)], step.node);
                ++pc;
                break;
            case Step::kBranch: {
                uint32_t word = 0;
                int32_t type = kTypeNone;
                ok = Integer(env, step.node, word, type);
                pc = word != 0 ? pc + 1 : static_cast<size_t>(step.target);
                break;
            }
            case Step::kJump:
                pc = static_cast<size_t>(step.target);
                break;
            case Step::kReturn:
                ok = Store(env, *returnItem, step.node);
                returned = true;
                break;
        }
    }
    busy = false;
    // Anything the frame would do otherwise is left to it, with its messages;
    // the result is taken as the frame's call takes it.
    if (!ok || !returned || !returnItem->HasValue()) return -1;
    return procedure->TakeResult(env, returnItem) && result.clone(env.returnValue) ? 1 : 0;
}
