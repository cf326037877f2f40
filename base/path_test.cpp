// Tests of the platform layer: path resolution without regard to case,
// text-mode reading, directory listing, file information and the clocks.
#include "base/path.h"

#include <sys/stat.h>
#include <unistd.h>

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
    fclose(f);
    return out;
}

bool IsDir(const char* name) {
    struct stat st;
    return stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> Names(StringArray& a) {
    std::vector<std::string> out;
    for (int i = 0; i < a.GetSize(); ++i) out.push_back(a.GetAt(i).GetBuffer());
    return out;
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

TEST_F(PathTest, CreatesFilesAndDirectoriesUnderTheGivenName) {
    FILE* f = vpath::OpenFile("DUMP\\Tran", "w");
    ASSERT_NE(f, nullptr);
    fputs("r1", f);
    fclose(f);
    f = vpath::OpenFile("dump\\TRAN", "a");  // now an entry matches
    ASSERT_NE(f, nullptr);
    fputs("r2", f);
    fclose(f);
    EXPECT_EQ(ReadWholeFile("dump/Tran"), "r1r2");
    EXPECT_TRUE(vpath::FileExists("Dump\\tran"));

    EXPECT_FALSE(vpath::MakeDirectory("Dump")) << "exists as dump";
    EXPECT_TRUE(vpath::MakeDirectory("Dump\\NewDir"));
    EXPECT_TRUE(IsDir("dump/NewDir"));
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

TEST_F(PathTest, TextModeFoldsCrLfAndBinaryKeepsEveryByte) {
    std::string raw, folded;
    for (int i = 0; i < 700; ++i) {  // CR LF pairs fall on every chunk boundary
        raw += "line\r\n";
        folded += "line\n";
    }
    raw += "a\r\rb\r\n\r\nc\r";
    folded += "a\r\rb\n\nc\r";
    WriteWholeFile("Sub/W.TXT", raw);

    FILE* f = vpath::OpenFile("sub\\w.txt", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), folded);
    f = vpath::OpenFile("sub\\w.txt", "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), folded);
    f = vpath::OpenFile("sub\\w.txt", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), raw);

    f = vpath::OpenFile("sub\\w.txt", "r");
    ASSERT_NE(f, nullptr);
    char line[64];
    int lines = 0;
    while (fgets(line, sizeof line, f) != nullptr) {
        if (lines++ == 0) {
            EXPECT_STREQ(line, "line\n");
        }
    }
    EXPECT_EQ(lines, 703);
    rewind(f);
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "line\n");
    fclose(f);

    OTSTR text;
    ASSERT_TRUE(vpath::ReadFile("SUB\\W.txt", true, text));
    EXPECT_EQ(std::string(text.GetBuffer(), text.GetLength()), folded);
    ASSERT_TRUE(vpath::ReadFile("SUB\\W.txt", false, text));
    EXPECT_EQ(std::string(text.GetBuffer(), text.GetLength()), raw);
    WriteWholeFile("empty", "");
    EXPECT_TRUE(vpath::ReadFile("EMPTY", true, text));
    EXPECT_EQ(text.GetLength(), 0);
    EXPECT_FALSE(vpath::ReadFile("absent", true, text));
}

// A script may name any path in an #include: a device without end, a pipe
// without writer or a directory must fail at once.
TEST_F(PathTest, ReadFileTakesRegularFilesOnly) {
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    ASSERT_EQ(mkdir("dir", 0777), 0);
    OTSTR text;
    for (const char* path : {"/dev/zero", "PIPE", "dir", "\\dev\\zero"}) {
        EXPECT_FALSE(vpath::ReadFile(path, true, text)) << path;
        EXPECT_EQ(text.GetLength(), 0) << path;
    }
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
