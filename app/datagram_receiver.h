// DatagramReceiver: the UDP socket on which other programs hand messages to
// the application. A datagram whose first byte is the data head 0x05 goes to
// the callback with the bytes from its second byte. The socket is
// non-blocking; the owner's event loop polls its descriptor and calls
// ReadPending. Tested by app/datagram_receiver_test.cpp over loopback.
#pragma once

#include <cstdint>

struct msghdr;

// The callback record's function: argv[0] is the datagram from its second
// byte, argv[1] its length (the datagram length - 1) as an intptr_t.
using ExternalMessageHandler = int (*)(void* owner, int argc, void** argv);

namespace receivermsg {
constexpr const char kCreateFail[] = "UdpServer Create fail";
constexpr const char kTooLarge[] = "UdpServer recv fail, datagram of %d bytes above %d dropped";
}  // namespace receivermsg

class DatagramReceiver {
  public:
    static constexpr uint16_t kDefaultPort = 2900;
    static constexpr int32_t kMaxDatagram = 4096;
    static constexpr uint8_t kDataHead = 0x05;
    static constexpr int kMaxArgs = 10;

    // What the receiver has seen since it was opened.
    struct Counters {
        uint64_t received = 0;   // datagrams read (every size)
        uint64_t delivered = 0;  // handed to the callback
        uint64_t ignored = 0;    // another first byte, or empty
        uint64_t tooLarge = 0;   // above kMaxDatagram, dropped
        // Datagrams the system discarded because the socket's receive queue
        // was full, as far as known: the count travels with each datagram
        // read, so drops after the last one read show up with the next.
        uint64_t dropped = 0;
    };

    DatagramReceiver() = default;
    ~DatagramReceiver();
    DatagramReceiver(const DatagramReceiver&) = delete;
    DatagramReceiver& operator=(const DatagramReceiver&) = delete;

    // Creates the socket bound to port on every IPv4 address (port 0: any
    // free port), non-blocking, with a large receive buffer and the system's
    // drop count attached to each datagram. False, with
    // "UdpServer Create fail" in the trace, when it cannot be created or bound.
    bool Open(uint16_t port);
    void Close();
    bool IsOpen() const { return fd >= 0; }
    int GetFd() const { return fd; }
    // The bound port, 0 when closed.
    uint16_t GetPort() const { return port; }
    // The receive buffer the system granted, in bytes as it reports them
    // (Linux counts its bookkeeping too, about twice the payload); 0 when
    // closed.
    int GetReceiveBufferSize() const { return receiveBufferSize; }

    void SetHandler(void* owner, ExternalMessageHandler function);

    // Reads every datagram waiting on the socket and hands each to
    // OnDatagram; a datagram above kMaxDatagram bytes is reported to the
    // trace and dropped. Returns the number read.
    int ReadPending();
    // Waits up to timeoutMs (negative: no limit) for the socket to become
    // readable, then ReadPending. Returns the number read, -1 when closed.
    int Poll(int timeoutMs);

    // One datagram: with the data head, calls the handler with the bytes from
    // the second one and length - 1; anything else is ignored.
    void OnDatagram(const uint8_t* bytes, int32_t length, uint32_t senderAddress,
                    uint16_t senderPort);

    const Counters& GetCounters() const { return counters; }

  private:
    // Adds the drops reported with one datagram to the counters.
    void NoteDropCount(const struct msghdr& message);

    int fd = -1;
    uint16_t port = 0;
    void* owner = nullptr;
    ExternalMessageHandler handler = nullptr;
    Counters counters;
    int receiveBufferSize = 0;
    // The system's running drop count carried by the last datagram read.
    uint32_t lastDropCount = 0;
    uint8_t buffer[kMaxDatagram + 1];
};
