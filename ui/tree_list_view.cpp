// A tree of text rows in columns over its own TreeListModel, with the
// collapsed rows kept by text and a filter that works on row numbers in one
// pass each way. Tested by ui/tree_list_view_test.cpp.
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
    // A reset clears the view's hidden rows and expansions with the rows.
    connect(model_, &QAbstractItemModel::modelReset, this, &TreeListView::DropFilter);
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
    DropFilter();
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
        if (UserExpanded(index)) return;
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

bool TreeListView::UserExpanded(const QModelIndex& index) const {
    int number = model_->RowNumber(index);
    if (filter_.isEmpty() || number < 0 || number >= static_cast<int>(saved_.size()))
        return isExpanded(index);
    return saved_[number] != 0;
}

int TreeListView::SetFilter(const QString& text, const QVector<int>& columns) {
    if (text.isEmpty()) {
        EndFilter();
        return 0;
    }
    const int rows = model_->TotalRows();
    // Rows added since the last filter are saved as they are now.
    for (int n = static_cast<int>(saved_.size()); n < rows; ++n)
        saved_.push_back(isExpanded(model_->IndexOfNumber(n)) ? 1 : 0);
    hidden_.resize(rows, 0);
    filter_ = text;

    QVector<int> searched;
    for (int c : columns)
        if (c >= 0 && c < model_->columnCount()) searched.append(c);
    match_.assign(rows, 0);
    matches_ = 0;
    for (int n = 0; n < rows; ++n) {
        for (int c : searched) {
            if (model_->Cell(n, c).contains(text, Qt::CaseInsensitive)) {
                match_[n] = 1;
                ++matches_;
                break;
            }
        }
    }

    // Children come after their parent: one backward pass marks every row
    // that shows (kShown) and every row with a child that shows (kOpen).
    enum : char { kShown = 1, kOpen = 2 };
    std::vector<char> state(rows, 0);
    for (int n = rows - 1; n >= 0; --n) {
        if (match_[n]) state[n] |= kShown;
        if (!(state[n] & kShown)) continue;
        int parent = model_->ParentNumber(n);
        if (parent >= 0) state[parent] |= kShown | kOpen;
    }

    // With a layout pending the view only records each change.
    scheduleDelayedItemsLayout();
    ++quiet_;
    for (int n = 0; n < rows; ++n) {
        QModelIndex index = model_->IndexOfNumber(n);
        bool hide = !(state[n] & kShown);
        if (hide != (hidden_[n] != 0)) {
            setRowHidden(index.row(), index.parent(), hide);
            hidden_[n] = hide;
        }
        if (model_->hasChildren(index)) {
            bool expand = (state[n] & kOpen) || saved_[n];
            if (expand != isExpanded(index)) setExpanded(index, expand);
        }
    }
    --quiet_;
    changed_ = false;
    return matches_;
}

QModelIndex TreeListView::FindNext(bool backwards) {
    if (filter_.isEmpty() || matches_ == 0) return {};
    const int rows = static_cast<int>(match_.size());
    int number = model_->RowNumber(currentIndex());
    if (number < 0 || number >= rows) number = backwards ? rows : -1;
    const int step = backwards ? -1 : 1;
    for (int i = 1; i <= rows; ++i) {
        int n = ((number + i * step) % rows + rows) % rows;
        if (!match_[n]) continue;
        QModelIndex index = model_->IndexOfNumber(n);
        setCurrentIndex(index);
        // Scrolling expands collapsed rows above the match: no signal for them.
        ++quiet_;
        scrollTo(index);
        --quiet_;
        changed_ = false;
        return index;
    }
    return {};
}

void TreeListView::EndFilter() {
    if (filter_.isEmpty()) return;
    scheduleDelayedItemsLayout();
    ++quiet_;
    const int rows = std::min(model_->TotalRows(), static_cast<int>(saved_.size()));
    for (int n = 0; n < rows; ++n) {
        QModelIndex index = model_->IndexOfNumber(n);
        if (hidden_[n]) setRowHidden(index.row(), index.parent(), false);
        if (model_->hasChildren(index) && isExpanded(index) != (saved_[n] != 0))
            setExpanded(index, saved_[n] != 0);
    }
    --quiet_;
    changed_ = false;
    DropFilter();
}

void TreeListView::DropFilter() {
    filter_.clear();
    saved_.clear();
    hidden_.clear();
    match_.clear();
    matches_ = 0;
}
