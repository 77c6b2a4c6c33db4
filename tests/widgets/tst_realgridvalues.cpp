// Cell values: how each column type stores, shows and converts what the program
// writes, and what the number editor's entries become.
#include "GridFixtures.h"
#include "link/VarnexError.h"
#include "widgets/TRealGridModel.h"
#include "widgets/TRealGridValues.h"

#include <QtTest>

using namespace GridFixtures;

Q_DECLARE_METATYPE(TRealGridColumn)

namespace {

TRealGridColumn Typed(TRealGrid::DataType type, const QStringList& values = {}) {
    TRealGridColumn c;
    c.DataType = type;
    c.DataWidth = type == TRealGrid::wdtString ? 16 : 4;
    c.Values = values;
    return c;
}

TRealGridColumn DestinationId() {
    return SerialGrid().at(3);
}

}  // namespace

class TestRealGridValues : public QObject {
    Q_OBJECT

private slots:
    void setCellText_data();
    void setCellText();
    void setCellTextFailureKeepsCell();
    void boolCells_data();
    void boolCells();
    void intCells_data();
    void intCells();
    void typedNumber_data();
    void typedNumber();
    void editorKind_data();
    void editorKind();
};

void TestRealGridValues::setCellText_data() {
    QTest::addColumn<TRealGridColumn>("column");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("error");

    const auto list = DeviceList();
    QTest::newRow("version keeps DataWidth 7") << list.at(2) << "1.2.3456789012345678"
                                               << "1.2.345"
                                               << "";
    QTest::newRow("name of 32 kept whole")
        << list.at(3) << QString(32, 'n') << QString(32, 'n') << "";
    QTest::newRow("name of 33 cut") << list.at(3) << QString(33, 'n') << QString(32, 'n') << "";
    QTest::newRow("pair not split at the cut")
        << Text("t", 2) << QString::fromUtf8("a\xF0\x9F\x98\x80") << "a"
        << "";
    QTest::newRow("empty text empties string") << list.at(3) << ""
                                               << ""
                                               << "";
    QTest::newRow("word decimal") << Typed(TRealGrid::wdtWord) << "1234"
                                  << "1234"
                                  << "";
    QTest::newRow("word keeps low 16 bits") << Typed(TRealGrid::wdtWord) << "70000"
                                            << "4464"
                                            << "";
    QTest::newRow("word -1 wraps") << Typed(TRealGrid::wdtWord) << "-1"
                                   << "65535"
                                   << "";
    QTest::newRow("long negative") << Typed(TRealGrid::wdtLong) << "-5"
                                   << "-5"
                                   << "";
    QTest::newRow("long hexadecimal") << Typed(TRealGrid::wdtLong) << "$10"
                                      << "16"
                                      << "";
    QTest::newRow("long no range on program writes") << DestinationId() << "0"
                                                     << "0"
                                                     << "";
    QTest::newRow("long letters fail") << Typed(TRealGrid::wdtLong) << "12a"
                                       << ""
                                       << "'12a' is not a valid integer value";
    QTest::newRow("word blank-only fails") << Typed(TRealGrid::wdtWord) << " "
                                           << ""
                                           << "' ' is not a valid integer value";
    QTest::newRow("long empty") << Typed(TRealGrid::wdtLong) << ""
                                << ""
                                << "";
    QTest::newRow("bool any case") << Typed(TRealGrid::wdtBool) << "tRuE"
                                   << "True"
                                   << "";
    QTest::newRow("bool false") << Typed(TRealGrid::wdtBool) << "FALSE"
                                << "False"
                                << "";
    QTest::newRow("bool other text empties") << Typed(TRealGrid::wdtBool) << "yes"
                                             << ""
                                             << "";
    QTest::newRow("bool with two Values") << Typed(TRealGrid::wdtBool, {"Off", "On"}) << "on"
                                          << "On"
                                          << "";
    QTest::newRow("bool with Values ignores True")
        << Typed(TRealGrid::wdtBool, {"Off", "On"}) << "True"
        << ""
        << "";
}

void TestRealGridValues::setCellText() {
    QFETCH(TRealGridColumn, column);
    QFETCH(QString, written);
    QFETCH(QString, read);
    QFETCH(QString, error);

    TRealGridModel model;
    model.SetColumns({column});
    model.InsertRow(0);
    try {
        model.Cells(0, 0).SetCellText(written);
        QVERIFY2(error.isEmpty(), "the write should have failed");
    } catch (const VarnexError& e) {
        QCOMPARE(e.text(), error);
    }
    QCOMPARE(model.Cells(0, 0).GetCellText(), read);
    QCOMPARE(RealGridValues::IsEmpty(model.Value(0, 0)), read.isEmpty());
}

void TestRealGridValues::setCellTextFailureKeepsCell() {
    TRealGridModel model;
    model.SetColumns({Typed(TRealGrid::wdtLong)});
    model.InsertRow(0);
    model.Cells(0, 0).SetCellText("42");
    QVERIFY_THROWS_EXCEPTION(VarnexError, model.Cells(0, 0).SetCellText("4 2"));
    QCOMPARE(model.Cells(0, 0).GetCellInt(), 42);
}

void TestRealGridValues::boolCells_data() {
    QTest::addColumn<TRealGridColumn>("column");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("text");

    const TRealGridColumn aes = SerialGrid().at(4);
    QTest::newRow("bool true") << Typed(TRealGrid::wdtBool) << true << "True";
    QTest::newRow("bool false") << Typed(TRealGrid::wdtBool) << false << "False";
    QTest::newRow("list true is Values 1") << aes << true << "Enable";
    QTest::newRow("list false is Values 0") << aes << false << "Disable";
    QTest::newRow("word true is 1") << Typed(TRealGrid::wdtWord) << true << "1";
}

void TestRealGridValues::boolCells() {
    QFETCH(TRealGridColumn, column);
    QFETCH(bool, written);
    QFETCH(QString, text);

    TRealGridModel model;
    model.SetColumns({column});
    model.InsertRow(0);
    QCOMPARE(model.Cells(0, 0).GetCellBool(), false);  // empty reads False
    model.Cells(0, 0).SetCellBool(written);
    QCOMPARE(model.Cells(0, 0).GetCellText(), text);
    QCOMPARE(model.Cells(0, 0).GetCellBool(), written);
}

void TestRealGridValues::intCells_data() {
    QTest::addColumn<TRealGridColumn>("column");
    QTest::addColumn<qint32>("written");
    QTest::addColumn<qint32>("read");
    QTest::addColumn<QString>("text");

    QTest::newRow("word 65535 unsigned") << Typed(TRealGrid::wdtWord) << 65535 << 65535 << "65535";
    QTest::newRow("word keeps low 16 bits") << Typed(TRealGrid::wdtWord) << 70000 << 4464 << "4464";
    QTest::newRow("word -1") << Typed(TRealGrid::wdtWord) << -1 << 65535 << "65535";
    QTest::newRow("long negative") << Typed(TRealGrid::wdtLong) << -123456 << -123456 << "-123456";
    QTest::newRow("long 24-bit, no range correction") << DestinationId() << 0 << 0 << "0";
    QTest::newRow("string decimal") << Typed(TRealGrid::wdtString) << 17 << 17 << "17";
}

void TestRealGridValues::intCells() {
    QFETCH(TRealGridColumn, column);
    QFETCH(qint32, written);
    QFETCH(qint32, read);
    QFETCH(QString, text);

    TRealGridModel model;
    model.SetColumns({column});
    model.InsertRow(0);
    QCOMPARE(model.Cells(0, 0).GetCellInt(), 0);  // empty reads 0
    model.Cells(0, 0).SetCellInt(written);
    QCOMPARE(model.Cells(0, 0).GetCellInt(), read);
    QCOMPARE(model.Cells(0, 0).GetCellText(), text);
}

void TestRealGridValues::typedNumber_data() {
    QTest::addColumn<TRealGridColumn>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    const TRealGridColumn port = OpGrid().at(3);
    QTest::newRow("destination 0 becomes 1") << DestinationId() << "0"
                                             << "1";
    QTest::newRow("destination 16777216 becomes max") << DestinationId() << "16777216"
                                                      << "16777215";
    QTest::newRow("destination 99999999 becomes max") << DestinationId() << "99999999"
                                                      << "16777215";
    QTest::newRow("destination in range") << DestinationId() << "00042"
                                          << "42";
    QTest::newRow("emptied editor empties") << DestinationId() << ""
                                            << "";
    QTest::newRow("lone minus empties") << port << "-"
                                        << "";
    QTest::newRow("word above 16 bits held at max") << port << "70000"
                                                    << "65535";
    QTest::newRow("word negative held at 0") << port << "-5"
                                             << "0";
    QTest::newRow("long without range keeps sign") << Typed(TRealGrid::wdtLong) << "-12"
                                                   << "-12";
    QTest::newRow("long past 32 bits held at max")
        << Typed(TRealGrid::wdtLong) << "99999999999999999999"
        << "2147483647";
}

void TestRealGridValues::typedNumber() {
    QFETCH(TRealGridColumn, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(RealGridValues::TextOf(column, RealGridValues::FromTypedNumber(column, typed)),
             stored);
}

void TestRealGridValues::editorKind_data() {
    QTest::addColumn<TRealGridColumn>("column");
    QTest::addColumn<int>("kind");

    using K = TRealGrid::EditorKind;
    QTest::newRow("Apply check box") << DeviceList().at(8) << int(K::Check);
    QTest::newRow("hidden bool, default style") << DeviceList().at(9) << int(K::Check);
    QTest::newRow("Port Alias text") << OpGrid().at(1) << int(K::Text);
    QTest::newRow("Src Port number") << OpGrid().at(3) << int(K::Number);
    QTest::newRow("Operation list") << OpGrid().at(2) << int(K::List);
    QTest::newRow("Protocol Version: default style with Values")
        << SerialGrid().at(5) << int(K::List);
}

void TestRealGridValues::editorKind() {
    QFETCH(TRealGridColumn, column);
    QFETCH(int, kind);
    QCOMPARE(int(RealGridValues::EditorKindOf(column)), kind);
}

QTEST_GUILESS_MAIN(TestRealGridValues)
#include "tst_realgridvalues.moc"
