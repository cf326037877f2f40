// The find bar: its keys, buttons and match count. Tested by
// ui/widgets_test.cpp.
#include "ui/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* MakeButton(QWidget* parent, const QString& text, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

FindBar::FindBar(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), count_(new QLabel(this)) {
    edit_->setPlaceholderText(tr("Find name, value or comment"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);
    QToolButton* previous = MakeButton(this, tr("Previous"), tr("Previous match (Shift+Enter)"));
    QToolButton* next = MakeButton(this, tr("Next"), tr("Next match (Enter)"));
    QToolButton* close = MakeButton(this, QString(), tr("Close (Escape)"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance(tr("0000 matches")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(edit_, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(count_);
    layout->addWidget(close);

    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) count_->clear();
        emit filterChanged(text);
    });
    connect(previous, &QToolButton::clicked, this, &FindBar::previousRequested);
    connect(next, &QToolButton::clicked, this, &FindBar::nextRequested);
    connect(close, &QToolButton::clicked, this, &FindBar::Close);
}

void FindBar::SetMatchCount(int count) {
    if (count < 0 || edit_->text().isEmpty())
        count_->clear();
    else if (count == 0)
        count_->setText(tr("no match"));
    else if (count == 1)
        count_->setText(tr("1 match"));
    else
        count_->setText(tr("%1 matches").arg(count));
}

// Enter, Shift+Enter and Escape belong to the bar while the box has the
// focus, even where the window has shortcuts on them.
bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ ||
        (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter && key->key() != Qt::Key_Escape) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (key->key() == Qt::Key_Escape)
        Close();
    else if (key->modifiers() & Qt::ShiftModifier)
        emit previousRequested();
    else
        emit nextRequested();
    return true;
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::Close() {
    hide();
    emit closed();
}
