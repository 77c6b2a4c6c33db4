// The grid as the operator meets it: typing into each editor, refused keys, the
// row edit state and its commit, and the events the forms bind.
#include "GridFixtures.h"
#include "link/VarnexError.h"
#include "widgets/TRealGridModel.h"

#include <QAccessible>
#include <QApplication>
#include <QtTest>

using namespace GridFixtures;

namespace {

const TRealGrid::Options kListOptions = TRealGrid::wgoAlwaysShowSelection | TRealGrid::wgoEditing |
                                        TRealGrid::wgoRowSelect | TRealGrid::wgoSkipReadOnly;
const TRealGrid::Options kConfigOptions = TRealGrid::wgoAlwaysShowEditor | TRealGrid::wgoEditing |
                                          TRealGrid::wgoRowSelect | TRealGrid::wgoSkipReadOnly;

// A grid on screen with counters on every event.
struct Session {
    TRealGrid grid;
    int beeps = 0, afterEdits = 0, rowEnters = 0, dblClicks = 0;
    QList<QPair<int, int>> changes;

    Session(const QVector<TRealGridColumn>& columns, TRealGrid::Options options, int rows) {
        grid.SetColumns(columns);
        grid.SetOptions(options);
        grid.OnBeep = [this] { ++beeps; };
        grid.OnAfterEdit = [this] { ++afterEdits; };
        grid.OnRowEnter = [this] { ++rowEnters; };
        grid.OnDblClick = [this] { ++dblClicks; };
        grid.OnValueChanged = [this](int col, int row) { changes << qMakePair(col, row); };
        for (int i = 0; i < rows; ++i) grid.InsertRow(grid.RowCount());
        grid.resize(1000, 300);
        grid.show();
        grid.activateWindow();
    }
    bool Ready() { return QTest::qWaitForWindowActive(&grid); }

    // The device list's own handlers: its key filter and the Apply mark.
    void BindDeviceListHandlers() {
        grid.OnKeyPress = [this](QChar& key) {
            if (grid.CurrentCol() <= 3) return;
            if (!(key.isDigit() || QString("\b%'.").contains(key))) key = QChar(0);
        };
        grid.OnAfterEdit = [this] {
            ++afterEdits;
            grid.Cells(8, grid.CurrentRow()).SetCellBool(true);
        };
    }
    void Enter(int col, int row) {
        grid.SetCurrentCell(col, row);
        grid.setFocus();
    }
    QString Text(int col, int row) { return grid.Cells(col, row).GetCellText(); }
};

// Keys go where the operator's would: the focused widget, or an open list.
QWidget* KeyTarget() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    return QApplication::focusWidget();
}

void Type(const QString& text) {
    for (const QChar c : text) QTest::keyClick(KeyTarget(), c.toLatin1());
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(KeyTarget(), key, modifiers);
}

// Enter commits the open editor on the next pass of the event loop.
void Commit() {
    Press(Qt::Key_Return);
    QCoreApplication::processEvents();
}

QString ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const VarnexError& e) {
        return e.text();
    }
    return QString();
}

}  // namespace

class TestRealGrid : public QObject {
    Q_OBJECT

private slots:
    void typingIntoTextCell();
    void textLengthLimit_data();
    void textLengthLimit();
    void keyHookRefusesAndReplaces_data();
    void keyHookRefusesAndReplaces();
    void numberEditor_data();
    void numberEditor();
    void emptiedNumberEditorEmptiesCell();
    void listEditor();
    void checkBox();
    void readOnlyCellsBeep();
    void applyBoxWithDeviceListHandlers();
    void requiredBlocksCommitAndRowChange();
    void insertRowWhileEditingFails();
    void valueChangedOnlyForOperator();
    void leavingRowCommitsAndRaisesRowEnter();
    void skipReadOnly_data();
    void skipReadOnly();
    void alwaysShowEditorKeepsProgramWrites();
    void clearRowsEndsEdit();
    void doubleClick();
    void accessibleCellText();
};

void TestRealGrid::typingIntoTextCell() {
    Session s(DeviceList(), kListOptions, 2);
    s.BindDeviceListHandlers();
    QVERIFY(s.Ready());
    s.Enter(3, 0);
    Type("Gateway-1");
    Commit();
    QCOMPARE(s.Text(3, 0), QString("Gateway-1"));
    QCOMPARE(s.afterEdits, 1);
    QVERIFY(s.grid.Cells(8, 0).GetCellBool());  // editing marks the row for Apply
    QCOMPARE(s.changes, (QList<QPair<int, int>>{{3, 0}}));

    // Editing the Subnet Mask of the other row ticks that row's Apply box too.
    s.Enter(5, 1);
    Type("255.255.0.0");
    Commit();
    QCOMPARE(s.Text(5, 1), QString("255.255.0.0"));
    QVERIFY(s.grid.Cells(8, 1).GetCellBool());
    QCOMPARE(s.afterEdits, 2);
}

void TestRealGrid::textLengthLimit_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("beeps");

    QTest::newRow("IP Address refuses a 16th character") << 4 << "1234567890123456"
                                                         << "123456789012345" << 1;
    QTest::newRow("Device Name takes 32") << 3 << QString(32, 'd') << QString(32, 'd') << 0;
    QTest::newRow("Device Name refuses a 33rd") << 3 << QString(33, 'd') << QString(32, 'd') << 1;
}

void TestRealGrid::textLengthLimit() {
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(int, beeps);

    Session s(DeviceList(), kListOptions, 1);
    QVERIFY(s.Ready());
    s.Enter(col, 0);
    Type(typed);
    Commit();
    QCOMPARE(s.Text(col, 0), stored);
    QCOMPARE(s.beeps, beeps);
}

void TestRealGrid::keyHookRefusesAndReplaces_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("upperCase");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    QTest::newRow("IP Address drops letters") << 4 << false << "1a2.b3"
                                              << "12.3";
    QTest::newRow("IP Address takes % and '") << 4 << false << "1%'"
                                              << "1%'";
    QTest::newRow("Device Name takes letters") << 3 << false << "ab.1"
                                               << "ab.1";
    QTest::newRow("backspace goes through the filter") << 4 << false << "12\b3"
                                                       << "13";
    QTest::newRow("replaced characters are typed") << 3 << true << "abc"
                                                   << "ABC";
}

void TestRealGrid::keyHookRefusesAndReplaces() {
    QFETCH(int, col);
    QFETCH(bool, upperCase);
    QFETCH(QString, typed);
    QFETCH(QString, stored);

    Session s(DeviceList(), kListOptions, 1);
    s.BindDeviceListHandlers();
    if (upperCase) s.grid.OnKeyPress = [](QChar& key) { key = key.toUpper(); };
    QVERIFY(s.Ready());
    s.Enter(col, 0);
    for (const QChar c : typed) {
        if (c == '\b')
            Press(Qt::Key_Backspace);
        else
            Type(QString(c));
    }
    Commit();
    QCOMPARE(s.Text(col, 0), stored);
    QCOMPARE(s.beeps, 0);  // the filter drops keys silently
}

void TestRealGrid::numberEditor_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("beeps");

    // Columns of the LoRa table: 3 is "Destination ID" (1..16777215, 8 digits).
    QTest::newRow("destination 0 stored as 1") << 3 << "0"
                                               << "1" << 0;
    QTest::newRow("destination 16777216 stored as max") << 3 << "16777216"
                                                        << "16777215" << 0;
    QTest::newRow("destination takes 8 digits") << 3 << "123456789"
                                                << "12345678" << 1;
    QTest::newRow("destination refuses -") << 3 << "-5"
                                           << "5" << 1;
    // Column 6 is a word without range, like "Src Port".
    QTest::newRow("port refuses letters") << 6 << "1a2b"
                                          << "12" << 2;
    QTest::newRow("port - switches the sign") << 6 << "7--8"
                                              << "78" << 0;
    QTest::newRow("port negative held at 0") << 6 << "7-"
                                             << "0" << 0;
}

void TestRealGrid::numberEditor() {
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(int, beeps);

    QVector<TRealGridColumn> columns = SerialGrid();
    columns << OpGrid().at(3);
    Session s(columns, kConfigOptions, 1);
    QVERIFY(s.Ready());
    s.Enter(col, 0);
    Type(typed);
    Commit();
    QCOMPARE(s.Text(col, 0), stored);
    QCOMPARE(s.beeps, beeps);
}

void TestRealGrid::emptiedNumberEditorEmptiesCell() {
    Session s(SerialGrid(), kConfigOptions, 1);
    s.grid.Cells(3, 0).SetCellInt(42);
    QVERIFY(s.Ready());
    s.Enter(3, 0);
    Press(Qt::Key_Backspace);  // the loaded text is selected
    Commit();
    QVERIFY(s.grid.Model()->Value(3, 0).isNull());
    QCOMPARE(s.grid.Cells(3, 0).GetCellInt(), 0);
    QCOMPARE(s.changes.size(), 1);
}

void TestRealGrid::listEditor() {
    Session s(OpGrid(), kConfigOptions, 1);
    s.grid.Cells(2, 0).SetCellText("Disable");
    QVERIFY(s.Ready());
    s.Enter(2, 0);

    Type("r");  // opens the list on the matching entry
    QVERIFY(QApplication::activePopupWidget());
    Press(Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(s.Text(2, 0), QString("RFC2217"));
    QCOMPARE(s.changes, (QList<QPair<int, int>>{{2, 0}}));
    QCOMPARE(s.afterEdits, 1);

    // The offscreen platform does not give the window back its activation when
    // a popup closes; a desktop does.
    QApplication::setActiveWindow(&s.grid);
    s.Enter(2, 0);
    Type("c");  // selects COM_Redirector, then Escape keeps the cell
    QVERIFY(QApplication::activePopupWidget());
    Press(Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(s.Text(2, 0), QString("RFC2217"));
    QCOMPARE(s.changes.size(), 1);
}

void TestRealGrid::checkBox() {
    QVector<TRealGridColumn> columns = DeviceList();
    columns[8].Alignment = Qt::AlignCenter;  // so a click in the middle hits the box
    Session s(columns, kListOptions, 1);
    QVERIFY(s.Ready());
    s.Enter(8, 0);
    const QPoint box = s.grid.visualRect(s.grid.model()->index(0, 8)).center();

    QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, box);
    QCOMPARE(s.Text(8, 0), QString("True"));  // empty becomes ticked
    Press(Qt::Key_Space);
    QCOMPARE(s.Text(8, 0), QString("False"));
    QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, box);
    QCOMPARE(s.Text(8, 0), QString("True"));
    Press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(s.Text(8, 0), QString("True"));
    Press(Qt::Key_Delete);
    QCOMPARE(s.Text(8, 0), QString(""));
    QCOMPARE(s.changes.size(), 4);
    QCOMPARE(s.afterEdits, 1);
}

void TestRealGrid::readOnlyCellsBeep() {
    QVector<TRealGridColumn> columns = DeviceList();
    columns[8].ReadOnly = true;
    Session s(columns, kListOptions, 1);
    s.grid.Cells(1, 0).SetCellText("00-1A-2B-3C-4D-5E");
    QVERIFY(s.Ready());
    s.Enter(1, 0);
    Type("x");
    Press(Qt::Key_Backspace);
    s.grid.SetCurrentCell(8, 0);
    Press(Qt::Key_Space);
    Press(Qt::Key_Delete);
    QCOMPARE(s.beeps, 4);
    QCOMPARE(s.Text(1, 0), QString("00-1A-2B-3C-4D-5E"));
    QCOMPARE(s.Text(8, 0), QString(""));
    QCOMPARE(s.afterEdits, 0);
}

void TestRealGrid::applyBoxWithDeviceListHandlers() {
    QVector<TRealGridColumn> columns = DeviceList();
    columns[8].Alignment = Qt::AlignCenter;
    Session s(columns, kListOptions, 2);
    s.BindDeviceListHandlers();
    for (int row = 0; row < 2; ++row) s.grid.Cells(8, row).SetCellBool(row == 1);
    QVERIFY(s.Ready());
    s.Enter(8, 0);
    Press(Qt::Key_Space);  // the key filter drops the space
    QCOMPARE(s.Text(8, 0), QString("False"));
    QCOMPARE(s.afterEdits, 0);

    // A click gives what the operator saw toggled, although entering the edit
    // state ticks the box first.
    const auto click = [&](int row) {
        const QPoint box = s.grid.visualRect(s.grid.model()->index(row, 8)).center();
        QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, box);
    };
    click(0);
    QCOMPARE(s.Text(8, 0), QString("True"));
    click(1);  // leaves row 0 (committed), enters row 1 and unticks its box
    QCOMPARE(s.grid.CurrentRow(), 1);
    QCOMPARE(s.Text(8, 1), QString("False"));
    QCOMPARE(s.afterEdits, 2);
}

void TestRealGrid::requiredBlocksCommitAndRowChange() {
    Session s(DeviceList(), kListOptions, 2);
    s.BindDeviceListHandlers();
    s.grid.Cells(3, 0).SetCellText("old");
    QVERIFY(s.Ready());
    s.Enter(3, 0);
    Type("new");  // the row enters editing and Apply is ticked
    s.grid.Cells(8, 0).SetCellText("");

    const QString error = ErrorOf([&] { s.grid.PostEdit(); });
    QCOMPARE(error, QString("Column 'Apply' must have a value."));
    QCOMPARE(s.Text(3, 0), QString("old"));  // nothing stored by the failed commit
    QVERIFY(s.grid.IsEditing());

    Press(Qt::Key_Down);  // the operator stays on the row, without a message
    QCOMPARE(s.grid.CurrentRow(), 0);
    QCOMPARE(ErrorOf([&] { s.grid.SetCurrentCell(3, 1); }), error);
    QCOMPARE(s.grid.CurrentRow(), 0);

    s.grid.Cells(8, 0).SetCellBool(true);
    Press(Qt::Key_Down);
    QCOMPARE(s.grid.CurrentRow(), 1);
    QVERIFY(!s.grid.IsEditing());
    QCOMPARE(s.Text(3, 0), QString("new"));
}

void TestRealGrid::insertRowWhileEditingFails() {
    Session s(DeviceList(), kListOptions, 1);
    s.grid.Cells(8, 0).SetCellBool(true);
    QVERIFY(s.Ready());
    s.Enter(3, 0);
    s.grid.InsertRow(s.grid.RowCount());  // an open, untouched editor is no edit
    Type("a");
    QCOMPARE(ErrorOf([&] { s.grid.InsertRow(s.grid.RowCount()); }),
             QString("Can't InsertRow in Editing"));
    QCOMPARE(s.grid.RowCount(), 2);
    s.grid.PostEdit();
    QVERIFY(!s.grid.IsEditing());
    QCOMPARE(s.Text(3, 0), QString("a"));
    s.grid.InsertRow(s.grid.RowCount());
    QCOMPARE(s.grid.RowCount(), 3);
}

void TestRealGrid::valueChangedOnlyForOperator() {
    Session s(SerialGrid(), kConfigOptions, 2);
    QVERIFY(s.Ready());
    s.grid.Cells(0, 0).SetCellInt(1);
    s.grid.Cells(3, 0).SetCellText("77");
    s.grid.Cells(4, 0).SetCellBool(true);
    s.grid.InsertRow(s.grid.RowCount());
    s.grid.ClearRows();
    s.grid.InsertRow(0);
    QVERIFY(s.changes.isEmpty());
    QCOMPARE(s.afterEdits, 0);

    s.Enter(3, 0);
    Type("5");
    Commit();
    QCOMPARE(s.changes, (QList<QPair<int, int>>{{3, 0}}));
    Type("5");  // the same value again is no change
    Commit();
    QCOMPARE(s.changes.size(), 1);
}

void TestRealGrid::leavingRowCommitsAndRaisesRowEnter() {
    Session s(DeviceList(), kListOptions, 3);
    s.grid.Cells(8, 0).SetCellBool(true);
    QCOMPARE(s.rowEnters, 1);  // the first row became current when it was added
    QVERIFY(s.Ready());
    s.Enter(3, 0);
    Type("one");
    Press(Qt::Key_Tab);  // same row: still the same edit
    Type("1");
    QCOMPARE(s.afterEdits, 1);
    QCOMPARE(s.rowEnters, 1);
    Press(Qt::Key_Down);
    QCOMPARE(s.grid.CurrentRow(), 1);
    QCOMPARE(s.rowEnters, 2);
    QVERIFY(!s.grid.IsEditing());
    QCOMPARE(s.Text(3, 0), QString("one"));
    QCOMPARE(s.Text(4, 0), QString("1"));
}

void TestRealGrid::skipReadOnly_data() {
    QTest::addColumn<int>("startCol");
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("row");

    // Columns 0-2 are read-only and 9-11 hidden.
    QTest::newRow("right") << 3 << 0 << int(Qt::Key_Right) << 4 << 0;
    QTest::newRow("left stops at the first editable") << 3 << 0 << int(Qt::Key_Left) << 3 << 0;
    QTest::newRow("home") << 6 << 0 << int(Qt::Key_Home) << 3 << 0;
    QTest::newRow("tab wraps to the next row") << 8 << 0 << int(Qt::Key_Tab) << 3 << 1;
    QTest::newRow("backtab wraps back") << 3 << 1 << int(Qt::Key_Backtab) << 8 << 0;
    QTest::newRow("down keeps the column") << 1 << 0 << int(Qt::Key_Down) << 1 << 1;
}

void TestRealGrid::skipReadOnly() {
    QFETCH(int, startCol);
    QFETCH(int, startRow);
    QFETCH(int, key);
    QFETCH(int, col);
    QFETCH(int, row);

    Session s(DeviceList(), kListOptions, 2);
    QVERIFY(s.Ready());
    s.Enter(startCol, startRow);
    Press(Qt::Key(key));
    QCOMPARE(s.grid.CurrentCol(), col);
    QCOMPARE(s.grid.CurrentRow(), row);
}

void TestRealGrid::alwaysShowEditorKeepsProgramWrites() {
    Session s(OpGrid(), kConfigOptions, 2);
    QVERIFY(s.Ready());
    s.Enter(1, 0);
    QVERIFY(s.grid.indexWidget(s.grid.currentIndex()));  // the editor opened at once

    // A reply fills the cell under the open editor; moving on must not write the
    // editor's stale text back.
    s.grid.Cells(1, 0).SetCellText("COM1");
    Press(Qt::Key_Down);
    QCOMPARE(s.grid.CurrentRow(), 1);
    QCOMPARE(s.Text(1, 0), QString("COM1"));
    QVERIFY(s.changes.isEmpty());

    s.grid.SetCurrentCell(0, 1);  // read-only: no editor, typing beeps
    QVERIFY(!s.grid.indexWidget(s.grid.currentIndex()));
    Type("5");
    QCOMPARE(s.beeps, 1);
}

void TestRealGrid::clearRowsEndsEdit() {
    Session s(DeviceList(), kListOptions, 2);
    s.grid.Cells(8, 1).SetCellBool(true);
    QVERIFY(s.Ready());
    s.Enter(3, 1);
    Type("abc");
    const int entered = s.rowEnters;
    s.grid.ClearRows();
    QCOMPARE(s.grid.RowCount(), 0);
    QCOMPARE(s.grid.CurrentRow(), -1);
    QVERIFY(!s.grid.IsEditing());
    QCOMPARE(s.rowEnters, entered);  // emptying the list enters no row
    s.grid.InsertRow(0);
    QCOMPARE(s.grid.CurrentRow(), 0);
    QCOMPARE(s.rowEnters, entered + 1);
    QVERIFY(s.Text(3, 0).isEmpty());
    QVERIFY(s.changes.isEmpty());
}

void TestRealGrid::doubleClick() {
    Session s(DeviceList(), kListOptions, 1);
    QVERIFY(s.Ready());
    const QPoint cell = s.grid.visualRect(s.grid.model()->index(0, 3)).center();
    QTest::mouseDClick(s.grid.viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(s.dblClicks, 1);
    QVERIFY(!s.grid.indexWidget(s.grid.model()->index(0, 3)));
}

void TestRealGrid::accessibleCellText() {
    Session s(DeviceList(), kListOptions, 1);
    s.grid.Cells(3, 0).SetCellText("Gateway <i>1</i>");
    s.grid.Cells(8, 0).SetCellBool(true);
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&s.grid);
    QVERIFY(view && view->tableInterface());
    QAccessibleInterface* name = view->tableInterface()->cellAt(0, 3);
    QAccessibleInterface* apply = view->tableInterface()->cellAt(0, 8);
    QVERIFY(name && apply);
    QCOMPARE(name->text(QAccessible::Name), QString("Gateway <i>1</i>"));
    QCOMPARE(apply->text(QAccessible::Name), QString("True"));
}

QTEST_MAIN(TestRealGrid)
#include "tst_realgrid.moc"
