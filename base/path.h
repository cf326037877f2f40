// The platform layer for files, paths and time: the only code that calls the
// file system. Paths are written in the system's own form with backslashes;
// opening turns them into native paths and resolves each component that does
// not exist with its exact name to the one entry that matches it without
// regard to case. Tested by base/path_test.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/file_watch.h"
#include "base/otstr.h"

class StringArray;

namespace vpath {

// The native path for a system path: '\' becomes '/', and every component
// that does not exist as written is replaced by the one directory entry that
// matches it without regard to case (the last component keeps its given name
// when nothing matches, so that files can be created).
OTSTR ToNative(const char* path);

// fopen on the native path. Text-mode reading ("r", "rt", without 'b') turns
// CR LF into LF; binary mode keeps every byte; writing never translates.
// Output is never lost silently: a file opened with "w" is written beside
// it under a temporary name and put in its place when closed, so that the
// old file stays whole when a write fails; appending ("a") and "r+" write in
// place. A symbolic link to an existing file writes that file; a dangling
// one is refused, so that no file is created where a link points. Devices
// and FIFOs are written in place. Every failure to open, write or close a
// file for writing is recorded (see GetWriteFailure) and makes fclose fail.
FILE* OpenFile(const char* path, const char* mode);

// Replaces the file at path with size bytes of data as a whole: a temporary
// file beside it (".<name>.<pid>-<n>.tmp") is written, synced to the disk
// and renamed over it. False, with the old file unchanged and the failure
// recorded, when any step fails.
bool ReplaceFile(const char* path, const void* data, size_t size);

// Reads the whole file into out (text mode folds CR LF). False when the
// file cannot be opened or read, and for anything but a regular file.
bool ReadFile(const char* path, bool textMode, OTSTR& out);

// What identifies one version of a file: a file replaced or changed since
// gives a different stamp.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;  // -1: no such file
    int64_t modified = 0;
    int64_t changed = 0;
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size && modified == o.modified &&
               changed == o.changed;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
// The stamp of the file at path (size -1 when it does not exist).
FileStamp GetFileStamp(const char* path);
// ReadFile in binary mode that also gives the stamp of the version read.
bool ReadFile(const char* path, OTSTR& out, FileStamp& stamp);

// A file that grows by whole records and is a complete file after each: the
// first record replaces the file as ReplaceFile does, each later one is
// appended with a single write, and a record that cannot be written whole
// is cut off again. After a failure (recorded) the file is closed.
class RecordFile {
  public:
    RecordFile() = default;
    ~RecordFile() { Close(); }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Replaces path with size bytes of data and keeps it open for Append.
    bool Create(const char* path, const void* data, size_t size);
    bool Append(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return fd >= 0; }

  private:
    int fd = -1;
    int64_t size = 0;
    OTSTR path;
};

// Writes size bytes of data whole to the open descriptor fd, again after an
// interrupt and after a part: 0, else the system's error number (ENOSPC
// where nothing more could be written).
int WriteDescriptor(int fd, const void* data, size_t size);

// A file that text is appended to again and again (a report after every
// message), kept open between appends: each append is one write of the
// whole text, so that a crash loses at most the text being written. The
// path is resolved and the file opened as OpenFile's "a" does, and again only
// when the path changes or its remembered native form no longer names the
// open file (removed, replaced or renamed since); a watch of the file spares
// the look-up while nothing happens to it. Failures are recorded as
// OpenFile's are, and the next append opens the file afresh.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Nothing is opened for no bytes.
    bool Append(const char* path, const void* data, size_t size);
    void Close();
    bool IsOpen() const { return fd >= 0; }

  private:
    // Whether the native form still names the open file: told by the watch
    // while it sees nothing happen, else looked up (and the watch begun
    // again).
    bool StillNamed();
    bool NamesOpenFile() const;

    int fd = -1;
    uint64_t device = 0;
    uint64_t inode = 0;
    std::string path;
    std::string native;
    FileWatch watch;
};

// The failures of output recorded so far in this process, one per path, in
// the order they happened (at most kMaxWriteFailures are kept): path as the
// caller gave it, reason as the system's error text.
constexpr int kMaxWriteFailures = 64;
int WriteFailureCount();
bool GetWriteFailure(int index, OTSTR& path, OTSTR& reason);

bool FileExists(const char* path);
bool IsDirectory(const char* path);
// Creates one directory (mode 0777, umask applies). False when it fails,
// also when it exists already.
bool MakeDirectory(const char* path);
bool RemoveFile(const char* path);

// Names (not paths) of the regular files in dir whose names match pattern
// ('*' and '?' wildcards, letter case ignored), sorted without regard to case.
bool ListFiles(const char* dir, const char* pattern, StringArray& names);

// Modification time (nanoseconds since the epoch, so that two writes within
// one second differ) and size of a file.
bool GetFileInfo(const char* path, int64_t& modified, uint32_t& size);

// GetFileInfo for a path asked about again and again: the native form is
// resolved once and again only when the path changes or the remembered form
// no longer names a file. While a watch of the file sees nothing happen to
// it, the information found last is given without a look-up.
class ResolvedPath {
  public:
    bool GetFileInfo(const char* path, int64_t& modified, uint32_t& size);

  private:
    std::string path;
    std::string native;
    FileWatch watch;
    int64_t lastModified = 0;
    uint32_t lastSize = 0;
};

// The directory of the running executable, in system form with a trailing
// backslash ("\\opt\\vantor\\"), empty when it cannot be found.
OTSTR ExecutableDirectory();

// Local date and time now.
void LocalTime(struct tm& out);
// A monotonic millisecond tick count (wraps at 32 bits).
uint32_t TickCount();
// TickCount's cheaper kin, which moves in steps of CoarseTickGrain
// milliseconds (the kernel's tick): for limits and intervals, compared only
// with its own counts. The difference of two counts lies within a grain of
// the time that passed between them.
uint32_t CoarseTickCount();
uint32_t CoarseTickGrain();

}  // namespace vpath
