// A label that behaves as a link and opens its address when clicked.
// Tested by ui/widgets_test.cpp.
#include "ui/hyperlink_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

HyperlinkLabel::HyperlinkLabel(const QString& text, const QUrl& url, QWidget* parent)
    : QLabel(parent), url_(url) {
    setTextFormat(Qt::PlainText);
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(url_.toDisplayString());
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    setPalette(p);
}

void HyperlinkLabel::SetUrl(const QUrl& url) {
    url_ = url;
    setToolTip(url_.toDisplayString());
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    bool click = pressed_ && event->button() == Qt::LeftButton &&
                 rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) Activate();
}

void HyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            event->accept();
            Activate();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

void HyperlinkLabel::Activate() {
    emit linkActivated(url_);
    if (opensUrl_) QDesktopServices::openUrl(url_);
}
