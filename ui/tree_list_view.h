// A tree of text rows in columns with a resizable header, over its own
// TreeListModel; it reports and restores which rows are collapsed by their
// text, and filters its rows by a text. Tested by ui/tree_list_view_test.cpp.
#pragma once

#include <QStringList>
#include <QTreeView>
#include <QVector>
#include <vector>

class SectionWidths;
class TreeListModel;

class TreeListView : public QTreeView {
    Q_OBJECT

  public:
    explicit TreeListView(int columns = 5, QWidget* parent = nullptr);

    // The view owns the model.
    TreeListModel* Model();
    void SetHeaders(const QStringList& titles);

    // A width of 0 keeps the column's place with nothing visible. Hidden
    // columns (setColumnHidden) keep and report the width they get back when
    // shown; the last column stretches over the free space but reports the
    // width it was given.
    void SetColumnWidths(const QVector<int>& widths);
    QVector<int> ColumnWidths() const;
    // Fits every column that is shown to its contents and header.
    void FitColumns();

    // Drops the rows and the filter.
    void Clear();
    void BeginRows();
    void EndRows();
    QModelIndex AddRow(int level, const QStringList& cells);

    // The column-0 texts of the rows with children that are not expanded, in
    // tree order, each text once. While a filter is active it reports the
    // state saved when filtering began, which is the user's.
    QStringList CollapsedTexts() const;
    // Collapses every row with children whose column-0 text is in texts.
    // expansionChanged is emitted once when any row changed.
    void CollapseTexts(const QStringList& texts);
    void ExpandRow(const QModelIndex& index, bool expand);
    // expandAll with one expansionChanged at most.
    void ExpandAll();

    // Hides every row for which neither it nor any row below it has a cell in
    // one of columns containing text, ignoring case; the rows above a match
    // are expanded so that it shows. Returns the number of matching rows.
    // The first filter saves which rows are expanded; an empty text shows
    // every row again, restores that state (expansions made meanwhile are
    // dropped) and returns 0. The filter sees the rows there are when it is
    // set; rebuilding the model (Clear, or a batch of rows) drops it.
    // Columns outside the model are ignored. No expansionChanged is emitted.
    int SetFilter(const QString& text, const QVector<int>& columns);
    // Empty when no filter is active.
    QString Filter() const { return filter_; }
    // Makes the next matching row after the current index (the previous one
    // when backwards) current, wrapping around, and scrolls to it. Invalid
    // when no filter is active or nothing matches.
    QModelIndex FindNext(bool backwards);

  signals:
    // A row was expanded or collapsed, by the user or by code. Code that
    // expands many rows one by one may hold a QSignalBlocker on the view.
    void expansionChanged();

  private:
    void ExpansionSignal();
    template <typename Visit>
    void ForEachParentRow(Visit visit) const;
    // The expansion of a row with children the way the user left it.
    bool UserExpanded(const QModelIndex& index) const;
    void EndFilter();
    void DropFilter();

    TreeListModel* model_;
    SectionWidths* widths_;
    int quiet_ = 0;  // expansion signals are held back while positive
    bool changed_ = false;

    // The filter, with one entry per row number of the model.
    QString filter_;
    std::vector<char> saved_;   // expanded when filtering began
    std::vector<char> hidden_;  // hidden by the filter
    std::vector<char> match_;
    int matches_ = 0;
};
