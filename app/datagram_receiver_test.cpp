// Tests of the datagram receiver (app/datagram_receiver.cpp) over the
// loopback interface, on ports the kernel picks.
#include "app/datagram_receiver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// What the handler was called with.
struct Calls {
    struct Call {
        int argc;
        const void* data;
        intptr_t length;
        std::string bytes;
    };
    std::vector<Call> calls;
};

int Record(void* owner, int argc, void** argv) {
    auto* c = static_cast<Calls*>(owner);
    intptr_t length = reinterpret_cast<intptr_t>(argv[1]);
    c->calls.push_back(
        {argc, argv[0], length,
         std::string(static_cast<const char*>(argv[0]), static_cast<size_t>(length))});
    return 0;
}

class Sender {
  public:
    Sender() { fd = socket(AF_INET, SOCK_DGRAM, 0); }
    ~Sender() {
        if (fd >= 0) close(fd);
    }
    bool Send(uint16_t port, const std::string& bytes) {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        return sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }

  private:
    int fd;
};

class ReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(receiver.Open(0));
        ASSERT_NE(0, receiver.GetPort());
        receiver.SetHandler(&calls, Record);
    }
    // Reads until count datagrams have arrived, or a second passes without any.
    void ReadUntil(uint64_t count) {
        while (receiver.GetCounters().received < count) {
            if (receiver.Poll(1000) <= 0) break;
        }
    }

    DatagramReceiver receiver;
    Calls calls;
    Sender sender;
};

TEST_F(ReceiverTest, DeliversDataHeadDatagrams) {
    const std::string datagrams[] = {
        std::string("\x05\x00\x07\x01\x02\x03", 6),
        std::string("\x06\x05\x05", 3),  // another data head: ignored
        std::string("\x05\x00\x09", 3),  // no message bytes; the application drops it
        std::string("\x05\x00\x09\xAA", 4),
        std::string("\x05", 1),
        std::string(),
    };
    for (const std::string& d : datagrams) ASSERT_TRUE(sender.Send(receiver.GetPort(), d));
    ReadUntil(6);

    const DatagramReceiver::Counters& c = receiver.GetCounters();
    EXPECT_EQ(6u, c.received);
    EXPECT_EQ(4u, c.delivered);
    EXPECT_EQ(2u, c.ignored);
    EXPECT_EQ(0u, c.tooLarge);
    ASSERT_EQ(4u, calls.calls.size());
    const std::string expected[] = {std::string("\x00\x07\x01\x02\x03", 5),
                                    std::string("\x00\x09", 2), std::string("\x00\x09\xAA", 3),
                                    std::string()};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(2, calls.calls[i].argc);
        EXPECT_EQ(static_cast<intptr_t>(expected[i].size()), calls.calls[i].length);
        EXPECT_EQ(expected[i], calls.calls[i].bytes);
    }
}

TEST_F(ReceiverTest, DropsTooLargeDatagrams) {
    std::string huge(5000, 'h');
    huge[0] = 0x05;
    std::string largest(DatagramReceiver::kMaxDatagram, 'l');
    largest[0] = 0x05;
    ASSERT_TRUE(sender.Send(receiver.GetPort(), huge));
    ASSERT_TRUE(sender.Send(receiver.GetPort(), largest));
    ASSERT_TRUE(sender.Send(receiver.GetPort(), std::string("\x05\x00\x01\x42", 4)));

    testing::internal::CaptureStdout();
    ReadUntil(3);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos,
              trace.find("UdpServer recv fail, datagram of 5000 bytes above 4096 dropped\n"))
        << trace;

    EXPECT_EQ(1u, receiver.GetCounters().tooLarge);
    ASSERT_EQ(2u, calls.calls.size());
    EXPECT_EQ(4095, calls.calls[0].length);
    EXPECT_EQ(largest.substr(1), calls.calls[0].bytes);
    EXPECT_EQ(std::string("\x00\x01\x42", 3), calls.calls[1].bytes);
}

TEST_F(ReceiverTest, OnDatagramPassesThePointerAfterTheHead) {
    const uint8_t bytes[] = {0x05, 0x00, 0x03, 0x10};
    receiver.OnDatagram(bytes, 4, 0x7f000001, 1234);
    ASSERT_EQ(1u, calls.calls.size());
    EXPECT_EQ(bytes + 1, calls.calls[0].data);
    EXPECT_EQ(3, calls.calls[0].length);

    receiver.OnDatagram(nullptr, 0, 0, 0);
    receiver.OnDatagram(bytes + 1, 3, 0, 0);
    EXPECT_EQ(1u, calls.calls.size());
    EXPECT_EQ(2u, receiver.GetCounters().ignored);
}

TEST_F(ReceiverTest, PollWithNothingWaiting) {
    EXPECT_EQ(0, receiver.Poll(0));
    EXPECT_EQ(0, receiver.ReadPending());
    receiver.Close();
    EXPECT_FALSE(receiver.IsOpen());
    EXPECT_EQ(0, receiver.GetPort());
    EXPECT_EQ(-1, receiver.Poll(0));
}

TEST(Receiver, PortInUseFails) {
    int other = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(other, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address));
    socklen_t length = sizeof address;
    ASSERT_EQ(0, getsockname(other, reinterpret_cast<sockaddr*>(&address), &length));
    const uint16_t taken = ntohs(address.sin_port);

    DatagramReceiver receiver;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(receiver.Open(taken));
    EXPECT_EQ("UdpServer Create fail\n", testing::internal::GetCapturedStdout());
    EXPECT_FALSE(receiver.IsOpen());
    close(other);

    // Two receivers do not share a port either.
    DatagramReceiver first, second;
    ASSERT_TRUE(first.Open(0));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(second.Open(first.GetPort()));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(first.IsOpen());
}

}  // namespace
