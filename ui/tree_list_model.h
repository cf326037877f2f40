// Rows of text cells arranged in a tree, appended in order with a depth per
// row, for the tree-list view. Tested by ui/tree_list_model_test.cpp.
#pragma once

#include <QAbstractItemModel>
#include <QStringList>
#include <vector>

class TreeListModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    explicit TreeListModel(int columns, QObject* parent = nullptr);

    // Titles beyond the column count are ignored.
    void SetHeaders(const QStringList& titles);
    void Clear();

    // A batch of AddRow calls between BeginRows and EndRows reaches views as
    // one model reset instead of one insertion per row. Batches may nest.
    void BeginRows();
    void EndRows();

    // Appends a row at depth level (0 = top, negative counts as 0). A row one
    // level deeper than the previous becomes its child; a shallower row ends
    // the branch and attaches to the last row one level above it; a jump of
    // more than one level attaches to the deepest row available. Cells
    // beyond the column count are ignored, missing ones are empty.
    QModelIndex AddRow(int level, const QStringList& cells);

    // Rows in the whole tree.
    int TotalRows() const { return static_cast<int>(nodes_.size()); }

    // Every row has a number: its place in tree order, which is the order
    // the rows were added, from 0 to TotalRows() - 1. -1 for an invalid index.
    int RowNumber(const QModelIndex& index) const;
    // An invalid index for a number or column out of range.
    QModelIndex IndexOfNumber(int number, int column = 0) const;
    // -1 for a top row or a number out of range.
    int ParentNumber(int number) const;
    // An empty text for a number or column out of range.
    QString Cell(int number, int column) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Node {
        int parent;  // node number, -1 for a top row
        int row;     // position among the parent's children
        std::vector<int> children;
    };
    // The stack of open branches: the last row added at each requested level
    // that a following deeper row may attach to.
    struct Open {
        int level;
        int node;
    };

    const std::vector<int>& Children(int node) const;

    int columns_;
    QStringList headers_;
    std::vector<Node> nodes_;
    std::vector<int> top_;
    QStringList cells_;  // columns_ cells per node, node by node
    std::vector<Open> open_;
    int batch_ = 0;
};
