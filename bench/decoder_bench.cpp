// Throughput of the decoder on the station report sample: loading the
// script, translating generated messages, and translating them with the
// report text (tree dump and report) built for each. Without the report,
// the heap blocks that the translations ask for are counted, for
// allocs_per_msg.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/tracer.h"
#include "bench/allocation_counter.h"
#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

// The failing messages' trace lines would otherwise be timed with them.
const bool kQuietTrace = (Tracer::inst()->SetConsoleOn(false), true);

constexpr int kMessages = 3000;

std::string SamplePath() {
    return std::string(VANTOR_SOURCE_DIR) + "/samples/demo/report.txt";
}

// kMessages messages of the three part kinds, the same every run; every
// tenth one is cut short so that it fails.
std::vector<std::vector<uint8_t>> MakeMessages() {
    std::vector<std::vector<uint8_t>> messages;
    uint32_t seed = 11;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int i = 0; i < kMessages; ++i) {
        std::vector<uint8_t> m = {next(), static_cast<uint8_t>(1 + i % 3)};
        switch (i % 3) {
            case 0:  // sensor: level and two points
                for (int b = 0; b < 9; ++b) m.push_back(next());
                break;
            case 1:  // reading: two bytes
                m.push_back(next() % 100);
                m.push_back(next() % 10);
                break;
            default:  // note: three bytes of text
                m.push_back(3);
                for (int b = 0; b < 3; ++b) m.push_back(static_cast<uint8_t>('a' + next() % 26));
                break;
        }
        m.push_back(next());
        if (i % 10 == 9) m.resize(m.size() / 2);
        messages.push_back(m);
    }
    return messages;
}

void BM_LoadReportScript(benchmark::State& state) {
    std::string path = SamplePath();
    ProtocolDecoder decoder;
    for (auto _ : state) {
        if (!decoder.LoadScript(path.c_str(), false)) {
            state.SkipWithError(decoder.GetLastError().GetBuffer(0));
            return;
        }
    }
    state.counters["loads_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadReportScript)->Unit(benchmark::kMicrosecond);

// Arg 0: translation only; arg 1: with the tree dump and the report text.
void BM_TranslateMessages(benchmark::State& state) {
    bool withReport = state.range(0) != 0;
    ProtocolDecoder decoder;
    std::string path = SamplePath();
    if (!decoder.LoadScript(path.c_str(), false)) {
        state.SkipWithError(decoder.GetLastError().GetBuffer(0));
        return;
    }
    std::vector<std::vector<uint8_t>> messages = MakeMessages();
    int64_t failed = 0;
    int64_t reportBytes = 0;
    uint64_t allocationsBefore = bench::AllocationCount();
    for (auto _ : state) {
        for (const auto& m : messages) {
            int32_t length = static_cast<int32_t>(m.size());
            bool ok = decoder.Translate(true, m.data(), length);
            if (!ok) ++failed;
            if (!withReport) continue;
            TextTable table;
            SetReportColumns(table, 24);
            DumpTree(decoder.GetRoot(), table,
                     kDumpIntegrated | kDumpValues | kDumpComments | kDumpMarker | kDumpIndent, 0,
                     6);
            table.ComputeWidths();
            OTSTR text;
            FormatTranslationReport(
                OutcomeOf(decoder, m.data(), static_cast<int32_t>(m.size()), ok, length, &table),
                true, text);
            reportBytes += text.GetLength();
        }
    }
    double iterations = static_cast<double>(state.iterations());
    state.counters["msgs_per_s"] =
        benchmark::Counter(iterations * kMessages, benchmark::Counter::kIsRate);
    state.counters["failed_per_run"] = benchmark::Counter(static_cast<double>(failed) / iterations);
    if (!withReport) {
        // The first run's blocks (kept for the later runs) are counted too.
        state.counters["allocs_per_msg"] =
            benchmark::Counter(static_cast<double>(bench::AllocationCount() - allocationsBefore) /
                               (iterations * kMessages));
    } else {
        state.counters["report_bytes_per_run"] =
            benchmark::Counter(static_cast<double>(reportBytes) / iterations);
    }
}
BENCHMARK(BM_TranslateMessages)->Arg(0)->Arg(1)->ArgName("report")->Unit(benchmark::kMillisecond);

}  // namespace
