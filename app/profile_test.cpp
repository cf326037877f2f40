// Tests of the settings file (app/profile.cpp) and of the application
// settings kept in it (app/app_settings.cpp).
#include "app/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "app/app_settings.h"
#include "base/scratch_dir.h"

namespace {

using ProfileTest = ScratchDirTest;

std::string Get(const Profile& p, const char* section, const char* key, const char* def) {
    OTSTR out;
    p.GetString(section, key, def, out);
    return std::string(out.GetBuffer(), out.GetLength());
}

const char kSample[] =
    "; settings\n"
    "[Setting]\n"
    "LastBrowseDir = C:\\scripts\\main.txt  \n"
    "  CommentMode=2\n"
    "Empty=\n"
    "NoEquals\n"
    "[Other]\n"
    "CommentMode=7\n"
    "\t[ SPACED ]  \n"
    "Key\t=\tvalue with  inner  blanks\t\n"
    "[Setting]\n"
    "Later=from the second header\n";

TEST_F(ProfileTest, ReadsStrings) {
    WriteWholeFile("Vantor.ini", kSample);
    Profile p;
    struct {
        const char *section, *key, *def, *expected;
    } cases[] = {
        {"Setting", "LastBrowseDir", "d", "C:\\scripts\\main.txt"},
        {"SETTING", "lastbrowsedir", "d", "C:\\scripts\\main.txt"},
        {"setting", "CommentMode", "d", "2"},
        {"Other", "commentmode", "d", "7"},
        {"Setting", "Empty", "d", ""},
        {"Setting", "NoEquals", "d", "d"},  // not a key line
        {"Setting", "Missing", "d", "d"},
        {"Setting", "Missing", nullptr, ""},
        {"Nowhere", "CommentMode", "d", "d"},
        {"spaced", "KEY", "d", "value with  inner  blanks"},
        {" Spaced ", " key ", "d", "value with  inner  blanks"},
        {"Setting", "Later", "d", "from the second header"},  // a repeated section
        {"Setting", "; settings", "d", "d"},                  // comments are not keys
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, Get(p, c.section, c.key, c.def)) << c.section << "/" << c.key;
    }
}

TEST_F(ProfileTest, MissingFileGivesDefaults) {
    Profile p("Absent.ini");
    EXPECT_EQ("fallback", Get(p, "Setting", "Key", "fallback"));
    EXPECT_EQ(-5, p.GetInt("Setting", "Key", -5));
}

TEST_F(ProfileTest, ReadsIntegers) {
    struct {
        const char* value;
        int32_t expected;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"  +17  ", 17},
        {"-3", -3},
        {"12abc", 12},
        {"1 2", 1},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"0x10", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999999999", INT32_MAX},
        {"-99999999999999999999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        WriteWholeFile("Vantor.ini", std::string("[S]\nN=") + c.value + "\n");
        EXPECT_EQ(c.expected, Profile().GetInt("S", "N", 99)) << "'" << c.value << "'";
    }
    EXPECT_EQ(99, Profile().GetInt("S", "Other", 99));
}

TEST_F(ProfileTest, WritingKeepsEveryOtherLine) {
    WriteWholeFile("Vantor.ini",
                   "; head comment\r\n"
                   "[Setting]\r\n"
                   "A=1\r\n"
                   "; inside\r\n"
                   "b = 2\r\n"
                   "\r\n"
                   "[Settings]\r\n"
                   "X=y");
    Profile p;
    ASSERT_TRUE(p.WriteString("SETTING", "B", "two"));
    EXPECT_EQ("; head comment\n[Setting]\nA=1\n; inside\nB=two\n\n[Settings]\nX=y\n",
              ReadWholeFile("Vantor.ini"));

    // A new key goes after the last line of its section, before the blank.
    ASSERT_TRUE(p.WriteInt("setting", "C", -12));
    // A new section goes at the end.
    ASSERT_TRUE(p.WriteString("New", "K", "  v  "));
    EXPECT_EQ(
        "; head comment\n[Setting]\nA=1\n; inside\nB=two\nC=-12\n\n[Settings]\nX=y\n"
        "[New]\nK=v\n",
        ReadWholeFile("Vantor.ini"));
    EXPECT_EQ(-12, p.GetInt("Setting", "c", 0));
    EXPECT_EQ("v", Get(p, "new", "k", ""));
}

TEST_F(ProfileTest, WritingCreatesTheFile) {
    Profile p("Fresh.ini");
    ASSERT_TRUE(p.WriteString("Setting", "Key", "value"));
    ASSERT_TRUE(p.WriteString("Setting", "Key", nullptr));
    EXPECT_EQ("[Setting]\nKey=\n", ReadWholeFile("Fresh.ini"));
}

TEST_F(ProfileTest, RefusesWhatCannotBeReadBack) {
    WriteWholeFile("Vantor.ini", "[S]\nA=1\n");
    Profile p;
    EXPECT_FALSE(p.WriteString("S", "", "v"));
    EXPECT_FALSE(p.WriteString("S", nullptr, "v"));
    EXPECT_FALSE(p.WriteString("S", "a=b", "v"));
    EXPECT_FALSE(p.WriteString("S", "line\nbreak", "v"));
    EXPECT_FALSE(p.WriteString("S", ";comment", "v"));
    EXPECT_FALSE(p.WriteString("S]", "k", "v"));
    EXPECT_FALSE(p.WriteString(nullptr, "k", "v"));
    EXPECT_EQ("[S]\nA=1\n", ReadWholeFile("Vantor.ini"));

    // A value stops at its first line end.
    ASSERT_TRUE(p.WriteString("S", "A", "first\r\n[Injected]\nB=2"));
    EXPECT_EQ("[S]\nA=first\n", ReadWholeFile("Vantor.ini"));
}

TEST_F(ProfileTest, UnwritableFileFails) {
    ASSERT_EQ(mkdir("Dir.ini", 0777), 0);
    Profile p("Dir.ini");
    EXPECT_FALSE(p.WriteString("S", "K", "v"));
    EXPECT_EQ("d", Get(p, "S", "K", "d"));
    Profile q("NoSuchDir\\x.ini");
    EXPECT_FALSE(q.WriteInt("S", "K", 1));
}

TEST_F(ProfileTest, HostileBytes) {
    const std::string huge(3 * 1024 * 1024, 'x');
    const std::string files[] = {
        std::string("[S]\0\nA=1\0tail\n\0\0\0", 17),
        "[S\nA=1",                     // unterminated header, no final line end
        "\r\r\n[S]\r\r\nA=1\r",        // stray CRs
        "[S]\n" + huge + "\nA=1\n",    // a line of megabytes
        "[S]\nA=" + huge,              // a huge value
        "=\n[]\n=\n[S]\n===\nA==1\n",  // empty names
        std::string("\xff\xfe[S]\n\x80=\x81\nA=1\n"),
        "",
        "\n\n\n",
    };
    for (const std::string& file : files) {
        WriteWholeFile("Vantor.ini", file);
        Profile p;
        OTSTR out;
        p.GetString("S", "A", "d", out);
        (void)p.GetInt("S", "A", 0);
        ASSERT_TRUE(p.WriteString("S", "B", "2"));
        EXPECT_EQ(2, p.GetInt("S", "B", 0));
        EXPECT_EQ("d", Get(p, "S", "Missing", "d"));
    }
    // Bytes that are not blanks or line ends are kept as they were.
    WriteWholeFile("Vantor.ini", std::string("[S]\nA=1\0x\n", 10));
    Profile p;
    EXPECT_EQ(std::string("1\0x", 3), Get(p, "S", "A", ""));
    ASSERT_TRUE(p.WriteString("S", "B", "2"));
    EXPECT_EQ(std::string("[S]\nA=1\0x\nB=2\n", 14), ReadWholeFile("Vantor.ini"));
}

// Every setting with its key and default, for the checks below.
struct SettingField {
    int32_t AppSettings::*field;
    const char* section;
    const char* key;
    int32_t def;
} const kFields[] = {
    {&AppSettings::expendTypeOF, "Setting", "ExpendTypeOF", 0},
    {&AppSettings::commentMode, "Setting", "CommentMode", 0},
    {&AppSettings::showNameColumn, "Setting", "ShowNameColumn", 1},
    {&AppSettings::displayTreeMode, "Setting", "DisplayTreeMode", 1},
    {&AppSettings::columnAutoFit, "Setting", "ColumnAutoFit", 0},
    {&AppSettings::showDescriptionColumn, "Setting", "ShowDescriptionColumn", 1},
    {&AppSettings::fontMode, "Setting", "FontMode", 1},
    {&AppSettings::appFirstLoad, "Setting", "AppFirstLoad", 1},
    {&AppSettings::msgListBufSizeMb, "Setting", "MsgListBufSizeMb", 1},
    {&AppSettings::activePanel, "Settings", "ActivePanel", 0},
};

TEST_F(ProfileTest, SettingsDefaults) {
    AppSettings s;
    for (const auto& f : kFields) s.*f.field = 2;
    s.lastBrowseDir = "x";
    s.Load(Profile("Absent.ini"));
    EXPECT_STREQ("", s.lastBrowseDir.GetBuffer());
    for (const auto& f : kFields) EXPECT_EQ(f.def, s.*f.field) << f.key;
}

TEST_F(ProfileTest, SettingsRoundTripAndSections) {
    Profile p;
    AppSettings s;
    s.lastBrowseDir = "script\\TCP_UDP\\main.txt";
    for (const auto& f : kFields) s.*f.field = 1 - f.def;
    s.msgListBufSizeMb = 16;
    ASSERT_TRUE(s.Save(p));
    EXPECT_EQ(
        0u,
        ReadWholeFile("Vantor.ini").find("[Setting]\nLastBrowseDir=script\\TCP_UDP\\main.txt\n"));
    for (const auto& f : kFields) {
        EXPECT_EQ(s.*f.field, p.GetInt(f.section, f.key, 99)) << f.key;
    }

    AppSettings t;
    t.Load(p);
    EXPECT_STREQ("script\\TCP_UDP\\main.txt", t.lastBrowseDir.GetBuffer());
    for (const auto& f : kFields) EXPECT_EQ(s.*f.field, t.*f.field) << f.key;

    t.expendTypeOF = 0;
    t.commentMode = 2;
    ASSERT_TRUE(t.SaveTranslateOptions(p));
    EXPECT_EQ(0, p.GetInt("Setting", "ExpendTypeOF", 9));
    EXPECT_EQ(2, p.GetInt("Setting", "CommentMode", 9));
}

TEST_F(ProfileTest, SettingsRanges) {
    struct {
        const char* file;
        int32_t commentMode, bufSize, activePanel, treeMode;
    } cases[] = {
        {"[Setting]\nCommentMode=3\nMsgListBufSizeMb=0\n", 0, 1, 0, 1},
        {"[Setting]\nCommentMode=-1\nMsgListBufSizeMb=-7\n", 0, 1, 0, 1},
        {"[setting]\ncommentmode=2\nmsglistbufsizemb=1024\n", 2, 1024, 0, 1},
        {"[SETTING]\nMsgListBufSizeMb=1025\nDisplayTreeMode=5\n", 0, 1024, 0, 5},
        {"[Setting]\nMsgListBufSizeMb=99999999999\n[Settings]\nActivePanel=2\n", 0, 1024, 0, 1},
        {"[Setting]\nActivePanel=1\n", 0, 1, 0, 1},  // ActivePanel lives in "Settings"
        {"[Settings]\nActivePanel=1\nCommentMode=2\n", 0, 1, 1, 1},
    };
    for (const auto& c : cases) {
        WriteWholeFile("Vantor.ini", c.file);
        AppSettings s;
        s.Load(Profile());
        EXPECT_EQ(c.commentMode, s.commentMode) << c.file;
        EXPECT_EQ(c.bufSize, s.msgListBufSizeMb) << c.file;
        EXPECT_EQ(c.activePanel, s.activePanel) << c.file;
        EXPECT_EQ(c.treeMode, s.displayTreeMode) << c.file;
    }
}

}  // namespace
