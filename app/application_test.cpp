// Tests of the application core: start-up, the translate command with its
// totals, reload check, results and report, the input box, the message list
// glue and external messages (their reception: datagram_receiver_test.cpp).
#include "app/application.h"

#include <string>
#include <vector>

#include "app/test_captures.h"
#include "base/path.h"
#include "base/scratch_dir.h"
#include "types/instance_dump.h"

namespace {

// Records what the windows would show.
class RecordingFrontEnd : public AppFrontEnd {
  public:
    void ShowMessage(const char* text) override { messages.push_back(text); }
    void ShowTotals(const char* line) override { totals = line; }
    void OutputText(const char* text) override { output += text; }
    void ClearOutput() override { output.clear(); }
    void ReportAdded(const char* text, size_t length) override {
        reports.push_back(std::string(text, length));
    }
    void ShowReportFile(const char* path) override { shownFile = path; }
    void RebuildTree(const TextTable& table, const char* status) override {
        treeRows = table.GetRowCount();
        treeStatus = status;
    }
    // Questions are answered in turn from answers, No when none is left.
    bool Ask(const char* text) override {
        questions.push_back(text);
        bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return yes;
    }
    bool ChooseFile(const FileDialogRequest& request, OTSTR& path) override {
        dialogs.push_back(std::string(request.save ? "save " : "open ") + request.filter);
        path = chosenFile.c_str();
        return !chosenFile.empty();
    }
    bool OfferSample() override {
        ++offers;
        return takeSample;
    }
    void ShowListPanel() override { ++listPanelShown; }
    void MessagesCleared() override { ++cleared; }

    std::vector<std::string> messages, reports, questions, dialogs;
    std::vector<bool> answers;
    std::string totals, output, shownFile, treeStatus, chosenFile;
    int treeRows = -1, offers = 0, listPanelShown = 0, cleared = 0;
    bool takeSample = false;
};

// Two fields, a caption from the script and a title per kind.
constexpr char kScript[] =
    "#define PROTOCOL_NAME \"Pair\"\n#define PROTOCOL_ROOT Pair\n"
    "extern BYTE sysSetTitle(BYTE TitleN, STRING strTitle);\n"
    "enum Title_DescriptionId {\n    T_HAND = 0,   // typed by hand\n"
    "    T_PEER = 7,   // from the peer\n};\n"
    "struct Pair { UINT1 a; UINT2 b;\n"
    "    UINT1 shown {   // made by its procedure, reads no bytes\n"
    "        UINT1 Translate(STRING s, dynamic &c, INT4 i) {\n"
    "            sysSetTitle(0, \"pair\"); sysSetTitle(1, \"second\"); return 0; } };\n};\n";

class ApplicationTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        WriteWholeFile("pair.txt", kScript);
    }

    // Starts an application without plug-ins or receiver, on pair.txt.
    static void Start(Application& app, bool select = true) {
        ASSERT_TRUE(app.StartUp({Profile::kDefaultPath, false, false, 0}));
        if (select) app.SelectScript("pair.txt");
    }

    RecordingFrontEnd front;
    Application app{&front};
};

// Three bytes make a Pair; longer or shorter prefixes leave or lack some.
const uint8_t kPair[] = {1, 2, 3, 4, 5};

TEST_F(ApplicationTest, StartUpCreatesDumpAndTraceAndTakesTheLastScript) {
    WriteWholeFile("Vantor.ini", "[setting]\nlastbrowsedir=pair.txt\nMsgListBufSizeMb=2\n");
    {
        Application first(&front);
        Start(first, false);
        EXPECT_TRUE(vpath::IsDirectory("dump"));
        EXPECT_TRUE(first.IsScriptPending());
        EXPECT_STREQ("pair.txt", first.GetScriptPath().GetBuffer(0));
        EXPECT_EQ(2 * MessageList::kMegabyte, first.Messages().GetCapacity());
        EXPECT_FALSE(first.IsAccepting());
        EXPECT_TRUE(first.TranslateMessage(kPair, 3, 0, nullptr, false));
    }
    EXPECT_TRUE(vpath::FileExists("Trace0.txt"));
    EXPECT_NE(std::string::npos, ReadWholeFile("dump/Program.txt").find("Pair"));
}

TEST_F(ApplicationTest, TotalsCountAttemptsFailuresAndWarnings) {
    Start(app);
    EXPECT_FALSE(app.TranslateMessage(nullptr, 0, 0, nullptr, false));
    EXPECT_EQ("\n # illegal input.\n", front.output);
    EXPECT_EQ("  Total - 1     Fail - 1    Warning - 0 ", front.totals);
    EXPECT_FALSE(app.Last().attempted);
    EXPECT_TRUE(app.TranslateMessage(kPair, 3, 0, nullptr, false));
    EXPECT_TRUE(app.TranslateMessage(kPair, 5, 0, nullptr, false));
    EXPECT_EQ(3, app.Last().used);
    EXPECT_FALSE(app.TranslateMessage(kPair, 2, 0, nullptr, true));
    EXPECT_EQ("  Total - 4    Fail - 2    Warning - 1 ", front.totals);
    ASSERT_EQ(1u, front.messages.size());
    EXPECT_EQ(front.messages[0], app.Last().error.GetBuffer(0));
    EXPECT_FALSE(app.Last().error.IsEmpty());
    // Only the translation with the report wrote one.
    EXPECT_EQ(1u, front.reports.size());
    app.FinishReport();
    EXPECT_EQ(front.reports[0], ReadWholeFile("dump/Tran"));
}

TEST_F(ApplicationTest, ScriptIsReloadedWhenTheFileChanges) {
    Start(app);
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 0, nullptr, false));
    EXPECT_FALSE(app.IsScriptPending());
    EXPECT_EQ(3, app.Last().used);
    // The same size, another layout: b becomes two single bytes; and the
    // titles of the new script are the ones shown.
    std::string changed = kScript;
    changed.replace(changed.find("UINT2 b;"), 8, "UINT1 b;");
    changed.replace(changed.find("from the peer"), 13, "from the rest");
    WriteWholeFile("pair.txt", changed);
    TranslateResults results;
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 7, &results, false));
    EXPECT_EQ(2, app.Last().used);
    EXPECT_STREQ("from the rest", results.texts[0].GetBuffer(0));
    // A script that no longer compiles stops the translation and stays
    // pending; the attempt is not counted.
    WriteWholeFile("pair.txt", "struct Pair { UINT1 a }");
    int32_t before = app.Totals().total;
    EXPECT_FALSE(app.TranslateMessage(kPair, 3, 0, nullptr, true));
    EXPECT_TRUE(app.IsScriptPending());
    EXPECT_EQ(before, app.Totals().total);
    ASSERT_FALSE(front.messages.empty());
    EXPECT_NE(std::string::npos, front.messages.back().find("pair.txt"));
    // A missing file shows "File open error".
    WriteWholeFile("pair.txt", kScript);
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 0, nullptr, false));
    vpath::RemoveFile("pair.txt");
    front.messages.clear();
    app.TranslateMessage(kPair, 3, 0, nullptr, false);
    ASSERT_FALSE(front.messages.empty());
    EXPECT_EQ("File open error", front.messages[0]);
}

TEST_F(ApplicationTest, WithoutAScriptTheAttemptIsCountedAndReported) {
    // No script selected, or "LastBrowseDir" naming nothing: none is pending.
    for (const char* script : {"", "gone.txt"}) {
        WriteWholeFile("Vantor.ini", (std::string("[Setting]\nLastBrowseDir=") + script).c_str());
        Application bare(&front);
        Start(bare, false);
        EXPECT_FALSE(bare.IsScriptPending()) << script;
        front.messages.clear();
        front.reports.clear();
        EXPECT_FALSE(bare.TranslateMessage(kPair, 3, 0, nullptr, true)) << script;
        // One message box; the count and the report follow the failure.
        ASSERT_EQ(1u, front.messages.size()) << script;
        EXPECT_EQ("File open error", front.messages[0]);
        EXPECT_EQ(1, bare.Totals().total);
        EXPECT_EQ(1, bare.Totals().failed);
        ASSERT_EQ(1u, front.reports.size());
        EXPECT_NE(std::string::npos, front.reports[0].find("Err: "));
    }
}

TEST_F(ApplicationTest, ResultTextsReportAndViews) {
    Start(app);
    TranslateResults results;
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 7, &results, true));
    EXPECT_STREQ("from the peer", results.texts[0].GetBuffer(0));
    EXPECT_STREQ("pair", results.texts[1].GetBuffer(0));
    EXPECT_STREQ("second", results.texts[2].GetBuffer(0));
    // Tree mode by default: the tree is rebuilt, without a status.
    EXPECT_GT(front.treeRows, 0);
    EXPECT_EQ("", front.treeStatus);
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 5, &results, true));
    EXPECT_STREQ("", results.texts[0].GetBuffer(0));

    app.FinishReport();
    std::string report = ReadWholeFile("dump/Tran");
    EXPECT_NE(std::string::npos, report.find("  Msg: pair second "));
    EXPECT_NE(std::string::npos, report.find(" -Pro: Pair "));
    EXPECT_EQ(front.reports[0] + front.reports[1], report);
    // Plain mode shows the report file; a leftover is the status in tree mode.
    app.Settings().displayTreeMode = 0;
    ASSERT_TRUE(app.TranslateMessage(kPair, 4, 0, nullptr, true));
    EXPECT_EQ("Dump\\Tran", front.shownFile);
    app.Settings().displayTreeMode = 1;
    ASSERT_TRUE(app.TranslateMessage(kPair, 4, 0, nullptr, true));
    EXPECT_EQ("Wrn: leave 1 bytes not translated\n", front.treeStatus);
    EXPECT_FALSE(app.TranslateMessage(kPair, 1, 0, nullptr, true));
    EXPECT_EQ(0u, front.treeStatus.find("Err: "));
    // The translate options are kept in the profile.
    app.Settings().commentMode = 2;
    app.Settings().expendTypeOF = 1;
    ASSERT_TRUE(app.TranslateMessage(kPair, 3, 0, nullptr, false));
    Profile profile;
    EXPECT_EQ(2, profile.GetInt("SETTING", "commentmode", -1));
    EXPECT_EQ(1, profile.GetInt("Setting", "ExpendTypeOF", -1));
}

TEST(ApplicationOptions, DumpOptionWordFollowsModes) {
    struct {
        int32_t tree, expand, comment;
        uint32_t options;
    } cases[] = {
        {1, 0, 0, kDumpComments},
        {1, 0, 1, kDumpValues},
        {1, 0, 2, kDumpValues | kDumpComments},
        {1, 1, 0, kDumpIntegrated | kDumpComments},
        {0, 0, 0, kDumpMarker | kDumpIndent | kDumpComments},
        {0, 1, 2, kDumpMarker | kDumpIndent | kDumpIntegrated | kDumpValues | kDumpComments},
    };
    Application app;
    for (const auto& c : cases) {
        app.Settings().displayTreeMode = c.tree;
        app.Settings().expendTypeOF = c.expand;
        app.Settings().commentMode = c.comment;
        EXPECT_EQ(c.options, app.DumpOptions()) << c.tree << c.expand << c.comment;
    }
}

TEST_F(ApplicationTest, InputBoxParsesSavesAndAdds) {
    Start(app);
    EXPECT_TRUE(app.TranslateInput("01\t02 \r\n03", false));
    EXPECT_EQ(3, app.Last().length);
    EXPECT_EQ("01\t02 \r\n03", ReadWholeFile("dump/Content"));

    EXPECT_FALSE(app.TranslateInput("0A B", false));
    EXPECT_EQ("Hex stream error", front.messages.back());
    EXPECT_EQ("0A B", ReadWholeFile("dump/Content"));
    EXPECT_EQ(0, app.AddInputToList("0A 0B0C"));
    MessageView message;
    ASSERT_TRUE(app.Messages().GetMessage(0, message));
    EXPECT_EQ(3, message.length);
    EXPECT_EQ(0, message.kind);
    EXPECT_EQ(-1, app.AddInputToList("zz"));
}

TEST_F(ApplicationTest, ExternalMessagesNeedAcceptanceAndThreeBytes) {
    Start(app);
    auto deliver = [this](std::vector<uint8_t> datagram) {
        app.Receiver().OnDatagram(datagram.data(), static_cast<int32_t>(datagram.size()), 0, 0);
    };
    deliver({0x05, 0, 7, 1, 2, 3});
    EXPECT_EQ(0, app.Messages().GetCount());
    app.SetAccepting(true);
    deliver({0x05, 0, 7});  // no message
    EXPECT_EQ(0, app.Messages().GetCount());
    deliver({0x05, 0, 9, 0xAB});
    ASSERT_EQ(1, app.Messages().GetCount());
    MessageView message;
    ASSERT_TRUE(app.Messages().GetMessage(0, message));
    EXPECT_EQ(9, message.kind);
    ASSERT_EQ(1, message.length);
    EXPECT_EQ(0xAB, message.bytes[0]);
    EXPECT_EQ(0, app.Totals().total);
    // Automatic translation translates and keeps the row's results.
    app.SetAutoTranslate(true);
    deliver({0x05, 0, 7, 1, 2, 3});
    ASSERT_EQ(2, app.Messages().GetCount());
    EXPECT_EQ(1, app.Totals().total);
    EXPECT_TRUE(app.Messages().IsOk(1));
    EXPECT_EQ("from the peer", app.Messages().GetResult(1)[0]);
    EXPECT_EQ("pair", app.Messages().GetResult(1)[1]);
}

TEST_F(ApplicationTest, MessageFilesLoadTranslateAndTheLoadCommandAsks) {
    Start(app);
    ASSERT_EQ(0, app.AddMessage(0, kPair, 3));
    ASSERT_EQ(1, app.AddMessage(7, kPair, 2));
    ASSERT_TRUE(app.SaveMessageFile("two.dat"));
    Application other(&front);
    Start(other);
    other.SetAutoTranslate(true);
    ASSERT_TRUE(other.LoadMessageFile("two.dat"));
    EXPECT_EQ(2, other.Messages().GetCount());
    EXPECT_EQ(2, other.Totals().total);
    EXPECT_EQ(1, other.Totals().failed);
    EXPECT_TRUE(other.Messages().IsOk(0));
    EXPECT_FALSE(other.Messages().IsOk(1));
    // A file it refuses shows why (the texts: message_list_test, cli_test).
    EXPECT_FALSE(other.LoadMessageFile("missing.dat"));
    EXPECT_EQ("File: missing.dat  Open failed", front.messages.back());

    // The load command asks while accepting and when the list changed.
    ASSERT_EQ(2, app.AddMessage(0, kPair, 1));
    front.chosenFile = "two.dat";
    struct {
        bool accepting;
        std::vector<bool> answers;
        size_t questions;
        bool loaded, stillAccepting;
        const char* dialog;  // the last dialog, "" for none
    } cases[] = {
        // No to the first question cancels everything.
        {true, {false}, 1, false, true, ""},
        // Yes stops the acceptance; Yes to saving runs the save command
        // instead of loading.
        {true, {true, true}, 2, false, false, "save "},
        // Saved: no second question; the file loads.
        {false, {}, 0, true, false, "open "},
    };
    for (const auto& c : cases) {
        app.SetAccepting(c.accepting);
        front.answers = c.answers;
        front.questions.clear();
        front.dialogs.clear();
        EXPECT_EQ(c.loaded, app.LoadCommand());
        ASSERT_EQ(c.questions, front.questions.size());
        if (c.questions > 0) {
            EXPECT_EQ(msglistmsg::kStopAccepting, front.questions[0]);
        }
        if (c.questions > 1) {
            EXPECT_EQ(msglistmsg::kSaveChanged, front.questions[1]);
        }
        EXPECT_EQ(c.stillAccepting, app.IsAccepting());
        std::string last = front.dialogs.empty() ? "" : front.dialogs.back().substr(0, 5);
        EXPECT_EQ(c.dialog, last);
    }
    // The save of the second case wrote all three messages.
    EXPECT_EQ(3, app.Messages().GetCount());
    EXPECT_FALSE(app.Messages().IsChanged());
    // Answering No to saving loads over the changes.
    app.AddMessage(0, kPair, 2);
    front.answers = {false};
    EXPECT_TRUE(app.LoadCommand());
    EXPECT_EQ(3, app.Messages().GetCount());
}

TEST_F(ApplicationTest, CapturesReplaceTheListWithTheirPacketsAndTimes) {
    using namespace testcaptures;
    Start(app);
    Bytes udp = Ipv4(17, Cat(Transport(17, 7), {1, 2, 3}));
    Bytes file = PcapFile(101, {udp, Ipv4(1, Bytes(8, 0)), udp});
    WriteWholeFile("two.pcap", std::string(file.begin(), file.end()));
    ASSERT_EQ(0, app.AddMessage(0, kPair, 3));
    app.Messages().SetChanged(false);
    app.SetAutoTranslate(true);
    CaptureCounts counts;
    ASSERT_TRUE(app.LoadCapture("two.pcap", CaptureOptions(), &counts));
    EXPECT_EQ(3, counts.packets);
    EXPECT_EQ(1, counts.skipped);
    ASSERT_EQ(2, app.Messages().GetCount());
    MessageView message;
    ASSERT_TRUE(app.Messages().GetMessage(1, message));
    char time[9];
    CaptureTimeText(1700000002, time);
    EXPECT_EQ(std::string(time), std::string(message.time, 8));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}),
              std::vector<uint8_t>(message.bytes, message.bytes + 3));
    EXPECT_TRUE(app.Messages().IsOk(0));  // translated as they came
    EXPECT_TRUE(app.Messages().IsChanged());

    // More than the list holds: refused, the list as it was.
    app.Messages().SetChanged(false);
    Bytes big = Ipv4(17, Cat(Transport(17, 7), Bytes(60000, 9)));
    file = PcapFile(101, std::vector<Bytes>(20, big));
    WriteWholeFile("big.pcap", std::string(file.begin(), file.end()));
    EXPECT_FALSE(app.LoadCapture("big.pcap", CaptureOptions(), nullptr));
    EXPECT_EQ("illegal file (overflow)", front.messages.back());
    EXPECT_EQ(2, app.Messages().GetCount());
    // A damaged one keeps the packets before the damage and says so.
    file = PcapFile(101, {udp, udp});
    file.resize(file.size() - 2);
    WriteWholeFile("cut.pcap", std::string(file.begin(), file.end()));
    EXPECT_FALSE(app.LoadCapture("cut.pcap", CaptureOptions(), nullptr));
    EXPECT_EQ(1, app.Messages().GetCount());
    EXPECT_NE(std::string::npos, front.messages.back().find("damaged after packet 1"));
}

TEST_F(ApplicationTest, SampleIsOfferedOnceAndLoadsTheSampleFiles) {
    vpath::MakeDirectory("script");
    vpath::MakeDirectory("script/TCP_UDP");
    Start(app, false);
    ASSERT_EQ(0, app.AddMessage(0, kPair, 3));
    ASSERT_TRUE(app.SaveMessageFile("script/TCP_UDP/msg.dat"));
    front.takeSample = true;
    app.SampleCommand();
    EXPECT_EQ(1, front.offers);
    EXPECT_STREQ("script\\TCP_UDP\\main.txt", app.GetScriptPath().GetBuffer(0));
    EXPECT_TRUE(app.IsScriptPending());
    EXPECT_EQ(1, app.Messages().GetCount());
    EXPECT_EQ(1, front.listPanelShown);
    Profile profile;
    EXPECT_EQ(0, profile.GetInt("Setting", "AppFirstLoad", 1));
    OTSTR last;
    profile.GetString("Setting", "LastBrowseDir", "", last);
    EXPECT_STREQ("script\\TCP_UDP\\main.txt", last.GetBuffer(0));
    // Not offered again, in this run or the next.
    app.SampleCommand();
    Application next(&front);
    Start(next, false);
    next.SampleCommand();
    EXPECT_EQ(1, front.offers);
}

}  // namespace
