// A flat list of rows in columns with a state icon in the first column.
// Tested by ui/extended_list_test.cpp.
#include "ui/extended_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "ui/glyph_icons.h"
#include "ui/section_widths.h"

namespace {

constexpr int kStateRole = Qt::UserRole + 1;

QIcon StateIcon(ExtendedList::RowState state) {
    switch (state) {
        case ExtendedList::RowState::Ok:
            return GlyphIcon(Glyph::Ok);
        case ExtendedList::RowState::Failed:
            return GlyphIcon(Glyph::Failed);
        case ExtendedList::RowState::None:
            break;
    }
    return GlyphIcon(Glyph::Neutral);
}

}  // namespace

ExtendedList::ExtendedList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setExpandsOnDoubleClick(false);
    setIconSize(QSize(16, 16));
    widths_ = new SectionWidths(header());
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit rowActivated(index.row());
    });
}

void ExtendedList::SetColumns(const QStringList& titles, const QVector<int>& widths) {
    setColumnCount(std::max(static_cast<int>(titles.size()), 1));
    setHeaderLabels(titles);
    SetColumnWidths(widths);
}

void ExtendedList::SetColumnWidths(const QVector<int>& widths) {
    widths_->Set(widths);
}

QVector<int> ExtendedList::ColumnWidths() const {
    return widths_->Get();
}

int ExtendedList::AddRow(const QStringList& cells, RowState state) {
    auto* item = new QTreeWidgetItem();
    int n = std::min(static_cast<int>(cells.size()), columnCount());
    for (int c = 0; c < n; ++c) item->setText(c, cells[c]);
    item->setData(0, kStateRole, static_cast<int>(state));
    item->setIcon(0, StateIcon(state));
    addTopLevelItem(item);
    return topLevelItemCount() - 1;
}

void ExtendedList::SetCells(int row, int firstColumn, const QStringList& cells) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || firstColumn < 0) return;
    int end = std::min(firstColumn + static_cast<int>(cells.size()), columnCount());
    for (int c = firstColumn; c < end; ++c) item->setText(c, cells[c - firstColumn]);
}

void ExtendedList::SetRowState(int row, RowState state) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || GetRowState(row) == state) return;
    item->setData(0, kStateRole, static_cast<int>(state));
    item->setIcon(0, StateIcon(state));
}

ExtendedList::RowState ExtendedList::GetRowState(int row) const {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) return RowState::None;
    return static_cast<RowState>(item->data(0, kStateRole).toInt());
}

QString ExtendedList::Cell(int row, int column) const {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= columnCount()) return {};
    return item->text(column);
}

int ExtendedList::RowCount() const {
    return topLevelItemCount();
}

void ExtendedList::ClearRows() {
    clear();
}

void ExtendedList::SelectRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(item);
    scrollToItem(item);
}

int ExtendedList::SelectedRow() const {
    QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : indexOfTopLevelItem(items.first());
}

void ExtendedList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QModelIndex current = currentIndex();
        if (current.isValid()) {
            emit rowActivated(current.row());
            event->accept();
            return;
        }
    }
    QTreeWidget::keyPressEvent(event);
}
