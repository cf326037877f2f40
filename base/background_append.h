// BackgroundAppend: appends texts to a file as AppendFile does, or writes
// them to an open descriptor, from a thread of its own, so that the caller
// goes on (translates the next message) while the system writes. Tested by
// base/background_append_test.cpp.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>

#include "base/path.h"

namespace vpath {

// Texts go to a file by its path (Append) or to an open descriptor
// (Write), one thread writing both in the order given: the command line's
// standard output and the report file, say. At most kSlots texts are in
// hand: a text waits for a free slot, so that a crash loses at most the
// texts being written. A failure of a file is recorded by the path layer
// (WriteFailureCount) when the write happens, that of a descriptor here
// (DescriptorError); Finish waits for them. Anyone who reads the file calls
// Finish first. The methods are called from one thread, the one that hands
// the texts over.
//
// The writer waits for the next text for a short while without sleeping, as
// the texts of a run of messages come one after the other, and then sleeps
// until one comes. Without a second processor, or where no thread can be
// started, Append and Write write the text themselves.
class BackgroundAppend {
  public:
    // The longest the writer waits for a text, and the caller for a write,
    // before they sleep.
    static constexpr int kSpinMicroseconds = 50;
    // The texts in hand at the most: a message's report and what goes to
    // standard output beside it.
    static constexpr uint32_t kSlots = 2;

    // With background false, every text is written where it is handed over.
    explicit BackgroundAppend(bool background = true) : background(background) {}
    ~BackgroundAppend() { Close(); }
    BackgroundAppend(const BackgroundAppend&) = delete;
    BackgroundAppend& operator=(const BackgroundAppend&) = delete;

    // Hands a copy of size bytes of data over, to be appended to path
    // (nothing for no bytes). False for a null path, or null data of some
    // bytes, where nothing is handed over; and where the text is written
    // in place and that write fails.
    bool Append(const char* path, const void* data, size_t size);
    // Hands text over, to be written whole to the open descriptor fd; text
    // is left empty (with the block of an earlier text, ready for the
    // next). False for a negative fd; and where the text is written in place
    // and that write fails.
    bool Write(int fd, std::string& text);
    // The system's error number of the first descriptor write that failed,
    // 0 while none did.
    int DescriptorError() const { return descriptorError.load(std::memory_order_acquire); }
    // Waits until every text handed over is written.
    void Finish();
    // Finish, then the file is closed; the thread goes on.
    void CloseFile();
    // Finish, then the thread ends and the file is closed.
    void Close();
    // Whether the texts are written by the thread (once the first came).
    bool InBackground() const { return started; }

  private:
    // What a slot asks of the writer: with fd -1 the text is appended to
    // path; kCloseFile closes the file.
    static constexpr int kCloseFile = -2;
    struct Slot {
        int fd = -1;
        std::string path;
        std::string text;
    };

    // Starts the thread on the first text; false where it cannot run.
    bool Start();
    // A slot that the writer leaves alone until Hand: the next one, once it
    // is free.
    Slot& FreeSlot();
    // Waits until at most most texts are in hand.
    void WaitInHand(uint32_t most);
    // Gives the slot that FreeSlot gave to the writer.
    void Hand();
    // Writes the slot's text or closes the file, on whichever thread runs.
    bool Serve(Slot& slot);
    // The text to fd, its failure kept as DescriptorError.
    bool WriteOut(int fd, const std::string& text);
    static void* Main(void* self);
    void Run();

    bool background;
    bool started = false;
    pthread_t thread{};
    // The file, which only the thread touches while texts are in hand.
    AppendFile file;
    Slot ring[kSlots];
    // Counts of the texts handed over and of those written; ring[n % kSlots]
    // holds text n. Changed with the mutex held, so that a sleeper's test
    // and wait see them change.
    std::atomic<uint32_t> handed{0};
    std::atomic<uint32_t> written{0};
    std::atomic<bool> stopping{false};
    std::atomic<int> descriptorError{0};
    std::mutex mutex;
    std::condition_variable textCame;
    std::condition_variable textWritten;
    bool writerAsleep = false;
    bool callerAsleep = false;
};

}  // namespace vpath
