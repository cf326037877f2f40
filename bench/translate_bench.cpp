// The translate command on the TCP_UDP sample: compiling the sample script,
// and translating a generated message file of N mixed TCP and UDP packets
// (40 to 200 bytes) through the application: without the report, with it,
// and as JSON lines. Every heap allocation of this program is counted, for
// allocs_per_msg, and the processor time of all its threads is split between
// user space and the kernel (user_us_per_msg, kernel_us_per_msg): with the
// report, the writer thread's time counts as well, its waits for the next
// report included, and the sum passes the time per message.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/application.h"
#include "app/result_json.h"
#include "base/path.h"
#include "bench/allocation_counter.h"
#include "bench/packet_generator.h"
#include "bench/work_directory.h"
#include "decoder/protocol_decoder.h"

namespace {

std::string SamplePath() {
    return std::string(VANTOR_SOURCE_DIR) + "/samples/TCP_UDP/main.txt";
}

// Writes n packets as a message file and returns its name.
std::string WriteMessageFile(int n) {
    std::string path = "bench" + std::to_string(n) + ".dat";
    if (!packetgen::WriteMessageFile(path.c_str(), 20261207u + static_cast<uint32_t>(n), n)) {
        return "";
    }
    return path;
}

// Everything the runs write goes to a directory of their own.
const bench::WorkDirectory kWorkDirectory;

// The processor time of this process so far, in user space and in the
// kernel (the writes of the report), in seconds.
struct ProcessorTime {
    double user = 0;
    double kernel = 0;
};
ProcessorTime ProcessorTimeNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
    };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

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

constexpr int kWarmUpMessages = 1000;

// How a message's result goes out: the report file, a JSON line (as
// "--format json --no-report" writes it), or nothing besides the counts.
enum class Output { kNone, kReport, kJson };

void Translate(benchmark::State& state, Output output) {
    bool report = output == Output::kReport;
    int n = static_cast<int>(state.range(0));
    std::string file = WriteMessageFile(n);
    Application app;
    StartUpOptions options;
    options.loadPlugIns = false;
    options.traceConsole = false;
    options.receiverPort = 0;
    // 100,000 packets need a larger message list than the default.
    if (!kWorkDirectory.entered || file.empty() || !app.StartUp(options) ||
        !app.Messages().Create(32) || !app.LoadMessageFile(file.c_str())) {
        state.SkipWithError("cannot prepare the messages");
        return;
    }
    app.SelectScript(SamplePath().c_str());
    MessageList& list = app.Messages();
    std::string json;
    // The results' texts keep their blocks from message to message, as the
    // command's do.
    TranslateResults results;
    // One message as the command does it: false when it fails.
    auto translate = [&](int row) {
        MessageView m;
        list.GetMessage(row, m);
        bool ok = app.TranslateMessage(m.bytes, m.length, m.kind, &results, report);
        if (output == Output::kJson) {
            JsonMessage message;
            message.index = row;
            message.bytes = m.bytes;
            message.length = m.length;
            message.last = &app.Last();
            message.results = &results;
            json.clear();
            AppendTranslationJson(app.Decoder(), message, json);
            benchmark::DoNotOptimize(json.data());
        }
        return ok;
    };
    // Up to kWarmUpMessages messages once before the loop, which then times
    // and counts a warm engine: the script's load is the compile
    // benchmark's, and the first messages of each kind fill the blocks that
    // the engine keeps for the next ones.
    for (int row = 0; row < list.GetCount() && row < kWarmUpMessages; ++row) translate(row);
    if (!app.HasScript()) {
        state.SkipWithError("the script did not load");
        return;
    }
    int failed = 0;
    double seconds = 0;
    ProcessorTime spent;
    uint64_t allocated = 0;
    for (auto _ : state) {
        state.PauseTiming();
        vpath::RemoveFile("Dump\\Tran");
        state.ResumeTiming();
        uint64_t allocationsBefore = bench::AllocationCount();
        auto begin = std::chrono::steady_clock::now();
        ProcessorTime before = ProcessorTimeNow();
        failed = 0;
        for (int row = 0; row < list.GetCount(); ++row) {
            if (!translate(row)) ++failed;
        }
        // The last report is written within the time.
        app.FinishReport();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        ProcessorTime after = ProcessorTimeNow();
        spent.user += after.user - before.user;
        spent.kernel += after.kernel - before.kernel;
        allocated += bench::AllocationCount() - allocationsBefore;
    }
    double messages = static_cast<double>(state.iterations()) * list.GetCount();
    state.counters["failed"] = failed;
    state.counters["msgs_per_s"] = messages / seconds;
    state.counters["us_per_msg"] = seconds * 1e6 / messages;
    // The time split: the engine's (and the report writer's waits) in user
    // space, the system's writes.
    state.counters["user_us_per_msg"] = spent.user * 1e6 / messages;
    state.counters["kernel_us_per_msg"] = spent.kernel * 1e6 / messages;
    state.counters["allocs_per_msg"] = static_cast<double>(allocated) / messages;
    vpath::RemoveFile("Dump\\Tran");
    vpath::RemoveFile(file.c_str());
}

void BM_TranslateWithoutReport(benchmark::State& state) {
    Translate(state, Output::kNone);
}
void BM_TranslateWithReport(benchmark::State& state) {
    Translate(state, Output::kReport);
}
void BM_TranslateJson(benchmark::State& state) {
    Translate(state, Output::kJson);
}
BENCHMARK(BM_TranslateWithoutReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslateWithReport)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslateJson)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
