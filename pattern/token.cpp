// Token: a matched token with its captured parameters.
// Tested by pattern/lex_test.cpp.
#include "pattern/token.h"

Token::Token() {
    // Room for most tokens, so that filling one rarely reallocates.
    text.Assign("", 0);
    text.AppendChar(' ', 256);
    text.Empty();
}

void Token::Clear() {
    id = -1;
    text.Empty();
    pos = SourcePos();
    length = 0;
    paramCount = 0;
    for (ParamSpan& p : params) p = ParamSpan();
}

bool Token::GetParam(int i, OTSTR& out) const {
    if (i < 0 || i >= kMaxParams) return false;
    const ParamSpan& p = params[i];
    if (p.start < 0 || p.length < 0 || p.start > text.GetLength() ||
        p.length > text.GetLength() - p.start)
        return false;
    out.Assign(text.GetBuffer(0) + p.start, p.length);
    return true;
}
