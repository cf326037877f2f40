// A flat tool button that shows a frame while the mouse is over it and a
// pressed look while it is checked or held down. Tested by
// ui/widgets_test.cpp.
#pragma once

#include <QToolButton>

class HoverButton : public QToolButton {
    Q_OBJECT

  public:
    HoverButton(const QIcon& icon, const QString& tip, bool checkable, QWidget* parent = nullptr);

    // True while the mouse is over the enabled button.
    bool IsHovered() const { return hovered_; }

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool hovered_ = false;
};
