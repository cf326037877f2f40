// The platform layer for files, paths and time on Linux: backslash paths
// with case-insensitive resolution, text-mode CR LF folding, directory
// listing and the clocks. Tested by base/path_test.cpp.
#include "base/path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/string_array.h"

namespace vpath {
namespace {

// Byte-wise ASCII case folding, so that names in other encodings compare as
// they are.
inline unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name without regard to case. When
// several do, the byte-wise smallest is taken so that the choice does not
// depend on the directory's order.
bool FindEntryIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return false;
    bool any = false;
    while (struct dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) != 0) continue;
        if (!any || strcmp(e->d_name, found.c_str()) < 0) found = e->d_name;
        any = true;
    }
    closedir(d);
    return any;
}

std::string NativePath(const char* path) {
    std::string out;
    if (path == nullptr) return out;
    std::string rest(path);
    std::replace(rest.begin(), rest.end(), '\\', '/');

    // Walk the components; once one is missing nothing below it can exist,
    // so the remaining components are kept as written.
    bool resolving = true;
    size_t pos = 0;
    if (!rest.empty() && rest[0] == '/') {
        out = "/";
        pos = 1;
    }
    while (pos <= rest.size()) {
        size_t slash = rest.find('/', pos);
        size_t end = (slash == std::string::npos) ? rest.size() : slash;
        std::string name = rest.substr(pos, end - pos);
        std::string dir = out;
        if (resolving && !name.empty() && name != "." && name != "..") {
            if (!EntryExists(out + name)) {
                std::string found;
                if (FindEntryIgnoringCase(dir, name, found)) {
                    name = found;
                } else {
                    resolving = false;
                }
            }
        }
        out += name;
        if (slash == std::string::npos) break;
        out += '/';
        pos = slash + 1;
    }
    return out;
}

// A text-mode reader: the stream behind the cookie is read in binary and
// every CR that is followed by LF is dropped. A lone CR is kept.
ssize_t TextRead(void* cookie, char* buf, size_t size) {
    FILE* f = static_cast<FILE*>(cookie);
    size_t n = 0;
    while (n < size) {
        int c = getc(f);
        if (c == EOF) break;
        if (c == '\r') {
            int next = getc(f);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                ungetc(next, f);
            }
        }
        buf[n++] = static_cast<char>(c);
    }
    if (n == 0 && ferror(f)) return -1;
    return static_cast<ssize_t>(n);
}

// Positions are those of the underlying file, as with text-mode streams on
// platforms that fold line ends.
int TextSeek(void* cookie, off64_t* offset, int whence) {
    FILE* f = static_cast<FILE*>(cookie);
    if (fseeko(f, *offset, whence) != 0) return -1;
    off_t pos = ftello(f);
    if (pos < 0) return -1;
    *offset = pos;
    return 0;
}

int TextClose(void* cookie) {
    return fclose(static_cast<FILE*>(cookie));
}

bool IsTextRead(const char* mode) {
    return mode[0] == 'r' && strchr(mode, 'b') == nullptr && strchr(mode, '+') == nullptr;
}

// The pattern matcher of ListFiles: '*' matches any run, '?' any one
// character, letters compare without regard to case. Iterative, with one
// backtracking point, so its time stays bounded for any pattern.
bool MatchWildcard(const char* pattern, const char* name) {
    const char* starP = nullptr;
    const char* starN = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            starP = ++pattern;
            starN = name;
        } else if (*pattern == '?' || (*pattern != '\0' && Fold(*pattern) == Fold(*name))) {
            ++pattern;
            ++name;
        } else if (starP != nullptr) {
            pattern = starP;
            name = ++starN;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

}  // namespace

OTSTR ToNative(const char* path) {
    std::string native = NativePath(path);
    OTSTR out;
    if (!native.empty()) out.Assign(native.c_str(), static_cast<int>(native.size()));
    return out;
}

FILE* OpenFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr || mode[0] == '\0') return nullptr;
    std::string native = NativePath(path);
    if (native.empty()) return nullptr;
    // 't' asks for text mode explicitly; the C library here has no such flag.
    std::string flags;
    for (const char* m = mode; *m != '\0'; ++m) {
        if (*m != 't') flags += *m;
    }
    if (!IsTextRead(mode)) return fopen(native.c_str(), flags.c_str());

    FILE* raw = fopen(native.c_str(), "rb");
    if (raw == nullptr) return nullptr;
    cookie_io_functions_t io = {TextRead, nullptr, TextSeek, TextClose};
    FILE* f = fopencookie(raw, "r", io);
    if (f == nullptr) fclose(raw);
    return f;
}

bool ReadFile(const char* path, bool textMode, OTSTR& out) {
    out.Empty();
    // Regular files only: a device such as /dev/zero never ends, and opening
    // a pipe blocks until a writer comes.
    std::string native = path != nullptr ? NativePath(path) : std::string();
    struct stat st;
    if (native.empty() || stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE* f = OpenFile(path, "rb");
    if (f == nullptr) return false;
    std::vector<char> data;
    char chunk[8192];
    size_t got;
    bool ok = true;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (data.size() + got > 0x7ffffff0u) {  // beyond what an OTSTR can hold
            ok = false;
            break;
        }
        data.insert(data.end(), chunk, chunk + got);
    }
    if (ferror(f)) ok = false;
    fclose(f);
    if (!ok) return false;

    if (textMode) {
        size_t w = 0;
        for (size_t r = 0; r < data.size(); ++r) {
            if (data[r] == '\r' && r + 1 < data.size() && data[r + 1] == '\n') continue;
            data[w++] = data[r];
        }
        data.resize(w);
    }
    if (data.empty()) return true;
    return out.Assign(data.data(), static_cast<int>(data.size())) != nullptr;
}

bool FileExists(const char* path) {
    std::string native = NativePath(path);
    struct stat st;
    return !native.empty() && stat(native.c_str(), &st) == 0;
}

bool IsDirectory(const char* path) {
    std::string native = NativePath(path);
    struct stat st;
    return !native.empty() && stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const char* path) {
    std::string native = NativePath(path);
    return !native.empty() && mkdir(native.c_str(), 0777) == 0;
}

bool RemoveFile(const char* path) {
    std::string native = NativePath(path);
    return !native.empty() && unlink(native.c_str()) == 0;
}

bool ListFiles(const char* dir, const char* pattern, StringArray& names) {
    names.RemoveAll();
    std::string native = NativePath(dir);
    if (native.empty()) native = ".";
    if (native.back() != '/') native += '/';
    if (pattern == nullptr) pattern = "*";

    DIR* d = opendir(native.c_str());
    if (d == nullptr) return false;
    std::vector<std::string> found;
    while (struct dirent* e = readdir(d)) {
        if (!MatchWildcard(pattern, e->d_name)) continue;
        struct stat st;
        std::string full = native + e->d_name;
        if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        found.push_back(e->d_name);
    }
    closedir(d);

    std::sort(found.begin(), found.end(), LessIgnoringCase);
    for (const std::string& name : found) {
        int before = names.GetSize();
        if (names.Add(name.c_str(), static_cast<int>(name.size())) == before) return false;
    }
    return true;
}

bool GetFileInfo(const char* path, int64_t& modified, uint32_t& size) {
    std::string native = NativePath(path);
    struct stat st;
    if (native.empty() || stat(native.c_str(), &st) != 0) return false;
    modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    size = st.st_size > 0xffffffff ? 0xffffffffu : static_cast<uint32_t>(st.st_size);
    return true;
}

OTSTR ExecutableDirectory() {
    OTSTR out;
    std::vector<char> buf(4096);
    ssize_t n;
    for (;;) {
        n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return out;
        if (static_cast<size_t>(n) < buf.size() || buf.size() >= (1u << 20)) break;
        buf.resize(buf.size() * 4);
    }
    std::string exe(buf.data(), static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return out;
    std::string dir = exe.substr(0, slash + 1);
    std::replace(dir.begin(), dir.end(), '/', '\\');
    out.Assign(dir.c_str(), static_cast<int>(dir.size()));
    return out;
}

void LocalTime(struct tm& out) {
    time_t now = time(nullptr);
    if (localtime_r(&now, &out) == nullptr) memset(&out, 0, sizeof out);
}

uint32_t TickCount() {
    struct timespec ts;
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace vpath
