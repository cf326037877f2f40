// Application: start-up, the translate command and the message list glue.
#include "app/application.h"

#include <cstring>

#include "app/hex_input.h"
#include "base/path.h"
#include "base/tracer.h"
#include "pattern/script_rules.h"
#include "script/compiler.h"
#include "script/program.h"
#include "types/enum_item_list.h"
#include "types/instance_dump.h"

Application::Application(AppFrontEnd* frontEndIn)
    : frontEnd(frontEndIn != nullptr ? frontEndIn : &defaultFrontEnd) {
    SetReportColumns(dumpTable, kValueColumnWidth);
}

Application::~Application() {
    if (started) ShutDown();
}

bool Application::StartUp(const StartUpOptions& options) {
    profile.SetPath(options.profilePath);
    settings.Load(profile);

    vpath::MakeDirectory(appmsg::kDumpDir);
    if (Tracer* tracer = Tracer::inst()) {
        tracer->open(this, appmsg::kTraceName);
        tracer->SetConsoleOn(options.traceConsole);
    }
    if (options.loadPlugIns) plugIns.LoadPlugIns();
    if (!BuildScriptRules() || !RegisterGrammar()) return false;

    if (!messages.Create(settings.msgListBufSizeMb)) messages.Create(1);
    receiver.SetHandler(this, OnExternalMessage);
    if (options.receiverPort != 0) receiver.Open(options.receiverPort);
    decoder.SetExternalHandler(&plugIns, PlugInList::OnExternalCall);

    scriptPath = settings.lastBrowseDir;
    scriptPending = !scriptPath.IsEmpty() && vpath::FileExists(scriptPath.GetBuffer(0));
    accepting = false;
    started = true;
    return true;
}

void Application::ShutDown() {
    started = false;
    reportFile.Close();
    receiver.Close();
    decoder.Reset(true);
    Tracer::destroy();
    plugIns.Clear();
}

void Application::SelectScript(const char* path) {
    scriptPath = path;
    settings.lastBrowseDir = scriptPath;
    profile.WriteString(settingskey::kSetting, settingskey::kLastBrowseDir, path);
    scriptPending = true;
    frontEnd->ScriptSelected(path);
}

bool Application::CheckScript() {
    if (scriptPending) return true;
    int64_t modified = 0;
    uint32_t size = 0;
    if (scriptPath.IsEmpty() || !scriptFile.GetFileInfo(scriptPath.GetBuffer(0), modified, size)) {
        Show(appmsg::kFileOpenError);
        return false;
    }
    if (modified != scriptModified || size != scriptSize ||
        !scriptName.Compare(scriptPath.GetBuffer(0))) {
        scriptModified = modified;
        scriptSize = size;
        scriptName = scriptPath;
        scriptPending = true;
    }
    return true;
}

bool Application::PrepareScript(bool report) {
    if (!CheckScript() || !scriptPending) return true;
    // Remember the file as it is compiled, so that only a later change
    // triggers the next load.
    int64_t modified = 0;
    uint32_t size = 0;
    if (scriptFile.GetFileInfo(scriptPath.GetBuffer(0), modified, size)) {
        scriptModified = modified;
        scriptSize = size;
        scriptName = scriptPath;
    }
    if (!decoder.LoadScript(scriptPath.GetBuffer(0), true)) {
        frontEnd->ClearOutput();
        frontEnd->ScriptLoaded(false, decoder.GetLastError().GetBuffer(0));
        if (report) Show(decoder.GetLastError().GetBuffer(0));
        return false;
    }
    scriptPending = false;
    frontEnd->ScriptLoaded(true, "");
    return true;
}

uint32_t Application::DumpOptions() const {
    uint32_t options = settings.displayTreeMode == 0 ? kDumpMarker | kDumpIndent : 0;
    if (settings.expendTypeOF != 0) options |= kDumpIntegrated;
    switch (settings.commentMode) {
        case 1:
            options |= kDumpValues;
            break;
        case 2:
            options |= kDumpValues | kDumpComments;
            break;
        default:
            options |= kDumpComments;
            break;
    }
    return options;
}

bool Application::TranslateMessage(const uint8_t* bytes, int32_t length, uint8_t kind,
                                   TranslateResults* results, bool report) {
    last.attempted = false;
    last.ok = false;
    last.length = length;
    last.used = 0;
    last.milliseconds = 0;
    last.error.Empty();
    last.dumpError.Empty();
    if (bytes == nullptr || length < 1) {
        frontEnd->OutputText(appmsg::kIllegalInput);
        totals.CountIllegal();
        ShowTotals();
        return false;
    }
    // The options are kept in the settings at every translation; the file
    // is only rewritten when they differ from what it holds.
    if (settings.expendTypeOF != savedExpendTypeOF || settings.commentMode != savedCommentMode) {
        settings.SaveTranslateOptions(profile);
        savedExpendTypeOF = settings.expendTypeOF;
        savedCommentMode = settings.commentMode;
    }
    if (!PrepareScript(report)) {
        last.error = decoder.GetLastError();
        return false;
    }
    // Without a script the translation fails with the decoder's text, which
    // goes to the report; the message box already said "File open error".
    bool showError = report && HasScript();

    last.attempted = true;
    lastMessage.assign(bytes, bytes + length);
    int32_t used = length;
    uint32_t begin = vpath::TickCount();
    bool ok = decoder.Translate(true, bytes, used);
    last.milliseconds = vpath::TickCount() - begin;
    last.ok = ok;
    last.used = ok ? used : decoder.GetConsumedBytes();
    totals.Count(!ok, ok ? length - used : 0);
    if (!ok) {
        last.error = decoder.GetLastError();
        if (showError) Show(last.error.GetBuffer(0));
    }
    ShowTotals();

    BuildDumpTable(report);
    FillResults(kind, scratchResults);
    if (results != nullptr) *results = scratchResults;
    if (report) {
        WriteReport(bytes, length);
        if (settings.displayTreeMode == 0) {
            frontEnd->ShowReportFile(appmsg::kReportFile);
        } else {
            OTSTR status;
            if (!ok) {
                status.Format(appmsg::kStatusError, last.error.GetBuffer(0));
            } else if (used < length) {
                status.Format(appmsg::kStatusLeftover, static_cast<int>(length - used));
            }
            frontEnd->RebuildTree(dumpTable, status.GetBuffer(0));
        }
    }
    return ok;
}

bool Application::BuildDumpTable(bool rows) {
    dumpTable.RemoveAllRows();
    uint32_t options = DumpOptions();
    OTSTR before = decoder.GetLastError();
    bool dumped = rows ? DumpTree(decoder.GetRoot(), dumpTable, options, 0, kHexBytesPerRow)
                       : RunDumpHooks(decoder.GetRoot(), options, &decoder.GetQuietProcedures());
    dumpTable.ComputeWidths();
    if (dumped) return true;
    // A failing comment leaves its reason as the decoder's last error.
    const OTSTR& reason = decoder.GetLastError();
    const char* why =
        reason.Compare(before.GetBuffer(0)) ? "instance dump error" : reason.GetBuffer(0);
    last.dumpError.Format(
        settings.commentMode == 1 ? appmsg::kDumpFailValueOnly : appmsg::kDumpFail, why);
    Show(last.dumpError.GetBuffer(0));
    return false;
}

void Application::FillResults(uint8_t kind, TranslateResults& results) {
    for (OTSTR& text : results.texts) text.Empty();
    // The enum of the titles is looked up once for each program (serial 0:
    // none was ever loaded).
    if (titleEnumSerial != decoder.GetProgramSerial()) {
        Program* program = decoder.GetProgram();
        titleEnum = program != nullptr ? program->FindEnum(appmsg::kTitleEnum) : nullptr;
        titleEnumSerial = decoder.GetProgramSerial();
    }
    if (titleEnum != nullptr) titleEnum->TextOfValue(kind, true, results.texts[0], "");
    // Caption 1 only with a caption 0.
    if (decoder.GetTitle(0, results.texts[1]) && !results.texts[1].IsEmpty()) {
        decoder.GetTitle(1, results.texts[2]);
    }
}

void Application::WriteReport(const uint8_t* bytes, int32_t length) {
    // The outcome's texts keep their blocks from message to message.
    TranslationOutcome& outcome = reportOutcome;
    FillOutcome(decoder, bytes, length, last.ok, last.used, &dumpTable, outcome);
    // The time is the application's, and so is the translation's error: a
    // Dump procedure that failed in the dump since may have left another.
    outcome.milliseconds = last.milliseconds;
    outcome.error = last.error.GetBuffer(0);
    FormatTranslationReport(outcome, overwrite, reportText);
    if (overwrite) {
        reportFile.CloseFile();
        if (!WriteReportText(appmsg::kReportFile, reportText.GetBuffer(0), overwrite)) {
            TraceLine("%s write fail", appmsg::kReportFile);
        }
    } else {
        // A failure is recorded by the path layer, as for every output, once
        // the report is written.
        reportFile.Append(appmsg::kReportFile, reportText.GetBuffer(0),
                          static_cast<size_t>(reportText.GetLength()));
    }
    frontEnd->ReportAdded(reportText.GetBuffer(0), static_cast<size_t>(reportText.GetLength()));
}

bool Application::TranslateInput(const char* text, bool report) {
    size_t length = text != nullptr ? strlen(text) : 0;
    SaveInputText(text != nullptr ? text : "", length);
    uint8_t bytes[kMaxHexInputBytes];
    int32_t count = 0;
    if (!ParseHexInput(text != nullptr ? text : "", length, bytes, count)) {
        Show(hexmsg::kHexStreamError);
        return false;
    }
    return TranslateMessage(count > 0 ? bytes : nullptr, count, 0, nullptr, report);
}

int Application::AddInputToList(const char* text) {
    size_t length = text != nullptr ? strlen(text) : 0;
    SaveInputText(text != nullptr ? text : "", length);
    uint8_t bytes[kMaxHexInputBytes];
    int32_t count = 0;
    if (!ParseHexInput(text != nullptr ? text : "", length, bytes, count)) {
        Show(hexmsg::kHexStreamError);
        return -1;
    }
    return AddMessage(0, bytes, count);
}

int Application::AddMessage(uint8_t kind, const uint8_t* bytes, int32_t n) {
    int before = messages.GetCount();
    int row = messages.AddMessage(kind, bytes, n);
    if (row < 0) return -1;
    if (row == 0 && before > 0) frontEnd->MessagesCleared();
    frontEnd->MessageAdded(row);
    if (autoTranslate) TranslateRow(row);
    return row;
}

bool Application::TranslateRow(int row) {
    MessageView message;
    if (!messages.GetMessage(row, message)) return false;
    TranslateResults results;
    bool ok = TranslateMessage(message.bytes, message.length, message.kind, &results, true);
    messages.SetResult(row, results.texts[0].GetBuffer(0), results.texts[1].GetBuffer(0),
                       results.texts[2].GetBuffer(0), ok);
    frontEnd->MessageTranslated(row, ok);
    return ok;
}

bool Application::LoadMessageFile(const char* path) {
    if (!messages.IsValid()) {
        Show(msglistmsg::kNoBuffer);
        return false;
    }
    OTSTR error;
    bool loaded = messages.LoadFile(path, error);
    // A file that was read clears the list, whether its records were sound
    // or not.
    if (loaded || messages.GetCount() == 0) frontEnd->MessagesCleared();
    if (!loaded) {
        Show(error.GetBuffer(0));
        return false;
    }
    for (int row = 0; row < messages.GetCount(); ++row) frontEnd->MessageAdded(row);
    if (autoTranslate) {
        for (int row = 0; row < messages.GetCount(); ++row) TranslateRow(row);
    }
    return true;
}

bool Application::SaveMessageFile(const char* path) {
    OTSTR error;
    if (messages.SaveFile(path, error)) return true;
    Show(error.GetBuffer(0));
    return false;
}

void Application::ClearMessages() {
    messages.Clear();
    frontEnd->MessagesCleared();
}

bool Application::MayReplaceList() {
    if (accepting) {
        if (!frontEnd->Ask(msglistmsg::kStopAccepting)) return false;
        SetAccepting(false);
    }
    if (!messages.IsValid()) {
        Show(msglistmsg::kNoBuffer);
        return false;
    }
    if (messages.IsChanged() && frontEnd->Ask(msglistmsg::kSaveChanged)) {
        SaveCommand();
        return false;
    }
    return true;
}

bool Application::LoadCommand(const char* path) {
    if (!MayReplaceList()) return false;
    OTSTR chosen = path != nullptr ? path : "";
    if (path == nullptr && !frontEnd->ChooseFile(filedialog::kOpenData, chosen)) return false;
    return LoadMessageFile(chosen.GetBuffer(0));
}

bool Application::LoadCapture(const char* path, const CaptureOptions& options,
                              CaptureCounts* counts) {
    if (!MayReplaceList()) return false;
    // A first reading sizes what the list must hold, so that a capture too
    // large for it changes nothing.
    CaptureReader reader;
    std::string error;
    if (!reader.Open(path, options, error)) {
        Show(error.c_str());
        return false;
    }
    CapturePacket packet;
    int64_t needed = MessageList::kMagicSize;
    int status = 0;
    while ((status = reader.Next(packet, error)) == 1) {
        needed += MessageList::kRecordHeadSize + packet.length;
    }
    if (needed >= messages.GetCapacity()) {
        Show(msglistmsg::kOverflow);
        return false;
    }
    reader.Open(path, options, error);
    messages.Clear();
    frontEnd->MessagesCleared();
    char time[9];
    while ((status = reader.Next(packet, error)) == 1) {
        CaptureTimeText(packet.seconds, time);
        int row = messages.AddMessage(0, packet.bytes, packet.length, time);
        if (row >= 0) frontEnd->MessageAdded(row);
    }
    if (counts != nullptr) *counts = reader.Counts();
    if (autoTranslate) {
        for (int row = 0; row < messages.GetCount(); ++row) TranslateRow(row);
    }
    if (status < 0) Show(error.c_str());
    return status == 0;
}

bool Application::SaveCommand() {
    OTSTR path;
    if (!frontEnd->ChooseFile(filedialog::kSaveData, path)) return false;
    return SaveMessageFile(path.GetBuffer(0));
}

bool Application::SelectScriptCommand() {
    OTSTR path;
    if (!frontEnd->ChooseFile(filedialog::kOpenScript, path)) return false;
    SelectScript(path.GetBuffer(0));
    return true;
}

void Application::SampleCommand() {
    if (settings.appFirstLoad != 0 && frontEnd->OfferSample()) LoadSample();
    settings.appFirstLoad = 0;
    profile.WriteInt(settingskey::kSetting, settingskey::kAppFirstLoad, 0);
}

void Application::LoadSample() {
    SelectScript(appmsg::kSampleScript);
    LoadMessageFile(appmsg::kSampleMessages);
    frontEnd->ShowListPanel();
}

void Application::SetAccepting(bool on) {
    accepting = on;
    if (on) frontEnd->ShowListPanel();
    frontEnd->AcceptingChanged(on);
}

int Application::OnExternalMessage(void* owner, int argc, void** argv) {
    auto* app = static_cast<Application*>(owner);
    if (app == nullptr || argc < 2 || argv == nullptr || !app->accepting) return 0;
    const auto* data = static_cast<const uint8_t*>(argv[0]);
    auto length = reinterpret_cast<intptr_t>(argv[1]);
    // The block starts after the data head: an unused byte, the kind, then
    // the message.
    if (data == nullptr || length < 3) return 0;
    return app->AddMessage(data[1], data + 2, static_cast<int32_t>(length - 2)) >= 0 ? 1 : 0;
}

void Application::Show(const char* text) {
    frontEnd->ShowMessage(text);
}

void Application::ShowTotals() {
    totals.Line(totalsLine);
    frontEnd->ShowTotals(totalsLine.GetBuffer(0));
}
