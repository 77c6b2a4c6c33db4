// The device list in the main window, offscreen: rows from replies, the key
// filter, marking for Apply, the countdown, and Search IP's cancel path. No
// socket is opened here; the end-to-end test covers the network.
#include "DiscoveryTestData.h"
#include "discovery/DiscoveryInbox.h"
#include "discovery/DiscoveryReply.h"
#include "engine/GatewayEngine.h"
#include "mainwindow/TFormDetect.h"
#include "mainwindow/TFormSearchIP.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {
// Hands a datagram to the receive handler as the receiving thread would, and
// waits until what it posted has reached the list.
void receive(TFormDetect& form, const QByteArray& datagram) {
    form.UDPServerUDPRead(datagram);
    QTRY_COMPARE(form.DiscoveryReplies->Pending(), 0);
    QCoreApplication::processEvents();
}

void addThree(TFormDetect& form) {
    receive(form, GatewayReply().withMac("000000000001").withName("A").datagram());
    receive(form, GatewayReply().withMac("000000000002").withName("B").datagram());
    receive(form, GatewayReply().withMac("000000000003").withName("C").datagram());
}

QString cell(TFormDetect& form, int col, int row) {
    return form.RGrid->Cells(col, row).GetCellText();
}
}  // namespace

class TestDeviceList : public QObject {
    Q_OBJECT
private slots:
    void columnsAsDesigned();
    void replyBecomesRow();
    void versionAndModelCutToColumn();
    void receiveHandlerIgnores_data();
    void receiveHandlerIgnores();
    void ackAddsNoRow();
    void duplicatesKeepFirstReply();
    void isNewMac();
    void batchListsAsOneByOne_data();
    void batchListsAsOneByOne();
    void clearKeepsLabelAndSelectedRow();
    void typingIntoCells_data();
    void typingIntoCells();
    void editingMarksRowForApply();
    void spaceOnApplyLeavesBox();
    void replyWhileEditingIsDropped();
    void countdownTicks_data();
    void countdownTicks();
    void countdownCountsRepliesNotYetListed();
    void searchIPCancelLeavesListAlone();
    void searchIPInvalidKeepsDialogOpen();
};

void TestDeviceList::columnsAsDesigned() {
    FakeServices fake;
    TFormDetect form(fake.services);
    const QStringList titles{"Model",      "MAC Address", "Version", "Device Name",
                             "IP Address", "Subnet Mask", "Gateway", "VarnexView IP",
                             "Apply",      "Column0",     "Column1", "Column2"};
    QCOMPARE(form.RGrid->ColumnCount(), 12);
    int visibleWidth = 0;
    for (int i = 0; i < 12; ++i) {
        const TRealGridColumn& c = form.RGrid->Column(i);
        QCOMPARE(c.Caption, titles.at(i));
        QCOMPARE(form.RGrid->isColumnHidden(i), i >= 9);
        QCOMPARE(c.ReadOnly, i <= 2);
        if (c.Visible) visibleWidth += c.ColWidth;
    }
    QCOMPARE(visibleWidth, 957);
    QVERIFY(form.RGrid->Column(8).Required);
    QCOMPARE(form.RGrid->parentWidget(), form.FlatPanel2);
}

void TestDeviceList::replyBecomesRow() {
    FakeServices fake;
    TFormDetect form(fake.services);
    receive(form, GatewayReply().datagram());
    QCOMPARE(form.DeviceCount, 1);
    QCOMPARE(form.RGrid->RowCount(), 1);
    const QStringList expected{"VX-G200",
                               "00-1A-2B-3C-4D-5E",
                               "1.2.0",
                               "GW-1",
                               "192.168.1.100",
                               "255.255.255.0",
                               "192.168.1.1",
                               "10.0.0.2",
                               "False",
                               "",
                               "",
                               "192.168.1.100"};
    for (int col = 0; col < 12; ++col) QCOMPARE(cell(form, col, 0), expected.at(col));
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 1"));
    QCOMPARE(form.SelectedRow, 0);
    QCOMPARE(form.RGrid->CurrentRow(), 0);
}

void TestDeviceList::versionAndModelCutToColumn() {
    FakeServices fake;
    TFormDetect form(fake.services);
    GatewayReply r;
    r.version = "1.2.3456";
    r.model = "ABCDEFGHIJKLMNOPQRST";
    r.name = "<b>Hall</b>";
    receive(form, r.datagram());
    QCOMPARE(cell(form, 2, 0), QStringLiteral("1.2.345"));
    QCOMPARE(cell(form, 0, 0), QStringLiteral("ABCDEFGHIJKLMNOP"));
    // Shown as the plain text it is.
    QCOMPARE(form.RGrid->model()->index(0, 3).data().toString(), QStringLiteral("<b>Hall</b>"));
}

void TestDeviceList::receiveHandlerIgnores_data() {
    QTest::addColumn<QByteArray>("datagram");
    const QByteArray good = GatewayReply().datagram();
    QTest::newRow("own request echoed") << QByteArray("\x02g\x03", 3);
    QTest::newRow("no ETX") << good.left(good.size() - 1) + QByteArray(1, '\0');
    QTest::newRow("other letter") << QByteArray(good).replace(1, 1, "h");
    QTest::newRow("upper-case G") << QByteArray(good).replace(1, 1, "G");
    QTest::newRow("short reply") << good.left(48) + QByteArray(1, '\x03');
    QTest::newRow("84 bytes") << good.left(83) + QByteArray(1, '\x03');
}

void TestDeviceList::receiveHandlerIgnores() {
    QFETCH(QByteArray, datagram);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.lblcount->setText(QStringLiteral("Current : 3"));
    receive(form, datagram);
    QCOMPARE(form.DeviceCount, 0);
    QCOMPARE(form.RGrid->RowCount(), 0);
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 3"));
    QVERIFY(fake.prompts.errors.isEmpty());
}

void TestDeviceList::ackAddsNoRow() {
    FakeServices fake;
    TFormDetect form(fake.services);
    const QByteArray ack = QByteArray::fromHex("0266001A2B3C4D5E00000003");
    receive(form, ack);
    QCOMPARE(form.DeviceCount, 0);
    // The first byte is not checked: a reply starting with "X" still counts.
    QByteArray odd = GatewayReply().datagram();
    odd[0] = 'X';
    receive(form, odd);
    QCOMPARE(form.DeviceCount, 1);
}

void TestDeviceList::duplicatesKeepFirstReply() {
    FakeServices fake;
    TFormDetect form(fake.services);
    receive(form, GatewayReply().withMac("000000000001").withName("first").datagram());
    receive(form, GatewayReply().withMac("000000000002").withName("other").datagram());
    receive(form, GatewayReply().withMac("000000000001").withName("second").datagram());
    QCOMPARE(form.DeviceCount, 2);
    QCOMPARE(cell(form, 3, 0), QStringLiteral("first"));
    QCOMPARE(cell(form, 3, 1), QStringLiteral("other"));
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 2"));
}

void TestDeviceList::isNewMac() {
    FakeServices fake;
    TFormDetect form(fake.services);
    addThree(form);
    QVERIFY(!form.IsNewMac(QStringLiteral("00-00-00-00-00-02")));
    QVERIFY(form.IsNewMac(QStringLiteral("00-00-00-00-00-04")));
    QVERIFY(form.IsNewMac(QStringLiteral("00-00-00-00-00-2")));
    // Exact and case-sensitive, as MAC texts are always upper case.
    form.RGrid->Cells(1, 2).SetCellText(QStringLiteral("0A-0B-0C-0D-0E-0F"));
    QVERIFY(form.IsNewMac(QStringLiteral("0a-0b-0c-0d-0e-0f")));
}

void TestDeviceList::batchListsAsOneByOne_data() {
    // MACs by their last digits; "name@" gives the reply a device name.
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("batch");
    QTest::newRow("into an empty list") << QStringList{} << QStringList{"1", "2", "3"};
    QTest::newRow("duplicate inside the batch keeps the first")
        << QStringList{} << QStringList{"first@1", "2", "second@1", "3", "2"};
    QTest::newRow("already listed")
        << QStringList{"old@1", "2"} << QStringList{"new@1", "3", "2", "4"};
    QTest::newRow("nothing new") << QStringList{"1", "2"} << QStringList{"2", "1", "1"};
    QTest::newRow("case differs: two gateways") << QStringList{"1"} << QStringList{"a", "A", "a"};
}

void TestDeviceList::batchListsAsOneByOne() {
    QFETCH(QStringList, listed);
    QFETCH(QStringList, batch);
    const auto reply = [](const QString& entry) {
        const QStringList parts = entry.split(QLatin1Char('@'));
        DiscoveryReply r;
        r.Mac = QStringLiteral("00-00-00-00-00-") + parts.last();
        r.DeviceName = parts.size() > 1 ? parts.first() : QString();
        r.IpAddress = QStringLiteral("198.19.0.") + parts.last();
        return r;
    };
    FakeServices fake;
    TFormDetect batched(fake.services);
    TFormDetect oneByOne(fake.services);
    QVector<DiscoveryReply> replies;
    for (const QString& entry : listed) {
        batched.AddDevice(reply(entry));
        oneByOne.AddDevice(reply(entry));
    }
    for (const QString& entry : batch) {
        replies << reply(entry);
        oneByOne.AddDevice(reply(entry));
    }
    QSignalSpy inserted(batched.RGrid->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(batched.RGrid->model(), &QAbstractItemModel::dataChanged);
    batched.AddDevices(replies);
    QCOMPARE(inserted.size(), oneByOne.DeviceCount > listed.size() ? 1 : 0);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(batched.DeviceCount, oneByOne.DeviceCount);
    QCOMPARE(batched.RGrid->RowCount(), oneByOne.RGrid->RowCount());
    for (int row = 0; row < oneByOne.RGrid->RowCount(); ++row) {
        for (int col = 0; col < oneByOne.RGrid->ColumnCount(); ++col)
            QCOMPARE(cell(batched, col, row), cell(oneByOne, col, row));
    }
    QCOMPARE(batched.lblcount->text(), oneByOne.lblcount->text());
    QCOMPARE(batched.SelectedRow, oneByOne.SelectedRow);
    QCOMPARE(batched.RGrid->CurrentRow(), oneByOne.RGrid->CurrentRow());
}

void TestDeviceList::clearKeepsLabelAndSelectedRow() {
    FakeServices fake;
    TFormDetect form(fake.services);
    addThree(form);
    form.RGrid->SetCurrentCell(3, 2);
    QCOMPARE(form.SelectedRow, 2);
    form.ClearDeviceList();
    QCOMPARE(form.DeviceCount, 0);
    QCOMPARE(form.RGrid->RowCount(), 0);
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 3"));
    QCOMPARE(form.SelectedRow, 2);
    // A refilled list gives the commands a row that exists.
    receive(form, GatewayReply().datagram());
    QCOMPARE(form.SelectedRow, 0);
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 1"));
}

void TestDeviceList::typingIntoCells_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("marked");
    QTest::newRow("letter into IP Address") << 4 << "a"
                                            << "192.168.1.100" << false;
    QTest::newRow("letter into Device Name") << 3 << "Z"
                                             << "Z" << true;
    QTest::newRow("digit into IP Address") << 4 << "7"
                                           << "7" << true;
    QTest::newRow("letter into Gateway") << 6 << "q"
                                         << "192.168.1.1" << false;
    QTest::newRow("percent into VarnexView IP") << 7 << "%"
                                                << "%" << true;
}

void TestDeviceList::typingIntoCells() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, marked);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    receive(form, GatewayReply().datagram());
    form.RGrid->setFocus();
    form.RGrid->SetCurrentCell(column, 0);
    QTest::keyClicks(form.RGrid, typed);
    form.RGrid->PostEdit();
    QCOMPARE(cell(form, column, 0), stored);
    QCOMPARE(form.RGrid->Cells(8, 0).GetCellBool(), marked);
}

void TestDeviceList::editingMarksRowForApply() {
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    addThree(form);
    form.RGrid->setFocus();
    form.RGrid->SetCurrentCell(5, 1);
    QTest::keyClick(form.RGrid, '2');
    QVERIFY(form.RGrid->Cells(8, 1).GetCellBool());
    QVERIFY(!form.RGrid->Cells(8, 0).GetCellBool());
    QVERIFY(!form.RGrid->Cells(8, 2).GetCellBool());
    form.RGrid->PostEdit();
    QCOMPARE(cell(form, 5, 1), QStringLiteral("2"));
    QVERIFY(fake.prompts.errors.isEmpty());
}

void TestDeviceList::spaceOnApplyLeavesBox() {
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    receive(form, GatewayReply().datagram());
    form.RGrid->setFocus();
    form.RGrid->SetCurrentCell(8, 0);
    QTest::keyClick(form.RGrid, Qt::Key_Space);
    QCOMPARE(cell(form, 8, 0), QStringLiteral("False"));
    QVERIFY(!form.RGrid->IsEditing());
}

void TestDeviceList::replyWhileEditingIsDropped() {
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    receive(form, GatewayReply().withMac("000000000001").datagram());
    form.RGrid->setFocus();
    form.RGrid->SetCurrentCell(3, 0);
    QTest::keyClick(form.RGrid, 'x');
    QVERIFY(form.RGrid->IsEditing());
    receive(form, GatewayReply().withMac("000000000002").datagram());
    QCOMPARE(form.DeviceCount, 1);
    QCOMPARE(form.RGrid->RowCount(), 1);
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 1"));
    QVERIFY(fake.prompts.errors.isEmpty());
    QVERIFY(fake.prompts.messages.isEmpty());
    // Once the edit is committed, the next reply is listed again.
    form.RGrid->PostEdit();
    receive(form, GatewayReply().withMac("000000000003").datagram());
    QCOMPARE(form.DeviceCount, 2);
}

void TestDeviceList::countdownTicks_data() {
    QTest::addColumn<int>("rowsBeforeSearch");
    QTest::addColumn<int>("devices");
    QTest::addColumn<bool>("noDeviceMessage");
    QTest::newRow("Search, nobody answered") << -1 << 0 << false;
    QTest::newRow("Search IP, nobody answered") << 0 << 0 << true;
    QTest::newRow("Search IP, one answered") << 0 << 1 << false;
}

void TestDeviceList::countdownTicks() {
    QFETCH(int, rowsBeforeSearch);
    QFETCH(int, devices);
    QFETCH(bool, noDeviceMessage);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    // The busy state without its socket: the ticks are driven by hand.
    form.CountdownSeconds = 10;
    form.PnlTime->show();
    form.FlatPanel1->setEnabled(false);
    form.FlatPanel2->setEnabled(false);
    form.RowsBeforeSearch = rowsBeforeSearch;
    for (int i = 0; i < devices; ++i) receive(form, GatewayReply().datagram());
    for (int left = 9; left >= 1; --left) {
        form.TimerFINDTimer();
        QCOMPARE(form.PnlTime->Caption(),
                 QStringLiteral("        Remain timeout = %1sec").arg(left));
        QVERIFY(form.PnlTime->isVisible());
        QVERIFY(fake.prompts.messages.isEmpty());
    }
    form.TimerFINDTimer();
    QVERIFY(form.PnlTime->isHidden());
    QCOMPARE(form.PnlTime->Caption(), QStringLiteral("        Remain timeout = 10sec"));
    QVERIFY(!form.TimerFIND->isActive());
    QVERIFY(!form.UDPServer->Active());
    QVERIFY(form.FlatPanel1->isEnabled());
    QVERIFY(form.FlatPanel2->isEnabled());
    QCOMPARE(fake.prompts.messages,
             noDeviceMessage ? QStringList{"There is no brinmore."} : QStringList());
}

void TestDeviceList::countdownCountsRepliesNotYetListed() {
    FakeServices fake;
    TFormDetect form(fake.services);
    form.CountdownSeconds = 1;
    form.RowsBeforeSearch = 0;
    // Arrived during the window, still on its way to the list at the last tick.
    form.UDPServerUDPRead(GatewayReply().datagram());
    form.TimerFINDTimer();
    QCOMPARE(form.DeviceCount, 1);
    QVERIFY(fake.prompts.messages.isEmpty());
}

void TestDeviceList::searchIPCancelLeavesListAlone() {
    FakeServices fake;
    TFormDetect form(fake.services);
    addThree(form);
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = form.findChild<TFormSearchIP*>();
        QVERIFY(dialog);
        dialog->FlatEdit1->setText(QStringLiteral("198.19.0.10"));
        dialog->FlatSpeedButton2->click();
    });
    form.FlatButton3Click();
    QCOMPARE(form.DeviceCount, 3);
    QVERIFY(!form.UDPServer->Active());
    QVERIFY(!form.TimerFIND->isActive());
    QVERIFY(form.findChildren<TFormSearchIP*>().isEmpty());
}

void TestDeviceList::searchIPInvalidKeepsDialogOpen() {
    FakeServices fake;
    TFormDetect form(fake.services);
    addThree(form);
    bool stayedOpen = false;
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = form.findChild<TFormSearchIP*>();
        QVERIFY(dialog);
        dialog->FlatSpeedButton1->click();  // empty: nothing
        dialog->FlatEdit1->setText(QStringLiteral("192.168.1.300"));
        dialog->FlatSpeedButton1->click();
        stayedOpen = dialog->isVisible();
        dialog->FlatSpeedButton2->click();
    });
    form.FlatButton3Click();
    QVERIFY(stayedOpen);
    QCOMPARE(fake.prompts.messages, QStringList{"IP is not valid."});
    QCOMPARE(form.DeviceCount, 3);
}

QTEST_MAIN(TestDeviceList)
#include "tst_device_list.moc"
