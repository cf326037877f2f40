// ActionScript: drives the main window without a person, one line at a
// time, for the screenshots (the hidden option --actions of the program) and
// the widget tests. Commands act through the same signals and commands the
// user's clicks reach; "dialog ..." lines answer the modal dialog that is
// open at that moment (the quick-start dialog, a message box, a question, a
// file dialog). Tested by app/desktop/main_window_test.cpp.
//
//   size W H          resize the main window
//   select PATH       select a protocol script
//   input TEXT        set the input box's text
//   translate | add   the input box's Translate / Add buttons
//   mode tree|plain   the display mode
//   tab input|list    the active tab of the message list panel
//   load PATH         load a message file into the list
//   activate N|all    double click row N of the list, or every row in turn
//   pick TEXT         select the first tree row whose name contains TEXT
//   find TEXT         filter the tree with the find bar (no TEXT: close it)
//   shot NAME         write the window and its open dialogs to DIR/NAME.png
//   wait MS           let the event loop run for MS milliseconds
//   quit              stop here (the program then closes its window)
//   dialog shot NAME  the same, while a dialog is open
//   dialog yes|no|ok|cancel       answer the open dialog
//   dialog file PATH  choose PATH in the open file dialog (or the capture
//                     dialog, which then loads it as it is set)
#pragma once

#include <QObject>
#include <QStringList>

class MainWindow;
class QTimer;
class QWidget;

class ActionScript : public QObject {
    Q_OBJECT
  public:
    ActionScript(MainWindow* window, const QString& shotDir, QObject* parent = nullptr);

    // Lines to run after the ones already queued; blank lines and lines
    // starting with '#' are skipped.
    void Add(const QStringList& lines);
    void Add(const QString& line) { Add(QStringList{line}); }
    // Runs the queue from the event loop, a line per turn.
    void Start();
    bool IsDone() const { return lines.isEmpty(); }
    // Dialogs that no line answers get this answer ("dialog ok") instead
    // of being closed as a problem.
    void AnswerOthers(const QString& line) { otherAnswer = line; }
    // What went wrong (unknown commands, dialogs no line answered).
    const QStringList& Problems() const { return problems; }
    // The texts of the dialogs met, in order.
    const QStringList& DialogTexts() const { return dialogTexts; }
    // The window and its open dialogs as one picture, written to path.
    static bool SaveScreenshot(QWidget* window, const QString& path);

  signals:
    void finished();

  private:
    void Step();
    void WatchDialogs();
    void RunCommand(const QString& line);
    void AnswerDialog(QWidget* dialog, const QString& line);

    MainWindow* window;
    QString shotDir;
    QStringList lines;
    QStringList problems;
    QStringList dialogTexts;
    QString otherAnswer;
    QWidget* lastDialog = nullptr;
    QTimer* stepTimer;
    QTimer* dialogTimer;
    int waitedForDialog = 0;
};
