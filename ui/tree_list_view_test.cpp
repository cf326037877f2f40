// Tests of ui/tree_list_view.cpp and ui/section_widths.cpp: column widths
// (zero, hidden, stretching), the collapsed rows by text, expansion signals.
#include "ui/tree_list_view.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>

#include "ui/tree_list_model.h"

namespace {

// A(B(C),B(D)),E(F),G: two rows share the text "B"; G has no children.
void Fill(TreeListView& view) {
    view.Clear();
    view.BeginRows();
    const QVector<QPair<int, QString>> rows = {{0, "A"}, {1, "B"}, {2, "C"}, {1, "B"},
                                               {2, "D"}, {0, "E"}, {1, "F"}, {0, "G"}};
    for (const auto& row : rows) view.AddRow(row.first, {row.second, "", "", "d", "c"});
    view.EndRows();
}

}  // namespace

class TreeListViewTest : public QObject {
    Q_OBJECT

  private slots:
    void Widths() {
        TreeListView view(5);
        view.resize(900, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QVector<int> widths = {260, 0, 80, 200, 200};
        view.SetColumnWidths(widths);
        QCOMPARE(view.ColumnWidths(), widths);
        // A zero-width column keeps its place; the last one stretches but
        // reports its own width.
        QHeaderView* head = view.header();
        QCOMPARE(head->sectionSize(1), 0);
        QCOMPARE(head->sectionPosition(2), 260);
        QVERIFY(head->sectionSize(4) > 200);

        // Hidden columns report, and get back, the width they had or were given.
        view.setColumnHidden(3, true);
        QCOMPARE(view.ColumnWidths(), widths);
        view.SetColumnWidths({260, 0, 80, 150, 200});
        view.setColumnHidden(1, true);
        QCOMPARE(view.ColumnWidths(), QVector<int>({260, 0, 80, 150, 200}));
        view.setColumnHidden(3, false);
        view.setColumnHidden(1, false);
        QCOMPARE(head->sectionSize(3), 150);
        QCOMPARE(head->sectionSize(1), 0);

        // A drag resizes through the header; the window's width does not
        // change what the stretching column reports.
        head->resizeSection(0, 300);
        view.resize(1600, 300);
        QTRY_VERIFY(head->sectionSize(4) > 1000);
        QCOMPARE(view.ColumnWidths(), QVector<int>({300, 0, 80, 150, 200}));
        // Narrower than the other columns: the stretched one shrinks back.
        view.resize(300, 300);
        QTRY_COMPARE(head->sectionSize(4), 200);
        view.SetColumnWidths({-5, 10});
        QCOMPARE(view.ColumnWidths(), QVector<int>({0, 10, 80, 150, 200}));
    }

    void FitColumns() {
        TreeListView view(3);
        view.SetColumnWidths({10, 10, 10});
        view.setColumnHidden(2, true);
        const QString wide = QString(60, 'W');
        view.AddRow(0, {"a", wide, "c"});
        view.FitColumns();
        QVector<int> widths = view.ColumnWidths();
        QVERIFY(widths[1] >= view.fontMetrics().horizontalAdvance(wide));
        QCOMPARE(widths[2], 10);
    }

    void CollapsedTextsRoundTrip() {
        TreeListView view;
        Fill(view);
        QSignalSpy changed(&view, &TreeListView::expansionChanged);
        QCOMPARE(view.CollapsedTexts(), QStringList({"A", "B", "E"}));
        view.ExpandAll();
        QCOMPARE(view.CollapsedTexts(), QStringList());
        QCOMPARE(changed.count(), 1);
        changed.clear();

        // Both rows named B collapse, with one signal; unknown texts are ignored.
        view.CollapseTexts({"B", "X"});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(view.CollapsedTexts(), QStringList({"B"}));
        view.CollapseTexts({"B", "G"});
        QCOMPARE(changed.count(), 1);

        // A rebuild restores the saved state.
        const QStringList saved = {"E", "B"};
        view.CollapseTexts(saved);
        Fill(view);
        view.ExpandAll();
        view.CollapseTexts(saved);
        QCOMPARE(view.CollapsedTexts(), QStringList({"B", "E"}));
    }

    void ExpansionChanged() {
        TreeListView view;
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        Fill(view);
        QSignalSpy changed(&view, &TreeListView::expansionChanged);
        QModelIndex a = view.Model()->index(0, 0);
        view.ExpandRow(a, true);
        view.ExpandRow(a, true);  // no change
        QCOMPARE(changed.count(), 1);
        view.ExpandRow(a, false);
        QCOMPARE(changed.count(), 2);

        // The user expands and collapses with the keyboard.
        view.setFocus();
        view.setCurrentIndex(view.Model()->index(1, 0));  // E
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(view.CollapsedTexts(), QStringList({"A", "B"}));
        QTest::keyClick(&view, Qt::Key_Left);
        QCOMPARE(changed.count(), 4);
    }

    // 100,000 rows: build, expand every parent, apply and read the
    // collapsed list, all without work that grows with the square of rows.
    void ManyRows() {
        TreeListView view;
        view.resize(600, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVector<QModelIndex> parents;
        view.BeginRows();
        for (int i = 0; i < 100000; ++i) {
            QModelIndex index = view.AddRow(i % 4, {QString("row %1").arg(i % 1000)});
            if (i % 4 != 3) parents.append(index);
        }
        view.EndRows();
        {
            QSignalBlocker quiet(&view);
            for (const QModelIndex& index : parents) view.ExpandRow(index, true);
        }
        view.CollapseTexts({"row 1", "row 2"});
        QStringList collapsed = view.CollapsedTexts();
        QCoreApplication::processEvents();
        QCOMPARE(collapsed, QStringList({"row 1", "row 2"}));
    }
};

QTEST_MAIN(TreeListViewTest)
#include "tree_list_view_test.moc"
