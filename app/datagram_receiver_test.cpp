// Tests of the datagram receiver (app/datagram_receiver.cpp) over the
// loopback interface, on ports the kernel picks.
#include "app/datagram_receiver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The handler: keeps the data pointer and the bytes of each call.
using Calls = std::vector<std::pair<const void*, std::string>>;
int Record(void* owner, int argc, void** argv) {
    EXPECT_EQ(2, argc);
    auto length = static_cast<size_t>(reinterpret_cast<intptr_t>(argv[1]));
    static_cast<Calls*>(owner)->emplace_back(
        argv[0], std::string(static_cast<const char*>(argv[0]), length));
    return 0;
}

class ReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(receiver.Open(0));
        ASSERT_NE(0, receiver.GetPort());
        receiver.SetHandler(&calls, Record);
    }
    void TearDown() override { close(sender); }

    // Sends the datagrams, then reads until all have arrived or a second
    // passes without any.
    void SendAndRead(const std::vector<std::string>& datagrams) {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(receiver.GetPort());
        auto* address = reinterpret_cast<sockaddr*>(&to);
        for (const std::string& d : datagrams) {
            ASSERT_EQ(d.size(), size_t(sendto(sender, d.data(), d.size(), 0, address, sizeof to)));
        }
        uint64_t n = datagrams.size();
        while (receiver.GetCounters().received < n && receiver.Poll(1000) > 0) continue;
    }

    DatagramReceiver receiver;
    Calls calls;
    int sender = socket(AF_INET, SOCK_DGRAM, 0);
};

TEST_F(ReceiverTest, DeliversDataHeadDatagramsUpTo4096Bytes) {
    std::string largest(DatagramReceiver::kMaxDatagram, 'l');
    std::string tooLarge(DatagramReceiver::kMaxDatagram + 1, 't');
    largest[0] = tooLarge[0] = 0x05;
    testing::internal::CaptureStdout();
    SendAndRead({std::string("\x05\x00\x07\x01\x02\x03", 6), std::string("\x06\x05", 2),
                 std::string("\x05", 1), std::string(), tooLarge, largest, std::string(5000, 5)});
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos,
              trace.find("UdpServer recv fail, datagram of 5000 bytes above 4096 dropped\n"))
        << trace;

    // Received, delivered, ignored (another first byte; empty) and too large.
    const DatagramReceiver::Counters& c = receiver.GetCounters();
    EXPECT_EQ(std::make_tuple(7, 3, 2, 2),
              std::make_tuple(c.received, c.delivered, c.ignored, c.tooLarge));
    const std::string expected[] = {std::string("\x00\x07\x01\x02\x03", 5), "", largest.substr(1)};
    ASSERT_EQ(3u, calls.size());
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(expected[i], calls[i].second) << i;
}

TEST_F(ReceiverTest, OnDatagramPassesThePointerAfterTheHead) {
    const uint8_t bytes[] = {0x05, 0x00, 0x03, 0x10};
    receiver.OnDatagram(bytes, 4, 0x7f000001, 1234);
    receiver.OnDatagram(nullptr, 0, 0, 0);
    receiver.OnDatagram(bytes + 1, 3, 0, 0);
    receiver.SetHandler(nullptr, nullptr);
    receiver.OnDatagram(bytes, 4, 0, 0);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(bytes + 1, calls[0].first);
    EXPECT_EQ(3u, calls[0].second.size());
    EXPECT_EQ(3u, receiver.GetCounters().ignored);
}

// Without SO_REUSEADDR a second receiver cannot take the datagrams of the
// first; once closed, the port is free again.
TEST_F(ReceiverTest, APortInUseFailsUntilClosed) {
    EXPECT_EQ(0, receiver.Poll(0));
    EXPECT_EQ(0, receiver.ReadPending());
    DatagramReceiver second;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(second.Open(receiver.GetPort()));
    EXPECT_EQ("UdpServer Create fail\n", testing::internal::GetCapturedStdout());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(-1, second.Poll(0));

    const uint16_t port = receiver.GetPort();
    receiver.Close();
    EXPECT_FALSE(receiver.IsOpen());
    EXPECT_EQ(0, receiver.GetPort());
    EXPECT_TRUE(second.Open(port));
}

}  // namespace
