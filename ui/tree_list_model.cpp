// Rows of text cells arranged in a tree, appended in order with a depth per
// row. Tested by ui/tree_list_model_test.cpp.
#include "ui/tree_list_model.h"

#include <algorithm>

TreeListModel::TreeListModel(int columns, QObject* parent)
    : QAbstractItemModel(parent), columns_(std::max(columns, 1)) {}

void TreeListModel::SetHeaders(const QStringList& titles) {
    headers_ = titles.mid(0, columns_);
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void TreeListModel::Clear() {
    if (batch_ == 0) beginResetModel();
    nodes_.clear();
    top_.clear();
    cells_.clear();
    open_.clear();
    if (batch_ == 0) endResetModel();
}

void TreeListModel::BeginRows() {
    if (batch_++ == 0) beginResetModel();
}

void TreeListModel::EndRows() {
    if (batch_ == 0) return;
    if (--batch_ == 0) endResetModel();
}

QModelIndex TreeListModel::AddRow(int level, const QStringList& cells) {
    level = std::max(level, 0);
    // Close the branches at this level and deeper: what remains on top is the
    // nearest row above, which takes the new row even across skipped levels.
    while (!open_.empty() && open_.back().level >= level) open_.pop_back();
    int parent = open_.empty() ? -1 : open_.back().node;
    std::vector<int>& siblings = parent < 0 ? top_ : nodes_[parent].children;
    int node = static_cast<int>(nodes_.size());
    int row = static_cast<int>(siblings.size());

    if (batch_ == 0) {
        QModelIndex parentIndex =
            parent < 0 ? QModelIndex() : createIndex(nodes_[parent].row, 0, parent);
        beginInsertRows(parentIndex, row, row);
    }
    siblings.push_back(node);
    nodes_.push_back(Node{parent, row, {}});
    for (int c = 0; c < columns_; ++c) cells_.append(c < cells.size() ? cells[c] : QString());
    open_.push_back(Open{level, node});
    if (batch_ == 0) endInsertRows();
    return createIndex(row, 0, node);
}

int TreeListModel::RowNumber(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex TreeListModel::IndexOfNumber(int number, int column) const {
    if (number < 0 || number >= TotalRows() || column < 0 || column >= columns_) return {};
    return createIndex(nodes_[number].row, column, number);
}

int TreeListModel::ParentNumber(int number) const {
    if (number < 0 || number >= TotalRows()) return -1;
    return nodes_[number].parent;
}

QString TreeListModel::Cell(int number, int column) const {
    if (number < 0 || number >= TotalRows() || column < 0 || column >= columns_) return {};
    return cells_[number * columns_ + column];
}

const std::vector<int>& TreeListModel::Children(int node) const {
    return node < 0 ? top_ : nodes_[node].children;
}

QModelIndex TreeListModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= columns_ || row < 0) return {};
    if (parent.isValid() && parent.column() != 0) return {};
    const std::vector<int>& children =
        Children(parent.isValid() ? static_cast<int>(parent.internalId()) : -1);
    if (row >= static_cast<int>(children.size())) return {};
    return createIndex(row, column, children[row]);
}

QModelIndex TreeListModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    int parent = nodes_[child.internalId()].parent;
    if (parent < 0) return {};
    return createIndex(nodes_[parent].row, 0, parent);
}

int TreeListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(
        Children(parent.isValid() ? static_cast<int>(parent.internalId()) : -1).size());
}

int TreeListModel::columnCount(const QModelIndex&) const {
    return columns_;
}

bool TreeListModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant TreeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return cells_[static_cast<int>(index.internalId()) * columns_ + index.column()];
}

QVariant TreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= headers_.size()) return {};
    return headers_[section];
}

Qt::ItemFlags TreeListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
