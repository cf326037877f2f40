// The translation report and the totals line.
// Tested by decoder/translation_report_test.cpp.
#include "decoder/translation_report.h"

#include <cstdio>
#include <cstring>

#include "base/dump_file.h"
#include "base/number_text.h"
#include "decoder/protocol_decoder.h"
#include "types/text_table.h"

namespace {

constexpr int kBytesPerLine = 20;
constexpr int kProtocolWidth = 60;

// Each byte as the character column shows it: itself from '!' to '~', '.'
// otherwise. A table, as the bytes of a message are random to a branch.
struct ShownBytes {
    constexpr ShownBytes() : shown() {
        for (int b = 0; b < 256; ++b) shown[b] = b >= 33 && b < 127 ? static_cast<char>(b) : '.';
    }
    char shown[256];
};
constexpr ShownBytes kShownBytes;

// Copies words to out without their zero byte; their length.
int PutWords(char* out, const char* words) {
    size_t length = strlen(words);
    memcpy(out, words, length);
    return static_cast<int>(length);
}

}  // namespace

void FormatTranslationReport(const TranslationOutcome& o, bool overwrite, OTSTR& out) {
    out.Assign("", 0);
    if (!o.caption0.IsEmpty()) {
        out.Append("\n  Msg: ");
        out.Append(o.caption0);
        out.AppendChar(' ');
        out.Append(o.caption1);
        out.AppendChar(' ');
    }
    // " -Pro: <name> ", dashed out to kProtocolWidth.
    int32_t protocolAt = out.GetLength();
    out.Append(" -Pro: ");
    if (!o.protocolName.IsEmpty()) {
        out.Append(o.protocolName);
        out.AppendChar(' ');
    }
    int32_t protocolLength = out.GetLength() - protocolAt;
    if (protocolLength < kProtocolWidth) out.AppendChar('-', kProtocolWidth - protocolLength);
    // "\n  Hex: Len=%d  %.3fs\n" of the length and the seconds: the
    // milliseconds with a point before their last three digits.
    char hexHead[2 * kMaxDecimalDigits + 32];
    int h = PutWords(hexHead, "\n  Hex: Len=");
    h += DecimalDigits(o.length, hexHead + h);
    h += PutWords(hexHead + h, "  ");
    h += DecimalDigits(o.milliseconds / 1000, hexHead + h);
    hexHead[h++] = '.';
    for (uint32_t unit = 100, rest = o.milliseconds % 1000; unit > 0; rest %= unit, unit /= 10) {
        hexHead[h++] = static_cast<char>('0' + rest / unit);
    }
    h += PutWords(hexHead + h, "s\n");
    out.Append(hexHead, h);
    // Step by the bytes of each line, so that the position never passes the
    // length (no overflow near the 32-bit limit).
    int32_t n = 0;
    for (int32_t line = 0; o.bytes != nullptr && line < o.length; line += n) {
        n = o.length - line < kBytesPerLine ? o.length - line : kBytesPerLine;
        // Seven blanks, "%02X " per byte with one more blank after the
        // tenth, padded to 63; then the bytes as characters and a newline.
        // The blanks are laid first and the digits written over them.
        constexpr int kHexAt = 7;
        constexpr int kCharsAt = kHexAt + 63;
        char text[kCharsAt + kBytesPerLine + 1];
        memset(text, ' ', kCharsAt);
        for (int32_t i = 0; i < n; ++i) {
            uint8_t b = o.bytes[line + i];
            HexByte(b, text + kHexAt + 3 * i + (i >= 10 ? 1 : 0));
            text[kCharsAt + i] = kShownBytes.shown[b];
        }
        text[kCharsAt + n] = '\n';
        out.Append(text, kCharsAt + n + 1);
    }
    if (o.failed) {
        out.Append("  Err: ");
        out.Append(o.error);
        out.AppendChar('\n');
    } else if (o.leftover > 0) {
        out.safeAppends("  Wrn: leave %d bytes not translated\n", static_cast<int>(o.leftover));
    }
    if (o.dump != nullptr) {
        out.Append(o.dump->GetSeparatorLine());
        out.AppendChar('\n');
        o.dump->AppendTitleLine(out);
        out.AppendChar('\n');
        out.Append(o.dump->GetSeparatorLine());
        out.AppendChar('\n');
        for (int r = 0; r < o.dump->GetRowCount(); ++r) {
            o.dump->AppendRowLine(r, out);
            out.AppendChar('\n');
        }
    }
    out.AppendChar('\n');
    if (!overwrite) out.AppendChar('\n');
}

TranslationOutcome OutcomeOf(const ProtocolDecoder& decoder, const uint8_t* bytes, int32_t length,
                             bool ok, int32_t used, const TextTable* dump) {
    TranslationOutcome outcome;
    FillOutcome(decoder, bytes, length, ok, used, dump, outcome);
    return outcome;
}

void FillOutcome(const ProtocolDecoder& decoder, const uint8_t* bytes, int32_t length, bool ok,
                 int32_t used, const TextTable* dump, TranslationOutcome& outcome) {
    // The texts are taken up to their first zero byte, as the report
    // writes them.
    auto upToZero = [](OTSTR& text) { text.Truncate(static_cast<int>(strlen(text.GetBuffer()))); };
    decoder.GetTitle(0, outcome.caption0);
    upToZero(outcome.caption0);
    decoder.GetTitle(1, outcome.caption1);
    upToZero(outcome.caption1);
    outcome.protocolName = decoder.GetProtocolName().GetBuffer(0);
    outcome.bytes = bytes;
    outcome.length = length;
    outcome.milliseconds = 0;
    outcome.failed = !ok;
    outcome.error = decoder.GetLastError().GetBuffer(0);
    outcome.leftover = ok ? length - used : 0;
    outcome.dump = dump;
}

void SetReportColumns(TextTable& table, int32_t valueWidth) {
    const uint16_t kContent = TextTable::kWidthFromContent | TextTable::kLeftJustify;
    table.SetColumns({"Pos", "Bits", "Name", "Description", "Value"});
    table.SetColumnFormats({{kContent, 3, 0, 1},
                            {kContent, 8, 0, 1},
                            {kContent, 4, 0, 1},
                            {kContent, 4, 0, 1},
                            {TextTable::kLeftJustify, valueWidth, 0, 1}});
}

bool WriteTranslationReport(const char* path, const TranslationOutcome& outcome, bool overwrite) {
    OTSTR text;
    FormatTranslationReport(outcome, overwrite, text);
    return WriteReportText(path, text.GetBuffer(0), overwrite);
}

bool WriteReportText(const char* path, const char* text, bool overwrite) {
    DumpFile file(path, true, overwrite);
    if (!file.HasName()) return false;
    file.Write(text);
    return true;
}

void TranslationTotals::Count(bool fail, int32_t leftover) {
    ++total;
    if (fail) {
        ++failed;
    } else if (leftover > 0) {
        ++warnings;
    }
    lastIllegal = false;
}

void TranslationTotals::CountIllegal() {
    ++total;
    ++failed;
    lastIllegal = true;
}

void TranslationTotals::Line(OTSTR& out) const {
    // "  Total - %ld    Fail - %ld    Warning - %ld ", with one blank more
    // before "Fail" after an illegal input.
    char text[3 * kMaxDecimalDigits + 48];
    int n = 0;
    auto put = [&](const char* words, int32_t value) {
        n += PutWords(text + n, words);
        n += DecimalDigits(value, text + n);
    };
    put("  Total - ", total);
    put(lastIllegal ? "     Fail - " : "    Fail - ", failed);
    put("    Warning - ", warnings);
    text[n++] = ' ';
    out.Assign(text, n);
}
