// Widget tests of the desktop program on the offscreen platform: start-up
// and restart with the settings, the tree built from the instance-dump
// table, plain mode, the collapse list, the load command's questions in real
// message boxes, double click, datagrams with automatic translation, the
// first-start sample, and the action lines behind the screenshots.
#include "app/desktop/main_window.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/desktop/action_script.h"
#include "app/desktop/capture_dialog.h"
#include "app/desktop/message_list_panel.h"
#include "app/profile.h"
#include "app/test_captures.h"
#include "types/text_table.h"
#include "ui/extended_list.h"
#include "ui/find_bar.h"
#include "ui/hex_edit.h"
#include "ui/hex_view.h"
#include "ui/tree_list_view.h"

namespace {

const QString kSample = QString(VANTOR_SOURCE_DIR) + "/samples/TCP_UDP/main.txt";
const QString kSampleMessages = QString(VANTOR_SOURCE_DIR) + "/samples/TCP_UDP/msg.dat";
// A TCP SYN of the sample protocol.
constexpr char kSyn[] =
    "45 00 00 3C 1C 46 40 00 40 06 B1 E6 C0 A8 01 0A 5D B8 D8 22 C8 22 00 50 00 00 00 01 "
    "00 00 00 00 A0 02 FA F0 6F 2A 00 00 02 04 05 B4 04 02 08 0A 00 9C 0E 17 00 00 00 00 "
    "01 03 03 07";

// The rows of a tree in the order the table lists them.
void Flatten(const QAbstractItemModel* model, const QModelIndex& parent, QList<QModelIndex>& out) {
    for (int row = 0; row < model->rowCount(parent); ++row) {
        QModelIndex index = model->index(row, 0, parent);
        out << index;
        Flatten(model, index, out);
    }
}

QModelIndex FindRow(const QAbstractItemModel* model, const QString& text) {
    QList<QModelIndex> rows;
    Flatten(model, QModelIndex(), rows);
    for (const QModelIndex& index : rows) {
        if (model->data(index).toString() == text) return index;
    }
    return QModelIndex();
}

// A datagram socket on loopback: bound to a free port (Port), or sending.
class Udp {
  public:
    Udp() : fd(socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Udp() { close(fd); }
    uint16_t FreePort() {
        sockaddr_in address = Loopback(0);
        socklen_t size = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) return 0;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }
    void Send(const QByteArray& data, uint16_t port) {
        sockaddr_in address = Loopback(port);
        sendto(fd, data.constData(), data.size(), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address);
    }

  private:
    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    int fd;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void treeCellsFollowTheTable();
    void plainModeShowsTheReport();
    void restartKeepsTheViewSettings();
    void collapsedRowStaysCollapsed();
    void loadCommandAsksInMessageBoxes();
    void doubleClickTranslatesTheRow();
    void datagramIsAddedAndTranslated();
    void firstStartOffersTheSample();
    void badInputShowsTheMessage();
    void rowsShowTheirBytes();
    void findCopyAndExport();
    void recentScriptsAndDrops();
    void captureLoadsIntoTheList();

  private:
    // Opens the window as the program does, with a watch that answers
    // dialogs from lines and records the ones nothing answered.
    void Open(uint16_t port = 0);
    void Close();
    void Answer(const QStringList& lines);

    std::unique_ptr<QTemporaryDir> dir;
    QString home;
    std::unique_ptr<MainWindow> window;
    ActionScript* script = nullptr;
};

void MainWindowTest::init() {
    home = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>(home + "/run-XXXXXX");
    QVERIFY(dir->isValid());
    QDir::setCurrent(dir->path());
    Profile profile;
    profile.WriteInt("Setting", "AppFirstLoad", 0);
    profile.WriteString("Setting", "LastBrowseDir", kSample.toUtf8().constData());
}

void MainWindowTest::cleanup() {
    Close();
    QDir::setCurrent(home);
    dir.reset();
}

void MainWindowTest::Open(uint16_t port) {
    StartUpOptions options;
    options.loadPlugIns = false;
    options.traceConsole = false;
    options.receiverPort = port;
    window = std::make_unique<MainWindow>(options);
    script = new ActionScript(window.get(), ".", window.get());
    script->Start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(20);  // start-up step 10
}

void MainWindowTest::Close() {
    if (!window) return;
    if (script != nullptr) {
        QVERIFY2(script->Problems().isEmpty(), qPrintable(script->Problems().join("; ")));
    }
    window->close();
    window.reset();
    script = nullptr;
}

void MainWindowTest::Answer(const QStringList& lines) {
    script->Add(lines);
    script->Start();
}

void MainWindowTest::treeCellsFollowTheTable() {
    Open();
    window->ListPanel()->Input()->setPlainText(kSyn);
    emit window->ListPanel()->translateClicked();
    QCOMPARE(window->PaneText(1), QString("  Total - 1    Fail - 0    Warning - 0 "));
    QCOMPARE(window->PaneText(2), kSample);
    const TextTable& table = window->App().DumpTable();
    const QAbstractItemModel* model = window->Tree()->model();
    QList<QModelIndex> rows;
    Flatten(model, QModelIndex(), rows);
    QCOMPARE(rows.size(), table.GetRowCount());
    // Tree column 0 takes table column 2, 1 takes 0, 2 takes 1, 3 and 4 stay.
    const int source[] = {2, 0, 1, 3, 4};
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 5; ++column) {
            QModelIndex cell = rows[row].siblingAtColumn(column);
            QCOMPARE(model->data(cell).toString(), QString(table.GetCell(row, source[column])));
        }
        int depth = 0;
        for (QModelIndex up = rows[row].parent(); up.isValid(); up = up.parent()) ++depth;
        QCOMPARE(depth, static_cast<int>(table.GetLevel(row)));
    }
    QVERIFY(window->Tree()->isExpanded(FindRow(model, "{}ip")));
    // The input survives a restart through "Dump\Content".
    Close();
    Open();
    QCOMPARE(window->ListPanel()->Input()->toPlainText(), QString(kSyn));
}

void MainWindowTest::plainModeShowsTheReport() {
    Open();
    QVERIFY(!window->Action(MainWindow::kSaveResult)->isEnabled());
    window->Action(MainWindow::kPlainMode)->trigger();
    QVERIFY(window->Action(MainWindow::kSaveResult)->isEnabled());
    QVERIFY(window->Action(MainWindow::kPlainMode)->isChecked());
    QVERIFY(!window->Action(MainWindow::kTreeMode)->isChecked());
    window->Action(MainWindow::kOverwrite)->trigger();
    window->ListPanel()->Input()->setPlainText(kSyn);
    emit window->ListPanel()->translateClicked();
    QString shown = window->Output()->toPlainText();
    QVERIFY(shown.contains("tcp"));
    QFile report("dump/Tran");
    QVERIFY(report.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(shown, QString::fromUtf8(report.readAll()));
    // "&Save   Result to file ..." writes what the window shows.
    Answer({"dialog file saved.log"});
    window->Action(MainWindow::kSaveResult)->trigger();
    QFile saved("saved.log");
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(QString::fromUtf8(saved.readAll()), shown);
    // An empty input box: the illegal-input text and a failure.
    window->ListPanel()->Input()->setPlainText("");
    emit window->ListPanel()->translateClicked();
    QVERIFY(window->Output()->toPlainText().endsWith("# illegal input.\n"));
    QVERIFY(window->PaneText(1).contains("Fail - 1"));
    // Back in tree mode, the tree is shown instead of the report.
    window->Action(MainWindow::kTreeMode)->trigger();
    QVERIFY(window->Tree()->isVisibleTo(window.get()));
    QVERIFY(!window->Output()->isVisibleTo(window.get()));
}

void MainWindowTest::restartKeepsTheViewSettings() {
    Open();
    window->Tree()->SetColumnWidths({300, 0, 90, 150, 120});
    window->Action(MainWindow::kNameColumn)->trigger();  // hides the names
    window->Action(MainWindow::kFontSmall)->trigger();
    window->Action(MainWindow::kPlainMode)->trigger();
    window->CommentModeBox()->setCurrentIndex(2);
    window->ListPanel()->SetActiveTab(MessageListPanel::kListTab);
    window->setGeometry(40, 30, 1000, 700);
    Close();
    Profile profile;
    OTSTR widths;
    profile.GetString("Settings", "TreeListColumn", "", widths);
    QCOMPARE(QString(widths.GetBuffer(0)), QString("300:0:90:150:120"));

    Open();
    QCOMPARE(window->Tree()->ColumnWidths(), (QVector<int>{300, 0, 90, 150, 120}));
    QVERIFY(window->Tree()->isColumnHidden(0));
    QVERIFY(!window->Action(MainWindow::kNameColumn)->isChecked());
    QVERIFY(window->Action(MainWindow::kFontSmall)->isChecked());
    QCOMPARE(window->Tree()->font().pixelSize(), 11);
    QVERIFY(window->Action(MainWindow::kPlainMode)->isChecked());
    QCOMPARE(window->ListPanel()->ActiveTab(), int(MessageListPanel::kListTab));
    QCOMPARE(window->geometry().size(), QSize(1000, 700));
    QCOMPARE(window->CommentModeBox()->currentIndex(), 2);
    Close();

    // Garbage in "TreeListColumn" gives all five defaults.
    profile.WriteString("Settings", "TreeListColumn", "300:-1:90:150:120");
    Open();
    QCOMPARE(window->Tree()->ColumnWidths(), (QVector<int>{260, 0, 80, 200, 200}));
}

void MainWindowTest::collapsedRowStaysCollapsed() {
    Open();
    window->ListPanel()->Input()->setPlainText(kSyn);
    emit window->ListPanel()->translateClicked();
    TreeListView* tree = window->Tree();
    tree->ExpandRow(FindRow(tree->model(), "{}ip"), false);
    emit window->ListPanel()->translateClicked();
    QVERIFY(!tree->isExpanded(FindRow(tree->model(), "{}ip")));
    QVERIFY(tree->isExpanded(FindRow(tree->model(), "{}msg")));
    Close();
    Profile profile;
    OTSTR list;
    profile.GetString("Settings", "CollapseItemList", "", list);
    QVERIFY(QString(list.GetBuffer(0)).split(';').contains("{}ip"));

    Open();
    emit window->ListPanel()->translateClicked();
    tree = window->Tree();
    QVERIFY(!tree->isExpanded(FindRow(tree->model(), "{}ip")));
    QVERIFY(tree->isExpanded(FindRow(tree->model(), "{}msg")));
    // Expanded again by the user, it stays expanded.
    tree->ExpandRow(FindRow(tree->model(), "{}ip"), true);
    emit window->ListPanel()->translateClicked();
    QVERIFY(tree->isExpanded(FindRow(tree->model(), "{}ip")));
}

void MainWindowTest::loadCommandAsksInMessageBoxes() {
    QVERIFY(QFile::copy(kSampleMessages, "sample.dat"));
    Open();
    ExtendedList* list = window->ListPanel()->List();
    // While accepting: No cancels; Yes stops acceptance, then the file.
    window->Action(MainWindow::kAcceptExternal)->trigger();
    QVERIFY(window->App().IsAccepting());
    QVERIFY(window->ListDock()->isVisible());
    Answer({"dialog no"});
    emit window->ListPanel()->loadClicked();
    QVERIFY(window->App().IsAccepting());
    QCOMPARE(list->RowCount(), 0);
    Answer({"dialog yes", "dialog file sample.dat"});
    emit window->ListPanel()->loadClicked();
    QVERIFY(!window->App().IsAccepting());
    QVERIFY(!window->Action(MainWindow::kAcceptExternal)->isChecked());
    QCOMPARE(list->RowCount(), 13);
    QCOMPARE(window->ListDock()->windowTitle(), QString("MessageList  13 items"));
    // A changed list: Yes saves instead of loading, No loads over it.
    window->ListPanel()->Input()->setPlainText("01 02");
    emit window->ListPanel()->addClicked();
    QCOMPARE(list->RowCount(), 14);
    Answer({"dialog yes", "dialog file changed.dat"});
    emit window->ListPanel()->loadClicked();
    QCOMPARE(list->RowCount(), 14);
    QVERIFY(QFile::exists("changed.dat"));
    emit window->ListPanel()->addClicked();
    Answer({"dialog no", "dialog file sample.dat"});
    emit window->ListPanel()->loadClicked();
    QCOMPARE(list->RowCount(), 13);
    QVERIFY(script->DialogTexts().contains("Message list changed, save before loat new data ?"));
    // A file that is not a message file: the message, and an empty list.
    QFile bad("bad.dat");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("KZ12345678");
    bad.close();
    Answer({"dialog file bad.dat", "dialog ok"});
    emit window->ListPanel()->loadClicked();
    QCOMPARE(list->RowCount(), 0);
    QCOMPARE(script->DialogTexts().last(), QString("illegal file (data format error)"));
    QCOMPARE(window->ListDock()->windowTitle(), QString("MessageList"));
}

void MainWindowTest::doubleClickTranslatesTheRow() {
    Open();
    QVERIFY(window->App().LoadMessageFile(kSampleMessages.toUtf8().constData()));
    ExtendedList* list = window->ListPanel()->List();
    QCOMPARE(list->RowCount(), 13);
    QCOMPARE(list->GetRowState(0), ExtendedList::RowState::None);
    window->ListPanel()->SetActiveTab(MessageListPanel::kListTab);
    QTest::qWait(20);
    QRect cell = list->visualItemRect(list->topLevelItem(0));
    // A real double click: a click, then a second press read as a double one.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(list->GetRowState(0), ExtendedList::RowState::Ok);
    QCOMPARE(list->Cell(0, 3), QString("IPv4 packet"));
    QVERIFY(list->Cell(0, 4).startsWith("TCP "));
    QCOMPARE(window->App().Totals().total, 1);
    // The row cut short fails: its icon says so, after its message box.
    script->AnswerOthers("dialog ok");
    for (int row = 1; row < list->RowCount(); ++row) emit list->rowActivated(row);
    QList<int> failing;
    for (int row = 0; row < list->RowCount(); ++row) {
        QVERIFY(list->GetRowState(row) != ExtendedList::RowState::None);
        if (list->GetRowState(row) == ExtendedList::RowState::Failed) failing << row;
    }
    QCOMPARE(failing.size(), 1);
    QCOMPARE(script->DialogTexts().size(), 1);
    QVERIFY(script->DialogTexts().first().contains("fail"));
    QCOMPARE(window->PaneText(1), QString("  Total - 13    Fail - 1    Warning - 1 "));
}

void MainWindowTest::datagramIsAddedAndTranslated() {
    // A port of the test's own: any free one, taken and let go.
    uint16_t port = Udp().FreePort();
    QVERIFY(port != 0);
    Open(port);
    QVERIFY(window->App().Receiver().IsOpen());
    window->ListPanel()->AutoTranslate()->setChecked(true);
    Udp sender;
    QByteArray message = QByteArray::fromHex(QByteArray(kSyn).replace(' ', ""));
    QByteArray datagram = QByteArray("\x05\x00\x07", 3) + message;
    // Acceptance off: nothing arrives in the list.
    sender.Send(datagram, port);
    QTest::qWait(100);
    QCOMPARE(window->ListPanel()->List()->RowCount(), 0);
    window->Action(MainWindow::kAcceptExternal)->trigger();
    QCOMPARE(window->ListPanel()->ActiveTab(), int(MessageListPanel::kListTab));
    sender.Send(datagram, port);
    sender.Send(QByteArray("\x05\x00\x07", 3), port);
    ExtendedList* list = window->ListPanel()->List();
    QTRY_COMPARE(list->RowCount(), 1);
    QTRY_COMPARE(list->GetRowState(0), ExtendedList::RowState::Ok);
    QCOMPARE(list->Cell(0, 2), QString::number(message.size()));
    QCOMPARE(list->SelectedRow(), 0);
    QCOMPARE(window->App().Totals().total, 1);
}

void MainWindowTest::firstStartOffersTheSample() {
    // The run directory of the program holds the sample as "script\...".
    QDir().mkpath("script/TCP_UDP");
    QVERIFY(QFile::copy(kSample, "script/TCP_UDP/main.txt"));
    QVERIFY(QFile::copy(kSampleMessages, "script/TCP_UDP/msg.dat"));
    Profile profile;
    profile.WriteInt("Setting", "AppFirstLoad", 1);
    profile.WriteString("Setting", "LastBrowseDir", "");
    StartUpOptions options;
    options.loadPlugIns = false;
    options.traceConsole = false;
    options.receiverPort = 0;
    window = std::make_unique<MainWindow>(options);
    script = new ActionScript(window.get(), ".", window.get());
    script->Add(QString("dialog yes"));
    script->Start();
    window->show();
    QTRY_COMPARE(window->ListPanel()->List()->RowCount(), 13);
    QCOMPARE(script->DialogTexts().first(), QString("Quick Start"));
    QCOMPARE(window->PaneText(2), QString("script\\TCP_UDP\\main.txt"));
    QCOMPARE(window->ListPanel()->ActiveTab(), int(MessageListPanel::kListTab));
    QCOMPARE(profile.GetInt("Setting", "AppFirstLoad", 1), 0);
    Close();
    // Offered once only: a second start opens no dialog.
    Open();
    QVERIFY(script->DialogTexts().isEmpty());
}

void MainWindowTest::badInputShowsTheMessage() {
    QFile broken("broken.txt");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("struct Broken {\n    UINT1 a\n};\n");
    broken.close();
    QFile ini("Vantor.ini");
    QVERIFY(ini.open(QIODevice::Append));
    ini.write("\n[Settings]\nListColumn=zz\x01\xff\nWindowPos=::::\nActivePanel=9\n");
    ini.close();
    Open();
    Answer({"dialog ok"});
    window->ListPanel()->Input()->setPlainText("0A B");
    emit window->ListPanel()->translateClicked();
    QCOMPARE(script->DialogTexts().last(), QString("Hex stream error"));
    QCOMPARE(window->StatusMessage(),
             QString("Hex stream error: character 4: the digit 'B' has no second digit"));
    window->App().SelectScript("broken.txt");
    Answer({"dialog ok"});
    window->ListPanel()->Input()->setPlainText("01");
    emit window->ListPanel()->translateClicked();
    QVERIFY(script->DialogTexts().last().contains("broken.txt"));
    QVERIFY(window->StatusMessage().contains("broken.txt"));
    // A script that loads with warnings shows the first in the script pane.
    QFile warned("warned.txt");
    QVERIFY(warned.open(QIODevice::WriteOnly));
    warned.write(
        "#define NETWORK_TRANMODE h_to_l\n#define PROTOCOL_ROOT P\nstruct P { UINT1 a; };\n");
    warned.close();
    window->App().SelectScript("warned.txt");
    emit window->ListPanel()->translateClicked();
    QVERIFY(window->PaneText(2).startsWith("warned.txt : Ln 0  warning: NETWORK_TRANMODE"));
    Answer({"dialog ok"});
    window->Action(MainWindow::kAsn1)->trigger();
    QCOMPARE(script->DialogTexts().last(), QString("Not supported now"));
}

void MainWindowTest::rowsShowTheirBytes() {
    Open();
    window->ListPanel()->Input()->setPlainText(kSyn);
    emit window->ListPanel()->translateClicked();
    HexView* hex = window->Hex();
    QCOMPARE(hex->Data().size(), 60);
    TreeListView* tree = window->Tree();
    struct {
        const char* row;
        int start, length;  // -1: nothing highlighted
    } cases[] = {
        {"ttl", 8, 1},           // an integer
        {"version:07_4", 0, 1},  // a bit field: its byte
        {"ihl:03_4", 0, 1},      {"fragment_offset:12_13", 6, 2},
        {"{}ip", 0, 20},                              // a struct
        {"transport[]", 20, 40},                      // a choice
        {"{}mss", 40, 4},                             // an element of the options' choice array
        {"source", 12, 4},       {"payload", -1, 0},  // an empty octet string
        {"{}msg", 0, 60},
    };
    for (const auto& c : cases) {
        QModelIndex index = FindRow(tree->model(), c.row);
        QVERIFY2(index.isValid(), c.row);
        tree->setCurrentIndex(index);
        QCOMPARE(hex->HighlightStart(), c.start);
        QCOMPARE(hex->HighlightLength(), c.length);
    }
    QVERIFY(window->StatusMessage().contains("ihl"));
    // A byte selects the deepest row over it.
    for (auto [offset, row] : {std::pair{8, "ttl"}, {41, "length"}, {0, "version:07_4"}}) {
        window->SelectRowAtByte(offset);
        QCOMPARE(tree->model()->data(tree->currentIndex()).toString(), QString(row));
    }
    // A failed translation: the rows it reached still show their bytes.
    window->ListPanel()->Input()->setPlainText("45 00 00 3C 1C 46");
    script->AnswerOthers("dialog ok");
    emit window->ListPanel()->translateClicked();
    tree->setCurrentIndex(FindRow(tree->model(), "identification"));
    QCOMPARE(hex->HighlightStart(), 4);
    QCOMPARE(hex->HighlightLength(), 2);
}

void MainWindowTest::findCopyAndExport() {
    Open();
    window->ListPanel()->Input()->setPlainText(kSyn);
    emit window->ListPanel()->translateClicked();
    window->ShowFind();
    QVERIFY(window->Find()->isVisible());
    window->Find()->Edit()->setText("port");
    TreeListView* tree = window->Tree();
    QModelIndex first = tree->FindNext(false);
    QVERIFY(tree->model()->data(first).toString().contains("port"));
    QVERIFY(!tree->isRowHidden(FindRow(tree->model(), "{}tcp").row(),
                               FindRow(tree->model(), "{}tcp").parent()));
    QVERIFY(tree->isRowHidden(FindRow(tree->model(), "ttl").row(),
                              FindRow(tree->model(), "ttl").parent()));
    // The value, the row and the node's JSON, as vantor-cli writes it.
    QModelIndex ttl = FindRow(tree->model(), "ttl");
    QCOMPARE(window->RowValue(ttl), QString("64"));
    QVERIFY(window->RowText(ttl).startsWith("ttl\t8  : 1\t***B1***\t"));
    QString json = window->RowJson(ttl);
    QVERIFY2(json.startsWith("{\"name\":\"ttl\"") && json.endsWith("}"), qPrintable(json));
    QVERIFY(window->RowJson(FindRow(tree->model(), "{}ip")).contains("\"name\":\"checksum\""));
    QString whole = window->TranslationJson();
    QVERIFY(whole.startsWith("{\"index\":0,"));
    QVERIFY(whole.contains(json));
    Answer({"dialog file out.json"});
    window->ExportJson();
    QFile exported("out.json");
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(exported.readAll()), whole + "\n");
}

void MainWindowTest::recentScriptsAndDrops() {
    QVERIFY(QFile::copy(kSampleMessages, "drop.dat"));
    QFile other("other.txt");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("#define PROTOCOL_ROOT P\nstruct P { UINT1 a; };\n");
    other.close();
    Open();
    auto drop = [this](const QString& file) {
        window->DropFiles({QUrl::fromLocalFile(QDir::current().absoluteFilePath(file))});
    };
    drop("other.txt");
    QVERIFY(QString(window->App().GetScriptPath().GetBuffer(0)).endsWith("other.txt"));
    drop("drop.dat");
    QCOMPARE(window->ListPanel()->List()->RowCount(), 13);
    // A changed list asks first; saving instead (here cancelled) keeps it.
    window->ListPanel()->Input()->setPlainText("01");
    emit window->ListPanel()->addClicked();
    Answer({"dialog yes", "dialog cancel"});
    drop("drop.dat");
    QCOMPARE(window->ListPanel()->List()->RowCount(), 14);
    QStringList recent = window->RecentScripts();
    QCOMPARE(recent.size(), 2);
    QVERIFY(recent[0].endsWith("other.txt"));
    QCOMPARE(recent[1], kSample);
    Close();
    Open();
    QCOMPARE(window->RecentScripts(), recent);
    QCOMPARE(window->RecentMenu()->actions().size(), 2);
    window->RecentMenu()->actions().at(1)->trigger();
    QCOMPARE(QString(window->App().GetScriptPath().GetBuffer(0)), kSample);
}

void MainWindowTest::captureLoadsIntoTheList() {
    using namespace testcaptures;
    QByteArray message = QByteArray::fromHex(QByteArray(kSyn).replace(' ', ""));
    Bytes ip(message.begin(), message.end());
    Bytes file = PcapngFile(1, {Ethernet(ip, true), Ethernet(ip, false)});
    QFile capture("two.pcapng");
    QVERIFY(capture.open(QIODevice::WriteOnly));
    capture.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
    capture.close();
    Open();
    // The whole IP packet is the sample's message.
    Answer({"dialog file two.pcapng"});
    window->ListPanel()->AutoTranslate()->setChecked(true);
    QTimer::singleShot(0, window.get(), [this] {
        // The dialog offers payload first; the sample wants the IP layer.
        if (auto* dialog = window->findChild<CaptureDialog*>()) {
            CaptureOptions options;
            options.layer = CaptureLayer::kIp;
            dialog->SetOptions(options);
        }
    });
    emit window->ListPanel()->loadCaptureClicked();
    ExtendedList* list = window->ListPanel()->List();
    QCOMPARE(list->RowCount(), 2);
    QCOMPARE(list->GetRowState(1), ExtendedList::RowState::Ok);
    QVERIFY(window->StatusMessage().startsWith("2 packets: 2 messages"));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
