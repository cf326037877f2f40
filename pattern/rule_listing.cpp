// Text forms of compiled rules and the listing of a rule table.
// Tested by pattern/rule_table_test.cpp.
#include "pattern/rule_listing.h"

#include <cstdio>
#include <cstring>

#include "base/path.h"
#include "pattern/rule_graph.h"
#include "pattern/rule_table.h"

namespace rulelisting {
namespace {

// Rebuilt rule texts stop growing here; a table whose rules call each other
// in many layers would otherwise list texts of exponential size.
constexpr int kMaxRuleText = 65536;
// The same bound for nesting (groups are limited when compiled; called
// rules add layers of their own).
constexpr int kMaxDepth = 200;

bool IsVisible(unsigned char c) {
    return c >= 33 && c < 127;
}

// The escapes of the control characters that rules can name.
bool AppendControl(unsigned char c, OTSTR& out) {
    switch (c) {
        case 0:
            return out.Append("\\0");
        case '\t':
            return out.Append("\\t");
        case '\n':
            return out.Append("\\n");
        case '\r':
            return out.Append("\\r");
        default:
            return false;
    }
}

void AppendChar(unsigned char c, OTSTR& out) {
    if (AppendControl(c, out)) return;
    if (strchr("$()*+<?[^{|}", c) != nullptr) {
        out.AppendChar('\\');
        out.AppendChar(static_cast<char>(c));
    } else if (!IsVisible(c)) {
        char code[8];
        snprintf(code, sizeof code, "\\%d", c);
        out.Append(code);
    } else {
        out.AppendChar(static_cast<char>(c));
    }
}

void AppendMember(unsigned char c, OTSTR& out) {
    if (AppendControl(c, out)) return;
    if (c == '-' || c == '\\') out.AppendChar('\\');
    out.AppendChar(static_cast<char>(c));
}

// Members in code order; runs of three or more as first-last.
void AppendMembers(const Condition& cond, OTSTR& out) {
    int c = 0;
    while (c < 256) {
        if (!cond.set[c]) {
            ++c;
            continue;
        }
        int end = c;
        while (end + 1 < 256 && cond.set[end + 1]) ++end;
        if (end - c >= 2) {
            AppendMember(static_cast<unsigned char>(c), out);
            out.AppendChar('-');
            AppendMember(static_cast<unsigned char>(end), out);
        } else {
            for (int m = c; m <= end; ++m) AppendMember(static_cast<unsigned char>(m), out);
        }
        c = end + 1;
    }
}

void AppendCondition(const Condition& cond, OTSTR& out) {
    switch (cond.type) {
        case kCondLineBegin:
            out.Append("^");
            break;
        case kCondLineEnd:
            out.Append("$");
            break;
        case kCondWordBoundary:
            out.Append("\\b");
            break;
        case kCondNotBoundary:
            out.Append("\\B");
            break;
        case kCondAnyButNewline:
            out.Append("\\.");
            break;
        case kCondChar:
            AppendChar(cond.ch, out);
            break;
        case kCondSet:
        case kCondNotSet:
        case kCondUpToSet:
        case kCondUpToNotSet: {
            bool lookAhead = cond.type == kCondUpToSet || cond.type == kCondUpToNotSet;
            bool negated = cond.type == kCondNotSet || cond.type == kCondUpToNotSet;
            if (lookAhead) out.Append("{?");
            out.Append(negated ? "[^" : "[");
            AppendMembers(cond, out);
            out.Append(lookAhead ? "]}" : "]");
            break;
        }
        case kCondBeforeText:
        case kCondThroughText:
            out.Append(cond.type == kCondBeforeText ? "{?=" : "{?>");
            out.Append(cond.text);
            out.Append("}");
            break;
    }
}

void AppendRepeat(const Repeat& r, OTSTR& out) {
    char text[48];
    const char* lazy = r.greedy ? "" : "?";
    if (r.min == 1 && r.max == 1) return;
    if (r.min == r.max) {
        snprintf(text, sizeof text, "<%ld>", static_cast<long>(r.min));
    } else if (r.max == kRepeatUnbounded) {
        snprintf(text, sizeof text, "<%ld,>%s", static_cast<long>(r.min), lazy);
    } else {
        snprintf(text, sizeof text, "<%ld,%ld>%s", static_cast<long>(r.min),
                 static_cast<long>(r.max), lazy);
    }
    out.Append(text);
}

void AppendPath(const State* state, OTSTR& out, int depth);

void AppendStep(const Transition& tr, OTSTR& out, int depth) {
    if (tr.kind == kTransCall) {
        out.AppendChar('(');
        AppendPath(tr.target, out, depth + 1);
        out.AppendChar(')');
        AppendRepeat(tr.repeat, out);
    } else if (tr.kind == kTransCondition && tr.condition != nullptr) {
        AppendCondition(*tr.condition, out);
        AppendRepeat(tr.repeat, out);
    }
}

// One path of transitions after another; a state with several transitions
// (the alternatives of a rule or group) lists each way, joined by '|'.
void AppendPath(const State* state, OTSTR& out, int depth) {
    if (depth > kMaxDepth) return;
    while (state != nullptr && !state->IsEnd() && out.GetLength() < kMaxRuleText) {
        if (state->Count() > 1 || state->At(0)->kind == kTransBranch) {
            for (int t = 0; t < state->Count(); ++t) {
                const Transition* tr = state->At(t);
                if (t > 0) out.AppendChar('|');
                if (tr->kind != kTransBranch) AppendStep(*tr, out, depth);
                AppendPath(tr->next, out, depth + 1);
            }
            return;
        }
        const Transition* tr = state->At(0);
        AppendStep(*tr, out, depth);
        state = tr->next;
    }
}

}  // namespace

void AppendTransitionText(const Transition& tr, OTSTR& out) {
    char text[48];
    switch (tr.kind) {
        case kTransCondition:
            if (tr.condition != nullptr) AppendCondition(*tr.condition, out);
            break;
        case kTransCall:
            if (tr.paramId >= 0) {
                snprintf(text, sizeof text, "{%ld $%ld}", static_cast<long>(tr.target->id),
                         static_cast<long>(tr.paramId));
            } else {
                snprintf(text, sizeof text, "{%ld}", static_cast<long>(tr.target->id));
            }
            out.Append(text);
            break;
        default:
            out.Append(" ");
            return;
    }
    AppendRepeat(tr.repeat, out);
}

void AppendRuleText(const State* start, OTSTR& out) {
    AppendPath(start, out, 0);
}

}  // namespace rulelisting

bool RuleTable::DumpRules(const char* fileName, bool overwrite) const {
    FILE* file = vpath::OpenFile(fileName, overwrite ? "w" : "a");
    if (file == nullptr) return false;

    fputs("/////////////////////////////////////////\n//RuleList:\n", file);
    for (int i = 0; i < rules.GetSize(); ++i) {
        int32_t id = 0;
        const State* start = RuleAt(i, &id);
        OTSTR text;
        rulelisting::AppendRuleText(start, text);
        fprintf(file, "  R%-4ld  %s\n", static_cast<long>(id), text.GetBuffer(0));
    }
    fputs("\n", file);

    fputs("//////////////////////////////////////////////\n//StateTable:\n", file);
    for (int i = 0; i < states.GetSize(); ++i) {
        const State* state = StateAt(i);
        int32_t ruleId = RuleIdOf(state);
        const char* name = state->name.GetBuffer(0);
        if (state->IsEnd()) {
            fprintf(file, "*{%-3ld}", static_cast<long>(state->id));
            if (ruleId >= 0) {
                fprintf(file, "  R%-4ld %s\n", static_cast<long>(ruleId), name);
            } else {
                fprintf(file, "        %s\n", name);
            }
            continue;
        }
        for (int t = 0; t < state->Count(); ++t) {
            const Transition* tr = state->At(t);
            OTSTR cond;
            rulelisting::AppendTransitionText(*tr, cond);
            long next = tr->next ? static_cast<long>(tr->next->id) : -1L;
            if (t == 0) {
                fprintf(file, " {%-3ld}  %-20s -> {%-3ld}", static_cast<long>(state->id),
                        cond.GetBuffer(0), next);
            } else {
                fprintf(file, "        %-20s -> {%-3ld}", cond.GetBuffer(0), next);
            }
            if (t == 0 && ruleId >= 0) {
                fprintf(file, "  R%-4ld %s\n", static_cast<long>(ruleId), name);
            } else {
                fprintf(file, "        %s\n", name);
            }
        }
    }
    fclose(file);
    return true;
}
