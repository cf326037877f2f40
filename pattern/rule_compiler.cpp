// The rule compiler: parses a rule text element by element and builds its
// graph. Tested through pattern/rule_table_test.cpp.
#include "pattern/rule_compiler.h"

#include <cstring>
#include <new>

#include "pattern/pattern_messages.h"
#include "pattern/rule_table.h"

namespace {

void AddRange(Condition& cond, int from, int to) {
    for (int c = from; c <= to; ++c) cond.set[c] = true;
}

void MakeClass(Condition& cond, char cls) {
    switch (cls) {
        case '.':
            AddRange(cond, 0, 255);
            cond.set['\n'] = cond.set['\r'] = false;
            break;
        case 'c':
            AddRange(cond, 'A', 'Z');
            AddRange(cond, 'a', 'z');
            break;
        case 'd':
            AddRange(cond, '0', '9');
            break;
    }
}

// The character that an escape stands for ("\t" is a tab, "\x" is x).
unsigned char EscapedChar(char c) {
    switch (c) {
        case '0':
            return 0;
        case 't':
            return '\t';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        default:
            return static_cast<unsigned char>(c);
    }
}

// Parses a whole decimal text (blanks around it allowed) into out.
bool ParseNumber(const char* text, int length, int32_t& out) {
    OTSTR number(text, length);
    return number.ToLong(out, 10);
}

}  // namespace

int RuleCompiler::FindClosing(const char* text, int length, int open, char openChar,
                              char closeChar) {
    int depth = 0;
    for (int i = open; i < length; ++i) {
        char c = text[i];
        if (c != openChar && c != closeChar) continue;
        if (i > 0 && text[i - 1] == '\\') continue;
        if (c == openChar) {
            ++depth;
        } else if (--depth == 0) {
            return i;
        }
    }
    return -1;
}

bool RuleCompiler::ParseEscape(const char* text, int length, int& i, Condition& cond) {
    if (i + 1 >= length) {
        table.SetError("%s", patmsg::kEscapeAtEnd);
        return false;
    }
    char c = text[i + 1];
    i += 2;
    switch (c) {
        case '.':
            cond.type = kCondAnyButNewline;
            break;
        case 'b':
            cond.type = kCondWordBoundary;
            break;
        case 'B':
            cond.type = kCondNotBoundary;
            break;
        case 'c':
        case 'd':
            cond.type = kCondSet;
            MakeClass(cond, c);
            break;
        default:
            cond.type = kCondChar;
            cond.ch = EscapedChar(c);
            break;
    }
    return true;
}

// A set from text[i] == '[' up to its first unescaped ']'.
bool RuleCompiler::ParseSet(const char* text, int length, int& i, Condition& cond) {
    int j = i + 1;
    bool negated = j < length && text[j] == '^';
    if (negated) ++j;
    for (;;) {
        if (j >= length) {
            table.SetError("%s", patmsg::kBracketMismatch);
            return false;
        }
        char c = text[j];
        if (c == ']') break;
        int low = -1;  // a single character, which may start a range
        if (c == '\\') {
            if (j + 1 >= length) {
                table.SetError("%s", patmsg::kEscapeAtEnd);
                return false;
            }
            char e = text[j + 1];
            j += 2;
            if (e == '.' || e == 'c' || e == 'd') {
                MakeClass(cond, e);
            } else {
                low = EscapedChar(e);
            }
        } else {
            low = static_cast<unsigned char>(c);
            ++j;
        }
        if (low < 0) continue;
        if (j < length && text[j] == '-') {
            ++j;
            if (j >= length) {
                table.SetError("%s", patmsg::kBracketMismatch);
                return false;
            }
            int high;
            if (text[j] == ']') {
                table.SetError("%s", patmsg::kBracketRange);
                return false;
            }
            if (text[j] == '\\') {
                if (j + 1 >= length) {
                    table.SetError("%s", patmsg::kEscapeAtEnd);
                    return false;
                }
                char e = text[j + 1];
                if (e == '.' || e == 'c' || e == 'd') {
                    table.SetError("%s", patmsg::kBracketRange);
                    return false;
                }
                high = EscapedChar(e);
                j += 2;
            } else {
                high = static_cast<unsigned char>(text[j]);
                ++j;
            }
            if (low <= high) AddRange(cond, low, high);
        } else {
            cond.set[low] = true;
        }
    }
    i = j + 1;
    cond.type = negated ? kCondNotSet : kCondSet;
    return true;
}

bool RuleCompiler::ParseRepeat(const char* text, int length, int& i, Repeat& repeat) {
    repeat = Repeat();
    if (i >= length) return true;
    switch (text[i]) {
        case '*':
            repeat.min = 0;
            repeat.max = kRepeatUnbounded;
            ++i;
            break;
        case '+':
            repeat.min = 1;
            repeat.max = kRepeatUnbounded;
            ++i;
            break;
        case '?':
            repeat.min = 0;
            repeat.max = 1;
            ++i;
            break;
        case '<': {
            const char* close = static_cast<const char*>(memchr(text + i, '>', length - i));
            if (close == nullptr) {
                table.SetError(patmsg::kAngleMismatch, static_cast<long>(ruleId));
                return false;
            }
            int end = static_cast<int>(close - text);
            const char* inner = text + i + 1;
            int innerLength = end - i - 1;
            const char* comma = static_cast<const char*>(memchr(inner, ',', innerLength));
            int minLength = comma ? static_cast<int>(comma - inner) : innerLength;
            if (!ParseNumber(inner, minLength, repeat.min)) {
                table.SetError(patmsg::kRepeatMin, static_cast<long>(ruleId));
                return false;
            }
            if (comma == nullptr) {
                repeat.max = repeat.min;
            } else {
                OTSTR maxText(comma + 1, innerLength - minLength - 1);
                maxText.TrimLeft(true);
                maxText.TrimRight(true);
                if (maxText.IsEmpty()) {
                    repeat.max = kRepeatUnbounded;
                } else if (!maxText.ToLong(repeat.max, 10)) {
                    table.SetError(patmsg::kRepeatMax, static_cast<long>(ruleId));
                    return false;
                }
            }
            if (repeat.min < 0 || repeat.max < repeat.min) {
                table.SetError(patmsg::kRepeatRange, static_cast<long>(ruleId));
                return false;
            }
            i = end + 1;
            break;
        }
        default:
            return true;
    }
    if (i < length && text[i] == '?') {
        repeat.greedy = false;
        ++i;
    }
    return true;
}

// A look-ahead construct or a rule call from text[i] == '{'.
bool RuleCompiler::ParseBraces(const char* text, int length, int& i, Transition& tr,
                               bool& lookAhead) {
    int close = FindClosing(text, length, i, '{', '}');
    if (close < 0) {
        table.SetError(patmsg::kBraceMismatch, static_cast<long>(ruleId));
        return false;
    }
    const char* inner = text + i + 1;
    int innerLength = close - i - 1;
    i = close + 1;
    lookAhead = innerLength > 0 && inner[0] == '?';
    if (lookAhead) {
        tr.condition.reset(new (std::nothrow) Condition);
        Condition* cond = tr.condition.get();
        if (cond == nullptr) {
            table.SetError(patmsg::kMallocError, static_cast<long>(ruleId));
            return false;
        }
        tr.kind = kTransCondition;
        char kind = innerLength > 1 ? inner[1] : 0;
        if (kind == '=' || kind == '>') {
            if (innerLength < 3) {
                table.SetError(patmsg::kLookAheadEmpty, static_cast<long>(ruleId));
                return false;
            }
            cond->type = kind == '=' ? kCondBeforeText : kCondThroughText;
            cond->text.Assign(inner + 2, innerLength - 2);
            return true;
        }
        if (kind == '[') {
            int j = 1;
            if (!ParseSet(inner, innerLength, j, *cond)) return false;
            if (j < innerLength) {
                OTSTR rest(inner + j, innerLength - j);
                table.SetError(patmsg::kLookAheadExtra, static_cast<long>(ruleId),
                               rest.GetBuffer(0));
                return false;
            }
            cond->type = cond->type == kCondNotSet ? kCondUpToNotSet : kCondUpToSet;
            return true;
        }
        table.SetError(patmsg::kLookAheadKind, static_cast<long>(ruleId));
        return false;
    }

    // A call of a named rule, with an optional parameter slot after a blank.
    OTSTR call(inner, innerLength);
    call.TrimLeft();
    call.TrimRight();
    int blank = call.Find(' ', 0);
    OTSTR name = blank < 0 ? call : call.Left(blank);
    tr.kind = kTransCall;
    if (blank >= 0) {
        OTSTR slot = call.Mid(blank + 1);
        int32_t value = 0;
        if (!slot.ToLong(value, 10)) {
            table.SetError(patmsg::kParamIdError, static_cast<long>(ruleId), name.GetBuffer(0));
            return false;
        }
        int16_t id = static_cast<int16_t>(value);
        if (id < 0 || id > 10) {
            table.SetError(patmsg::kParamRange, static_cast<long>(ruleId), name.GetBuffer(0), 10);
            return false;
        }
        tr.paramId = id;
    }
    tr.target = table.FindRuleByName(name.GetBuffer(0));
    if (tr.target == nullptr) {
        table.SetError(patmsg::kSubRuleMissing, static_cast<long>(ruleId), name.GetBuffer(0));
        return false;
    }
    return true;
}

State* RuleCompiler::CompileSequence(const char* text, int length, int depth) {
    if (depth > kMaxNesting) {
        table.SetError(patmsg::kMallocError, static_cast<long>(ruleId));
        return nullptr;
    }
    State* start = table.NewState(ruleId);
    if (start == nullptr) return nullptr;
    ObArrayOf<State> alternatives(4);
    alternatives.Add(start);
    State* current = start;

    int i = 0;
    while (i < length) {
        char c = text[i];
        if (c == '|') {
            current = table.NewState(ruleId);
            if (current == nullptr) return nullptr;
            alternatives.Add(current);
            ++i;
            continue;
        }
        if (c == '*' || c == '+' || c == '?') {
            OTSTR rest(text + i, length - i);
            table.SetError(patmsg::kHeadError, rest.GetBuffer(0));
            return nullptr;
        }

        Transition* tr = new (std::nothrow) Transition;
        if (tr == nullptr) {
            table.SetError(patmsg::kMallocError, static_cast<long>(ruleId));
            return nullptr;
        }
        bool ok = true;
        bool takesRepeat = true;
        if (c == '(') {
            int close = FindClosing(text, length, i, '(', ')');
            if (close < 0) {
                table.SetError(patmsg::kParenMismatch, static_cast<long>(ruleId));
                ok = false;
            } else {
                tr->kind = kTransCall;
                tr->target = CompileSequence(text + i + 1, close - i - 1, depth + 1);
                ok = tr->target != nullptr;
                i = close + 1;
            }
        } else if (c == '{') {
            bool lookAhead = false;
            ok = ParseBraces(text, length, i, *tr, lookAhead);
            takesRepeat = !lookAhead;
        } else {
            tr->condition.reset(new (std::nothrow) Condition);
            if (tr->condition == nullptr) {
                table.SetError(patmsg::kMallocError, static_cast<long>(ruleId));
                ok = false;
            } else if (c == '\\') {
                ok = ParseEscape(text, length, i, *tr->condition);
            } else if (c == '[') {
                ok = ParseSet(text, length, i, *tr->condition);
            } else {
                Condition& cond = *tr->condition;
                if (c == '^') {
                    cond.type = kCondLineBegin;
                } else if (c == '$') {
                    cond.type = kCondLineEnd;
                } else {
                    cond.type = kCondChar;
                    cond.ch = static_cast<unsigned char>(c);
                }
                ++i;
            }
        }
        if (ok && takesRepeat) ok = ParseRepeat(text, length, i, tr->repeat);
        State* next = ok ? table.NewState(ruleId) : nullptr;
        if (next == nullptr) {
            delete tr;
            return nullptr;
        }
        if (tr->condition != nullptr) {
            int32_t type = tr->condition->type;
            if (type == kCondLineBegin || type == kCondLineEnd) table.hasLineAnchors = true;
            if (type == kCondWordBoundary || type == kCondNotBoundary) table.hasWordAnchors = true;
        }
        tr->owner = current;
        tr->next = next;
        int before = current->transitions.GetSize();
        if (current->transitions.Add(tr) == before) {
            delete tr;
            table.SetError(patmsg::kAddTransition, static_cast<long>(ruleId));
            return nullptr;
        }
        current = next;
    }

    if (alternatives.GetSize() == 1) return start;
    State* root = table.NewState(ruleId);
    if (root == nullptr) return nullptr;
    for (int a = 0; a < alternatives.GetSize(); ++a) {
        State* alt = alternatives.GetAt(a);
        if (alt->IsEnd()) continue;
        Transition* branch = new (std::nothrow) Transition;
        if (branch == nullptr) {
            table.SetError(patmsg::kMallocError, static_cast<long>(ruleId));
            return nullptr;
        }
        branch->kind = kTransBranch;
        branch->owner = root;
        branch->next = alt;
        int before = root->transitions.GetSize();
        if (root->transitions.Add(branch) == before) {
            delete branch;
            table.SetError(patmsg::kAddTransition, static_cast<long>(ruleId));
            return nullptr;
        }
    }
    return root;
}
