// MatchPattern: the state of one way through a rule graph.
// Tested through pattern/lex_test.cpp.
#include "pattern/match_pattern.h"

#include "base/tracer.h"
#include "pattern/pattern_messages.h"

void MatchPattern::Start(int32_t ruleId, int32_t offset) {
    state = kRunning;
    id = ruleId;
    start = offset;
    length = 0;
    depth = 1;
    paramCount = 0;
    frames[0] = MatchFrame();
    for (ParamSpan& p : params) p = ParamSpan();
}

void MatchPattern::CopyFrom(const MatchPattern& other) {
    state = other.state;
    id = other.id;
    start = other.start;
    length = other.length;
    depth = other.depth;
    paramCount = other.paramCount;
    for (int i = 0; i < depth; ++i) frames[i] = other.frames[i];
    for (int i = 0; i < kMaxParams; ++i) params[i] = other.params[i];
}

bool MatchPattern::Push() {
    if (depth >= kMaxFrames) {
        TraceText(patmsg::kPushOverflow);
        return false;
    }
    frames[depth++] = MatchFrame();
    return true;
}

bool MatchPattern::Pop() {
    if (depth <= 1) {
        TraceText(patmsg::kPopEmpty);
        return false;
    }
    --depth;
    return true;
}

namespace {

// What of a frame can still make a difference to the way from here on.
// Repetitions of an unbounded repeat beyond its minimum all count alike, and
// of where the current repetition began only whether it has consumed
// anything matters; the element start matters for captures at the outermost
// level and for the look-ahead that counts what it consumed.
struct FrameKey {
    const Transition* trans;
    int32_t count;
    int32_t target;
    int32_t elemStart;
    bool consumed;
};

FrameKey KeyOf(const MatchFrame& f, int level, int32_t length) {
    FrameKey key{f.trans, f.count, f.target, -1, f.repStart != length};
    if (const Transition* t = f.trans) {
        if (t->repeat.max == kRepeatUnbounded && f.count > t->repeat.min) key.count = t->repeat.min;
        bool outerCall = level == 0 && t->kind == kTransCall;
        bool through = t->condition != nullptr && t->condition->type == kCondThroughText;
        if (outerCall || through) key.elemStart = f.elemStart;
    }
    return key;
}

}  // namespace

bool MatchPattern::SameAs(const MatchPattern& o) const {
    if (state != o.state || id != o.id || length != o.length || depth != o.depth ||
        paramCount != o.paramCount)
        return false;
    for (int i = 0; i < depth; ++i) {
        FrameKey a = KeyOf(frames[i], i, length);
        FrameKey b = KeyOf(o.frames[i], i, o.length);
        if (a.trans != b.trans || a.count != b.count || a.target != b.target ||
            a.elemStart != b.elemStart || a.consumed != b.consumed)
            return false;
    }
    for (int i = 0; i < kMaxParams; ++i) {
        if (params[i].start != o.params[i].start || params[i].length != o.params[i].length)
            return false;
    }
    return true;
}

uint32_t MatchPattern::Hash() const {
    uint32_t h = 2166136261u;
    auto mix = [&h](uint32_t v) { h = (h ^ v) * 16777619u; };
    mix(static_cast<uint32_t>(state));
    mix(static_cast<uint32_t>(length));
    mix(static_cast<uint32_t>(depth));
    for (int i = 0; i < depth; ++i) {
        FrameKey key = KeyOf(frames[i], i, length);
        mix(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key.trans)));
        mix(static_cast<uint32_t>(key.count));
        mix(static_cast<uint32_t>(key.elemStart));
        mix(key.consumed ? 1u : 0u);
    }
    for (const ParamSpan& p : params)
        mix(static_cast<uint32_t>(p.start) ^ (static_cast<uint32_t>(p.length) << 16));
    return h;
}
