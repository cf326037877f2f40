// CaptureReader: the packets of a capture file (pcap or pcapng, read with
// libpcap's offline API) as messages: each selected packet's bytes from the
// layer the user chose (the whole frame, the IP header on, the transport
// header on, or the UDP or TCP payload), with its capture time. TCP
// payloads are taken per segment, without stream reassembly.
// Tested by app/capture_reader_test.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

enum class CaptureLayer { kFrame, kIp, kTransport, kPayload };

namespace capturemsg {
constexpr const char kOpenFailed[] = "File: %s  Open failed";
constexpr const char kNotCapture[] = "%s: not a capture file (%s)";
constexpr const char kBadFilter[] = "bad filter '%s': %s";
constexpr const char kReadError[] = "%s: capture file damaged after packet %lld (%s)";
constexpr const char kLayerNames[] = "frame|ip|transport|payload";
}  // namespace capturemsg

// The layer named "frame", "ip", "transport" or "payload"; false otherwise.
bool ParseCaptureLayer(const char* name, CaptureLayer& layer);

struct CaptureOptions {
    CaptureLayer layer = CaptureLayer::kPayload;
    // Only UDP / TCP packets with this source or destination port; -1 for
    // any. With both set, a packet that matches either is taken.
    int udpPort = -1;
    int tcpPort = -1;
    // A packet filter expression in the capture library's syntax; empty for
    // none.
    std::string filter;
};

// One selected packet; bytes stay valid until the next call of Next.
struct CapturePacket {
    int64_t index = 0;  // the packet's number in the file, from 0
    int64_t seconds = 0;
    int32_t microseconds = 0;
    const uint8_t* bytes = nullptr;
    int32_t length = 0;
};

struct CaptureCounts {
    int64_t packets = 0;   // read from the file
    int64_t selected = 0;  // handed out
    int64_t skipped = 0;   // not of the chosen kind, not passing a filter, or empty
    int64_t tooLong = 0;   // messages above kMaxCaptureMessage bytes
};

class CaptureReader {
  public:
    // The longest message handed out, the message list's limit.
    static constexpr int32_t kMaxCaptureMessage = 0xFFFF;

    CaptureReader() = default;
    ~CaptureReader();
    CaptureReader(const CaptureReader&) = delete;
    CaptureReader& operator=(const CaptureReader&) = delete;

    // Opens the capture at path (system form). False with error set when
    // the file cannot be opened, is no capture, or the filter is bad.
    bool Open(const char* path, const CaptureOptions& options, std::string& error);
    // The same over an open stream, which the reader then owns; name is for
    // messages.
    bool OpenStream(FILE* file, const char* name, const CaptureOptions& options,
                    std::string& error);
    void Close();

    // The next selected packet: 1 with out set, 0 at the end of the file,
    // -1 when the file is damaged (error set; the packets before were read).
    int Next(CapturePacket& out, std::string& error);
    const CaptureCounts& Counts() const { return counts; }
    // The link type of the file (the capture library's number).
    int LinkType() const { return linkType; }

  private:
    struct Handle;
    Handle* handle = nullptr;
    std::string name;
    CaptureOptions options;
    CaptureCounts counts;
    int linkType = -1;
};

// The message at layer inside one frame of linkType; false (the packet is
// skipped) when the frame is not IPv4 or IPv6 on a known link type, or has
// no transport header for the transport and payload layers, or fails the
// port filters.
bool CaptureMessage(int linkType, const uint8_t* frame, int32_t length,
                    const CaptureOptions& options, const uint8_t*& start, int32_t& size);

// The record time of a message file, "hh:mm:ss" in local time.
void CaptureTimeText(int64_t seconds, char out[9]);
