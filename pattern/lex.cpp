// The matching engine: presents the input to the ways through the rule
// graphs, keeps them in priority order and hands out tokens.
// Tested by pattern/lex_test.cpp.
#include "pattern/lex.h"

#include <cstring>

#include "base/tracer.h"
#include "pattern/pattern_messages.h"
#include "pattern/rule_table.h"

namespace {

// Serial numbers of the ways taken from any pool.
int32_t g_nextSerial = 100;

// MoveTo calls nest once per optional element skipped in a row; a rule with
// thousands of them in a row is refused (patmsg::kSkipTooDeep, which names
// the number) instead of exhausting the stack.
constexpr int kMaxExpandDepth = 2000;

int OtherCase(int c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 'A' && c <= 'Z') return c + 32;
    return c;
}

int FoldCase(int c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

}  // namespace

Lex::Lex() {
    pos.Set("", 0, 0, 0);
    active.reserve(64);
    next.reserve(64);
}

Lex::~Lex() {
    DropResults();
    Release(active);
}

// ---------------------------------------------------------------- set-up

void Lex::DropResults() {
    while (results.GetSize() > 0) pool.Put(results.RemoveLast());
}

void Lex::Release(PatternList& list) {
    for (MatchPattern* p : list) pool.Put(p);
    list.clear();
}

void Lex::Reset(bool full) {
    pos.offset = pos.line = pos.column = 0;
    lastError.Empty();
    DropResults();
    if (full) {
        buffer = nullptr;
        bufferLength = 0;
    }
}

void Lex::SetRuleTable(RuleTable* newTable) {
    table = newTable;
    DropResults();
}

void Lex::SetBuffer(const char* text, int32_t length) {
    Reset(true);
    buffer = text;
    if (text != nullptr) bufferLength = length < 0 ? static_cast<int32_t>(strlen(text)) : length;
}

void Lex::SetOverlapMatch(bool on) {
    if (on != overlapMatch) DropResults();
    overlapMatch = on;
}

bool Lex::setLocation(const SourcePos& position) {
    if (position.offset < 0 || position.offset >= bufferLength) {
        lastError = patmsg::kLocationRange;
        return false;
    }
    DropResults();
    pos.Set(position.fileName.GetBuffer(0), position.offset, position.line, position.column);
    return true;
}

void Lex::AdvanceTo(int32_t offset) {
    if (offset > bufferLength) offset = bufferLength;
    for (int32_t i = pos.offset; i < offset; ++i) {
        if (buffer[i] == '\n') {
            ++pos.line;
            pos.column = 0;
        } else {
            ++pos.column;
        }
    }
    if (offset > pos.offset) pos.offset = offset;
}

// ---------------------------------------------------------------- ways

MatchPattern* Lex::NewPattern() {
    if (pool.GetActiveCount() >= kMaxActive) return nullptr;
    MatchPattern* p = pool.Get();
    if (p != nullptr) p->serial = g_nextSerial++;
    return p;
}

MatchPattern* Lex::Clone(MatchPattern* p, PatternList& out) {
    MatchPattern* copy = NewPattern();
    if (copy == nullptr) {
        Fail(p, out, patmsg::kNewPatternFail);
        return nullptr;
    }
    copy->CopyFrom(*p);
    return copy;
}

bool Lex::Fail(MatchPattern* p, PatternList& out, const char* message) {
    lastError = message;
    return Park(p, out);
}

bool Lex::Park(MatchPattern* p, PatternList& out) {
    if (p != nullptr) {
        p->state = MatchPattern::kDead;
        out.push_back(p);
    }
    return false;
}

bool Lex::MoveTo(MatchPattern* p, State* s, int32_t seeCode, PatternList& out) {
    if (s->IsEnd()) return EndOfGraph(p, seeCode, out);
    if (expandDepth >= kMaxExpandDepth) return Fail(p, out, patmsg::kSkipTooDeep);
    ++expandDepth;

    // Each transition is entered by a way of its own, in the state's order;
    // an optional one is also skipped, after the entering way when greedy and
    // before it when lazy. The last of these ways is p itself. An
    // alternative that cannot begin with the byte to come is not worth a way.
    auto hopeless = [this, seeCode](const Transition* t) {
        if (t->kind != kTransBranch || seeCode >= 0 || upcoming < 0) return false;
        const FirstBytes& first = t->next->First();
        return !first.nullable && !first.Has(upcoming) &&
               (caseSensitive || !first.Has(OtherCase(upcoming)));
    };
    int actions = 0;
    for (int i = 0; i < s->Count(); ++i) {
        const Transition* t = s->At(i);
        if (hopeless(t)) continue;
        actions += (t->kind != kTransBranch && t->repeat.min == 0) ? 2 : 1;
    }
    if (actions == 0) {
        --expandDepth;
        p->state = MatchPattern::kDead;
        pool.Put(p);
        return true;
    }
    bool ok = true;
    int done = 0;
    for (int i = 0; ok && i < s->Count(); ++i) {
        Transition* t = s->At(i);
        if (hopeless(t)) continue;
        bool optional = t->kind != kTransBranch && t->repeat.min == 0;
        for (int step = 0; ok && step < (optional ? 2 : 1); ++step) {
            bool skip = optional && ((step == 1) == t->repeat.greedy);
            MatchPattern* way = p;
            if (++done < actions) {
                way = Clone(p, out);
                if (way == nullptr) {
                    ok = false;
                    p = nullptr;  // Clone parked it
                    break;
                }
            }
            MatchFrame& top = way->Top();
            top.state = s;
            top.trans = t;
            top.count = 0;
            top.elemStart = top.repStart = way->length;
            top.target = -1;
            ok = skip ? MoveTo(way, t->next, seeCode, out) : Enter(way, t, seeCode, out);
        }
    }
    if (!ok && p != nullptr && done < actions) Park(p, out);
    --expandDepth;
    return ok;
}

bool Lex::Enter(MatchPattern* p, Transition* t, int32_t seeCode, PatternList& out) {
    switch (t->kind) {
        case kTransBranch:
            return MoveTo(p, t->next, seeCode, out);
        case kTransCall: {
            MatchFrame& top = p->Top();
            if (t->paramId >= 0 && top.count == 0 && table->HasParamIds()) {
                ParamSpan& slot = p->params[t->paramId];
                if (slot.start >= 0) {
                    OTSTR text;
                    text.Format(patmsg::kParamStart, t->paramId);
                    return Fail(p, out, text.GetBuffer(0));
                }
                slot.start = p->length;
            }
            top.repStart = p->length;
            if (!p->Push()) return Fail(p, out, patmsg::kPushOverflow);
            p->Top().state = t->target;
            return MoveTo(p, t->target, seeCode, out);
        }
        default:
            if (seeCode >= 0) return Advance(p, seeCode, out);
            out.push_back(p);
            return true;
    }
}

bool Lex::EndOfGraph(MatchPattern* p, int32_t seeCode, PatternList& out) {
    if (p->depth <= 1) {
        p->state = MatchPattern::kComplete;
        out.push_back(p);
        return true;
    }
    if (!p->Pop()) return Fail(p, out, patmsg::kPopEmpty);
    MatchFrame& top = p->Top();
    if (top.trans == nullptr) return Fail(p, out, patmsg::kTransitionError);
    ++top.count;
    return Repeated(p, seeCode, out);
}

// The transition of p's top frame has just been matched once more.
bool Lex::Repeated(MatchPattern* p, int32_t seeCode, PatternList& out) {
    MatchFrame& top = p->Top();
    const Transition* t = top.trans;
    // A call that matched nothing would match nothing again: it is done.
    bool empty = t->kind == kTransCall && p->length == top.repStart;
    if (top.count >= t->repeat.max || empty) return MoveOn(p, seeCode, out);
    if (top.count < t->repeat.min) return Again(p, seeCode, out);
    MatchPattern* copy = Clone(p, out);
    if (copy == nullptr) return false;
    if (t->repeat.greedy) {
        if (!Again(p, seeCode, out)) return Park(copy, out);
        return MoveOn(copy, seeCode, out);
    }
    if (!MoveOn(copy, seeCode, out)) return Park(p, out);
    return Again(p, seeCode, out);
}

bool Lex::Again(MatchPattern* p, int32_t seeCode, PatternList& out) {
    Transition* t = p->Top().trans;
    if (t->kind == kTransCall) return Enter(p, t, seeCode, out);
    out.push_back(p);
    return true;
}

bool Lex::MoveOn(MatchPattern* p, int32_t seeCode, PatternList& out) {
    MatchFrame& top = p->Top();
    const Transition* t = top.trans;
    if (t->kind == kTransCall) {
        if (table->HasParamIds()) {
            if (t->paramId >= 0) {
                ParamSpan& slot = p->params[t->paramId];
                if (slot.start < 0 || slot.length >= 0) {
                    OTSTR text;
                    text.Format(patmsg::kParamLength, t->paramId);
                    return Fail(p, out, text.GetBuffer(0));
                }
                slot.length = p->length - slot.start;
            }
        } else if (p->depth == 1) {
            if (p->paramCount >= kMaxParams) return Fail(p, out, patmsg::kParamOverflow);
            ParamSpan& slot = p->params[p->paramCount++];
            slot.start = top.elemStart;
            slot.length = p->length - top.elemStart;
        }
    }
    return MoveTo(p, t->next, seeCode, out);
}

// ---------------------------------------------------------------- conditions

bool Lex::InSet(const Condition& cond, int32_t code) const {
    if (code < 0 || code > 255) return false;
    if (cond.set[code]) return true;
    return !caseSensitive && cond.set[OtherCase(code)];
}

bool Lex::Matches(const Condition& cond, int32_t code) const {
    switch (cond.type) {
        case kCondLineBegin:
        case kCondLineEnd:
        case kCondWordBoundary:
        case kCondNotBoundary:
            return code == cond.type;
        case kCondChar:
            return code == cond.ch || (!caseSensitive && code < 256 && OtherCase(code) == cond.ch);
        case kCondAnyButNewline:
            return code < 256 && code != '\n' && code != '\r';
        case kCondSet:
            return InSet(cond, code);
        case kCondNotSet:
            return code == kCodeEndOfInput || (code < 256 && !InSet(cond, code));
        default:
            return false;
    }
}

// Whether the buffer holds text at offset.
bool Lex::TextAt(int32_t offset, const OTSTR& text) const {
    int32_t n = text.GetLength();
    if (offset < 0 || n > bufferLength - offset) return false;
    const char* t = text.GetBuffer(0);
    if (caseSensitive) return memcmp(buffer + offset, t, n) == 0;
    for (int32_t i = 0; i < n; ++i) {
        if (FoldCase(static_cast<unsigned char>(buffer[offset + i])) !=
            FoldCase(static_cast<unsigned char>(t[i])))
            return false;
    }
    return true;
}

bool Lex::LookAhead(MatchPattern* p, const Condition& cond, int32_t code, PatternList& out) {
    MatchFrame& top = p->Top();
    State* following = top.trans->next;
    if (IsPositionCode(code)) {
        out.push_back(p);
        return true;
    }
    int32_t offset = p->start + p->length;
    bool fast = fastLookAhead && caseSensitive;
    switch (cond.type) {
        case kCondUpToSet:
        case kCondUpToNotSet: {
            bool inSet = InSet(cond, code);
            bool stop = cond.type == kCondUpToSet ? inSet : (code == kCodeEndOfInput || !inSet);
            if (stop) return MoveTo(p, following, code, out);
            if (code == kCodeEndOfInput) break;  // dies
            ++p->length;
            out.push_back(p);
            return true;
        }
        case kCondBeforeText: {
            if (code == kCodeEndOfInput) break;
            bool here;
            if (fast) {
                if (top.target < 0) {
                    top.target = OTSTR::FindWildcard(buffer, bufferLength, cond.text.GetBuffer(0),
                                                     cond.text.GetLength(), offset);
                    if (top.target < 0) break;
                }
                here = offset >= top.target;
            } else {
                here = TextAt(offset, cond.text);
            }
            if (here) return MoveTo(p, following, code, out);
            ++p->length;
            out.push_back(p);
            return true;
        }
        case kCondThroughText: {
            if (code == kCodeEndOfInput) break;
            int32_t n = cond.text.GetLength();
            bool done;
            if (fast) {
                if (top.target < 0) {
                    int32_t found = OTSTR::FindWildcard(buffer, bufferLength,
                                                        cond.text.GetBuffer(0), n, offset);
                    if (found < 0) break;
                    top.target = found + n;
                }
                ++p->length;
                done = offset + 1 >= top.target;
            } else {
                ++p->length;
                done = p->length - top.elemStart >= n && TextAt(offset + 1 - n, cond.text);
            }
            if (done) return MoveTo(p, following, -1, out);
            out.push_back(p);
            return true;
        }
    }
    p->state = MatchPattern::kDead;
    pool.Put(p);
    return true;
}

// Advances p, waiting at a condition, by one presented code.
bool Lex::Advance(MatchPattern* p, int32_t code, PatternList& out) {
    if (p->depth < 1) return Fail(p, out, patmsg::kGetTopFail);
    MatchFrame& top = p->Top();
    Transition* t = top.trans;
    if (t == nullptr) return Fail(p, out, patmsg::kTransitionError);
    if (t->kind != kTransCondition || t->condition == nullptr)
        return Fail(p, out, patmsg::kTransitionType);
    const Condition& cond = *t->condition;
    if (cond.type >= kCondUpToSet) return LookAhead(p, cond, code, out);

    if (Matches(cond, code)) {
        if (code < kCodeEndOfInput) ++p->length;
        ++top.count;
        return Repeated(p, -1, out);
    }
    if (IsPositionCode(code)) {
        out.push_back(p);
        return true;
    }
    p->state = MatchPattern::kDead;
    pool.Put(p);
    return true;
}

// ---------------------------------------------------------------- runs

bool Lex::StartRule(State* start, int32_t id) {
    MatchPattern* p = NewPattern();
    if (p == nullptr) {
        lastError = patmsg::kNewPatternFail;
        return false;
    }
    p->Start(id, pos.offset);
    p->frames[0].state = start;
    expandDepth = 0;
    upcoming = static_cast<unsigned char>(buffer[pos.offset]);
    size_t before = active.size();
    if (!MoveTo(p, start, -1, active)) return false;
    // Ways that are complete before reading anything matched nothing.
    size_t keep = before;
    for (size_t i = before; i < active.size(); ++i) {
        MatchPattern* way = active[i];
        if (way->state == MatchPattern::kComplete && way->length == 0) {
            pool.Put(way);
        } else {
            active[keep++] = way;
        }
    }
    active.resize(keep);
    return true;
}

// One code presented to every running way, in priority order.
bool Lex::Step(int32_t code) {
    next.clear();
    for (size_t i = 0; i < active.size(); ++i) {
        MatchPattern* p = active[i];
        if (p->state != MatchPattern::kRunning) {
            next.push_back(p);
            continue;
        }
        expandDepth = 0;
        if (!Advance(p, code, next)) {
            for (size_t j = i + 1; j < active.size(); ++j) next.push_back(active[j]);
            active.swap(next);
            next.clear();
            return false;
        }
    }
    active.swap(next);
    next.clear();

    // Drop complete ways of length 0; outside overlap mode nothing behind the
    // first complete way can become the result any more.
    size_t keep = 0;
    bool cut = false;
    running = 0;
    for (MatchPattern* p : active) {
        if (cut || (p->state == MatchPattern::kComplete && p->length == 0)) {
            pool.Put(p);
            continue;
        }
        active[keep++] = p;
        if (p->state == MatchPattern::kRunning) ++running;
        if (p->state == MatchPattern::kComplete && !overlapMatch) cut = true;
    }
    active.resize(keep);
    if (active.size() > 64) RemoveDuplicates();
    return true;
}

// Ways that are alike in every respect behave alike from here on: only the
// first (highest priority) of them is kept. This keeps rules such as
// (a|a)* from doubling their ways with every byte.
void Lex::RemoveDuplicates() {
    size_t slots = 128;
    while (slots < active.size() * 2) slots *= 2;
    dedupSlots.assign(slots, -1);
    size_t keep = 0;
    running = 0;
    for (size_t i = 0; i < active.size(); ++i) {
        MatchPattern* p = active[i];
        size_t slot = p->Hash() & (slots - 1);
        bool duplicate = false;
        while (dedupSlots[slot] >= 0) {
            if (active[dedupSlots[slot]]->SameAs(*p)) {
                duplicate = true;
                break;
            }
            slot = (slot + 1) & (slots - 1);
        }
        if (duplicate) {
            pool.Put(p);
            continue;
        }
        dedupSlots[slot] = static_cast<int32_t>(keep);
        active[keep++] = p;
        if (p->state == MatchPattern::kRunning) ++running;
    }
    active.resize(keep);
}

bool Lex::IsWordByte(unsigned char c) const {
    if (boundaryByCode) return c > 32;
    return c >= 33 && c < 127;
}

// While one way runs alone towards a look-ahead text it has already found,
// the bytes before the text need not be presented one by one.
void Lex::SkipAhead(int32_t& p) {
    MatchPattern* way = nullptr;
    for (MatchPattern* m : active) {
        if (m->state == MatchPattern::kRunning) {
            way = m;
            break;
        }
    }
    if (way == nullptr) return;
    MatchFrame& top = way->Top();
    const Transition* t = top.trans;
    if (t == nullptr || t->kind != kTransCondition || t->condition == nullptr || top.target < 0)
        return;
    int32_t type = t->condition->type;
    int32_t stopAt;
    if (type == kCondBeforeText) {
        stopAt = top.target;
    } else if (type == kCondThroughText) {
        stopAt = top.target - 1;
    } else {
        return;
    }
    int32_t offset = way->start + way->length;
    if (offset != p + 1 || stopAt <= offset || stopAt > bufferLength) return;
    way->length += stopAt - offset;
    p = stopAt - 1;
}

// Presents the input from offset `from` to the ways of the active list.
bool Lex::Run(int32_t from) {
    const bool lines = table->HasLineAnchors();
    const bool words = table->HasWordAnchors();
    const bool fast = fastLookAhead && caseSensitive;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(buffer);
    running = 0;
    for (MatchPattern* m : active)
        if (m->state == MatchPattern::kRunning) ++running;

    int32_t codes[8];
    for (int32_t p = from; p <= bufferLength; ++p) {
        int n = 0;
        int byteIndex = -1;
        if (p < bufferLength) {
            unsigned char c = b[p];
            bool newline = c == '\n' || c == '\r';
            if (p == 0) {
                if (lines) codes[n++] = kCondLineBegin;
                if (words)
                    codes[n++] =
                        IsWordByte(' ') != IsWordByte(c) ? kCondWordBoundary : kCondNotBoundary;
                if (lines && newline) codes[n++] = kCondLineEnd;
            } else {
                unsigned char before = b[p - 1];
                if (lines && before == '\n') codes[n++] = kCondLineBegin;
                if (words)
                    codes[n++] =
                        IsWordByte(before) != IsWordByte(c) ? kCondWordBoundary : kCondNotBoundary;
                if (lines && before != '\n' && before != '\r' && newline) codes[n++] = kCondLineEnd;
            }
            byteIndex = n;
            codes[n++] = c;
            if (p == bufferLength - 1) {
                if (words)
                    codes[n++] =
                        IsWordByte(c) != IsWordByte(' ') ? kCondWordBoundary : kCondNotBoundary;
                if (lines) codes[n++] = kCondLineEnd;
            }
        } else {
            codes[n++] = kCodeEndOfInput;
        }
        for (int i = 0; i < n; ++i) {
            if (running == 0) return true;
            // The byte that the ways made by this step will see first.
            int32_t ahead = i < byteIndex ? p : p + 1;
            upcoming = ahead < bufferLength ? b[ahead] : -1;
            if (!Step(codes[i])) return false;
            if (!overlapMatch && !active.empty() &&
                active.front()->state == MatchPattern::kComplete)
                return true;
            if (i == byteIndex && fast && running == 1 && i == n - 1) SkipAhead(p);
        }
    }
    return true;
}

// Moves the complete ways of the active list to the results (none after a
// failed run) and returns the others to the pool.
void Lex::CollectResults(bool ok) {
    for (MatchPattern* p : active) {
        if (ok && p->state == MatchPattern::kComplete && results.Add(p) > 0) continue;
        pool.Put(p);
    }
    active.clear();
}

// Runs the rules at the current offset and leaves the complete ways in
// results.
bool Lex::Scan(int32_t requestedId) {
    DropResults();
    bool together = overlapMatch || requestedId > 0;
    const int byte = static_cast<unsigned char>(buffer[pos.offset]);
    bool ok = true;
    for (int r = 0; ok && r < table->RuleCount(); ++r) {
        int32_t id = 0;
        State* start = table->RuleAt(r, &id);
        if (requestedId > 0 ? id != requestedId : id >= kFirstCalledOnlyRule) continue;
        // A rule that cannot begin with this byte cannot match here.
        const FirstBytes& first = start->First();
        if (!first.Has(byte) && (caseSensitive || !first.Has(OtherCase(byte)))) continue;
        ok = StartRule(start, id);
        if (!ok || together) continue;
        ok = Run(pos.offset);
        CollectResults(ok);
        if (results.GetSize() > 0) break;
    }
    if (ok && together) ok = Run(pos.offset);
    CollectResults(ok);
    if (!ok) {
        DropResults();
        return false;
    }
    if (results.GetSize() == 0 && !together && m_bReturnUnMatchContent) {
        MatchPattern* p = NewPattern();
        if (p == nullptr) {
            lastError = patmsg::kNewPatternFail;
            return false;
        }
        p->Start(0, pos.offset);
        p->length = 1;
        p->state = MatchPattern::kComplete;
        results.Add(p);
    }
    return true;
}

// ---------------------------------------------------------------- tokens

void Lex::FillToken(Token& token, const MatchPattern& m) {
    token.id = m.id;
    token.text.Assign(buffer + m.start, m.length);
    token.pos.Set(pos.fileName.GetBuffer(0), pos.offset, pos.line, pos.column);
    token.length = m.length;
    token.paramCount = 0;
    for (int i = 0; i < kMaxParams; ++i) {
        token.params[i] = m.params[i];
        if (m.params[i].start >= 0 && m.params[i].length >= 0) ++token.paramCount;
    }
}

int Lex::GetNextToken(Token& token, int32_t requestedId, bool peek) {
    token.Clear();
    if (buffer == nullptr) {
        lastError = patmsg::kNoBuffer;
        return -1;
    }
    if (table == nullptr) {
        lastError = patmsg::kNoRules;
        return -1;
    }
    for (;;) {
        if (results.GetSize() == 0) {
            if (pos.offset >= bufferLength) {
                token.pos = pos;
                return 0;
            }
            if (!Scan(requestedId)) {
                token.id = -1;
                return -1;
            }
        }
        bool movedBySkip = false;
        MatchPattern* found = nullptr;
        while (results.GetSize() > 0) {
            MatchPattern* m = results.GetAt(0);
            if (m->id == 0 && !m_bReturnUnMatchContent) {
                pool.Put(results.RemoveAt(0));
                continue;
            }
            if (m->id < 1000 || m->id == requestedId) {
                found = m;
                break;
            }
            results.RemoveAt(0);
            if (!overlapMatch && results.GetSize() == 0) {
                AdvanceTo(m->start + m->length);
                movedBySkip = true;
            }
            pool.Put(m);
        }
        if (found != nullptr) {
            FillToken(token, *found);
            if (peek) return 1;
            results.RemoveAt(0);
            if (overlapMatch) {
                if (results.GetSize() == 0) AdvanceTo(found->start + 1);
            } else {
                AdvanceTo(found->start + found->length);
                DropResults();
            }
            pool.Put(found);
            return 1;
        }
        if (!movedBySkip) AdvanceTo(pos.offset + 1);
    }
}

bool Lex::get_specific_token(Token& token, int32_t id) {
    if (id < 1) {
        lastError = patmsg::kSpecificIllegalId;
        return false;
    }
    if (overlapMatch) {
        lastError = patmsg::kSpecificOverlap;
        return false;
    }
    DropResults();
    SourcePos start = pos;
    int r = GetNextToken(token, id, false);
    if (r == 1 && token.id == id) return true;
    if (r != -1) lastError = patmsg::kSpecificFail;
    pos = start;
    DropResults();
    return false;
}

bool Lex::Fetch_string(const char* left, const char* right, bool mustStartWithLeft,
                       bool stripOperators, OTSTR& out) {
    if (overlapMatch) {
        lastError = patmsg::kFetchOverlap;
        return false;
    }
    if (right == nullptr || right[0] == 0) {
        lastError = patmsg::kFetchNoRight;
        return false;
    }
    char l = left != nullptr ? left[0] : 0;
    char r = right[0];
    if (l == r) {
        lastError = patmsg::kFetchSame;
        return false;
    }
    if (buffer == nullptr) {
        lastError = patmsg::kNoBuffer;
        return false;
    }
    bool leftRequired = mustStartWithLeft && l != 0;
    int32_t depth = leftRequired ? 0 : 1;
    int32_t start = pos.offset;
    int32_t i = start;
    while (depth > 0 || i == start) {
        if (i >= bufferLength) {
            lastError = patmsg::kFetchEnd;
            return false;
        }
        char c = buffer[i];
        if (i == start && leftRequired && c != l) {
            lastError = patmsg::kFetchFirst;
            return false;
        }
        if (l != 0 && c == l) {
            ++depth;
        } else if (c == r) {
            --depth;
        }
        ++i;
    }
    int32_t from = start;
    int32_t to = i;
    if (stripOperators) {
        --to;
        if (leftRequired) ++from;
    }
    out.Assign(buffer + from, to - from);
    if (to == from) out.Empty();
    DropResults();
    AdvanceTo(i);
    return true;
}
