// ByteCursor: byte-order-aware readers over a message buffer.
// Tested by base/byte_cursor_test.cpp.
#include "base/byte_cursor.h"

#include "base/otstr.h"

bool ByteCursor::Attach(const void* newData, int32_t size) {
    if (newData == nullptr || size < 1) {
        data = nullptr;
        capacity = length = pos = 0;
        return false;
    }
    data = static_cast<const uint8_t*>(newData);
    capacity = length = size;
    pos = 0;
    return true;
}

bool ByteCursor::SetLength(int32_t n) {
    if (n < 0 || n > capacity) return false;
    length = n;
    return true;
}

bool ByteCursor::SetPos(int32_t p) {
    if (p < 0 || p >= length) return false;
    pos = p;
    return true;
}

bool ByteCursor::GetByte(uint8_t& out, bool peek) {
    if (!Fits(1)) return false;
    out = data[pos];
    if (!peek) pos += 1;
    return true;
}

bool ByteCursor::GetWord(uint16_t& out, bool littleEndian, bool peek) {
    if (!Fits(2)) return false;
    const uint8_t* b = data + pos;
    out = littleEndian ? static_cast<uint16_t>(b[0] | b[1] << 8)
                       : static_cast<uint16_t>(b[0] << 8 | b[1]);
    if (!peek) pos += 2;
    return true;
}

bool ByteCursor::GetDWord(uint32_t& out, bool littleEndian, bool peek) {
    if (!Fits(4)) return false;
    const uint8_t* b = data + pos;
    if (littleEndian) {
        out = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    } else {
        out = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
    }
    if (!peek) pos += 4;
    return true;
}

bool ByteCursor::GetBytes(const uint8_t*& out, int32_t n, bool peek) {
    if (!Fits(n)) return false;
    out = data + pos;
    if (!peek) pos += n;
    return true;
}

bool ByteCursor::GetString(OTSTR& out, int32_t n, bool peek) {
    if (!Fits(n)) return false;
    if (n == 0) {
        out.Empty();
        return true;
    }
    if (out.Assign(reinterpret_cast<const char*>(data + pos), n) == nullptr) return false;
    if (!peek) pos += n;
    return true;
}
