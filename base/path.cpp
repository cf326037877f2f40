// The platform layer for files, paths and time on Linux: backslash paths
// with case-insensitive resolution, text-mode CR LF folding, output that
// replaces files whole and records its failures, directory listing and the
// clocks. Tested by base/path_test.cpp.
#include "base/path.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
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

// The last few paths resolved to existing entries, so that a path used
// again and again (the report "Dump\\Tran" below the directory "dump") is
// not searched for in another letter case every time. An entry holds while
// its native form still names an entry and each component that was found in
// another letter case still has no entry spelled as written.
struct Resolution {
    std::string path;
    std::string native;
    std::vector<std::string> asWritten;  // of the components found otherwise
};
constexpr size_t kKeptResolutions = 8;
thread_local std::vector<Resolution> resolutions;
thread_local size_t nextResolution = 0;

const std::string* KeptResolution(const std::string& path) {
    for (const Resolution& r : resolutions) {
        if (r.path != path) continue;
        if (!EntryExists(r.native)) return nullptr;
        for (const std::string& written : r.asWritten) {
            if (EntryExists(written)) return nullptr;
        }
        return &r.native;
    }
    return nullptr;
}

void KeepResolution(const std::string& path, const std::string& native,
                    std::vector<std::string>& asWritten) {
    for (Resolution& r : resolutions) {
        if (r.path != path) continue;
        r.native = native;
        r.asWritten.swap(asWritten);
        return;
    }
    if (resolutions.size() < kKeptResolutions) {
        resolutions.push_back(Resolution{path, native, {}});
        resolutions.back().asWritten.swap(asWritten);
        return;
    }
    Resolution& r = resolutions[nextResolution];
    nextResolution = (nextResolution + 1) % kKeptResolutions;
    r.path = path;
    r.native = native;
    r.asWritten.swap(asWritten);
}

std::string NativePath(const char* path) {
    std::string out;
    if (path == nullptr) return out;
    std::string rest(path);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    if (const std::string* kept = KeptResolution(rest)) return *kept;

    // Walk the components; once one is missing nothing below it can exist,
    // so the remaining components are kept as written.
    bool resolving = true;
    bool folded = false;
    std::vector<std::string> asWritten;
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
                    asWritten.push_back(out + name);
                    name = found;
                    folded = true;
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
    // Only a path found in another letter case is worth keeping, and only
    // while it names an entry.
    if (resolving && folded) KeepResolution(rest, out, asWritten);
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

bool IsWriteMode(const char* mode) {
    return mode[0] == 'w' || mode[0] == 'a' || strchr(mode, '+') != nullptr;
}

// The failures of output, one per path. Never destroyed, so that writers
// that run while the program ends still find it.
struct FailureLog {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> entries;
};

FailureLog& Failures() {
    static FailureLog* log = new FailureLog;
    return *log;
}

void RecordFailure(const char* path, const char* reason) {
    FailureLog& log = Failures();
    std::lock_guard<std::mutex> lock(log.mutex);
    std::string name(path != nullptr ? path : "");
    for (const auto& entry : log.entries) {
        if (entry.first == name) return;
    }
    if (log.entries.size() < static_cast<size_t>(kMaxWriteFailures)) {
        log.entries.emplace_back(name, reason);
    }
}

constexpr char kDanglingLink[] = "dangling symbolic link";

// One file being written: in place, or as a temporary file beside the
// target that takes its place when it is closed without a failure.
struct Output {
    std::string path;    // as the caller gave it, for the failure record
    std::string target;  // the native file the output ends up in
    std::string temp;    // the file written instead, empty when in place
    int fd = -1;
    bool failed = false;

    void Fail(const char* reason) {
        if (!failed) RecordFailure(path.c_str(), reason);
        failed = true;
    }
    void Fail(int error) { Fail(strerror(error)); }
};

// The temporary names are unique within the process; O_EXCL guards against
// other processes and leftovers.
unsigned NextTempNumber() {
    static unsigned counter = 0;
    return ++counter;
}

// Opens output for path. Truncating output to a regular file (or to a name
// that does not exist yet) goes to a temporary file in the target's
// directory, which keeps the old file's permissions; everything else is
// written in place. A symbolic link leads to its target; a dangling one is
// refused.
bool OpenOutput(Output& out, const char* path, bool truncate, bool append, bool read) {
    out.path = path;
    std::string native = NativePath(path);
    if (native.empty()) return false;
    struct stat st;
    bool exists = lstat(native.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        out.Fail(errno);
        return false;
    }
    out.target = native;
    if (exists && S_ISLNK(st.st_mode)) {
        if (stat(native.c_str(), &st) != 0) {
            out.Fail(errno == ENOENT ? kDanglingLink : strerror(errno));
            return false;
        }
        char* real = realpath(native.c_str(), nullptr);
        if (real == nullptr) {
            out.Fail(errno);
            return false;
        }
        out.target = real;
        free(real);
    }

    const int openMode = O_CLOEXEC | (read ? O_RDWR : O_WRONLY);
    if (truncate && (!exists || S_ISREG(st.st_mode))) {
        // Replacing needs the same right as writing the file in place.
        if (exists && access(out.target.c_str(), W_OK) != 0) {
            out.Fail(errno);
            return false;
        }
        size_t slash = out.target.rfind('/');
        std::string dir = slash == std::string::npos ? "" : out.target.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? out.target : out.target.substr(slash + 1);
        if (name.size() > 200) name.resize(200);  // room for the suffix within NAME_MAX
        for (int attempt = 0; attempt < 100 && out.fd < 0; ++attempt) {
            out.temp = dir + "." + name + "." + std::to_string(getpid()) + "-" +
                       std::to_string(NextTempNumber()) + ".tmp";
            out.fd = open(out.temp.c_str(), openMode | O_CREAT | O_EXCL, 0666);
            if (out.fd < 0 && errno != EEXIST) break;
        }
        if (out.fd < 0) {
            out.temp.clear();
            out.Fail(errno);
            return false;
        }
        if (exists) {
            if (fchown(out.fd, st.st_uid, st.st_gid) != 0) {
                // Only the owner or root may keep the group; the mode still follows.
            }
            fchmod(out.fd, st.st_mode & 07777);
        }
        return true;
    }
    int flags = openMode;
    if (truncate) flags |= O_TRUNC | O_CREAT;
    if (append) flags |= O_APPEND | O_CREAT;
    out.fd = open(out.target.c_str(), flags, 0666);
    if (out.fd < 0) {
        out.Fail(errno);
        return false;
    }
    return true;
}

bool WriteAll(Output& out, const void* data, size_t size) {
    if (out.failed || out.fd < 0) return false;
    int error = WriteDescriptor(out.fd, data, size);
    if (error != 0) out.Fail(error);
    return error == 0;
}

// Closes the output; a temporary file takes the target's place when
// nothing failed and is removed otherwise. With sync its data reach the
// disk before the rename.
bool CloseOutput(Output& out, bool sync) {
    if (out.fd < 0) return false;
    if (!out.failed && sync && !out.temp.empty() && fdatasync(out.fd) != 0) out.Fail(errno);
    if (close(out.fd) != 0) out.Fail(errno);
    out.fd = -1;
    if (!out.temp.empty()) {
        if (!out.failed && rename(out.temp.c_str(), out.target.c_str()) != 0) out.Fail(errno);
        if (out.failed) unlink(out.temp.c_str());
        out.temp.clear();
    }
    return !out.failed;
}

// The stream functions of a file opened for writing.
ssize_t OutputRead(void* cookie, char* buf, size_t size) {
    auto* out = static_cast<Output*>(cookie);
    ssize_t n;
    do {
        n = read(out->fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t OutputWrite(void* cookie, const char* buf, size_t size) {
    // A stream's write function reports an error as 0 bytes.
    return WriteAll(*static_cast<Output*>(cookie), buf, size) ? static_cast<ssize_t>(size) : 0;
}

int OutputSeek(void* cookie, off64_t* offset, int whence) {
    off_t pos = lseek(static_cast<Output*>(cookie)->fd, *offset, whence);
    if (pos < 0) return -1;
    *offset = pos;
    return 0;
}

int OutputClose(void* cookie) {
    auto* out = static_cast<Output*>(cookie);
    bool ok = CloseOutput(*out, false);
    delete out;
    return ok ? 0 : -1;
}

FILE* OpenOutputStream(const char* path, const char* mode) {
    const bool plus = strchr(mode, '+') != nullptr;
    auto* out = new (std::nothrow) Output;
    if (out == nullptr) return nullptr;
    if (!OpenOutput(*out, path, mode[0] == 'w', mode[0] == 'a', plus)) {
        delete out;
        return nullptr;
    }
    const char streamMode[3] = {mode[0], plus ? '+' : '\0', '\0'};
    cookie_io_functions_t io = {plus ? OutputRead : nullptr, OutputWrite, OutputSeek, OutputClose};
    FILE* f = fopencookie(out, streamMode, io);
    if (f == nullptr) {
        out->Fail(errno);
        CloseOutput(*out, false);
        delete out;
    }
    return f;
}

void FillStamp(const struct stat& st, FileStamp& stamp) {
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

bool ReadWhole(const char* path, bool textMode, OTSTR& out, FileStamp* stamp) {
    out.Empty();
    // Regular files only: a device such as /dev/zero never ends, and opening
    // a pipe blocks until a writer comes.
    std::string native = path != nullptr ? NativePath(path) : std::string();
    struct stat st;
    if (native.empty() || stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE* f = fopen(native.c_str(), "rbe");
    if (f == nullptr) return false;
    if (stamp != nullptr) {
        if (fstat(fileno(f), &st) != 0) {
            fclose(f);
            return false;
        }
        FillStamp(st, *stamp);
    }
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
    if (IsWriteMode(mode)) return OpenOutputStream(path, mode);
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

bool ReplaceFile(const char* path, const void* data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0)) return false;
    Output out;
    if (!OpenOutput(out, path, true, false, false)) return false;
    WriteAll(out, data, size);
    return CloseOutput(out, true);
}

bool ReadFile(const char* path, bool textMode, OTSTR& out) {
    return ReadWhole(path, textMode, out, nullptr);
}

bool ReadFile(const char* path, OTSTR& out, FileStamp& stamp) {
    stamp = FileStamp();
    return ReadWhole(path, false, out, &stamp);
}

FileStamp GetFileStamp(const char* path) {
    FileStamp stamp;
    std::string native = NativePath(path);
    struct stat st;
    if (!native.empty() && stat(native.c_str(), &st) == 0) FillStamp(st, stamp);
    return stamp;
}

bool RecordFile::Create(const char* pathIn, const void* data, size_t n) {
    Close();
    path = pathIn != nullptr ? pathIn : "";
    if (pathIn == nullptr || !ReplaceFile(pathIn, data, n)) return false;
    // The file just written, wherever a link led.
    std::string native = NativePath(pathIn);
    char* real = realpath(native.c_str(), nullptr);
    fd = open(real != nullptr ? real : native.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    free(real);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        RecordFailure(path.GetBuffer(0), strerror(errno));
        Close();
        return false;
    }
    size = st.st_size;
    return true;
}

bool RecordFile::Append(const void* data, size_t n) {
    if (fd < 0 || (data == nullptr && n > 0)) return false;
    int error = WriteDescriptor(fd, data, n);
    if (error != 0) {
        RecordFailure(path.GetBuffer(0), strerror(error));
        // What part of the record reached the file goes again.
        if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
            // The record stays cut; nothing more can be done about it.
        }
        Close();
        return false;
    }
    size += static_cast<int64_t>(n);
    return true;
}

void RecordFile::Close() {
    if (fd >= 0) close(fd);
    fd = -1;
}

int WriteDescriptor(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

bool AppendFile::Append(const char* pathIn, const void* data, size_t size) {
    if (pathIn == nullptr || (data == nullptr && size > 0)) return false;
    if (size == 0) return true;
    struct stat st;
    Output out;
    if (fd >= 0 && path == pathIn && StillNamed()) {
        out.path = path;
        out.fd = fd;
    } else {
        Close();
        if (!OpenOutput(out, pathIn, false, true, false)) return false;
        if (fstat(out.fd, &st) != 0) {
            out.Fail(errno);
            CloseOutput(out, false);
            return false;
        }
        fd = out.fd;
        device = static_cast<uint64_t>(st.st_dev);
        inode = static_cast<uint64_t>(st.st_ino);
        path = pathIn;
        native = NativePath(pathIn);
        // A file put in its place before the watch began is seen by the
        // look that follows the watch's start: the watch stops then, and the
        // next append looks the path up again.
        if (!watch.Watch(native, false) || !NamesOpenFile()) watch.Stop();
    }
    if (WriteAll(out, data, size)) return true;
    Close();
    return false;
}

bool AppendFile::StillNamed() {
    if (watch.Unchanged()) return true;
    watch.Watch(native, false);
    return NamesOpenFile();
}

bool AppendFile::NamesOpenFile() const {
    struct stat st;
    return stat(native.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == device &&
           static_cast<uint64_t>(st.st_ino) == inode;
}

void AppendFile::Close() {
    watch.Stop();
    if (fd >= 0 && close(fd) != 0) RecordFailure(path.c_str(), strerror(errno));
    fd = -1;
    path.clear();
    native.clear();
}

int WriteFailureCount() {
    FailureLog& log = Failures();
    std::lock_guard<std::mutex> lock(log.mutex);
    return static_cast<int>(log.entries.size());
}

bool GetWriteFailure(int index, OTSTR& path, OTSTR& reason) {
    FailureLog& log = Failures();
    std::lock_guard<std::mutex> lock(log.mutex);
    if (index < 0 || static_cast<size_t>(index) >= log.entries.size()) return false;
    const auto& entry = log.entries[static_cast<size_t>(index)];
    path.Empty();
    reason.Empty();
    if (!entry.first.empty()) path.Assign(entry.first.data(), static_cast<int>(entry.first.size()));
    reason.Assign(entry.second.data(), static_cast<int>(entry.second.size()));
    return true;
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

namespace {

bool StatInfo(const std::string& native, int64_t& modified, uint32_t& size) {
    struct stat st;
    if (native.empty() || stat(native.c_str(), &st) != 0) return false;
    modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    size = st.st_size > 0xffffffff ? 0xffffffffu : static_cast<uint32_t>(st.st_size);
    return true;
}

}  // namespace

bool GetFileInfo(const char* path, int64_t& modified, uint32_t& size) {
    return StatInfo(NativePath(path), modified, size);
}

bool ResolvedPath::GetFileInfo(const char* pathIn, int64_t& modified, uint32_t& size) {
    if (pathIn == nullptr) return false;
    bool samePath = path == pathIn;
    if (samePath && watch.Unchanged()) {
        modified = lastModified;
        size = lastSize;
        return true;
    }
    if (!samePath) {
        path = pathIn;
        native = NativePath(pathIn);
    }
    // The watch begins before the look, so that a change between the two
    // shows at the next call.
    watch.Watch(native, true);
    bool found = StatInfo(native, modified, size);
    if (!found && samePath) {
        native = NativePath(pathIn);
        watch.Watch(native, true);
        found = StatInfo(native, modified, size);
    }
    if (!found) {
        watch.Stop();
        return false;
    }
    lastModified = modified;
    lastSize = size;
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

namespace {

uint32_t Milliseconds(clockid_t clock) {
    struct timespec ts;
    if (clock_gettime(clock, &ts) != 0) return 0;
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace

uint32_t TickCount() {
    return Milliseconds(CLOCK_MONOTONIC);
}

uint32_t CoarseTickCount() {
    return Milliseconds(CLOCK_MONOTONIC_COARSE);
}

uint32_t CoarseTickGrain() {
    static const uint32_t grain = [] {
        struct timespec res;
        if (clock_getres(CLOCK_MONOTONIC_COARSE, &res) != 0 || res.tv_sec > 0) return 1000u;
        // Whole milliseconds, rounded up.
        return static_cast<uint32_t>((res.tv_nsec + 999999) / 1000000);
    }();
    return grain;
}

}  // namespace vpath
