// Tests of TextTable: golden separator, title and row lines, width
// computation, row bookkeeping and growth, and the cell pool's accounting.
#include "types/text_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/tracer.h"

namespace {

using Spec = TextTable::ColumnSpec;

const uint16_t kContent = TextTable::kWidthFromContent;
const uint16_t kLeft = TextTable::kLeftJustify;
const Spec kLeft10 = {kContent | kLeft, 10, 0, 1};  // the default column
const Spec kFixed3 = {kLeft, 3, 0, 1};

std::string RowLine(const TextTable& table, int row) {
    OTSTR out;
    EXPECT_TRUE(table.GetRowLine(row, out)) << row;
    return out.GetBuffer();
}

std::string TitleLine(const TextTable& table) {
    OTSTR out;
    EXPECT_TRUE(table.GetTitleLine(out));
    // The appended line is the same, after what the text held.
    OTSTR appended("before", -1);
    EXPECT_TRUE(table.AppendTitleLine(appended));
    EXPECT_EQ(std::string("before") + out.GetBuffer(), appended.GetBuffer());
    return out.GetBuffer();
}

// The separator, the title line and the line of row 0, one a line.
std::string Lines(const TextTable& table) {
    return std::string(table.GetSeparatorLine().GetBuffer()) + "\n" + TitleLine(table) + "\n" +
           RowLine(table, 0);
}

std::string Prefix(const TextTable& table, int row, int lastColumn, bool withBars) {
    OTSTR out;
    EXPECT_TRUE(table.GetRowPrefix(row, lastColumn, withBars, out));
    return out.GetBuffer();
}

// A table with the given titles and formats and one row holding cells.
void Build(TextTable& table, std::initializer_list<const char*> titles,
           std::initializer_list<Spec> specs, std::initializer_list<const char*> cells) {
    ASSERT_TRUE(table.SetColumns(titles));
    ASSERT_TRUE(table.SetColumnFormats(specs));
    ASSERT_EQ(table.InsertRow(-1, 0), 0);
    int column = 0;
    for (const char* cell : cells) ASSERT_TRUE(table.SetCell(0, column++, cell));
}

TEST(TextTableLayoutTest, NewTableAndColumnCount) {
    TextTable table;
    EXPECT_EQ(table.GetColumnCount(), 0);
    for (int i = 0; i < TextTable::kMaxColumns; ++i) {
        EXPECT_EQ(table.GetColumnWidth(i), 10);
        EXPECT_EQ(table.GetColumnFlags(i), 5);
        EXPECT_STREQ(table.GetColumnFormat(i), "%-10s");
    }
    EXPECT_EQ(table.GetColumnWidth(5), -1);
    EXPECT_EQ(table.GetTitle(-1), nullptr);
    EXPECT_STREQ(table.GetSeparatorLine().GetBuffer(), " +");
    EXPECT_EQ(TitleLine(table), " |");

    // The separator follows the column count; titles beyond it are cleared.
    ASSERT_TRUE(table.SetColumns({"A", "B", "C"}));
    EXPECT_STREQ(table.GetSeparatorLine().GetBuffer(), " +-----------+-----------+-----------+");
    ASSERT_TRUE(table.SetColumns({"X", nullptr}));
    EXPECT_EQ(table.GetColumnCount(), 2);
    EXPECT_STREQ(table.GetTitle(1), "");
    EXPECT_STREQ(table.GetTitle(2), "");
    EXPECT_STREQ(table.GetSeparatorLine().GetBuffer(), " +-----------+-----------+");
}

TEST(TextTableLayoutTest, GoldenLinesAndWidthsComputedAgain) {
    TextTable table;
    Build(table, {"Name", "Value"}, {kLeft10, kLeft10}, {"id", "42"});
    EXPECT_EQ(Lines(table),
              " +-----------+-----------+\n |Name       |Value      |\n  id         |42         |");
    ASSERT_EQ(table.InsertRow(-1, 0), 1);  // a row without cells
    EXPECT_EQ(RowLine(table, 1), "             |           |");

    OTSTR out("stale");
    EXPECT_FALSE(table.GetRowLine(2, out));
    EXPECT_EQ(out.GetLength(), 0);
    EXPECT_FALSE(table.GetRowLine(-1, out));

    // Appended, a line follows what out holds; a row out of range adds nothing.
    out = "> ";
    EXPECT_TRUE(table.AppendRowLine(0, out));
    EXPECT_FALSE(table.AppendRowLine(2, out));
    EXPECT_STREQ(out.GetBuffer(), ">   id         |42         |");
    // A cell given with its length, and a cell set from its own text.
    ASSERT_TRUE(table.SetCell(0, 0, "abcdefghijklmn", 2));
    ASSERT_TRUE(table.SetCell(0, 1, table.GetCell(0, 1)));
    EXPECT_EQ(RowLine(table, 0), "  ab         |42         |");

    // Until the widths are computed again the longer first cell is cut.
    ASSERT_TRUE(table.SetCell(0, 0, "abcdefghijklmn"));
    EXPECT_EQ(RowLine(table, 0), "  abcdefghij |42         |");
    ASSERT_TRUE(table.SetColumnFormats({kLeft10, kLeft10}));
    EXPECT_EQ(table.GetColumnWidth(0), 14);
    EXPECT_STREQ(table.GetColumnFormat(0), "%-14s");
    EXPECT_EQ(Lines(table),
              " +---------------+-----------+\n |Name           |Value      |\n"
              "  abcdefghijklmn |42         |");

    // Without the row the width falls back to the minimum.
    ASSERT_TRUE(table.RemoveRow(0));
    ASSERT_TRUE(table.ComputeWidths());
    EXPECT_EQ(table.GetColumnWidth(0), 10);
    EXPECT_STREQ(table.GetSeparatorLine().GetBuffer(), " +-----------+-----------+");
}

// Fixed columns cut their texts, except the last, which is written whole and
// then ends with a space instead of a bar.
TEST(TextTableLayoutTest, FixedColumnsCutExceptTheLast) {
    TextTable fixed, right;
    const Spec fixed10 = {kLeft, 10, 0, 1};
    Build(fixed, {"Name", "Value"}, {fixed10, fixed10}, {"abcdefghijklmn", "abcdefghijklmn"});
    EXPECT_EQ(RowLine(fixed, 0), "  abcdefghij |abcdefghijklmn  ");
    ASSERT_TRUE(fixed.SetCell(0, 1, "abcdefghij"));  // exactly the width: not an overflow
    EXPECT_EQ(RowLine(fixed, 0), "  abcdefghij |abcdefghij |");

    // Right-justified with padding; a fixed column still grows to its title.
    Build(right, {"N", "Value"}, {{0, 5, 1, 1}, {kLeft, 3, 0, 0}}, {"abcdefg", "xy"});
    EXPECT_STREQ(right.GetColumnFormat(0), "%5s");
    EXPECT_EQ(Lines(right), " +-------+-----+\n |     N |Value|\n   abcde |xy   |");
    ASSERT_TRUE(right.SetCell(0, 0, "ab"));
    ASSERT_TRUE(right.SetCell(0, 1, "toolong"));
    EXPECT_EQ(RowLine(right, 0), "      ab |toolong ");
    ASSERT_TRUE(right.SetCell(0, 1, "xy"));
    EXPECT_EQ(RowLine(right, 0), "      ab |xy   |");
    // New paddings at the same widths make the separator again.
    ASSERT_TRUE(right.SetColumnFormats({{0, 5, 2, 1}, {kLeft, 3, 0, 0}}));
    EXPECT_STREQ(right.GetSeparatorLine().GetBuffer(), " +--------+-----+");
}

TEST(TextTableLayoutTest, HiddenAndNoBarColumns) {
    TextTable table;
    Build(table, {"A", "B", "C"}, {kFixed3, kFixed3, kFixed3}, {"a", "b", "c"});
    EXPECT_STREQ(table.GetSeparatorLine().GetBuffer(), " +----+----+----+");
    ASSERT_TRUE(table.SetColumnFlags(1, kLeft | TextTable::kHidden));
    EXPECT_EQ(Lines(table), " +----+----+\n |A   |C   |\n  a   |c   |");
    EXPECT_EQ(Prefix(table, 0, 1, true), "  a   |");

    ASSERT_TRUE(table.SetColumnFlags(1, kLeft | TextTable::kNoBar));
    EXPECT_EQ(Lines(table), " +----+---------+\n |A   |B    C   |\n  a   |b    c   |");
    EXPECT_FALSE(table.SetColumnFlags(5, kLeft));
}

TEST(TextTableLayoutTest, RowPrefix) {
    TextTable table;
    Build(table, {"A", "B", "C"}, {kFixed3, kFixed3, kFixed3}, {"abcdef", "ghijkl", "x"});
    EXPECT_EQ(RowLine(table, 0), "  abc |ghi |x   |");
    // Only the prefix's last column is written whole.
    EXPECT_EQ(Prefix(table, 0, 1, true), "  abc |ghijkl  ");
    EXPECT_EQ(Prefix(table, 0, 1, false), "  abc  ghijkl  ");
    EXPECT_EQ(Prefix(table, 0, 0, false), "  abcdef  ");
    ASSERT_TRUE(table.SetCell(0, 1, "gh"));
    EXPECT_EQ(Prefix(table, 0, 1, true), "  abc |gh  |");
    EXPECT_EQ(Prefix(table, 0, 1, false), "  abc  gh   ");
    // A last column beyond the table is the row line; before the first, nothing.
    EXPECT_EQ(Prefix(table, 0, 9, true), RowLine(table, 0));
    EXPECT_EQ(Prefix(table, 0, -1, true), "  ");

    OTSTR out("stale");
    EXPECT_FALSE(table.GetRowPrefix(1, 1, true, out));
    EXPECT_EQ(out.GetLength(), 0);
}

TEST(TextTableLayoutTest, WideColumnsGrowTheLines) {
    TextTable table;
    Build(table, {"Wide"}, {{kLeft, 100000, 0, 0}}, {std::string(300, 'x').c_str()});
    EXPECT_STREQ(table.GetColumnFormat(0), "%-100000s");
    EXPECT_EQ(table.GetSeparatorLine().GetLength(), 2 + 100000 + 1);
    std::string line = RowLine(table, 0);
    ASSERT_EQ(line.size(), 2u + 100000u + 1u);
    EXPECT_EQ(line.substr(0, 303), "  " + std::string(300, 'x') + " ");
    EXPECT_EQ(line.back(), '|');
}

TEST(TextTableFormatsTest, InvalidSettingsChangeNothing) {
    TextTable table;
    EXPECT_FALSE(table.SetColumnFormats({kLeft10}));  // no columns yet
    EXPECT_FALSE(table.SetColumns({}));
    EXPECT_FALSE(table.SetColumns({"1", "2", "3", "4", "5", "6"}));
    EXPECT_FALSE(table.SetColumns(1, nullptr));
    EXPECT_EQ(table.GetColumnCount(), 0);

    ASSERT_TRUE(table.SetColumns({"A", "B"}));
    EXPECT_FALSE(table.SetColumnFormats({kFixed3}));
    EXPECT_FALSE(table.SetColumnFormats({kFixed3, kFixed3, kFixed3}));
    EXPECT_FALSE(table.SetColumnFormats({kFixed3, {kLeft, 0, 0, 1}}));
    EXPECT_FALSE(table.SetColumnFormats({kFixed3, {kLeft, 3, -1, 1}}));
    EXPECT_FALSE(table.SetColumnFormats({kFixed3, {kLeft, 3, 0, -1}}));
    // The valid first column of a rejected call was not taken either.
    EXPECT_EQ(table.GetColumnWidth(0), 10);
    EXPECT_EQ(table.GetColumnFlags(0), 5);
    EXPECT_TRUE(table.SetColumnFormats({kFixed3, {kLeft, 1, 0, 0}}));
    EXPECT_EQ(table.GetColumnWidth(1), 1);
}

TEST(TextTableRowsTest, InsertPositionsAndRowValues) {
    TextTable table;
    ASSERT_TRUE(table.SetColumns({"A"}));
    EXPECT_EQ(table.InsertRow(-1, 1), 0);
    EXPECT_EQ(table.InsertRow(100, 2), 1);  // beyond the end appends
    ASSERT_TRUE(table.SetCell(0, 4, "one"));
    ASSERT_TRUE(table.SetLevel(0, 7));
    ASSERT_TRUE(table.SetMark(0, 0xFFFF));
    EXPECT_EQ(table.InsertRow(0, 3), 0);
    EXPECT_EQ(table.InsertRow(2, 4), 2);
    const uint32_t tags[] = {3, 1, 4, 2};
    ASSERT_EQ(table.GetRowCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(table.GetTag(i), tags[i]) << i;
    // The values and cells moved with their row; new rows start empty.
    EXPECT_STREQ(table.GetCell(1, 4), "one");
    EXPECT_EQ(table.GetLevel(1), 7);
    EXPECT_EQ(table.GetMark(1), 0xFFFF);
    EXPECT_EQ(table.GetLevel(0), 0);
    EXPECT_EQ(table.GetMark(0), 0);
    EXPECT_EQ(table.GetCell(0, 4), nullptr);

    ASSERT_TRUE(table.SetTag(3, 0x80000000u));  // the top bit too: checked after RemoveRow
    EXPECT_FALSE(table.SetTag(4, 1));
    EXPECT_FALSE(table.SetLevel(-1, 1));
    EXPECT_FALSE(table.SetMark(4, 1));
    EXPECT_EQ(table.GetTag(4), 0u);
    EXPECT_EQ(table.GetLevel(-1), 0);

    ASSERT_TRUE(table.RemoveRow(0));
    EXPECT_FALSE(table.RemoveRow(3));
    EXPECT_FALSE(table.RemoveRow(-1));
    ASSERT_EQ(table.GetRowCount(), 3);
    EXPECT_EQ(table.GetTag(0), 1u);
    EXPECT_STREQ(table.GetCell(0, 4), "one");
    EXPECT_EQ(table.GetTag(2), 0x80000000u);

    // A row appended after a removal takes the removed row's slot, without
    // its cells, with the level and mark given.
    ASSERT_TRUE(table.SetCell(2, 0, "gone"));
    ASSERT_TRUE(table.RemoveRow(2));
    EXPECT_EQ(table.InsertRow(-1, 5, 3, 9), 2);
    EXPECT_EQ(table.GetCell(2, 0), nullptr);
    EXPECT_EQ(table.GetLevel(2), 3);
    EXPECT_EQ(table.GetMark(2), 9);
}

TEST(TextTableRowsTest, RoomGrowsAndShrinksInSteps) {
    TextTable table;
    EXPECT_EQ(table.GetRowCapacity(), 50);
    for (int i = 0; i < 120; ++i) {
        ASSERT_EQ(table.InsertRow(-1, static_cast<uint32_t>(i)), i);
        ASSERT_TRUE(table.SetCell(i, 0, std::to_string(i).c_str()));
        if (i == 49 || i == 50) {
            EXPECT_EQ(table.GetRowCapacity(), i == 49 ? 50 : 100);
        }
    }
    EXPECT_EQ(table.GetRowCapacity(), 150);
    // A step goes back once more than a whole step is unused.
    while (table.GetRowCount() > 100) ASSERT_TRUE(table.RemoveRow(0));
    EXPECT_EQ(table.GetRowCapacity(), 150);
    ASSERT_TRUE(table.RemoveRow(0));
    EXPECT_EQ(table.GetRowCapacity(), 100);
    while (table.GetRowCount() > 49) ASSERT_TRUE(table.RemoveRow(table.GetRowCount() - 1));
    EXPECT_EQ(table.GetRowCapacity(), 50);
    for (int i = 0; i < 49; ++i) {
        EXPECT_EQ(table.GetTag(i), static_cast<uint32_t>(i + 21));
        EXPECT_EQ(table.GetCell(i, 0), std::to_string(i + 21)) << i;
    }

    // Removing all rows keeps the room for the next rows, up to a bound.
    for (int rows : {60, 1000}) {
        while (table.GetRowCount() < rows) ASSERT_GE(table.InsertRow(0, 0), 0);
        ASSERT_TRUE(table.SetCell(0, 0, "kept"));
        table.RemoveAllRows();
        EXPECT_EQ(table.GetRowCount(), 0);
        EXPECT_EQ(table.GetRowCapacity(), rows == 60 ? 100 : TextTable::kKeptRows);
        EXPECT_EQ(table.GetCell(0, 0), nullptr);
    }
    EXPECT_EQ(table.InsertRow(5, 9), 0);
    EXPECT_EQ(table.GetCell(0, 0), nullptr);
}

// Works on two tables that are destroyed before it returns, so that an
// assertion leaving early still lets the caller collect the trace.
void ExerciseCells() {
    {
        TextTable table;
        ASSERT_TRUE(table.SetColumns({"A", "B"}));
        ASSERT_EQ(table.InsertRow(-1, 0), 0);
        for (const auto& at : {std::make_pair(1, 0), {-1, 0}, {0, 5}, {0, -1}}) {
            EXPECT_FALSE(table.SetCell(at.first, at.second, "x")) << at.first << "," << at.second;
        }
        EXPECT_EQ(table.GetCell(0, 5), nullptr);

        EXPECT_TRUE(table.SetCell(0, 0, nullptr));  // an absent cell stays absent
        EXPECT_EQ(table.GetCell(0, 0), nullptr);
        ASSERT_TRUE(table.SetCell(0, 0, "first"));
        EXPECT_TRUE(table.SetCell(0, 0, nullptr));
        EXPECT_STREQ(table.GetCell(0, 0), "first");
        ASSERT_TRUE(table.SetCell(0, 0, table.GetCell(0, 0)));  // its own text
        EXPECT_STREQ(table.GetCell(0, 0), "first");
        ASSERT_TRUE(table.SetCell(0, 0, ""));
        EXPECT_STREQ(table.GetCell(0, 0), "");

        // Texts of every size class and beyond them, replaced, removed and
        // left in the table at its end.
        std::string big(1000, 'b');
        for (int i = 0; i < 8; ++i) {
            ASSERT_GE(table.InsertRow(0, 0), 0);
            std::string text(static_cast<size_t>(i * 40), 'a');
            for (int c = 0; c < TextTable::kMaxColumns; ++c) {
                ASSERT_TRUE(table.SetCell(0, c, text.c_str()));
                ASSERT_TRUE(table.SetCell(0, c, big.c_str()));
            }
        }
        EXPECT_EQ(table.GetCell(0, 4), big);
        ASSERT_TRUE(table.RemoveRow(3));
        ASSERT_TRUE(table.RemoveRow(0));
    }
    TextTable table;
    for (int i = 0; i < 3; ++i) {
        ASSERT_GE(table.InsertRow(-1, 0), 0);
        ASSERT_TRUE(table.SetCell(i, 2, "cell"));
    }
    table.RemoveAllRows();
    // Kept blocks of rows beyond the kept room, given back by the shrink.
    for (int i = 0; i < TextTable::kKeptRows + 20; ++i) {
        ASSERT_GE(table.InsertRow(-1, 0), 0);
        ASSERT_TRUE(table.SetCell(i, 1, std::string(static_cast<size_t>(i * 5), 'k').c_str()));
    }
    table.RemoveAllRows();
}

// A table refilled again and again reuses the blocks of its removed rows:
// the refilled rows must show their own texts only, as a new table does.
TEST(TextTableCellsTest, RefilledRowsShowOnlyTheirOwnCells) {
    struct Fill {
        int rows;
        int column;  // the one cell set in each row
        size_t length;
    };
    const Fill kFills[] = {{4, 0, 3}, {6, 2, 40}, {2, 0, 300}, {5, 4, 0}, {3, 0, 31}, {7, 1, 64}};
    TextTable reused;
    ASSERT_TRUE(reused.SetColumns({"A", "B", "C", "D", "E"}));
    for (const Fill& fill : kFills) {
        TextTable fresh;
        ASSERT_TRUE(fresh.SetColumns({"A", "B", "C", "D", "E"}));
        reused.RemoveAllRows();
        for (int r = 0; r < fill.rows; ++r) {
            std::string text(fill.length + static_cast<size_t>(r), static_cast<char>('a' + r));
            for (TextTable* table : {&reused, &fresh}) {
                // Rows go in at the front as well as at the end.
                int row = table->InsertRow(r % 2 == 0 ? -1 : 0, 0);
                ASSERT_TRUE(table->SetCell(row, fill.column, text.c_str()));
            }
        }
        // A removed row's blocks serve the row inserted after it.
        ASSERT_TRUE(reused.RemoveRow(0) && fresh.RemoveRow(0));
        ASSERT_EQ(reused.InsertRow(1, 0), 1);
        ASSERT_EQ(fresh.InsertRow(1, 0), 1);
        reused.ComputeWidths();
        fresh.ComputeWidths();
        ASSERT_EQ(reused.GetRowCount(), fill.rows);
        for (int r = 0; r < fill.rows; ++r) {
            EXPECT_EQ(RowLine(reused, r), RowLine(fresh, r)) << fill.rows << " row " << r;
            for (int c = 0; c < TextTable::kMaxColumns; ++c) {
                const char* a = reused.GetCell(r, c);
                const char* b = fresh.GetCell(r, c);
                EXPECT_STREQ(a, b) << fill.rows << " row " << r << " cell " << c;
            }
        }
    }
}

TEST(TextTableCellsTest, SetCellRulesAndNoPoolLeaks) {
    Tracer* tracer = Tracer::inst();
    bool wasOn = tracer->IsConsoleOn();
    tracer->SetConsoleOn(true);
    testing::internal::CaptureStdout();
    ExerciseCells();
    fflush(stdout);
    std::string trace = testing::internal::GetCapturedStdout();
    tracer->SetConsoleOn(wasOn);
    EXPECT_EQ(trace, "");  // the cell pool reported no blocks still out
}

}  // namespace
