// Tests of the platform layer: path resolution without regard to case,
// text-mode reading, output that replaces files whole, directory listing,
// file information and the clocks.
#include "base/path.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "base/scratch_dir.h"
#include "base/string_array.h"

namespace {

std::string ReadStream(FILE* f) {
    std::string out;
    char buf[1000];  // smaller than the text below, so reads cross chunks
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return out;
}

std::vector<std::string> Names(StringArray& a) {
    std::vector<std::string> out;
    for (int i = 0; i < a.GetSize(); ++i) out.push_back(a.GetAt(i).GetBuffer());
    return out;
}

// Writes data through a stream that vpath opened; false on any failure.
bool WriteStream(const char* path, const char* mode, const std::string& data) {
    FILE* f = vpath::OpenFile(path, mode);
    if (f == nullptr) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

class PathTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        ASSERT_EQ(mkdir("dump", 0777), 0);
        ASSERT_EQ(mkdir("Sub", 0777), 0);
        WriteWholeFile("Sub/x.txt", "hello");
    }
};

TEST_F(PathTest, ResolvesEachComponentWithoutRegardToCase) {
    ASSERT_EQ(mkdir("case", 0777), 0);
    WriteWholeFile("case/ab", "");
    WriteWholeFile("case/AB", "");
    const std::string abs = scratch_.path();
    struct {
        std::string path, native;
    } cases[] = {
        {"Dump\\Tran", "dump/Tran"},
        {"DUMP\\", "dump/"},
        {"sub\\X.TXT", "Sub/x.txt"},
        {"SUB\\New.txt", "Sub/New.txt"},  // nothing matches: the given name stays
        {"Missing\\Sub\\X.TXT", "Missing/Sub/X.TXT"},
        {".\\SUB\\..\\Dump", "./Sub/../dump"},
        {"case\\ab", "case/ab"},  // an exact match wins
        {"case\\AB", "case/AB"},
        {"case\\aB", "case/AB"},  // of several, the byte-wise smallest
        {abs + "\\SUB\\X.txt", abs + "/Sub/x.txt"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(vpath::ToNative(c.path.c_str()).GetBuffer(), c.native.c_str()) << c.path;
    }
    EXPECT_STREQ(vpath::ToNative(nullptr).GetBuffer(), "");
}

// A path found in another letter case is kept for the next time, and the
// kept form gives way as soon as the directory says otherwise.
TEST_F(PathTest, KeptResolutionsFollowTheDirectory) {
    auto native = [](const char* path) { return std::string(vpath::ToNative(path).GetBuffer()); };
    WriteWholeFile("dump/Tran", "");
    EXPECT_EQ(native("Dump\\Tran"), "dump/Tran");
    EXPECT_EQ(native("Dump\\Tran"), "dump/Tran") << "kept";
    ASSERT_EQ(mkdir("Dump", 0777), 0);
    EXPECT_EQ(native("Dump\\Tran"), "Dump/Tran") << "the name as written exists now";
    ASSERT_EQ(rmdir("Dump"), 0);
    EXPECT_EQ(native("Dump\\Tran"), "dump/Tran");
    ASSERT_EQ(unlink("dump/Tran"), 0);
    WriteWholeFile("dump/TRAN", "");
    EXPECT_EQ(native("Dump\\Tran"), "dump/TRAN") << "the kept file is gone";
}

TEST_F(PathTest, CreatesFilesAndDirectoriesUnderTheGivenName) {
    ASSERT_TRUE(WriteStream("DUMP\\Tran", "w", "r1"));
    ASSERT_TRUE(WriteStream("dump\\TRAN", "a", "r2"));  // now an entry matches
    EXPECT_EQ(ReadWholeFile("dump/Tran"), "r1r2");
    EXPECT_TRUE(vpath::FileExists("Dump\\tran"));

    EXPECT_FALSE(vpath::MakeDirectory("Dump")) << "exists as dump";
    EXPECT_TRUE(vpath::MakeDirectory("Dump\\NewDir"));
    EXPECT_EQ(CountEntries("dump/NewDir"), 0) << "an empty directory";
    EXPECT_TRUE(vpath::IsDirectory("DUMP\\newdir"));
    EXPECT_FALSE(vpath::IsDirectory("dump\\tran"));
    EXPECT_FALSE(vpath::MakeDirectory("nowhere\\deeper"));

    EXPECT_TRUE(vpath::RemoveFile("DUMP\\TRAN"));
    EXPECT_FALSE(vpath::FileExists("dump\\Tran"));
    EXPECT_FALSE(vpath::RemoveFile("dump\\Tran"));
    EXPECT_EQ(vpath::OpenFile("missing\\file", "r"), nullptr);
    EXPECT_EQ(vpath::OpenFile(nullptr, "r"), nullptr);
    EXPECT_EQ(vpath::OpenFile("", "w"), nullptr);
}

TEST_F(PathTest, TextModeFoldsCrLfBinaryKeepsEveryByteAndOnlyRegularFilesAreRead) {
    std::string raw, folded;
    for (int i = 0; i < 700; ++i) {  // CR LF pairs fall on every chunk boundary
        raw += "line\r\n";
        folded += "line\n";
    }
    raw += "a\r\rb\r\n\r\nc\r";
    folded += "a\r\rb\n\nc\r";
    WriteWholeFile("Sub/W.TXT", raw);

    OTSTR text;
    for (const char* mode : {"r", "rt", "rb"}) {
        SCOPED_TRACE(mode);
        const std::string& want = mode[1] == 'b' ? raw : folded;
        FILE* f = vpath::OpenFile("sub\\w.txt", mode);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(ReadStream(f), want);
        rewind(f);  // a stream read to its end starts again
        char line[64];
        EXPECT_STREQ(fgets(line, sizeof line, f), want.substr(0, want.find('\n') + 1).c_str());
        fclose(f);
        ASSERT_TRUE(vpath::ReadFile("SUB\\W.txt", mode[1] != 'b', text));
        EXPECT_EQ(std::string(text.GetBuffer(), text.GetLength()), want);
    }

    WriteWholeFile("empty", "");
    EXPECT_TRUE(vpath::ReadFile("EMPTY", true, text));
    EXPECT_EQ(text.GetLength(), 0);
    // A script may name any path in an #include: a device without end, a
    // pipe without writer or a directory must fail at once.
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    ASSERT_EQ(mkdir("dir", 0777), 0);
    for (const char* path : {"absent", "/dev/zero", "PIPE", "dir", "\\dev\\zero"}) {
        EXPECT_FALSE(vpath::ReadFile(path, true, text)) << path;
        EXPECT_EQ(text.GetLength(), 0) << path;
    }
}

// Runs fn with writes beyond 4096 bytes failing as on a full disk.
template <typename Fn>
bool UnderSizeLimit(Fn fn) {
    struct rlimit saved, limit;
    getrlimit(RLIMIT_FSIZE, &saved);
    limit = saved;
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    bool result = fn();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    return result;
}

// A failed write keeps the old file whole, leaves no temporary file and is
// recorded with its reason; links lead to their files, dangling ones create
// nothing.
TEST_F(PathTest, OutputReplacesFilesWholeOrNotAtAll) {
    WriteWholeFile("old", "old contents");
    ASSERT_EQ(chmod("old", 0640), 0);
    ASSERT_EQ(symlink("old", "link"), 0);
    ASSERT_EQ(symlink("nowhere", "dangling"), 0);
    WriteWholeFile("big", "big before");
    WriteWholeFile("grow", "grown: ");
    const std::string large(8000, 'x');
    struct {
        const char* path;  // written whole, or with mode through a stream
        const char* mode;
        std::string data;
        const char* file;  // checked afterwards
        std::string contents;
        const char* failure;  // recorded for the path written, null on success
    } cases[] = {
        {"OLD", nullptr, "new", "old", "new", nullptr},
        {"link", nullptr, "via link", "old", "via link", nullptr},
        {"dangling", nullptr, "x", "nowhere", "<missing>", "dangling symbolic link"},
        {"BIG", "wb", large, "big", "big before", "File too large"},
        // Appending writes in place: what fitted stays.
        {"grow", "a", large, "grow", "grown: xxx", "File too large"},
        {"/dev/full", nullptr, "x", "big", "big before", "No space left on device"},
        {"/dev/null", nullptr, "x", "big", "big before", nullptr},
        {"dump", nullptr, "x", "big", "big before", "Is a directory"},
        {"NoDir\\x", nullptr, "x", "NoDir/x", "<missing>", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.failure == nullptr, UnderSizeLimit([&] {
                      return c.mode == nullptr
                                 ? vpath::ReplaceFile(c.path, c.data.data(), c.data.size())
                                 : WriteStream(c.path, c.mode, c.data);
                  }));
        std::string contents = ReadWholeFile(c.file);
        if (std::string(c.file) == "grow") contents = contents.substr(0, c.contents.size());
        EXPECT_EQ(c.contents, contents);
        EXPECT_EQ(c.failure != nullptr ? c.failure : "", FailureOf(c.path));
    }
    struct stat st;
    ASSERT_EQ(lstat("link", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat("old", &st), 0);
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_EQ(7, CountEntries("."));  // no temporary file is left

    // Until it is closed, a file written anew still reads as before.
    FILE* f = vpath::OpenFile("old", "w");
    ASSERT_NE(f, nullptr);
    fputs("next", f);
    fflush(f);
    EXPECT_EQ("via link", ReadWholeFile("old"));
    EXPECT_EQ(0, fclose(f));
    EXPECT_EQ("next", ReadWholeFile("old"));

    // A record file ends after a whole record whatever happens.
    vpath::RecordFile records;
    ASSERT_TRUE(records.Create("Records", "KZ", 2));
    EXPECT_TRUE(records.Append("0123456789ab", 12));
    EXPECT_FALSE(UnderSizeLimit([&] { return records.Append(large.data(), large.size()); }));
    EXPECT_FALSE(records.IsOpen());
    EXPECT_EQ("KZ0123456789ab", ReadWholeFile("Records"));
    EXPECT_EQ("File too large", FailureOf("Records"));
    EXPECT_FALSE(records.Create("dangling", "KZ", 2));
}

// A file appended to after every message stays open in between, and
// follows its path when the file is renamed, removed or replaced meanwhile.
TEST_F(PathTest, AppendFileFollowsItsPath) {
    vpath::AppendFile log;
    EXPECT_TRUE(log.Append("Dump\\Log", "", 0));
    EXPECT_FALSE(log.IsOpen()) << "nothing is opened for no bytes";
    ASSERT_TRUE(log.Append("Dump\\Log", "a", 1));
    ASSERT_TRUE(log.Append("Dump\\Log", "b", 1));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ("ab", ReadWholeFile("dump/Log"));

    ASSERT_EQ(rename("dump/Log", "dump/Old"), 0);
    ASSERT_TRUE(log.Append("Dump\\Log", "c", 1));
    ASSERT_EQ(unlink("dump/Old"), 0);
    ASSERT_TRUE(log.Append("Dump\\Log", "d", 1));
    EXPECT_EQ("cd", ReadWholeFile("dump/Log"));
    ASSERT_EQ(unlink("dump/Log"), 0);
    ASSERT_TRUE(log.Append("Dump\\Log", "e", 1));
    ASSERT_TRUE(vpath::ReplaceFile("Dump\\Log", "R", 1));
    ASSERT_TRUE(log.Append("Dump\\Log", "f", 1));
    EXPECT_EQ("Rf", ReadWholeFile("dump/Log"));
    ASSERT_TRUE(log.Append("Sub\\Log", "g", 1)) << "another path";
    EXPECT_EQ("g", ReadWholeFile("Sub/Log"));

    // A failed write is recorded, and the next append opens the file again.
    const std::string large(8000, 'x');
    EXPECT_FALSE(
        UnderSizeLimit([&] { return log.Append("Sub\\Log", large.data(), large.size()); }));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ("File too large", FailureOf("Sub\\Log"));
    ASSERT_TRUE(log.Append("Sub\\Log", "h", 1));
    EXPECT_EQ('h', ReadWholeFile("Sub/Log").back());
    EXPECT_FALSE(log.Append("NoDir\\Log", "i", 1));
    EXPECT_FALSE(FailureOf("NoDir\\Log").empty());
}

TEST_F(PathTest, ListsMatchingFilesSortedWithoutRegardToCase) {
    ASSERT_EQ(mkdir("PlugIns", 0777), 0);
    for (const char* name : {"b.DL_", "A.dl_", "c.dl_", "C.txt", "x.dl_.bak", "dl_"}) {
        WriteWholeFile(("PlugIns/" + std::string(name)).c_str(), "");
    }
    ASSERT_EQ(mkdir("PlugIns/d.dl_", 0777), 0);  // not a file

    StringArray names;
    names.Add("stale");
    ASSERT_TRUE(vpath::ListFiles("plugins\\", "*.dl_", names));
    EXPECT_EQ(Names(names), (std::vector<std::string>{"A.dl_", "b.DL_", "c.dl_"}));
    ASSERT_TRUE(vpath::ListFiles("PLUGINS", "?.*", names));
    EXPECT_EQ(Names(names),
              (std::vector<std::string>{"A.dl_", "b.DL_", "c.dl_", "C.txt", "x.dl_.bak"}));
    ASSERT_TRUE(vpath::ListFiles("PlugIns\\", "*d*l*_", names));
    EXPECT_EQ(Names(names), (std::vector<std::string>{"A.dl_", "b.DL_", "c.dl_", "dl_"}));
    EXPECT_FALSE(vpath::ListFiles("NoSuchDir\\", "*", names));
}

TEST_F(PathTest, FileInfoGivesSizeAndModificationTime) {
    time_t before = time(nullptr);
    WriteWholeFile("Sub/five", "12345");
    int64_t modified = 0;
    uint32_t size = 0;
    ASSERT_TRUE(vpath::GetFileInfo("sub\\FIVE", modified, size));
    EXPECT_EQ(size, 5u);
    EXPECT_GE(modified / 1000000000, static_cast<int64_t>(before) - 2);
    EXPECT_LE(modified / 1000000000, static_cast<int64_t>(time(nullptr)) + 2);
    EXPECT_FALSE(vpath::GetFileInfo("sub\\six", modified, size));

    // The remembered native form is resolved again once it names nothing.
    vpath::ResolvedPath resolved;
    ASSERT_TRUE(resolved.GetFileInfo("sub\\FIVE", modified, size));
    ASSERT_EQ(rename("Sub/five", "Sub/FIVE"), 0);
    ASSERT_TRUE(resolved.GetFileInfo("sub\\FIVE", modified, size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(resolved.GetFileInfo("sub\\six", modified, size));
}

TEST(PathPlatformTest, ClocksAndExecutableDirectory) {
    uint32_t t0 = vpath::TickCount();
    usleep(30000);
    uint32_t elapsed = vpath::TickCount() - t0;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);

    struct tm now;
    vpath::LocalTime(now);
    EXPECT_GE(now.tm_year, 120);

    OTSTR dir = vpath::ExecutableDirectory();
    ASSERT_GT(dir.GetLength(), 1);
    EXPECT_EQ(dir.GetAt(dir.GetLength() - 1), '\\');
    EXPECT_TRUE(vpath::IsDirectory(dir.GetBuffer()));
}

}  // namespace
