// Tests of ui/tree_list_model.cpp: the tree built from levels, cells and
// headers, model consistency under QAbstractItemModelTester, batches.
#include "ui/tree_list_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The tree as text: each row's column-0 text, its children in brackets,
// siblings separated by commas, e.g. "0(1,2),3".
QString Shape(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
    QStringList rows;
    for (int r = 0; r < model.rowCount(parent); ++r) {
        QModelIndex index = model.index(r, 0, parent);
        QString text = index.data().toString();
        if (model.rowCount(index) > 0) text += "(" + Shape(model, index) + ")";
        rows.append(text);
    }
    return rows.join(',');
}

void AddLevels(TreeListModel& model, const QVector<int>& levels) {
    for (int i = 0; i < levels.size(); ++i) model.AddRow(levels[i], {QString::number(i)});
}

}  // namespace

class TreeListModelTest : public QObject {
    Q_OBJECT

  private slots:
    void Levels_data() {
        QTest::addColumn<QVector<int>>("levels");
        QTest::addColumn<QString>("shape");
        QTest::newRow("flat") << QVector<int>{0, 0, 0} << "0,1,2";
        QTest::newRow("children") << QVector<int>{0, 1, 1, 0} << "0(1,2),3";
        QTest::newRow("shallower ends branch")
            << QVector<int>{0, 1, 2, 2, 1, 2} << "0(1(2,3),4(5))";
        QTest::newRow("back to top from deep") << QVector<int>{0, 1, 2, 0, 1} << "0(1(2)),3(4)";
        QTest::newRow("jump attaches to deepest") << QVector<int>{0, 3} << "0(1)";
        QTest::newRow("jumped rows stay siblings") << QVector<int>{0, 3, 3} << "0(1,2)";
        QTest::newRow("jump then one deeper") << QVector<int>{0, 2, 3} << "0(1(2))";
        QTest::newRow("jump then shallower") << QVector<int>{0, 3, 1} << "0(1,2)";
        QTest::newRow("first row deep") << QVector<int>{2, 3, 0} << "0(1),2";
        QTest::newRow("negative counts as 0") << QVector<int>{-1, 1, -5} << "0(1),2";
    }

    void Levels() {
        QFETCH(QVector<int>, levels);
        QFETCH(QString, shape);
        for (bool batch : {false, true}) {
            TreeListModel model(2);
            QAbstractItemModelTester tester(&model,
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            if (batch) model.BeginRows();
            AddLevels(model, levels);
            if (batch) model.EndRows();
            QCOMPARE(Shape(model), shape);
            QCOMPARE(model.TotalRows(), levels.size());
        }
    }

    void CellsAndHeaders() {
        TreeListModel model(3);
        model.SetHeaders({"A", "B", "C", "D"});
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QString("C"));
        QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());
        QModelIndex full = model.AddRow(0, {"a", "b", "c", "extra"});
        QModelIndex part = model.AddRow(1, {"x"});
        QCOMPARE(part.parent(), full);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(full.siblingAtColumn(2).data().toString(), QString("c"));
        QCOMPARE(part.data().toString(), QString("x"));
        QCOMPARE(part.siblingAtColumn(2).data().toString(), QString());
        QVERIFY(!model.index(0, 3).isValid());
        QVERIFY(!model.index(1, 0).isValid());
    }

    // One tester follows the model through single inserts, a batch, a clear
    // and a clear inside a batch.
    void ConsistentThroughChanges() {
        TreeListModel model(5);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        AddLevels(model, {0, 1, 2, 2, 1, 0, 1});
        model.BeginRows();
        AddLevels(model, {1, 2, 0, 1, 1});
        model.EndRows();
        QCOMPARE(Shape(model), QString("0(1(2,3),4),5(6,0(1)),2(3,4)"));
        model.Clear();
        QCOMPARE(model.rowCount(), 0);
        model.AddRow(1, {"after clear"});
        QCOMPARE(Shape(model), QString("after clear"));
        model.BeginRows();
        model.Clear();
        AddLevels(model, {0, 1});
        model.EndRows();
        QCOMPARE(Shape(model), QString("0(1)"));
    }

    void BatchIsOneReset() {
        TreeListModel model(2);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.BeginRows();
        model.BeginRows();  // nested
        AddLevels(model, {0, 1, 1, 0});
        model.EndRows();
        QCOMPARE(reset.count(), 0);
        model.EndRows();
        model.EndRows();  // unbalanced end is ignored
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(reset.count(), 1);
        model.AddRow(0, {"single"});
        QCOMPARE(inserted.count(), 1);
    }

    // 100,000 rows in one batch, as a deep chain (no recursion per level)
    // and as a wide list.
    void ManyRows() {
        for (bool deep : {true, false}) {
            TreeListModel model(5);
            model.BeginRows();
            for (int i = 0; i < 100000; ++i) {
                model.AddRow(deep ? i : i % 3, {"name", "0", "1", "description", "comment"});
            }
            model.EndRows();
            QCOMPARE(model.TotalRows(), 100000);
            QCOMPARE(model.rowCount(), deep ? 1 : 33334);
        }
    }
};

QTEST_MAIN(TreeListModelTest)
#include "tree_list_model_test.moc"
