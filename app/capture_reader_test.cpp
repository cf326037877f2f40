// Tests of the capture reader: frames of every link type at every layer,
// VLAN tags, IPv6 with extension headers, port and expression filters,
// pcap and pcapng files written by hand, truncation and corruption.
#include "app/capture_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A UDP (17) or TCP (6) header from port 1000 to port, without payload.
Bytes Transport(int protocol, uint16_t port) {
    Bytes t(protocol == 17 ? 8 : 20, 0);
    Put16(t, 0, 1000);
    Put16(t, 2, port);
    if (protocol == 6) t[12] = 0x50;
    return t;
}

Bytes Ipv4(int protocol, const Bytes& transportAndPayload) {
    Bytes ip(20, 0);
    ip[0] = 0x45;
    Put16(ip, 2, static_cast<uint16_t>(20 + transportAndPayload.size()));
    ip[9] = static_cast<uint8_t>(protocol);
    return Cat(ip, transportAndPayload);
}

// IPv6 with a hop-by-hop extension header before the transport header.
Bytes Ipv6(int protocol, const Bytes& transportAndPayload) {
    Bytes ip(48, 0);
    ip[0] = 0x60;
    Put16(ip, 4, static_cast<uint16_t>(8 + transportAndPayload.size()));
    ip[6] = 0;  // hop-by-hop options
    ip[40] = static_cast<uint8_t>(protocol);
    return Cat(ip, transportAndPayload);
}

Bytes Ethernet(const Bytes& ip, bool vlan) {
    Bytes head(12, 0xEE);
    if (vlan) head.insert(head.end(), {0x81, 0x00, 0x00, 0x07});
    head.insert(head.end(), {0x08, static_cast<uint8_t>(ip[0] >> 4 == 4 ? 0x00 : 0xDD)});
    if (ip[0] >> 4 == 6) head[head.size() - 2] = 0x86;
    // Short frames are padded by the link.
    return Cat(Cat(head, ip), Bytes(4, 0));
}

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
        {"cut short", 101, Bytes(tcp.begin(), tcp.begin() + 30), CaptureLayer::kPayload, -1, -1, false},
    };
    for (const auto& c : cases) {
        CaptureOptions options;
        options.layer = c.layer;
        options.udpPort = c.udpPort;
        options.tcpPort = c.tcpPort;
        const uint8_t* start = nullptr;
        int32_t size = 0;
        EXPECT_EQ(c.taken, CaptureMessage(c.link, c.frame.data(), static_cast<int32_t>(c.frame.size()),
                                          options, start, size))
            << c.name;
    }
}

// A classic capture file, little-endian, microseconds.
Bytes PcapFile(int link, const std::vector<Bytes>& frames) {
    auto le32 = [](Bytes& b, uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    Bytes file;
    le32(file, 0xA1B2C3D4);
    file.insert(file.end(), {2, 0, 4, 0});
    le32(file, 0);
    le32(file, 0);
    le32(file, 262144);
    le32(file, static_cast<uint32_t>(link));
    uint32_t second = 1700000000;
    for (const Bytes& frame : frames) {
        le32(file, second++);
        le32(file, 250000);
        le32(file, static_cast<uint32_t>(frame.size()));
        le32(file, static_cast<uint32_t>(frame.size()));
        file.insert(file.end(), frame.begin(), frame.end());
    }
    return file;
}

// The same packets in a pcapng file: section, interface, enhanced packets.
Bytes PcapngFile(int link, const std::vector<Bytes>& frames) {
    auto le32 = [](Bytes& b, uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    Bytes file;
    le32(file, 0x0A0D0D0A), le32(file, 28), le32(file, 0x1A2B3C4D);
    file.insert(file.end(), {1, 0, 0, 0});
    le32(file, 0xFFFFFFFF), le32(file, 0xFFFFFFFF), le32(file, 28);
    le32(file, 1), le32(file, 20);
    file.insert(file.end(), {static_cast<uint8_t>(link), 0, 0, 0});
    le32(file, 65535), le32(file, 20);
    uint64_t micros = 1700000000ull * 1000000 + 250000;
    for (const Bytes& frame : frames) {
        uint32_t padded = static_cast<uint32_t>((frame.size() + 3) / 4 * 4);
        le32(file, 6), le32(file, 32 + padded), le32(file, 0);
        le32(file, static_cast<uint32_t>(micros >> 32)), le32(file, static_cast<uint32_t>(micros));
        le32(file, static_cast<uint32_t>(frame.size())), le32(file, static_cast<uint32_t>(frame.size()));
        file.insert(file.end(), frame.begin(), frame.end());
        file.insert(file.end(), padded - frame.size(), 0);
        le32(file, 32 + padded);
        micros += 1000000;
    }
    return file;
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
