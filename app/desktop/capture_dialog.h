// CaptureDialog: "Load capture ...": the capture file and what of each
// packet becomes a message (layer, UDP and TCP ports, a filter expression).
// Tested by app/desktop/main_window_test.cpp.
#pragma once

#include <QDialog>

#include "app/capture_reader.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

class CaptureDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CaptureDialog(QWidget* parent = nullptr);

    QString Path() const;
    void SetPath(const QString& path);
    CaptureOptions Options() const;
    void SetOptions(const CaptureOptions& options);

  private:
    void Browse();

    QLineEdit* path;
    QComboBox* layer;
    QSpinBox* udpPort;
    QSpinBox* tcpPort;
    QLineEdit* filter;
};
