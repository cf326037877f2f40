// Tests of BackgroundAppend: order, copies, failures and the writer's
// sleeps, with the thread and without it.
#include "base/background_append.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "base/scratch_dir.h"

namespace {

class BackgroundAppendTest : public ScratchDirTest, public ::testing::WithParamInterface<bool> {};

volatile sig_atomic_t signalsCaught = 0;
void CountSignal(int) {
    signalsCaught = signalsCaught + 1;
}

}  // namespace

TEST_P(BackgroundAppendTest, WritesCopiesInOrderAndRecordsFailures) {
    vpath::BackgroundAppend out(GetParam());
    EXPECT_FALSE(out.Append(nullptr, "a", 1));
    EXPECT_FALSE(out.Append("Log", nullptr, 1));
    EXPECT_TRUE(out.Append("Log", nullptr, 0));
    out.Finish();
    EXPECT_EQ("<missing>", ReadWholeFile("Log")) << "nothing is opened for no bytes";

    // Each text is a copy: the caller's buffer changes as soon as it is
    // handed over.
    std::string expected;
    std::string buffer;
    for (int i = 0; i < 2000; ++i) {
        buffer = "message " + std::to_string(i) + "\n";
        ASSERT_TRUE(out.Append("Log", buffer.data(), buffer.size()));
        expected += buffer;
        buffer.assign(buffer.size(), '#');
    }
    out.Finish();
    EXPECT_EQ(expected, ReadWholeFile("Log"));
    EXPECT_TRUE(GetParam() || !out.InBackground());

    // The writer sleeps once no text has come for a while, and wakes for
    // the next; a text too large to be written at once has the caller
    // sleep in Finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string large(4 << 20, 'L');
    ASSERT_TRUE(out.Append("Log", large.data(), large.size()));
    ASSERT_TRUE(out.Append("Log", "z", 1));
    out.Finish();
    EXPECT_EQ(expected + large + "z", ReadWholeFile("Log"));

    // A failure is recorded by the time Finish returns; the file closes,
    // and the next text is appended again after the thread ended.
    EXPECT_EQ(!out.InBackground(), !out.Append("Missing\\Log", "x", 1));
    out.Finish();
    EXPECT_FALSE(FailureOf("Missing\\Log").empty());
    out.Close();
    EXPECT_FALSE(out.InBackground());
    ASSERT_TRUE(out.Append("Log", "again", 5));
    out.Close();
    EXPECT_EQ(expected + large + "zagain", ReadWholeFile("Log"));
}

// Texts for a descriptor go out in order beside those of the file, and the
// first failure of a descriptor write is kept. Closing the file leaves the
// writer running.
TEST_P(BackgroundAppendTest, WritesToDescriptorsBesideTheFile) {
    vpath::BackgroundAppend out(GetParam());
    // Plain descriptors, as standard output is one.
    int fd = open("Out", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_TRUE(fd >= 0 && full >= 0);
    std::string text = "x";
    EXPECT_FALSE(out.Write(-1, text));
    std::string report;
    std::string expectedLog;
    std::string expectedOut;
    for (int i = 0; i < 500; ++i) {
        report = "report " + std::to_string(i) + "\n";
        ASSERT_TRUE(out.Append("Log", report.data(), report.size()));
        expectedLog += report;
        text = "line " + std::to_string(i) + "\n";
        expectedOut += text;
        ASSERT_TRUE(out.Write(fd, text));
        EXPECT_TRUE(text.empty()) << "the text is taken";
    }
    out.CloseFile();
    EXPECT_EQ(GetParam(), out.InBackground());
    EXPECT_EQ(expectedLog, ReadWholeFile("Log"));
    EXPECT_EQ(expectedOut, ReadWholeFile("Out"));
    EXPECT_EQ(0, out.DescriptorError());

    for (const char* failing : {"a", "b"}) {
        text = failing;
        EXPECT_EQ(out.InBackground(), out.Write(full, text));
    }
    ASSERT_TRUE(out.Append("Log", "z", 1));
    out.Finish();
    EXPECT_EQ(ENOSPC, out.DescriptorError());
    EXPECT_EQ(expectedLog + "z", ReadWholeFile("Log"));
    close(full);
    close(fd);
}

// A signal sent to the process, an interrupt say, is left to the threads
// that wait for it: the writer never takes it.
TEST_F(BackgroundAppendTest, SignalsToTheProcessPassTheWriterBy) {
    vpath::BackgroundAppend out;
    ASSERT_TRUE(out.Append("Log", "a", 1));
    void (*before)(int) = signal(SIGUSR1, CountSignal);
    sigset_t usr1;
    sigset_t mask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &mask);
    for (int i = 0; i < 5; ++i) {
        // Time for a writer that took the signal to run its handler.
        ASSERT_EQ(0, kill(getpid(), SIGUSR1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        timespec wait = {0, 100 * 1000 * 1000};
        EXPECT_EQ(SIGUSR1, sigtimedwait(&usr1, nullptr, &wait));
    }
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    signal(SIGUSR1, before);
    EXPECT_EQ(0, signalsCaught);
    out.Close();
    EXPECT_EQ("a", ReadWholeFile("Log"));
}

INSTANTIATE_TEST_SUITE_P(ThreadOrNot, BackgroundAppendTest, ::testing::Bool());
