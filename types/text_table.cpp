// TextTable: the fixed-width text table of up to five columns.
// Tested by types/text_table_test.cpp.
#include "types/text_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/move_bytes.h"
#include "base/number_text.h"
#include "base/tracer.h"

namespace {

const char kRowsMallocError[] = "TextTable::InsertRow() fail, no memory for rows !";
const char kCellMallocError[] = "TextTable::SetCell() fail, no memory for the text !";
const char kBadColumns[] = "TextTable::SetColumns() fail, column count must be 1 to 5 !";
const char kBadFormats[] = "TextTable::SetColumnFormats() fail, bad params !";

const uint16_t kDefaultFlags = TextTable::kWidthFromContent | TextTable::kLeftJustify;
const int32_t kDefaultWidth = 10;
const int32_t kDefaultPadRight = 1;
// The largest cell block a removed row keeps for the rows inserted later.
const int32_t kKeptCellBytes = 256;

// Appends length bytes; OTSTR::Append refuses an empty text, which here is
// simply nothing to add.
bool AppendText(OTSTR& out, const char* text, int32_t length) {
    return length < 1 || out.Append(text, length);
}

// The text padded with spaces to width, on the right when left-justified and
// on the left otherwise. Only shown bytes of text are written.
bool AppendPadded(OTSTR& out, const char* text, int32_t shown, int32_t width, bool left) {
    int32_t fill = width > shown ? width - shown : 0;
    if (left) return AppendText(out, text, shown) && out.AppendChar(' ', fill);
    return out.AppendChar(' ', fill) && AppendText(out, text, shown);
}

}  // namespace

TextTable::TextTable() {
    for (Column& column : columns) {
        column.flags = kDefaultFlags;
        column.minWidth = kDefaultWidth;
        column.width = kDefaultWidth;
        column.padLeft = 0;
        column.padRight = kDefaultPadRight;
        BuildFormat(column);
    }
    ResizeRows(kRowStep);
    BuildSeparator();
}

TextTable::~TextTable() {
    for (int32_t i = 0; i < rowCapacity; ++i) FreeCells(rows[i]);
    free(rows);
}

bool TextTable::SetColumns(int count, const char* const* titleTexts) {
    if (count < 1 || count > kMaxColumns || titleTexts == nullptr) {
        TraceText(kBadColumns);
        return false;
    }
    for (int i = 0; i < kMaxColumns; ++i) {
        titles[i].Empty();
        if (i < count && titleTexts[i] != nullptr) titles[i].Append(titleTexts[i]);
    }
    columnCount = count;
    // The separator covers the columns in use, so it follows the count.
    return BuildSeparator();
}

bool TextTable::SetColumns(std::initializer_list<const char*> titleTexts) {
    return SetColumns(static_cast<int>(titleTexts.size()), titleTexts.begin());
}

bool TextTable::SetColumnFormats(int count, const ColumnSpec* specs) {
    bool valid = count >= 1 && count == columnCount && specs != nullptr;
    for (int i = 0; valid && i < count; ++i) {
        valid = specs[i].minWidth >= 1 && specs[i].padLeft >= 0 && specs[i].padRight >= 0;
    }
    if (!valid) {
        TraceText(kBadFormats);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        columns[i].flags = specs[i].flags;
        columns[i].minWidth = specs[i].minWidth;
        columns[i].padLeft = specs[i].padLeft;
        columns[i].padRight = specs[i].padRight;
    }
    return ComputeWidths();
}

bool TextTable::SetColumnFormats(std::initializer_list<ColumnSpec> specs) {
    return SetColumnFormats(static_cast<int>(specs.size()), specs.begin());
}

bool TextTable::SetColumnFlags(int column, uint16_t flags) {
    if (!IsColumn(column)) return false;
    columns[column].flags = flags;
    BuildFormat(columns[column]);
    return BuildSeparator();
}

bool TextTable::ComputeWidths() {
    // The longest cell of each column, row by row as the rows lie.
    int32_t longest[kMaxColumns] = {};
    for (int32_t r = 0; r < rowCount; ++r) {
        for (int i = 0; i < kMaxColumns; ++i) longest[i] = std::max(longest[i], rows[r].lengths[i]);
    }
    for (int i = 0; i < columnCount; ++i) {
        Column& column = columns[i];
        int32_t content = titles[i].GetLength();
        if (column.flags & kWidthFromContent) content = std::max(content, longest[i]);
        column.width = content > column.minWidth ? content : column.minWidth;
        BuildFormat(column);
    }
    return BuildSeparator();
}

int TextTable::GetColumnWidth(int column) const {
    return IsColumn(column) ? columns[column].width : -1;
}

uint16_t TextTable::GetColumnFlags(int column) const {
    return IsColumn(column) ? columns[column].flags : 0;
}

const char* TextTable::GetTitle(int column) const {
    return IsColumn(column) ? titles[column].GetBuffer() : nullptr;
}

const char* TextTable::GetColumnFormat(int column) const {
    return IsColumn(column) ? columns[column].format : nullptr;
}

int TextTable::InsertRow(int position, uint32_t tag, uint16_t level, uint16_t mark) {
    if (rowCount >= rowCapacity) {
        if (rowCapacity > INT32_MAX - kRowStep || !ResizeRows(rowCapacity + kRowStep)) {
            TraceText(kRowsMallocError);
            return -1;
        }
    }
    if (position < 0 || position > rowCount) position = rowCount;
    // The slot past the last row lends its kept blocks, cleared, to the new
    // row.
    if (position < rowCount) {
        Row spare = rows[rowCount];
        memmove(rows + position + 1, rows + position,
                sizeof(Row) * static_cast<size_t>(rowCount - position));
        rows[position] = spare;
    }
    Row& row = rows[position];
    row.tag = tag;
    row.level = level;
    row.mark = mark;
    ++rowCount;
    return position;
}

bool TextTable::RemoveRow(int row) {
    if (!IsRow(row)) return false;
    Row removed = rows[row];
    memmove(rows + row, rows + row + 1, sizeof(Row) * static_cast<size_t>(rowCount - row - 1));
    --rowCount;
    rows[rowCount] = removed;
    ClearCells(rows[rowCount]);
    // Give a step back once more than a whole step lies unused; a failed
    // shrink keeps the larger block.
    if (rowCapacity > kRowStep && rowCapacity - rowCount > kRowStep) {
        ResizeRows(rowCapacity - kRowStep);
    }
    return true;
}

void TextTable::RemoveAllRows() {
    for (int32_t i = 0; i < rowCount; ++i) ClearCells(rows[i]);
    rowCount = 0;
    if (rowCapacity > kKeptRows) ResizeRows(kKeptRows);
}

uint32_t TextTable::GetTag(int row) const {
    return IsRow(row) ? rows[row].tag : 0;
}

bool TextTable::SetTag(int row, uint32_t tag) {
    if (!IsRow(row)) return false;
    rows[row].tag = tag;
    return true;
}

uint16_t TextTable::GetLevel(int row) const {
    return IsRow(row) ? rows[row].level : 0;
}

bool TextTable::SetLevel(int row, uint16_t level) {
    if (!IsRow(row)) return false;
    rows[row].level = level;
    return true;
}

uint16_t TextTable::GetMark(int row) const {
    return IsRow(row) ? rows[row].mark : 0;
}

bool TextTable::SetMark(int row, uint16_t mark) {
    if (!IsRow(row)) return false;
    rows[row].mark = mark;
    return true;
}

bool TextTable::SetCell(int row, int column, const char* text) {
    if (text == nullptr) return IsRow(row) && IsColumn(column);
    size_t length = strlen(text);
    if (length >= static_cast<size_t>(INT32_MAX)) {
        if (!IsRow(row) || !IsColumn(column)) return false;
        TraceText(kCellMallocError);
        return false;
    }
    return SetCell(row, column, text, static_cast<int32_t>(length));
}

bool TextTable::SetCell(int row, int column, const char* text, int32_t length) {
    if (!IsRow(row) || !IsColumn(column)) return false;
    if (text == nullptr) return true;
    Row& r = rows[row];
    char*& cell = r.cells[column];
    if (length >= 0 && length < r.capacities[column]) {
        // The block the cell holds takes the text; text may be that text.
        MoveBytes(cell, text, static_cast<size_t>(length));
    } else {
        // The copy is made before the old text goes, so text may be that text.
        char* copy = nullptr;
        if (length >= 0 && length < INT32_MAX) {
            copy = static_cast<char*>(cellPool.Alloc(length + 1));
        }
        if (copy == nullptr) {
            TraceText(kCellMallocError);
            return false;
        }
        memcpy(copy, text, static_cast<size_t>(length));
        cellPool.Free(cell);
        cell = copy;
        r.capacities[column] = cellPool.Capacity(copy);
    }
    cell[length] = '\0';
    r.lengths[column] = length;
    r.present = static_cast<uint8_t>(r.present | (1u << column));
    return true;
}

const char* TextTable::GetCell(int row, int column) const {
    if (!IsRow(row) || !IsColumn(column)) return nullptr;
    return (rows[row].present & (1u << column)) != 0 ? rows[row].cells[column] : nullptr;
}

bool TextTable::GetTitleLine(OTSTR& out) const {
    out.Empty();
    return AppendTitleLine(out);
}

bool TextTable::AppendTitleLine(OTSTR& out) const {
    int32_t start = out.GetLength();
    bool ok = out.Append(" |");
    for (int i = 0; ok && i < columnCount; ++i) {
        const Column& column = columns[i];
        if (column.flags & kHidden) continue;
        ok = out.AppendChar(' ', column.padLeft) &&
             AppendPadded(out, titles[i].GetBuffer(), titles[i].GetLength(), column.width,
                          (column.flags & kLeftJustify) != 0) &&
             out.AppendChar(' ', column.padRight) &&
             out.AppendChar((column.flags & kNoBar) ? ' ' : '|');
    }
    if (!ok) out.Truncate(start);
    return ok;
}

bool TextTable::GetRowLine(int row, OTSTR& out) const {
    out.Empty();
    return BuildRowLine(row, columnCount - 1, true, out);
}

bool TextTable::AppendRowLine(int row, OTSTR& out) const {
    return BuildRowLine(row, columnCount - 1, true, out);
}

bool TextTable::GetRowPrefix(int row, int lastColumn, bool withBars, OTSTR& out) const {
    if (lastColumn > columnCount - 1) lastColumn = columnCount - 1;
    out.Empty();
    return BuildRowLine(row, lastColumn, withBars, out);
}

bool TextTable::BuildRowLine(int row, int lastColumn, bool withBars, OTSTR& out) const {
    if (!IsRow(row)) return false;
    const Row& r = rows[row];
    if (withBars && lastColumn == columnCount - 1 && FitsBlankLine(r)) {
        // The blank line of the columns, and each text in its place.
        int32_t start = out.GetLength();
        if (!out.Append(blankLine)) return false;
        char* line = out.GetBuffer() + start;
        for (int i = 0; i <= lastColumn; ++i) {
            const Column& column = columns[i];
            int32_t length = r.lengths[i];
            if ((column.flags & kHidden) || length == 0) continue;
            int32_t at = cellAt[i] + ((column.flags & kLeftJustify) ? 0 : column.width - length);
            MoveBytes(line + at, r.cells[i], static_cast<size_t>(length));
        }
        return true;
    }
    // The length of the line first; the line is then added as blanks in one
    // step, and the texts and bars are written over them. A text is cut to
    // its column but in the last column, which it may widen.
    int64_t total = 2;
    for (int i = 0; i <= lastColumn; ++i) {
        const Column& column = columns[i];
        if (column.flags & kHidden) continue;
        int32_t length = r.lengths[i];
        int32_t wide = length > column.width && i == lastColumn ? length : column.width;
        total += static_cast<int64_t>(column.padLeft > 0 ? column.padLeft : 0) + wide +
                 (column.padRight > 0 ? column.padRight : 0) + 1;
    }
    int32_t start = out.GetLength();
    if (total > INT32_MAX - 1 - start || !out.AppendChar(' ', static_cast<int>(total))) {
        return false;
    }
    char* at = out.GetBuffer() + start + 2;
    for (int i = 0; i <= lastColumn; ++i) {
        const Column& column = columns[i];
        if (column.flags & kHidden) continue;
        at += column.padLeft > 0 ? column.padLeft : 0;
        int32_t length = r.lengths[i];
        bool overflow = length > column.width;
        int32_t shown = overflow && i != lastColumn ? column.width : length;
        int32_t fill = column.width > shown ? column.width - shown : 0;
        if (!(column.flags & kLeftJustify)) at += fill;
        if (shown > 0) {
            memcpy(at, r.cells[i], static_cast<size_t>(shown));
            at += shown;
        }
        if (column.flags & kLeftJustify) at += fill;
        at += column.padRight > 0 ? column.padRight : 0;
        bool bar = withBars && !(column.flags & kNoBar) && !(overflow && i == lastColumn);
        *at++ = bar ? '|' : ' ';
    }
    return true;
}

bool TextTable::FitsBlankLine(const Row& r) const {
    if (blankLine.IsEmpty()) return false;
    for (int i = 0; i < columnCount; ++i) {
        if (r.lengths[i] > columns[i].width) return false;
    }
    return true;
}

bool TextTable::ResizeRows(int32_t newCapacity) {
    // The slots given up free the blocks they keep first, so that a failed
    // shrink leaves them empty, not lost.
    for (int32_t i = newCapacity; i < rowCapacity; ++i) FreeCells(rows[i]);
    void* moved = realloc(rows, sizeof(Row) * static_cast<size_t>(newCapacity));
    if (moved == nullptr) return false;
    rows = static_cast<Row*>(moved);
    for (int32_t i = rowCapacity; i < newCapacity; ++i) {
        for (int c = 0; c < kMaxColumns; ++c) {
            rows[i].cells[c] = nullptr;
            rows[i].capacities[c] = 0;
        }
        ClearCells(rows[i]);
    }
    rowCapacity = newCapacity;
    return true;
}

void TextTable::FreeCells(Row& row) {
    for (int i = 0; i < kMaxColumns; ++i) {
        cellPool.Free(row.cells[i]);
        row.cells[i] = nullptr;
        row.capacities[i] = 0;
    }
    ClearCells(row);
}

void TextTable::ClearCells(Row& row) {
    // Blocks of the pool's classes are kept; a long text's block goes back.
    for (int i = 0; i < kMaxColumns; ++i) {
        if (row.capacities[i] > kKeptCellBytes) {
            cellPool.Free(row.cells[i]);
            row.cells[i] = nullptr;
            row.capacities[i] = 0;
        }
        row.lengths[i] = 0;
    }
    row.present = 0;
}

void TextTable::BuildFormat(Column& column) {
    // "%-<width>s" or "%<width>s"; at most 15 characters with the zero byte.
    static_assert(sizeof(column.format) >= 16, "room for \"%-<int32>s\"");
    char* out = column.format;
    *out++ = '%';
    if (column.flags & kLeftJustify) *out++ = '-';
    out += DecimalDigits(column.width, out);
    *out++ = 's';
    *out = 0;
}

bool TextTable::BuildSeparator() {
    // A line built from the same columns stands: a table refilled for
    // every message mostly keeps its widths.
    int32_t from[1 + 4 * kMaxColumns] = {columnCount};
    for (int i = 0; i < columnCount; ++i) {
        const Column& column = columns[i];
        int32_t* at = from + 1 + 4 * i;
        at[0] = column.flags & (kHidden | kNoBar);
        at[1] = column.padLeft;
        at[2] = column.width;
        at[3] = column.padRight;
    }
    if (memcmp(from, separatorFor, sizeof from) == 0) return true;
    separator.Empty();
    blankLine.Empty();
    bool ok = separator.Append(" +") && blankLine.Append("  ");
    for (int i = 0; ok && i < columnCount; ++i) {
        const Column& column = columns[i];
        if (column.flags & kHidden) continue;
        int32_t room = column.padLeft + column.width + column.padRight;
        cellAt[i] = blankLine.GetLength() + column.padLeft;
        ok = separator.AppendChar('-', room) &&
             separator.AppendChar((column.flags & kNoBar) ? '-' : '+') &&
             blankLine.AppendChar(' ', room) &&
             blankLine.AppendChar((column.flags & kNoBar) ? ' ' : '|');
    }
    if (!ok) {
        separator.Empty();
        blankLine.Empty();
    }
    memcpy(separatorFor, from, sizeof from);
    if (!ok) separatorFor[0] = -1;
    return ok;
}
