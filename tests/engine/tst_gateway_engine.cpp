// The engine with its receiving and timer threads (run under ThreadSanitizer
// too): the one reading of a MAC, the two rules for configuration replies, the
// port's two handles, one exchange per gateway, acknowledgements matched by
// MAC, the one wait, and a whole discovery and configuration against the
// simulator.
#include "ConfigReplies.h"
#include "engine/ConfigExchange.h"
#include "engine/FirmwareRun.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"
#include "support/NetnsEnv.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace ConfigReplies;

namespace {
const QString kMac = QStringLiteral("00-1A-2B-00-00-01");
const QString kOther = QStringLiteral("00-1A-2B-00-00-02");

QByteArray ack(const QString& mac, int sequence) {
    QByteArray field = QByteArray::number(sequence);
    field += QByteArray(8 - field.size(), '\0');
    return FrameDatagram('f', EncodeMac(mac) + field + QByteArray(1, '\0'));
}

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const VarnexError& e) {
        return e.text();
    }
    return QStringLiteral("<no error>");
}
}  // namespace

class TestGatewayEngine : public QObject {
    Q_OBJECT
private slots:
    void macsAsTyped_data();
    void macsAsTyped();
    void configReplyRules_data();
    void configReplyRules();
    void oneExchangePerGateway();
    void handlesShareThePort();
    void acknowledgementsCountForTheirGatewayOnce();
    void waitWakesAtOnceAndGivesUp();
    void discoveryAndConfiguration();
};

void TestGatewayEngine::macsAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("mac");
    QTest::newRow("dashes") << "00-1a-2b-00-00-01" << kMac;
    QTest::newRow("colons") << "00:1A:2B:00:00:01" << kMac;
    QTest::newRow("bare") << " 001a2b000001 " << kMac;
    QTest::newRow("five bytes") << "00-1A-2B-00-00"
                                << "";
    QTest::newRow("not hex") << "00-1A-2B-00-00-0G"
                             << "";
    QTest::newRow("mixed separators") << "00-1A:2B-00-00-01"
                                      << "";
    QTest::newRow("sign inside a pair") << "+0-1A-2B-00-00-01"
                                        << "";
}

void TestGatewayEngine::macsAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, mac);
    QCOMPARE(NormalizedMac(typed), mac);
    // Every datagram builder reads a MAC the same way, and refuses the same texts.
    QCOMPARE(errorOf([&] { EncodeMac(typed); }) == QStringLiteral("<no error>"), !mac.isEmpty());
}

// The dialog's rule and a complete read, fed the same replies.
void TestGatewayEngine::configReplyRules_data() {
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("dialogRows");  // port and LoRa rows the dialog fills
    QTest::addColumn<int>("readRows");    // rows a complete read answers
    QTest::addColumn<bool>("readComplete");
    const QByteArray n1 = networkReply(kMac, network(1));
    QTest::newRow("in order") << QList<QByteArray>{n1, portReply(kMac, 0, port(0)),
                                                   loraReply(kMac, 0, lora(0))}
                              << 2 << 2 << true;
    QTest::newRow("rows before the network reply: dropped by the dialog, kept by a read")
        << QList<QByteArray>{portReply(kMac, 0, port(0)), loraReply(kMac, 0, lora(0)), n1} << 0 << 2
        << true;
    QTest::newRow("stray rows at the port count complete nothing")
        << QList<QByteArray>{n1, portReply(kMac, 1, port(1)), loraReply(kMac, 1, lora(1))} << 0 << 0
        << false;
    QTest::newRow("another gateway's replies")
        << QList<QByteArray>{networkReply(kOther, network(1)), portReply(kOther, 0, port(0))} << 0
        << 0 << false;
}

void TestGatewayEngine::configReplyRules() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, dialogRows);
    QFETCH(int, readRows);
    QFETCH(bool, readComplete);
    int tableRows = 0;
    int filled = 0;
    CompleteConfigRead read(kMac);
    for (const QByteArray& d : replies) {
        const ConfigReply r = DialogConfigReply(d, kMac, tableRows);
        if (r.kind == ConfigReply::Kind::Network) tableRows = r.network.portCount;
        if (r.kind == ConfigReply::Kind::Port || r.kind == ConfigReply::Kind::LoRa) ++filled;
        read.Take(d);
    }
    QCOMPARE(filled, dialogRows);
    QCOMPARE(read.Complete(), readComplete);
    const auto result = read.Finish();
    QCOMPARE(result.portRowsAnswered + result.loraRowsAnswered, readRows);
}

void TestGatewayEngine::oneExchangePerGateway() {
    SystemClock clock;
    GatewayEngine engine(clock);
    auto claim = engine.Begin(kMac, QStringLiteral("its configuration is being read"));
    QCOMPARE(errorOf([&] { engine.Begin(kMac.toLower(), QStringLiteral("x")); }),
             QStringLiteral("The gateway 00-1a-2b-00-00-01 is busy: its configuration is being "
                            "read."));
    QVERIFY(errorOf([&] { engine.StartFirmware(kMac, QByteArray(10, 'x')); }).contains("busy"));
    auto other = engine.Begin(kOther, QStringLiteral("x"));  // another gateway is free
    claim.Reset();
    QCOMPARE(engine.BusyWith(kMac), QString());
    QVERIFY(engine.Begin(kMac, QStringLiteral("y")).Held());
}

void TestGatewayEngine::handlesShareThePort() {
    REQUIRE_NETNS();
    SystemClock clock;
    GatewayEngine engine(clock);
    QStringList window, dialog, requests;
    PortHandle server(engine, true);
    PortHandle config(engine, true);
    server.SetOnRead([&](const QByteArray& d, int) { window << QString::fromLatin1(d.mid(1, 1)); });
    config.SetOnRead([&](const QByteArray& d, int) { dialog << QString::fromLatin1(d.mid(1, 1)); });
    engine.SetRequestTap(
        [&](const QByteArray& d, int) { requests << QString::fromLatin1(d.mid(1, 1)); });

    server.SetActive(true);
    QCOMPARE(errorOf([&] { config.SetActive(true); }),
             QStringLiteral("Could not bind socket. Address and port are already in use."));
    // The program's own requests never reach a handler.
    for (const char* d : {"\x02S\x03",
                          "\x02"
                          "F\x03",
                          "\x02N\x03", "\x02n12345678\x03"})
        engine.Receive(QByteArray(d), 0);
    QCOMPARE(window, QStringList{"n"});
    QCOMPARE(requests, (QStringList{"S", "F", "N"}));

    server.SetActive(false);
    QVERIFY(!engine.PortOpen());  // nothing holds it: another program may bind it
    engine.Receive(QByteArray("\x02n12345678\x03"), 0);
    config.SetActive(true);
    engine.Receive(QByteArray("\x02o12345678\x03"), 0);
    QCOMPARE(window, QStringList{"n"});  // nothing after it was switched off
    QCOMPARE(dialog, QStringList{"o"});
}

void TestGatewayEngine::acknowledgementsCountForTheirGatewayOnce() {
    REQUIRE_NETNS();
    SystemClock clock;
    GatewayEngine engine(clock);
    engine.SetRequestTap([](const QByteArray&, int) {});  // the played gateway stays silent
    const QByteArray image(1000, 'x');
    auto run = engine.StartFirmware(kMac, image);
    engine.Receive(ack(kMac, 0), 0);
    // The same acknowledgement again (a second link), then another gateway's.
    engine.Receive(ack(kMac, 0), 0);
    engine.Receive(ack(kOther, 1), 0);
    QCOMPARE(run->ChunksAcknowledged(), 1);

    // A blank MAC could be either's while two upgrades run: it counts for none.
    auto second = engine.StartFirmware(kOther, image);
    engine.Receive(ack(QStringLiteral("00-00-00-00-00-00"), 1), 0);
    QCOMPARE(run->ChunksAcknowledged(), 1);
    QCOMPARE(second->ChunksAcknowledged(), 0);
    engine.Receive(ack(kOther, 0), 0);
    QCOMPARE(second->ChunksAcknowledged(), 1);
    run->Abandon();
    second->Abandon();
    QCOMPARE(engine.RunningUpgrades(), 0);
}

void TestGatewayEngine::waitWakesAtOnceAndGivesUp() {
    SystemClock clock;
    GatewayEngine engine(clock);
    auto claim = engine.Begin(kMac, QStringLiteral("test"));
    engine.CollectConfigReplies(kMac, true);
    const QByteArray reply = networkReply(kMac, network(1));
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        engine.Receive(reply, 0);
    });
    const auto got = engine.NextConfigReply(kMac, QDeadlineTimer(5000));
    sender.join();
    QCOMPARE(got.value_or(QByteArray()), reply);
    // Replies of a gateway nobody waits for are not kept.
    engine.Receive(networkReply(kOther, network(1)), 0);
    QElapsedTimer waited;
    waited.start();
    QVERIFY(!engine.NextConfigReply(kMac, QDeadlineTimer(50)));
    QVERIFY(!engine.NextConfigReply(kOther, QDeadlineTimer(0)));
}

void TestGatewayEngine::discoveryAndConfiguration() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "3", "--ports", "2", "--lora", "1", "--quiet"});
    SystemClock clock;
    GatewayEngine engine(clock);
    engine.Hold();
    const QString second = kOther;

    // Ends once that gateway has answered (others may have come with it).
    const QList<DiscoveryReply> found = engine.Discover(10000, {second});
    QVERIFY(
        std::any_of(found.cbegin(), found.cend(), [&](const auto& r) { return r.Mac == second; }));
    QVERIFY(engine.InterfaceOf(second) > 0);

    GatewayConfigRead read = ReadGatewayConfig(engine, second);
    QCOMPARE(read.config.ports.size(), 2);
    QCOMPARE(read.portRowsAnswered, 2);
    QCOMPARE(read.loraRowsAnswered, 1);  // the second LoRa row stays empty, as in the dialog
    QCOMPARE(read.config.loras[1].channel, -1);

    read.config.network.deviceName = QStringLiteral("Silo 4");
    read.config.loras[1] = read.config.loras[0];
    QVERIFY(WriteGatewayConfig(engine, second,
                               BuildConfigWrite(second, {true, true, true}, read.config)));
    QCOMPARE(ReadGatewayConfig(engine, second).config.network.deviceName, QStringLiteral("Silo 4"));
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             ReadGatewayConfig(engine, QStringLiteral("00-1A-2B-00-00-99")));
    sim->write("quit\n");
    sim->waitForFinished(3000);
}

QTEST_GUILESS_MAIN(TestGatewayEngine)
#include "tst_gateway_engine.moc"
