// Tests of the message list (app/message_list.cpp): adding with the
// clear-all rule, the message file reader's rejections and the writer.
#include "app/message_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/scratch_dir.h"

namespace {

using MessageListTest = ScratchDirTest;

std::string Record(const char* time, uint8_t kind, const std::string& bytes, int claimed = -1) {
    int n = claimed >= 0 ? claimed : static_cast<int>(bytes.size());
    std::string r(time, 8);
    r += '\0';
    r += static_cast<char>(kind);
    r += static_cast<char>(n >> 8);
    r += static_cast<char>(n & 0xff);
    return r + bytes;
}

std::string Bytes(const MessageView& m) {
    return std::string(reinterpret_cast<const char*>(m.bytes), static_cast<size_t>(m.length));
}

std::string Text(const OTSTR& s) {
    return std::string(s.GetBuffer(), s.GetLength());
}

bool IsTimeText(const char* t) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(t[0]) && digit(t[1]) && t[2] == ':' && digit(t[3]) && digit(t[4]) && t[5] == ':' &&
           digit(t[6]) && digit(t[7]);
}

TEST_F(MessageListTest, AddAndSaveRoundTrip) {
    MessageList list;
    ASSERT_TRUE(list.Create(1));
    EXPECT_EQ(MessageList::kMegabyte, list.GetCapacity());
    EXPECT_EQ(2, list.GetUsed());
    EXPECT_FALSE(list.IsChanged());
    OTSTR title;
    list.GetTitle(title);
    EXPECT_EQ("MessageList", Text(title));

    const std::string big(0xFFFF, '\x5a');
    EXPECT_EQ(0, list.AddMessage(7, reinterpret_cast<const uint8_t*>("\x01\x02\x03"), 3));
    EXPECT_EQ(1, list.AddMessage(0, nullptr, 0));
    EXPECT_EQ(2, list.AddMessage(255, reinterpret_cast<const uint8_t*>(big.data()), 0xFFFF));
    EXPECT_TRUE(list.IsChanged());
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ(2 + 3 * 12 + 3 + 0xFFFF, list.GetUsed());
    list.GetTitle(title);
    EXPECT_EQ("MessageList  3 items", Text(title));

    MessageView m;
    ASSERT_TRUE(list.GetMessage(0, m));
    EXPECT_TRUE(IsTimeText(m.time)) << std::string(m.time, 8);
    EXPECT_EQ(7, m.kind);
    EXPECT_EQ("\x01\x02\x03", Bytes(m));
    EXPECT_FALSE(list.GetMessage(3, m));
    EXPECT_FALSE(list.GetMessage(-1, m));

    OTSTR error;
    ASSERT_TRUE(list.SaveFile("Msg.dat", error));
    EXPECT_FALSE(list.IsChanged());
    const std::string file = ReadWholeFile("Msg.dat");
    ASSERT_EQ(static_cast<size_t>(list.GetUsed()), file.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.GetBuffer()), file.size()), file);
    EXPECT_EQ("KZ", file.substr(0, 2));
    EXPECT_EQ(Record(m.time, 7, "\x01\x02\x03"), file.substr(2, 15));

    MessageList other;
    ASSERT_TRUE(other.Create(1));
    other.SetChanged(true);
    ASSERT_TRUE(other.LoadFile("MSG.DAT", error)) << Text(error);
    EXPECT_FALSE(other.IsChanged());
    ASSERT_EQ(3, other.GetCount());
    ASSERT_TRUE(other.GetMessage(2, m));
    EXPECT_EQ(255, m.kind);
    EXPECT_EQ(big, Bytes(m));
    ASSERT_TRUE(other.GetMessage(1, m));
    EXPECT_EQ(0, m.length);
}

TEST_F(MessageListTest, LoadRejections) {
    const std::string good = Record("12:34:56", 1, "ab");
    struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"empty file", ""},
        {"one byte", "K"},
        {"bad magic", "kz" + good},
        {"time without colon at 2", "KZ" + Record("12-34:56", 1, "ab")},
        {"time without colon at 5", "KZ" + good + Record("12:34.56", 1, "ab")},
        {"last record claims more", "KZ" + good + Record("00:00:00", 0, "abc", 4)},
        {"claims 0xFFFF", "KZ" + Record("00:00:00", 0, "x", 0xFFFF)},
        {"garbage shorter than a head", "KZ" + good + "00:00:00\0\0\0"},
        {"garbage of one byte", "KZ" + good + "\n"},
    };
    for (const auto& c : cases) {
        WriteWholeFile("bad.dat", c.file);
        MessageList list;
        ASSERT_TRUE(list.Create(1));
        list.AddMessage(0, reinterpret_cast<const uint8_t*>("x"), 1);
        OTSTR error;
        EXPECT_FALSE(list.LoadFile("bad.dat", error)) << c.name;
        EXPECT_EQ("illegal file (data format error)", Text(error)) << c.name;
        EXPECT_EQ(0, list.GetCount()) << c.name;
        EXPECT_EQ(2, list.GetUsed()) << c.name;
        EXPECT_EQ(0, memcmp(list.GetBuffer(), "KZ", 2)) << c.name;
    }
}

TEST_F(MessageListTest, LoadAccepts) {
    struct {
        const char* name;
        std::string file;
        int rows;
    } cases[] = {
        {"magic alone", "KZ", 0},
        {"one empty message", "KZ" + Record("99:99:99", 0, ""), 1},
        {"odd time digits", "KZ" + Record("ab:cd:ef", 3, "xyz"), 1},
        {"two", "KZ" + Record("01:02:03", 0, "a") + Record("23:59:59", 9, std::string(300, 'q')),
         2},
    };
    for (const auto& c : cases) {
        WriteWholeFile("good.dat", c.file);
        MessageList list;
        ASSERT_TRUE(list.Create(1));
        OTSTR error;
        EXPECT_TRUE(list.LoadFile("good.dat", error)) << c.name << ": " << Text(error);
        EXPECT_EQ(c.rows, list.GetCount()) << c.name;
        EXPECT_EQ(static_cast<int32_t>(c.file.size()), list.GetUsed()) << c.name;
    }
}

TEST_F(MessageListTest, OpenFailureAndOverflowLeaveTheList) {
    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(4, reinterpret_cast<const uint8_t*>("abc"), 3);
    const int32_t used = list.GetUsed();
    OTSTR error;

    EXPECT_FALSE(list.LoadFile("Sub\\Missing.dat", error));
    EXPECT_EQ("File: Sub\\Missing.dat  Open failed", Text(error));
    EXPECT_EQ(1, list.GetCount());

    // Exactly the capacity still loads; one byte more is an overflow.
    std::string file = "KZ" + Record("00:00:00", 0, std::string(0xFFFF, 'm'));
    while (file.size() + 12 + 0xFFFF <= static_cast<size_t>(MessageList::kMegabyte)) {
        file += Record("00:00:00", 0, std::string(0xFFFF, 'm'));
    }
    size_t rest = MessageList::kMegabyte - file.size() - 12;
    file += Record("00:00:00", 0, std::string(rest, 'r'));
    ASSERT_EQ(static_cast<size_t>(MessageList::kMegabyte), file.size());
    WriteWholeFile("full.dat", file);
    WriteWholeFile("over.dat", file + "x");

    EXPECT_FALSE(list.LoadFile("over.dat", error));
    EXPECT_EQ("illegal file (overflow)", Text(error));
    EXPECT_EQ(1, list.GetCount());
    EXPECT_EQ(used, list.GetUsed());
    MessageView m;
    ASSERT_TRUE(list.GetMessage(0, m));
    EXPECT_EQ("abc", Bytes(m));
    EXPECT_TRUE(list.IsChanged());

    ASSERT_TRUE(list.LoadFile("full.dat", error)) << Text(error);
    EXPECT_EQ(MessageList::kMegabyte, list.GetUsed());
    EXPECT_FALSE(list.IsChanged());
}

// A list of 1 MB with 13 bytes left.
void FillTo13Left(MessageList& list) {
    ASSERT_TRUE(list.Create(1));
    const std::string chunk(0xFFFF, 'c');
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(chunk.data());
    for (int i = 0; i < 15; ++i) ASSERT_EQ(i, list.AddMessage(0, bytes, 0xFFFF));
    const int32_t n = list.GetCapacity() - list.GetUsed() - 12 - 13;
    ASSERT_EQ(15, list.AddMessage(0, bytes, n));
    ASSERT_EQ(list.GetCapacity() - 13, list.GetUsed());
}

TEST_F(MessageListTest, AddClearsWhenTheRecordWouldReachTheEnd) {
    MessageList list;
    FillTo13Left(list);
    // A record ending one byte before the end is appended...
    EXPECT_EQ(16, list.AddMessage(0, nullptr, 0));
    EXPECT_EQ(list.GetCapacity() - 1, list.GetUsed());

    // ...one ending exactly at the end clears the list first.
    FillTo13Left(list);
    list.SetResult(0, "t", "", "", true);
    EXPECT_EQ(0, list.AddMessage(3, reinterpret_cast<const uint8_t*>("z"), 1));
    EXPECT_EQ(1, list.GetCount());
    EXPECT_EQ(2 + 12 + 1, list.GetUsed());
    EXPECT_FALSE(list.IsTranslated(0));
    MessageView m;
    ASSERT_TRUE(list.GetMessage(0, m));
    EXPECT_EQ(3, m.kind);
    EXPECT_EQ("z", Bytes(m));
}

TEST_F(MessageListTest, RefusedMessages) {
    MessageList none;
    EXPECT_EQ(-1, none.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), 1));
    OTSTR error;
    EXPECT_FALSE(none.LoadFile("x.dat", error));
    EXPECT_EQ("Load fail, internal buffer not valid", Text(error));

    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), 1);
    list.SetChanged(false);
    const std::string big(0x10000, 'b');
    EXPECT_EQ(-1, list.AddMessage(0, reinterpret_cast<const uint8_t*>(big.data()), 0x10000));
    EXPECT_EQ(-1, list.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), -1));
    EXPECT_EQ(-1, list.AddMessage(0, nullptr, 1));
    EXPECT_EQ(1, list.GetCount());
    EXPECT_FALSE(list.IsChanged());
}

TEST_F(MessageListTest, SavingAnEmptyListWritesNothing) {
    WriteWholeFile("old.dat", "previous contents");
    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), 1);
    list.Clear();
    EXPECT_TRUE(list.IsChanged());  // clearing keeps the flag
    OTSTR error;
    EXPECT_TRUE(list.SaveFile("old.dat", error));
    EXPECT_FALSE(list.IsChanged());
    EXPECT_EQ("previous contents", ReadWholeFile("old.dat"));
    EXPECT_TRUE(list.SaveFile("new.dat", error));
    EXPECT_EQ("<missing>", ReadWholeFile("new.dat"));
}

TEST_F(MessageListTest, SaveFailure) {
    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), 1);
    OTSTR error;
    EXPECT_FALSE(list.SaveFile("NoDir\\x.dat", error));
    EXPECT_EQ("File: NoDir\\x.dat  Write failed", Text(error));
    // A path that no fixed-size text could hold still gives the whole message.
    const std::string longPath = "NoDir\\" + std::string(5000, 'p');
    EXPECT_FALSE(list.SaveFile(longPath.c_str(), error));
    EXPECT_EQ("File: " + longPath + "  Write failed", Text(error));
}

TEST_F(MessageListTest, RowResults) {
    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(0, reinterpret_cast<const uint8_t*>("a"), 1);
    EXPECT_FALSE(list.IsTranslated(0));
    EXPECT_FALSE(list.SetResult(1, "t", "c0", "c1", true));
    EXPECT_EQ(nullptr, list.GetResult(1));
    ASSERT_TRUE(list.SetResult(0, "Title", nullptr, "c1", false));
    EXPECT_TRUE(list.IsTranslated(0));
    EXPECT_FALSE(list.IsOk(0));
    const std::string* r = list.GetResult(0);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ((std::vector<std::string>{"Title", "", "c1"}), std::vector<std::string>(r, r + 3));
}

}  // namespace
