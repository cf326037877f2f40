// FileWatch: tells, without looking the file up, that nothing has happened
// to a file and to the directories on its path since the watch began, so
// that a check made before every message costs a look at a counter, or at
// most one read of an event queue, instead of a path look-up.
// Tested by base/file_watch_test.cpp.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>

namespace vpath {

class FileWatch {
  public:
    // The longest a watch vouches for a file: past it a caller looks again.
    // This bounds what the events cannot show, such as a change made by
    // another machine on a network file system.
    static constexpr uint32_t kLongestQuietMs = 1000;

    FileWatch() = default;
    ~FileWatch() { Stop(); }
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Starts a new watch of the file at the native path (the form the path
    // layer opens): of its place (removed, renamed, replaced, its links and
    // attributes) and, with contents, of its bytes; and of every directory
    // on the path, up to "." for a relative path and "/" for an absolute
    // one. Start the watch before looking at the file, so that no change
    // between the two goes unseen. False when the file or a directory
    // cannot be watched; Unchanged then answers false.
    bool Watch(const std::string& native, bool contents);
    // True while the watch stands and no event has arrived since it began,
    // for at most kLongestQuietMs; the first event ends the watch. The queue
    // signals its first event to the thread that started the watch, and the
    // signal is handled before that thread returns from its next call of the
    // system, so there a check that no signal came is enough. Otherwise (no
    // signal to be had, another thread, a signal of another watch) it is one
    // read of the queue, which never blocks.
    bool Unchanged();
    void Stop();
    // Whether the watch's queue signals its events (see Unchanged).
    bool Signals() const { return queue >= 0 && bySignal; }
    // The queues' signals that the process has handled so far.
    static uint32_t SignalsHandled();

  private:
    int queue = -1;
    uint32_t startedAt = 0;
    bool bySignal = false;
    pthread_t owner{};
    // The signals handled in the process when the queue was last found empty.
    uint32_t signalsSeen = 0;
    // The directories of the watched path, one after the other: a watch
    // begun again (every kLongestQuietMs) asks the heap for nothing.
    std::string directory;
};

}  // namespace vpath
