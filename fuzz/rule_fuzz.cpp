// Fuzz target: the bytes up to the first zero byte as a pattern rule,
// compiled into a rule table beside two named helper rules; a rule that
// compiles is listed and run by the lexer over a fixed text and over the
// whole input, and by the whole-text matcher. The byte after the zero, when
// there is one, selects the lexer's modes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "pattern/lex.h"
#include "pattern/pattern_matcher.h"
#include "pattern/rule_listing.h"
#include "pattern/rule_table.h"

namespace {

const char kFixedText[] =
    "abc 123 0x1F -4.5 \"str\" 'c' /* rem */ // line\n"
    "A_b[12] (x|y) {z} a.b::c <=> ^$ \t\r\n\x80\xff end";

// Lexes text and checks that, without overlapping matches, every token
// moves the position on.
void LexAll(Lex& lex, const char* text, int32_t length) {
    lex.SetBuffer(text, length);
    Token token;
    int32_t tokens = 0;
    const int32_t limit = lex.IsOverlapMatch() ? 64 * (length + 1) : length + 1;
    while (lex.GetNextToken(token, false) == 1) {
        if (++tokens > limit) {
            if (!lex.IsOverlapMatch()) fuzzsupport::Violated("the lexer returns tokens forever");
            break;
        }
    }
    lex.SetBuffer(text, length);
    tokens = 0;
    while (lex.get_specific_token(token, 1)) {
        if (++tokens > limit) {
            if (!lex.IsOverlapMatch()) fuzzsupport::Violated("a rule is found forever");
            break;
        }
    }
    lex.SetBuffer(nullptr);
    if (lex.ActivePatternCount() != 0) fuzzsupport::Violated("match records not returned");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietTrace();
    if (size > 4096) return 0;

    const char* text = reinterpret_cast<const char*>(data);
    const uint8_t* zero = static_cast<const uint8_t*>(memchr(data, 0, size));
    std::string rule(text, zero != nullptr ? static_cast<size_t>(zero - data) : size);
    uint8_t modes = zero != nullptr && zero + 1 < data + size ? zero[1] : 0;

    RuleTable table;
    if (!table.AddRule(2001, "DIGITS", "\\d+") || !table.AddRule(2002, "WORD", "[A-Za-z_]+")) {
        abort();
    }
    if (!table.AddRule(1, "R", rule.c_str())) {
        // An empty rule fails without a message.
        if ((!rule.empty() && table.GetLastError().IsEmpty()) || table.RuleCount() != 0) {
            fuzzsupport::Violated("a failed rule leaves no message or keeps rules");
        }
        return 0;
    }
    OTSTR listing;
    rulelisting::AppendRuleText(table.RuleAt(table.RuleCount() - 1), listing);
    if ((modes & 0x20) != 0 && !table.AddRule(1001, "BLANK", "[ \\t\\r\\n]+")) {
        fuzzsupport::Violated("a fixed rule failed after the fuzzed one");
    }
    table.MergeEndStates();

    Lex lex;
    lex.SetRuleTable(&table);
    lex.SetOverlapMatch((modes & 0x01) != 0);
    lex.SetCaseSensitive((modes & 0x02) == 0);
    lex.SetReturnUnMatchContent((modes & 0x04) == 0);
    lex.SetFastLookAhead((modes & 0x08) == 0);
    lex.SetBoundaryByCode((modes & 0x10) == 0);
    LexAll(lex, kFixedText, static_cast<int32_t>(sizeof kFixedText - 1));
    LexAll(lex, text, static_cast<int32_t>(size));

    PatternMatcher matcher;
    matcher.SetCaseSensitive((modes & 0x02) == 0);
    if (matcher.AddToken(false, "\\d+", "DIGITS") && matcher.AddToken(true, rule.c_str())) {
        OTSTR params[11];
        matcher.Match(kFixedText, params);
        matcher.Match(rule.c_str(), params);
    }
    return 0;
}
