// A whole read and write of one gateway over the network: the dialog's endpoint
// in the program's namespace, the simulator in the gateways' namespace.
#include "config/ConfigProtocol.h"
#include "link/DeviceDatagram.h"
#include "link/UdpEndpoint.h"
#include "support/NetnsEnv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
const QString kMac = QStringLiteral("00-1A-2B-00-00-02");

// An endpoint set up as ConfigUDP: handler on the UI thread.
struct ConfigEndpoint {
    ConfigEndpoint() {
        ep.SetDefaultPort(DeviceDatagram::Port);
        ep.SetThreadedEvent(false);
        ep.SetOnUDPRead([this](UdpEndpoint&, const QByteArray& d, const UdpEndpoint::Binding&) {
            const ConfigReply r = ParseConfigReply(d, kMac, portCount);
            switch (r.kind) {
                case ConfigReply::Kind::Network:
                    config.network = r.network;
                    portCount = r.network.portCount;
                    config.ports = QVector<PortRow>(portCount);
                    config.loras = QVector<LoRaRow>(portCount);
                    break;
                case ConfigReply::Kind::Port:
                    config.ports[r.port.row] = r.port.cells;
                    ++rowsFilled;
                    break;
                case ConfigReply::Kind::LoRa:
                    config.loras[r.lora.row] = r.lora.cells;
                    ++rowsFilled;
                    break;
                case ConfigReply::Kind::Applied:
                    ++applied;
                    break;
                case ConfigReply::Kind::Ignore:
                    break;
            }
            kinds << r.kind;
        });
        ep.SetActive(true);
        ep.SetBroadcastEnabled(true);
    }
    void send(const QByteArray& d) { ep.SendBroadcast(d, DeviceDatagram::Port); }

    UdpEndpoint ep;
    DeviceConfig config;
    int portCount = 0;
    int rowsFilled = 0;
    int applied = 0;
    QList<ConfigReply::Kind> kinds;
};

QJsonObject dump(QProcess& sim) {
    sim.write("dump\n");
    for (int i = 0; i < 50 && !sim.canReadLine(); ++i) sim.waitForReadyRead(100);
    return QJsonDocument::fromJson(sim.readLine()).object();
}
}  // namespace

class TestConfigWire : public QObject {
    Q_OBJECT
private slots:
    void readEditWriteApply();
};

void TestConfigWire::readEditWriteApply() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "3", "--ports", "2", "--quiet"});
    ConfigEndpoint c;
    c.send(ConfigQuery(ConfigSection::Network, kMac));
    QTRY_COMPARE_WITH_TIMEOUT(c.portCount, 2, 5000);
    c.send(ConfigQuery(ConfigSection::Operation, kMac));
    c.send(ConfigQuery(ConfigSection::LoRa, kMac));
    QTRY_COMPARE_WITH_TIMEOUT(c.rowsFilled, 4, 5000);
    QCOMPARE(c.config.network.deviceName, QStringLiteral("Workshop"));
    // Our own broadcasts came back too, and were ignored.
    QVERIFY(c.kinds.contains(ConfigReply::Kind::Ignore));

    c.config.network.deviceName = QStringLiteral("Boiler room");
    c.config.ports[0].alias = QStringLiteral("Scale");
    const auto writes = BuildConfigWrite(kMac, {true, true, false}, c.config);
    for (const SectionWrite& s : writes) {
        for (const QByteArray& d : s.datagrams) c.send(d);
    }
    c.send(ConfigApply(kMac));
    QTRY_COMPARE_WITH_TIMEOUT(c.applied, 1, 5000);

    const QJsonObject gw = dump(*sim)["gateways"].toArray()[1].toObject();
    QCOMPARE(gw["name"].toString(), QStringLiteral("Boiler room"));
    const QJsonObject cfg = gw["config"].toObject();
    QCOMPARE(cfg["ports"].toArray()[0].toObject()["alias"].toString(), QStringLiteral("Scale"));
    QCOMPARE(cfg["writes"].toString(), QStringLiteral("NOOA"));
    sim->write("quit\n");
    QVERIFY(sim->waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestConfigWire)
#include "tst_config_wire.moc"
