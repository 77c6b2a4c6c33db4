#include "config/ConfigJson.h"
#include "fleet/FleetConfig.h"
#include "support/ErrorOf.h"

#include <QtTest>

namespace {
// A configuration whose every field depends on `n`, so that two of them differ
// everywhere.
DeviceConfig config(int n, int rows = 2) {
    DeviceConfig c;
    NetworkSettings& s = c.network;
    const QString x = QString::number(n);
    s = NetworkSettings{n % 2,
                        "198.18.0." + x,
                        "198.18.0.1" + x,
                        "255.255.25" + x + ".0",
                        "198.18.1." + x,
                        "Gateway " + x,
                        "198.18.2." + x,
                        "900" + x,
                        n % 2,
                        n % 2,
                        n % 2,
                        n % 2,
                        n % 2 == 0,
                        n % 2,
                        "10.0." + x + ".1",
                        "255.255." + x + ".0",
                        rows,
                        n,
                        0};
    for (int r = 0; r < rows; ++r) {
        c.ports << PortRow{"COM" + x, n % 3, "400" + x, "0.0.0." + x, x, "6" + x, x, {}};
        c.loras << LoRaRow{n, n % 6, "100" + x, n % 2, n % 2};
    }
    return c;
}

// The value at a document path such as "network.ip" or "ports[1].alias".
QJsonValue at(const DeviceConfig& c, const QString& path) {
    QJsonValue v = ConfigToJson(c, {});
    for (const QString& step : path.split(QRegularExpression("[.\\[\\]]+"), Qt::SkipEmptyParts)) {
        v = v.isArray() ? v.toArray()[step.toInt()] : v.toObject()[step];
    }
    return v;
}
}  // namespace

class TestFleetConfig : public QObject {
    Q_OBJECT
private slots:
    void fieldSource_data();
    void fieldSource();
    void portCounts_data();
    void portCounts();
    void drift_data();
    void drift();
};

void TestFleetConfig::fieldSource_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("fromGateway");
    for (const char* p :
         {"network.network_type", "network.ip", "network.mask", "network.gateway", "network.name",
          "network.lan_ip", "network.lan_mask", "network.lan_port", "network.echo"}) {
        QTest::newRow(p) << p << true;
    }
    for (const char* p :
         {"network.dns", "network.view_ip", "network.view_port", "network.telnet", "network.bridge",
          "ports[1].alias", "ports[0].operation", "lora[1].dest_id"}) {
        QTest::newRow(p) << p << false;
    }
}

void TestFleetConfig::fieldSource() {
    QFETCH(QString, path);
    QFETCH(bool, fromGateway);
    const DeviceConfig file = config(1), gateway = config(2);
    QVERIFY(at(file, path) != at(gateway, path));
    QCOMPARE(at(ConfigForTarget(file, gateway), path), at(fromGateway ? gateway : file, path));
}

void TestFleetConfig::portCounts_data() {
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<int>("gatewayRows");
    QTest::addColumn<QString>("error");
    QTest::newRow("same count") << 2 << 2 << "<no error>";
    QTest::newRow("file has more") << 4 << 2 << "the file has 4 ports, the gateway 2";
    QTest::newRow("gateway has more") << 1 << 2 << "the file has 1 port, the gateway 2";
    QTest::newRow("gateway has none") << 2 << 0 << "the file has 2 ports, the gateway 0";
}

void TestFleetConfig::portCounts() {
    QFETCH(int, fileRows);
    QFETCH(int, gatewayRows);
    QFETCH(QString, error);
    QCOMPARE(errorOf([&] { ConfigForTarget(config(1, fileRows), config(2, gatewayRows)); }), error);
}

void TestFleetConfig::drift_data() {
    QTest::addColumn<int>("gatewayRows");
    QTest::addColumn<QString>("dns");  // the gateway's; the reference has 198.18.1.1
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("identity alone differs") << 2 << "198.18.1.1" << QStringList();
    QTest::newRow("a setting differs")
        << 2 << "198.18.1.9" << QStringList{"network.dns: 198.18.1.9 -> 198.18.1.1"};
    QTest::newRow("fewer ports on the gateway")
        << 1 << "198.18.1.1"
        << QStringList{"ports[1]: only in the file", "lora[1]: only in the file"};
}

void TestFleetConfig::drift() {
    QFETCH(int, gatewayRows);
    QFETCH(QString, dns);
    const DeviceConfig reference = config(1);
    // Every identity field differs; the settings are the reference's.
    DeviceConfig gateway = ConfigForTarget(reference, config(2));
    gateway.network.dns = dns;
    gateway.network.portCount = gatewayRows;
    gateway.ports.resize(gatewayRows);
    gateway.loras.resize(gatewayRows);
    QTEST(DriftFromReference(gateway, reference), "expected");
}

QTEST_GUILESS_MAIN(TestFleetConfig)
#include "tst_fleet_config.moc"
