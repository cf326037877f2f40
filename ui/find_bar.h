// The bar that filters a tree by a text and steps through the matches: the
// text box, Previous and Next, the match count and a close button. Tested by
// ui/widgets_test.cpp.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

class FindBar : public QWidget {
    Q_OBJECT

  public:
    explicit FindBar(QWidget* parent = nullptr);

    // "3 matches", "1 match", "no match"; nothing while the box is empty or
    // for a negative count.
    void SetMatchCount(int count);
    QLineEdit* Edit() const { return edit_; }

  signals:
    // Every change of the text, an empty one included.
    void filterChanged(const QString& text);
    // Next button or Enter in the box.
    void nextRequested();
    // Previous button or Shift+Enter in the box.
    void previousRequested();
    // Close button or Escape: the bar hides itself and keeps its text.
    void closed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Close();

    QLineEdit* edit_;
    QLabel* count_;
};
