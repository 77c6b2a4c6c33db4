// The simulator's configuration module, driven without sockets and read back
// with the program's own parsers and builders.
#include "SimOptions.h"
#include "Simulator.h"
#include "config/ConfigProtocol.h"
#include "link/Codecs.h"

#include <QJsonArray>
#include <QtTest>

namespace {
const QString kFirst = QStringLiteral("00-1A-2B-00-00-01");
const QString kSecond = QStringLiteral("00-1A-2B-00-00-02");

Simulator makeSim(const QStringList& extra = {}) {
    const SimOptionsParse p = ParseSimOptions(
        QStringList{"gateway-sim", "--count", "2", "--ports", "2,0", "--lora", "2,0"} + extra);
    if (!p.options) qFatal("options: %s", qPrintable(p.message));
    return Simulator(*p.options);
}

SimReplies send(Simulator& sim, const QByteArray& d) {
    return sim.handle(d, "198.18.0.1", 2058);
}

QList<ConfigReply::Kind> kinds(const SimReplies& replies, const QString& mac, int portCount) {
    QList<ConfigReply::Kind> out;
    for (const SimReply& r : replies) out << ParseConfigReply(r.data, mac, portCount).kind;
    return out;
}

QJsonObject configOf(const Simulator& sim, int gateway) {
    return sim.toJson()["gateways"].toArray()[gateway].toObject()["config"].toObject();
}

DeviceConfig readBack(Simulator& sim, const QString& mac) {
    DeviceConfig c;
    const SimReplies n = send(sim, ConfigQuery(ConfigSection::Network, mac));
    const ConfigReply nr = ParseConfigReply(n.at(0).data, mac, 0);
    c.network = nr.network;
    c.ports.resize(c.network.portCount);
    c.loras.resize(c.network.portCount);
    for (const SimReply& r : send(sim, ConfigQuery(ConfigSection::Operation, mac))) {
        const ConfigReply pr = ParseConfigReply(r.data, mac, c.network.portCount);
        if (pr.kind == ConfigReply::Kind::Port) c.ports[pr.port.row] = pr.port.cells;
    }
    for (const SimReply& r : send(sim, ConfigQuery(ConfigSection::LoRa, mac))) {
        const ConfigReply lr = ParseConfigReply(r.data, mac, c.network.portCount);
        if (lr.kind == ConfigReply::Kind::LoRa) c.loras[lr.lora.row] = lr.lora.cells;
    }
    return c;
}
}  // namespace

class TestSimConfig : public QObject {
    Q_OBJECT
private slots:
    void answersEachQueryForItsMac();
    void ignoresWhatIsNotARequestForIt_data();
    void ignoresWhatIsNotARequestForIt();
    void readsShowWhatWasWritten();
    void networkWriteShowsInDiscovery();
    void rowWriteForMissingRowIsDropped();
    void applyIsAnswered();
    void faults();
};

void TestSimConfig::answersEachQueryForItsMac() {
    using K = ConfigReply::Kind;
    Simulator sim = makeSim();
    const SimReplies n = send(sim, ConfigQuery(ConfigSection::Network, kFirst));
    QCOMPARE(kinds(n, kFirst, 0), QList<K>{K::Network});
    const NetworkSettings net = ParseConfigReply(n[0].data, kFirst, 0).network;
    QCOMPARE(net.portCount, 2);
    QCOMPARE(net.ipAddress, QStringLiteral("198.19.0.10"));
    QCOMPARE(net.deviceName, QStringLiteral("Lobby"));
    QCOMPARE(net.sourceId, quint32(1));
    QCOMPARE(kinds(send(sim, ConfigQuery(ConfigSection::Operation, kFirst)), kFirst, 2),
             (QList<K>{K::Port, K::Port}));
    QCOMPARE(kinds(send(sim, ConfigQuery(ConfigSection::LoRa, kFirst)), kFirst, 2),
             (QList<K>{K::LoRa, K::LoRa}));

    // A gateway without serial ports answers the row queries with nothing.
    QCOMPARE(ParseConfigReply(send(sim, ConfigQuery(ConfigSection::Network, kSecond))[0].data,
                              kSecond, 0)
                 .network.portCount,
             0);
    QVERIFY(send(sim, ConfigQuery(ConfigSection::Operation, kSecond)).empty());
    QCOMPARE(configOf(sim, 0)["queries"].toString(), QStringLiteral("NOU"));
}

void TestSimConfig::ignoresWhatIsNotARequestForIt_data() {
    QTest::addColumn<QByteArray>("datagram");
    const QByteArray query = ConfigQuery(ConfigSection::Network, kFirst);
    QTest::newRow("unknown MAC") << ConfigQuery(ConfigSection::Network, "00-1A-2B-00-00-09");
    QTest::newRow("query one byte long") << query.left(8) + QByteArray("\x00\x03", 2);
    QTest::newRow("query without ETX") << query.left(8) + QByteArray(1, '\0');
    QTest::newRow("our own n reply echoed") << QByteArray(query).replace(1, 1, "n");
    QTest::newRow("MAC cut short") << QByteArray::fromHex("024e001a2b03");
}

void TestSimConfig::ignoresWhatIsNotARequestForIt() {
    QFETCH(QByteArray, datagram);
    Simulator sim = makeSim();
    const QJsonObject before = sim.toJson();
    QVERIFY(send(sim, datagram).empty());
    QCOMPARE(sim.toJson(), before);
}

void TestSimConfig::readsShowWhatWasWritten() {
    Simulator sim = makeSim();
    DeviceConfig c = readBack(sim, kFirst);
    c.network.deviceName = QStringLiteral("Pump house");
    c.network.networkType = 1;
    c.network.echoByte = 9;
    c.ports[1].alias = QStringLiteral("Meter");
    c.ports[1].operation = 7;
    c.ports[1].destPort = QStringLiteral("65535");
    c.loras[0].destinationId = QStringLiteral("16777215");
    c.loras[0].channel = 19;
    for (const SectionWrite& s : BuildConfigWrite(kFirst, {true, true, true}, c)) {
        for (const QByteArray& d : s.datagrams) QVERIFY(send(sim, d).empty());
    }
    const DeviceConfig back = readBack(sim, kFirst);
    QCOMPARE(back.network.deviceName, QStringLiteral("Pump house"));
    QCOMPARE(back.network.networkType, 1);
    QCOMPARE(back.network.echoByte, 9);
    QCOMPARE(back.network.sourceId, quint32(1));  // the gateway's own, not the write's zeros
    QCOMPARE(back.ports[1].alias, QStringLiteral("Meter"));
    QCOMPARE(back.ports[1].operation, 7);
    QCOMPARE(back.ports[1].destPort, QStringLiteral("65535"));
    QCOMPARE(back.ports[0].alias, QStringLiteral("COM1"));
    QCOMPARE(back.loras[0].destinationId, QStringLiteral("16777215"));
    QCOMPARE(back.loras[0].channel, 19);
    QCOMPARE(configOf(sim, 0)["writes"].toString(), QStringLiteral("NOOUU"));
    QCOMPARE(configOf(sim, 1)["writes"].toString(), QString());
}

void TestSimConfig::networkWriteShowsInDiscovery() {
    Simulator sim = makeSim();
    DeviceConfig c = readBack(sim, kFirst);
    c.network.ipAddress = QStringLiteral("198.19.5.5");
    c.network.deviceName = QStringLiteral("Renamed");
    send(sim, BuildNetworkConfig(kFirst, c.network));
    const QJsonObject gw = sim.toJson()["gateways"].toArray()[0].toObject();
    QCOMPARE(gw["ip"].toString(), QStringLiteral("198.19.5.5"));
    QCOMPARE(gw["name"].toString(), QStringLiteral("Renamed"));
    QCOMPARE(gw["config"].toObject()["network"].toObject()["ip"].toString(),
             QStringLiteral("198.19.5.5"));
}

void TestSimConfig::rowWriteForMissingRowIsDropped() {
    Simulator sim = makeSim();
    const QJsonObject before = configOf(sim, 0);
    PortRow p;
    p.operation = 1;
    p.srcPort = p.destPort = p.alive = p.latency = QStringLiteral("1");
    p.destIp = QStringLiteral("1.2.3.4");
    send(sim, BuildPortConfig(kFirst, 2, p));
    QCOMPARE(configOf(sim, 0)["ports"], before["ports"]);
}

void TestSimConfig::applyIsAnswered() {
    Simulator sim = makeSim();
    const SimReplies a = send(sim, ConfigApply(kSecond));
    QCOMPARE(kinds(a, kSecond, 0), QList<ConfigReply::Kind>{ConfigReply::Kind::Applied});
    QCOMPARE(configOf(sim, 1)["writes"].toString(), QStringLiteral("A"));
}

void TestSimConfig::faults() {
    using K = ConfigReply::Kind;
    Simulator silent = makeSim({"--fault", "cfg-silent=OA"});
    QCOMPARE(kinds(send(silent, ConfigQuery(ConfigSection::Network, kFirst)), kFirst, 0),
             QList<K>{K::Network});
    QVERIFY(send(silent, ConfigQuery(ConfigSection::Operation, kFirst)).empty());
    QCOMPARE(send(silent, ConfigQuery(ConfigSection::LoRa, kFirst)).size(), size_t(2));
    QVERIFY(send(silent, ConfigApply(kFirst)).empty());

    Simulator late = makeSim({"--fault", "cfg-delay=250"});
    const SimReplies rows = send(late, ConfigQuery(ConfigSection::Operation, kFirst));
    QCOMPARE(rows.size(), size_t(2));
    for (const SimReply& r : rows) QCOMPARE(r.delayMs, 250);

    Simulator bad = makeSim({"--fault", "cfg-bad-row"});
    QCOMPARE(kinds(send(bad, ConfigQuery(ConfigSection::Operation, kFirst)), kFirst, 2),
             (QList<K>{K::Ignore, K::Ignore}));
    QCOMPARE(kinds(send(bad, ConfigQuery(ConfigSection::LoRa, kFirst)), kFirst, 2),
             (QList<K>{K::Ignore, K::Ignore}));
    // The rows themselves are unchanged: only the replies are spoiled.
    QCOMPARE(configOf(bad, 0)["ports"].toArray()[1].toObject()["row"].toInt(), 1);
}

QTEST_GUILESS_MAIN(TestSimConfig)
#include "tst_sim_config.moc"
