// Lex: runs the rules of a RuleTable over a text buffer and hands out tokens.
// Every possible way through the rule graphs is a MatchPattern; all of them
// advance together one input code at a time, and their order in the active
// list is their priority. Tested by pattern/lex_test.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "base/ob_array.h"
#include "base/object_pool.h"
#include "base/otstr.h"
#include "pattern/match_pattern.h"
#include "pattern/source_pos.h"
#include "pattern/token.h"

class RuleTable;

class Lex {
  public:
    Lex();
    virtual ~Lex();
    Lex(const Lex&) = delete;
    Lex& operator=(const Lex&) = delete;

    // Names of the text being read; a plain Lex reads an anonymous buffer.
    virtual const char* GetFileName() const { return ""; }
    virtual const char* GetDirectory() const { return ""; }
    virtual const char* GetFullPath() const { return ""; }

    // Back to the start of the buffer (offset, line and column 0), error and
    // pending results dropped; with full also the buffer detached.
    virtual void Reset(bool full);
    // 1 a token, 0 end of buffer, -1 error (token id -1). requestedId > 0
    // looks for that rule only; with peek the token is not consumed.
    virtual int GetNextToken(Token& token, int32_t requestedId, bool peek);
    virtual int GetNextToken(Token& token, bool peek) { return GetNextToken(token, -1, peek); }
    // The next match of rule id, skipping any text before it. On failure the
    // position stays where it was.
    virtual bool get_specific_token(Token& token, int32_t id);
    virtual SourcePos GetLocation() const { return pos; }
    virtual bool setLocation(const SourcePos& position);

    // Binds the table (not owned) and drops pending results.
    void SetRuleTable(RuleTable* table);
    // Reset(true), then reads text in place (length -1: up to the zero
    // byte); the caller keeps the text alive.
    void SetBuffer(const char* text, int32_t length = -1);

    // Reads raw text from the current position up to the right operator that
    // balances it, by the first character of each operator text.
    bool Fetch_string(const char* left, const char* right, bool mustStartWithLeft,
                      bool stripOperators, OTSTR& out);

    void SetFastLookAhead(bool on) { fastLookAhead = on; }
    void SetReturnUnMatchContent(bool on) { m_bReturnUnMatchContent = on; }
    void SetOverlapMatch(bool on);
    void SetCaseSensitive(bool on) { caseSensitive = on; }
    void SetBoundaryByCode(bool on) { boundaryByCode = on; }
    bool IsOverlapMatch() const { return overlapMatch; }
    bool IsReturnUnMatchContent() const { return m_bReturnUnMatchContent; }
    RuleTable* GetRuleTable() const { return table; }
    bool IsCaseSensitive() const { return caseSensitive; }

    const OTSTR& GetLastError() const { return lastError; }
    // Readers built on the lexer (the expression parser's operand reader)
    // leave their messages here too.
    void SetLastError(const char* text) { lastError = text; }
    const char* GetBuffer() const { return buffer; }
    int32_t GetBufferLength() const { return bufferLength; }
    // Records taken from the pool and not yet returned (for tests).
    int ActivePatternCount() const { return pool.GetActiveCount(); }

    // Ways kept at one time before the matcher gives up on a rule table.
    static constexpr int kMaxActive = 100000;

  protected:
    // Moves the position to offset, counting the lines passed.
    void AdvanceTo(int32_t offset);
    void DropResults();

    SourcePos pos;
    OTSTR lastError;

  private:
    using PatternList = std::vector<MatchPattern*>;

    MatchPattern* NewPattern();
    MatchPattern* Clone(MatchPattern* p, PatternList& out);
    void Release(PatternList& list);
    // Record the message (Fail) and park p, dead, in out so that it returns
    // to the pool with the rest of the run. Both return false.
    bool Fail(MatchPattern* p, PatternList& out, const char* message);
    bool Park(MatchPattern* p, PatternList& out);

    // The way p reached state s (in its top frame); p or its copies land in
    // out. seeCode >= 0 hands the code just looked at to the conditions met.
    bool MoveTo(MatchPattern* p, State* s, int32_t seeCode, PatternList& out);
    bool Enter(MatchPattern* p, Transition* t, int32_t seeCode, PatternList& out);
    bool EndOfGraph(MatchPattern* p, int32_t seeCode, PatternList& out);
    bool Repeated(MatchPattern* p, int32_t seeCode, PatternList& out);
    bool Again(MatchPattern* p, int32_t seeCode, PatternList& out);
    bool MoveOn(MatchPattern* p, int32_t seeCode, PatternList& out);
    bool Advance(MatchPattern* p, int32_t code, PatternList& out);
    bool LookAhead(MatchPattern* p, const Condition& cond, int32_t code, PatternList& out);
    bool Matches(const Condition& cond, int32_t code) const;
    bool InSet(const Condition& cond, int32_t code) const;
    bool TextAt(int32_t offset, const OTSTR& text) const;

    bool StartRule(State* start, int32_t id);
    bool Step(int32_t code);
    bool Run(int32_t from);
    void SkipAhead(int32_t& p);
    void RemoveDuplicates();
    void CollectResults(bool ok);
    bool Scan(int32_t requestedId);
    void FillToken(Token& token, const MatchPattern& m);
    bool IsWordByte(unsigned char c) const;

    ObjectPool_<MatchPattern> pool{10};
    const char* buffer = nullptr;
    int32_t bufferLength = 0;
    RuleTable* table = nullptr;
    bool fastLookAhead = true;
    bool m_bReturnUnMatchContent = true;
    bool overlapMatch = false;
    bool caseSensitive = true;
    bool boundaryByCode = true;
    ObArrayOf<MatchPattern> results{100};

    // Working memory of a run, kept between runs.
    PatternList active;
    PatternList next;
    std::vector<int32_t> dedupSlots;
    int32_t running = 0;      // running ways in the active list
    int32_t expandDepth = 0;  // nesting of MoveTo, bounded against runaway rules
    int32_t upcoming = -1;    // the next byte new ways will read, -1 unknown
};
