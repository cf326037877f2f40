// vantor-cli: the command-line front end. It drives the Application as the
// desktop program does (start-up in the working directory, the translate
// command with its report and totals, the message list, the datagram
// receiver) and writes what the windows would show to its streams: results
// to standard output, message box texts and the totals line to standard
// error. Tested by app/cli/cli_test.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/cli/cli_options.h"
#include "app/hex_input.h"
#include "app/result_json.h"
#include "base/background_append.h"
#include "base/number_text.h"
#include "base/path.h"
#include "base/tracer.h"
#include "pattern/rule_table.h"
#include "pattern/script_rules.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
// Usage errors, and files that cannot be read or written (standard output
// among them).
constexpr int kExitUsage = 2;

constexpr const char kProgramFile[] = "Dump\\Program.txt";
constexpr const char kLexRuleFile[] = "Dump\\LexRule.txt";
constexpr const char kIllegalSummary[] = "illegal input";
constexpr uint32_t kProgressIntervalMs = 100;
// How long one wait of the listen loop lasts, so that a signal or the
// deadline is noticed soon.
constexpr int kListenSliceMs = 100;

volatile sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

// Appends text to out as one line: line ends at either end are dropped and
// those inside become blanks.
void AppendLine(std::string& out, const char* prefix, const char* text) {
    size_t begin = 0;
    size_t end = strlen(text);
    while (begin < end && (text[begin] == '\n' || text[begin] == '\r')) ++begin;
    while (end > begin && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    out.append(prefix);
    size_t at = out.size();
    out.append(text + begin, end - begin);
    for (size_t i = at; i < out.size(); ++i) {
        if (out[i] == '\n' || out[i] == '\r') out[i] = ' ';
    }
    out.push_back('\n');
}

// Writes text to stream as one line, as AppendLine makes it.
void PutLine(FILE* stream, const char* prefix, const char* text) {
    std::string line;
    AppendLine(line, prefix, text);
    fwrite(line.data(), 1, line.size(), stream);
}

// Reports on standard error the files that could not be written (see
// vpath::GetWriteFailure) since the last call, one line each; true when any
// write of this run failed.
bool ReportWriteFailures() {
    static int reported = 0;
    const int count = vpath::WriteFailureCount();
    for (; reported < count; ++reported) {
        OTSTR path, reason;
        if (!vpath::GetWriteFailure(reported, path, reason)) continue;
        std::string text = msglistmsg::kWriteFailed;
        text.replace(text.find("%s"), 2, path.GetBuffer(0));
        fprintf(stderr, "%s (%s)\n", text.c_str(), reason.GetBuffer(0));
    }
    return count > 0;
}

// Standard output, where the results go. The first write that fails is
// reported on standard error; nothing more is written after it.
class ResultStream {
  public:
    explicit ResultStream(FILE* fileIn) : file(fileIn) {}
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    // From now on the writes go to writer, which writes them to the
    // stream's descriptor beside its own texts, while the next message is
    // translated; null takes them back once they are written. A terminal
    // keeps its writes, so that its lines show as they come, and so does
    // any other device (/dev/null), which costs the system nothing to write.
    void WriteThrough(vpath::BackgroundAppend* writerIn) {
        if (writer != nullptr) {
            Hand();
            writer->Finish();
            Check();
            writer = nullptr;
        }
        struct stat target;
        if (writerIn == nullptr || file == nullptr || Failed() ||
            fstat(fileno(file), &target) != 0 || S_ISCHR(target.st_mode)) {
            return;
        }
        // What the stream holds goes first.
        fflush(file);
        Check();
        writer = writerIn;
    }

    void Write(const char* data, size_t n) {
        if (Failed()) return;
        if (writer != nullptr) {
            pending.append(data, n);
            if (pending.size() >= kHandBytes) Hand();
        } else {
            fwrite(data, 1, n, file);
        }
        Check();
    }
    void Put(const char* text) { Write(text, strlen(text)); }
    void Line(const char* prefix, const char* text) {
        if (Failed()) return;
        if (writer != nullptr) {
            AppendLine(pending, prefix, text);
            if (pending.size() >= kHandBytes) Hand();
        } else {
            PutLine(file, prefix, text);
        }
        Check();
    }
    // Everything written so far reaches the system.
    void Flush() {
        if (Failed()) return;
        if (writer != nullptr) {
            Hand();
            writer->Finish();
        } else {
            fflush(file);
        }
        Check();
    }
    // Flushes and closes the stream; false when any write failed.
    bool Close() {
        WriteThrough(nullptr);
        if (file == nullptr) return !Failed();
        if (!Failed() && fflush(file) != 0) Fail(errno);
        if (fclose(file) != 0 && !Failed()) Fail(errno);
        file = nullptr;
        return !Failed();
    }
    bool Failed() const { return error != 0; }
    bool IsTerminal() const { return file != nullptr && isatty(fileno(file)); }

  private:
    // The writes gathered for the writer go to it in pieces of about this
    // size, as the stream's buffer would write them.
    static constexpr size_t kHandBytes = 4096;

    void Hand() {
        if (!pending.empty() && !Failed()) writer->Write(fileno(file), pending);
    }
    void Check() {
        if (Failed()) return;
        int writeError = writer != nullptr ? writer->DescriptorError() : 0;
        if (writeError != 0) {
            Fail(writeError);
        } else if (ferror(file)) {
            Fail(errno);
        }
    }
    void Fail(int errorNumber) {
        error = errorNumber != 0 ? errorNumber : EIO;
        fprintf(stderr, "%s: cannot write standard output: %s\n", kCliName, strerror(error));
    }

    FILE* file;
    int error = 0;
    vpath::BackgroundAppend* writer = nullptr;
    std::string pending;  // the writes not yet handed to the writer
};

// The lines of a message text file: text from '#' on is a comment, and lines
// without anything but blanks and control characters are skipped.
class MessageLineReader {
  public:
    explicit MessageLineReader(FILE* fileIn) : file(fileIn) {}
    MessageLineReader(const MessageLineReader&) = delete;
    MessageLineReader& operator=(const MessageLineReader&) = delete;

    // The next line that holds a message, without its line end; false at the
    // end of the file. A message text longer than kMaxHexInputText comes
    // back as soon as that is known, as its first kMaxHexInputText + 1
    // characters (which no parser takes); the rest of its line is skipped
    // at the next call, without being kept.
    bool Next(std::string& text) {
        for (;;) {
            if (skipping && !SkipLine()) return false;
            text.clear();
            int c = getc(file);
            if (c == EOF) return false;
            bool comment = false;
            for (; c != EOF && c != '\n'; c = getc(file)) {
                if (c == '#') comment = true;
                if (comment) continue;
                text.push_back(static_cast<char>(c));
                if (text.size() > kMaxHexInputText) {
                    skipping = true;
                    return true;
                }
            }
            while (!text.empty() && text.back() == '\r') text.pop_back();
            for (char ch : text) {
                if (static_cast<unsigned char>(ch) > ' ') return true;
            }
        }
    }

  private:
    // Reads up to the end of the line; false at the end of the file.
    bool SkipLine() {
        skipping = false;
        int c;
        while ((c = getc(file)) != EOF && c != '\n') {
        }
        return c != EOF;
    }

    FILE* file;
    bool skipping = false;
};

// What reading a capture met, on standard error.
void ReportCaptureCounts(const char* path, const CaptureCounts& counts) {
    fprintf(stderr, "capture %s: %lld packets, %lld messages, %lld skipped, %lld too long\n", path,
            static_cast<long long>(counts.packets), static_cast<long long>(counts.selected),
            static_cast<long long>(counts.skipped), static_cast<long long>(counts.tooLong));
}

// One run of a translating command: the front end of the Application, the
// output of every message and the exit status.
class CliSession : public AppFrontEnd {
  public:
    // Standard output is written by the thread that writes the report.
    CliSession(const CliOptions& optionsIn, ResultStream& outIn)
        : options(optionsIn), out(outIn), app(this) {
        out.WriteThrough(&app.ReportWriter());
    }
    ~CliSession() override { out.WriteThrough(nullptr); }
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    Application& App() { return app; }

    // Starts the application in the working directory with the options of
    // the command line; the receiver only on port (0: closed).
    bool Start(uint16_t port) {
        StartUpOptions startUp;
        startUp.traceConsole = false;
        startUp.receiverPort = port;
        if (!app.StartUp(startUp)) {
            Error("start-up failed: the script lexer or grammar cannot be built");
            return false;
        }
        AppSettings& settings = app.Settings();
        settings.commentMode = options.commentMode;
        settings.expendTypeOF = options.expandTypeOf ? 1 : 0;
        settings.displayTreeMode = options.treeMode ? 1 : 0;
        app.SetOverwrite(options.overwrite);
        app.SetTimeLimit(options.timeoutMs);
        return true;
    }

    // Selects and compiles the script, as the first translation would.
    bool LoadScript(const char* path) {
        app.SelectScript(path);
        return app.PrepareScript(true);
    }

    // Makes the message list large enough for the message file at path, up
    // to the largest buffer the settings allow. False, with the format error
    // shown, for a file larger than the list that is no message file: it
    // gets no room and is not read.
    bool FitListTo(const char* path) {
        int64_t modified = 0;
        uint32_t size = 0;
        if (!vpath::GetFileInfo(path, modified, size)) return true;
        MessageList& list = app.Messages();
        if (static_cast<int64_t>(size) <= list.GetCapacity()) return true;
        if (!MessageList::HasMagic(path)) {
            ShowMessage(msglistmsg::kFormatError);
            return false;
        }
        int64_t megabytes =
            (static_cast<int64_t>(size) + MessageList::kMegabyte - 1) / MessageList::kMegabyte;
        if (megabytes > AppSettings::kMaxMsgListBufSizeMb) {
            megabytes = AppSettings::kMaxMsgListBufSizeMb;
        }
        int32_t old = list.GetCapacity() / MessageList::kMegabyte;
        if (megabytes <= old) return true;
        if (list.Create(static_cast<int32_t>(megabytes))) {
            app.Settings().msgListBufSizeMb = static_cast<int32_t>(megabytes);
        } else {
            list.Create(old > 0 ? old : 1);
        }
        return true;
    }

    // A message in the input box's syntax: saved to "Dump\Content", parsed
    // and translated.
    void TranslateText(const char* text, size_t length) {
        SaveInputText(text, length);
        uint8_t bytes[kMaxHexInputBytes];
        int32_t count = 0;
        if (!ParseHexInput(text, length, bytes, count)) {
            ShowMessage(hexmsg::kHexStreamError);
            // The system's text, then where and why on a line of its own.
            OTSTR why;
            if (ExplainHexError(text, length, why)) ShowMessage(why.GetBuffer(0));
            Emit(nullptr, 0, nullptr, hexmsg::kHexStreamError, false);
            return;
        }
        TranslateBytes(count > 0 ? bytes : nullptr, count, 0);
    }

    void TranslateBytes(const uint8_t* bytes, int32_t length, uint8_t kind) {
        bool ok = app.TranslateMessage(bytes, length, kind, &messageResults, options.report);
        if (bytes == nullptr || length < 1) {
            Emit(nullptr, 0, nullptr, appmsg::kIllegalInput, false);
        } else {
            Emit(bytes, length, &messageResults, nullptr, ok);
        }
    }

    // Translates every message of a message file in turn; false when the
    // file cannot be read or is rejected.
    bool TranslateFile(const char* path) {
        if (!FitListTo(path) || !app.LoadMessageFile(path)) return false;
        MessageList& list = app.Messages();
        int rows = list.GetCount();
        for (int row = 0; row < rows && !Stopped(); ++row) {
            MessageView message;
            if (!list.GetMessage(row, message)) break;
            BeginMessage();
            TranslateBytes(message.bytes, message.length, message.kind);
            EndMessage();
        }
        return true;
    }

    void BeginMessage() { current = index; }
    void EndMessage() {
        current = -1;
        ++index;
        NoteWriteFailures();
        Progress();
    }
    // True once standard output failed: the rest of the run is pointless.
    bool Stopped() const { return out.Failed(); }

    // Reports the files that could not be written so far.
    void NoteWriteFailures() {
        if (vpath::WriteFailureCount() == 0) return;
        ClearProgress();
        if (ReportWriteFailures()) fileError = true;
    }

    // listen: counts the received messages and stops accepting after limit.
    void Listen(int32_t limit) {
        listening = true;
        listenLimit = limit;
    }

    void NoteFileError() { fileError = true; }

    // Clears the progress line and writes the totals line.
    void Finish() {
        app.FinishReport();
        NoteWriteFailures();
        ClearProgress();
        OTSTR line;
        app.Totals().Line(line);
        out.Flush();
        fprintf(stderr, "%s\n", line.GetBuffer(0));
    }

    int ExitStatus() const {
        if (fileError || out.Failed()) return kExitUsage;
        return failed ? kExitFailed : kExitOk;
    }

    // Translates every selected packet of a capture as it is read; false
    // when the file cannot be read or is damaged (after the packets before
    // the damage). The totals of the reading go to standard error.
    bool TranslateCapture(const char* path) {
        CaptureReader reader;
        std::string error;
        if (!reader.Open(path, options.capture, error)) {
            Error(error.c_str());
            return false;
        }
        CapturePacket packet;
        int status = 0;
        while (!Stopped() && (status = reader.Next(packet, error)) == 1) {
            capturePacket = &packet;
            BeginMessage();
            TranslateBytes(packet.bytes, packet.length, 0);
            EndMessage();
        }
        capturePacket = nullptr;
        ReportCaptureCounts(path, reader.Counts());
        if (status >= 0) return true;
        Error(error.c_str());
        return false;
    }

    // A line on standard error, outside any message.
    void Error(const char* text) {
        ClearProgress();
        PutLine(stderr, "", text);
    }
    // The warnings about the script just loaded, on standard error.
    void ShowWarnings() {
        for (const OTSTR& warning : app.Decoder().GetWarnings()) Error(warning.GetBuffer(0));
    }

    // AppFrontEnd: message boxes and the output window's texts go to
    // standard error, the report to standard output.
    void ShowMessage(const char* text) override {
        ClearProgress();
        if (current >= 0) {
            char prefix[32];
            snprintf(prefix, sizeof prefix, "message %d: ", current);
            PutLine(stderr, prefix, text);
        } else {
            PutLine(stderr, "", text);
        }
    }
    void OutputText(const char* text) override { ShowMessage(text); }
    void ScriptLoaded(bool ok, const char* error) override {
        (void)error;
        if (ok && options.warnings) ShowWarnings();
    }
    void ReportAdded(const char* text, size_t length) override {
        if (!options.quiet && options.format == CliFormat::kReport) out.Write(text, length);
    }
    void MessageAdded(int row) override {
        (void)row;
        if (!listening) return;
        BeginMessage();
        ++received;
        if (listenLimit > 0 && received >= listenLimit) app.SetAccepting(false);
    }
    // The list clears itself when a message would reach its end; what was
    // received is still in the file of --save.
    void MessagesCleared() override {
        if (!listening) return;
        ClearProgress();
        std::string text = "message " + std::to_string(index) + ": the message list was full (" +
                           std::to_string(app.Messages().GetCapacity() / MessageList::kMegabyte) +
                           " MB) and was cleared";
        text += options.saveFile.empty() ? "" : "; every message is kept in " + options.saveFile;
        PutLine(stderr, "", text.c_str());
    }
    void MessageTranslated(int row, bool ok) override {
        if (!listening) return;
        MessageView message;
        TranslateResults results;
        const std::string* texts = app.Messages().GetResult(row);
        if (texts != nullptr) {
            for (int i = 0; i < 3; ++i) results.texts[i] = texts[i].c_str();
        }
        if (app.Messages().GetMessage(row, message) && message.length > 0) {
            Emit(message.bytes, message.length, &results, nullptr, ok);
        } else {
            Emit(nullptr, 0, nullptr, appmsg::kIllegalInput, false);
        }
        EndMessage();
        out.Flush();
        if (Stopped()) app.SetAccepting(false);
    }

  private:
    // The per-message output besides the report: a JSON line, or the
    // summary line without the report; and the failure mark.
    void Emit(const uint8_t* bytes, int32_t length, const TranslateResults* results,
              const char* inputError, bool ok) {
        const LastTranslation& last = app.Last();
        if (!ok || inputError != nullptr || !last.dumpError.IsEmpty()) failed = true;
        if (options.quiet) return;
        if (options.format == CliFormat::kJson) {
            JsonMessage message;
            message.index = current >= 0 ? current : index;
            message.bytes = bytes;
            message.length = length;
            message.last = inputError != nullptr ? nullptr : &last;
            message.results = results;
            message.inputError = inputError;
            if (capturePacket != nullptr) {
                message.packet = capturePacket->index;
                message.seconds = capturePacket->seconds;
                message.microseconds = capturePacket->microseconds;
            }
            // The line's block is kept for the next message's line.
            jsonLine.clear();
            AppendTranslationJson(app.Decoder(), message, jsonLine);
            out.Write(jsonLine.data(), jsonLine.size());
            if (jsonLine.capacity() > kKeptJsonBytes) std::string().swap(jsonLine);
        } else if (!options.report) {
            OTSTR status;
            if (inputError != nullptr) {
                bool illegal = strcmp(inputError, appmsg::kIllegalInput) == 0;
                status.Format("Err: %s", illegal ? kIllegalSummary : inputError);
            } else if (!ok) {
                status.Format("Err: %s", last.error.GetBuffer(0));
            } else if (last.used < length) {
                status.Format(appmsg::kStatusLeftover, static_cast<int>(length - last.used));
            } else {
                status = "OK";
            }
            // "<index>\tLen=<length>\t"
            char prefix[2 * kMaxDecimalDigits + 8];
            int n = DecimalDigits(current >= 0 ? current : index, prefix);
            memcpy(prefix + n, "\tLen=", 5);
            n += 5;
            n += DecimalDigits(length, prefix + n);
            prefix[n++] = '\t';
            prefix[n] = 0;
            out.Line(prefix, status.GetBuffer(0));
        }
    }

    // "[   1234] messages  5 failed" on a terminal, at most every 100 ms;
    // never while the results go to the same terminal.
    void Progress() {
        if (listening) return;
        if (!progressChecked) {
            progressChecked = true;
            progressOn = isatty(STDERR_FILENO) && (options.quiet || !out.IsTerminal());
            progressTick = vpath::TickCount();
        }
        if (!progressOn || vpath::TickCount() - progressTick < kProgressIntervalMs) return;
        progressTick = vpath::TickCount();
        const TranslationTotals& totals = app.Totals();
        progressWidth =
            fprintf(stderr, "\r[%7d] messages  %d failed", index, static_cast<int>(totals.failed));
        fflush(stderr);
    }
    void ClearProgress() {
        if (progressWidth <= 0) return;
        fprintf(stderr, "\r%*s\r", progressWidth, "");
        progressWidth = 0;
    }

    const CliOptions& options;
    ResultStream& out;
    Application app;
    // The JSON line of the last message; a larger block than this is not
    // kept for the next.
    static constexpr size_t kKeptJsonBytes = size_t{1} << 20;
    std::string jsonLine;
    // The texts of the last message's results, kept for the next message's.
    TranslateResults messageResults;

    int index = 0;     // of the next message
    int current = -1;  // of the message being translated
    bool failed = false;
    bool fileError = false;

    const CapturePacket* capturePacket = nullptr;  // the message's packet, if any

    bool listening = false;
    int32_t listenLimit = 0;
    int32_t received = 0;

    bool progressChecked = false;
    bool progressOn = false;
    uint32_t progressTick = 0;
    int progressWidth = 0;
};

void ShowOpenFailed(CliSession& session, const char* path) {
    OTSTR text;
    text.Format(msglistmsg::kOpenFailed, path);
    session.Error(text.GetBuffer(0));
}

// Translates one message per line of file.
void TranslateLines(CliSession& session, FILE* file) {
    MessageLineReader reader(file);
    std::string line;
    while (!session.Stopped() && reader.Next(line)) {
        session.BeginMessage();
        session.TranslateText(line.data(), line.size());
        session.EndMessage();
    }
}

int RunTranslate(const CliOptions& options, ResultStream& out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    if (!session.LoadScript(options.target.c_str())) return kExitFailed;

    for (const std::string& hex : options.hex) {
        if (session.Stopped()) break;
        session.BeginMessage();
        session.TranslateText(hex.data(), hex.size());
        session.EndMessage();
    }
    for (const std::string& path : options.datFiles) {
        if (!session.TranslateFile(path.c_str())) session.NoteFileError();
    }
    for (const std::string& path : options.hexFiles) {
        if (path == "-") {
            TranslateLines(session, stdin);
            continue;
        }
        FILE* file =
            vpath::IsDirectory(path.c_str()) ? nullptr : vpath::OpenFile(path.c_str(), "rb");
        if (file == nullptr) {
            ShowOpenFailed(session, path.c_str());
            session.NoteFileError();
            continue;
        }
        TranslateLines(session, file);
        fclose(file);
    }
    for (const std::string& path : options.pcapFiles) {
        if (!session.TranslateCapture(path.c_str())) session.NoteFileError();
    }
    if (options.hex.empty() && options.datFiles.empty() && options.hexFiles.empty() &&
        options.pcapFiles.empty()) {
        TranslateLines(session, stdin);
    }
    session.Finish();
    return session.ExitStatus();
}

int RunListen(const CliOptions& options, ResultStream& out) {
    CliSession session(options, out);
    if (!session.Start(options.port)) return kExitFailed;
    Application& app = session.App();
    if (!app.Receiver().IsOpen()) {
        session.Error(receivermsg::kCreateFail);
        return kExitUsage;
    }
    if (!session.LoadScript(options.target.c_str())) return kExitFailed;

    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // Each message is saved as it arrives, so that none is lost when the list
    // clears itself or the program is stopped.
    MessageList& list = app.Messages();
    if (!options.saveFile.empty()) list.SaveAsAdded(options.saveFile.c_str());
    app.SetAutoTranslate(true);
    app.SetAccepting(true);
    session.Listen(options.count);
    // Signals those who start the listener that it is ready.
    fprintf(stderr, "listening on UDP port %u\n", static_cast<unsigned>(options.port));
    fflush(stderr);
    uint32_t begin = vpath::TickCount();
    while (g_stopRequested == 0 && app.IsAccepting()) {
        int slice = kListenSliceMs;
        if (options.milliseconds > 0) {
            uint32_t elapsed = vpath::TickCount() - begin;
            if (elapsed >= options.milliseconds) break;
            if (options.milliseconds - elapsed < static_cast<uint32_t>(slice)) {
                slice = static_cast<int>(options.milliseconds - elapsed);
            }
        }
        if (app.Receiver().Poll(slice) < 0 && !app.Receiver().IsOpen()) break;
    }
    app.SetAccepting(false);

    // A message that could not be saved was reported when it came.
    OTSTR error;
    if (!options.saveFile.empty() && !list.StopSaving(error)) session.NoteFileError();
    session.Finish();
    return session.ExitStatus();
}

// check and listing: compile the script with the application started.
int RunCompile(const CliOptions& options, ResultStream& out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    ProtocolDecoder& decoder = session.App().Decoder();
    bool listing = options.command == CliCommand::kListing;
    const int failuresBefore = vpath::WriteFailureCount();
    bool loaded = decoder.LoadScript(options.target.c_str(), listing);
    if (!listing) {
        if (!options.quiet) {
            out.Line("", loaded ? "OK" : decoder.GetLastError().GetBuffer(0));
        }
        if (loaded && options.warnings) {
            session.ShowWarnings();
            if (decoder.GetRootDef() == nullptr) session.Error(decodermsg::kNoRoot);
        }
        return loaded ? kExitOk : kExitFailed;
    }
    if (!loaded) {
        session.Error(decoder.GetLastError().GetBuffer(0));
        return kExitFailed;
    }
    if (options.warnings) session.ShowWarnings();
    // A listing that could not be written must not show the old one.
    if (vpath::WriteFailureCount() > failuresBefore) return kExitUsage;
    OTSTR text;
    if (!vpath::ReadFile(kProgramFile, false, text)) {
        ShowOpenFailed(session, kProgramFile);
        return kExitUsage;
    }
    if (!options.quiet) out.Write(text.GetBuffer(0), static_cast<size_t>(text.GetLength()));
    return kExitOk;
}

int RunRules(const CliOptions& options, ResultStream& out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    OTSTR text;
    const int failuresBefore = vpath::WriteFailureCount();
    if (!BuildScriptRules() || !ScriptRuleTable().DumpRules(kLexRuleFile, true)) {
        ShowOpenFailed(session, kLexRuleFile);
        return kExitUsage;
    }
    if (vpath::WriteFailureCount() > failuresBefore) return kExitUsage;
    if (!vpath::ReadFile(kLexRuleFile, false, text)) {
        ShowOpenFailed(session, kLexRuleFile);
        return kExitUsage;
    }
    if (!options.quiet) out.Write(text.GetBuffer(0), static_cast<size_t>(text.GetLength()));
    return kExitOk;
}

// pack: every message is checked before anything is written.
int RunPack(const CliOptions& options) {
    std::vector<std::string> messages;
    std::vector<std::string> stamps;  // record times of captured packets
    bool bad = false;
    auto add = [&](const std::string& text) {
        uint8_t bytes[kMaxHexInputBytes];
        int32_t n = 0;
        const char* why = nullptr;
        if (!ParseHexInput(text.data(), text.size(), bytes, n)) {
            why = hexmsg::kHexStreamError;
        } else if (n < 1) {
            why = "no bytes";
        }
        if (why != nullptr) {
            fprintf(stderr, "message %d: %s\n", static_cast<int>(messages.size()), why);
            OTSTR detail;
            if (ExplainHexError(text.data(), text.size(), detail)) {
                fprintf(stderr, "message %d: %s\n", static_cast<int>(messages.size()),
                        detail.GetBuffer(0));
            }
            bad = true;
        }
        messages.emplace_back(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
    };
    if (!options.hex.empty()) {
        for (const std::string& hex : options.hex) add(hex);
    } else if (options.pcapFiles.empty()) {
        MessageLineReader reader(stdin);
        std::string line;
        while (reader.Next(line)) add(line);
    }
    if (bad) return kExitFailed;
    stamps.resize(messages.size());
    for (const std::string& capture : options.pcapFiles) {
        CaptureReader reader;
        std::string error;
        if (!reader.Open(capture.c_str(), options.capture, error)) {
            fprintf(stderr, "%s\n", error.c_str());
            return kExitUsage;
        }
        CapturePacket packet;
        int status = 0;
        while ((status = reader.Next(packet, error)) == 1) {
            messages.emplace_back(reinterpret_cast<const char*>(packet.bytes),
                                  static_cast<size_t>(packet.length));
            char time[9];
            CaptureTimeText(packet.seconds, time);
            stamps.emplace_back(time);
        }
        ReportCaptureCounts(capture.c_str(), reader.Counts());
        if (status < 0) {
            fprintf(stderr, "%s\n", error.c_str());
            return kExitUsage;
        }
    }

    const char* path = options.target.c_str();
    OTSTR error;
    if (messages.empty()) {
        // A list without messages saves nothing; the file of an empty list
        // is the magic alone.
        // A failure is reported with the others at the end.
        return vpath::ReplaceFile(path, "KZ", 2) ? kExitOk : kExitUsage;
    }

    // The list clears itself when a message reaches its capacity, so it is
    // made larger than the whole file.
    int64_t size = MessageList::kMagicSize;
    for (const std::string& message : messages) {
        size += MessageList::kRecordHeadSize + static_cast<int64_t>(message.size());
    }
    int64_t megabytes = size / MessageList::kMegabyte + 1;
    if (megabytes > AppSettings::kMaxMsgListBufSizeMb) {
        fprintf(stderr, "%s\n", msglistmsg::kOverflow);
        return kExitUsage;
    }
    MessageList list;
    if (!list.Create(static_cast<int32_t>(megabytes))) {
        fprintf(stderr, "%s\n", msglistmsg::kNoBuffer);
        return kExitFailed;
    }
    for (size_t i = 0; i < messages.size(); ++i) {
        list.AddMessage(0, reinterpret_cast<const uint8_t*>(messages[i].data()),
                        static_cast<int32_t>(messages[i].size()),
                        stamps[i].empty() ? nullptr : stamps[i].c_str());
    }
    return list.SaveFile(path, error) ? kExitOk : kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(argc - 1, argv + 1, options, error)) {
        const char* command = CliCommandName(options.command);
        fprintf(stderr, "%s: %s\nTry '%s %s%s--help'.\n", kCliName, error.c_str(), kCliName,
                command, command[0] != '\0' ? " " : "");
        return kExitUsage;
    }
    if (options.help || options.version) {
        ResultStream out(stdout);
        if (options.help) {
            out.Put(CliHelpText(options.command));
        } else {
            out.Line("", kCliVersion);
        }
        return out.Close() ? kExitOk : kExitUsage;
    }
    if (!options.directory.empty() &&
        chdir(vpath::ToNative(options.directory.c_str()).GetBuffer(0)) != 0) {
        fprintf(stderr, "%s: cannot change to directory '%s': %s\n", kCliName,
                options.directory.c_str(), strerror(errno));
        return kExitUsage;
    }

    // Results go to a stream on a copy of standard output; the descriptor
    // itself then leads to /dev/null, so that the console copies of the
    // trace logs (the engine's and each plug-in's own) never mix with them.
    fflush(stdout);
    FILE* outFile = nullptr;
    int resultFd = dup(STDOUT_FILENO);
    if (resultFd >= 0) outFile = fdopen(resultFd, "w");
    if (outFile == nullptr) {
        fprintf(stderr, "%s: cannot use standard output\n", kCliName);
        return kExitFailed;
    }
    int nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nullFd >= 0) {
        dup2(nullFd, STDOUT_FILENO);
        close(nullFd);
    }
    if (Tracer* tracer = Tracer::inst()) tracer->SetConsoleOn(false);

    ResultStream out(outFile);
    int status = kExitFailed;
    switch (options.command) {
        case CliCommand::kTranslate:
            status = RunTranslate(options, out);
            break;
        case CliCommand::kListen:
            status = RunListen(options, out);
            break;
        case CliCommand::kCheck:
        case CliCommand::kListing:
            status = RunCompile(options, out);
            break;
        case CliCommand::kRules:
            status = RunRules(options, out);
            break;
        case CliCommand::kPack:
            status = RunPack(options);
            break;
        case CliCommand::kNone:
            break;
    }
    // The trace writes its last lines now: what failed is known only after.
    Tracer::destroy();
    if (!out.Close() || ReportWriteFailures()) status = kExitUsage;
    return status;
}
