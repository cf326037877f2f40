// End-to-end tests of the result output: the station report sample decoded
// message by message, each report compared with its expected text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

constexpr uint32_t kOptions =
    kDumpIntegrated | kDumpValues | kDumpComments | kDumpMarker | kDumpIndent;
constexpr int kValueWidth = 24;
constexpr int kHexBytesPerRow = 6;

// Loads the station report sample.
bool LoadReportSample(ProtocolDecoder& decoder) {
    std::string path = std::string(VANTOR_SOURCE_DIR) + "/samples/demo/report.txt";
    return decoder.LoadScript(path.c_str(), false);
}

// Translates bytes and formats the report with the tree dump of "msg".
std::string Report(ProtocolDecoder& decoder, const std::vector<uint8_t>& bytes) {
    int32_t length = static_cast<int32_t>(bytes.size());
    bool ok = decoder.Translate(true, bytes.data(), length);
    TextTable table;
    SetReportColumns(table, kValueWidth);
    bool dumped = DumpTree(decoder.GetRoot(), table, kOptions, 0, kHexBytesPerRow);
    table.ComputeWidths();
    OTSTR text;
    FormatTranslationReport(
        OutcomeOf(decoder, bytes.data(), static_cast<int32_t>(bytes.size()), ok, length, &table),
        true, text);
    std::string out = text.GetBuffer(0);
    if (!dumped) out += "(dump stopped)\n";
    return out;
}

// The messages of the golden file, in its order.
struct GoldenMessage {
    const char* what;
    std::vector<uint8_t> bytes;
};

const std::vector<GoldenMessage>& GoldenMessages() {
    static const std::vector<GoldenMessage> messages = {
        // Status 0x5A: mode 2, alarm, seq 10; a sensor with two corners.
        {"sensor", {0x5A, 1, 3, 1, 0, 2, 0, 0xFF, 0xFF, 0xFE, 0xFF, 5}},
        // A reading of 21.7 (integrated from two bytes) and one byte over.
        {"reading, leftover", {0x13, 2, 21, 7, 6, 0xAA}},
        // A note whose MEMO carries a content struct.
        {"note", {0x31, 3, 3, 'a', 'b', 'c', 4}},
        // A sensor cut short inside its first corner.
        {"short sensor", {0x5A, 1, 3, 1, 0}},
    };
    return messages;
}

std::string GoldenPath() {
    return std::string(VANTOR_SOURCE_DIR) + "/samples/demo/expected/report.txt";
}

// The first line where two texts differ, for a readable failure.
std::string FirstDifference(const std::string& want, const std::string& got) {
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    size_t lineStart = want.rfind('\n', i == 0 ? 0 : i - 1);
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    auto line = [lineStart](const std::string& text) {
        size_t end = text.find('\n', lineStart);
        return lineStart >= text.size() ? std::string("(end)")
                                        : text.substr(lineStart, end - lineStart);
    };
    return "at offset " + std::to_string(i) + "\n want: " + line(want) + "\n  got: " + line(got);
}

TEST(ReportGolden, SampleMessagesMatchTheExpectedReports) {
    ProtocolDecoder decoder;
    ASSERT_TRUE(LoadReportSample(decoder)) << decoder.GetLastError().GetBuffer(0);
    std::string got;
    for (const GoldenMessage& m : GoldenMessages()) {
        got += "==== " + std::string(m.what) + "\n" + Report(decoder, m.bytes);
    }
    std::string want;
    FILE* file = fopen(GoldenPath().c_str(), "rb");
    ASSERT_NE(nullptr, file) << GoldenPath();
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) want.append(buffer, n);
    fclose(file);
    if (getenv("VANTOR_WRITE_GOLDEN") != nullptr) {
        FILE* out = fopen(GoldenPath().c_str(), "wb");
        ASSERT_NE(nullptr, out);
        fwrite(got.data(), 1, got.size(), out);
        fclose(out);
    }
    EXPECT_TRUE(want == got) << FirstDifference(want, got);
}

// The report text depends only on the message: decoding the same messages
// again, in another order, gives the same reports.
TEST(ReportGolden, ReportsDoNotCarryStateBetweenMessages) {
    ProtocolDecoder decoder;
    ASSERT_TRUE(LoadReportSample(decoder)) << decoder.GetLastError().GetBuffer(0);
    const auto& messages = GoldenMessages();
    std::vector<std::string> first;
    for (const auto& m : messages) first.push_back(Report(decoder, m.bytes));
    for (size_t i = messages.size(); i-- > 0;) {
        EXPECT_EQ(first[i], Report(decoder, messages[i].bytes)) << messages[i].what;
    }
}

}  // namespace
