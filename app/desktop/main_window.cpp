// MainWindow: start-up and shut-down, menus, tool bar, status bar, the
// result views and the view settings.
#include "app/desktop/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/desktop/capture_dialog.h"
#include "app/desktop/message_list_panel.h"
#include "app/desktop/quick_start_dialog.h"
#include "app/desktop/row_lookup.h"
#include "app/hex_input.h"
#include "app/result_json.h"
#include "base/path.h"
#include "types/instance_dump.h"
#include "types/text_table.h"
#include "ui/extended_list.h"
#include "ui/find_bar.h"
#include "ui/glyph_icons.h"
#include "ui/hex_edit.h"
#include "ui/hex_view.h"
#include "ui/hover_button.h"
#include "ui/hyperlink_label.h"
#include "ui/strip_chart.h"
#include "ui/tree_list_model.h"
#include "ui/tree_list_view.h"

namespace {

// The plain view shows at most this much of the end of "Dump\Tran", which
// grows with every translation unless it is overwritten.
constexpr int32_t kMaxPlainBytes = 8 * 1024 * 1024;

constexpr const char* kPaneTexts[] = {"LocalSetting", "Information", "Script"};
// The tree columns the find bar searches: the name and the value/comment.
const QVector<int> kFindColumns = {0, 4};
constexpr char kJsonFilter[] = "JSON Files (*.json)|*.json|All Files (*.*)|*.*||";

QStringList ToStringList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) list << QString::fromStdString(text);
    return list;
}

std::vector<std::string> ToVector(const QStringList& texts) {
    std::vector<std::string> out;
    for (const QString& text : texts) out.push_back(text.toStdString());
    return out;
}

}  // namespace

MainWindow::MainWindow(const StartUpOptions& options, QWidget* parent)
    : QMainWindow(parent), frontEnd(this), app(&frontEnd) {
    // 1. The title and the status-bar panes.
    setWindowTitle(QString::fromUtf8(appmsg::kWindowTitle));
    CreateStatusBar();
    // 2. The result views, the input box and the message list panel.
    CreateViews();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    // 3 to 8. The settings, "dump", the trace, the plug-ins, the lexer and
    // grammar, the handlers and the last script; then the settings shown.
    if (!app.StartUp(options)) {
        NoteMessage("start-up failed: the script lexer or grammar cannot be built");
    }
    views.Load(app.GetProfile());
    ApplySettings();
    UpdateRecentMenu();
    OTSTR content;
    if (LoadInputText(content)) panel->Input()->setPlainText(EngineText(content.GetBuffer(0)));
    if (app.Receiver().IsOpen()) {
        notifier = new QSocketNotifier(app.Receiver().GetFd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &MainWindow::ReadDatagrams);
    }
    UpdateScript(EngineText(app.GetScriptPath().GetBuffer(0)));
    // 9. The window placement.
    RestorePlacement();
    // 10. Acceptance starts off, then the sample is offered.
    QTimer::singleShot(0, this, [this] {
        app.SetAccepting(false);
        app.SampleCommand();
    });
}

MainWindow::~MainWindow() {
    ShutDown();
}

void MainWindow::CreateViews() {
    resultStack = new QStackedWidget(this);
    tree = new TreeListView(ViewSettings::kTreeColumns, resultStack);
    tree->SetHeaders({" Name", " ", " ", "Description", "Comment"});
    output = new QPlainTextEdit(resultStack);
    output->setReadOnly(true);
    output->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tree mode: the find bar over the tree.
    treePage = new QWidget(resultStack);
    auto* treeLayout = new QVBoxLayout(treePage);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    treeLayout->setSpacing(0);
    findBar = new FindBar(treePage);
    findBar->hide();
    treeLayout->addWidget(findBar);
    tree->setParent(treePage);
    treeLayout->addWidget(tree);
    resultStack->addWidget(treePage);
    resultStack->addWidget(output);
    // The message's bytes beside the views.
    hexView = new HexView(this);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(resultStack);
    split->addWidget(hexView);
    // The hex view keeps the width of a whole row; the views take the rest.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setCollapsible(0, false);
    setCentralWidget(split);
    setAcceptDrops(true);

    connect(tree, &TreeListView::expansionChanged, this, [this] {
        if (!rebuilding) SaveCollapseList();
    });
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ShowRowBytes(current); });
    connect(hexView, &HexView::byteClicked, this, &MainWindow::SelectRowAtByte);
    connect(findBar, &FindBar::filterChanged, this, [this](const QString& text) {
        findBar->SetMatchCount(tree->SetFilter(text, kFindColumns));
    });
    connect(findBar, &FindBar::nextRequested, this, [this] { tree->FindNext(false); });
    connect(findBar, &FindBar::previousRequested, this, [this] { tree->FindNext(true); });
    connect(findBar, &FindBar::closed, this, [this] {
        tree->SetFilter(QString(), kFindColumns);
        findBar->hide();
        tree->setFocus();
    });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &MainWindow::ShowFind);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, &MainWindow::TreeMenu);
    auto* copy = new QShortcut(QKeySequence::Copy, tree, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this,
            [this] { QGuiApplication::clipboard()->setText(RowText(tree->currentIndex())); });

    dock = new QDockWidget(QString::fromUtf8(msglistmsg::kTitle), this);
    dock->setObjectName("MessageListDock");
    dock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);
    panel = new MessageListPanel(dock);
    dock->setWidget(panel);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    connect(panel, &MessageListPanel::translateClicked, this, &MainWindow::TranslateInput);
    connect(panel, &MessageListPanel::addClicked, this, &MainWindow::AddInput);
    connect(panel, &MessageListPanel::loadClicked, this, [this] { app.LoadCommand(); });
    connect(panel, &MessageListPanel::loadCaptureClicked, this, &MainWindow::LoadCapture);
    connect(panel, &MessageListPanel::saveClicked, this, [this] { app.SaveCommand(); });
    connect(panel, &MessageListPanel::clearClicked, this, [this] { app.ClearMessages(); });
    connect(panel, &MessageListPanel::rowActivated, this, [this](int row) {
        panel->List()->SelectRow(row);
        app.TranslateRow(row);
    });
    connect(panel->AutoTranslate(), &QCheckBox::toggled, this,
            [this](bool on) { app.SetAutoTranslate(on); });
    connect(panel->Input(), &QPlainTextEdit::textChanged, this, &MainWindow::InputChanged);
    connect(panel->List(), &QTreeWidget::itemSelectionChanged, this,
            &MainWindow::ListSelectionChanged);
}

void MainWindow::CreateActions() {
    struct Spec {
        Command command;
        const char* text;
        bool checkable;
    };
    static const Spec specs[] = {
        {kSelectScript, "&Select Protocol Script file ...", false},
        {kSaveResult, "&Save   Result to file ...", false},
        {kAcceptExternal, "&Accept external data to translate (DataHead-0x05)", true},
        {kExit, "&Exit", false},
        {kTreeMode, "TreeMode ", true},
        {kPlainMode, "PlainMode", true},
        {kColumnAutoFit, "    Column width autofit", true},
        {kNameColumn, "Name Column", true},
        {kDescriptionColumn, "Description Column", true},
        {kFontNormal, "Normal", true},
        {kFontSmall, "Small", true},
        {kTopWindow, "TopWindow Always", true},
        {kOverwrite, "Output log overwrite On", true},
        {kAsn1, "Asn.1 Hierarchy ", false},
        {kShowMessageList, "Show MessageList Window", false},
        {kQuickStart, "&Quick Start", false},
        {kHomePage, "H&ome Page ...", false},
        {kAbout, "&About", false},
        {kExpandTypeOf, "Toggle the Expanding status of TypeOF item ", true},
        {kDisplayModeToggle, "Toggle output window's display mode .\r\n ", true},
    };
    for (const Spec& spec : specs) {
        auto* action = new QAction(QString::fromUtf8(spec.text), this);
        action->setCheckable(spec.checkable);
        Command command = spec.command;
        connect(action, &QAction::triggered, this, [this, command] { Run(command); });
        actions[command] = action;
    }
    actions[kSelectScript]->setIcon(GlyphIcon(Glyph::Script));
    actions[kAcceptExternal]->setIcon(GlyphIcon(Glyph::ExternalData));
    actions[kExpandTypeOf]->setIcon(GlyphIcon(Glyph::ExpandTypeOf));
    actions[kDisplayModeToggle]->setIcon(GlyphIcon(Glyph::DisplayMode));
    actions[kSaveResult]->setIcon(GlyphIcon(Glyph::Save));
}

void MainWindow::CreateMenus() {
    QMenu* system = menuBar()->addMenu("System");
    system->addAction(actions[kSelectScript]);
    system->addAction(actions[kSaveResult]);
    system->addSeparator();
    system->addAction(actions[kAcceptExternal]);
    system->addSeparator();
    recentMenu = system->addMenu("Recent scripts");
    system->addSeparator();
    system->addAction(actions[kExit]);

    QMenu* advanced = menuBar()->addMenu("Advanced");
    advanced->addAction(actions[kTreeMode]);
    advanced->addAction(actions[kPlainMode]);
    advanced->addSeparator();
    advanced->addAction(actions[kColumnAutoFit]);
    advanced->addAction(actions[kNameColumn]);
    advanced->addAction(actions[kDescriptionColumn]);
    advanced->addSeparator();
    advanced->addAction(actions[kFontNormal]);
    advanced->addAction(actions[kFontSmall]);
    advanced->addSeparator();
    advanced->addAction(actions[kTopWindow]);
    advanced->addAction(actions[kOverwrite]);

    QMenu* tool = menuBar()->addMenu("Tool");
    tool->addAction(actions[kAsn1]);
    tool->addAction(actions[kShowMessageList]);

    QMenu* help = menuBar()->addMenu("Help");
    help->addAction(actions[kQuickStart]);
    help->addAction(actions[kHomePage]);
    help->addSeparator();
    help->addAction(actions[kAbout]);
}

void MainWindow::CreateToolBar() {
    QToolBar* bar = addToolBar("Tools");
    bar->setObjectName("ToolBar");
    bar->setMovable(false);
    struct Button {
        Command command;
        Glyph glyph;
        const char* tip;
    };
    static const Button buttons[] = {
        {kSelectScript, Glyph::Script, "Select Protocol Script file"},
        {kExpandTypeOf, Glyph::ExpandTypeOf, "Toggle the Expanding status of TypeOF item "},
        {kDisplayModeToggle, Glyph::DisplayMode, "Toggle output window's display mode .\r\n "},
        {kAcceptExternal, Glyph::ExternalData,
         "Toggle the status of accepting external data .\r\n "},
    };
    for (const Button& spec : buttons) {
        QAction* action = actions[spec.command];
        auto* button = new HoverButton(GlyphIcon(spec.glyph), QString::fromUtf8(spec.tip),
                                       action->isCheckable(), bar);
        // The button follows the action's check mark and triggers it.
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::toggled, button, &QToolButton::setChecked);
        bar->addWidget(button);
    }
    bar->addSeparator();
    commentBox = new QComboBox(bar);
    for (const char* name : kCommentModeNames) commentBox->addItem(QString::fromUtf8(name));
    commentBox->setToolTip("Comment mode");
    connect(commentBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        app.Settings().commentMode = index < 0 ? 0 : index;
        ApplyDisplayMode();  // the "LocalSetting" pane names the mode
    });
    bar->addWidget(commentBox);
}

void MainWindow::CreateStatusBar() {
    for (int i = 0; i < 2; ++i) {
        panes[i] = new QLabel(kPaneTexts[i], this);
        panes[i]->setMinimumWidth(120);
        statusBar()->addPermanentWidget(panes[i]);
    }
    // The script pane opens the script in the desktop's editor.
    scriptPane = new HyperlinkLabel(kPaneTexts[2], QUrl(), this);
    scriptPane->setMinimumWidth(260);
    statusBar()->addPermanentWidget(scriptPane, 2);
    receivingIcon = new QLabel(this);
    receivingIcon->setPixmap(GlyphIcon(Glyph::Idle).pixmap(16, 16));
    receivingIcon->setToolTip("External data: off");
    statusBar()->addPermanentWidget(receivingIcon);
    chart = new StripChart(2, 60, this);
    chart->SetSeriesColor(0, QColor(40, 110, 200));
    chart->SetSeriesColor(1, QColor(40, 160, 70));
    chart->setToolTip("Messages received (blue) and translated (green) per second");
    chart->hide();
    statusBar()->addPermanentWidget(chart);
    chartTimer = new QTimer(this);
    chartTimer->setInterval(1000);
    connect(chartTimer, &QTimer::timeout, this, &MainWindow::SampleTick);
}

void MainWindow::ApplySettings() {
    const AppSettings& settings = app.Settings();
    actions[kNameColumn]->setChecked(settings.showNameColumn != 0);
    actions[kDescriptionColumn]->setChecked(settings.showDescriptionColumn != 0);
    actions[kColumnAutoFit]->setChecked(settings.columnAutoFit != 0);
    actions[kExpandTypeOf]->setChecked(settings.expendTypeOF != 0);
    actions[kOverwrite]->setChecked(app.IsOverwrite());
    {
        QSignalBlocker block(commentBox);
        commentBox->setCurrentIndex(settings.commentMode);
    }
    panel->SetActiveTab(settings.activePanel);
    ApplyColumns();
    ApplyFont();
    ApplyDisplayMode();
}

void MainWindow::ApplyColumns() {
    const AppSettings& settings = app.Settings();
    tree->SetColumnWidths(
        QVector<int>(views.treeWidths, views.treeWidths + ViewSettings::kTreeColumns));
    tree->setColumnHidden(0, settings.showNameColumn == 0);
    tree->setColumnHidden(3, settings.showDescriptionColumn == 0);
    panel->List()->SetColumnWidths(
        QVector<int>(views.listWidths, views.listWidths + ViewSettings::kListColumns));
}

void MainWindow::ApplyFont() {
    bool normal = app.Settings().fontMode != 0;
    actions[kFontNormal]->setChecked(normal);
    actions[kFontSmall]->setChecked(!normal);
    QFont font("Courier New");
    if (!QFontDatabase::hasFamily("Courier New")) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(normal ? 13 : 11);
    tree->setFont(font);
    output->setFont(font);
    panel->Input()->setFont(font);
    // The bytes beside the tree in the small size, so the tree keeps room.
    QFont hexFont = font;
    hexFont.setPixelSize(11);
    hexView->setFont(hexFont);
    if (auto* split = qobject_cast<QSplitter*>(centralWidget())) {
        int hexWidth = hexView->sizeHint().width();
        split->setSizes({std::max(200, width() - hexWidth), hexWidth});
    }
}

void MainWindow::ApplyDisplayMode() {
    bool treeMode = app.Settings().displayTreeMode != 0;
    actions[kTreeMode]->setChecked(treeMode);
    actions[kPlainMode]->setChecked(!treeMode);
    actions[kDisplayModeToggle]->setChecked(!treeMode);
    actions[kSaveResult]->setEnabled(!treeMode);
    // The tree lies on its page, under the find bar.
    resultStack->setCurrentWidget(treeMode ? treePage : static_cast<QWidget*>(output));
    // Plain mode shows the report file as it stands.
    if (!treeMode) ShowReportFile(appmsg::kReportFile);
    panes[0]->setText(QString("%1 |%2")
                          .arg(treeMode ? "TreeMode" : "PlainMode")
                          .arg(QString::fromUtf8(kCommentModeNames[app.Settings().commentMode])));
}

void MainWindow::Run(Command command) {
    AppSettings& settings = app.Settings();
    Profile& profile = app.GetProfile();
    switch (command) {
        case kSelectScript:
            app.SelectScriptCommand();
            break;
        case kSaveResult:
            SaveResult();
            break;
        case kAcceptExternal:
            app.ToggleAccepting();
            break;
        case kExit:
            close();
            break;
        case kTreeMode:
        case kPlainMode:
        case kDisplayModeToggle:
            settings.displayTreeMode = command == kTreeMode || (command == kDisplayModeToggle &&
                                                                settings.displayTreeMode == 0);
            profile.WriteInt(settingskey::kSetting, settingskey::kDisplayTreeMode,
                             settings.displayTreeMode);
            ApplyDisplayMode();
            break;
        case kColumnAutoFit:
            settings.columnAutoFit = actions[kColumnAutoFit]->isChecked() ? 1 : 0;
            profile.WriteInt(settingskey::kSetting, settingskey::kColumnAutoFit,
                             settings.columnAutoFit);
            if (settings.columnAutoFit != 0) tree->FitColumns();
            break;
        case kNameColumn:
        case kDescriptionColumn: {
            bool name = command == kNameColumn;
            int32_t& value = name ? settings.showNameColumn : settings.showDescriptionColumn;
            value = actions[command]->isChecked() ? 1 : 0;
            profile.WriteInt(
                settingskey::kSetting,
                name ? settingskey::kShowNameColumn : settingskey::kShowDescriptionColumn, value);
            tree->setColumnHidden(name ? 0 : 3, value == 0);
            break;
        }
        case kFontNormal:
        case kFontSmall:
            settings.fontMode = command == kFontNormal ? 1 : 0;
            profile.WriteInt(settingskey::kSetting, settingskey::kFontMode, settings.fontMode);
            ApplyFont();
            break;
        case kTopWindow:
            setWindowFlag(Qt::WindowStaysOnTopHint, actions[kTopWindow]->isChecked());
            show();
            break;
        case kOverwrite:
            app.SetOverwrite(actions[kOverwrite]->isChecked());
            break;
        case kExpandTypeOf:
            settings.expendTypeOF = actions[kExpandTypeOf]->isChecked() ? 1 : 0;
            break;
        case kAsn1:
            frontEnd.ShowMessage("Not supported now");
            break;
        case kShowMessageList:
            ShowMessageList();
            break;
        case kQuickStart:
            if (frontEnd.OfferSample()) app.LoadSample();
            break;
        case kHomePage:
            QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePageUrl)));
            break;
        case kAbout:
            QMessageBox::about(this, "About Kestrun",
                               "<h3>Kestrun 1.0</h3><p>An analyser of binary protocol "
                               "messages: protocol scripts turn message bytes into a "
                               "tree of named values.</p>");
            break;
        case kCommandCount:
            break;
    }
}

void MainWindow::TranslateInput() {
    QByteArray text = panel->Input()->toPlainText().toUtf8();
    app.TranslateInput(text.constData(), true);
    ExplainInput(text);
}

void MainWindow::AddInput() {
    QByteArray text = panel->Input()->toPlainText().toUtf8();
    app.AddInputToList(text.constData());
    ExplainInput(text);
}

void MainWindow::ExplainInput(const QByteArray& text) {
    OTSTR why;
    if (ExplainHexError(text.constData(), static_cast<size_t>(text.size()), why)) {
        NoteMessage(QString("%1: %2").arg(hexmsg::kHexStreamError, EngineText(why.GetBuffer(0))));
    }
}

void MainWindow::SaveResult() {
    OTSTR path;
    if (!frontEnd.ChooseFile(filedialog::kSaveLog, path)) return;
    SaveText(path.GetBuffer(0), output->toPlainText().toUtf8());
}

void MainWindow::SaveText(const char* path, const QByteArray& text) {
    // Replaced whole: a failed write keeps the old file.
    if (!vpath::ReplaceFile(path, text.constData(), static_cast<size_t>(text.size()))) {
        OTSTR message;
        message.Format(msglistmsg::kWriteFailed, path);
        frontEnd.ShowMessage(message.GetBuffer(0));
    }
}

void MainWindow::ReadDatagrams() {
    app.Receiver().ReadPending();
}

void MainWindow::SampleTick() {
    chart->AddSamples(
        {static_cast<double>(receivedThisSecond), static_cast<double>(translatedThisSecond)});
    receivedThisSecond = 0;
    translatedThisSecond = 0;
}

QString MainWindow::PaneText(int pane) const {
    if (pane == 2) return scriptPane->text();
    return pane >= 0 && pane < 2 ? panes[pane]->text() : QString();
}

QString MainWindow::StatusMessage() const {
    return statusBar()->currentMessage();
}

void MainWindow::SetTotals(const QString& line) {
    panes[1]->setText(line);
}

void MainWindow::AppendOutput(const QString& text) {
    output->moveCursor(QTextCursor::End);
    output->insertPlainText(text);
}

void MainWindow::ClearOutputText() {
    output->clear();
}

void MainWindow::ShowReportFile(const char* path) {
    app.FinishReport();
    OTSTR text;
    if (!vpath::ReadFile(path, true, text)) {
        output->clear();
        return;
    }
    QByteArray bytes(text.GetBuffer(0), text.GetLength());
    if (bytes.size() > kMaxPlainBytes) bytes = bytes.right(kMaxPlainBytes);
    output->setPlainText(QString::fromUtf8(bytes));
    output->moveCursor(QTextCursor::End);
    output->ensureCursorVisible();
}

void MainWindow::RebuildTree(const TextTable& table, const QString& status) {
    const std::vector<uint8_t>& message = app.LastMessage();
    ShowMessageBytes(message.data(), static_cast<int>(message.size()));
    rebuilding = true;
    tree->BeginRows();
    tree->Clear();
    QModelIndex statusRow;
    if (!status.isEmpty()) statusRow = tree->AddRow(0, {status.trimmed()});
    std::vector<QModelIndex> expanded;
    for (int row = 0; row < table.GetRowCount(); ++row) {
        // Tree column 0 takes the table's name column, 1 the location, 2 the
        // marker, 3 and 4 the description and the value.
        QStringList cells = {EngineText(table.GetCell(row, kDumpNameColumn)),
                             EngineText(table.GetCell(row, kDumpLocationColumn)),
                             EngineText(table.GetCell(row, kDumpMarkerColumn)),
                             EngineText(table.GetCell(row, kDumpDescriptionColumn)),
                             EngineText(table.GetCell(row, kDumpValueColumn))};
        QModelIndex index = tree->AddRow(table.GetLevel(row), cells);
        if ((table.GetTag(row) & kRowStructTag) != 0) expanded.push_back(index);
    }
    tree->EndRows();
    // The status text is read across the columns.
    hasStatusRow = statusRow.isValid();
    if (statusRow.isValid()) tree->setFirstColumnSpanned(statusRow.row(), QModelIndex(), true);
    {
        QSignalBlocker block(tree);
        for (const QModelIndex& index : expanded) tree->ExpandRow(index, true);
        tree->CollapseTexts(ToStringList(views.collapsed));
    }
    if (app.Settings().columnAutoFit != 0) tree->FitColumns();
    if (!findBar->isHidden()) findBar->SetMatchCount(tree->SetFilter(tree->Filter(), kFindColumns));
    rebuilding = false;
}

void MainWindow::SaveCollapseList() {
    views.collapsed = ToVector(tree->CollapsedTexts());
}

void MainWindow::ShowMessageList() {
    dock->show();
    dock->raise();
    panel->SetActiveTab(MessageListPanel::kListTab);
}

void MainWindow::UpdateAccepting(bool on) {
    actions[kAcceptExternal]->setChecked(on);
    receivingIcon->setPixmap(GlyphIcon(on ? Glyph::Receiving : Glyph::Idle).pixmap(16, 16));
    receivingIcon->setToolTip(on ? "External data: accepting" : "External data: off");
    chart->setVisible(on);
    if (on) {
        chart->Clear();
        receivedThisSecond = 0;
        translatedThisSecond = 0;
        chartTimer->start();
    } else {
        chartTimer->stop();
    }
}

void MainWindow::UpdateScript(const QString& path) {
    scriptPane->setText(path.isEmpty() ? QString(kPaneTexts[2]) : path);
    scriptPane->setToolTip(path.isEmpty() ? QString() : "Open the script in the editor");
    OTSTR native = vpath::ToNative(path.toUtf8().constData());
    scriptPane->SetUrl(path.isEmpty() ? QUrl()
                                      : QUrl::fromLocalFile(EngineText(native.GetBuffer(0))));
    if (!path.isEmpty()) {
        views.AddRecentScript(path.toStdString());
        UpdateRecentMenu();
    }
}

void MainWindow::NoteMessage(const QString& text) {
    statusBar()->showMessage(text.simplified());
}

void MainWindow::UpdateListTitle() {
    OTSTR title;
    app.Messages().GetTitle(title);
    dock->setWindowTitle(EngineText(title.GetBuffer(0)));
}

void MainWindow::MessagesCleared() {
    panel->List()->ClearRows();
    UpdateListTitle();
}

void MainWindow::MessageAdded(int row) {
    ExtendedList* list = panel->List();
    // The view follows the list; should they ever differ, it is filled anew.
    if (row != list->RowCount()) {
        list->ClearRows();
        for (int i = 0; i < row; ++i) panel->AddRow(app.Messages(), i);
    }
    panel->AddRow(app.Messages(), row);
    if (app.IsAccepting()) ++receivedThisSecond;
    if (app.IsAutoTranslate()) list->SelectRow(row);
    UpdateListTitle();
}

void MainWindow::MessageTranslated(int row, bool ok) {
    (void)ok;
    panel->UpdateRow(app.Messages(), row);
    ++translatedThisSecond;
}

void MainWindow::RestorePlacement() {
    if (views.hasWindow) {
        setGeometry(views.window[0], views.window[1], views.window[2], views.window[3]);
        if (views.window[4] != 0) setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        resize(1280, 800);
    }
    ApplyFont();  // the hex view's width follows the font and the window
    if (views.hasListPanel) {
        dock->setFloating(views.listPanel[4] != 0);
        if (dock->isFloating()) {
            dock->setGeometry(views.listPanel[0], views.listPanel[1], views.listPanel[2],
                              views.listPanel[3]);
        } else {
            resizeDocks({dock}, {views.listPanel[3]}, Qt::Vertical);
        }
    } else {
        resizeDocks({dock}, {260}, Qt::Vertical);
    }
}

void MainWindow::SavePlacement() {
    QRect frame = isMaximized() ? normalGeometry() : geometry();
    int32_t window[] = {frame.x(), frame.y(), frame.width(), frame.height(), isMaximized() ? 1 : 0};
    std::copy(window, window + ViewSettings::kPlacementFields, views.window);
    views.hasWindow = true;
    QRect list = dock->geometry();
    int32_t panelPos[] = {list.x(), list.y(), list.width(), list.height(),
                          dock->isFloating() ? 1 : 0};
    std::copy(panelPos, panelPos + ViewSettings::kPlacementFields, views.listPanel);
    views.hasListPanel = true;
}

void MainWindow::ShutDown() {
    if (shutDown) return;
    shutDown = true;
    // The window placement and views first, then the application: the
    // receiver, the decoder with its script, the trace, the plug-ins.
    SavePlacement();
    SaveCollapseList();
    QVector<int> treeWidths = tree->ColumnWidths();
    for (int i = 0; i < ViewSettings::kTreeColumns && i < treeWidths.size(); ++i) {
        views.treeWidths[i] = treeWidths[i];
    }
    QVector<int> listWidths = panel->List()->ColumnWidths();
    for (int i = 0; i < ViewSettings::kListColumns && i < listWidths.size(); ++i) {
        views.listWidths[i] = listWidths[i];
    }
    app.Settings().activePanel = panel->ActiveTab();
    app.Settings().Save(app.GetProfile());
    views.Save(app.GetProfile());
    delete notifier;
    notifier = nullptr;
    chartTimer->stop();
    app.ShutDown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    ShutDown();
    event->accept();
}

void MainWindow::ScriptLoaded(bool ok, const QString& error) {
    // A compile error names the file and the line; the pane still opens the
    // script, where it can be mended. Warnings: the first in the pane, all
    // of them in its tool tip.
    const std::vector<OTSTR>& warnings = app.Decoder().GetWarnings();
    QString text = ok ? EngineText(app.GetScriptPath().GetBuffer(0)) : error.simplified();
    QString tip = "Open the script in the editor";
    if (ok && !warnings.empty()) {
        text = EngineText(warnings.front().GetBuffer(0));
        if (warnings.size() > 1) text += QString(" (%1 warnings)").arg(warnings.size());
        for (const OTSTR& warning : warnings) tip += "\n" + EngineText(warning.GetBuffer(0));
    }
    scriptPane->setText(text);
    scriptPane->setToolTip(tip);
    scriptPane->setStyleSheet(!ok                ? QString("color: #b00020;")
                              : warnings.empty() ? QString()
                                                 : QString("color: #8a5a00;"));
}

void MainWindow::ShowMessageBytes(const uint8_t* bytes, int length) {
    hexView->SetData(QByteArray(reinterpret_cast<const char*>(bytes), length));
}

void MainWindow::InputChanged() {
    if (panel->ActiveTab() != MessageListPanel::kInputTab) return;
    QByteArray text = panel->Input()->toPlainText().toUtf8();
    uint8_t bytes[kMaxHexInputBytes];
    int32_t count = 0;
    if (ParseHexInput(text.constData(), text.size(), bytes, count)) ShowMessageBytes(bytes, count);
}

void MainWindow::ListSelectionChanged() {
    MessageView message;
    if (app.Messages().GetMessage(panel->List()->SelectedRow(), message)) {
        ShowMessageBytes(message.bytes, message.length);
    }
}

void MainWindow::ShowRowBytes(const QModelIndex& index) {
    const QAbstractItemModel* model = tree->model();
    QString location = model->data(index.siblingAtColumn(1)).toString();
    QString marker = model->data(index.siblingAtColumn(2)).toString();
    int start = 0, length = 0;
    if (!index.isValid() || !RowBytes(location, marker, start, length)) {
        hexView->SetHighlight(-1, 0);
        return;
    }
    hexView->SetHighlight(start, length);
    if (IsBitMarker(marker)) {
        NoteMessage(QString("%1  bits %2 of byte %3")
                        .arg(model->data(index).toString().trimmed(), marker)
                        .arg(start));
    }
}

void MainWindow::SelectRowAtByte(int offset) {
    const QAbstractItemModel* model = tree->model();
    QModelIndex best;
    int bestDepth = -1;
    // Depth first in row order: among the rows that cover the byte the
    // deepest wins, the first of equals.
    std::vector<std::pair<QModelIndex, int>> stack;
    for (int row = model->rowCount() - 1; row >= 0; --row)
        stack.push_back({model->index(row, 0), 0});
    while (!stack.empty()) {
        auto [index, depth] = stack.back();
        stack.pop_back();
        int start = 0, length = 0;
        if (depth > bestDepth &&
            RowBytes(model->data(index.siblingAtColumn(1)).toString(),
                     model->data(index.siblingAtColumn(2)).toString(), start, length) &&
            offset >= start && offset - start < length) {
            best = index;
            bestDepth = depth;
        }
        for (int row = model->rowCount(index) - 1; row >= 0; --row) {
            stack.push_back({model->index(row, 0, index), depth + 1});
        }
    }
    if (!best.isValid()) return;
    tree->setCurrentIndex(best);
    tree->scrollTo(best);
}

QString MainWindow::RowValue(const QModelIndex& index) const {
    return index.isValid() ? tree->model()->data(index.siblingAtColumn(4)).toString().trimmed()
                           : QString();
}

QString MainWindow::RowText(const QModelIndex& index) const {
    if (!index.isValid()) return QString();
    QStringList cells;
    for (int column = 0; column < ViewSettings::kTreeColumns; ++column) {
        cells << tree->model()->data(index.siblingAtColumn(column)).toString().trimmed();
    }
    return cells.join('\t');
}

QString MainWindow::TranslationJson() {
    if (!app.Last().attempted) return QString();
    const std::vector<uint8_t>& message = app.LastMessage();
    JsonMessage json;
    json.bytes = message.data();
    json.length = static_cast<int32_t>(message.size());
    json.last = &app.Last();
    json.results = &app.LastResults();
    std::string out;
    AppendTranslationJson(app.Decoder(), json, out);
    return QString::fromStdString(out).trimmed();
}

QString MainWindow::RowJson(const QModelIndex& index) {
    if (!index.isValid()) return QString();
    // The row numbers from the root row down; the status row stands for no
    // node.
    QVector<int> path;
    QModelIndex top = index.siblingAtColumn(0);
    for (; top.parent().isValid(); top = top.parent()) path.prepend(top.row());
    if (hasStatusRow && top.row() == 0) return QString();
    return QString::fromStdString(NodeJson(TranslationJson().toStdString(), path));
}

void MainWindow::ShowFind() {
    if (resultStack->currentIndex() != 0) return;
    findBar->show();
    findBar->Edit()->setFocus();
    findBar->Edit()->selectAll();
}

void MainWindow::TreeMenu(const QPoint& pos) {
    QModelIndex index = tree->indexAt(pos);
    QMenu menu(this);
    QClipboard* clipboard = QGuiApplication::clipboard();
    menu.addAction("Copy value", [=] { clipboard->setText(RowValue(index)); })
        ->setEnabled(index.isValid());
    menu.addAction("Copy row", [=] { clipboard->setText(RowText(index)); })
        ->setEnabled(index.isValid());
    menu.addAction("Copy as JSON", [=] { clipboard->setText(RowJson(index)); })
        ->setEnabled(!RowJson(index).isEmpty());
    menu.addSeparator();
    menu.addAction("Find ...", this, &MainWindow::ShowFind);
    menu.addAction("Export translation as JSON ...", this, &MainWindow::ExportJson)
        ->setEnabled(app.Last().attempted);
    menu.exec(tree->viewport()->mapToGlobal(pos));
}

void MainWindow::ExportJson() {
    QString json = TranslationJson();
    if (json.isEmpty()) return;
    FileDialogRequest request{true, kJsonFilter, "json", "*.json"};
    OTSTR path;
    if (!frontEnd.ChooseFile(request, path)) return;
    SaveText(path.GetBuffer(0), (json + "\n").toUtf8());
}

QStringList MainWindow::RecentScripts() const {
    QStringList list;
    for (const std::string& path : views.recentScripts) list << QString::fromStdString(path);
    return list;
}

void MainWindow::UpdateRecentMenu() {
    recentMenu->clear();
    for (const QString& path : RecentScripts()) {
        recentMenu->addAction(path, this,
                              [this, path] { app.SelectScript(path.toUtf8().constData()); });
    }
    recentMenu->setEnabled(!views.recentScripts.empty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (url.isLocalFile() && (suffix == "txt" || suffix == "dat")) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    DropFiles(event->mimeData()->urls());
    event->acceptProposedAction();
}

void MainWindow::DropFiles(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        QByteArray name = url.toLocalFile().toUtf8();
        if (suffix == "txt") {
            app.SelectScript(name.constData());
        } else if (suffix == "dat") {
            app.LoadCommand(name.constData());
        }
    }
}

void MainWindow::LoadCapture() {
    CaptureDialog dialog(this);
    dialog.SetPath(capturePath);
    dialog.SetOptions(captureOptions);
    if (dialog.exec() != QDialog::Accepted || dialog.Path().isEmpty()) return;
    capturePath = dialog.Path();
    captureOptions = dialog.Options();
    CaptureCounts counts;
    if (app.LoadCapture(capturePath.toUtf8().constData(), captureOptions, &counts)) {
        NoteMessage(QString("%1 packets: %2 messages, %3 skipped, %4 too long")
                        .arg(counts.packets)
                        .arg(counts.selected)
                        .arg(counts.skipped)
                        .arg(counts.tooLong));
    }
}
