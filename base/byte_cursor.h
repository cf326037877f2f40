// ByteCursor: a read cursor over a message buffer it does not own. Readers
// never pass the readable length and fail without moving when too few bytes
// remain. Tested by base/byte_cursor_test.cpp.
#pragma once

#include <cstdint>

class OTSTR;

class ByteCursor {
  public:
    ByteCursor() = default;

    // Sets capacity and length to size and the position to 0. Fails for a
    // size below 1 or null data, leaving the cursor detached (no bytes).
    bool Attach(const void* data, int32_t size);
    // The readable length: fails unless 0 <= n <= capacity.
    bool SetLength(int32_t n);
    int GetLength() const { return length; }
    int GetCapacity() const { return capacity; }
    // Fails unless 0 <= p < length.
    bool SetPos(int32_t p);
    int GetPos() const { return pos; }
    bool AtEnd() const { return pos >= length; }
    const uint8_t* GetData() const { return data; }

    // Readers. With peek set the position stays; otherwise it advances by the
    // bytes read. littleEndian false means the first byte is the most
    // significant one.
    bool GetByte(uint8_t& out, bool peek = false);
    bool GetWord(uint16_t& out, bool littleEndian, bool peek = false);
    bool GetDWord(uint32_t& out, bool littleEndian, bool peek = false);
    // out points into the buffer at the n bytes; fails for n < 0.
    bool GetBytes(const uint8_t*& out, int32_t n, bool peek = false);
    // Copies n bytes into out; fails for n < 0.
    bool GetString(OTSTR& out, int32_t n, bool peek = false);

  private:
    // True when n more bytes can be read at the position (0 <= pos, and
    // length - pos cannot overflow; it is negative when the length was cut
    // below the position).
    bool Fits(int32_t n) const { return n >= 0 && !(n > length - pos); }

    const uint8_t* data = nullptr;
    int32_t capacity = 0;
    int32_t length = 0;
    int32_t pos = 0;
};
