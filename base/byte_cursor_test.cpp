// Tests of ByteCursor: read limits of every reader, byte order, peeking and
// the bounds of Attach, SetLength and SetPos.
#include "base/byte_cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/otstr.h"

namespace {

const uint8_t kBytes[8] = {0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0};

// Reads width bytes with the matching reader (0 and above 4: GetBytes, or
// GetString when asString is set).
bool Read(ByteCursor& cursor, int32_t width, bool asString, bool peek) {
    uint8_t b;
    uint16_t w;
    uint32_t d;
    const uint8_t* p;
    OTSTR s;
    if (asString) return cursor.GetString(s, width, peek);
    if (width == 1) return cursor.GetByte(b, peek);
    if (width == 2) return cursor.GetWord(w, true, peek);
    if (width == 4) return cursor.GetDWord(d, false, peek);
    return cursor.GetBytes(p, width, peek);
}

TEST(ByteCursorTest, ReadersStopAtTheLength) {
    const struct {
        int32_t width;
        bool asString;
        int32_t length, pos;
        bool ok;
    } cases[] = {
        {1, false, 4, 3, true},   {2, false, 4, 2, true},          {2, false, 4, 3, false},
        {4, false, 4, 0, true},   {4, false, 4, 1, false},         {4, false, 8, 5, false},
        {3, false, 4, 1, true},   {5, false, 4, 0, false},         {0, false, 4, 3, true},
        {-1, false, 4, 0, false}, {INT32_MAX, false, 8, 2, false}, {5, true, 5, 0, true},
        {6, true, 5, 0, false},   {-3, true, 8, 0, false},         {INT32_MAX, true, 8, 7, false},
    };
    for (const auto& c : cases) {
        ByteCursor cursor;
        ASSERT_TRUE(cursor.Attach(kBytes, 8));
        ASSERT_TRUE(cursor.SetLength(c.length));
        ASSERT_TRUE(cursor.SetPos(c.pos));
        SCOPED_TRACE(testing::Message()
                     << "width " << c.width << " length " << c.length << " pos " << c.pos);
        EXPECT_EQ(Read(cursor, c.width, c.asString, true), c.ok);
        EXPECT_EQ(cursor.GetPos(), c.pos);
        EXPECT_EQ(Read(cursor, c.width, c.asString, false), c.ok);
        EXPECT_EQ(cursor.GetPos(), c.ok ? c.pos + c.width : c.pos);
    }
}

TEST(ByteCursorTest, ByteOrderAndCopies) {
    ByteCursor cursor;
    ASSERT_TRUE(cursor.Attach(kBytes, 8));
    uint16_t w = 0;
    uint32_t d = 0;
    EXPECT_TRUE(cursor.GetWord(w, true, true) && w == 0x3412);
    EXPECT_TRUE(cursor.GetWord(w, false, true) && w == 0x1234);
    EXPECT_TRUE(cursor.GetDWord(d, true, true) && d == 0x78563412u);
    EXPECT_TRUE(cursor.GetDWord(d, false) && d == 0x12345678u);
    OTSTR text;
    ASSERT_TRUE(cursor.GetString(text, 2));
    EXPECT_EQ(std::string(text.GetBuffer(0), 2), "\x9a\xbc");
    const uint8_t* p = nullptr;
    EXPECT_TRUE(cursor.GetBytes(p, 2) && p == kBytes + 6);
    EXPECT_TRUE(cursor.AtEnd());
}

TEST(ByteCursorTest, AttachLengthAndPositionBounds) {
    ByteCursor cursor;
    ASSERT_TRUE(cursor.Attach(kBytes, 6));
    EXPECT_FALSE(cursor.SetLength(7) || cursor.SetLength(-1));
    EXPECT_TRUE(cursor.SetLength(4));
    EXPECT_FALSE(cursor.SetPos(4) || cursor.SetPos(-1));
    EXPECT_TRUE(cursor.SetPos(3));
    // A length cut below the position leaves nothing to read.
    EXPECT_TRUE(cursor.SetLength(2) && cursor.AtEnd());
    EXPECT_FALSE(Read(cursor, 0, false, false));
    // A failed Attach leaves the cursor without bytes.
    for (int32_t size : {0, -2}) {
        ASSERT_TRUE(cursor.Attach(kBytes, 6));
        EXPECT_FALSE(cursor.Attach(kBytes, size));
        EXPECT_EQ(cursor.GetCapacity() + cursor.GetLength() + cursor.GetPos(), 0);
    }
    EXPECT_FALSE(cursor.Attach(nullptr, 4));
}

}  // namespace
