// LogFile: a rotating, buffered log file with begin and end stamps, and the
// stamp texts it shares with DumpFile. Tested by base/tracer_test.cpp.
#pragma once

#include <cstdint>
#include <ctime>

#include "base/otstr.h"

namespace logstamp {

// The source of the local time written into stamps and dated file names.
using Clock = void (*)(struct tm& out);
// Replaces the clock (tests use a fixed time); null restores the local time.
void SetClock(Clock clock);
void Now(struct tm& out);

// Room for any stamp text, whatever the fields of the time hold.
constexpr int kStampRoom = 128;
// "LOG BEGIN :  yy-mm-dd hh:mm:ss\n\n" into out; returns its length.
int BeginStamp(const struct tm& t, char (&out)[kStampRoom]);
// "\nLOG END   :  yy-mm-dd hh:mm:ss" into out, with "\n" after it when
// lineEnd is set; returns its length.
int EndStamp(const struct tm& t, bool lineEnd, char (&out)[kStampRoom]);
// The dated file name <prefix><yy><month as one hex digit><dd>_<hhmmss>.<extension>.
OTSTR DatedName(const char* prefix, const char* extension, const struct tm& t);

}  // namespace logstamp

class LogFile {
  public:
    static constexpr int kCacheSize = 16384;
    enum Naming : int32_t { kNoNaming = 0, kDated = 1, kLettered = 2 };

    LogFile() = default;
    // Ends the current file (end stamp).
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Files <baseName><letter>.<extension>, the letter cycling from the lower
    // to the higher of the two. False while a file is open or for letter 0.
    bool SetLetterNaming(const char* baseName, const char* extension, char from, char to);
    // Files <prefix><date>_<time>.<extension> named after the time they were
    // started. False while a file is open.
    bool SetDateNaming(const char* prefix, const char* extension);
    // False while a file is open.
    bool SetWriteMode(bool buffered, uint32_t maxSize);

    // Opens the first file, overwriting one of that name. False when no
    // naming is set or a file is open already.
    bool Start();
    // Appends the text (zero-terminated), starting the next file first when
    // the current one would reach the maximum size. Ignored while no file is
    // open.
    void Write(const char* text);
    // Writes out what the cache holds; false when the file could not be
    // opened (the cache is then kept for the next write).
    bool Flush();

    bool IsOpen() const { return !currentName.IsEmpty(); }
    const OTSTR& GetCurrentName() const { return currentName; }
    uint32_t GetFileSize() const { return fileSize; }
    int32_t GetCacheLength() const { return cacheLength; }

  private:
    void EndFile();
    void NewFile();
    // Opens the current file in mode, writes the cache and then n bytes of
    // extra, and records the size. The cache is emptied only when the file
    // could be opened.
    bool WriteOut(const char* mode, const char* extra, int32_t n);
    void SetCache(const char* text, int32_t n);

    OTSTR baseName;
    OTSTR prefix;
    OTSTR extension;
    char firstLetter = 'A';
    char lastLetter = 'B';
    char currentLetter = 'A';
    int32_t buffered = 1;
    int32_t naming = kNoNaming;
    uint32_t maxSize = 0xFFFFFFFFu;
    OTSTR currentName;
    uint32_t fileSize = 0;
    char cache[kCacheSize + 1] = {};
    int32_t cacheLength = 0;
};
