// Test helper: a fresh temporary directory that a test works in. The file
// tests of the base library run in parallel processes, each in its own.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/path.h"

// Creates a unique directory under $TMPDIR (or /tmp), makes it the current
// directory, and on destruction returns to the previous directory and
// removes the temporary one with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        const char* tmp = getenv("TMPDIR");
        std::string templ =
            std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/vantor-test-XXXXXX";
        previous_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (previous_ < 0 || mkdtemp(&templ[0]) == nullptr) return;
        path_ = templ;
        entered_ = chdir(path_.c_str()) == 0;
    }

    ~ScratchDir() {
        if (previous_ >= 0) {
            if (fchdir(previous_) != 0) perror("ScratchDir: fchdir");
            ::close(previous_);
        }
        if (!path_.empty()) {
            nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
        }
    }

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return entered_; }
    const std::string& path() const { return path_; }

  private:
    static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
        remove(path);
        return 0;
    }

    int previous_ = -1;
    std::string path_;
    bool entered_ = false;
};

// A fixture whose tests run inside their own ScratchDir.
class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(scratch_.ok()) << "cannot create a scratch directory"; }

    ScratchDir scratch_;
};

// Raw file access for checks, bypassing the code under test.
inline std::string ReadWholeFile(const char* name) {
    FILE* f = fopen(name, "rb");
    if (f == nullptr) return "<missing>";
    std::string out;
    char buf[1000];  // small, so that text-mode readers are read across chunks
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

inline void WriteWholeFile(const char* name, const std::string& data) {
    FILE* f = fopen(name, "wb");
    ASSERT_NE(f, nullptr) << name;
    fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

// Entries of a directory other than "." and "..", -1 when it cannot be read.
inline int CountEntries(const char* dir) {
    DIR* d = opendir(dir);
    if (d == nullptr) return -1;
    int n = 0;
    while (struct dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) ++n;
    }
    closedir(d);
    return n;
}

// The reason the path layer recorded for output to path that failed, ""
// when none was (see vpath::GetWriteFailure).
inline std::string FailureOf(const std::string& path) {
    OTSTR p, reason;
    for (int i = 0; vpath::GetWriteFailure(i, p, reason); ++i) {
        if (path == p.GetBuffer(0)) return reason.GetBuffer(0);
    }
    return "";
}
