// The expression parser (precedence climbing over the script lexer) and the
// evaluator. Tested by values/expr_evaluator_test.cpp.
#include "values/expr_evaluator.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/formatted_text.h"
#include "pattern/script_lexer.h"
#include "pattern/script_rules.h"
#include "values/expr_messages.h"
#include "values/varient_messages.h"

namespace {

bool Is(const OTSTR& text, const char* word) {
    return text.Compare(word, true);
}

// Priority of an operator in its binary (or ternary) form, and of the two
// markers: '#' is the context of a whole expression, '@' that of the
// operand of a unary operator. -1 for anything else.
int Priority(const char* op) {
    static const struct {
        const char* op;
        int priority;
    } table[] = {
        {"*", 50},  {"/", 50}, {"%", 50},  {"+", 40},  {"-", 40},  {"<<", 30},
        {">>", 30}, {"&", 20}, {"|", 20},  {"^", 20},  {"==", 13}, {"!=", 13},
        {"<", 13},  {">", 13}, {"<=", 13}, {">=", 13}, {"&&", 13}, {"||", 13},
        {"?", 11},  {"=", 10}, {"#", 0},   {"@", 100},
    };
    for (const auto& entry : table) {
        if (strcmp(entry.op, op) == 0) return entry.priority;
    }
    return -1;
}

// Operands of an operator in its binary form: 2, 3 for '?', -1 otherwise.
int OperandCount(const char* op) {
    if (strcmp(op, "?") == 0) return 3;
    int priority = Priority(op);
    return priority > 0 && priority < 100 ? 2 : -1;
}

bool IsUnaryOperator(const OTSTR& op) {
    return Is(op, "~") || Is(op, "!") || Is(op, "+") || Is(op, "-");
}

bool IsValueLeaf(const ExprNode& node) {
    return node.IsLeaf() && IsValueToken(node);
}
bool IsIdentLeaf(const ExprNode& node) {
    return node.IsLeaf() && node.id == kTokIdent;
}

void Describe(const CVarient& value, OTSTR& out) {
    if (!value.getText(out)) out = "-";
}

// The trees of the texts CalcValue parsed, by text. Run-time code evaluates
// the same argument, subscript and initial-value texts for every message;
// parsing is a function of the text alone, so a tree is parsed once and
// then shared, read-only. A tree may be in use by an evaluation further up
// the stack (the callbacks evaluate again), so the cache is emptied, when
// full, only while no evaluation on this thread holds one of its trees.
class ParseCache {
  public:
    static constexpr size_t kMaxEntries = 4096;
    static constexpr size_t kMaxTextBytes = size_t{1} << 20;

    ParseCache() = default;
    ParseCache(const ParseCache&) = delete;
    ParseCache& operator=(const ParseCache&) = delete;
    ~ParseCache() { Clear(); }

    static ParseCache& Local() {
        static thread_local ParseCache cache;
        return cache;
    }

    ExprNode* Find(const char* text) const {
        auto it = map.find(std::string_view(text));
        return it != map.end() ? it->second->tree : nullptr;
    }

    // Takes tree over if it returns true.
    bool Add(const char* text, ExprNode* tree) {
        size_t length = strlen(text);
        if (length > kMaxTextBytes / 16) return false;
        if (map.size() >= kMaxEntries || textBytes + length > kMaxTextBytes) {
            if (busy != 0) return false;
            Clear();
        }
        std::unique_ptr<Entry> entry(new (std::nothrow) Entry);
        if (entry == nullptr) return false;
        entry->text.assign(text, length);
        entry->tree = tree;
        std::string_view key(entry->text);
        map.emplace(key, std::move(entry));
        textBytes += length;
        return true;
    }

    // Evaluations on this thread that hold a tree of the cache.
    int busy = 0;

  private:
    struct Entry {
        std::string text;
        ExprNode* tree = nullptr;
        ~Entry() { delete tree; }
    };

    void Clear() {
        map.clear();
        textBytes = 0;
    }

    std::unordered_map<std::string_view, std::unique_ptr<Entry>> map;
    size_t textBytes = 0;
};

}  // namespace

namespace {

// A leaf whose value Eval reads from its text.
bool IsLiteralLeaf(const ExprNode& node) {
    return node.IsLeaf() && node.id != kExprValueSet && node.id != kTokIdent;
}

}  // namespace

void ExprEvaluator::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormattedText text(format, args);
    va_end(args);
    lastError = text.Get();
}

void ExprEvaluator::SetCallback(void* newContext, VarCallback newFunction, LeafReader newReader,
                                IntegerReader newIntegers, LeafWriter newWriter) {
    context = newContext;
    function = newFunction;
    reader = newReader;
    integers = newIntegers;
    writer = newWriter;
}

bool ExprEvaluator::SetArguments(int count, void* const* words) {
    if (count < 0 || count > 10) return false;
    argCount = count;
    for (int i = 0; i < count; ++i) args[i] = words[i];
    return true;
}

bool ExprEvaluator::ReadLeaf(ExprNode* leaf, const char* path, CVarient& out) {
    if (reader == nullptr) return Call(kVarRead, path, &out);
    return context != nullptr && reader(context, path, &out, leaf) != 0;
}

bool ExprEvaluator::WriteLeaf(ExprNode* leaf, CVarient* value, ExprNode* source) {
    int done = writer != nullptr && context != nullptr ? writer(context, leaf, value, source) : -1;
    if (done >= 0) return done != 0;
    const char* path = leaf->text.GetBuffer(0);
    return value != nullptr ? Call(kVarAssign, path, value)
                            : Call(kVarAssignText, path, source->text.GetBuffer(0));
}

bool ExprEvaluator::Call(int code, const char* path, void* third) {
    if (context == nullptr || function == nullptr) return false;
    argCount = 3;
    args[0] = reinterpret_cast<void*>(static_cast<intptr_t>(code));
    args[1] = const_cast<char*>(path);
    args[2] = third;
    return function(context, argCount, args) != 0;
}

// ---------------------------------------------------------------- operands

namespace {

// The rest of an access path after its first identifier.
bool ReadPath(ScriptLexer& lexer, Token& token, int mode) {
    OTSTR where = token.pos.ToString();
    char message[512];
    Token next;
    bool first = true;
    for (;; first = false) {
        if (lexer.GetToken(next, 0, true) != 1 || next.id != kTokOperator) break;
        if (first && Is(next.text, "::")) {
            lexer.GetToken(next, 0, false);
            Token member;
            if (lexer.GetToken(member, 0, false) != 1 || member.id != kTokIdent) {
                snprintf(message, sizeof message, exprmsg::kAfterScope, where.GetBuffer(0));
                lexer.SetLastError(message);
                return false;
            }
            token.text.Append("::");
            token.text.Append(member.text);
            return true;
        }
        if (Is(next.text, ".")) {
            lexer.GetToken(next, 0, false);
            Token member;
            if (lexer.GetToken(member, 0, false) != 1 || member.id != kTokIdent) {
                snprintf(message, sizeof message, exprmsg::kAfterDot, where.GetBuffer(0),
                         token.text.GetBuffer(0));
                lexer.SetLastError(message);
                return false;
            }
            token.text.AppendChar('.');
            token.text.Append(member.text);
            continue;
        }
        if (Is(next.text, "[")) {
            OTSTR raw;
            if (!lexer.Fetch_string("[", "]", false, raw)) {
                snprintf(message, sizeof message, exprmsg::kIndexError, where.GetBuffer(0));
                lexer.SetLastError(message);
                return false;
            }
            token.text.Append(raw);
            continue;
        }
        break;
    }
    if ((mode & ExprEvaluator::kWithCall) && lexer.GetToken(next, 0, true) == 1 &&
        next.id == kTokOperator && Is(next.text, "(")) {
        OTSTR raw;
        if (!lexer.Fetch_string("(", ")", false, raw)) {
            snprintf(message, sizeof message, exprmsg::kCallParams, where.GetBuffer(0));
            lexer.SetLastError(message);
            return false;
        }
        token.text.Append(raw);
    }
    return true;
}

}  // namespace

int ExprEvaluator::FetchOperand(ScriptLexer& lexer, Token& token, int mode) {
    int flags = (mode & kWithLineComment) ? ScriptLexer::kLineComments : 0;
    SourcePos start = lexer.GetLocation();
    int r = lexer.GetToken(token, flags, true);
    if (r == 1 && (mode & kWithValueSet) && token.id == kTokOperator && Is(token.text, "{")) {
        SourcePos at = token.pos;
        OTSTR set;
        if (lexer.Fetch_string("{", "}", false, set)) {
            token.Clear();
            token.id = kExprValueSet;
            token.text = set;
            token.pos = at;
            token.length = set.GetLength();
            return 1;
        }
        lexer.setLocation(start);
        return lexer.GetToken(token, flags, false);
    }
    if (r != 0) r = lexer.GetToken(token, flags, false);
    if (r != 1) return r;

    if ((mode & kWithDollarNumber) && token.id == kTokUnmatched && Is(token.text, "$")) {
        Token number;
        if (lexer.GetNextToken(number, false) != 1 || number.id != kTokNumber) {
            lexer.SetLastError(exprmsg::kDollarNumber);
            return -1;
        }
        token.id = kTokIdent;
        token.text.Append(number.text);
        return 1;
    }
    if (token.id != kTokIdent) return 1;
    if (!ReadPath(lexer, token, mode)) return -1;
    token.length = lexer.GetLocation().offset - token.pos.offset;
    return 1;
}

// ---------------------------------------------------------------- parsing

ExprNode* ExprEvaluator::NewNode(const Token& token) {
    ExprNode* node = new (std::nothrow) ExprNode;
    if (node == nullptr) {
        Error("%s", exprmsg::kNewNodeFail);
        return nullptr;
    }
    node->id = token.id;
    node->text = token.text;
    node->pos = token.pos;
    node->length = token.length;
    node->paramCount = token.paramCount;
    for (int i = 0; i < kMaxParams; ++i) node->params[i] = token.params[i];
    return node;
}

ExprNode* ExprEvaluator::GetExpression(const char* text, int flags) {
    lastError.Empty();
    valueTooLong.Empty();
    if (text == nullptr || text[0] == 0) {
        Error("%s", exprmsg::kNullText);
        return nullptr;
    }
    valueSetAfterAssign = (flags & kSetAfterAssign) != 0;
    valueSetAlone = (flags & kSetAlone) != 0;
    if (nesting >= kMaxNesting) {
        Error("%s", exprmsg::kTooDeep);
        return nullptr;
    }
    ++nesting;
    ScriptLexer lexer;
    lexer.SetBuffer(text);
    ExprNode* tree = Parse(lexer);
    --nesting;
    return tree;
}

ExprNode* ExprEvaluator::ParseExpression(ScriptLexer& lexer, int flags) {
    lastError.Empty();
    valueTooLong.Empty();
    valueSetAfterAssign = (flags & kSetAfterAssign) != 0;
    valueSetAlone = (flags & kSetAlone) != 0;
    return ParseOpen(lexer);
}

// An expression from the lexer, checked; the lexer stands after it.
ExprNode* ExprEvaluator::ParseOpen(ScriptLexer& lexer) {
    ExprNode* tree = ParseOperand(lexer, "#");
    Token next;
    while (tree != nullptr && lexer.GetToken(next, 0, true) == 1 && next.id == kTokOperator &&
           OperandCount(next.text.GetBuffer(0)) >= 2) {
        tree = ParseOperator(lexer, tree);
    }
    if (tree == nullptr) return nullptr;
    if (!CheckTree(tree, true)) {
        delete tree;
        return nullptr;
    }
    return tree;
}

ExprNode* ExprEvaluator::Parse(ScriptLexer& lexer) {
    ExprNode* tree = ParseOpen(lexer);
    if (tree == nullptr) return nullptr;
    Token next;
    if (lexer.GetToken(next, 0, false) != 0) {
        Error(exprmsg::kExtraChars, ToText(tree).GetBuffer(0));
        delete tree;
        return nullptr;
    }
    return tree;
}

// Tighter operators go into the right side of node; an operator that binds
// no tighter than the context ends it ('=' after '=' goes on: right
// association).
ExprNode* ExprEvaluator::Climb(ScriptLexer& lexer, ExprNode* node, const char* context) {
    Token next;
    while (node != nullptr && lexer.GetToken(next, 0, true) == 1 && next.id == kTokOperator) {
        const char* op = next.text.GetBuffer(0);
        if (OperandCount(op) < 2) break;
        bool rightAssoc = strcmp(op, "=") == 0 && strcmp(context, "=") == 0;
        if (Priority(op) <= Priority(context) && !rightAssoc) break;
        node = ParseOperator(lexer, node);
    }
    return node;
}

// operand := '(' expression ')' | leaf | unary-operator operand
// Operators are climbed from the operand within the context.
ExprNode* ExprEvaluator::ParseOperand(ScriptLexer& lexer, const char* context) {
    if (nesting >= kMaxNesting) {
        Error("%s", exprmsg::kTooDeep);
        return nullptr;
    }
    struct Level {
        int& n;
        explicit Level(int& n) : n(n) { ++n; }
        ~Level() { --n; }
    } level(nesting);

    Token token;
    if (lexer.GetToken(token, 0, true) == 1 && token.id == kTokOperator && Is(token.text, "(")) {
        SourcePos open = token.pos;
        OTSTR inner;
        if (!lexer.Fetch_string("(", ")", true, inner)) {
            Error("%s", exprmsg::kFetchParen);
            return nullptr;
        }
        int flags = (valueSetAfterAssign ? kSetAfterAssign : 0) | (valueSetAlone ? kSetAlone : 0);
        ExprNode* sub = GetExpression(inner.GetBuffer(0), flags);
        if (sub == nullptr) return nullptr;
        OffsetPositions(sub, open);
        return Climb(lexer, sub, context);
    }

    bool setMode = (strcmp(context, "=") == 0 && valueSetAfterAssign) ||
                   (strcmp(context, "#") == 0 && valueSetAlone);
    int r = FetchOperand(lexer, token, kWithCall | (setMode ? kWithValueSet : 0));
    if (r == 0) {
        Error("%s", exprmsg::kOperandExpected);
        return nullptr;
    }
    if (r < 0) {
        Error(exprmsg::kLexerError, lexer.GetLastError().GetBuffer(0));
        return nullptr;
    }
    if (token.id == kTokIdent || token.id == kExprValueSet || IsValueToken(token)) {
        return Climb(lexer, NewNode(token), context);
    }
    if (token.id == kTokOperator && IsUnaryOperator(token.text)) {
        ExprNode* node = NewNode(token);
        if (node == nullptr) return nullptr;
        node->unary = true;
        ExprNode* operand = ParseOperand(lexer, "@");
        if (operand == nullptr) {
            delete node;
            return nullptr;
        }
        node->SetChild(0, operand);
        return Climb(lexer, node, context);
    }
    if (token.id == kTokOperator) {
        Error(exprmsg::kOperatorIllegal, token.text.GetBuffer(0));
    } else {
        Error("%s", exprmsg::kAnythingExpected);
    }
    return nullptr;
}

// Reads an operator and its right side (or the two parts of a
// conditional); left becomes the first child. Takes left over, also on
// failure.
ExprNode* ExprEvaluator::ParseOperator(ScriptLexer& lexer, ExprNode* left) {
    Token token;
    lexer.GetToken(token, 0, false);
    ExprNode* node = NewNode(token);
    if (node == nullptr) {
        delete left;
        return nullptr;
    }
    node->SetChild(0, left);
    bool ok;
    if (Is(token.text, "?")) {
        ExprNode* then = ParseOperand(lexer, "?");
        ok = then != nullptr;
        if (ok) node->SetChild(1, then);
        Token colon;
        if (ok && (lexer.GetToken(colon, 0, false) != 1 || !Is(colon.text, ":"))) {
            Error(exprmsg::kColonExpected, ToText(node).GetBuffer(0));
            ok = false;
        }
        ExprNode* otherwise = ok ? ParseOperand(lexer, "?") : nullptr;
        ok = otherwise != nullptr;
        if (ok) node->SetChild(2, otherwise);
    } else {
        ExprNode* right = ParseOperand(lexer, token.text.GetBuffer(0));
        ok = right != nullptr;
        if (ok) node->SetChild(1, right);
    }
    if (ok && node->height > kMaxHeight) {
        Error("%s", exprmsg::kTooDeep);
        ok = false;
    }
    if (!ok) {
        delete node;
        return nullptr;
    }
    return node;
}

bool ExprEvaluator::CheckTree(const ExprNode* node, bool valueSetAllowed) {
    if (node->id != kTokOperator) {
        if (!node->IsLeaf()) {
            Error(exprmsg::kLeafIllegal, node->text.GetBuffer(0));
            return false;
        }
        if (node->id == kExprValueSet) {
            if (valueSetAllowed) return true;
            Error("%s", exprmsg::kValueSetIllegal);
            return false;
        }
        if (node->id == kTokIdent || IsValueToken(*node)) return true;
        Error(exprmsg::kLeafIllegal, node->text.GetBuffer(0));
        return false;
    }
    int want = node->unary ? 1 : OperandCount(node->text.GetBuffer(0));
    for (int i = 0; i < 3; ++i) {
        if ((i < want) != (node->child[i] != nullptr)) {
            Error(exprmsg::kLeafIllegal, node->text.GetBuffer(0));
            return false;
        }
    }
    bool assign = !node->unary && Is(node->text, "=");
    for (int i = 0; i < want; ++i) {
        if (!CheckTree(node->child[i], assign && i == 1)) return false;
    }
    return true;
}

// ---------------------------------------------------------------- evaluation

bool ExprEvaluator::Resolve(CVarient& value) {
    if (!value.IsIdentRef()) return true;
    OTSTR path;
    value.getString(path);
    if (!Call(kVarRead, path.GetBuffer(0), &value)) {
        Error(exprmsg::kGetValueFailed, path.GetBuffer(0));
        return false;
    }
    return true;
}

bool ExprEvaluator::EvalOperand(ExprNode* node, CVarient& value, bool readIdents) {
    if (node->IsLeaf() && node->id == kTokIdent) return Eval(node, value, true);
    return Eval(node, value, readIdents) && Resolve(value);
}

bool ExprEvaluator::Eval(ExprNode* node, CVarient& result, bool readIdents) {
    if (node->IsLeaf()) {
        const char* text = node->text.GetBuffer(0);
        if (node->id == kExprValueSet) {
            Error("%s", exprmsg::kValueSetIllegal);
            return false;
        }
        if (node->id == kTokIdent) {
            if (!readIdents && !node->IsCall()) return result.setIdentRef(text);
            if (!ReadLeaf(node, text, result)) {
                Error(exprmsg::kGetValueFailed, text);
                return false;
            }
            return true;
        }
        if (node->literal != nullptr ? !result.assign(*node->literal) : !result.sets(text, "'\"")) {
            Error(exprmsg::kGetValueFailed, text);
            return false;
        }
        return true;
    }
    if (integers != nullptr && integerRouteOff == 0 && result.IsWritable() &&
        node->IntegerShaped()) {
        uint32_t word = 0;
        int32_t type = kTypeNone;
        if (EvalInteger(node, word, type)) return result.setInteger(word, type);
        ++integerRouteOff;
        bool ok = EvalOperator(node, result, readIdents);
        --integerRouteOff;
        return ok;
    }
    return EvalOperator(node, result, readIdents);
}

bool ExprEvaluator::EvalInteger(const ExprNode* node, uint32_t& word, int32_t& type) {
    if (node->IsLeaf()) {
        if (node->literal != nullptr) {
            word = node->literal->value;
            type = node->literal->GetType();
            return IsIntegerType(type);
        }
        return integers(context, const_cast<ExprNode*>(node), &word, &type) != 0;
    }
    uint32_t left = 0;
    int32_t leftType = kTypeNone;
    if (!EvalInteger(node->child[0], left, leftType)) return false;
    if (node->unary) {
        return CVarient::OperateWord(node->text.GetBuffer(0), left, leftType, word, type);
    }
    uint32_t right = 0;
    int32_t rightType = kTypeNone;
    return EvalInteger(node->child[1], right, rightType) &&
           CVarient::OperateWords(left, leftType, node->Operator(), right, rightType, word, type);
}

bool ExprEvaluator::EvalOperator(ExprNode* node, CVarient& result, bool readIdents) {
    const char* op = node->text.GetBuffer(0);
    if (node->unary) {
        CVarient operand;
        if (!EvalOperand(node->child[0], operand, readIdents)) return false;
        if (!result.Operate(op, operand)) {
            OTSTR text;
            Describe(operand, text);
            Error(exprmsg::kUnaryFailed, op, text.GetBuffer(0));
            return false;
        }
        return true;
    }
    OperatorCode code = node->Operator();
    if (code == OperatorCode::kAssign) return EvalAssign(node, result, readIdents);
    if (code == OperatorCode::kSelect) {
        CVarient condition;
        if (!EvalOperand(node->child[0], condition, readIdents)) return false;
        return Eval(node->child[condition.getLong() != 0 ? 1 : 2], result, readIdents);
    }
    CVarient left, right;
    if (!EvalOperand(node->child[0], left, readIdents)) return false;
    if (!EvalOperand(node->child[1], right, readIdents)) return false;
    if (!result.Operate(left, code, op, right, true)) {
        OTSTR l, r;
        // Joined texts past the value limit: the reason is worth naming.
        if (code == OperatorCode::kAdd && left.getString(l) && right.getString(r) &&
            static_cast<int64_t>(l.GetLength()) + r.GetLength() > CVarient::kMaxValueBytes) {
            valueTooLong.Empty();
            valueTooLong.safeAppends(varmsg::kValueTooLong,
                                     static_cast<long long>(l.GetLength()) + r.GetLength(),
                                     static_cast<int>(CVarient::kMaxValueBytes >> 20));
        }
        Describe(left, l);
        Describe(right, r);
        Error(exprmsg::kOperateFailed, l.GetBuffer(0), op, r.GetBuffer(0));
        return false;
    }
    return true;
}

bool ExprEvaluator::EvalAssign(ExprNode* node, CVarient& result, bool readIdents) {
    ExprNode* left = node->child[0];
    ExprNode* right = node->child[1];
    if (readIdents) {
        // A value set cannot be a value: it is handed over as text and the
        // value is read back from the path it was assigned to.
        if (right->IsLeaf() && right->id == kExprValueSet) {
            if (!IsIdentLeaf(*left)) {
                Error("%s", exprmsg::kAssignNotIdent);
                return false;
            }
            const char* path = left->text.GetBuffer(0);
            if (!Call(kVarAssignText, path, right->text.GetBuffer(0))) {
                Error(exprmsg::kAssignFailed, path);
                return false;
            }
            if (!Call(kVarRead, path, &result)) {
                Error(exprmsg::kGetValueFailed, path);
                return false;
            }
            return true;
        }
        CVarient value;
        if (!Eval(right, value, true) || !AssignValue(left, value)) return false;
        return result.clone(value);
    }

    // An identifier is its own path; any other left side names it.
    OTSTR named;
    const char* path;
    bool leafPath = IsIdentLeaf(*left);
    if (leafPath) {
        path = left->text.GetBuffer(0);
    } else {
        CVarient target;
        if (!Eval(left, target, false) || !target.IsIdentRef()) {
            Error("%s", exprmsg::kLeftNotIdent);
            return false;
        }
        target.getString(named);
        path = named.GetBuffer(0);
    }
    bool ok;
    if (right->IsLeaf() && right->id == kTokIdent && !right->IsCall()) {
        ok = leafPath ? WriteLeaf(left, nullptr, right)
                      : Call(kVarAssignText, path, right->text.GetBuffer(0));
    } else if (right->IsLeaf() && right->id == kExprValueSet) {
        ok = Call(kVarAssignText, path, right->text.GetBuffer(0));
    } else if (IsValueLeaf(*right)) {
        CVarient value;
        if (right->literal != nullptr ? !value.assign(*right->literal)
                                      : !value.sets(right->text.GetBuffer(0), "'\"")) {
            Error(exprmsg::kGetValueFailed, right->text.GetBuffer(0));
            return false;
        }
        ok = leafPath ? WriteLeaf(left, &value, nullptr) : Call(kVarAssign, path, &value);
    } else {
        CVarient value;
        if (!Eval(right, value, false)) return false;
        if (value.IsIdentRef()) {
            OTSTR name;
            value.getString(name);
            ok = Call(kVarAssignText, path, name.GetBuffer(0));
        } else {
            ok = leafPath ? WriteLeaf(left, &value, nullptr) : Call(kVarAssign, path, &value);
        }
    }
    if (!ok) {
        Error(exprmsg::kAssignFailed, path);
        return false;
    }
    return node == unwanted || result.setIdentRef(path);
}

bool ExprEvaluator::Evaluate(ExprNode* node, CVarient& result) {
    lastError.Empty();
    valueTooLong.Empty();
    if (node == nullptr) return false;
    return Eval(node, result, false);
}

bool ExprEvaluator::Perform(ExprNode* node, CVarient& result) {
    unwanted = node;
    bool ok = Evaluate(node, result);
    unwanted = nullptr;
    return ok;
}

bool ExprEvaluator::EvaluateValue(ExprNode* node, CVarient& result) {
    lastError.Empty();
    valueTooLong.Empty();
    if (node == nullptr) return false;
    return Eval(node, result, true);
}

bool ExprEvaluator::EvaluateInteger(const ExprNode* node, uint32_t& word, int32_t& type) {
    return integers != nullptr && integerRouteOff == 0 && node != nullptr &&
           node->IntegerShaped() && EvalInteger(node, word, type);
}

bool ExprEvaluator::EvaluateBool(ExprNode* node, int32_t& out) {
    // An operation of integers computed in machine words: its value is the
    // word, as EvaluateValue would give it.
    uint32_t word = 0;
    int32_t type = kTypeNone;
    if (node != nullptr && !node->IsLeaf() && EvaluateInteger(node, word, type)) {
        lastError.Empty();
        valueTooLong.Empty();
        out = static_cast<int32_t>(word);
        return true;
    }
    CVarient value;
    if (!EvaluateValue(node, value)) return false;
    out = value.getLong();
    return true;
}

bool ExprEvaluator::AssignValue(ExprNode* node, CVarient& value) {
    if (node == nullptr || !IsIdentLeaf(*node)) {
        Error("%s", exprmsg::kAssignNotIdent);
        return false;
    }
    if (!WriteLeaf(node, &value, nullptr)) {
        Error(exprmsg::kAssignFailed, node->text.GetBuffer(0));
        return false;
    }
    return true;
}

bool ExprEvaluator::CalcValue(const char* text, CVarient& result, bool acceptNoValue) {
    result.clear(true);
    // Only a parse from the top (not one nested in another parse) gives the
    // same tree for the same text every time.
    ParseCache* cache = nesting == 0 ? &ParseCache::Local() : nullptr;
    ExprNode* tree = nullptr;
    bool shared = false;
    if (cache != nullptr && text != nullptr && text[0] != 0) {
        tree = cache->Find(text);
        if (tree != nullptr) {
            valueSetAfterAssign = true;
            valueSetAlone = false;
            shared = true;
        }
    }
    if (tree == nullptr) {
        tree = GetExpression(text, kSetAfterAssign);
        if (tree == nullptr) return false;
        shared = cache != nullptr && cache->Add(text, tree);
        if (shared) KeepLiterals(tree);
    }
    if (shared) ++cache->busy;
    bool ok = EvaluateValue(tree, result);
    if (shared) {
        --cache->busy;
    } else {
        FreeExpression(tree);
    }
    if (ok && !acceptNoValue && result.GetType() == kTypeNone) {
        Error(exprmsg::kGetValueFailed, text);
        return false;
    }
    return ok;
}

// A text that is not a valid value stays without one and fails at every
// evaluation as before.
void ExprEvaluator::KeepLiterals(ExprNode* node) {
    if (node == nullptr) return;
    if (!IsLiteralLeaf(*node)) {
        for (ExprNode* c : node->child) KeepLiterals(c);
        return;
    }
    if (node->literal != nullptr) return;
    std::unique_ptr<CVarient> value(new (std::nothrow) CVarient);
    if (value != nullptr && value->sets(node->text.GetBuffer(0), "'\"")) {
        node->literal = std::move(value);
    }
}

bool ExprEvaluator::CalcTree(ExprNode* tree, const char* text, CVarient& result,
                             bool acceptNoValue) {
    result.clear(true);
    valueSetAfterAssign = true;
    valueSetAlone = false;
    bool ok = EvaluateValue(tree, result);
    if (ok && !acceptNoValue && result.GetType() == kTypeNone) {
        Error(exprmsg::kGetValueFailed, text);
        return false;
    }
    return ok;
}

ExprNode* ExprEvaluator::KeptTree(const char* text) {
    if (text == nullptr || text[0] == 0) return nullptr;
    ExprEvaluator parser;
    ExprNode* tree = parser.GetExpression(text, kSetAfterAssign);
    KeepLiterals(tree);
    return tree;
}

bool ExprEvaluator::CalcLong(const char* text, int32_t& out) {
    CVarient value;
    if (!CalcValue(text, value, false)) return false;
    out = value.getLong();
    return true;
}

// ---------------------------------------------------------------- trees

bool ExprEvaluator::SplitPath(const char* path, OTSTR& ident, OTSTR& subscript, OTSTR& rest,
                              int* identEnd, int* restStart) {
    // Works on the text in place, and leaves a part that is empty without
    // storage: this runs for every access path read or written at run time.
    ident.Empty();
    subscript.Empty();
    rest.Empty();
    const char* whole = path ? path : "";
    int length = static_cast<int>(strnlen(whole, 0x7fffffff));
    int begin = 0;
    while (begin < length && (whole[begin] == ' ' || whole[begin] == '\t')) ++begin;
    int cut = begin + static_cast<int>(strcspn(whole + begin, ".[("));
    if (cut >= length) cut = -1;
    int identStop = cut < 0 ? length : cut;
    int restFrom = identStop;
    ident.Assign(whole + begin, identStop - begin);
    if (cut >= 0) {
        char c = whole[cut];
        if (c == '.') {
            restFrom = cut + 1;
        } else {
            // The bracketed part from cut: the first open bracket is the one
            // at cut, and the part ends at the close bracket that balances it.
            char close = c == '[' ? ']' : ')';
            int depth = 0;
            int end = -1;
            for (int i = cut; i < length; ++i) {
                if (whole[i] == c) {
                    ++depth;
                } else if (whole[i] == close && --depth == 0) {
                    end = i;
                    break;
                }
            }
            if (end < 0) return false;
            subscript.Assign(whole + cut, end - cut + 1);
            int after = end + 1;
            int next = after + static_cast<int>(strcspn(whole + after, ".[("));
            restFrom = next < length && whole[next] == '.' ? next + 1 : after;
        }
        if (restFrom < length) rest.Assign(whole + restFrom, length - restFrom);
    }
    ident.TrimRight();
    subscript.TrimRight();
    rest.TrimRight();
    if (identEnd != nullptr) *identEnd = identStop;
    if (restStart != nullptr) *restStart = restFrom;
    return true;
}

OTSTR ExprEvaluator::ToText(const ExprNode* node) {
    OTSTR text;
    text.Assign("", 0);
    if (node == nullptr) return text;
    auto part = [&text](const ExprNode* child) {
        if (child == nullptr) return;
        bool wrap = !child->IsLeaf();
        if (wrap) text.AppendChar('(');
        text.Append(ToText(child));
        if (wrap) text.AppendChar(')');
    };
    if (node->IsLeaf()) {
        text.Append(node->text);
    } else if (node->unary) {
        text.Append(node->text);
        part(node->child[0]);
    } else if (Is(node->text, "?")) {
        part(node->child[0]);
        text.Append(" ? ");
        part(node->child[1]);
        if (node->child[2] != nullptr) {
            text.Append(" : ");
            part(node->child[2]);
        }
    } else {
        part(node->child[0]);
        text.AppendChar(' ');
        text.Append(node->text);
        text.AppendChar(' ');
        part(node->child[1]);
    }
    return text;
}

void ExprEvaluator::ToPostfix(const ExprNode* node, OTSTR& out) {
    if (node == nullptr) return;
    for (const ExprNode* child : node->child) ToPostfix(child, out);
    if (node->unary && Is(node->text, "+")) {
        out.Append("@");
    } else if (node->unary && Is(node->text, "-")) {
        out.Append("$");
    } else {
        out.Append(node->text);
    }
    out.AppendChar(' ');
}

int ExprEvaluator::Depth(const ExprNode* node) {
    if (node == nullptr) return 0;
    int deepest = 0;
    for (const ExprNode* child : node->child) {
        int d = Depth(child);
        if (d > deepest) deepest = d;
    }
    return deepest + 1;
}

void ExprEvaluator::OffsetPositions(ExprNode* node, const SourcePos& base) {
    if (node == nullptr) return;
    node->pos = base.Add(node->pos);
    for (ExprNode* child : node->child) OffsetPositions(child, base);
}

void ExprEvaluator::CollectNodes(ExprNode* node, ObArrayOf<ExprNode>& list, bool preOrder) {
    if (node == nullptr) return;
    if (preOrder) list.Add(node);
    for (ExprNode* child : node->child) CollectNodes(child, list, preOrder);
    if (!preOrder) list.Add(node);
}
