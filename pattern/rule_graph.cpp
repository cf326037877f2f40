// States of the compiled rule graph.
#include "pattern/rule_graph.h"

namespace {
int32_t g_nextStateId = 1;
}

State::State() : id(g_nextStateId++) {}

State::~State() {
    for (int i = 0; i < transitions.GetSize(); ++i) delete At(i);
}

namespace {

// Deeper chains of optional elements are taken as "any byte" rather than
// followed further.
constexpr int kMaxFirstDepth = 400;

void Merge(FirstBytes& into, const FirstBytes& from) {
    into.any = into.any || from.any;
    for (int i = 0; i < 32; ++i) into.bits[i] |= from.bits[i];
}

}  // namespace

void State::WorkOutFirst(int depth) {
    first = FirstBytes();
    first.known = true;
    if (IsEnd()) {
        first.nullable = true;
        return;
    }
    if (depth > kMaxFirstDepth) {
        first.any = true;
        return;
    }
    auto firstOf = [depth](State* s) -> const FirstBytes& {
        if (!s->first.known) s->WorkOutFirst(depth + 1);
        return s->first;
    };
    for (int i = 0; i < Count() && !first.any; ++i) {
        const Transition* t = At(i);
        bool passThrough = t->repeat.min == 0;  // the element may be left out
        if (t->kind == kTransBranch) {
            const FirstBytes& f = firstOf(t->next);
            Merge(first, f);
            first.nullable = first.nullable || f.nullable;
            continue;
        }
        if (t->kind == kTransCall) {
            const FirstBytes& f = firstOf(t->target);
            Merge(first, f);
            passThrough = passThrough || f.nullable;
        } else {
            const Condition& c = *t->condition;
            switch (c.type) {
                case kCondChar:
                    first.bits[c.ch >> 3] |= static_cast<uint8_t>(1u << (c.ch & 7));
                    break;
                case kCondAnyButNewline:
                case kCondSet:
                case kCondNotSet:
                    for (int b = 0; b < 256; ++b) {
                        bool in = c.type == kCondAnyButNewline ? (b != '\n' && b != '\r')
                                  : c.type == kCondSet         ? c.set[b]
                                                               : !c.set[b];
                        if (in) first.bits[b >> 3] |= static_cast<uint8_t>(1u << (b & 7));
                    }
                    break;
                default:
                    first.any = true;
                    break;
            }
        }
        if (passThrough) {
            const FirstBytes& f = firstOf(t->next);
            Merge(first, f);
            first.nullable = first.nullable || f.nullable;
        }
    }
}
