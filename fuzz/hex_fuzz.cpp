// Fuzz target: the bytes as the input box's hexadecimal text, parsed by
// ParseHexInput; what parses must be no longer than kMaxHexInputText and
// print and parse back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/hex_input.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::QuietTrace();

    const char* text = reinterpret_cast<const char*>(data);
    uint8_t out[kMaxHexInputBytes];
    int32_t count = -1;
    if (!ParseHexInput(text, size, out, count)) {
        if (count != 0) fuzzsupport::Violated("a failed parse leaves bytes");
        return 0;
    }
    if (count < 0 || count > kMaxHexInputBytes) fuzzsupport::Violated("byte count out of range");
    if (size > kMaxHexInputText) fuzzsupport::Violated("a text longer than any message parsed");

    std::string hex;
    char pair[4];
    for (int32_t i = 0; i < count; ++i) {
        snprintf(pair, sizeof pair, i % 3 == 0 ? "%02X " : "%02x", out[i]);
        hex += pair;
    }
    uint8_t again[kMaxHexInputBytes];
    int32_t n = -1;
    if (!ParseHexInput(hex.data(), hex.size(), again, n) || n != count ||
        (count > 0 && memcmp(out, again, static_cast<size_t>(count)) != 0)) {
        fuzzsupport::Violated("printed bytes do not parse back the same");
    }
    return 0;
}
