// ScriptLexer: the lexer of protocol scripts and expressions. A Lex bound to
// the script token rules, with keywords, a one-token look-ahead cache and the
// file it was loaded from. Tested by pattern/script_lexer_test.cpp.
#pragma once

#include <cstdint>

#include "pattern/lex.h"
#include "pattern/text_file.h"

class ScriptLexer : public Lex {
  public:
    // Binds the script token rules: overlap off, unmatched bytes returned,
    // case-sensitive matching.
    ScriptLexer();

    // Reads the file whole (mode "r" with textMode, else "rb") and lexes it.
    bool LoadFile(const char* name, bool textMode);

    const char* GetFileName() const override { return file.GetFileName().GetBuffer(0); }
    const char* GetDirectory() const override { return file.GetDirectory().GetBuffer(0); }
    const char* GetFullPath() const override { return file.GetFullPath().GetBuffer(0); }

    void Reset(bool full) override;
    // A token with keywords recognised (compound keywords joined); 1 a
    // token, 0 the end, -1 an error. With peek the token is cached.
    int GetNextToken(Token& token, bool peek) override;
    // As GetNextToken, skipping comments; with the flag kLineComments a line
    // comment is returned without its "//" and blanks.
    static constexpr int kLineComments = 2;
    int GetToken(Token& token, int flags, bool peek);
    // The next token that is not a comment (unless id asks for comments)
    // must have the id; on failure the position is set back.
    bool ExpectKind(Token& token, int32_t id);
    // The next token that is not a comment must have the text.
    bool ExpectText(Token& token, const char* text, bool caseSensitive);
    // The raw text up to the right operator that balances left; see the
    // cached-token rule in the source.
    bool Fetch_string(const char* left, const char* right, bool stripOperators, OTSTR& out);

    // While a token is cached, the position of that token.
    SourcePos GetLocation() const override;
    bool setLocation(const SourcePos& position) override;

    bool HasCachedToken() const { return cached; }
    // The last line comment that GetToken passed over (stripped of its
    // "//" and blanks), or null: a comment that ended a construct can still
    // be attached to it after a look-ahead skipped it.
    const Token* LastSkippedComment() const { return hasSkipped ? &skipped : nullptr; }
    // Moves the position n bytes on (counting lines), dropping the cache;
    // the end of the text is a valid place to stand.
    void Skip(int32_t n);

  private:
    int ReadWithKeywords(Token& token);
    static void StripLineComment(Token& token);

    TextFile file;
    bool cached = false;
    bool hasSkipped = false;
    Token skipped;
    Token cache;
};
