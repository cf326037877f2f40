// Fuzz target: the bytes as one message, translated by each of the sample
// scripts (loaded once), then shown as the application shows a result: the
// tree dump of "msg" in the result table, the translation report and the
// JSON line of the command-line front end, which must be valid JSON.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/json_check.h"
#include "app/result_json.h"
#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "fuzz/fuzz_support.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

const char* const kScripts[] = {
    "/samples/TCP_UDP/main.txt",
    "/samples/demo/main.txt",
    "/samples/demo/report.txt",
};

// The option words of the application's three comment modes, in tree and
// list display, with and without the structs of TypeOF items.
const uint32_t kOptions[] = {
    kDumpComments | kDumpMarker | kDumpIndent | kDumpIntegrated,
    kDumpValues,
    kDumpValues | kDumpComments | kDumpIndexPrefix,
    kDumpComments | kDumpIntegrated,
};

struct Target {
    std::vector<std::unique_ptr<ProtocolDecoder>> decoders;
    TextTable table;
    std::string json;

    Target() {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("decoder");
        for (const char* name : kScripts) {
            std::string path = std::string(VANTOR_SOURCE_DIR) + name;
            auto decoder = std::make_unique<ProtocolDecoder>();
            if (!decoder->LoadScript(path.c_str(), false)) {
                // A sample that does not load yet is left out.
                fprintf(stderr, "decoder_fuzz: %s left out: %s\n", name,
                        decoder->GetLastError().GetBuffer(0));
                continue;
            }
            decoders.push_back(std::move(decoder));
        }
        if (decoders.empty()) abort();
        SetReportColumns(table, 40);
    }

    void Run(ProtocolDecoder& decoder, const uint8_t* data, int32_t size) {
        int32_t used = size;
        bool ok = decoder.Translate(true, data, used);
        if (ok && (used < 0 || used > size)) fuzzsupport::Violated("consumed bytes out of range");
        if (!ok && decoder.GetLastError().IsEmpty()) {
            fuzzsupport::Violated("a failed translation leaves no message");
        }
        table.RemoveAllRows();
        DumpTree(decoder.GetRoot(), table, kOptions[size % 4], 0, 12);
        table.ComputeWidths();

        OTSTR title0, title1, text;
        decoder.GetTitle(0, title0);
        decoder.GetTitle(1, title1);
        FormatTranslationReport(OutcomeOf(decoder, data, size, ok, used, &table), (size & 1) != 0,
                                text);

        LastTranslation last;
        last.attempted = true;
        last.ok = ok;
        last.length = size;
        last.used = ok ? used : decoder.GetConsumedBytes();
        if (!ok) last.error = decoder.GetLastError();
        TranslateResults results;
        results.texts[0] = "title";
        results.texts[1] = title0;
        results.texts[2] = title1;
        JsonMessage message;
        message.bytes = data;
        message.length = size;
        message.last = &last;
        message.results = &results;
        json.clear();
        AppendTranslationJson(decoder, message, json);
        if (json.empty() || json.back() != '\n' ||
            !JsonCheck::Valid(json.substr(0, json.size() - 1))) {
            fuzzsupport::Violated("the JSON line of a translation is not valid JSON");
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Target target;
    // The application translates no empty message, nor one longer than a
    // message file record holds.
    if (size < 1 || size > 0xFFFF) return 0;
    for (auto& decoder : target.decoders) {
        target.Run(*decoder, data, static_cast<int32_t>(size));
    }
    return 0;
}
