// TextFile: a source file read whole into memory, with its path split into
// directory and file name. Tested by pattern/script_lexer_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"

class TextFile {
  public:
    // Reads the whole file (text mode folds CR LF). Failures: "File: %s  Open
    // failed" and "malloc buffer failed" in GetLastError().
    bool Load(const char* name, bool textMode);

    const char* GetData() const { return data.GetBuffer(0); }
    int32_t GetLength() const { return data.GetLength(); }
    const OTSTR& GetFullPath() const { return fullPath; }
    const OTSTR& GetGivenName() const { return givenName; }
    const OTSTR& GetFileName() const { return fileName; }
    const OTSTR& GetDirectory() const { return directory; }
    const OTSTR& GetLastError() const { return lastError; }

    // The path with every ".." removing itself and the part before it;
    // '\' separates parts, or '/' when the path has no '\'.
    static OTSTR FoldDots(const char* path);

  private:
    OTSTR fullPath;
    OTSTR givenName;
    OTSTR fileName;
    OTSTR directory;
    OTSTR data;  // the whole file and a terminating zero byte
    OTSTR lastError;
};
