// OTSTR: the engine's byte string with explicit growth rules. Plug-ins built
// against the shared engine library use it, so its layout and semantics are
// fixed. Tested by base/otstr_test.cpp.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/move_bytes.h"

class OTSTR {
  public:
    OTSTR();
    OTSTR(const OTSTR& other);
    OTSTR(const char* text, int length = -1);
    // Inline: most strings die without a block. Marked used so that the
    // library still exports it for plug-ins built when it was not inline.
    __attribute__((used)) ~OTSTR() {
        if (buffer != nullptr) OTSTR::Release(buffer, capacity);
    }

    // Storage hooks; the base string uses the process heap.
    virtual void* Alloc(size_t size);
    virtual void Free(void* block);
    virtual void* Realloc(void* block, size_t size);

    // Copies length bytes (-1: up to the zero byte). Returns the block, or
    // null when nothing could be stored.
    char* Assign(const char* text, int length);
    char* AssignTrimmed(const char* text, int length, bool trim);
    // Inline where the text fits the block this string holds, as names
    // copied from item to item do; marked used as the destructor is.
    __attribute__((used)) OTSTR& operator=(const OTSTR& other) {
        // An empty text over an empty one changes nothing: the usual names
        // and descriptions of values.
        if ((length | other.length) == 0) return *this;
        if (buffer == nullptr || other.length > capacity || this == &other) return Copy(other);
        MoveBytes(buffer, other.buffer, static_cast<size_t>(other.length));
        buffer[other.length] = 0;
        length = other.length;
        return *this;
    }
    OTSTR& operator=(const char* text);

    // Never null: an empty string gives a static empty text that callers
    // must not write through. The argument is ignored.
    char* GetBuffer(int unused = 0) const;
    int GetLength() const { return length; }
    int GetCapacity() const { return capacity; }
    bool HasStorage() const { return buffer != nullptr; }
    bool IsEmpty() const { return length < 1; }
    // Sets the length to 0; the block and its bytes stay.
    void Empty();
    // Keeps the first n characters (all of them for n past the end, none
    // for n below 1); the block stays.
    void Truncate(int n);

    char GetAt(int index) const;
    bool GetAt(int index, char& out) const;
    bool SetAt(int index, char c);
    void Replace(char from, char to);

    // True when equal. A null text equals an empty string only.
    bool Compare(const char* text, bool caseSensitive = true) const;
    bool CompareN(const char* text, int n, bool caseSensitive = true) const;
    bool CompareN(const OTSTR& other, bool caseSensitive = true) const;

    // Formats into the existing block without enlarging it; a string without
    // storage first gets capacity 400. A result of capacity characters or more
    // is reported as an overflow and leaves the string empty.
    OTSTR& Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    OTSTR& FormatV(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

    bool Append(const char* text, int length = -1);
    bool Append(const OTSTR& other);
    // One character with room for it is added inline. Marked used, as the
    // destructor, for plug-ins built when it was not inline.
    __attribute__((used)) bool AppendChar(char c, int n = 1) {
        if (n != 1 || !HasRoom(1)) return AppendChars(c, n);
        buffer[length++] = c;
        buffer[length] = 0;
        return true;
    }
    bool AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends a formatted text of up to kMaxSafeAppend characters,
    // enlarging as needed.
    static constexpr int kMaxSafeAppend = 2047;
    bool safeAppends(const char* format, ...) __attribute__((format(printf, 2, 3)));

    int Find(char c, int start = 0) const;
    int ReverseFind(char c, int start = -1) const;
    int FindOneOf(const char* set, int start = 0) const;
    int FindOutside(char target, const char* openers, const char* closers, int start = 0) const;
    int FindWildcard(const char* pattern, int patternLength = -1, int start = 0) const;
    // The same search on a raw buffer; lengths of -1 mean up to the zero byte.
    static int FindWildcard(const char* text, int textLength, const char* pattern,
                            int patternLength, int start);
    int ExtractBracketed(char open, char close, int start, bool inner, OTSTR& out) const;
    int ExtractBracketed(char open, bool openEscapable, char close, bool closeEscapable, int start,
                         bool inner, OTSTR& out) const;

    void TrimLeft(bool spacesOnly = false);
    void TrimRight(bool spacesOnly = false);
    OTSTR Left(int n) const;
    OTSTR Right(int n) const;
    OTSTR Mid(int start, int count = 0x7fffffff) const;
    friend OTSTR operator+(const OTSTR& a, const OTSTR& b);

    // strtol-like conversions of the whole text with 32-bit results; only
    // blanks may follow the number.
    bool ToLong(int32_t& out, int base = 10) const;
    bool ToULong(uint32_t& out, int base = 10) const;
    bool ToUShort(uint16_t& out, int base = 10) const;
    bool ToDouble(double& out) const;

  protected:
    char* buffer;
    int32_t length;
    int32_t capacity;
    int32_t growBy;

  private:
    // The destructor's OTSTR::Free, told the capacity: a block of the first
    // size goes back to the cache without asking the heap for its size.
    static void Release(void* block, int32_t capacity);
    void Drop();
    // operator= where the text needs a block first.
    OTSTR& Copy(const OTSTR& other);
    bool Obtain(int64_t newCapacity);
    bool MakeRoom(int64_t added);
    // AppendChar: n copies of c.
    bool AppendChars(char c, int n);
    // Whether the block holds added more characters and the zero byte, as
    // MakeRoom finds without a call.
    bool HasRoom(int64_t added) const {
        return buffer != nullptr && static_cast<int64_t>(length) + added < capacity;
    }
    OTSTR Slice(int start, int count) const;
    bool OnlySpacesFrom(const char* end) const;
};
