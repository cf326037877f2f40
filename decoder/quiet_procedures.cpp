#include "decoder/quiet_procedures.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "decoder/builtins.h"
#include "decoder/decoder_item.h"
#include "decoder/procedure_code.h"
#include "decoder/protocol_decoder.h"
#include "pattern/script_rules.h"
#include "runtime/execute_env.h"
#include "script/attribute_definition.h"
#include "script/call_arguments.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/statements.h"
#include "script/variable_declaration.h"
#include "types/enum_item_list.h"
#include "types/item_support.h"
#include "types/type_codes.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"
#include "values/expr_node.h"
#include "values/value_type.h"

namespace {

enum Kind : int8_t { kNotQuiet = 0, kInteger = 1, kText = 2 };

// Quiet calls are followed this many calls deep below a Dump procedure.
constexpr int kMaxChain = 8;
// strFormat writes into a buffer of 1020 bytes; a format whose longest text
// stays below this cannot overflow it.
constexpr int64_t kFormatRoom = 1000;
// Longest text of one integer conversion beyond its width or precision.
constexpr int64_t kIntegerDigits = 12;
// Variables of one procedure that the assignment tracking can follow.
constexpr size_t kMaxVariables = 64;

// OCTET and STRING are texts; the declared codes stored as integers (INT1
// to UINT4, BYTE, WORD, DWORD) integers.
Kind KindOfCode(int32_t code) {
    if (code == kDeclOctet || code == kDeclString) return kText;
    int32_t base = BaseCodeOf(code);
    return base >= kDeclInt1 && base <= kDeclUInt4 ? kInteger : kNotQuiet;
}

// A single variable passed or kept by value: no array, bits, struct or
// attribute block.
Kind KindOfDefinition(const VariableDefinition& def) {
    if (def.byAddress || def.IsBitField() || def.count >= 2 || def.structDef != nullptr ||
        def.attributes != nullptr) {
        return kNotQuiet;
    }
    return KindOfCode(def.declaredType);
}

// The value of a literal leaf as the evaluator reads it.
bool LiteralValue(const ExprNode& leaf, CVarient& value) {
    if (!leaf.IsLeaf() || leaf.id == kTokIdent || leaf.id == kExprValueSet) return false;
    if (leaf.literal != nullptr) return value.clone(*leaf.literal);
    return value.sets(leaf.text.GetBuffer(0), "'\"");
}

bool IsOneOf(const char* op, const char* const* ops) {
    for (; *ops != nullptr; ++ops) {
        if (strcmp(op, *ops) == 0) return true;
    }
    return false;
}

// The operators that give an integer for any two integers (no division).
const char* const kBinaryOperators[] = {"+",  "-", "*", "&",  "|",  "^",  "<<", ">>",   "==",
                                        "!=", "<", ">", "<=", ">=", "&&", "||", nullptr};
const char* const kUnaryOperators[] = {"+", "-", "~", "!", nullptr};

using Tree = std::unique_ptr<ExprNode, void (*)(ExprNode*)>;

// The checks of one procedure's body; calls of other procedures go back to
// the shared results.
class BodyCheck {
  public:
    using Results = std::unordered_map<const Procedure*, QuietProcedures::Shape>;

    BodyCheck(Results& known, std::vector<const Procedure*>& active)
        : known(known), active(active) {}

    // What procedure's calls return when they are quiet, worked out once;
    // active holds the procedures being checked further up (a call of one
    // of them is a recursion).
    static QuietProcedures::Shape Check(Results& known, std::vector<const Procedure*>& active,
                                        const Procedure& procedure) {
        auto found = known.find(&procedure);
        if (found != known.end()) return found->second;
        for (const Procedure* running : active) {
            if (running == &procedure) return {kNotQuiet, 0};
        }
        active.push_back(&procedure);
        QuietProcedures::Shape shape = BodyCheck(known, active).Run(procedure);
        active.pop_back();
        known[&procedure] = shape;
        return shape;
    }

  private:
    // What a call of procedure returns when it is quiet.
    QuietProcedures::Shape Run(const Procedure& procedure) {
        QuietProcedures::Shape none{kNotQuiet, 0};
        returns = KindOfCode(procedure.returnType);
        if (procedure.isExtern || procedure.varArgs || procedure.body == nullptr ||
            returns == kNotQuiet) {
            return none;
        }
        const StructDefinition& params = procedure.parameters;
        for (int i = 0; i < params.GetMemberCount(); ++i) {
            const VariableDefinition* def = params.GetMember(i);
            if (def == nullptr || !Declare(*def)) return none;
        }
        uint64_t assigned = ~uint64_t{0};
        bool returned = false;
        if (!Block(*procedure.body, assigned, returned) || !returned) return none;
        return {returns, chain};
    }

    struct Variable {
        const OTSTR* name;
        Kind kind;
    };

    // A parameter or local variable; names are unique within the
    // procedure, so that a name finds the one variable wherever it is read.
    bool Declare(const VariableDefinition& def) {
        Kind kind = KindOfDefinition(def);
        const OTSTR& name = def.GetName();
        if (kind == kNotQuiet || variables.size() >= kMaxVariables ||
            Find(name.GetBuffer(0)) >= 0 || name.Compare("Return", false)) {
            return false;
        }
        variables.push_back({&name, kind});
        return true;
    }

    int Find(const char* name) const {
        for (size_t i = 0; i < variables.size(); ++i) {
            if (variables[i].name->Compare(name, false)) return static_cast<int>(i);
        }
        return -1;
    }

    static uint64_t Bit(int i) { return uint64_t{1} << i; }

    // The items of a block in order; its variables end with it.
    bool Block(const Program& block, uint64_t& assigned, bool& returned) {
        size_t outer = variables.size();
        for (int i = 0; i < block.ItemCount(); ++i) {
            if (!Item(block.ItemAt(i), block, assigned, returned)) return false;
        }
        variables.resize(outer);
        return true;
    }

    bool Item(const ProgramItem* item, const Program& program, uint64_t& assigned, bool& returned) {
        if (item == nullptr) return false;
        switch (item->ItemKind()) {
            case kItemVariable: {
                const auto* declared = static_cast<const VariableDeclaration*>(item);
                if (!declared->initializer.IsEmpty() || !Declare(*declared)) return false;
                assigned &= ~Bit(static_cast<int>(variables.size()) - 1);
                return true;
            }
            case kItemProgram:
                return Block(*static_cast<const Program*>(item), assigned, returned);
            case kItemExprStatement: {
                const auto* statement = static_cast<const ExprStatement*>(item);
                return statement->expression == nullptr ||
                       Assignment(statement->expression->tree.get(), program, assigned);
            }
            case kItemIf: {
                const auto* statement = static_cast<const IfStatement*>(item);
                if (statement->condition == nullptr ||
                    Expr(statement->condition->tree.get(), program, assigned) != kInteger) {
                    return false;
                }
                uint64_t thenAssigned = assigned;
                uint64_t elseAssigned = assigned;
                bool thenReturns = false;
                bool elseReturns = false;
                if (!Branch(statement->thenStatement.get(), program, thenAssigned, thenReturns) ||
                    !Branch(statement->elseStatement.get(), program, elseAssigned, elseReturns)) {
                    return false;
                }
                // After the statement a variable holds a value when every
                // branch that goes on assigned it.
                assigned = thenReturns   ? elseAssigned
                           : elseReturns ? thenAssigned
                                         : thenAssigned & elseAssigned;
                if (thenReturns && elseReturns) returned = true;
                return true;
            }
            case kItemJump: {
                const auto* jump = static_cast<const JumpStatement*>(item);
                if (jump->jump != JumpStatement::kReturn || jump->value == nullptr ||
                    !CVariableItem::IsSingleValue(jump->value->text.GetBuffer(0)) ||
                    Expr(jump->value->tree.get(), program, assigned) != returns) {
                    return false;
                }
                returned = true;
                return true;
            }
            default:
                return false;
        }
    }

    // An "if" branch: none, a block or one statement.
    bool Branch(const ProgramItem* branch, const Program& program, uint64_t& assigned,
                bool& returned) {
        return branch == nullptr || Item(branch, program, assigned, returned);
    }

    // "variable = value" with a value of the variable's kind. A bare name
    // on the right is assigned as a text (another route): not followed.
    bool Assignment(const ExprNode* tree, const Program& program, uint64_t& assigned) {
        const ExprNode* left = nullptr;
        const ExprNode* right = nullptr;
        if (!SplitQuietAssignment(tree, left, right)) return false;
        int target = Find(left->text.GetBuffer(0));
        if (target < 0 || Expr(right, program, assigned) != variables[target].kind) return false;
        assigned |= Bit(target);
        return true;
    }

    Kind Expr(const ExprNode* node, const Program& program, uint64_t assigned) {
        if (node == nullptr) return kNotQuiet;
        if (node->IsLeaf()) return Leaf(*node, program, assigned);
        if (node->id != kTokOperator || node->child[2] != nullptr) return kNotQuiet;
        const char* op = node->text.GetBuffer(0);
        if (node->unary) {
            return IsOneOf(op, kUnaryOperators) &&
                           Expr(node->child[0], program, assigned) == kInteger
                       ? kInteger
                       : kNotQuiet;
        }
        return IsOneOf(op, kBinaryOperators) &&
                       Expr(node->child[0], program, assigned) == kInteger &&
                       Expr(node->child[1], program, assigned) == kInteger
                   ? kInteger
                   : kNotQuiet;
    }

    // A literal, an enum item, a variable that holds a value, or a call. A
    // named value comes before a variable of its name: not followed.
    Kind Leaf(const ExprNode& leaf, const Program& program, uint64_t assigned) {
        if (leaf.id == kExprValueSet) return kNotQuiet;
        const char* text = leaf.text.GetBuffer(0);
        if (leaf.id != kTokIdent) {
            CVarient value;
            if (!LiteralValue(leaf, value)) return kNotQuiet;
            if (IsIntegerType(value.GetType())) return kInteger;
            return value.GetType() == kTypeOctet ? kText : kNotQuiet;
        }
        if (leaf.IsCall()) return Call(text, program, assigned);
        if (program.FindNamedValue(text) != nullptr) return kNotQuiet;
        const CVarient* item = nullptr;
        if (QuietEnumItem(program, text, item)) return item != nullptr ? kInteger : kNotQuiet;
        int found = Find(text);
        if (found < 0 || (assigned & Bit(found)) == 0) return kNotQuiet;
        return variables[found].kind;
    }

    // "f(arguments)": a procedure that is quiet for arguments of its
    // parameters' kinds, or a built-in that makes a text.
    Kind Call(const char* text, const Program& program, uint64_t assigned) {
        OTSTR inner;
        Procedure* callee = SplitQuietCall(program, text, inner);
        if (callee == nullptr) return kNotQuiet;
        CallArguments args(inner.GetBuffer(0));
        std::vector<Tree> trees;
        for (int i = 0; i < args.GetSize(); ++i) {
            const char* piece = args.GetAt(i);
            // An argument that is no single value is read as a text.
            if (!CVariableItem::IsSingleValue(CallArguments::BoundText(piece))) return kNotQuiet;
            trees.emplace_back(ExprEvaluator::KeptTree(piece), &ExprEvaluator::FreeExpression);
            if (trees.back() == nullptr) return kNotQuiet;
        }
        if (callee->isExtern) return Builtin(*callee, trees, program, assigned);
        const StructDefinition& params = callee->parameters;
        if (callee->varArgs || params.GetMemberCount() != static_cast<int>(trees.size())) {
            return kNotQuiet;
        }
        for (size_t i = 0; i < trees.size(); ++i) {
            const VariableDefinition* def = params.GetMember(static_cast<int>(i));
            Kind wanted = def != nullptr ? KindOfDefinition(*def) : kNotQuiet;
            if (wanted == kNotQuiet || Expr(trees[i].get(), program, assigned) != wanted) {
                return kNotQuiet;
            }
        }
        QuietProcedures::Shape shape = Check(known, active, *callee);
        if (shape.kind == kNotQuiet) return kNotQuiet;
        if (shape.chain + 1 > chain) chain = static_cast<int8_t>(shape.chain + 1);
        return chain > kMaxChain ? kNotQuiet : static_cast<Kind>(shape.kind);
    }

    Kind Builtin(const Procedure& callee, const std::vector<Tree>& trees, const Program& program,
                 uint64_t assigned) {
        TextBuiltin which = TextBuiltinOf(callee);
        // Served in a frame, a built-in is one call deeper.
        if (chain < 1) chain = 1;
        const StructDefinition& params = callee.parameters;
        if (which == TextBuiltin::kNone || KindOfCode(callee.returnType) != kText ||
            trees.size() < static_cast<size_t>(params.GetMemberCount())) {
            return kNotQuiet;
        }
        for (int i = 0; i < params.GetMemberCount(); ++i) {
            const VariableDefinition* def = params.GetMember(i);
            Kind wanted = def != nullptr ? KindOfDefinition(*def) : kNotQuiet;
            if (wanted == kNotQuiet || Expr(trees[i].get(), program, assigned) != wanted) {
                return kNotQuiet;
            }
        }
        CVarient first;
        OTSTR literal;
        if (trees.empty() || !LiteralValue(*trees[0], first) || first.GetType() != kTypeOctet ||
            !first.getString(literal)) {
            return kNotQuiet;
        }
        if (which == TextBuiltin::kEnumComment) {
            // The built-in looks the enum up from its caller's frame or, in
            // a frame of its own, from where it is declared.
            EnumItemList* list = program.FindEnum(literal.GetBuffer(0));
            bool found = list != nullptr && callee.owner != nullptr &&
                         callee.owner->FindEnum(literal.GetBuffer(0)) == list;
            return found && trees.size() == 4 ? kText : kNotQuiet;
        }
        return callee.varArgs && FormatFits(literal, trees, program, assigned) ? kText : kNotQuiet;
    }

    // Whether strFormat's format takes exactly the values after it, each of
    // the kind its conversion needs, and its text fits whatever they are.
    bool FormatFits(const OTSTR& format, const std::vector<Tree>& trees, const Program& program,
                    uint64_t assigned) {
        size_t next = 1;
        int64_t length = 0;
        auto digits = [](const char*& q, int64_t& n) {
            int count = 0;
            for (n = 0; *q >= '0' && *q <= '9'; ++q, ++count) n = n * 10 + (*q - '0');
            return count <= 3;
        };
        for (const char* p = format.GetBuffer(0); *p != 0;) {
            if (*p != '%') {
                ++length;
                ++p;
                continue;
            }
            const char* q = p + 1;
            while (*q == ' ' || *q == '+' || *q == '-' || *q == '0') ++q;
            int64_t width = 0;
            int64_t precision = 0;
            if (!digits(q, width)) return false;
            if (*q == '.' && !digits(++q, precision)) return false;
            if (*q == 'l') ++q;
            char conversion = *q;
            if (conversion == 0) {
                ++length;
                break;
            }
            p = q + 1;
            if (strchr("diuoxXcCs", conversion) == nullptr) {
                if (conversion == '*' || conversion == '.' || conversion == 'e' ||
                    conversion == 'f') {
                    return false;
                }
                length += conversion == '%' ? 1 : 2;
                continue;
            }
            if (next >= trees.size()) return false;
            const ExprNode* value = trees[next++].get();
            int64_t field = width > precision ? width : precision;
            if (conversion != 's') {
                if (Expr(value, program, assigned) != kInteger) return false;
                length += field + kIntegerDigits;
                continue;
            }
            // A text: a literal, whose length is known ("<NULL>" when empty).
            CVarient text;
            OTSTR bytes;
            if (!LiteralValue(*value, text) || text.GetType() != kTypeOctet ||
                !text.getString(bytes)) {
                return false;
            }
            int64_t shown = bytes.GetLength() > 6 ? bytes.GetLength() : 6;
            length += field > shown ? field : shown;
        }
        return next == trees.size() && length < kFormatRoom;
    }

    Results& known;
    std::vector<const Procedure*>& active;
    std::vector<Variable> variables;
    Kind returns = kNotQuiet;
    int8_t chain = 0;
};

}  // namespace

Procedure* SplitQuietCall(const Program& program, const char* text, OTSTR& inner) {
    const char* open = strchr(text, '(');
    const char* close = strrchr(text, ')');
    if (open == nullptr || close == nullptr || close < open) return nullptr;
    for (const char* p = close + 1; *p != 0; ++p) {
        if (!IsBlankChar(*p)) return nullptr;
    }
    OTSTR name;
    name.AssignTrimmed(text, static_cast<int>(open - text), true);
    inner.Assign(open + 1, static_cast<int>(close - open - 1));
    return program.FindProcedure(name.GetBuffer(0));
}

bool QuietEnumItem(const Program& program, const char* text, const CVarient*& item) {
    item = nullptr;
    const char* colons = strstr(text, "::");
    if (colons == nullptr) return false;
    OTSTR enumName(text, static_cast<int>(colons - text));
    EnumItemList* list = program.FindEnum(enumName.GetBuffer(0));
    int index = list != nullptr ? list->Find(colons + 2) : -1;
    const CVarient* found = index >= 0 ? list->ItemAt(index) : nullptr;
    if (found != nullptr && IsIntegerType(found->GetType())) item = found;
    return true;
}

bool SplitQuietAssignment(const ExprNode* tree, const ExprNode*& target, const ExprNode*& value) {
    if (tree == nullptr || tree->IsLeaf() || tree->id != kTokOperator || tree->unary ||
        tree->child[2] != nullptr || !tree->text.Compare("=")) {
        return false;
    }
    target = tree->child[0];
    value = tree->child[1];
    return target != nullptr && value != nullptr && target->IsLeaf() && target->id == kTokIdent &&
           !target->IsCall() &&
           !(value->IsLeaf() &&
             (value->id == kExprValueSet || (value->id == kTokIdent && !value->IsCall())));
}

QuietProcedures::Shape QuietProcedures::ShapeOf(const Procedure& procedure) {
    std::vector<const Procedure*> active;
    return BodyCheck::Check(known, active, procedure);
}

bool QuietProcedures::QuietProcedure(const Procedure& dump) {
    const StructDefinition& params = dump.parameters;
    const VariableDefinition* param = params.GetMemberCount() == 1 ? params.GetMember(0) : nullptr;
    return param != nullptr && KindOfDefinition(*param) == kInteger && ShapeOf(dump).kind == kText;
}

CallResults* QuietProcedures::ResultsOf(const Procedure& procedure) {
    auto found = results.find(&procedure);
    if (found != results.end()) return found->second.get();
    Shape shape = ShapeOf(procedure);
    const StructDefinition& params = procedure.parameters;
    bool kept = shape.kind != kNotQuiet && params.GetMemberCount() <= CallResults::kMaxArguments;
    for (int i = 0; kept && i < params.GetMemberCount(); ++i) {
        const VariableDefinition* def = params.GetMember(i);
        kept = def != nullptr && KindOfDefinition(*def) == kInteger;
    }
    std::unique_ptr<CallResults> made(kept ? new (std::nothrow) CallResults : nullptr);
    if (made != nullptr) {
        made->chain = shape.chain;
        // Compiled where it can be; the frame runs the rest.
        made->SetRunner(ProcedureCode::Compile(const_cast<Procedure&>(procedure), *this));
    }
    CallResults* held = made.get();
    results[&procedure] = std::move(made);
    return held;
}

bool QuietProcedures::InLoadedDecoder(CVariableItem& item) {
    DecoderItem* decoded = itemCast.Cast(&item);
    return decoded != nullptr && decoded->decoder != nullptr &&
           decoded->decoder->GetProgram() != nullptr;
}

bool QuietProcedures::RunAllows() const {
    // A traced run shows every call; a cancelled one fails it.
    return !env.IsTracing() && !env.canceled &&
           env.CallDepth() + kMaxChain + 1 < ExecuteEnv::kMaxCallDepth;
}

bool QuietProcedures::IsQuiet(CVariableItem& item, int32_t index) {
    // Only an element of the decoder's tree that holds an integer of its
    // own is handed to a Dump procedure as it is; a bit field is traced.
    const AttributeSlots* slots = SlotsOf(item.def);
    if (!InLoadedDecoder(item) || slots == nullptr || slots->dump == nullptr ||
        slots->dumpOr != nullptr || slots->dumpEqual != nullptr || item.Header().IsBitField() ||
        !item.HasValue() || !IsIntegerType(item.GetType()) || index < 0 ||
        index >= item.Header().count || index >= item.GetCount()) {
        return false;
    }
    return RunAllows() && QuietProcedure(*slots->dump);
}

bool QuietProcedures::IsQuietTree(CVariableItem& item) {
    if (!InLoadedDecoder(item) || !RunAllows()) return false;
    int levels = item.def != nullptr ? QuietLevels(*item.def)
                 : item.Header().baseType == kDeclStruct && item.structDef != nullptr
                     ? QuietLevels(*item.structDef)
                     : -1;
    // Each struct level takes a few steps of the walk's depth.
    return levels >= 0 && 3 * (levels + 1) < kDumpMaxDepth;
}

int QuietProcedures::QuietLevels(const StructDefinition& s) {
    auto found = trees.find(&s);
    if (found != trees.end()) return found->second;
    trees[&s] = -1;
    int levels = 0;
    for (int i = 0; levels >= 0 && i < s.GetMemberCount(); ++i) {
        const VariableDefinition* member = s.GetMember(i);
        int below = member != nullptr ? QuietLevels(*member) : -1;
        levels = below < 0 ? -1 : std::max(levels, below);
    }
    if (levels >= 0) ++levels;
    trees[&s] = levels;
    return levels;
}

int QuietProcedures::QuietLevels(const VariableDefinition& member) {
    const AttributeSlots* slots = SlotsOf(&member);
    if (slots != nullptr &&
        (slots->typeOf != nullptr || slots->contentOf != nullptr || slots->integrated != nullptr)) {
        return -1;
    }
    bool comments = slots != nullptr && (slots->dump != nullptr || slots->dumpOr != nullptr ||
                                         slots->dumpEqual != nullptr);
    if (member.baseType == kDeclStruct) {
        // The elements of a struct array are walked through holders of
        // their own: not followed.
        return !comments && member.count < 2 && member.structDef != nullptr
                   ? QuietLevels(*member.structDef)
                   : -1;
    }
    if (member.baseType == kDeclChoice) {
        // Its elements are made from the items of its map.
        const DeclareMap* map = slots != nullptr ? slots->choiceMap : nullptr;
        if (comments || map == nullptr) return -1;
        int levels = 0;
        for (int i = 0; levels >= 0 && i < map->ItemCount(); ++i) {
            const VariableDefinition* item = map->ItemAt(i);
            int below = item != nullptr ? QuietLevels(*item) : -1;
            levels = below < 0 ? -1 : std::max(levels, below);
        }
        return levels;
    }
    // An attached struct (TypeOF) has a comment of its own.
    if (member.structDef != nullptr) return -1;
    if (!comments) return 0;
    if (BaseCodeOf(member.declaredType) < kDeclInt1 ||
        BaseCodeOf(member.declaredType) > kDeclUInt4) {
        return -1;
    }
    if (slots->dumpOr != nullptr || slots->dumpEqual != nullptr) return 0;
    return !member.IsBitField() && QuietProcedure(*slots->dump) ? 0 : -1;
}
