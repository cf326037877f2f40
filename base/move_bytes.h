// MoveBytes: memmove for the short texts that most copies move (names,
// cells, values): up to 16 bytes in at most four loads, all made before the
// first store, so that the runs may overlap as memmove's may. Longer runs go
// to memmove. Tested through base/otstr_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline __attribute__((always_inline)) void MoveBytes(char* to, const char* from, size_t n) {
    if (n > 16) {
        memmove(to, from, n);
    } else if (n >= 8) {
        uint64_t head, tail;
        memcpy(&head, from, 8);
        memcpy(&tail, from + n - 8, 8);
        memcpy(to, &head, 8);
        memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        uint32_t head, tail;
        memcpy(&head, from, 4);
        memcpy(&tail, from + n - 4, 4);
        memcpy(to, &head, 4);
        memcpy(to + n - 4, &tail, 4);
    } else if (n > 0) {
        // One, two or three bytes: the first, the middle and the last.
        char first = from[0], middle = from[n / 2], last = from[n - 1];
        to[0] = first;
        to[n / 2] = middle;
        to[n - 1] = last;
    }
}
