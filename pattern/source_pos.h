// SourcePos: a position in a text (file name, byte offset, line and column,
// lines and columns counted from 0). Tested by pattern/lex_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"

class SourcePos {
  public:
    SourcePos() = default;
    SourcePos(const char* name, int32_t offset, int32_t line, int32_t column);
    virtual ~SourcePos() = default;

    void Set(const char* name, int32_t offset, int32_t line, int32_t column);
    // A position relative to this one: with other.line below 1 the offsets
    // and columns add up on this line; otherwise lines and offsets add up and
    // the column is other's.
    SourcePos Add(const SourcePos& other) const;
    void Advance(int32_t n);
    // "Ln %ld" or "%s : Ln %ld", the line shifted by base's line; empty when
    // base's line is negative.
    OTSTR ToString(const SourcePos* base = nullptr) const;

    OTSTR fileName;
    int32_t offset = -1;
    int32_t line = -1;
    int32_t column = -1;
};
