// The widths of a header's sections as they were set or dragged, apart from
// hiding and stretching. Tested by ui/tree_list_view_test.cpp.
#include "ui/section_widths.h"

#include <QEvent>
#include <QHeaderView>
#include <algorithm>

SectionWidths::SectionWidths(QHeaderView* header) : QObject(header), header_(header) {
    // Columns are sized by hand and by the settings, down to nothing; the
    // last one fills what is left.
    header_->setMinimumSectionSize(0);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    header_->setStretchLastSection(true);
    header_->setSectionsMovable(false);
    for (int i = 0; i < header_->count(); ++i) widths_.append(header_->sectionSize(i));
    connect(header_, &QHeaderView::sectionResized, this, &SectionWidths::Resized);
    connect(header_, &QHeaderView::sectionCountChanged, this, &SectionWidths::CountChanged);
    header_->installEventFilter(this);
}

void SectionWidths::Set(const QVector<int>& widths) {
    int n = std::min(static_cast<int>(widths.size()), header_->count());
    for (int i = 0; i < n; ++i) SetOne(i, widths[i]);
}

void SectionWidths::SetOne(int section, int width) {
    if (section < 0 || section >= widths_.size()) return;
    width = std::max(width, 0);
    widths_[section] = width;
    setting_ = true;
    header_->resizeSection(section, width);
    setting_ = false;
}

QVector<int> SectionWidths::Get() const {
    return widths_;
}

void SectionWidths::Resized(int section, int, int newSize) {
    if (setting_ || section < 0 || section >= widths_.size()) return;
    // Hiding reports 0 and stretching the space filled: neither is a width
    // the section was given.
    if (header_->isSectionHidden(section) || IsStretching(section)) return;
    widths_[section] = newSize;
}

void SectionWidths::CountChanged(int, int newCount) {
    int old = widths_.size();
    widths_.resize(newCount);
    for (int i = old; i < newCount; ++i) widths_[i] = header_->sectionSize(i);
}

int SectionWidths::StretchingSection() const {
    if (!header_->stretchLastSection()) return -1;
    for (int visual = header_->count() - 1; visual >= 0; --visual) {
        int logical = header_->logicalIndex(visual);
        if (!header_->isSectionHidden(logical)) return logical;
    }
    return -1;
}

bool SectionWidths::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header_ && event->type() == QEvent::Resize && !shrinkQueued_) {
        shrinkQueued_ = true;
        QMetaObject::invokeMethod(this, &SectionWidths::ShrinkStretched, Qt::QueuedConnection);
    }
    return false;
}

// The header widens a stretching section with the view but leaves it wide
// when the view narrows below the other sections: give it back its own
// width, or the space that is left when that is more.
void SectionWidths::ShrinkStretched() {
    shrinkQueued_ = false;
    int section = StretchingSection();
    if (section < 0 || section >= widths_.size()) return;
    int size = header_->sectionSize(section);
    int others = header_->length() - size;
    int space = header_->viewport()->width() - others;
    int wanted = std::max(widths_[section], space);
    if (size <= wanted) return;
    setting_ = true;
    header_->resizeSection(section, wanted);
    setting_ = false;
}
