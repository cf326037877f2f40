// Integer digits without printf. Tested by base/number_text_test.cpp.
#include "base/number_text.h"

int DecimalDigits(int64_t value, char* out) {
    // The magnitude as unsigned, so that the lowest value has one too.
    uint64_t magnitude =
        value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
    char reversed[kMaxDecimalDigits];
    int n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int length = 0;
    if (value < 0) out[length++] = '-';
    while (n > 0) out[length++] = reversed[--n];
    return length;
}

void HexDigits(uint32_t value, int digits, char* out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 0xfu];
        value >>= 4;
    }
}
