// Tests of the capture reader: frames of every link type at every layer,
// VLAN tags, IPv6 with extension headers, port and expression filters,
// pcap and pcapng files written by hand, truncation and corruption.
#include "app/capture_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/test_captures.h"
#include "base/scratch_dir.h"

namespace {

using namespace testcaptures;

const Bytes kPayload = {'h', 'i', '!'};

TEST(CaptureMessage, LayersOfEveryLinkType) {
    Bytes udp = Cat(Transport(17, 53), kPayload);
    Bytes ip4 = Ipv4(17, udp);
    Bytes ip6 = Ipv6(17, udp);
    Bytes cooked(16, 0);
    Put16(cooked, 14, 0x0800);
    Bytes cooked2(20, 0);
    Put16(cooked2, 0, 0x86DD);
    struct {
        const char* name;
        int link;
        Bytes frame;
        Bytes ip;  // the IP packet inside
    } cases[] = {
        {"ethernet", 1, Ethernet(ip4, false), ip4},
        {"ethernet vlan", 1, Ethernet(ip4, true), ip4},
        {"ethernet ipv6", 1, Ethernet(ip6, false), ip6},
        {"cooked", 113, Cat(cooked, ip4), ip4},
        {"cooked v2", 276, Cat(cooked2, ip6), ip6},
        {"raw", 101, ip4, ip4},
        {"null", 0, Cat({2, 0, 0, 0}, ip4), ip4},
        {"loop ipv6", 108, Cat({0, 0, 0, 24}, ip6), ip6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes transport(c.ip.end() - static_cast<long>(udp.size()), c.ip.end());
        for (auto [layer, expected] : {std::pair{CaptureLayer::kFrame, c.frame},
                                       {CaptureLayer::kIp, c.ip},
                                       {CaptureLayer::kTransport, transport},
                                       {CaptureLayer::kPayload, kPayload}}) {
            CaptureOptions options;
            options.layer = layer;
            const uint8_t* start = nullptr;
            int32_t size = 0;
            ASSERT_TRUE(CaptureMessage(c.link, c.frame.data(), static_cast<int32_t>(c.frame.size()),
                                       options, start, size));
            EXPECT_EQ(expected, Bytes(start, start + size));
        }
    }
}

TEST(CaptureMessage, SkipsWhatIsNotOfTheChosenKind) {
    Bytes tcp = Ipv4(6, Cat(Transport(6, 80), kPayload));
    Bytes udp = Ipv4(17, Cat(Transport(17, 53), kPayload));
    Bytes icmp = Ipv4(1, Bytes(8, 0));
    Bytes fragment = udp;
    fragment[7] = 0x10;  // a later fragment: no UDP header in it
    Bytes arp = Ethernet(udp, false);
    arp[12] = 0x08, arp[13] = 0x06;
    struct {
        const char* name;
        int link;
        Bytes frame;
        CaptureLayer layer;
        int udpPort, tcpPort;
        bool taken;
    } cases[] = {
        {"tcp payload", 101, tcp, CaptureLayer::kPayload, -1, -1, true},
        {"icmp has no payload", 101, icmp, CaptureLayer::kPayload, -1, -1, false},
        {"icmp at ip", 101, icmp, CaptureLayer::kIp, -1, -1, true},
        {"fragment", 101, fragment, CaptureLayer::kTransport, -1, -1, false},
        {"arp", 1, arp, CaptureLayer::kIp, -1, -1, false},
        {"arp whole frame", 1, arp, CaptureLayer::kFrame, -1, -1, true},
        {"udp port", 101, udp, CaptureLayer::kPayload, 53, -1, true},
        {"udp other port", 101, udp, CaptureLayer::kPayload, 54, -1, false},
        {"tcp port filters udp out", 101, udp, CaptureLayer::kFrame, -1, 53, false},
        {"either port", 101, tcp, CaptureLayer::kIp, 53, 80, true},
        {"unknown link", 147, tcp, CaptureLayer::kFrame, -1, 80, false},
        {"cut short", 101, Bytes(tcp.begin(), tcp.begin() + 30), CaptureLayer::kPayload, -1, -1,
         false},
    };
    for (const auto& c : cases) {
        CaptureOptions options;
        options.layer = c.layer;
        options.udpPort = c.udpPort;
        options.tcpPort = c.tcpPort;
        const uint8_t* start = nullptr;
        int32_t size = 0;
        EXPECT_EQ(c.taken,
                  CaptureMessage(c.link, c.frame.data(), static_cast<int32_t>(c.frame.size()),
                                 options, start, size))
            << c.name;
    }
}

class CaptureFileTest : public ScratchDirTest {
  protected:
    void Write(const char* name, const Bytes& bytes) {
        WriteWholeFile(name, std::string(bytes.begin(), bytes.end()));
    }
    // Every selected packet's message; error and status of the last call.
    std::vector<Bytes> ReadAll(const char* name, const CaptureOptions& options) {
        std::vector<Bytes> messages;
        CaptureReader reader;
        status = reader.Open(name, options, error) ? 1 : -2;
        if (status == -2) return messages;
        CapturePacket packet;
        while ((status = reader.Next(packet, error)) == 1) {
            messages.emplace_back(packet.bytes, packet.bytes + packet.length);
            times.push_back(packet.seconds);
        }
        counts = reader.Counts();
        return messages;
    }
    std::string error;
    int status = 0;
    std::vector<int64_t> times;
    CaptureCounts counts;
};

TEST_F(CaptureFileTest, PcapAndPcapngGiveTheSameMessages) {
    std::vector<Bytes> frames = {
        Ethernet(Ipv4(17, Cat(Transport(17, 53), kPayload)), false),
        Ethernet(Ipv4(6, Cat(Transport(6, 80), {'t', 'c', 'p'})), true),
        Ethernet(Ipv4(1, Bytes(8, 0)), false),
    };
    Write("a.pcap", PcapFile(1, frames));
    Write("a.pcapng", PcapngFile(1, frames));
    for (const char* name : {"a.pcap", "a.pcapng"}) {
        times.clear();
        std::vector<Bytes> messages = ReadAll(name, CaptureOptions());
        EXPECT_EQ(0, status) << name << error;
        ASSERT_EQ(2u, messages.size()) << name;
        EXPECT_EQ(kPayload, messages[0]);
        EXPECT_EQ((Bytes{'t', 'c', 'p'}), messages[1]);
        EXPECT_EQ((std::vector<int64_t>{1700000000, 1700000001}), times);
        EXPECT_EQ(3, counts.packets);
        EXPECT_EQ(1, counts.skipped);
    }
    // An expression filter of the capture library (which sees tagged frames
    // only through "vlan").
    CaptureOptions tcpOnly;
    tcpOnly.filter = "vlan and tcp port 80";
    EXPECT_EQ(1u, ReadAll("a.pcap", tcpOnly).size());
    EXPECT_EQ(2, counts.skipped);
    tcpOnly.filter = "tcp port";
    ReadAll("a.pcap", tcpOnly);
    EXPECT_EQ(-2, status);
    EXPECT_NE(std::string::npos, error.find("bad filter 'tcp port'")) << error;
}

TEST_F(CaptureFileTest, DamagedFilesStopWithAMessageAfterWhatWasRead) {
    Bytes udp = Ipv4(17, Cat(Transport(17, 53), kPayload));
    Bytes file = PcapFile(101, {udp, udp, udp});
    Write("cut.pcap", Bytes(file.begin(), file.end() - 5));
    EXPECT_EQ(2u, ReadAll("cut.pcap", CaptureOptions()).size());
    EXPECT_EQ(-1, status);
    EXPECT_NE(std::string::npos, error.find("damaged after packet 2")) << error;

    Write("junk.pcap", Bytes(100, 0x41));
    ReadAll("junk.pcap", CaptureOptions());
    EXPECT_EQ(-2, status);
    EXPECT_NE(std::string::npos, error.find("not a capture file")) << error;
    ReadAll("missing.pcap", CaptureOptions());
    EXPECT_EQ("File: missing.pcap  Open failed", error);

    // A message above the list's limit is skipped and counted.
    Bytes big = Ipv4(17, Cat(Transport(17, 9), Bytes(70000, 1)));
    Put16(big, 2, 0xFFFF);
    Write("big.pcap", PcapFile(101, {big, udp}));
    CaptureOptions frames;
    frames.layer = CaptureLayer::kFrame;
    EXPECT_EQ(1u, ReadAll("big.pcap", frames).size());
    EXPECT_EQ(1, counts.tooLong);
}

}  // namespace
