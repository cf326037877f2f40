// FileWatch: a file's changes told by the system's event queue.
// Tested by base/file_watch_test.cpp.
#include "base/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

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

// The directory that holds path: "." for a bare name, "/" for a name at
// the root.
std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool FileWatch::Watch(const std::string& native, bool contents) {
    Stop();
    if (native.empty()) return false;
    queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (queue < 0) return false;
    uint32_t fileEvents = kPlaceEvents | (contents ? IN_MODIFY : 0);
    bool ok = inotify_add_watch(queue, native.c_str(), fileEvents) >= 0;
    // Each directory up the path, the last one being "." or "/".
    for (std::string dir = native; ok && dir != "." && dir != "/";) {
        dir = DirectoryOf(dir);
        ok = inotify_add_watch(queue, dir.c_str(), kDirectoryEvents) >= 0;
    }
    if (!ok) {
        Stop();
        return false;
    }
    startedAt = TickCount();
    return true;
}

bool FileWatch::Unchanged() {
    if (queue < 0) return false;
    if (TickCount() - startedAt > kLongestQuietMs) {
        Stop();
        return false;
    }
    alignas(inotify_event) char events[4096];
    if (read(queue, events, sizeof events) < 0 && errno == EAGAIN) return true;
    // An event, an overflow of the queue or a failed read.
    Stop();
    return false;
}

void FileWatch::Stop() {
    if (queue >= 0) close(queue);
    queue = -1;
}

}  // namespace vpath
