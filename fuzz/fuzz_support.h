// Helpers shared by the fuzz targets of fuzz/*_fuzz.cpp: a quiet trace, a
// private working directory per process and small file writers. Used by the
// libFuzzer builds and by the replay programs (fuzz/replay_main.cpp) alike.
#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/tracer.h"

namespace fuzzsupport {

// Stops the console copy of the trace log; no log file is opened either.
inline void QuietTrace() {
    static const bool quiet = [] {
        if (Tracer* tracer = Tracer::inst()) tracer->SetConsoleOn(false);
        return true;
    }();
    (void)quiet;
}

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

inline std::string& WorkDirPath() {
    static std::string path;
    return path;
}

inline void RemoveWorkDir() {
    const std::string& path = WorkDirPath();
    if (path.empty()) return;
    if (chdir("/") != 0) return;
    nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Creates a fresh directory under $TMPDIR (or /tmp) once per process, makes
// it the current directory and removes it at exit. Relative names the
// targets write, and the includes of a script, stay inside it. Aborts when
// the directory cannot be made: a target must not write elsewhere.
inline void EnterWorkDir(const char* tag) {
    if (!WorkDirPath().empty()) return;
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                        "/vantor-fuzz-" + tag + "-XXXXXX";
    if (mkdtemp(&templ[0]) == nullptr || chdir(templ.c_str()) != 0) {
        perror("fuzz: cannot enter a work directory");
        abort();
    }
    WorkDirPath() = templ;
    atexit(RemoveWorkDir);
}

// Writes n bytes to name in the current directory, replacing it.
inline void WriteBytes(const char* name, const uint8_t* data, size_t n) {
    FILE* f = fopen(name, "wb");
    if (f == nullptr) {
        perror(name);
        abort();
    }
    if (n > 0 && fwrite(data, 1, n, f) != n) abort();
    fclose(f);
}

// Reports a broken property of the code under test as a crash, so that the
// fuzzer keeps the input.
[[noreturn]] inline void Violated(const char* what) {
    fprintf(stderr, "fuzz: property violated: %s\n", what);
    abort();
}

}  // namespace fuzzsupport
