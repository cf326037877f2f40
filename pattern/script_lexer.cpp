// ScriptLexer: tokens of protocol scripts with keywords and a look-ahead
// cache. Tested by pattern/script_lexer_test.cpp.
#include "pattern/script_lexer.h"

#include <strings.h>

#include <cstring>

#include "pattern/pattern_messages.h"
#include "pattern/script_rules.h"

namespace {

// "failed to read the compound keyword" and "the identifier is not
// correct", kept in the GBK code page.
const char kCompoundReadFail[] =
    "%s  \xc8\xa1\xb5\xc3\xb8\xb4\xba\xcf\xb9\xd8\xbc\xfc\xb4\xca\xca\xa7\xb0\xdc";
const char kIdentNotCorrect[] = "%s  \xb1\xea\xca\xb6\xb7\xfb\xb2\xbb\xd5\xfd\xc8\xb7";

// Whether keyword starts with word followed by a blank, case ignored.
bool StartsCompound(const char* keyword, const OTSTR& word) {
    size_t n = static_cast<size_t>(word.GetLength());
    return n > 0 && strlen(keyword) > n && keyword[n] == ' ' &&
           strncasecmp(keyword, word.GetBuffer(0), n) == 0;
}

}  // namespace

ScriptLexer::ScriptLexer() {
    SetRuleTable(&ScriptRuleTable());
    SetOverlapMatch(false);
    SetReturnUnMatchContent(true);
    SetCaseSensitive(true);
}

bool ScriptLexer::LoadFile(const char* name, bool textMode) {
    cached = false;
    if (!file.Load(name, textMode)) {
        SetBuffer(nullptr);
        lastError = file.GetLastError();
        return false;
    }
    SetBuffer(file.GetData(), file.GetLength());
    pos.fileName = file.GetFullPath();
    return true;
}

void ScriptLexer::Reset(bool full) {
    cached = false;
    hasSkipped = false;
    Lex::Reset(full);
}

SourcePos ScriptLexer::GetLocation() const {
    return cached ? cache.pos : pos;
}

void ScriptLexer::Skip(int32_t n) {
    if (cached) {
        SourcePos at = cache.pos;
        cached = false;
        Lex::setLocation(at);
    }
    DropResults();
    if (n > 0) AdvanceTo(pos.offset + n);
}

bool ScriptLexer::setLocation(const SourcePos& position) {
    cached = false;
    return Lex::setLocation(position);
}

// Reads one token and turns identifiers that are keywords into keyword
// tokens, joining the two words of a compound keyword.
int ScriptLexer::ReadWithKeywords(Token& token) {
    int r = Lex::GetNextToken(token, -1, false);
    if (r != 1 || token.id != kTokIdent) return r;
    if (FindKeyword(token.text.GetBuffer(0)) >= 0) token.id = kTokKeyword;
    for (int k = 0; k < KeywordCount(); ++k) {
        const Keyword& keyword = KeywordAt(k);
        if (!keyword.compound || !StartsCompound(keyword.text, token.text)) continue;
        OTSTR where = token.pos.ToString();
        Token second;
        if (Lex::GetNextToken(second, -1, false) != 1) {
            lastError.Empty();
            lastError.safeAppends(kCompoundReadFail, where.GetBuffer(0));
            return -1;
        }
        OTSTR joined;
        joined.safeAppends("%s %s", token.text.GetBuffer(0), second.text.GetBuffer(0));
        if (FindKeyword(joined.GetBuffer(0)) < 0) {
            lastError.Empty();
            lastError.safeAppends(kIdentNotCorrect, where.GetBuffer(0));
            return -1;
        }
        token.id = kTokKeyword;
        token.text = joined;
        token.length = second.pos.offset + second.length - token.pos.offset;
        break;
    }
    return 1;
}

int ScriptLexer::GetNextToken(Token& token, bool peek) {
    if (cached) {
        token = cache;
        if (!peek) cached = false;
        return token.id != kTokNone ? 1 : -1;
    }
    int r = ReadWithKeywords(token);
    if (r == -1) token.id = kTokNone;
    if (peek && r != 0) {
        cache = token;
        cached = true;
    }
    return r;
}

void ScriptLexer::StripLineComment(Token& token) {
    OTSTR text = token.text.Mid(2);
    text.TrimLeft();
    text.TrimRight();
    token.text = text;
}

int ScriptLexer::GetToken(Token& token, int flags, bool peek) {
    for (;;) {
        int r = GetNextToken(token, peek);
        if (r != 1) return r;
        bool comment = token.id == kTokBlockComment || token.id == kTokLineComment;
        if (!comment) return r;
        if (token.id == kTokLineComment && (flags & kLineComments)) {
            StripLineComment(token);
            return r;
        }
        if (peek) GetNextToken(token, false);
        if (token.id == kTokLineComment) {
            skipped = token;
            StripLineComment(skipped);
            hasSkipped = true;
        }
    }
}

bool ScriptLexer::ExpectKind(Token& token, int32_t id) {
    SourcePos start = GetLocation();
    for (;;) {
        int r = GetNextToken(token, false);
        if (r == 1 && token.id == kTokBlockComment && id != kTokBlockComment) continue;
        if (r == 1 && token.id == kTokLineComment && id != kTokLineComment) continue;
        if (r == 1 && token.id == id) {
            if (id == kTokLineComment) StripLineComment(token);
            return true;
        }
        break;
    }
    setLocation(start);
    return false;
}

bool ScriptLexer::ExpectText(Token& token, const char* text, bool caseSensitive) {
    SourcePos start = GetLocation();
    if (GetToken(token, 0, false) == 1 && token.text.Compare(text, caseSensitive)) return true;
    setLocation(start);
    return false;
}

bool ScriptLexer::Fetch_string(const char* left, const char* right, bool stripOperators,
                               OTSTR& out) {
    if (right == nullptr || right[0] == 0) {
        lastError = patmsg::kFetchNoRight;
        return false;
    }
    if (left != nullptr && left[0] == right[0]) {
        lastError = patmsg::kFetchSame;
        return false;
    }
    if (!cached) return Lex::Fetch_string(left, right, true, stripOperators, out);

    if (left == nullptr || !cache.text.Compare(left, true)) return false;
    OTSTR raw;
    if (!Lex::Fetch_string(left, right, false, false, raw)) return false;
    cached = false;
    if (stripOperators) {
        out = raw.Left(raw.GetLength() - 1);
    } else {
        out = cache.text;
        out.Append(raw);
    }
    if (out.GetLength() == 0) out.Assign("", 0);
    return true;
}
