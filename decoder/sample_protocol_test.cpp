// Tests of the sample protocol that users meet first: every message of
// samples/TCP_UDP/msg.dat decodes with samples/TCP_UDP/main.txt as the
// sample intends (outcome, bytes used, captions, titles, values, comments).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/decoder_item.h"
#include "decoder/sample_files.h"
#include "script/program.h"
#include "types/enum_item_list.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

// An element's value text ("(none)": no such element) and maybe its comment.
struct Check {
    const char* path;
    const char* value;
    const char* comment = nullptr;
};

// What one message of msg.dat decodes to.
struct Expected {
    const char* result;    // "OK <bytes used>", or a part of the failure text
    const char* captions;  // caption 0, " / ", caption 1
    std::vector<Check> checks;
};

const char kHttp[] = "GET / HTTP/1.1\r\nHost: example.com\r\n\r\n";

// msg.dat in order; messages.txt beside it describes each message.
const Expected kMessages[] = {
    // SYN with the options MSS, SACK permitted, timestamps, NOP, window scale.
    {"OK 60",
     "TCP 192.168.1.10:51234 -> 93.184.216.34:80 / SYN",
     {{"ip.source", "3232235786", "192.168.1.10"},
      {"ip.destination", "1572395042", "93.184.216.34"},
      {"ip.protocol", "6", "TCP"},
      {"transport.tcp.source_port", "51234", "dynamic port"},
      {"transport.tcp.destination_port", "80", "http"},
      {"transport.tcp.options.mss.mss", "1460"},
      {"transport.tcp.options.sack_permitted.length", "2"},
      {"transport.tcp.options.timestamps.value", "1172641"},
      {"transport.tcp.options.window_scale.shift", "7"}}},
    // SYN ACK with options.
    {"OK 52",
     "TCP 93.184.216.34:80 -> 192.168.1.10:51234 / SYN | ACK",
     {{"transport.tcp.flags", "18", "SYN | ACK"},
      {"transport.tcp.data_offset", "8"},
      {"transport.tcp.options.nop", "1"},
      {"transport.tcp.options.window_scale.shift", "9"}}},
    // PSH ACK with an HTTP request.
    {"OK 89",
     "TCP 192.168.1.10:51234 -> 93.184.216.34:80 / PSH | ACK",
     {{"transport.tcp.options.timestamps.echo_reply", "1546486256"}, {"payload", kHttp}}},
    // FIN ACK without options.
    {"OK 40",
     "TCP 192.168.1.10:51234 -> 93.184.216.34:80 / FIN | ACK",
     {{"transport.tcp.data_offset", "5"}, {"transport.tcp.flags", "17", "FIN | ACK"}}},
    // DNS query, NTP request, UDP to ports without a name.
    {"OK 57",
     "UDP 192.168.1.10:53001 -> 192.168.1.1:53 / len 29",
     {{"ip.dont_fragment", "0"},
      {"transport.udp.destination_port", "53", "domain"},
      {"transport.udp.length", "37"}}},
    {"OK 76",
     "UDP 192.168.1.10:123 -> 162.159.200.1:123 / len 48",
     {{"transport.udp.source_port", "123", "ntp"}}},
    {"OK 33",
     "UDP 10.0.0.5:40000 -> 10.0.0.9:9999 / len 5",
     {{"transport.udp.destination_port", "9999", "user port"}, {"payload", "hello"}}},
    // IGMP (no layout: all data) with the IP option router alert.
    {"OK 32",
     "IGMP 192.168.1.10 -> 224.0.0.251 / len 8",
     {{"ip.ihl", "6"},
      {"ip.options.option.kind", "148", "router alert"},
      {"transport.icmp", "(none)"}}},
    // ICMP echo request; echo reply with record route and end of list.
    {"OK 44",
     "ICMP 10.0.0.1 -> 10.0.0.2 / echo request",
     {{"transport.icmp.type", "8", "echo request"}, {"transport.icmp.identifier", "4660"}}},
    {"OK 56",
     "ICMP 10.0.0.2 -> 10.0.0.1 / echo reply",
     {{"ip.options.option.kind", "7", "record route"},
      {"ip.options.option.length", "11"},
      {"ip.options.end", "0"},
      {"transport.icmp.type", "0", "echo reply"}}},
    // A later UDP fragment: no UDP header.
    {"OK 40",
     "UDP 10.0.0.5 -> 10.0.0.9 / fragment at 1480 len 20",
     {{"ip.fragment_offset", "185"}, {"transport.udp", "(none)"}}},
    // SYN cut inside the TCP header.
    {"'acknowledgement' get 'UINT4' data fail",
     "TCP 10.0.0.1:1234 -> 10.0.0.2:80 / -",
     {{"transport.tcp.sequence", "1"}, {"transport.tcp.acknowledgement", "-"}}},
    // ACK followed by 6 bytes of Ethernet padding, left over.
    {"OK 40",
     "TCP 93.184.216.34:80 -> 192.168.1.10:51234 / ACK",
     {{"ip.total_length", "40"}, {"payload", ""}}},
};

std::string Comment(ProtocolDecoder& decoder, const char* path) {
    int32_t idx = -1;
    auto* item = static_cast<DecoderItem*>(decoder.GetRoot().GetItem(0, path, &idx));
    OTSTR text;
    bool one = item != nullptr && item->CommentText(idx < 0 ? 0 : idx, text, "") == 1;
    return one ? text.GetBuffer(0) : "(no comment)";
}

TEST(SampleProtocol, EveryMessageDecodesAsIntended) {
    ProtocolDecoder decoder;
    ASSERT_TRUE(decoder.LoadScript(SamplePath("TCP_UDP/main.txt").c_str(), false))
        << decoder.GetLastError().GetBuffer(0);
    std::vector<MessageRecord> records;
    ASSERT_TRUE(ReadMessageFile(SamplePath("TCP_UDP/msg.dat"), records));
    ASSERT_EQ(std::size(kMessages), records.size());
    EXPECT_STREQ("IPv4 TCP/UDP", decoder.GetProtocolName().GetBuffer(0));
    EnumItemList* titles = decoder.GetProgram()->FindEnum("Title_DescriptionId");
    ASSERT_NE(nullptr, titles);
    for (size_t i = 0; i < records.size(); ++i) {
        const Expected& e = kMessages[i];
        SCOPED_TRACE("message " + std::to_string(i));
        OTSTR title, caption0, caption1;
        EXPECT_TRUE(titles->TextOfValue(records[i].kind, true, title));
        EXPECT_STREQ("IPv4 packet", title.GetBuffer(0));
        int32_t length = static_cast<int32_t>(records[i].bytes.size());
        if (decoder.Translate(true, records[i].bytes.data(), length)) {
            EXPECT_EQ(e.result, "OK " + std::to_string(length));
        } else {
            std::string error = decoder.GetLastError().GetBuffer(0);
            EXPECT_NE(std::string::npos, error.find(e.result)) << error;
        }
        decoder.GetTitle(0, caption0);
        decoder.GetTitle(1, caption1);
        EXPECT_EQ(e.captions, std::string(caption0.GetBuffer(0)) + " / " + caption1.GetBuffer(0));
        for (const Check& c : e.checks) {
            EXPECT_EQ(c.value, ItemValue(decoder, c.path)) << c.path;
            if (c.comment != nullptr) {
                EXPECT_EQ(c.comment, Comment(decoder, c.path)) << c.path;
            }
        }
        // Every comment of the tree (Dump procedures included) can be made.
        TextTable table;
        table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
        EXPECT_TRUE(DumpTree(decoder.GetRoot(), table, kDumpValues | kDumpComments, 0, 16));
    }
}

}  // namespace
