// The platform layer for files, paths and time: the only code that calls the
// file system. Paths are written in the system's own form with backslashes;
// opening turns them into native paths and resolves each component that does
// not exist with its exact name to the one entry that matches it without
// regard to case. Tested by base/path_test.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

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
FILE* OpenFile(const char* path, const char* mode);

// Reads the whole file into out (text mode folds CR LF). False when the
// file cannot be opened or read, and for anything but a regular file.
bool ReadFile(const char* path, bool textMode, OTSTR& out);

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

// The directory of the running executable, in system form with a trailing
// backslash ("\\opt\\vantor\\"), empty when it cannot be found.
OTSTR ExecutableDirectory();

// Local date and time now.
void LocalTime(struct tm& out);
// A monotonic millisecond tick count (wraps at 32 bits).
uint32_t TickCount();

}  // namespace vpath
