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

// The walk of ParseHexInput; why, when given, receives where and why a text
// does not parse.
bool ScanHex(const char* text, size_t length, uint8_t* out, int32_t& count, OTSTR* why) {
    count = 0;
    if (text == nullptr || length == 0) return true;
    if (length > kMaxHexInputText) {
        if (why != nullptr)
            why->Format("the text is longer than %d characters",
                        static_cast<int>(kMaxHexInputText));
        return false;
    }
    int32_t n = 0;
    size_t i = 0;
    while (i < length) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSeparator(c)) {
            ++i;
            continue;
        }
        int high = HexValue(c);
        int low = i + 1 < length ? HexValue(static_cast<unsigned char>(text[i + 1])) : -1;
        if (high < 0 || low < 0 || n >= kMaxHexInputBytes) {
            if (why != nullptr) {
                // Characters count from 1, as an editor shows them.
                size_t at = high < 0 ? i : i + 1;
                unsigned char bad = at < length ? static_cast<unsigned char>(text[at]) : 0;
                char shown[8];
                snprintf(shown, sizeof shown, bad > 0x20 && bad < 0x7F ? "'%c'" : "0x%02X", bad);
                bool lone = high >= 0 && low < 0 && (at >= length || IsSeparator(bad));
                if (high >= 0 && low >= 0) {
                    why->Format("more than %d bytes", static_cast<int>(kMaxHexInputBytes));
                } else if (!lone) {
                    why->Format("character %d: %s is not a hex digit", static_cast<int>(at + 1),
                                shown);
                } else {
                    why->Format("character %d: the digit '%c' has no second digit",
                                static_cast<int>(i + 1), static_cast<char>(c));
                }
            }
            return false;
        }
        if (out != nullptr) out[n] = static_cast<uint8_t>(high << 4 | low);
        ++n;
        i += 2;
    }
    count = n;
    return true;
}

}  // namespace

bool ParseHexInput(const char* text, size_t length, uint8_t* out, int32_t& count) {
    if (out == nullptr && text != nullptr && length > 0) return false;
    if (!ScanHex(text, length, out, count, nullptr)) {
        count = 0;
        return false;
    }
    return true;
}

bool ExplainHexError(const char* text, size_t length, OTSTR& why) {
    int32_t count = 0;
    why.Empty();
    return !ScanHex(text, length, nullptr, count, &why);
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
