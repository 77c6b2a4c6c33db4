#include "ReplyQueue.h"
#include "SimConsole.h"
#include "SimDiscovery.h"
#include "SimTestUtil.h"
#include "Simulator.h"

#include "link/DeviceDatagram.h"

#include <QJsonDocument>
#include <QtTest>

// Faults, the command line and the stdin commands.
class TestSimFaults : public QObject {
    Q_OBJECT
private slots:
    void malformedShapes_data();
    void malformedShapes();
    void replyFaults_data();
    void replyFaults();
    void randomFaultsFollowTheSeed();
    void options_data();
    void options();
    void listsAreCycled();
    void consoleCommands();
    void queueOrder();
};

void TestSimFaults::malformedShapes_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("letter");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("samePrefix");  // leading bytes equal to the whole reply

    QTest::newRow("short: ends inside the name") << "short" << 49 << int('g') << 0x03 << 48;
    QTest::newRow("noetx: 0x00 instead of ETX") << "noetx" << 85 << int('g') << 0x00 << 84;
    QTest::newRow("letter: h instead of g") << "letter" << 85 << int('h') << 0x03 << 1;
}

void TestSimFaults::malformedShapes() {
    QFETCH(QString, kind);
    QFETCH(int, size);
    QFETCH(int, letter);
    QFETCH(int, last);
    QFETCH(int, samePrefix);
    Simulator sim(simOptions({"--fault", "malformed=" + kind}));
    const QByteArray whole = BuildDiscoveryReply(sim.gateways()[0]);
    const SimReplies replies = sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058);
    QCOMPARE(replies.size(), size_t(3));
    const QByteArray& got = replies[0].data;
    QCOMPARE(got.size(), size);
    QCOMPARE(int(got.at(1)), letter);
    QCOMPARE(int(got.back()), last);
    QCOMPARE(got.left(samePrefix), whole.left(samePrefix));
    // Whatever its shape, a spoiled reply is not a request to anyone.
    QVERIFY(sim.handle(got, "198.19.0.1", 2058).empty());
}

void TestSimFaults::replyFaults_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("replies");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("toSender");

    QTest::newRow("none") << QStringList{} << 3 << 0 << false;
    QTest::newRow("delay") << QStringList{"--fault", "delay=250"} << 3 << 250 << false;
    QTest::newRow("duplicate") << QStringList{"--fault", "duplicate"} << 6 << 0 << false;
    QTest::newRow("repeat 40") << QStringList{"--fault", "repeat=40"} << 120 << 0 << false;
    QTest::newRow("repeat wins over duplicate")
        << QStringList{"--fault", "duplicate", "--fault", "repeat=1"} << 3 << 0 << false;
    QTest::newRow("loss 100") << QStringList{"--fault", "loss=100"} << 0 << 0 << false;
    QTest::newRow("loss 0") << QStringList{"--fault", "loss=0"} << 3 << 0 << false;
    QTest::newRow("reply to sender") << QStringList{"--reply-to", "sender"} << 3 << 0 << true;
    QTest::newRow("delay and duplicate")
        << QStringList{"--fault", "delay=7", "--fault", "duplicate"} << 6 << 7 << false;
    QTest::newRow("a module's fault changes nothing here")
        << QStringList{"--fault", "fw-no-ack=3"} << 3 << 0 << false;
}

void TestSimFaults::replyFaults() {
    QFETCH(QStringList, args);
    QFETCH(int, replies);
    QFETCH(int, delayMs);
    QFETCH(bool, toSender);
    Simulator sim(simOptions(args));
    const SimReplies out = sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058);
    QCOMPARE(int(out.size()), replies);
    for (const SimReply& r : out) {
        QCOMPARE(r.delayMs, delayMs);
        QCOMPARE(r.toSender, toSender);
        QCOMPARE(r.data.size(), 85);
    }
}

void TestSimFaults::randomFaultsFollowTheSeed() {
    const QStringList args{"--count",  "1000",    "--fault",    "loss=50", "--fault",
                           "delay=20", "--fault", "jitter=100", "--seed",  "42"};
    auto sent = [&] {
        Simulator sim(simOptions(args));
        QList<QPair<QByteArray, int>> macAndDelay;
        for (const SimReply& r :
             sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058)) {
            macAndDelay << qMakePair(r.data.mid(2, 6), r.delayMs);
        }
        return macAndDelay;
    };
    const auto first = sent();
    QVERIFY(first.size() > 0 && first.size() < 1000);
    QSet<int> delays;
    for (const auto& sentReply : first) {
        QVERIFY(sentReply.second >= 20 && sentReply.second <= 120);
        delays.insert(sentReply.second);
    }
    QVERIFY(delays.size() > 1);
    QCOMPARE(sent(), first);
}

void TestSimFaults::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("defaults") << QStringList{} << true;
    QTest::newRow("no gateways") << QStringList{"--count", "0"} << true;
    QTest::newRow("negative count") << QStringList{"--count", "-1"} << false;
    QTest::newRow("too many") << QStringList{"--count", "100001"} << false;
    QTest::newRow("colon MAC") << QStringList{"--first-mac", "00:1a:2b:00:00:01"} << true;
    QTest::newRow("MAC of five pairs") << QStringList{"--first-mac", "00-1A-2B-00-00"} << false;
    QTest::newRow("MACs run out") << QStringList{"--first-mac", "FF-FF-FF-FF-FF-FE", "--count", "3"}
                                  << false;
    QTest::newRow("addresses run out")
        << QStringList{"--first-ip", "255.255.255.254", "--count", "3"} << false;
    QTest::newRow("part above 255") << QStringList{"--first-ip", "198.19.0.256"} << false;
    QTest::newRow("three-part mask") << QStringList{"--mask", "255.255.0"} << false;
    QTest::newRow("model of 21 bytes") << QStringList{"--model", "ABCDEFGHIJKLMNOPQRSTU"} << false;
    QTest::newRow("version of 9 bytes") << QStringList{"--version", "1.2.3.4.5"} << false;
    QTest::newRow("port count 256") << QStringList{"--ports", "2,256"} << false;
    QTest::newRow("empty LoRa item") << QStringList{"--lora", "2,,1"} << false;
    QTest::newRow("reply to nowhere") << QStringList{"--reply-to", "nowhere"} << false;
    QTest::newRow("port 65536") << QStringList{"--port", "65536"} << false;
    QTest::newRow("stray argument") << QStringList{"extra"} << false;
    QTest::newRow("unknown option") << QStringList{"--colour"} << false;
    QTest::newRow("loss 101") << QStringList{"--fault", "loss=101"} << false;
    QTest::newRow("loss without value") << QStringList{"--fault", "loss"} << false;
    QTest::newRow("negative delay") << QStringList{"--fault", "delay=-5"} << false;
    QTest::newRow("malformed kind unknown") << QStringList{"--fault", "malformed=long"} << false;
    QTest::newRow("duplicate with value") << QStringList{"--fault", "duplicate=2"} << false;
    QTest::newRow("repeat 0") << QStringList{"--fault", "repeat=0"} << false;
    QTest::newRow("repeat 1001") << QStringList{"--fault", "repeat=1001"} << false;
    QTest::newRow("fault without name") << QStringList{"--fault", "=3"} << false;
    QTest::newRow("a module's own fault") << QStringList{"--fault", "fw-refuse"} << true;
}

void TestSimFaults::options() {
    QFETCH(QStringList, args);
    QFETCH(bool, accepted);
    const SimOptionsParse parsed = ParseSimOptions(QStringList{"gateway-sim"} + args);
    QCOMPARE(parsed.options.has_value(), accepted);
    QCOMPARE(parsed.exitCode, accepted ? 0 : 2);
    QCOMPARE(parsed.message.isEmpty(), accepted);
}

void TestSimFaults::listsAreCycled() {
    const SimOptions o = simOptions({"--count", "5", "--model", "A,B", "--name", "GW-%n,Spare",
                                     "--ports", "2,4,1", "--fault", "fw-no-ack=7"});
    Simulator sim(o);
    QStringList models, names;
    for (const SimGateway& gw : sim.gateways()) models << gw.model, names << gw.name;
    QCOMPARE(models, (QStringList{"A", "B", "A", "B", "A"}));
    QCOMPARE(names, (QStringList{"GW-1", "Spare", "GW-3", "Spare", "GW-5"}));
    QCOMPARE(o.portsFor(4), 4);
    QCOMPARE(o.loraFor(2), 1);  // LoRa rows follow the ports unless given
    QCOMPARE(sim.faults().intValue("fw-no-ack", -1), 7);
    QCOMPARE(sim.faults().intValue("fw-refuse", -1), -1);
}

void TestSimFaults::consoleCommands() {
    Simulator sim(simOptions({"--count", "2"}));
    ConsoleOutcome dump = RunConsoleCommand(sim, "dump");
    QVERIFY(dump.out.endsWith('\n'));
    QCOMPARE(dump.out.count('\n'), 1);
    const QJsonObject json = QJsonDocument::fromJson(dump.out).object();
    QCOMPARE(json["gateways"].toArray().size(), 2);
    QCOMPARE(json["gateways"][1]["mac"].toString(), QString("00-1A-2B-00-00-02"));
    QCOMPARE(json["gateways"][1]["mask"].toString(), QString("255.255.0.0"));
    QVERIFY(json["gateways"][0]["config"].isObject());
    QVERIFY(json["gateways"][0]["firmware"].isObject());

    QVERIFY(RunConsoleCommand(sim, "fault loss=100").out.isEmpty());
    QVERIFY(sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058).empty());
    QVERIFY(!RunConsoleCommand(sim, "fault loss=abc").err.isEmpty());
    QCOMPARE(sim.faults().value("loss"), QString("100"));  // a refused value changes nothing
    RunConsoleCommand(sim, "unfault loss");
    QCOMPARE(sim.handle(DeviceDatagram::DiscoveryRequest(), "198.18.0.1", 2058).size(), size_t(2));

    const ConsoleOutcome unknown = RunConsoleCommand(sim, "reboot");
    QVERIFY(!unknown.quit && unknown.out.isEmpty() && !unknown.err.isEmpty());
    QVERIFY(RunConsoleCommand(sim, " quit \r").quit);
}

void TestSimFaults::queueOrder() {
    using namespace std::chrono;
    ReplyQueue queue;
    const ReplyQueue::TimePoint t0{};
    auto push = [&](int ms, const char* text) {
        Outgoing o;
        o.data = text;
        queue.push(t0 + milliseconds(ms), o);
    };
    push(30, "c");
    push(10, "a1");
    push(20, "b");
    push(10, "a2");  // due together with a1: stays behind it
    QCOMPARE(queue.nextDue(), t0 + milliseconds(10));
    QVERIFY(queue.takeDue(t0 + milliseconds(9)).empty());
    QStringList got;
    for (const Outgoing& o : queue.takeDue(t0 + milliseconds(20)))
        got << QString::fromLatin1(o.data);
    QCOMPARE(got, (QStringList{"a1", "a2", "b"}));
    QCOMPARE(queue.size(), size_t(1));
    QCOMPARE(queue.nextDue(), t0 + milliseconds(30));
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
