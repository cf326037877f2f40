// Fuzz target: the bytes as a capture file read by CaptureReader at every
// layer, each packet's message checked to lie inside the packet the capture
// library handed over; the first byte picks the layer and the port filters.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/capture_reader.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("capture");
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    CaptureOptions options;
    options.layer = static_cast<CaptureLayer>(data[0] & 3);
    if (data[0] & 4) options.udpPort = 53;
    if (data[0] & 8) options.tcpPort = 80;
    fuzzsupport::WriteBytes("input.pcap", data + 1, size - 1);

    CaptureReader reader;
    std::string error;
    if (!reader.Open("input.pcap", options, error)) return 0;
    CapturePacket packet;
    uint32_t sum = 0;
    int64_t packets = 0;
    while (reader.Next(packet, error) == 1) {
        if (packet.length < 0 || packet.length > CaptureReader::kMaxCaptureMessage ||
            (packet.length > 0 && packet.bytes == nullptr)) {
            fuzzsupport::Violated("a message with an impossible length");
        }
        for (int32_t i = 0; i < packet.length; ++i) sum += packet.bytes[i];
        ++packets;
    }
    const CaptureCounts& counts = reader.Counts();
    if (counts.selected != packets ||
        counts.selected + counts.skipped + counts.tooLong != counts.packets) {
        fuzzsupport::Violated("the counts do not add up");
    }
    return static_cast<int>(sum & 0);
}
