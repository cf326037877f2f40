// MoveBytes: memmove for the short texts that most copies move (names,
// cells, values): up to 16 bytes in at most four loads, all made before the
// first store, so that the runs may overlap as memmove's may. Longer runs go
// to memmove. Tested through base/otstr_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first sizeof(Word) bytes and the last sizeof(Word) bytes of from, both
// loaded before either is stored; with n from sizeof(Word) to twice that,
// all bytes.
template <typename Word>
inline __attribute__((always_inline)) void MoveEnds(char* to, const char* from, size_t n) {
    Word head, tail;
    memcpy(&head, from, sizeof(Word));
    memcpy(&tail, from + n - sizeof(Word), sizeof(Word));
    memcpy(to, &head, sizeof(Word));
    memcpy(to + n - sizeof(Word), &tail, sizeof(Word));
}

inline __attribute__((always_inline)) void MoveBytes(char* to, const char* from, size_t n) {
    if (n > 16) {
        memmove(to, from, n);
    } else if (n >= 8) {
        MoveEnds<uint64_t>(to, from, n);
    } else if (n >= 4) {
        MoveEnds<uint32_t>(to, from, n);
    } else if (n > 0) {
        // One, two or three bytes: the first, the middle and the last.
        char first = from[0], middle = from[n / 2], last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}
