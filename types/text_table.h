// TextTable: a table of text rows with up to five columns, written out as
// fixed-width lines with "|" separators. Tested by types/text_table_test.cpp.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/mem_pool.h"
#include "base/otstr.h"

class TextTable {
  public:
    static const int kMaxColumns = 5;
    // Rows are allocated, and given back, in blocks of this many.
    static const int32_t kRowStep = 50;
    // The room that RemoveAllRows keeps for the next rows (the next
    // message's, say), with the blocks of their cells.
    static const int32_t kKeptRows = 10 * kRowStep;

    // Column flag bits.
    static const uint16_t kWidthFromContent = 1;  // width follows the longest cell text
    static const uint16_t kNoBar = 2;             // no "|" after the column
    static const uint16_t kLeftJustify = 4;
    static const uint16_t kHidden = 8;

    // What the caller gives for one column in SetColumnFormats.
    struct ColumnSpec {
        uint16_t flags;
        int32_t minWidth;
        int32_t padLeft;
        int32_t padRight;
    };

    // Every column starts with flags 5, minWidth 10, width 10, padLeft 0 and
    // padRight 1; there are no columns until SetColumns.
    TextTable();
    ~TextTable();
    TextTable(const TextTable&) = delete;
    TextTable& operator=(const TextTable&) = delete;

    // Copies count titles (1 to 5; a null title is empty) and makes count the
    // column count. Titles of the columns beyond count are cleared.
    bool SetColumns(int count, const char* const* titles);
    bool SetColumns(std::initializer_list<const char*> titles);
    // Sets the flags, minimum width and paddings of every column; count must
    // equal the column count, each minWidth be at least 1 and the paddings not
    // negative. Nothing changes unless all columns are valid. Then computes the
    // widths (ComputeWidths).
    bool SetColumnFormats(int count, const ColumnSpec* specs);
    bool SetColumnFormats(std::initializer_list<ColumnSpec> specs);
    // Sets the flags of column 0..4 and rebuilds its format and the
    // separator; the width stays until the widths are computed again.
    bool SetColumnFlags(int column, uint16_t flags);
    // Width of each column: the larger of minWidth and the title's length, or,
    // with kWidthFromContent, of the longest text among the title and the
    // column's cells. Rebuilds the formats and the separator; false only when
    // the separator could not be stored.
    bool ComputeWidths();

    int GetColumnCount() const { return columnCount; }
    // For columns 0..4; -1, 0 or null outside.
    int GetColumnWidth(int column) const;
    uint16_t GetColumnFlags(int column) const;
    const char* GetTitle(int column) const;
    // The column's string format, "%-<width>s" or "%<width>s". It describes
    // the layout; the lines are padded without it.
    const char* GetColumnFormat(int column) const;

    int GetRowCount() const { return rowCount; }
    int GetRowCapacity() const { return rowCapacity; }
    // Inserts a row with the tag, level and mark and no cells before
    // position (clamped to the row count; a negative position appends).
    // Returns its index, -1 when memory runs out.
    int InsertRow(int position, uint32_t tag, uint16_t level = 0, uint16_t mark = 0);
    // Empties the row's cells and closes the gap; false for an index out of
    // range.
    bool RemoveRow(int row);
    // Empties every cell; the room stays, but for what passes kKeptRows.
    void RemoveAllRows();

    // Getters give 0 and setters fail for a row out of range.
    uint32_t GetTag(int row) const;
    bool SetTag(int row, uint32_t tag);
    uint16_t GetLevel(int row) const;
    bool SetLevel(int row, uint16_t level);
    uint16_t GetMark(int row) const;
    bool SetMark(int row, uint16_t mark);

    // Stores a copy of text in cell column (0..4) of the row, replacing the
    // old one; a null text leaves the cell as it is and succeeds. The text may
    // be the cell's own current text.
    bool SetCell(int row, int column, const char* text);
    // The same with the text's length given (the bytes before its zero byte).
    bool SetCell(int row, int column, const char* text, int32_t length);
    // The cell's text, owned by the table; null when absent or out of range.
    const char* GetCell(int row, int column) const;

    // " +" and, per visible column, "-" over padLeft + width + padRight and
    // "+" ("-" with kNoBar).
    const OTSTR& GetSeparatorLine() const { return separator; }
    // " |" and, per visible column, the padded title and "|" (" " with
    // kNoBar). A title wider than its column is written whole.
    bool GetTitleLine(OTSTR& out) const;
    // GetTitleLine's line appended to out; false, with nothing of the line
    // kept, when memory runs out.
    bool AppendTitleLine(OTSTR& out) const;
    // "  " and, per visible column, the padded cell and "|". Texts wider than
    // their column are cut, except in the last column, which is then ended by
    // a space instead of a bar. False (and an empty line) for a row out of
    // range or when memory runs out.
    bool GetRowLine(int row, OTSTR& out) const;
    // The row line added to the end of out; false (and out as it was) for a
    // row out of range or when memory runs out.
    bool AppendRowLine(int row, OTSTR& out) const;
    // The row line of columns 0..lastColumn only (clamped to the last
    // column): texts are cut except in lastColumn, and the bars are written
    // as spaces unless withBars is set.
    bool GetRowPrefix(int row, int lastColumn, bool withBars, OTSTR& out) const;

  private:
    // A row keeps the blocks of its cells when the row is removed: the row
    // slots beyond the row count hold them for the rows inserted later, so
    // that a table refilled for every message reuses its cell blocks. Those
    // slots are always cleared (ClearCells), ready for a new row.
    struct Row {
        uint32_t tag;
        uint16_t level;
        uint16_t mark;
        char* cells[kMaxColumns];         // blocks of cellPool, or null
        int32_t capacities[kMaxColumns];  // of the blocks: the bytes they hold
        int32_t lengths[kMaxColumns];     // of the cell texts, 0 for none
        uint8_t present;                  // bit i: cell i holds a text
    };

    struct Column {
        uint16_t flags;
        int32_t minWidth;
        int32_t width;
        int32_t padLeft;
        int32_t padRight;
        // "%-2147483647s" and its zero byte fit.
        char format[16];
    };

    static bool IsColumn(int column) { return column >= 0 && column < kMaxColumns; }
    bool IsRow(int row) const { return row >= 0 && row < rowCount; }
    bool ResizeRows(int32_t newCapacity);
    void FreeCells(Row& row);
    void ClearCells(Row& row);
    void BuildFormat(Column& column);
    bool BuildSeparator();
    bool BuildRowLine(int row, int lastColumn, bool withBars, OTSTR& out) const;
    // Whether every text of the row fits its column, so that the row line
    // is the blank line with the texts written in.
    bool FitsBlankLine(const Row& r) const;

    int32_t columnCount = 0;
    OTSTR titles[kMaxColumns];
    int32_t rowCount = 0;
    Row* rows = nullptr;
    int32_t rowCapacity = 0;
    MemPool cellPool;
    Column columns[kMaxColumns];
    OTSTR separator;
    // A row line without texts, built with the separator; where each
    // column's texts begin in it.
    OTSTR blankLine;
    int32_t cellAt[kMaxColumns] = {};
    // What the separator was built from: the column count, and per column
    // its hidden and bar flags, paddings and width; -1 before any build.
    int32_t separatorFor[1 + 4 * kMaxColumns] = {-1};
};
