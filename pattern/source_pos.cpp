// SourcePos: positions in a text. Tested by pattern/lex_test.cpp.
#include "pattern/source_pos.h"

SourcePos::SourcePos(const char* name, int32_t offset, int32_t line, int32_t column)
    : fileName(name ? name : ""), offset(offset), line(line), column(column) {}

void SourcePos::Set(const char* name, int32_t newOffset, int32_t newLine, int32_t newColumn) {
    fileName = name ? name : "";
    offset = newOffset;
    line = newLine;
    column = newColumn;
}

SourcePos SourcePos::Add(const SourcePos& other) const {
    SourcePos sum(*this);
    sum.offset = offset + other.offset;
    if (other.line < 1) {
        sum.column = column + other.column;
    } else {
        sum.line = line + other.line;
        sum.column = other.column;
    }
    return sum;
}

void SourcePos::Advance(int32_t n) {
    offset += n;
    column += n;
}

OTSTR SourcePos::ToString(const SourcePos* base) const {
    OTSTR text;
    if (base != nullptr && base->line < 0) return text;
    long shown = static_cast<long>(line) + (base ? static_cast<long>(base->line) : 0L);
    if (fileName.IsEmpty()) {
        text.Format("Ln %ld", shown);
    } else {
        text.safeAppends("%s : Ln %ld", fileName.GetBuffer(0), shown);
    }
    return text;
}
