// LogFile: the rotating trace log file, and the stamp and dated-name texts.
// Tested by base/tracer_test.cpp.
#include "base/log_file.h"

#include <cstdio>
#include <cstring>

#include "base/path.h"

namespace logstamp {
namespace {

Clock g_clock = nullptr;

int StampText(const char* head, const char* tail, const struct tm& t, char (&out)[kStampRoom]) {
    int n = snprintf(out, sizeof out, "%s%02d-%02d-%02d %02d:%02d:%02d%s", head,
                     (t.tm_year + 1900) % 100, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                     t.tm_sec, tail);
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    return n < kStampRoom ? n : kStampRoom - 1;
}

}  // namespace

void SetClock(Clock clock) {
    g_clock = clock;
}

void Now(struct tm& out) {
    if (g_clock != nullptr) {
        g_clock(out);
    } else {
        vpath::LocalTime(out);
    }
}

int BeginStamp(const struct tm& t, char (&out)[kStampRoom]) {
    return StampText("LOG BEGIN :  ", "\n\n", t, out);
}

int EndStamp(const struct tm& t, bool lineEnd, char (&out)[kStampRoom]) {
    return StampText("\nLOG END   :  ", lineEnd ? "\n" : "", t, out);
}

OTSTR DatedName(const char* prefix, const char* extension, const struct tm& t) {
    char middle[kStampRoom];
    int n = snprintf(middle, sizeof middle, "%02d%X%02d_%02d%02d%02d.", (t.tm_year + 1900) % 100,
                     static_cast<unsigned>(t.tm_mon + 1), t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    OTSTR name;
    if (prefix != nullptr && prefix[0] != '\0') name.Append(prefix);
    if (n > 0) name.Append(middle, n < kStampRoom ? n : kStampRoom - 1);
    if (extension != nullptr && extension[0] != '\0') name.Append(extension);
    return name;
}

}  // namespace logstamp

LogFile::~LogFile() {
    EndFile();
}

bool LogFile::SetLetterNaming(const char* base, const char* ext, char from, char to) {
    if (IsOpen() || from == '\0' || to == '\0') return false;
    baseName = base != nullptr ? base : "";
    extension = ext != nullptr ? ext : "";
    bool ascending = static_cast<unsigned char>(from) <= static_cast<unsigned char>(to);
    firstLetter = ascending ? from : to;
    lastLetter = ascending ? to : from;
    currentLetter = firstLetter;
    naming = kLettered;
    return true;
}

bool LogFile::SetDateNaming(const char* pre, const char* ext) {
    if (IsOpen()) return false;
    prefix = pre != nullptr ? pre : "";
    extension = ext != nullptr ? ext : "";
    naming = kDated;
    return true;
}

bool LogFile::SetWriteMode(bool isBuffered, uint32_t limit) {
    if (IsOpen()) return false;
    buffered = isBuffered ? 1 : 0;
    maxSize = limit;
    return true;
}

bool LogFile::Start() {
    if (naming == kNoNaming || IsOpen()) return false;
    NewFile();
    return true;
}

void LogFile::Write(const char* text) {
    if (text == nullptr || !IsOpen()) return;
    size_t len = strlen(text);
    if (len > 0x7fffffffu) return;
    int32_t n = static_cast<int32_t>(len);
    // 64-bit sums: the default limit is the whole 32-bit range.
    uint64_t pending = static_cast<uint64_t>(fileSize) + static_cast<uint64_t>(n);

    if (!buffered) {
        if (pending >= maxSize) {
            EndFile();
            NewFile();
        }
        // Anything the cache still holds (from a failed write) goes first.
        WriteOut("a", text, n);
        return;
    }

    if (pending + static_cast<uint64_t>(cacheLength) >= maxSize) {
        EndFile();
        NewFile();
    }
    if (n <= kCacheSize - cacheLength) {
        memcpy(cache + cacheLength, text, static_cast<size_t>(n));
        cacheLength += n;
        cache[cacheLength] = '\0';
        return;
    }
    if (n <= kCacheSize) {
        // The text becomes the new cache; when the cache could not be written
        // it is kept and this text is lost.
        if (WriteOut("a", nullptr, 0)) SetCache(text, n);
    } else {
        // Too long for any cache: it goes straight to the file behind the cache.
        WriteOut("a", text, n);
    }
}

bool LogFile::Flush() {
    if (cacheLength == 0) return true;
    return WriteOut("a", nullptr, 0);
}

void LogFile::EndFile() {
    if (!IsOpen()) return;
    struct tm now;
    logstamp::Now(now);
    char stamp[logstamp::kStampRoom];
    int n = logstamp::EndStamp(now, false, stamp);
    WriteOut("a", stamp, n);
    SetCache(nullptr, 0);
    currentName.Empty();
    fileSize = 0;
}

void LogFile::NewFile() {
    struct tm now;
    logstamp::Now(now);
    currentName.Empty();
    if (naming == kDated) {
        currentName = logstamp::DatedName(prefix.GetBuffer(), extension.GetBuffer(), now);
    } else {
        if (!baseName.IsEmpty()) currentName.Append(baseName);
        currentName.AppendChar(currentLetter, 1);
        currentName.AppendChar('.', 1);
        if (!extension.IsEmpty()) currentName.Append(extension);
        currentLetter = currentLetter == lastLetter ? firstLetter : currentLetter + 1;
    }
    fileSize = 0;
    char stamp[logstamp::kStampRoom];
    int n = logstamp::BeginStamp(now, stamp);
    SetCache(stamp, n);
    WriteOut("w", nullptr, 0);
}

bool LogFile::WriteOut(const char* mode, const char* extra, int32_t n) {
    if (!IsOpen()) return false;
    FILE* f = vpath::OpenFile(currentName.GetBuffer(), mode);
    if (f == nullptr) return false;
    if (cacheLength > 0) fwrite(cache, 1, static_cast<size_t>(cacheLength), f);
    if (extra != nullptr && n > 0) fwrite(extra, 1, static_cast<size_t>(n), f);
    // In append mode the position is only known once at the end.
    fseek(f, 0, SEEK_END);
    long pos = ftell(f);
    fclose(f);
    if (pos >= 0) fileSize = pos > 0xffffffffL ? 0xffffffffu : static_cast<uint32_t>(pos);
    SetCache(nullptr, 0);
    return true;
}

void LogFile::SetCache(const char* text, int32_t n) {
    if (text == nullptr || n < 0 || n > kCacheSize) n = 0;
    if (n > 0) memcpy(cache, text, static_cast<size_t>(n));
    cacheLength = n;
    cache[n] = '\0';
}
