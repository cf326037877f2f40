// Sweeps over damaged messages, cut short at every length or with a bit
// flipped, each in a heap buffer of exactly its size (the address sanitizer
// catches a read past it). None may crash or hang; a failure has a text, any
// byte position in it lies inside the message; tree and report stay readable.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decoder/sample_files.h"
#include "decoder/translation_report.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Every byte position that the text names: the numbers that stand before
// " : ", alone or after the '.' of an element path ("12  : ...", "m.2   : ...").
std::vector<long> NamedPositions(const std::string& text) {
    std::vector<long> positions;
    for (size_t at = text.find(" : "); at != std::string::npos; at = text.find(" : ", at + 1)) {
        size_t end = at;
        while (end > 0 && text[end - 1] == ' ') --end;
        size_t begin = end;
        while (begin > 0 && isdigit(static_cast<unsigned char>(text[begin - 1]))) --begin;
        if (begin > 0 && text[begin - 1] == '-') --begin;
        if (begin < end && (begin == 0 || text[begin - 1] == '.' || text[begin - 1] == ' ')) {
            positions.push_back(strtol(text.c_str() + begin, nullptr, 10));
        }
    }
    return positions;
}

TEST(Sweep, NamedPositionsAreFoundWhereTheTextsPutThem) {
    EXPECT_EQ(std::vector<long>{12}, NamedPositions("12  : 'b' get 'UINT2' data fail"));
    EXPECT_EQ(std::vector<long>{2}, NamedPositions("m.2   : 'y' get 'UINT2' data fail"));
    EXPECT_EQ(std::vector<long>{7}, NamedPositions("v 7   : 'x' <- '3' fail"));
    EXPECT_EQ(std::vector<long>{-1}, NamedPositions("-1  : Internal err"));
    EXPECT_TRUE(NamedPositions("s.txt : Ln 2  if (exp) execute fail !").empty());
    EXPECT_TRUE(NamedPositions("v canceled !").empty());
}

// Translates the n bytes at source from a buffer of exactly that size, then
// dumps the tree and formats the report. Returns whether it translated.
bool Variant(ProtocolDecoder& decoder, const uint8_t* source, int32_t n, const std::string& what) {
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[n > 0 ? n : 1]());  // 0: an empty text
    if (n > 0) memcpy(buffer.get(), source, static_cast<size_t>(n));
    int32_t length = n;
    bool ok = decoder.Translate(true, buffer.get(), length);
    std::string error = decoder.GetLastError().GetBuffer(0);
    EXPECT_TRUE(!ok || (length >= 0 && length <= n)) << what << ": used " << length;
    if (!ok) {
        EXPECT_FALSE(error.empty()) << what;
        EXPECT_EQ(std::string::npos, error.find("canceled !")) << what << ": " << error;
        for (long pos : NamedPositions(error)) EXPECT_TRUE(pos >= 0 && pos <= n) << what << error;
    }
    int32_t consumed = decoder.GetConsumedBytes();
    EXPECT_TRUE(consumed >= 0 && consumed <= n) << what << ": consumed " << consumed;
    TextTable table;
    SetReportColumns(table, 40);
    DumpTree(decoder.GetRoot(), table,
             kDumpIntegrated | kDumpValues | kDumpComments | kDumpMarker | kDumpIndent, 0, 12);
    table.ComputeWidths();
    OTSTR report;
    FormatTranslationReport(OutcomeOf(decoder, buffer.get(), n, ok, length, &table), true, report);
    EXPECT_FALSE(report.IsEmpty()) << what;
    return ok;
}

// The sample protocol with its message file, the demo protocols with the
// messages of their tests: every prefix, and the flips of every stride-th bit
// (odd, so every bit of a byte is met; a seventh of those of msg.dat, another
// in each message, keeps the sweep to seconds under the sanitizers).
TEST(Sweep, DamagedMessagesFailCleanly) {
    struct {
        const char* script;
        std::vector<Bytes> messages;  // empty: those of TCP_UDP/msg.dat
        int stride;
    } corpora[] = {
        {"TCP_UDP/main.txt", {}, 7},
        {"demo/main.txt",
         {{0x12, 0x03, 0x00, 0x0A, 0x00, 0x02, 0, 1, 0, 2, 0, 3, 0, 4},
          {0x11, 0x05, 0x00, 0x0C, 0, 0, 0, 9, 'v', 'a', 'n', 't', 'o', 'r', 0, 0}},
         1},
        {"demo/report.txt",
         {{0x5A, 1, 3, 1, 0, 2, 0, 0xFF, 0xFF, 0xFE, 0xFF, 5},
          {0x13, 2, 21, 7, 6, 0xAA},
          {0x31, 3, 3, 'a', 'b', 'c', 4},
          {0x5A, 1, 3, 1, 0}},
         1},
    };
    for (auto& corpus : corpora) {
        if (corpus.messages.empty()) {
            std::vector<MessageRecord> records;
            ASSERT_TRUE(ReadMessageFile(SamplePath("TCP_UDP/msg.dat"), records));
            for (auto& r : records) corpus.messages.push_back(r.bytes);
        }
        ProtocolDecoder decoder;
        ASSERT_TRUE(decoder.LoadScript(SamplePath(corpus.script).c_str(), false))
            << corpus.script << ": " << decoder.GetLastError().GetBuffer(0);
        decoder.SetTimeLimit(5000);  // a variant that runs into it counts as a hang
        int translated = 0, failed = 0;
        for (size_t i = 0; i < corpus.messages.size(); ++i) {
            Bytes& m = corpus.messages[i];
            const int32_t n = static_cast<int32_t>(m.size());
            std::string what = std::string(corpus.script) + " message " + std::to_string(i);
            for (int32_t cut = 0; cut < n; ++cut, ++translated) {
                failed += !Variant(decoder, m.data(), cut, what + " cut " + std::to_string(cut));
            }
            for (int32_t bit = static_cast<int32_t>(i) % corpus.stride; bit < 8 * n;
                 bit += corpus.stride, ++translated) {
                m[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
                failed += !Variant(decoder, m.data(), n, what + " bit " + std::to_string(bit));
                m[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            }
        }
        // Most damaged messages fail, and some still translate.
        EXPECT_GT(failed, 0) << corpus.script;
        EXPECT_LT(failed, translated) << corpus.script;
    }
}

}  // namespace
