// DesktopFrontEnd: the application core's front end in the windows. Message
// boxes, questions, file dialogs and the quick-start dialog are its own;
// everything the main window shows is handed to the MainWindow.
// Tested by app/desktop/main_window_test.cpp.
#pragma once

#include <QString>
#include <QStringList>

#include "app/application.h"

class MainWindow;
class QWidget;

// "Name (*.x)|*.x|All Files (*.*)|*.*||" as name filters of a file dialog;
// "*.*" matches every file.
QStringList DialogNameFilters(const char* filter);
// Engine texts are bytes; shown as UTF-8, with the line ends they carry.
QString EngineText(const char* text);

class DesktopFrontEnd : public AppFrontEnd {
  public:
    explicit DesktopFrontEnd(MainWindow* window) : window(window) {}

    void ShowMessage(const char* text) override;
    bool Ask(const char* text) override;
    bool ChooseFile(const FileDialogRequest& request, OTSTR& path) override;
    bool OfferSample() override;

    void ShowTotals(const char* line) override;
    void OutputText(const char* text) override;
    void ClearOutput() override;
    void ShowReportFile(const char* path) override;
    void RebuildTree(const TextTable& table, const char* status) override;
    void ShowListPanel() override;
    void AcceptingChanged(bool on) override;
    void ScriptSelected(const char* path) override;
    void MessagesCleared() override;
    void MessageAdded(int row) override;
    void MessageTranslated(int row, bool ok) override;
    void ScriptLoaded(bool ok, const char* error) override;

  private:
    QWidget* Parent() const;

    MainWindow* window;
};
