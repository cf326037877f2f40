// The quick-start dialog: what Vantor does, in a few lines, and the offer
// to load the sample protocol with its messages.
#pragma once

#include <QDialog>

// The product's home page ("H&ome Page ..." and the dialog's link).
constexpr const char kHomePageUrl[] = "https://kestrun.example.org/";

class QuickStartDialog : public QDialog {
    Q_OBJECT
  public:
    explicit QuickStartDialog(QWidget* parent = nullptr);
    // exec() answers Accepted for "Load Sample", Rejected for "Close".
};
