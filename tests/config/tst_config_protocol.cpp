#include "config/ConfigProtocol.h"
#include "link/VarnexError.h"

#include "support/ErrorOf.h"

#include <QtTest>
#include <functional>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");
const char* kMacHex = "001a2b3c4d5e";

QByteArray hex(const QByteArray& h) {
    return QByteArray::fromHex(h);
}

// A network reply: static address, 192.168.1.100, name GW-1, 2 rows,
// 07 at 77, EchoByte 5, source ID 0x123456.
QByteArray networkReply(const char* mac = kMacHex) {
    return hex(QByteArray("026e") + mac +
               "00"
               "c0a80164"
               "c0a80101"
               "ffffff00"
               "08080808" +
               QByteArray("GW-1").toHex() + QByteArray(28, '\0').toHex() +
               "c6120005"
               "901f"
               "01000101"
               "01"
               "00"
               "0a000001"
               "ffff0000"
               "07"
               "02"
               "05"
               "563412"
               "03");
}

// Operation row 1: RFC2217, 4001, alias COM1, 10.0.0.5:4001, alive 30, latency 5.
QByteArray portReply(int row = 1, int op = 9, const char* mac = kMacHex) {
    return hex(QByteArray("026f") + mac + QByteArray::number(row, 16).rightJustified(2, '0') +
               QByteArray::number(op, 16).rightJustified(2, '0') + "a10f" +
               QByteArray("COM1").toHex() + QByteArray(12, '\0').toHex() +
               "0a000005"
               "a10f"
               "1e00"
               "0500"
               "03");
}

// LoRa row: channel 20, SF 12, destination 16777215, AES on, version 2.
QByteArray loraReply(int row, const QByteArray& codes = "140cffffff0102") {
    return hex(QByteArray("0275") + kMacHex + QByteArray::number(row, 16).rightJustified(2, '0') +
               codes + "03");
}

QByteArray withByte(QByteArray d, int offset, int value) {
    d[offset] = static_cast<char>(value);
    return d;
}

NetworkSettings sampleNetwork(int rows = 2) {
    NetworkSettings n;
    ParseNetworkConfig(networkReply(), n);
    n.portCount = rows;
    return n;
}

PortRow samplePort() {
    PortRow p;
    p.alias = QStringLiteral("COM1");
    p.operation = 9;
    p.srcPort = QStringLiteral("4001");
    p.destIp = QStringLiteral("10.0.0.5");
    p.destPort = QStringLiteral("4001");
    p.alive = QStringLiteral("0");
    p.latency = QStringLiteral("0");
    return p;
}

LoRaRow sampleLoRa() {
    LoRaRow l;
    l.channel = 19;
    l.spreadingFactor = 5;
    l.destinationId = QStringLiteral("16777215");
    l.aes = 1;
    l.protocolVersion = 1;
    return l;
}

DeviceConfig sampleConfig() {
    DeviceConfig c;
    c.network = sampleNetwork(2);
    c.ports = {samplePort(), samplePort()};
    c.loras = {sampleLoRa(), sampleLoRa()};
    return c;
}

using Mutation = std::function<void(DeviceConfig&)>;
}  // namespace
Q_DECLARE_METATYPE(Mutation)
Q_DECLARE_METATYPE(ConfigReply::Kind)

class TestConfigProtocol : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void operationRowExample();
    void loraRowExample();
    void loraCodesOutsideListsAreWrittenAsTheyFall();
    void networkWriteAfterReply();
    void networkReplyFields();
    void rowReplyFields();
    void aliasBytesKeptUntilEdited();
    void replyKind_data();
    void replyKind();
    void writeRefusesWhatItCannotSendFaithfully_data();
    void writeRefusesWhatItCannotSendFaithfully();
    void writeBuildsOnlyMarkedSectionsInOrder();
};

void TestConfigProtocol::requests_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("query N") << ConfigQuery(ConfigSection::Network, kMac)
                             << hex("024e001a2b3c4d5e03");
    QTest::newRow("query O") << ConfigQuery(ConfigSection::Operation, kMac)
                             << hex("024f001a2b3c4d5e03");
    QTest::newRow("query U") << ConfigQuery(ConfigSection::LoRa, kMac) << hex("0255001a2b3c4d5e03");
    QTest::newRow("apply A") << ConfigApply(kMac) << hex("0241001a2b3c4d5e03");
    // A text that is not a MAC is refused, as by every other builder, rather
    // than addressing some other gateway (or all-zero) instead.
    const auto refused = [](const std::function<QByteArray()>& build) {
        try {
            return build();
        } catch (const VarnexError&) {
            return QByteArray("refused");
        }
    };
    QTest::newRow("non-hex MAC pair is refused") << refused([] {
        return ConfigQuery(ConfigSection::Network, QStringLiteral("00-1A-ZZ-3C-4D-5E"));
    }) << QByteArray("refused");
    QTest::newRow("N/A label is refused")
        << refused([] { return ConfigApply(QStringLiteral("N/A")); }) << QByteArray("refused");
}

void TestConfigProtocol::requests() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestConfigProtocol::operationRowExample() {
    const QByteArray d = BuildPortConfig(kMac, 0, samplePort());
    const QByteArray expected =
        hex("024f001a2b3c4d5e"
            "00"
            "09"
            "a10f"
            "434f4d31000000000000000000000000"
            "0a000005"
            "a10f"
            "0000"
            "0000"
            "03");
    QCOMPARE(d.size(), 39);
    QCOMPARE(d.toHex(' '), expected.toHex(' '));
}

void TestConfigProtocol::loraRowExample() {
    const QByteArray d = BuildLoRaConfig(kMac, 3, sampleLoRa());
    QCOMPARE(d.toHex(' '), hex("0255001a2b3c4d5e03140cffffff010203").toHex(' '));
}

void TestConfigProtocol::loraCodesOutsideListsAreWrittenAsTheyFall() {
    // Empty list cells (a row no reply filled) carry the list's "nothing" codes.
    LoRaRow empty;
    QCOMPARE(BuildLoRaConfig(kMac, 0, empty).mid(8).toHex(' '),
             hex("000006000000ff0003").toHex(' '));
}

void TestConfigProtocol::networkWriteAfterReply() {
    NetworkSettings n;
    QVERIFY(ParseNetworkConfig(networkReply(), n));
    const QByteArray w = BuildNetworkConfig(kMac, n);
    // The write is the reply with an upper-case letter, 77 cleared and no source ID.
    QByteArray expected = networkReply();
    expected[1] = 'N';
    expected[77] = 0;
    expected.replace(80, 3, QByteArray(3, '\0'));
    QCOMPARE(w.size(), 84);
    QCOMPARE(w.toHex(' '), expected.toHex(' '));
    QCOMPARE(w.mid(77, 6).toHex(' '), hex("000205000000").toHex(' '));
}

void TestConfigProtocol::networkReplyFields() {
    NetworkSettings n;
    QVERIFY(ParseNetworkConfig(networkReply(), n));
    QCOMPARE(n.networkType, 0);
    QCOMPARE(n.ipAddress, QStringLiteral("192.168.1.100"));
    QCOMPARE(n.gateway, QStringLiteral("192.168.1.1"));
    QCOMPARE(n.subnetMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(n.dns, QStringLiteral("8.8.8.8"));
    QCOMPARE(n.deviceName, QStringLiteral("GW-1"));
    QCOMPARE(n.varnexViewIp, QStringLiteral("198.18.0.5"));
    QCOMPARE(n.varnexViewPort, QStringLiteral("8080"));
    QCOMPARE((QList<int>{n.telnet, n.ssh, n.ftp, n.web}), (QList<int>{1, 0, 1, 1}));
    QVERIFY(n.lanPortPresent);
    QCOMPARE(n.bridge, 0);
    QCOMPARE(n.lanIpAddress, QStringLiteral("10.0.0.1"));
    QCOMPARE(n.lanSubnetMask, QStringLiteral("255.255.0.0"));
    QCOMPARE(n.portCount, 2);
    QCOMPARE(n.echoByte, 5);
    QCOMPARE(n.sourceId, quint32(1193046));

    NetworkSettings edge;
    QByteArray d = networkReply();
    d.replace(80, 3, hex("010000"));
    d[67] = 2;  // only 1 means a LAN port
    QVERIFY(ParseNetworkConfig(d, edge));
    QCOMPARE(edge.sourceId, quint32(1));
    QVERIFY(!edge.lanPortPresent);
    d.replace(80, 3, hex("ffffff"));
    QVERIFY(ParseNetworkConfig(d, edge));
    QCOMPARE(edge.sourceId, quint32(16777215));
}

void TestConfigProtocol::rowReplyFields() {
    PortReply p;
    QVERIFY(ParsePortConfig(portReply(1), 2, p));
    QCOMPARE(p.row, 1);
    QCOMPARE(p.cells.operation, 9);
    QCOMPARE(p.cells.srcPort, QStringLiteral("4001"));
    QCOMPARE(p.cells.alias, QStringLiteral("COM1"));
    QCOMPARE(p.cells.destIp, QStringLiteral("10.0.0.5"));
    QCOMPARE(p.cells.destPort, QStringLiteral("4001"));
    QCOMPARE(p.cells.alive, QStringLiteral("30"));
    QCOMPARE(p.cells.latency, QStringLiteral("5"));
    QCOMPARE(BuildPortConfig(kMac, p.row, p.cells).mid(2), portReply(1).mid(2));

    LoRaReply l;
    QVERIFY(ParseLoRaConfig(loraReply(0,
                                      "0107000000"
                                      "0001"),
                            2, l));
    QCOMPARE(l.cells.channel, 0);
    QCOMPARE(l.cells.spreadingFactor, 0);
    QCOMPARE(l.cells.destinationId, QStringLiteral("0"));
    QCOMPARE(l.cells.aes, 0);
    QCOMPARE(l.cells.protocolVersion, 0);
    QVERIFY(ParseLoRaConfig(loraReply(1), 2, l));
    QCOMPARE(l.row, 1);
    QCOMPARE(ConfigLists::Channel().at(l.cells.channel), QStringLiteral("20"));
    QCOMPARE(ConfigLists::SpreadingFactor().at(l.cells.spreadingFactor), QStringLiteral("12"));
    QCOMPARE(l.cells.destinationId, QStringLiteral("16777215"));
    QCOMPARE(ConfigLists::ProtocolVersion().at(l.cells.protocolVersion), QStringLiteral("2.0"));
}

void TestConfigProtocol::aliasBytesKeptUntilEdited() {
    // Bytes after the alias's first 0x00 are not shown but travel back unchanged.
    QByteArray reply = portReply(0);
    reply.replace(12, 16, QByteArray("AB\0junk-after-nu", 16));
    PortReply p;
    QVERIFY(ParsePortConfig(reply, 1, p));
    QCOMPARE(p.cells.alias, QStringLiteral("AB"));
    QCOMPARE(BuildPortConfig(kMac, 0, p.cells).mid(12, 16), reply.mid(12, 16));
    p.cells.alias = QStringLiteral("ABC");
    QCOMPARE(BuildPortConfig(kMac, 0, p.cells).mid(12, 16),
             QByteArray("ABC").leftJustified(16, '\0'));
}

void TestConfigProtocol::replyKind_data() {
    using K = ConfigReply::Kind;
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("portCount");
    QTest::addColumn<K>("kind");
    const QByteArray n = networkReply();
    QTest::newRow("n") << n << 0 << K::Network;
    QTest::newRow("n longer than its layout") << n.left(83) + hex("ff03") << 0 << K::Network;
    QTest::newRow("n one byte short") << n.left(82) + hex("03") << 0 << K::Ignore;
    QTest::newRow("n first byte not STX") << withByte(n, 0, 'X') << 0 << K::Network;
    QTest::newRow("n without final ETX") << withByte(n, 83, 0) << 0 << K::Ignore;
    QTest::newRow("n of another gateway") << networkReply("001a2b3c4d60") << 0 << K::Ignore;
    QTest::newRow("our own N query echoed")
        << ConfigQuery(ConfigSection::Network, kMac) << 0 << K::Ignore;
    QTest::newRow("our own N write echoed") << withByte(n, 1, 'N') << 0 << K::Ignore;
    QTest::newRow("too short for a MAC") << hex("026e001a2b03") << 0 << K::Ignore;
    QTest::newRow("3 bytes") << hex("026103") << 0 << K::Ignore;
    QTest::newRow("o row 1 of 2") << portReply(1) << 2 << K::Port;
    QTest::newRow("o row 2 of 2") << portReply(2) << 2 << K::Ignore;
    QTest::newRow("o with no rows yet") << portReply(0) << 0 << K::Ignore;
    QTest::newRow("o operation 9") << portReply(0, 9) << 1 << K::Port;
    QTest::newRow("o operation 10") << portReply(0, 10) << 1 << K::Ignore;
    QTest::newRow("o short") << portReply(0).left(37) + hex("03") << 1 << K::Ignore;
    QTest::newRow("o of another gateway") << portReply(0, 1, "001a2b3c4d60") << 1 << K::Ignore;
    QTest::newRow("u all lowest codes") << loraReply(0,
                                                     "0107010000"
                                                     "0001")
                                        << 1 << K::LoRa;
    QTest::newRow("u channel 0") << loraReply(0,
                                              "0007010000"
                                              "0001")
                                 << 1 << K::Ignore;
    QTest::newRow("u channel 21") << loraReply(0,
                                               "1507010000"
                                               "0001")
                                  << 1 << K::Ignore;
    QTest::newRow("u SF 6") << loraReply(0,
                                         "0106010000"
                                         "0001")
                            << 1 << K::Ignore;
    QTest::newRow("u SF 13") << loraReply(0,
                                          "010d010000"
                                          "0001")
                             << 1 << K::Ignore;
    QTest::newRow("u AES 2") << loraReply(0,
                                          "0107010000"
                                          "0201")
                             << 1 << K::Ignore;
    QTest::newRow("u version 0") << loraReply(0,
                                              "0107010000"
                                              "0000")
                                 << 1 << K::Ignore;
    QTest::newRow("u version 3") << loraReply(0,
                                              "0107010000"
                                              "0003")
                                 << 1 << K::Ignore;
    QTest::newRow("u row 3 of 3") << loraReply(3) << 3 << K::Ignore;
    QTest::newRow("u short") << loraReply(0).left(15) + hex("03") << 1 << K::Ignore;
    QTest::newRow("a") << hex("0261001a2b3c4d5e03") << 0 << K::Applied;
    QTest::newRow("a with extra bytes") << hex("0261001a2b3c4d5e000003") << 0 << K::Applied;
    QTest::newRow("a without ETX") << hex("0261001a2b3c4d5e00") << 0 << K::Ignore;
    QTest::newRow("a of another gateway") << hex("0261001a2b3c4d6003") << 0 << K::Ignore;
    QTest::newRow("unknown letter") << hex("0278001a2b3c4d5e03") << 0 << K::Ignore;
}

void TestConfigProtocol::replyKind() {
    QFETCH(QByteArray, datagram);
    QFETCH(int, portCount);
    QFETCH(ConfigReply::Kind, kind);
    QCOMPARE(ParseConfigReply(datagram, kMac, portCount).kind, kind);
}

void TestConfigProtocol::writeRefusesWhatItCannotSendFaithfully_data() {
    QTest::addColumn<Mutation>("mutate");
    QTest::addColumn<QString>("error");  // empty: builds
    auto row = [](auto f) { return Mutation(f); };
    QTest::newRow("as shown") << row([](DeviceConfig&) {}) << QString();
    QTest::newRow("address part 255")
        << row([](DeviceConfig& c) { c.network.dns = "255.255.255.255"; }) << QString();
    QTest::newRow("address part 256")
        << row([](DeviceConfig& c) { c.network.gateway = "192.168.1.256"; })
        << "Gateway: '192.168.1.256' is not a valid address (each part 0 to 255)";
    QTest::newRow("address part empty")
        << row([](DeviceConfig& c) { c.network.ipAddress = "192..1.1"; })
        << "'' is not a valid integer value";
    QTest::newRow("address with %")
        << row([](DeviceConfig& c) { c.network.lanIpAddress = "10.0.0.%"; })
        << "'%' is not a valid integer value";
    QTest::newRow("address of three parts")
        << row([](DeviceConfig& c) { c.network.subnetMask = "255.255.0"; })
        << "'255.255.0' is not a valid IPv4 address";
    QTest::newRow("VarnexView port 65535")
        << row([](DeviceConfig& c) { c.network.varnexViewPort = "65535"; }) << QString();
    QTest::newRow("VarnexView port 65536")
        << row([](DeviceConfig& c) { c.network.varnexViewPort = "65536"; })
        << "VarnexView port: '65536' is out of range (0 to 65535)";
    QTest::newRow("VarnexView port with '")
        << row([](DeviceConfig& c) { c.network.varnexViewPort = "80'"; })
        << "'80'' is not a valid integer value";
    QTest::newRow("src port 70000 in row 2")
        << row([](DeviceConfig& c) { c.ports[1].srcPort = "70000"; })
        << "Operation Mode row 2, Src Port: '70000' is out of range (0 to 65535)";
    QTest::newRow("empty latency") << row([](DeviceConfig& c) { c.ports[0].latency = ""; })
                                   << "'' is not a valid integer value";
    QTest::newRow("dest IP part 300 in row 1") << row([](DeviceConfig& c) {
        c.ports[0].destIp = "10.0.0.300";
    }) << "Operation Mode row 1, Dest IP: '10.0.0.300' is not a valid address (each part 0 to 255)";
    QTest::newRow("alias beyond one byte per character")
        << row([](DeviceConfig& c) { c.ports[0].alias = QString::fromUtf8("Port\u20ac"); })
        << QString::fromUtf8(
               "Operation Mode row 1, Port Alias: 'Port\u20ac' holds characters that "
               "cannot be sent");
    QTest::newRow("alias of 17 characters")
        << row([](DeviceConfig& c) { c.ports[0].alias = QString(17, 'a'); })
        << "Operation Mode row 1, Port Alias: 'aaaaaaaaaaaaaaaaa' is longer than 16 characters";
    QTest::newRow("empty destination ID reads 0")
        << row([](DeviceConfig& c) { c.loras[1].destinationId = ""; }) << QString();
    QTest::newRow("destination ID 16777216 in the last row")
        << row([](DeviceConfig& c) { c.loras[1].destinationId = "16777216"; })
        << "LoRa Option row 2, Destination ID: '16777216' is out of range (0 to 16777215)";
    QTest::newRow("table shorter than PortCount")
        << row([](DeviceConfig& c) { c.loras.removeLast(); }) << "Cells row bounds error[1]";
}

void TestConfigProtocol::writeRefusesWhatItCannotSendFaithfully() {
    QFETCH(Mutation, mutate);
    QFETCH(QString, error);
    DeviceConfig c = sampleConfig();
    mutate(c);
    QList<SectionWrite> built;
    const QString got = errorOf([&] { built = BuildConfigWrite(kMac, {true, true, true}, c); });
    if (error.isEmpty()) {
        QCOMPARE(got, QStringLiteral("<no error>"));
        QCOMPARE(built.size(), 3);
    } else {
        // Nothing is handed back to send: the whole write fails before any datagram leaves.
        QCOMPARE(got, error);
        QVERIFY(built.isEmpty());
    }
}

void TestConfigProtocol::writeBuildsOnlyMarkedSectionsInOrder() {
    DeviceConfig c = sampleConfig();
    c.loras[0].destinationId = "99999999";  // bad, but its section is not marked
    QVERIFY(BuildConfigWrite(kMac, {}, c).isEmpty());

    const auto op = BuildConfigWrite(kMac, {false, true, false}, c);
    QCOMPARE(op.size(), 1);
    QCOMPARE(op[0].section, ConfigSection::Operation);
    QCOMPARE(op[0].datagrams.size(), 2);
    QCOMPARE(op[0].datagrams[0].left(9), hex("024f001a2b3c4d5e00"));
    QCOMPARE(op[0].datagrams[1].left(9), hex("024f001a2b3c4d5e01"));

    c.loras[0] = sampleLoRa();
    const auto all = BuildConfigWrite(kMac, {true, true, true}, c);
    QCOMPARE(all.size(), 3);
    QCOMPARE(all[0].section, ConfigSection::Network);
    QCOMPARE(all[1].section, ConfigSection::Operation);
    QCOMPARE(all[2].section, ConfigSection::LoRa);
    QCOMPARE(all[2].datagrams[1].left(9), hex("0255001a2b3c4d5e01"));

    c.network.portCount = 0;
    const auto none = BuildConfigWrite(kMac, {true, true, true}, c);
    QCOMPARE(none[1].datagrams.size() + none[2].datagrams.size(), 0);
}

QTEST_GUILESS_MAIN(TestConfigProtocol)
#include "tst_config_protocol.moc"
