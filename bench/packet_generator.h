// The seeded generator of the sample's workload: IPv4 packets of 40 to 200
// bytes, TCP (with options now and then) or UDP, written as a message file.
// Used by translate_bench.cpp and gen-messages (gen_messages.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/path.h"

namespace packetgen {

// A small deterministic generator, the same on every platform.
class Generator {
  public:
    explicit Generator(uint32_t seed) : state(seed) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

  private:
    uint32_t state;
};

inline void Put16(std::vector<uint8_t>& m, uint32_t v) {
    m.push_back(static_cast<uint8_t>(v >> 8));
    m.push_back(static_cast<uint8_t>(v));
}

inline void Put32(std::vector<uint8_t>& m, uint32_t v) {
    Put16(m, v >> 16);
    Put16(m, v & 0xFFFF);
}

// One IPv4 packet of 40 to 200 bytes: TCP (with options now and then) or UDP.
inline std::vector<uint8_t> MakePacket(Generator& g) {
    static const uint16_t kPorts[] = {20, 22, 25, 53, 80, 123, 161, 443, 8080, 40000};
    bool tcp = g.Below(2) == 0;
    int tcpOptions = tcp && g.Below(3) == 0 ? 4 * (1 + g.Below(3)) : 0;
    int head = 20 + (tcp ? 20 + tcpOptions : 8);
    int total = head + static_cast<int>(g.Below(201 - head));
    if (total < 40) total = 40;
    std::vector<uint8_t> m;
    m.reserve(total);
    m.push_back(0x45);
    m.push_back(0);
    Put16(m, total);
    Put16(m, g.Below(0x10000));
    Put16(m, 0x4000);  // don't fragment
    m.push_back(static_cast<uint8_t>(32 + g.Below(96)));
    m.push_back(tcp ? 6 : 17);
    Put16(m, 0);
    Put32(m, 0x0A000000u | g.Below(0x10000));
    Put32(m, 0xC0A80000u | g.Below(0x10000));
    uint16_t sport = kPorts[g.Below(10)], dport = kPorts[g.Below(10)];
    Put16(m, sport);
    Put16(m, dport);
    if (tcp) {
        Put32(m, g.Next());
        Put32(m, g.Next());
        m.push_back(static_cast<uint8_t>((5 + tcpOptions / 4) << 4));
        m.push_back(static_cast<uint8_t>(0x10 | g.Below(0x10)));
        Put16(m, g.Below(0x10000));
        Put16(m, 0);
        Put16(m, 0);
        for (int i = 0; i < tcpOptions; i += 4) Put32(m, 0x01010101);  // NOPs
    } else {
        Put16(m, total - 20);
        Put16(m, 0);
    }
    while (static_cast<int>(m.size()) < total) m.push_back(static_cast<uint8_t>(g.Next()));
    return m;
}

// Writes the first n packets of the seed's sequence to the message file at
// path (replacing it), each of kind 0 at "12:00:00". Returns false when the
// file cannot be written.
inline bool WriteMessageFile(const char* path, uint32_t seed, int n) {
    FILE* f = vpath::OpenFile(path, "wb");
    if (f == nullptr) return false;
    bool ok = fwrite("KZ", 1, 2, f) == 2;
    Generator g(seed);
    for (int i = 0; i < n && ok; ++i) {
        std::vector<uint8_t> m = MakePacket(g);
        // The record head: the time, a reserved byte, the kind and the length.
        uint8_t head[12] = {};
        memcpy(head, "12:00:00", 8);
        head[10] = static_cast<uint8_t>(m.size() >> 8);
        head[11] = static_cast<uint8_t>(m.size());
        ok = fwrite(head, 1, sizeof head, f) == sizeof head &&
             fwrite(m.data(), 1, m.size(), f) == m.size();
    }
    return fclose(f) == 0 && ok;
}

}  // namespace packetgen
