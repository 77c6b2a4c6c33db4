// "Web" and "Telnet" as the operator meets them; the platform seam records what
// would be started.
#include "discovery/DiscoveryInbox.h"
#include "discovery/DiscoveryReply.h"
#include "discovery/DiscoveryTestData.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QPushButton>
#include <QtTest>

namespace {
DiscoveryReply gateway(int i) {
    DiscoveryReply r;
    r.Model = QStringLiteral("VX-100");
    r.Mac = QStringLiteral("00-1A-2B-00-00-0%1").arg(i);
    r.Version = QStringLiteral("1.0");
    r.DeviceName = QStringLiteral("GW-%1").arg(i);
    r.IpAddress = QStringLiteral("192.168.1.10%1").arg(i);
    r.SubnetMask = QStringLiteral("255.255.255.0");
    r.Gateway = QStringLiteral("192.168.1.1");
    r.ViewIp = QStringLiteral("0.0.0.0");
    return r;
}
}  // namespace

class TestRemoteAccess : public QObject {
    Q_OBJECT
private slots:
    void emptyListWarnsWithoutPause();
    void webAndTelnet_data();
    void webAndTelnet();
    void unreachableAsksFirst_data();
    void unreachableAsksFirst();
};

void TestRemoteAccess::emptyListWarnsWithoutPause() {
    FakeServices fake(1000.0);
    TFormDetect form(fake.services);
    for (QPushButton* button : {form.FlatButton4, form.FlatButton5}) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(fake.prompts.messages,
             QStringList(2, QStringLiteral("There is no Device.\r\nPlease search the Device.")));
    QVERIFY(fake.platform.started.isEmpty());
    QVERIFY(fake.platform.urls.isEmpty());
}

void TestRemoteAccess::webAndTelnet_data() {
    QTest::addColumn<bool>("web");
    QTest::addColumn<QString>("editedIp");  // empty: column 4 untouched
    QTest::addColumn<bool>("telnetInstalled");
    QTest::newRow("web") << true << QString() << true;
    QTest::newRow("telnet") << false << QString() << true;
    QTest::newRow("web, new IP not applied") << true << QStringLiteral("192.168.1.50") << true;
    QTest::newRow("telnet, new IP not applied") << false << QStringLiteral("192.168.1.50") << true;
    QTest::newRow("telnet missing: quietly nothing") << false << QString() << false;
}

void TestRemoteAccess::webAndTelnet() {
    QFETCH(bool, web);
    QFETCH(QString, editedIp);
    QFETCH(bool, telnetInstalled);
    FakeServices fake(1000.0);
    if (telnetInstalled)
        fake.platform.knownPrograms << "telnet"
                                    << "x-terminal-emulator";
    TFormDetect form(fake.services);
    form.show();
    for (int i = 1; i <= 3; ++i) form.AddDevice(gateway(i));
    form.JudgeReachability();          // every gateway reachable: nothing is asked
    form.RGrid->SetCurrentCell(1, 1);  // row 2 is current
    if (!editedIp.isEmpty()) form.RGrid->Cells(4, 1).SetCellText(editedIp);
    const QString arpIp = editedIp.isEmpty() ? QStringLiteral("192.168.1.102") : editedIp;

    const qint64 before = fake.clock.nowMs();
    QTest::mouseClick(web ? form.FlatButton4 : form.FlatButton5, Qt::LeftButton);
    QVERIFY(fake.clock.nowMs() - before >= 2000);  // the pause between arp and the client

    QVERIFY(!fake.platform.started.isEmpty());
    QCOMPARE(fake.platform.started.first().first, QStringLiteral("arp"));
    QCOMPARE(fake.platform.started.first().second, (QStringList{"-s", arpIp, "00:1A:2B:00:00:02"}));
    QVERIFY(fake.prompts.questions.isEmpty());
    const QStringList warning{
        QStringLiteral("You do not apply the new ip. so, This time use the previous IP")};
    QCOMPARE(fake.prompts.messages, editedIp.isEmpty() ? QStringList() : warning);
    if (web) {
        QCOMPARE(fake.platform.urls, QList<QUrl>{QUrl(QStringLiteral("http://192.168.1.102"))});
        QCOMPARE(fake.platform.started.size(), 1);
    } else {
        QVERIFY(fake.platform.urls.isEmpty());
        if (telnetInstalled) {
            QCOMPARE(fake.platform.started.size(), 2);
            QCOMPARE(fake.platform.started.last().second,
                     (QStringList{"-e", "telnet", "192.168.1.102"}));
        } else {
            QCOMPARE(fake.platform.started.size(), 1);
        }
    }
}

void TestRemoteAccess::unreachableAsksFirst_data() {
    QTest::addColumn<bool>("web");
    QTest::addColumn<bool>("goOn");
    QTest::newRow("web, stop") << true << false;
    QTest::newRow("telnet, stop") << false << false;
    QTest::newRow("web, go on") << true << true;
    QTest::newRow("telnet, go on") << false << true;
}

void TestRemoteAccess::unreachableAsksFirst() {
    QFETCH(bool, web);
    QFETCH(bool, goOn);
    FakeServices fake(1000.0);
    fake.platform.knownPrograms << "telnet"
                                << "x-terminal-emulator";
    // The PC is on 10.0.0.0/24 alone; the gateways answered on that link.
    fake.routes =
        FakeRoutes(QStringLiteral("plant=10.0.0.5/24"), QStringLiteral("10.0.0.0/24 plant"));
    fake.prompts.questionAnswers.enqueue(goOn);
    TFormDetect form(fake.services);
    form.show();
    // As the receiving thread hands them over: the engine notes the interface.
    for (int i = 1; i <= 3; ++i) form.UDPServerUDPRead(DatagramOf(gateway(i)), 1);
    form.DiscoveryReplies->DrainAll();
    form.JudgeReachability();
    form.RGrid->SetCurrentCell(1, 1);

    const qint64 before = fake.clock.nowMs();
    QTest::mouseClick(web ? form.FlatButton4 : form.FlatButton5, Qt::LeftButton);
    QCOMPARE(fake.prompts.questions.size(), 1);
    const QString question = fake.prompts.questions.first();
    QVERIFY2(question.startsWith(QStringLiteral("00-1A-2B-00-00-02 may not be reachable.\r\n\r\n"
                                                "192.168.1.102 is outside plant's network "
                                                "10.0.0.0/24")),
             qPrintable(question));
    // Each marked row is offered an address of its own: the first row took 10.0.0.1.
    QVERIFY2(question.contains(QStringLiteral("such as 10.0.0.2 ")), qPrintable(question));
    QVERIFY(question.endsWith(web ? QStringLiteral("Open its web page anyway?")
                                  : QStringLiteral("Start a Telnet session anyway?")));
    if (!goOn) {
        // Not even the ARP entry, and no pause.
        QVERIFY(fake.platform.started.isEmpty());
        QVERIFY(fake.platform.urls.isEmpty());
        QVERIFY(fake.clock.nowMs() - before < 2000);
        QVERIFY(fake.prompts.messages.isEmpty());
        return;
    }
    QCOMPARE(fake.platform.started.first().first, QStringLiteral("arp"));
    if (web) {
        QCOMPARE(fake.platform.urls, QList<QUrl>{QUrl(QStringLiteral("http://192.168.1.102"))});
    } else {
        QCOMPARE(fake.platform.started.last().second,
                 (QStringList{"-e", "telnet", "192.168.1.102"}));
    }
}

QTEST_MAIN(TestRemoteAccess)
#include "tst_remote_access.moc"
