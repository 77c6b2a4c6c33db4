// "Apply" in the test's own namespaces: the datagrams really go out, and the
// gateway simulator takes them.
#include "discovery/DiscoveryReply.h"
#include "engine/GatewayEngine.h"
#include "link/DeviceDatagram.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

#include <mutex>

namespace {
DiscoveryReply gateway(int i) {
    DiscoveryReply r;
    r.Model = QStringLiteral("VX-100");
    r.Mac = QStringLiteral("00-1A-2B-3C-4D-5%1").arg(i);
    r.Version = QStringLiteral("1.0");
    r.DeviceName = QStringLiteral("GW-%1").arg(i);
    r.IpAddress = QStringLiteral("192.168.1.10%1").arg(i);
    r.SubnetMask = QStringLiteral("255.255.255.0");
    r.Gateway = QStringLiteral("192.168.1.1");
    r.ViewIp = QStringLiteral("192.168.1.10");
    return r;
}

// The main window with its "S" datagrams recorded as they come back to its own
// socket: the bytes that really went out, in the order they went.
struct Window {
    Window() : form(fake.services) {
        // The "S" datagrams are read as they come back to the window's own
        // socket, which otherwise drops requests in the kernel.
        form.Engine->SetRequestTap([this](const QByteArray& d, int) {
            if (d.size() > 1 && d.at(1) == 'S') {
                std::lock_guard<std::mutex> lock(mutex);
                sent << d;
            }
        });
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    QList<QByteArray> sentSoFar() {
        std::lock_guard<std::mutex> lock(mutex);
        return sent;
    }
    TRealGrid& grid() { return *form.RGrid; }

    FakeServices fake;
    std::mutex mutex;
    QList<QByteArray> sent;
    TFormDetect form;
};

// Types into a cell as the operator does: F2, clear with backspace, type, Enter.
void typeInto(TRealGrid& grid, int col, int row, const QString& text) {
    grid.setFocus();
    grid.SetCurrentCell(col, row);
    QTest::keyClick(&grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != &grid);
    QTest::keyClick(editor, Qt::Key_End);
    for (int i = 0; i < 40; ++i) QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

int rowOf(TRealGrid& grid, const QString& mac) {
    for (int row = 0; row < grid.RowCount(); ++row) {
        if (grid.Cells(1, row).GetCellText() == mac) return row;
    }
    return -1;
}
}  // namespace

class TestApply : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void emptyListSendsNothing();
    void markedRowsGoOutInOrderAndAreUnmarked();
    void unmarkedRowWithBadMaskBlocksEverything();
    void portHeldEndsAtTheFailingRow();
    void editApplyAndSearchAgainShowsNewSettings();
};

void TestApply::emptyListSendsNothing() {
    Window w;
    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(w.fake.prompts.messages,
             QStringList{QStringLiteral("There is no Varnex.\r\nPlease search the Brinmore.")});
    QVERIFY(!w.form.UDPServer->Active());
}

void TestApply::markedRowsGoOutInOrderAndAreUnmarked() {
    Window w;
    for (int i = 0; i < 3; ++i) w.form.AddDevice(gateway(i));
    w.grid().Cells(8, 2).SetCellBool(true);
    w.grid().Cells(8, 0).SetCellBool(true);
    w.grid().Cells(4, 2).SetCellText(QStringLiteral("192.168.1.200"));

    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(w.fake.prompts.messages.last(),
             QStringLiteral("2 Device(s) ' configuration is Successful"));
    QTRY_COMPARE(w.sentSoFar().size(), 2);
    const QByteArray first = w.sentSoFar().at(0);
    QCOMPARE(first.toHex(),
             (QByteArray::fromHex("0253001a2b3c4d50c0a80164c0a80101ffffff00c0a8010a") + "GW-0" +
              QByteArray(28, '\0') + "\x03")
                 .toHex());
    QCOMPARE(w.sentSoFar().at(1).mid(2, 10).toHex(), QByteArray("001a2b3c4d52c0a801c8"));
    for (int row : {0, 2}) {
        QCOMPARE(w.grid().Cells(8, row).GetCellBool(), false);
        QCOMPARE(w.grid().Cells(11, row).GetCellText(), w.grid().Cells(4, row).GetCellText());
    }
    QCOMPARE(w.grid().Cells(11, 1).GetCellText(), QStringLiteral("192.168.1.101"));
    QVERIFY(w.form.UDPServer->Active());    // left active
    QVERIFY(!w.form.PnlTime->isVisible());  // and no countdown

    // Marks are cleared: the second press has nothing to send.
    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(w.fake.prompts.messages.last(), QStringLiteral("No device is applied."));
    QTest::qWait(200);
    QCOMPARE(w.sentSoFar().size(), 2);
}

void TestApply::unmarkedRowWithBadMaskBlocksEverything() {
    Window w;
    for (int i = 0; i < 2; ++i) w.form.AddDevice(gateway(i));
    w.grid().Cells(8, 0).SetCellBool(true);
    w.grid().Cells(5, 1).SetCellText(QStringLiteral("255.255.0"));  // row 1 is not marked
    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(w.fake.prompts.messages,
             QStringList{QStringLiteral("Please check the IP''s setting.")});
    QVERIFY(w.grid().hasFocus());
    QCOMPARE(w.grid().Cells(8, 0).GetCellBool(), true);
    QVERIFY(!w.form.UDPServer->Active());  // nothing was sent
}

void TestApply::portHeldEndsAtTheFailingRow() {
    Window w;
    for (int i = 0; i < 2; ++i) w.form.AddDevice(gateway(i));
    w.grid().Cells(8, 0).SetCellBool(true);
    w.grid().Cells(8, 1).SetCellBool(true);
    UdpEndpoint other;  // another program holds port 2058
    other.AddBinding(QStringLiteral("0.0.0.0"), DeviceDatagram::Port);
    other.SetActive(true);
    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(
        w.fake.prompts.errors,
        QStringList{QStringLiteral("Could not bind socket. Address and port are already in use.")});
    QVERIFY(w.fake.prompts.messages.isEmpty());          // no closing message
    QCOMPARE(w.grid().Cells(8, 0).GetCellBool(), true);  // the failing row keeps its mark
    QCOMPARE(w.grid().Cells(8, 1).GetCellBool(), true);
}

void TestApply::editApplyAndSearchAgainShowsNewSettings() {
    auto sim = NetnsEnv::startSimulator({QStringLiteral("--quiet")});
    Window w;
    QTest::mouseClick(w.form.FlatButton2, Qt::LeftButton);  // Search
    QTRY_COMPARE_WITH_TIMEOUT(w.form.DeviceCount, 3, 5000);
    QTest::mouseClick(w.form.FlatButton6, Qt::LeftButton);  // Stop
    const QString mac = w.grid().Cells(1, 1).GetCellText();
    const QString untouchedMac = w.grid().Cells(1, 0).GetCellText();
    const QString untouchedIp = w.grid().Cells(4, 0).GetCellText();

    typeInto(w.grid(), 4, 1, QStringLiteral("198.19.1.50"));
    typeInto(w.grid(), 5, 1, QStringLiteral("255.255.0.0"));
    typeInto(w.grid(), 3, 1, QStringLiteral("Boiler-7"));
    QCOMPARE(w.grid().Cells(8, 1).GetCellBool(), true);  // editing marked the row
    QTest::mouseClick(w.form.FlatButton1, Qt::LeftButton);
    QCOMPARE(w.fake.prompts.messages.last(),
             QStringLiteral("1 Device(s) ' configuration is Successful"));
    QTRY_COMPARE(w.sentSoFar().size(), 1);

    QTest::mouseClick(w.form.FlatButton2, Qt::LeftButton);  // Search again
    QTRY_COMPARE_WITH_TIMEOUT(w.form.DeviceCount, 3, 5000);
    const int row = rowOf(w.grid(), mac);
    QVERIFY(row >= 0);
    QCOMPARE(w.grid().Cells(4, row).GetCellText(), QStringLiteral("198.19.1.50"));
    QCOMPARE(w.grid().Cells(11, row).GetCellText(), QStringLiteral("198.19.1.50"));
    QCOMPARE(w.grid().Cells(5, row).GetCellText(), QStringLiteral("255.255.0.0"));
    QCOMPARE(w.grid().Cells(3, row).GetCellText(), QStringLiteral("Boiler-7"));
    QCOMPARE(w.grid().Cells(4, rowOf(w.grid(), untouchedMac)).GetCellText(), untouchedIp);
    QTest::mouseClick(w.form.FlatButton6, Qt::LeftButton);
}

QTEST_MAIN(TestApply)
#include "tst_apply.moc"
