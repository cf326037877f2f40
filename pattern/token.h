// Token: one token handed out by the matcher: rule id, text, position and
// up to 11 captured parameters. Tested by pattern/lex_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"
#include "pattern/source_pos.h"

constexpr int kMaxParams = 11;

struct ParamSpan {
    int32_t start = -1;  // relative to the token's first byte
    int32_t length = -1;
};

class Token {
  public:
    Token();

    // Back to no token (id -1), keeping the text's storage.
    void Clear();
    // The text of parameter i; false (out untouched) for an index out of
    // range or an unset parameter.
    bool GetParam(int i, OTSTR& out) const;

    int32_t id = -1;  // -1 none, 0 unmatched content, else the rule id
    OTSTR text;
    SourcePos pos;
    int32_t length = 0;
    int32_t paramCount = 0;
    ParamSpan params[kMaxParams];
};
