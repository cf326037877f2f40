// A tree of text rows in columns over its own TreeListModel, with the
// collapsed rows kept by text. Tested by ui/tree_list_view_test.cpp.
#include "ui/tree_list_view.h"

#include <QHeaderView>
#include <QSet>
#include <algorithm>
#include <vector>

#include "ui/section_widths.h"
#include "ui/tree_list_model.h"

TreeListView::TreeListView(int columns, QWidget* parent)
    : QTreeView(parent), model_(new TreeListModel(columns, this)) {
    setModel(model_);
    setUniformRowHeights(true);
    setAlternatingRowColors(false);
    setAllColumnsShowFocus(true);
    widths_ = new SectionWidths(header());
    connect(this, &QTreeView::expanded, this, &TreeListView::ExpansionSignal);
    connect(this, &QTreeView::collapsed, this, &TreeListView::ExpansionSignal);
}

TreeListModel* TreeListView::Model() {
    return model_;
}

void TreeListView::SetHeaders(const QStringList& titles) {
    model_->SetHeaders(titles);
}

void TreeListView::SetColumnWidths(const QVector<int>& widths) {
    widths_->Set(widths);
}

QVector<int> TreeListView::ColumnWidths() const {
    return widths_->Get();
}

void TreeListView::FitColumns() {
    QHeaderView* head = header();
    for (int c = 0; c < head->count(); ++c) {
        if (head->isSectionHidden(c)) continue;
        widths_->SetOne(c, std::max(sizeHintForColumn(c), head->sectionSizeHint(c)));
    }
}

void TreeListView::Clear() {
    model_->Clear();
}

void TreeListView::BeginRows() {
    model_->BeginRows();
}

void TreeListView::EndRows() {
    model_->EndRows();
}

QModelIndex TreeListView::AddRow(int level, const QStringList& cells) {
    return model_->AddRow(level, cells);
}

// Calls visit(index) for every row with children, in tree order, without
// recursion: trees of any depth are walked.
template <typename Visit>
void TreeListView::ForEachParentRow(Visit visit) const {
    std::vector<QModelIndex> stack;
    auto push = [&](const QModelIndex& parent) {
        for (int r = model_->rowCount(parent) - 1; r >= 0; --r) {
            QModelIndex child = model_->index(r, 0, parent);
            if (model_->hasChildren(child)) stack.push_back(child);
        }
    };
    push(QModelIndex());
    while (!stack.empty()) {
        QModelIndex index = stack.back();
        stack.pop_back();
        visit(index);
        push(index);
    }
}

QStringList TreeListView::CollapsedTexts() const {
    QStringList texts;
    QSet<QString> seen;
    ForEachParentRow([&](const QModelIndex& index) {
        if (isExpanded(index)) return;
        QString text = index.data().toString();
        if (!seen.contains(text)) {
            seen.insert(text);
            texts.append(text);
        }
    });
    return texts;
}

void TreeListView::CollapseTexts(const QStringList& texts) {
    if (texts.isEmpty()) return;
    QSet<QString> wanted(texts.begin(), texts.end());
    ++quiet_;
    changed_ = false;
    ForEachParentRow([&](const QModelIndex& index) {
        if (isExpanded(index) && wanted.contains(index.data().toString())) collapse(index);
    });
    --quiet_;
    if (changed_) emit expansionChanged();
}

void TreeListView::ExpandRow(const QModelIndex& index, bool expand) {
    setExpanded(index, expand);
}

void TreeListView::ExpandAll() {
    ++quiet_;
    changed_ = false;
    expandAll();
    --quiet_;
    if (changed_) emit expansionChanged();
}

void TreeListView::ExpansionSignal() {
    if (quiet_ > 0) {
        changed_ = true;
        return;
    }
    emit expansionChanged();
}
