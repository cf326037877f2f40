// DumpFile: a single output file with an optional cache and stamps.
// Tested by base/tracer_test.cpp.
#include "base/dump_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/log_file.h"
#include "base/otstr.h"
#include "base/path.h"

DumpFile::DumpFile(const char* name, bool isBuffered, bool isStamped)
    : buffered(isBuffered ? 1 : 0), stamped(isStamped) {
    if (name != nullptr && strlen(name) < sizeof fileName) {
        memcpy(fileName, name, strlen(name) + 1);
    }
    if (stamped) {
        struct tm now;
        logstamp::Now(now);
        char stamp[logstamp::kStampRoom];
        int n = logstamp::BeginStamp(now, stamp);
        WriteOut("w", stamp, n);
    }
}

DumpFile::~DumpFile() {
    char stamp[logstamp::kStampRoom];
    int n = 0;
    if (stamped) {
        struct tm now;
        logstamp::Now(now);
        n = logstamp::EndStamp(now, true, stamp);
    }
    WriteOut("a", stamped ? stamp : nullptr, n);
}

void DumpFile::Write(const char* text) {
    if (text == nullptr) return;
    size_t len = strlen(text);
    if (len > 0x7fffffffu) return;
    int32_t n = static_cast<int32_t>(len);
    if (!buffered) {
        WriteOut("a", text, n);
        return;
    }
    if (n > kCacheSize - cacheLength) {
        if (n > kCacheSize) {
            // Too long for any cache: straight to the file behind the cache.
            WriteOut("a", text, n);
            return;
        }
        WriteOut("a", nullptr, 0);
    }
    memcpy(cache + cacheLength, text, static_cast<size_t>(n));
    cacheLength += n;
    cache[cacheLength] = '\0';
}

void DumpFile::WriteF(const char* format, ...) {
    if (format == nullptr) return;
    OTSTR text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    Write(text.GetBuffer());
}

void DumpFile::Flush() {
    if (cacheLength > 0) WriteOut("a", nullptr, 0);
}

void DumpFile::WriteOut(const char* mode, const char* extra, int32_t n) {
    bool hasExtra = extra != nullptr && n > 0;
    if (HasName() && (cacheLength > 0 || hasExtra)) {
        FILE* f = vpath::OpenFile(fileName, mode);
        if (f != nullptr) {
            if (cacheLength > 0) fwrite(cache, 1, static_cast<size_t>(cacheLength), f);
            if (hasExtra) fwrite(extra, 1, static_cast<size_t>(n), f);
            fclose(f);
        }
    }
    cacheLength = 0;
    cache[0] = '\0';
}
