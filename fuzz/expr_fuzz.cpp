// Fuzz target: the bytes as an expression of the script language, parsed
// from a ScriptLexer and as a whole text, evaluated and printed back.
// Identifiers read through a callback: names starting with 'n' are unknown,
// 's' names hold a text, 'd' names a double, others an integer of the name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "pattern/script_lexer.h"
#include "values/expr_evaluator.h"

namespace {

int Variables(void* context, int argc, void** argv) {
    (void)context;
    if (argc != 3 || argv == nullptr) return 0;
    int code = static_cast<int>(reinterpret_cast<intptr_t>(argv[0]));
    const char* path = static_cast<const char*>(argv[1]);
    if (path == nullptr) return 0;
    if (code != kVarRead) return path[0] != 'n' ? 1 : 0;
    auto* value = static_cast<CVarient*>(argv[2]);
    uint32_t hash = 2166136261u;
    for (const char* p = path; *p != '\0'; ++p)
        hash = (hash ^ static_cast<uint8_t>(*p)) * 16777619u;
    switch (path[0]) {
        case 'n':
            return 0;
        case 's':
            return value->setBytes(path) ? 1 : 0;
        case 'd':
            return value->setDouble((hash % 2001) / 7.0 - 100) ? 1 : 0;
        default:
            return value->setInteger(hash % 1000, kTypeInt4) ? 1 : 0;
    }
}

void Exercise(ExprEvaluator& eval, ExprNode* tree) {
    if (ExprEvaluator::Depth(tree) > 4 * ExprEvaluator::kMaxHeight) {
        fuzzsupport::Violated("a tree beyond the height bound was accepted");
    }
    OTSTR postfix;
    ExprEvaluator::ToPostfix(tree, postfix);
    OTSTR text = ExprEvaluator::ToText(tree);
    CVarient result;
    eval.Evaluate(tree, result);
    CVarient value;
    if (eval.EvaluateValue(tree, value)) {
        OTSTR shown;
        value.getText(shown);
    }
    int32_t truth = 0;
    eval.EvaluateBool(tree, truth);
    ExprEvaluator::FreeExpression(tree);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietTrace();
    if (size > 4096) return 0;

    std::string text(reinterpret_cast<const char*>(data), size);
    ExprEvaluator eval;
    eval.SetCallback(nullptr, Variables);

    // Expressions one after another, as statements hold them.
    ScriptLexer lexer;
    lexer.SetBuffer(text.data(), static_cast<int32_t>(text.size()));
    for (int i = 0; i < 16; ++i) {
        ExprNode* tree = eval.ParseExpression(lexer, i & 3);
        if (tree == nullptr) break;
        Exercise(eval, tree);
        Token token;
        if (lexer.GetToken(token, 0, false) != 1) break;  // the separator
    }

    // The whole text as one expression, value sets allowed.
    if (ExprNode* tree = eval.GetExpression(text.c_str(), 3)) Exercise(eval, tree);
    CVarient value;
    eval.CalcValue(text.c_str(), value, true);
    return 0;
}
