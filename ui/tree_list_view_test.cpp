// Tests of ui/tree_list_view.cpp and ui/section_widths.cpp: column widths
// (zero, hidden, stretching), the collapsed rows by text, expansion signals,
// the filter and finding its matches.
#include "ui/tree_list_view.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>

#include "ui/tree_list_model.h"

namespace {

// A(B(C),B(D)),E(F),G: two rows share the text "B"; G has no children.
// Column 3 holds a value for some rows, column 4 the same text everywhere.
void Fill(TreeListView& view) {
    view.Clear();
    view.BeginRows();
    struct Row {
        int level;
        QString name, value;
    };
    const Row rows[] = {{0, "A", ""},     {1, "B", "x1"}, {2, "C", "Alpha"},   {1, "B", "x2"},
                        {2, "D", "beta"}, {0, "E", ""},   {1, "F", "ALPHA-2"}, {0, "G", "gamma"}};
    for (const Row& row : rows) view.AddRow(row.level, {row.name, "", "", row.value, "c"});
    view.EndRows();
}

// The column-0 texts of the rows on screen, in order, joined by blanks.
QString Shown(const TreeListView& view, const QModelIndex& parent = {}) {
    QStringList texts;
    const QAbstractItemModel* model = view.model();
    for (int r = 0; r < model->rowCount(parent); ++r) {
        if (view.isRowHidden(r, parent)) continue;
        QModelIndex index = model->index(r, 0, parent);
        texts.append(index.data().toString());
        if (view.isExpanded(index)) texts.append(Shown(view, index));
    }
    texts.removeAll(QString());
    return texts.join(' ');
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

    // Filters applied one after another: the view shows the matches and the
    // rows above them; clearing the filter brings back the user's expansion.
    void Filter() {
        struct Case {
            QString text;
            QVector<int> columns;
            int matches;
            QString shown;
        };
        const Case cases[] = {
            {"c", {0, 3}, 1, "A B C"},  // column 4 is not searched
            {"alpha", {0, 3}, 2, "A B C E F"},
            {"b", {0, 3}, 3, "A B B D"},  // C, child of a match, hidden
            {"G", {0, 3}, 1, "G"},
            {"zzz", {0, 3}, 0, ""},
            {"c", {4, 9}, 8, "A B C B D E F G"},
            {"b", {0, 3}, 3, "A B B D"},
        };
        TreeListView view;
        Fill(view);
        view.ExpandRow(view.Model()->index(0, 0), true);
        QCOMPARE(Shown(view), QString("A B B E G"));
        QSignalSpy changed(&view, &TreeListView::expansionChanged);
        for (const Case& c : cases) {
            QCOMPARE(view.SetFilter(c.text, c.columns), c.matches);
            QCOMPARE(view.Filter(), c.text);
            QCOMPARE(Shown(view), c.shown);
            QCOMPARE(view.CollapsedTexts(), QStringList({"B", "E"}));
        }
        QCOMPARE(changed.count(), 0);

        // Stepping through B, B, D with wrap-around both ways.
        const QVector<QPair<bool, int>> steps = {{false, 1}, {false, 3}, {false, 4}, {false, 1},
                                                 {true, 4},  {true, 3},  {true, 1}};
        for (const auto& step : steps) {
            QModelIndex found = view.FindNext(step.first);
            QCOMPARE(view.Model()->RowNumber(found), step.second);
            QCOMPARE(view.currentIndex(), found);
        }
        view.setCurrentIndex(QModelIndex());
        QCOMPARE(view.Model()->RowNumber(view.FindNext(true)), 4);

        QCOMPARE(view.SetFilter("", {0}), 0);
        QCOMPARE(view.Filter(), QString());
        QCOMPARE(Shown(view), QString("A B B E G"));
        QCOMPARE(view.CollapsedTexts(), QStringList({"B", "E"}));
        QVERIFY(!view.FindNext(false).isValid());
        QCOMPARE(changed.count(), 0);

        // A rebuild drops the filter; a new one works on the new rows.
        view.SetFilter("zzz", {0});
        QVERIFY(!view.FindNext(false).isValid());
        Fill(view);
        QCOMPARE(view.Filter(), QString());
        QCOMPARE(Shown(view), QString("A E G"));
        QCOMPARE(view.SetFilter("f", {0}), 1);
        QCOMPARE(Shown(view), QString("E F"));
        view.Clear();
        QCOMPARE(view.Filter(), QString());
        QCOMPARE(view.SetFilter("f", {0}), 0);
    }

    // 100,000 rows: build, expand every parent, apply and read the
    // collapsed list, filter and clear the filter, all without work that
    // grows with the square of rows.
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

        QCOMPARE(view.SetFilter("ROW 99", {0}), 1100);  // 99 and 990 to 999
        QCOMPARE(view.Model()->RowNumber(view.FindNext(false)), 99);
        QCOMPARE(view.Model()->RowNumber(view.FindNext(true)), 99999);
        QCoreApplication::processEvents();
        QCOMPARE(view.SetFilter("", {0}), 0);
        QCOMPARE(view.CollapsedTexts(), collapsed);
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TreeListViewTest)
#include "tree_list_view_test.moc"
