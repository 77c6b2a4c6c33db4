// The grid's model without a view: bounds, rows, and what a view and assistive
// tools read from it.
#include "GridFixtures.h"
#include "link/VarnexError.h"
#include "widgets/TRealGridModel.h"

#include <QSignalSpy>
#include <QtTest>

using namespace GridFixtures;

class TestRealGridModel : public QObject {
    Q_OBJECT

private slots:
    void cellBounds_data();
    void cellBounds();
    void insertRowAppendsEmptyRows();
    void insertRowBounds();
    void clearRowsRemovesEverything();
    void programWriteSignalsOnlyRealChanges();
    void checkStateOfEmptyBox();
    void flagsFollowReadOnlyAndEditing();
};

void TestRealGridModel::cellBounds_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("error");

    // Three rows, twelve columns.
    QTest::newRow("row equal to RowCount") << 0 << 3 << "Cells row bounds error[3]";
    QTest::newRow("negative row") << 0 << -1 << "Cells row bounds error[-1]";
    QTest::newRow("column equal to count") << 12 << 0 << "Cells col bounds error[12]";
    QTest::newRow("negative column") << -1 << 0 << "Cells col bounds error[-1]";
    QTest::newRow("column checked before row") << 12 << 3 << "Cells col bounds error[12]";
    QTest::newRow("hidden column in range") << 11 << 2 << "";
}

void TestRealGridModel::cellBounds() {
    QFETCH(int, col);
    QFETCH(int, row);
    QFETCH(QString, error);

    TRealGridModel model;
    model.SetColumns(DeviceList());
    for (int i = 0; i < 3; ++i) model.InsertRow(model.RowCount());
    try {
        TRealGridCell cell = model.Cells(col, row);
        cell.SetCellText("x");
        QCOMPARE(cell.GetCellText(), QString("x"));
        QVERIFY2(error.isEmpty(), "Cells should have failed");
    } catch (const VarnexError& e) {
        QCOMPARE(e.text(), error);
    }
}

void TestRealGridModel::insertRowAppendsEmptyRows() {
    TRealGridModel model;
    model.SetColumns(OpGrid());
    model.InsertRow(0);
    model.Cells(1, 0).SetCellText("first");
    model.InsertRow(model.RowCount());
    QCOMPARE(model.RowCount(), 2);
    QCOMPARE(model.Cells(1, 0).GetCellText(), QString("first"));
    for (int col = 0; col < model.ColumnCount(); ++col) {
        QVERIFY(model.Cells(col, 1).GetCellText().isEmpty());
        QCOMPARE(model.Cells(col, 1).GetCellInt(), 0);
    }
}

void TestRealGridModel::insertRowBounds() {
    TRealGridModel model;
    model.SetColumns(OpGrid());
    QVERIFY_THROWS_EXCEPTION(VarnexError, model.InsertRow(1));
    QVERIFY_THROWS_EXCEPTION(VarnexError, model.InsertRow(-1));
    QCOMPARE(model.RowCount(), 0);
}

void TestRealGridModel::clearRowsRemovesEverything() {
    TRealGridModel model;
    model.SetColumns(OpGrid());
    model.InsertRow(0);
    model.InsertRow(1);
    TRealGridCell kept = model.Cells(1, 1);
    model.ClearRows();
    QCOMPARE(model.RowCount(), 0);
    QCOMPARE(model.rowCount(), 0);
    // A handle taken before fails instead of reaching a removed row.
    try {
        kept.GetCellText();
        QFAIL("a removed row was read");
    } catch (const VarnexError& e) {
        QCOMPARE(e.text(), QString("Cells row bounds error[1]"));
    }
}

void TestRealGridModel::programWriteSignalsOnlyRealChanges() {
    TRealGridModel model;
    model.SetColumns(OpGrid());
    model.InsertRow(0);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.Cells(3, 0).SetCellInt(80);
    model.Cells(3, 0).SetCellText("80");
    model.Cells(3, 0).SetCellText("");
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 3));
}

void TestRealGridModel::checkStateOfEmptyBox() {
    QVector<TRealGridColumn> columns = DeviceList();  // Apply has EqualBlank
    columns[9].EqualBlank = false;
    TRealGridModel model;
    model.SetColumns(columns);
    model.InsertRow(0);
    QCOMPARE(model.index(0, 8).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model.index(0, 9).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    model.Cells(8, 0).SetCellBool(true);
    QCOMPARE(model.index(0, 8).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!model.index(0, 3).data(Qt::CheckStateRole).isValid());
}

void TestRealGridModel::flagsFollowReadOnlyAndEditing() {
    TRealGridModel model;
    model.SetColumns(DeviceList());
    model.InsertRow(0);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 3)) & Qt::ItemIsEditable);
    QVERIFY(model.flags(model.index(0, 8)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(0, 8)) & Qt::ItemIsEditable));
    model.SetEditable(false);
    QVERIFY(!(model.flags(model.index(0, 3)) & Qt::ItemIsEditable));
    QVERIFY(!(model.flags(model.index(0, 8)) & Qt::ItemIsUserCheckable));
    // The program still writes read-only cells.
    model.Cells(1, 0).SetCellText("00-1A-2B-3C-4D-5E");
    QCOMPARE(model.Cells(1, 0).GetCellText(), QString("00-1A-2B-3C-4D-5E"));
}

QTEST_GUILESS_MAIN(TestRealGridModel)
#include "tst_realgridmodel.moc"
