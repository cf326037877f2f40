// OTSTR: the engine's byte string (growth rules, formatting, searches and
// number conversions). Tested by base/otstr_test.cpp.
#include "base/otstr.h"

#include <malloc.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "base/block_cache.h"
#include "base/move_bytes.h"
#include "base/tracer.h"

namespace {

const char kMallocFail[] = "otstr malloc fail !";
const char kReallocFail[] = "otstr realloc fail !";
const char kFormatOverflow[] = "string format err, overflow !";
const char kAppendOverflow[] = "string append err, overflow !";
const char kSafeAppendsFormatError[] = "string safeAppends() err, vsprintf error !";
const char kSafeAppendsOverflow[] = "string safeAppends() err, overflow !";

const int32_t kDefaultGrowBy = 100;
const int32_t kNewCapacity = 200;                    // first block of Assign and Append
const int32_t kFormatCapacity = 400;                 // first block of Format and AppendFormat
const int kScratchSize = OTSTR::kMaxSafeAppend + 1;  // safeAppends scratch, also Format's
// The block holds capacity + 1 bytes, and both must fit a signed 32-bit count.
const int64_t kMaxCapacity = INT32_MAX - 1;

// Returned by the empty string's GetBuffer; nobody writes through it.
char emptyText[1] = {0};

// Writes one line to the trace; with flush the trace writes out its cache.
void Report(const char* text, bool flush) {
    Tracer* tracer = Tracer::inst();
    if (tracer == nullptr) return;
    tracer->TRACE_(text, true);
    if (flush) tracer->close();
}

char Fold(char c, bool caseSensitive) {
    if (!caseSensitive && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Index of c in the zero-terminated set, or -1; the terminator never matches.
int IndexIn(const char* set, char c) {
    for (int j = 0; set[j] != 0; ++j) {
        if (set[j] == c) return j;
    }
    return -1;
}

// Resolves a length argument: -1 means up to the zero byte. Returns false for
// other negative lengths and for texts too long to count in 32 bits.
bool ResolveLength(const char* text, int& length) {
    if (length >= 0) return true;
    if (length != -1) return false;
    size_t n = strlen(text);
    if (n > static_cast<size_t>(INT32_MAX)) return false;
    length = static_cast<int>(n);
    return true;
}

bool PointsInto(const char* p, const char* block, int32_t size) {
    std::less_equal<const char*> le;
    std::less<const char*> lt;
    return block != nullptr && le(block, p) && lt(p, block + size);
}

enum FormatResult { kFormatted, kTooLong, kNoScratch };

// Formats into dest when the complete result is shorter than limit characters;
// otherwise writes nothing. The text is built in a scratch area first, so an
// argument may point into dest. n receives the result length (-1 on a
// formatting error, which counts as too long).
__attribute__((format(printf, 3, 0))) FormatResult FormatInto(char* dest, int64_t limit,
                                                              const char* format, va_list args,
                                                              int& n) {
    va_list measure;
    va_copy(measure, args);
    n = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n < 0 || n >= limit) return kTooLong;

    char stackScratch[kScratchSize];
    char* scratch = stackScratch;
    if (n >= kScratchSize) {
        scratch = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
        if (scratch == nullptr) return kNoScratch;
    }
    int written = vsnprintf(scratch, static_cast<size_t>(n) + 1, format, args);
    if (written >= 0 && written < n) n = written;
    memcpy(dest, scratch, static_cast<size_t>(n));
    dest[n] = 0;
    if (scratch != stackScratch) free(scratch);
    return kFormatted;
}

// Most strings never outgrow their first block of kNewCapacity characters:
// each thread keeps up to 512 such blocks for the next string.
constexpr size_t kFirstBlock = kNewCapacity + 1;
using FirstBlocks = BlockCache<kFirstBlock, 512>;

}  // namespace

OTSTR::OTSTR() : buffer(nullptr), length(0), capacity(0), growBy(kDefaultGrowBy) {}

OTSTR::OTSTR(const OTSTR& other) : OTSTR() {
    // A copy of an empty string takes no block, as operator= over an empty
    // one takes none.
    if (other.length > 0) Assign(other.buffer, other.length);
}

OTSTR::OTSTR(const char* text, int length) : OTSTR() {
    Assign(text, length);
}

void* OTSTR::Alloc(size_t size) {
    if (size == kFirstBlock) {
        if (void* block = FirstBlocks::Take()) return block;
    }
    return malloc(size);
}

void OTSTR::Free(void* block) {
    if (!FirstBlocks::Keep(block)) free(block);
}

void OTSTR::Release(void* block, int32_t capacity) {
    // A string's block always holds its capacity and a zero byte, as the
    // heap handed it out (Obtain) or resized it (MakeRoom).
    bool kept = static_cast<size_t>(capacity) + 1 == kFirstBlock ? FirstBlocks::KeepSized(block)
                                                                 : FirstBlocks::Keep(block);
    if (!kept) free(block);
}

void* OTSTR::Realloc(void* block, size_t size) {
    return realloc(block, size);
}

// Releases the block; the string is left without storage.
void OTSTR::Drop() {
    if (buffer != nullptr) Free(buffer);
    buffer = nullptr;
    length = 0;
    capacity = 0;
}

// Gives a string without storage a block of newCapacity characters.
bool OTSTR::Obtain(int64_t newCapacity) {
    void* block = nullptr;
    if (newCapacity <= kMaxCapacity) block = Alloc(static_cast<size_t>(newCapacity) + 1);
    if (block == nullptr) {
        Report(kMallocFail, true);
        return false;
    }
    buffer = static_cast<char*>(block);
    buffer[0] = 0;
    length = 0;
    capacity = static_cast<int32_t>(newCapacity);
    return true;
}

// Makes room for added more characters: a string without storage gets 200
// characters, and when the text would reach the capacity the block grows to
// growBy + length + added + 1, contents kept.
bool OTSTR::MakeRoom(int64_t added) {
    int64_t needed = static_cast<int64_t>(length) + added;
    int64_t grown = static_cast<int64_t>(growBy) + needed + 1;
    if (grown <= needed) grown = needed + 1;  // a negative growBy never shrinks below the text
    if (buffer == nullptr) return Obtain(needed >= kNewCapacity ? grown : kNewCapacity);
    if (needed < capacity) return true;

    void* moved = nullptr;
    if (grown <= kMaxCapacity) moved = Realloc(buffer, static_cast<size_t>(grown) + 1);
    if (moved == nullptr) {
        Report(kReallocFail, true);
        Drop();
        return false;
    }
    buffer = static_cast<char*>(moved);
    capacity = static_cast<int32_t>(grown);
    return true;
}

char* OTSTR::Assign(const char* text, int length) {
    if (text == nullptr) {
        if (length == 0) Empty();
        return buffer;
    }
    if (!ResolveLength(text, length)) return nullptr;

    if (buffer == nullptr) {
        if (!Obtain(length <= kNewCapacity ? kNewCapacity : static_cast<int64_t>(length) + 1)) {
            return nullptr;
        }
        MoveBytes(buffer, text, static_cast<size_t>(length));
    } else if (capacity < length) {
        // A fresh block; the old one is released only after the copy, since the
        // text may lie inside it.
        char* old = buffer;
        buffer = nullptr;
        bool ok = Obtain(static_cast<int64_t>(length) + 1);
        if (ok) MoveBytes(buffer, text, static_cast<size_t>(length));
        Free(old);
        if (!ok) return nullptr;
    } else {
        MoveBytes(buffer, text, static_cast<size_t>(length));
    }
    this->length = length;
    buffer[length] = 0;
    return buffer;
}

char* OTSTR::AssignTrimmed(const char* text, int length, bool trim) {
    if (text == nullptr || !trim) return Assign(text, length);
    if (!ResolveLength(text, length)) return nullptr;
    int first = 0;
    while (first < length && (text[first] == ' ' || text[first] == '\t')) ++first;
    int end = length;
    while (end > first && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return Assign(text + first, end - first);
}

OTSTR& OTSTR::Copy(const OTSTR& other) {
    // An empty text over an empty one changes nothing, and takes no block.
    if (this != &other && (other.length != 0 || length != 0)) Assign(other.buffer, other.length);
    return *this;
}

OTSTR& OTSTR::operator=(const char* text) {
    if (text != nullptr && text[0] == 0 && length == 0) return *this;
    Assign(text, -1);
    return *this;
}

char* OTSTR::GetBuffer(int) const {
    return length != 0 ? buffer : emptyText;
}

void OTSTR::Empty() {
    length = 0;
}

void OTSTR::Truncate(int n) {
    if (n >= length) return;
    length = n > 0 ? n : 0;
    if (buffer != nullptr) buffer[length] = 0;
}

char OTSTR::GetAt(int index) const {
    if (index < 0 || index >= length) return 0;
    return buffer[index];
}

bool OTSTR::GetAt(int index, char& out) const {
    out = GetAt(index);
    return index >= 0 && index < length;
}

bool OTSTR::SetAt(int index, char c) {
    if (index < 0 || index >= length) return false;
    buffer[index] = c;
    return true;
}

void OTSTR::Replace(char from, char to) {
    for (int i = 0; i < length; ++i) {
        if (buffer[i] == from) buffer[i] = to;
    }
}

bool OTSTR::Compare(const char* text, bool caseSensitive) const {
    if (text == nullptr) return length == 0;
    if (buffer == nullptr) return false;
    // Stops at the first difference: most texts compared differ early. Equal
    // bytes, the usual case, need no folding.
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == 0) return false;
        if (c != buffer[i] && Fold(buffer[i], caseSensitive) != Fold(c, caseSensitive)) {
            return false;
        }
    }
    return text[length] == 0;
}

bool OTSTR::CompareN(const char* text, int n, bool caseSensitive) const {
    if (length < n) return false;
    if (n <= 0) return true;
    if (text == nullptr) return false;
    // Stops at the text's zero byte, so a shorter text is never read beyond.
    for (int i = 0; i < n; ++i) {
        if (Fold(buffer[i], caseSensitive) != Fold(text[i], caseSensitive)) return false;
        if (text[i] == 0) return true;
    }
    return true;
}

bool OTSTR::CompareN(const OTSTR& other, bool caseSensitive) const {
    int n = other.length;
    if (length < n) return false;
    for (int i = 0; i < n; ++i) {
        if (Fold(buffer[i], caseSensitive) != Fold(other.buffer[i], caseSensitive)) return false;
    }
    return true;
}

OTSTR& OTSTR::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
    return *this;
}

OTSTR& OTSTR::FormatV(const char* format, va_list args) {
    if (buffer == nullptr && !Obtain(kFormatCapacity)) return *this;
    if (format == nullptr) {
        length = 0;
        buffer[0] = 0;
        return *this;
    }
    int n = 0;
    switch (FormatInto(buffer, capacity, format, args, n)) {
        case kFormatted:
            length = n;
            break;
        case kTooLong:
            // Nothing was written; the string is left empty.
            length = 0;
            buffer[0] = 0;
            Report(kFormatOverflow, true);
            break;
        case kNoScratch:
            Report(kMallocFail, true);
            break;
    }
    return *this;
}

bool OTSTR::Append(const char* text, int length) {
    if (text == nullptr || !ResolveLength(text, length) || length == 0) return false;
    // The text may lie inside this string's block, which MakeRoom may move.
    bool inside = PointsInto(text, buffer, capacity + 1);
    ptrdiff_t offset = inside ? text - buffer : 0;
    if (!HasRoom(length) && !MakeRoom(length)) return false;
    if (inside) text = buffer + offset;
    MoveBytes(buffer + this->length, text, static_cast<size_t>(length));
    this->length += length;
    buffer[this->length] = 0;
    return true;
}

bool OTSTR::Append(const OTSTR& other) {
    return Append(other.buffer, other.length);
}

bool OTSTR::AppendChars(char c, int n) {
    if (n < 1) return true;
    if (!HasRoom(n) && !MakeRoom(n)) return false;
    memset(buffer + length, static_cast<unsigned char>(c), static_cast<size_t>(n));
    length += n;
    buffer[length] = 0;
    return true;
}

bool OTSTR::AppendFormat(const char* format, ...) {
    if (format == nullptr) return false;
    if (buffer == nullptr && !Obtain(kFormatCapacity)) return false;
    va_list args;
    va_start(args, format);
    int n = 0;
    FormatResult result =
        FormatInto(buffer + length, static_cast<int64_t>(capacity) - length, format, args, n);
    va_end(args);
    switch (result) {
        case kFormatted:
            length += n;
            return true;
        case kTooLong:
            Report(kAppendOverflow, true);
            Drop();
            return false;
        case kNoScratch:
            Report(kMallocFail, true);
            return false;
    }
    return false;
}

bool OTSTR::safeAppends(const char* format, ...) {
    if (format == nullptr) return false;
    char scratch[kScratchSize];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (n < 0 || n >= kScratchSize) {
        Report(n < 0 ? kSafeAppendsFormatError : kSafeAppendsOverflow, true);
        Drop();
        return false;
    }
    return Append(scratch, n);
}

int OTSTR::Find(char c, int start) const {
    if (start < 0) return -1;
    for (int i = start; i < length; ++i) {
        if (buffer[i] == c) return i;
    }
    return -1;
}

int OTSTR::ReverseFind(char c, int start) const {
    if (start == -1) start = length - 1;
    if (start < 0 || start >= length) return -1;
    for (int i = start; i >= 0; --i) {
        if (buffer[i] == c) return i;
    }
    return -1;
}

int OTSTR::FindOneOf(const char* set, int start) const {
    if (start < 0) return -1;
    bool visibleOnly = set == nullptr || set[0] == 0;
    for (int i = start; i < length; ++i) {
        signed char c = static_cast<signed char>(buffer[i]);
        if (visibleOnly ? (c >= 33 && c != 127) : IndexIn(set, buffer[i]) >= 0) return i;
    }
    return -1;
}

// Walks from start with a depth and the pair that opened it; the target counts
// only at depth 0. A pair whose opener equals its closer is a quote: meeting
// it again inside closes it. Other pairs are ignored while inside a pair.
int OTSTR::FindOutside(char target, const char* openers, const char* closers, int start) const {
    if (openers == nullptr) openers = "";
    if (closers == nullptr) closers = "";
    if (start < 0 || start >= length || strlen(openers) != strlen(closers)) return -1;
    int depth = 0;
    int current = -1;
    for (int i = start; i < length; ++i) {
        char c = buffer[i];
        if (depth == 0 && c == target) return i;
        int j = IndexIn(openers, c);
        if (j >= 0) {
            if (depth == 0) {
                current = j;
                depth = 1;
            } else if (j == current) {
                depth += openers[j] == closers[j] ? -1 : 1;
            }
        } else if (current >= 0 && depth >= 1 && c == closers[current]) {
            --depth;
        }
    }
    return -1;
}

int OTSTR::FindWildcard(const char* pattern, int patternLength, int start) const {
    return FindWildcard(buffer, length, pattern, patternLength, start);
}

// '?' in the pattern matches any byte. A failure-table scan cannot be used
// here: with '?' the table's borders do not hold for the text (it would find
// "a?b" in "abab" at 1), so each start is tried in turn, skipping ahead to
// the pattern's first fixed byte.
int OTSTR::FindWildcard(const char* text, int textLength, const char* pattern, int patternLength,
                        int start) {
    if (text == nullptr || pattern == nullptr || start < 0) return -1;
    if (!ResolveLength(text, textLength) || !ResolveLength(pattern, patternLength)) return -1;
    if (textLength == 0 || patternLength == 0) return -1;
    if (static_cast<int64_t>(start) + patternLength > textLength) return -1;

    int fixed = 0;  // first pattern position that is not '?'
    while (fixed < patternLength && pattern[fixed] == '?') ++fixed;
    int last = textLength - patternLength;
    for (int s = start; s <= last; ++s) {
        if (fixed < patternLength) {
            const void* hit =
                memchr(text + s + fixed, pattern[fixed], static_cast<size_t>(last - s) + 1);
            if (hit == nullptr) return -1;
            s = static_cast<int>(static_cast<const char*>(hit) - text) - fixed;
        }
        int k = fixed;
        while (k < patternLength && (pattern[k] == '?' || pattern[k] == text[s + k])) ++k;
        if (k == patternLength) return s;
    }
    return -1;
}

int OTSTR::ExtractBracketed(char open, char close, int start, bool inner, OTSTR& out) const {
    return ExtractBracketed(open, false, close, false, start, inner, out);
}

int OTSTR::ExtractBracketed(char open, bool openEscapable, char close, bool closeEscapable,
                            int start, bool inner, OTSTR& out) const {
    if (start < 0 || start >= length || open == close) return -1;
    auto escaped = [this](int i) { return i > 0 && buffer[i - 1] == '\\'; };
    auto isOpen = [&](int i) { return buffer[i] == open && !(openEscapable && escaped(i)); };
    auto isClose = [&](int i) { return buffer[i] == close && !(closeEscapable && escaped(i)); };

    int first = start;
    while (first < length && !isOpen(first)) ++first;
    int depth = 0;
    for (int i = first; i < length; ++i) {
        if (isOpen(i)) {
            ++depth;
        } else if (isClose(i) && --depth == 0) {
            if (inner) {
                out.Assign(buffer + first + 1, i - first - 1);
            } else {
                out.Assign(buffer + first, i - first + 1);
            }
            return first;
        }
    }
    return -1;
}

void OTSTR::TrimLeft(bool spacesOnly) {
    int n = 0;
    while (n < length && (buffer[n] == ' ' || (!spacesOnly && buffer[n] == '\t'))) ++n;
    if (n == 0) return;
    memmove(buffer, buffer + n, static_cast<size_t>(length - n));
    length -= n;
    buffer[length] = 0;
}

void OTSTR::TrimRight(bool spacesOnly) {
    int end = length;
    while (end > 0 && (buffer[end - 1] == ' ' || (!spacesOnly && buffer[end - 1] == '\t'))) --end;
    if (end == length) return;
    length = end;
    buffer[length] = 0;
}

// The count bytes at start, which the callers keep within the text.
OTSTR OTSTR::Slice(int start, int count) const {
    OTSTR result;
    if (buffer != nullptr) result.Assign(buffer + start, count);
    return result;
}

OTSTR OTSTR::Left(int n) const {
    if (n < 0) n = 0;
    return Slice(0, n < length ? n : length);
}

OTSTR OTSTR::Right(int n) const {
    if (n < 0) n = 0;
    if (n > length) n = length;
    return Slice(length - n, n);
}

OTSTR OTSTR::Mid(int start, int count) const {
    if (start < 0 || start >= length || count < 0) return Slice(0, 0);
    if (count > length - start) count = length - start;
    return Slice(start, count);
}

OTSTR operator+(const OTSTR& a, const OTSTR& b) {
    OTSTR result(a);
    if (b.length > 0) result.Append(b.buffer, b.length);
    return result;
}

// True when only space characters (not tabs) lie between end and the end of
// the text.
bool OTSTR::OnlySpacesFrom(const char* end) const {
    for (const char* p = end; p < buffer + length; ++p) {
        if (*p != ' ') return false;
    }
    return true;
}

namespace {

bool ValidBase(int base) {
    return base == 0 || (base >= 2 && base <= 36);
}

}  // namespace

bool OTSTR::ToLong(int32_t& out, int base) const {
    out = 0;
    if (length == 0) return true;
    if (!ValidBase(base)) return false;
    char* end = buffer;
    long long value = strtoll(buffer, &end, base);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    out = static_cast<int32_t>(value);
    return OnlySpacesFrom(end);
}

bool OTSTR::ToULong(uint32_t& out, int base) const {
    out = 0;
    if (length == 0) return true;
    if (!ValidBase(base)) return false;
    // A 32-bit strtoul negates the magnitude of "-n" in 32 bits and saturates
    // when the magnitude does not fit.
    const char* p = buffer;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    char* end = buffer;
    int savedErrno = errno;
    errno = 0;
    unsigned long long value = strtoull(buffer, &end, base);
    bool overflow = errno == ERANGE;
    errno = savedErrno;
    unsigned long long magnitude = negative ? 0ULL - value : value;
    if (overflow || magnitude > UINT32_MAX) {
        out = UINT32_MAX;
    } else {
        out = static_cast<uint32_t>(magnitude);
        if (negative) out = 0u - out;
    }
    return OnlySpacesFrom(end);
}

bool OTSTR::ToUShort(uint16_t& out, int base) const {
    int32_t value = 0;
    bool ok = ToLong(value, base);
    out = static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xffffu);
    return ok;
}

bool OTSTR::ToDouble(double& out) const {
    out = 0;
    if (length == 0) return true;
    char* end = buffer;
    out = strtod(buffer, &end);
    return OnlySpacesFrom(end);
}
