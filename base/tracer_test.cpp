// Tests of the trace log: Tracer, LogFile and DumpFile, with a fixed clock
// so that stamps and dated names compare as golden texts.
#include "base/tracer.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/dump_file.h"
#include "base/log_file.h"
#include "base/scratch_dir.h"

namespace {

// 6 December 2026, 01:27:46.
void FixedClock(struct tm& out) {
    out = {};
    out.tm_year = 126;
    out.tm_mon = 11;
    out.tm_mday = 6;
    out.tm_hour = 1;
    out.tm_min = 27;
    out.tm_sec = 46;
}

const std::string kBegin = "LOG BEGIN :  26-12-06 01:27:46\n\n";
const std::string kEnd = "\nLOG END   :  26-12-06 01:27:46";

bool Exists(const char* name) {
    struct stat st;
    return stat(name, &st) == 0;
}

class RecordingTracer : public Tracer {
  public:
    void lock() override { ++locks; }
    void unlock() override { ++unlocks; }
    void output(const char* text) override { pieces.push_back(text); }

    std::vector<std::string> pieces;
    int locks = 0;
    int unlocks = 0;
};

class TraceTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        logstamp::SetClock(FixedClock);
    }
    void TearDown() override {
        Tracer::destroy();
        logstamp::SetClock(nullptr);
    }
};

using TracerTest = TraceTest;
using LogFileTest = TraceTest;
using DumpFileTest = TraceTest;

TEST_F(TracerTest, WithoutAFileNameOnlyTheConsoleGetsTextsUninterpreted) {
    RecordingTracer t;
    EXPECT_TRUE(t.open(nullptr, nullptr));
    EXPECT_FALSE(t.IsFileOn());
    t.TRACE_("100% %s %n", true);
    t.TRACE_("no end", false);
    t.TRACEF("x=%d", 5);
    t.close();
    EXPECT_EQ(t.pieces, (std::vector<std::string>{"100% %s %n", "\n", "no end", "x=5\n"}));
    EXPECT_EQ(t.locks, 3);
    EXPECT_EQ(t.unlocks, 3);
    EXPECT_EQ(CountEntries("."), 0);

    t.SetConsoleOn(false);
    t.TRACE_("quiet", true);
    t.TRACEF("quiet");
    EXPECT_EQ(t.pieces.size(), 4u);
    EXPECT_EQ(t.locks, 3);
}

TEST_F(TracerTest, OpenOverwritesFirstFileCachesLinesAndEndsWithStamp) {
    WriteWholeFile("Trace0.txt", "an older run\n");
    {
        RecordingTracer t;
        ASSERT_TRUE(t.open(nullptr, "Trace"));
        EXPECT_TRUE(t.IsFileOn());
        EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin);

        t.TRACE_("50% done", true);
        t.TRACEF("n=%d", 7);
        EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin) << "lines wait in the cache";
        t.close();
        EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin + "50% done\nn=7\n");
        t.TRACE_("later", false);
        EXPECT_EQ(t.pieces, (std::vector<std::string>{"50% done", "\n", "n=7\n", "later"}));
    }
    EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin + "50% done\nn=7\nlater" + kEnd);
    EXPECT_FALSE(Exists("Trace1.txt"));
}

TEST_F(TracerTest, DestroyEndsTheFileAndInstStartsAfresh) {
    Tracer* a = Tracer::inst();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Tracer::inst(), a);
    a->SetConsoleOn(false);
    a->open(nullptr, "Run");
    a->TRACE_("x", true);
    // The engine's helpers: a text as it is, and a formatted line cut at
    // 1023 characters.
    TraceText("100% %s");
    TraceLine("%s!", std::string(2000, 'y').c_str());
    Tracer::destroy();
    EXPECT_EQ(ReadWholeFile("Run0.txt"),
              kBegin + "x\n100% %s\n" + std::string(1023, 'y') + "\n" + kEnd);

    Tracer* b = Tracer::inst();
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->IsFileOn());
    EXPECT_TRUE(b->IsConsoleOn());
}

TEST_F(TracerTest, RotatesToTheNextFileAtFiveMegabytes) {
    const long kLimit = 0x500000;
    RecordingTracer t;
    t.SetConsoleOn(false);
    t.open(nullptr, "Trace");
    std::string line(1023, 'z');
    for (int i = 0; i < 5200 && !Exists("Trace1.txt"); ++i) t.TRACE_(line.c_str(), true);
    ASSERT_TRUE(Exists("Trace1.txt"));
    EXPECT_EQ(ReadWholeFile("Trace1.txt"), kBegin);
    std::string first = ReadWholeFile("Trace0.txt");
    EXPECT_GT(static_cast<long>(first.size()), kLimit - 1024);
    EXPECT_LE(first.size(), kLimit + kEnd.size());
    EXPECT_EQ(first.substr(first.size() - kEnd.size()), kEnd);
}

TEST_F(LogFileTest, RotatesThroughTheLettersAndBackToTheFirst) {
    LogFile log;
    ASSERT_TRUE(log.SetLetterNaming("Trace", "txt", '9', '0'));  // the lower letter comes first
    ASSERT_TRUE(log.SetWriteMode(true, 100));
    ASSERT_TRUE(log.Start());
    EXPECT_FALSE(log.Start());
    EXPECT_FALSE(log.SetWriteMode(true, 1000));
    EXPECT_FALSE(log.SetLetterNaming("X", "txt", 'a', 'b'));

    // Each 40-character line fits beside the 32-character begin stamp, but
    // two do not, so every file gets one line.
    std::vector<std::string> lines;
    for (int i = 0; i <= 10; ++i) {
        std::string head = (i < 10 ? "line0" : "line") + std::to_string(i);
        lines.push_back(head + std::string(34, '.'));
        log.Write(lines.back().c_str());
    }
    EXPECT_TRUE(log.Flush());
    EXPECT_STREQ(log.GetCurrentName().GetBuffer(), "Trace0.txt");
    EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin + lines[10]);
    for (int i = 1; i <= 9; ++i) {
        std::string name = "Trace" + std::to_string(i) + ".txt";
        EXPECT_EQ(ReadWholeFile(name.c_str()), kBegin + lines[i] + kEnd) << name;
    }
    EXPECT_EQ(CountEntries("."), 10);
}

TEST_F(LogFileTest, CacheHoldsExactly16384CharactersAndLongerTextsGoStraightThrough) {
    LogFile log;
    log.SetLetterNaming("L", "txt", 'a', 'a');
    log.Start();
    std::string a(16384, 'a'), c(20000, 'c');
    log.Write(a.c_str() + 1);
    log.Write("a");  // exactly fills what is left
    EXPECT_EQ(ReadWholeFile("La.txt"), kBegin);
    EXPECT_EQ(log.GetCacheLength(), 16384);
    log.Write("b");
    EXPECT_EQ(ReadWholeFile("La.txt"), kBegin + a);
    EXPECT_EQ(log.GetCacheLength(), 1);
    log.Write(c.c_str());
    EXPECT_EQ(ReadWholeFile("La.txt"), kBegin + a + "b" + c);
    EXPECT_EQ(log.GetCacheLength(), 0);
    EXPECT_EQ(log.GetFileSize(), kBegin.size() + a.size() + 1 + c.size());
}

TEST_F(LogFileTest, UnbufferedWritesAtOnceAndRotatesBySize) {
    LogFile log;
    log.SetLetterNaming("U", "log", '0', '1');
    log.SetWriteMode(false, 80);
    log.Start();
    std::string x(30, 'x'), y(30, 'y'), z(10, 'z');
    log.Write(x.c_str());
    EXPECT_EQ(ReadWholeFile("U0.log"), kBegin + x);
    log.Write(y.c_str());  // 62 + 30 reaches 80
    EXPECT_EQ(ReadWholeFile("U0.log"), kBegin + x + kEnd);
    EXPECT_EQ(ReadWholeFile("U1.log"), kBegin + y);
    log.Write(z.c_str());
    EXPECT_EQ(ReadWholeFile("U1.log"), kBegin + y + z);
}

TEST_F(LogFileTest, FailedOpenKeepsTheCacheForTheNextWrite) {
    LogFile log;
    log.Write("before start");
    EXPECT_FALSE(log.Start()) << "no naming set";
    log.SetLetterNaming("sub\\T", "txt", '0', '0');
    EXPECT_TRUE(log.Start());
    log.Write("one,");
    EXPECT_FALSE(log.Flush());
    ASSERT_EQ(mkdir("sub", 0777), 0);
    log.Write("two");
    EXPECT_TRUE(log.Flush());
    EXPECT_EQ(ReadWholeFile("sub/T0.txt"), kBegin + "one,two");
}

TEST_F(LogFileTest, StampsAndDatedNames) {
    struct Case {
        int year, month, day, hour, minute, second;
        const char* name;
        const char* stamp;
    } cases[] = {
        {2026, 12, 6, 1, 27, 46, "P26C06_012746.log", "26-12-06 01:27:46"},
        {2009, 1, 31, 23, 59, 59, "P09131_235959.log", "09-01-31 23:59:59"},
    };
    for (const Case& c : cases) {
        struct tm t = {};
        t.tm_year = c.year - 1900;
        t.tm_mon = c.month - 1;
        t.tm_mday = c.day;
        t.tm_hour = c.hour;
        t.tm_min = c.minute;
        t.tm_sec = c.second;
        EXPECT_STREQ(logstamp::DatedName("P", "log", t).GetBuffer(), c.name);
        char text[logstamp::kStampRoom];
        logstamp::BeginStamp(t, text);
        EXPECT_EQ(text, "LOG BEGIN :  " + std::string(c.stamp) + "\n\n");
        logstamp::EndStamp(t, true, text);
        EXPECT_EQ(text, "\nLOG END   :  " + std::string(c.stamp) + "\n");
    }

    LogFile log;
    ASSERT_TRUE(log.SetDateNaming("P", "log"));
    ASSERT_TRUE(log.Start());
    EXPECT_EQ(ReadWholeFile("P26C06_012746.log"), kBegin);
}

TEST_F(DumpFileTest, StampedTruncatesAndUnstampedAppends) {
    WriteWholeFile("d.txt", "old\n");
    {
        DumpFile d("d.txt", false, false);
        d.Write("a");
        EXPECT_EQ(ReadWholeFile("d.txt"), "old\na");
    }
    EXPECT_EQ(ReadWholeFile("d.txt"), "old\na");
    {
        DumpFile d("d.txt", true, true);
        EXPECT_EQ(ReadWholeFile("d.txt"), kBegin);
        d.Write("x");
        d.WriteF("%d%%", 5);
        EXPECT_EQ(ReadWholeFile("d.txt"), kBegin);
    }
    EXPECT_EQ(ReadWholeFile("d.txt"), kBegin + "x5%" + kEnd + "\n");
}

TEST_F(DumpFileTest, CacheSpillsPast3072Characters) {
    std::string a(3000, 'a'), b(72, 'b'), d(4000, 'd');
    DumpFile f("b.txt", true, false);
    f.Write(a.c_str());
    f.Write(b.c_str());  // exactly full
    EXPECT_FALSE(Exists("b.txt"));
    f.Write("c");
    EXPECT_EQ(ReadWholeFile("b.txt"), a + b);
    f.Write(d.c_str());
    EXPECT_EQ(ReadWholeFile("b.txt"), a + b + "c" + d);
    EXPECT_EQ(f.GetCacheLength(), 0);
}

TEST_F(DumpFileTest, NameLimitAndFailedOpenEmptiesCache) {
    std::string longest(63, 'n'), tooLong(64, 'n');
    {
        DumpFile ok(longest.c_str(), false, false);
        DumpFile refused(tooLong.c_str(), false, true);
        EXPECT_TRUE(ok.HasName());
        EXPECT_FALSE(refused.HasName());
        ok.Write("1");
        refused.Write("2");
    }
    EXPECT_EQ(ReadWholeFile(longest.c_str()), "1");
    EXPECT_EQ(CountEntries("."), 1);

    DumpFile f("sub\\x", true, false);
    f.Write("lost");
    f.Flush();
    ASSERT_EQ(mkdir("sub", 0777), 0);
    f.Write("kept");
    f.Flush();
    EXPECT_EQ(ReadWholeFile("sub/x"), "kept");
}

}  // namespace
