// The flat look of the desktop program: one style sheet over the Fusion
// style's light palette. Tested by ui/widgets_test.cpp.
#include "ui/flat_style.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

QString FlatStyleSheet() {
    // Colours: #f3f3f3 bars, #d0d0d0 separators, #cce4f7 highlight,
    // #3c8fd6 frame of the hovered control. Menu check marks stay with the
    // style, which draws them in the left margin the items leave free.
    return QStringLiteral(R"(
QMenuBar {
    background: #f3f3f3;
    border-bottom: 1px solid #d0d0d0;
}
QMenuBar::item {
    background: transparent;
    padding: 3px 8px;
}
QMenuBar::item:selected, QMenuBar::item:pressed {
    background: #cce4f7;
    color: #000000;
}
QMenu {
    background: #ffffff;
    border: 1px solid #b8b8b8;
    padding: 2px 0px;
}
QMenu::item {
    background: transparent;
    color: #202020;
    padding: 4px 24px 4px 28px;
}
QMenu::item:selected {
    background: #cce4f7;
    color: #000000;
}
QMenu::item:disabled {
    color: #a0a0a0;
}
QMenu::separator {
    height: 1px;
    background: #d8d8d8;
    margin: 3px 6px;
}
QToolBar {
    background: #f3f3f3;
    border: none;
    border-bottom: 1px solid #d0d0d0;
    padding: 1px;
    spacing: 2px;
}
QToolBar::separator {
    background: #d0d0d0;
    width: 1px;
    margin: 4px 3px;
}
QTabWidget::pane {
    border: 1px solid #d0d0d0;
    top: -1px;
}
QTabBar::tab {
    background: #ececec;
    color: #303030;
    border: 1px solid #d0d0d0;
    border-bottom: none;
    padding: 3px 12px;
    margin-right: 1px;
}
QTabBar::tab:selected {
    background: #ffffff;
    color: #000000;
}
QTabBar::tab:hover:!selected {
    background: #e5f1fb;
}
QHeaderView::section {
    background: #f3f3f3;
    color: #202020;
    border: none;
    border-right: 1px solid #d8d8d8;
    border-bottom: 1px solid #d0d0d0;
    padding: 2px 4px;
}
QStatusBar {
    background: #f3f3f3;
    border-top: 1px solid #d0d0d0;
}
QStatusBar::item {
    border: none;
    border-left: 1px solid #d0d0d0;
}
QPushButton {
    background: #f7f7f7;
    color: #202020;
    border: 1px solid #b8b8b8;
    border-radius: 2px;
    padding: 3px 12px;
    min-width: 60px;
}
QPushButton:hover {
    background: #e5f1fb;
    border-color: #3c8fd6;
}
QPushButton:pressed, QPushButton:checked {
    background: #cce4f7;
}
QPushButton:default {
    border-color: #3c8fd6;
}
QPushButton:disabled {
    color: #a0a0a0;
    border-color: #d0d0d0;
}
)");
}

void ApplyFlatStyle(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        app.setStyle(fusion);
        app.setPalette(fusion->standardPalette());
    }
    app.setStyleSheet(FlatStyleSheet());
}
