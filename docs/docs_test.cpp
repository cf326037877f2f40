// The user documents and the sample protocols checked against the program.
//
// In docs/*.md every fenced block whose info string starts a known word is
// checked, in the order of the document:
//   ```vantor         a script: saved as example.txt and compiled
//   ```vantor NAME    a script saved as NAME for a later #include
//   ```error          the text the script above fails to compile with
//   ```warning        the warnings the script above loads with, one a line;
//                     a script without this block loads without warnings
//   ```message        a message in hexadecimal ('#' starts a comment)
//   ```result [expand]  lines that the report of that message shows, in
//                     order (as vantor-cli translate --comment-mode 2 prints
//                     them; expand adds --expand-typeof), then the texts
//                     that the desktop program shows in message boxes
//   ```cpp PATH       a passage that stands word for word in PATH (also
//   ```cmake PATH     for build files)
// Each sample under samples/ listed below translates the lines of its
// messages.txt to its expected/report.txt, and its msg.dat holds the same
// messages. VANTOR_WRITE_GOLDEN=1 rewrites the golden reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/hex_input.h"
#include "base/scratch_dir.h"

namespace {

std::string SourcePath(const std::string& name) {
    return std::string(VANTOR_SOURCE_DIR) + "/" + name;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line.erase(line.find_last_not_of(" \r") + 1);
        lines.push_back(line);
    }
    return lines;
}

// The report with the translation time, which varies, written as 0.000s.
std::string SteadyReport(std::string text) {
    const std::string hex = "  Hex: Len=";
    for (size_t at = text.find(hex); at != std::string::npos; at = text.find(hex, at + 1)) {
        size_t end = text.find("s\n", at);
        size_t begin = text.rfind("  ", end);
        if (end != std::string::npos && begin > at)
            text.replace(begin + 2, end - begin - 2, "0.000");
    }
    return text;
}

// The reports a translation adds, and the texts of its message boxes.
class Recorder : public AppFrontEnd {
  public:
    void ShowMessage(const char* text) override { shown += text; }
    void ReportAdded(const char* text, size_t length) override { report.append(text, length); }
    std::string shown, report;
};

// An application core started in the current directory, with the report
// options of the documents and, when asked, the plug-ins beside this program.
struct Session {
    Session(bool expand, bool plugIns) {
        // The plug-in's dates are local time: the documents show them in UTC.
        setenv("TZ", "UTC", 1);
        tzset();
        started = app.StartUp({Profile::kDefaultPath, plugIns, false, 0});
        app.Settings().commentMode = 2;
        app.Settings().expendTypeOF = expand ? 1 : 0;
        app.Settings().displayTreeMode = 0;
    }
    // The compile error, empty when the script loads.
    std::string Load(const std::string& path) {
        app.SelectScript(path.c_str());
        return app.PrepareScript(false) ? "" : app.Decoder().GetLastError().GetBuffer(0);
    }
    // The warnings of the script loaded last, one a line.
    std::string Warnings() {
        std::string text;
        for (const OTSTR& warning : app.Decoder().GetWarnings())
            text += std::string(warning.GetBuffer(0)) + "\n";
        return text;
    }
    // The report of one message and, with shown, the message box texts.
    std::string Translate(const std::string& hex, bool shown) {
        front.report.clear();
        front.shown.clear();
        app.TranslateInput(hex.c_str(), true);
        return SteadyReport(front.report + (shown ? front.shown : ""));
    }
    Recorder front;
    Application app{&front};
    bool started = false;
};

struct Block {
    int line;  // of the opening fence
    std::string kind, argument, text;
};

std::vector<Block> FencedBlocks(const std::string& document) {
    std::vector<Block> blocks;
    std::vector<std::string> lines = Lines(document);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(0, 3, "```") != 0) continue;
        Block block;
        block.line = static_cast<int>(i) + 1;
        std::istringstream info(lines[i].substr(3));
        info >> block.kind >> block.argument;
        while (++i < lines.size() && lines[i].compare(0, 3, "```") != 0) {
            block.text += lines[i] + "\n";
        }
        blocks.push_back(block);
    }
    return blocks;
}

// Where the lines of want stand in order among those of got; empty when
// they all do, else the first one missing.
std::string MissingLine(const std::string& want, const std::string& got) {
    std::vector<std::string> have = Lines(got);
    size_t at = 0;
    for (const std::string& line : Lines(want)) {
        if (line.empty()) continue;
        while (at < have.size() && have[at] != line) ++at;
        if (at == have.size()) return line;
        ++at;
    }
    return "";
}

// The first line in which the golden text and the report differ.
std::string FirstDifference(const std::string& want, const std::string& got) {
    std::vector<std::string> a = Lines(want), b = Lines(got);
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        std::string x = i < a.size() ? a[i] : "(end)", y = i < b.size() ? b[i] : "(end)";
        if (x != y) return "line " + std::to_string(i + 1) + "\n want: " + x + "\n  got: " + y;
    }
    return "line ends or blanks";
}

std::string HexOf(const std::string& text) {
    std::string hex;
    for (const std::string& line : Lines(text)) hex += line.substr(0, line.find('#')) + " ";
    hex.erase(hex.find_last_not_of(' ') + 1);
    hex.erase(0, hex.find_first_not_of(' '));
    return hex;
}

void CheckDocument(const char* name, bool plugIns = false) {
    std::string document = ReadText(SourcePath(name));
    ASSERT_FALSE(document.empty()) << name;
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    std::unique_ptr<Session> session;
    std::string loadError, message;
    int scripts = 0;
    std::vector<Block> blocks = FencedBlocks(document);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Block& b = blocks[i];
        std::string where = std::string(name) + ":" + std::to_string(b.line);
        if (b.kind == "vantor" && !b.argument.empty()) {
            WriteWholeFile(b.argument.c_str(), b.text);
        } else if (b.kind == "vantor") {
            ++scripts;
            WriteWholeFile("example.txt", b.text);
            session.reset();
            session = std::make_unique<Session>(false, plugIns);
            ASSERT_TRUE(session->started) << where;
            loadError = session->Load("example.txt");
            // A script without an error block after it must load.
            if (i + 1 == blocks.size() || blocks[i + 1].kind != "error") {
                EXPECT_EQ("", loadError) << where;
            }
            bool warned = i + 1 < blocks.size() && blocks[i + 1].kind == "warning";
            EXPECT_EQ(warned ? blocks[i + 1].text : "", session->Warnings()) << where;
        } else if (b.kind == "error") {
            ASSERT_TRUE(session) << where;
            std::vector<std::string> want = Lines(b.text);
            EXPECT_EQ(want.empty() ? "" : want[0], loadError) << where;
        } else if (b.kind == "message") {
            message = HexOf(b.text);
        } else if (b.kind == "result") {
            ASSERT_TRUE(session && !message.empty()) << where << ": no script or message before";
            session->app.Settings().expendTypeOF = b.argument == "expand" ? 1 : 0;
            std::string report = session->Translate(message, true);
            std::string missing = MissingLine(b.text, report);
            EXPECT_EQ("", missing) << where << ": line not in the report of " << message << "\n"
                                   << report;
        } else if ((b.kind == "cpp" || b.kind == "cmake") && !b.argument.empty()) {
            std::string source = ReadText(SourcePath(b.argument));
            EXPECT_NE(std::string::npos, source.find(b.text)) << where << ": not in " << b.argument;
        }
    }
    EXPECT_GT(scripts, 0) << name;
}

TEST(Documents, LanguageReference) {
    CheckDocument("docs/language.md");
}
TEST(Documents, Cookbook) {
    CheckDocument("docs/cookbook.md");
}
TEST(Documents, PlugIns) {
    CheckDocument("docs/plugins.md", true);
}

// The sample protocols: the messages of messages.txt give the golden report,
// and msg.dat holds those messages in that order.
class Samples : public ::testing::TestWithParam<const char*> {};

TEST_P(Samples, MessagesGiveTheGoldenReport) {
    std::string folder = SourcePath(std::string("samples/") + GetParam() + "/");
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    Session session(true, false);
    ASSERT_TRUE(session.started);
    ASSERT_EQ("", session.Load(folder + "main.txt"));
    EXPECT_EQ("", session.Warnings());
    std::string report;
    std::vector<std::string> messages;
    for (const std::string& line : Lines(ReadText(folder + "messages.txt"))) {
        std::string hex = HexOf(line);
        if (hex.empty()) continue;
        messages.push_back(hex);
        report += session.Translate(hex, false);
    }
    std::string golden = folder + "expected/report.txt";
    if (getenv("VANTOR_WRITE_GOLDEN") != nullptr) std::ofstream(golden, std::ios::binary) << report;
    std::string want = ReadText(golden);
    EXPECT_TRUE(want == report) << FirstDifference(want, report);

    ASSERT_TRUE(session.app.LoadMessageFile((folder + "msg.dat").c_str()));
    MessageList& list = session.app.Messages();
    ASSERT_EQ(static_cast<int>(messages.size()), list.GetCount());
    for (int row = 0; row < list.GetCount(); ++row) {
        MessageView view;
        ASSERT_TRUE(list.GetMessage(row, view));
        uint8_t bytes[kMaxHexInputBytes];
        int32_t count = 0;
        ASSERT_TRUE(ParseHexInput(messages[row].data(), messages[row].size(), bytes, count));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), count),
                  std::string(reinterpret_cast<const char*>(view.bytes), view.length))
            << "msg.dat row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, Samples, ::testing::Values("MQTT", "LLDP", "CAN_J1939"));

}  // namespace
