// Application: the platform-neutral core of the desktop program and of the
// command-line front end: start-up and shut-down, the settings, the script
// reload check, the translate command with its totals, instance-dump table
// and report, the message list and the external messages. What the windows
// show goes through an AppFrontEnd. Tested by app/application_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/app_settings.h"
#include "app/capture_reader.h"
#include "app/datagram_receiver.h"
#include "app/message_list.h"
#include "app/profile.h"
#include "base/background_append.h"
#include "base/otstr.h"
#include "base/path.h"
#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "plugins/plugin_list.h"
#include "types/text_table.h"

class EnumItemList;

namespace appmsg {
constexpr const char kIllegalInput[] = "\n # illegal input.\n";
constexpr const char kFileOpenError[] = "File open error";
constexpr const char kDumpFail[] = "dump fail, %s  (using ValueOnly_mode to check data)";
constexpr const char kDumpFailValueOnly[] = "dump fail, %s";
constexpr const char kStatusError[] = "Err: %s\n";
constexpr const char kStatusLeftover[] = "Wrn: leave %d bytes not translated\n";
constexpr const char kTitleEnum[] = "Title_DescriptionId";
constexpr const char kReportFile[] = "Dump\\Tran";
constexpr const char kDumpDir[] = "dump";
constexpr const char kTraceName[] = "Trace";
constexpr const char kWindowTitle[] = "Kestrun 1.0 ";
constexpr const char kSampleScript[] = "script\\TCP_UDP\\main.txt";
constexpr const char kSampleMessages[] = "script\\TCP_UDP\\msg.dat";
constexpr const char kScriptFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char kDataFilter[] = "Data Files (*.dat)|*.dat|All Files (*.*)|*.*||";
constexpr const char kLogFilter[] = "Log Files (*.log)|*.log|All Files (*.*)|*.*||";
}  // namespace appmsg

// A file dialog the commands ask the front end for: the filter in the
// "Name (*.x)|*.x|...||" form, the default extension and file name.
struct FileDialogRequest {
    bool save = false;
    const char* filter = "";
    const char* defaultExt = "";
    const char* fileName = "";
};

// The file dialogs of the commands.
namespace filedialog {
constexpr FileDialogRequest kOpenScript{false, appmsg::kScriptFilter, "txt", "*.txt"};
constexpr FileDialogRequest kOpenData{false, appmsg::kDataFilter, "dat", "*.dat"};
constexpr FileDialogRequest kSaveData{true, appmsg::kDataFilter, "dat", "*.dat"};
constexpr FileDialogRequest kSaveLog{true, appmsg::kLogFilter, "log", "*.log"};
}  // namespace filedialog

// What the windows do with the results; every operation does nothing by
// default. The command-line front end writes them to its streams.
class AppFrontEnd {
  public:
    virtual ~AppFrontEnd() = default;
    // A message box with text.
    virtual void ShowMessage(const char* text) { (void)text; }
    // The totals line in the status bar.
    virtual void ShowTotals(const char* line) { (void)line; }
    // Text added to the output window, and clearing it.
    virtual void OutputText(const char* text) { (void)text; }
    virtual void ClearOutput() {}
    // The report text of one translation (length bytes), as it was added to
    // "Dump\Tran".
    virtual void ReportAdded(const char* text, size_t length) {
        (void)text;
        (void)length;
    }
    // Plain mode after a report: the output window shows "Dump\Tran" (read
    // after Application::FinishReport).
    virtual void ShowReportFile(const char* path) { (void)path; }
    // Tree mode after a report: rebuild the tree-list from the table, with
    // the translation status text ("Err: ..." or "Wrn: ..."), empty if none.
    virtual void RebuildTree(const TextTable& table, const char* status) {
        (void)table;
        (void)status;
    }
    // A question with Yes and No buttons; true for Yes.
    virtual bool Ask(const char* text) {
        (void)text;
        return false;
    }
    // A file dialog; true with the chosen path, false when cancelled.
    virtual bool ChooseFile(const FileDialogRequest& request, OTSTR& path) {
        (void)request;
        (void)path;
        return false;
    }
    // The quick-start dialog; true when the user chose "Load Sample".
    virtual bool OfferSample() { return false; }
    // Show the message list panel and make it the active tab.
    virtual void ShowListPanel() {}
    // Acceptance of external data was switched on or off.
    virtual void AcceptingChanged(bool on) { (void)on; }
    // A script was selected (status-bar pane of the script path).
    virtual void ScriptSelected(const char* path) { (void)path; }
    // The message list lost all its rows.
    virtual void MessagesCleared() {}
    // A script was compiled; error is the compile error when it failed.
    virtual void ScriptLoaded(bool ok, const char* error) {
        (void)ok;
        (void)error;
    }
    // A row was added to the message list / its translation finished.
    virtual void MessageAdded(int row) { (void)row; }
    virtual void MessageTranslated(int row, bool ok) {
        (void)row;
        (void)ok;
    }
};

// The result texts of one translation for the message list's last three
// columns: the kind's comment in "Title_DescriptionId" and the two captions.
struct TranslateResults {
    OTSTR texts[3];
};

// What the most recent TranslateMessage did, for front ends that report more
// than the windows show (the command-line JSON output).
struct LastTranslation {
    bool attempted = false;  // false after an illegal input or a failed load
    bool ok = false;
    int32_t length = 0;
    int32_t used = 0;  // bytes consumed
    uint32_t milliseconds = 0;
    OTSTR error;      // the decoder's lastError on failure
    OTSTR dumpError;  // the dump failure text, empty when it worked
};

// How StartUp runs; the defaults are the desktop program's.
struct StartUpOptions {
    const char* profilePath = Profile::kDefaultPath;
    bool loadPlugIns = true;
    // The trace's console copy (standard output).
    bool traceConsole = true;
    // Open the datagram receiver on this port; 0 leaves it closed.
    uint16_t receiverPort = DatagramReceiver::kDefaultPort;
};

class Application {
  public:
    // Widths of the instance-dump table's value column and the OCTET bytes
    // that one of its rows holds.
    static constexpr int32_t kValueColumnWidth = 40;
    static constexpr int32_t kHexBytesPerRow = 12;
    // The time the script may run for one message (translation and
    // instance dump), in milliseconds.
    static constexpr uint32_t kDefaultTimeLimit = 10000;

    explicit Application(AppFrontEnd* frontEnd = nullptr);
    // Shuts down if StartUp ran.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Reads the settings, creates "dump", opens the trace "Trace", loads the
    // plug-ins, builds the script lexer and grammar, opens the receiver and
    // binds the handlers, and takes "LastBrowseDir" as the script (pending
    // when the file exists). False only when the lexer or grammar cannot be
    // built.
    bool StartUp(const StartUpOptions& options = StartUpOptions());
    // Closes the receiver, deletes the compiled script, ends the trace log and
    // unloads the plug-ins, in this order.
    void ShutDown();

    // "&Select Protocol Script file ...": the script path (system form or
    // native), written as "LastBrowseDir", pending.
    void SelectScript(const char* path);
    // The reload check: false (with "File open error" shown) when the script
    // file is missing; a changed modification time, name or size sets the
    // pending flag.
    bool CheckScript();
    // Runs the reload check and compiles a pending script with the listing;
    // on failure the decoder's lastError is shown when report is set. False
    // only when a compile failed: without a script, translations go on and
    // fail with the decoder's text.
    bool PrepareScript(bool report);
    bool HasScript() const { return decoder.GetProgram() != nullptr; }
    bool IsScriptPending() const { return scriptPending; }
    const OTSTR& GetScriptPath() const { return scriptPath; }

    // The translate command. results may be null. The report may still be
    // on its way to "Dump\Tran" when it returns: see FinishReport.
    bool TranslateMessage(const uint8_t* bytes, int32_t length, uint8_t kind,
                          TranslateResults* results, bool report);
    // Waits until every report so far is in "Dump\Tran"; whoever reads the
    // file calls it first.
    void FinishReport() { reportFile.Finish(); }
    // The thread that writes "Dump\Tran": a front end hands its own output
    // to it too (the command line's standard output), so that one thread
    // writes both, each in order.
    vpath::BackgroundAppend& ReportWriter() { return reportFile; }
    // The input box's Translate button: saves the text to "Dump\Content",
    // parses it ("Hex stream error") and translates the bytes.
    bool TranslateInput(const char* text, bool report);
    // "Add current Hex data to MsgList .": the bytes with kind 0; the new
    // row, -1 when the text does not parse or the list refuses.
    int AddInputToList(const char* text);

    // Adds a message to the list; with automatic translation on, translates
    // it with the report and stores its result texts. The row, or -1.
    int AddMessage(uint8_t kind, const uint8_t* bytes, int32_t n);
    // Translates the list's row with the report (double click).
    bool TranslateRow(int row);
    // Loads a message file into the list (errors shown), translating every
    // message in turn when automatic translation is on.
    bool LoadMessageFile(const char* path);
    bool SaveMessageFile(const char* path);
    // Empties the message list.
    void ClearMessages();

    // The load command of the message list: the questions while accepting
    // and when the list changed, the open dialog and LoadMessageFile. True
    // when a file was loaded.
    // path, when given, is loaded instead of asking with the dialog (a file
    // dropped on the window); the questions come first all the same.
    bool LoadCommand(const char* path = nullptr);
    // "Load capture ...": the load command's questions, then the selected
    // packets of the capture replace the list, each stamped with its capture
    // time, and are translated in turn when automatic translation is on. The
    // list must hold them all, else "illegal file (overflow)" and nothing
    // changes; a damaged capture is shown after the packets before it were
    // added. counts (may be null) receives what the reading met.
    bool LoadCapture(const char* path, const CaptureOptions& options, CaptureCounts* counts);
    // The save command: the save dialog, then SaveMessageFile.
    bool SaveCommand();
    // "&Select Protocol Script file ...": the open dialog, then SelectScript.
    bool SelectScriptCommand();
    // The sample command of start-up: when "AppFirstLoad" is not 0, offers
    // the sample and loads it when chosen; then writes "AppFirstLoad" 0.
    void SampleCommand();
    // "Load Sample": the sample script pending, its messages in the list,
    // the list panel shown.
    void LoadSample();

    // External data: the toggle and the callback of the receiver.
    void SetAccepting(bool on);
    void ToggleAccepting() { SetAccepting(!accepting); }
    bool IsAccepting() const { return accepting; }
    static int OnExternalMessage(void* owner, int argc, void** argv);

    // The script's time limit per message in milliseconds, 0 for none.
    void SetTimeLimit(uint32_t ms) { decoder.SetTimeLimit(ms); }
    uint32_t GetTimeLimit() const { return decoder.GetTimeLimit(); }

    void SetAutoTranslate(bool on) { autoTranslate = on; }
    bool IsAutoTranslate() const { return autoTranslate; }
    // "Output log overwrite On".
    void SetOverwrite(bool on) { overwrite = on; }
    bool IsOverwrite() const { return overwrite; }

    // The option word of the tree dump from "ExpendTypeOF", "CommentMode"
    // and the display mode.
    uint32_t DumpOptions() const;

    AppSettings& Settings() { return settings; }
    Profile& GetProfile() { return profile; }
    const TranslationTotals& Totals() const { return totals; }
    ProtocolDecoder& Decoder() { return decoder; }
    // The rows of the last translation made with the report; empty after
    // one without.
    const TextTable& DumpTable() const { return dumpTable; }
    MessageList& Messages() { return messages; }
    DatagramReceiver& Receiver() { return receiver; }
    PlugInList& PlugIns() { return plugIns; }
    const LastTranslation& Last() const { return last; }
    // The bytes and the result texts of the most recent translation that
    // was attempted.
    const std::vector<uint8_t>& LastMessage() const { return lastMessage; }
    const TranslateResults& LastResults() const { return scratchResults; }

  private:
    // The questions before the list is replaced: stop accepting, save the
    // changed list (Yes runs the save command instead). True to go on.
    bool MayReplaceList();
    void Show(const char* text);
    void ShowTotals();
    // The rows of the tree dump when rows is set (a report or a view shows
    // them), else only the dump's hooks with their effects (Dump procedures
    // may fail or set captions) and an empty table.
    bool BuildDumpTable(bool rows);
    void WriteReport(const uint8_t* bytes, int32_t length);
    void FillResults(uint8_t kind, TranslateResults& results);

    AppFrontEnd defaultFrontEnd;
    AppFrontEnd* frontEnd;
    Profile profile;
    AppSettings settings;
    PlugInList plugIns;
    DatagramReceiver receiver;
    ProtocolDecoder decoder;
    MessageList messages;
    TranslationTotals totals;
    TextTable dumpTable;
    // The program's enum of the message titles, found for the program
    // whose serial is titleEnumSerial.
    EnumItemList* titleEnum = nullptr;
    uint32_t titleEnumSerial = 0;
    LastTranslation last;
    TranslationOutcome reportOutcome;
    OTSTR reportText;
    // "Dump\Tran" while reports are appended, open from one to the next;
    // each report is written while the next message is translated.
    vpath::BackgroundAppend reportFile;
    TranslateResults scratchResults;
    OTSTR totalsLine;  // kept for the next message's totals
    std::vector<uint8_t> lastMessage;

    OTSTR scriptPath;
    // The file information remembered at the last reload check.
    vpath::ResolvedPath scriptFile;
    OTSTR scriptName;
    int64_t scriptModified = 0;
    uint32_t scriptSize = 0;
    bool scriptPending = false;

    // The translate options last written to the profile (-1: not yet).
    int32_t savedExpendTypeOF = -1;
    int32_t savedCommentMode = -1;

    bool started = false;
    bool accepting = false;
    bool autoTranslate = false;
    bool overwrite = false;
};
