// Tests of FileWatch: what ends a watch and what leaves it standing.
#include "base/file_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

#include "base/path.h"
#include "base/scratch_dir.h"

namespace {

void AppendTo(const char* name, const char* text) {
    FILE* f = fopen(name, "ab");
    ASSERT_NE(f, nullptr) << name;
    fputs(text, f);
    fclose(f);
}

class FileWatchTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        ASSERT_EQ(mkdir("a", 0777), 0);
        ASSERT_EQ(mkdir("a/b", 0777), 0);
        ASSERT_EQ(mkdir("other", 0777), 0);
        WriteWholeFile("a/b/f", "x");
        WriteWholeFile("other/g", "y");
    }
};

TEST_F(FileWatchTest, EveryChangeToTheFileOrItsPathEndsTheWatch) {
    struct Case {
        const char* what;
        bool contents;  // the watch's
        std::function<void()> act;
        bool ends;
    };
    const Case cases[] = {
        {"nothing", true, [] {}, false},
        {"a read", true, [] { ReadWholeFile("a/b/f"); }, false},
        {"another directory's file", true, [] { AppendTo("other/g", "z"); }, false},
        {"its bytes, contents watched", true, [] { AppendTo("a/b/f", "z"); }, true},
        {"its bytes, contents not watched", false, [] { AppendTo("a/b/f", "z"); }, false},
        {"truncated", true, [] { ASSERT_EQ(truncate("a/b/f", 0), 0); }, true},
        {"touched", false, [] { ASSERT_EQ(utimensat(AT_FDCWD, "a/b/f", nullptr, 0), 0); }, true},
        {"its mode", false, [] { ASSERT_EQ(chmod("a/b/f", 0600), 0); }, true},
        {"removed", false, [] { ASSERT_EQ(unlink("a/b/f"), 0); }, true},
        {"renamed", false, [] { ASSERT_EQ(rename("a/b/f", "a/b/g"), 0); }, true},
        {"another link", false, [] { ASSERT_EQ(link("a/b/f", "other/f"), 0); }, true},
        {"replaced by a rename", false,
         [] {
             WriteWholeFile("a/b/new", "x");
             ASSERT_EQ(rename("a/b/new", "a/b/f"), 0);
         },
         true},
        {"its directory renamed", false, [] { ASSERT_EQ(rename("a/b", "a/c"), 0); }, true},
        {"a directory above renamed", false, [] { ASSERT_EQ(rename("a", "z"), 0); }, true},
        {"a directory above swapped for a link", false,
         [] {
             ASSERT_EQ(rename("a", "a2"), 0);
             ASSERT_EQ(symlink("a2", "a"), 0);
         },
         true},
        {"an entry made beside it", false, [] { WriteWholeFile("a/b/h", ""); }, true},
        {"an entry made in the working directory", false, [] { WriteWholeFile("h", ""); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteWholeFile("a/b/f", "x");
        vpath::FileWatch watch;
        ASSERT_TRUE(watch.Watch("a/b/f", c.contents));
        EXPECT_TRUE(watch.Signals()) << "the change is told by a signal, not by a read";
        EXPECT_TRUE(watch.Unchanged());
        c.act();
        EXPECT_EQ(watch.Unchanged(), !c.ends);
        if (c.ends) {
            EXPECT_FALSE(watch.Unchanged()) << "an ended watch stays ended";
        }
        // Back to the layout of SetUp for the next case.
        if (unlink("a") == 0) rename("a2", "a");
        rename("z", "a");
        rename("a/c", "a/b");
        rename("a/b/g", "a/b/f");
        unlink("other/f");
        unlink("a/b/h");
        unlink("h");
    }
}

TEST_F(FileWatchTest, AbsolutePathsMissingFilesAndStops) {
    vpath::FileWatch watch;
    // Other programs make entries in the directories above the scratch
    // directory at any time, ending the watch of an absolute path: only
    // that a change ends it is certain.
    const std::string absolute = scratch_.path() + "/a/b/f";
    ASSERT_TRUE(watch.Watch(absolute, true));
    ASSERT_EQ(unlink("a/b/f"), 0);
    EXPECT_FALSE(watch.Unchanged());

    EXPECT_FALSE(watch.Watch("a/b/f", true)) << "no file to watch";
    EXPECT_FALSE(watch.Unchanged());
    EXPECT_FALSE(watch.Watch("", true));
    EXPECT_FALSE(watch.Watch("missing/f", true));

    WriteWholeFile("f", "x");
    ASSERT_TRUE(watch.Watch("f", true)) << "a bare name: the working directory";
    EXPECT_TRUE(watch.Unchanged());
    watch.Stop();
    EXPECT_FALSE(watch.Unchanged());
}

// Where the signal cannot be counted on, each check reads the queue: a
// thread that blocks the signal, a check from a thread other than the one
// the signal goes to. A change made by another thread is seen at once.
TEST_F(FileWatchTest, ChecksReadTheQueueWhereTheSignalMayNotHaveCome) {
    sigset_t all;
    sigfillset(&all);
    vpath::FileWatch blocked;
    vpath::FileWatch elsewhere;
    std::thread([&] {
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        EXPECT_TRUE(blocked.Watch("a/b/f", true));
        EXPECT_FALSE(blocked.Signals());
    }).join();
    // Its signal goes to a thread that no longer runs.
    std::thread([&] {
        EXPECT_TRUE(elsewhere.Watch("a/b/f", true));
        EXPECT_TRUE(elsewhere.Signals());
    }).join();
    EXPECT_TRUE(blocked.Unchanged() && elsewhere.Unchanged());
    AppendTo("a/b/f", "z");
    EXPECT_FALSE(blocked.Unchanged());
    EXPECT_FALSE(elsewhere.Unchanged());

    vpath::FileWatch here;
    ASSERT_TRUE(here.Watch("a/b/f", true));
    std::thread([] { AppendTo("a/b/f", "z"); }).join();
    EXPECT_FALSE(here.Unchanged());
}

// A stream of events sends one signal, not one an event: the process's
// queue of signals must not fill, nor the thread be woken for each.
TEST_F(FileWatchTest, AStreamOfEventsSignalsOnce) {
    vpath::FileWatch watch;
    ASSERT_TRUE(watch.Watch("a/b/f", false));
    uint32_t before = vpath::FileWatch::SignalsHandled();
    for (int i = 0; i < 500; ++i) WriteWholeFile(("a/b/e" + std::to_string(i)).c_str(), "");
    EXPECT_LE(vpath::FileWatch::SignalsHandled() - before, 2u);
    EXPECT_FALSE(watch.Unchanged());
}

// A watched script's information is what a look-up would give, at once.
TEST_F(FileWatchTest, WatchedScriptSeesEachChangeAtOnce) {
    vpath::ResolvedPath script;
    int64_t modified = 0;
    uint32_t size = 0;
    ASSERT_TRUE(script.GetFileInfo("A\\B\\F", modified, size));
    EXPECT_EQ(size, 1u);
    for (uint32_t n = 2; n < 6; ++n) {
        AppendTo("a/b/f", "z");
        ASSERT_TRUE(script.GetFileInfo("A\\B\\F", modified, size));
        EXPECT_EQ(size, n);
    }
    ASSERT_EQ(unlink("a/b/f"), 0);
    EXPECT_FALSE(script.GetFileInfo("A\\B\\F", modified, size));
    EXPECT_FALSE(script.GetFileInfo("A\\B\\F", modified, size)) << "missing every time";
    WriteWholeFile("a/b/f", "back");
    ASSERT_TRUE(script.GetFileInfo("A\\B\\F", modified, size));
    EXPECT_EQ(size, 4u);
}

}  // namespace
