// Tests of ui/hex_edit.cpp: byte counting, cleaning of pasted hex, paste
// versus typing, the count signal and the colours of bytes.
#include "ui/hex_edit.h"

#include <QClipboard>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

namespace {

// The text colour the highlighter gave the character at pos.
QColor ColorAt(const HexEdit& edit, int pos) {
    QTextBlock block = edit.document()->findBlock(pos);
    int offset = pos - block.position();
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        if (offset >= range.start && offset < range.start + range.length) {
            return range.format.foreground().color();
        }
    }
    return QColor();
}

}  // namespace

class HexEditTest : public QObject {
    Q_OBJECT

  private slots:
    void CountBytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        // clang-format off
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks only") << " \t\r\n" << 0;
        QTest::newRow("one byte") << "0a" << 1;
        QTest::newRow("blanks and breaks between") << " 0a FF\t\r\n1b " << 3;
        QTest::newRow("packed") << "0aFF1b" << 3;
        QTest::newRow("control and DEL between") << QString("01\x01" "02\x7f" "03") << 3;
        QTest::newRow("lone digit") << "0" << -1;
        QTest::newRow("odd run") << "000" << -1;
        QTest::newRow("blank inside a byte") << "0 0" << -1;
        QTest::newRow("break inside a byte") << "0\n0" << -1;
        QTest::newRow("not a digit") << "0g" << -1;
        QTest::newRow("prefix") << "0x01" << -1;
        QTest::newRow("comma") << "01,02" << -1;
        QTest::newRow("non-ASCII") << QString::fromUtf8("01 \u00e902") << -1;
        QTest::newRow("at the limit") << QString(2 * HexEdit::kMaxBytes, 'a') << HexEdit::kMaxBytes;
        QTest::newRow("past the limit") << QString(2 * HexEdit::kMaxBytes + 2, 'a') << -1;
        // clang-format on
    }

    void CountBytes() {
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(HexEdit::CountBytes(text), count);
    }

    void CleanPastedHex_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("cleaned");
        // clang-format off
        QTest::newRow("0x list") << "0x1, 0xff" << "01 FF";
        QTest::newRow("C array, lines kept") << "{0x01, 0x02,\r\n 0x03}" << "01 02\n03";
        QTest::newRow("blank lines dropped") << "0x01\n\n0x02" << "01\n02";
        QTest::newRow("escapes") << "\\x41\\x42\\xA" << "41 42 0A";
        QTest::newRow("colons") << "de:ad:be:ef" << "DE AD BE EF";
        QTest::newRow("dashes and semicolons") << "01-02;0A" << "01 02 0A";
        QTest::newRow("upper prefix") << "0X1A,0X2B" << "1A 2B";
        QTest::newRow("even runs kept") << "ABCD, EF" << "ABCD EF";
        QTest::newRow("odd runs padded") << "0x123, 4" << "0123 04";
        QTest::newRow("already valid") << "de ad\n be" << "de ad\n be";
        QTest::newRow("valid but too long")
            << QString(2 * HexEdit::kMaxBytes + 2, 'a')
            << QString(2 * HexEdit::kMaxBytes + 2, 'A');
        QTest::newRow("empty") << "" << "";
        QTest::newRow("words") << "hello, world" << "hello, world";
        QTest::newRow("bare prefix") << "0x, 0x01" << "0x, 0x01";
        QTest::newRow("bad digit") << "0xZZ" << "0xZZ";
        QTest::newRow("digits run into letters") << "12g4, 01" << "12g4, 01";
        QTest::newRow("prefix inside a number") << "0x410x42" << "0x410x42";
        QTest::newRow("separators only") << ", ;" << ", ;";
        // clang-format on
    }

    void CleanPastedHex() {
        QFETCH(QString, pasted);
        QFETCH(QString, cleaned);
        QCOMPARE(HexEdit::CleanPastedHex(pasted), cleaned);
    }

    void PasteIsCleanedTypingIsNot() {
        HexEdit edit;
        QGuiApplication::clipboard()->setText("0x1, 0xff");
        edit.paste();
        QCOMPARE(edit.toPlainText(), QString("01 FF"));
        QCOMPARE(edit.ByteCount(), 2);

        edit.clear();
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::keyClicks(&edit, "0x1, 0xff");
        QCOMPARE(edit.toPlainText(), QString("0x1, 0xff"));
        QCOMPARE(edit.ByteCount(), -1);
    }

    void ByteCountChanged() {
        HexEdit edit;
        QSignalSpy spy(&edit, &HexEdit::byteCountChanged);
        QCOMPARE(edit.ByteCount(), 0);
        edit.setPlainText("00 11");
        edit.setPlainText("00 11 ");  // same count
        edit.setPlainText("00 1");
        edit.setPlainText("");
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy[0][0].toInt(), 2);
        QCOMPARE(spy[1][0].toInt(), -1);
        QCOMPARE(spy[2][0].toInt(), 0);
    }

    // Bytes alternate in colour across line breaks; characters that break
    // the syntax are red.
    void Highlighting() {
        HexEdit edit;
        edit.setPlainText("00 11\n22 3 zz");
        QColor even = ColorAt(edit, 0);
        QColor odd = ColorAt(edit, 3);
        QVERIFY(even.isValid() && odd.isValid() && even != odd);
        QCOMPARE(ColorAt(edit, 1), even);
        QCOMPARE(ColorAt(edit, 6), even);
        QColor bad = ColorAt(edit, 9);
        QVERIFY(bad.isValid() && bad != even && bad != odd);
        QCOMPARE(ColorAt(edit, 11), bad);
        QCOMPARE(ColorAt(edit, 12), bad);
    }
};

QTEST_MAIN(HexEditTest)
#include "hex_edit_test.moc"
