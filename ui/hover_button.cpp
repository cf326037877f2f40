// A flat tool button with a frame on hover and a pressed look while checked.
// Tested by ui/widgets_test.cpp.
#include "ui/hover_button.h"

#include <QEnterEvent>
#include <QPainter>

namespace {

const QColor kHoverFill(0xe5, 0xf1, 0xfb);
const QColor kHoverFrame(0x3c, 0x8f, 0xd6);
const QColor kDownFill(0xc4, 0xdd, 0xf3);
const QColor kDownFrame(0x6a, 0x9f, 0xcf);

}  // namespace

HoverButton::HoverButton(const QIcon& icon, const QString& tip, bool checkable, QWidget* parent)
    : QToolButton(parent) {
    setIcon(icon);
    setToolTip(tip);
    setStatusTip(tip);
    setCheckable(checkable);
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setIconSize(QSize(16, 16));
}

void HoverButton::enterEvent(QEnterEvent* event) {
    hovered_ = isEnabled();
    update();
    QToolButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QToolButton::leaveEvent(event);
}

void HoverButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) hovered_ = false;
    QToolButton::changeEvent(event);
}

void HoverButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (isDown() || isChecked()) {
        p.setPen(kDownFrame);
        p.setBrush(kDownFill);
        p.drawRect(frame);
    } else if (hovered_) {
        p.setPen(kHoverFrame);
        p.setBrush(kHoverFill);
        p.drawRect(frame);
    } else if (hasFocus()) {
        p.setPen(QPen(kHoverFrame, 1, Qt::DotLine));
        p.drawRect(frame);
    }
    QIcon::Mode mode = isEnabled() ? (hovered_ ? QIcon::Active : QIcon::Normal) : QIcon::Disabled;
    QIcon::State state = isChecked() ? QIcon::On : QIcon::Off;
    if (!icon().isNull()) {
        QRect area = rect();
        if (isDown() || isChecked()) area.translate(1, 1);
        icon().paint(&p, area, Qt::AlignCenter, mode, state);
    } else {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::ButtonText));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
}
