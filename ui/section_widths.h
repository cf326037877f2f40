// The widths of a horizontal header's sections as they were set or dragged:
// a hidden section keeps the width it gets back when shown, and a stretching
// last section keeps its own width apart from the space it fills. Used by
// the tree-list view and the extended list; tested by
// ui/tree_list_view_test.cpp.
#pragma once

#include <QObject>
#include <QVector>

class QHeaderView;

class SectionWidths : public QObject {
    Q_OBJECT

  public:
    // Sets header up for widths kept by hand (resizable, none below 0, the
    // last one stretching) and follows it from now on; the object is a
    // child of header.
    explicit SectionWidths(QHeaderView* header);

    // Widths beyond the section count are ignored, negative ones count as 0.
    void Set(const QVector<int>& widths);
    // Sets one section's width; hidden sections take it when shown again.
    void SetOne(int section, int width);
    QVector<int> Get() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Resized(int section, int oldSize, int newSize);
    void CountChanged(int oldCount, int newCount);
    int StretchingSection() const;
    bool IsStretching(int section) const { return section >= 0 && section == StretchingSection(); }
    void ShrinkStretched();

    QHeaderView* header_;
    QVector<int> widths_;
    bool setting_ = false;
    bool shrinkQueued_ = false;
};
