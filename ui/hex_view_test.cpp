// Tests of ui/hex_view.cpp: hit testing against the painted cells, the
// highlight range, clicks and a large block.
#include "ui/hex_view.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>
#include <climits>

namespace {

QByteArray Counting(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i);
    return bytes;
}

void Show(HexView& view, int width, int height) {
    view.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view.resize(width, height);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

}  // namespace

class HexViewTest : public QObject {
    Q_OBJECT

  private slots:
    // Every cell finds its own byte in both columns; the gaps, the offset
    // column and the space after the data find none.
    void OffsetAtRoundTrip() {
        HexView view;
        Show(view, view.sizeHint().width(), 300);
        view.SetData(Counting(100));
        for (int offset : {0, 1, 7, 8, 15, 16, 40, 47, 99}) {
            for (bool ascii : {false, true}) {
                QRect cell = view.ByteRect(offset, ascii);
                QVERIFY(!cell.isEmpty());
                for (QPoint p : {cell.center(), cell.topLeft(), cell.bottomRight()})
                    QCOMPARE(view.OffsetAt(p), offset);
            }
        }
        QRect last = view.ByteRect(15, false);
        QVERIFY(last.right() < view.ByteRect(0, true).left());
        QVERIFY(view.ByteRect(7, false).right() + 1 < view.ByteRect(8, false).left());
        QCOMPARE(view.OffsetAt(view.ByteRect(8, false).topLeft() - QPoint(1, 0)), -1);
        QCOMPARE(view.OffsetAt(view.ByteRect(0, false).center() - QPoint(last.width(), 0)), -1);
        QCOMPARE(view.OffsetAt(view.ByteRect(99, true).center() + QPoint(last.width(), 0)), -1);
        QCOMPARE(view.OffsetAt(view.ByteRect(96, false).center() + QPoint(0, last.height())), -1);
        QVERIFY(view.ByteRect(100, false).isEmpty());
        QVERIFY(view.ByteRect(-1, true).isEmpty());
        QCOMPARE(view.OffsetDigits(), 4);
        QVERIFY(view.sizeHint().width() > view.ByteRect(15, true).right());

        // The highlight is painted in the same cells.
        view.SetHighlight(40, 3);
        QImage image = view.viewport()->grab().toImage();
        const QColor mark = view.palette().color(QPalette::Highlight);
        for (bool ascii : {false, true}) {
            QCOMPARE(image.pixelColor(view.ByteRect(41, ascii).topLeft()), mark);
            QVERIFY(image.pixelColor(view.ByteRect(44, ascii).topLeft()) != mark);
        }
    }

    void HighlightRange() {
        struct Case {
            const char* name;
            int start, length, wantStart, wantLength;
        };
        // clang-format off
        const Case cases[] = {
            {"inside",          5, 3,       5, 3},
            {"all",             0, 40,      0, 40},
            {"cut at the end",  38, 10,     38, 2},
            {"last byte",       39, 1,      39, 1},
            {"huge length",     10, INT_MAX, 10, 30},
            {"past the end",    40, 1,      -1, 0},
            {"negative start",  -1, 5,      -1, 0},
            {"empty",           5, 0,       -1, 0},
            {"negative length", 5, -2,      -1, 0},
        };
        // clang-format on
        HexView view;
        view.SetData(Counting(40));
        for (const Case& c : cases) {
            view.SetHighlight(c.start, c.length);
            QVERIFY2(view.HighlightStart() == c.wantStart, c.name);
            QVERIFY2(view.HighlightLength() == c.wantLength, c.name);
        }
        view.SetHighlight(1, 2);
        view.SetData(Counting(40));
        QCOMPARE(view.HighlightStart(), -1);
        QCOMPARE(view.HighlightLength(), 0);
    }

    void ClickOnByte() {
        HexView view;
        Show(view, 600, 200);
        view.SetData(Counting(50));
        QSignalSpy clicked(&view, &HexView::byteClicked);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.ByteRect(20, false).center());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.ByteRect(33, true).center());
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, view.ByteRect(5, true).center());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(1, 1));  // offset column
        QCOMPARE(clicked.count(), 2);
        QCOMPARE(clicked[0][0].toInt(), 20);
        QCOMPARE(clicked[1][0].toInt(), 33);
    }

    // A megabyte: wider offsets, a highlight near the end is scrolled into
    // view and hit there.
    void LargeBlock() {
        HexView view;
        Show(view, 300, 200);  // narrower than a row
        const int size = 1 << 20;
        view.SetData(Counting(size));
        QCOMPARE(view.OffsetDigits(), 5);
        view.SetHighlight(size - 3, 10);
        QCOMPARE(view.HighlightLength(), 3);
        QVERIFY(view.verticalScrollBar()->value() > 0);
        const QRect area = view.viewport()->rect();
        QRect cell = view.ByteRect(size - 3, false);
        QVERIFY(area.contains(cell));
        QCOMPARE(view.OffsetAt(cell.center()), size - 3);
        view.SetHighlight(0, 1);
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        QVERIFY(area.contains(view.ByteRect(0, false)));
        QVERIFY(!view.viewport()->grab().isNull());
    }
};

QTEST_MAIN(HexViewTest)
#include "hex_view_test.moc"
