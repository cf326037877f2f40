// A flat list of rows in columns with a state icon in the first column (none,
// ok, failed). Tested by ui/extended_list_test.cpp.
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <QVector>

class SectionWidths;

class ExtendedList : public QTreeWidget {
    Q_OBJECT

  public:
    enum class RowState { None, Ok, Failed };

    explicit ExtendedList(QWidget* parent = nullptr);

    // Sets the column count and titles, then the widths.
    void SetColumns(const QStringList& titles, const QVector<int>& widths);
    void SetColumnWidths(const QVector<int>& widths);
    QVector<int> ColumnWidths() const;

    // Appends a row and returns its number. Cells beyond the column count
    // are ignored.
    int AddRow(const QStringList& cells, RowState state = RowState::None);
    // Replaces the cells of row from firstColumn on; out-of-range rows and
    // columns are ignored.
    void SetCells(int row, int firstColumn, const QStringList& cells);
    void SetRowState(int row, RowState state);
    // RowState::None for a row that does not exist.
    RowState GetRowState(int row) const;
    // An empty text for a cell that does not exist.
    QString Cell(int row, int column) const;
    int RowCount() const;
    void ClearRows();
    // Selects the row and scrolls to it; a row that does not exist clears
    // the selection.
    void SelectRow(int row);
    // The selected row, -1 when none.
    int SelectedRow() const;

  signals:
    // Double click on a row, or Enter on the current row.
    void rowActivated(int row);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    SectionWidths* widths_;
};
