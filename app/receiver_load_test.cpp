// Load tests of external data reception (app/datagram_receiver.cpp and
// Application's external messages) over the loopback interface: a paced
// stream with automatic translation, and an unthrottled burst of mixed
// datagrams. They assert on counts, never on rates: every datagram sent is
// either read or counted as dropped by the system. The rates reached are
// printed and recorded as test properties.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "base/scratch_dir.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

using Clock = std::chrono::steady_clock;

// The last message of a run: data head, kind 0xFF, one byte.
constexpr uint8_t kMarkerKind = 0xFF;

// Counts what the application reports and checks every message added: its
// first four bytes are a rising sequence number, the rest a pattern from it.
class CountingFrontEnd : public AppFrontEnd {
  public:
    void MessageAdded(int row) override {
        ++added;
        MessageView message;
        if (app == nullptr || !app->Messages().GetMessage(row, message)) {
            ++malformed;
            return;
        }
        if (message.kind == kMarkerKind) {
            markerSeen = true;
            return;
        }
        if (message.length < 4) {
            ++malformed;
            return;
        }
        uint32_t sequence;
        memcpy(&sequence, message.bytes, sizeof sequence);
        if (sequence <= lastSequence && lastSequence != UINT32_MAX) ++outOfOrder;
        lastSequence = sequence;
        for (int32_t i = 4; i < message.length; ++i) {
            if (message.bytes[i] != static_cast<uint8_t>(sequence + i)) {
                ++malformed;
                break;
            }
        }
    }
    void MessageTranslated(int row, bool ok) override {
        (void)row;
        ++translated;
        if (!ok) ++failed;
    }

    Application* app = nullptr;
    uint64_t added = 0;
    uint64_t translated = 0;
    uint64_t failed = 0;
    uint64_t malformed = 0;
    uint64_t outOfOrder = 0;
    uint32_t lastSequence = UINT32_MAX;
    bool markerSeen = false;
};

// A datagram of size bytes with the given first byte, sequence number and
// pattern (see CountingFrontEnd).
void Fill(std::vector<uint8_t>& out, size_t size, uint8_t head, uint32_t sequence) {
    out.resize(size);
    out[0] = head;
    out[1] = 0;
    out[2] = static_cast<uint8_t>(sequence % 200);
    uint8_t* message = out.data() + 3;
    size_t length = size - 3;
    memcpy(message, &sequence, length < 4 ? length : 4);
    for (size_t i = 4; i < length; ++i) message[i] = static_cast<uint8_t>(sequence + i);
}

class Sender {
  public:
    explicit Sender(uint16_t port) {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
    }
    ~Sender() {
        if (fd >= 0) close(fd);
    }
    // True when the whole datagram left.
    bool Send(const std::vector<uint8_t>& bytes) {
        return sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    bool ok() const { return fd >= 0; }

  private:
    int fd;
    sockaddr_in to = {};
};

// Datagrams the system dropped from its input backlog (all interfaces and
// processors), which never reach any socket's count.
uint64_t BacklogDrops() {
    FILE* f = fopen("/proc/net/softnet_stat", "r");
    if (f == nullptr) return 0;
    uint64_t total = 0;
    unsigned processed = 0;
    unsigned dropped = 0;
    char line[512];
    while (fgets(line, sizeof line, f) != nullptr) {
        if (sscanf(line, "%x %x", &processed, &dropped) == 2) total += dropped;
    }
    fclose(f);
    return total;
}

class ReceiverLoadTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        WriteWholeFile("m.txt", "#define PROTOCOL_ROOT M\nstruct M { UINT1 a; UINT1 rest[4]; };\n");
        front.app = &app;
        StartUpOptions options;
        options.loadPlugIns = false;
        options.traceConsole = false;
        options.receiverPort = 0;
        ASSERT_TRUE(app.StartUp(options));
        ASSERT_TRUE(app.Receiver().Open(0));
        app.SelectScript("m.txt");
        app.SetAccepting(true);
        // Each report is appended to "Dump\Tran": rewriting the file for
        // every message costs several times more on some file systems.
        app.SetOverwrite(false);
        backlogBefore = BacklogDrops();
    }

    // After the sender has finished: sends the marker until it has been read.
    // Each marker is sent only when nothing has been waiting for a while, so
    // every earlier datagram has been read or dropped, and the drop count
    // that the marker brings covers them all. Returns the markers sent.
    uint64_t Finish(Sender& sender) {
        std::vector<uint8_t> marker = {DatagramReceiver::kDataHead, 0, kMarkerKind, 0, 0, 0, 0, 0};
        uint64_t sent = 0;
        auto limit = Clock::now() + std::chrono::seconds(30);
        while (!front.markerSeen && Clock::now() < limit) {
            while (app.Receiver().Poll(100) > 0) {
            }
            if (front.markerSeen) break;
            if (sender.Send(marker)) ++sent;
        }
        while (app.Receiver().Poll(20) > 0) {
        }
        return sent;
    }

    // The kernel's share of a run: drops of the socket and of the backlog.
    uint64_t Dropped() {
        return app.Receiver().GetCounters().dropped + (BacklogDrops() - backlogBefore);
    }

    void Report(const char* name, const std::string& line) {
        RecordProperty(name, line);
        printf("[ receiver ] %s: %s\n", name, line.c_str());
    }

    CountingFrontEnd front;
    Application app{&front};
    uint64_t backlogBefore = 0;
};

// 100,000 datagrams of 512 bytes, paced over five seconds in bursts of a
// millisecond, each added to the message list and translated at once.
TEST_F(ReceiverLoadTest, PacedStreamIsReceivedAndTranslated) {
    // With automatic translation every message also writes its report, and
    // the optimised build follows some 6,000 messages a second: most of the
    // stream overflows the receive queue, and the counts must say so. The
    // sanitizer build manages a few hundred a second on two busy cores; it
    // runs at a rate it can follow, for the same five seconds.
    const uint64_t rate = kSanitized ? 300 : 20000;
    const uint64_t total = rate * 5;
    const size_t size = 512;
    app.SetAutoTranslate(true);

    Sender sender(app.Receiver().GetPort());
    ASSERT_TRUE(sender.ok());
    std::atomic<bool> done{false};
    uint64_t sent = 0;
    double seconds = 0;
    std::thread thread([&] {
        std::vector<uint8_t> datagram;
        auto start = Clock::now();
        uint64_t next = 0;
        while (next < total) {
            double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            uint64_t due = static_cast<uint64_t>(elapsed * static_cast<double>(rate)) + 1;
            for (; next < total && next < due; ++next) {
                Fill(datagram, size, DatagramReceiver::kDataHead, static_cast<uint32_t>(next));
                if (sender.Send(datagram)) ++sent;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        done = true;
    });
    while (!done) app.Receiver().Poll(10);
    thread.join();
    uint64_t markers = Finish(sender);
    ASSERT_TRUE(front.markerSeen);

    const DatagramReceiver::Counters& counters = app.Receiver().GetCounters();
    uint64_t dropped = Dropped();
    EXPECT_EQ(total, sent);
    EXPECT_EQ(sent + markers, counters.received + dropped);
    EXPECT_EQ(counters.received, counters.delivered);
    EXPECT_EQ(counters.delivered, front.added);
    EXPECT_EQ(front.added, front.translated);
    EXPECT_EQ(0u, front.failed);
    EXPECT_EQ(0u, front.malformed);
    EXPECT_EQ(0u, front.outOfOrder);
    EXPECT_EQ(static_cast<int32_t>(front.added), app.Totals().total);

    char line[200];
    snprintf(line, sizeof line,
             "%llu of %llu sent at %.0f/s%s, %llu received, %llu dropped, receive buffer %d",
             static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total),
             static_cast<double>(sent) / seconds, kSanitized ? " (sanitizer rate)" : "",
             static_cast<unsigned long long>(counters.received),
             static_cast<unsigned long long>(dropped), app.Receiver().GetReceiveBufferSize());
    Report("paced", line);
}

// 100,000 datagrams as fast as the sender can go: seven in ten with the data
// head (7 to 606 bytes), two with another first byte, one above the size
// limit (4097 to 8000 bytes). The first half is read as it comes; during the
// second the reader is busy elsewhere, so the receive queue overflows. What
// the system drops is counted; the rest is sorted exactly, and the list's
// fixed buffer keeps clearing itself.
TEST_F(ReceiverLoadTest, UnthrottledBurstIsCountedExactly) {
    const uint64_t total = 100000;
    Sender sender(app.Receiver().GetPort());
    ASSERT_TRUE(sender.ok());
    std::atomic<bool> halfway{false};
    uint64_t sentBy[3] = {0, 0, 0};  // data head, other head, too large
    double seconds = 0;
    std::thread thread([&] {
        std::vector<uint8_t> datagram;
        auto start = Clock::now();
        for (uint32_t i = 0; i < total; ++i) {
            if (i == total / 2) halfway = true;
            int kind = i % 10 < 7 ? 0 : i % 10 < 9 ? 1 : 2;
            size_t size = kind == 2 ? 4097 + (i * 7919u) % 3904 : 7 + (i * 31u) % 600;
            uint8_t head =
                kind == 1 ? static_cast<uint8_t>(6 + i % 200) : DatagramReceiver::kDataHead;
            Fill(datagram, size, head, i);
            if (sender.Send(datagram)) ++sentBy[kind];
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    });
    while (!halfway) app.Receiver().Poll(10);
    thread.join();
    uint64_t markers = Finish(sender);
    ASSERT_TRUE(front.markerSeen);

    const DatagramReceiver::Counters& counters = app.Receiver().GetCounters();
    uint64_t dropped = Dropped();
    // The second half, 50,000 datagrams with 5,000 of 4 to 8 kB among them,
    // cannot all wait in any receive buffer the system grants.
    EXPECT_GT(dropped, 0u);
    uint64_t sent = sentBy[0] + sentBy[1] + sentBy[2];
    EXPECT_EQ(total, sent);
    EXPECT_EQ(sent + markers, counters.received + dropped);
    EXPECT_EQ(counters.received, counters.delivered + counters.ignored + counters.tooLarge);
    // What each class lost adds up to the drops.
    ASSERT_LE(counters.delivered, sentBy[0] + markers);
    ASSERT_LE(counters.ignored, sentBy[1]);
    ASSERT_LE(counters.tooLarge, sentBy[2]);
    EXPECT_EQ(dropped, (sentBy[0] + markers - counters.delivered) + (sentBy[1] - counters.ignored) +
                           (sentBy[2] - counters.tooLarge));
    EXPECT_EQ(counters.delivered, front.added);
    EXPECT_EQ(0u, front.translated);
    EXPECT_EQ(0u, front.malformed);
    EXPECT_EQ(0u, front.outOfOrder);
    // The list cleared itself many times over and stays within its buffer.
    EXPECT_GT(front.added, static_cast<uint64_t>(app.Messages().GetCount()) * 4);

    char line[240];
    snprintf(line, sizeof line,
             "%llu sent in %.2f s, %llu received (%llu delivered, %llu ignored, %llu too large), "
             "%llu dropped, receive buffer %d",
             static_cast<unsigned long long>(sent), seconds,
             static_cast<unsigned long long>(counters.received),
             static_cast<unsigned long long>(counters.delivered),
             static_cast<unsigned long long>(counters.ignored),
             static_cast<unsigned long long>(counters.tooLarge),
             static_cast<unsigned long long>(dropped), app.Receiver().GetReceiveBufferSize());
    Report("burst", line);
}

}  // namespace
