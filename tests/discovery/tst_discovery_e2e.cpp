// Sessions at the gateways: the program in its namespace, simulated gateways in
// theirs, "Search" and "Search IP" pressed as the operator would.
#include "engine/GatewayEngine.h"
#include "mainwindow/TFormDetect.h"
#include "mainwindow/TFormSearchIP.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

namespace {
const QStringList kGateways{"--count",     "3",
                            "--first-mac", "00-1A-2B-00-00-01",
                            "--first-ip",  "198.19.0.10",
                            "--mask",      "255.255.0.0",
                            "--gateway",   "198.19.0.1",
                            "--view-ip",   "198.19.0.2",
                            "--model",     "VX-G200,VX-G400,VX-G100",
                            "--version",   "1.0.3,1.2.3456,2.1.7",
                            "--name",      "Lobby,Workshop,Yard",
                            "--quiet"};

// The simulator for one test, asked to quit when the test ends.
struct Gateways {
    explicit Gateways(const QStringList& args) : process(NetnsEnv::startSimulator(args)) {}
    ~Gateways() {
        process->write("quit\n");
        if (!process->waitForFinished(3000)) process->kill();
        process->waitForFinished(1000);
    }
    std::unique_ptr<QProcess> process;
};

QString cell(TFormDetect& form, int col, int row) {
    return form.RGrid->Cells(col, row).GetCellText();
}

// Answers the Search by IP dialog once it is shown.
void answerSearchIP(TFormDetect& form, const QString& address) {
    QTimer::singleShot(0, &form, [&form, address] {
        auto* dialog = form.findChild<TFormSearchIP*>();
        if (!dialog) return;
        dialog->FlatEdit1->setText(address);
        dialog->FlatSpeedButton1->click();
    });
}

// Lists a few rows without the network, so that a clear can be seen.
void prefill(TFormDetect& form) {
    for (const char* mac : {"AA0000000001", "AA0000000002"}) {
        QByteArray d("\x02g", 2);
        d += QByteArray::fromHex(mac) + QByteArray(76, '\x01');
        d += '\x03';
        form.UDPServerUDPRead(d);
    }
    QTRY_COMPARE(form.DeviceCount, 2);
}
}  // namespace

class TestDiscoveryE2E : public QObject {
    Q_OBJECT
private slots:
    void init();
    void searchListsGatewaysInArrivalOrder();
    void duplicatesAndOwnEchoAddNoRow();
    void stopEndsTheWindow();
    void searchIPFindsOneGateway();
    void searchIPWithNobodyThere();
    void portHeldBySomeoneElse_data();
    void portHeldBySomeoneElse();
    void repeatsFindWhatOneRequestMissed();
    void stopCancelsRepeats();
};

void TestDiscoveryE2E::init() {
    REQUIRE_NETNS();
}

void TestDiscoveryE2E::searchListsGatewaysInArrivalOrder() {
    Gateways sim(kGateways);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    form.lblcount->setText(QStringLiteral("Current : 7"));
    form.FlatButton2->click();
    QVERIFY(form.PnlTime->isVisible());
    QVERIFY(!form.FlatPanel1->isEnabled());
    QCOMPARE(form.RowsBeforeSearch, -1);
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, 3, 5000);
    const QStringList models{"VX-G200", "VX-G400", "VX-G100"};
    const QStringList versions{"1.0.3", "1.2.345", "2.1.7"};  // 8 characters keep 7
    const QStringList names{"Lobby", "Workshop", "Yard"};
    for (int row = 0; row < 3; ++row) {
        const QString ip = QStringLiteral("198.19.0.%1").arg(10 + row);
        QCOMPARE(cell(form, 0, row), models.at(row));
        QCOMPARE(cell(form, 1, row), QStringLiteral("00-1A-2B-00-00-0%1").arg(row + 1));
        QCOMPARE(cell(form, 2, row), versions.at(row));
        QCOMPARE(cell(form, 3, row), names.at(row));
        QCOMPARE(cell(form, 4, row), ip);
        QCOMPARE(cell(form, 5, row), QStringLiteral("255.255.0.0"));
        QCOMPARE(cell(form, 6, row), QStringLiteral("198.19.0.1"));
        QCOMPARE(cell(form, 7, row), QStringLiteral("198.19.0.2"));
        QCOMPARE(cell(form, 8, row), QStringLiteral("False"));
        QCOMPARE(cell(form, 11, row), ip);
    }
    QCOMPARE(form.lblcount->text(), QStringLiteral("Current : 3"));
    QVERIFY(fake.prompts.errors.isEmpty());
    form.FlatButton6->click();
}

void TestDiscoveryE2E::duplicatesAndOwnEchoAddNoRow() {
    Gateways sim(kGateways + QStringList{"--fault", "duplicate"});
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    form.FlatButton2Click();
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, 3, 5000);
    // Give the second copies (and our own echoed request) time to arrive.
    QTest::qWait(500);
    QCOMPARE(form.DeviceCount, 3);
    QCOMPARE(form.RGrid->RowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(cell(form, 1, row), QStringLiteral("00-1A-2B-00-00-0%1").arg(row + 1));
    }
    form.FlatButton6Click();
}

void TestDiscoveryE2E::stopEndsTheWindow() {
    Gateways sim(kGateways + QStringList{"--fault", "delay=1000"});
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    form.FlatButton2Click();
    QVERIFY(form.UDPServer->Active());
    form.FlatButton6->click();
    QVERIFY(form.PnlTime->isHidden());
    QVERIFY(!form.TimerFIND->isActive());
    QVERIFY(!form.UDPServer->Active());
    QVERIFY(form.FlatPanel1->isEnabled());
    QVERIFY(form.FlatPanel2->isEnabled());
    // The replies come after the window closed: none is listed.
    QTest::qWait(1800);
    QCOMPARE(form.DeviceCount, 0);
    QVERIFY(fake.prompts.messages.isEmpty());
}

void TestDiscoveryE2E::searchIPFindsOneGateway() {
    Gateways sim(kGateways);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    prefill(form);
    answerSearchIP(form, QStringLiteral("198.19.0.11"));
    form.FlatButton3->click();
    QVERIFY(form.findChildren<TFormSearchIP*>().isEmpty());
    QCOMPARE(form.RowsBeforeSearch, 0);
    QVERIFY(form.PnlTime->isVisible());
    QVERIFY(!form.UDPServer->BroadcastEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, 1, 5000);
    QCOMPARE(cell(form, 1, 0), QStringLiteral("00-1A-2B-00-00-02"));
    QCOMPARE(cell(form, 4, 0), QStringLiteral("198.19.0.11"));
    // The rest of the window passes quietly.
    QTest::qWait(300);
    QCOMPARE(form.DeviceCount, 1);
    while (form.TimerFIND->isActive()) form.TimerFINDTimer();
    QVERIFY(fake.prompts.messages.isEmpty());

    // A plain Search afterwards still broadcasts, though the switch was left off.
    form.FlatButton2Click();
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, 3, 5000);
    form.FlatButton6Click();
}

void TestDiscoveryE2E::searchIPWithNobodyThere() {
    Gateways sim(kGateways);
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    prefill(form);
    answerSearchIP(form, QStringLiteral("198.19.0.99"));
    form.FlatButton3Click();
    QCOMPARE(form.DeviceCount, 0);  // the earlier devices vanish at once
    QVERIFY(form.PnlTime->isVisible());
    // The real ten-second window, with its timer.
    QTRY_VERIFY_WITH_TIMEOUT(form.PnlTime->isHidden(), 15000);
    QCOMPARE(fake.prompts.messages, QStringList{"There is no brinmore."});
    QCOMPARE(form.DeviceCount, 0);
    QVERIFY(!form.UDPServer->Active());
    QVERIFY(fake.prompts.errors.isEmpty());
}

void TestDiscoveryE2E::portHeldBySomeoneElse_data() {
    QTest::addColumn<bool>("byAddress");
    QTest::newRow("Search") << false;
    QTest::newRow("Search IP") << true;
}

void TestDiscoveryE2E::portHeldBySomeoneElse() {
    QFETCH(bool, byAddress);
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 2058));
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    prefill(form);
    if (byAddress) {
        answerSearchIP(form, QStringLiteral("198.19.0.10"));
        form.FlatButton3Click();
        QCOMPARE(form.RowsBeforeSearch, 0);
        QVERIFY(form.findChildren<TFormSearchIP*>().isEmpty());
    } else {
        form.FlatButton2Click();
    }
    QCOMPARE(fake.prompts.errors,
             QStringList{"Could not bind socket. Address and port are already in use."});
    QCOMPARE(form.DeviceCount, 0);
    QCOMPARE(form.RGrid->RowCount(), 0);
    QVERIFY(form.PnlTime->isHidden());
    QVERIFY(!form.TimerFIND->isActive());
    QVERIFY(!form.UDPServer->Active());
    QVERIFY(form.FlatPanel1->isEnabled());
}

void TestDiscoveryE2E::repeatsFindWhatOneRequestMissed() {
    // Half of all replies are lost: the repeats list gateways whose first
    // reply never came, each still once.
    Gateways sim({"--count", "40", "--quiet", "--seed", "7", "--fault", "loss=50"});
    FakeServices fake(10);  // the repeats come 0.1 s and 0.3 s after the first request
    TFormDetect form(fake.services);
    form.show();
    form.FlatButton2Click();
    QTest::qWait(60);
    const int afterFirst = form.DeviceCount;
    QTest::qWait(600);
    QVERIFY2(form.DeviceCount > afterFirst,
             qPrintable(QStringLiteral("%1 then %2").arg(afterFirst).arg(form.DeviceCount)));
    QSet<QString> macs;
    for (int row = 0; row < form.DeviceCount; ++row) macs.insert(cell(form, 1, row));
    QCOMPARE(macs.size(), form.DeviceCount);
    form.FlatButton6Click();
}

void TestDiscoveryE2E::stopCancelsRepeats() {
    // Every reply comes 0.2 s late; Stop before any came: neither the late
    // replies nor those to repeats that would have followed add a row.
    Gateways sim(kGateways + QStringList{"--fault", "delay=200"});
    FakeServices fake(10);
    TFormDetect form(fake.services);
    form.show();
    form.FlatButton2Click();
    form.FlatButton6Click();
    QTest::qWait(800);
    QCOMPARE(form.DeviceCount, 0);
    QVERIFY(!form.Engine->PortOpen());
}

QTEST_MAIN(TestDiscoveryE2E)
#include "tst_discovery_e2e.moc"
