// Tests of the settings file (app/profile.cpp) and of the application
// settings kept in it (app/app_settings.cpp).
#include "app/profile.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "app/app_settings.h"
#include "base/scratch_dir.h"

namespace {

using ProfileTest = ScratchDirTest;

std::string Get(const Profile& p, const char* section, const char* key, const char* def) {
    OTSTR out;
    p.GetString(section, key, def, out);
    return std::string(out.GetBuffer(), out.GetLength());
}

TEST_F(ProfileTest, Reads) {
    WriteWholeFile("Vantor.ini",
                   "[Setting]\n; c=1\nLastBrowseDir = C:\\scripts\\main.txt  \n"
                   "  CommentMode=2\nEmpty=\nNoEquals\n[Other]\nCommentMode=7\n"
                   "\t[ SPACED ]  \nKey\t=\tvalue with  inner  blanks\t\n"
                   "[Setting]\nCommentMode=9\nLater=from the second header\n"
                   "[S]\nA=42\nB=  +17  \nC=-3\nD=12abc\nE=abc\nF=\nG=-\nH=0x10\nI=2147483647\n"
                   "J=2147483648\nK=-2147483648\nL=-2147483649\nM=99999999999999999999\n");
    // Section, key, default, expected value.
    const char* const cases[][4] = {
        {"Setting", "LastBrowseDir", "d", "C:\\scripts\\main.txt"},
        {"setting", "CommentMode", "d", "2"},  // the first of a repeated section
        {"Other", "commentmode", "d", "7"},
        {"Setting", "Empty", "d", ""},
        {"Setting", "NoEquals", "d", "d"},  // not a key line
        {"Setting", "Missing", nullptr, ""},
        {"Nowhere", "CommentMode", "d", "d"},
        {" Spaced ", " key ", "d", "value with  inner  blanks"},
        {"Setting", "Later", "d", "from the second header"},
        {"Setting", "; c", "d", "d"},  // comments are not keys
    };
    Profile p;
    for (const auto& c : cases) EXPECT_EQ(c[3], Get(p, c[0], c[1], c[2])) << c[0] << "/" << c[1];
    const int32_t integers[] = {42, 17,        -3,        12,        0,         0,         0,
                                0,  INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, 99};
    for (char key[] = "A"; key[0] <= 'N'; ++key[0])  // N is missing
        EXPECT_EQ(integers[key[0] - 'A'], p.GetInt("S", key, 99)) << key;
}

TEST_F(ProfileTest, WritingKeepsEveryOtherLine) {
    WriteWholeFile("Vantor.ini",
                   "; head\r\n[Setting]\r\nA=1\r\n; inside\r\nb = 2\r\n\r\n"
                   "[Settings]\r\nX=y\r\n[setting]\r\nB=late");
    Profile p;
    ASSERT_TRUE(p.WriteString("SETTING", "B", "two"));  // in its place, in the first section
    ASSERT_TRUE(p.WriteInt("setting", "C", -12));       // after its last line
    ASSERT_TRUE(p.WriteString("New", "K", "  v  "));    // a new section at the end
    // Names that would not read back are refused; a value stops at its first line end.
    const char* const bad[][2] = {
        {"S", ""},         {"S", nullptr}, {"S", "a=b"},  {"S", "line\nbreak"},
        {"S", ";comment"}, {"S]", "k"},    {nullptr, "k"}};
    for (const auto& b : bad) EXPECT_FALSE(p.WriteString(b[0], b[1], "v")) << b[0] << "/" << b[1];
    ASSERT_TRUE(p.WriteString("New", "L", "first\r\n[Injected]\nB=2"));
    ASSERT_TRUE(p.WriteString("New", "M", nullptr));
    EXPECT_EQ(
        "; head\n[Setting]\nA=1\n; inside\nB=two\nC=-12\n\n[Settings]\nX=y\n[setting]\nB=late\n"
        "[New]\nK=v\nL=first\nM=\n",
        ReadWholeFile("Vantor.ini"));

    ASSERT_EQ(mkdir("Dir.ini", 0777), 0);
    EXPECT_FALSE(Profile("Dir.ini").WriteString("S", "K", "v"));
    EXPECT_EQ("d", Get(Profile("Dir.ini"), "S", "K", "d"));
    EXPECT_FALSE(Profile("NoSuchDir\\x.ini").WriteInt("S", "K", 1));
}

TEST_F(ProfileTest, HostileBytes) {
    const std::string longLine(100 * 1024, 'x');
    std::string keys = "[S]\n";
    for (int i = 0; i < 1000000; ++i) keys += "k=v\n";
    // NULs, an unterminated header without a final line end, stray CRs, long lines (no line
    // buffer of a fixed size), empty names, bytes that are not ASCII.
    const std::string files[] = {std::string("[S]\0\nA=1\0tail\n\0\0\0", 17), "[S\nA=1",
                                 "\r\r\n[S]\r\r\nA=1\r", "[S]\n" + longLine + "\nA=1\n",
                                 "[S]\nA=" + longLine, "=\n[]\n=\n[S]\n===\nA==1\n",
                                 "\xff\xfe[S]\n\x80=\x81\nA=1\n", "",
                                 // 10 MB of line breaks; a million keys.
                                 std::string(10 * 1024 * 1024, '\n') + "[S]\nA=1", keys};
    for (const std::string& file : files) {
        WriteWholeFile("Vantor.ini", file);
        Profile p;
        Get(p, "S", "A", "d");
        ASSERT_TRUE(p.WriteString("S", "B", "2"));
        EXPECT_EQ(2, p.GetInt("S", "B", 0));
        EXPECT_EQ("d", Get(p, "S", "Missing", "d"));
    }
    // Bytes that are not blanks or line ends are kept as they were.
    WriteWholeFile("Vantor.ini", std::string("[S]\nA=1\0x\n", 10));
    EXPECT_EQ(std::string("1\0x", 3), Get(Profile(), "S", "A", ""));
    ASSERT_TRUE(Profile().WriteString("S", "B", "2"));
    EXPECT_EQ(std::string("[S]\nA=1\0x\nB=2\n", 14), ReadWholeFile("Vantor.ini"));
}

// Opens of the file at path while one lives.
struct OpenCounter {
    explicit OpenCounter(const char* path) { inotify_add_watch(fd, path, IN_OPEN); }
    ~OpenCounter() { close(fd); }
    int Count() {
        int opens = 0;
        alignas(inotify_event) char buf[4096];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
            for (auto* e = reinterpret_cast<inotify_event*>(buf); (char*)e < buf + n;
                 e = reinterpret_cast<inotify_event*>(e->name + e->len))
                opens += (e->mask & IN_OPEN) != 0;
        return opens;
    }
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
};

// The file is read once, however many keys are read or written, until it
// changes on disk or another Profile writes it.
TEST_F(ProfileTest, ReadsTheFileOnceUntilItChanges) {
    WriteWholeFile("Vantor.ini", std::string(1024 * 1024, '\n') + "[Setting]\nCommentMode=2\n");
    Profile p;
    OpenCounter opens("Vantor.ini");
    AppSettings s;
    s.Load(p);
    EXPECT_EQ(2, s.commentMode);
    EXPECT_EQ(1, opens.Count());
    ASSERT_TRUE(p.WriteInt("Setting", "FontMode", 0));  // replaces the file
    OpenCounter reopens("Vantor.ini");
    s.Load(p);
    EXPECT_EQ(0, s.fontMode);
    ASSERT_TRUE(p.WriteInt("Setting", "FontMode", 0));  // no change, nothing written
    EXPECT_EQ(0, reopens.Count());
    // Changed on disk, by another program or another Profile.
    WriteWholeFile("Vantor.ini", "[Setting]\nCommentMode=1\n");
    EXPECT_EQ(1, p.GetInt("Setting", "CommentMode", -1));
    ASSERT_TRUE(Profile().WriteInt("Setting", "CommentMode", 0));
    EXPECT_EQ(0, p.GetInt("Setting", "CommentMode", -1));
    ASSERT_TRUE(p.WriteInt("Setting", "FontMode", 1));
    EXPECT_EQ("[Setting]\nCommentMode=0\nFontMode=1\n", ReadWholeFile("Vantor.ini"));
}

// Every setting, with values apart from the defaults, as Save writes them.
const char kAllSettings[] =
    "[Setting]\nLastBrowseDir=script\\TCP_UDP\\main.txt\nExpendTypeOF=2\nCommentMode=1\n"
    "ShowNameColumn=3\nDisplayTreeMode=4\nColumnAutoFit=5\nShowDescriptionColumn=6\nFontMode=7\n"
    "AppFirstLoad=8\nMsgListBufSizeMb=16\n[Settings]\nActivePanel=1\n";

TEST_F(ProfileTest, SettingsRoundTripDefaultsAndRanges) {
    WriteWholeFile("All.ini", kAllSettings);
    AppSettings s;
    s.Load(Profile("All.ini"));
    Profile out("Out.ini");
    ASSERT_TRUE(s.Save(out));
    EXPECT_EQ(kAllSettings, ReadWholeFile("Out.ini"));
    // The translate options alone.
    s.expendTypeOF = 0;
    s.commentMode = 2;
    ASSERT_TRUE(s.SaveTranslateOptions(out));
    std::string expected = kAllSettings;
    expected.replace(expected.find("ExpendTypeOF=2\nCommentMode=1"), 28,
                     "ExpendTypeOF=0\nCommentMode=2");
    EXPECT_EQ(expected, ReadWholeFile("Out.ini"));

    // A missing file gives the defaults, whatever was loaded before.
    s.Load(Profile("Absent.ini"));
    Profile defaults("Defaults.ini");
    ASSERT_TRUE(s.Save(defaults));
    EXPECT_EQ(
        "[Setting]\nLastBrowseDir=\nExpendTypeOF=0\nCommentMode=0\nShowNameColumn=1\n"
        "DisplayTreeMode=1\nColumnAutoFit=0\nShowDescriptionColumn=1\nFontMode=1\n"
        "AppFirstLoad=1\nMsgListBufSizeMb=1\n[Settings]\nActivePanel=0\n",
        ReadWholeFile("Defaults.ini"));
    // The file, then CommentMode, MsgListBufSizeMb, ActivePanel and DisplayTreeMode as loaded.
    // ActivePanel lives in "Settings"; the on/off settings keep any number.
    const std::tuple<const char*, int32_t, int32_t, int32_t, int32_t> cases[] = {
        {"[Setting]\nCommentMode=3\nMsgListBufSizeMb=0\nActivePanel=1\n", 0, 1, 0, 1},
        {"[Setting]\nCommentMode=-1\nMsgListBufSizeMb=-7\n[Settings]\nActivePanel=2\n", 0, 1, 0, 1},
        {"[setting]\ncommentmode=2\nmsglistbufsizemb=1024\n", 2, 1024, 0, 1},
        {"[SETTING]\nMsgListBufSizeMb=1025\nDisplayTreeMode=5\n", 0, 1024, 0, 5},
        {"[Settings]\nActivePanel=1\nCommentMode=2\n", 0, 1, 1, 1},
    };
    for (const auto& c : cases) {
        WriteWholeFile("Vantor.ini", std::get<0>(c));
        s.Load(Profile());
        EXPECT_EQ(c, std::make_tuple(std::get<0>(c), s.commentMode, s.msgListBufSizeMb,
                                     s.activePanel, s.displayTreeMode));
    }
}

}  // namespace
