// ActionScript: the lines of a run without a person.
#include "app/desktop/action_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "app/desktop/capture_dialog.h"
#include "app/desktop/main_window.h"
#include "app/desktop/message_list_panel.h"
#include "ui/extended_list.h"
#include "ui/find_bar.h"
#include "ui/hex_edit.h"
#include "ui/tree_list_model.h"
#include "ui/tree_list_view.h"

namespace {

// Turns waited for a dialog that a "dialog" line expects (about 5 s).
constexpr int kDialogPatience = 250;

QModelIndex FindRow(const QAbstractItemModel* model, const QModelIndex& parent,
                    const QString& text) {
    for (int row = 0; row < model->rowCount(parent); ++row) {
        QModelIndex index = model->index(row, 0, parent);
        if (model->data(index).toString().contains(text)) return index;
        QModelIndex inner = FindRow(model, index, text);
        if (inner.isValid()) return inner;
    }
    return QModelIndex();
}

// The modal dialog that is open, if any.
QWidget* OpenDialog() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->isModal()) return top;
    }
    return nullptr;
}

}  // namespace

ActionScript::ActionScript(MainWindow* windowIn, const QString& shotDirIn, QObject* parent)
    : QObject(parent),
      window(windowIn),
      shotDir(shotDirIn),
      stepTimer(new QTimer(this)),
      dialogTimer(new QTimer(this)) {
    stepTimer->setSingleShot(true);
    stepTimer->setInterval(20);
    connect(stepTimer, &QTimer::timeout, this, &ActionScript::Step);
    // The dialog watch runs inside the dialogs' own event loops.
    dialogTimer->setInterval(20);
    connect(dialogTimer, &QTimer::timeout, this, &ActionScript::WatchDialogs);
}

void ActionScript::Add(const QStringList& more) {
    for (const QString& line : more) {
        QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith('#')) lines << trimmed;
    }
}

void ActionScript::Start() {
    dialogTimer->start();
    stepTimer->start();
}

void ActionScript::Step() {
    if (OpenDialog() != nullptr) {
        stepTimer->start();  // the dialog watch answers it
        return;
    }
    if (lines.isEmpty()) {
        // The dialog watch goes on: a dialog that comes later is closed
        // rather than waiting for a person.
        emit finished();
        return;
    }
    if (lines.first().startsWith("dialog ")) {
        // The dialog may still be on its way; give up after a while.
        if (++waitedForDialog > kDialogPatience) {
            problems << "no dialog for: " + lines.takeFirst();
            waitedForDialog = 0;
        }
        stepTimer->start();
        return;
    }
    waitedForDialog = 0;
    RunCommand(lines.takeFirst());
    stepTimer->start();
}

void ActionScript::WatchDialogs() {
    QWidget* dialog = OpenDialog();
    if (dialog == nullptr) {
        lastDialog = nullptr;
        return;
    }
    if (dialog != lastDialog) {
        lastDialog = dialog;
        auto* box = qobject_cast<QMessageBox*>(dialog);
        dialogTexts << (box != nullptr ? box->text() : dialog->windowTitle());
    }
    if (lines.isEmpty() || !lines.first().startsWith("dialog ")) {
        if (!otherAnswer.isEmpty()) {
            lastDialog = nullptr;
            AnswerDialog(dialog, otherAnswer);
            return;
        }
        // Nothing answers it: close it, so that no run waits for a person.
        problems << "unanswered dialog: " + dialogTexts.last();
        lastDialog = nullptr;
        AnswerDialog(dialog, "dialog cancel");
        return;
    }
    QString line = lines.takeFirst();
    // The next dialog may be made at the same address.
    if (!line.startsWith("dialog shot ")) lastDialog = nullptr;
    AnswerDialog(dialog, line);
}

void ActionScript::AnswerDialog(QWidget* dialog, const QString& line) {
    QString what = line.section(' ', 1, 1);
    QString argument = line.section(' ', 2);
    if (what == "shot") {
        SaveScreenshot(window, QDir(shotDir).filePath(argument + ".png"));
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        QMessageBox::StandardButton which = what == "yes"  ? QMessageBox::Yes
                                            : what == "no" ? QMessageBox::No
                                            : what == "ok" ? QMessageBox::Ok
                                                           : QMessageBox::NoButton;
        QAbstractButton* button = box->button(which);
        if (button == nullptr) button = box->escapeButton();
        if (button == nullptr) button = box->defaultButton();
        if (button != nullptr) {
            button->click();
        } else {
            box->reject();
        }
        return;
    }
    auto* modal = qobject_cast<QDialog*>(dialog);
    if (modal == nullptr) {
        dialog->close();
        return;
    }
    if (what == "file") {
        if (auto* capture = qobject_cast<CaptureDialog*>(modal)) {
            capture->SetPath(argument);
            capture->accept();
            return;
        }
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            files->selectFile(QDir::current().absoluteFilePath(argument));
            // selectFile leaves the name box alone while it has the focus.
            if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) {
                name->setText(QFileInfo(argument).fileName());
            }
            // Accepted as it stands: no questions of the dialog's own.
            static_cast<QDialog*>(files)->done(QDialog::Accepted);
            return;
        }
    }
    if (what == "yes" || what == "ok") {
        modal->accept();
    } else {
        modal->reject();
    }
}

void ActionScript::RunCommand(const QString& line) {
    QString command = line.section(' ', 0, 0);
    QString argument = line.section(' ', 1);
    MessageListPanel* panel = window->ListPanel();
    if (command == "size") {
        window->resize(line.section(' ', 1, 1).toInt(), line.section(' ', 2, 2).toInt());
    } else if (command == "select") {
        window->App().SelectScript(argument.toUtf8().constData());
    } else if (command == "input") {
        panel->Input()->setPlainText(argument);
    } else if (command == "translate") {
        emit panel->translateClicked();
    } else if (command == "add") {
        emit panel->addClicked();
    } else if (command == "mode") {
        window->Action(argument == "plain" ? MainWindow::kPlainMode : MainWindow::kTreeMode)
            ->trigger();
    } else if (command == "tab") {
        panel->SetActiveTab(argument == "list" ? MessageListPanel::kListTab
                                               : MessageListPanel::kInputTab);
    } else if (command == "load") {
        window->App().LoadMessageFile(argument.toUtf8().constData());
    } else if (command == "activate") {
        int count = panel->List()->RowCount();
        int first = argument == "all" ? 0 : argument.toInt();
        int last = argument == "all" ? count - 1 : first;
        for (int row = first; row <= last && row < count; ++row)
            emit panel->List()->rowActivated(row);
    } else if (command == "pick") {
        TreeListView* tree = window->Tree();
        QModelIndex index = FindRow(tree->model(), QModelIndex(), argument);
        if (!index.isValid()) {
            problems << "no tree row: " + argument;
            return;
        }
        tree->setCurrentIndex(index);
        tree->scrollTo(index);
    } else if (command == "find") {
        window->ShowFind();
        window->Find()->Edit()->setText(argument);
        if (argument.isEmpty()) emit window->Find()->closed();
    } else if (command == "shot") {
        if (!SaveScreenshot(window, QDir(shotDir).filePath(argument + ".png"))) {
            problems << "cannot write " + argument;
        }
    } else if (command == "wait") {
        QEventLoop loop;
        QTimer::singleShot(argument.toInt(), &loop, &QEventLoop::quit);
        loop.exec();
    } else if (command == "quit") {
        lines.clear();
    } else {
        problems << "unknown command: " + line;
    }
}

bool ActionScript::SaveScreenshot(QWidget* window, const QString& path) {
    QCoreApplication::processEvents();
    QImage image = window->grab().toImage();
    QPainter painter(&image);
    // Dialogs and floating panels are windows of their own: painted where
    // they stand over the main window.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == window || !top->isVisible() || top->isWindow() == false) continue;
        if (qobject_cast<QDialog*>(top) == nullptr && !top->inherits("QDockWidget")) continue;
        QPoint at = top->frameGeometry().topLeft() - window->geometry().topLeft();
        QImage picture = top->grab().toImage();
        painter.fillRect(QRect(at + QPoint(3, 3), picture.size()), QColor(0, 0, 0, 60));
        painter.drawImage(at, picture);
        painter.setPen(QColor(120, 120, 120));
        painter.drawRect(QRect(at, picture.size()).adjusted(0, 0, -1, -1));
    }
    painter.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path);
}
