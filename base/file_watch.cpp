// FileWatch: a file's changes told by the system's event queue.
// Tested by base/file_watch_test.cpp.
#include "base/file_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "base/path.h"

namespace vpath {

namespace {

// The file's own events: its bytes, its attributes and link count (a
// removal or a replacement by another file lowers it), its moves.
const uint32_t kPlaceEvents = IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;
// A directory's: any entry made, removed or renamed in it (the next
// component of the path among them), its attributes and its own moves.
const uint32_t kDirectoryEvents = IN_ONLYDIR | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                  IN_MOVED_TO | IN_MOVE_SELF | IN_DELETE_SELF;

// Makes path the directory that holds it: "." for a bare name, "/" for a
// name at the root. The text's block is kept.
void ToDirectory(std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        path.assign(".");
    } else {
        path.resize(slash == 0 ? 1 : slash);
    }
}

// The signals that the watches' queues sent and the process handled.
std::atomic<uint32_t> handledSignals{0};
static_assert(std::atomic<uint32_t>::is_always_lock_free, "counted in a signal handler");

void OnQueueSignal(int signal, siginfo_t* info, void*) {
    int savedErrno = errno;
    handledSignals.fetch_add(1, std::memory_order_relaxed);
    // The first event ends a watch, so its queue need not signal again: a
    // stream of events must not fill the process's queue of signals. A
    // descriptor that took the number of a queue closed meanwhile does not
    // send this signal, and is left alone.
    int fd = info != nullptr && info->si_code > 0 ? info->si_fd : -1;
    if (fd >= 0 && fcntl(fd, F_GETSIG) == signal) {
        int flags = fcntl(fd, F_GETFL);
        if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_ASYNC);
    }
    errno = savedErrno;
}

// The real-time signal that the queues send, its handler installed once;
// 0 when another part of the process has already taken that signal.
int QueueSignal() {
    static const int chosen = [] {
        const int wanted = SIGRTMAX - 2;
        struct sigaction old = {};
        if (wanted < SIGRTMIN || sigaction(wanted, nullptr, &old) != 0 ||
            (old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) {
            return 0;
        }
        struct sigaction mine = {};
        mine.sa_sigaction = OnQueueSignal;
        mine.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&mine.sa_mask);
        return sigaction(wanted, &mine, nullptr) == 0 ? wanted : 0;
    }();
    return chosen;
}

// Makes queue send the signal to the calling thread on each event; false,
// and no signal, where the signal is not to be had or the thread blocks it.
bool SignalEvents(int queue) {
    int signal = QueueSignal();
    sigset_t blocked;
    if (signal == 0 || pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0 ||
        sigismember(&blocked, signal) == 1) {
        return false;
    }
    struct f_owner_ex to = {F_OWNER_TID, gettid()};
    int flags = fcntl(queue, F_GETFL);
    return flags >= 0 && fcntl(queue, F_SETSIG, signal) == 0 &&
           fcntl(queue, F_SETOWN_EX, &to) == 0 && fcntl(queue, F_SETFL, flags | O_ASYNC) == 0;
}

}  // namespace

bool FileWatch::Watch(const std::string& native, bool contents) {
    Stop();
    if (native.empty()) return false;
    queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (queue < 0) return false;
    // Counted before any event can arrive: a signal after this is seen.
    signalsSeen = handledSignals.load(std::memory_order_relaxed);
    bySignal = SignalEvents(queue);
    owner = pthread_self();
    uint32_t fileEvents = kPlaceEvents | (contents ? IN_MODIFY : 0);
    bool ok = inotify_add_watch(queue, native.c_str(), fileEvents) >= 0;
    // Each directory up the path, the last one being "." or "/".
    for (directory.assign(native); ok && directory != "." && directory != "/";) {
        ToDirectory(directory);
        ok = inotify_add_watch(queue, directory.c_str(), kDirectoryEvents) >= 0;
    }
    if (!ok) {
        Stop();
        return false;
    }
    startedAt = CoarseTickCount();
    return true;
}

bool FileWatch::Unchanged() {
    if (queue < 0) return false;
    // A grain less, so that the watch is never trusted for longer.
    uint32_t elapsed = CoarseTickCount() - startedAt;
    if (elapsed >= kLongestQuietMs || kLongestQuietMs - elapsed <= CoarseTickGrain()) {
        Stop();
        return false;
    }
    uint32_t handled = handledSignals.load(std::memory_order_relaxed);
    if (bySignal && handled == signalsSeen && pthread_equal(owner, pthread_self())) return true;
    alignas(inotify_event) char events[4096];
    if (read(queue, events, sizeof events) < 0 && errno == EAGAIN) {
        // Nothing yet: a signal handled later is news again.
        signalsSeen = handled;
        return true;
    }
    // An event, an overflow of the queue or a failed read.
    Stop();
    return false;
}

uint32_t FileWatch::SignalsHandled() {
    return handledSignals.load(std::memory_order_relaxed);
}

void FileWatch::Stop() {
    if (queue >= 0) close(queue);
    queue = -1;
}

}  // namespace vpath
