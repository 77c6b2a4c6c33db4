// The "S" datagram and the command lines of Web and Telnet.
#include "actions/RemoteAccess.h"
#include "actions/SetNetwork.h"
#include "link/VarnexError.h"
#include "support/FakeSeams.h"

#include <QtTest>

namespace {
NetworkSettingsRow exampleRow() {
    NetworkSettingsRow r;
    r.mac = QStringLiteral("00-1A-2B-3C-4D-5E");
    r.ip = QStringLiteral("192.168.1.100");
    r.mask = QStringLiteral("255.255.255.0");
    r.gateway = QStringLiteral("192.168.1.1");
    r.viewIp = QStringLiteral("192.168.1.10");
    r.name = QStringLiteral("GW-1");
    return r;
}
}  // namespace

class TestSetNetwork : public QObject {
    Q_OBJECT
private slots:
    void datagram_data();
    void datagram();
    void undecodableFieldFails();
    void resultMessage();
    void arpCall();
    void telnetCall();
};

void TestSetNetwork::datagram_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("viewIp");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = QByteArray::fromHex("0253001a2b3c4d5ec0a80164c0a80101ffffff00");
    QTest::newRow("example row") << "GW-1" << "192.168.1.10"
                                 << head + QByteArray::fromHex("c0a8010a") + "GW-1" +
                                        QByteArray(28, '\0') + "\x03";
    QTest::newRow("empty name, VarnexView 0.0.0.0")
        << "" << "0.0.0.0" << head + QByteArray(4, '\0') + QByteArray(32, '\0') + "\x03";
    QTest::newRow("40-byte name cut to 32, no zero")
        << QString(40, QLatin1Char('n')) << "192.168.1.10"
        << head + QByteArray::fromHex("c0a8010a") + QByteArray(32, 'n') + "\x03";
}

void TestSetNetwork::datagram() {
    QFETCH(QString, name);
    QFETCH(QString, viewIp);
    QFETCH(QByteArray, expected);
    NetworkSettingsRow r = exampleRow();
    r.name = name;
    r.viewIp = viewIp;
    const QByteArray got = BuildSetNetwork(r);
    QCOMPARE(got.size(), 57);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
}

void TestSetNetwork::undecodableFieldFails() {
    NetworkSettingsRow r = exampleRow();
    r.mac = QStringLiteral("00-1A-2B-3C-4D-5G");
    QVERIFY_THROWS_EXCEPTION(VarnexError, BuildSetNetwork(r));
    r = exampleRow();
    r.mask = QStringLiteral("255.255.255");  // would shift every later field
    QVERIFY_THROWS_EXCEPTION(VarnexError, BuildSetNetwork(r));
}

void TestSetNetwork::resultMessage() {
    QCOMPARE(ApplyResultMessage(0), QStringLiteral("No device is applied."));
    QCOMPARE(ApplyResultMessage(3), QStringLiteral("3 Device(s) ' configuration is Successful"));
}

void TestSetNetwork::arpCall() {
    const ProgramCall c = ArpEntryCall(QStringLiteral("192.168.1.100"), QStringLiteral("00-1A-2B-3C-4D-5E"));
    QCOMPARE(c.program, QStringLiteral("arp"));
    QCOMPARE(c.arguments, (QStringList{"-s", "192.168.1.100", "00:1A:2B:3C:4D:5E"}));
    // A cell text is one argument, whatever it holds: nothing reaches a shell.
    const ProgramCall odd = ArpEntryCall(QStringLiteral("1.2.3.4; rm -rf /"), QStringLiteral("x"));
    QCOMPARE(odd.arguments.at(1), QStringLiteral("1.2.3.4; rm -rf /"));
}

void TestSetNetwork::telnetCall() {
    FakePlatform platform;
    QVERIFY(!TelnetCall(QStringLiteral("10.0.0.1"), platform).isValid());  // nothing installed
    platform.knownPrograms << QStringLiteral("telnet");
    QVERIFY(!TelnetCall(QStringLiteral("10.0.0.1"), platform).isValid());  // no terminal
    platform.knownPrograms << QStringLiteral("xterm");
    const ProgramCall c = TelnetCall(QStringLiteral("10.0.0.1"), platform);
    QCOMPARE(c.program, QStringLiteral("/usr/bin/xterm"));
    QCOMPARE(c.arguments, (QStringList{"-e", "telnet", "10.0.0.1"}));
    platform.knownPrograms = QStringList{QStringLiteral("telnet"), QStringLiteral("gnome-terminal")};
    QCOMPARE(TelnetCall(QStringLiteral("10.0.0.1"), platform).arguments,
             (QStringList{"--", "telnet", "10.0.0.1"}));
}

QTEST_APPLESS_MAIN(TestSetNetwork)
#include "tst_set_network.moc"
