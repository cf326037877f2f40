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

class FindBar;
class HexView;
class HyperlinkLabel;
class MessageListPanel;
class QMenu;
class QUrl;
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
        kSelectScript,
        kSaveResult,
        kAcceptExternal,
        kExit,
        kTreeMode,
        kPlainMode,
        kColumnAutoFit,
        kNameColumn,
        kDescriptionColumn,
        kFontNormal,
        kFontSmall,
        kTopWindow,
        kOverwrite,
        kAsn1,
        kShowMessageList,
        kQuickStart,
        kHomePage,
        kAbout,
        kExpandTypeOf,
        kDisplayModeToggle,
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
    HexView* Hex() const { return hexView; }
    FindBar* Find() const { return findBar; }
    QMenu* RecentMenu() const { return recentMenu; }
    // The scripts of the "Recent scripts" list, newest first.
    QStringList RecentScripts() const;
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
    void ScriptLoaded(bool ok, const QString& error);

    // The tree row's value, its cells as a line of text, the JSON of its
    // node (the same as vantor-cli writes), and the whole translation's
    // JSON line; empty when there is none.
    QString RowValue(const QModelIndex& index) const;
    QString RowText(const QModelIndex& index) const;
    QString RowJson(const QModelIndex& index);
    QString TranslationJson();
    // Selects the deepest tree row whose bytes cover offset.
    void SelectRowAtByte(int offset);
    // Opens the find bar over the tree.
    void ShowFind();
    // "Export translation as JSON ...": the JSON line of the translation.
    void ExportJson();
    // "Load capture ...": the capture dialog, then the packets into the list.
    void LoadCapture();
    // Files dropped on the window: a script (*.txt) is selected, a message
    // file (*.dat) loaded with the load command's questions.
    void DropFiles(const QList<QUrl>& urls);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

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
    // After "Hex stream error", where and why in the status bar.
    void ExplainInput(const QByteArray& text);
    void SaveResult();
    void ReadDatagrams();
    void SampleTick();
    void UpdateListTitle();
    void ShowRowBytes(const QModelIndex& index);
    void ShowMessageBytes(const uint8_t* bytes, int length);
    void InputChanged();
    void ListSelectionChanged();
    void TreeMenu(const QPoint& pos);
    void UpdateRecentMenu();
    // Writes text to path, replacing it; a failure is shown.
    void SaveText(const char* path, const QByteArray& text);

    DesktopFrontEnd frontEnd;
    Application app;
    ViewSettings views;
    bool shutDown = false;
    // The tree is being rebuilt: expansion changes are not the user's.
    bool rebuilding = false;
    // The tree's first row is the translation's status text.
    bool hasStatusRow = false;
    // The choices of the last "Load capture ...".
    QString capturePath;
    CaptureOptions captureOptions;

    QStackedWidget* resultStack = nullptr;
    QWidget* treePage = nullptr;  // the find bar over the tree, a page of resultStack
    TreeListView* tree = nullptr;
    QPlainTextEdit* output = nullptr;
    QDockWidget* dock = nullptr;
    MessageListPanel* panel = nullptr;
    QComboBox* commentBox = nullptr;
    QAction* actions[kCommandCount] = {};
    QLabel* panes[2] = {};
    HyperlinkLabel* scriptPane = nullptr;
    HexView* hexView = nullptr;
    FindBar* findBar = nullptr;
    QMenu* recentMenu = nullptr;
    QLabel* receivingIcon = nullptr;
    StripChart* chart = nullptr;
    QTimer* chartTimer = nullptr;
    QSocketNotifier* notifier = nullptr;
    int receivedThisSecond = 0;
    int translatedThisSecond = 0;
};
