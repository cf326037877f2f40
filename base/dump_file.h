// DumpFile: a single output file, optionally buffered and stamped, used for
// the translation dump. Tested by base/tracer_test.cpp.
#pragma once

#include <cstdint>

class DumpFile {
  public:
    static constexpr int kNameSize = 64;  // at most 63 characters
    static constexpr int kCacheSize = 3072;

    // A name longer than 63 characters is refused: nothing is ever written
    // then. Stamped, the file is at once replaced by a begin stamp;
    // unstamped, it is only ever appended to.
    DumpFile(const char* name, bool buffered, bool stamped);
    // Adds the end stamp when stamped, then writes out the cache.
    ~DumpFile();
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    void Write(const char* text);
    // Formats a text of at most 399 characters and writes it.
    void WriteF(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Flush();

    // False when the name was refused.
    bool HasName() const { return fileName[0] != '\0'; }
    const char* GetFileName() const { return fileName; }
    int32_t GetCacheLength() const { return cacheLength; }

  private:
    // Opens the file in mode and writes the cache and then n bytes of extra.
    // The cache is emptied whether or not the file could be opened.
    void WriteOut(const char* mode, const char* extra, int32_t n);

    char fileName[kNameSize] = {};
    int32_t buffered;
    bool stamped;
    char cache[kCacheSize + 1] = {};
    int32_t cacheLength = 0;
};
