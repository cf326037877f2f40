// The translate command on the TCP_UDP sample: compiling the sample script,
// and translating a generated message file of N mixed TCP and UDP packets
// (40 to 200 bytes) through the application, without and with the report.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "base/path.h"
#include "decoder/protocol_decoder.h"

namespace {

std::string SamplePath() { return std::string(VANTOR_SOURCE_DIR) + "/samples/TCP_UDP/main.txt"; }

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

void Put16(std::vector<uint8_t>& m, uint32_t v) {
    m.push_back(static_cast<uint8_t>(v >> 8));
    m.push_back(static_cast<uint8_t>(v));
}

void Put32(std::vector<uint8_t>& m, uint32_t v) {
    Put16(m, v >> 16);
    Put16(m, v & 0xFFFF);
}

// One IPv4 packet of 40 to 200 bytes: TCP (with options now and then) or UDP.
std::vector<uint8_t> MakePacket(Generator& g) {
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

// Writes n packets as a message file and returns its name.
std::string WriteMessageFile(int n) {
    std::string path = "bench" + std::to_string(n) + ".dat";
    FILE* f = vpath::OpenFile(path.c_str(), "wb");
    if (f == nullptr) return "";
    fwrite("KZ", 1, 2, f);
    Generator g(20261207u + static_cast<uint32_t>(n));
    for (int i = 0; i < n; ++i) {
        std::vector<uint8_t> m = MakePacket(g);
        uint8_t head[12] = {'1', '2', ':', '0', '0', ':', '0', '0', 0, 0,
                            static_cast<uint8_t>(m.size() >> 8), static_cast<uint8_t>(m.size())};
        fwrite(head, 1, sizeof head, f);
        fwrite(m.data(), 1, m.size(), f);
    }
    fclose(f);
    return path;
}

// The benchmarks run in a directory of their own (dump, trace, report).
const bool kInWorkDir = [] {
    char dir[] = "/tmp/vantor-bench-XXXXXX";
    return mkdtemp(dir) != nullptr && chdir(dir) == 0;
}();

void BM_CompileSample(benchmark::State& state) {
    std::string path = SamplePath();
    ProtocolDecoder decoder;
    for (auto _ : state) {
        if (!decoder.LoadScript(path.c_str(), false)) {
            state.SkipWithError(decoder.GetLastError().GetBuffer(0));
            break;
        }
    }
}
BENCHMARK(BM_CompileSample)->Unit(benchmark::kMillisecond);

void Translate(benchmark::State& state, bool report) {
    int n = static_cast<int>(state.range(0));
    std::string file = WriteMessageFile(n);
    Application app;
    StartUpOptions options;
    options.loadPlugIns = false;
    options.traceConsole = false;
    options.receiverPort = 0;
    // 100,000 packets need a larger message list than the default.
    if (!kInWorkDir || file.empty() || !app.StartUp(options) || !app.Messages().Create(32) ||
        !app.LoadMessageFile(file.c_str())) {
        state.SkipWithError("cannot prepare the messages");
        return;
    }
    app.SelectScript(SamplePath().c_str());
    MessageList& list = app.Messages();
    int failed = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        vpath::RemoveFile("Dump\\Tran");
        state.ResumeTiming();
        auto begin = std::chrono::steady_clock::now();
        failed = 0;
        for (int row = 0; row < list.GetCount(); ++row) {
            MessageView m;
            list.GetMessage(row, m);
            if (!app.TranslateMessage(m.bytes, m.length, m.kind, nullptr, report)) ++failed;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    double messages = static_cast<double>(state.iterations()) * list.GetCount();
    state.counters["failed"] = failed;
    state.counters["msgs_per_s"] = messages / seconds;
    state.counters["us_per_msg"] = seconds * 1e6 / messages;
    vpath::RemoveFile("Dump\\Tran");
    vpath::RemoveFile(file.c_str());
}

void BM_TranslateWithoutReport(benchmark::State& state) { Translate(state, false); }
void BM_TranslateWithReport(benchmark::State& state) { Translate(state, true); }
BENCHMARK(BM_TranslateWithoutReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslateWithReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
