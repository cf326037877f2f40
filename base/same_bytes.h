// SameBytes: whether two runs of bytes of one length are equal, for the
// short names that look-ups compare again and again: up to 16 bytes are
// compared in at most four loads of each side, none past the last byte;
// longer runs go to memcmp. Tested by base/same_bytes_test.cpp.
#pragma once

#include <cstdint>
#include <cstring>

// Whether the first sizeof(Word) bytes and the last sizeof(Word) bytes of a
// and b agree; with length from sizeof(Word) to twice that, all bytes.
template <typename Word>
inline __attribute__((always_inline)) bool SameEnds(const char* a, const char* b, int length) {
    Word a0, b0, a1, b1;
    memcpy(&a0, a, sizeof(Word));
    memcpy(&b0, b, sizeof(Word));
    memcpy(&a1, a + length - sizeof(Word), sizeof(Word));
    memcpy(&b1, b + length - sizeof(Word), sizeof(Word));
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

inline __attribute__((always_inline)) bool SameBytes(const char* a, const char* b, int length) {
    if (length >= 8) {
        if (length > 16) return memcmp(a, b, static_cast<size_t>(length)) == 0;
        return SameEnds<uint64_t>(a, b, length);
    }
    if (length >= 4) return SameEnds<uint32_t>(a, b, length);
    for (int i = 0; i < length; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}
