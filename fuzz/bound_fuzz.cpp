// Fuzz target: the bytes as one message, translated by each sample script
// twice, by two decoders that loaded it: one with call sites and return
// values bound at their first run, one reading their texts at every run.
// Both must give the same result, consumed bytes, error text, captions and
// tree dump; the bound decoder has run every message before, so its
// bindings come from earlier messages too. Before the dump, each runs the
// dump's hooks alone, the bound decoder leaving its quiet Dump procedures
// out: that must not change the outcome either.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "fuzz/fuzz_support.h"
#include "script/call_arguments.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

const char* const kScripts[] = {
    "/samples/TCP_UDP/main.txt", "/samples/demo/main.txt", "/samples/demo/report.txt",
    "/samples/MQTT/main.txt",    "/samples/LLDP/main.txt", "/samples/CAN_J1939/main.txt",
};

// What a translation gave, as one text.
std::string Outcome(ProtocolDecoder& decoder, const uint8_t* data, int32_t size, bool bound) {
    CallArguments::SetBinding(bound);
    int32_t used = size;
    bool ok = decoder.Translate(true, data, used);
    const uint32_t options = kDumpComments | kDumpValues | kDumpIntegrated | kDumpMarker;
    bool hooked =
        RunDumpHooks(decoder.GetRoot(), options, bound ? &decoder.GetQuietProcedures() : nullptr);
    TextTable table;
    SetReportColumns(table, 40);
    bool dumped = DumpTree(decoder.GetRoot(), table, options, 0, 16);
    CallArguments::SetBinding(true);
    table.ComputeWidths();
    OTSTR title0, title1, line;
    decoder.GetTitle(0, title0);
    decoder.GetTitle(1, title1);
    std::string text = std::string(ok ? "ok " : "failed ") + std::to_string(used) + "\n" +
                       decoder.GetLastError().GetBuffer(0) + "\n" + title0.GetBuffer(0) + "\n" +
                       title1.GetBuffer(0) + "\n" + (hooked ? "hooks ran" : "hooks failed") + "\n" +
                       (dumped ? "dumped" : "dump failed") + "\n";
    for (int row = 0; row < table.GetRowCount(); ++row) {
        if (table.GetRowLine(row, line)) text.append(line.GetBuffer(0)).append("\n");
    }
    return text;
}

struct Target {
    // Pairs: the bound decoder, then the one reading texts.
    std::vector<std::unique_ptr<ProtocolDecoder>> decoders;

    Target() {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("bound");
        for (const char* name : kScripts) {
            std::string path = std::string(VANTOR_SOURCE_DIR) + name;
            for (int copy = 0; copy < 2; ++copy) {
                auto decoder = std::make_unique<ProtocolDecoder>();
                if (!decoder->LoadScript(path.c_str(), false)) {
                    fprintf(stderr, "bound_fuzz: %s does not load: %s\n", name,
                            decoder->GetLastError().GetBuffer(0));
                    abort();
                }
                decoders.push_back(std::move(decoder));
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Target target;
    if (size < 1 || size > 0xFFFF) return 0;
    int32_t n = static_cast<int32_t>(size);
    for (size_t i = 0; i + 1 < target.decoders.size(); i += 2) {
        std::string bound = Outcome(*target.decoders[i], data, n, true);
        std::string text = Outcome(*target.decoders[i + 1], data, n, false);
        if (bound != text) {
            fprintf(stderr, "bound:\n%s\ntext:\n%s\n", bound.c_str(), text.c_str());
            fuzzsupport::Violated("the bound and the text path differ");
        }
    }
    return 0;
}
