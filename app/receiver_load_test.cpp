// Load tests of external data reception (app/datagram_receiver.cpp and
// Application's external messages) over loopback: a paced stream with
// automatic translation, an unthrottled burst of mixed datagrams. They assert
// on counts, never on rates (those are printed and recorded as properties).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "base/scratch_dir.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

using Clock = std::chrono::steady_clock;
constexpr uint8_t kMarkerKind = 0xFF;  // the last message of a run

// Counts what the application reports and checks every message added: its
// first four bytes are a rising sequence number, the rest a pattern from it.
class CountingFrontEnd : public AppFrontEnd {
  public:
    void MessageAdded(int row) override {
        ++added;
        MessageView m;
        bool got = app->Messages().GetMessage(row, m), marker = got && m.kind == kMarkerKind;
        markerSeen = markerSeen || marker;
        malformed += !got || (!marker && m.length < 4);
        if (!got || marker || m.length < 4) return;
        uint32_t sequence;
        memcpy(&sequence, m.bytes, sizeof sequence);
        if (sequence <= lastSequence && lastSequence != UINT32_MAX) ++outOfOrder;
        lastSequence = sequence;
        for (int32_t i = 4; i < m.length; ++i) malformed += m.bytes[i] != uint8_t(sequence + i);
    }
    void MessageTranslated(int, bool ok) override { ++translated, failed += !ok; }

    Application* app = nullptr;
    uint64_t added = 0, translated = 0, failed = 0, malformed = 0, outOfOrder = 0;
    uint32_t lastSequence = UINT32_MAX;
    bool markerSeen = false;
};

// Datagrams the system dropped from its input backlog (all interfaces and
// processors), which never reach any socket's count.
uint64_t BacklogDrops() {
    FILE* f = fopen("/proc/net/softnet_stat", "r");
    if (f == nullptr) return 0;
    uint64_t total = 0;
    unsigned processed = 0, dropped = 0;
    for (char line[512]; fgets(line, sizeof line, f) != nullptr;)
        total += sscanf(line, "%x %x", &processed, &dropped) == 2 ? dropped : 0;
    fclose(f);
    return total;
}

class ReceiverLoadTest : public ScratchDirTest {
  protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        WriteWholeFile("m.txt", "#define PROTOCOL_ROOT M\nstruct M { UINT1 a; UINT1 rest[4]; };\n");
        front.app = &app;
        ASSERT_TRUE(app.StartUp({Profile::kDefaultPath, false, false, 0}));
        ASSERT_TRUE(app.Receiver().Open(0));
        app.SelectScript("m.txt");
        app.SetAccepting(true);
        // Each report is appended to "Dump\Tran": rewriting the file for
        // every message costs several times more on some file systems.
        app.SetOverwrite(false);
        backlogBefore = BacklogDrops();
        sockaddr_in to{AF_INET, htons(app.Receiver().GetPort()), {htonl(INADDR_LOOPBACK)}, {}};
        ASSERT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to));
    }
    void TearDown() override { close(fd); }

    // Sends size bytes: head, 0, kind, the sequence number and the pattern
    // from it (see CountingFrontEnd). True when the whole datagram left.
    bool Send(size_t size, uint8_t head, uint32_t sequence, uint8_t kind = 0) {
        std::vector<uint8_t> out(size);
        out[0] = head;
        out[2] = kind != 0 ? kind : static_cast<uint8_t>(sequence % 200);
        memcpy(out.data() + 3, &sequence, size - 3 < 4 ? size - 3 : 4);
        for (size_t i = 4; i < size - 3; ++i) out[3 + i] = static_cast<uint8_t>(sequence + i);
        return send(fd, out.data(), size, 0) == static_cast<ssize_t>(size);
    }

    // Has a thread send total datagrams, send(i) the i-th, rate a second (0:
    // as fast as it can), reading until all are sent or, with pause, until
    // half are. Then sends markers until one is read, each when nothing has
    // waited for a while, so the drop count it brings covers all earlier
    // datagrams. Checks that every datagram sent was received or dropped and
    // each received sorted exactly.
    void Run(const char* name, uint64_t total, uint64_t rate, bool pause,
             const std::function<bool(uint32_t i)>& send) {
        std::atomic<bool> stop{false};
        uint64_t sent = 0;
        auto start = Clock::now();
        std::thread thread([&] {
            for (uint64_t i = 0; i < total;) {
                if (rate != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                for (; i < total && (rate == 0 || i < elapsed * rate + 1); ++i) {
                    if (pause && i == total / 2) stop = true;
                    sent += send(static_cast<uint32_t>(i));
                }
            }
            stop = true;
        });
        while (!stop) app.Receiver().Poll(10);
        thread.join();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        while (!front.markerSeen && Clock::now() < start + std::chrono::seconds(60)) {
            while (app.Receiver().Poll(100) > 0) continue;
            if (!front.markerSeen) markers += Send(8, DatagramReceiver::kDataHead, 0, kMarkerKind);
        }
        while (app.Receiver().Poll(20) > 0) continue;
        ASSERT_TRUE(front.markerSeen);
        const DatagramReceiver::Counters& c = app.Receiver().GetCounters();
        dropped = c.dropped + (BacklogDrops() - backlogBefore);
        EXPECT_EQ(total, sent);
        EXPECT_EQ(sent + markers, c.received + dropped);
        EXPECT_EQ(c.received, c.delivered + c.ignored + c.tooLarge);
        EXPECT_EQ(c.delivered, front.added);
        EXPECT_EQ(0u, front.malformed + front.outOfOrder);
        char line[240];
        snprintf(line, sizeof line,
                 "%" PRIu64 " sent in %.2f s%s, %" PRIu64 " received (%" PRIu64
                 " delivered, %" PRIu64 " ignored, %" PRIu64 " too large), %" PRIu64
                 " dropped, receive buffer %d",
                 sent, seconds, kSanitized ? " (sanitizer build)" : "", c.received, c.delivered,
                 c.ignored, c.tooLarge, dropped, app.Receiver().GetReceiveBufferSize());
        RecordProperty(name, line);
        printf("[ receiver ] %s: %s\n", name, line);
    }

    CountingFrontEnd front;
    Application app{&front};
    uint64_t backlogBefore = 0, markers = 0, dropped = 0;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

// Datagrams of 512 bytes, paced over five seconds in bursts of a
// millisecond, each added to the message list and translated at once.
TEST_F(ReceiverLoadTest, PacedStreamIsReceivedAndTranslated) {
    // Each message also writes its report: the optimised build follows some
    // 6,000 a second, so most of the stream overflows the receive queue; the
    // sanitizer build runs at a rate it can follow.
    const uint64_t rate = kSanitized ? 300 : 20000;
    app.SetAutoTranslate(true);
    Run("paced", rate * 5, rate, false,
        [&](uint32_t i) { return Send(512, DatagramReceiver::kDataHead, i); });
    EXPECT_EQ(app.Receiver().GetCounters().received, front.added) << "none ignored";
    EXPECT_EQ(front.added, front.translated);
    EXPECT_EQ(0u, front.failed);
    EXPECT_EQ(static_cast<int32_t>(front.added), app.Totals().total);
}

// 100,000 datagrams as fast as the sender can go: seven in ten with the data
// head (7 to 606 bytes), two with another first byte, one above the size
// limit (4097 to 8000 bytes). During the second half the reader is busy
// elsewhere, so the receive queue overflows; the list's buffer keeps clearing.
TEST_F(ReceiverLoadTest, UnthrottledBurstIsCountedExactly) {
    const uint32_t total = 100000;
    uint64_t sentBy[3] = {0, 0, 0};  // data head, other head, too large
    Run("burst", total, 0, true, [&](uint32_t i) {
        int kind = i % 10 < 7 ? 0 : i % 10 < 9 ? 1 : 2;
        size_t size = kind == 2 ? 4097 + (i * 7919u) % 3904 : 7 + (i * 31u) % 600;
        uint8_t head = kind == 1 ? static_cast<uint8_t>(6 + i % 200) : DatagramReceiver::kDataHead;
        return Send(size, head, i) && ++sentBy[kind];
    });
    const DatagramReceiver::Counters& c = app.Receiver().GetCounters();
    // 50,000 datagrams, 5,000 of 4 to 8 kB among them, cannot all wait in any
    // receive buffer the system grants. What each class lost adds up to it.
    EXPECT_GT(dropped, 0u);
    ASSERT_LE(c.delivered, sentBy[0] + markers);
    ASSERT_LE(c.ignored, sentBy[1]);
    ASSERT_LE(c.tooLarge, sentBy[2]);
    EXPECT_EQ(dropped, (sentBy[0] + markers - c.delivered) + (sentBy[1] - c.ignored) +
                           (sentBy[2] - c.tooLarge));
    EXPECT_EQ(0u, front.translated);
    // The list cleared itself many times over and stays within its buffer.
    EXPECT_GT(front.added, static_cast<uint64_t>(app.Messages().GetCount()) * 4);
}

}  // namespace
