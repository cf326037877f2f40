// Capture files and packets built by hand for the tests of the capture
// reader and of the commands that read captures.
#pragma once

#include <cstdint>
#include <vector>

namespace testcaptures {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A UDP (17) or TCP (6) header from port 1000 to port, without payload.
inline Bytes Transport(int protocol, uint16_t port) {
    Bytes t(protocol == 17 ? 8 : 20, 0);
    Put16(t, 0, 1000);
    Put16(t, 2, port);
    if (protocol == 6) t[12] = 0x50;
    return t;
}

inline Bytes Ipv4(int protocol, const Bytes& transportAndPayload) {
    Bytes ip(20, 0);
    ip[0] = 0x45;
    Put16(ip, 2, static_cast<uint16_t>(20 + transportAndPayload.size()));
    ip[9] = static_cast<uint8_t>(protocol);
    return Cat(ip, transportAndPayload);
}

// IPv6 with a hop-by-hop extension header before the transport header.
inline Bytes Ipv6(int protocol, const Bytes& transportAndPayload) {
    Bytes ip(48, 0);
    ip[0] = 0x60;
    Put16(ip, 4, static_cast<uint16_t>(8 + transportAndPayload.size()));
    ip[6] = 0;  // hop-by-hop options
    ip[40] = static_cast<uint8_t>(protocol);
    return Cat(ip, transportAndPayload);
}

inline Bytes Ethernet(const Bytes& ip, bool vlan) {
    Bytes head(12, 0xEE);
    if (vlan) head.insert(head.end(), {0x81, 0x00, 0x00, 0x07});
    head.insert(head.end(), {0x08, static_cast<uint8_t>(ip[0] >> 4 == 4 ? 0x00 : 0xDD)});
    if (ip[0] >> 4 == 6) head[head.size() - 2] = 0x86;
    // Short frames are padded by the link.
    return Cat(Cat(head, ip), Bytes(4, 0));
}

// A classic capture file, little-endian, microseconds.
inline Bytes PcapFile(int link, const std::vector<Bytes>& frames) {
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
inline Bytes PcapngFile(int link, const std::vector<Bytes>& frames) {
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
        le32(file, static_cast<uint32_t>(frame.size())),
            le32(file, static_cast<uint32_t>(frame.size()));
        file.insert(file.end(), frame.begin(), frame.end());
        file.insert(file.end(), padded - frame.size(), 0);
        le32(file, 32 + padded);
        micros += 1000000;
    }
    return file;
}

}  // namespace testcaptures
