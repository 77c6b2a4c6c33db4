#include "SimDiscovery.h"
#include "SimTestUtil.h"
#include "Simulator.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

#include <QSet>
#include <QtTest>

// The gateways as the program sees them: discovery replies byte for byte,
// unicast requests, the "S" datagram, and what a gateway must ignore.
class TestSimGateways : public QObject {
    Q_OBJECT
private slots:
    void discoveryReplyLayout_data();
    void discoveryReplyLayout();
    void requestReachesAddressedGatewaysOnly_data();
    void requestReachesAddressedGatewaysOnly();
    void setNetworkChangesOneGateway_data();
    void setNetworkChangesOneGateway();
    void setNetworkTakenBackByDiscovery();
    void ignoredDatagrams_data();
    void ignoredDatagrams();
    void firstByteIsNotChecked();
    void thousandsOfGateways();
};

void TestSimGateways::discoveryReplyLayout_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("defaults, first gateway")
        << QStringList{}
        << QByteArray::fromHex(
               "0267"
               "001A2B000001"
               "C613000A"
               "C6130001"
               "FFFF0000") +
               "Lobby" + zeros(27) + QByteArray::fromHex("C6130002") + "1.0.3" + zeros(3) +
               "VX-G200" + zeros(13) + QByteArray::fromHex("03");
    // Full-width fields leave no zero byte; 0x03 inside the payload is data.
    QTest::newRow("full-width texts, 03 bytes in addresses")
        << QStringList{"--first-mac", "03-03-03-03-03-03",
                       "--first-ip",  "3.3.3.3",
                       "--gateway",   "3.3.3.1",
                       "--mask",      "255.255.255.0",
                       "--view-ip",   "0.0.0.0",
                       "--name",      "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456",
                       "--version",   "12345678",
                       "--model",     "ABCDEFGHIJKLMNOPQRST"}
        << QByteArray::fromHex(
               "0267"
               "030303030303"
               "03030303"
               "03030301"
               "FFFFFF00") +
               "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345" + zeros(4) + "12345678" + "ABCDEFGHIJKLMNOPQRST" +
               QByteArray::fromHex("03");
    QTest::newRow("UTF-8 name") << QStringList{"--name",    QString::fromUtf8("Größe"),
                                               "--version", "",
                                               "--model",   "M"}
                                << QByteArray::fromHex(
                                       "0267"
                                       "001A2B000001"
                                       "C613000A"
                                       "C6130001"
                                       "FFFF0000") +
                                       QByteArray::fromHex("4772C3B6C39F65") + zeros(25) +
                                       QByteArray::fromHex("C6130002") + zeros(8) + "M" +
                                       zeros(19) + QByteArray::fromHex("03");
}

void TestSimGateways::discoveryReplyLayout() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    Simulator sim(simOptions(args + QStringList{"--count", "1"}));
    const SimReplies replies = sim.handle(QByteArray::fromHex("026703"), "198.18.0.1", 2058);
    QCOMPARE(replies.size(), size_t(1));
    QCOMPARE(expected.size(), 85);
    QCOMPARE(replies[0].data.toHex(' '), expected.toHex(' '));
    QCOMPARE(replies[0].delayMs, 0);
    QVERIFY(!replies[0].toSender);
}

void TestSimGateways::requestReachesAddressedGatewaysOnly_data() {
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QStringList>("macs");
    const QStringList all{"00-1A-2B-00-00-01", "00-1A-2B-00-00-02", "00-1A-2B-00-00-03"};
    QTest::newRow("not known: broadcast") << QString() << all;
    QTest::newRow("limited broadcast") << "255.255.255.255" << all;
    QTest::newRow("subnet broadcast") << "198.19.255.255" << all;
    QTest::newRow("second gateway's address") << "198.19.0.11" << QStringList{"00-1A-2B-00-00-02"};
    QTest::newRow("address nobody holds") << "198.19.0.99" << QStringList{};
    QTest::newRow("another subnet's broadcast") << "198.18.255.255" << QStringList{};
}

void TestSimGateways::requestReachesAddressedGatewaysOnly() {
    QFETCH(QString, destination);
    QFETCH(QStringList, macs);
    Simulator sim(simOptions());
    QStringList answered;
    for (const SimReply& r :
         sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058, destination)) {
        answered << DecodeMac(r.data.mid(2, 6));
    }
    QCOMPARE(answered, macs);
}

void TestSimGateways::setNetworkChangesOneGateway_data() {
    QTest::addColumn<QByteArray>("nameField");
    QTest::addColumn<QString>("name");
    QTest::newRow("short name") << QByteArray("Renamed") + zeros(25) << "Renamed";
    QTest::newRow("empty name") << zeros(32) << "";
    // Without a zero byte a gateway drops the last byte, as the decoder does.
    QTest::newRow("32 letters, no zero")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef") << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    // Ten 3-byte characters and two bytes of an eleventh: the cut one is lost.
    QTest::newRow("cut inside a character")
        << QByteArray::fromHex(QByteArray("E282AC").repeated(10) + "E282")
        << QString(QChar(0x20AC)).repeated(10);
}

void TestSimGateways::setNetworkChangesOneGateway() {
    QFETCH(QByteArray, nameField);
    QFETCH(QString, name);
    Simulator sim(simOptions());
    const QJsonObject before = sim.toJson();
    const QByteArray s = setNetworkDatagram("001A2B000002", "C0A80164", "C0A80101", "FFFFFF00",
                                            "C0A8010A", nameField);
    QCOMPARE(s.size(), 57);
    QVERIFY(sim.handle(s, "198.18.0.1", 2058).empty());

    const SimGateway& gw = sim.gateways()[1];
    QCOMPARE(DecodeIPv4(gw.ip), QString("192.168.1.100"));
    QCOMPARE(DecodeIPv4(gw.gateway), QString("192.168.1.1"));
    QCOMPARE(DecodeIPv4(gw.mask), QString("255.255.255.0"));
    QCOMPARE(DecodeIPv4(gw.viewIp), QString("192.168.1.10"));
    QCOMPARE(gw.name, name);
    QCOMPARE(gw.model, QString("VX-G400"));
    const QJsonArray was = before["gateways"].toArray();
    const QJsonArray now = sim.toJson()["gateways"].toArray();
    QCOMPARE(now[0], was[0]);
    QCOMPARE(now[2], was[2]);
}

void TestSimGateways::setNetworkTakenBackByDiscovery() {
    Simulator sim(simOptions());
    const QByteArray s = setNetworkDatagram("001A2B000003", "C6130202", "C6130001", "FFFF0000",
                                            "01020304", QByteArray("GW-1") + zeros(28));
    // Sent to another gateway's address, it never reaches the one it names.
    sim.handle(s, "198.18.0.1", 2058, "198.19.0.10");
    QCOMPARE(sim.gateways()[2].name, QString("Yard"));
    sim.handle(s, "198.18.0.1", 2058, "198.19.0.12");
    QCOMPARE(sim.gateways()[2].name, QString("GW-1"));

    // The new address now answers a unicast request, with the new settings.
    const SimReplies replies =
        sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058, "198.19.2.2");
    QCOMPARE(replies.size(), size_t(1));
    QCOMPARE(replies[0].data.mid(2, 18).toHex(), QByteArray("001a2b000003"
                                                            "c6130202"
                                                            "c6130001"
                                                            "ffff0000"));
    QCOMPARE(replies[0].data.mid(20, 32), QByteArray("GW-1") + zeros(28));
    QCOMPARE(replies[0].data.mid(52, 4).toHex(), QByteArray("01020304"));
}

void TestSimGateways::ignoredDatagrams_data() {
    QTest::addColumn<QByteArray>("datagram");
    const QByteArray s = setNetworkDatagram("001A2B000001", "01010101", "01010101", "01010101",
                                            "01010101", QByteArray("X") + zeros(31));
    Simulator reference(simOptions());
    const QByteArray reply = BuildDiscoveryReply(reference.gateways()[0]);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray::fromHex("02");
    QTest::newRow("STX ETX") << QByteArray::fromHex("0203");
    QTest::newRow("3 bytes, upper-case G") << QByteArray::fromHex("024703");
    QTest::newRow("3 bytes, g without ETX") << QByteArray::fromHex("026700");
    QTest::newRow("4 bytes, g") << QByteArray::fromHex("02670003");
    QTest::newRow("a gateway's g reply, echoed") << reply;
    QTest::newRow("S one byte short") << s.left(55) + QByteArray::fromHex("03");
    QTest::newRow("S one byte long") << s.left(56) + QByteArray::fromHex("0003");
    QTest::newRow("S without ETX") << s.left(56) + QByteArray::fromHex("00");
    QTest::newRow("S for an unknown MAC") << setNetworkDatagram(
        "001A2B0000FF", "01010101", "01010101", "01010101", "01010101", zeros(32));
    QTest::newRow("S cut after the letter") << QByteArray::fromHex("025303");
    QTest::newRow("lower-case s") << QByteArray(s).replace(1, 1, "s");
    QTest::newRow("unknown letter") << QByteArray::fromHex("025A001A2B00000103");
}

void TestSimGateways::ignoredDatagrams() {
    QFETCH(QByteArray, datagram);
    Simulator sim(simOptions());
    const QJsonObject before = sim.toJson();
    QVERIFY(sim.handle(datagram, "198.18.0.1", 2058).empty());
    QCOMPARE(sim.toJson(), before);
}

void TestSimGateways::firstByteIsNotChecked() {
    Simulator sim(simOptions());
    QCOMPARE(sim.handle(QByteArray::fromHex("586703"), "198.18.0.1", 2058).size(), size_t(3));
}

void TestSimGateways::thousandsOfGateways() {
    // The MAC's last byte carries into the next one after the first gateway.
    Simulator sim(simOptions({"--count", "5000", "--first-mac", "00-1A-2B-00-00-FF"}));
    const SimReplies replies = sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058);
    QCOMPARE(replies.size(), size_t(5000));
    QSet<QByteArray> macs;
    for (const SimReply& r : replies) {
        QCOMPARE(r.data.size(), 85);
        macs.insert(r.data.mid(2, 6));
    }
    QCOMPARE(macs.size(), 5000);
    QCOMPARE(replies[1].data.mid(2, 6).toHex(), QByteArray("001a2b000100"));
    QCOMPARE(DecodeIPv4(replies.back().data.mid(8, 4)), QString("198.19.19.145"));  // .10 + 4999
    QVERIFY(sim.findByMac(QByteArray::fromHex("001A2B001486")) == &sim.gateways().back());
    QVERIFY(sim.findByMac(QByteArray::fromHex("001A2B001487")) == nullptr);
}

QTEST_GUILESS_MAIN(TestSimGateways)
#include "tst_simgateways.moc"
