// A label that behaves as a link: link colour, underlined, a pointing hand,
// and a click (or Enter or Space when focused) opens its address. Tested by
// ui/widgets_test.cpp.
#pragma once

#include <QLabel>
#include <QUrl>

class HyperlinkLabel : public QLabel {
    Q_OBJECT

  public:
    HyperlinkLabel(const QString& text, const QUrl& url, QWidget* parent = nullptr);

    QUrl Url() const { return url_; }
    void SetUrl(const QUrl& url);
    // With false, activation only emits linkActivated.
    void SetOpensUrl(bool opens) { opensUrl_ = opens; }

  signals:
    void linkActivated(const QUrl& url);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Activate();

    QUrl url_;
    bool opensUrl_ = true;
    bool pressed_ = false;
};
