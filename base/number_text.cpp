// Integer digits without printf. Tested by base/number_text_test.cpp.
#include "base/number_text.h"

int DecimalDigits(int64_t value, char* out) {
    // The magnitude as unsigned, so that the lowest value has one too.
    uint64_t magnitude =
        value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
    int length = 0;
    if (value < 0) out[length++] = '-';
    // The digits are counted first and then written from the last, two at
    // a time: most numbers of a translation are small.
    int digits = 1;
    for (uint64_t bound = 10; digits < 20 && magnitude >= bound; bound *= 10) {
        ++digits;
    }
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    length += digits;
    char* at = out + length;
    while (magnitude >= 100) {
        const char* pair = kPairs + 2 * (magnitude % 100);
        magnitude /= 100;
        *--at = pair[1];
        *--at = pair[0];
    }
    if (magnitude >= 10) {
        const char* pair = kPairs + 2 * magnitude;
        *--at = pair[1];
        *--at = pair[0];
    } else {
        *--at = static_cast<char>('0' + magnitude);
    }
    return length;
}

void HexDigits(uint32_t value, int digits, char* out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xfu];
        value >>= 4;
    }
}
