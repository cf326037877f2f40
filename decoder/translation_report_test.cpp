// Tests of the translation report and the totals line.
#include "decoder/translation_report.h"

#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "base/scratch_dir.h"
#include "types/text_table.h"

namespace {

TEST(TranslationReport, HexLinesCaptionsAndOutcome) {
    uint8_t bytes[25];
    for (int i = 0; i < 25; ++i) bytes[i] = static_cast<uint8_t>(0x30 + i);
    bytes[1] = 0x00;
    bytes[2] = 0xFF;
    TranslationOutcome outcome;
    outcome.caption0 = "HELLO";
    outcome.caption1 = "#7";
    outcome.protocolName = "Demo";
    outcome.bytes = bytes;
    outcome.length = 25;
    outcome.milliseconds = 1234;
    outcome.leftover = 4;
    OTSTR text;
    FormatTranslationReport(outcome, true, text);
    auto padded = [](std::string text, size_t width, char fill) {
        text.resize(width > text.size() ? width : text.size(), fill);
        return text;
    };
    std::string expected =
        "\n  Msg: HELLO #7 " + padded(" -Pro: Demo ", 60, '-') + "\n  Hex: Len=25  1.234s\n" +
        "       " +
        padded("30 00 FF 33 34 35 36 37 38 39  3A 3B 3C 3D 3E 3F 40 41 42 43 ", 63, ' ') +
        "0..3456789:;<=>?@ABC\n" + "       " + padded("44 45 46 47 48 ", 63, ' ') + "DEFGH\n" +
        "  Wrn: leave 4 bytes not translated\n" + "\n";
    EXPECT_EQ(expected, text.GetBuffer(0));

    outcome.caption0 = "";
    outcome.protocolName = "";
    outcome.failed = true;
    outcome.error = "3  : 'x' get 'UINT2' data fail";
    outcome.length = 0;
    FormatTranslationReport(outcome, false, text);
    EXPECT_EQ(padded(" -Pro: ", 60, '-') +
                  "\n  Hex: Len=0  1.234s\n"
                  "  Err: 3  : 'x' get 'UINT2' data fail\n"
                  "\n\n",
              std::string(text.GetBuffer(0)));
    // The seconds always have three decimals.
    const struct {
        uint32_t milliseconds;
        const char* seconds;
    } times[] = {
        {0, "0.000"}, {5, "0.005"}, {70, "0.070"}, {1000, "1.000"}, {4294967295u, "4294967.295"}};
    for (const auto& t : times) {
        outcome.milliseconds = t.milliseconds;
        FormatTranslationReport(outcome, false, text);
        std::string head = std::string("\n  Hex: Len=0  ") + t.seconds + "s\n";
        EXPECT_NE(std::string::npos, std::string(text.GetBuffer(0)).find(head)) << t.seconds;
    }
}

TEST(TranslationReport, InstanceDumpLinesAndFileModes) {
    ScratchDir dir;
    TextTable table;
    const char* titles[] = {"Name", "Value"};
    ASSERT_TRUE(table.SetColumns(2, titles));
    ASSERT_TRUE(table.SetColumnFormats({{5, 10, 0, 1}, {5, 10, 0, 1}}));
    int row = table.InsertRow(-1, 0);
    table.SetCell(row, 0, "msg");
    table.SetCell(row, 1, "7");
    table.ComputeWidths();
    TranslationOutcome outcome;
    outcome.dump = &table;
    OTSTR text;
    FormatTranslationReport(outcome, true, text);
    EXPECT_NE(std::string::npos,
              std::string(text.GetBuffer(0))
                  .find(" +-----------+-----------+\n |Name       |Value      |\n"
                        " +-----------+-----------+\n  msg        |7          |\n\n"))
        << text.GetBuffer(0);

    ASSERT_TRUE(vpath::MakeDirectory("dump"));
    ASSERT_TRUE(WriteTranslationReport("Dump\\Tran", outcome, false));
    ASSERT_TRUE(WriteTranslationReport("Dump\\Tran", outcome, false));
    OTSTR appended;
    ASSERT_TRUE(vpath::ReadFile("dump\\tran", true, appended));
    EXPECT_EQ(std::string::npos, std::string(appended.GetBuffer(0)).find("LOG BEGIN"));
    ASSERT_TRUE(WriteTranslationReport("Dump\\Tran", outcome, true));
    OTSTR fresh;
    ASSERT_TRUE(vpath::ReadFile("dump\\tran", true, fresh));
    std::string f = fresh.GetBuffer(0);
    EXPECT_EQ(0u, f.find("LOG BEGIN :  "));
    EXPECT_NE(std::string::npos, f.find("\nLOG END   :  "));
    EXPECT_LT(fresh.GetLength(), appended.GetLength()) << "overwrite starts the file anew";
}

TEST(TranslationReport, TotalsLine) {
    TranslationTotals totals;
    totals.Count(false, 0);
    totals.Count(false, 4);
    totals.Count(true, 0);
    OTSTR line;
    totals.Line(line);
    EXPECT_STREQ("  Total - 3    Fail - 1    Warning - 1 ", line.GetBuffer(0));
    totals.CountIllegal();
    totals.Line(line);
    EXPECT_STREQ("  Total - 4     Fail - 2    Warning - 1 ", line.GetBuffer(0));
}

}  // namespace
