// BackgroundAppend: appends texts to a file as AppendFile does, from a
// thread of its own, so that the caller goes on (translates the next
// message) while the system writes. Tested by base/background_append_test.cpp.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>

#include "base/path.h"

namespace vpath {

// One text is in hand at a time: Append first waits until the text before
// it is written. The file gets the texts in the order given, and a crash
// loses at most the text being written. A failure is recorded by the path
// layer (WriteFailureCount) when the write happens; Finish waits for that.
// Anyone who reads the file calls Finish first. The methods are called from
// one thread, the one that hands the texts over.
//
// The writer waits for the next text for a short while without sleeping, as
// the texts of a run of messages come one after the other, and then sleeps
// until one comes. Without a second processor, or where no thread can be
// started, Append writes the text itself.
class BackgroundAppend {
  public:
    // The longest the writer waits for a text, and the caller for a write,
    // before they sleep.
    static constexpr int kSpinMicroseconds = 50;

    // With background false, every text is written in Append.
    explicit BackgroundAppend(bool background = true) : background(background) {}
    ~BackgroundAppend() { Close(); }
    BackgroundAppend(const BackgroundAppend&) = delete;
    BackgroundAppend& operator=(const BackgroundAppend&) = delete;

    // Hands a copy of size bytes of data over, to be appended to path
    // (nothing for no bytes). False for a null path, or null data of some
    // bytes, where nothing is handed over; and where the text is written
    // in place and that write fails.
    bool Append(const char* path, const void* data, size_t size);
    // Waits until every text handed over is written.
    void Finish();
    // Finish, then the thread ends and the file is closed.
    void Close();
    // Whether the texts are written by the thread (once the first came).
    bool InBackground() const { return started; }

  private:
    // Starts the thread on the first text; false where it cannot run.
    bool Start();
    static void* Main(void* self);
    void Run();

    bool background;
    bool started = false;
    pthread_t thread{};
    // The file; while a text is in hand, only the thread touches it, path
    // and text.
    AppendFile file;
    std::string path;
    std::string text;
    // Set when a text is handed over, cleared when it is written. Changed
    // with the mutex held, so that a sleeper's test and wait see it change.
    std::atomic<bool> inHand{false};
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable textCame;
    std::condition_variable textWritten;
    bool writerAsleep = false;
    bool callerAsleep = false;
};

}  // namespace vpath
