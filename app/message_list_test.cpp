// Tests of the message list (app/message_list.cpp): adding with the
// clear-all rule, the message file reader's rejections and the writer.
#include "app/message_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/scratch_dir.h"

namespace {

using MessageListTest = ScratchDirTest;

// A record of the message file: time, zero, kind, length (or claimed), bytes.
std::string Record(const char* time, uint8_t kind, const std::string& bytes, int claimed = -1) {
    int n = claimed >= 0 ? claimed : static_cast<int>(bytes.size());
    return std::string(time, 8) + '\0' + static_cast<char>(kind) + static_cast<char>(n >> 8) +
           static_cast<char>(n & 0xff) + bytes;
}

const uint8_t* U(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

std::string Bytes(const MessageView& m) {
    return std::string(reinterpret_cast<const char*>(m.bytes), static_cast<size_t>(m.length));
}

TEST_F(MessageListTest, AddSaveLoadAndResults) {
    MessageList list;
    ASSERT_TRUE(list.Create(0));  // taken as 1 MB
    OTSTR title;
    list.GetTitle(title);
    EXPECT_STREQ("MessageList", title.GetBuffer());

    const std::string big(0xFFFF, 'Z');
    EXPECT_EQ(0, list.AddMessage(7, U("\x01\x02\x03"), 3));
    EXPECT_EQ(1, list.AddMessage(0, nullptr, 0));
    EXPECT_EQ(2, list.AddMessage(255, U(big), 0xFFFF));
    EXPECT_TRUE(list.IsChanged());
    list.GetTitle(title);
    EXPECT_STREQ("MessageList  3 items", title.GetBuffer());
    MessageView m;
    EXPECT_FALSE(list.GetMessage(3, m) || list.GetMessage(-1, m));
    ASSERT_TRUE(list.GetMessage(0, m));
    int h, min, s;
    EXPECT_EQ(3, sscanf(std::string(m.time, 8).c_str(), "%2d:%2d:%2d", &h, &min, &s));

    OTSTR error;
    ASSERT_TRUE(list.SaveFile("Msg.dat", error));
    EXPECT_EQ("KZ" + Record(m.time, 7, "\x01\x02\x03"), ReadWholeFile("Msg.dat").substr(0, 17));

    // Refused messages change nothing (saving cleared the changed flag).
    EXPECT_EQ(-1, list.AddMessage(0, U(big + "b"), 0x10000));
    EXPECT_EQ(-1, list.AddMessage(0, U("a"), -1));
    EXPECT_EQ(-1, list.AddMessage(0, nullptr, 1));
    EXPECT_FALSE(list.IsChanged());

    list.SetChanged(true);
    ASSERT_TRUE(list.LoadFile("MSG.DAT", error)) << error.GetBuffer();
    EXPECT_FALSE(list.IsChanged());
    ASSERT_EQ(3, list.GetCount());
    ASSERT_TRUE(list.GetMessage(2, m));
    EXPECT_EQ(255, m.kind);
    EXPECT_EQ(big, Bytes(m));

    EXPECT_TRUE(!list.SetResult(3, "t", "c0", "c1", true) && list.GetResult(3) == nullptr);
    ASSERT_TRUE(list.SetResult(1, "Title", nullptr, "c1", false));
    EXPECT_TRUE(list.IsTranslated(1) && !list.IsOk(1) && !list.IsTranslated(0));
    const std::string* r = list.GetResult(1);
    EXPECT_EQ((std::vector<std::string>{"Title", "", "c1"}), std::vector<std::string>(r, r + 3));
}

TEST_F(MessageListTest, LoadChecksEveryRecord) {
    const std::string good = Record("12:34:56", 1, "ab");
    const std::pair<std::string, int> cases[] = {
        // The file and the rows it gives, -1 when refused.
        {"KZ", 0},
        {"KZ" + Record("99:99:99", 0, ""), 1},  // only the colons are checked
        {"KZ" + Record("01:02:03", 0, "a") + Record("23:59:59", 9, std::string(300, 'q')), 2},
        {"K", -1},
        {"kz" + good, -1},
        {"KZ" + Record("12-34:56", 1, "ab"), -1},
        {"KZ" + good + Record("12:34.56", 1, "ab"), -1},
        {"KZ" + good + Record("00:00:00", 0, "abc", 4), -1},  // claims more than remains
        {"KZ" + good + "00:00:00abc", -1},                    // shorter than a record head
    };
    for (const auto& c : cases) {
        WriteWholeFile("m.dat", c.first);
        MessageList list;
        ASSERT_TRUE(list.Create(1));
        list.AddMessage(0, U("x"), 1);
        OTSTR error;
        EXPECT_EQ(c.second >= 0, list.LoadFile("m.dat", error)) << &c - cases;
        EXPECT_STREQ(c.second >= 0 ? "" : "illegal file (data format error)", error.GetBuffer());
        EXPECT_EQ(std::max(c.second, 0), list.GetCount()) << &c - cases;
        EXPECT_EQ(c.second >= 0 ? static_cast<int32_t>(c.first.size()) : 2, list.GetUsed());
        EXPECT_EQ(0, memcmp(list.GetBuffer(), "KZ", 2)) << &c - cases;
    }
}

// With 13 bytes left, a record of 12 + 0 bytes ends one byte before the end
// and is appended; one of 12 + 1 bytes would reach the end and clears the
// list first. Saving as they arrive keeps every message all the same.
TEST_F(MessageListTest, AddClearsWhenTheRecordWouldReachTheEnd) {
    const std::string chunk(0xFFFF, 'c');
    for (int n : {0, 1}) {
        MessageList list;
        ASSERT_TRUE(list.Create(1));
        list.SaveAsAdded("all.dat");
        for (int i = 0; i < 15; ++i) ASSERT_EQ(i, list.AddMessage(0, U(chunk), 0xFFFF));
        const int32_t last = list.GetCapacity() - list.GetUsed() - 12 - 13;
        ASSERT_EQ(15, list.AddMessage(0, U(chunk), last));
        ASSERT_EQ(list.GetCapacity() - 13, list.GetUsed());
        EXPECT_EQ(n == 0 ? 16 : 0, list.AddMessage(3, U("z"), n));
        EXPECT_EQ(n == 0 ? list.GetCapacity() - 1 : 2 + 12 + 1, list.GetUsed());
        OTSTR error;
        EXPECT_TRUE(list.StopSaving(error));
        EXPECT_EQ(17, list.GetSavedCount());
        const std::string all = ReadWholeFile("all.dat");
        EXPECT_EQ(2u + 15u * (12 + 0xFFFF) + 12 + last + 12 + n, all.size());
        EXPECT_EQ(Record(all.c_str() + all.size() - 12 - n, 3, std::string(n, 'z')),
                  all.substr(all.size() - 12 - n));
    }
}

TEST_F(MessageListTest, FileErrorsLeaveTheList) {
    MessageList none;
    OTSTR error;
    EXPECT_FALSE(none.LoadFile("x.dat", error));
    EXPECT_STREQ("Load fail, internal buffer not valid", error.GetBuffer());
    EXPECT_EQ(-1, none.AddMessage(0, U("a"), 1));

    MessageList list;
    ASSERT_TRUE(list.Create(1));
    list.AddMessage(4, U("abc"), 3);
    EXPECT_FALSE(list.LoadFile("Sub\\Missing.dat", error));
    EXPECT_STREQ("File: Sub\\Missing.dat  Open failed", error.GetBuffer());

    // Exactly the capacity still loads; one byte more is an overflow.
    std::string file = "KZ";
    while (file.size() < MessageList::kMegabyte) {
        size_t n = std::min<size_t>(0xFFFF, MessageList::kMegabyte - file.size() - 12);
        file += Record("00:00:00", 0, std::string(n, 'm'));
    }
    WriteWholeFile("full.dat", file);
    WriteWholeFile("over.dat", file + "x");
    EXPECT_FALSE(list.LoadFile("over.dat", error));
    EXPECT_STREQ("illegal file (overflow)", error.GetBuffer());
    MessageView m;
    ASSERT_EQ(1, list.GetCount());
    ASSERT_TRUE(list.GetMessage(0, m));
    EXPECT_EQ("abc", Bytes(m));
    EXPECT_EQ(2 + 12 + 3, list.GetUsed());
    EXPECT_TRUE(list.IsChanged());
    ASSERT_TRUE(list.LoadFile("full.dat", error)) << error.GetBuffer();
    EXPECT_EQ(MessageList::kMegabyte, list.GetUsed());

    // A path that no fixed-size text could hold still gives the whole message.
    const std::string path = "NoDir\\" + std::string(5000, 'p');
    EXPECT_FALSE(list.SaveFile(path.c_str(), error));
    EXPECT_EQ("File: " + path + "  Write failed", error.GetBuffer());
    // Clearing keeps the changed flag; an empty list writes nothing.
    WriteWholeFile("old.dat", "previous contents");
    list.SetChanged(true);
    list.Clear();
    EXPECT_TRUE(list.IsChanged());
    EXPECT_TRUE(list.SaveFile("old.dat", error));
    EXPECT_FALSE(list.IsChanged());
    EXPECT_EQ("previous contents", ReadWholeFile("old.dat"));
}

}  // namespace
