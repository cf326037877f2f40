// The input box's hexadecimal text: parsing it into bytes and keeping the
// raw text in "Dump\Content". Tested by app/hex_input_test.cpp.
#include "app/hex_input.h"

#include <cstdio>

#include "base/path.h"

namespace {

// Blanks and every control character (DEL included) may stand between bytes.
bool IsSeparator(unsigned char c) {
    return c <= 0x20 || c == 0x7F;
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ParseHexInput(const char* text, size_t length, uint8_t* out, int32_t& count) {
    count = 0;
    if (text == nullptr || length == 0) return true;
    if (out == nullptr) return false;
    int32_t n = 0;
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSeparator(c)) {
            ++i;
            continue;
        }
        int high = HexValue(c);
        if (high < 0 || i + 1 >= length) return false;
        int low = HexValue(static_cast<unsigned char>(text[i + 1]));
        if (low < 0 || n >= kMaxHexInputBytes) return false;
        out[n++] = static_cast<uint8_t>(high << 4 | low);
        i += 2;
    }
    count = n;
    return true;
}

bool SaveInputText(const char* text, size_t length) {
    FILE* f = vpath::OpenFile(hexmsg::kContentFile, "wb");
    if (f == nullptr) return false;
    bool ok = length == 0 || (text != nullptr && fwrite(text, 1, length, f) == length);
    if (fclose(f) != 0) ok = false;
    return ok;
}

bool LoadInputText(OTSTR& text) {
    if (vpath::ReadFile(hexmsg::kContentFile, false, text)) return true;
    text.Empty();
    return false;
}
