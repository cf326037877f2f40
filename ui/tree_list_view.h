// A tree of text rows in columns with a resizable header, over its own
// TreeListModel; it reports and restores which rows are collapsed by their
// text. Tested by ui/tree_list_view_test.cpp.
#pragma once

#include <QStringList>
#include <QTreeView>
#include <QVector>

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

    void Clear();
    void BeginRows();
    void EndRows();
    QModelIndex AddRow(int level, const QStringList& cells);

    // The column-0 texts of the rows with children that are not expanded, in
    // tree order, each text once.
    QStringList CollapsedTexts() const;
    // Collapses every row with children whose column-0 text is in texts.
    // expansionChanged is emitted once when any row changed.
    void CollapseTexts(const QStringList& texts);
    void ExpandRow(const QModelIndex& index, bool expand);
    // expandAll with one expansionChanged at most.
    void ExpandAll();

  signals:
    // A row was expanded or collapsed, by the user or by code. Code that
    // expands many rows one by one may hold a QSignalBlocker on the view.
    void expansionChanged();

  private:
    void ExpansionSignal();
    template <typename Visit>
    void ForEachParentRow(Visit visit) const;

    TreeListModel* model_;
    SectionWidths* widths_;
    int quiet_ = 0;  // expansion signals are held back while positive
    bool changed_ = false;
};
