// MainWindow: the single window of the desktop program: the result views
// (tree-list and plain text), the message list panel with the input box,
// the menus, the tool bar and the status bar, over one Application. It runs
// the start-up and shut-down of the program in their order and keeps the
// view settings. Tested by app/desktop/main_window_test.cpp.
#pragma once

#include <QMainWindow>

#include "app/application.h"
#include "app/desktop/desktop_front_end.h"
#include "app/view_settings.h"

class MessageListPanel;
class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QPlainTextEdit;
class QSocketNotifier;
class QStackedWidget;
class QTimer;
class StripChart;
class TextTable;
class TreeListView;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // The commands of the menus and the tool bar.
    enum Command {
        kSelectScript, kSaveResult, kAcceptExternal, kExit,
        kTreeMode, kPlainMode, kColumnAutoFit, kNameColumn, kDescriptionColumn,
        kFontNormal, kFontSmall, kTopWindow, kOverwrite,
        kAsn1, kShowMessageList, kQuickStart, kHomePage, kAbout,
        kExpandTypeOf, kDisplayModeToggle,
        kCommandCount
    };

    // Runs start-up steps 1 to 9 and posts step 10 (acceptance off, then the
    // sample command) to the event loop.
    explicit MainWindow(const StartUpOptions& options = StartUpOptions(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    Application& App() { return app; }
    TreeListView* Tree() const { return tree; }
    QPlainTextEdit* Output() const { return output; }
    MessageListPanel* ListPanel() const { return panel; }
    QDockWidget* ListDock() const { return dock; }
    QAction* Action(Command command) const { return actions[command]; }
    QComboBox* CommentModeBox() const { return commentBox; }
    // The texts of the status-bar panes "LocalSetting", "Information"
    // (the totals line) and "Script" (the script path).
    QString PaneText(int pane) const;
    // The transient message of the status bar, such as the last message box.
    QString StatusMessage() const;

    // Saves the settings and shuts the application down, once.
    void ShutDown();

    // What the front end hands over.
    void SetTotals(const QString& line);
    void AppendOutput(const QString& text);
    void ClearOutputText();
    void ShowReportFile(const char* path);
    void RebuildTree(const TextTable& table, const QString& status);
    void ShowMessageList();
    void UpdateAccepting(bool on);
    void UpdateScript(const QString& path);
    void NoteMessage(const QString& text);
    void MessagesCleared();
    void MessageAdded(int row);
    void MessageTranslated(int row, bool ok);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateViews();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void ApplySettings();
    void ApplyColumns();
    void ApplyFont();
    void ApplyDisplayMode();
    void RestorePlacement();
    void SavePlacement();
    void SaveCollapseList();
    void Run(Command command);
    void TranslateInput();
    void AddInput();
    void SaveResult();
    void ReadDatagrams();
    void SampleTick();
    void UpdateListTitle();

    DesktopFrontEnd frontEnd;
    Application app;
    ViewSettings views;
    bool shutDown = false;
    // The tree is being rebuilt: expansion changes are not the user's.
    bool rebuilding = false;

    QStackedWidget* resultStack = nullptr;
    TreeListView* tree = nullptr;
    QPlainTextEdit* output = nullptr;
    QDockWidget* dock = nullptr;
    MessageListPanel* panel = nullptr;
    QComboBox* commentBox = nullptr;
    QAction* actions[kCommandCount] = {};
    QLabel* panes[3] = {};
    QLabel* receivingIcon = nullptr;
    StripChart* chart = nullptr;
    QTimer* chartTimer = nullptr;
    QSocketNotifier* notifier = nullptr;
    int receivedThisSecond = 0;
    int translatedThisSecond = 0;
};
