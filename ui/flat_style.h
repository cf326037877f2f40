// The flat look of the desktop program in one style sheet: menus, menu bar,
// tool bar, tab bar, header sections, status bar and push buttons. Tested by
// ui/widgets_test.cpp.
#pragma once

#include <QString>

class QApplication;

QString FlatStyleSheet();
// Sets the Fusion style with its light palette and the flat style sheet.
void ApplyFlatStyle(QApplication& app);
