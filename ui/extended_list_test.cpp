// Tests of ui/extended_list.cpp: rows, cells, states with their icons,
// selection, activation by double click and Enter, many rows.
#include "ui/extended_list.h"

#include <QSignalSpy>
#include <QtTest>

#include "ui/glyph_icons.h"

using RowState = ExtendedList::RowState;

class ExtendedListTest : public QObject {
    Q_OBJECT

  private slots:
    void RowsAndCells() {
        ExtendedList list;
        list.SetColumns({"No", "Time", "Data"}, {40, 80, 200});
        QCOMPARE(list.ColumnWidths(), QVector<int>({40, 80, 200}));
        QCOMPARE(list.AddRow({"1", "10:00", "00 11", "extra"}), 0);
        QCOMPARE(list.AddRow({"2"}, RowState::Ok), 1);
        QCOMPARE(list.RowCount(), 2);
        QCOMPARE(list.Cell(0, 2), QString("00 11"));
        QCOMPARE(list.Cell(1, 1), QString());
        QCOMPARE(list.Cell(0, 3), QString());
        QCOMPARE(list.Cell(5, 0), QString());

        list.SetCells(1, 1, {"10:01", "22", "ignored"});
        list.SetCells(9, 0, {"no such row"});
        QCOMPARE(list.Cell(1, 0), QString("2"));
        QCOMPARE(list.Cell(1, 1), QString("10:01"));
        QCOMPARE(list.Cell(1, 2), QString("22"));

        list.ClearRows();
        QCOMPARE(list.RowCount(), 0);
        QCOMPARE(list.columnCount(), 3);
    }

    void States() {
        ExtendedList list;
        list.SetColumns({"No"}, {40});
        list.AddRow({"1"});
        list.AddRow({"2"}, RowState::Failed);
        QCOMPARE(list.GetRowState(0), RowState::None);
        QCOMPARE(list.GetRowState(1), RowState::Failed);
        QCOMPARE(list.GetRowState(7), RowState::None);
        list.SetRowState(0, RowState::Ok);
        QCOMPARE(list.GetRowState(0), RowState::Ok);
        // The icon follows the state.
        qint64 ok = GlyphIcon(Glyph::Ok).cacheKey();
        QCOMPARE(list.topLevelItem(0)->icon(0).cacheKey(), ok);
        QCOMPARE(list.topLevelItem(1)->icon(0).cacheKey(), GlyphIcon(Glyph::Failed).cacheKey());
        list.SetRowState(0, RowState::None);
        QCOMPARE(list.topLevelItem(0)->icon(0).cacheKey(), GlyphIcon(Glyph::Neutral).cacheKey());
    }

    void SelectAndActivate() {
        ExtendedList list;
        list.SetColumns({"No", "Data"}, {40, 100});
        for (int i = 0; i < 200; ++i) list.AddRow({QString::number(i), "00"});
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy activated(&list, &ExtendedList::rowActivated);

        list.SelectRow(150);
        QCOMPARE(list.SelectedRow(), 150);
        QRect rect = list.visualItemRect(list.topLevelItem(150));
        QVERIFY(list.viewport()->rect().contains(rect.center()));

        // A real double click: a click, then a second press that arrives
        // as a double click.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(activated.count(), 0);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated[0][0].toInt(), 150);

        list.SelectRow(3);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(activated.count(), 2);
        QCOMPARE(activated[1][0].toInt(), 3);

        list.SelectRow(-1);
        QCOMPARE(list.SelectedRow(), -1);
    }

    void ManyRows() {
        ExtendedList list;
        list.SetColumns({"No", "Time", "Data"}, {40, 80, 200});
        list.resize(400, 300);
        list.show();
        for (int i = 0; i < 50000; ++i) {
            list.AddRow({QString::number(i), "12:00:00", "00 11 22 33"},
                        i % 3 == 0 ? RowState::Ok : RowState::None);
        }
        list.SelectRow(49999);
        QCoreApplication::processEvents();
        QCOMPARE(list.RowCount(), 50000);
        QCOMPARE(list.Cell(49999, 0), QString("49999"));
    }
};

QTEST_MAIN(ExtendedListTest)
#include "extended_list_test.moc"
