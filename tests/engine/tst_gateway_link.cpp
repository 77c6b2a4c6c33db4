// The engine of the command-line front end with its receiving thread (run under
// ThreadSanitizer too): discovery that stops once the wanted gateways answered,
// and a whole configuration read, written and read back.
#include "engine/ConfigExchange.h"
#include "engine/GatewayLink.h"
#include "link/Clock.h"
#include "support/NetnsEnv.h"

#include <QtTest>

#include <algorithm>

class TestGatewayLink : public QObject {
    Q_OBJECT
private slots:
    void macsAsTyped_data();
    void macsAsTyped();
    void discoveryAndConfiguration();
};

void TestGatewayLink::macsAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("mac");
    QTest::newRow("dashes") << "00-1a-2b-00-00-01"
                            << "00-1A-2B-00-00-01";
    QTest::newRow("colons") << "00:1A:2B:00:00:01"
                            << "00-1A-2B-00-00-01";
    QTest::newRow("bare") << " 001a2b000001 "
                          << "00-1A-2B-00-00-01";
    QTest::newRow("five bytes") << "00-1A-2B-00-00"
                                << "";
    QTest::newRow("not hex") << "00-1A-2B-00-00-0G"
                             << "";
}

void TestGatewayLink::macsAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, mac);
    QCOMPARE(NormalizedMac(typed), mac);
}

void TestGatewayLink::discoveryAndConfiguration() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "3", "--ports", "2", "--lora", "1", "--quiet"});
    GatewayLink link;
    link.Open();
    const QString second = QStringLiteral("00-1A-2B-00-00-02");

    // Ends once that gateway has answered (others may have come with it).
    const QList<DiscoveryReply> found = link.Discover(10000, {second});
    QVERIFY(
        std::any_of(found.cbegin(), found.cend(), [&](const auto& r) { return r.Mac == second; }));
    QVERIFY(link.InterfaceOf(second) > 0);

    SystemClock clock;
    GatewayConfigRead read = ReadGatewayConfig(link, second, clock);
    QCOMPARE(read.config.ports.size(), 2);
    QCOMPARE(read.portRowsAnswered, 2);
    QCOMPARE(read.loraRowsAnswered, 1);  // the second LoRa row stays empty, as in the dialog
    QCOMPARE(read.config.loras[1].channel, -1);

    read.config.network.deviceName = QStringLiteral("Silo 4");
    read.config.loras[1] = read.config.loras[0];
    QVERIFY(WriteGatewayConfig(link, second,
                               BuildConfigWrite(second, {true, true, true}, read.config), clock));
    QCOMPARE(ReadGatewayConfig(link, second, clock).config.network.deviceName,
             QStringLiteral("Silo 4"));
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             ReadGatewayConfig(link, QStringLiteral("00-1A-2B-00-00-99"), clock));
    sim->write("quit\n");
    sim->waitForFinished(3000);
}

QTEST_MAIN(TestGatewayLink)
#include "tst_gateway_link.moc"
