// SameBytes: whether two runs of bytes of one length are equal, for the
// short names that look-ups compare again and again: up to 16 bytes are
// compared in at most four loads of each side, none past the last byte;
// longer runs go to memcmp. Tested by base/same_bytes_test.cpp.
#pragma once

#include <cstdint>
#include <cstring>

inline bool SameBytes(const char* a, const char* b, int length) {
    if (length >= 8) {
        if (length > 16) return memcmp(a, b, static_cast<size_t>(length)) == 0;
        // The first eight bytes and the last eight, which may overlap.
        uint64_t a0, b0, a1, b1;
        memcpy(&a0, a, 8);
        memcpy(&b0, b, 8);
        memcpy(&a1, a + length - 8, 8);
        memcpy(&b1, b + length - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (length >= 4) {
        uint32_t a0, b0, a1, b1;
        memcpy(&a0, a, 4);
        memcpy(&b0, b, 4);
        memcpy(&a1, a + length - 4, 4);
        memcpy(&b1, b + length - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    for (int i = 0; i < length; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}
