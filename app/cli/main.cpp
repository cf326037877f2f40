// vantor-cli: the command-line front end. It drives the Application as the
// desktop program does (start-up in the working directory, the translate
// command with its report and totals, the message list, the datagram
// receiver) and writes what the windows would show to its streams: results
// to standard output, message box texts and the totals line to standard
// error. Tested by app/cli/cli_test.cpp.
#include <fcntl.h>
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
#include "base/path.h"
#include "base/tracer.h"
#include "pattern/rule_table.h"
#include "pattern/script_rules.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
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

// Writes text to stream as one line: line ends at either end are dropped and
// those inside become blanks.
void PutLine(FILE* stream, const char* prefix, const char* text) {
    size_t begin = 0;
    size_t end = strlen(text);
    while (begin < end && (text[begin] == '\n' || text[begin] == '\r')) ++begin;
    while (end > begin && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    fputs(prefix, stream);
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        fputc(c == '\n' || c == '\r' ? ' ' : c, stream);
    }
    fputc('\n', stream);
}

// The lines of a message text file: text from '#' on is a comment, and lines
// without anything but blanks and control characters are skipped.
class MessageLineReader {
  public:
    explicit MessageLineReader(FILE* fileIn) : file(fileIn) {}
    ~MessageLineReader() { free(buffer); }
    MessageLineReader(const MessageLineReader&) = delete;
    MessageLineReader& operator=(const MessageLineReader&) = delete;

    // The next line that holds a message, without its line end; false at the
    // end of the file.
    bool Next(std::string& text) {
        ssize_t n;
        while ((n = getline(&buffer, &capacity, file)) >= 0) {
            size_t length = static_cast<size_t>(n);
            if (const void* hash = memchr(buffer, '#', length)) {
                length = static_cast<size_t>(static_cast<const char*>(hash) - buffer);
            }
            while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) {
                --length;
            }
            bool blank = true;
            for (size_t i = 0; i < length && blank; ++i) {
                blank = static_cast<unsigned char>(buffer[i]) <= ' ';
            }
            if (!blank) {
                text.assign(buffer, length);
                return true;
            }
        }
        return false;
    }

  private:
    FILE* file;
    char* buffer = nullptr;
    size_t capacity = 0;
};

// One run of a translating command: the front end of the Application, the
// output of every message and the exit status.
class CliSession : public AppFrontEnd {
  public:
    CliSession(const CliOptions& optionsIn, FILE* outIn)
        : options(optionsIn), out(outIn), app(this) {}

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
    // to the largest buffer the settings allow.
    void FitListTo(const char* path) {
        int64_t modified = 0;
        uint32_t size = 0;
        if (!vpath::GetFileInfo(path, modified, size)) return;
        MessageList& list = app.Messages();
        if (static_cast<int64_t>(size) <= list.GetCapacity()) return;
        int64_t megabytes =
            (static_cast<int64_t>(size) + MessageList::kMegabyte - 1) / MessageList::kMegabyte;
        if (megabytes > AppSettings::kMaxMsgListBufSizeMb) {
            megabytes = AppSettings::kMaxMsgListBufSizeMb;
        }
        int32_t old = list.GetCapacity() / MessageList::kMegabyte;
        if (megabytes <= old) return;
        if (list.Create(static_cast<int32_t>(megabytes))) {
            app.Settings().msgListBufSizeMb = static_cast<int32_t>(megabytes);
        } else {
            list.Create(old > 0 ? old : 1);
        }
    }

    // A message in the input box's syntax: saved to "Dump\Content", parsed
    // and translated.
    void TranslateText(const char* text, size_t length) {
        SaveInputText(text, length);
        uint8_t bytes[kMaxHexInputBytes];
        int32_t count = 0;
        if (!ParseHexInput(text, length, bytes, count)) {
            ShowMessage(hexmsg::kHexStreamError);
            Emit(nullptr, 0, nullptr, hexmsg::kHexStreamError, false);
            return;
        }
        TranslateBytes(count > 0 ? bytes : nullptr, count, 0);
    }

    void TranslateBytes(const uint8_t* bytes, int32_t length, uint8_t kind) {
        TranslateResults results;
        bool ok = app.TranslateMessage(bytes, length, kind, &results, options.report);
        if (bytes == nullptr || length < 1) {
            Emit(nullptr, 0, nullptr, appmsg::kIllegalInput, false);
        } else {
            Emit(bytes, length, &results, nullptr, ok);
        }
    }

    // Translates every message of a message file in turn; false when the
    // file cannot be read or is rejected.
    bool TranslateFile(const char* path) {
        FitListTo(path);
        if (!app.LoadMessageFile(path)) return false;
        MessageList& list = app.Messages();
        int rows = list.GetCount();
        for (int row = 0; row < rows; ++row) {
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
        Progress();
    }

    // listen: counts the received messages and stops accepting after limit.
    void Listen(int32_t limit) {
        listening = true;
        listenLimit = limit;
    }

    void NoteFileError() { fileError = true; }

    // Clears the progress line and writes the totals line.
    void Finish() {
        ClearProgress();
        OTSTR line;
        app.Totals().Line(line);
        fflush(out);
        fprintf(stderr, "%s\n", line.GetBuffer(0));
    }

    int ExitStatus() const {
        if (fileError) return kExitUsage;
        return failed ? kExitFailed : kExitOk;
    }

    // A line on standard error, outside any message.
    void Error(const char* text) {
        ClearProgress();
        PutLine(stderr, "", text);
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
    void ReportAdded(const char* text) override {
        if (!options.quiet && options.format == CliFormat::kReport) fputs(text, out);
    }
    void MessageAdded(int row) override {
        (void)row;
        if (!listening) return;
        BeginMessage();
        ++received;
        if (listenLimit > 0 && received >= listenLimit) app.SetAccepting(false);
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
        fflush(out);
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
            std::string line;
            AppendTranslationJson(app.Decoder(), message, line);
            fwrite(line.data(), 1, line.size(), out);
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
            char prefix[48];
            snprintf(prefix, sizeof prefix, "%d\tLen=%d\t", current >= 0 ? current : index,
                     static_cast<int>(length));
            PutLine(out, prefix, status.GetBuffer(0));
        }
    }

    // "[   1234] messages  5 failed" on a terminal, at most every 100 ms;
    // never while the results go to the same terminal.
    void Progress() {
        if (listening) return;
        if (!progressChecked) {
            progressChecked = true;
            progressOn = isatty(STDERR_FILENO) && (options.quiet || !isatty(fileno(out)));
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
    FILE* out;
    Application app;

    int index = 0;     // of the next message
    int current = -1;  // of the message being translated
    bool failed = false;
    bool fileError = false;

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
    while (reader.Next(line)) {
        session.BeginMessage();
        session.TranslateText(line.data(), line.size());
        session.EndMessage();
    }
}

int RunTranslate(const CliOptions& options, FILE* out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    if (!session.LoadScript(options.target.c_str())) return kExitFailed;

    for (const std::string& hex : options.hex) {
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
    if (options.hex.empty() && options.datFiles.empty() && options.hexFiles.empty()) {
        TranslateLines(session, stdin);
    }
    session.Finish();
    return session.ExitStatus();
}

int RunListen(const CliOptions& options, FILE* out) {
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

    if (!options.saveFile.empty() && !app.SaveMessageFile(options.saveFile.c_str())) {
        session.NoteFileError();
    }
    session.Finish();
    return session.ExitStatus();
}

// check and listing: compile the script with the application started.
int RunCompile(const CliOptions& options, FILE* out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    ProtocolDecoder& decoder = session.App().Decoder();
    bool listing = options.command == CliCommand::kListing;
    bool loaded = decoder.LoadScript(options.target.c_str(), listing);
    if (!listing) {
        if (!options.quiet) {
            PutLine(out, "", loaded ? "OK" : decoder.GetLastError().GetBuffer(0));
        }
        if (loaded && decoder.GetRootDef() == nullptr) session.Error(decodermsg::kNoRoot);
        return loaded ? kExitOk : kExitFailed;
    }
    if (!loaded) {
        session.Error(decoder.GetLastError().GetBuffer(0));
        return kExitFailed;
    }
    OTSTR text;
    if (!vpath::ReadFile(kProgramFile, false, text)) {
        ShowOpenFailed(session, kProgramFile);
        return kExitUsage;
    }
    if (!options.quiet) fwrite(text.GetBuffer(0), 1, static_cast<size_t>(text.GetLength()), out);
    return kExitOk;
}

int RunRules(const CliOptions& options, FILE* out) {
    CliSession session(options, out);
    if (!session.Start(0)) return kExitFailed;
    OTSTR text;
    if (!BuildScriptRules() || !ScriptRuleTable().DumpRules(kLexRuleFile, true) ||
        !vpath::ReadFile(kLexRuleFile, false, text)) {
        ShowOpenFailed(session, kLexRuleFile);
        return kExitUsage;
    }
    if (!options.quiet) fwrite(text.GetBuffer(0), 1, static_cast<size_t>(text.GetLength()), out);
    return kExitOk;
}

// pack: every message is checked before anything is written.
int RunPack(const CliOptions& options) {
    std::vector<std::string> messages;
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
            bad = true;
        }
        messages.emplace_back(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
    };
    if (!options.hex.empty()) {
        for (const std::string& hex : options.hex) add(hex);
    } else {
        MessageLineReader reader(stdin);
        std::string line;
        while (reader.Next(line)) add(line);
    }
    if (bad) return kExitFailed;

    const char* path = options.target.c_str();
    OTSTR error;
    if (messages.empty()) {
        // A list without messages saves nothing; the file of an empty list
        // is the magic alone.
        FILE* file = vpath::OpenFile(path, "wb");
        bool written = file != nullptr && fwrite("KZ", 1, 2, file) == 2;
        if (file != nullptr && fclose(file) != 0) written = false;
        if (written) return kExitOk;
        error.Format(msglistmsg::kWriteFailed, path);
        fprintf(stderr, "%s\n", error.GetBuffer(0));
        return kExitUsage;
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
    for (const std::string& message : messages) {
        list.AddMessage(0, reinterpret_cast<const uint8_t*>(message.data()),
                        static_cast<int32_t>(message.size()));
    }
    if (!list.SaveFile(path, error)) {
        fprintf(stderr, "%s\n", error.GetBuffer(0));
        return kExitUsage;
    }
    return kExitOk;
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
    if (options.help) {
        fputs(CliHelpText(options.command), stdout);
        return kExitOk;
    }
    if (options.version) {
        printf("%s\n", kCliVersion);
        return kExitOk;
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
    FILE* out = nullptr;
    int resultFd = dup(STDOUT_FILENO);
    if (resultFd >= 0) out = fdopen(resultFd, "w");
    if (out == nullptr) {
        fprintf(stderr, "%s: cannot use standard output\n", kCliName);
        return kExitFailed;
    }
    int nullFd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nullFd >= 0) {
        dup2(nullFd, STDOUT_FILENO);
        close(nullFd);
    }
    if (Tracer* tracer = Tracer::inst()) tracer->SetConsoleOn(false);

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
    Tracer::destroy();
    if (fclose(out) != 0 && status == kExitOk) status = kExitFailed;
    return status;
}
