// Tests of the plug-in loader and the sample plug-in, through real shared
// libraries: the test plug-ins in "PlugIns/" beside this program and "plug".
#include "plugins/plugin_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "decoder/protocol_decoder.h"
#include "runtime/execute_env.h"

namespace {

// The test plug-ins beside this program (see plugins/CMakeLists.txt).
std::string TestPlugInDir() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string path(exe, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + "PlugIns/";
}

std::string PlugDir() {
    std::string path = VANTOR_PLUG_PATH;
    return path.substr(0, path.rfind('/') + 1);
}

// The names of the loaded records, in load order.
std::string Names(const PlugInList& list) {
    std::string out;
    for (int i = 0; i < list.GetSize(); ++i) {
        if (i > 0) out += ",";
        out += list.GetAt(i)->name.GetBuffer(0);
    }
    return out;
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// What fn writes to the console, which is often only the loader's trace.
template <typename Fn>
std::string Traced(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

class PlugInListTest : public ScratchDirTest {
  protected:
    // The scratch directory, absolute, with a trailing slash.
    std::string Here() const { return scratch_.path() + "/"; }
};

// The plug-ins beside the program load in the order of their names; bad
// libraries are skipped with the reason in the trace. Only regular files
// load, each by its absolute path: a directory "x.dl_" (made by the build), a
// FIFO "y.dl_" and a link to it are passed over, and a plug-in under
// "PlugIns/" in the current directory never loads through a relative name.
TEST_F(PlugInListTest, LoadsRegularFilesByAbsolutePathInNameOrder) {
    const std::string dir = TestPlugInDir();
    const std::string fifo = dir + "y.dl_";
    const std::string fifoLink = dir + "y_link.dl_";
    unlink(fifo.c_str());
    unlink(fifoLink.c_str());
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    ASSERT_EQ(0, symlink(fifo.c_str(), fifoLink.c_str()));
    struct stat st;
    ASSERT_EQ(0, stat((dir + "x.dl_").c_str(), &st));
    ASSERT_TRUE(S_ISDIR(st.st_mode));

    // A working plug-in in the current directory, which is not the program's.
    ASSERT_NE(Here(), dir);
    ASSERT_EQ(0, mkdir("PlugIns", 0777));
    WriteWholeFile("PlugIns/h_here.dl_", ReadWholeFile((dir + "d_proto.dl_").c_str()));
    WriteWholeFile("junk.dl_", "not a library");

    PlugInList list;
    int loaded = 0;
    std::string trace = Traced([&] { loaded = list.LoadPlugIns(); });
    // e_old (version 0), f_noexport, g_junk (no library) and the three that
    // throw while they load are skipped.
    EXPECT_EQ(5, loaded);
    EXPECT_EQ("Morvane,Morvane,MORVANE,Proto,Thrower", Names(list));
    for (int i = 0; i < list.GetSize(); ++i) {
        std::string path = vpath::ToNative(list.GetAt(i)->path.GetBuffer(0)).GetBuffer(0);
        EXPECT_EQ(0u, path.rfind(dir, 0)) << path;
    }
    std::string path = list.GetAt(1)->path.GetBuffer(0);
    EXPECT_EQ("\\b_first.dl_", path.substr(path.size() - 12));
    EXPECT_EQ(1u, Count(trace, "Load PlugIn 'Old' fail: dll version error\n"));
    EXPECT_EQ(3u,
              Count(trace, "Load PlugIn: 'Morvane'\n") + Count(trace, "Load PlugIn: 'MORVANE'\n"));
    EXPECT_EQ(9u, Count(trace, "Load PlugIn"));
    EXPECT_EQ(0u, Count(trace, "Lost")) << trace;

    // Loading one by name: the trace, and nothing left behind on failure.
    const struct {
        std::string path;
        const char* trace;
    } cases[] = {
        {dir + "d_proto.dl_", "Load PlugIn: 'Proto'\n"},
        {Here() + "PlugIns/h_here.dl_", "Load PlugIn: 'Proto'\n"},
        {dir + "e_old.dl_", "Load PlugIn 'Old' fail: dll version error\n"},
        {dir + "f_noexport.dl_", ""},
        {Here() + "junk.dl_", ""},
        {dir + "nosuch.dl_", ""},
        {dir + "i_throw_create.dl_",
         "Load PlugIn 'i_throw_create.dl_' fail: PlugCreateObject() threw exception "
         "'std::bad_alloc'\n"},
        {dir + "j_throw_name.dl_",
         "Load PlugIn 'j_throw_name.dl_' fail: GetPlugInName() threw an exception of an unknown "
         "type\n"},
        {dir + "k_throw_table.dl_",
         "Load PlugIn 'Table' fail: GetFunctionTable() threw exception 'no table'\n"},
        {fifo, ""},  // would block the loader on open
        {fifoLink, ""},
        {dir + "x.dl_", ""},
        {"/dev/null", ""},
        {"PlugIns/h_here.dl_", ""},   // relative
        {"PlugIns\\h_here.dl_", ""},  // relative, system form
        {"h_here.dl_", ""},           // a bare name: the library path is never searched
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const bool loads = std::string(c.trace).rfind("Load PlugIn: ", 0) == 0;
        PlugInRecord record;
        EXPECT_EQ(c.trace, Traced([&] { EXPECT_EQ(loads, LoadPlugIn(record, c.path.c_str())); }));
        EXPECT_EQ(loads, record.module != nullptr);
        EXPECT_EQ(loads, record.object != nullptr);
        EXPECT_EQ(loads, !record.path.IsEmpty());
    }

    // A relative directory loads nothing, the same one given absolutely does.
    PlugInList here;
    EXPECT_EQ(0, here.LoadPlugInsFrom("PlugIns\\"));
    EXPECT_EQ(0, here.LoadPlugInsFrom(""));
    Traced([&] { EXPECT_EQ(1, here.LoadPlugInsFrom((Here() + "PlugIns\\").c_str())); });

    unlink(fifoLink.c_str());
    unlink(fifo.c_str());
}

TEST_F(PlugInListTest, CallRouting) {
    PlugInList list;
    Traced([&] { EXPECT_EQ(5, list.LoadPlugIns()); });
    ASSERT_EQ(5, list.GetSize());

    struct {
        const char* module;
        const char* function;
        int result;
    } cases[] = {
        {"Any", "Which", 2},        // a_empty has no functions; b_first is first
        {nullptr, "Which", 2},      // a script without PROTOCOL_NAME
        {"Any", "which", 0},        // function names are exact
        {"Any", "Which ", 0},       // ... to the last character
        {"Proto", "OnlyProto", 4},  // the module's own plug-in
        {"pROTO", "OnlyProto", 4},  // module names ignore case
        {"Other", "OnlyProto", 0},  // not for another script
        {"Proto", "Missing", 0},    // nobody has it
        {"Thrower", "Boom", 0},     // it throws
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, list.CallPlugIn(c.module, c.function, 0, nullptr))
            << (c.module ? c.module : "(null)") << " " << c.function;
    }

    EXPECT_EQ("PlugIn called: Morvane - Which()\n",
              Traced([&] { list.CallPlugIn("Any", "Which", 0, nullptr); }));

    // An exception fails the call with a text and goes no further.
    ExecuteEnv env;
    void* argv[kPlugInArgCount] = {nullptr, &env, nullptr, nullptr};
    EXPECT_EQ(
        "PlugIn called: Thrower - Boom()\n"
        "Boom() fail, PlugIn 'Thrower' threw exception 'out of order'\n",
        Traced([&] { EXPECT_EQ(0, list.CallPlugIn("thrower", "Boom", kPlugInArgCount, argv)); }));
    EXPECT_STREQ("Boom() fail, PlugIn 'Thrower' threw exception 'out of order'",
                 env.GetLastError().GetBuffer(0));
}

// A missing directory loads nothing, nor does a file that is no plug-in; an
// empty list calls nothing. Of plug-ins with the same function, the first
// loaded serves.
TEST_F(PlugInListTest, FirstLoadedServes) {
    PlugInList list;
    EXPECT_EQ(0, list.LoadPlugInsFrom((Here() + "nosuch/").c_str()));
    EXPECT_EQ(0, list.CallPlugIn("Morvane", "Which", 0, nullptr));
    // The same two plug-ins, linked under names that reverse their order.
    std::string dir = TestPlugInDir();
    ASSERT_EQ(0, mkdir("PlugIns", 0777));
    WriteWholeFile("PlugIns/readme.txt", "not a plug-in");
    ASSERT_EQ(0, symlink((dir + "c_second.dl_").c_str(), "PlugIns/1.dl_"));
    ASSERT_EQ(0, symlink((dir + "b_first.dl_").c_str(), "PlugIns/2.dl_"));
    Traced([&] { EXPECT_EQ(2, list.LoadPlugInsFrom((Here() + "PlugIns").c_str())); });
    EXPECT_EQ("MORVANE,Morvane", Names(list));
    EXPECT_EQ(3, list.CallPlugIn("Any", "Which", 0, nullptr));
}

// A plug-in that another user could have changed is refused, with the
// reason in the trace: the file, its directory or the directory of a link to
// it writable by every user or by a group not the owner's own, or a file of
// another user. Rows that need the right to give a file away (root's) are
// passed over without it.
TEST_F(PlugInListTest, RefusesWhatOthersCouldChange) {
    const std::string library = ReadWholeFile((TestPlugInDir() + "d_proto.dl_").c_str());
    char* real = realpath(".", nullptr);
    ASSERT_NE(nullptr, real);
    const std::string here = std::string(real) + "/";
    free(real);
    struct {
        const char* dir;
        mode_t dirMode, fileMode;
        int owner, group;     // -1: as created
        const char* refusal;  // what is wrong, "" when it loads
    } cases[] = {
        {"good", 0755, 0755, -1, -1, ""},
        {"world", 0755, 0666, -1, -1, "'world/world.dl_' is writable by every user (mode 0666)"},
        {"opendir", 0777, 0644, -1, -1, "'opendir' is writable by every user (mode 0777)"},
        {"sticky", 01777, 0644, -1, -1, "'sticky' is writable by every user (mode 1777)"},
        {"group", 0755, 0664, 0, 1, "'group/group.dl_' is writable by its group (mode 0664)"},
        {"private", 0755, 0664, 0, 0, ""},  // root's group has no other member
        {"other", 0755, 0644, 1, -1, "'other/other.dl_' belongs to another user (uid 1)"},
    };
    for (const auto& c : cases) {
        const std::string file = std::string(c.dir) + "/" + c.dir + ".dl_";
        ASSERT_EQ(0, mkdir(c.dir, 0700));
        WriteWholeFile(file.c_str(), library);
        ASSERT_EQ(0, chmod(file.c_str(), c.fileMode));
        ASSERT_EQ(0, chmod(c.dir, c.dirMode));
        // -1 leaves the owner or the group as it is.
        if (chown(file.c_str(), static_cast<uid_t>(c.owner), static_cast<gid_t>(c.group)) != 0) {
            continue;
        }

        PlugInRecord record;
        std::string trace = Traced([&] {
            EXPECT_EQ(c.refusal[0] == '\0', LoadPlugIn(record, (here + file).c_str())) << file;
        });
        if (c.refusal[0] != '\0') {
            std::string why = c.refusal;
            why.insert(1, here);
            EXPECT_EQ("Load PlugIn '" + here + file + "' refused: " + why + "\n", trace);
        }
    }
    // A link in a safe directory to a file in an open one.
    ASSERT_EQ(0, symlink((here + "opendir/opendir.dl_").c_str(), "good/link.dl_"));
    PlugInRecord record;
    std::string trace =
        Traced([&] { EXPECT_FALSE(LoadPlugIn(record, (here + "good/link.dl_").c_str())); });
    EXPECT_NE(std::string::npos,
              trace.find("refused: '" + here + "opendir' is writable by every user"));
}

const char kDeclaration[] = "extern STRING TimestampToDateStream(INT4 timestamp);";

// The sample plug-in, called from a script through the decoder.
class PlugInSampleTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        const char* tz = getenv("TZ");
        hadTz = tz != nullptr;
        if (hadTz) savedTz = tz;
        SetZone("UTC0");
        trace = Traced([&] { loaded = list.LoadPlugInsFrom(PlugDir().c_str()); });
        decoder.SetExternalHandler(&list, PlugInList::OnExternalCall);
    }
    void TearDown() override {
        if (hadTz) {
            setenv("TZ", savedTz.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    static void SetZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

    // Loads a script whose member d is the date text of the INT4 t before
    // it, and translates bytes: "OK <consumed>" or the error.
    std::string Run(const char* declaration, std::vector<uint8_t> bytes) {
        std::string script = std::string(declaration) +
                             "\n#define PROTOCOL_NAME \"Clock\"\n#define PROTOCOL_ROOT R\n"
                             "struct R { INT4 t; OCTET d {\n"
                             " OCTET Translate(STRING s, dynamic &c, INT4 n) {"
                             " return TimestampToDateStream(This.t); } }; };";
        WriteWholeFile("proto.txt", script);
        if (!decoder.LoadScript("proto.txt", false)) {
            return std::string("load: ") + decoder.GetLastError().GetBuffer(0);
        }
        int32_t length = static_cast<int32_t>(bytes.size());
        if (decoder.Translate(true, bytes.data(), length)) return "OK " + std::to_string(length);
        return decoder.GetLastError().GetBuffer(0);
    }
    // The result of bytes with the usual declaration, and the date text of d.
    std::string Dated(std::vector<uint8_t> bytes) {
        std::string result = Run(kDeclaration, std::move(bytes));
        int32_t idx = -1;
        CVariableItem* item = decoder.GetRoot().GetItem(0, "d", &idx);
        if (item == nullptr) return result + " (none)";
        OTSTR text;
        item->getAt(idx < 0 ? 0 : idx, text);
        return result + " " + text.GetBuffer(0);
    }

    bool hadTz = false;
    std::string savedTz;
    PlugInList list;
    int loaded = 0;
    std::string trace;
    ProtocolDecoder decoder;
};

TEST_F(PlugInSampleTest, LoadsAsMorvaneAndGivesDates) {
    ASSERT_EQ(1, loaded);
    EXPECT_EQ("Morvane", Names(list));
    int version = 0;
    EXPECT_STREQ("Morvane", list.GetAt(0)->object->GetPlugInName(&version));
    EXPECT_EQ(1, version);
    EXPECT_NE(std::string::npos, trace.find("Load PlugIn: 'Morvane'\n")) << trace;
    // The plug-in writes to a trace of its own, named after it.
    EXPECT_NE(std::string::npos, trace.find("DllLoaded\n")) << trace;

    EXPECT_EQ("OK 4 1970-01-01 00:00:00", Dated({0, 0, 0, 0}));
    EXPECT_EQ("OK 4 2023-11-14 22:13:20", Dated({0x00, 0xF1, 0x53, 0x65}));  // 1700000000
    EXPECT_EQ("OK 4 2038-01-19 03:14:07", Dated({0xFF, 0xFF, 0xFF, 0x7F}));
    // Local time: a zone two hours east of UTC.
    SetZone("XYZ-2");
    EXPECT_EQ("OK 4 1970-01-01 02:00:00", Dated({0, 0, 0, 0}));
}

TEST_F(PlugInSampleTest, Failures) {
    ASSERT_EQ(1, loaded);
    EXPECT_EQ("d TimestampToDateStream() value of timestamp error",
              Run(kDeclaration, {0xFF, 0xFF, 0xFF, 0xFF}));
    // A declaration without a "timestamp" parameter: the plug-in's own text
    // is the error; the frame's look-up only reaches the trace.
    std::string result;
    std::string output = Traced([&] {
        result = Run("extern STRING TimestampToDateStream(INT4 seconds);", {0, 0, 0, 0});
    });
    EXPECT_EQ("d TimestampToDateStream() get param fail", result);
    EXPECT_NE(std::string::npos, output.find("RunTimeStk::GetItem('timestamp') fail")) << output;
    // Without the plug-in the call is not found.
    list.Clear();
    EXPECT_EQ("d procedure TimestampToDateStream() not found", Run(kDeclaration, {0, 0, 0, 0}));
}

}  // namespace
