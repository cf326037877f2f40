// End-to-end tests of vantor-cli: the program runs as a child process in a
// scratch directory (passed with -C), with its standard streams captured.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/json_check.h"
#include "app/test_captures.h"
#include "base/scratch_dir.h"

extern char** environ;

namespace {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
};

int64_t NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Runs vantor-cli with args and input on its standard input; standard output
// goes to a file (outPath), standard error through a pipe. While it runs,
// tick (if any) is called about every 20 ms with its process id and what it
// has written to standard error so far. A child still running after 30 s is
// killed. With noGrowth the child can make no
// file larger (RLIMIT_FSIZE 0), as on a full disk.
using Tick = std::function<void(pid_t, const std::string& err)>;
RunResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                 const Tick& tick = nullptr, const char* outPath = "cli.out",
                 bool noGrowth = false) {
    WriteWholeFile("cli.in", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "cli.in", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<char*> argv{const_cast<char*>(VANTOR_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The child inherits the limit and the ignored signal.
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*savedHandler)(int) = SIG_DFL;
    if (noGrowth) {
        struct rlimit none = saved;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
        savedHandler = signal(SIGXFSZ, SIG_IGN);
    }
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, VANTOR_CLI_PATH, &actions, nullptr, argv.data(), environ);
    if (noGrowth) {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, savedHandler);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    std::string err;
    auto drain = [&] {
        char buf[4096];
        ssize_t n;
        while ((n = read(errPipe[0], buf, sizeof buf)) > 0) err.append(buf, static_cast<size_t>(n));
    };
    if (spawned != 0) {
        close(errPipe[0]);
        return {};
    }
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
    int wstatus = 0;
    for (int64_t end = NowMs() + 30000; waitpid(pid, &wstatus, WNOHANG) == 0; usleep(20000)) {
        drain();
        if (tick) tick(pid, err);
        if (NowMs() > end) kill(pid, SIGKILL);
    }
    fcntl(errPipe[0], F_SETFL, 0);
    drain();
    close(errPipe[0]);
    const bool device = std::string(outPath).rfind("/dev/", 0) == 0;
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus),
            device ? "" : ReadWholeFile(outPath), err};
}

// A directory whose file system is full: a small tmpfs, filled up, where
// the test may mount one; otherwise a plain directory, and the child runs
// with noGrowth. The tmpfs lives in a mount namespace of the test's own, so
// that it goes with the test process whatever happens.
class FullDisk {
  public:
    explicit FullDisk(const char* dirIn) : dir(dirIn) {
        mkdir(dirIn, 0777);
        mounted = unshare(CLONE_NEWNS) == 0 &&
                  mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  mount("tmpfs", dirIn, "tmpfs", 0, "size=512k") == 0;
    }
    ~FullDisk() {
        if (mounted) umount2(dir.c_str(), MNT_DETACH);
    }
    // Takes the space that is left, once the files the test needs are there.
    void Fill() {
        if (!mounted) return;
        FILE* f = fopen((dir + "/filler").c_str(), "wb");
        const std::string chunk(4096, 'f');
        while (f != nullptr && fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size() &&
               fflush(f) == 0) {
        }
        if (f != nullptr) fclose(f);
    }
    bool NeedsNoGrowth() const { return !mounted; }

  private:
    std::string dir;
    bool mounted = false;
};

// A UDP socket bound to port on all interfaces (0: one the kernel picks);
// port is set to the one bound, 0 when binding failed.
int Bound(uint16_t& port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    socklen_t size = sizeof addr;
    auto* a = reinterpret_cast<sockaddr*>(&addr);
    bool ok = bind(fd, a, size) == 0 && getsockname(fd, a, &size) == 0;
    port = ok ? ntohs(addr.sin_port) : 0;
    return fd;
}

const char kScript[] =
    "#define PROTOCOL_NAME \"T\"\n#define PROTOCOL_ROOT M\nstruct M { UINT1 a; UINT2 b; };\n";
// What a message with an odd number of digits in its second text gets.
const char kOddDigits[] =
    "message 1: Hex stream error\nmessage 1: character 4: the digit 'B' has no second digit\n";
const char kShortError[] = "1   : 'b' get 'UINT2' data fail";
const std::string kLongError = std::string(kShortError) +
                               ", maybe reach packet or current ConfentOf stream's end, or "
                               "setvalue error\n";

class CliTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        WriteWholeFile("s.txt", kScript);
        WriteWholeFile("bad.txt", "#define PROTOCOL_ROOT M\nstruct M { UINT1 a }\n");
        WriteWholeFile("junk.dat", "KZ12345678");
    }
    // vantor-cli -C <scratch> args...
    RunResult Run(std::vector<std::string> args, const std::string& input = "",
                  const Tick& tick = nullptr) {
        args.insert(args.begin(), {"-C", scratch_.path()});
        return RunCli(args, input, tick);
    }
};

// The lines of text, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

std::string LastLine(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);  // npos + 1 is 0
}

TEST_F(CliTest, ExitStatusAndErrorsOnStandardError) {
    uint16_t busyPort = 0;
    int busy = Bound(busyPort);
    ASSERT_NE(0, busyPort);
    // A gigabyte that is no message file (sparse: it takes no room) and a
    // line longer than any message.
    WriteWholeFile("sparse.dat", "XX");
    ASSERT_EQ(0, truncate("sparse.dat", 1 << 30));
    WriteWholeFile("long.txt", "0A" + std::string(70000, ' ') + "# no use\n0A0B0C\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // a part of standard error
        const char* input = "";
    } cases[] = {
        // clang-format off
        {{"translate", "s.txt", "010203"}, 0, "  Total - 1    Fail - 0    Warning - 0 "},
        {{"translate", "s.txt", "01020304"}, 0, "Warning - 1 "},
        {{"translate", "s.txt", "0102"}, 1, "message 0: 1   : 'b' get 'UINT2'"},
        {{"translate", "s.txt", "010203", "0A B"}, 1, kOddDigits},
        {{"translate", "s.txt", ""}, 1, "message 0:  # illegal input.\n"},
        {{"translate", "s.txt"}, 0, "  Total - 1    Fail - 0",
         "\n  01 02 03  # comment\n\t\n# only a comment\n"},
        {{"translate", "bad.txt", "010203"}, 1, "bad.txt : Ln "},
        {{"translate", "missing.txt", "010203"}, 1, ""},
        {{"translate", "--dat", "missing.dat", "s.txt"}, 2, "File: missing.dat  Open failed"},
        {{"translate", "--dat", "junk.dat", "s.txt"}, 2, "illegal file (data format error)"},
        {{"translate", "--dat", "sparse.dat", "s.txt"}, 2, "illegal file (data format error)"},
        {{"translate", "--hex-file", "long.txt", "s.txt"}, 1,
         "message 0: Hex stream error\nmessage 0: the text is longer than 65536 characters\n"
         "  Total - 1    Fail - 0    Warning - 0 \n"},
        {{"translate", "--hex-file", "missing.txt", "s.txt"}, 2, "Open failed"},
        {{"translate"}, 2, "translate needs a SCRIPT"},
        {{"translate", "--format", "xml", "s.txt"}, 2, "takes report or json"},
        {{"translate", "--comment-mode", "3", "s.txt"}, 2, "takes 0, 1 or 2"},
        {{"translate", "--timeout-ms", "-1", "s.txt"}, 2, "takes a number of milliseconds"},
        {{"listen", "--timeout-ms", "1s", "s.txt"}, 2, "takes a number of milliseconds"},
        {{"check", "--timeout-ms", "5", "s.txt"}, 2, "not an option of check"},
        {{"translate", "--port", "9", "s.txt"}, 2, "not an option of translate"},
        {{"listen", "--count", "0", "s.txt"}, 2, "positive count"},
        {{"check", "s.txt", "bad.txt"}, 2, "too many arguments"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"listen", "--port", std::to_string(busyPort), "--seconds", "5", "s.txt"}, 2,
         "UdpServer Create fail\n"},
        {{"listing", "bad.txt"}, 1, "bad.txt : Ln "},
        {{"translate", "--pcap", "s.txt", "s.txt"}, 2, "not a capture file"},
        {{"translate", "--pcap", "none.pcap", "s.txt"}, 2, "File: none.pcap  Open failed"},
        {{"translate", "--layer", "link", "s.txt"}, 2,
         "option --layer takes frame|ip|transport|payload"},
        {{"pack", "x.dat", "--tcp-port", "70000"}, 2, "takes a port 0..65535"},
        {{"--version"}, 0, ""},
        {{"translate", "--help"}, 0, ""},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args.back() : ""));
        RunResult r = Run(c.args, c.input);
        EXPECT_EQ(c.status, r.status) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.err)) << r.err;
    }
    close(busy);

    // A line without end is refused as it is read, and reading goes on in
    // constant room until the program is stopped.
    bool stopped = false;
    auto stop = [&](pid_t pid, const std::string& err) {
        if (!stopped && err.find("message 0: Hex stream error\n") != std::string::npos) {
            stopped = kill(pid, SIGTERM) == 0;
        }
    };
    Run({"translate", "--hex-file", "/dev/zero", "s.txt"}, "", stop);
    EXPECT_TRUE(stopped);
}

// No output is lost silently: every file that cannot be written is named on
// standard error with the reason, the exit status is 2, and a file that is
// replaced keeps its old contents.
TEST_F(CliTest, FailedWritesAreReported) {
    const std::string here = scratch_.path() + "/";
    ASSERT_EQ(0, mkdir("plain", 0777));
    WriteWholeFile("plain/dump", "a file where the directory should be");
    FullDisk full("full");
    // A settings file of 96 KB and a message file of 80 KB, both complete.
    std::string profile = "[Setting]\nLastBrowseDir=old.txt\n";
    while (profile.size() < 96 * 1024) profile += "; padding padding padding padding\n";
    profile += "[Last]\nKey=1\n";
    std::string messages = "KZ";
    const std::string record = std::string("00:00:00\0\0\x03\xF4", 12) + std::string(1012, 'm');
    for (int i = 0; i < 80; ++i) messages += record;
    WriteWholeFile("full/Vantor.ini", profile);
    WriteWholeFile("full/old.dat", messages);
    ASSERT_EQ(0, mkdir("full/dump", 0777));
    WriteWholeFile("full/dump/Program.txt", "old listing");
    full.Fill();

    const std::string script = here + "s.txt";
    const std::string kFull = "No space left on device";
    const std::string kNoStdout = "vantor-cli: cannot write standard output: ";
    struct Case {
        bool onFullDisk;
        const char* out;  // standard output
        std::vector<std::string> args;
        std::vector<std::string> errors;  // each a line of standard error
    } cases[] = {
        // clang-format off
        {false, "/dev/full", {"translate", "s.txt", "010203"}, {kNoStdout + kFull}},
        {false, "/dev/full", {"--help"}, {kNoStdout + kFull}},
        {false, "cli.out", {"-C", "plain", "translate", script, "010203"},
         {"File: Dump\\Program.txt  Write failed (Not a directory)",
          "File: Dump\\Content  Write failed (Not a directory)",
          "File: Dump\\Tran  Write failed (Not a directory)"}},
        {true, "cli.out", {"-C", "full", "translate", script, "010203"},
         {"File: Trace0.txt  Write failed (", "File: Vantor.ini  Write failed (",
          "File: Dump\\Program.txt  Write failed (", "File: Dump\\Content  Write failed (",
          "File: Dump\\Tran  Write failed ("}},
        {true, "full/out.json", {"-C", "full", "translate", "--format", "json", script, "010203"},
         {kNoStdout}},
        {true, "cli.out", {"-C", "full", "pack", "old.dat", "0102"},
         {"File: old.dat  Write failed ("}},
        {true, "cli.out", {"-C", "full", "listing", script},
         {"File: Dump\\Program.txt  Write failed ("}},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[c.args.size() > 2 ? 2 : 0] + " > " + c.out);
        RunResult r = RunCli(c.args, "", nullptr, c.out, c.onFullDisk && full.NeedsNoGrowth());
        EXPECT_EQ(2, r.status) << r.err;
        for (const std::string& error : c.errors) {
            EXPECT_NE(std::string::npos,
                      r.err.find(error + (error.back() == ' ' || error.back() == '(' ? "" : "\n")))
                << error << " in\n"
                << r.err;
        }
        // The old listing is not printed in place of the new one.
        if (c.args.size() > 2 && c.args[2] == "listing") {
            EXPECT_EQ("", r.out);
        }
        EXPECT_EQ(profile, ReadWholeFile("full/Vantor.ini"));
        EXPECT_EQ(messages, ReadWholeFile("full/old.dat"));
        EXPECT_EQ("old listing", ReadWholeFile("full/dump/Program.txt"));
    }
}

TEST_F(CliTest, ReportOnStandardOutputIsWhatTheReportFileGot) {
    RunResult r = Run({"translate", "s.txt", "01 02 03", "01020304", "0102"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(ReadWholeFile("dump/Tran"), r.out);
    EXPECT_NE(std::string::npos, r.out.find(" -Pro: T ---"));
    EXPECT_EQ("  Total - 3    Fail - 1    Warning - 1 ", LastLine(r.err));
    // The application's files are in the working directory.
    EXPECT_NE("<missing>", ReadWholeFile("Trace0.txt"));
    EXPECT_NE(std::string::npos, ReadWholeFile("dump/Program.txt").find("struct M"));
    EXPECT_EQ("0102", ReadWholeFile("dump/Content"));
    EXPECT_NE(std::string::npos, ReadWholeFile("Vantor.ini").find("LastBrowseDir=s.txt"));

    // With --overwrite the file keeps only the last report.
    r = Run({"translate", "--overwrite", "s.txt", "010203", "0A0B0C"});
    EXPECT_EQ(0, r.status);
    std::string tran = ReadWholeFile("dump/Tran");
    size_t second = r.out.rfind("\n  Msg:");
    ASSERT_NE(std::string::npos, second);
    EXPECT_NE(std::string::npos, tran.find(r.out.substr(second)));
    EXPECT_EQ(std::string::npos, tran.find("01 02 03"));

    // Many reports: standard output goes out in pieces, between the
    // appends to the file, and all of it in order.
    std::vector<std::string> many = {"translate", "s.txt"};
    for (int i = 0; i < 100; ++i) many.push_back(i % 2 == 0 ? "0A0B0C" : "01020304");
    r = Run(many);
    EXPECT_EQ(0, r.status);
    EXPECT_GT(r.out.size(), size_t{32768});
    EXPECT_EQ(tran + r.out, ReadWholeFile("dump/Tran"));
}

// --no-report prints one line per message; --timeout-ms ends runaway scripts.
TEST_F(CliTest, NoReportLinesAndTimeout) {
    WriteWholeFile("spin.txt",
                   "#define PROTOCOL_ROOT M\nstruct M { UINT1 a; UINT1 v {\n"
                   " UINT1 Translate(STRING s, dynamic &c, INT4 n) { while (This.a) ; return 7; }"
                   " }; };\n");
    RunResult r =
        Run({"translate", "--no-report", "--timeout-ms", "100", "spin.txt", "01", "00", "02"});
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("0\tLen=1\tErr: v canceled !\n1\tLen=1\tOK\n2\tLen=1\tErr: v canceled !\n", r.out);
    EXPECT_EQ("  Total - 3    Fail - 2    Warning - 0 ", LastLine(r.err));
    // 0 is no limit, not a limit of nothing.
    r = Run({"translate", "--no-report", "--timeout-ms=0", "spin.txt", "00"});
    EXPECT_EQ("0\tLen=1\tOK\n", r.out);

    r = Run({"translate", "--no-report", "s.txt", "010203", "01020304", "0102", "zz", ""});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(std::string("0\tLen=3\tOK\n") + "1\tLen=4\tWrn: leave 1 bytes not translated\n" +
                  "2\tLen=2\tErr: " + kShortError,
              r.out.substr(0, r.out.find(", maybe")));
    EXPECT_NE(std::string::npos, r.out.find("\n3\tLen=0\tErr: Hex stream error\n"));
    EXPECT_NE(std::string::npos, r.out.find("\n4\tLen=0\tErr: illegal input\n"));
    EXPECT_EQ("<missing>", ReadWholeFile("dump/Tran"));

    r = Run({"translate", "--quiet", "s.txt", "010203"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_NE("<missing>", ReadWholeFile("dump/Tran"));
}

TEST_F(CliTest, JsonLinesAreValid) {
    RunResult r = Run({"translate", "--format", "json", "--comment-mode", "2", "--tree-mode",
                       "s.txt", "010203", "0102", "zz", ""});
    EXPECT_EQ(1, r.status);
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(4u, lines.size()) << r.out;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(JsonCheck::Valid(lines[i])) << lines[i];
        EXPECT_EQ(0u, lines[i].find("{\"index\":" + std::to_string(i) + ",")) << lines[i];
    }
    EXPECT_NE(std::string::npos, lines[0].find("\"success\":true"));
    EXPECT_NE(std::string::npos, lines[1].find("\"success\":false"));
    EXPECT_NE(std::string::npos, lines[2].find("Hex stream error"));
    EXPECT_NE(std::string::npos, ReadWholeFile("Vantor.ini").find("CommentMode=2"));
}

TEST_F(CliTest, CheckListingAndRules) {
    RunResult r = Run({"check", "s.txt"});
    EXPECT_EQ("OK\n", r.out);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("<missing>", ReadWholeFile("dump/Program.txt"));
    r = Run({"check", "bad.txt"});
    EXPECT_EQ(1, r.status) << "the error is on standard output";
    EXPECT_EQ(0u, r.out.find("bad.txt : Ln ")) << r.out;
    EXPECT_EQ(1, std::count(r.out.begin(), r.out.end(), '\n'));
    r = Run({"listing", "s.txt"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("Program\n"));
    EXPECT_EQ(ReadWholeFile("dump/Program.txt"), r.out);
    r = Run({"rules"});
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos, r.out.find("RuleList"));
    EXPECT_EQ(ReadWholeFile("dump/LexRule.txt"), r.out);
}

// Warnings about the script go to standard error without changing the exit
// status; --no-warnings drops them.
TEST_F(CliTest, ScriptWarningsKeepTheExitStatus) {
    WriteWholeFile("w.txt", "#define NETWORK_TRANMODE h_to_l\n" + std::string(kScript));
    const std::string warning = "w.txt : Ln 0  warning: NETWORK_TRANMODE is 'h_to_l'";
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"check", "w.txt"}, 0},
        {{"listing", "--quiet", "w.txt"}, 0},
        {{"translate", "--no-report", "w.txt", "010203"}, 0},
        {{"translate", "--no-report", "w.txt", "01"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        RunResult r = Run(c.args);
        EXPECT_EQ(c.status, r.status);
        EXPECT_EQ(0u, r.err.find(warning + ", so numbers")) << r.err;
        EXPECT_EQ(r.err.rfind("warning:"), r.err.find("warning:")) << "one warning";
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, "--no-warnings");
        RunResult quiet = Run(args);
        EXPECT_EQ(c.status, quiet.status);
        EXPECT_EQ(std::string::npos, quiet.err.find("warning")) << quiet.err;
        EXPECT_EQ(r.out, quiet.out);
    }
}

TEST_F(CliTest, PackThenTranslateTheMessageFile) {
    RunResult r = Run({"pack", "m.dat"}, "# two messages\n01 02 03  # first\n\n0A0B0C0D\n");
    ASSERT_EQ(0, r.status) << r.err;
    // The record format is message_list_test's; translating shows the bytes.
    EXPECT_EQ(2u + 15u + 16u, ReadWholeFile("m.dat").size());

    r = Run({"translate", "--no-report", "--dat", "m.dat", "s.txt", "AA BB CC"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("0\tLen=3\tOK\n1\tLen=3\tOK\n2\tLen=4\tWrn: leave 1 bytes not translated\n", r.out);

    // A bad message writes nothing; no messages give the magic alone.
    r = Run({"pack", "bad.dat", "0102", "0A B"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find(kOddDigits));
    EXPECT_EQ("<missing>", ReadWholeFile("bad.dat"));
    r = Run({"pack", "empty.dat"}, "# nothing\n");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("KZ", ReadWholeFile("empty.dat"));

    // 600 messages of 2000 bytes: about 1.2 MB, above the 1 MB default.
    std::string input;
    for (int i = 0; i < 600 * 2000; ++i) input += i % 2000 == 1999 ? "5A\n" : "5A";
    r = Run({"pack", "big.dat"}, input);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(2u + 600u * 2012u, ReadWholeFile("big.dat").size());
    r = Run({"translate", "--no-report", "--quiet", "--dat", "big.dat", "s.txt"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("  Total - 600    Fail - 0    Warning - 600 ", LastLine(r.err));
}

TEST_F(CliTest, CapturesAreMessagesAsTheyAreRead) {
    using namespace testcaptures;
    // Payloads of 3 bytes (an M), 2 bytes (cut short) and a TCP one.
    std::vector<Bytes> frames = {
        Ethernet(Ipv4(17, Cat(Transport(17, 53), {1, 2, 3})), false),
        Ethernet(Ipv4(17, Cat(Transport(17, 54), {1, 2})), true),
        Ethernet(Ipv4(6, Cat(Transport(6, 80), {4, 5, 6})), false),
        Ethernet(Ipv4(1, Bytes(8, 0)), false),
    };
    Bytes file = PcapngFile(1, frames);
    WriteWholeFile("c.pcapng", std::string(file.begin(), file.end()));
    RunResult r = Run({"translate", "--no-report", "--pcap", "c.pcapng", "s.txt"});
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ("0\tLen=3\tOK\n1\tLen=2\tErr: " + kLongError + "2\tLen=3\tOK\n", r.out);
    EXPECT_NE(std::string::npos,
              r.err.find("capture c.pcapng: 4 packets, 3 messages, 1 skipped, 0 too long"));
    // Filters, the layer, and the packet and time in the JSON lines.
    r = Run({"translate", "--format", "json", "--udp-port", "53", "--tcp-port", "80", "--layer",
             "transport", "--pcap", "c.pcapng", "s.txt"});
    EXPECT_EQ(0, r.status) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(
        0u,
        lines[1].find(
            "{\"index\":1,\"packet\":2,\"time\":\"2023-11-14T22:13:22.250000Z\",\"length\":23,"))
        << lines[1];
    // pack writes the same messages with their capture times.
    r = Run({"pack", "c.dat", "--pcap", "c.pcapng", "--filter", "udp or (vlan and udp)"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(2u + 15u + 14u, ReadWholeFile("c.dat").size());
    r = Run({"translate", "--no-report", "--dat", "c.dat", "s.txt"});
    EXPECT_EQ("0\tLen=3\tOK\n1\tLen=2\tErr: " + kLongError, r.out);
    // Damage stops after the packets before it; a bad filter is refused
    // (other bad capture options: ExitStatusAndErrorsOnStandardError).
    file.resize(file.size() - 10);
    WriteWholeFile("cut.pcapng", std::string(file.begin(), file.end()));
    r = Run({"translate", "--no-report", "--pcap", "cut.pcapng", "s.txt"});
    EXPECT_EQ(2, r.status);
    EXPECT_EQ(3u, static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')));
    EXPECT_NE(std::string::npos, r.err.find("capture file damaged after packet 3")) << r.err;
    r = Run({"translate", "--pcap", "c.pcapng", "--filter", "udp port", "s.txt"});
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("bad filter 'udp port'")) << r.err;
}

TEST_F(CliTest, ListenTranslatesReceivedMessagesUntilStopped) {
    uint16_t port = 0;
    close(Bound(port));
    ASSERT_NE(0, port);
    int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    // The child is ready at some point: keep sending until it has taken two.
    int64_t next = 0;
    uint8_t serial = 0;
    auto send = [&](pid_t, const std::string&) {
        if (NowMs() < next) return;
        next = NowMs() + 50;
        uint8_t datagram[] = {0x05, 0, 7, 1, 2, ++serial};
        sendto(sender, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    };
    RunResult r = Run({"listen", "--port", std::to_string(port), "--count", "2", "--seconds", "20",
                       "--save", "got.dat", "--format", "json", "s.txt"},
                      "", send);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("  Total - 2    Fail - 0    Warning - 0 ", LastLine(r.err));
    size_t second = r.out.find("\n{\"index\":1,");
    ASSERT_NE(std::string::npos, second) << r.out;
    EXPECT_TRUE(JsonCheck::Valid(r.out.substr(0, second)));
    std::string file = ReadWholeFile("got.dat");
    ASSERT_EQ(2u + 2u * 15u, file.size());
    EXPECT_EQ(7, file[2 + 9]);  // the kind
    EXPECT_EQ(file[2 + 14] + 1, file[2 + 15 + 14]);

    // Without a count it runs until a signal stops it.
    bool sent = false;
    auto stop = [&](pid_t pid, const std::string& err) {
        if (!sent && err.find("listening on UDP port") != std::string::npos) {
            sent = kill(pid, SIGTERM) == 0;
        }
    };
    r = Run({"listen", "--port", std::to_string(port), "--save", "none.dat", "s.txt"}, "", stop);
    EXPECT_TRUE(sent);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("  Total - 0    Fail - 0    Warning - 0 ", LastLine(r.err));
    EXPECT_EQ("<missing>", ReadWholeFile("none.dat"));

    // 300 messages of 3,997 bytes, more than the one-megabyte list holds:
    // each is saved as it arrives, and the list's clearing is said once. At
    // most 16 are on their way at a time, so that the kernel drops none.
    const int kBig = 300;
    int sentBig = 0;
    std::vector<uint8_t> big(4000, 0x5A);
    big[0] = 0x05;
    auto flood = [&](pid_t, const std::string& err) {
        if (err.find("listening on UDP port") == std::string::npos) return;
        std::string out = ReadWholeFile("cli.out");
        for (long done = std::count(out.begin(), out.end(), '\n');
             sentBig < kBig && sentBig - done < 16; ++sentBig) {
            big[3] = static_cast<uint8_t>(sentBig);
            sendto(sender, big.data(), big.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
    };
    r = Run({"listen", "--port", std::to_string(port), "--count", std::to_string(kBig), "--seconds",
             "25", "--save", "big.dat", "--format", "json", "s.txt"},
            "", flood);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("  Total - 300    Fail - 0    Warning - 300 ", LastLine(r.err));
    const std::string cleared =
        "message 261: the message list was full (1 MB) and was cleared; every message is kept "
        "in big.dat\n";
    EXPECT_EQ(cleared, r.err.substr(r.err.find("\n") + 1, cleared.size()));
    file = ReadWholeFile("big.dat");
    ASSERT_EQ(2u + kBig * (12u + 3997u), file.size());
    EXPECT_EQ(static_cast<char>(static_cast<uint8_t>(kBig - 1)), file[file.size() - 3997]);
    close(sender);
}

}  // namespace
