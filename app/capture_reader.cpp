// CaptureReader: packets of capture files as messages.
#include "app/capture_reader.h"

#include <pcap/pcap.h>

#include <cstring>
#include <ctime>

#include "base/path.h"

namespace {

// Link types as the capture library numbers them.
constexpr int kLinkNull = 0;  // 4-byte address family, host order
constexpr int kLinkEthernet = 1;
constexpr int kLinkRaw = 12;  // raw IP (also 14 on some systems)
constexpr int kLinkRawAlt = 14;
constexpr int kLinkRawPcap = 101;
constexpr int kLinkLoop = 108;    // 4-byte address family, network order
constexpr int kLinkCooked = 113;  // Linux cooked capture v1
constexpr int kLinkIpv4 = 228;
constexpr int kLinkIpv6 = 229;
constexpr int kLinkCooked2 = 276;  // Linux cooked capture v2

constexpr int kProtoTcp = 6;
constexpr int kProtoUdp = 17;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// The offset of the IP header in a frame, -1 when it carries none.
int32_t IpOffset(int linkType, const uint8_t* frame, int32_t length) {
    int32_t offset = -1;
    uint16_t type = 0;
    switch (linkType) {
        case kLinkEthernet: {
            offset = 14;
            if (length < offset) return -1;
            type = Read16(frame + 12);
            // 802.1Q and 802.1ad tags, any number of them.
            while ((type == 0x8100 || type == 0x88A8 || type == 0x9100) && length >= offset + 4) {
                type = Read16(frame + offset + 2);
                offset += 4;
            }
            if (type != 0x0800 && type != 0x86DD) return -1;
            break;
        }
        case kLinkCooked:
            offset = 16;
            if (length < offset) return -1;
            type = Read16(frame + 14);
            if (type != 0x0800 && type != 0x86DD) return -1;
            break;
        case kLinkCooked2:
            offset = 20;
            if (length < offset) return -1;
            type = Read16(frame);
            if (type != 0x0800 && type != 0x86DD) return -1;
            break;
        case kLinkNull:
        case kLinkLoop:
            // The family's numbering differs between systems; the version
            // nibble of the header says what follows.
            offset = 4;
            break;
        case kLinkRaw:
        case kLinkRawAlt:
        case kLinkRawPcap:
        case kLinkIpv4:
        case kLinkIpv6:
            offset = 0;
            break;
        default:
            return -1;
    }
    if (length <= offset) return -1;
    int version = frame[offset] >> 4;
    return version == 4 || version == 6 ? offset : -1;
}

// Whether the source or destination port of a UDP or TCP header is port.
bool PortMatches(int port, const uint8_t* transport) {
    return Read16(transport) == port || Read16(transport + 2) == port;
}

}  // namespace

bool ParseCaptureLayer(const char* name, CaptureLayer& layer) {
    static const struct {
        const char* name;
        CaptureLayer layer;
    } layers[] = {{"frame", CaptureLayer::kFrame},
                  {"ip", CaptureLayer::kIp},
                  {"transport", CaptureLayer::kTransport},
                  {"payload", CaptureLayer::kPayload}};
    for (const auto& entry : layers) {
        if (name != nullptr && strcmp(name, entry.name) == 0) {
            layer = entry.layer;
            return true;
        }
    }
    return false;
}

bool CaptureMessage(int linkType, const uint8_t* frame, int32_t length,
                    const CaptureOptions& options, const uint8_t*& start, int32_t& size) {
    bool portFilter = options.udpPort >= 0 || options.tcpPort >= 0;
    if (options.layer == CaptureLayer::kFrame && !portFilter) {
        start = frame;
        size = length;
        return true;
    }
    int32_t ip = IpOffset(linkType, frame, length);
    if (ip < 0) return false;
    const uint8_t* header = frame + ip;
    int32_t room = length - ip;  // captured bytes from the IP header on
    int32_t ipLength = 0;        // the IP packet's own length
    int32_t transport = 0;       // offset of the transport header from ip
    int protocol = -1;
    if (header[0] >> 4 == 4) {
        if (room < 20) return false;
        int32_t headerLength = (header[0] & 0x0F) * 4;
        ipLength = Read16(header + 2);
        bool fragment = (Read16(header + 6) & 0x1FFF) != 0;
        if (headerLength < 20 || headerLength > room || ipLength < headerLength) return false;
        transport = headerLength;
        protocol = fragment ? -1 : header[9];
    } else {
        if (room < 40) return false;
        ipLength = 40 + Read16(header + 4);
        int next = header[6];
        transport = 40;
        // Extension headers before the transport header.
        while (next == 0 || next == 43 || next == 44 || next == 60) {
            if (transport + 8 > room) return false;
            if (next == 44 && (Read16(header + transport + 2) & 0xFFF8) != 0) {
                next = -1;  // a later fragment: no transport header
                break;
            }
            int32_t extension = next == 44 ? 8 : (header[transport + 1] + 1) * 8;
            next = header[transport];
            transport += extension;
        }
        protocol = next;
    }
    // Ethernet pads short packets; the IP length says where the packet ends.
    int32_t end = ipLength < room ? ipLength : room;
    if (options.layer == CaptureLayer::kIp && !portFilter) {
        start = header;
        size = end;
        return true;
    }
    bool udp = protocol == kProtoUdp && transport + 8 <= end;
    bool tcp = protocol == kProtoTcp && transport + 20 <= end;
    if (!udp && !tcp) return false;
    if (portFilter) {
        bool taken =
            (udp && options.udpPort >= 0 && PortMatches(options.udpPort, header + transport)) ||
            (tcp && options.tcpPort >= 0 && PortMatches(options.tcpPort, header + transport));
        if (!taken) return false;
    }
    int32_t headerSize = 8;
    if (tcp) {
        headerSize = (header[transport + 12] >> 4) * 4;
        if (headerSize < 20 || transport + headerSize > end) return false;
    }
    switch (options.layer) {
        case CaptureLayer::kFrame:
            start = frame;
            size = length;
            break;
        case CaptureLayer::kIp:
            start = header;
            size = end;
            break;
        case CaptureLayer::kTransport:
            start = header + transport;
            size = end - transport;
            break;
        case CaptureLayer::kPayload:
            start = header + transport + headerSize;
            size = end - transport - headerSize;
            break;
    }
    return true;
}

void CaptureTimeText(int64_t seconds, char out[9]) {
    time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    localtime_r(&t, &local);
    char text[32];
    snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    memcpy(out, text, 8);
    out[8] = '\0';
}

struct CaptureReader::Handle {
    pcap_t* pcap = nullptr;
    bpf_program program{};
    bool hasProgram = false;
};

CaptureReader::~CaptureReader() {
    Close();
}

void CaptureReader::Close() {
    if (handle == nullptr) return;
    if (handle->hasProgram) pcap_freecode(&handle->program);
    if (handle->pcap != nullptr) pcap_close(handle->pcap);  // closes the stream too
    delete handle;
    handle = nullptr;
}

bool CaptureReader::Open(const char* path, const CaptureOptions& optionsIn, std::string& error) {
    FILE* file = vpath::OpenFile(path, "rb");
    if (file == nullptr) {
        char text[512];
        snprintf(text, sizeof text, capturemsg::kOpenFailed, path);
        error = text;
        return false;
    }
    return OpenStream(file, path, optionsIn, error);
}

bool CaptureReader::OpenStream(FILE* file, const char* nameIn, const CaptureOptions& optionsIn,
                               std::string& error) {
    Close();
    name = nameIn != nullptr ? nameIn : "";
    options = optionsIn;
    counts = CaptureCounts();
    char reason[PCAP_ERRBUF_SIZE] = "";
    pcap_t* pcap =
        pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, reason);
    if (pcap == nullptr) {
        fclose(file);
        char text[PCAP_ERRBUF_SIZE + 512];
        snprintf(text, sizeof text, capturemsg::kNotCapture, name.c_str(), reason);
        error = text;
        return false;
    }
    handle = new Handle;
    handle->pcap = pcap;
    linkType = pcap_datalink(pcap);
    if (!options.filter.empty()) {
        if (pcap_compile(pcap, &handle->program, options.filter.c_str(), 1, PCAP_NETMASK_UNKNOWN) !=
            0) {
            char text[PCAP_ERRBUF_SIZE + 1024];
            snprintf(text, sizeof text, capturemsg::kBadFilter, options.filter.c_str(),
                     pcap_geterr(pcap));
            error = text;
            Close();
            return false;
        }
        handle->hasProgram = true;
    }
    return true;
}

int CaptureReader::Next(CapturePacket& out, std::string& error) {
    if (handle == nullptr) return 0;
    for (;;) {
        pcap_pkthdr* header = nullptr;
        const u_char* data = nullptr;
        int status = pcap_next_ex(handle->pcap, &header, &data);
        if (status == PCAP_ERROR_BREAK) return 0;  // the end of the file
        if (status != 1) {
            char text[PCAP_ERRBUF_SIZE + 512];
            snprintf(text, sizeof text, capturemsg::kReadError, name.c_str(),
                     static_cast<long long>(counts.packets), pcap_geterr(handle->pcap));
            error = text;
            return -1;
        }
        int64_t index = counts.packets++;
        int32_t length = static_cast<int32_t>(header->caplen);
        const uint8_t* start = nullptr;
        int32_t size = 0;
        if ((handle->hasProgram && pcap_offline_filter(&handle->program, header, data) == 0) ||
            !CaptureMessage(linkType, data, length, options, start, size)) {
            ++counts.skipped;
            continue;
        }
        if (size == 0) {  // nothing to translate: a bare acknowledgement, say
            ++counts.skipped;
            continue;
        }
        if (size > kMaxCaptureMessage) {
            ++counts.tooLong;
            continue;
        }
        ++counts.selected;
        out.index = index;
        out.seconds = header->ts.tv_sec;
        out.microseconds = static_cast<int32_t>(header->ts.tv_usec);
        out.bytes = start;
        out.length = size;
        return 1;
    }
}
