// DesktopFrontEnd: dialogs of the application core and the hand-over of
// results to the main window.
#include "app/desktop/desktop_front_end.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "app/desktop/main_window.h"
#include "app/desktop/quick_start_dialog.h"

QStringList DialogNameFilters(const char* filter) {
    QStringList parts = QString::fromUtf8(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString name = parts[i];
        name.replace("(*.*)", "(*)");
        filters << name;
    }
    return filters;
}

QString EngineText(const char* text) {
    return QString::fromUtf8(text != nullptr ? text : "");
}

QWidget* DesktopFrontEnd::Parent() const {
    return window;
}

void DesktopFrontEnd::ShowMessage(const char* text) {
    QString message = EngineText(text);
    window->NoteMessage(message);
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(appmsg::kWindowTitle), message,
                    QMessageBox::Ok, Parent());
    box.exec();
}

bool DesktopFrontEnd::Ask(const char* text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(appmsg::kWindowTitle),
                    EngineText(text), QMessageBox::Yes | QMessageBox::No, Parent());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool DesktopFrontEnd::ChooseFile(const FileDialogRequest& request, OTSTR& path) {
    // The dialog may move the current directory; the files of the program
    // ("Dump\Tran", the profile) are named relative to it.
    QString current = QDir::currentPath();
    QFileDialog dialog(Parent());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(DialogNameFilters(request.filter));
    dialog.setDefaultSuffix(QString::fromUtf8(request.defaultExt));
    dialog.setDirectory(current);
    bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    QDir::setCurrent(current);
    if (!chosen) return false;
    path = dialog.selectedFiles().first().toUtf8().constData();
    return true;
}

bool DesktopFrontEnd::OfferSample() {
    QuickStartDialog dialog(Parent());
    return dialog.exec() == QDialog::Accepted;
}

void DesktopFrontEnd::ShowTotals(const char* line) {
    window->SetTotals(EngineText(line));
}

void DesktopFrontEnd::OutputText(const char* text) {
    window->AppendOutput(EngineText(text));
}

void DesktopFrontEnd::ClearOutput() {
    window->ClearOutputText();
}

void DesktopFrontEnd::ShowReportFile(const char* path) {
    window->ShowReportFile(path);
}

void DesktopFrontEnd::RebuildTree(const TextTable& table, const char* status) {
    window->RebuildTree(table, EngineText(status));
}

void DesktopFrontEnd::ShowListPanel() {
    window->ShowMessageList();
}

void DesktopFrontEnd::AcceptingChanged(bool on) {
    window->UpdateAccepting(on);
}

void DesktopFrontEnd::ScriptSelected(const char* path) {
    window->UpdateScript(EngineText(path));
}

void DesktopFrontEnd::MessagesCleared() {
    window->MessagesCleared();
}

void DesktopFrontEnd::MessageAdded(int row) {
    window->MessageAdded(row);
}

void DesktopFrontEnd::MessageTranslated(int row, bool ok) {
    window->MessageTranslated(row, ok);
}

void DesktopFrontEnd::ScriptLoaded(bool ok, const char* error) {
    window->ScriptLoaded(ok, EngineText(error));
}
