// Sweeps over damaged messages: every message of the sample and test corpora
// is translated cut short at every length and with single bits flipped. Each
// variant lies in a heap buffer of exactly its size, so that a read past the
// message is caught by the address sanitizer. No variant may crash or hang;
// a failure carries its text and, where the text gives a byte position, one
// inside the message; the tree and the report stay readable after each.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/path.h"
#include "decoder/protocol_decoder.h"
#include "decoder/translation_report.h"
#include "types/instance_dump.h"
#include "types/text_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string SourcePath(const char* name) {
    return std::string(VANTOR_SOURCE_DIR) + "/samples/" + name;
}

// The messages of a message file: "KZ", then records of the time
// "hh:mm:ss", a reserved byte, the kind, a length high byte first and the
// bytes. Empty when the file does not keep to that format.
std::vector<Bytes> ReadMessageFile(const std::string& path) {
    std::vector<Bytes> messages;
    OTSTR data;
    if (!vpath::ReadFile(path.c_str(), false, data)) return messages;
    const auto* p = reinterpret_cast<const uint8_t*>(data.GetBuffer(0));
    const int32_t size = data.GetLength();
    if (size < 2 || p[0] != 'K' || p[1] != 'Z') return messages;
    for (int32_t pos = 2; pos < size;) {
        const int32_t kHead = 12;
        if (kHead > size - pos) return {};
        const uint8_t* r = p + pos;
        const int32_t n = r[10] << 8 | r[11];
        if (n > size - pos - kHead) return {};
        messages.emplace_back(r + kHead, r + kHead + n);
        pos += kHead + n;
    }
    return messages;
}

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
        if (begin == end || (begin > 0 && text[begin - 1] != '.' && text[begin - 1] != ' ')) {
            continue;
        }
        positions.push_back(strtol(text.c_str() + begin, nullptr, 10));
    }
    return positions;
}

class Sweeper {
  public:
    explicit Sweeper(ProtocolDecoder& decoder) : decoder(decoder) {
        // A variant that runs into this limit counts as a hang.
        decoder.SetTimeLimit(5000);
    }

    // Every prefix, and the single-bit flips of every bitStride-th bit from
    // firstBit on (bitStride odd, so that every bit position within a byte
    // is met).
    void Message(const Bytes& message, int bitStride, int firstBit, const std::string& what) {
        const int32_t n = static_cast<int32_t>(message.size());
        for (int32_t cut = 0; cut < n; ++cut) {
            Variant(message.data(), cut, what + " cut at " + std::to_string(cut));
        }
        Bytes flipped = message;
        for (int32_t bit = firstBit; bit < 8 * n; bit += bitStride) {
            flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            Variant(flipped.data(), n, what + " bit " + std::to_string(bit) + " flipped");
            flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        }
    }

    int translated = 0;
    int failed = 0;

  private:
    void Variant(const uint8_t* source, int32_t n, const std::string& what) {
        // Length 0 stands for a zero-terminated text: the empty one.
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[n > 0 ? n : 1]);
        if (n > 0) {
            memcpy(buffer.get(), source, static_cast<size_t>(n));
        } else {
            buffer[0] = 0;
        }
        int32_t length = n;
        bool ok = decoder.Translate(true, buffer.get(), length);
        ++translated;
        std::string error = decoder.GetLastError().GetBuffer(0);
        if (ok) {
            EXPECT_TRUE(length >= 0 && length <= n) << what << ": used " << length;
        } else {
            ++failed;
            EXPECT_FALSE(error.empty()) << what;
            EXPECT_EQ(std::string::npos, error.find("canceled !")) << what << ": " << error;
            for (long pos : NamedPositions(error)) {
                EXPECT_TRUE(pos >= 0 && pos <= n) << what << ": " << error;
            }
        }
        int32_t consumed = decoder.GetConsumedBytes();
        EXPECT_TRUE(consumed >= 0 && consumed <= n) << what << ": consumed " << consumed;

        TextTable table;
        SetReportColumns(table, 40);
        DumpTree(decoder.GetRoot(), table,
                 kDumpIntegrated | kDumpValues | kDumpComments | kDumpMarker | kDumpIndent, 0, 12);
        table.ComputeWidths();
        OTSTR title0, title1;
        decoder.GetTitle(0, title0);
        decoder.GetTitle(1, title1);
        TranslationOutcome outcome;
        outcome.caption0 = title0.GetBuffer(0);
        outcome.caption1 = title1.GetBuffer(0);
        outcome.protocolName = decoder.GetProtocolName().GetBuffer(0);
        outcome.bytes = buffer.get();
        outcome.length = n;
        outcome.failed = !ok;
        outcome.error = error.c_str();
        outcome.leftover = ok ? n - length : 0;
        outcome.dump = &table;
        OTSTR report;
        FormatTranslationReport(outcome, true, report);
        EXPECT_FALSE(report.IsEmpty()) << what;
    }

    ProtocolDecoder& decoder;
};

TEST(Sweep, NamedPositionsAreFoundWhereTheTextsPutThem) {
    EXPECT_EQ(std::vector<long>{12}, NamedPositions("12  : 'b' get 'UINT2' data fail"));
    EXPECT_EQ(std::vector<long>{2}, NamedPositions("m.2   : 'y' get 'UINT2' data fail"));
    EXPECT_EQ(std::vector<long>{7}, NamedPositions("v 7   : 'x' <- '3' fail"));
    EXPECT_EQ(std::vector<long>{-1}, NamedPositions("-1  : Internal err"));
    EXPECT_TRUE(NamedPositions("s.txt : Ln 2  if (exp) execute fail !").empty());
    EXPECT_TRUE(NamedPositions("v canceled !").empty());
}

// The sample protocol with every message of its message file.
TEST(Sweep, SampleProtocolMessages) {
    ProtocolDecoder decoder;
    ASSERT_TRUE(decoder.LoadScript(SourcePath("TCP_UDP/main.txt").c_str(), false))
        << decoder.GetLastError().GetBuffer(0);
    std::vector<Bytes> messages = ReadMessageFile(SourcePath("TCP_UDP/msg.dat"));
    ASSERT_GE(messages.size(), 10u);
    // A seventh of the bit flips, a different seventh in each message,
    // keeps the sweep to a few seconds under the sanitizers.
    const int kStride = 7;
    Sweeper sweep(decoder);
    for (size_t i = 0; i < messages.size(); ++i) {
        sweep.Message(messages[i], kStride, static_cast<int>(i) % kStride,
                      "msg.dat " + std::to_string(i));
    }
    // Most damaged messages fail, and some still translate.
    EXPECT_GT(sweep.failed, 0);
    EXPECT_LT(sweep.failed, sweep.translated);
}

// The demo protocols with the messages of their tests: every bit flipped.
TEST(Sweep, DemoMessages) {
    struct {
        const char* script;
        std::vector<Bytes> messages;
    } corpora[] = {
        {"demo/main.txt",
         {{0x12, 0x03, 0x00, 0x0A, 0x00, 0x02, 0, 1, 0, 2, 0, 3, 0, 4},
          {0x11, 0x05, 0x00, 0x0C, 0, 0, 0, 9, 'v', 'a', 'n', 't', 'o', 'r', 0, 0}}},
        {"demo/report.txt",
         {{0x5A, 1, 3, 1, 0, 2, 0, 0xFF, 0xFF, 0xFE, 0xFF, 5},
          {0x13, 2, 21, 7, 6, 0xAA},
          {0x31, 3, 3, 'a', 'b', 'c', 4},
          {0x5A, 1, 3, 1, 0}}},
    };
    for (const auto& corpus : corpora) {
        ProtocolDecoder decoder;
        ASSERT_TRUE(decoder.LoadScript(SourcePath(corpus.script).c_str(), false))
            << corpus.script << ": " << decoder.GetLastError().GetBuffer(0);
        Sweeper sweep(decoder);
        for (size_t i = 0; i < corpus.messages.size(); ++i) {
            sweep.Message(corpus.messages[i], 1, 0,
                          std::string(corpus.script) + " message " + std::to_string(i));
        }
        EXPECT_GT(sweep.failed, 0) << corpus.script;
        EXPECT_LT(sweep.failed, sweep.translated) << corpus.script;
    }
}

}  // namespace
