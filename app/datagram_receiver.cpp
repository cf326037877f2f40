// DatagramReceiver: the non-blocking UDP socket for external messages, its
// reading loop and the dispatch of data-head datagrams to the callback.
// Tested by app/datagram_receiver_test.cpp.
#include "app/datagram_receiver.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "base/tracer.h"

namespace {

// Asked for so that bursts are not lost while the user interface is busy;
// the system may grant less.
constexpr int kReceiveBufferSize = 4 * 1024 * 1024;

// One call reads at most this many datagrams, so that a sender that never
// stops cannot hold the user-interface thread; the rest stay readable.
constexpr int kMaxReadsPerCall = 4096;

}  // namespace

DatagramReceiver::~DatagramReceiver() {
    Close();
}

bool DatagramReceiver::Open(uint16_t wantedPort) {
    Close();
    counters = Counters();

    // No SO_REUSEADDR: for UDP it would let a second program share the port
    // and take the datagrams meant for the first, instead of failing here.
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool ok = s >= 0;
    if (ok) {
        // SO_RCVBUFFORCE passes the system's ceiling (net.core.rmem_max) but
        // needs privilege; SO_RCVBUF is then capped at that ceiling.
        int size = kReceiveBufferSize;
        if (setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
            (void)setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
        // Each datagram then carries the socket's running count of datagrams
        // dropped for want of room; without it the drop count stays 0.
        int on = 1;
        (void)setsockopt(s, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);

        struct sockaddr_in address;
        memset(&address, 0, sizeof address);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(wantedPort);
        ok = bind(s, reinterpret_cast<struct sockaddr*>(&address), sizeof address) == 0;

        socklen_t length = sizeof address;
        ok = ok && getsockname(s, reinterpret_cast<struct sockaddr*>(&address), &length) == 0;
        if (ok) port = ntohs(address.sin_port);
    }
    if (!ok) {
        if (s >= 0) ::close(s);
        TraceLine("%s", receivermsg::kCreateFail);
        return false;
    }
    fd = s;
    int granted = 0;
    socklen_t grantedLength = sizeof granted;
    if (getsockopt(s, SOL_SOCKET, SO_RCVBUF, &granted, &grantedLength) == 0) {
        receiveBufferSize = granted;
    }
    return true;
}

void DatagramReceiver::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    port = 0;
    receiveBufferSize = 0;
    lastDropCount = 0;
}

void DatagramReceiver::SetHandler(void* newOwner, ExternalMessageHandler function) {
    owner = newOwner;
    handler = function;
}

int DatagramReceiver::ReadPending() {
    int count = 0;
    // The handler may close the receiver, so the descriptor is checked each time.
    while (fd >= 0 && count < kMaxReadsPerCall) {
        struct sockaddr_in from;
        memset(&from, 0, sizeof from);
        struct iovec part;
        part.iov_base = buffer;
        part.iov_len = sizeof buffer;
        union {
            struct cmsghdr header;
            char space[CMSG_SPACE(sizeof(uint32_t))];
        } control;
        struct msghdr message;
        memset(&message, 0, sizeof message);
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.space;
        message.msg_controllen = sizeof control.space;
        // MSG_TRUNC makes the call return the datagram's real length, so that
        // one cut to fit the buffer is recognised.
        ssize_t n = recvmsg(fd, &message, MSG_TRUNC);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;  // EAGAIN: nothing more waiting; anything else ends this round too
        }
        ++count;
        ++counters.received;
        NoteDropCount(message);
        if (n > kMaxDatagram) {
            ++counters.tooLarge;
            TraceLine(receivermsg::kTooLarge, static_cast<int>(n > INT32_MAX ? INT32_MAX : n),
                      static_cast<int>(kMaxDatagram));
            continue;
        }
        OnDatagram(buffer, static_cast<int32_t>(n), ntohl(from.sin_addr.s_addr),
                   ntohs(from.sin_port));
    }
    return count;
}

void DatagramReceiver::NoteDropCount(const struct msghdr& message) {
    // The count is absent while it is 0 and wraps at 32 bits; the difference
    // to the last one seen is what was dropped in between.
    for (struct cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
         c = CMSG_NXTHDR(const_cast<struct msghdr*>(&message), c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SO_RXQ_OVFL ||
            c->cmsg_len < CMSG_LEN(sizeof(uint32_t))) {
            continue;
        }
        uint32_t total = 0;
        memcpy(&total, CMSG_DATA(c), sizeof total);
        counters.dropped += static_cast<uint32_t>(total - lastDropCount);
        lastDropCount = total;
    }
}

int DatagramReceiver::Poll(int timeoutMs) {
    if (fd < 0) return -1;
    struct pollfd entry;
    entry.fd = fd;
    entry.events = POLLIN;
    entry.revents = 0;
    int r = poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (r <= 0) return 0;
    if ((entry.revents & (POLLIN | POLLERR)) == 0) return 0;
    return ReadPending();
}

void DatagramReceiver::OnDatagram(const uint8_t* bytes, int32_t length, uint32_t senderAddress,
                                  uint16_t senderPort) {
    (void)senderAddress;
    (void)senderPort;
    if (bytes == nullptr || length < 1 || bytes[0] != kDataHead || handler == nullptr) {
        ++counters.ignored;
        return;
    }
    void* argv[kMaxArgs] = {};
    argv[0] = const_cast<uint8_t*>(bytes + 1);
    argv[1] = reinterpret_cast<void*>(static_cast<intptr_t>(length - 1));
    ++counters.delivered;
    handler(owner, 2, argv);
}
