// Tests of the trace log: Tracer, LogFile and DumpFile, with a fixed clock
// so that stamps and dated names compare as golden texts.
#include "base/tracer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/dump_file.h"
#include "base/log_file.h"
#include "base/scratch_dir.h"

namespace {

// The local time of a stamp text "yy-mm-dd hh:mm:ss".
struct tm Tm(const char* stamp) {
    struct tm t = {};
    strptime(stamp, "%y-%m-%d %H:%M:%S", &t);
    return t;
}

const std::string kBegin = "LOG BEGIN :  26-12-06 01:27:46\n\n";
const std::string kEnd = "\nLOG END   :  26-12-06 01:27:46";

class RecordingTracer : public Tracer {
  public:
    void lock() override { log += '['; }
    void unlock() override { log += ']'; }
    void output(const char* text) override { log += std::string(text) + '|'; }

    std::string log;  // each piece of output ends in '|'; [ and ] are the locks
};

class TracerTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        logstamp::SetClock([](struct tm& out) { out = Tm("26-12-06 01:27:46"); });
    }
    void TearDown() override {
        Tracer::destroy();
        logstamp::SetClock(nullptr);
    }
};

using LogFileTest = TracerTest;
using DumpFileTest = TracerTest;

TEST_F(TracerTest, WithoutAFileNameOnlyTheConsoleGetsTextsUninterpreted) {
    RecordingTracer t;
    EXPECT_TRUE(t.open(nullptr, nullptr));
    EXPECT_FALSE(t.IsFileOn());
    t.TRACE_("100% %s %n", true);
    t.TRACE_("no end", false);
    t.TRACEF("x=%d", 5);
    t.close();
    const std::string consoleLog = "[100% %s %n|\n|][no end|][x=5\n|]";
    EXPECT_EQ(t.log, consoleLog);
    EXPECT_EQ(CountEntries("."), 0);

    t.SetConsoleOn(false);
    t.TRACE_("quiet", true);
    t.TRACEF("quiet");
    EXPECT_EQ(t.log, consoleLog);
}

// A hold drops what is traced and notes it, for itself and the holds that
// enclose it; the trace is written again once the last hold ends.
TEST_F(TracerTest, HoldsDropLinesAndNoteThemOutward) {
    RecordingTracer t;
    t.open(nullptr, nullptr);
    EXPECT_FALSE(TraceHold::Active());
    {
        TraceHold outer;
        EXPECT_TRUE(TraceHold::Active());
        t.TRACE_("dropped", true);
        EXPECT_TRUE(outer.Dropped());
        {
            TraceHold inner;
            EXPECT_FALSE(inner.Dropped());
            t.TRACEF("dropped too");
            EXPECT_TRUE(inner.Dropped());
        }
        EXPECT_TRUE(outer.Dropped());
    }
    {
        TraceHold outer;
        { TraceHold inner; }
        EXPECT_FALSE(outer.Dropped());
        {
            TraceHold inner;
            t.TRACE_("x", false);
        }
        EXPECT_TRUE(outer.Dropped());
    }
    EXPECT_FALSE(TraceHold::Active());
    t.TRACE_("kept", false);
    EXPECT_EQ(t.log, "[kept|]");
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
        EXPECT_EQ(t.log, "[50% done|\n|][n=7\n|][later|]");
    }
    EXPECT_EQ(ReadWholeFile("Trace0.txt"), kBegin + "50% done\nn=7\nlater" + kEnd);
    EXPECT_EQ(ReadWholeFile("Trace1.txt"), "<missing>");
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

    ASSERT_NE(Tracer::inst(), nullptr);
    EXPECT_FALSE(Tracer::inst()->IsFileOn());
    EXPECT_TRUE(Tracer::inst()->IsConsoleOn());
}

TEST_F(TracerTest, RotatesToTheNextFileAtFiveMegabytes) {
    const long kLimit = 0x500000;
    RecordingTracer t;
    t.SetConsoleOn(false);
    t.open(nullptr, "Trace");
    std::string line(1023, 'z');
    for (int i = 0; i < 5200 && access("Trace1.txt", F_OK) != 0; ++i) t.TRACE_(line.c_str(), true);
    ASSERT_EQ(ReadWholeFile("Trace1.txt"), kBegin);
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
        lines.push_back("line" + std::to_string(100 + i).substr(1) + std::string(34, '.'));
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

// Buffered, a LogFile's cache holds 16384 characters and a DumpFile's
// 3072; a longer text goes straight through. Unbuffered, every write goes
// out at once.
TEST_F(LogFileTest, CachesFillExactlyAndUnbufferedWritesGoOutAtOnce) {
    auto after = [](auto& file, const std::string& text, const char* name) {
        file.Write(text.c_str());
        return ReadWholeFile(name);
    };
    LogFile log, unbuffered;
    log.SetLetterNaming("L", "txt", 'a', 'a');
    log.Start();
    std::string a(16384, 'a'), c(20000, 'c'), x(30, 'x'), y(30, 'y'), z(10, 'z');
    log.Write(a.c_str() + 1);
    EXPECT_EQ(after(log, "a", "La.txt"), kBegin) << "exactly fills what is left";
    EXPECT_EQ(log.GetCacheLength(), 16384);
    EXPECT_EQ(after(log, "b", "La.txt"), kBegin + a);
    EXPECT_EQ(log.GetCacheLength(), 1);
    EXPECT_EQ(after(log, c, "La.txt"), kBegin + a + "b" + c);
    EXPECT_EQ(log.GetCacheLength(), 0);
    EXPECT_EQ(log.GetFileSize(), kBegin.size() + a.size() + 1 + c.size());

    std::string da(3000, 'a'), db(72, 'b'), dd(4000, 'd');
    DumpFile dump("b.txt", true, false);
    dump.Write(da.c_str());
    EXPECT_EQ(after(dump, db, "b.txt"), "<missing>") << "exactly full";
    EXPECT_EQ(after(dump, "c", "b.txt"), da + db);
    EXPECT_EQ(after(dump, dd, "b.txt"), da + db + "c" + dd);
    EXPECT_EQ(dump.GetCacheLength(), 0);

    unbuffered.SetLetterNaming("U", "log", '0', '1');
    unbuffered.SetWriteMode(false, 80);
    unbuffered.Start();
    EXPECT_EQ(after(unbuffered, x, "U0.log"), kBegin + x);
    EXPECT_EQ(after(unbuffered, y, "U0.log"), kBegin + x + kEnd) << "62 + 30 reaches 80";
    EXPECT_EQ(ReadWholeFile("U1.log"), kBegin + y);
    EXPECT_EQ(after(unbuffered, z, "U1.log"), kBegin + y + z);
}

// A LogFile that cannot open its file keeps the cache for the next write; a
// DumpFile empties it.
TEST_F(LogFileTest, FailedOpenKeepsTheLogCacheAndDropsTheDumpCache) {
    LogFile log;
    log.Write("before start");
    EXPECT_FALSE(log.Start()) << "no naming set";
    log.SetLetterNaming("sub\\T", "txt", '0', '0');
    EXPECT_TRUE(log.Start());
    DumpFile dump("sub\\x", true, false);
    log.Write("one,");
    dump.Write("lost");
    EXPECT_FALSE(log.Flush());
    dump.Flush();
    ASSERT_EQ(mkdir("sub", 0777), 0);
    log.Write("two");
    dump.Write("kept");
    EXPECT_TRUE(log.Flush());
    dump.Flush();
    EXPECT_EQ(ReadWholeFile("sub/T0.txt"), kBegin + "one,two");
    EXPECT_EQ(ReadWholeFile("sub/x"), "kept");
}

TEST_F(LogFileTest, StampsAndDatedNames) {
    const struct {
        const char* stamp;
        const char* name;
    } cases[] = {{"26-12-06 01:27:46", "P26C06_012746.log"},
                 {"09-01-31 23:59:59", "P09131_235959.log"}};
    for (const auto& c : cases) {
        const struct tm t = Tm(c.stamp);
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

// Stamped, a DumpFile replaces its file at once and ends it with a stamp;
// unstamped, it appends. A name of more than 63 characters writes nothing.
TEST_F(DumpFileTest, StampedTruncatesUnstampedAppendsAndLongNamesAreRefused) {
    WriteWholeFile("d.txt", "old\n");
    std::string longest(63, 'n'), tooLong(64, 'n');
    {
        DumpFile d("d.txt", false, false), ok(longest.c_str(), false, false),
            refused(tooLong.c_str(), false, true);
        d.Write("a");
        EXPECT_EQ(ReadWholeFile("d.txt"), "old\na");
        EXPECT_TRUE(ok.HasName());
        EXPECT_FALSE(refused.HasName());
        ok.Write("1");
        refused.Write("2");
    }
    EXPECT_EQ(ReadWholeFile("d.txt"), "old\na");
    EXPECT_EQ(ReadWholeFile(longest.c_str()), "1");
    EXPECT_EQ(CountEntries("."), 2);
    {
        DumpFile d("d.txt", true, true);
        EXPECT_EQ(ReadWholeFile("d.txt"), kBegin);
        d.Write("x");
        d.WriteF("%d%%", 5);
        EXPECT_EQ(ReadWholeFile("d.txt"), kBegin);
    }
    EXPECT_EQ(ReadWholeFile("d.txt"), kBegin + "x5%" + kEnd + "\n");
}

}  // namespace
